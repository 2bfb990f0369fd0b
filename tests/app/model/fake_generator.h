// A scripted stand-in for the generator library: records every instrument
// call, answers reads from its own channel state and fails the calls the test
// names. Thread-safe, so the worker may call it while a test inspects it.
#pragma once

#include <array>
#include <atomic>
#include <charconv>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "zorbel/model/generator_api.h"
#include "zorbel/model/session_observer.h"

namespace zorbel::test {

// Success as the library's C interface returns it.
inline constexpr std::uint16_t kOk = ToNumber(GeneratorStatus::Ok);

struct Call {
    std::string name;    // "Write", "Read", "Range", "WriteOnOff", "ArbData", ...
    int parameter = -1;  // Index(Parameter) for the numeric family
    int channel = -1;
    double a = 0, b = 0, c = 0;  // value / maximum / minimum, or address / length ...
    std::uint32_t first = 0;     // ArbData: first point and count
    std::uint32_t count = 0;
};

class FakeGenerator : public GeneratorApi {
public:
    FakeGenerator() {
        for (auto& r : ranges) r = LimitsBlock::BuiltIn();
        for (auto& v : values) v = {1.0, 2000.0, 0.5, 45.0, 0.25, 0.75, 0.2, 2e-4, 3e-8, 4e-8};
    }

    // ---- script (set before the worker runs, or under the test's own order)
    // The k-th instrument call from now (0 = the next; DeviceConnect and the
    // pure computations not counted) returns `status`.
    void FailCallFromNow(std::size_t k, GeneratorStatus status) {
        std::lock_guard l(mutex_);
        failAt_[total_ + k] = ToNumber(status);
    }
    // The k-th instrument call from now runs `action` once it is made (a
    // cancel between two commands, say), on the calling thread.
    void OnCallFromNow(std::size_t k, std::function<void()> action) {
        std::lock_guard l(mutex_);
        actionAt_[total_ + k] = std::move(action);
    }
    // The next DeviceConnect runs `action` once it has its answer, on the
    // calling thread (the user acting while the worker asks).
    void OnNextConnect(std::function<void()> action) {
        std::lock_guard l(mutex_);
        connectAction_ = std::move(action);
    }
    void SetConnect(std::uint16_t result) {
        std::lock_guard l(mutex_);
        connect_ = result;
    }
    // Every instrument call takes this long, as over a slow link.
    void SetCallDuration(std::chrono::milliseconds duration) { callDuration_ = duration.count(); }
    void SetBestArbitrary(std::int16_t divider, std::uint32_t points) {
        bestDivider_ = divider;
        bestPoints_ = points;
    }
    // Instrument state served to reads (index: channel).
    std::array<LimitsBlock, 2> ranges;
    std::array<std::array<double, kParameterCount>, 2> values;
    std::array<std::int16_t, 2> onOff{1, 0};
    std::array<std::int16_t, 2> waveType{2, 3};
    // Calibration: the step total, each step's measurement kind (index: the
    // one-based step number - 1; 0 beyond), every step's reference (volts,
    // hertz) and the verdicts "CALibration?" gives in turn (0 once used up).
    // Set them before the worker runs.
    std::int16_t calStepTotal = 0;
    std::vector<std::int16_t> calKinds;
    std::pair<double, double> calReference{1.0, 1000.0};
    std::deque<std::int16_t> calVerdicts;

    // ---- what happened
    std::vector<Call> Calls() const {
        std::lock_guard l(mutex_);
        return calls_;
    }
    std::vector<std::string> Names() const {
        std::lock_guard l(mutex_);
        std::vector<std::string> names;
        for (const Call& c : calls_) names.push_back(c.name);
        return names;
    }
    std::size_t Count(const std::string& name) const {
        std::lock_guard l(mutex_);
        std::size_t n = 0;
        for (const Call& c : calls_) n += c.name == name;
        return n;
    }
    void ClearCalls() {
        std::lock_guard l(mutex_);
        calls_.clear();
    }
    std::size_t ConnectCount() const {
        std::lock_guard l(mutex_);
        return connectCount_;
    }
    std::vector<double> LastArbData() const {
        std::lock_guard l(mutex_);
        return lastArbData_;
    }
    std::pair<double, double> LastZoomQuery() const {
        std::lock_guard l(mutex_);
        return lastZoomQuery_;
    }
    std::string LastParsedText() const {
        std::lock_guard l(mutex_);
        return lastParsedText_;
    }
    std::int32_t LastParsedLength() const {
        std::lock_guard l(mutex_);
        return lastParsedLength_;
    }

    // ---- GeneratorApi
    std::uint16_t InitComType(std::uint16_t type, std::uint32_t address) override {
        return Record({"InitComType", -1, -1, double(type), double(address)}, 1);
    }
    std::uint16_t DeviceConnect() override {
        std::function<void()> action;
        std::uint16_t result;
        {
            std::lock_guard l(mutex_);
            ++connectCount_;
            result = connect_;
            action = std::exchange(connectAction_, nullptr);
        }
        if (action) action();
        return result;
    }
    std::uint16_t RefreshDevice() override { return Record({"Refresh"}); }
    std::uint16_t WriteOnOff(std::uint16_t ch, std::uint16_t state) override {
        return Record({"WriteOnOff", -1, ch, double(state)});
    }
    std::uint16_t ReadOnOff(std::uint16_t ch, std::int16_t* state) override {
        const std::uint16_t s = Record({"ReadOnOff", -1, ch});
        if (s == kOk) *state = onOff[ch];
        return s;
    }
    std::uint16_t WriteWaveType(std::uint16_t ch, std::uint16_t type) override {
        return Record({"WriteWaveType", -1, ch, double(type)});
    }
    std::uint16_t ReadWaveType(std::uint16_t ch, std::int16_t* type) override {
        const std::uint16_t s = Record({"ReadWaveType", -1, ch});
        if (s == kOk) *type = waveType[ch];
        return s;
    }
    std::uint16_t WriteParameter(Parameter p, std::uint16_t ch, double v, double max, double min) override {
        return Record({"Write", int(Index(p)), ch, v, max, min});
    }
    std::uint16_t ReadParameter(Parameter p, std::uint16_t ch, double* v, double max, double min) override {
        const std::uint16_t s = Record({"Read", int(Index(p)), ch, 0, max, min});
        if (s == kOk) *v = values[ch][Index(p)];
        return s;
    }
    std::uint16_t ReadParameterRange(Parameter p, std::uint16_t ch, double* max, double* min) override {
        const std::uint16_t s = Record({"Range", int(Index(p)), ch});
        // As the library does: the maximum lands even when the minimum fails.
        *max = ranges[ch].Maximum(p);
        if (s == kOk) *min = ranges[ch].Minimum(p);
        return s;
    }
    std::uint16_t WriteArbitraryAddressAndLength(std::uint16_t ch, std::uint32_t address,
                                                 std::uint32_t length) override {
        return Record({"ArbAddressLength", -1, ch, double(address), double(length)});
    }
    std::uint16_t WriteArbitraryData(std::uint16_t ch, const double* data, std::uint32_t points, std::uint32_t first,
                                     std::uint32_t count, std::uint16_t gain) override {
        {
            std::lock_guard l(mutex_);
            lastArbData_.assign(data, data + points);
        }
        return Record({"ArbData", -1, ch, double(points), double(gain), 0, first, count});
    }
    std::uint16_t WriteArbitraryZoomValue(std::uint16_t ch, std::uint16_t gain) override {
        return Record({"ArbZoom", -1, ch, double(gain)});
    }
    std::uint16_t WriteDeviceArbitraryOutput(std::uint16_t ch, std::uint32_t address, std::uint32_t length) override {
        return Record({"ArbOutput", -1, ch, double(address), double(length)});
    }
    std::uint16_t WriteArbitrarySampleRateDiv(std::uint16_t ch, std::uint16_t divider) override {
        return Record({"ArbDivider", -1, ch, double(divider)});
    }
    std::uint16_t CSelectCalibrateChannel(std::uint16_t ch) override { return Record({"CalSelect", -1, ch}); }
    std::uint16_t CReadCalibrateStepTotalNum(std::int16_t* steps) override {
        const std::uint16_t s = Record({"CalCount"});
        if (s == kOk) *steps = calStepTotal;
        return s;
    }
    std::uint16_t CSetCalibrateCurStep(std::uint16_t step, std::int16_t* kind) override {
        const std::uint16_t s = Record({"CalSetStep", -1, -1, double(step)});
        if (s == kOk) *kind = step >= 1 && step <= calKinds.size() ? calKinds[step - 1] : 0;
        return s;
    }
    std::uint16_t CReadCalibrateRefValueVsCurStep(double* volts, double* hertz) override {
        const std::uint16_t s = Record({"CalMeasure"});
        if (s == kOk) std::tie(*volts, *hertz) = calReference;
        return s;
    }
    std::uint16_t CWriteCalibrateMeasResultVsCurStep(double v) override { return Record({"CalValue", -1, -1, v}); }
    std::uint16_t CReadCalibrateStateVsCurStep(std::int16_t* state) override {
        const std::uint16_t s = Record({"CalState"});
        if (s != kOk) return s;
        std::lock_guard l(mutex_);
        *state = 0;
        if (!calVerdicts.empty()) {
            *state = calVerdicts.front();
            calVerdicts.pop_front();
        }
        return s;
    }
    std::uint16_t CSaveCalibrateData() override { return Record({"CalStore"}); }

    std::uint16_t GetBestArbitraryControlFromFreq(ArbitraryControl* best, double f, std::uint32_t,
                                                  std::uint32_t) override {
        if (!(f > 0)) return 0;
        best->divider = bestDivider_;
        best->points = bestPoints_;
        best->requestedFrequency = f;
        return 1;
    }
    std::uint16_t GetZoomFromData(double maximum, double minimum) override {
        std::lock_guard l(mutex_);
        lastZoomQuery_ = {maximum, minimum};
        return 4;
    }
    // The library's own arithmetic: the tests check the frequency a waveform plays at.
    std::uint16_t GetArbFrequency(double* frequency, std::uint32_t points, std::uint16_t divider) override {
        return qmkHDGetArbFrequency(frequency, points, divider);
    }
    // Accepts only "<digits>[.<digits>]" so the tests see what was handed over.
    std::uint16_t TurnStringIntoDouble(double* value, const char* text, std::int32_t length) override {
        std::lock_guard l(mutex_);
        lastParsedText_ = text;
        lastParsedLength_ = length;
        const std::string& t = lastParsedText_;
        const std::size_t point = t.find('.');
        const auto digits = [](std::string_view part) {
            return !part.empty() && part.find_first_not_of("0123456789") == std::string_view::npos;
        };
        const std::string_view whole = std::string_view(t).substr(0, point);
        if (!digits(whole) || (point != std::string::npos && !digits(std::string_view(t).substr(point + 1)))) return 0;
        std::from_chars(t.data(), t.data() + t.size(), *value);
        return 1;
    }

private:
    std::uint16_t Record(Call call, std::uint16_t normal = kOk) {
        if (const auto ms = callDuration_.load()) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        std::function<void()> action;
        std::uint16_t result = normal;
        {
            std::lock_guard l(mutex_);
            const std::size_t n = total_++;
            calls_.push_back(std::move(call));
            if (auto scripted = failAt_.find(n); scripted != failAt_.end()) result = scripted->second;
            if (auto hook = actionAt_.find(n); hook != actionAt_.end()) action = std::move(hook->second);
        }
        if (action) action();
        return result;
    }

    mutable std::mutex mutex_;
    std::atomic<std::chrono::milliseconds::rep> callDuration_{0};
    std::vector<Call> calls_;
    std::map<std::size_t, std::uint16_t> failAt_;
    std::map<std::size_t, std::function<void()>> actionAt_;
    std::function<void()> connectAction_;
    std::size_t total_ = 0;  // instrument calls since creation (ClearCalls keeps it)
    std::uint16_t connect_ = 1;
    std::size_t connectCount_ = 0;
    std::int16_t bestDivider_ = 11;
    std::uint32_t bestPoints_ = 5680;
    std::vector<double> lastArbData_;
    std::pair<double, double> lastZoomQuery_{};
    std::string lastParsedText_;
    std::int32_t lastParsedLength_ = -1;
};

// A SessionObserver that records what it was told.
class RecordingObserver : public SessionObserver {
public:
    void UpdatePanel(std::stop_token) override {
        std::lock_guard l(mutex_);
        ++updatePanel_;
    }
    void ShowProgress(Job flags) override {
        std::lock_guard l(mutex_);
        progress_.push_back(ToNumber(flags));
    }
    void CalibrationStep(std::uint16_t code, std::stop_token) override {
        std::lock_guard l(mutex_);
        calibrationSteps_.push_back(code);
    }
    void RequestRefresh(RefreshMask mask) override {
        std::lock_guard l(mutex_);
        refreshMasks_.push_back(ToNumber(mask));
    }
    void Clear() {
        std::lock_guard l(mutex_);
        updatePanel_ = 0;
        progress_.clear();
        calibrationSteps_.clear();
        refreshMasks_.clear();
    }
    int UpdatePanelCount() const {
        std::lock_guard l(mutex_);
        return updatePanel_;
    }
    std::vector<std::uint16_t> Progress() const {
        std::lock_guard l(mutex_);
        return progress_;
    }
    std::vector<std::uint16_t> CalibrationSteps() const {
        std::lock_guard l(mutex_);
        return calibrationSteps_;
    }
    std::vector<std::uint32_t> RefreshMasks() const {
        std::lock_guard l(mutex_);
        return refreshMasks_;
    }

private:
    mutable std::mutex mutex_;
    int updatePanel_ = 0;
    std::vector<std::uint16_t> progress_;
    std::vector<std::uint16_t> calibrationSteps_;
    std::vector<std::uint32_t> refreshMasks_;
};

}  // namespace zorbel::test
