// CZorbelApp: the application object. It starts the program in its fixed
// order (profile check, language choice, document, frame, languages), owns
// the language table, the document and the main frame, and lets them go in
// the reverse order at the end.
//
// Left out on Linux, having no counterpart: the common-controls and
// component-object initialization, control containers, taskbar interaction,
// the debug privilege, the restart manager and the framework's context-menu,
// keyboard and tooltip managers (Qt's own serve).
#pragma once

#include <memory>

#include "language_table.h"
#include "program_profile.h"

namespace zorbel {

class CMainFrame;
class CZorbelDoc;

class CZorbelApp {
public:
    // A QApplication must exist. `paths` names the program folder and file time.
    explicit CZorbelApp(ProgramPaths paths);
    ~CZorbelApp();
    CZorbelApp(const CZorbelApp&) = delete;
    CZorbelApp& operator=(const CZorbelApp&) = delete;

    // Start-up; false ends the program.
    bool InitInstance();

    LanguageTable& Languages() { return languages_; }
    CMainFrame* MainFrame() const { return frame_.get(); }
    CZorbelDoc* Document() const { return document_.get(); }
    ProfileCheck ProfileCheckResult() const { return profileCheck_; }

private:
    void ReadLanguageChoice();

    std::optional<int> storedLanguage_;  // the index in "lan.set"

    ProgramPaths paths_;
    LanguageTable languages_;
    ProfileCheck profileCheck_ = ProfileCheck::FirstStart;
    std::unique_ptr<CZorbelDoc> document_;
    std::unique_ptr<CMainFrame> frame_;  // destroyed before the document it shows
};

}  // namespace zorbel
