// Instrument pauses, shortened only by the test suite (see pause.h).
#include "pause.h"

#include <cstdlib>
#include <thread>

#include "zorbel/numbers.h"

namespace qmk {

std::chrono::milliseconds ScaledPause(std::chrono::milliseconds described, const char* percentSetting) {
    long long percent = 100;
    if (percentSetting && !zorbel::ParseInt(percentSetting, percent)) percent = 100;
    if (percent < 0 || percent > 100) percent = 100;
    return described * percent / 100;
}

void Pause(std::chrono::milliseconds described) {
    const auto scaled = ScaledPause(described, std::getenv("ZORBEL_TEST_PAUSE_PERCENT"));
    if (scaled.count() > 0) std::this_thread::sleep_for(scaled);
}

}  // namespace qmk
