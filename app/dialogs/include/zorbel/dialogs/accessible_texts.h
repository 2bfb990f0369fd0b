// What the program tells assistive tools beyond its captions: the English
// texts of names and descriptions it composes (%1, %2, ... are filled in
// where they are used), and names without the blanks that some captions
// carry for their layout (" Hz").
#pragma once

#include <QString>

class QWidget;

namespace zorbel {

namespace accessible_texts {
// The output switch's description; %1 the channel ("CH1").
inline constexpr char kOutputOf[] = "Output of %1";
// The colour bar: %1 what it colours ("CH1", "Grid Main"), %2-%4 red, green, blue.
inline constexpr char kColourBarName[] = "%1 colour: RGB %2, %3, %4";
inline constexpr char kColourBarDescription[] = "Press Space or click to choose another colour";
// The waveform view.
inline constexpr char kViewName[] = "Waveform view";
inline constexpr char kChannel[] = "CH%1";  // %1 the channel number
// %1 channel, %2 wave type, %3 frequency, %4 periods shown.
inline constexpr char kViewPeriodic[] = "%1, %2, %3, %4 periods";
// %1 channel, %2 wave type: a wave without a frequency (noise).
inline constexpr char kViewNoFrequency[] = "%1, %2";
// %1 channel, %2 first and %3 last point shown, %4 point count, %5 lowest and %6 highest voltage shown.
inline constexpr char kViewArbitrary[] = "%1, arbitrary, points %2 to %3 of %4, %5 V to %6 V";
// The wave types 1..6 as the view's description names them.
inline constexpr const char* kWaveTypes[] = {"Sine", "Square", "Ramp", "Pulse", "Noise", "arbitrary"};
// Frequency units of the view's description.
inline constexpr const char* kFrequencyUnits[] = {"Hz", "kHz", "MHz"};
}  // namespace accessible_texts

// A caption as a name: without the mnemonic marks ("&&" stays one "&") and
// without leading or trailing blanks.
QString NameOfCaption(const QString& caption);

// Every label, button and group box below `root` (and `root` itself) whose
// caption has leading or trailing blanks is named by its caption without
// them; one named so before whose caption has none now is named by its
// caption again. Run after every change of captions (a language switch).
void TrimAccessibleNames(QWidget* root);

}  // namespace zorbel
