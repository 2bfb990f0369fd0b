// The oscilloscope library end to end against zorbel-scopesim: the
// calibration's set-up and measurements, the coupling to the generator
// simulator, the simulator's fault options and its shutdown.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "QMKHardDll.h"
#include "scripted_peer.h"
#include "sim_process.h"

namespace {

using namespace scopetest;

class ScopeSim : public ::testing::Test {
protected:
    void SetUp() override { ResetLibrary(); }

    // Starts the simulator on a socket in the test's folder and points the library at it.
    std::unique_ptr<SimProcess> Start(std::vector<std::string> extra = {}) {
        const std::string socket = folder_.Path() + "/scope.sock";
        std::vector<std::string> args{"--usb", "unix:" + socket};
        args.insert(args.end(), extra.begin(), extra.end());
        auto sim = std::make_unique<SimProcess>(ProgramPath("zorbel-scopesim"), args);
        ::setenv("QMK_SCOPE_DEVICE", ("unix:" + socket).c_str(), 1);
        return sim;
    }

    std::string SocketPath() const { return folder_.Path() + "/scope.sock"; }

    TempFolder folder_;
};

std::string Measure(std::uint16_t source, std::uint16_t item) {
    std::vector<char> text(65535, 0);
    if (dsoGetMeasurementItemValue(text.data(), 65535, source, item) == 0) return "<failed>";
    return text.data();
}

int32_t KeyLength(const char* key) { return static_cast<int32_t>(std::strlen(key)); }

// The calibration's preparation: tables, block, items 1..8 of CH1, probe 1x.
void PrepareAsCalibrationDoes() {
    ASSERT_GT(dsoReadInfProtocol(), 0);
    ASSERT_GT(dsoReadInfKeyProtocol(), 0);
    std::vector<std::uint8_t> buffer(65535);
    ASSERT_GT(dsoReadAllSysParameter(buffer.data(), 65535), 0);
    for (std::uint16_t i = 1; i <= 8; ++i) ASSERT_EQ(dsoSetMeasurementItem(i, 0, i), 1) << i;
    const std::uint8_t probe1x = 0;
    ASSERT_EQ(dsoSetKeyStringToConytolValue("VERT-CH1-PROBE", &probe1x, KeyLength("VERT-CH1-PROBE"), 1), 1);
    ASSERT_GT(dsoWriteAllSysParameter(), 0);
}

TEST_F(ScopeSim, CalibrationSetUpAndMeasurements) {
    auto sim = Start();
    ASSERT_TRUE(sim->Ready());
    ASSERT_GT(dsoReadInfProtocol(), 0);
    for (const char* key : {"VERT-CH1-PROBE", "HORIZ-TB", "HORIZ-WIN-TB", "MEASURE-ITEM8-SRC"})
        EXPECT_EQ(dsoGetBytesNumberFromKeyString(key, KeyLength(key)), 1) << key;
    EXPECT_EQ(dsoGetBytesNumberFromKeyString("HORIZ-TRIGTIME", 14), 8);
    EXPECT_EQ(Measure(0, 4), "20.0V");  // power-on probe setting is 10x

    ResetLibrary();
    PrepareAsCalibrationDoes();
    EXPECT_GT(dsoAutosetDevice(), 0);
    EXPECT_EQ(Measure(0, 4), "2.00V");
    EXPECT_EQ(Measure(0, 3), "0.000mV");
    EXPECT_EQ(Measure(0, 1), "1.00kHz");
    EXPECT_EQ(Measure(1, 1), "12.5kHz");

    // What the instrument now holds comes back on the next read.
    ResetLibrary();
    ASSERT_GT(dsoReadInfProtocol(), 0);
    std::vector<std::uint8_t> buffer(65535);
    ASSERT_GT(dsoReadAllSysParameter(buffer.data(), 65535), 0);
    std::uint8_t value[8] = {};
    std::uint32_t size = 0;
    ASSERT_EQ(dsoGetConytolResultFromKeyString("MEASURE-ITEM6", value, KeyLength("MEASURE-ITEM6"), &size), 1);
    EXPECT_EQ(value[0], 6);
    // Autoset chose 500 mV/div for 2 Vpp at 1x (power-on: 1 V/div).
    ASSERT_EQ(dsoGetConytolResultFromKeyString("VERT-CH1-VB", value, KeyLength("VERT-CH1-VB"), &size), 1);
    EXPECT_EQ(value[0], 7);
}

TEST_F(ScopeSim, CaptureShowsTheWave) {
    auto sim = Start();
    ASSERT_TRUE(sim->Ready());
    std::vector<std::int16_t> samples(65535);
    std::uint16_t count = 0;
    ASSERT_GT(dsoGetCollectData(samples.data(), &count, 0), 0);
    ASSERT_EQ(count, 600);
    const auto [low, high] = std::minmax_element(samples.begin(), samples.begin() + count);
    EXPECT_LT(*low, -100);  // 2 Vpp at 10x on 1 V/div: clipped at both ends
    EXPECT_GT(*high, 100);
}

// A stand-in for zorbel-gensim's simulator query on its own loopback address.
class FakeGenerator {
public:
    explicit FakeGenerator(const char* address) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(9966);
        ::inet_pton(AF_INET, address, &local.sin_addr);
        bound_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
        if (bound_) thread_ = std::thread([this] { Serve(); });
    }
    ~FakeGenerator() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (fd_ >= 0) ::close(fd_);
    }
    bool Bound() const { return bound_; }
    std::vector<std::string> Queries() {
        std::lock_guard<std::mutex> lock(mutex_);
        return queries_;
    }

private:
    void Serve() {
        while (!stop_) {
            pollfd entry{fd_, POLLIN, 0};
            if (::poll(&entry, 1, 50) <= 0) continue;
            char text[256];
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t got = ::recvfrom(fd_, text, sizeof text, 0, reinterpret_cast<sockaddr*>(&from), &length);
            if (got <= 0) continue;
            const std::string query(text, static_cast<std::size_t>(got));
            {
                std::lock_guard<std::mutex> lock(mutex_);
                queries_.push_back(query);
            }
            const std::string answer =
                query.back() == '1' ? "ON,SQUare,2.5E+003,3.2,0.5\n" : "OFF,SINusoid,1E+003,1,0\n";
            ::sendto(fd_, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from), length);
        }
    }

    int fd_ = -1;
    bool bound_ = false;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> queries_;
    std::thread thread_;
};

TEST_F(ScopeSim, MeasuresWhatTheGeneratorOutputs) {
    constexpr const char* kGenerator = "127.0.6.1";  // this suite's own loopback address
    FakeGenerator generator(kGenerator);
    ASSERT_TRUE(generator.Bound());
    auto sim = Start({"--gensim-lan", kGenerator});
    ASSERT_TRUE(sim->Ready());
    PrepareAsCalibrationDoes();
    EXPECT_EQ(Measure(0, 4), "3.20V");
    EXPECT_EQ(Measure(0, 3), "500mV");
    EXPECT_EQ(Measure(0, 1), "2.50kHz");
    EXPECT_EQ(Measure(1, 1), "?");  // generator output 2 is off
    const auto queries = generator.Queries();
    ASSERT_FALSE(queries.empty());
    EXPECT_EQ(queries.front(), "SIMulator:OUTPut? 1");
    EXPECT_EQ(queries.back(), "SIMulator:OUTPut? 2");
}

TEST_F(ScopeSim, LibraryRidesOutTheSimulatorsFaults) {
    auto sim = Start({"--corrupt-checksum", "2", "--wrong-sequence", "2", "--other-code", "2", "--delay", "30"});
    ASSERT_TRUE(sim->Ready());
    PrepareAsCalibrationDoes();
    EXPECT_EQ(Measure(0, 4), "2.00V");
}

TEST_F(ScopeSim, StopsCleanlyOnSigterm) {
    auto sim = Start();
    ASSERT_TRUE(sim->Ready());
    EXPECT_TRUE(std::filesystem::exists(SocketPath()));
    EXPECT_EQ(sim->Stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(SocketPath()));
}

TEST_F(ScopeSim, RefusesAGeneratorOffTheLoopback) {
    auto sim = Start({"--gensim-lan", "192.168.1.20"});
    EXPECT_FALSE(sim->Ready());
    EXPECT_EQ(sim->Stop(), 2);
}

}  // namespace
