// Parameter ranges: "SOURce<n>:<header>? MAXimum" and "... MINimum" for the
// ten numeric settings. The simulated instrument has its own ranges per
// channel, deliberately unlike the program's built-in limits so that a read
// shows; "--range CH:HEADER=MAX,MIN" replaces one of them.
#include "command_text.h"
#include "content_options.h"
#include "family.h"
#include "zorbel/numbers.h"

#include <array>

namespace gensim {

namespace {

struct Range {
    double maximum;
    double minimum;
};

// Query header and the two channels' ranges, in instrument units (volts,
// hertz, degrees, percent, seconds).
struct RangeRow {
    std::string_view header;
    std::array<Range, 2> range;
};

constexpr std::array<RangeRow, 10> kDefaultRanges = {{
    {"VOLTage", {{{10, 0.004}, {5, 0.004}}}},
    {"FREQuency", {{{2.5e7, 0.001}, {1e7, 0.001}}}},
    {"VOLTage:OFFSet", {{{5, -5}, {2.5, -2.5}}}},
    {"PHASe", {{{359.9, 0}, {359.9, 0}}}},
    {"FUNCtion:SQUare:DCYCle", {{{80, 20}, {90, 10}}}},
    {"FUNCtion:RAMP:SYMMetry", {{{100, 0}, {100, 0}}}},
    {"FUNCtion:PULSe:DCYCle", {{{90, 10}, {95, 5}}}},
    {"FUNCtion:PULSe:WIDTh", {{{0.5, 2e-8}, {0.25, 2e-8}}}},
    {"FUNCtion:PULSe:TRANsition:LEADing", {{{1e-5, 2e-8}, {1e-5, 1.8e-8}}}},
    {"FUNCtion:PULSe:TRANsition:TRAiling", {{{1e-5, 2e-8}, {1e-5, 1.8e-8}}}},
}};

struct ParsedRange {
    int channel = 0;
    std::string_view header;
    Range range{};
};

// "CH:HEADER=MAX,MIN".
bool ParseRangeOption(std::string_view option, ParsedRange& out) {
    const auto colon = option.find(':');
    const auto equals = option.find('=');
    if (colon != 1 || equals == std::string_view::npos || equals < colon) return false;
    if (option[0] != '1' && option[0] != '2') return false;
    const std::string_view values = option.substr(equals + 1);
    const auto comma = values.find(',');
    if (comma == std::string_view::npos) return false;
    out.channel = option[0] - '0';
    out.header = option.substr(colon + 1, equals - colon - 1);
    if (!zorbel::ParseDouble(values.substr(0, comma), out.range.maximum) ||
        !zorbel::ParseDouble(values.substr(comma + 1), out.range.minimum))
        return false;
    for (const auto& row : kDefaultRanges)
        if (row.header == out.header) return true;
    return false;
}

class RangesFamily final : public CommandFamily {
public:
    explicit RangesFamily(const SimOptions& options) : ranges_(kDefaultRanges) {
        for (const auto& text : options.rangeOverrides) {
            ParsedRange option;
            if (!ParseRangeOption(text, option)) continue;  // checked when the options were read
            for (auto& row : ranges_)
                if (row.header == option.header) row.range[option.channel - 1] = option.range;
        }
    }

    std::optional<Answers> Handle(std::string_view command, GeneratorState&) override {
        int channel = 0;
        std::string_view rest;
        if (!SplitChannelCommand(command, "SOURce", channel, rest) || rest.empty() || rest[0] != ':')
            return std::nullopt;
        std::string_view header;
        std::string_view bound;
        SplitHeader(rest.substr(1), header, bound);
        if (header.empty() || header.back() != '?') return std::nullopt;
        header.remove_suffix(1);
        for (const auto& row : ranges_) {
            if (row.header != header) continue;
            const Range& r = row.range[channel - 1];
            if (bound == "MAXimum") return Answers{zorbel::FormatWindowsG(r.maximum)};
            if (bound == "MINimum") return Answers{zorbel::FormatWindowsG(r.minimum)};
        }
        return std::nullopt;
    }

private:
    std::array<RangeRow, 10> ranges_;
};

}  // namespace

bool IsRangeOption(std::string_view option) {
    ParsedRange parsed;
    return ParseRangeOption(option, parsed);
}

std::unique_ptr<CommandFamily> MakeRangesFamily(const SimOptions& options) {
    return std::make_unique<RangesFamily>(options);
}

}  // namespace gensim
