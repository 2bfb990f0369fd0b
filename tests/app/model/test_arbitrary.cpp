// The arbitrary waveform: download order and its robustness, gain choice,
// resizing and resampling.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "session_fixture.h"
#include "zorbel/model/resample.h"

namespace zorbel::test {
namespace {

using Names = std::vector<std::string>;

class Download : public SessionTest {
protected:
    void Prepare(std::uint16_t channel, std::uint32_t points) {
        GoOnline();
        ASSERT_TRUE(settings.ResizeArbitrary(channel, points));
        settings.ModifyRecord(channel, [](ChannelRecord& r) {
            for (std::size_t i = 0; i < r.arbitraryPointCount; ++i) r.arbitrarySamples[i] = i % 2 ? 3.0 : -1.0;
        });
    }
};

TEST_F(Download, Of4096PointsIssuesAddressDataThenGainOutputDivider) {
    Prepare(0, 4096);
    settings.StartArbitraryDownload(0);
    for (int step = 0; step < 3; ++step) settings.ServiceQueue();

    EXPECT_EQ(fake.Names(), (Names{"ArbAddressLength", "ArbData", "ArbZoom", "ArbOutput", "ArbDivider"}));
    const std::vector<Call> calls = fake.Calls();
    EXPECT_EQ(calls[0].a, 0.0);  // address
    EXPECT_EQ(calls[0].b, 4096.0);
    EXPECT_EQ(calls[1].a, 4096.0);  // points of the waveform
    EXPECT_EQ(calls[1].first, 0u);
    EXPECT_EQ(calls[1].count, 4096u);
    EXPECT_EQ(calls[1].b, 4.0);  // the gain ZoomFromData chose
    EXPECT_EQ(calls[2].a, 4.0);
    EXPECT_EQ(calls[3].a, 0.0);  // output start
    EXPECT_EQ(calls[3].b, 4096.0);
    EXPECT_EQ(calls[4].a, 11.0);  // divider
    EXPECT_EQ(fake.LastArbData()[1], 3.0);
    EXPECT_EQ(settings.JobFlags(), Job::None);
    EXPECT_EQ(settings.Record(0).arbitrarySent, 4096u);
    EXPECT_EQ(observer.Progress(), std::vector<std::uint16_t>{ToNumber(Job::ArbitraryDownload)});
}

// Watched from another thread, as the status bar watches the worker: while
// the divider's answer is awaited the download must not look over and done.
TEST_F(Download, EndsOnlyOnceTheDividerAnswered) {
    Prepare(0, 64);
    settings.StartArbitraryDownload(0);
    settings.ServiceQueue();  // address and length
    settings.ServiceQueue();  // the points
    fake.SetCallDuration(std::chrono::milliseconds(50));
    fake.FailCallFromNow(2, GeneratorStatus::Failed);  // gain, output, then no answer to the divider
    std::jthread worker([this](std::stop_token stop) { settings.ServiceQueue(stop); });
    while (settings.JobFlags() != Job::None || !settings.IsIdle()) std::this_thread::yield();
    EXPECT_EQ(settings.LastStatus(), GeneratorStatus::Failed);
    EXPECT_EQ(fake.Names(), (Names{"ArbAddressLength", "ArbData", "ArbZoom", "ArbOutput", "ArbDivider"}));
}

TEST_F(Download, StaysOnItsChannelWhenTheCurrentChannelChanges) {
    Prepare(1, 64);
    settings.StartArbitraryDownload(1);
    settings.ServiceQueue();
    settings.SetCurrentChannel(0);
    settings.ServiceQueue();
    settings.ServiceQueue();
    for (const Call& c : fake.Calls()) EXPECT_EQ(c.channel, 1) << c.name;
    EXPECT_EQ(fake.Count("ArbData"), 1u);
    EXPECT_EQ(settings.Record(0).arbitrarySent, 0u);
}

TEST_F(Download, ShrunkWaveformIsPaddedNotOverrun) {
    Prepare(0, 4096);
    settings.StartArbitraryDownload(0);
    settings.ServiceQueue();
    settings.ResizeArbitrary(0, 32);  // between the start and the data call
    settings.ServiceQueue();
    const std::vector<double> sent = fake.LastArbData();
    ASSERT_EQ(sent.size(), 4096u);
    EXPECT_EQ(sent[1], 3.0);
    EXPECT_EQ(sent[4000], 0.0);
}

struct DownloadCancelCase {
    const char* what;
    std::optional<std::size_t> cancelAtCall;  // instrument call (from the start) that cancels; none: at once
    Names calls;
    std::uint16_t outputAfter;  // the record's output state
    std::uint32_t pointsSent;
};

// Three slices of 92160 points. Cancelled, no further packet goes out and
// nothing is played from a half-written memory: once points went out the
// output is off; before, the instrument is untouched. The session stays online.
TEST_F(Download, CancelledStopsBetweenSlicesAndSwitchesTheOutputOffOncePointsWentOut) {
    const DownloadCancelCase cases[] = {
        {"before it started", std::nullopt, {}, 1, 0},
        {"after the address, before any point", 0, {"ArbAddressLength"}, 1, 0},
        {"after the first slice", 1, {"ArbAddressLength", "ArbData", "WriteOnOff"}, 0, 92160},
    };
    for (const DownloadCancelCase& c : cases) {
        SCOPED_TRACE(c.what);
        Prepare(0, 3 * 92160);
        settings.SetOutputState(0, 1);
        settings.ServiceQueue();
        fake.ClearCalls();
        observer.Clear();
        if (c.cancelAtCall) fake.OnCallFromNow(*c.cancelAtCall, [this] { settings.CancelJob(); });
        settings.StartArbitraryDownload(0);
        if (!c.cancelAtCall) settings.CancelJob();
        for (int step = 0; step < 6 && !settings.IsIdle(); ++step) settings.ServiceQueue();

        EXPECT_EQ(fake.Names(), c.calls);
        if (c.outputAfter == 0) {
            EXPECT_EQ(fake.Calls().back().a, 0.0);  // "off"
        }
        EXPECT_EQ(settings.Record(0).outputState, c.outputAfter);
        EXPECT_EQ(settings.DownloadProgress().first, c.pointsSent);
        EXPECT_EQ(observer.UpdatePanelCount(), c.outputAfter == 0 ? 1 : 0);
        const LastJob last = settings.LastEndedJob();
        EXPECT_EQ(last.end, JobEnd::Cancelled);
        EXPECT_EQ(last.job, Job::ArbitraryDownload);
        EXPECT_EQ(settings.JobFlags(), Job::None);
        EXPECT_TRUE(settings.IsIdle());
        EXPECT_EQ(settings.LinkState(), Link::Up);
        EXPECT_EQ(settings.LastStatus(), GeneratorStatus::Ok);
    }
}

TEST_F(Download, LatchedSessionStillEndsTheDownload) {
    Prepare(0, 64);
    Latch();
    settings.StartArbitraryDownload(0);
    for (int step = 0; step < 5; ++step) settings.ServiceQueue();
    EXPECT_TRUE(fake.Calls().empty());
    EXPECT_EQ(settings.JobFlags(), Job::None);
    EXPECT_EQ(observer.Progress().size(), 1u);
}

TEST_F(Download, EmptyWaveformIsNotStarted) {
    Prepare(0, 15);
    settings.StartArbitraryDownload(0);
    settings.ServiceQueue();
    EXPECT_TRUE(fake.Calls().empty());
    EXPECT_EQ(settings.JobFlags(), Job::None);
}

TEST_F(Download, OfflineDoesNothing) {
    settings.StartArbitraryDownload(0);
    settings.ServiceQueue();
    EXPECT_TRUE(fake.Calls().empty());
    EXPECT_TRUE(settings.IsIdle());
}

TEST(ZoomFromData, AsksForTheGainOfTheSamplesExtremesAndStoresIt) {
    FakeGenerator fake;
    DeviceSettings settings(fake);
    settings.ModifyRecord(0, [](ChannelRecord& r) {
        r.arbitrarySamples = {-1.0, 3.0, 100.0};  // only the first point count count
        r.arbitraryPointCount = 2;
    });
    EXPECT_EQ(settings.ZoomFromData(0), 4);
    EXPECT_EQ(fake.LastZoomQuery(), (std::pair{3.0, -1.0}));
    EXPECT_EQ(settings.Record(0).arbitraryZoom, 4);

    settings.ResizeArbitrary(1, 0);
    settings.ZoomFromData(1);
    EXPECT_EQ(fake.LastZoomQuery(), (std::pair{0.0, 0.0}));
}

struct ResizeCase {
    std::uint32_t n;
    std::uint32_t points;
    std::uint32_t lastViewIndex;
};

class Resize : public ::testing::TestWithParam<ResizeCase> {};

TEST_P(Resize, RoundsDownToSixteenAndResetsTheView) {
    FakeGenerator fake;
    DeviceSettings settings(fake);
    settings.ModifyRecord(0, [](ChannelRecord& r) { r.arbitraryViewFirst = 7; });
    ASSERT_TRUE(settings.ResizeArbitrary(0, GetParam().n));
    const ChannelRecord r = settings.Record(0);
    EXPECT_EQ(r.arbitraryPointCount, GetParam().points);
    EXPECT_GE(r.arbitrarySamples.size(), r.arbitraryPointCount);
    EXPECT_EQ(r.arbitraryViewFirst, 0u);
    EXPECT_EQ(r.arbitraryViewLast, GetParam().lastViewIndex);
}

INSTANTIATE_TEST_SUITE_P(Cases, Resize,
                         ::testing::Values(ResizeCase{1000, 992, 991}, ResizeCase{15, 0, 0xFFFFFFFFu},
                                           ResizeCase{16, 16, 15}, ResizeCase{0, 0, 0xFFFFFFFFu}),
                         [](const auto& info) { return "From" + std::to_string(info.param.n); });

TEST(ResizeArbitrary, GrowingKeepsTheOldSamplesAndFillsWithZero) {
    FakeGenerator fake;
    DeviceSettings settings(fake);
    settings.ResizeArbitrary(0, 32);
    settings.ModifyRecord(0, [](ChannelRecord& r) {
        for (std::size_t i = 0; i < 32; ++i) r.arbitrarySamples[i] = 1.0 + i;
    });
    settings.ResizeArbitrary(0, 70);
    const ChannelRecord r = settings.Record(0);
    EXPECT_EQ(r.arbitraryPointCount, 64u);
    EXPECT_EQ(r.arbitrarySamples[31], 32.0);
    EXPECT_EQ(r.arbitrarySamples[32], 0.0);
    EXPECT_EQ(r.arbitrarySamples[69], 0.0);
}

TEST(ResizeArbitrary, RefusesBadChannelAndMoreThanTheWaveformMemory) {
    FakeGenerator fake;
    DeviceSettings settings(fake);
    EXPECT_FALSE(settings.ResizeArbitrary(2, 64));
    EXPECT_FALSE(settings.ResizeArbitrary(0, kMaxArbitraryPoints + 1));
    EXPECT_EQ(settings.Record(0).arbitraryPointCount, 5680u);
}

// The plain way: point j at j (N - 1) / (n - 1), between its two neighbours.
std::vector<double> Interpolated(const std::vector<double>& source, std::size_t n) {
    std::vector<double> out(n, source.empty() ? 0.0 : source[0]);
    if (source.size() < 2 || n < 2) return out;
    for (std::size_t j = 0; j < n; ++j) {
        const double x = static_cast<double>(j) * static_cast<double>(source.size() - 1) / static_cast<double>(n - 1);
        const auto i = std::min(static_cast<std::size_t>(x), source.size() - 2);
        out[j] = source[i] + (source[i + 1] - source[i]) * (x - static_cast<double>(i));
    }
    return out;
}

std::vector<double> Wave(std::size_t n, double (*f)(double x)) {
    std::vector<double> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = f(n > 1 ? static_cast<double>(i) / static_cast<double>(n - 1) : 0.0);
    return v;
}

TEST(Resample, FollowsLinearInterpolationWithTheEndsKept) {
    const auto sine = [](double x) { return 2.5 * std::sin(6.283185307179586 * x) + 0.3 * std::cos(40 * x); };
    const auto ramp = [](double x) { return -1.0 + 2.0 * x; };
    const auto constant = [](double) { return 0.25; };
    const struct {
        const char* what;
        std::vector<double> source;
        std::size_t n;
        bool exact;  // every point exactly as the oracle's (constants, the same count)
    } rows[] = {
        {"up", Wave(37, sine), 992, false},
        {"down", Wave(5680, sine), 96, false},
        {"the same count", Wave(64, sine), 64, true},
        {"to the 16-point minimum", Wave(6016, sine), 16, false},
        {"a constant stays exact", Wave(5680, constant), 992, true},
        {"a ramp up", Wave(100, ramp), 6016, false},
        {"a ramp down to 16", Wave(251008, ramp), 16, false},
        {"one point", {0.7}, 32, true},
        {"no points", {}, 16, true},
        {"none wanted", Wave(64, sine), 0, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::vector<double> got = Resample(row.source, row.n);
        const std::vector<double> want = Interpolated(row.source, row.n);
        ASSERT_EQ(got.size(), row.n);
        for (std::size_t j = 0; j < row.n; ++j) {
            if (row.exact)
                ASSERT_EQ(got[j], want[j]) << j;
            else
                ASSERT_NEAR(got[j], want[j], 1e-12) << j;
        }
        // The first and last points land on the old ones exactly.
        if (row.n > 1 && !row.source.empty()) {
            EXPECT_EQ(got.front(), row.source.front());
            EXPECT_EQ(got.back(), row.source.back());
        }
        // Built in slices, as the worker does, it is the same waveform.
        std::vector<double> sliced(row.n);
        for (std::size_t first = 0; first < row.n; first += 7)
            ResampleSlice(row.source, row.n, first,
                          std::span(sliced).subspan(first, std::min<std::size_t>(7, row.n - first)));
        EXPECT_TRUE(sliced == got);
    }
}

}  // namespace
}  // namespace zorbel::test
