// Language files and the frame fixture of the shell tests.
#include "shell_fixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include "QRVHardDll.h"
#include "messages.h"

namespace zorbel::test {

QString ShoutyLanguageText() {
    QFile resource(QString::fromLatin1(LanguageTable::kBuiltInResource));
    EXPECT_TRUE(resource.open(QIODevice::ReadOnly));
    const QByteArray bytes = resource.readAll().mid(2);  // without the byte-order mark
    const QString builtIn = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
    QString shouty;
    for (const QString& line : builtIn.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        if (line.startsWith(QStringLiteral("8888=")))
            shouty += QStringLiteral("8888=Shouty\n");
        else
            shouty += line.toUpper() + u'\n';  // "[APP]" is the same section: names ignore case
    }
    return shouty;
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

std::map<QString, QString> LanguageItems(const QString& text) {
    std::map<QString, QString> items;
    for (const QString& line : text.split(QRegularExpression("\\r?\\n"))) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0 && line.front().isDigit()) items.emplace(line.left(equals), line.mid(equals + 1));
    }
    return items;
}

void WriteLanguageFile(const QString& path, const QString& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

void FrameTest::StartFrame(const QList<QPair<QString, QString>>& languageFiles, int storedLanguage) {
    SetMessageHandler([this](const QString& text) { messages_ << text; });
    SetFileChooser([this](const FileDialogRequest&) { return chosenFile_; });
    QDir(ProgramFolder()).mkdir(QStringLiteral("Language"));
    for (const auto& [name, text] : languageFiles) WriteLanguageFile(ProgramFolder() + "/Language/" + name, text);

    // The application's order: folder, document, frame, discovery, language, menu.
    languages_.SetCurrentLanguage(storedLanguage);
    languages_.SetLanguageFolder(ProgramFolder() + QStringLiteral("/Language"));
    document_ = std::make_unique<CZorbelDoc>();
    frame_ = std::make_unique<CMainFrame>(languages_, *document_, ProgramPaths{ProgramFolder(), "2024-05-06 07:08:09"});
    frame_->RestoreProfileState();
    frame_->StartSession();
    frame_->show();
    languages_.DiscoverLanguages();
    frame_->SwitchLanguage(languages_.CurrentLanguage());
    frame_->BuildLanguageMenu();
}

void FrameTest::TearDown() {
    frame_.reset();
    document_.reset();
    // The generator library's link is the process's: a test that chose LAN
    // must not leave it to the next, which starts on USB as a program does.
    qmkHDInitComType(0, 0x7F000001);
    SetMessageHandler({});
    SetFileChooser({});
}

}  // namespace zorbel::test
