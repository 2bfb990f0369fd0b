// Formula evaluation on muParser.
#include "zorbel/model/formula.h"

#include <muParser.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <thread>

#include <omp.h>

#include "zorbel/model/arbitrary_edit.h"
#include "zorbel/model/file_texts.h"
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

// The parser's refusal in the program's own words, which the language files
// translate (muParser's messages are English only).
std::string ParserRefusal(const mu::ParserError& e) {
    const std::string token = e.GetToken();
    switch (e.GetCode()) {
    case mu::ecUNEXPECTED_OPERATOR:
        return FileTextOf(FileText::FormulaUnexpectedOperator, {token});
    case mu::ecUNASSIGNABLE_TOKEN:
        return FileTextOf(FileText::FormulaUnexpectedToken, {token});
    case mu::ecUNEXPECTED_EOF:
        return FileTextOf(FileText::FormulaUnexpectedEnd);
    case mu::ecUNEXPECTED_ARG_SEP:
        return FileTextOf(FileText::FormulaUnexpectedComma);
    case mu::ecUNEXPECTED_ARG:
    case mu::ecUNEXPECTED_VAL:
    case mu::ecUNEXPECTED_VAR:
    case mu::ecUNEXPECTED_PARENS:
    case mu::ecUNEXPECTED_STR:
    case mu::ecUNEXPECTED_FUN:
    case mu::ecUNEXPECTED_CONDITIONAL:
    case mu::ecMISPLACED_COLON:
    case mu::ecSTRING_EXPECTED:
    case mu::ecVAL_EXPECTED:
    case mu::ecUNTERMINATED_STRING:
        return FileTextOf(FileText::FormulaUnexpected, {token});
    case mu::ecMISSING_PARENS:
        return FileTextOf(FileText::FormulaMissingParenthesis);
    case mu::ecTOO_MANY_PARAMS:
        return FileTextOf(FileText::FormulaTooManyValues, {token});
    case mu::ecTOO_FEW_PARAMS:
        return FileTextOf(FileText::FormulaTooFewValues, {token});
    case mu::ecEMPTY_EXPRESSION:
        return FileTextOf(FileText::FormulaEmpty);
    case mu::ecMISSING_ELSE_CLAUSE:
        return FileTextOf(FileText::FormulaMissingElse);
    case mu::ecIDENTIFIER_TOO_LONG:
    case mu::ecEXPRESSION_TOO_LONG:
    case mu::ecUNREASONABLE_NUMBER_OF_COMPUTATIONS:
        return FileTextOf(FileText::FormulaTooLong);
    case mu::ecINVALID_CHARACTERS_FOUND:
        return FileTextOf(FileText::FormulaBadCharacters);
    default:
        return FileTextOf(FileText::FormulaOther, {FormatInt(static_cast<int>(e.GetCode()))});
    }
}

// Points one bulk evaluation computes: its x and n arrays stay in the cache.
constexpr std::size_t kBulkPoints = 8192;

// A parser of the formula whose x and n are arrays, for muParser's bulk
// mode: value k of a bulk evaluation sees x[k] and n[k].
struct BulkParser {
    BulkParser(std::string_view text, std::uint32_t pointCount) : x(kBulkPoints, 0.0), n(kBulkPoints, 0.0) {
        // The parser's number reader imbues its own locale; it is set back to
        // the C one with a decimal point so that "0.3" never depends on the
        // locale Qt chose at start-up. That locale is one for all parsers
        // (a static of muParser's): set once, never while another thread's
        // parser reads numbers with it.
        static const bool kLocaleReset = [this] {
            parser.ResetLocale();
            return true;
        }();
        (void)kLocaleReset;
        parser.DefineVar("x", x.data());
        parser.DefineVar("n", n.data());
        parser.DefineConst("N", static_cast<double>(pointCount));
        parser.DefineConst("pi", std::numbers::pi);
        parser.DefineConst("e", std::numbers::e);
        parser.SetExpr(std::string(text));
    }
    std::vector<double> x, n;
    mu::Parser parser;
};

// What one thread's part found.
struct Part {
    std::size_t clamped = 0;
    bool stopped = false;
    std::string message;  // an exception of the parser
};

// Blocks of kBulkPoints values (of every step-th point) into out, each
// taken from `next` in turn until `count`, clamped. Blocks are handed out as
// the threads come for them, so that a thread the system runs less (beside
// other programs) never holds the others up.
void EvaluateBlocks(std::string_view text, std::uint32_t pointCount, std::uint32_t step, double limit,
                    std::size_t count, std::atomic<std::size_t>& next, double* out, std::atomic<std::size_t>& firstBad,
                    JobProgress* progress, Part& part) {
    // muParser's own OpenMP team would double the threads of this split.
    omp_set_num_threads(1);
    BulkParser bulk(text, pointCount);
    for (;;) {
        const std::size_t at = next.fetch_add(kBulkPoints);
        if (at >= count || at > firstBad.load()) return;  // done, or an earlier value already failed
        if (progress && progress->StopRequested()) {
            part.stopped = true;
            return;
        }
        const std::size_t length = std::min(kBulkPoints, count - at);
        for (std::size_t k = 0; k < length; ++k) {
            const double i = static_cast<double>((at + k) * step);
            bulk.n[k] = i;
            bulk.x[k] = i / pointCount;
        }
        double* values = out + at;
        bulk.parser.Eval(values, static_cast<int>(length));
        for (std::size_t k = 0; k < length; ++k) {
            const double value = values[k];
            if (!std::isfinite(value)) {
                std::size_t seen = firstBad.load();
                while (at + k < seen && !firstBad.compare_exchange_weak(seen, at + k)) {}
                break;  // this block is done; later blocks may still be below another thread's
            }
            if (std::fabs(value) > limit) ++part.clamped;
            values[k] = ClampArbitraryVoltage(value, limit);
        }
        if (progress) progress->Add(length, count);
    }
}

}  // namespace

FormulaResult EvaluateFormula(std::string_view text, std::uint32_t pointCount, double limit, std::uint32_t step,
                              JobProgress* progress) {
    FormulaResult result;
    if (pointCount == 0) {
        result.error = FormulaError{FileTextOf(FileText::FormulaNoPoints), -1};
        return result;
    }
    step = std::max<std::uint32_t>(step, 1);
    try {
        // The text is checked once here, so that a syntax error names its
        // place before anything is computed.
        BulkParser check(text, pointCount);
        const double first = check.parser.Eval();
        static_cast<void>(first);
        if (check.parser.GetNumResults() != 1) {
            result.error = FormulaError{FileTextOf(FileText::FormulaResults, {FormatInt(check.parser.GetNumResults())}),
                                        FirstTopLevelComma(text)};
            return result;
        }
    } catch (const mu::Parser::exception_type& e) {
        // An unfinished text ("sin(2*pi*x") is reported at its end: show its last character.
        const int last = static_cast<int>(text.size()) - 1;
        const int position = static_cast<int>(e.GetPos());
        result.error = FormulaError{ParserRefusal(e), position > last ? last : position};
        return result;
    }
    const std::size_t count = (std::size_t{pointCount} + step - 1) / step;
    try {
        ReserveWaveform(result.samples, count);
        result.samples.resize(count);
    } catch (const std::bad_alloc&) {
        result.error = FormulaError{FileTextOf(FileText::NoMemory), -1};
        return result;
    }
    // One parser per thread, blocks handed out in order; every thread stops
    // at the first value that is no number and skips blocks beyond it.
    const std::size_t parts =
        std::clamp<std::size_t>(count / (2 * kBulkPoints), 1, std::max(1U, std::thread::hardware_concurrency()));
    std::vector<Part> done(parts);
    std::atomic<std::size_t> firstBad{count};
    std::atomic<std::size_t> next{0};
    const auto run = [&](std::size_t p) {
        Part& part = done[p];
        try {
            EvaluateBlocks(text, pointCount, step, limit, count, next, result.samples.data(), firstBad, progress, part);
        } catch (const mu::Parser::exception_type& e) {
            part.message = ParserRefusal(e);
        } catch (const std::exception& e) {
            part.message = e.what();
        }
    };
    if (parts == 1) {
        run(0);
    } else {
        std::vector<std::jthread> threads;
        threads.reserve(parts - 1);
        for (std::size_t p = 1; p < parts; ++p) {
            threads.emplace_back([&run, p] {
                LowerThreadPriority();
                run(p);
            });
        }
        run(0);
    }
    for (const Part& part : done) {
        if (!part.message.empty()) {
            result.samples = {};
            result.error = FormulaError{part.message, -1};
            return result;
        }
        result.clamped += part.clamped;
        result.stopped = result.stopped || part.stopped;
    }
    if (const std::size_t bad = firstBad; bad < count) {
        const std::size_t i = bad * step;
        const double x = static_cast<double>(i) / pointCount;
        result.samples = {};
        result.stopped = false;
        result.error = FormulaError{
            FileTextOf(FileText::FormulaNotFinite, {FormatInt(static_cast<long long>(i)), FormatWindowsG(x)}), -1};
        return result;
    }
    if (result.stopped) {
        result.samples = {};
        result.clamped = 0;
    }
    return result;
}

namespace {

struct Shape {
    std::uint32_t points;
    double limit;
    std::uint64_t generation;
};

Shape ShapeOf(const DeviceSettings& settings, std::uint16_t channel) {
    return settings.ReadRecord(channel, [](const ChannelRecord& r) {
        return Shape{
            static_cast<std::uint32_t>(std::min<std::size_t>(r.arbitraryPointCount, r.arbitrarySamples.size())),
            ArbitraryVoltageLimit(r.limits), r.arbitraryChanges.Generation()};
    });
}

}  // namespace

std::optional<FormulaError> ApplyFormula(DeviceSettings& settings, std::uint16_t channel, std::string_view text) {
    const Shape shape = ShapeOf(settings, channel);
    FormulaResult result = EvaluateFormula(text, shape.points, shape.limit);
    if (result.error) return result.error;
    EditArbitrary(settings, channel, ArbitraryEdit::Replace(std::move(result.samples)));
    settings.ZoomFromData(channel);
    return std::nullopt;
}

LongJob FormulaJob(DeviceSettings& settings, std::uint16_t channel, std::string text, RedrawSink* sink,
                   std::function<void(std::optional<FormulaError>)> done) {
    const Shape shape = ShapeOf(settings, channel);
    LongJob job;
    job.name = "Formula";
    job.small = shape.points < kSmallJobPoints;
    job.work = [&settings, channel, text = std::move(text), sink, done = std::move(done),
                shape](JobProgress& progress) -> JobFinish {
        auto result = std::make_shared<FormulaResult>(EvaluateFormula(text, shape.points, shape.limit, 1, &progress));
        if (result->stopped) return {};
        if (result->error) return [done, result] { done(result->error); };
        // The gain code the points need, found here rather than over the
        // whole waveform on the interface thread.
        double high = 0.0, low = 0.0;
        if (!result->samples.empty()) {
            const auto [lo, hi] = std::minmax_element(result->samples.begin(), result->samples.end());
            high = *hi;
            low = *lo;
        }
        return [&settings, channel, sink, done, result, shape, high, low] {
            // A waveform changed meanwhile (by a Read Operation, say) is not
            // overwritten with points computed for another count.
            if (ShapeOf(settings, channel).generation != shape.generation) {
                done(FormulaError{"the waveform changed while the formula was computed; nothing was replaced", -1});
                return;
            }
            EditArbitrary(settings, channel, ArbitraryEdit::Replace(std::move(result->samples)), sink);
            settings.ZoomFromRange(channel, high, low);
            done(std::nullopt);
        };
    };
    return job;
}

}  // namespace zorbel
