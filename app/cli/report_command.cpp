// The report command: a QGuiApplication on Qt's offscreen platform gives the
// page its fonts; the texts are the built-in language file's, read through
// the language library as the program reads them.
#include "report_command.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QTemporaryFile>

#include <memory>

#include "QRVLanguageDll.h"
#include "zorbel/report/report_page.h"

namespace zorbel::cli {
namespace {

// Any text of the language library fits; the program uses the same size.
constexpr int kTextBufferChars = 1000;

QHash<int, QString> BuiltInTexts() {
    QHash<int, QString> texts;
    QFile resource(QStringLiteral(":/language/default.lug"));
    QTemporaryFile copy(QDir::tempPath() + QStringLiteral("/zorbel-cli-XXXXXX.lug"));
    if (!resource.open(QIODevice::ReadOnly) || !copy.open()) return texts;
    copy.write(resource.readAll());
    copy.flush();
    const std::u16string path = copy.fileName().toStdU16String();
    if (qmkHLLoadContenFromFile_Point(path.c_str(), static_cast<std::uint16_t>(path.size())) != 1) return texts;
    char16_t number[kTextBufferChars];
    char16_t text[kTextBufferChars];
    for (std::uint16_t i = 0; i < UINT16_MAX && qmkHLGetContenItem(i, number, text) == 1; ++i) {
        const int item = QString::fromUtf16(number).toInt();
        if (!texts.contains(item)) texts.insert(item, QString::fromUtf16(text));  // the first of a number counts
    }
    return texts;
}

// Qt's remarks about its platform and fonts are not for the script's
// standard error, where every line is one of the tool's own.
void DropQtRemarks(QtMsgType, const QMessageLogContext&, const QString&) {}

}  // namespace

bool WriteReport(const DeviceSettings& settings, std::uint16_t channel, const std::string& path, std::string* error) {
    const QtMessageHandler previous = qInstallMessageHandler(DropQtRemarks);
    std::unique_ptr<QGuiApplication> application;
    if (!QGuiApplication::instance()) {
        // Qt keeps argc and argv for the application's life.
        static int argc = 3;
        static char program[] = "zorbel-cli";
        static char platformOption[] = "-platform";
        static char platform[] = "offscreen";
        static char* argv[] = {program, platformOption, platform, nullptr};
        application = std::make_unique<QGuiApplication>(argc, argv);
    }
    const QHash<int, QString> texts = BuiltInTexts();
    const ReportPage report = ReportOf(settings, channel, 1, [&texts](int item) { return texts.value(item); });
    QString reason;
    const bool written = WriteReportPdf(report, QFile::decodeName(path.c_str()), &reason);
    application.reset();
    qInstallMessageHandler(previous);
    if (!written && error) *error = reason.toStdString();
    return written;
}

}  // namespace zorbel::cli
