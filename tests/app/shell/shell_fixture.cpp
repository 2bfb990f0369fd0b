// Language files and the frame fixture of the shell tests.
#include "shell_fixture.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QButtonGroup>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <map>
#include <set>

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

namespace {

QString Describe(QWidget* control) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(control);
    const QString name = face ? face->text(QAccessible::Name) : QString();
    return QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(control->metaObject()->className()), name);
}

// The buttons that choose one thing together: a button group, or Qt's
// auto-exclusive radios of one parent.
QList<QAbstractButton*> GroupOf(QWidget* control) {
    auto* button = qobject_cast<QAbstractButton*>(control);
    if (!button) return {};
    if (button->group() && button->group()->exclusive()) return button->group()->buttons();
    if (!button->autoExclusive()) return {};
    QList<QAbstractButton*> group;
    for (QObject* sibling : button->parent()->children())
        if (auto* b = qobject_cast<QAbstractButton*>(sibling); b && b->autoExclusive() && !b->group()) group << b;
    return group;
}

// The focus widgets of a round of Tab (or Shift+Tab) from the present focus, in order.
QList<QWidget*> FocusRound(bool backwards) {
    QList<QWidget*> visited;
    QWidget* start = QApplication::focusWidget();
    for (int i = 0; i < 400 && start; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
        QWidget* now = QApplication::focusWidget();
        if (!now || now == start) break;
        if (visited.isEmpty() || visited.last() != now) visited << now;  // a table's cells are one stop
    }
    return visited;
}

void AuditTree(QAccessibleInterface* node, int depth, QStringList& problems) {
    if (!node || depth > 40) return;
    const QString name = node->text(QAccessible::Name);
    if (name != name.trimmed()) problems << QStringLiteral("accessible node \"%1\" has blanks at its ends").arg(name);
    const QAccessible::State state = node->state();
    if (state.focusable && !state.invisible && !state.disabled && name.trimmed().isEmpty() &&
        node->role() != QAccessible::Client && node->role() != QAccessible::Window &&
        node->role() != QAccessible::StaticText)  // a label selectable by the mouse, empty now
        problems << QStringLiteral("focusable accessible node of role %1 has no name").arg(node->role());
    for (int i = 0; i < node->childCount(); ++i) AuditTree(node->child(i), depth + 1, problems);
}

}  // namespace

QStringList AuditWindow(QWidget* window) {
    QStringList problems;
    QList<QWidget*> stops;                               // single controls
    std::map<QWidget*, QList<QAbstractButton*>> groups;  // by their Tab stop
    std::set<QWidget*> grouped;
    for (QWidget* control : window->findChildren<QWidget*>()) {
        // A control without the Tab focus is still one the keyboard must reach
        // (a radio that lost it); a label selectable by the mouse is none.
        const bool isControl = (control->focusPolicy() & Qt::TabFocus) || qobject_cast<QAbstractButton*>(control) ||
                               qobject_cast<QLineEdit*>(control) || qobject_cast<QAbstractItemView*>(control);
        if (control->isWindow() || !control->isVisibleTo(window) || !control->isEnabled() || !isControl ||
            control->focusPolicy() == Qt::NoFocus || control->focusProxy() || grouped.contains(control))
            continue;
        const QList<QAbstractButton*> group = GroupOf(control);
        if (group.isEmpty()) {
            stops << control;
            continue;
        }
        QWidget* stop = nullptr;
        for (QAbstractButton* b : group)
            if (b->isChecked() && b->isEnabled()) stop = b;
        for (QAbstractButton* b : group)
            if (!stop && b->isEnabled() && b->isVisibleTo(window)) stop = b;
        for (QAbstractButton* b : group) {
            grouped.insert(b);
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(b);
            if (!face || !face->state().checkable) problems << Describe(b) + " of a group is not checkable";
        }
        groups[stop] = group;
        stops << stop;
    }

    for (QWidget* control : stops) {
        const QString name = QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
        if (name.isEmpty()) problems << Describe(control) + " has no name";
    }
    for (const bool backwards : {false, true}) {
        const QString round = backwards ? QStringLiteral("Shift+Tab") : QStringLiteral("Tab");
        if (stops.isEmpty()) break;
        stops.first()->setFocus(Qt::OtherFocusReason);
        QList<QWidget*> visited = FocusRound(backwards);
        visited << stops.first();
        for (QWidget* control : stops)
            if (!visited.contains(control)) problems << Describe(control) + " is never reached by " + round;
        for (QWidget* control : visited)
            if (grouped.contains(control) && !groups.contains(control))
                problems << Describe(control) + " is reached by " + round + " but is not its group's chosen button";
    }
    AuditTree(QAccessible::queryAccessibleInterface(window), 0, problems);
    return problems;
}

QStringList AuditMenus(QMenuBar* menuBar) {
    QStringList problems;
    std::map<QString, QString> keys;  // shortcut -> entry
    const auto walk = [&](const auto& self, QWidget* menu) -> void {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(menu);
        const QList<QAction*> actions = menu->actions();
        for (int i = 0; i < actions.size() && i < face->childCount(); ++i) {
            QAction* action = actions[i];
            if (action->isSeparator() || !action->isVisible()) continue;
            QAccessibleInterface* entry = face->child(i);
            const QString name = entry->text(QAccessible::Name);
            if (name.isEmpty() || name != name.trimmed())
                problems << QStringLiteral("menu entry \"%1\" is badly named").arg(name);
            if (entry->state().checkable != action->isCheckable())
                problems << QStringLiteral("menu entry \"%1\" hides whether it is checkable").arg(name);
            if (action->menu()) self(self, action->menu());
            const QString shortcut = action->shortcut().toString();
            if (shortcut.isEmpty() || !action->isEnabled()) continue;
            if (const auto [at, added] = keys.emplace(shortcut, name); !added)
                problems << QStringLiteral("%1 is held by \"%2\" and \"%3\"").arg(shortcut, at->second, name);
        }
    };
    walk(walk, menuBar);
    return problems;
}

bool WithModalDialog(const std::function<void()>& open, const std::function<void(QDialog*)>& check) {
    bool seen = false;
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || QApplication::activeWindow() != dialog) return;
        poll->stop();
        seen = true;
        check(dialog);
        dialog->reject();
    });
    poll->start(10);
    open();
    delete poll;
    return seen;
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
