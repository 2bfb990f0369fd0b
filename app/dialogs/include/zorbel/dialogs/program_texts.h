// The texts this program added to the instrument software's: their language
// item numbers (20000 on, see the README's "Language files"), their English,
// and the current language's text of each. The frame hands the current
// language over at every switch; until then, and for an item the language
// lacks, the English text stands.
#pragma once

#include <QString>
#include <QStringList>

#include <span>
#include <string>

#include "zorbel/dialogs/control_texts.h"
#include "zorbel/model/file_texts.h"

namespace zorbel {

// Groups by hundreds: 200xx menus, 201xx the formula dialog, 202xx buttons and
// lists of the dialogs, 203xx the status bar, 204xx the file operations'
// texts (FileText, numbered there), 205xx other messages and file types,
// 206xx the sweep and the instrument's return,
// 207xx what assistive tools are told beyond the captions, 208xx the
// language's own facts (the locale code of Qt's translation for its dialogs), the
// pages' warnings from 20810 on.
// clang-format off
enum class Text : int {
    EditMenu = 20000, Undo, Redo, Cut, Copy, Paste,

    FormulaTitle = 20100, FormulaLabel, FormulaHint, FormulaClamped, FormulaErrorAt, FormulaPreview,

    Ok = 20200, Cancel, Yes, No,
    ClockListTitle = 20210, ClockSerial, ClockDivider, ClockPoints, ClockFrequency, ClockError,

    LinkField = 20300, StateField, OutcomeField,
    LinkUsb, LinkLan,
    StateLost, StateDemo, StateCalibrating, StateJobRunning, StateOnline, StateOffline,
    NoJobYet, LastJobNoDevice, LastJobCalibrationStopped, LastJobSucceeded, LastJobFailed,
    LastJobNoLink, LastJobNoAnswer, LastJobRefused, LastJobStatus,
    InstrumentBusy, PointReadout,

    NoDeviceFound = 20500, NoHelpViewer, CannotPrint,
    ArbFiles, SetupFiles, QwfFiles, SoundFiles, TableFiles, BmpFiles, JpegFiles,
    Harmonic, ReportTime, Cancelling, JobFormula, JobImport, JobResize, JobLoad, JobPrint, JobResample,
    AllSupportedFiles,

    SweepMenu = 20600, SweepTitle, SweepQuantity, SweepFrequency, SweepAmplitude, SweepStart, SweepStop,
    SweepLogarithmic, SweepByCount, SweepByStep, SweepDwell, SweepRepeat, SweepUpDown, SweepKeepLast,
    SweepRun, SweepHalt, SweepClose, SweepStatus, InstrumentBack, SweepNotOnline, SweepNotNumber,
    SweepSameEnds, SweepTooFewValues, SweepTooManyValues, SweepStepZero, SweepLogNotPositive,
    SweepDwellRange, SweepRepeatRange, SweepEnded,

    OutputOf = 20700, ColourBarName, ColourBarDescription,
    ViewName, ViewPeriodic, ViewNoFrequency, ViewArbitrary,
    WaveSine, WaveSquare, WaveRamp, WavePulse, WaveNoise, WaveArbitrary,

    QtLocale = 20800,

    PulseWidthBeyondPeriod = 20810, PulseWidthAgainstDuty,
};
// clang-format on

struct ProgramTextRow {
    Text item;
    const char* english;
};
// Every Text with its English, in item order.
std::span<const ProgramTextRow> ProgramTextTable();

// The current language's text of `item`, else its English.
QString ProgramText(Text item);
// The same with %1, %2, ... filled in one pass (a part holding "%2" stays).
QString ProgramText(Text item, const QStringList& parts);
QString FillPlaces(const QString& pattern, const QStringList& parts);

// The current language; an empty lookup leaves the English texts.
void SetProgramLanguage(LanguageLookup lookup);
const LanguageLookup& ProgramLanguage();

// A text the file operations composed (FileText), in the current language:
// its template's item with the parts put in, each part translated in turn
// (a reason inside "Cann't Load file: %1"). A text no template composed (the
// system's reason) stays as it is.
QString TranslateFileText(const std::string& english);
// The name of one of the program's own long jobs ("Formula", "Import Data",
// "Resize", "Load Data", "Print", "Resample", as the model names them) in the current language.
QString LongJobName(const std::string& english);
// The file operations' text `id` in the current language, with its parts.
QString FileTextIn(FileText id, const QStringList& parts = {});

}  // namespace zorbel
