// zorbel-cli as a separate process against zorbel-gensim, whose --verbose
// trace shows every command that reached the wire: a written setup read
// back, a "set" that sends only what changed, limits from the instrument,
// a download checked in the simulator's waveform memory, absent instruments.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "QRVHardDll.h"
#include "loopback.h"
#include "program_run.h"
#include "sim_clients.h"
#include "sim_process.h"
#include "zorbel/model/device_settings.h"
#include "zorbel/model/instrument_lock.h"
#include "zorbel/numbers.h"

namespace zorbel::test {
namespace {

// zorbel-gensim on LAN and the virtual USB device, its trace appended to a file.
class TracedGensim {
public:
    static std::unique_ptr<TracedGensim> Start(std::string* error, const std::vector<std::string>& extra = {}) {
        std::unique_ptr<TracedGensim> sim(new TracedGensim());
        sim->usbPath_ = sim->dir_.File("usb.sock");
        sim->log_ = sim->dir_.File("trace.log");
        for (int attempt = 0; attempt < 5 && !sim->process_; ++attempt) {
            sim->address_ = UniqueLoopbackAddress();
            // The shell only redirects standard error, then becomes the simulator.
            std::vector<std::string> args = {"-c",
                                             "exec \"$0\" \"$@\" 2>>'" + sim->log_ + "'",
                                             BinDir() + "/zorbel-gensim",
                                             "--lan",
                                             sim->address_,
                                             "--usb",
                                             "unix:" + sim->usbPath_,
                                             "--verbose"};
            args.insert(args.end(), extra.begin(), extra.end());
            sim->process_ = SimProcess::Start("/bin/sh", args, error);
        }
        return sim->process_ ? std::move(sim) : nullptr;
    }

    const std::string& Address() const { return address_; }
    // Lock files go to the simulator's own folder, not the user's.
    std::map<std::string, std::string> Env(bool usb = true) const {
        return {{"QRV_LAN_ADDRESS", address_},
                {"QRV_USB_DEVICE", "unix:" + (usb ? usbPath_ : dir_.File("none"))},
                {"XDG_RUNTIME_DIR", dir_.Path()}};
    }
    std::string LanLockPath() const {
        return dir_.Path() + "/" + InstrumentLockName(kConnectionLan, AddressValue(address_));
    }
    // Every command received after `from` bytes of the trace, in order.
    std::vector<std::string> CommandsSince(std::size_t from) const {
        std::vector<std::string> commands;
        std::istringstream lines(ReadTrace().substr(from));
        for (std::string line; std::getline(lines, line);) {
            const auto at = line.find(" <- ");
            if (at != std::string::npos) commands.push_back(line.substr(at + 4));
        }
        return commands;
    }
    std::size_t TraceSize() const { return ReadTrace().size(); }
    // Commands that changed something, received after `from` bytes of the
    // trace: queries and the display refresh left out.
    std::vector<std::string> WritesSince(std::size_t from) const {
        std::vector<std::string> writes;
        std::istringstream lines(ReadTrace().substr(from));
        for (std::string line; std::getline(lines, line);) {
            const auto at = line.find(" <- ");
            if (at == std::string::npos) continue;
            const std::string command = line.substr(at + 4);
            if (command.find('?') == std::string::npos && command != "DISPlay:REFResh") writes.push_back(command);
        }
        return writes;
    }
    std::string Ask(const std::string& query) const {
        UdpClient client(address_);
        return client.Ask(query).value_or("(no answer)");
    }

private:
    TracedGensim() = default;
    std::string ReadTrace() const {
        std::ifstream in(log_, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    TempDir dir_;
    std::string address_, usbPath_, log_;
    std::unique_ptr<SimProcess> process_;
};

// Within the simulator's ranges and six significant digits.
const char* const kBenchSetup =
    "[Channel_1]\r\nOnOff=1\r\nType=2\r\nFrequency(Hz)=12345.6\r\nAmplitude(V)=3.5\r\nOffset(V)=-1.25\r\n"
    "Phase=90\r\nSquareDuty=0.25\r\nRampSymmetry=0.75\r\nPulseDuty=0.125\r\nPulseWidth(s)=2E-006\r\n"
    "PulseLeading(s)=5E-008\r\nPulseTrailing(s)=7.5E-008\r\n"
    "[Channel_2]\r\nOnOff=0\r\nType=3\r\nFrequency(Hz)=2500\r\nAmplitude(V)=1.5\r\nOffset(V)=0.5\r\nPhase=45\r\n"
    "SquareDuty=0.5\r\nRampSymmetry=0.3\r\nPulseDuty=0.2\r\nPulseWidth(s)=1E-005\r\nPulseLeading(s)=4E-008\r\n"
    "PulseTrailing(s)=6E-008\r\n"
    "[Current]\r\nChannel=1\r\n";

// "[name]" and its lines, from printed setup text.
std::string Section(const std::string& text, const std::string& name) {
    const auto begin = text.find("[" + name + "]\n");
    if (begin == std::string::npos) return "(no " + name + ")";
    const auto end = text.find("\n[", begin);
    return text.substr(begin, end == std::string::npos ? std::string::npos : end + 1 - begin);
}

class CliAgainstGensim : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        sim = TracedGensim::Start(&error);
        ASSERT_NE(sim, nullptr) << error;
        setupPath = dir.File("bench.set");
        std::ofstream(setupPath, std::ios::binary) << kBenchSetup;
    }
    CliRun Cli(std::vector<std::string> args, bool usb = false) {
        if (!usb) args.insert(args.begin(), {"--lan", sim->Address()});
        return RunZorbelCli(args, sim->Env());
    }
    // A known state on the instrument (a fresh simulator's pulse edges lie
    // below its own minimum, so it cannot be read back before this).
    void WriteBench(bool usb = false) {
        const CliRun run = Cli({"write", setupPath}, usb);
        ASSERT_EQ(run.status, 0) << run.err;
    }

    TempDir dir;
    std::string setupPath;
    std::unique_ptr<TracedGensim> sim;
};

TEST_F(CliAgainstGensim, WrittenSetupReadsBackOverLanAndUsb) {
    for (bool usb : {false, true}) {
        SCOPED_TRACE(usb ? "USB" : "LAN");
        const CliRun written = Cli({"write", setupPath}, usb);
        ASSERT_EQ(written.status, 0) << written.err;
        EXPECT_EQ(written.err, "");
        EXPECT_NE(Section(written.out, "Channel_1").find("Frequency(Hz)=12345.6\nAmplitude(V)=3.5\n"),
                  std::string::npos);
        // The limits printed are the instrument's, read at the start of the job.
        EXPECT_NE(Section(written.out, "Standard_1").find("MaxAmplitude(V)=10\n"), std::string::npos);
        EXPECT_EQ(Section(written.out, "Current"), "[Current]\nChannel=1\n");

        const CliRun read = Cli({"read"}, usb);
        ASSERT_EQ(read.status, 0) << read.err;
        for (const char* section : {"Standard_1", "Standard_2", "Channel_1", "Channel_2"})
            EXPECT_EQ(Section(read.out, section), Section(written.out, section)) << section;
        EXPECT_EQ(Section(read.out, "Current"), "[Current]\nChannel=0\n");

        const CliRun saved = Cli({"read", "-o", dir.File("now.set")}, usb);
        ASSERT_EQ(saved.status, 0) << saved.err;
        EXPECT_EQ(saved.out + saved.err, "");
        std::ifstream file(dir.File("now.set"), std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), read.out);
    }
}

struct OutOfRangeRow {
    const char* line;  // replaces the bench setup's line of the same key in that section
    const char* section;
    const char* message;  // after "zorbel-cli: FILE: "
};

// The instrument's limits are read first and every value of both channels is
// checked against them: one value out of range and nothing at all is written.
TEST_F(CliAgainstGensim, WriteChecksEveryValueOfTheFileBeforeSendingAny) {
    const OutOfRangeRow rows[] = {
        {"Offset(V)=4", "Channel_2", "[Channel_2] Offset(V): Set CH2 Offset(V) Error: (4) is out of range(-2.5,2.5)"},
        {"PulseWidth(s)=1", "Channel_1",
         "[Channel_1] PulseWidth(s): Set CH1 Pulse Width: (1) is out of range(2E-008,0.5)"},
        {"SquareDuty=0.9", "Channel_1",
         "[Channel_1] SquareDuty: Set CH1 Square Duty Error: (0.9) is out of range(0.2,0.8)"},
    };
    WriteBench();
    for (const OutOfRangeRow& row : rows) {
        SCOPED_TRACE(row.line);
        std::string setup = kBenchSetup;
        const std::string key = std::string(row.line).substr(0, std::string(row.line).find('=') + 1);
        const auto at = setup.find(key, setup.find(std::string("[") + row.section + "]"));
        ASSERT_NE(at, std::string::npos);
        setup.replace(at, setup.find('\r', at) - at, row.line);
        const std::string path = dir.File("refused.set");
        std::ofstream(path, std::ios::binary) << setup;

        const std::size_t from = sim->TraceSize();
        const CliRun run = Cli({"write", path});
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, "zorbel-cli: " + path + ": " + row.message + "\n");
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(sim->WritesSince(from).empty());
    }
}

// Another program holding the instrument is the test itself, holding the
// lock file of the simulator's LAN address.
TEST_F(CliAgainstGensim, OneProgramAtATimeOnTheInstrument) {
    WriteBench();
    struct Row {
        const char* name;
        std::chrono::milliseconds holdFor;  // 1 h: throughout
        const char* wait;
        int status;
        const char* err;
    };
    const Row rows[] = {
        {"held throughout", std::chrono::hours(1), "0.3", 1,
         "zorbel-cli: the instrument is busy with another program\n"},
        {"freed during the wait", std::chrono::milliseconds(400), "10", 0, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InstrumentLock other;
        ASSERT_EQ(other.TryAcquire(sim->LanLockPath()), InstrumentLock::Attempt::Held);
        const std::size_t from = sim->TraceSize();
        const auto start = std::chrono::steady_clock::now();
        auto run = std::async(std::launch::async, [&] { return Cli({"--wait", row.wait, "read"}); });
        if (run.wait_for(row.holdFor) == std::future_status::timeout) other.Release();
        const CliRun result = run.get();
        other.Release();
        EXPECT_EQ(result.status, row.status);
        EXPECT_EQ(result.err, row.err);
        if (row.status != 0)
            EXPECT_TRUE(sim->CommandsSince(from).empty()) << "a busy job sends nothing";
        else
            EXPECT_GE(std::chrono::steady_clock::now() - start, row.holdFor);
    }

    // Two programs at once: each job's commands in one piece, never mixed.
    std::size_t from = sim->TraceSize();
    ASSERT_EQ(Cli({"read"}).status, 0);
    const std::vector<std::string> one = sim->CommandsSince(from);
    from = sim->TraceSize();
    auto first = std::async(std::launch::async, [&] { return Cli({"read"}); });
    auto second = std::async(std::launch::async, [&] { return Cli({"read"}); });
    EXPECT_EQ(first.get().status, 0);
    EXPECT_EQ(second.get().status, 0);
    std::vector<std::string> twice = one;
    twice.insert(twice.end(), one.begin(), one.end());
    EXPECT_EQ(sim->CommandsSince(from), twice);
}

// An instrument that answers every command late, but within the exchange
// time-out: a Read Operation takes 64 exchanges of 300 ms.
TEST(CliSlowInstrument, TimeOutEndsTheRunWithinOneExchangeAndSaysTheLimitAsGiven) {
    std::string error;
    const auto sim = TracedGensim::Start(&error, {"--delay", "300"});
    ASSERT_NE(sim, nullptr) << error;
    const struct {
        const char* timeout;
        std::chrono::milliseconds limit;
    } rows[] = {{"0.5", std::chrono::milliseconds(500)}, {"1", std::chrono::milliseconds(1000)}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.timeout);
        const auto start = std::chrono::steady_clock::now();
        const CliRun run = RunZorbelCli({"--lan", sim->Address(), "--timeout", row.timeout, "read"}, sim->Env());
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, std::string("zorbel-cli: Read Operation did not finish within ") + row.timeout + " s\n");
        // One LAN exchange waits at most 500 ms; the rest is the program's start and end.
        EXPECT_LT(took, row.limit + std::chrono::milliseconds(500) + std::chrono::milliseconds(700));
        // Let the simulator's late answers to this run drain before the next.
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
    }
}

TEST_F(CliAgainstGensim, SetSendsOnlyTheValuesThatChange) {
    WriteBench();
    std::size_t from = sim->TraceSize();
    CliRun run = Cli({"set", "Amplitude(V)=3.25", "frequency=12345.6", "Type=square"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_EQ(sim->WritesSince(from), std::vector<std::string>{"SOURce1:VOLTage 3.25"});

    from = sim->TraceSize();
    run = Cli({"--channel", "2", "set", "OFFSET(V)=-0.5", "OnOff=on"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(sim->WritesSince(from), (std::vector<std::string>{"SOURce2:VOLTage:OFFSet -0.5", "OUTPut2 ON"}));
}

TEST_F(CliAgainstGensim, SetChecksTheInstrumentsLimitsBeforeWriting) {
    WriteBench();
    const std::size_t from = sim->TraceSize();
    // 4 V is inside the built-in limits but above this instrument's 2.5 V.
    const CliRun run = Cli({"--channel", "2", "set", "Phase=10", "Offset=4"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "zorbel-cli: Set CH2 Offset(V) Error: (4) is out of range(-2.5,2.5)\n");
    EXPECT_TRUE(sim->WritesSince(from).empty());
}

TEST_F(CliAgainstGensim, ArbDownloadsTheFileIntoTheChannelsWaveformMemory) {
    WriteBench(true);
    std::string arb = "version,16\r\ntype,2\r\nsamples,64\r\nsps,250000000.000000\r\n#zoom,4\r\ndiv,3\r\n";
    std::vector<double> volts;
    for (int i = 0; i < 64; ++i) {
        volts.push_back(0.25 * (i % 8) - 1.0);
        arb += FormatFixed(volts.back() / 4) + "\r\n";
    }
    std::ofstream(dir.File("steps.arb"), std::ios::binary) << arb;

    const CliRun run = Cli({"--channel", "2", "arb", dir.File("steps.arb")}, true);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out + run.err, "");  // standard error is no terminal: no progress line

    // The gain is chosen from the samples when the download starts.
    const std::uint16_t gain = qmkHDGetZoomFromData(0.75, -1.0);
    EXPECT_EQ(sim->Ask("SIMulator:ARBitrary? 2"), std::to_string(gain) + ",3,0,64,0,64,1,0");
    std::string codes;
    for (int i = 0; i < 8; ++i)
        codes += (i ? "," : "") + std::to_string(static_cast<int>(std::trunc(volts[i] / gain * 52427.2)));
    EXPECT_EQ(sim->Ask("SIMulator:ARBitrary:DATA? 2,0,8"), codes);
    EXPECT_EQ(sim->Ask("SIMulator:OUTPut? 2").substr(0, 8), "OFF,USER");  // arbitrary now, still off
}

TEST_F(CliAgainstGensim, SweepWritesEachStepHeldForTheDwell) {
    WriteBench();
    const std::size_t from = sim->TraceSize();
    // Each step's arrival at the simulator, timed here as its trace grows.
    auto run = std::async(std::launch::async, [&] {
        return Cli(
            {"sweep", "frequency", "1000", "2000", "--steps", "3", "--updown", "--repeat", "2", "--dwell", "0.05"});
    });
    std::vector<std::chrono::steady_clock::time_point> arrivals;
    while (run.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
        while (sim->WritesSince(from).size() > arrivals.size()) arrivals.push_back(std::chrono::steady_clock::now());
    }
    const CliRun result = run.get();
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out + result.err, "");
    const std::vector<std::string> expected = {
        "SOURce1:FREQuency 1000", "SOURce1:FREQuency 1500", "SOURce1:FREQuency 2000",
        "SOURce1:FREQuency 1500", "SOURce1:FREQuency 1000", "SOURce1:FREQuency 1500",
        "SOURce1:FREQuency 2000", "SOURce1:FREQuency 1500", "SOURce1:FREQuency 1000"};
    EXPECT_EQ(sim->WritesSince(from), expected);
    ASSERT_EQ(arrivals.size(), expected.size());
    // Sanity only: the dwell is kept, and no step waits for anything else.
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
        const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(arrivals[i] - arrivals[i - 1]);
        EXPECT_GE(gap.count(), 40) << "step " << i;
        EXPECT_LE(gap.count(), 1000) << "step " << i;
    }

    // Refused before anything is sent: out of the instrument's range, a key that is not swept.
    const std::size_t before = sim->TraceSize();
    CliRun refused = Cli({"sweep", "Amplitude", "1", "50"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err.rfind("zorbel-cli: Set CH1 Amplitude(V) Error: (50) is out of range(", 0), 0u) << refused.err;
    refused = Cli({"sweep", "Offset", "0", "1"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, "zorbel-cli: 'Offset': only Frequency(Hz) and Amplitude(V) can be swept\n");
    EXPECT_TRUE(sim->WritesSince(before).empty());
}

TEST(CliWithoutInstrument, RetryWaitsForAnInstrumentThatComesUp) {
    TempDir dir;
    const std::string socket = dir.File("usb.sock");
    const std::map<std::string, std::string> env = {{"QRV_USB_DEVICE", "unix:" + socket},
                                                    {"XDG_RUNTIME_DIR", dir.Path()}};
    const auto start = std::chrono::steady_clock::now();
    auto run = std::async(std::launch::async, [&] { return RunZorbelCli({"--retry", "20", "read"}, env); });
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    std::string error;
    const auto sim = SimProcess::Start("zorbel-gensim", {"--usb", "unix:" + socket}, &error);
    ASSERT_NE(sim, nullptr) << error;
    const CliRun result = run.get();
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("[Channel_1]"), std::string::npos);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(700));

    // Not answering within the time: the failure as without --retry, after it.
    const auto absent = std::chrono::steady_clock::now();
    const CliRun late = RunZorbelCli({"--retry", "0.6", "read"}, {{"QRV_USB_DEVICE", "unix:" + dir.File("none")}});
    EXPECT_EQ(late.status, 1);
    EXPECT_EQ(late.err, "zorbel-cli: No Device Found!\n");
    EXPECT_GE(std::chrono::steady_clock::now() - absent, std::chrono::milliseconds(300));
}

TEST(CliWithoutInstrument, AbsentInstrumentExitsWith1) {
    TempDir dir;
    const std::string address = UniqueLoopbackAddress();  // nobody listens there
    const std::map<std::string, std::string> env = {{"QRV_LAN_ADDRESS", address},
                                                    {"QRV_USB_DEVICE", "unix:" + dir.File("none")}};
    const CliRun usb = RunZorbelCli({"read"}, env);
    EXPECT_EQ(usb.status, 1);
    EXPECT_EQ(usb.err, "zorbel-cli: No Device Found!\n");
    EXPECT_EQ(usb.out, "");

    // A failed read leaves the file it would have written as it was.
    std::ofstream(dir.File("now.set"), std::ios::binary) << "[Current]\nChannel=1\n";
    EXPECT_EQ(RunZorbelCli({"read", "-o", dir.File("now.set")}, env).status, 1);
    std::ifstream kept(dir.File("now.set"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "[Current]\nChannel=1\n");

    std::ofstream(dir.File("steps.arb"), std::ios::binary)
        << "version,16\r\ntype,2\r\nsamples,16\r\nsps,250000000.000000\r\n#zoom,1\r\ndiv,3\r\n"
        << "0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n";  // all 16: no load
                                                                                                // warning
    const CliRun lan = RunZorbelCli({"--lan", address, "arb", dir.File("steps.arb")}, env);
    EXPECT_EQ(lan.status, 1);
    EXPECT_EQ(lan.err.rfind("zorbel-cli: Read Operation failed: ", 0), 0u) << lan.err;
}

}  // namespace
}  // namespace zorbel::test
