// Checks inside fuzz targets. A failed check aborts, which libFuzzer and the
// corpus replay both report as a crash with the offending input; assert()
// would vanish in release builds, where the replay also runs.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)
