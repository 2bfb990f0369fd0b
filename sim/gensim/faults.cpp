// Fault injection (see faults.h).
#include "faults.h"

namespace gensim {

std::optional<std::string> FaultPolicy::Pass(std::string answer) {
    ++answers_;
    if (options_.dropEvery > 0 && answers_ % options_.dropEvery == 0) return std::nullopt;
    if (options_.answerText) return *options_.answerText;
    return answer;
}

}  // namespace gensim
