// The command line of zorbel-cli with its sweep arguments (the input is the
// arguments, separated by NUL bytes): any arguments are refused with a
// reason or give a command; a sweep's plan is read as the tool reads it and
// either refused with a reason or gives the values the sweep writes: at
// least two one way, at most the maximum, finite, from start to stop
// (as sent, six significant digits) without leaving that range, the whole
// run as often as asked. Nothing is sent: the plan stops before the
// instrument.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli_options.h"
#include "fuzz_check.h"
#include "offline_generator.h"
#include "setting_changes.h"
#include "zorbel/model/device_settings.h"
#include "zorbel/model/sweep.h"
#include "zorbel/numbers.h"

namespace {

zorbel::fuzz::OfflineGenerator* gGenerator = nullptr;
zorbel::DeviceSettings* gSettings = nullptr;

std::vector<std::string> Arguments(std::string_view bytes) {
    std::vector<std::string> args;
    for (std::size_t start = 0; start <= bytes.size() && args.size() < 32;) {
        const std::size_t end = std::min(bytes.find('\0', start), bytes.size());
        args.emplace_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    return args;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gGenerator = new zorbel::fuzz::OfflineGenerator;
    gSettings = new zorbel::DeviceSettings(*gGenerator);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) return 0;
    const std::vector<std::string> args = Arguments(std::string_view(reinterpret_cast<const char*>(data), size));
    const zorbel::cli::ParsedCommandLine parsed = zorbel::cli::ParseCommandLine(args);
    if (!parsed.options) {
        FUZZ_CHECK(!parsed.error.empty());
        return 0;
    }
    const zorbel::cli::Options& options = *parsed.options;
    if (options.help || options.command != zorbel::cli::Command::Sweep) {
        FUZZ_CHECK(options.help || !options.sweepOptionGiven);
        return 0;
    }
    FUZZ_CHECK(options.arguments.size() == 3);
    std::string error;
    const std::optional<zorbel::SweepPlan> plan = zorbel::cli::SweepPlanOf(options, *gSettings, error);
    if (!plan) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    zorbel::SweepProblem problem = zorbel::SweepProblem::None;
    const std::optional<zorbel::SweepSteps> steps = zorbel::SweepSteps::Of(*plan, &problem);
    if (!steps) {
        FUZZ_CHECK(problem != zorbel::SweepProblem::None && *zorbel::SweepProblemText(problem) != '\0');
        return 0;
    }
    const std::vector<double>& way = steps->OneWay();
    FUZZ_CHECK(way.size() >= 2 && way.size() <= zorbel::kMaximumSweepValues);
    FUZZ_CHECK(way.front() == zorbel::RoundToWindowsG(plan->start));
    FUZZ_CHECK(way.back() == zorbel::RoundToWindowsG(plan->stop));
    const double low = std::min(way.front(), way.back());
    const double high = std::max(way.front(), way.back());
    for (double v : way) {
        FUZZ_CHECK(std::isfinite(v) && v >= low && v <= high);
        if (plan->scale == zorbel::SweepScale::Logarithmic) FUZZ_CHECK(v > 0);
        FUZZ_CHECK(!zorbel::SweepValueText(plan->parameter, v).empty());
    }
    const std::uint64_t passes = plan->repeat;
    const std::uint64_t perPass = plan->upDown ? 2 * (way.size() - 1) : way.size();
    FUZZ_CHECK(steps->Count() == passes * perPass + (plan->upDown ? 1 : 0));
    FUZZ_CHECK(steps->At(0) == way.front());
    FUZZ_CHECK(steps->At(steps->Count() - 1) == (plan->upDown ? way.front() : way.back()));
    // Both ends inside the channel's limits or a range message, never a crash.
    static_cast<void>(zorbel::SweepLimitsMessage(*plan, options.channel.value_or(0), zorbel::LimitsBlock::BuiltIn()));
    return 0;
}
