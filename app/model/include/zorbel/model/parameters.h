// The ten numeric channel parameters as one table, and the block of their
// limits. The table order is the order of the limit pairs, of the read and
// write batches and of the command codes (0x1001+n, 0x2003+n, 0xA003+n).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace zorbel {

enum class Parameter : std::uint8_t {
    Amplitude,      // volts peak to peak
    Frequency,      // hertz
    Offset,         // volts
    Phase,          // degrees
    SquareDuty,     // fraction (0.5 = 50 %)
    RampSymmetry,   // fraction
    PulseDuty,      // fraction
    PulseWidth,     // seconds
    PulseLeading,   // seconds
    PulseTrailing,  // seconds
};

inline constexpr std::size_t kParameterCount = 10;

inline constexpr std::size_t Index(Parameter p) { return static_cast<std::size_t>(p); }
inline constexpr Parameter ParameterAt(std::size_t n) { return static_cast<Parameter>(n); }

struct ParameterInfo {
    Parameter parameter;    // its own row: ties the table's order to the enumeration
    const char* name;       // English name, for diagnostics
    const char* unit;       // "V", "Hz", "deg", "s" or "" for fractions
    double builtInMaximum;  // limits that hold until the instrument's are read
    double builtInMinimum;
    double defaultValue;  // value of a new channel record
};

// Indexed by Index(Parameter).
extern const std::array<ParameterInfo, kParameterCount> kParameters;

// True when every row of an order-based table of the parameters (each row
// names its Parameter in a member `parameter`) stands at its enumeration
// index. Used in static_asserts, so that reordering a table or the
// enumeration fails the build.
template <class Table>
constexpr bool RowsFollow(const Table& table) {
    for (std::size_t i = 0; i < table.size(); ++i)
        if (Index(table[i].parameter) != i) return false;
    return table.size() == kParameterCount;
}

// Command codes derived from the table position.
inline constexpr std::uint16_t kReadLimitsCodeBase = 0x1001;
inline constexpr std::uint16_t kReadParameterCodeBase = 0x2003;
inline constexpr std::uint16_t kWriteParameterCodeBase = 0xA003;

inline constexpr std::uint16_t ReadLimitsCode(Parameter p) {
    return static_cast<std::uint16_t>(kReadLimitsCodeBase + Index(p));
}
inline constexpr std::uint16_t ReadParameterCode(Parameter p) {
    return static_cast<std::uint16_t>(kReadParameterCodeBase + Index(p));
}
inline constexpr std::uint16_t WriteParameterCode(Parameter p) {
    return static_cast<std::uint16_t>(kWriteParameterCodeBase + Index(p));
}

// The parameter a code of one of the three families names, if any.
std::optional<Parameter> ParameterOfCode(std::uint16_t code, std::uint16_t base);

// The instrument's accepted range of each parameter: 20 doubles, a
// (maximum, minimum) pair per parameter in table order, maximum first.
struct LimitsBlock {
    std::array<double, 2 * kParameterCount> values{};

    double Maximum(Parameter p) const { return values[2 * Index(p)]; }
    double Minimum(Parameter p) const { return values[2 * Index(p) + 1]; }
    void Set(Parameter p, double maximum, double minimum) {
        values[2 * Index(p)] = maximum;
        values[2 * Index(p) + 1] = minimum;
    }

    // The program's own limits, used before the instrument's are known.
    static LimitsBlock BuiltIn();

    friend bool operator==(const LimitsBlock&, const LimitsBlock&) = default;
};

}  // namespace zorbel
