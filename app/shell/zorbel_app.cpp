// Start-up of the program.
#include "zorbel_app.h"

#include <QCoreApplication>

#include "language_choice.h"
#include "main_frame.h"
#include "zorbel/model/document.h"

namespace zorbel {

CZorbelApp::CZorbelApp(ProgramPaths paths) : paths_(std::move(paths)) {}

CZorbelApp::~CZorbelApp() {
    frame_.reset();
    document_.reset();
}

bool CZorbelApp::InitInstance() {
    QCoreApplication::setOrganizationName(QString::fromLatin1(kProfileOrganisation));
    QCoreApplication::setApplicationName(QString::fromLatin1(kProfileApplication));

    // Saved state of another program file is discarded before anything reads it.
    profileCheck_ = CheckProfile(paths_.fileTime);
    ReadLanguageChoice();
    languages_.SetLanguageFolder(paths_.DataFolder() + QStringLiteral("/Language"));

    document_ = std::make_unique<CZorbelDoc>();
    frame_ = std::make_unique<CMainFrame>(languages_, *document_, paths_);
    frame_->RestoreProfileState();
    frame_->StartSession();
    frame_->show();

    // The window is up before the language files are read; it is painted
    // once the event loop runs, so the first picture already has the texts.
    languages_.DiscoverLanguages();
    // The chosen file by its name while it is there: a file added since does
    // not move the user to another language.
    languages_.SetCurrentLanguage(ResolveLanguageChoice(storedLanguage_, StoredLanguageFile(), languages_.FileNames()));
    frame_->SwitchLanguage(languages_.CurrentLanguage());
    frame_->BuildLanguageMenu();
    return true;
}

void CZorbelApp::ReadLanguageChoice() {
    // Missing or not a language choice: the built-in language, no message.
    storedLanguage_ = ReadLanguageChoiceFile(LanguageChoicePath(paths_.ChoiceFolder()));
    if (storedLanguage_) languages_.SetCurrentLanguage(*storedLanguage_);
}

}  // namespace zorbel
