// The fault matrix of the oscilloscope link: the reply to a measurement is
// lost (once, or for good), late, duplicated, truncated, oversize or garbage,
// or the device goes away during or between exchanges and comes back. For
// each: what the library returns, and that the next measurement, of another
// item, reads its own value and never the earlier one's.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "QMKHardDll.h"
#include "device_socket.h"
#include "frame.h"
#include "temp_dir.h"

namespace {

using namespace std::chrono_literals;
using qmk::Bytes;
using Clock = std::chrono::steady_clock;

enum class ScopeFault { None, LostOnce, LostAlways, Late, Duplicated, Truncated, Oversize, Garbage, GoneDuring };

Bytes Reply(std::uint8_t requestCode, const Bytes& data) { return qmk::BuildFrame(requestCode | qmk::kReplyBit, data); }

Bytes MeasurementText(std::uint8_t item) {
    const std::string text = "item" + std::to_string(item) + "V";
    return Bytes(text.begin(), text.end());
}

// An oscilloscope that answers syncs and measurements (each item its own
// text) on the virtual device socket, replies in order as the instrument
// does, and spoils the replies to the first measurement request.
class FaultyScope {
public:
    explicit FaultyScope(ScopeFault fault) : fault_(fault) {
        std::string error;
        device_ = scopesim::DeviceSocket::Listen(dir_.file("scope.sock"), error);
        if (!device_ || pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("no device: " + error);
        device_->OnWrite(
            [this](std::span<const std::uint8_t> request) { OnRequest(Bytes(request.begin(), request.end())); });
        setenv("QMK_SCOPE_DEVICE", ("unix:" + dir_.file("scope.sock")).c_str(), 1);
        thread_ = std::thread([this] {
            while (!stop_) device_->Serve(100ms, wake_[0]);
        });
    }
    ~FaultyScope() {
        stop_ = true;
        const char byte = 'q';
        [[maybe_unused]] const ssize_t ignored = write(wake_[1], &byte, 1);
        thread_.join();
        close(wake_[0]);
        close(wake_[1]);
    }

    int MeasurementRequests() const { return measurements_; }

private:
    // Runs on the device thread.
    void OnRequest(const Bytes& request) {
        if (request.size() < 4) return;
        if (request[3] == qmk::kCodeSync && request.size() >= 6) {
            device_->QueueReply(Reply(qmk::kCodeSync, {request[4], request[5]}));
            return;
        }
        if (request[3] != qmk::kCodeMeasure || request.size() < 5) return;
        const Bytes reply = Reply(qmk::kCodeMeasure, MeasurementText(request[4]));
        const bool first = measurements_++ == 0;
        const ScopeFault fault = first || fault_ == ScopeFault::LostAlways ? fault_ : ScopeFault::None;
        switch (fault) {
        case ScopeFault::None:
            device_->QueueReply(reply);
            break;
        case ScopeFault::LostOnce:
        case ScopeFault::LostAlways:
            break;
        case ScopeFault::Late:
            device_->QueueReply(reply, 1500ms);
            break;  // past the 1000 ms read
        case ScopeFault::Duplicated:
            device_->QueueReply(reply);
            device_->QueueReply(reply);
            break;
        case ScopeFault::Truncated:
            device_->QueueReply(Bytes(reply.begin(), reply.end() - 2));
            break;
        case ScopeFault::Oversize: {
            // The largest length field: 65538 bytes, longer than the 65535-byte
            // read, so the frame never arrives whole.
            device_->QueueReply(qmk::BuildFrame(qmk::kCodeMeasure | qmk::kReplyBit, Bytes(65533, '1')));
            break;
        }
        case ScopeFault::Garbage:
            device_->QueueReply({0x53, 0xFF, 0x01, 0xA2, 0x00, 0x7F});
            break;
        case ScopeFault::GoneDuring:
            device_->Close();
            break;
        }
    }

    const ScopeFault fault_;
    zorbel::test::TempDir dir_;
    std::unique_ptr<scopesim::DeviceSocket> device_;
    int wake_[2] = {-1, -1};
    std::atomic<bool> stop_{false};
    std::atomic<int> measurements_{0};
    std::thread thread_;
};

// The measurement text of `item` on CH1, or "" with the library's result 0.
std::string Measure(std::uint16_t item, std::uint16_t& result) {
    char buffer[64] = {};
    result = dsoGetMeasurementItemValue(buffer, sizeof buffer - 1, 0, item);
    return buffer;
}

struct ScopeCase {
    const char* name;
    ScopeFault fault;
    bool succeeds;                     // the spoiled measurement still reads its value
    int requests;                      // measurement requests it took
    std::chrono::milliseconds atMost;  // how long it may take
};

class ScopeFaultTest : public ::testing::TestWithParam<ScopeCase> {
protected:
    void SetUp() override { dsoResetAllBufferValue(); }
};

TEST_P(ScopeFaultTest, ResultThenTheNextMeasurementIsItsOwn) {
    const ScopeCase c = GetParam();
    auto scope = std::make_unique<FaultyScope>(c.fault);
    std::uint16_t result = 0;
    const auto start = Clock::now();
    const std::string first = Measure(1, result);
    EXPECT_LE(Clock::now() - start, c.atMost);
    if (c.succeeds) {
        EXPECT_EQ(first, "item1V");
        EXPECT_EQ(result, Reply(qmk::kCodeMeasure, MeasurementText(1)).size());
    } else {
        EXPECT_EQ(result, 0);
    }
    if (c.requests > 0) {
        EXPECT_EQ(scope->MeasurementRequests(), c.requests);
    }

    if (c.fault == ScopeFault::GoneDuring) {
        EXPECT_EQ(Measure(2, result), "");
        EXPECT_EQ(result, 0) << "the device is gone";
        scope = std::make_unique<FaultyScope>(ScopeFault::None);  // plugged in again
    }
    if (c.fault != ScopeFault::LostAlways) {
        EXPECT_EQ(Measure(2, result), "item2V") << "an earlier reply was taken";
        EXPECT_NE(result, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Matrix, ScopeFaultTest,
                         ::testing::Values(ScopeCase{"LostOnce", ScopeFault::LostOnce, true, 2, 2500ms},
                                           ScopeCase{"LostAlways", ScopeFault::LostAlways, false, 0, 7000ms},
                                           ScopeCase{"Late", ScopeFault::Late, true, 2, 3000ms},
                                           ScopeCase{"Duplicated", ScopeFault::Duplicated, true, 1, 1000ms},
                                           ScopeCase{"Truncated", ScopeFault::Truncated, true, 2, 1000ms},
                                           ScopeCase{"Oversize", ScopeFault::Oversize, true, 2, 1000ms},
                                           ScopeCase{"Garbage", ScopeFault::Garbage, true, 2, 1000ms},
                                           ScopeCase{"GoneDuring", ScopeFault::GoneDuring, false, 1, 1000ms}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ScopeDeviceGone, BetweenExchangesFailsAtOnceThenWorksWhenBack) {
    dsoResetAllBufferValue();
    std::uint16_t result = 0;
    {
        FaultyScope scope(ScopeFault::None);
        EXPECT_EQ(Measure(3, result), "item3V");
    }
    const auto start = Clock::now();
    EXPECT_EQ(Measure(4, result), "");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(dsoAutosetDevice(), 0);
    EXPECT_LT(Clock::now() - start, 500ms);
    FaultyScope back(ScopeFault::None);
    EXPECT_EQ(Measure(5, result), "item5V");
}

}  // namespace
