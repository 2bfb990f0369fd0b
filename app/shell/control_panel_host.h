// The channel control panel in the "Control Bar" pane, as the frame sees it:
// CDlgCtrlDDS attached to the document's model, redrawing through the frame's
// view, relabelled by the program's language table.
#pragma once

#include <QWidget>

#include "shell_interfaces.h"
#include "zorbel/dialogs/ctrl_dds.h"

namespace zorbel {

class ControlPanelHost final : public ShellPanel {
public:
    // `settings` and `view` must outlive the host (Detach first otherwise).
    ControlPanelHost(DeviceSettings& settings, RedrawSink& view, QWidget* parent);
    ~ControlPanelHost() override { Detach(); }

    QWidget* Widget() override { return panel_; }
    void RefreshPanel() override;
    void Retranslate(const LanguageTable& languages) override;

    // The model is about to go: no control changes anything any more.
    void Detach() { panel_->Attach(nullptr, nullptr); }
    CDlgCtrlDDS& Panel() { return *panel_; }
    // Width at which the panel shows without a horizontal scroll bar (a
    // vertical one may still appear on a short screen).
    int PreferredWidth() const;
    // How often the panel was brought in line with the model (for tests).
    int RefreshCount() const { return refreshCount_; }

private:
    CDlgCtrlDDS* panel_;  // owned by its Qt parent
    int refreshCount_ = 0;
};

}  // namespace zorbel
