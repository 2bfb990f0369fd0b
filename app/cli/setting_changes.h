// The KEY=VALUE arguments of "zorbel-cli set": keys of the setup file's
// "Channel_N" section, values checked as the control panel and the wave
// parameter pages check what a user types.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zorbel/model/device_settings.h"
#include "zorbel/model/setup_file.h"

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

}  // namespace zorbel::cli
