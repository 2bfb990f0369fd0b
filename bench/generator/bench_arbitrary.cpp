// Arbitrary waveform download of 1 000 000 points to zorbel-gensim, over LAN
// and over the virtual USB device, each beside the raw transfer of the very
// same packets on the same transport in the same run; and the best-candidate
// search, which must not touch the heap. Throughput is items_per_second, in
// points per second.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <numbers>
#include <string>
#include <vector>

#include "QRVHardDll.h"
#include "arbitrary_block.h"
#include "gensim_main.h"
#include "zorbel/numbers.h"

#include "bench_arbitrary_alloc.h"

namespace {

constexpr std::uint32_t kPoints = 1'000'000;
constexpr std::uint16_t kGain = 1;
zorbel::test::Gensim* sim = nullptr;

// One period of a 0.5 V sine, well inside the full scale of gain 1.
const std::vector<double>& Wave() {
    static const std::vector<double> kWave = [] {
        std::vector<double> w(kPoints);
        for (std::uint32_t i = 0; i < kPoints; ++i) w[i] = 0.5 * std::sin(2 * std::numbers::pi * i / kPoints);
        return w;
    }();
    return kWave;
}

// The packets the library sends for the whole waveform, built once.
const std::vector<std::string>& Packets() {
    static const std::vector<std::string> kPackets = [] {
        std::vector<std::string> out;
        for (std::uint32_t first = 0; first < kPoints; first += qrv::arb::kMaxChunkPoints) {
            const std::uint32_t n = std::min(qrv::arb::kMaxChunkPoints, kPoints - first);
            out.emplace_back();
            qrv::arb::BuildDac16Packet(out.back(), 0, kPoints, first + n, Wave().data() + first, n, kGain);
        }
        return out;
    }();
    return kPackets;
}

// USB command packet: 12-byte header (type 1, tag 0 as in every fresh exchange) + payload.
std::string UsbPacket(const std::string& payload) {
    std::string p(12, '\0');
    p[0] = 1;
    p[2] = static_cast<char>(0xFF);
    const auto n = static_cast<std::uint32_t>(payload.size());
    for (int i = 0; i < 4; ++i) p[4 + i] = static_cast<char>((n >> (8 * i)) & 0xFF);
    p[8] = 1;
    return p + payload;
}

void Download(benchmark::State& state) {
    const std::vector<double>& wave = Wave();
    for (auto _ : state) {
        const std::uint16_t status = qmkHDWriteArbitraryData(0, wave.data(), kPoints, 0, kPoints, kGain);
        if (status != 2) {
            state.SkipWithError(("download returned status " + zorbel::FormatInt(status)).c_str());
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}

void BM_LanLibraryDownload(benchmark::State& state) {
    qmkHDInitComType(1, sim->LanAddressValue());
    Download(state);
}

// The same datagrams from a non-blocking UDP socket, as the library's.
void BM_LanRawPackets(benchmark::State& state) {
    const auto& packets = Packets();
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9966);
    inet_pton(AF_INET, sim->LanAddress().c_str(), &to.sin_addr);
    for (auto _ : state) {
        for (const std::string& p : packets) {
            if (sendto(fd, p.data(), p.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) !=
                static_cast<ssize_t>(p.size())) {
                state.SkipWithError("short send");
                break;
            }
        }
    }
    close(fd);
    state.SetItemsProcessed(state.iterations() * kPoints);
}

void BM_UsbLibraryDownload(benchmark::State& state) {
    setenv("QRV_USB_DEVICE", sim->UsbDevice().c_str(), 1);
    qmkHDInitComType(0, sim->LanAddressValue());
    Download(state);
}

// What the library does on the wire per packet: a fresh connection (the
// device is opened for every exchange), one command packet, close.
void BM_UsbRawPackets(benchmark::State& state) {
    std::vector<std::string> packets;
    for (const std::string& p : Packets()) packets.push_back(UsbPacket(p));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, sim->UsbPath().c_str(), sim->UsbPath().size());
    for (auto _ : state) {
        for (const std::string& p : packets) {
            const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
            const bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                            send(fd, p.data(), p.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(p.size());
            close(fd);
            if (!ok) {
                state.SkipWithError("cannot send to the virtual device");
                break;
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}

void BM_BestArbitraryControl(benchmark::State& state) {
    ArbitraryControl best{};
    double frequencyHz = 1000;
    long long allocations = 0;  // counted around the call only, not the framework
    for (auto _ : state) {
        const long long before = HeapAllocations();
        benchmark::DoNotOptimize(qmkHDGetBestArbitraryControlFromFreq(&best, frequencyHz, 2, 6000));
        allocations += HeapAllocations() - before;
        frequencyHz = frequencyHz < 1e7 ? frequencyHz * 1.37 : 0.7;  // across the whole range
    }
    state.counters["heap_allocations"] = static_cast<double>(allocations);
    if (allocations != 0) state.SkipWithError("the search allocated on the heap");
}

BENCHMARK(BM_LanRawPackets)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LanLibraryDownload)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UsbRawPackets)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UsbLibraryDownload)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BestArbitraryControl)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return zorbel::bench::RunAgainstGensim(argc, argv, {}, sim); }
