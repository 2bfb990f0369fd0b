// Against zorbel-gensim over LAN, each beside its raw baseline in the same run:
// - a complete Write Operation (read the limits of both channels, write both
//   channels' settings, refresh: 65 exchanges) through DeviceSettings and its
//   worker, beside 65 raw UDP round trips. Target: within 3 x the raw round
//   trips + two worker periods;
// - a typed value (the setter the panel's fields call) until the
//   instrument's answer to it has arrived, beside one raw round trip of the
//   same command. Target: raw + 5 ms;
// - the longest gap of a 10 ms probe that reads the record, as the progress
//   dialog and the view do on the interface thread, while a 64 M-point
//   download starts (its first 300 ms, then it is cancelled), beside the same
//   probe on an idle session. Target: 100 ms;
// - a sweep of 200 steps at 50 ms dwell: how far each step's time lies from
//   the dwell (median and 99th percentile). Target: at most 2 ms at the 99th.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "gensim_main.h"
#include "zorbel/model/session_pump.h"

namespace {

using namespace std::chrono_literals;

constexpr int kExchanges = 65;  // 20 range queries x 2 + 24 writes + 1 refresh
zorbel::test::Gensim* sim = nullptr;

// Values inside the simulator's ranges, so every write is confirmed.
void ApplySetup(zorbel::DeviceSettings& settings) {
    using zorbel::Parameter;
    for (std::uint16_t ch : {0, 1}) {
        settings.SetParameter(ch, Parameter::Amplitude, 1.5);
        settings.SetParameter(ch, Parameter::PulseLeading, 5e-8);
        settings.SetParameter(ch, Parameter::PulseTrailing, 5e-8);
    }
}

void BM_ModelWriteOperation(benchmark::State& state) {
    zorbel::DeviceSettings settings;
    zorbel::SessionPump pump(settings);
    pump.Start();
    settings.SetConnection(zorbel::kConnectionLan, sim->LanAddressValue());
    ApplySetup(settings);
    pump.WaitUntilIdle(5s);
    for (auto _ : state) {
        if (!pump.RunWriteOperation(10s).Succeeded()) state.SkipWithError("write operation failed");
    }
    state.counters["exchanges"] = kExchanges;
}

void BM_RawRoundTrips(benchmark::State& state) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9966);
    inet_pton(AF_INET, sim->LanAddress().c_str(), &to.sin_addr);
    const std::string query = "SOURce1:VOLTage? MAXimum";
    char answer[10255];
    for (auto _ : state) {
        for (int i = 0; i < kExchanges; ++i) {
            sendto(fd, query.data(), query.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 2000) != 1 || recv(fd, answer, sizeof answer, 0) <= 0) {
                state.SkipWithError("no answer");
                break;
            }
        }
    }
    close(fd);
    state.counters["exchanges"] = kExchanges;
}

// One raw UDP round trip of `command`; false when no answer came.
bool RawExchange(int fd, const sockaddr_in& to, const std::string& command) {
    char answer[10255];
    sendto(fd, command.data(), command.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 2000) == 1 && recv(fd, answer, sizeof answer, 0) > 0;
}

sockaddr_in SimAddress() {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9966);
    inet_pton(AF_INET, sim->LanAddress().c_str(), &to.sin_addr);
    return to;
}

void BM_RawSetValue(benchmark::State& state) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const sockaddr_in to = SimAddress();
    for (auto _ : state)
        if (!RawExchange(fd, to, "SOURce1:FREQuency 1234")) state.SkipWithError("no answer");
    close(fd);
}

// From the setter's call until the simulator holds the value: asked with
// raw queries from here, which neither wake nor wait for the worker.
void BM_TypedValueToInstrument(benchmark::State& state) {
    zorbel::DeviceSettings settings;
    zorbel::SessionPump pump(settings);
    pump.Start();
    settings.SetConnection(zorbel::kConnectionLan, sim->LanAddressValue());
    if (!pump.RunReadOperation(10s).Succeeded()) state.SkipWithError("read operation failed");
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const sockaddr_in to = SimAddress();
    const std::string query = "SOURce1:FREQuency?";
    double hertz = 1000;
    for (auto _ : state) {
        hertz = hertz < 2e6 ? hertz + 1 : 1000;
        settings.SetParameter(0, zorbel::Parameter::Frequency, hertz);
        for (int tries = 0;; ++tries) {
            char answer[256] = {};
            sendto(fd, query.data(), query.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 2000) != 1 || recv(fd, answer, sizeof answer - 1, 0) <= 0 || tries > 100000) {
                state.SkipWithError("the value never arrived");
                break;
            }
            if (std::strtod(answer, nullptr) == hertz) break;
        }
    }
    close(fd);
    if (settings.LastStatus() != zorbel::GeneratorStatus::Ok) state.SkipWithError("a write failed");
}

// CancelJob where the model has it, so that the same probe also runs on a
// model without it (which then sends the whole waveform before it is idle).
template <class Settings>
void CancelIfPossible(Settings& settings) {
    if constexpr (requires { settings.CancelJob(); }) settings.CancelJob();
}

// Largest gap between the shots of a 10 ms probe that reads the record, for
// `window`.
double LongestProbeGapMs(zorbel::DeviceSettings& settings, std::chrono::milliseconds window) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + window;
    auto last = Clock::now();
    double longest = 0;
    while (last < end) {
        std::this_thread::sleep_until(last + 10ms);
        settings.ReadRecord(0, [](const zorbel::ChannelRecord& r) { return r.arbitrarySent; });
        const auto now = Clock::now();
        longest = std::max(longest, std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
    }
    return longest;
}

void ProbeStall(benchmark::State& state, bool download) {
    zorbel::DeviceSettings settings;
    zorbel::SessionPump pump(settings);
    pump.Start();
    settings.SetConnection(zorbel::kConnectionLan, sim->LanAddressValue());
    if (!pump.RunReadOperation(10s).Succeeded()) state.SkipWithError("read operation failed");
    settings.ResizeArbitrary(0, 64 << 20);
    settings.ModifyRecord(0, [](zorbel::ChannelRecord& r) {
        for (std::size_t i = 0; i < r.arbitrarySamples.size(); ++i) r.arbitrarySamples[i] = (i & 1023) / 1024.0;
    });
    pump.WaitUntilIdle(5s);
    double longest = 0;
    for (auto _ : state) {
        if (download) settings.StartArbitraryDownload(0);
        longest = std::max(longest, LongestProbeGapMs(settings, 300ms));
        state.PauseTiming();
        CancelIfPossible(settings);
        pump.WaitUntilIdle(120s);
        state.ResumeTiming();
    }
    state.counters["longest_gap_ms"] = longest;
}

void BM_ProbeIdle(benchmark::State& state) { ProbeStall(state, false); }
void BM_ProbeDownloadStart64M(benchmark::State& state) { ProbeStall(state, true); }

// The p-th fraction of `values` (sorted here), nearest rank.
double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(rank, values.size() - 1)];
}

// The raw baseline of a sweep: the same writes from a plain loop that sleeps
// out the dwell after each answer; each step's time from one answer to the
// next against the dwell, in milliseconds.
std::vector<double> RawSweepDeviations(int steps, std::chrono::milliseconds dwell) {
    using Clock = std::chrono::steady_clock;
    using Ms = std::chrono::duration<double, std::milli>;
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const sockaddr_in to = SimAddress();
    std::vector<double> deviations;
    const bool answered = RawExchange(fd, to, "SOURce1:FREQuency 1000");
    auto last = Clock::now();
    for (int i = 1; answered && i < steps; ++i) {
        std::this_thread::sleep_until(last + dwell);
        if (!RawExchange(fd, to, "SOURce1:FREQuency " + std::to_string(1000 + i))) break;
        const auto now = Clock::now();
        deviations.push_back(std::abs(Ms(now - last - dwell).count()));
        last = now;
    }
    close(fd);
    return deviations;
}

// Two deviations per step, in milliseconds: the step's time from one
// confirmation to the next against the dwell (what the output holds), and
// the next write's start against the dwell after the last confirmation
// (the worker's timing alone, without the exchange). Beside them the raw
// baseline's steps, taken in the same run.
void BM_SweepStepTiming(benchmark::State& state) {
    constexpr auto kDwell = 50ms;
    zorbel::DeviceSettings settings;
    zorbel::SessionPump pump(settings);
    pump.Start();
    settings.SetConnection(zorbel::kConnectionLan, sim->LanAddressValue());
    if (!pump.RunReadOperation(10s).Succeeded()) state.SkipWithError("read operation failed");
    std::vector<double> period, start;
    for (auto _ : state) {
        zorbel::SweepPlan plan;
        plan.start = 1000;
        plan.stop = 100000;
        plan.scale = zorbel::SweepScale::Logarithmic;
        plan.count = static_cast<std::uint32_t>(state.range(0));
        plan.dwell = kDwell;
        if (!settings.StartSweep(0, plan, *zorbel::SweepSteps::Of(plan))) {
            state.SkipWithError("sweep not started");
            break;
        }
        const auto run = settings.Sweep();
        while (run->Now().state == zorbel::SweepState::Running) pump.WaitUntilIdle(1s);
        if (run->Now().state != zorbel::SweepState::Completed) state.SkipWithError("sweep failed");
        const auto times = run->Times();
        using Ms = std::chrono::duration<double, std::milli>;
        for (std::size_t i = 1; i < times.size(); ++i) {
            period.push_back(std::abs(Ms(times[i].confirmed - times[i - 1].confirmed - kDwell).count()));
            start.push_back(std::abs(Ms(times[i].sent - times[i - 1].confirmed - kDwell).count()));
        }
    }
    if (period.empty()) return;
    const std::vector<double> raw = RawSweepDeviations(static_cast<int>(state.range(0)), kDwell);
    if (!raw.empty()) {
        state.counters["raw_step_median_ms"] = Percentile(raw, 0.5);
        state.counters["raw_step_p99_ms"] = Percentile(raw, 0.99);
    }
    state.counters["step_median_ms"] = Percentile(period, 0.5);
    state.counters["step_p99_ms"] = Percentile(period, 0.99);
    state.counters["write_start_median_ms"] = Percentile(start, 0.5);
    state.counters["write_start_p99_ms"] = Percentile(start, 0.99);
}

BENCHMARK(BM_RawSetValue)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TypedValueToInstrument)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProbeIdle)->UseRealTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProbeDownloadStart64M)->UseRealTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawRoundTrips)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModelWriteOperation)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SweepStepTiming)->Arg(200)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return zorbel::bench::RunAgainstGensim(argc, argv, {true, false, {}}, sim); }
