// CDlgCtrlDDS: the control panel in the "Control Bar" pane, the editing
// surface of the current channel: output switch, channel choice, wave type,
// the page of the wave type's parameters and the frequency with its unit.
// Every accepted change goes through the model's setters, which queue the
// instrument writes; the panel never talks to the instrument itself.
//
// Hosting it: create it, SetMessageSink if refusals are not to go to the
// program's message box (ShowMessage), Retranslate with the language,
// Attach the model and the view, then UpdatePanel. UpdatePanel again whenever the model changed behind the
// panel's back (a settings batch ended, a file was loaded, the language
// changed). Attach(nullptr, nullptr) before the model goes away.
#pragma once

#include <QPushButton>
#include <array>
#include <cstdint>

#include "zorbel/dialogs/control_texts.h"
#include "zorbel/dialogs/dialog_links.h"
#include "zorbel/dialogs/field_binding.h"
#include "zorbel/dialogs/scroll_dialog.h"
#include "zorbel/model/device_settings.h"

class QAbstractButton;
class QGroupBox;
class QLayout;
class QRadioButton;

namespace zorbel {

class CDlgWaveParameter;
class CEditEx;
class ChoiceGroup;

class CDlgCtrlDDS : public CScrollDialog {
    Q_OBJECT

public:
    explicit CDlgCtrlDDS(QWidget* parent = nullptr);

    // The model and the view, for the panel and its six pages; either may be
    // nullptr. Without the model no control changes anything.
    void Attach(DeviceSettings* settings, RedrawSink* view);
    // Where refusals are shown (for the pages too); message boxes until set.
    void SetMessageSink(MessageSink sink);
    // Captions of the panel and the pages from the language (template
    // captions where it has none), the switch's "ON"/"OFF" (items 10000,
    // 10001) and the accessible names that follow the captions.
    void Retranslate(const LanguageLookup& languageText);

    // Brings every control in line with the current channel of the model.
    void UpdatePanel();
    // Shows the page of `type` (none outside 1..6) and makes it the
    // channel's wave type if it is not.
    void SelectWaveType(std::uint16_t type);
    // Shows `frequency` in the frequency group: in `unit` (0 Hz, 1 KHz,
    // 2 MHz), or in the unit SplitFrequency chooses.
    void ShowFrequency(double frequency, std::uint16_t unit);
    void ShowFrequency(double frequency);
    // A unit radio was clicked: the number shown is taken in `unit`.
    void ApplyFrequencyUnit(std::uint16_t unit);

    std::uint16_t FrequencyUnit() const { return shown_.unit; }
    double FrequencyMantissa() const { return shown_.mantissa; }
    // The page of wave type 1..6, else nullptr.
    CDlgWaveParameter* Page(std::uint16_t type) const;

private:
    QLayout* BuildTop(QWidget* body);
    QGroupBox* BuildWaveTypes(QWidget* body);
    QGroupBox* BuildPages(QWidget* body);
    QGroupBox* BuildFrequency(QWidget* body);

    void ToggleOutput();
    void ChooseChannel(std::uint16_t channel);
    void CheckChannelRadios();
    void CheckWaveTypeRadio(std::uint16_t type);
    void ShowOutputCaption();
    void ShowChannelFrequency();
    // The frequency entry: `frequency` hertz typed in `unit`.
    void EnterFrequency(double frequency, std::uint16_t unit, bool unitClicked);
    void RequestRedraw(RefreshMask mask) { site_.RequestRedraw(mask); }

    DeviceSettings* Settings() const { return site_.Settings(); }

    FieldSite site_{this};

    QPushButton* outputSwitch_ = nullptr;
    std::array<QRadioButton*, 2> channelRadios_{};
    ChoiceGroup* channelGroup_ = nullptr;
    // Each checkable, with the indicator radio of its type drawn beside its caption.
    std::array<QPushButton*, 6> waveTypeButtons_{};
    ChoiceGroup* waveTypeGroup_ = nullptr;
    std::array<CDlgWaveParameter*, 6> pages_{};
    QWidget* pageFrame_ = nullptr;
    std::array<QRadioButton*, 3> unitRadios_{};
    ChoiceGroup* unitGroup_ = nullptr;
    CEditEx* frequencyEdit_ = nullptr;
    QPushButton* formatButton_ = nullptr;

    QString onText_ = QStringLiteral("ON");
    QString offText_ = QStringLiteral("OFF");
    UnitFrequency shown_;   // the frequency as last shown or accepted
    bool outputOn_ = true;  // the output state as the switch last showed it
};

}  // namespace zorbel
