// The program's own texts and the current language's lookup of them.
#include "zorbel/dialogs/program_texts.h"

#include <algorithm>
#include <array>
#include <vector>

namespace zorbel {
namespace {

using enum Text;

// clang-format off
constexpr std::array<ProgramTextRow, 109> kRows = {{
    {EditMenu, "&Edit"},
    {Undo, "&Undo#Ctrl+Z"},
    {Redo, "&Redo#Ctrl+Shift+Z"},
    {Cut, "Cu&t#Ctrl+X"},
    {Copy, "&Copy#Ctrl+C"},
    {Paste, "&Paste#Ctrl+V"},

    {FormulaTitle, "Formula"},
    {FormulaLabel, "&Formula:"},
    {FormulaHint, "x runs from 0 to 1 over one period, n from 0 to N-1; N = %1 points. "
                  "Values are volts, clamped to \u00b1%2 V."},
    {FormulaClamped, "Values beyond \u00b1%1 V are clamped."},
    {FormulaErrorAt, "%1 at position %2"},
    {FormulaPreview, "Preview"},

    {Ok, "OK"},
    {Cancel, "Cancel"},
    {Yes, "&Yes"},
    {No, "&No"},
    {ClockListTitle, "Based On Frequency"},
    {ClockSerial, "Serial"},
    {ClockDivider, "Sample"},
    {ClockPoints, "Counter"},
    {ClockFrequency, "Frequency"},
    {ClockError, "Precent"},

    {LinkField, "Instrument link"},
    {StateField, "Session state"},
    {OutcomeField, "Last job"},
    {LinkUsb, "USB"},
    {LinkLan, "LAN %1"},
    {StateLost, "Offline: instrument lost"},
    {StateDemo, "Demo: nothing is sent"},
    {StateCalibrating, "Calibrating"},
    {StateJobRunning, "Job running"},
    {StateOnline, "Online"},
    {StateOffline, "Offline: nothing is sent until Read or Write Operation"},
    {NoJobYet, "No job yet"},
    {LastJobNoDevice, "Last job: No Device Found!"},
    {LastJobCalibrationStopped, "Last job failed: the calibration stopped before its end"},
    {LastJobSucceeded, "Last job succeeded"},
    {LastJobFailed, "Last job failed"},
    {LastJobNoLink, "Last job failed: no link to the instrument"},
    {LastJobNoAnswer, "Last job failed: no answer from the instrument"},
    {LastJobRefused, "Last job failed: the instrument refused a value"},
    {LastJobStatus, "Last job failed (status %1)"},
    {InstrumentBusy, "The instrument is busy with another program: the job was not run. "
                     "Try again when that program is done."},
    {PointReadout, "Point %1  %2 V"},

    {NoDeviceFound, "No Device Found!"},
    {NoHelpViewer, "No program is set up to open %1."},
    {CannotPrint, "Cann't print on %1"},
    {ArbFiles, "Arb Data File(*.arb)"},
    {SetupFiles, "Setup File(*.set)"},
    {QwfFiles, "Qwf Data File(*.qwf)"},
    {SoundFiles, "Sound File(*.wav *.flac *.aif *.aiff)"},
    {TableFiles, "Table of Values(*.csv *.txt)"},
    {BmpFiles, "BMP File(*.bmp)"},
    {JpegFiles, "JPEG File(*.jpg)"},
    {Harmonic, "Harmonic"},
    {ReportTime, "Time"},
    {Cancelling, "Cancelling..."},
    {JobFormula, "Formula"},
    {JobImport, "Import Data"},
    {JobResize, "Resize"},
    {JobLoad, "Load Data"},
    {JobPrint, "Print"},
    {JobResample, "Resample"},
    {AllSupportedFiles, "All supported files"},

    {SweepMenu, "S&weep..."},
    {SweepTitle, "Sweep"},
    {SweepQuantity, "&Sweep:"},
    {SweepFrequency, "Frequency(Hz)"},
    {SweepAmplitude, "Amplitude(V)"},
    {SweepStart, "St&art:"},
    {SweepStop, "St&op:"},
    {SweepLogarithmic, "&Logarithmic"},
    {SweepByCount, "&Number of values"},
    {SweepByStep, "Step si&ze (logarithmic: ratio)"},
    {SweepDwell, "&Dwell (s):"},
    {SweepRepeat, "&Repeat:"},
    {SweepUpDown, "&Up and down"},
    {SweepKeepLast, "When stopped, &keep the last value (else the value before the sweep)"},
    {SweepRun, "S&tart"},
    {SweepHalt, "Sto&p"},
    {SweepClose, "&Close"},
    {SweepStatus, "Sweep CH%1: %2, step %3 of %4"},
    {InstrumentBack, "Instrument back: Read Operation to resume (F5)"},
    {SweepNotOnline, "A sweep needs an online session and no job under way: Read Operation first."},
    {SweepNotNumber, "%1 is not a number."},
    {SweepSameEnds, "Start and stop are the same."},
    {SweepTooFewValues, "A sweep has 2 values at least."},
    {SweepTooManyValues, "More than 100000 values from start to stop."},
    {SweepStepZero, "The step must not be 0 (logarithmic: a ratio above 0 and other than 1)."},
    {SweepLogNotPositive, "A logarithmic sweep needs start and stop above 0."},
    {SweepDwellRange, "The dwell lies between 0.01 s and a day."},
    {SweepRepeatRange, "The sweep runs 1 to 1000000 times."},
    {SweepEnded, "Sweep CH%1 ended: %2, %3 of %4 steps"},

    // %1 the channel ("CH1").
    {OutputOf, "Output of %1"},
    // %1 what the bar colours ("CH1", "Grid Main"), %2-%4 red, green, blue.
    {ColourBarName, "%1 colour: RGB %2, %3, %4"},
    {ColourBarDescription, "Press Space or click to choose another colour"},
    {ViewName, "Waveform view"},
    // %1 channel, %2 wave type, %3 frequency, %4 periods shown.
    {ViewPeriodic, "%1, %2, %3, %4 periods"},
    // %1 channel, %2 wave type: a wave without a frequency (noise).
    {ViewNoFrequency, "%1, %2"},
    // %1 channel, %2 first and %3 last point shown, %4 point count, %5 lowest and %6 highest voltage shown.
    {ViewArbitrary, "%1, arbitrary, points %2 to %3 of %4, %5 V to %6 V"},
    {WaveSine, "Sine"},
    {WaveSquare, "Square"},
    {WaveRamp, "Ramp"},
    {WavePulse, "Pulse"},
    {WaveNoise, "Noise"},
    {WaveArbitrary, "arbitrary"},

    // The locale code of Qt's translation for its own dialogs ("de", "zh_CN").
    {QtLocale, "en"},

    // %1 the pulse width, %2 the period (1/frequency), seconds.
    {PulseWidthBeyondPeriod, "The width %1 s is longer than the period %2 s."},
    // %1 the pulse width, seconds, %2 the duty (a fraction), %3 the width the duty gives.
    {PulseWidthAgainstDuty, "The width %1 s and the duty %2 disagree: the duty gives %3 s."},
}};
// clang-format on

constexpr bool InItemOrder() {
    for (std::size_t i = 1; i < kRows.size(); ++i)
        if (static_cast<int>(kRows[i].item) <= static_cast<int>(kRows[i - 1].item)) return false;
    return true;
}
static_assert(InItemOrder(), "rows in item order, each item once");

LanguageLookup& Lookup() {
    static LanguageLookup lookup;
    return lookup;
}

// The current language's text of `item`, else `english`.
QString TextOf(int item, const char* english) {
    const QString text = Lookup() ? Lookup()(item) : QString();
    return text.isEmpty() ? QString::fromUtf8(english) : text;
}

}  // namespace

std::span<const ProgramTextRow> ProgramTextTable() { return kRows; }

QString ProgramText(Text item) {
    const auto row = std::lower_bound(kRows.begin(), kRows.end(), item, [](const ProgramTextRow& r, Text t) {
        return static_cast<int>(r.item) < static_cast<int>(t);
    });
    return TextOf(static_cast<int>(item), row != kRows.end() && row->item == item ? row->english : "");
}

QString ProgramText(Text item, const QStringList& parts) { return FillPlaces(ProgramText(item), parts); }

QString FillPlaces(const QString& pattern, const QStringList& parts) {
    // The places and their numbers are ASCII: the UTF-8 form fills the same.
    std::vector<std::string> utf8;
    for (const QString& part : parts) utf8.push_back(part.toStdString());
    return QString::fromStdString(FillTemplate(pattern.toStdString(), utf8));
}

void SetProgramLanguage(LanguageLookup lookup) { Lookup() = std::move(lookup); }
const LanguageLookup& ProgramLanguage() { return Lookup(); }

QString TranslateFileText(const std::string& english) {
    const std::optional<RecognisedText> found = RecogniseFileText(english);
    if (!found) return QString::fromStdString(english);
    QStringList parts;
    for (const std::string& part : found->parts) parts << TranslateFileText(part);
    return FileTextIn(found->id, parts);
}

QString FileTextIn(FileText id, const QStringList& parts) {
    return FillPlaces(TextOf(static_cast<int>(id), EnglishTemplate(id)), parts);
}

QString LongJobName(const std::string& english) {
    for (const Text item :
         {Text::JobFormula, Text::JobImport, Text::JobResize, Text::JobLoad, Text::JobPrint, Text::JobResample})
        for (const ProgramTextRow& row : ProgramTextTable())
            if (row.item == item && english == row.english) return ProgramText(item);
    // Undo and Redo are named as their menu entries, without the mnemonic
    // and the shortcut ("&Undo#Ctrl+Z": "Undo").
    const auto caption = [](QString menuText) { return menuText.left(menuText.indexOf(u'#')).remove(u'&'); };
    for (const Text item : {Text::Undo, Text::Redo})
        for (const ProgramTextRow& row : ProgramTextTable())
            if (row.item == item && QString::fromStdString(english) == caption(QString::fromUtf8(row.english)))
                return caption(ProgramText(item));
    return QString::fromStdString(english);
}

}  // namespace zorbel
