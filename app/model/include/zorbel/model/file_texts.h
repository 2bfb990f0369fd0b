// The texts the model composes for the user: refusals of a file and the
// remarks on a file that loaded, the refusals of a formula and of a value
// out of its range. Each is one template with numbered places
// (%1, %2, ...) for the numbers, names and reasons that go into it, so that
// the program can show it in the user's language: the FileText's value is
// the language item that translates it, and RecogniseFileText finds the
// template and its parts again in a text the readers composed. The readers'
// results stay English text, as the command line prints them.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zorbel {

// clang-format off
enum class FileText : int {
    NotSetupFile = 20400,     // File is not *.set
    NotArbFile,               // File is not *.arb
    NotQwfFile,               // File is not *.qwf
    CannotLoad,               // Cann't Load file: %1 (the reason)
    CannotSave,               // Cann't save file: %1
    CountOutside,             // the file announces %1 samples; 0 to %2 are possible
    DividerOutside,           // the divider (%1) %2 is outside 0 to %3
    SampleNotFinite,          // line %1: the sample %2 is not a finite number
    HeaderGainCode,           // the gain code (#zoom) %1 is not 1, 4 or 20
    FrequencyNotFinite,       // the frequency (#Freq) %1 is not a finite number
    NoSuchChannel,            // no such channel
    NoMemory,                 // not enough memory for the waveform
    NotWritten,               // the file could not be written
    GainCode,                 // the gain code %1 is not 1, 4 or 20
    FewerSamplesHeld,         // the file announces %1 samples but holds %2; the other %3 are 0
    OneNotNumber,             // %1 sample is not a number, loaded as 0
    NotNumbers,               // %1 samples are not numbers, loaded as 0
    OneBeyondInstrument,      // %1 sample beyond %2 V either way (...), clamped by the download
    BeyondInstrument,         // %1 samples beyond %2 V either way (...), clamped by the download
    CountRounded,             // the point count %1 was rounded down to %2, a multiple of 16
    OneValue,                 // the file holds %1 value; a waveform needs at least 16
    TooFewValues,             // the file holds %1 values; a waveform needs at least 16
    FirstSamplesTaken,        // the file holds %1 samples; the first %2 are taken (...)
    OneBeyondFullScale,       // %1 sample beyond full scale clamped to %2 V either way
    BeyondFullScale,          // %1 samples beyond full scale clamped to %2 V either way
    OneBeyondPointLimit,      // %1 sample beyond the point limit clamped to %2 V either way
    BeyondPointLimit,         // %1 samples beyond the point limit clamped to %2 V either way
    NotSoundFile,             // not a sound file this program reads (%1: libsndfile's reason)
    SoundWithoutSamples,      // the sound file has no samples
    SoundHeaderTruncated,     // the sound file ends before its samples do (truncated)
    SoundSampleNotFinite,     // sample %1 of the sound file is not a finite number
    SoundEndsEarly,           // the sound file ends after %1 of its %2 samples (...: %3)
    TableNotNumber,           // line %1: "%2" is not a number
    TableWithoutNumbers,      // the file holds no numbers
    NotImportable,            // not a sound file or a table of values
    SetupNotFinite,           // %1=%2 in [%3] is not a finite number
    SetupCannotStore,         // cannot store %1=%2
    NotRegularFile,           // Not a regular file
    LineTooLong,              // Line longer than %1 bytes

    // The formula's refusals (%1 the name or sign at fault).
    FormulaNoPoints,          // the channel has no points
    FormulaResults,           // the formula gives %1 results; write one expression, ...
    FormulaNotFinite,         // the formula gives no finite number at n = %1 (x = %2)
    FormulaUnexpectedOperator,  // Unexpected operator "%1"
    FormulaUnexpectedToken,   // Unexpected token "%1"
    FormulaUnexpectedEnd,     // Unexpected end of the formula
    FormulaUnexpectedComma,   // Unexpected "," (...)
    FormulaUnexpected,        // Unexpected "%1"
    FormulaMissingParenthesis,  // Missing parenthesis
    FormulaTooManyValues,     // Too many values for the function "%1"
    FormulaTooFewValues,      // Too few values for the function "%1"
    FormulaEmpty,             // The formula is empty
    FormulaMissingElse,       // "?" without its ":"
    FormulaTooLong,           // The formula is too long
    FormulaBadCharacters,     // The formula holds characters that are not allowed
    FormulaOther,             // The formula cannot be evaluated (parser error %1)

    // A typed value out of its range: %1 the channel's number, %2 the value,
    // %3 and %4 the range, as the instrument software words them.
    AmplitudeOutside,         // Set CH%1 Amplitude(V) Error: (%2) is out of range(%3,%4)
    FrequencyOutside,
    OffsetOutside,
    PhaseOutside,
    SquareDutyOutside,
    RampSymmetryOutside,
    PulseDutyOutside,         // the pulse rows without "Error", as the pages show them
    PulseWidthOutside,
    PulseLeadingOutside,
    PulseTrailingOutside,
    ArbFrequencyOutside,      // Set CH%1  Arb Frequency(Hz) Error: ... (two blanks)
    SampleDivOutside,         // Set CH%1 Sample Div Error: (%2) is out of range(0,%3)
};
// clang-format on

struct FileTextRow {
    FileText id;
    const char* english;  // the template
};
// Every FileText with its English template, in the enumeration's order.
std::span<const FileTextRow> FileTextTable();
const char* EnglishTemplate(FileText id);

// `pattern` with %1 ... %9 replaced by `parts` in one pass (a part holding
// "%2" stays as it is); a place without a part stays.
std::string FillTemplate(std::string_view pattern, std::span<const std::string> parts);
// The English text of `id` with its parts.
std::string FileTextOf(FileText id, std::initializer_list<std::string> parts = {});

struct RecognisedText {
    FileText id;
    std::vector<std::string> parts;
};
// The template and parts that `text` was composed of; nothing for a text no
// template composes (a system's reason, say).
std::optional<RecognisedText> RecogniseFileText(std::string_view text);

}  // namespace zorbel
