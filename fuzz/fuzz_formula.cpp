// The formula text, evaluated as the Formula dialog evaluates it (the
// preview every step-th point, the whole waveform on OK): any text either is
// refused with a message (and a place inside the text, or none) or gives one
// finite value within the point limit per point. The first two bytes choose
// the point count (at most 4096, so that an input stays quick), the third
// the preview step; the preview's values are the whole waveform's at its
// points.
#include <cmath>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "zorbel/model/formula.h"

namespace {

constexpr double kLimit = 10.0;
constexpr std::uint32_t kMaxPoints = 4096;

void CheckResult(const zorbel::FormulaResult& r, std::string_view text, std::size_t count) {
    FUZZ_CHECK(!r.stopped);
    if (r.error) {
        FUZZ_CHECK(r.samples.empty());
        FUZZ_CHECK(!r.error->message.empty());
        FUZZ_CHECK(r.error->position >= -1 && r.error->position < static_cast<int>(text.size()));
        return;
    }
    FUZZ_CHECK(r.samples.size() == count);
    FUZZ_CHECK(r.clamped <= count);
    for (double v : r.samples) FUZZ_CHECK(std::isfinite(v) && std::fabs(v) <= kLimit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3 || size > 4096) return 0;
    const std::uint32_t points = 1 + ((std::uint32_t{data[0]} << 8 | data[1]) % kMaxPoints);
    const std::uint32_t step = 1 + data[2] % 16;
    const std::string_view text(reinterpret_cast<const char*>(data + 3), size - 3);

    const zorbel::FormulaResult whole = zorbel::EvaluateFormula(text, points, kLimit);
    CheckResult(whole, text, points);
    const zorbel::FormulaResult preview = zorbel::EvaluateFormula(text, points, kLimit, step);
    CheckResult(preview, text, (points + step - 1) / step);
    // A text the parser refuses is refused either way, at the same place.
    FUZZ_CHECK(whole.error.has_value() || !preview.error.has_value());
    if (whole.error && whole.error->position >= 0) {
        FUZZ_CHECK(preview.error && preview.error->position == whole.error->position);
    }
    if (!whole.error && !preview.error) {
        for (std::size_t k = 0; k < preview.samples.size(); ++k)
            FUZZ_CHECK(preview.samples[k] == whole.samples[k * step] ||
                       (std::isnan(preview.samples[k]) && std::isnan(whole.samples[k * step])));
    }
    return 0;
}
