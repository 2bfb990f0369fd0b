// The pauses the instrument needs between and after exchanges.
#pragma once

#include <chrono>

namespace qmk {

// Sleeps for `described`. The test suite shortens every pause through the
// environment variable ZORBEL_TEST_PAUSE_PERCENT (0..100, default 100); it is
// not a user setting and leaves time-outs alone.
void Pause(std::chrono::milliseconds described);

// `described` scaled by a ZORBEL_TEST_PAUSE_PERCENT value (null, empty or
// invalid means 100; values above 100 count as 100).
std::chrono::milliseconds ScaledPause(std::chrono::milliseconds described, const char* percentSetting);

}  // namespace qmk
