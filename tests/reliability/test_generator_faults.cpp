// The fault matrix of the generator links, LAN and virtual USB: every kind of
// spoiled answer, the device gone and back. For each: the status the library
// returns, the session's latch, and that no later command ever takes an
// answer meant for an earlier one (the next exchange is made to wait, so a
// late answer would land in it). And the model's own faults under the
// waveform operations: memory running out while an import or a formula
// records its undo step, a sound file cut short while it is read.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "QRVHardDll.h"
#include "faulty_instrument.h"
#include "sim_process.h"
#include "temp_dir.h"
#include "zorbel/model/arbitrary_edit.h"
#include "zorbel/model/formula.h"
#include "zorbel/model/long_job.h"
#include "zorbel/model/session_pump.h"
#include "zorbel/model/waveform_import.h"
#include "zorbel/numbers.h"

// Allocation failure on demand, for this thread only: the n-th allocation
// from now throws std::bad_alloc (the other threads, gtest's own reports
// after disarming, and libsndfile's malloc are left alone).
namespace {
thread_local long long allocationsBeforeFailure = -1;  // -1: disarmed
}  // namespace

void* operator new(std::size_t size) {
    if (allocationsBeforeFailure >= 0 && allocationsBeforeFailure-- == 0) throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
// GCC takes the free() below for one of memory from the replaced operator
// new inlined elsewhere; here they are the pair, malloc and free.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace zorbel {
namespace {

using namespace std::chrono_literals;
using test::Fault;
using test::FaultName;
using test::FaultyInstrument;
using test::LinkKind;

const char* LinkName(LinkKind link) { return link == LinkKind::Lan ? "Lan" : "Usb"; }

// Points the library at the instrument, as the Connect dialog does.
void Select(const FaultyInstrument& instrument) {
    if (instrument.Link() == LinkKind::Usb) setenv("QRV_USB_DEVICE", instrument.UsbDevice().c_str(), 1);
    qmkHDInitComType(instrument.Link() == LinkKind::Lan ? 1 : 0, instrument.AddressValue());
}

const double kFrequencyMax = FaultyInstrument::RangeMaximum("FREQuency", 1);
const double kAmplitudeMax = FaultyInstrument::RangeMaximum("VOLTage", 1);

std::uint16_t WriteFrequency(double hertz) { return qmkHDWriteChannelFrequency(0, hertz, kFrequencyMax, 0); }

// ---- The library ---------------------------------------------------------

struct SpoiledAnswer {
    LinkKind link;
    Fault fault;
    std::uint16_t status;  // of the write whose answer is spoiled
};

class SpoiledAnswerTest : public ::testing::TestWithParam<SpoiledAnswer> {};

TEST_P(SpoiledAnswerTest, StatusThenTheNextAnswerIsItsOwn) {
    const SpoiledAnswer c = GetParam();
    FaultyInstrument instrument(c.link);
    Select(instrument);
    ASSERT_EQ(qmkHDWriteChannelAmplitude(0, 2.5, kAmplitudeMax, 0), 2);

    instrument.FaultAt(0, c.fault);
    EXPECT_EQ(WriteFrequency(5000), c.status);
    EXPECT_EQ(instrument.Setting("SOURce1:FREQuency"), "5000") << "the command itself arrived";
    if (c.fault == Fault::GoneDuring) {
        // Until it is back: LAN cannot tell (no answer), USB finds no device.
        EXPECT_EQ(WriteFrequency(6000), c.link == LinkKind::Lan ? 1 : 0);
        EXPECT_EQ(qmkHDDeviceConnect(), c.link == LinkKind::Lan ? 1 : 0);
        instrument.Reappear();
    }

    // The next answer comes slowly: a late one would arrive first.
    instrument.FaultAt(0, Fault::Slow);
    double volts = -1;
    EXPECT_EQ(qmkHDReadChannelAmplitude(0, &volts, kAmplitudeMax, 0), 2);
    EXPECT_EQ(volts, 2.5) << "an answer meant for the frequency write was taken";
    double hertz = -1;
    EXPECT_EQ(qmkHDReadChannelFrequency(0, &hertz, kFrequencyMax, 0), 2);
    EXPECT_EQ(hertz, 5000) << "only what reached the instrument";
}

INSTANTIATE_TEST_SUITE_P(
    Matrix, SpoiledAnswerTest,
    ::testing::Values(SpoiledAnswer{LinkKind::Lan, Fault::Lost, 1}, SpoiledAnswer{LinkKind::Lan, Fault::Late, 1},
                      SpoiledAnswer{LinkKind::Lan, Fault::Duplicated, 2},
                      SpoiledAnswer{LinkKind::Lan, Fault::Truncated, 3},
                      SpoiledAnswer{LinkKind::Lan, Fault::Oversize, 3}, SpoiledAnswer{LinkKind::Lan, Fault::Garbage, 3},
                      SpoiledAnswer{LinkKind::Lan, Fault::GoneDuring, 1}, SpoiledAnswer{LinkKind::Usb, Fault::Lost, 1},
                      SpoiledAnswer{LinkKind::Usb, Fault::Late, 1}, SpoiledAnswer{LinkKind::Usb, Fault::Duplicated, 2},
                      SpoiledAnswer{LinkKind::Usb, Fault::Truncated, 3},
                      SpoiledAnswer{LinkKind::Usb, Fault::Oversize, 3}, SpoiledAnswer{LinkKind::Usb, Fault::Garbage, 3},
                      SpoiledAnswer{LinkKind::Usb, Fault::GoneDuring, 1}),
    [](const auto& info) { return std::string(LinkName(info.param.link)) + FaultName(info.param.fault); });

// A late answer that lands in the middle of the next exchange, whatever the
// next exchange is: a read, a write, a range query.
TEST(LateAnswer, NeverTakenByAnyLaterCommandOverLan) {
    FaultyInstrument instrument(LinkKind::Lan);
    Select(instrument);
    ASSERT_EQ(qmkHDWriteChannelAmplitude(0, 2.5, kAmplitudeMax, 0), 2);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        instrument.FaultAt(0, Fault::Late);
        instrument.FaultAt(1, Fault::Slow);
        EXPECT_EQ(WriteFrequency(7000 + round), 1);
        double maximum = 0, minimum = 0;
        switch (round) {
        case 0:
            EXPECT_EQ(qmkHDReadChannelAmplitudeStandard(0, &maximum, &minimum), 2);
            EXPECT_EQ(maximum, kAmplitudeMax);
            break;
        case 1:
            EXPECT_EQ(qmkHDWriteChannelAmplitude(0, 3.5, kAmplitudeMax, 0), 2);
            break;
        default:
            EXPECT_EQ(qmkHDReadChannelAmplitude(0, &maximum, kAmplitudeMax, 0), 2);
            EXPECT_EQ(maximum, 3.5);
            break;
        }
    }
}

struct DeviceGone {
    LinkKind link;
    std::uint16_t status;   // of a write while it is gone
    std::uint16_t connect;  // qmkHDDeviceConnect while it is gone
};

class DeviceGoneTest : public ::testing::TestWithParam<DeviceGone> {};

TEST_P(DeviceGoneTest, BetweenExchangesThenBackAgain) {
    const DeviceGone c = GetParam();
    FaultyInstrument instrument(c.link);
    Select(instrument);
    ASSERT_EQ(WriteFrequency(1000), 2);
    instrument.Disappear();
    EXPECT_EQ(qmkHDDeviceConnect(), c.connect);
    EXPECT_EQ(WriteFrequency(2000), c.status);
    instrument.Reappear();
    EXPECT_EQ(qmkHDDeviceConnect(), 1);
    EXPECT_EQ(WriteFrequency(3000), 2);
    EXPECT_EQ(instrument.Setting("SOURce1:FREQuency"), "3000");
}

INSTANTIATE_TEST_SUITE_P(Matrix, DeviceGoneTest,
                         ::testing::Values(DeviceGone{LinkKind::Lan, 1, 1}, DeviceGone{LinkKind::Usb, 0, 0}),
                         [](const auto& info) { return std::string(LinkName(info.param.link)); });

// ---- The simulator's own fault options ----------------------------------

struct SimulatorFault {
    const char* name;
    LinkKind link;
    std::vector<std::string> options;
    std::uint16_t status;  // of every read while the fault holds
};

class SimulatorFaultTest : public ::testing::TestWithParam<SimulatorFault> {};

// Two reads in a row: with every answer late, the first one's answer arrives
// during the second one's wait and must not be taken for it.
TEST_P(SimulatorFaultTest, EveryReadFailsAndNoneTakesAnotherOnesAnswer) {
    const SimulatorFault c = GetParam();
    std::string error;
    const auto sim = test::Gensim::Start({c.link == LinkKind::Lan, c.link == LinkKind::Usb, c.options}, &error);
    ASSERT_NE(sim, nullptr) << error;
    if (c.link == LinkKind::Usb) setenv("QRV_USB_DEVICE", sim->UsbDevice().c_str(), 1);
    qmkHDInitComType(c.link == LinkKind::Lan ? 1 : 0, sim->LanAddressValue());
    double hertz = -1, volts = -1;
    EXPECT_EQ(qmkHDReadChannelFrequency(0, &hertz, 1e9, 0), c.status);
    EXPECT_EQ(qmkHDReadChannelAmplitude(0, &volts, 1e9, 0), c.status);
    EXPECT_EQ(hertz, -1);
    EXPECT_EQ(volts, -1);
}

INSTANTIATE_TEST_SUITE_P(
    Matrix, SimulatorFaultTest,
    ::testing::Values(SimulatorFault{"LanDropEveryAnswer", LinkKind::Lan, {"--drop", "1"}, 1},
                      SimulatorFault{"LanEveryAnswerLate", LinkKind::Lan, {"--delay", "600"}, 1},
                      SimulatorFault{"LanWrongAnswers", LinkKind::Lan, {"--answer", "#garbage"}, 3},
                      SimulatorFault{"UsbDropEveryAnswer", LinkKind::Usb, {"--drop", "1"}, 1},
                      SimulatorFault{"UsbWrongAnswers", LinkKind::Usb, {"--answer", "#garbage"}, 3}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- The session ---------------------------------------------------------

// Values inside every range the instrument reports, in table order.
constexpr std::array<double, kParameterCount> kValues = {2.5, 1234.5, -0.5, 45, 0.25, 0.75, 0.125, 2e-5, 4e-8, 6e-8};

// The limits the session must have read: the instrument's ranges, percent as fractions.
bool LimitsAreTheInstruments(const DeviceSettings& settings) {
    static const char* const kHeaders[] = {
        "VOLTage",
        "FREQuency",
        "VOLTage:OFFSet",
        "PHASe",
        "FUNCtion:SQUare:DCYCle",
        "FUNCtion:RAMP:SYMMetry",
        "FUNCtion:PULSe:DCYCle",
        "FUNCtion:PULSe:WIDTh",
        "FUNCtion:PULSe:TRANsition:LEADing",
        "FUNCtion:PULSe:TRANsition:TRAiling",
    };
    bool same = true;
    for (std::uint16_t ch : {0, 1}) {
        const LimitsBlock limits = settings.CopyLimits(ch);
        for (std::size_t n = 0; n < kParameterCount; ++n) {
            const double scale = (n >= 4 && n <= 6) ? 0.01 : 1.0;
            const Parameter p = ParameterAt(n);
            const double maximum = FaultyInstrument::RangeMaximum(kHeaders[n], ch + 1) * scale;
            const double minimum = FaultyInstrument::RangeMinimum(kHeaders[n], ch + 1) * scale;
            if (limits.Maximum(p) != maximum || limits.Minimum(p) != minimum) {
                ADD_FAILURE() << "channel " << ch << " " << kParameters[n].name << ": " << limits.Maximum(p) << ","
                              << limits.Minimum(p) << " instead of " << maximum << "," << minimum;
                same = false;
            }
        }
    }
    return same;
}

struct SessionFault {
    LinkKind link;
    Fault fault;
    std::uint16_t lastStatus;  // of the job whose answer is spoiled; 2: it is not noticed
};

class SessionFaultTest : public ::testing::TestWithParam<SessionFault> {};

// The instrument's repeat of the first numeric write of a Write Operation
// (after 40 range answers and the output and wave type writes of channel 1)
// is spoiled: the session latches at once, nothing more is sent, and the
// next Write Operation, started at once and answered slowly, succeeds with
// every answer its own (a late repeat would land in its first range query).
TEST_P(SessionFaultTest, LatchesThenTheNextJobTakesOnlyItsOwnAnswers) {
    const SessionFault c = GetParam();
    FaultyInstrument instrument(c.link);
    if (c.link == LinkKind::Usb) setenv("QRV_USB_DEVICE", instrument.UsbDevice().c_str(), 1);
    DeviceSettings settings;
    SessionPump pump(settings);
    pump.Start();
    settings.SetConnection(c.link == LinkKind::Lan ? kConnectionLan : kConnectionUsb, instrument.AddressValue());
    for (std::uint16_t ch : {0, 1})
        for (std::size_t n = 0; n < kParameterCount; ++n) settings.SetParameter(ch, ParameterAt(n), kValues[n]);
    ASSERT_TRUE(pump.WaitUntilIdle(5s).finished);

    constexpr std::size_t kSpoiled = 42;
    const std::size_t before = instrument.Commands().size();
    instrument.FaultAt(kSpoiled, c.fault);
    const JobOutcome spoiled = pump.RunWriteOperation(20s);
    ASSERT_TRUE(spoiled.finished);
    // A virtual USB device that went away is noticed by the next step's probe: no link.
    const GeneratorStatus expected = ToGeneratorStatus(c.lastStatus);
    if (c.fault == Fault::GoneDuring && c.link == LinkKind::Usb && spoiled.lastStatus == GeneratorStatus::NoLink)
        EXPECT_TRUE(spoiled.demo);
    else
        EXPECT_EQ(spoiled.lastStatus, expected);
    if (expected != GeneratorStatus::Ok) {
        EXPECT_EQ(spoiled.linkState, Link::Down);
        EXPECT_EQ(instrument.Commands().size(), before + kSpoiled + 1) << "the latch let commands through";
        // A setting changed now is not sent until a new job.
        settings.SetParameter(0, Parameter::Frequency, 4321);
        ASSERT_TRUE(pump.WaitUntilIdle(5s).finished);
        EXPECT_EQ(instrument.Commands().size(), before + kSpoiled + 1);
    }
    if (c.fault == Fault::GoneDuring) instrument.Reappear();

    instrument.FaultAt(0, Fault::Slow);
    instrument.FaultAt(1, Fault::Slow);
    const JobOutcome next = pump.RunWriteOperation(20s);
    EXPECT_TRUE(next.Succeeded()) << "status " << next.lastStatus;
    EXPECT_TRUE(LimitsAreTheInstruments(settings));
    EXPECT_EQ(instrument.Setting("SOURce1:FREQuency"),
              FormatWindowsG(expected == GeneratorStatus::Ok ? kValues[1] : 4321.0));
    pump.Stop();
}

INSTANTIATE_TEST_SUITE_P(
    Matrix, SessionFaultTest,
    ::testing::Values(SessionFault{LinkKind::Lan, Fault::Lost, 1}, SessionFault{LinkKind::Lan, Fault::Late, 1},
                      SessionFault{LinkKind::Lan, Fault::Duplicated, 2},
                      SessionFault{LinkKind::Lan, Fault::Truncated, 3}, SessionFault{LinkKind::Lan, Fault::Oversize, 3},
                      SessionFault{LinkKind::Lan, Fault::Garbage, 3}, SessionFault{LinkKind::Lan, Fault::GoneDuring, 1},
                      SessionFault{LinkKind::Usb, Fault::Lost, 1}, SessionFault{LinkKind::Usb, Fault::Duplicated, 2},
                      SessionFault{LinkKind::Usb, Fault::Truncated, 3}, SessionFault{LinkKind::Usb, Fault::Garbage, 3},
                      SessionFault{LinkKind::Usb, Fault::GoneDuring, 1}),
    [](const auto& info) { return std::string(LinkName(info.param.link)) + FaultName(info.param.fault); });

// ---- The waveform operations' own faults ---------------------------------

// A mono 16-bit WAV file of `frames` samples, a ramp.
void WriteWav(const std::string& path, std::uint32_t frames) {
    std::ofstream file(path, std::ios::binary);
    const auto u32 = [&](std::uint32_t v) { file.write(reinterpret_cast<const char*>(&v), 4); };
    const auto u16 = [&](std::uint16_t v) { file.write(reinterpret_cast<const char*>(&v), 2); };
    file << "RIFF";
    u32(36 + 2 * frames);
    file << "WAVEfmt ";
    u32(16), u16(1), u16(1), u32(48000), u32(96000), u16(2), u16(16);
    file << "data";
    u32(2 * frames);
    std::vector<std::int16_t> samples(frames);
    for (std::uint32_t i = 0; i < frames; ++i) samples[i] = static_cast<std::int16_t>(i % 65536 - 32768);
    file.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(2 * frames));
}

std::vector<double> Points(const DeviceSettings& settings) {
    return settings.ReadRecord(0, [](const ChannelRecord& r) {
        return std::vector<double>(r.arbitrarySamples.begin(), r.arbitrarySamples.begin() + r.arbitraryPointCount);
    });
}

// Channel 1 arbitrary, 1024 points, and `steps` one-point edits in its history.
void Prepare(DeviceSettings& settings, int steps) {
    settings.SetWaveType(0, kWaveArbitrary);
    settings.ResizeArbitrary(0, 1024);
    settings.ModifyRecord(0, [](ChannelRecord& r) {
        for (std::size_t i = 0; i < 1024; ++i) r.arbitrarySamples[i] = static_cast<double>(i % 7) * 0.25;
    });
    for (int n = 0; n < steps; ++n) {
        const auto at = static_cast<std::uint32_t>(n);
        EditArbitrary(settings, 0, ArbitraryEdit::Points(at, at, [at](std::vector<double>& samples, std::uint32_t) {
                          samples[at] = -1.0;
                          return std::optional<std::uint32_t>(at);
                      }));
    }
}

struct UndoRecordCase {
    const char* name;
    // The points the operation computes (on a worker, in the program).
    std::function<std::vector<double>(const std::string& folder)> points;
};

class MemoryOutDuringUndoRecord : public ::testing::TestWithParam<UndoRecordCase> {};

// The undo steps are held in memory (nothing of them goes to disk), so what
// can run out while an import or a formula records its step is memory. The
// points are computed on a worker, whose lack of memory the program reports;
// they replace the channel's and the undo step is recorded on the interface
// thread, where a failure must not escape. Every allocation of that step
// fails in turn, with the history at several fills: the points are replaced
// whole, and an undo step that was kept brings back exactly those before.
TEST_P(MemoryOutDuringUndoRecord, PointsReplacedWholeUndoFitsOrIsGone) {
    const UndoRecordCase c = GetParam();
    test::TempDir folder;
    WriteWav(folder.File("in.wav"), 4096);
    {
        std::ofstream table(folder.File("in.csv"));
        table << "index;volts\n";
        for (int i = 0; i < 4096; ++i) table << i << ";" << (i % 100) * 0.01 << "\n";
    }
    const std::vector<double> computed = c.points(folder.Path());
    ASSERT_GE(computed.size(), 16U);
    const std::vector<double> applied(computed.begin(), computed.begin() + (computed.size() & ~std::size_t{15}));
    for (int steps = 0; steps < 6; ++steps) {
        bool failed = true;
        for (long long failing = 0; failed; ++failing) {
            SCOPED_TRACE("history of " + std::to_string(steps) + " steps, allocation " + std::to_string(failing));
            DeviceSettings settings;
            Prepare(settings, steps);
            const std::vector<double> before = Points(settings);
            std::vector<double> samples = computed;
            allocationsBeforeFailure = failing;
            try {
                EditArbitrary(settings, 0, ArbitraryEdit::Replace(std::move(samples)));
            } catch (const std::bad_alloc&) {
                allocationsBeforeFailure = -1;
                FAIL() << "the allocation failure escaped";
            }
            failed = allocationsBeforeFailure < 0;
            allocationsBeforeFailure = -1;
            ASSERT_EQ(Points(settings), applied) << "the points are torn";
            if (settings.History().CanUndo(0)) {
                ASSERT_TRUE(EditArbitrary(settings, 0, ArbitraryEdit::Undo()));
                ASSERT_EQ(Points(settings), before) << "the undo step does not bring back what was there";
            }
            if (!failed) {
                EXPECT_EQ(settings.History().UndoSteps(0), static_cast<std::size_t>(steps));
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Operations, MemoryOutDuringUndoRecord,
                         ::testing::Values(UndoRecordCase{"ImportWav",
                                                          [](const std::string& folder) {
                                                              std::vector<double> samples;
                                                              ReadWaveformFile(folder + "/in.wav", 10.0, samples);
                                                              return samples;
                                                          }},
                                           UndoRecordCase{"ImportTable",
                                                          [](const std::string& folder) {
                                                              std::vector<double> samples;
                                                              ReadWaveformFile(folder + "/in.csv", 10.0, samples);
                                                              return samples;
                                                          }},
                                           UndoRecordCase{"Formula",
                                                          [](const std::string&) {
                                                              return EvaluateFormula("sin(2*pi*x)", 1024, 10.0).samples;
                                                          }}),
                         [](const auto& info) { return std::string(info.param.name); });

// A sound file that shrinks while the import reads it (another program
// rewriting it): the import, on a worker as the program runs it, ends with
// the reason, and the channel keeps its points and its history. The file is
// cut as soon as the first block has been read.
TEST(SoundFileCutWhileRead, TheImportRefusesAndChangesNothing) {
    test::TempDir folder;
    const std::string path = folder.File("long.wav");
    constexpr std::uint32_t kFrames = 8U << 20;  // eight blocks of the reader
    int cut = 0;
    for (int attempt = 0; attempt < 5 && cut == 0; ++attempt) {
        DeviceSettings settings;
        Prepare(settings, 2);
        const std::vector<double> before = Points(settings);
        WriteWav(path, kFrames);
        ImportOutcome outcome;
        LongJob job = ImportJob(settings, path, 0, nullptr, [&](const ImportOutcome& o) { outcome = o; });
        JobProgress progress;
        JobFinish finish;
        std::atomic<bool> ended{false};
        std::thread worker([&] {
            finish = job.work(progress);
            ended = true;
        });
        while (progress.Fraction() == 0.0 && !ended) {}
        const bool cutInTime = !ended && truncate(path.c_str(), 44 + 2 * (kFrames / 4)) == 0;
        worker.join();
        ASSERT_TRUE(finish);
        finish();
        if (!cutInTime || outcome.imported) continue;  // read before the cut: tried again
        ++cut;
        EXPECT_FALSE(outcome.error.empty());
        EXPECT_EQ(Points(settings), before);
        EXPECT_EQ(settings.History().UndoSteps(0), 2U);
    }
    EXPECT_EQ(cut, 1) << "the read always ended before the file was cut";
}

}  // namespace
}  // namespace zorbel
