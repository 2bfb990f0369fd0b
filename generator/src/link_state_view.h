// Read-only views of the process-wide link state, for tests and diagnostics.
#pragma once

#include <cstdint>
#include <string>

namespace qrv {

// The instrument address text of the LAN link (as qmkHDInitComType stored it).
std::string CurrentLanAddress();
// The connection type: 0 USB, anything else LAN.
std::uint16_t CurrentComType();
// Whether the LAN socket is open.
bool LanLinkOpen();

}  // namespace qrv
