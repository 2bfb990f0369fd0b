// The simulated oscilloscope's own description of its system parameter block
// and front-panel keys, from which it serves "/protocol.inf" and
// "/keyprotocol.inf" and lays out its parameter block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace scopesim {

struct FieldDef {
    const char* name;
    std::uint16_t size;    // bytes
    std::int64_t initial;  // little-endian initial value
};

// Fields of the parameter block, in block order.
std::span<const FieldDef> BlockFields();
// Front-panel keys and knobs of "/keyprotocol.inf" (one byte each).
std::span<const FieldDef> KeyFields();

// The table text the instrument sends for a field list:
// "[TOTAL]\r\n<sum>\r\n[START]\r\n[NAME] <size>\r\n...[END]\r\n".
std::string TableText(std::span<const FieldDef> fields);

// Byte position and size of a field inside the block.
struct FieldSlot {
    std::size_t offset = 0;
    std::size_t size = 0;
};

// The parameter block with access by field name.
class ParameterBlock {
public:
    ParameterBlock();  // every field at its initial value

    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    // Replaces the block when `bytes` has its size; false otherwise.
    bool Replace(std::span<const std::uint8_t> bytes);

    std::optional<FieldSlot> Slot(std::string_view name) const;
    // Unsigned little-endian value of a field, 0 for an unknown name.
    std::uint64_t Get(std::string_view name) const;
    // Signed value of a field (sign of its top byte).
    std::int64_t GetSigned(std::string_view name) const;
    void Set(std::string_view name, std::int64_t value);

private:
    std::vector<std::uint8_t> bytes_;
};

// Vertical scale steps (volts per division) and time base steps (seconds per
// division) that VERT-CHn-VB and HORIZ-TB index.
std::span<const double> VoltsPerDivision();
std::span<const double> SecondsPerDivision();
// Display factor of the VERT-CHn-PROBE setting (0: 1x, 1: 10x, 2: 100x, 3: 1000x).
double ProbeFactor(std::uint64_t setting);

}  // namespace scopesim
