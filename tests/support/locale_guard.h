// Switches the process to a decimal-comma locale for the lifetime of the guard,
// as Qt's setlocale(LC_ALL, "") does for a German user.
#pragma once

#include <string>

namespace zorbel::test {

class DecimalCommaLocale {
public:
    // Fails the current test (never skips) when de_DE.UTF-8 is not installed:
    // scripts/install-deps generates it.
    DecimalCommaLocale();
    ~DecimalCommaLocale();
    DecimalCommaLocale(const DecimalCommaLocale&) = delete;
    DecimalCommaLocale& operator=(const DecimalCommaLocale&) = delete;

    bool Active() const { return active_; }

private:
    std::string previous_;
    bool active_ = false;
};

}  // namespace zorbel::test
