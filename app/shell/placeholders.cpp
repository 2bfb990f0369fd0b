// The placeholder panel and view.
#include "placeholders.h"

#include <QVBoxLayout>

#include "language_table.h"

namespace zorbel {

PlaceholderPanel::PlaceholderPanel(QWidget* parent) : QWidget(parent), note_(new QLabel(this)) {
    note_->setText(QStringLiteral("The channel control panel will appear here."));
    note_->setWordWrap(true);
    note_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    note_->setTextInteractionFlags(Qt::TextSelectableByKeyboard);
    // Reachable with Tab, so that a screen reader user finds the pane (set
    // after the flags, which choose a focus policy of their own).
    note_->setFocusPolicy(Qt::TabFocus);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note_);
    layout->addStretch();
}

void PlaceholderPanel::Retranslate(const LanguageTable& languages) { languages.TranslateDialog(this); }

PlaceholderView::PlaceholderView(QWidget* parent) : QWidget(parent) {
    auto* note = new QLabel(QStringLiteral("The waveform view will appear here."), this);
    note->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    setAccessibleName(QStringLiteral("Waveform view"));
}

void PlaceholderView::RequestRedraw(std::uint32_t mask) {
    refreshMask_.fetch_or(mask);
    QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection);
}

}  // namespace zorbel
