// Fault injection for reliability tests: late, lost or wrong answers.
#pragma once

#include "options.h"

#include <chrono>
#include <optional>
#include <string>

namespace gensim {

class FaultPolicy {
public:
    explicit FaultPolicy(const SimOptions& options) : options_(options) {}

    // The answer as it is to go out, or nullopt when this one is dropped.
    // Counts every answer of every transport.
    std::optional<std::string> Pass(std::string answer);

    std::chrono::milliseconds Delay() const { return std::chrono::milliseconds(options_.answerDelayMs); }

private:
    const SimOptions& options_;
    long long answers_ = 0;
};

}  // namespace gensim
