// User-typed numbers on the real generator library: the instrument's number
// rules, independent of the user's locale.
#include <gtest/gtest.h>

#include "locale_guard.h"
#include "zorbel/model/device_settings.h"

namespace zorbel {
namespace {

struct TextCase {
    const char16_t* text;
    std::optional<double> value;
};

TEST(ParseNumberTextOnTheLibrary, FollowsTheInstrumentNumberRulesUnderAnyLocale) {
    const DeviceSettings settings;
    const TextCase cases[] = {
        {u"25", 25.0}, {u"-0.5", -0.5}, {u"2E+006", 2e6}, {u"1.5e-3", 1.5e-3}, {u"1E5.5", 1e5}, {u"+", 0.0},
        {u".5", {}},   {u"5.", {}},     {u" 1", {}},      {u"1,5", {}},        {u"1 V", {}},    {u"", {}},
    };
    test::DecimalCommaLocale german;
    for (const TextCase& c : cases) {
        const std::u16string_view text(c.text);
        SCOPED_TRACE(std::string(text.begin(), text.end()));
        EXPECT_EQ(settings.TryParseNumberText(text), c.value);
        EXPECT_EQ(settings.ParseNumberText(text), c.value.value_or(0.0));
    }
}

}  // namespace
}  // namespace zorbel
