// Builds the family list from families.def and dispatches commands.
#include "families.h"

#include "command_text.h"

#include <iostream>

namespace gensim {

#define GENSIM_FAMILY(name) std::unique_ptr<CommandFamily> Make##name##Family(const SimOptions& options);
#include "families.def"
#undef GENSIM_FAMILY

Dispatcher::Dispatcher(const SimOptions& options) : options_(options) {
#define GENSIM_FAMILY(name) families_.push_back(Make##name##Family(options));
#include "families.def"
#undef GENSIM_FAMILY
}

Answers Dispatcher::Handle(std::string_view command) {
    for (const auto& family : families_) {
        if (auto answers = family->Handle(command, state_)) return std::move(*answers);
    }
    if (options_.verbose) std::cerr << "gensim: unknown command: " << Printable(command) << '\n';
    return {};
}

}  // namespace gensim
