// "DISPlay:REFResh": the instrument redraws its screen; there is no answer.
#include "family.h"

namespace gensim {

namespace {

class DisplayFamily final : public CommandFamily {
public:
    std::optional<Answers> Handle(std::string_view command, GeneratorState&) override {
        if (command != "DISPlay:REFResh") return std::nullopt;
        ++refreshes_;
        return Answers{};
    }

private:
    long long refreshes_ = 0;  // how often the screen was redrawn
};

}  // namespace

std::unique_ptr<CommandFamily> MakeDisplayFamily(const SimOptions&) { return std::make_unique<DisplayFamily>(); }

}  // namespace gensim
