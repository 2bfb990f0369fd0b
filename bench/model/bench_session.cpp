// A complete Write Operation (read the limits of both channels, write both
// channels' settings, refresh: 65 exchanges) through DeviceSettings and its
// worker, beside 65 raw UDP round trips to the same simulator in the same run.
// Target: the operation within 3 x the raw round trips + two worker periods.
// A sweep of 200 steps at 50 ms dwell: how far each step's time lies from the
// dwell (median and 99th percentile). Target: at most 2 ms at the 99th.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <string>
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

// The p-th fraction of `values` (sorted here), nearest rank.
double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(rank, values.size() - 1)];
}

// Two deviations per step, in milliseconds: the step's time from one
// confirmation to the next against the dwell (what the output holds), and
// the next write's start against the dwell after the last confirmation
// (the worker's timing alone, without the exchange).
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
    state.counters["step_median_ms"] = Percentile(period, 0.5);
    state.counters["step_p99_ms"] = Percentile(period, 0.99);
    state.counters["write_start_median_ms"] = Percentile(start, 0.5);
    state.counters["write_start_p99_ms"] = Percentile(start, 0.99);
}

BENCHMARK(BM_RawRoundTrips)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModelWriteOperation)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SweepStepTiming)->Arg(200)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return zorbel::bench::RunAgainstGensim(argc, argv, {true, false, {}}, sim); }
