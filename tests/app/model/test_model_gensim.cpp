// The session end to end on the real generator library against
// zorbel-gensim, over LAN and over the virtual USB device: what one model
// writes, a second one reads back, and a lost answer latches the session.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>

#include "QRVHardDll.h"
#include "sim_clients.h"
#include "sim_process.h"
#include "zorbel/model/session_pump.h"

namespace zorbel {
namespace {

using namespace std::chrono_literals;
using test::Gensim;

enum class Link { Lan, Usb };

struct ChannelSetup {
    std::uint16_t output;
    std::uint16_t waveType;
    std::array<double, kParameterCount> values;  // table order
};

// Inside the simulator's ranges. Channel 0's frequency has seven significant
// digits: it goes out as 1234.57, the instrument's repeat of that confirms
// the write, and the model holds what the instrument holds.
const std::array<ChannelSetup, 2> kSetup = {{
    {1, kWaveSquare, {3.5, 1234.567, -1.25, 90, 0.25, 0.75, 0.125, 2e-6, 5e-8, 7.5e-8}},
    {0, kWaveRamp, {1.5, 2500, 0.5, 45, 0.5, 0.3, 0.2, 1e-5, 4e-8, 6e-8}},
}};

std::unique_ptr<Gensim> StartSim(const std::vector<std::string>& extraArgs, bool usb = true) {
    std::string error;
    auto sim = Gensim::Start({true, usb, extraArgs}, &error);
    EXPECT_NE(sim, nullptr) << error;
    if (sim && usb) setenv("QRV_USB_DEVICE", sim->UsbDevice().c_str(), 1);
    return sim;
}

void Connect(DeviceSettings& settings, Link link, const Gensim& sim) {
    settings.SetConnection(link == Link::Lan ? kConnectionLan : kConnectionUsb, sim.LanAddressValue());
}

// The setup through the setters; with the worker running and the session not
// yet online the queued writes drain without being sent.
void ApplySetup(DeviceSettings& settings, SessionPump& pump) {
    for (std::uint16_t ch : {0, 1}) {
        settings.SetOutputState(ch, kSetup[ch].output);
        settings.SetWaveType(ch, kSetup[ch].waveType);
        for (std::size_t n = 0; n < kParameterCount; ++n)
            settings.SetParameter(ch, ParameterAt(n), kSetup[ch].values[n]);
    }
    ASSERT_TRUE(pump.WaitUntilIdle(5s).finished);
}

class ModelAgainstGensim : public ::testing::TestWithParam<Link> {};

TEST_P(ModelAgainstGensim, WriteOperationIsReadBackExactlyByASecondModel) {
    auto sim = StartSim({"--range", "2:FREQuency=1.5E+007,0.002"});
    ASSERT_NE(sim, nullptr);

    DeviceSettings writer;
    SessionPump writerPump(writer);
    writerPump.Start();
    Connect(writer, GetParam(), *sim);
    ApplySetup(writer, writerPump);
    const JobOutcome written = writerPump.RunWriteOperation(20s);
    ASSERT_TRUE(written.Succeeded()) << "status " << written.lastStatus;
    writerPump.Stop();

    DeviceSettings reader;
    SessionPump readerPump(reader);
    readerPump.Start();
    Connect(reader, GetParam(), *sim);
    const JobOutcome read = readerPump.RunReadOperation(20s);
    ASSERT_TRUE(read.Succeeded()) << "status " << read.lastStatus;

    for (std::uint16_t ch : {0, 1}) {
        SCOPED_TRACE("channel " + std::to_string(ch));
        const ChannelRecord r = reader.Record(ch);
        EXPECT_EQ(r.outputState, kSetup[ch].output);
        EXPECT_EQ(r.waveType, kSetup[ch].waveType);
        for (std::size_t n = 0; n < kParameterCount; ++n) {
            const double sent = n == Index(Parameter::Frequency) && ch == 0 ? 1234.57 : kSetup[ch].values[n];
            EXPECT_EQ(writer.Record(ch).values[n], sent) << kParameters[n].name;
            EXPECT_NEAR(r.values[n], sent, std::abs(sent) * 1e-12) << kParameters[n].name;
        }
        // The simulator's own limits, as the writer saw them too.
        EXPECT_EQ(r.limits, writer.CopyLimits(ch));
        EXPECT_NE(r.limits, LimitsBlock::BuiltIn());
    }
    EXPECT_EQ(reader.CopyLimits(1).Maximum(Parameter::Frequency), 1.5e7);
    EXPECT_EQ(reader.CopyLimits(1).Minimum(Parameter::Frequency), 0.002);
    // The read-back reached the preview: 3.5 V square at -1.25 V.
    EXPECT_DOUBLE_EQ(reader.Record(0).previewUpper, -1.25 + 0.625 * 3.5);
}

INSTANTIATE_TEST_SUITE_P(Links, ModelAgainstGensim, ::testing::Values(Link::Lan, Link::Usb),
                         [](const auto& info) { return info.param == Link::Lan ? "Lan" : "Usb"; });

double InstrumentAmplitude(std::uint16_t channel) {
    double volts = -1;
    EXPECT_EQ(qmkHDReadChannelAmplitude(channel, &volts, 20, 0), 2);
    return volts;
}

// Every 100th answer is lost: the Write Operation takes 64 answers, the Read
// Operation then loses its 36th (during the limits).
TEST(ModelAgainstGensimFaults, DroppedAnswerLatchesUntilTheNextOperation) {
    auto sim = StartSim({"--drop", "100"}, false);
    ASSERT_NE(sim, nullptr);
    DeviceSettings settings;
    SessionPump pump(settings);
    pump.Start();
    Connect(settings, Link::Lan, *sim);
    ApplySetup(settings, pump);
    ASSERT_TRUE(pump.RunWriteOperation(20s).Succeeded());

    const JobOutcome lost = pump.RunReadOperation(20s);
    EXPECT_TRUE(lost.finished);
    EXPECT_FALSE(lost.Succeeded());
    EXPECT_EQ(lost.lastStatus, GeneratorStatus::Failed);  // exchange failed: no answer
    EXPECT_EQ(lost.linkState, zorbel::Link::Down);

    settings.SetParameter(0, Parameter::Amplitude, 3.25);
    ASSERT_TRUE(pump.WaitUntilIdle(5s).finished);
    pump.Stop();                                             // the test talks to the library itself now
    EXPECT_EQ(InstrumentAmplitude(0), kSetup[0].values[0]);  // the write never left

    pump.Start();
    EXPECT_TRUE(pump.RunWriteOperation(20s).Succeeded());
    pump.Stop();
    EXPECT_EQ(InstrumentAmplitude(0), 3.25);
}

// A download of 4 M points cancelled as soon as its first slice has gone
// out: the simulator took some packets but not all, its output is off, and
// the gain, divider and output window were never sent.
TEST(ModelAgainstGensimCancel, CancelledDownloadLeavesTheOutputOff) {
    auto sim = StartSim({}, false);
    ASSERT_NE(sim, nullptr);
    DeviceSettings settings;
    SessionPump pump(settings);
    pump.Start();
    Connect(settings, Link::Lan, *sim);
    ASSERT_TRUE(pump.RunReadOperation(20s).Succeeded());
    constexpr std::uint32_t kPoints = 4 << 20;
    ASSERT_TRUE(settings.ResizeArbitrary(0, kPoints));
    settings.ModifyRecord(0, [](ChannelRecord& r) { std::fill_n(r.arbitrarySamples.begin(), kPoints, 0.25); });
    settings.SetOutputState(0, 1);
    ASSERT_TRUE(pump.WaitUntilIdle(5s).finished);

    settings.StartArbitraryDownload(0);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (settings.DownloadProgress().first == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(100us);
    settings.CancelJob();
    const JobOutcome outcome = pump.WaitUntilIdle(20s);
    pump.Stop();

    EXPECT_TRUE(outcome.Succeeded());  // online: nothing failed
    EXPECT_EQ(settings.LastEndedJob().end, JobEnd::Cancelled);
    const std::uint32_t sent = settings.DownloadProgress().first;
    EXPECT_GT(sent, 0u);
    EXPECT_LT(sent, kPoints);
    EXPECT_EQ(settings.Record(0).outputState, 0);
    std::int16_t on = -1;
    EXPECT_EQ(qmkHDReadChannelOnOff(0, &on), 2);
    EXPECT_EQ(on, 0);
    // gain,divider,download address,length,output address,length,packets taken,refused
    test::UdpClient client(sim->LanAddress());
    const std::optional<std::string> state = client.Ask("SIMulator:ARBitrary? 1");
    ASSERT_TRUE(state);
    std::vector<long long> fields;
    for (std::size_t at = 0; at <= state->size();) {
        const std::size_t comma = std::min(state->find(',', at), state->size());
        fields.push_back(std::stoll(state->substr(at, comma - at)));
        at = comma + 1;
    }
    ASSERT_EQ(fields.size(), 8u) << *state;
    EXPECT_EQ(fields[3], kPoints);        // the download window was set
    EXPECT_EQ(fields[5], 67108864);       // the output window never moved
    EXPECT_GT(fields[6], 0);              // packets taken
    EXPECT_LT(fields[6], kPoints / 960);  // ... but not all
}

}  // namespace
}  // namespace zorbel
