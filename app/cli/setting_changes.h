// The KEY=VALUE arguments of "zorbel-cli set": keys of the setup file's
// "Channel_N" section, values checked as the control panel and the wave
// parameter pages check what a user types.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli_options.h"
#include "zorbel/model/device_settings.h"
#include "zorbel/model/setup_file.h"
#include "zorbel/model/sweep.h"

namespace zorbel::cli {

struct SettingChange {
    const SetupChannelKey* key;  // row of kSetupChannelKeys
    double value;                // output state, wave type code or the parameter in its unit
};

struct ParsedChanges {
    std::vector<SettingChange> changes;  // in command-line order
    std::string error;                   // empty when every argument was understood
};

// The key of the setup file's "Channel_N" section that `name` means, in any
// case and with or without its unit; nullptr for none.
const SetupChannelKey* FindKey(std::string_view name);

// Understands every argument or none; numbers go through the model's
// ParseNumberText rules. Limits are not checked here (they come from the
// instrument): see CheckLimits.
ParsedChanges ParseSettingChanges(const std::vector<std::string>& arguments, const DeviceSettings& settings);

// The first range message of the wave parameter pages that a change earns
// on `channel`, or an empty text.
std::string CheckLimits(const std::vector<SettingChange>& changes, std::uint16_t channel, const LimitsBlock& limits);

// Calls the setter of every change whose value differs from the channel's.
void ApplySettingChanges(const std::vector<SettingChange>& changes, std::uint16_t channel, DeviceSettings& settings);

// The plan of "sweep KEY START STOP" (options.arguments) and its options:
// KEY Frequency or Amplitude, numbers by the model's ParseNumberText rules
// as set reads them, --steps 2 to kMaximumSweepValues, 11 values when
// neither --steps nor --step is given. Nothing, with the reason in `error`,
// for an argument it cannot read; whether the plan can be swept is
// SweepSteps::Of's to say.
std::optional<SweepPlan> SweepPlanOf(const Options& options, const DeviceSettings& settings, std::string& error);

}  // namespace zorbel::cli
