// DeviceSettings on the user-interface side: creation, setters, job triggers,
// arbitrary waveform helpers, zoom tools and user-typed numbers.
#include "zorbel/model/device_settings.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "zorbel/model/calibration_measurement.h"
#include "zorbel/model/preview.h"
#include "zorbel/numbers.h"

namespace zorbel {
namespace {

// The instrument's address on its private network, as the generator library
// assumes it before the first Connect; QRV_LAN_ADDRESS overrides both.
std::uint32_t DefaultLanAddress() {
    std::uint32_t address = 0xC0A80164;  // 192.168.1.100
    if (const char* text = std::getenv("QRV_LAN_ADDRESS")) {
        in_addr parsed{};
        if (inet_pton(AF_INET, text, &parsed) == 1) address = ntohl(parsed.s_addr);
    }
    return address;
}

class NullObserver final : public SessionObserver {};

// Samples per period and divider of a new record: the library's best choice
// for 1000 Hz between 2 and 6000 points.
void SetDefaultArbitrary(ChannelRecord& record, GeneratorApi& api) {
    ArbitraryControl best{};
    if (api.GetBestArbitraryControlFromFreq(&best, 1000.0, 2, 6000) == 1) {
        record.arbitraryDivider = static_cast<std::uint16_t>(best.divider);
        record.arbitraryPointCount = best.points;
    }
    record.arbitrarySamples.assign(record.arbitraryPointCount, 0.0);
    record.arbitraryLength = record.arbitraryPointCount;
    record.arbitraryViewLast = record.arbitraryPointCount - 1;
}

// The cursor word of the view's rubber bands for the tools that are on.
std::uint16_t ZoomToolCursor(ZoomTool tools) {
    return static_cast<std::uint16_t>((Any(tools, ZoomTool::HorizontalIn) ? kCursorHorizontalZoomIn : 0) |
                                      (Any(tools, ZoomTool::VerticalIn) ? kCursorVerticalZoomIn : 0));
}

}  // namespace

DeviceSettings::DeviceSettings() : DeviceSettings(LibraryGenerator()) { locksInstrument_ = true; }

DeviceSettings::DeviceSettings(GeneratorApi& api)
    : api_(api),
      lanAddress_(DefaultLanAddress()),
      scope_(&LibraryOscilloscope()),
      settleMs_(kCalibrationSettleTime.count()) {
    constexpr std::array<std::uint32_t, kChannelCount> kTraceColours = {0x0080FF80, 0x00FF00FF};
    for (int ch = 0; ch < kChannelCount; ++ch) {
        ChannelRecord& record = records_[ch];
        SetDefaultArbitrary(record, api_);
        // The window follows amplitude and offset from the first picture on.
        UpdatePreview(record, true);
        record.traceColour = kTraceColours[ch];
    }
}

SessionObserver& DeviceSettings::Observer() const {
    static NullObserver none;
    SessionObserver* observer = observer_;
    return observer ? *observer : none;
}

void DeviceSettings::SetConnection(std::uint16_t type, std::uint32_t address) {
    connectionType_ = type;
    lanAddress_ = address;
    connectionPending_ = true;
}

bool DeviceSettings::SetCurrentChannel(std::uint16_t channel) {
    if (channel >= kChannelCount) return false;
    currentChannel_ = channel;
    return true;
}

bool DeviceSettings::IsIdle() const {
    if (!queue_.Empty() || SweepRunning()) return false;
    return JobFlags() == Job::None || demo_ != 0;
}

// Demo off before the job flags: a worker that sees the flags then also sees
// the session online, and never takes a half-set trigger for demo mode.
void DeviceSettings::BeginJob(Job flags) {
    std::lock_guard lock(jobStartMutex_);
    cancelRequested_ = false;
    jobRefused_ = false;
    busy_ = false;
    instrumentLost_ = false;
    instrumentBack_ = false;
    demo_ = 0;
    SetJobFlags(flags);
}

void DeviceSettings::StartReadOperation() { BeginJob(Job::ReadLimits | Job::ReadSettings); }
void DeviceSettings::StartWriteOperation() { BeginJob(Job::ReadLimits | Job::WriteSettings); }
void DeviceSettings::StartReadLimits() { BeginJob(Job::ReadLimits); }
void DeviceSettings::StartWriteSettings() { BeginJob(Job::WriteSettings); }

void DeviceSettings::EndCalibrationJob(CalibrationEnd end) {
    ClearJobFlag(Job::Calibration);
    if (end == CalibrationEnd::NotRun) return;
    if (end == CalibrationEnd::StoppedShort)
        RecordLastJob(JobEnd::CalibrationFailed, Job::Calibration);
    else if (lastStatus_ == GeneratorStatus::Ok)
        RecordLastJob(JobEnd::Succeeded, Job::Calibration);
    else
        RecordLastJob(JobEnd::Failed, Job::Calibration);
}

void DeviceSettings::StartArbitraryDownload(std::uint16_t channel) {
    if (channel >= kChannelCount) return;
    cancelRequested_ = false;
    jobRefused_ = false;
    busy_ = false;
    EnqueueCommand(code::kArbStartDownload, channel);
}

bool DeviceSettings::SetOutputState(std::uint16_t channel, std::uint16_t state) {
    if (channel >= kChannelCount) return false;
    const std::uint16_t on = state ? 1 : 0;
    ModifyRecord(channel, [&](ChannelRecord& r) { r.outputState = on; });
    EnqueueCommand(code::kWriteOnOff, channel, on);
    return true;
}

bool DeviceSettings::SetWaveType(std::uint16_t channel, std::uint16_t waveType) {
    if (channel >= kChannelCount || !IsValidWaveType(waveType)) return false;
    ModifyRecord(channel, [&](ChannelRecord& r) {
        r.waveType = waveType;
        SynthesizePreview(r);
    });
    EnqueueCommand(code::kWriteWaveType, channel, waveType);
    return true;
}

bool DeviceSettings::SetParameter(std::uint16_t channel, Parameter p, double value) {
    if (channel >= kChannelCount || Index(p) >= kParameterCount) return false;
    // The instrument gets the value as "%G" text, six significant digits: the
    // record, the preview and the queued write all hold that value, so what
    // the program shows is what the instrument holds.
    value = RoundToWindowsG(value);
    ModifyRecord(channel, [&](ChannelRecord& r) {
        r.Value(p) = value;
        UpdatePreview(r, p == Parameter::Amplitude || p == Parameter::Offset);
    });
    EnqueueCommand(WriteParameterCode(p), channel, 0, value);
    return true;
}

bool DeviceSettings::SetArbitraryDivider(std::uint16_t channel, std::uint16_t divider) {
    if (channel >= kChannelCount) return false;
    ModifyRecord(channel, [&](ChannelRecord& r) { r.arbitraryDivider = divider; });
    EnqueueCommand(code::kArbDivider, channel);
    FollowPlayedArbitraryFrequency(channel);
    return true;
}

ChannelRecord DeviceSettings::Record(std::uint16_t channel) const {
    return ReadRecord(channel, [](const ChannelRecord& r) { return r; });
}

LimitsBlock DeviceSettings::CopyLimits(std::uint16_t channel) const {
    return ReadRecord(channel, [](const ChannelRecord& r) { return r.limits; });
}

CalibrationValues DeviceSettings::Calibration() const {
    std::lock_guard lock(recordsMutex_);
    return calibration_;
}

bool DeviceSettings::ResizeArbitrary(std::uint16_t channel, std::uint32_t n) {
    if (channel >= kChannelCount || n > kMaxArbitraryPoints) return false;
    std::optional<std::vector<double>> samples = ResizedSamples(channel, n);
    if (!samples) return false;
    return SwapInResized(channel, std::move(*samples), std::nullopt);
}

std::optional<std::vector<double>> DeviceSettings::ResizedSamples(std::uint16_t channel, std::uint32_t n,
                                                                  JobProgress* progress,
                                                                  std::uint64_t* builtFrom) const {
    if (channel >= kChannelCount || n > kMaxArbitraryPoints) return std::nullopt;
    const std::uint32_t m = n & ~std::uint32_t{15};
    // Built outside the lock, the kept points copied in short visits: the
    // display thread and the worker keep going meanwhile. Reserved, not
    // zeroed: each point is written once, the kept ones by the copy.
    constexpr std::size_t kCopyPoints = std::size_t{1} << 20;
    std::vector<double> samples;
    ReserveWaveform(samples, n);
    std::optional<std::uint64_t> generation;
    for (;;) {
        const bool more = ReadRecord(channel, [&](const ChannelRecord& r) {
            if (generation && *generation != r.arbitraryChanges.Generation()) {
                samples.clear();  // changed between two visits: start again
            }
            generation = r.arbitraryChanges.Generation();
            const std::size_t keep = std::min<std::size_t>({r.arbitraryPointCount, m, r.arbitrarySamples.size()});
            const std::size_t from = samples.size();
            const std::size_t length = std::min(kCopyPoints, keep - from);
            samples.insert(samples.end(), r.arbitrarySamples.begin() + static_cast<std::ptrdiff_t>(from),
                           r.arbitrarySamples.begin() + static_cast<std::ptrdiff_t>(from + length));
            if (progress) progress->Set(n > 0 ? 0.5 * static_cast<double>(samples.size()) / n : 0.0);
            return samples.size() < keep;
        });
        if (!more) break;
        if (progress && progress->StopRequested()) return std::nullopt;
        std::this_thread::yield();  // the lock is not fair: a waiting thread gets in only if this one lets it
    }
    samples.resize(n, 0.0);
    if (builtFrom && generation) *builtFrom = *generation;
    if (progress) progress->Set(1.0);
    return samples;
}

bool DeviceSettings::SwapInResized(std::uint16_t channel, std::vector<double>&& samples,
                                   std::optional<std::uint64_t> generation) {
    if (channel >= kChannelCount || samples.size() > kMaxArbitraryPoints) return false;
    const auto m = static_cast<std::uint32_t>(samples.size() & ~std::size_t{15});
    return ModifyRecord(channel, [&](ChannelRecord& r) {
        if (generation && r.arbitraryChanges.Generation() != *generation) return false;
        r.arbitrarySamples.swap(samples);
        r.arbitraryPointCount = m;
        r.arbitraryViewFirst = 0;
        r.arbitraryViewLast = m - 1;  // wraps for an empty waveform, as the view expects
        return true;
    });
}

std::uint16_t DeviceSettings::ZoomFromData(std::uint16_t channel) {
    // A slice at a time, each under the records lock for a millisecond or
    // so: a pass over 64 M points takes a tenth of a second, which the view
    // and the interface must not wait for.
    constexpr std::size_t kSlice = std::size_t{1} << 20;
    double maximum = 0.0, minimum = 0.0;
    for (std::size_t first = 0;; first += kSlice) {
        const bool more = ReadRecord(channel, [&](const ChannelRecord& r) {
            const std::size_t n = std::min<std::size_t>(r.arbitraryPointCount, r.arbitrarySamples.size());
            if (first >= n) return false;
            const auto begin = r.arbitrarySamples.begin() + static_cast<std::ptrdiff_t>(first);
            const auto [lo, hi] =
                std::minmax_element(begin, begin + static_cast<std::ptrdiff_t>(std::min(kSlice, n - first)));
            maximum = first == 0 ? *hi : std::max(maximum, *hi);
            minimum = first == 0 ? *lo : std::min(minimum, *lo);
            return first + kSlice < n;
        });
        if (!more) break;
    }
    return ZoomFromRange(channel, maximum, minimum);
}

std::uint16_t DeviceSettings::ZoomFromRange(std::uint16_t channel, double maximum, double minimum) {
    const std::uint16_t gain = api_.GetZoomFromData(maximum, minimum);
    ModifyRecord(channel, [&](ChannelRecord& r) { r.arbitraryZoom = gain; });
    return gain;
}

void DeviceSettings::SetZoomTool(ZoomTool bit) {
    // Horizontal and vertical tools of the same kind stay on together.
    constexpr std::array<std::pair<ZoomTool, ZoomTool>, 6> kPartners = {{
        {ZoomTool::HorizontalIn, ZoomTool::VerticalIn},
        {ZoomTool::HorizontalOut, ZoomTool::VerticalOut},
        {ZoomTool::HorizontalMove, ZoomTool::VerticalMove},
        {ZoomTool::VerticalIn, ZoomTool::HorizontalIn},
        {ZoomTool::VerticalOut, ZoomTool::HorizontalOut},
        {ZoomTool::VerticalMove, ZoomTool::HorizontalMove},
    }};
    const auto entry = std::find_if(kPartners.begin(), kPartners.end(), [&](auto& e) { return e.first == bit; });
    if (entry == kPartners.end()) return;
    const ZoomTool partner = entry->second;
    ModifyRecord(currentChannel_, [&](ChannelRecord& r) {
        const ZoomTool bits = ((r.zoomToolBits ^ bit) & bit) | (r.zoomToolBits & partner);
        r.zoomToolBits = bits;
        r.zoomToolCursor = ZoomToolCursor(bits);
    });
    Observer().RequestRefresh(RefreshMask::Everything);
}

bool DeviceSettings::ClearZoomTools() {
    const bool wasOn = ModifyRecord(currentChannel_, [](ChannelRecord& r) {
        const bool on = r.zoomToolBits != ZoomTool::None;
        r.zoomToolBits = ZoomTool::None;
        r.zoomToolCursor = 0;
        return on;
    });
    return wasOn;
}

ZoomTool ZoomToolsThatCanAct(const ChannelRecord& r) {
    const bool wholeWaveform = r.arbitraryViewLast + 1 >= r.arbitraryPointCount && r.arbitraryViewFirst == 0;
    const double half = r.limits.Maximum(Parameter::Amplitude) * 0.5;
    const bool fullVoltageRange = r.arbitraryViewUpper == half && r.arbitraryViewLower == -half;
    ZoomTool tools = ZoomTool::None;
    if (r.arbitraryViewFirst + 12 < r.arbitraryViewLast) tools |= ZoomTool::HorizontalIn;
    if (!wholeWaveform) tools |= ZoomTool::HorizontalOut | ZoomTool::HorizontalMove;
    if (r.arbitraryViewLower < r.arbitraryViewUpper) tools |= ZoomTool::VerticalIn;
    if (!fullVoltageRange) tools |= ZoomTool::VerticalOut | ZoomTool::VerticalMove;
    return tools;
}

bool DeviceSettings::SwitchOffZoomToolsThatCannotAct() {
    const bool switchedOff = ModifyRecord(currentChannel_, [](ChannelRecord& r) {
        if (r.waveType != kWaveArbitrary) return false;
        const ZoomTool kept = r.zoomToolBits & ZoomToolsThatCanAct(r);
        if (kept == r.zoomToolBits) return false;
        r.zoomToolBits = kept;
        r.zoomToolCursor = ZoomToolCursor(kept);
        return true;
    });
    if (switchedOff) Observer().RequestRefresh(RefreshMask::Everything);
    return switchedOff;
}

std::optional<double> DeviceSettings::TryParseNumberText(std::string_view text) const {
    // The library takes a NUL-terminated 8-bit text; the 1000-byte zeroed
    // buffer bounds what a user can hand it.
    std::array<char, 1000> buffer{};
    const std::size_t length = std::min<std::size_t>(text.size(), buffer.size() - 1);
    std::copy_n(text.begin(), length, buffer.begin());
    double value = 0.0;
    if (api_.TurnStringIntoDouble(&value, buffer.data(), static_cast<std::int32_t>(length)) == 0) return std::nullopt;
    return value;
}

std::optional<double> DeviceSettings::TryParseNumberText(std::u16string_view text) const {
    std::string narrow;
    narrow.reserve(std::min<std::size_t>(text.size(), 999));
    for (char16_t c : text.substr(0, 999)) {
        // No number contains other characters; '?' keeps them from matching
        // and NUL would silently cut the text short.
        narrow.push_back(c > 0 && c < 0x80 ? static_cast<char>(c) : '?');
    }
    return TryParseNumberText(std::string_view(narrow));
}

double DeviceSettings::ParseNumberText(std::u16string_view text) const {
    return TryParseNumberText(text).value_or(0.0);
}

double DeviceSettings::ParseNumberText(std::string_view text) const { return TryParseNumberText(text).value_or(0.0); }

std::optional<ArbitraryControl> DeviceSettings::BestArbitraryControl(double frequency, std::uint32_t minimumPoints,
                                                                     std::uint32_t maximumPoints) const {
    ArbitraryControl best{};
    if (api_.GetBestArbitraryControlFromFreq(&best, frequency, minimumPoints, maximumPoints) != 1) return std::nullopt;
    return best;
}

std::optional<double> DeviceSettings::PlayedArbitraryFrequency(std::uint32_t points, std::uint16_t divider) const {
    double frequency = 0.0;
    if (points == 0 || api_.GetArbFrequency(&frequency, points, divider) != 1 || !std::isfinite(frequency))
        return std::nullopt;
    return frequency;
}

void DeviceSettings::FollowPlayedArbitraryFrequency(std::uint16_t channel) {
    if (channel >= kChannelCount) return;
    // The library is asked outside the records lock; count and divider
    // change on the interface thread alone, which runs this.
    const auto [points, divider] = ReadRecord(channel, [](const ChannelRecord& r) {
        return std::pair{r.arbitraryPointCount, r.arbitraryDivider};
    });
    if (const std::optional<double> played = PlayedArbitraryFrequency(points, divider))
        ModifyRecord(channel, [&](ChannelRecord& r) { r.arbitraryFrequency = *played; });
}

void DeviceSettings::EnqueueCommand(std::uint16_t code, std::int32_t channel, std::int64_t integerArgument,
                                    double realArgument) {
    queue_.Enqueue(InstrumentCommand{code, channel, integerArgument, realArgument});
    std::lock_guard lock(wakeMutex_);
    if (wake_) wake_();
}

void DeviceSettings::QueueCalibrationStart(std::uint16_t channel) {
    EnqueueCommand(code::kCalStart, kWholeInstrument, channel);
}

void DeviceSettings::QueueCalibrationStop(std::int32_t discard) {
    calibrationRunState_ = CalibrationRun::Stopping;
    EnqueueCommand(code::kCalStop, kWholeInstrument, discard);
}

void DeviceSettings::QueueCalibrationStep(std::uint16_t step) {
    ModifyCalibration([&](CalibrationValues& c) { c.currentStep = step; });
    EnqueueCommand(code::kCalSetStep, kWholeInstrument, std::int64_t{step} + 1);
}

void DeviceSettings::QueueCalibrationCommand(std::uint16_t code) { EnqueueCommand(code, kWholeInstrument); }

}  // namespace zorbel
