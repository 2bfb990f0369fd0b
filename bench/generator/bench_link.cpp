// One channel-setting write through the library against zorbel-gensim, over
// LAN and over the virtual USB device, each beside a raw round trip of the
// same bytes on the same transport in the same run. The library's overhead
// is the difference (USB adds its fixed 5 ms pause before the read request).
#include "QRVHardDll.h"
#include "gensim_main.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

namespace {

const std::string kCommand = "SOURce1:FREQuency 1000";
zorbel::test::Gensim* sim = nullptr;

bool ReceiveOne(int fd, char* buffer, std::size_t size) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 2000) == 1 && recv(fd, buffer, size, 0) > 0;
}

std::string UsbHeader(std::uint8_t type, std::uint8_t tag, std::uint32_t length) {
    std::string h(12, '\0');
    h[0] = static_cast<char>(type);
    h[1] = static_cast<char>(tag);
    h[2] = static_cast<char>(static_cast<std::uint8_t>(~tag));
    std::memcpy(h.data() + 4, &length, 4);  // little-endian host
    h[8] = type == 1 ? 1 : 0;
    return h;
}

void BM_LanLibraryWrite(benchmark::State& state) {
    qmkHDInitComType(1, sim->LanAddressValue());
    for (auto _ : state) {
        if (qmkHDWriteChannelFrequency(0, 1000, 2e7, 0) != 2) state.SkipWithError("write not confirmed");
    }
}

void BM_LanRawRoundTrip(benchmark::State& state) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9966);
    inet_pton(AF_INET, sim->LanAddress().c_str(), &to.sin_addr);
    char buffer[10255];
    for (auto _ : state) {
        sendto(fd, kCommand.data(), kCommand.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (!ReceiveOne(fd, buffer, sizeof buffer)) state.SkipWithError("no answer");
    }
    close(fd);
}

void BM_UsbLibraryWrite(benchmark::State& state) {
    setenv("QRV_USB_DEVICE", sim->UsbDevice().c_str(), 1);
    qmkHDInitComType(0, sim->LanAddressValue());
    for (auto _ : state) {
        if (qmkHDWriteChannelFrequency(0, 1000, 2e7, 0) != 2) state.SkipWithError("write not confirmed");
    }
}

// What one library exchange does on the wire: connect, command packet,
// (with `pause`: the instrument's 5 ms), read request, reply, close.
void UsbRawRoundTrip(benchmark::State& state, bool pause) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, sim->UsbPath().c_str(), sim->UsbPath().size());
    const std::string command = UsbHeader(1, 0, static_cast<std::uint32_t>(kCommand.size())) + kCommand;
    const std::string request = UsbHeader(2, 1, 10255);
    char buffer[10267];
    for (auto _ : state) {
        const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            state.SkipWithError("cannot connect");
            close(fd);
            break;
        }
        send(fd, command.data(), command.size(), MSG_NOSIGNAL);
        if (pause) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        if (!ReceiveOne(fd, buffer, sizeof buffer)) state.SkipWithError("no answer");
        close(fd);
    }
}

void BM_UsbRawRoundTrip(benchmark::State& state) { UsbRawRoundTrip(state, false); }
// The same with the pause: separates the library's own cost from what the
// idle 5 ms cost the two processes (timer overshoot, wake-up latency).
void BM_UsbRawRoundTripWithPause(benchmark::State& state) { UsbRawRoundTrip(state, true); }

BENCHMARK(BM_LanRawRoundTrip)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LanLibraryWrite)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UsbRawRoundTrip)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UsbRawRoundTripWithPause)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UsbLibraryWrite)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return zorbel::bench::RunAgainstGensim(argc, argv, {}, sim); }
