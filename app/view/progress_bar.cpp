// The job progress dialog.
#include "zorbel/view/progress_bar.h"

#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

#include "zorbel/dialogs/control_texts.h"
#include "zorbel/model/device_settings.h"

namespace zorbel {
namespace {

constexpr int kWidth = 320;  // about the template's 196 x 53 dialog units
constexpr int kHeight = 86;

}  // namespace

CDlgProgressBar::CDlgProgressBar(const DeviceSettings& settings, Job jobFlags, const QString& label, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      settings_(settings),
      jobFlags_(jobFlags),
      label_(new QLabel(label, this)),
      bar_(new QProgressBar(this)),
      timer_(new QTimer(this)) {
    setProperty(kControlIdProperty, kProgressDialogId);
    setModal(true);
    setFixedSize(kWidth, kHeight);
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

void CDlgProgressBar::Tick() {
    const Job now = settings_.JobFlags();
    // Read and Write Operation are two jobs in a row (limits, then the
    // settings): the dialog stays for the second instead of flickering off
    // and on; its label follows with the second job's notice.
    if (now != Job::None && now != jobFlags_ && !Any(now, ~jobFlags_)) jobFlags_ = now;
    if (now != jobFlags_ || settings_.DemoFlag() != 0) {
        timer_->stop();
        accept();
        return;
    }
    if (Any(jobFlags_, Job::ArbitraryDownload)) {
        // A download of millions of points takes long: show how far it is.
        const auto [sent, length] = settings_.ReadRecord(settings_.CurrentChannel(), [](const ChannelRecord& r) {
            return std::pair<std::uint64_t, std::uint64_t>{r.arbitrarySent, r.arbitraryLength};
        });
        bar_->setValue(length > 0 ? static_cast<int>(std::min<std::uint64_t>(sent, length) * 100 / length) : 0);
        return;
    }
    step_ = (step_ + 1) % 100;
    bar_->setValue(step_ + 1);
}

}  // namespace zorbel
