// The file operations' text templates, their filling and their recognition.
#include "zorbel/model/file_texts.h"

#include <array>

namespace zorbel {
namespace {

using enum FileText;

// clang-format off
constexpr std::array<FileTextRow, 67> kRows = {{
    {NotSetupFile, "File is not *.set"},
    {NotArbFile, "File is not *.arb"},
    {NotQwfFile, "File is not *.qwf"},
    {CannotLoad, "Cann't Load file: %1"},
    {CannotSave, "Cann't save file: %1"},
    {CountOutside, "the file announces %1 samples; 0 to %2 are possible"},
    {DividerOutside, "the divider (%1) %2 is outside 0 to %3"},
    {SampleNotFinite, "line %1: the sample %2 is not a finite number"},
    {HeaderGainCode, "the gain code (#zoom) %1 is not 1, 4 or 20"},
    {FrequencyNotFinite, "the frequency (#Freq) %1 is not a finite number"},
    {NoSuchChannel, "no such channel"},
    {NoMemory, "not enough memory for the waveform"},
    {NotWritten, "the file could not be written"},
    {GainCode, "the gain code %1 is not 1, 4 or 20"},
    {FewerSamplesHeld, "the file announces %1 samples but holds %2; the other %3 are 0"},
    {OneNotNumber, "%1 sample is not a number, loaded as 0"},
    {NotNumbers, "%1 samples are not numbers, loaded as 0"},
    {OneBeyondInstrument, "%1 sample beyond %2 V either way (the most the instrument plays), clamped by the download"},
    {BeyondInstrument, "%1 samples beyond %2 V either way (the most the instrument plays), clamped by the download"},
    {CountRounded, "the point count %1 was rounded down to %2, a multiple of 16"},
    {OneValue, "the file holds %1 value; a waveform needs at least 16"},
    {TooFewValues, "the file holds %1 values; a waveform needs at least 16"},
    {FirstSamplesTaken, "the file holds %1 samples; the first %2 are taken (the instrument's waveform memory)"},
    {OneBeyondFullScale, "%1 sample beyond full scale clamped to %2 V either way"},
    {BeyondFullScale, "%1 samples beyond full scale clamped to %2 V either way"},
    {OneBeyondPointLimit, "%1 sample beyond the point limit clamped to %2 V either way"},
    {BeyondPointLimit, "%1 samples beyond the point limit clamped to %2 V either way"},
    {NotSoundFile, "not a sound file this program reads (%1)"},
    {SoundWithoutSamples, "the sound file has no samples"},
    {SoundHeaderTruncated, "the sound file ends before its samples do (truncated)"},
    {SoundSampleNotFinite, "sample %1 of the sound file is not a finite number"},
    {SoundEndsEarly, "the sound file ends after %1 of its %2 samples (truncated or damaged: %3)"},
    {TableNotNumber, "line %1: \"%2\" is not a number"},
    {TableWithoutNumbers, "the file holds no numbers"},
    {NotImportable, "not a sound file or a table of values"},
    {SetupNotFinite, "%1=%2 in [%3] is not a finite number"},
    {SetupCannotStore, "cannot store %1=%2"},
    {NotRegularFile, "Not a regular file"},
    {LineTooLong, "Line longer than %1 bytes"},

    {FormulaNoPoints, "the channel has no points"},
    {FormulaResults, "the formula gives %1 results; write one expression, with '.' as the decimal point"},
    {FormulaNotFinite, "the formula gives no finite number at n = %1 (x = %2)"},
    {FormulaUnexpectedOperator, "Unexpected operator \"%1\""},
    {FormulaUnexpectedToken, "Unexpected token \"%1\""},
    {FormulaUnexpectedEnd, "Unexpected end of the formula"},
    {FormulaUnexpectedComma, "Unexpected \",\" (write one expression, with '.' as the decimal point)"},
    {FormulaUnexpected, "Unexpected \"%1\""},
    {FormulaMissingParenthesis, "Missing parenthesis"},
    {FormulaTooManyValues, "Too many values for the function \"%1\""},
    {FormulaTooFewValues, "Too few values for the function \"%1\""},
    {FormulaEmpty, "The formula is empty"},
    {FormulaMissingElse, "\"?\" without its \":\""},
    {FormulaTooLong, "The formula is too long"},
    {FormulaBadCharacters, "The formula holds characters that are not allowed"},
    {FormulaOther, "The formula cannot be evaluated (parser error %1)"},

    {AmplitudeOutside, "Set CH%1 Amplitude(V) Error: (%2) is out of range(%3,%4)"},
    {FrequencyOutside, "Set CH%1 Frequency(Hz) Error: (%2) is out of range(%3,%4)"},
    {OffsetOutside, "Set CH%1 Offset(V) Error: (%2) is out of range(%3,%4)"},
    {PhaseOutside, "Set CH%1 Phase Error: (%2) is out of range(%3,%4)"},
    {SquareDutyOutside, "Set CH%1 Square Duty Error: (%2) is out of range(%3,%4)"},
    {RampSymmetryOutside, "Set CH%1 Ramp Symmetry Error: (%2) is out of range(%3,%4)"},
    {PulseDutyOutside, "Set CH%1 Pulse Duty: (%2) is out of range(%3,%4)"},
    {PulseWidthOutside, "Set CH%1 Pulse Width: (%2) is out of range(%3,%4)"},
    {PulseLeadingOutside, "Set CH%1 Pulse Leading: (%2) is out of range(%3,%4)"},
    {PulseTrailingOutside, "Set CH%1 Pulse Trailing: (%2) is out of range(%3,%4)"},
    {ArbFrequencyOutside, "Set CH%1  Arb Frequency(Hz) Error: (%2) is out of range(%3,%4)"},
    {SampleDivOutside, "Set CH%1 Sample Div Error: (%2) is out of range(0,%3)"},
}};
// clang-format on

constexpr bool InEnumerationOrder() {
    for (std::size_t i = 0; i < kRows.size(); ++i)
        if (static_cast<int>(kRows[i].id) != static_cast<int>(NotSetupFile) + static_cast<int>(i)) return false;
    return true;
}
static_assert(InEnumerationOrder(), "one row per FileText, in its order");

bool IsPlace(std::string_view pattern, std::size_t at) {
    return at + 1 < pattern.size() && pattern[at] == '%' && pattern[at + 1] >= '1' && pattern[at + 1] <= '9';
}

// Matches `text` against `pattern` from `p` and `t` on: each place takes the
// shortest text after which the rest matches (the last place takes the rest).
bool Match(std::string_view pattern, std::size_t p, std::string_view text, std::size_t t,
           std::vector<std::string>& parts) {
    while (p < pattern.size() && !IsPlace(pattern, p)) {
        if (t >= text.size() || text[t] != pattern[p]) return false;
        ++p;
        ++t;
    }
    if (p == pattern.size()) return t == text.size();
    const std::size_t place = static_cast<std::size_t>(pattern[p + 1] - '1');
    if (parts.size() <= place) parts.resize(place + 1);
    for (std::size_t end = t; end <= text.size(); ++end) {
        parts[place] = std::string(text.substr(t, end - t));
        if (Match(pattern, p + 2, text, end, parts)) return true;
    }
    return false;
}

}  // namespace

std::span<const FileTextRow> FileTextTable() { return kRows; }

const char* EnglishTemplate(FileText id) {
    const auto index = static_cast<std::size_t>(static_cast<int>(id) - static_cast<int>(NotSetupFile));
    return index < kRows.size() ? kRows[index].english : "";
}

std::string FillTemplate(std::string_view pattern, std::span<const std::string> parts) {
    std::string text;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const std::size_t place = IsPlace(pattern, i) ? static_cast<std::size_t>(pattern[i + 1] - '1') : parts.size();
        if (place < parts.size()) {
            text += parts[place];
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

std::string FileTextOf(FileText id, std::initializer_list<std::string> parts) {
    return FillTemplate(EnglishTemplate(id), std::span<const std::string>(parts.begin(), parts.size()));
}

std::optional<RecognisedText> RecogniseFileText(std::string_view text) {
    for (const FileTextRow& row : kRows) {
        std::vector<std::string> parts;
        if (Match(row.english, 0, text, 0, parts)) return RecognisedText{row.id, std::move(parts)};
    }
    return std::nullopt;
}

}  // namespace zorbel
