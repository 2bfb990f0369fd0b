// The control panel hosted in the frame's pane.
#include "control_panel_host.h"

#include <QScrollBar>

#include "language_table.h"

namespace zorbel {

ControlPanelHost::ControlPanelHost(DeviceSettings& settings, RedrawSink& view, QWidget* parent)
    : panel_(new CDlgCtrlDDS(parent)) {
    panel_->Attach(&settings, &view);
}

int ControlPanelHost::PreferredWidth() const {
    return panel_->widget()->sizeHint().width() + panel_->verticalScrollBar()->sizeHint().width();
}

void ControlPanelHost::RefreshPanel() {
    ++refreshCount_;
    panel_->UpdatePanel();
}

void ControlPanelHost::Retranslate(const LanguageTable& languages) {
    panel_->Retranslate([&languages](int id) { return languages.LanguageText(id); });
}

}  // namespace zorbel
