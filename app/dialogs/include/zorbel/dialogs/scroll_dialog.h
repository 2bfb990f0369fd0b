// CScrollDialog: the base of the control panel. Its contents keep at least
// their natural size; when the pane is smaller, both scroll bars become
// usable, and scrolling by line or page never moves past either end.
#pragma once

#include <QScrollArea>

namespace zorbel {

class CScrollDialog : public QScrollArea {
public:
    explicit CScrollDialog(QWidget* parent = nullptr);

    // The scrolled contents: derived dialogs build their controls on it.
    QWidget* Body() const { return body_; }

private:
    QWidget* body_;
};

}  // namespace zorbel
