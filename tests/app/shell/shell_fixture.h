// What the shell tests share: an isolated profile and temporary folder for
// the whole test program (set up in main before Qt starts), language folders
// with a second language, and a frame built as the application builds it.
#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <map>
#include <memory>

#include <gtest/gtest.h>

#include "language_table.h"

class QDialog;
class QMenuBar;
#include "main_frame.h"
#include "temp_dir.h"
#include "zorbel/model/document.h"

namespace zorbel::test {

// The built-in texts with every letter in capitals (item 8888 "Shouty"):
// a second language whose every text differs from the built-in one.
QString ShoutyLanguageText();
// Processes events until `done` or `timeout` passed; false on time-out.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10));
// The items of a language file's text by number (the section line, comments
// and blank lines left out).
std::map<QString, QString> LanguageItems(const QString& text);
// Writes `text` (a "[App]" section, "number=text" lines) as UTF-8 to `path`.
void WriteLanguageFile(const QString& path, const QString& text);

// What keyboard and screen reader users would find wrong in `window` (the
// active window), one line each, none when all is well: every usable control
// is reached by a round of Tab and by a round of Shift+Tab, a group of
// exclusive buttons as one stop at its checked button and never at another
// one; every control and every node of the accessibility tree that has a
// name has one without leading or trailing blanks, and every focusable one
// has a name; the buttons of a group are checkable for assistive tools.
QStringList AuditWindow(QWidget* window);
// The same for the menus: every entry named without blanks, checkable ones
// checkable for assistive tools, and no key held by two usable entries.
QStringList AuditMenus(QMenuBar* menuBar);
// Runs `check` on the modal dialog the next step opens, once it is active,
// and closes it; `open` is that step (a command), which returns when the
// dialog closed. False when no dialog came.
bool WithModalDialog(const std::function<void()>& open, const std::function<void(QDialog*)>& check);

// A frame on its own program folder, whose Language folder holds the files
// given to it; message boxes and file dialogs are recorded, not shown.
class FrameTest : public ::testing::Test {
protected:
    // `languageFiles`: pairs of file name and content; `storedLanguage` as
    // "lan.set" would give it.
    void StartFrame(const QList<QPair<QString, QString>>& languageFiles = {}, int storedLanguage = -1);
    void TearDown() override;

    QString ProgramFolder() const { return QString::fromStdString(folder_.Path()); }
    CMainFrame& Frame() { return *frame_; }
    DeviceSettings& Settings() { return document_->GetDeviceSettings(); }
    LanguageTable& Languages() { return languages_; }

    QStringList messages_;
    QString chosenFile_;  // what the file dialog "returns"

private:
    TempDir folder_;
    LanguageTable languages_;
    std::unique_ptr<CZorbelDoc> document_;
    std::unique_ptr<CMainFrame> frame_;
};

}  // namespace zorbel::test
