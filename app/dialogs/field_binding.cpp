// The binding of number fields to their rules.
#include "zorbel/dialogs/field_binding.h"

#include <algorithm>

#include "zorbel/dialogs/edit_ex.h"
#include "zorbel/dialogs/program_texts.h"

namespace zorbel {

void FieldSite::Refuse(const std::string& message) const {
    const QString text = TranslateFileText(message);
    if (messages_)
        messages_(text);
    else
        ShowMessage(owner_, text);
}

void FieldSite::RequestRedraw(RefreshMask mask) const {
    if (view_) view_->RequestRedraw(mask);
}

FieldEntry FieldSite::Enter(const FieldRule& rule, double typed, std::function<void(double)> show,
                            std::function<void(double)> restore) const {
    return EnterValue(rule, typed,
                      {
                          .show = std::move(show),
                          .restore = std::move(restore),
                          .refuse = [this](const std::string& message) { Refuse(message); },
                          .attached = [this] { return settings_ != nullptr; },
                          .redraw = [this](RefreshMask mask) { RequestRedraw(mask); },
                      });
}

std::optional<double> FieldNumber(const DeviceSettings& settings, const CEditEx* edit) {
    std::u16string text = edit->text().toStdU16String();
    std::replace(text.begin(), text.end(), u',', u'.');
    return settings.TryParseNumberText(std::u16string_view(text));
}

void ShowNumber(CEditEx* edit, double value) {
    if (edit->Decimals() == 0)
        edit->SetInteger(TruncatedInteger(value));
    else
        edit->SetValue(value);
}

void BindField(CEditEx* edit, const FieldSite& site, RuleFor rule, std::function<void(FieldEntry)> after) {
    edit->SetStepLimits([&site, rule]() -> std::optional<StepLimits> {
        DeviceSettings* settings = site.Settings();
        if (!settings) return std::nullopt;
        const FieldRule built = rule(*settings);
        return built.limits ? built.limits() : StepLimits{};
    });
    QObject::connect(edit, &CEditEx::LeftNormalized, edit,
                     [edit, &site, rule = std::move(rule), after = std::move(after)] {
                         DeviceSettings* settings = site.Settings();
                         if (!settings) return;
                         const std::optional<double> typed = FieldNumber(*settings, edit);
                         if (!typed) return;
                         const FieldEntry entry =
                             site.Enter(rule(*settings), *typed, [edit](double value) { ShowNumber(edit, value); });
                         if (after) after(entry);
                     });
}

}  // namespace zorbel
