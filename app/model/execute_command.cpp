// ExecuteCommand: one queued command through the generator library.
//
// Values that go to the library are copied out of the record under the
// records mutex, the call runs without any lock, and what it read back is
// stored under the mutex again, so the UI never waits for an exchange.
#include <algorithm>

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

// Points handed to the library per call of a download: 256 of its packets
// of 960 points, fine enough steps for a progress bar and few enough calls
// (274 for the whole waveform memory) not to cost anything.
constexpr std::uint32_t kDownloadSlicePoints = 960 * 256;

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
    if (InRange(code, 0x3001, 0x3009)) return ExecuteArbitrary(command, channel);
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
    EnqueueCommand(code::kArbAddressLength, channel);
    SetJobFlags(Job::ArbitraryDownload);  // the whole word, as the download owns the worker now
}

CommandResult DeviceSettings::ExecuteArbitrary(const InstrumentCommand& command, std::uint16_t channel) {
    const std::uint16_t code = command.code;
    const bool queuesOnly = code == code::kArbStartDownload || code == code::kArbSendData || code == code::kArbFinish;
    // Every arbitrary command indexes a record: a bad channel ends here, after
    // the demo and latch guards for those that call the library.
    if (channel >= kChannelCount)
        return queuesOnly ? GeneratorStatus::Rejected : LibraryGuard(command, true).value_or(GeneratorStatus::Rejected);
    if (queuesOnly) {
        if (code == code::kArbStartDownload) {
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

    if (code == code::kArbData) {
        // Copied so the library never reads the record's array unlocked. The
        // length was fixed at the start; a resize since then must not make the
        // library read past the array, so missing points go out as 0 V.
        std::vector<double> data;
        std::uint32_t length = 0, sent = 0;
        std::uint16_t zoom = 0;
        ReadRecord(channel, [&](const ChannelRecord& r) {
            length = r.arbitraryLength;
            sent = r.arbitrarySent;
            zoom = r.arbitraryZoom;
            data.assign(r.arbitrarySamples.begin(),
                        r.arbitrarySamples.begin() + std::min<std::size_t>(length, r.arbitrarySamples.size()));
        });
        data.resize(length, 0.0);
        auto skipped = LibraryGuard(command, true);
        GeneratorStatus status = skipped.value_or(GeneratorStatus::Ok);
        // Handed over in slices of whole packets (the same packets as one
        // call) so that "sent" grows while millions of points go out and the
        // progress dialog can show how far the download is.
        std::uint32_t done = 0;
        while (!skipped) {
            const std::uint32_t slice = std::min(kDownloadSlicePoints, length - done);
            status = Store(api_.WriteArbitraryData(channel, data.data(), length, sent + done, slice, zoom));
            done += slice;
            if (done >= length || status != GeneratorStatus::Ok) break;
            ModifyRecord(channel, [&](ChannelRecord& r) { r.arbitrarySent += slice; });
        }
        // The whole length counts, also when the call was skipped or failed:
        // otherwise a latched session would queue the same chunk again at
        // every step, for ever.
        ModifyRecord(channel, [&](ChannelRecord& r) { r.arbitrarySent = sent + length; });
        return status;
    }

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

}  // namespace zorbel
