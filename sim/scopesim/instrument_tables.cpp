// Field and key tables of the simulated oscilloscope (see instrument_tables.h).
#include "instrument_tables.h"

#include <array>

#include "zorbel/numbers.h"

namespace scopesim {

namespace {

// Indexes into the step tables below for the power-on state.
constexpr std::int64_t kVolts1 = 8;      // 1 V/div
constexpr std::int64_t kTime200us = 15;  // 200 us/div

constexpr FieldDef kBlockFields[] = {
    {"VERT-CH1-DISP", 1, 1},
    {"VERT-CH1-VB", 1, kVolts1},
    {"VERT-CH1-COUP", 1, 0},
    {"VERT-CH1-20MHZ", 1, 0},
    {"VERT-CH1-FINE", 1, 0},
    {"VERT-CH1-PROBE", 1, 1},
    {"VERT-CH1-RPHASE", 1, 0},
    {"VERT-CH1-CNT-FINE", 1, 0},
    {"VERT-CH1-POS", 2, 0},
    {"VERT-CH2-DISP", 1, 1},
    {"VERT-CH2-VB", 1, kVolts1},
    {"VERT-CH2-COUP", 1, 0},
    {"VERT-CH2-20MHZ", 1, 0},
    {"VERT-CH2-FINE", 1, 0},
    {"VERT-CH2-PROBE", 1, 1},
    {"VERT-CH2-RPHASE", 1, 0},
    {"VERT-CH2-CNT-FINE", 1, 0},
    {"VERT-CH2-POS", 2, 0},
    {"MATH-DISP", 1, 0},
    {"MATH-MODE", 1, 0},
    {"MATH-FFT-SRC", 1, 0},
    {"MATH-FFT-WIN", 1, 1},
    {"MATH-FFT-FACTOR", 1, 0},
    {"MATH-FFT-DB", 1, 0},
    {"TRIG-STATE", 1, 0},
    {"TRIG-TYPE", 1, 0},
    {"TRIG-SRC", 1, 0},
    {"TRIG-MODE", 1, 0},
    {"TRIG-COUP", 1, 0},
    {"TRIG-VPOS", 2, 0},
    {"TRIG-FREQUENCY", 8, 0},
    {"TRIG-HOLDTIME-MIN", 8, 100},
    {"TRIG-HOLDTIME-MAX", 8, 10000000000},
    {"TRIG-HOLDTIME", 8, 100},
    {"TRIG-EDGE-SLOPE", 1, 0},
    {"TRIG-VIDEO-NEG", 1, 0},
    {"TRIG-VIDEO-PAL", 1, 0},
    {"TRIG-VIDEO-SYN", 1, 0},
    {"TRIG-VIDEO-LINE", 2, 1},
    {"TRIG-PULSE-NEG", 1, 0},
    {"TRIG-PULSE-WHEN", 1, 0},
    {"TRIG-PULSE-TIME", 8, 1000},
    {"TRIG-SLOPE-SET", 1, 0},
    {"TRIG-SLOPE-WIN", 1, 0},
    {"TRIG-SLOPE-WHEN", 1, 0},
    {"TRIG-SLOPE-V1", 2, 25},
    {"TRIG-SLOPE-V2", 2, -25},
    {"TRIG-SLOPE-TIME", 8, 1000},
    {"HORIZ-TB", 1, kTime200us},
    {"HORIZ-WIN-TB", 1, kTime200us},
    {"HORIZ-WIN-STATE", 1, 0},
    {"HORIZ-TRIGTIME", 8, 0},
    {"ACQURIE-MODE", 1, 0},
    {"ACQURIE-AVG-CNT", 1, 0},
    {"ACQURIE-TYPE", 1, 0},
    {"ACQURIE-STORE-DEPTH", 1, 0},
    {"MEASURE-ITEM1", 1, 1},
    {"MEASURE-ITEM1-SRC", 1, 0},
    {"MEASURE-ITEM2", 1, 2},
    {"MEASURE-ITEM2-SRC", 1, 0},
    {"MEASURE-ITEM3", 1, 3},
    {"MEASURE-ITEM3-SRC", 1, 0},
    {"MEASURE-ITEM4", 1, 4},
    {"MEASURE-ITEM4-SRC", 1, 0},
    {"MEASURE-ITEM5", 1, 0},
    {"MEASURE-ITEM5-SRC", 1, 0},
    {"MEASURE-ITEM6", 1, 0},
    {"MEASURE-ITEM6-SRC", 1, 0},
    {"MEASURE-ITEM7", 1, 0},
    {"MEASURE-ITEM7-SRC", 1, 0},
    {"MEASURE-ITEM8", 1, 0},
    {"MEASURE-ITEM8-SRC", 1, 0},
    {"DISPLAY-MODE", 1, 0},
    {"DISPLAY-PERSIST", 1, 0},
    {"DISPLAY-FORMAT", 1, 0},
    {"DISPLAY-CONTRAST", 1, 8},
    {"DISPLAY-MAXCONTRAST", 1, 15},
    {"DISPLAY-GRID-KIND", 1, 0},
    {"DISPLAY-GRID-BRIGHT", 1, 8},
    {"DISPLAY-MAXGRID-BRIGHT", 1, 15},
    {"CONTROL-TYPE", 1, 0},
    {"CONTROL-MENUID", 1, 0},
    {"CONTROL-DISP-MENU", 1, 0},
    {"CONTROL-RUN", 1, 1},
    {"CONTROL-KEYLOCK", 1, 0},
};

constexpr FieldDef kKeyFields[] = {
    {"KEY-RUN-STOP", 1, 0}, {"KEY-SINGLE", 1, 0},    {"KEY-AUTOSET", 1, 0},    {"KEY-DEFAULT", 1, 0},
    {"KEY-MEASURE", 1, 0},  {"KEY-CURSOR", 1, 0},    {"KEY-ACQUIRE", 1, 0},    {"KEY-DISPLAY", 1, 0},
    {"KEY-SAVE", 1, 0},     {"KEY-UTILITY", 1, 0},   {"KEY-HELP", 1, 0},       {"KEY-CH1-MENU", 1, 0},
    {"KEY-CH2-MENU", 1, 0}, {"KEY-MATH-MENU", 1, 0}, {"KEY-HORIZ-MENU", 1, 0}, {"KEY-TRIG-MENU", 1, 0},
    {"KEY-F1", 1, 0},       {"KEY-F2", 1, 0},        {"KEY-F3", 1, 0},         {"KEY-F4", 1, 0},
    {"KEY-F5", 1, 0},       {"KNOB-CH1-VB", 1, 0},   {"KNOB-CH2-VB", 1, 0},    {"KNOB-CH1-POS", 1, 0},
    {"KNOB-CH2-POS", 1, 0}, {"KNOB-TB", 1, 0},       {"KNOB-HPOS", 1, 0},      {"KNOB-TRIG-LEVEL", 1, 0},
    {"KNOB-MULTI", 1, 0},
};

constexpr std::size_t BlockSize() {
    std::size_t total = 0;
    for (const FieldDef& field : kBlockFields) total += field.size;
    return total;
}
// The library's write frame carries at most 253 data bytes.
static_assert(BlockSize() <= 253, "parameter block too large for one write frame");

constexpr std::array<double, 12> kVoltsPerDivision = {2e-3,   5e-3,   10e-3, 20e-3, 50e-3, 100e-3,
                                                      200e-3, 500e-3, 1.0,   2.0,   5.0,   10.0};

// 1-2-5 steps from 2 ns to 50 s per division.
const std::vector<double>& TimeSteps() {
    static const std::vector<double> steps = [] {
        std::vector<double> out;
        double decade = 1e-9;
        for (int e = -9; e <= 1; ++e, decade *= 10)
            for (double m : {1.0, 2.0, 5.0})
                if (m * decade >= 1.99e-9 && m * decade <= 50.01) out.push_back(m * decade);
        return out;
    }();
    return steps;
}

}  // namespace

std::span<const FieldDef> BlockFields() { return kBlockFields; }
std::span<const FieldDef> KeyFields() { return kKeyFields; }

std::string TableText(std::span<const FieldDef> fields) {
    long long total = 0;
    for (const FieldDef& field : fields) total += field.size;
    std::string text = "[TOTAL]\r\n" + zorbel::formatInt(total) + "\r\n[START]\r\n";
    for (const FieldDef& field : fields)
        text += std::string("[") + field.name + "] " + zorbel::formatInt(field.size) + "\r\n";
    // The closing bracket lets the reader take the last size.
    return text + "[END]\r\n";
}

ParameterBlock::ParameterBlock() {
    for (const FieldDef& field : kBlockFields) {
        for (std::size_t i = 0; i < field.size; ++i)
            bytes_.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(field.initial) >> (8 * i)));
    }
}

bool ParameterBlock::Replace(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != bytes_.size()) return false;
    bytes_.assign(bytes.begin(), bytes.end());
    return true;
}

std::optional<FieldSlot> ParameterBlock::Slot(std::string_view name) const {
    std::size_t offset = 0;
    for (const FieldDef& field : kBlockFields) {
        if (name == field.name) return FieldSlot{offset, field.size};
        offset += field.size;
    }
    return std::nullopt;
}

std::uint64_t ParameterBlock::Get(std::string_view name) const {
    const auto slot = Slot(name);
    if (!slot) return 0;
    std::uint64_t value = 0;
    for (std::size_t i = slot->size; i-- > 0;) value = (value << 8) | bytes_[slot->offset + i];
    return value;
}

std::int64_t ParameterBlock::GetSigned(std::string_view name) const {
    const auto slot = Slot(name);
    if (!slot || slot->size == 0 || slot->size >= 8) return static_cast<std::int64_t>(Get(name));
    const std::uint64_t value = Get(name);
    const std::uint64_t sign = std::uint64_t{1} << (8 * slot->size - 1);
    return static_cast<std::int64_t>(value ^ sign) - static_cast<std::int64_t>(sign);
}

void ParameterBlock::Set(std::string_view name, std::int64_t value) {
    const auto slot = Slot(name);
    if (!slot) return;
    for (std::size_t i = 0; i < slot->size; ++i)
        bytes_[slot->offset + i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i));
}

std::span<const double> VoltsPerDivision() { return kVoltsPerDivision; }
std::span<const double> SecondsPerDivision() { return TimeSteps(); }

double ProbeFactor(std::uint64_t setting) {
    constexpr double kFactors[] = {1, 10, 100, 1000};
    return setting < 4 ? kFactors[setting] : 1;
}

}  // namespace scopesim
