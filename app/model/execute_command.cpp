// ExecuteCommand: one queued command through the generator library.
//
// Values that go to the library are copied out of the record under the
// records mutex, the call runs without any lock, and what it read back is
// stored under the mutex again, so the UI never waits for an exchange.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <tuple>

#include "zorbel/model/device_settings.h"
#include "zorbel/model/preview.h"

namespace zorbel {
namespace {

bool InRange(std::uint16_t code, std::uint16_t first, std::uint16_t last) { return code >= first && code <= last; }

// What the address, gain, output and divider writes send, copied from the record.
struct ArbitraryPlay {
    std::uint32_t address;
    std::uint32_t length;
    std::uint32_t outputStart;
    std::uint32_t pointCount;
    std::uint16_t zoom;
    std::uint16_t divider;
};

// Points handed to the library per call of a download: 96 of its packets
// of 960 points (720 KiB of samples, a whole number of pages). Between two
// slices the progress moves on, a cancel or stop is noticed (a few
// milliseconds apart even over USB), and the records lock is free: each
// slice is copied under it on its own, so neither the interface nor the
// view ever waits for a copy of the whole waveform.
constexpr std::uint32_t kDownloadSlicePoints = 960 * 96;

// The points of a download as the library reads them: the whole length in
// address space, of which only the slice under way is ever filled. Fresh
// anonymous memory reads as 0 until written (so points missing from a
// waveform that shrank meanwhile go out as 0 V), and each slice's pages go
// back to the system once it is sent: 64 M points need a slice of memory,
// not a second copy of 512 MiB.
class DownloadPoints {
public:
    explicit DownloadPoints(std::uint32_t length) : bytes_(std::max<std::size_t>(length, 1) * sizeof(double)) {
        void* p = mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        data_ = p == MAP_FAILED ? nullptr : static_cast<double*>(p);
    }
    ~DownloadPoints() {
        if (data_) munmap(data_, bytes_);
    }
    DownloadPoints(const DownloadPoints&) = delete;
    DownloadPoints& operator=(const DownloadPoints&) = delete;

    double* Data() const { return data_; }
    // Points first.. first + count - 1 read as 0 again, their whole pages freed.
    void Release(std::uint32_t first, std::uint32_t count) const {
        const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
        const auto begin = (reinterpret_cast<std::uintptr_t>(data_ + first) + page - 1) & ~(page - 1);
        const auto end = reinterpret_cast<std::uintptr_t>(data_ + first + count) & ~(page - 1);
        if (begin < end) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
    }

private:
    std::size_t bytes_;
    double* data_;
};

bool ChangesWindow(Parameter p) { return p == Parameter::Amplitude || p == Parameter::Offset; }

}  // namespace

std::optional<GeneratorStatus> DeviceSettings::LibraryGuard(const InstrumentCommand& command,
                                                            bool addressesChannel) const {
    if (demo_ != 0) return GeneratorStatus::Failed;
    const GeneratorStatus last = lastStatus_;
    if (last != GeneratorStatus::Ok) return last;  // the latch: nothing reaches the instrument
    if (addressesChannel && static_cast<std::uint16_t>(command.channel) >= kChannelCount)
        return GeneratorStatus::Rejected;
    return std::nullopt;
}

CommandResult DeviceSettings::ExecuteCommand(const InstrumentCommand& command, std::stop_token stop) {
    if (linkState_ != Link::Up) return GeneratorStatus::NoLink;  // nothing is done without a link
    const std::uint16_t code = command.code;
    const auto channel = static_cast<std::uint16_t>(command.channel);

    switch (code) {
    case code::kNone:
    case code::kReadLimitsEnd:
    case code::kReadSettingsEnd:
    case code::kWriteSettingsEnd:
        return CommandResult::OwnCode(code);
    case code::kRefresh:
        // For the whole instrument: the batch-end refresh carries channel -1.
        if (auto skipped = LibraryGuard(command, false)) return *skipped;
        return Store(api_.RefreshDevice());
    default:
        break;
    }
    if (InRange(code, 0x1001, 0x100A) || InRange(code, 0x2001, 0x200C)) return ExecuteRead(command, channel);
    if (InRange(code, 0xA001, 0xA00C)) return ExecuteWrite(command, channel);
    if (InRange(code, 0x3001, 0x3009)) return ExecuteArbitrary(command, channel, stop);
    // Calibration commands belong to a run: once it has stopped (or before one
    // started) any left over are refused unsent, wherever they are drained.
    if (InRange(code, code::kCalStart, code::kCalGetState)) {
        if (calibrationRunState_ == CalibrationRun::Idle) return GeneratorStatus::Rejected;
        return ExecuteCalibration(command, stop);
    }
    // Unknown codes: refused, nothing sent, the session untouched.
    return GeneratorStatus::Rejected;
}

GeneratorStatus DeviceSettings::ExecuteRead(const InstrumentCommand& command, std::uint16_t channel) {
    if (auto skipped = LibraryGuard(command, true)) return *skipped;
    const std::uint16_t code = command.code;

    if (auto p = ParameterOfCode(code, kReadLimitsCodeBase)) {
        // Into temporaries first: the library stores the maximum even when the
        // minimum query then fails, and a half-read pair (maximum below the old
        // minimum, say) would make every later write of it be rejected.
        double maximum = 0.0, minimum = 0.0;
        const GeneratorStatus status = Store(api_.ReadParameterRange(*p, channel, &maximum, &minimum));
        if (status == GeneratorStatus::Ok)
            ModifyRecord(channel, [&](ChannelRecord& r) { r.limits.Set(*p, maximum, minimum); });
        return status;
    }
    if (code == code::kReadOnOff) {
        std::int16_t state = 0;
        const GeneratorStatus status = Store(api_.ReadOnOff(channel, &state));
        if (status == GeneratorStatus::Ok)
            ModifyRecord(channel, [&](ChannelRecord& r) { r.outputState = state ? 1 : 0; });
        return status;
    }
    if (code == code::kReadWaveType) {
        std::int16_t type = 0;
        const GeneratorStatus status = Store(api_.ReadWaveType(channel, &type));
        if (status != GeneratorStatus::Ok) return status;
        // Refused but not latched: last status stays what the library said.
        if (!IsValidWaveType(type)) return GeneratorStatus::Rejected;
        ModifyRecord(channel, [&](ChannelRecord& r) {
            r.waveType = static_cast<std::uint16_t>(type);
            SynthesizePreview(r);
        });
        return status;
    }
    const Parameter p = *ParameterOfCode(code, kReadParameterCodeBase);
    const LimitsBlock limits = CopyLimits(channel);
    double value = 0.0;
    const GeneratorStatus status = Store(api_.ReadParameter(p, channel, &value, limits.Maximum(p), limits.Minimum(p)));
    if (status == GeneratorStatus::Ok) {
        ModifyRecord(channel, [&](ChannelRecord& r) {
            r.Value(p) = value;
            UpdatePreview(r, ChangesWindow(p));
        });
    }
    return status;
}

GeneratorStatus DeviceSettings::ExecuteWrite(const InstrumentCommand& command, std::uint16_t channel) {
    if (auto skipped = LibraryGuard(command, true)) return *skipped;
    switch (command.code) {
    case code::kWriteOnOff:
        // Any non-zero state is "on"; a plain narrowing could turn 0x10000 into "off".
        return Store(api_.WriteOnOff(channel, command.integerArgument != 0 ? 1 : 0));
    case code::kWriteWaveType:
        if (!IsValidWaveType(command.integerArgument)) return GeneratorStatus::Rejected;  // nothing sent
        return Store(api_.WriteWaveType(channel, static_cast<std::uint16_t>(command.integerArgument)));
    default: {
        const Parameter p = *ParameterOfCode(command.code, kWriteParameterCodeBase);
        const LimitsBlock limits = CopyLimits(channel);
        return Store(api_.WriteParameter(p, channel, command.realArgument, limits.Maximum(p), limits.Minimum(p)));
    }
    }
}

void DeviceSettings::StartDownload(std::uint16_t channel) {
    ZoomFromData(channel);
    ModifyRecord(channel, [](ChannelRecord& r) {
        r.arbitraryOutputStart = 0;
        r.arbitraryAddress = 0;
        r.arbitraryLength = r.arbitraryPointCount;
        r.arbitrarySent = 0;
    });
    downloadChannel_ = channel;
    downloadSent_ = 0;
    downloadLength_ = ReadRecord(channel, [](const ChannelRecord& r) { return r.arbitraryLength; });
    EnqueueCommand(code::kArbAddressLength, channel);
    SetJobFlags(Job::ArbitraryDownload);  // the whole word, as the download owns the worker now
}

CommandResult DeviceSettings::ExecuteArbitrary(const InstrumentCommand& command, std::uint16_t channel,
                                               std::stop_token stop) {
    const std::uint16_t code = command.code;
    const bool queuesOnly = code == code::kArbStartDownload || code == code::kArbSendData || code == code::kArbFinish;
    // Every arbitrary command indexes a record: a bad channel ends here, after
    // the demo and latch guards for those that call the library.
    if (channel >= kChannelCount)
        return queuesOnly ? GeneratorStatus::Rejected : LibraryGuard(command, true).value_or(GeneratorStatus::Rejected);
    if (queuesOnly) {
        if (code == code::kArbStartDownload) {
            // Cancelled before it began: nothing was sent.
            if (cancelRequested_.exchange(false)) {
                RecordLastJob(JobEnd::Cancelled, Job::ArbitraryDownload);
                return CommandResult::OwnCode(code);
            }
            // A waveform below 16 points has no valid sample: nothing to download.
            if (ReadRecord(channel, [](const ChannelRecord& r) { return r.arbitraryPointCount; }) == 0)
                return GeneratorStatus::Rejected;
            StartDownload(channel);
        } else if (code == code::kArbSendData) {
            EnqueueCommand(code::kArbData, channel);
        } else {
            // Run here rather than queued, so that the job ends only after
            // them: the points go out unanswered over the LAN, and the
            // divider's read-back is the first answer to tell whether the
            // instrument was still there. Ended before it, the job would show
            // as a success for as long as that answer is awaited.
            for (const std::uint16_t closing : {code::kArbZoom, code::kArbOutput, code::kArbDivider})
                ExecuteArbitrary(InstrumentCommand{closing, channel, 0, 0.0}, channel);
            EndJobPart(Job::ArbitraryDownload);
        }
        return CommandResult::OwnCode(code);
    }

    if (code == code::kArbData) return SendArbitraryData(channel, stop);

    if (auto skipped = LibraryGuard(command, true)) return *skipped;
    const ArbitraryPlay play = ReadRecord(channel, [](const ChannelRecord& r) {
        return ArbitraryPlay{r.arbitraryAddress,    r.arbitraryLength, r.arbitraryOutputStart,
                             r.arbitraryPointCount, r.arbitraryZoom,   r.arbitraryDivider};
    });
    switch (code) {
    case code::kArbAddressLength:
        return Store(api_.WriteArbitraryAddressAndLength(channel, play.address, play.length));
    case code::kArbZoom:
        return Store(api_.WriteArbitraryZoomValue(channel, play.zoom));
    case code::kArbOutput:
        return Store(api_.WriteDeviceArbitraryOutput(channel, play.outputStart, play.pointCount));
    case code::kArbDivider:
        return Store(api_.WriteArbitrarySampleRateDiv(channel, play.divider));
    default:
        return GeneratorStatus::Rejected;  // 0x3005: no such command
    }
}

GeneratorStatus DeviceSettings::SendArbitraryData(std::uint16_t channel, std::stop_token stop) {
    // The length was fixed at the start; a resize since then must not make
    // the library read past the array: missing points go out as 0 V.
    const auto [length, first, zoom] = ReadRecord(channel, [](const ChannelRecord& r) {
        return std::tuple{r.arbitraryLength, r.arbitrarySent, r.arbitraryZoom};
    });
    const auto account = [&](std::uint32_t sent) {
        ModifyRecord(channel, [sent](ChannelRecord& r) { r.arbitrarySent = sent; });
        downloadSent_ = sent;
    };
    const std::optional<GeneratorStatus> skipped = LibraryGuard({code::kArbData, channel, 0, 0.0}, true);
    const DownloadPoints points(skipped ? 0 : length);
    if (skipped || points.Data() == nullptr) {
        // The whole length counts, also when nothing was sent: otherwise a
        // latched session would queue the same data again at every step.
        account(length);
        return skipped ? *skipped : Store(ToNumber(GeneratorStatus::Rejected));
    }
    GeneratorStatus status = GeneratorStatus::Ok;
    std::uint32_t sent = first;
    // A stop leaves the rest for the next step; a cancel for the job's end.
    while (sent < length && !stop.stop_requested() && !cancelRequested_) {
        const std::uint32_t slice = std::min(kDownloadSlicePoints, length - sent);
        double* const to = points.Data() + sent;
        std::fill_n(to, slice, 0.0);  // the pages are faulted in here, not under the lock
        // A structured binding is named into the lambda by value (older
        // clang cannot capture one).
        ReadRecord(channel, [&, total = length](const ChannelRecord& r) {
            const std::size_t have = std::min<std::size_t>(r.arbitrarySamples.size(), total);
            if (sent < have)
                std::copy_n(r.arbitrarySamples.begin() + sent, std::min<std::size_t>(slice, have - sent), to);
        });
        status = Store(api_.WriteArbitraryData(channel, points.Data(), length, sent, slice, zoom));
        points.Release(sent, slice);
        // A failed slice ends the download as if it were all sent (see above).
        sent = status == GeneratorStatus::Ok ? sent + slice : length;
        account(sent);
    }
    return status;
}

}  // namespace zorbel
