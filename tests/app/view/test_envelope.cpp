// The min/max envelope against a plain scan of the samples, on seeded random
// waveforms with single-sample spikes, before and after edits at a window's
// edges: ranges, pixel columns and the memory it takes.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <vector>

#include "fake_generator.h"
#include "zorbel/model/arbitrary_edit.h"
#include "zorbel/view/envelope.h"
#include "zorbel/view/trace_source.h"

namespace zorbel::test {
namespace {

MinMax Oracle(const std::vector<double>& s, std::size_t begin, std::size_t end) {
    MinMax m;
    for (std::size_t i = begin; i < end && i < s.size(); ++i) m.Add(s[i]);
    return m;
}

// Noise within +-1 V and, now and then, one sample far outside it.
std::vector<double> Waveform(std::size_t count, std::mt19937& random) {
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    std::uniform_int_distribution<int> spike(0, 499);
    std::vector<double> s(count);
    for (double& v : s) v = spike(random) == 0 ? 8.0 * noise(random) + (noise(random) < 0 ? -3.0 : 3.0) : noise(random);
    return s;
}

// Each column holds its slice's least and greatest value, in either order.
void ExpectColumns(const std::vector<double>& out, const std::vector<double>& s, std::size_t first, std::size_t last,
                   std::size_t columns) {
    ASSERT_EQ(out.size(), 2 * columns);
    const std::size_t n = last - first + 1;
    for (std::size_t c = 0; c < columns; ++c) {
        const MinMax want = Oracle(s, first + n * c / columns, first + n * (c + 1) / columns);
        if (want.Empty()) continue;  // more columns than points: a repeated value
        EXPECT_EQ(std::min(out[2 * c], out[2 * c + 1]), want.min) << "column " << c << " of " << columns;
        EXPECT_EQ(std::max(out[2 * c], out[2 * c + 1]), want.max) << "column " << c << " of " << columns;
    }
    // Every extreme of the window is drawn, a lone spike included.
    const MinMax all = Oracle(s, first, last + 1);
    EXPECT_EQ(*std::min_element(out.begin(), out.end()), all.min);
    EXPECT_EQ(*std::max_element(out.begin(), out.end()), all.max);
}

void ExpectMatchesOracle(const MinMaxEnvelope& envelope, const std::vector<double>& s, std::mt19937& random,
                         std::size_t first, std::size_t last) {
    const std::size_t n = s.size();
    std::vector<std::pair<std::size_t, std::size_t>> ranges = {
        {0, n}, {0, 1}, {n - 1, n}, {first, last + 1}, {first, first + 1}, {last, last + 1}};
    std::uniform_int_distribution<std::size_t> at(0, n);
    for (int k = 0; k < 300; ++k) {
        std::size_t a = at(random), b = at(random);
        ranges.emplace_back(std::min(a, b), std::max(a, b));
    }
    for (const auto& [begin, end] : ranges) {
        const MinMax got = envelope.Range(s.data(), begin, end);
        const MinMax want = Oracle(s, begin, end);
        ASSERT_EQ(got.Empty(), want.Empty()) << begin << ".." << end;
        if (want.Empty()) continue;
        EXPECT_EQ(got.min, want.min) << begin << ".." << end;
        EXPECT_EQ(got.max, want.max) << begin << ".." << end;
    }
    for (const std::size_t columns : {std::size_t{1}, std::size_t{7}, std::size_t{1200}}) {
        std::vector<double> out;
        envelope.Columns(s.data(), first, last, columns, out);
        ExpectColumns(out, s, first, last, columns);
        // The same reduction in one pass, as the printed page takes it.
        std::vector<double> plain;
        MinMaxColumns(s.data(), first, last, columns, plain);
        EXPECT_EQ(plain, out);
    }
}

TEST(Envelope, MatchesAPlainScanBeforeAndAfterEditsAtTheWindowsEdges) {
    const struct {
        const char* what;
        std::size_t count;
        std::size_t first, last;  // the window
    } rows[] = {
        {"one point", 1, 0, 0},
        {"less than a block", 31, 3, 30},
        {"exactly a block", 32, 0, 31},
        {"a block and one", 33, 1, 32},
        {"uneven levels", 5007, 33, 4990},
        {"many levels, window across block edges", 300001, 1023, 299968},
        {"many levels, narrow window", 300001, 150017, 152100},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::mt19937 random(static_cast<std::mt19937::result_type>(row.count * 7 + row.first));
        std::vector<double> s = Waveform(row.count, random);
        MinMaxEnvelope envelope;
        envelope.Build(s.data(), s.size());
        ASSERT_NO_FATAL_FAILURE(ExpectMatchesOracle(envelope, s, random, row.first, row.last));

        // A spike at each window edge, a dip drawn across the first block edge
        // after the window's start, and the waveform's own ends.
        const std::size_t n = row.count;
        const std::size_t dipEnd = std::min(n - 1, row.first + 40);
        const struct Edit {
            std::size_t from, to;
            double volts;
        } edits[] = {{row.first, row.first, 20.0},
                     {row.last, row.last, -20.0},
                     {row.first, dipEnd, -30.0},
                     {0, 0, 25.0},
                     {n - 1, n - 1, -25.0}};
        for (const Edit& e : edits) {
            for (std::size_t i = e.from; i <= e.to; ++i) s[i] = e.volts + 0.001 * double(i - e.from);
            envelope.Update(s.data(), e.from, e.to);
        }
        ASSERT_NO_FATAL_FAILURE(ExpectMatchesOracle(envelope, s, random, row.first, row.last));
        // Taking a spike out again shows the value under it.
        s[row.first] = 0.5;
        envelope.Update(s.data(), row.first, row.first);
        ASSERT_NO_FATAL_FAILURE(ExpectMatchesOracle(envelope, s, random, row.first, row.last));
    }
}

TEST(Envelope, TakesAtMostAnEighthOfThePointsMemory) {
    std::mt19937 random(5);
    const std::vector<double> s = Waveform(1 << 20, random);
    MinMaxEnvelope envelope;
    envelope.Build(s.data(), s.size());
    EXPECT_LE(envelope.MemoryBytes(), s.size() * sizeof(double) / 8);
}

// What the view draws of a big arbitrary channel, step after step: the
// columns it keeps are renewed over every edit, and a load starts afresh.
TEST(Envelope, TheViewsColumnsFollowEditsZoomsAndLoads) {
    constexpr std::size_t kPoints = 300000;
    constexpr std::size_t kColumns = 1120;
    FakeGenerator fake;
    DeviceSettings settings(fake);
    settings.SetWaveType(0, kWaveArbitrary);
    settings.ResizeArbitrary(0, kPoints);
    std::mt19937 random(11);
    std::vector<double> s = Waveform(kPoints, random);
    const auto store = [&](std::size_t from, std::size_t to) {
        settings.ModifyRecord(0, [&](ChannelRecord& r) { std::copy(&s[from], &s[to] + 1, &r.arbitrarySamples[from]); });
    };
    const auto window = [&](std::uint32_t first, std::uint32_t last) {
        settings.ModifyRecord(0, [&](ChannelRecord& r) {
            r.arbitraryViewFirst = first;
            r.arbitraryViewLast = last;
        });
    };
    store(0, kPoints - 1);
    TraceSource source;
    TraceScene trace;
    const struct Step {
        const char* what;
        std::size_t first, last;       // window
        std::size_t editFrom, editTo;  // points changed before the step (editTo < editFrom: none)
        double volts;
        bool reported;  // the edit is told to the view; a load is not
    } steps[] = {
        {"every point", 0, kPoints - 1, 1, 0, 0.0, true},
        {"spike at the first point", 0, kPoints - 1, 0, 0, 9.0, true},
        {"zoomed in", 1023, 250000, 1, 0, 0.0, true},
        {"spike at the window's first point", 1023, 250000, 1023, 1023, -9.0, true},
        {"dip at the window's last point", 1023, 250000, 249990, 250000, -7.0, true},
        {"edit across a column edge", 1023, 250000, 1023 + 222, 1023 + 224, 8.5, true},
        {"edit outside the window", 1023, 250000, 260000, 260100, 11.0, true},
        {"fewer points than columns", 5000, 5999, 5500, 5500, 4.0, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        for (std::size_t i = step.editFrom; i <= step.editTo; ++i) s[i] = step.volts;
        if (step.editFrom <= step.editTo) {
            store(step.editFrom, step.editTo);
            source.PointsChanged(0, std::uint32_t(step.editFrom), std::uint32_t(step.editTo));
        }
        window(std::uint32_t(step.first), std::uint32_t(step.last));
        source.Read(settings, kColumns, trace);
        EXPECT_EQ(trace.first, step.first);
        EXPECT_EQ(trace.last, step.last);
        if (step.last - step.first + 1 <= kColumns)
            EXPECT_EQ(trace.samples, std::vector<double>(&s[step.first], &s[step.last] + 1));
        else
            ASSERT_NO_FATAL_FAILURE(ExpectColumns(trace.samples, s, step.first, step.last, kColumns));
    }

    // A load puts a new array in place, untold: the envelope is made anew.
    s = Waveform(kPoints, random);
    s[123457] = 12.0;
    settings.ModifyRecord(0, [&](ChannelRecord& r) {
        std::vector<double> loaded = s;
        r.arbitrarySamples.swap(loaded);
    });
    window(0, kPoints - 1);
    source.Read(settings, kColumns, trace);
    ExpectColumns(trace.samples, s, 0, kPoints - 1, kColumns);
}

// Every edit through the model's edit operation reaches the view's columns
// untold, whatever it is and however many come between two reads.
TEST(Envelope, EditsThroughTheModelReachTheViewUntold) {
    constexpr std::uint32_t kPoints = 300000;
    constexpr std::size_t kColumns = 1120;
    FakeGenerator fake;
    DeviceSettings settings(fake);
    settings.SetWaveType(0, kWaveArbitrary);
    std::mt19937 random(13);
    EditArbitrary(settings, 0, ArbitraryEdit::Replace(Waveform(kPoints, random)));
    const auto set = [&](std::uint32_t first, std::uint32_t last, double volts) {
        return EditArbitrary(settings, 0,
                             ArbitraryEdit::Points(first, last, [=](std::vector<double>& s, std::uint32_t count) {
                                 const std::uint32_t end = std::min(last, count - 1);
                                 for (std::uint32_t i = first; i <= end; ++i) s[i] = volts;
                                 return std::optional<std::uint32_t>(end);
                             }));
    };
    const struct {
        const char* what;
        std::function<void()> edit;
    } rows[] = {
        {"first read", [] {}},
        {"a spike", [&] { set(1234, 1234, 11.0); }},
        {"a dip across a block edge", [&] { set(4000, 4100, -11.0); }},
        {"undone", [&] { EditArbitrary(settings, 0, ArbitraryEdit::Undo()); }},
        {"redone", [&] { EditArbitrary(settings, 0, ArbitraryEdit::Redo()); }},
        {"more edits than the model remembers",
         [&] {
             for (std::uint32_t k = 0; k < ArbitraryChanges::kKept + 5; ++k) set(k * 997, k * 997 + 3, 9.0 - k * 0.1);
         }},
        {"one more after that", [&] { set(kPoints - 1, kPoints - 1, -12.0); }},
        {"a new point count", [&] { EditArbitrary(settings, 0, ArbitraryEdit::Resize(kPoints - 4096)); }},
        {"a replaced waveform", [&] { EditArbitrary(settings, 0, ArbitraryEdit::Replace(Waveform(kPoints, random))); }},
        {"an edit of the replacement", [&] { set(77777, 77777, 12.0); }},
    };
    TraceSource source;
    TraceScene trace;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        row.edit();
        source.Read(settings, kColumns, trace);
        const ChannelRecord r = settings.Record(0);
        const std::vector<double> s(r.arbitrarySamples.begin(), r.arbitrarySamples.begin() + r.arbitraryPointCount);
        ASSERT_NO_FATAL_FAILURE(ExpectColumns(trace.samples, s, 0, s.size() - 1, kColumns));
    }
}

}  // namespace
}  // namespace zorbel::test
