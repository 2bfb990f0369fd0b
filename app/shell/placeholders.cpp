// The placeholder view.
#include "placeholders.h"

#include <QLabel>
#include <QVBoxLayout>

namespace zorbel {

PlaceholderView::PlaceholderView(QWidget* parent) : QWidget(parent) {
    auto* note = new QLabel(QStringLiteral("The waveform view will appear here."), this);
    note->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    setAccessibleName(QStringLiteral("Waveform view"));
}

void PlaceholderView::RequestRedraw(RefreshMask mask) {
    refreshMask_.fetch_or(ToNumber(mask));
    QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection);
}

}  // namespace zorbel
