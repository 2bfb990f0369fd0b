// CDlgProgressBar: the modal dialog shown while an instrument job runs. It
// names the job, shows a bar that sweeps every two seconds (an arbitrary
// download shows the fraction of points already sent instead) and closes
// itself within one 20 ms tick of the job's end, or when the session falls
// back to demo mode. The second job of a Read or Write Operation (the
// settings after the limits) keeps it open. The user cannot put it away
// while the job runs: Escape and the window's close do nothing, so the
// window stays blocked and no second job can be started behind it.
#pragma once

#include <QDialog>

#include <cstdint>

#include "zorbel/model/session_state.h"

class QLabel;
class QProgressBar;
class QTimer;

namespace zorbel {

class DeviceSettings;

inline constexpr int kProgressDialogId = 318;
inline constexpr int kProgressBarId = 1201;
inline constexpr int kProgressLabelId = 1202;

class CDlgProgressBar final : public QDialog {
public:
    static constexpr int kTickMs = 20;

    // `jobFlags`: the job flags when the job was announced; the dialog closes
    // as soon as they are different, unless only some of them are left.
    CDlgProgressBar(const DeviceSettings& settings, Job jobFlags, const QString& label, QWidget* parent = nullptr);

    // The next job of the same operation (limits read, now the settings):
    // the dialog stays and follows that one.
    void Follow(Job jobFlags, const QString& label);

    Job JobFlags() const { return jobFlags_; }
    int Position() const;

    // Escape and the window's close end here: a running job's progress stays.
    void reject() override {}
    // The program's own way to put the dialog away (the view shutting down).
    void Dismiss() { done(QDialog::Rejected); }

private:
    void Tick();

    const DeviceSettings& settings_;
    Job jobFlags_;
    int step_ = 0;  // 0..99, the sweeping bar
    QLabel* label_;
    QProgressBar* bar_;
    QTimer* timer_;
};

}  // namespace zorbel
