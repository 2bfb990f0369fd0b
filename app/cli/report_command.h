// zorbel-cli report: the printed report page of one channel as a PDF file,
// drawn without a window and without an instrument.
#pragma once

#include <cstdint>
#include <string>

#include "zorbel/model/device_settings.h"

namespace zorbel::cli {

// Draws the page of `channel` with the built-in English texts into the PDF
// file `path` (as a whole or not at all). False with the reason in *error.
bool WriteReport(const DeviceSettings& settings, std::uint16_t channel, const std::string& path, std::string* error);

}  // namespace zorbel::cli
