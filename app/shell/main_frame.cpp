// The main frame: window set-up, menus, toolbar, status bar, the control
// pane, command states and the end of the session.
#include "main_frame.h"

#include <QAccessible>
#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <map>
#include <string>
#include <utility>

#include "app_look.h"
#include "calibration_command.h"
#include "command_rules.h"
#include "control_panel_host.h"
#include "language_choice.h"
#include "language_table.h"
#include "menu_template.h"
#include "messages.h"
#include "session_status.h"
#include "toolbar_icons.h"
#include "zorbel/dialogs/program_texts.h"
#include "zorbel/dialogs/sweep_dialog.h"
#include "zorbel/view/zorbel_view.h"

namespace zorbel {
namespace {

// How often menu and toolbar states and the status bar follow the model.
constexpr int kUpdatePeriodMs = 200;

constexpr char kGeometryKey[] = "Workspace/Geometry";
constexpr char kStateKey[] = "Workspace/State";
constexpr char kControlPaneTitle[] = "Control Bar";  // without a language
// Property of a status bar field: the Text that names it to screen readers.
constexpr char kSpokenNameProperty[] = "zorbelSpokenName";
// Property of a QAction: the shortcut it gives up while it cannot be used.
constexpr char kShortcutAsideProperty[] = "zorbelShortcutAside";

QSettings ProgramSettings() {
    return QSettings(QString::fromLatin1(kProfileOrganisation), QString::fromLatin1(kProfileApplication));
}

}  // namespace

// The document's failures, as message boxes over the frame; its remarks on
// a file that loaded are kept for the box that tells the load's success.
class CMainFrame::DocumentMessageBoxes final : public DocumentMessages {
public:
    explicit DocumentMessageBoxes(QWidget* frame) : frame_(frame) {}
    void ShowMessage(const std::string& text, const std::string&) override {
        zorbel::ShowMessage(frame_, TranslateFileText(text));
    }
    void ShowWarning(const std::string& text, const std::string&) override {
        notes_ << AsSentence(TranslateFileText(text));
    }
    QStringList TakeNotes() { return std::exchange(notes_, {}); }

private:
    // The readers' remarks are clauses ("the point count 20 was rounded
    // down to 16"), as the command line prints them after "warning: "; a
    // message box says them as sentences.
    static QString AsSentence(QString text) {
        text = text.trimmed();
        if (text.isEmpty()) return text;
        text[0] = text[0].toUpper();
        if (!text.endsWith(u'.') && !text.endsWith(u'!') && !text.endsWith(u'?')) text += u'.';
        return text;
    }

    QWidget* frame_;
    QStringList notes_;
};

CMainFrame::CMainFrame(LanguageTable& languages, CZorbelDoc& document, ProgramPaths paths, QWidget* parent)
    : QMainWindow(parent),
      languages_(languages),
      document_(document),
      paths_(std::move(paths)),
      documentMessages_(std::make_unique<DocumentMessageBoxes>(this)) {
    setWindowTitle(QString::fromLatin1(kFrameTitle));
    setWindowIcon(ProgramIcon());
    resize(kFrameWidth, kFrameHeight);
    document_.SetMessages(documentMessages_.get());
    // The dialogs, the status bar and the messages find this program's own
    // texts in the current language.
    SetProgramLanguage([&languages](int item) { return languages.LanguageText(item); });

    applicationLook_ =
        ProgramSettings().value(QString::fromLatin1(kApplicationLookKey), kDefaultApplicationLook).toInt();
    SetApplicationLook(applicationLook_);

    view_ = new CZorbelView(Settings(), paths_.folder, this);
    setCentralWidget(view_->Widget());
    CreateToolBar();
    CreateStatusBar();
    CreateControlPane();
    CreateActions();
    CreateMenus();
    FillToolBar();
    setDockOptions(AnimatedDocks | AllowTabbedDocks);

    session_ = std::make_unique<SessionBridge>(Settings());
    session_->SetHandlers({
        [this] { panel_->RefreshPanel(); },
        [this](Job jobFlags) { ShowJobProgress(jobFlags); },
        [view = view_](RefreshMask mask) { view->RequestRedraw(mask); },
    });

    // Formulas, imports and resizes of millions of points run on the view's
    // worker under the progress dialog; the commands that would edit the
    // same waveform wait for them (UpdateCommandStates).
    SetLongJobRunner([this](LongJob job) {
        const bool started = view_->RunLongJob(std::move(job), [this] { LongJobEnded(); });
        UpdateCommandStates();
        return started;
    });

    // The calibration command has no menu entry, only the view's keys.
    view_->SetCalibrationHook([this] { OpenCalibrationDialog(); });
    // The point under the mouse, where the status bar shows passing texts.
    view_->SetReadoutHook([this](const QString& text) {
        if (text.isEmpty())
            statusBar()->clearMessage();
        else
            statusBar()->showMessage(text);
    });
    view_->SetPopupActions({Action(kCmdUndo), Action(kCmdRedo)});

    // F6 moves the keyboard focus on between toolbar, control pane and view, Shift+F6 back.
    auto* nextRegion = new QShortcut(QKeySequence(Qt::Key_F6), this);
    connect(nextRegion, &QShortcut::activated, this, [this] { FocusNextRegion(1); });
    auto* previousRegion = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6), this);
    connect(previousRegion, &QShortcut::activated, this, [this] { FocusNextRegion(-1); });

    updateTimer_ = new QTimer(this);
    connect(updateTimer_, &QTimer::timeout, this, [this] {
        UpdateCommandStates();
        UpdateStatus();
    });
    updateTimer_->start(kUpdatePeriodMs);
    UpdateCommandStates();
    UpdateStatus();
}

CMainFrame::~CMainFrame() {
    Shutdown();
    document_.SetMessages(nullptr);
    SetProgramLanguage({});
}

QAction* CMainFrame::MakeAction(const CommandRow& row, int command, const QString& caption) {
    QAction* action = row.ownAction ? row.ownAction(*this) : new QAction(this);
    action->setText(caption);
    action->setData(command);
    action->setCheckable(row.kind != CommandKind::Plain);
    action->setProperty(kDefaultShortcutProperty, row.shortcut);
    action->setShortcut(row.shortcut);
    action->setIcon(CommandIcon(row.icon));
    action->setIconVisibleInMenu(false);
    if (row.role != QAction::TextHeuristicRole) action->setMenuRole(row.role);
    // A widget's own action has acted by now (its connection came first).
    connect(action, &QAction::triggered, this, [this, run = row.run, command] {
        if (run) run(*this, command);
        UpdateCommandStates();
        UpdateStatus();
    });
    commands_[command] = {action, &row};
    return action;
}

void CMainFrame::CreateActions() {
    for (const CommandRow& row : Commands())
        if (!row.perLanguageFile) MakeAction(row, row.id, QString::fromUtf8(row.caption));
}

void CMainFrame::CreateMenus() {
    const BuiltMenus built =
        BuildMenuBar(menuBar(), Commands(), [this](const CommandRow& row) { return commands_.at(row.id).action; });
    // Fresh states the moment a menu opens, not at the next timer tick.
    for (QMenu* menu : built.topLevel) connect(menu, &QMenu::aboutToShow, this, [this] { UpdateCommandStates(); });
    languageMenu_ = built.languageMenu;  // filled by BuildLanguageMenu
}

void CMainFrame::CreateToolBar() {
    toolBar_ = new QToolBar(QStringLiteral("Standard"), this);
    toolBar_->setObjectName(QStringLiteral("Standard"));
    toolBar_->setIconSize(QSize(32, 32));
    addToolBar(Qt::TopToolBarArea, toolBar_);
}

void CMainFrame::FillToolBar() {
    std::vector<const CommandRow*> buttons;
    for (const CommandRow& row : Commands())
        if (row.toolbarPlace != 0) buttons.push_back(&row);
    std::sort(buttons.begin(), buttons.end(),
              [](const CommandRow* a, const CommandRow* b) { return a->toolbarPlace < b->toolbarPlace; });
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (i > 0 && buttons[i]->toolbarPlace / 10 != buttons[i - 1]->toolbarPlace / 10) toolBar_->addSeparator();
        QAction* action = Action(buttons[i]->id);
        toolBar_->addAction(action);
        // Toolbar buttons take no focus by default: keyboard users reach them with Tab.
        if (QWidget* button = toolBar_->widgetForAction(action)) button->setFocusPolicy(Qt::TabFocus);
    }
}

void CMainFrame::CreateStatusBar() {
    // Not focusable: screen readers read the status bar with a command of
    // their own, and each field's name carries what it shows.
    const auto indicator = [this](const char* name, Text spoken) {
        auto* label = new QLabel(this);
        label->setObjectName(QString::fromLatin1(name));
        label->setProperty(kSpokenNameProperty, static_cast<int>(spoken));
        label->setAccessibleName(ProgramText(spoken));
        label->setFrameShape(QFrame::StyledPanel);
        label->setContentsMargins(4, 0, 4, 0);
        statusBar()->addPermanentWidget(label);
        return label;
    };
    linkIndicator_ = indicator(kLinkFieldName, Text::LinkField);
    stateIndicator_ = indicator(kStateFieldName, Text::StateField);
    outcomeIndicator_ = indicator(kOutcomeFieldName, Text::OutcomeField);
}

void CMainFrame::CreateControlPane() {
    controlPane_ = new QDockWidget(QString::fromLatin1(kControlPaneTitle), this);
    controlPane_->setObjectName(QStringLiteral("ControlBar"));
    controlPane_->setAllowedAreas(Qt::RightDockWidgetArea);
    controlPane_->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable |
                              QDockWidget::DockWidgetClosable);
    panelHost_ = std::make_unique<ControlPanelHost>(Settings(), *view_, controlPane_);
    panel_ = panelHost_.get();
    controlPane_->setWidget(panel_->Widget());
    addDockWidget(Qt::RightDockWidgetArea, controlPane_);
    resizeDocks({controlPane_}, {std::max(kControlPaneWidth, panelHost_->PreferredWidth())}, Qt::Horizontal);
}

QStringList CMainFrame::TakeDocumentNotes() { return documentMessages_->TakeNotes(); }

QAction* CMainFrame::Action(int command) const {
    const auto found = commands_.find(command);
    return found == commands_.end() ? nullptr : found->second.action;
}

void CMainFrame::RunCommand(int command) {
    if (QAction* action = Action(command)) action->trigger();  // a disabled action ignores it
}

void CMainFrame::RestoreProfileState() {
    QSettings settings = ProgramSettings();
    const QByteArray geometry = settings.value(QString::fromLatin1(kGeometryKey)).toByteArray();
    firstStartSize_ = geometry.isEmpty() || !restoreGeometry(geometry);
    if (firstStartSize_) resize(kFrameWidth, kFrameHeight);
    restoreState(settings.value(QString::fromLatin1(kStateKey)).toByteArray());
}

void CMainFrame::StartSession() {
    session_->Start();
    view_->Start();
}

void CMainFrame::OpenCalibrationDialog() { OpenCalibration(this, Settings(), *session_, paths_); }

void CMainFrame::SwitchLanguage(int index) {
    languages_.LoadLanguage(index);
    qtTranslation_.Follow(ProgramText(Text::QtLocale));
    // The language gives every entry its shortcut anew; the states take it
    // from the entries that are not usable now.
    for (const auto& [command, entry] : commands_) HoldShortcut(entry.action, true);
    // The pane's title renames its toggle action: the menu's text comes after.
    const QString caption = languages_.LanguageText(kCmdControlBar);
    controlPane_->setWindowTitle(caption.isEmpty() ? QString::fromLatin1(kControlPaneTitle) : caption);
    languages_.TranslateMenu(menuBar());
    RetranslateToolBar();
    panel_->Retranslate(languages_);
    panel_->RefreshPanel();
    if (auto* sweep = dynamic_cast<CDlgSweep*>(sweepDialog_.data())) sweep->Retranslate();
    UpdateCommandStates();
    UpdateStatus();
}

void CMainFrame::RetranslateToolBar() {
    for (const auto& [command, entry] : commands_) {
        if (entry.row->toolbarPlace == 0) continue;
        QAction* action = entry.action;
        const QString tip = languages_.LanguageText(command);
        action->setToolTip(tip);  // empty: Qt shows the menu caption
        if (QWidget* button = toolBar_->widgetForAction(action))
            button->setAccessibleName(tip.isEmpty() ? action->iconText() : tip);
    }
}

void CMainFrame::BuildLanguageMenu() {
    for (QAction* action : languageMenu_->actions()) {
        const int command = action->data().toInt();
        if (command >= kCmdFirstLanguage && command <= kCmdLastLanguage) {
            languageMenu_->removeAction(action);
            commands_.erase(command);
            action->deleteLater();
        }
    }
    const auto& commands = Commands();
    const auto perFile =
        std::find_if(commands.begin(), commands.end(), [](const CommandRow& row) { return row.perLanguageFile; });
    const int count = std::min(languages_.LanguageCount(), kCmdLastLanguage - kCmdFirstLanguage + 1);
    for (int i = 0; i < count && perFile != commands.end(); ++i)
        languageMenu_->addAction(MakeAction(*perFile, kCmdFirstLanguage + i, languages_.LanguageName(i)));
    KeyMenuEntries(menuBar());
    UpdateCommandStates();
}

void CMainFrame::UpdateCommandStates() {
    Settings().SwitchOffZoomToolsThatCannotAct();
    CommandSnapshot snapshot = SnapshotOf(Settings());
    snapshot.displayStyle = view_->DisplayStyle();
    snapshot.controlBarVisible = controlPane_->isVisibleTo(this);
    snapshot.toolBarVisible = toolBar_->isVisibleTo(this);
    snapshot.statusBarVisible = statusBar()->isVisibleTo(this);
    snapshot.currentLanguage = languages_.CurrentLanguage();
    snapshot.languageCount = languages_.LanguageCount();
    snapshot.applicationLook = applicationLook_;
    snapshot.canUndo = Settings().History().CanUndo(Settings().CurrentChannel());
    snapshot.canRedo = Settings().History().CanRedo(Settings().CurrentChannel());
    snapshot.longJob = view_->LongJobRunning();
    // A key that a single command has stays with it, shown greyed while the
    // command cannot be used (Undo's Ctrl+Z).
    std::map<QKeySequence, int> holders;
    for (const auto& [command, entry] : commands_) {
        const QVariant aside = entry.action->property(kShortcutAsideProperty);
        const QKeySequence keys = aside.isValid() ? aside.value<QKeySequence>() : entry.action->shortcut();
        if (!keys.isEmpty()) ++holders[keys];
    }
    for (const auto& [command, entry] : commands_) {
        const CommandState state = entry.row->state(snapshot, command);
        entry.action->setEnabled(state.enabled);
        entry.action->setVisible(state.visible);
        if (entry.action->isCheckable()) entry.action->setChecked(state.checked);
        const QVariant aside = entry.action->property(kShortcutAsideProperty);
        const QKeySequence keys = aside.isValid() ? aside.value<QKeySequence>() : entry.action->shortcut();
        const bool shared = !keys.isEmpty() && holders[keys] > 1;
        HoldShortcut(entry.action, (state.enabled && state.visible) || !shared);
    }
}

// Commands that share a key (Ctrl+O loads the setup, or the data in
// arbitrary mode) are never usable together: only the usable one holds the
// key, and the menus show it beside that one alone. The other keeps it aside
// until it is usable again.
void CMainFrame::HoldShortcut(QAction* action, bool usable) {
    const QVariant aside = action->property(kShortcutAsideProperty);
    if (usable && aside.isValid()) {
        action->setShortcut(aside.value<QKeySequence>());
        action->setProperty(kShortcutAsideProperty, QVariant());
    } else if (!usable && !aside.isValid() && !action->shortcut().isEmpty()) {
        action->setProperty(kShortcutAsideProperty, action->shortcut());
        action->setShortcut(QKeySequence());
    }
}

void CMainFrame::UpdateStatus() {
    const SessionStatusTexts texts = DescribeSession(Settings());
    // The name a screen reader reads is the field's and its text ("Instrument
    // link: USB"; "Last job succeeded" names itself), renewed (and
    // announced) only when the text changes.
    for (const auto& [field, text] : {std::pair{linkIndicator_, texts.link}, std::pair{stateIndicator_, texts.state},
                                      std::pair{outcomeIndicator_, texts.outcome}}) {
        const QString name = ProgramText(static_cast<Text>(field->property(kSpokenNameProperty).toInt()));
        const QString spoken = text.startsWith(name) ? text : name + QStringLiteral(": ") + text;
        if (field->text() == text && field->accessibleName() == spoken) continue;
        field->setText(text);
        field->setAccessibleName(spoken);
    }
    // Another channel or wave type under a mouse that has not moved.
    view_->RefreshReadout();
    view_->RefreshDescription();
    // Said once per refused job; the flag is set before the modal message
    // runs its own event loop, in which this timer fires again.
    const bool busy = Settings().InstrumentBusy();
    if (busy && !busyReported_) {
        busyReported_ = true;
        ShowMessage(this, ProgramText(Text::InstrumentBusy));
    }
    if (!busy) busyReported_ = false;
}

void CMainFrame::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    updateTimer_->stop();
    QSettings settings = ProgramSettings();
    settings.setValue(QString::fromLatin1(kGeometryKey), saveGeometry());
    settings.setValue(QString::fromLatin1(kStateKey), saveState());
    settings.sync();

    // The window goes at once; a job still running ends its step (no notice
    // waits for the interface any more) before the worker is joined.
    hide();
    session_->Shutdown();
    SetLongJobRunner({});
    view_->Shutdown();  // no notice can reach it any more; a long job is cancelled

    QString error;
    QDir().mkpath(paths_.ChoiceFolder());  // the configuration folder may be new
    // The file's name beside its index: the index alone would name another
    // file once a file is added before it.
    StoreLanguageFile(languages_.FileNames().value(languages_.CurrentLanguage()));
    if (!WriteLanguageChoiceFile(LanguageChoicePath(paths_.ChoiceFolder()), languages_.CurrentLanguage(), &error))
        ShowMessage(this, FileTextIn(FileText::CannotSave, {error}));
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    Shutdown();
    event->accept();
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    FitFrameHeight();
}

void CMainFrame::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    FitFrameHeight();  // a window manager tells its frame size once it has framed the window
}

// The least height and the first size count the window manager's frame, so
// that the whole window is 830 pixels high at least.
void CMainFrame::FitFrameHeight() {
    const int decoration = std::max(0, frameGeometry().height() - geometry().height());
    if (decoration == frameDecorationHeight_) return;
    frameDecorationHeight_ = decoration;
    setMinimumHeight(kFrameHeight - decoration);
    if (firstStartSize_) {
        const int sideBorders = std::max(0, frameGeometry().width() - geometry().width());
        resize(kFrameWidth - sideBorders, kFrameHeight - decoration);
    }
}

void CMainFrame::FocusNextRegion(int direction) {
    const std::vector<QWidget*> regions = {toolBar_, controlPane_, centralWidget()};
    const int count = static_cast<int>(regions.size());
    const QWidget* focus = focusWidget();
    // Outside every region F6 starts at the toolbar and Shift+F6 at the view.
    int current = direction > 0 ? count - 1 : 0;
    for (int i = 0; i < count; ++i)
        if (focus && (regions[i] == focus || regions[i]->isAncestorOf(focus))) current = i;
    for (int step = 1; step <= count; ++step) {
        QWidget* region = regions[((current + direction * step) % count + count) % count];
        if (!region->isVisible()) continue;
        // The view takes the focus itself (it has no child controls).
        QList<QWidget*> candidates = region->findChildren<QWidget*>();
        candidates.prepend(region);
        for (QWidget* child : candidates) {
            if (child->isVisible() && child->isEnabled() && (child->focusPolicy() & Qt::TabFocus)) {
                child->setFocus(Qt::ShortcutFocusReason);
                return;
            }
        }
    }
}

}  // namespace zorbel
