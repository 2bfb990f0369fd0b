// CDlgProgressBar: the modal dialog shown while a long job runs. It names
// the job and shows a bar: for an instrument job one that sweeps every two
// seconds (an arbitrary download shows the fraction of points already sent
// instead), closing itself within one 20 ms tick of the job's end or when
// the session falls back to demo mode, the second job of a Read or Write
// Operation (the settings after the limits) keeping it open; for a job of
// the program's own (a formula, an import, a resize) the fraction its
// worker reports, until its owner calls Finish.
//
// Cancel: a dialog given a cancel callback has a Cancel button, and Escape
// and the window's close press it: the callback runs once, the button is
// disabled and the label says "Cancelling..."; the dialog stays until the
// job has ended. Without a callback there is no button, and Escape and the
// window's close do nothing, so the window stays blocked and no second job
// can be started behind it.
#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>

#include "zorbel/model/session_state.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace zorbel {

class DeviceSettings;

inline constexpr int kProgressDialogId = 318;
inline constexpr int kProgressBarId = 1201;
inline constexpr int kProgressLabelId = 1202;
inline constexpr int kProgressCancelId = 2;  // IDCANCEL

class CDlgProgressBar final : public QDialog {
public:
    static constexpr int kTickMs = 20;
    // What Cancel asks for; called on the interface thread, once.
    using CancelCallback = std::function<void()>;
    // The job's share done, 0 to 1; read on the interface thread every tick.
    using FractionSource = std::function<double()>;

    // An instrument job. `jobFlags`: the job flags when the job was
    // announced; the dialog closes as soon as they are different, unless
    // only some of them are left. `cancel`, when set, stops the job (the
    // session's own cancel); the dialog still closes on the job's end.
    CDlgProgressBar(const DeviceSettings& settings, Job jobFlags, const QString& label, QWidget* parent = nullptr,
                    CancelCallback cancel = {});
    // A job of the program's own, named `label`; its owner closes the dialog
    // with Finish once the job has ended (cancelled or not).
    CDlgProgressBar(const QString& label, FractionSource fraction, CancelCallback cancel, QWidget* parent = nullptr);

    // The next job of the same operation (limits read, now the settings):
    // the dialog stays and follows that one.
    void Follow(Job jobFlags, const QString& label);

    Job JobFlags() const { return jobFlags_; }
    int Position() const;  // 0 to 100
    QString Label() const;
    QPushButton* CancelButton() const { return cancelButton_; }  // nullptr without a callback
    bool CancelRequested() const { return cancelled_; }

    // Escape and the window's close: Cancel when there is one, else nothing.
    void reject() override;
    // The owner's end of a job of the program's own.
    void Finish() { done(QDialog::Accepted); }
    // The program's own way to put the dialog away (the view shutting down).
    void Dismiss() { done(QDialog::Rejected); }

private:
    void Build(const QString& label);
    void Tick();
    void Cancel();

    const DeviceSettings* settings_ = nullptr;  // an instrument job's
    FractionSource fraction_;                   // a job of the program's own
    CancelCallback cancel_;
    Job jobFlags_ = Job::None;
    int step_ = 0;  // 0..99, the sweeping bar
    bool cancelled_ = false;
    QLabel* label_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QTimer* timer_ = nullptr;
};

}  // namespace zorbel
