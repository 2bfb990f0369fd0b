// The job progress dialog, for instrument jobs and the program's own.
#include "zorbel/view/progress_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "zorbel/dialogs/control_texts.h"
#include "zorbel/dialogs/program_texts.h"
#include "zorbel/model/device_settings.h"

namespace zorbel {
namespace {

constexpr int kWidth = 320;  // about the template's 196 x 53 dialog units
constexpr int kHeight = 86;
constexpr int kButtonRow = 36;  // the Cancel button's row

}  // namespace

CDlgProgressBar::CDlgProgressBar(const DeviceSettings& settings, Job jobFlags, const QString& label, QWidget* parent,
                                 CancelCallback cancel)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      settings_(&settings),
      cancel_(std::move(cancel)),
      jobFlags_(jobFlags) {
    Build(label);
}

CDlgProgressBar::CDlgProgressBar(const QString& label, FractionSource fraction, CancelCallback cancel, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      fraction_(std::move(fraction)),
      cancel_(std::move(cancel)) {
    Build(label);
}

void CDlgProgressBar::Build(const QString& label) {
    label_ = new QLabel(label, this);
    bar_ = new QProgressBar(this);
    timer_ = new QTimer(this);
    setProperty(kControlIdProperty, kProgressDialogId);
    setModal(true);
    setFixedSize(kWidth, cancel_ ? kHeight + kButtonRow : kHeight);
    setAccessibleName(label);
    label_->setProperty(kControlIdProperty, kProgressLabelId);
    bar_->setProperty(kControlIdProperty, kProgressBarId);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    bar_->setAccessibleName(label);
    // White ground, green bar, as the users know it.
    bar_->setStyleSheet(
        QStringLiteral("QProgressBar { background: white; border: 1px solid gray; }"
                       "QProgressBar::chunk { background: rgb(0, 255, 0); }"));
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);
    auto* inner = new QVBoxLayout(frame);
    inner->addWidget(label_);
    inner->addWidget(bar_);
    if (cancel_) {
        cancelButton_ = new QPushButton(ProgramText(Text::Cancel), this);
        cancelButton_->setProperty(kControlIdProperty, kProgressCancelId);
        cancelButton_->setAutoDefault(false);
        auto* row = new QHBoxLayout;
        row->addStretch();
        row->addWidget(cancelButton_);
        inner->addLayout(row);
        connect(cancelButton_, &QPushButton::clicked, this, [this] { Cancel(); });
    }
    connect(timer_, &QTimer::timeout, this, [this] { Tick(); });
    timer_->start(kTickMs);
}

void CDlgProgressBar::Follow(Job jobFlags, const QString& label) {
    jobFlags_ = jobFlags;
    label_->setText(label);
    setAccessibleName(label);
    bar_->setAccessibleName(label);
    step_ = 0;
    bar_->setValue(0);
}

int CDlgProgressBar::Position() const { return bar_->value(); }

QString CDlgProgressBar::Label() const { return label_->text(); }

void CDlgProgressBar::reject() {
    if (cancel_) Cancel();
}

void CDlgProgressBar::Cancel() {
    if (cancelled_ || !cancel_) return;
    cancelled_ = true;
    cancelButton_->setEnabled(false);
    label_->setText(ProgramText(Text::Cancelling));
    cancel_();
}

void CDlgProgressBar::Tick() {
    if (fraction_) {
        bar_->setValue(static_cast<int>(std::clamp(fraction_(), 0.0, 1.0) * 100));
        return;
    }
    const DeviceSettings& settings = *settings_;
    const Job now = settings.JobFlags();
    // Read and Write Operation are two jobs in a row (limits, then the
    // settings): the dialog stays for the second instead of flickering off
    // and on; its label follows with the second job's notice.
    if (now != Job::None && now != jobFlags_ && !Any(now, ~jobFlags_)) jobFlags_ = now;
    if (now != jobFlags_ || settings.DemoFlag() != 0) {
        timer_->stop();
        accept();
        return;
    }
    if (Any(jobFlags_, Job::ArbitraryDownload)) {
        // A download of millions of points takes long: show how far it is.
        const auto [sent, length] = settings.ReadRecord(settings.CurrentChannel(), [](const ChannelRecord& r) {
            return std::pair<std::uint64_t, std::uint64_t>{r.arbitrarySent, r.arbitraryLength};
        });
        bar_->setValue(length > 0 ? static_cast<int>(std::min<std::uint64_t>(sent, length) * 100 / length) : 0);
        return;
    }
    step_ = (step_ + 1) % 100;
    bar_->setValue(step_ + 1);
}

}  // namespace zorbel
