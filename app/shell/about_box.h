// The About box: title and three lines from the language, the version and
// the program file's time.
#pragma once

#include <QDialog>

namespace zorbel {

class LanguageTable;

inline constexpr char kProgramVersion[] = "1.0.8";

class CAboutDlg final : public QDialog {
public:
    CAboutDlg(const LanguageTable& languages, const QString& programFileTime, QWidget* parent = nullptr);
};

}  // namespace zorbel
