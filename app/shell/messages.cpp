// File dialogs and their rules.
#include "messages.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

#include "program_profile.h"

namespace zorbel {
namespace {

FileChooser& Chooser() {
    static FileChooser chooser;
    return chooser;
}

// The dialog itself; `selectedFilter` gets the filter the user chose.
QString RunFileDialog(QWidget* parent, const FileDialogRequest& request, QString& selectedFilter) {
    QFileDialog dialog(parent, request.title, request.folder, request.filter);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // A name typed without an extension is completed afterwards from the
    // chosen filter, the extension whose file exists first: the dialog
    // itself refuses no name for a missing file.
    dialog.setFileMode(QFileDialog::AnyFile);
    if (request.save) {
        // Completed by the dialog, so that it asks before overwriting the
        // file that will be written.
        const auto follow = [&dialog, &request](const QString& filter) {
            const QStringList extensions = FilterExtensions(filter);
            dialog.setDefaultSuffix(extensions.isEmpty() ? request.defaultSuffix : extensions.front());
        };
        follow(selectedFilter);
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, follow);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    selectedFilter = dialog.selectedNameFilter();
    return dialog.selectedFiles().constFirst();
}

}  // namespace

void SetFileChooser(FileChooser chooser) { Chooser() = std::move(chooser); }

QString ChooseFile(QWidget* parent, FileDialogRequest request) {
    request.folder = StartFolder(StoredFileFolder(request.kind), QDir::homePath(),
                                 [](const QString& f) { return QFileInfo(f).isDir(); });
    QString selectedFilter = request.filter.section(QStringLiteral(";;"), 0, 0);
    QString path = Chooser() ? Chooser()(request) : RunFileDialog(parent, request, selectedFilter);
    if (path.isEmpty()) return {};
    path =
        CompleteExtension(path, selectedFilter, !request.save, [](const QString& p) { return QFileInfo(p).isFile(); });
    StoreFileFolder(request.kind, QFileInfo(path).absolutePath());
    return path;
}

QStringList FilterExtensions(const QString& filter) {
    // The patterns are inside the last parentheses: "Sound File(*.wav *.aiff)".
    const qsizetype open = filter.lastIndexOf(u'(');
    const qsizetype close = filter.lastIndexOf(u')');
    const QString patterns = open >= 0 && close > open ? filter.mid(open + 1, close - open - 1) : filter;
    static const QRegularExpression kPattern(QStringLiteral(R"(^\*\.([^*?\[\]]+)$)"));
    QStringList extensions;
    for (const QString& pattern : patterns.split(u' ', Qt::SkipEmptyParts))
        if (const QRegularExpressionMatch m = kPattern.match(pattern); m.hasMatch()) extensions << m.captured(1);
    return extensions;
}

QString CombinedFilter(const QString& name, const QStringList& filters) {
    QStringList patterns;
    for (const QString& filter : filters)
        for (const QString& extension : FilterExtensions(filter))
            if (const QString p = QStringLiteral("*.") + extension; !patterns.contains(p)) patterns << p;
    return name + u'(' + patterns.join(u' ') + u')';
}

QString StartFolder(const QString& kept, const QString& home, const std::function<bool(const QString&)>& isFolder) {
    return !kept.isEmpty() && isFolder(kept) ? kept : home;
}

QString CompleteExtension(const QString& path, const QString& filter, bool open,
                          const std::function<bool(const QString&)>& exists) {
    const QString name = path.section(u'/', -1);
    const QStringList extensions = FilterExtensions(filter);
    if (name.isEmpty() || name.contains(u'.') || extensions.isEmpty()) return path;
    if (open) {
        if (exists(path)) return path;
        for (const QString& extension : extensions)
            if (exists(path + u'.' + extension)) return path + u'.' + extension;
    }
    return path + u'.' + extensions.front();
}

}  // namespace zorbel
