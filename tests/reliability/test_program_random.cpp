// Random input to the whole program, in process and headless, against
// zorbel-gensim: clicks, keys, typed text, wheel and drags on the panel, its
// pages, the view and whatever dialog opens, menu commands with their file
// dialogs answered or cancelled, channel and wave type switches; text put
// into fields directly, as an assistive tool or an input method does (any
// characters, huge numbers, commas); Cancel at random moments of jobs and
// long operations; sweeps started and stopped; language switches between
// the built-in texts, German and a second language. After every
// step: the interface thread never stood still for a second, the simulator
// holds only values within the limits the program read, and the model's
// records keep their rules.
//
// Without ZORBEL_RANDOM_SEED the suite's own seed runs, so that its result
// repeats; ZORBEL_RANDOM_SEED picks another (the seed is printed on a
// failure), ZORBEL_RANDOM_STEPS sets the length (scripts/stress runs a long
// one with a fresh seed),
// ZORBEL_RANDOM_TRACE=1 lists every action.
#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QWheelEvent>

#include <cstdlib>
#include <deque>
#include <random>

#include "menu_template.h"
#include "messages.h"
#include "program_harness.h"
#include "shell_fixture.h"
#include "sim_clients.h"
#include "sim_process.h"
#include "zorbel/dialogs/edit_ex.h"
#include "zorbel/dialogs/formula_dialog.h"
#include "zorbel/dialogs/small_dialogs.h"
#include "zorbel/dialogs/sweep_dialog.h"
#include "zorbel/numbers.h"
#include "zorbel/view/progress_bar.h"
#include "zorbel/view/zorbel_view.h"

namespace zorbel::test {
namespace {

using namespace std::chrono_literals;

std::uint64_t EnvironmentNumber(const char* name, std::uint64_t otherwise) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtoull(text, nullptr, 10) : otherwise;
}

// Menu commands a user may choose at random; Exit is the test's to choose.
constexpr int kCommands[] = {
    kCmdLoadData,
    kCmdLoadSetup,
    kCmdSaveData,
    kCmdSaveSetup,
    kCmdSaveImage,
    kCmdImportData,
    kCmdExportData,
    kCmdConnect,
    kCmdAdvance,
    kCmdVectors,
    kCmdDots,
    kCmdColourCh1,
    kCmdColourCh2,
    kCmdColourGridScale,
    kCmdColourMainLine,
    kCmdColourSubLine,
    kCmdEditPoints,
    kCmdFormula,
    kCmdUndo,
    kCmdRedo,
    kCmdDemo,
    kCmdReadOperation,
    kCmdWriteOperation,
    kCmdSyncMachine,
    kCmdHorizontalZoomIn,
    kCmdHorizontalZoomOut,
    kCmdHorizontalMove,
    kCmdVerticalZoomIn,
    kCmdVerticalZoomOut,
    kCmdVerticalMove,
    kCmdSweep,
    kCmdDefaultLanguage,
    kCmdFirstLanguage,      // Deutsch.lug
    kCmdFirstLanguage + 1,  // shouty.lug
    kCmdContent,
    kCmdPrint,
    kCmdPrintPreview,
    kCmdAbout,
    kCmdToolBar,
    kCmdStatusBar,
    kCmdControlBar,
    kCmdLookFirst + 3,
};

const Qt::Key kKeys[] = {
    Qt::Key_0,      Qt::Key_5,         Qt::Key_9,      Qt::Key_Minus,    Qt::Key_Plus, Qt::Key_Period,
    Qt::Key_Comma,  Qt::Key_E,         Qt::Key_K,      Qt::Key_M,        Qt::Key_Tab,  Qt::Key_Backtab,
    Qt::Key_Return, Qt::Key_Enter,     Qt::Key_Escape, Qt::Key_Space,    Qt::Key_Up,   Qt::Key_Down,
    Qt::Key_Left,   Qt::Key_Right,     Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End,
    Qt::Key_Delete, Qt::Key_Backspace, Qt::Key_F6,     Qt::Key_F12,      Qt::Key_Menu, Qt::Key_A,
};

const Qt::KeyboardModifiers kModifiers[] = {
    Qt::NoModifier,    Qt::NoModifier,      Qt::NoModifier,  Qt::NoModifier,
    Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier, Qt::ControlModifier | Qt::ShiftModifier};

// Captions of the panel's channel and wave type buttons (built-in and
// shouty; German).
const QStringList kSwitches = {"CH1", "CH2",      "SINE",  "SQUARE", "RAMP",     "PULSE",   "NOISE",
                               "ARB", "Rechteck", "Sinus", "Rampe",  "Rauschen", "Arbiträr"};

// Texts an assistive tool or an input method may put into a field whole:
// numbers as people write them, too large for any type, in other scripts.
const QString kFieldTexts[] = {"1,5",
                               "1,000.25",
                               "1.000,5",
                               ",5",
                               "5,",
                               "0,001",
                               "-0,0004",
                               "1e308",
                               "-1.8e308",
                               "4.9e-324",
                               "99999999999999999999999999999999",
                               "18446744073709551616",
                               "4294967296",
                               "-2147483649",
                               "１２３",
                               "٣٫٥",
                               "−1",
                               "1 000",
                               "1 000",
                               "½",
                               "Ω",
                               "😀",
                               "abc",
                               "",
                               " 2.5 ",
                               "0x10",
                               "1e5",
                               "1E+05",
                               "+-1",
                               "--1",
                               "1..2",
                               "1,,2",
                               "­1",
                               "1​2",
                               "NaN",
                               "-inf"};

// Keeps the frame open: its Exit, reached by a random key, would end the run.
class KeepOpen final : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::Close && keep; }
    bool keep = true;
};

class RandomUser {
public:
    RandomUser(std::uint32_t seed, CMainFrame& frame, const QString& folder, const std::string& simulatorAddress)
        : random_(seed), frame_(frame), folder_(folder), simulator_(simulatorAddress) {}

    // One action on the program, described for the failure report.
    std::string Step() {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* progress = dynamic_cast<CDlgProgressBar*>(modal)) {
            // Cancel at a random moment of a job or a long operation.
            if (progress->CancelButton() && progress->CancelButton()->isEnabled() && Chance(20)) {
                if (Chance(50))
                    progress->CancelButton()->click();
                else
                    QTest::keyClick(progress, Qt::Key_Escape);
                return "Cancel in the progress dialog '" + progress->Label().left(30).toStdString() + "'";
            }
            return Settle(Number(5, 40), "waited under the progress dialog");
        }
        if (modal) return Settle(20, "waited under a modal window");
        switch (Pick({30, 18, 14, 8, 8, 10, 7, 5, 8, 4, 4})) {
        case 0:
            return Click(&frame_);
        case 1:
            return Key(&frame_);
        case 2:
            return Type(&frame_);
        case 3:
            return Wheel(&frame_);
        case 4:
            return Drag(Chance(50) ? frame_.View().Widget() : AnyWidget(&frame_));
        case 5:
            return Command();
        case 6:
            return Switch();
        case 7:
            return Settle(Number(20, 300), "waited");
        case 8:
            return SetText(&frame_);
        case 9:
            return JobCancelled();
        default:
            return Sweep();
        }
    }

    // The modal answerer's policy: a few random actions in the window, then
    // it goes as its kind allows. Connect only ever chooses the simulator.
    std::string AnswerWindow(QWidget* window, int ticks) {
        const std::string name = window->metaObject()->className();
        if (auto* connect = qobject_cast<CDlgConnect*>(window)) {
            if (Chance(50)) {
                (Chance(50) ? connect->LanButton() : connect->UsbButton())->click();
                connect->AddressField()->setText(QString::fromStdString(simulator_));
                connect->accept();
                return "Connect: OK";
            }
            connect->reject();
            return "Connect: cancelled";
        }
        if (auto* formula = qobject_cast<CDlgFormula*>(window); formula && ticks > 0 && Chance(30)) {
            // A formula that works: a long operation for a large waveform.
            const char* const formulas[] = {"sin(2*pi*x)", "n/N*4-2", "x<0.5 ? 1 : -1", "rnd()"};
            const char* chosen = formulas[Number(0, std::size(formulas) - 1)];
            formula->FormulaField()->setText(chosen);
            formula->accept();
            return std::string("Formula: ") + chosen;
        }
        // Printing would reach a real printer: never further than the dialog.
        if (qobject_cast<QPrintDialog*>(window) || qobject_cast<QPrintPreviewDialog*>(window) || ticks > 40 ||
            (ticks > 0 && Chance(25))) {
            ModalAnswerer::Close(window);
            return name + ": closed";
        }
        if (qobject_cast<QMenu*>(window)) {
            const Qt::Key keys[] = {Qt::Key_Down, Qt::Key_Up,     Qt::Key_Right,
                                    Qt::Key_Left, Qt::Key_Escape, Qt::Key_Return};
            const Qt::Key key = keys[Number(0, std::size(keys) - 1)];
            QTest::keyClick(window, key);
            return name + ": key " + std::to_string(key);
        }
        switch (Pick({40, 30, 20, 10, 10})) {
        case 0:
            return name + ": " + Click(window);
        case 1:
            return name + ": " + Key(window);
        case 2:
            return name + ": " + Type(window);
        case 3:
            return name + ": " + Wheel(window);
        default:
            return name + ": " + SetText(window);
        }
    }

private:
    int Number(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool Chance(int percent) { return Number(0, 99) < percent; }
    std::size_t Pick(std::initializer_list<double> weights) {
        std::discrete_distribution<std::size_t> d(weights);
        return d(random_);
    }

    // A visible, enabled widget of `root` (root included).
    QWidget* AnyWidget(QWidget* root) {
        if (!root) return nullptr;
        QList<QWidget*> candidates{root};
        for (QWidget* w : root->findChildren<QWidget*>())
            if (w->isVisible() && w->isEnabled() && w->width() > 0 && w->height() > 0) candidates << w;
        return candidates[Number(0, static_cast<int>(candidates.size()) - 1)];
    }
    QPoint AnyPoint(QWidget* w) {
        return {Number(0, std::max(0, w->width() - 1)), Number(0, std::max(0, w->height() - 1))};
    }
    static std::string NameOf(QWidget* w) {
        const QString name = w->accessibleName().isEmpty() ? w->objectName() : w->accessibleName();
        return std::string(w->metaObject()->className()) + " '" + name.left(30).toStdString() + "'";
    }

    std::string Settle(int ms, const std::string& what) {
        WaitFor([] { return false; }, std::chrono::milliseconds(ms));
        return what + " " + std::to_string(ms) + " ms";
    }

    std::string Click(QWidget* root) {
        QWidget* w = AnyWidget(root);
        if (!w) return "no widget to click";
        const Qt::MouseButton buttons[] = {Qt::LeftButton, Qt::LeftButton, Qt::LeftButton, Qt::RightButton,
                                           Qt::MiddleButton};
        const Qt::MouseButton button = buttons[Number(0, 4)];
        const QPoint at = AnyPoint(w);
        const QPointer<QWidget> alive(w);
        if (Chance(10))
            QTest::mouseDClick(w, button, Qt::NoModifier, at);
        else
            QTest::mouseClick(w, button, kModifiers[Number(0, std::size(kModifiers) - 1)], at);
        return "click " + std::to_string(button) + " at " + std::to_string(at.x()) + "," + std::to_string(at.y()) +
               " on " + (alive ? NameOf(alive) : "a widget it closed");
    }

    std::string Key(QWidget* root) {
        QWidget* focus = QApplication::focusWidget();
        QWidget* w = focus && (focus == root || root->isAncestorOf(focus)) && Chance(70) ? focus : AnyWidget(root);
        if (!w) return "no widget for a key";
        const std::string name = NameOf(w);
        if (Chance(3)) {
            // The calibration command: refused, or its dialog.
            QTest::keySequence(w, CalibrationShortcuts()[1]);
            return "Ctrl+Shift+F12 on " + name;
        }
        const Qt::Key key = kKeys[Number(0, std::size(kKeys) - 1)];
        const Qt::KeyboardModifiers modifiers = kModifiers[Number(0, std::size(kModifiers) - 1)];
        QTest::keyClick(w, key, modifiers);
        return "key " + std::to_string(key) + " modifiers " + std::to_string(modifiers.toInt()) + " on " + name;
    }

    QString RandomText() {
        static const QString kPieces[] = {"0", "1",    "9",  "-",      "+",  ".",     ",",   "e",   "E+",   "e-3",
                                          "k", "M",    "Hz", "mV",     " ",  "1e999", "nan", "inf", "0x1F", "２",
                                          "µ", "中文", "ü",  "\u00A0", "\t", "'",     "%G",  "%s",  "\\"};
        QString text;
        const int length = Chance(5) ? Number(200, 1200) : Number(0, 12);
        while (text.size() < length) text += kPieces[Number(0, std::size(kPieces) - 1)];
        return text;
    }

    std::string Type(QWidget* root) {
        QList<QLineEdit*> fields;
        for (QLineEdit* f : root->findChildren<QLineEdit*>())
            if (f->isVisible() && f->isEnabled()) fields << f;
        if (fields.isEmpty()) return "no field to type in";
        QLineEdit* field = fields[Number(0, static_cast<int>(fields.size()) - 1)];
        const std::string name = NameOf(field);
        const QString text = RandomText();
        const QPointer<QLineEdit> alive(field);
        field->setFocus(Qt::TabFocusReason);
        if (Chance(70)) QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        for (int at = 0; alive && at < text.size(); ++at) {
            // Any character, as an input method delivers it: QTest's own
            // typing knows only ASCII.
            const QChar c = text[at];
            const auto key = c.unicode() < 128 && c.isLetterOrNumber() ? static_cast<Qt::Key>(c.toUpper().unicode())
                                                                       : Qt::Key_unknown;
            QTest::sendKeyEvent(QTest::Click, alive, key, QString(c), Qt::NoModifier);
            // A person's keys come with the event loop running between them:
            // hundreds in one go would be the test's silence, not the program's.
            if (at % 16 == 15) QCoreApplication::processEvents();
        }
        const Qt::Key ends[] = {Qt::Key_Return, Qt::Key_Tab, Qt::Key_Escape, Qt::Key_unknown};
        const Qt::Key end = ends[Number(0, 3)];
        if (alive && end != Qt::Key_unknown) QTest::keyClick(alive, end);
        return "typed '" + text.left(40).toStdString() + "' (" + std::to_string(text.size()) + " characters), key " +
               std::to_string(end) + " in " + name;
    }

    QString FieldText() {
        if (Chance(50)) return kFieldTexts[Number(0, std::size(kFieldTexts) - 1)];
        QString text = RandomText();
        if (Chance(30)) text += kFieldTexts[Number(0, std::size(kFieldTexts) - 1)];
        return text;
    }

    // Text put into a field whole, as an assistive tool or an input method
    // does, past the keystroke filter: by the edit itself, by the
    // accessibility value, or as an edit of the accessible text; then the
    // field is left, Enter pressed, or nothing.
    std::string SetText(QWidget* root) {
        QList<QLineEdit*> fields, numbers;
        for (QLineEdit* f : root->findChildren<QLineEdit*>()) {
            if (!f->isVisible() || !f->isEnabled()) continue;
            fields << f;
            if (qobject_cast<CEditEx*>(f)) numbers << f;
        }
        const QList<QLineEdit*>& from = !numbers.isEmpty() && Chance(75) ? numbers : fields;
        if (from.isEmpty()) return "no field to set";
        QLineEdit* field = from[Number(0, static_cast<int>(from.size()) - 1)];
        const std::string name = NameOf(field);
        const QString text = FieldText();
        const QPointer<QLineEdit> alive(field);
        QAccessibleInterface* access = QAccessible::queryAccessibleInterface(field);
        const int way = Number(0, 3);
        const char* const ways[] = {"setText", "accessible value", "accessible replace", "accessible insert"};
        if (way == 0 || !access) {
            field->setText(text);
        } else if (way == 1) {
            access->setText(QAccessible::Value, text);
        } else if (QAccessibleEditableTextInterface* editable = access->editableTextInterface()) {
            const int length = static_cast<int>(field->text().size());
            if (way == 2)
                editable->replaceText(0, length, text);
            else
                editable->insertText(Number(0, length), text);
        }
        const Qt::Key ends[] = {Qt::Key_Return, Qt::Key_Tab, Qt::Key_unknown, Qt::Key_unknown};
        const Qt::Key end = ends[Number(0, 3)];
        if (alive && end != Qt::Key_unknown) {
            alive->setFocus(Qt::TabFocusReason);
            QTest::keyClick(alive, end);
        } else if (alive && Chance(30)) {
            alive->clearFocus();
        }
        return std::string("set '") + text.left(40).toStdString() + "' (" + std::to_string(text.size()) +
               " characters) by " + ways[access ? way : 0] + ", key " + std::to_string(end) + " in " + name;
    }

    // A Read or Write Operation or a download of the current channel,
    // cancelled a random moment after it started (perhaps after its end: a
    // late cancel is forgotten by the next job), by the progress dialog's
    // Cancel or, as a script would, by the model.
    std::string JobCancelled() {
        DeviceSettings& settings = frame_.Settings();
        std::string what;
        switch (Pick({35, 25, 25, 15})) {
        case 0:
            frame_.RunCommand(kCmdReadOperation);
            what = "Read Operation";
            break;
        case 1:
            frame_.RunCommand(kCmdWriteOperation);
            what = "Write Operation";
            break;
        case 2:
            settings.StartArbitraryDownload(settings.CurrentChannel());
            frame_.Session().Wake();
            what = "download";
            break;
        default:
            what = "no job";
            break;
        }
        const int ms = Number(0, 60);
        WaitFor([] { return false; }, std::chrono::milliseconds(ms));
        auto* progress = dynamic_cast<CDlgProgressBar*>(QApplication::activeModalWidget());
        if (progress && progress->CancelButton() && Chance(70)) {
            progress->CancelButton()->click();
            return what + " cancelled after " + std::to_string(ms) + " ms by its Cancel";
        }
        settings.CancelJob();
        return what + " cancelled after " + std::to_string(ms) + " ms by CancelJob";
    }

    // The Sweep dialog: opened (Utility > Sweep..., only while online), a
    // plan within the limits or any text started, the sweep stopped, or the
    // dialog closed while it runs.
    std::string Sweep() {
        auto* dialog = frame_.findChild<CDlgSweep*>();
        if (!dialog || !dialog->isVisible()) {
            // Offline the command is greyed: a user reads the instrument first.
            if (!frame_.Action(kCmdSweep)->isEnabled() && Chance(50)) {
                frame_.RunCommand(kCmdReadOperation);
                return "Read Operation for a sweep";
            }
            frame_.RunCommand(kCmdSweep);
            dialog = frame_.findChild<CDlgSweep*>();
            if (!dialog || !dialog->isVisible()) return "command Sweep";
        }
        switch (Pick({45, 25, 15, 15})) {
        case 0: {
            const std::uint16_t channel = frame_.Settings().CurrentChannel();
            const LimitsBlock limits = frame_.Settings().CopyLimits(channel);
            const Parameter p = Chance(60) ? Parameter::Frequency : Parameter::Amplitude;
            const double low = limits.Minimum(p), high = std::min(limits.Maximum(p), low + 1e6);
            const auto within = [&] {
                return QString::fromStdString(
                    FormatWindowsG(low + (high - low) * std::uniform_real_distribution<double>(0, 1)(random_)));
            };
            const bool byStep = Chance(20);
            const SweepForm form{p,
                                 within(),
                                 within(),
                                 low > 0 && Chance(30),
                                 byStep,
                                 byStep ? within() : QString::number(Number(2, 20)),
                                 Chance(50) ? "0.01" : "0,03",
                                 QString::number(Number(1, 3)),
                                 Chance(30)};
            dialog->SetForm(form);
            const bool started = dialog->StartSweep();
            return "sweep " + form.start.toStdString() + " to " + form.stop.toStdString() + ", " +
                   form.countOrStep.toStdString() + (form.byStep ? " by step" : " values") +
                   (started ? ": started" : ": " + dialog->Message().left(60).toStdString());
        }
        case 1: {
            SweepForm form = dialog->Form();
            QString* const fields[] = {&form.start, &form.stop, &form.countOrStep, &form.dwellSeconds, &form.repeat};
            *fields[Number(0, std::size(fields) - 1)] = FieldText();
            dialog->SetForm(form);
            const bool started = dialog->StartSweep();
            return "sweep form text: " + std::string(started ? "started" : dialog->Message().left(60).toStdString());
        }
        case 2:
            dialog->StopSweep();
            return "sweep stopped";
        default:
            dialog->reject();
            return "Sweep dialog closed";
        }
    }

    std::string Wheel(QWidget* root) {
        QWidget* w = AnyWidget(root);
        if (!w) return "no widget for the wheel";
        const QPoint at = AnyPoint(w);
        const int delta = (Chance(50) ? 120 : -120) * Number(1, 3);
        const Qt::KeyboardModifiers modifiers = kModifiers[Number(0, std::size(kModifiers) - 1)];
        QWheelEvent wheel(at, w->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, modifiers,
                          Qt::NoScrollPhase, false);
        const std::string name = NameOf(w);
        QApplication::sendEvent(w, &wheel);
        return "wheel " + std::to_string(delta) + " on " + name;
    }

    std::string Drag(QWidget* w) {
        if (!w) return "no widget to drag on";
        const std::string name = NameOf(w);
        const QPointer<QWidget> alive(w);
        const QPoint from = AnyPoint(w);
        QPoint to = from;
        QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, from);
        for (int n = Number(1, 6); n > 0 && alive; --n) {
            to = AnyPoint(alive);
            QTest::mouseMove(alive, to);
        }
        if (alive) QTest::mouseRelease(alive, Qt::LeftButton, Qt::NoModifier, to);
        return "drag " + std::to_string(from.x()) + "," + std::to_string(from.y()) + " to " + std::to_string(to.x()) +
               "," + std::to_string(to.y()) + " on " + name;
    }

    std::string Command() {
        const int command = kCommands[Number(0, std::size(kCommands) - 1)];
        frame_.RunCommand(command);
        return "command " + std::to_string(command);
    }

public:
    // What the file dialog returns, whichever way it was opened (menu,
    // toolbar, shortcut): cancelled, a file of the run under any name, or a
    // place where nothing can be written. A setup is only ever loaded from a
    // file the run saved: a missing ".set" file loads as all defaults with
    // the file format's own limits (setup files are read that way), which
    // are not the instrument's.
    QString ChooseFile(const FileDialogRequest& request) {
        const QString names[] = {"r.set", "r.arb", "r.qwf",      "r.bmp",     "r.jpg",
                                 "r.txt", "R.SET", "none/x.set", "none/x.bmp"};
        QString chosen;
        if (Chance(85)) chosen = folder_ + "/" + names[Number(0, std::size(names) - 1)];
        const bool setupName = chosen.endsWith(".set", Qt::CaseInsensitive);
        if (!request.save && setupName && !QFileInfo::exists(chosen)) chosen.clear();
        if (request.save && setupName && request.defaultSuffix != "set") chosen.clear();
        lastFile_ = chosen.isEmpty() ? "cancelled" : chosen.mid(folder_.size());
        return chosen;
    }
    std::string TakeLastFile() { return std::exchange(lastFile_, {}).toStdString(); }

private:
    std::string Switch() {
        const QString wanted = kSwitches[Number(0, kSwitches.size() - 1)];
        for (QAbstractButton* b : frame_.Panel().Widget()->findChildren<QAbstractButton*>()) {
            if (b->isVisible() && b->isEnabled() && b->accessibleName().compare(wanted, Qt::CaseInsensitive) == 0 &&
                !qobject_cast<QAbstractButton*>(b)->text().isEmpty()) {
                QTest::mouseClick(b, Qt::LeftButton);
                return "switch to " + wanted.toStdString();
            }
        }
        return "no visible " + wanted.toStdString();
    }

    std::mt19937 random_;
    CMainFrame& frame_;
    const QString folder_;
    const std::string simulator_;
    QString lastFile_;
};

class RandomInput : public FrameTest {
protected:
    void SetUp() override {
        std::string error;
        sim_ = Gensim::Start({true, true, {}}, &error);
        ASSERT_NE(sim_, nullptr) << error;
        setenv("QRV_USB_DEVICE", sim_->UsbDevice().c_str(), 1);
        // A calibration started at random finds no oscilloscope (and never scans real USB).
        setenv("QMK_SCOPE_DEVICE", "unix:/nonexistent/zorbel-scope", 1);
    }
    void TearDown() override {
        keepOpen_.keep = false;
        FrameTest::TearDown();
        unsetenv("QRV_USB_DEVICE");
        unsetenv("QMK_SCOPE_DEVICE");
    }

    std::unique_ptr<Gensim> sim_;
    KeepOpen keepOpen_;
};

TEST_F(RandomInput, NoStepBreaksTheProgramsRules) {
    // The suite's known seed. Within its 2000 steps it cancels Read and
    // Write Operations and downloads through the progress dialog and the
    // model, starts and stops sweeps, and switches to German and back.
    constexpr std::uint32_t kSuiteSeed = 2424906883;
    const auto seed = static_cast<std::uint32_t>(EnvironmentNumber("ZORBEL_RANDOM_SEED", kSuiteSeed));
#if defined(__SANITIZE_ADDRESS__)
    constexpr std::uint64_t kSuiteSteps = 6000;  // a couple of minutes under the sanitizers
#else
    constexpr std::uint64_t kSuiteSteps = 2000;
#endif
    const std::uint64_t steps = EnvironmentNumber("ZORBEL_RANDOM_STEPS", kSuiteSteps);
    const bool trace = EnvironmentNumber("ZORBEL_RANDOM_TRACE", 0) != 0;  // every action on standard error
    QFile german(ZORBEL_LANGUAGE_DIR "/Deutsch.lug");
    ASSERT_TRUE(german.open(QIODevice::ReadOnly));
    StartFrame({{"Deutsch.lug", QString::fromUtf8(german.readAll())}, {"shouty.lug", ShoutyLanguageText()}});
    Frame().installEventFilter(&keepOpen_);
    UdpClient simulator(sim_->LanAddress());

    // The instrument's own limits first: they are what every value is held to.
    Frame().RunCommand(kCmdReadOperation);
    ASSERT_TRUE(WaitFor([&] { return SessionIdle(Settings()); }));
    ASSERT_EQ(Settings().LastStatus(), GeneratorStatus::Ok);
    ASSERT_NE(Settings().CopyLimits(0), LimitsBlock::BuiltIn());

    RandomUser user(seed, Frame(), ProgramFolder(), sim_->LanAddress());
    SetFileChooser([&](const FileDialogRequest& request) { return user.ChooseFile(request); });
    std::deque<std::string> recent;  // the last actions, for the report
    std::uint64_t step = 0;
    const auto where = [&] { return "seed " + std::to_string(seed) + " step " + std::to_string(step); };
    InterfaceWatchdog watchdog(where);
    ModalAnswerer answerer([&](QWidget* window, int ticks) { return user.AnswerWindow(window, ticks); });
    const auto report = [&] {
        std::string text =
            "ZORBEL_RANDOM_SEED=" + std::to_string(seed) + ", step " + std::to_string(step) + "; the last actions:\n";
        for (const std::string& a : recent) text += "  " + a + "\n";
        return text;
    };

    std::uint64_t windowsAnswered = 0;
    for (step = 1; step <= steps; ++step) {
        watchdog.Beat();
        recent.push_back(user.Step());
        if (const std::string file = user.TakeLastFile(); !file.empty()) recent.back() += ", file " + file;
        if (trace) std::fprintf(stderr, "%llu %s\n", static_cast<unsigned long long>(step), recent.back().c_str());
        for (std::string& a : answerer.TakeLog()) {
            recent.push_back("  answered " + a);
            ++windowsAnswered;
        }
        while (recent.size() > 30) recent.pop_front();
        const auto silence = watchdog.TakeLongestSilence();
        ASSERT_LE(silence, 1000ms) << "the interface stood still\n" << report();
        std::vector<std::string> broken = RecordsOutsideLimits(Settings());
        for (std::string& b : SimulatorOutsideLimits(simulator, Settings())) broken.push_back(std::move(b));
        watchdog.Beat();  // the checks are the test's time, not the program's
        std::string brokenText;
        for (const std::string& b : broken) brokenText += b + "\n";
        ASSERT_TRUE(broken.empty()) << brokenText << report();
    }
    // Whatever the steps left running ends, and the program still answers: a
    // sweep of any length may have been started from typed text.
    if (const auto run = Settings().Sweep()) run->RequestStop(SweepStopChoice::KeepLast);
    Frame().Session().Wake();
    ASSERT_TRUE(WaitFor([&] { return SessionIdle(Settings()); }, 60s)) << report();
    std::printf("seed %u: %llu random steps, %llu answers in dialogs, menus and message boxes\n", seed,
                static_cast<unsigned long long>(steps), static_cast<unsigned long long>(windowsAnswered));
}

}  // namespace
}  // namespace zorbel::test
