#include "locale_guard.h"

#include <gtest/gtest.h>
#include <clocale>
#include <cstdio>

namespace zorbel::test {

DecimalCommaLocale::DecimalCommaLocale() {
    const char* current = std::setlocale(LC_ALL, nullptr);
    previous_ = current ? current : "C";
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) {
        ADD_FAILURE() << "locale de_DE.UTF-8 is missing: run scripts/install-deps";
        return;
    }
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    EXPECT_STREQ(probe, "1,5") << "de_DE.UTF-8 does not use a decimal comma";
    active_ = true;
}

DecimalCommaLocale::~DecimalCommaLocale() { std::setlocale(LC_ALL, previous_.c_str()); }

}  // namespace zorbel::test
