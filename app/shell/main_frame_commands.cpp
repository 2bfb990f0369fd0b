// The frame's command handlers that the command table names: file commands
// through the document, the image and the printed page, the connection,
// colour and point dialogs, display style, the real-time jobs, languages,
// help and About.
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSettings>
#include <QUrl>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>

#include "about_box.h"
#include "app_look.h"
#include "language_table.h"
#include "main_frame.h"
#include "menu_template.h"
#include "messages.h"
#include "program_profile.h"
#include "session_status.h"
#include "zorbel/dialogs/arbitrary_tools.h"
#include "zorbel/dialogs/formula_dialog.h"
#include "zorbel/dialogs/program_texts.h"
#include "zorbel/dialogs/small_dialogs.h"
#include "zorbel/dialogs/sweep_dialog.h"
#include "zorbel/model/arbitrary_edit.h"
#include "zorbel/model/waveform_import.h"
#include "zorbel/report/bmp_file.h"
#include "zorbel/report/report_page.h"
#include "zorbel/view/zorbel_view.h"

namespace zorbel {
namespace {

// One file command: its dialog and the document operation behind it.
struct FileCommand {
    int command;
    bool save;
    int kind;  // kSetupFile, or the document's arbitrary data kind
    // The file types offered; Text{} ends the list early. AllSupportedFiles
    // first offers every extension of the others at once.
    std::array<Text, 4> filter;
    const char* suffix;
    int titleItem;
    int successItem;         // the failure text is the next item
    const char* folderKind;  // whose last folder the dialog opens in
};
constexpr int kSetupFile = -1;

// The kinds of file whose folders the profile keeps.
constexpr char kSetupFolder[] = "Setup";
constexpr char kArbDataFolder[] = "ArbData";
constexpr char kExchangeFolder[] = "Exchange";
constexpr char kImageFolder[] = "Image";
constexpr char kPrintFolder[] = "Print";

constexpr std::array<FileCommand, 6> kFileCommands = {{
    {kCmdLoadData, false, kArbitraryDataFile, {Text::ArbFiles}, "arb", 10051, 10052, kArbDataFolder},
    {kCmdSaveData, true, kArbitraryDataFile, {Text::ArbFiles}, "arb", 10054, 10055, kArbDataFolder},
    {kCmdLoadSetup, false, kSetupFile, {Text::SetupFiles}, "set", 10057, 10058, kSetupFolder},
    {kCmdSaveSetup, true, kSetupFile, {Text::SetupFiles}, "set", 10060, 10061, kSetupFolder},
    {kCmdImportData,
     false,
     kArbitraryExchangeFile,
     {Text::AllSupportedFiles, Text::QwfFiles, Text::SoundFiles, Text::TableFiles},
     "qwf",
     10066,
     10067,
     kExchangeFolder},
    {kCmdExportData, true, kArbitraryExchangeFile, {Text::QwfFiles}, "qwf", 10069, 10070, kExchangeFolder},
}};

constexpr int kSaveImageTitleItem = 10063;
constexpr int kSaveImageSuccessItem = 10064;

// The file dialog's filter: the types in the current language, ";;" between.
template <std::size_t N>
QString FilterOf(const std::array<Text, N>& types) {
    QStringList filters;
    for (const Text type : types)
        if (type != Text{} && type != Text::AllSupportedFiles) filters << ProgramText(type);
    if (types.front() == Text::AllSupportedFiles)
        filters.prepend(CombinedFilter(ProgramText(Text::AllSupportedFiles), filters));
    return filters.join(QStringLiteral(";;"));
}

// The current language's texts, as the dialogs and the page look them up.
LanguageLookup TextsOf(const LanguageTable& languages) {
    return [&languages](int item) { return languages.LanguageText(item); };
}

// The page fills the printable area; false when the printer (or the PDF
// file it prints to) could not be opened.
bool PrintPage(QPrinter& printer, const ReportPage& report) {
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    DrawReportPage(painter, QRect(0, 0, printer.width(), printer.height()), report);
    return painter.end();
}

}  // namespace

void CMainFrame::RunFileCommand(int command) {
    const auto found = std::find_if(kFileCommands.begin(), kFileCommands.end(),
                                    [command](const FileCommand& c) { return c.command == command; });
    if (found == kFileCommands.end()) return;
    const FileCommand& c = *found;
    const QString path = ChooseFile(this, {c.save, languages_.LanguageText(c.titleItem), FilterOf(c.filter),
                                           QString::fromLatin1(c.suffix), QString::fromLatin1(c.folderKind)});
    if (path.isEmpty()) return;
    const std::string file = QFile::encodeName(path).toStdString();
    if (!c.save && c.kind != kSetupFile) {
        // A waveform file: read on the view's worker under the progress
        // dialog (a small one at once); a cancelled load changes nothing and
        // says nothing.
        const int successItem = c.successItem;
        auto ended = [this, successItem, file](const ImportOutcome& outcome) {
            FileCommandEnded(successItem, document_.ImportEnded(outcome, file), true);
        };
        const std::uint16_t channel = Settings().CurrentChannel();
        std::optional<LongJob> job =
            command == kCmdImportData && ImportKindOf(file) != ImportKind::None
                ? ImportJob(Settings(), file, channel, nullptr, std::move(ended))
                : document_.LoadArbitraryJob(static_cast<std::uint16_t>(c.kind), file, nullptr, std::move(ended));
        if (job)
            RunLongJob(std::move(*job));
        else
            FileCommandEnded(successItem, false, true);  // not a file of its kind
        return;
    }
    bool done = false;
    if (c.kind == kSetupFile)
        done = c.save ? document_.SaveSetup(file) : document_.LoadSetup(file);
    else
        done = document_.SaveArbitrary(static_cast<std::uint16_t>(c.kind), file);
    FileCommandEnded(c.successItem, done, !c.save);
}

void CMainFrame::FileCommandEnded(int successItem, bool done, bool loaded) {
    // One box: the outcome, then what the reader had to say about the file.
    const QStringList notes = TakeDocumentNotes();
    QString message = languages_.LanguageText(done ? successItem : successItem + 1);
    if (!notes.isEmpty()) message += QStringLiteral("\n\n") + notes.join(u'\n');
    ShowMessage(this, message);
    if (done && loaded) {
        view_->RequestRedraw(RefreshMask::Everything);
        panel_->RefreshPanel();
    }
}

void CMainFrame::LongJobEnded() {
    if (shutDown_) return;
    panel_->RefreshPanel();
    view_->RequestRedraw(RefreshMask::Everything);
    UpdateCommandStates();
}

void CMainFrame::SetDisplayStyle(int style) {
    if (view_->DisplayStyle() == style) return;
    view_->SetDisplayStyle(style);
    view_->RequestRedraw(RefreshMask::Waveform);
}

void CMainFrame::StartJob(int command) {
    // The model's worker runs the job; the status bar tells how it went.
    if (command == kCmdReadOperation)
        Settings().StartReadOperation();
    else
        Settings().StartWriteOperation();
    session_->Wake();
}

void CMainFrame::SwitchLanguageCommand(int command) {
    SwitchLanguage(command == kCmdDefaultLanguage ? LanguageTable::kBuiltInLanguage : command - kCmdFirstLanguage);
}

void CMainFrame::OpenHelp() {
    const QString path =
        paths_.DataFolder() + QStringLiteral("/Language/QDN Source-%1.html").arg(QStringLiteral("English"));
    if (!QFileInfo::exists(path)) {
        ShowMessage(this, FileTextIn(FileText::CannotLoad, {path}));
        return;
    }
    // Without a browser or help viewer the user would otherwise see nothing.
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        ShowMessage(this, ProgramText(Text::NoHelpViewer, {path}));
}

void CMainFrame::ShowAbout() {
    CAboutDlg about(languages_, paths_.fileTime, this);
    about.exec();
}

void CMainFrame::SetApplicationLook(int look) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ApplyApplicationLook(look);
    applicationLook_ = look;
    QSettings(QString::fromLatin1(kProfileOrganisation), QString::fromLatin1(kProfileApplication))
        .setValue(QString::fromLatin1(kApplicationLookKey), look);
    QApplication::restoreOverrideCursor();
}

// Cancel (or Escape) stops the job between two commands or two slices of a
// download; the dialog closes when the worker has ended it.
void CMainFrame::ShowJobProgress(Job jobFlags) {
    if (const int item = ProgressTextItem(jobFlags))
        view_->ShowProgress(jobFlags, languages_.LanguageText(item), [this] { Settings().CancelJob(); });
}

void CMainFrame::SaveImage() {
    const QString path = ChooseFile(this, {true, languages_.LanguageText(kSaveImageTitleItem),
                                           FilterOf(std::array{Text::BmpFiles, Text::JpegFiles}), QStringLiteral("bmp"),
                                           QString::fromLatin1(kImageFolder)});
    if (path.isEmpty()) return;
    // Success is told once the whole file is on disk; a file that cannot be
    // written leaves an earlier one of that name as it was.
    QString error;
    if (SaveViewImage(view_->CompositeImage(), path, &error))
        ShowMessage(this, languages_.LanguageText(kSaveImageSuccessItem));
    else
        ShowMessage(this, FileTextIn(FileText::CannotSave, {error}));
}

void CMainFrame::Connect() {
    CDlgConnect dialog(Settings().ConnectionType(), Settings().LanAddress(), TextsOf(languages_), this);
    if (dialog.exec() != QDialog::Accepted) return;
    // The worker hands both to the generator library at its next step, never
    // under an exchange that is under way.
    Settings().SetConnection(dialog.ConnectionType(), dialog.LanAddress());
    session_->Wake();
}

void CMainFrame::ChooseColour(int command) {
    const auto target = static_cast<std::uint16_t>(kColourChannel1 + command - kCmdColourCh1);
    CDlgColor dialog(target, Settings(), view_, TextsOf(languages_), this);
    dialog.exec();
}

void CMainFrame::EditPoints() {
    CDlgEditPoints dialog(Settings(), view_, TextsOf(languages_), this);
    dialog.exec();
}

void CMainFrame::EnterFormula() {
    CDlgFormula dialog(Settings(), view_, this);
    if (dialog.exec() == QDialog::Accepted) panel_->RefreshPanel();
}

void CMainFrame::OpenSweep() {
    if (!sweepDialog_) {
        sweepDialog_ = new CDlgSweep(
            Settings(), [this] { panel_->RefreshPanel(); }, this);
        sweepDialog_->setAttribute(Qt::WA_DeleteOnClose);
    }
    sweepDialog_->show();
    sweepDialog_->raise();
    sweepDialog_->activateWindow();
}

void CMainFrame::UndoArbitrary(bool redo) {
    // A step that brings back millions of points is built on the view's worker.
    RunLongJob(UndoJob(Settings(), Settings().CurrentChannel(), redo, view_, [this](const auto& change) {
        if (change && change->countChanged) panel_->RefreshPanel();  // the point count field
    }));
}

void CMainFrame::Print() {
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    printer->setPageOrientation(QPageLayout::Landscape);  // the view's shape
    // Printed to a file last time: to a file again, in that folder (not the
    // working folder the print dialog would offer); printed on paper: the
    // printer the system prefers.
    const QString folder = StoredFileFolder(QString::fromLatin1(kPrintFolder));
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        printer->setOutputFileName(QDir(folder).filePath(QStringLiteral("Zorbel.pdf")));
    QPrintDialog dialog(printer.get(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    const QString file = printer->outputFileName();
    StoreFileFolder(QString::fromLatin1(kPrintFolder), file.isEmpty() ? QString() : QFileInfo(file).absolutePath());
    // The page's pass over the waveform and its drawing at the printer's
    // resolution run on the view's worker; a failure is told afterwards.
    RunLongJob(ReportJob(Settings(), Settings().CurrentChannel(), view_->DisplayStyle(), TextsOf(languages_),
                         [this, printer](const ReportPage& report) -> JobFinish {
                             if (PrintPage(*printer, report)) return {};
                             return [this, printer] {
                                 if (!printer->outputFileName().isEmpty())
                                     ShowMessage(this, FileTextIn(FileText::CannotSave, {printer->outputFileName()}));
                                 else
                                     ShowMessage(this, ProgramText(Text::CannotPrint, {printer->printerName()}));
                             };
                         }));
}

void CMainFrame::PrintPreview() {
    // One snapshot for every repaint of the preview, so that its pages
    // agree; taken on the view's worker, the preview opened once it is there.
    RunLongJob(ReportJob(Settings(), Settings().CurrentChannel(), view_->DisplayStyle(), TextsOf(languages_),
                         [this](const ReportPage& snapshot) -> JobFinish {
                             // The preview records the page's drawing and shows it at
                             // the screen's scale: quick enough for the interface thread.
                             return [this, report = std::make_shared<ReportPage>(snapshot)] {
                                 QPrinter printer(QPrinter::HighResolution);
                                 printer.setPageOrientation(QPageLayout::Landscape);
                                 QPrintPreviewDialog preview(&printer, this);
                                 connect(&preview, &QPrintPreviewDialog::paintRequested, this,
                                         [report](QPrinter* target) { PrintPage(*target, *report); });
                                 preview.exec();
                             };
                         }));
}

}  // namespace zorbel
