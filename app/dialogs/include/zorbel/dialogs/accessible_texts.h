// What the program tells assistive tools beyond its captions: the parts of
// its composed names that no language changes, and names without the blanks that some captions
// carry for their layout (" Hz").
#pragma once

#include <QString>

class QWidget;

namespace zorbel {

// The names and descriptions composed for assistive tools are language items
// (ProgramText); what stays the same in every language is here.
namespace accessible_texts {
inline constexpr char kChannel[] = "CH%1";  // %1 the channel number
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
