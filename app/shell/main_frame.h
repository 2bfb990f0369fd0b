// CMainFrame: the program's main window with the menu bar, the main toolbar,
// the status bar and the docked control pane, and the handlers of every menu
// and toolbar command. One QAction per command of the command table
// (menu_template.h) serves menu and toolbar alike.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <map>
#include <memory>
#include <vector>

#include "program_profile.h"
#include "qt_translation.h"
#include "session_bridge.h"
#include "shell_interfaces.h"
#include "zorbel/model/document.h"

class QDockWidget;
class QLabel;
class QMenu;
class QTimer;
class QToolBar;

namespace zorbel {

class ControlPanelHost;
class CZorbelView;
struct CommandRow;

class LanguageTable;

// The first size of the window and the least height the user can drag it
// to, frame included.
inline constexpr int kFrameWidth = 1200;
inline constexpr int kFrameHeight = 830;
inline constexpr int kControlPaneWidth = 245;
inline constexpr char kFrameTitle[] = "QDN Zorbel";
// The status bar's fields: their object names, and the start of the names
// screen readers read ("Instrument link: USB").
inline constexpr char kLinkFieldName[] = "Instrument link";
inline constexpr char kStateFieldName[] = "Session state";
inline constexpr char kOutcomeFieldName[] = "Last job";

class CMainFrame final : public QMainWindow {
public:
    CMainFrame(LanguageTable& languages, CZorbelDoc& document, ProgramPaths paths, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Start-up steps the application runs in its order.
    void RestoreProfileState();  // saved geometry and docking, or the first size
    void StartSession();         // the session worker and the view's display thread
    // Loads language `index` (-1 built-in) and relabels menus, pane, panel.
    void SwitchLanguage(int index);
    // One Language entry per language file the table lists.
    void BuildLanguageMenu();

    // Stops the session worker and then the view's threads, saves the window
    // state and the language choice. Runs once, when the window closes (or is destroyed unclosed).
    void Shutdown();

    // Lets the model switch off the zoom tools that can no longer act, then
    // enables and checks every command by its rule from a read of the model
    // and the frame.
    void UpdateCommandStates();
    // Refreshes the status bar from the session.
    void UpdateStatus();
    // Runs a command as if chosen from the menu; nothing while it is disabled.
    void RunCommand(int command);
    // The calibration command (Ctrl+Alt+F12, Ctrl+Shift+F12): the dialog over
    // the frame on its session, or "No Device Found!". Returns when it closes.
    void OpenCalibrationDialog();

    // Every command of the menus and the toolbar, one row each (menu_template.cpp).
    static const std::vector<CommandRow>& Commands();
    QAction* Action(int command) const;
    QMenu* LanguageMenu() const { return languageMenu_; }
    QToolBar* MainToolBar() const { return toolBar_; }
    QDockWidget* ControlPane() const { return controlPane_; }
    ShellPanel& Panel() const { return *panel_; }
    CZorbelView& View() const { return *view_; }
    SessionBridge& Session() { return *session_; }
    DeviceSettings& Settings() { return document_.GetDeviceSettings(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    class DocumentMessageBoxes;

    QAction* MakeAction(const CommandRow& row, int command, const QString& caption);
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void FillToolBar();
    void CreateStatusBar();
    void CreateControlPane();
    void RetranslateToolBar();
    void FitFrameHeight();
    // The first control of the next region (toolbar, control pane, view)
    // after the focus's own, `direction` 1 onwards and -1 back, round.
    void FocusNextRegion(int direction);
    void HoldShortcut(QAction* action, bool usable);
    // The document's remarks on the file it loaded last, as sentences; none
    // after a failure.
    QStringList TakeDocumentNotes();

    // main_frame_commands.cpp: the handlers the command table names.
    void RunFileCommand(int command);
    void SetDisplayStyle(int style);
    void StartJob(int command);
    void SwitchLanguageCommand(int command);
    void OpenHelp();
    void ShowAbout();
    void SetApplicationLook(int look);
    void ShowJobProgress(Job jobFlags);
    // A long job (formula, import, resize) ended, applied or cancelled: the
    // panel shows the point count and frequency, the view the waveform.
    void LongJobEnded();
    // The end of a file command (Import Data's on its worker too): the
    // outcome and the reader's notes in one box; a load redraws and
    // refreshes the panel.
    void FileCommandEnded(int successItem, bool done, bool loaded);
    void SaveImage();
    void Connect();
    void ChooseColour(int command);
    void EditPoints();
    void EnterFormula();
    void OpenSweep();
    void UndoArbitrary(bool redo);
    void Print();
    void PrintPreview();

    LanguageTable& languages_;
    CZorbelDoc& document_;
    const ProgramPaths paths_;
    std::unique_ptr<DocumentMessageBoxes> documentMessages_;
    QtTranslation qtTranslation_;  // Qt's own dialogs in the current language

    struct Command {
        QAction* action;
        const CommandRow* row;
    };
    std::map<int, Command> commands_;
    QMenu* languageMenu_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QDockWidget* controlPane_ = nullptr;
    QLabel* linkIndicator_ = nullptr;
    QLabel* stateIndicator_ = nullptr;
    QLabel* outcomeIndicator_ = nullptr;
    QTimer* updateTimer_ = nullptr;

    // Their widgets belong to the pane and to the frame (central widget).
    std::unique_ptr<ControlPanelHost> panelHost_;
    ShellPanel* panel_ = nullptr;
    CZorbelView* view_ = nullptr;  // the waveform view, with its threads and the progress dialog
    int applicationLook_ = 0;
    int frameDecorationHeight_ = -1;  // title bar and borders, once the window manager tells
    bool firstStartSize_ = false;
    bool shutDown_ = false;
    bool busyReported_ = false;  // the busy message was shown for the present refusal

    QPointer<QDialog> sweepDialog_;  // modeless: the user stops the sweep from it

    std::unique_ptr<SessionBridge> session_;  // stopped before the widgets go
};

}  // namespace zorbel
