// Formula evaluation on muParser.
#include "zorbel/model/formula.h"

#include <muParser.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "zorbel/model/arbitrary_edit.h"
#include "zorbel/numbers.h"

namespace zorbel {

namespace {

// Where the second result of a text with several begins: its first comma
// outside brackets (muParser reads "2,5" as two results and keeps the last).
int FirstTopLevelComma(std::string_view text) {
    int depth = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '(') ++depth;
        if (text[i] == ')') --depth;
        if (text[i] == ',' && depth <= 0) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

FormulaResult EvaluateFormula(std::string_view text, std::uint32_t pointCount, double limit, std::uint32_t step) {
    FormulaResult result;
    if (pointCount == 0) {
        result.error = FormulaError{"the channel has no points", -1};
        return result;
    }
    step = std::max<std::uint32_t>(step, 1);
    double x = 0.0;
    double n = 0.0;
    try {
        mu::Parser parser;
        // The parser's number reader imbues its own locale; it is set back to
        // the C one with a decimal point here so that "0.3" never depends on
        // the locale Qt chose at start-up.
        parser.ResetLocale();
        parser.DefineVar("x", &x);
        parser.DefineVar("n", &n);
        parser.DefineConst("N", static_cast<double>(pointCount));
        parser.DefineConst("pi", std::numbers::pi);
        parser.DefineConst("e", std::numbers::e);
        parser.SetExpr(std::string(text));
        n = 0.0;
        x = 0.0;
        parser.Eval();  // syntax errors surface here, before anything is computed
        if (parser.GetNumResults() != 1) {
            result.error = FormulaError{"the formula gives " + FormatInt(parser.GetNumResults()) +
                                            " results; write one expression, with '.' as the decimal point",
                                        FirstTopLevelComma(text)};
            return result;
        }
        result.samples.reserve((pointCount + step - 1) / step);
        for (std::uint32_t i = 0; i < pointCount; i += step) {
            n = i;
            x = n / pointCount;
            const double value = parser.Eval();
            if (!std::isfinite(value)) {
                result.samples.clear();
                result.error = FormulaError{
                    "the formula gives no finite number at n = " + FormatInt(i) + " (x = " + FormatWindowsG(x) + ")",
                    -1};
                return result;
            }
            if (std::fabs(value) > limit) ++result.clamped;
            result.samples.push_back(ClampArbitraryVoltage(value, limit));
        }
    } catch (const mu::Parser::exception_type& e) {
        result.samples.clear();
        // An unfinished text ("sin(2*pi*x") is reported at its end: show its last character.
        const int last = static_cast<int>(text.size()) - 1;
        const int position = static_cast<int>(e.GetPos());
        result.error = FormulaError{e.GetMsg(), position > last ? last : position};
    }
    return result;
}

std::optional<FormulaError> ApplyFormula(DeviceSettings& settings, std::uint16_t channel, std::string_view text) {
    struct Shape {
        std::uint32_t points;
        double limit;
    };
    const Shape shape = settings.ReadRecord(channel, [](const ChannelRecord& r) {
        return Shape{
            static_cast<std::uint32_t>(std::min<std::size_t>(r.arbitraryPointCount, r.arbitrarySamples.size())),
            ArbitraryVoltageLimit(r.limits)};
    });
    FormulaResult result = EvaluateFormula(text, shape.points, shape.limit);
    if (result.error) return result.error;
    EditArbitrary(settings, channel, ArbitraryEdit::Replace(std::move(result.samples)));
    settings.ZoomFromData(channel);
    return std::nullopt;
}

}  // namespace zorbel
