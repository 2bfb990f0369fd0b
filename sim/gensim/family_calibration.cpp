// Calibration: the instrument's numbered calibration steps per channel, as a
// script of steps given with --cal-step / --cal-script (or a built-in one).
// A step names its measurement kind, the reference output (volts, hertz) and
// the rule by which the measured value written back is judged:
//   pass T      0 when |measured - reference volts| <= T volts, else -1
//   fail        always -1
//   needprev T  -2 (run the previous step again) until the previous step has
//               passed after that verdict, then as "pass T"
//   seq V1,V2,...  the verdicts V1, V2, ... in turn, whatever was measured;
//               the last one repeats (a step that fails once and then
//               passes: "seq -1,0")
// Script line: "CH<n> none" or "CH<n> mean|p2p <volts> <hertz> <rule> [T]",
// each number finite (a script with "1E+999" is refused at start-up).
// While a step with a measurement is selected, the channel's output carries
// its reference (mean: that DC level; p2p: a sine of those volts peak to peak
// and hertz), so that an oscilloscope simulator coupled to this one measures it.
// Simulator-only queries for tests:
//   "SIMulator:CALibration:STORe?"  how often "CALibration:STORe" came
//   "SIMulator:CALibration:VALue? <n>,<step>"  last value written for a step
#include "command_text.h"
#include "content_options.h"
#include "family.h"
#include "zorbel/numbers.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iostream>

namespace gensim {

namespace {

enum class Rule { Pass, Fail, NeedPrevious, Sequence };

struct Step {
    int kind = 0;      // 0 no measurement, 1 mean value, 2 peak to peak
    double volts = 0;  // reference output, volts
    double hertz = 0;  // reference output, hertz
    Rule rule = Rule::Pass;
    double tolerance = 0;       // volts
    std::vector<int> verdicts;  // Rule::Sequence
    // Run-time state.
    std::optional<double> measured;  // last value written back, volts
    bool toldNeedPrevious = false;   // answered -2 and waits for the previous step
    bool previousDone = false;       // the previous step passed after that
    std::size_t verdictsGiven = 0;   // Rule::Sequence
};

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto start = text.find_first_not_of(" \t\r", pos);
        if (start == std::string_view::npos) break;
        const auto end = text.find_first_of(" \t\r", start);
        words.push_back(text.substr(start, end - start));
        pos = end == std::string_view::npos ? text.size() : end;
    }
    return words;
}

// "-1,0,-2": at least one integer verdict, comma-separated.
bool ParseVerdicts(std::string_view text, std::vector<int>& verdicts) {
    while (true) {
        const auto comma = text.find(',');
        long long verdict = 0;
        if (!zorbel::ParseInt(text.substr(0, comma), verdict) || verdict < -32768 || verdict > 32767) return false;
        verdicts.push_back(static_cast<int>(verdict));
        if (comma == std::string_view::npos) return true;
        text.remove_prefix(comma + 1);
    }
}

// A number the simulator can output and answer with: "1E+999" is refused.
bool ParseFinite(std::string_view text, double& value) {
    return zorbel::ParseDouble(text, value) && std::isfinite(value);
}

bool ParseStep(std::string_view option, int& channel, Step& step) {
    const auto w = Words(option);
    if (w.size() < 2 || (w[0] != "CH1" && w[0] != "CH2")) return false;
    channel = w[0][2] - '0';
    if (w[1] == "none") return w.size() == 2;
    if (w[1] == "mean")
        step.kind = 1;
    else if (w[1] == "p2p")
        step.kind = 2;
    else
        return false;
    if (w.size() < 5 || !ParseFinite(w[2], step.volts) || !ParseFinite(w[3], step.hertz)) return false;
    if (w[4] == "fail") {
        step.rule = Rule::Fail;
        return w.size() == 5;
    }
    if (w[4] == "seq") {
        step.rule = Rule::Sequence;
        return w.size() == 6 && ParseVerdicts(w[5], step.verdicts);
    }
    if (w[4] == "pass")
        step.rule = Rule::Pass;
    else if (w[4] == "needprev")
        step.rule = Rule::NeedPrevious;
    else
        return false;
    return w.size() == 6 && ParseFinite(w[5], step.tolerance) && step.tolerance >= 0;
}

// Used when no step is given: both channels pass with sensible values.
constexpr std::string_view kDefaultScript[] = {
    "CH1 none", "CH1 mean 0 0 pass 0.01", "CH1 p2p 1 1000 pass 0.02", "CH1 p2p 5 1000 pass 0.05",
    "CH2 none", "CH2 mean 0 0 pass 0.01", "CH2 p2p 1 1000 pass 0.02", "CH2 p2p 5 1000 pass 0.05",
};

class CalibrationFamily final : public CommandFamily {
public:
    explicit CalibrationFamily(const SimOptions& options) {
        if (options.calibrationSteps.empty()) {
            for (auto line : kDefaultScript) Add(line);
        } else {
            for (const auto& line : options.calibrationSteps) Add(line);
        }
    }

    std::optional<Answers> Handle(std::string_view command, GeneratorState& state) override {
        std::string_view header;
        std::string_view argument;
        SplitHeader(command, header, argument);
        if (header == "CALibration:SOURce") {
            if (argument == "CH1" || argument == "CH2") {
                state.calibrationOutput[channel_].reset();
                channel_ = argument[2] - '1';
                current_ = -1;
            }
            return Answers{};
        }
        if (command == "CALibration:COUNt?") return Answers{zorbel::FormatInt(Steps().size())};
        if (header == "CALibration:SETup") return Setup(argument, state);
        if (command == "CALibration:MEASure?") {
            const Step* step = Current();
            if (step == nullptr) return Answers{};
            // The instrument puts a blank after the comma.
            return Answers{zorbel::FormatWindowsG(step->volts) + ", " + zorbel::FormatWindowsG(step->hertz)};
        }
        if (header == "CALibration:VALue") {
            double value = 0;
            if (Step* step = Current(); step != nullptr && zorbel::ParseDouble(argument, value)) step->measured = value;
            return Answers{};
        }
        if (command == "CALibration?") {
            if (current_ < 0) return Answers{};
            return Answers{zorbel::FormatInt(Verdict(static_cast<std::size_t>(current_)))};
        }
        if (command == "CALibration:STORe") {
            ++stores_;
            state.calibrationOutput = {};
            return Answers{};
        }
        if (command == "SIMulator:CALibration:STORe?") return Answers{zorbel::FormatInt(stores_)};
        if (header == "SIMulator:CALibration:VALue?") return WrittenValue(argument);
        return std::nullopt;
    }

private:
    void Add(std::string_view line) {
        int channel = 0;
        Step step;
        if (ParseStep(line, channel, step)) steps_[channel - 1].push_back(step);
    }

    std::vector<Step>& Steps() { return steps_[channel_]; }

    Step* Current() { return current_ < 0 ? nullptr : &Steps()[static_cast<std::size_t>(current_)]; }

    // "CALibration:SETup <k>": steps count from 1; the answer is the kind. An
    // unknown step gets no answer.
    std::optional<Answers> Setup(std::string_view argument, GeneratorState& state) {
        long long number = 0;
        if (!zorbel::ParseInt(argument, number) || number < 1 || number > static_cast<long long>(Steps().size()))
            return Answers{};
        current_ = static_cast<int>(number - 1);
        Step& step = Steps()[static_cast<std::size_t>(current_)];
        step.measured.reset();
        state.calibrationOutput[channel_] = ReferenceOutput(step);
        return Answers{zorbel::FormatInt(step.kind)};
    }

    static std::optional<ChannelOutput> ReferenceOutput(const Step& step) {
        if (step.kind == 0) return std::nullopt;
        ChannelOutput out;
        out.on = true;
        if (step.kind == 1) {
            out.amplitude = 0;
            out.frequency = 0;
            out.offset = step.volts;
        } else {
            out.amplitude = step.volts;
            out.frequency = step.hertz;
            out.offset = 0;
        }
        return out;
    }

    int Verdict(std::size_t index) {
        Step& step = Steps()[index];
        if (step.kind == 0) return Passed(index);
        if (step.rule == Rule::Sequence) {
            const int verdict = step.verdicts[std::min(step.verdictsGiven++, step.verdicts.size() - 1)];
            return verdict == 0 ? Passed(index) : verdict;
        }
        if (step.rule == Rule::Fail || !step.measured) return -1;
        if (step.rule == Rule::NeedPrevious && !step.previousDone) {
            step.toldNeedPrevious = true;
            return -2;
        }
        return std::fabs(*step.measured - step.volts) <= step.tolerance ? Passed(index) : -1;
    }

    // A pass also releases a following step that asked for this one.
    int Passed(std::size_t index) {
        if (index + 1 < Steps().size() && Steps()[index + 1].toldNeedPrevious) Steps()[index + 1].previousDone = true;
        return 0;
    }

    std::optional<Answers> WrittenValue(std::string_view argument) {
        const auto comma = argument.find(',');
        long long channel = 0;
        long long number = 0;
        if (comma == std::string_view::npos || !zorbel::ParseInt(argument.substr(0, comma), channel) ||
            !zorbel::ParseInt(argument.substr(comma + 1), number) || channel < 1 || channel > 2)
            return Answers{};
        const auto& steps = steps_[static_cast<std::size_t>(channel - 1)];
        if (number < 1 || number > static_cast<long long>(steps.size())) return Answers{};
        const auto& measured = steps[static_cast<std::size_t>(number - 1)].measured;
        return Answers{measured ? zorbel::FormatWindowsG(*measured) : std::string("NONE")};
    }

    std::array<std::vector<Step>, 2> steps_;
    std::size_t channel_ = 0;  // selected channel, index 0 is CH1
    int current_ = -1;         // selected step index, -1 none
    long long stores_ = 0;     // "CALibration:STORe" received
};

}  // namespace

bool IsCalibrationStep(std::string_view option) {
    int channel = 0;
    Step step;
    return ParseStep(option, channel, step);
}

bool ReadCalibrationScript(const std::string& path, std::vector<std::string>& steps) {
    std::ifstream file(path);
    if (!file) {
        std::cerr << "zorbel-gensim: cannot read calibration script " << path << '\n';
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        const auto words = Words(line);
        if (words.empty() || words[0][0] == '#') continue;
        if (!IsCalibrationStep(line)) {
            std::cerr << "zorbel-gensim: " << path << ":" << number << ": not a calibration step: " << line << '\n';
            return false;
        }
        steps.push_back(line);
    }
    return true;
}

std::unique_ptr<CommandFamily> MakeCalibrationFamily(const SimOptions& options) {
    return std::make_unique<CalibrationFamily>(options);
}

}  // namespace gensim
