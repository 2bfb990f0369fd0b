// All command families and the dispatch of one command to them.
#pragma once

#include "family.h"

#include <memory>
#include <vector>

namespace gensim {

class Dispatcher {
public:
    explicit Dispatcher(const SimOptions& options);

    // The answers of the first family that knows the command; none for an
    // unknown command (logged with --verbose).
    Answers Handle(std::string_view command);

    const GeneratorState& State() const { return state_; }

private:
    const SimOptions& options_;
    GeneratorState state_;
    std::vector<std::unique_ptr<CommandFamily>> families_;
};

}  // namespace gensim
