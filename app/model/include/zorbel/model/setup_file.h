// The setup file (".set"): limits and settings of both channels and the
// current channel, as a profile (INI) file with the Windows profile rules of
// zorbel/profile_file.h. Sections in write order:
//
//   [Standard_1], [Standard_2]  twenty limits of channel 0 / 1, "%G"
//   [Channel_1], [Channel_2]    OnOff, Type ("%d"), ten settings ("%G")
//   [Current]                   Channel = 0 or 1 ("%d")
//
// Keys missing from a file read as the setup file's own defaults, which
// differ in several rows from the program's built-in limits.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zorbel/model/device_settings.h"
#include "zorbel/model/result.h"
#include "zorbel/profile_file.h"

namespace zorbel {

// One key of a "Channel_%d" section.
struct SetupChannelKey {
    enum class Kind : std::uint8_t { OnOff, WaveType, Number };
    std::string_view key;       // as written, e.g. "Frequency(Hz)"
    std::string_view fallback;  // text read when the key is missing
    Kind kind;
    Parameter parameter;  // Number keys only
};

// The twelve keys in file order, which is also the order their writes are queued in.
extern const std::array<SetupChannelKey, 12> kSetupChannelKeys;

// One "key=value" line of the file, in write order.
struct SetupEntry {
    std::string section;
    std::string key;
    std::string value;
};

// What WriteSetupFile writes for the model (also the tool's printed form).
std::vector<SetupEntry> SetupFileEntries(const DeviceSettings& settings);

// Loads a profile into the model: limits of both channels, then each channel's
// settings through the setters (which queue their writes), then the current
// channel. A "Type" outside 1 to 7 leaves that channel's wave type, a
// "Channel" other than 0 and 1 leaves the current channel as they were.
// A limit or setting that is not a finite number ("1E+999", "INF", "NAN")
// refuses the whole profile: nothing changed, the key in the reason.
Result ApplySetupProfile(DeviceSettings& settings, const ProfileFile& profile);

// Loads the setup file at `path`. A missing file loads as all defaults.
// Refused (nothing changed) when the file exists but cannot be read or holds
// a value that is not a finite number.
Result ReadSetupFile(DeviceSettings& settings, const std::string& path);

// Writes the model into the setup file at `path`: existing keys are replaced
// in place, everything else in the file is kept. The file is replaced
// completely or not at all; failed when it could not be read or written.
Result WriteSetupFile(const DeviceSettings& settings, const std::string& path);

// The first value of either channel's settings (all of which a Write
// Operation sends) outside that channel's limits: "[Channel_2] Offset(V): "
// and the range message of the wave parameter pages; an empty text when all
// are inside.
std::string CheckSetupLimits(const DeviceSettings& settings);

// A remark on the profile at `path` when it has none of the setup file's
// sections: it loads as all defaults, which is rarely what its user meant
// (most likely it is another kind of file). Nothing for a setup file, or a
// file that cannot be read.
std::optional<std::string> SetupSectionsWarning(const DeviceSettings& settings, const std::string& path);

}  // namespace zorbel
