// Formulas: values at chosen points, the parser's errors with their
// position, clamping, and the same results under a decimal-comma locale;
// applying one replaces a channel's points or nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "fake_generator.h"
#include "locale_guard.h"
#include "zorbel/model/arbitrary_edit.h"
#include "zorbel/model/file_texts.h"
#include "zorbel/model/formula.h"
#include "zorbel/model/waveform_import.h"

namespace zorbel::test {
namespace {

struct FormulaCase {
    const char* name;
    const char* text;
    std::uint32_t points;
    std::map<std::size_t, double> values;  // index -> expected volts
    std::size_t clamped = 0;
    int errorPosition = -2;  // -2: no error expected
    const char* errorText = "";
};

const FormulaCase kFormulaCases[] = {
    {"harmonics", "sin(2*pi*x) + 0.3*sin(6*pi*x)", 16, {{0, 0.0}, {4, 0.7}, {12, -0.7}}},
    {"square by index", "n < N/2 ? 1 : -1", 16, {{0, 1.0}, {7, 1.0}, {8, -1.0}, {15, -1.0}}},
    {"decimal point", "0.5*x - 1.25e-1", 16, {{8, 0.125}}},
    {"clamped both ways", "40*x - 20", 16, {{0, -10.0}, {4, -10.0}, {8, 0.0}, {15, 10.0}}, 7},
    {"syntax error", "2*x +* 3", 16, {}, 0, 5, "Unexpected operator"},
    {"unknown name", "sin(2*pi*t)", 16, {}, 0, 9, "Unexpected token"},
    {"division by zero", "1/x", 16, {}, 0, -1, "at n = 0"},
    {"no points", "x", 0, {}, 0, -1, "no points"},
    {"decimal comma", "2,5", 16, {}, 0, 1, "2 results"},
    {"two expressions", "min(x, 1), 3*x", 16, {}, 0, 9, "2 results"},
    {"unfinished", "sin(2*pi*x", 16, {}, 0, 9, ""},
    {"empty", "", 16, {}, 0, -1, "empty"},
    {"too many values", "sin(x, 2)", 16, {}, 0, 8, "sin"},
    {"unknown sign", "x $ 2", 16, {}, 0, 2, "Unexpected"},
};

void CheckFormulas() {
    for (const FormulaCase& c : kFormulaCases) {
        SCOPED_TRACE(c.name);
        const FormulaResult result = EvaluateFormula(c.text, c.points, 10.0);
        if (c.errorPosition != -2) {
            ASSERT_TRUE(result.error);
            EXPECT_EQ(result.error->position, c.errorPosition);
            EXPECT_NE(result.error->message.find(c.errorText), std::string::npos) << result.error->message;
            // In the program's own words, which a language file translates.
            EXPECT_TRUE(RecogniseFileText(result.error->message)) << result.error->message;
            EXPECT_TRUE(result.samples.empty());
            continue;
        }
        ASSERT_FALSE(result.error) << result.error->message;
        ASSERT_EQ(result.samples.size(), c.points);
        for (const auto& [index, volts] : c.values) EXPECT_NEAR(result.samples[index], volts, 1e-12) << index;
        EXPECT_EQ(result.clamped, c.clamped);
    }
}

TEST(Formula, ValuesErrorsAndClamping) { CheckFormulas(); }

TEST(Formula, ValuesErrorsAndClampingUnderADecimalCommaLocale) {
    DecimalCommaLocale german;
    CheckFormulas();
}

TEST(Formula, PreviewStepTakesEveryKthPoint) {
    const FormulaResult result = EvaluateFormula("n", 100, 1000.0, 30);
    EXPECT_EQ(result.samples, (std::vector<double>{0, 30, 60, 90}));
}

TEST(Formula, ApplyReplacesTheChannelsPointsOrNothing) {
    FakeGenerator fake;
    DeviceSettings settings{fake};
    settings.ResizeArbitrary(1, 32);
    // The built-in amplitude maximum of 20 V gives points of at most 10 V.
    EXPECT_FALSE(ApplyFormula(settings, 1, "n < N/2 ? 12 : -0.2"));
    const ChannelRecord applied = settings.Record(1);
    ASSERT_EQ(applied.arbitraryPointCount, 32u);
    EXPECT_EQ(applied.arbitrarySamples[0], 10.0);
    EXPECT_EQ(applied.arbitrarySamples[31], -0.2);
    EXPECT_EQ(applied.arbitraryZoom, 4);  // the gain code follows: 20 before, 4 for points up to 10 V

    const auto error = ApplyFormula(settings, 1, "sin(");
    ASSERT_TRUE(error);
    EXPECT_EQ(settings.Record(1).arbitrarySamples, applied.arbitrarySamples);
}

// Split over threads and bulk blocks, a long waveform gets the values a
// point-by-point evaluation gives, and the first value that is no number
// is found wherever it lies among the blocks.
TEST(Formula, LongWaveformsMatchTheValuesOfEachPointAndTheirFirstFault) {
    constexpr std::uint32_t kPoints = 300016;  // several blocks and threads, and a short last block
    const struct {
        const char* text;
        double (*value)(double n, double x);
        const char* error;
    } cases[] = {
        {"sin(2*pi*x) + 0.3*sin(6*pi*x)",
         [](double, double x) { return std::sin(2 * M_PI * x) + 0.3 * std::sin(6 * M_PI * x); }, ""},
        {"n < N/2 ? 40*x : -n/N", [](double n, double x) { return n < kPoints / 2.0 ? 40 * x : -n / kPoints; }, ""},
        {"1/(n - 250001)", nullptr, "at n = 250001"},
        {"sqrt(x - 0.9)", nullptr, "at n = 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const FormulaResult result = EvaluateFormula(c.text, kPoints, 10.0);
        if (!c.value) {
            ASSERT_TRUE(result.error);
            EXPECT_NE(result.error->message.find(c.error), std::string::npos) << result.error->message;
            continue;
        }
        ASSERT_FALSE(result.error) << result.error->message;
        ASSERT_EQ(result.samples.size(), kPoints);
        std::size_t clamped = 0;
        for (std::uint32_t i = 0; i < kPoints; ++i) {
            const double n = i;
            const double expected = c.value(n, n / kPoints);
            clamped += std::fabs(expected) > 10.0;
            ASSERT_NEAR(result.samples[i], std::clamp(expected, -10.0, 10.0), 1e-12) << i;
        }
        EXPECT_EQ(result.clamped, clamped);
    }
}

// Each long operation cancelled before its worker could finish changes
// nothing: no finish step, the points, count and undo steps as they were.
TEST(LongJobs, CancelledFormulaImportResizeAndResampleChangeNothing) {
    FakeGenerator fake;
    DeviceSettings settings{fake};
    settings.ResizeArbitrary(0, 1U << 20);
    settings.ModifyRecord(0, [](ChannelRecord& r) { r.arbitrarySamples.assign(r.arbitrarySamples.size(), 0.25); });
    const ChannelRecord before = settings.Record(0);
    bool heard = false;
    const struct {
        const char* what;
        LongJob job;
    } cases[] = {
        {"formula", FormulaJob(settings, 0, "sin(2*pi*x)", nullptr, [&](auto) { heard = true; })},
        {"import", ImportJob(settings, "/dev/null.wav", 0, nullptr, [&](const ImportOutcome&) { heard = true; })},
        {"resize", ResizeJob(settings, 0, 1U << 21, nullptr, [&](bool) { heard = true; })},
        {"resample", ResampleJob(settings, 0, 1U << 21, nullptr, [&](bool) { heard = true; })},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::stop_source stop;
        stop.request_stop();
        JobProgress progress(stop.get_token());
        EXPECT_FALSE(c.job.work(progress));
        EXPECT_FALSE(heard);
        const ChannelRecord after = settings.Record(0);
        EXPECT_EQ(after.arbitraryPointCount, before.arbitraryPointCount);
        EXPECT_TRUE(after.arbitrarySamples == before.arbitrarySamples);
        EXPECT_EQ(settings.History().UndoSteps(0), 0u);
    }
}

}  // namespace
}  // namespace zorbel::test
