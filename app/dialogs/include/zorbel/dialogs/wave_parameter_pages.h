// The six wave parameter pages of the control panel. A page is a column of
// labels and number fields for the current channel; a value is taken when its
// field is left (or on Enter), checked against the channel's limits, written
// through the model's setter (which queues the instrument write) and
// announced to the view. The first five pages come from the field table; the
// arbitrary page adds the arbitrary waveform's frequency, point count,
// divider and download.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "zorbel/dialogs/control_texts.h"
#include "zorbel/dialogs/dialog_links.h"
#include "zorbel/dialogs/field_binding.h"
#include "zorbel/model/device_settings.h"

class QGridLayout;
class QLabel;

namespace zorbel {

class CEditEx;

// Background of the panel and its pages.
inline const QColor kPanelColour{236, 233, 216};

// The page of a wave type: 1 to 5 from the field table, 6 (arbitrary) is
// CDlgWaveParameterArbitrary.
class CDlgWaveParameter : public QWidget {
    Q_OBJECT

public:
    CDlgWaveParameter(std::uint16_t waveType, QWidget* parent = nullptr);

    std::uint16_t WaveType() const { return waveType_; }

    // The model and the view (either may be nullptr). Until the model is
    // attached, and again once it is detached, leaving a field does nothing.
    void Attach(DeviceSettings* settings, RedrawSink* view) { site_.Attach(settings, view); }
    // Where refusals are shown; the program's message box until set.
    void SetMessageSink(MessageSink sink) { site_.SetMessageSink(std::move(sink)); }
    // Called after a frequency change, so that the panel's frequency group
    // follows (the panel sets it to its UpdatePanel).
    void SetPanelUpdate(std::function<void()> update) { panelUpdate_ = std::move(update); }

    // Shows the current channel's values.
    virtual void UpdatePage();
    // Captions from the language (template captions where it has none).
    void Retranslate(const LanguageLookup& languageText) {
        TranslateControls(this, languageText);
        ShowPulseWarning();
    }
    // The pulse page's warning line under its fields, in the current
    // language: shown while width, duty and frequency contradict each other
    // (FindPulseConflict), hidden otherwise; nothing on the other pages.
    void ShowPulseWarning();

protected:
    // A row of a label (the field's buddy) and a number field.
    CEditEx* AddField(int labelId, int editId, const char* label, std::uint16_t decimals);
    // A row of one control across both columns.
    void AddWide(QWidget* control);

    DeviceSettings* Settings() const { return site_.Settings(); }
    std::uint16_t Channel() const { return Settings()->CurrentChannel(); }
    const FieldSite& Site() const { return site_; }
    // Binds `edit` to the rule `make` builds for the current channel.
    void Bind(CEditEx* edit, std::function<FieldRule(DeviceSettings&, std::uint16_t channel)> make,
              std::function<void(FieldEntry)> after = {});
    void RequestPanelUpdate();

private:
    std::uint16_t waveType_;
    QGridLayout* grid_;
    std::vector<std::pair<Parameter, CEditEx*>> valueEdits_;
    QLabel* pulseWarning_ = nullptr;  // the pulse page's only
    FieldSite site_{this};
    std::function<void()> panelUpdate_;
};

class CDlgWaveParameterArbitrary final : public CDlgWaveParameter {
public:
    explicit CDlgWaveParameterArbitrary(QWidget* parent = nullptr);
    void UpdatePage() override;

private:
    void ShowArbitraryControls();
    void Write();

    CEditEx* frequency_;
    CEditEx* pointCount_;
    CEditEx* divider_;
};

}  // namespace zorbel
