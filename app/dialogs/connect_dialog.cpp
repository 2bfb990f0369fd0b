// The connection dialog.
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QVBoxLayout>
#include <QValidator>

#include "zorbel/dialogs/accessible_texts.h"
#include "zorbel/dialogs/choice_group.h"
#include "zorbel/dialogs/program_texts.h"
#include "zorbel/dialogs/small_dialogs.h"

namespace zorbel {
namespace {

constexpr int kCaptionItem = 322;

bool IsOctetText(const QString& field) {
    if (field.size() > 3) return false;
    for (const QChar c : field)
        if (c < u'0' || c > u'9') return false;
    return field.isEmpty() || field.toInt() <= 255;
}

// Lets through what can become a dotted IPv4 address; an unfinished one is
// taken with its missing fields as 0, as the address control of the
// instrument software did.
class Ipv4Validator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        const QStringList fields = input.split(u'.');
        if (fields.size() > 4) return Invalid;
        bool complete = fields.size() == 4;
        for (const QString& field : fields) {
            if (!IsOctetText(field)) return Invalid;
            complete = complete && !field.isEmpty();
        }
        return complete ? Acceptable : Intermediate;
    }
};

}  // namespace

std::optional<std::uint32_t> ParseIpv4(const QString& text) {
    const QStringList fields = text.split(u'.');
    if (fields.size() > 4) return std::nullopt;
    std::uint32_t address = 0;
    for (int i = 0; i < 4; ++i) {
        const QString field = i < fields.size() ? fields[i] : QString();
        if (!IsOctetText(field)) return std::nullopt;
        address = address << 8 | static_cast<std::uint32_t>(field.isEmpty() ? 0 : field.toInt());
    }
    return address;
}

QString Ipv4Text(std::uint32_t address) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(address >> 24)
        .arg((address >> 16) & 0xFF)
        .arg((address >> 8) & 0xFF)
        .arg(address & 0xFF);
}

CDlgConnect::CDlgConnect(std::uint16_t connectionType, std::uint32_t lanAddress, const LanguageLookup& languageText,
                         QWidget* parent)
    : QDialog(parent),
      usb_(new QRadioButton(QStringLiteral("USB"))),
      lan_(new QRadioButton(QStringLiteral("LAN"))),
      address_(new QLineEdit(Ipv4Text(lanAddress))),
      initialAddress_(lanAddress) {
    auto* group = new QGroupBox(QStringLiteral("Settings"), this);
    auto* label = new QLabel(QStringLiteral("Ip Address:"));
    label->setBuddy(address_);  // names the address field for screen readers
    address_->setValidator(new Ipv4Validator(address_));
    SetControlId(group, 1451);
    SetControlId(usb_, 1452);
    SetControlId(lan_, 1453);
    SetControlId(label, 1454);
    SetControlId(address_, 1455);

    auto* fields = new QGridLayout(group);
    fields->addWidget(usb_, 0, 0);
    fields->addWidget(lan_, 0, 1);
    fields->addWidget(label, 1, 0);
    fields->addWidget(address_, 1, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(ProgramText(Text::Ok));
    buttons->button(QDialogButtonBox::Cancel)->setText(ProgramText(Text::Cancel));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);

    const QString caption = languageText ? languageText(kCaptionItem) : QString();
    setWindowTitle(caption.isEmpty() ? QStringLiteral("Connect") : caption);
    TranslateControls(this, languageText);

    const bool isLan = connectionType != kConnectionUsb;
    usb_->setChecked(!isLan);
    lan_->setChecked(isLan);
    address_->setEnabled(isLan);
    ChoiceGroup::GroupRadios(this);  // Tab enters the pair at the chosen link
    TrimAccessibleNames(this);
    connect(usb_, &QRadioButton::clicked, this, [this] { address_->setEnabled(false); });
    connect(lan_, &QRadioButton::clicked, this, [this] { address_->setEnabled(true); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

std::uint16_t CDlgConnect::ConnectionType() const { return usb_->isChecked() ? kConnectionUsb : kConnectionLan; }

std::uint32_t CDlgConnect::LanAddress() const { return ParseIpv4(address_->text()).value_or(initialAddress_); }

}  // namespace zorbel
