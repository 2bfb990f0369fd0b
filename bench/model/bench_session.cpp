// A complete Write Operation (read the limits of both channels, write both
// channels' settings, refresh: 65 exchanges) through DeviceSettings and its
// worker, beside 65 raw UDP round trips to the same simulator in the same run.
// Target: the operation within 3 x the raw round trips + two worker periods.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <iostream>
#include <string>

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

BENCHMARK(BM_RawRoundTrips)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModelWriteOperation)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return zorbel::bench::RunAgainstGensim(argc, argv, {true, false, {}}, sim); }
