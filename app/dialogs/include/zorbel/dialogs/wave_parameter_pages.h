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
#include <string>
#include <vector>

#include "zorbel/dialogs/control_texts.h"
#include "zorbel/dialogs/dialog_links.h"
#include "zorbel/model/device_settings.h"

class QGridLayout;

namespace zorbel {

class CEditEx;

// Background of the panel and its pages.
inline const QColor kPanelColour{236, 233, 216};

class CDlgWaveParameter : public QWidget {
    Q_OBJECT

public:
    std::uint16_t WaveType() const { return waveType_; }

    // The model and the view (either may be nullptr). Until the model is
    // attached, and again once it is detached, leaving a field does nothing.
    void Attach(DeviceSettings* settings, ViewRedraw* view);
    // Where refusals are shown; a message box over the page until set.
    void SetMessageSink(MessageSink sink) { messages_ = std::move(sink); }
    // Called after a frequency change, so that the panel's frequency group
    // follows (the panel sets it to its UpdatePanel).
    void SetPanelUpdate(std::function<void()> update) { panelUpdate_ = std::move(update); }

    // Shows the current channel's values.
    virtual void UpdatePage();
    // Captions from the language (template captions where it has none).
    void Retranslate(const LanguageLookup& languageText) { TranslateControls(this, languageText); }

protected:
    CDlgWaveParameter(std::uint16_t waveType, QWidget* parent);

    // A row of a label (the field's buddy) and a number field.
    CEditEx* AddField(int labelId, int editId, const char* label, std::uint16_t decimals);
    // A row of one control across both columns.
    void AddWide(QWidget* control);

    DeviceSettings* Settings() const { return settings_; }
    std::uint16_t Channel() const { return settings_->CurrentChannel(); }
    double ParseField(const CEditEx* edit) const;
    void Refuse(const std::string& message);
    void RequestRedraw(RefreshMask mask);
    void RequestPanelUpdate();

private:
    void ValueFieldLeft(Parameter p, CEditEx* edit);

    std::uint16_t waveType_;
    QGridLayout* grid_;
    std::vector<std::pair<Parameter, CEditEx*>> valueEdits_;
    DeviceSettings* settings_ = nullptr;
    ViewRedraw* view_ = nullptr;
    MessageSink messages_;
    std::function<void()> panelUpdate_;
};

class CDlgWaveParameterSine final : public CDlgWaveParameter {
public:
    explicit CDlgWaveParameterSine(QWidget* parent = nullptr) : CDlgWaveParameter(kWaveSine, parent) {}
};

class CDlgWaveParameterSquare final : public CDlgWaveParameter {
public:
    explicit CDlgWaveParameterSquare(QWidget* parent = nullptr) : CDlgWaveParameter(kWaveSquare, parent) {}
};

class CDlgWaveParameterRamp final : public CDlgWaveParameter {
public:
    explicit CDlgWaveParameterRamp(QWidget* parent = nullptr) : CDlgWaveParameter(kWaveRamp, parent) {}
};

class CDlgWaveParameterPulse final : public CDlgWaveParameter {
public:
    explicit CDlgWaveParameterPulse(QWidget* parent = nullptr) : CDlgWaveParameter(kWavePulse, parent) {}
};

class CDlgWaveParameterNoise final : public CDlgWaveParameter {
public:
    explicit CDlgWaveParameterNoise(QWidget* parent = nullptr) : CDlgWaveParameter(kWaveNoise, parent) {}
};

class CDlgWaveParameterArbitrary final : public CDlgWaveParameter {
public:
    explicit CDlgWaveParameterArbitrary(QWidget* parent = nullptr);
    void UpdatePage() override;

private:
    void FrequencyLeft();
    void PointCountLeft();
    void DividerLeft();
    void ShowArbitraryControls();
    void Write();

    CEditEx* frequency_;
    CEditEx* pointCount_;
    CEditEx* divider_;
};

}  // namespace zorbel
