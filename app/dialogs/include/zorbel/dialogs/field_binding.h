// The one binding of a number field to its rule (value_fields.h): the panel,
// the wave parameter pages and the point editor take what is typed into
// their fields only through it.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "zorbel/dialogs/dialog_links.h"
#include "zorbel/dialogs/value_fields.h"

class QWidget;

namespace zorbel {

class CEditEx;

// What the fields of one surface share: the model (nullptr while detached),
// the view (nullptr for none) and where refusals are shown (the program's
// message box over `owner` until a sink is set).
class FieldSite {
public:
    explicit FieldSite(QWidget* owner) : owner_(owner) {}

    void Attach(DeviceSettings* settings, RedrawSink* view) {
        settings_ = settings;
        view_ = view;
    }
    void SetMessageSink(MessageSink sink) { messages_ = std::move(sink); }

    DeviceSettings* Settings() const { return settings_; }
    RedrawSink* View() const { return view_; }
    void Refuse(const std::string& message) const;
    void RequestRedraw(RefreshMask mask) const;

    // Takes `typed` by `rule` (EnterValue) with refusals and redraws going
    // here; `show` and `restore` are the field's (see FieldSteps).
    FieldEntry Enter(const FieldRule& rule, double typed, std::function<void(double)> show,
                     std::function<void(double)> restore = {}) const;

private:
    QWidget* owner_;
    DeviceSettings* settings_ = nullptr;
    RedrawSink* view_ = nullptr;
    MessageSink messages_;
};

// The number `edit` shows, by the instrument's number rules ("," as the
// point); none when its text is not a number, and then nothing is entered.
std::optional<double> FieldNumber(const DeviceSettings& settings, const CEditEx* edit);

// Shows `value` in `edit`: with its decimals, or as a whole number when it
// has none.
void ShowNumber(CEditEx* edit, double value);

// Whenever `edit` is left (or Enter is pressed in it) while `site` has a
// model and a number, builds the field's rule and takes that number by it; then
// `after` (when set) learns how the entry ended. Digit stepping holds the
// number within the rule's limits, and steps nothing while `site` has no
// model. `site` must outlive `edit`.
using RuleFor = std::function<FieldRule(DeviceSettings& settings)>;
void BindField(CEditEx* edit, const FieldSite& site, RuleFor rule, std::function<void(FieldEntry)> after = {});

}  // namespace zorbel
