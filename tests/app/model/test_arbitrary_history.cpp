// Undo and redo of the arbitrary waveforms: against copies of the channels
// taken after every change, and what a step keeps in memory.
#include <gtest/gtest.h>

#include <random>

#include "fake_generator.h"
#include "zorbel/model/arbitrary_edit.h"
#include "zorbel/model/device_settings.h"
#include "zorbel/model/long_job.h"

namespace zorbel::test {
namespace {

struct Copy {
    std::vector<double> samples;
    std::uint32_t count = 0;
    ArbitraryWindow window;
    std::uint16_t zoom = 0;
    bool operator==(const Copy&) const = default;
};

Copy CopyOf(const DeviceSettings& settings, std::uint16_t channel) {
    return settings.ReadRecord(channel, [](const ChannelRecord& r) {
        return Copy{r.arbitrarySamples, r.arbitraryPointCount, WindowOf(r), r.arbitraryZoom};
    });
}

// The changes the program makes, each recorded as the program records it.
class Changes {
public:
    Changes(DeviceSettings& settings, std::uint32_t seed) : settings_(settings), random_(seed) {}

    void Any(std::uint16_t channel) {
        switch (Below(7)) {
        case 0:  // a point editor entry
            EditPoints(channel, 1);
            break;
        case 1: {  // a drag: pieces here and there, overlapping or not, one step
            settings_.History().BeginStep(channel);
            for (int n = 1 + Below(6); n > 0; --n) EditPoints(channel, 1 + Below(40));
            settings_.History().EndStep();
            break;
        }
        case 2: {  // a zoom or a move
            settings_.History().RecordWindow(channel);
            const std::uint32_t first = Below(100);
            const ArbitraryWindow w{first, first + 12 + Below(300), -Volts(), Volts()};
            settings_.ModifyRecord(channel, [&](ChannelRecord& r) { SetWindow(r, w); });
            break;
        }
        case 3: {  // a new point count, not always a multiple of 16
            const std::uint32_t n = 16 + Below(700);
            settings_.History().RecordResize(channel, n);
            settings_.ResizeArbitrary(channel, n);
            break;
        }
        case 4: {  // a new point count built on a worker: the old array kept or copied from
            const std::uint32_t n = 16 + Below(700);
            const std::uint64_t generation = settings_.Record(channel).arbitraryChanges.Generation();
            EditArbitrary(settings_, channel, ArbitraryEdit::Resize(*settings_.ResizedSamples(channel, n), generation));
            break;
        }
        case 5:  // a formula or sound file: swapped in
            EditArbitrary(settings_, channel, ArbitraryEdit::Replace(NewSamples()));
            break;
        default: {  // a file load, zeros at the end now and then
            std::vector<double> samples = NewSamples();
            settings_.History().RecordReplace(channel);
            settings_.ResizeArbitrary(channel, static_cast<std::uint32_t>(samples.size()));
            settings_.ModifyRecord(channel, [&](ChannelRecord& r) {
                r.arbitrarySamples.swap(samples);
                r.arbitraryZoom = Below(2) ? 4 : 20;
            });
            break;
        }
        }
    }

private:
    std::vector<double> NewSamples() {
        std::vector<double> samples(16 + Below(700));
        const std::size_t zeros = Below(2) ? Below(static_cast<std::uint32_t>(samples.size())) : 0;
        for (std::size_t i = 0; i + zeros < samples.size(); ++i) samples[i] = Volts();
        return samples;
    }
    std::uint32_t Below(std::uint32_t n) { return std::uniform_int_distribution<std::uint32_t>(0, n - 1)(random_); }
    double Volts() { return std::uniform_real_distribution<double>(-10.0, 10.0)(random_); }

    void EditPoints(std::uint16_t channel, std::uint32_t length) {
        const std::uint32_t count = settings_.Record(channel).arbitraryPointCount;
        const std::uint32_t first = Below(count);
        const std::uint32_t last = std::min(first + length - 1, count - 1);
        settings_.History().RecordPoints(channel, first, last);
        settings_.ModifyRecord(channel, [&](ChannelRecord& r) {
            for (std::uint32_t i = first; i <= last; ++i) r.arbitrarySamples[i] = Volts();
        });
    }

    DeviceSettings& settings_;
    std::mt19937 random_;
};

TEST(ArbitraryHistory, UndoingEveryStepAndRedoingItMatchesCopiesTakenOnTheWay) {
    for (const std::uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        FakeGenerator fake;
        DeviceSettings settings(fake);
        Changes changes(settings, seed);
        std::array<std::vector<Copy>, kChannelCount> copies;
        for (std::uint16_t channel = 0; channel < kChannelCount; ++channel) {
            settings.ResizeArbitrary(channel, 512 + 17 * channel);
            copies[channel].push_back(CopyOf(settings, channel));
        }
        // Both channels in turn, under the bound of 100 steps per channel.
        std::mt19937 pick(seed);
        for (int step = 0; step < 160; ++step) {
            const auto channel = static_cast<std::uint16_t>(pick() % kChannelCount);
            changes.Any(channel);
            copies[channel].push_back(CopyOf(settings, channel));
        }
        for (std::uint16_t channel = 0; channel < kChannelCount; ++channel) {
            SCOPED_TRACE(channel);
            const std::vector<Copy>& expected = copies[channel];
            ASSERT_EQ(settings.History().UndoSteps(channel), expected.size() - 1);
            for (std::size_t k = expected.size() - 1; k > 0; --k) {
                ASSERT_TRUE(settings.History().Undo(channel)) << k;
                ASSERT_EQ(CopyOf(settings, channel), expected[k - 1]) << "undone to " << k - 1;
            }
            EXPECT_FALSE(settings.History().Undo(channel));
            for (std::size_t k = 1; k < expected.size(); ++k) {
                ASSERT_TRUE(settings.History().Redo(channel)) << k;
                ASSERT_EQ(CopyOf(settings, channel), expected[k]) << "redone to " << k;
            }
            EXPECT_FALSE(settings.History().Redo(channel));
            // A change after an undo: what was undone cannot come back.
            settings.History().Undo(channel);
            changes.Any(channel);
            EXPECT_FALSE(settings.History().CanRedo(channel));
        }
    }
}

constexpr std::uint32_t kLarge = 4u << 20;  // 4 M points, 32 MiB

TEST(ArbitraryHistory, KeepsWhatAChangeOverwroteWithinItsBounds) {
    const struct {
        const char* what;
        std::size_t maxBytes, maxSteps;
        std::function<void(DeviceSettings&)> change;  // on 4 M points of 1.0 in channel 1
        std::size_t mostBytes;                        // kept afterwards
        std::size_t steps;
        bool undoRestores;  // the first undo brings back the 4 M points
    } rows[] = {
        {"one point", ArbitraryHistory::kDefaultMaxBytes, ArbitraryHistory::kDefaultMaxSteps,
         [](DeviceSettings& s) {
             s.History().RecordPoints(0, 2'000'000, 2'000'000);
             s.ModifyRecord(0, [](ChannelRecord& r) { r.arbitrarySamples[2'000'000] = -2.0; });
         },
         1024, 1, true},
        {"a drag over 1000 points in 100 moves", ArbitraryHistory::kDefaultMaxBytes, ArbitraryHistory::kDefaultMaxSteps,
         [](DeviceSettings& s) {
             s.History().BeginStep(0);
             for (std::uint32_t i = 0; i < 1000; i += 10) s.History().RecordPoints(0, 5000 - i, 5010 - i);
             s.History().EndStep();
         },
         16 * 1024, 1, true},
        {"a zoom", ArbitraryHistory::kDefaultMaxBytes, ArbitraryHistory::kDefaultMaxSteps,
         [](DeviceSettings& s) { s.History().RecordWindow(0); }, 1024, 1, true},
        {"a longer count keeps nothing", ArbitraryHistory::kDefaultMaxBytes, ArbitraryHistory::kDefaultMaxSteps,
         [](DeviceSettings& s) {
             s.History().RecordResize(0, kLarge + 1024);
             s.ResizeArbitrary(0, kLarge + 1024);
         },
         1024, 1, true},
        {"a load beyond the byte bound forgets the history", 16u << 20, 100,
         [](DeviceSettings& s) {
             s.History().RecordWindow(0);
             s.History().RecordReplace(0);
         },
         0, 0, false},
        {"a drag beyond the byte bound forgets the history", 1u << 20, 100,
         [](DeviceSettings& s) {
             s.History().RecordWindow(0);
             s.History().BeginStep(0);
             for (std::uint32_t i = 0; i < 1'000'000; i += 1000) s.History().RecordPoints(0, i, i + 999);
             s.History().EndStep();
         },
         0, 0, false},
        {"the oldest steps go over the byte bound", 100u << 10, 100,
         [](DeviceSettings& s) {
             for (std::uint32_t i = 0; i < 40; ++i) s.History().RecordPoints(0, i * 1000, i * 1000 + 999);
         },
         100u << 10, 12, false},
        {"and over the step bound", ArbitraryHistory::kDefaultMaxBytes, 3,
         [](DeviceSettings& s) {
             for (int i = 0; i < 5; ++i) s.History().RecordWindow(0);
         },
         1024, 3, false},
    };
    FakeGenerator fake;
    DeviceSettings settings(fake);
    settings.ResizeArbitrary(0, kLarge);
    const auto fill = [&] {
        settings.ModifyRecord(0, [](ChannelRecord& r) {
            std::fill(r.arbitrarySamples.begin(), r.arbitrarySamples.end(), 1.0);
            r.arbitraryViewFirst = 0;
            r.arbitraryViewLast = r.arbitraryPointCount - 1;
        });
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        settings.History().SetLimits(0, 0);  // starts afresh
        settings.History().SetLimits(row.maxBytes, row.maxSteps);
        settings.ResizeArbitrary(0, kLarge);
        fill();
        row.change(settings);
        EXPECT_LE(settings.History().Bytes(), row.mostBytes);
        EXPECT_EQ(settings.History().UndoSteps(0), row.steps);
        if (!row.undoRestores) continue;
        ASSERT_TRUE(settings.History().Undo(0));
        settings.ReadRecord(0, [](const ChannelRecord& r) {
            ASSERT_EQ(r.arbitraryPointCount, kLarge);
            EXPECT_EQ(std::count(r.arbitrarySamples.begin(), r.arbitrarySamples.end(), 1.0), kLarge);
        });
    }
}

// A change that took a whole array out is undone and redone by swapping
// arrays back, not by building them anew: millions of points cost the
// interface thread nothing to copy.
TEST(ArbitraryHistory, UndoAndRedoOfAWholeArraySwapItBack) {
    constexpr std::uint32_t kPoints = 1u << 18;
    const struct {
        const char* what;
        std::function<void(DeviceSettings&)> change;  // on 256 k points of 1.0 in channel 0
    } rows[] = {
        {"a replacement",
         [](DeviceSettings& s) { EditArbitrary(s, 0, ArbitraryEdit::Replace(std::vector<double>(kPoints / 2, 2.0))); }},
        {"a resize built on a worker, to 16 points",
         [](DeviceSettings& s) {
             const std::uint64_t generation = s.Record(0).arbitraryChanges.Generation();
             EditArbitrary(s, 0, ArbitraryEdit::Resize(*s.ResizedSamples(0, 16), generation));
         }},
    };
    FakeGenerator fake;
    DeviceSettings settings(fake);
    const auto data = [&] {
        return settings.ReadRecord(0, [](const ChannelRecord& r) { return r.arbitrarySamples.data(); });
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        settings.ResizeArbitrary(0, kPoints);
        settings.ModifyRecord(
            0, [](ChannelRecord& r) { std::fill(r.arbitrarySamples.begin(), r.arbitrarySamples.end(), 1.0); });
        const Copy before = CopyOf(settings, 0);
        const double* const old = data();
        row.change(settings);
        const Copy changed = CopyOf(settings, 0);
        const double* const now = data();
        for (int round = 0; round < 2; ++round) {
            ASSERT_TRUE(EditArbitrary(settings, 0, ArbitraryEdit::Undo()));
            EXPECT_EQ(data(), old);
            EXPECT_EQ(CopyOf(settings, 0), before);
            ASSERT_TRUE(EditArbitrary(settings, 0, ArbitraryEdit::Redo()));
            EXPECT_EQ(CopyOf(settings, 0), changed);
            if (changed.samples.size() >= kPoints / 2) {
                EXPECT_EQ(data(), now);  // 16 points are copied
            }
        }
    }
}

// Undoing a shorter count of millions of points builds the longer array on
// the worker; the finish only swaps it in. A cancelled job, or one the
// waveform changed under, leaves points and history as they were.
TEST(ArbitraryHistory, AnUndoThatBringsBackMillionsOfPointsIsBuiltOnTheWorker) {
    constexpr std::uint32_t kPoints = 1u << 19;
    enum class Meanwhile { Nothing, Cancel, EditThroughHistory, ChangeBehindItsBack };
    const struct {
        const char* what;
        Meanwhile meanwhile;
    } rows[] = {
        {"run to its end, then redone and undone again", Meanwhile::Nothing},
        {"cancelled", Meanwhile::Cancel},
        {"a point edited meanwhile", Meanwhile::EditThroughHistory},
        {"the points changed behind the history's back", Meanwhile::ChangeBehindItsBack},
    };
    FakeGenerator fake;
    DeviceSettings settings(fake);
    // Runs the job's work, then what happens meanwhile, then its finish.
    const auto run = [&](bool redo, Meanwhile meanwhile) {
        LongJob job = UndoJob(settings, 0, redo, nullptr);
        EXPECT_FALSE(job.small);
        std::stop_source stop;
        JobProgress progress(stop.get_token());
        if (meanwhile == Meanwhile::Cancel) stop.request_stop();
        const JobFinish finish = job.work(progress);
        if (meanwhile == Meanwhile::EditThroughHistory)
            EditArbitrary(settings, 0, ArbitraryEdit::Points(5, 5, [](std::vector<double>& a, std::uint32_t) {
                              a[5] = -1.0;
                              return std::optional<std::uint32_t>(5);
                          }));
        if (meanwhile == Meanwhile::ChangeBehindItsBack)
            settings.ModifyRecord(0, [](ChannelRecord& r) {
                r.arbitrarySamples[7] = -2.0;
                r.arbitraryChanges.PointsChanged(7, 7);
            });
        if (finish) finish();
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        settings.History().Forget(0);
        settings.ResizeArbitrary(0, kPoints);
        settings.ModifyRecord(0, [](ChannelRecord& r) {
            for (std::size_t i = 0; i < r.arbitrarySamples.size(); ++i) r.arbitrarySamples[i] = 1.0 + i % 7;
        });
        const Copy before = CopyOf(settings, 0);
        const std::uint64_t generation = settings.Record(0).arbitraryChanges.Generation();
        ASSERT_TRUE(
            EditArbitrary(settings, 0, ArbitraryEdit::Resize(*settings.ResizedSamples(0, kPoints / 2), generation)));
        const Copy shrunk = CopyOf(settings, 0);

        run(false, row.meanwhile);
        const Copy after = CopyOf(settings, 0);
        if (row.meanwhile == Meanwhile::Nothing) {
            EXPECT_EQ(after, before);
            run(true, Meanwhile::Nothing);
            EXPECT_EQ(CopyOf(settings, 0), shrunk);
            run(false, Meanwhile::Nothing);
            EXPECT_EQ(CopyOf(settings, 0), before);
            continue;
        }
        EXPECT_EQ(after.samples.size(), shrunk.samples.size()) << "nothing was brought back";
        EXPECT_EQ(after.count, shrunk.count);
        if (row.meanwhile == Meanwhile::Cancel || row.meanwhile == Meanwhile::ChangeBehindItsBack) {
            // The step is still there: undone at once now, it brings the points back.
            EXPECT_TRUE(settings.History().CanUndo(0));
            ASSERT_TRUE(EditArbitrary(settings, 0, ArbitraryEdit::Undo()));
            EXPECT_EQ(CopyOf(settings, 0).count, before.count);
        }
    }
}

}  // namespace
}  // namespace zorbel::test
