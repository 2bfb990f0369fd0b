// The small modal dialogs of the frame: the connection (USB, or LAN with the
// instrument's IPv4 address) and the colours of the traces and the grid.
#pragma once

#include <QColor>
#include <QDialog>
#include <QPushButton>

#include <cstdint>
#include <functional>
#include <optional>

#include "zorbel/dialogs/control_texts.h"
#include "zorbel/dialogs/dialog_links.h"
#include "zorbel/model/device_settings.h"

class QLineEdit;
class QRadioButton;
class QTimer;

namespace zorbel {

// A dotted IPv4 address, first octet most significant. Fields left empty or
// missing count as 0 ("192.168.1" is 192.168.1.0); nothing when a field is
// not a number from 0 to 255 or there are more than four.
std::optional<std::uint32_t> ParseIpv4(const QString& text);
QString Ipv4Text(std::uint32_t address);

// "Connect Type". The caller stores the result in the model on OK.
class CDlgConnect final : public QDialog {
    Q_OBJECT

public:
    CDlgConnect(std::uint16_t connectionType, std::uint32_t lanAddress, const LanguageLookup& languageText,
                QWidget* parent = nullptr);

    // What OK chose: kConnectionUsb or kConnectionLan, and the address.
    std::uint16_t ConnectionType() const;
    std::uint32_t LanAddress() const;

    QRadioButton* UsbButton() const { return usb_; }
    QRadioButton* LanButton() const { return lan_; }
    QLineEdit* AddressField() const { return address_; }

private:
    QRadioButton* usb_;
    QRadioButton* lan_;
    QLineEdit* address_;
    std::uint32_t initialAddress_;
};

// The colour bar: a button filled with its colour; clicking it opens the
// standard colour dialog. Its accessible name tells the colour ("CH1
// colour: RGB 128, 255, 128"), its description how to change it.
class CColorButton final : public QPushButton {
    Q_OBJECT

public:
    explicit CColorButton(QWidget* parent = nullptr);
    QColor Colour() const { return colour_; }
    void SetColour(const QColor& colour);
    // What the colour is of, as the name starts ("CH1").
    void SetSubject(const QString& subject);

    // What the click asks for a colour; the standard colour dialog unless
    // replaced (tests). Returns an invalid colour when the user cancelled.
    using Chooser = std::function<QColor(const QColor& initial, QWidget* parent)>;
    static void SetChooser(Chooser chooser);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Choose();
    void Rename();
    QColor colour_{Qt::black};
    QString subject_;
};

// What a colour dialog changes.
enum ColourTarget : std::uint16_t {
    kColourNone = 0,  // the dialog closes itself at once
    kColourChannel1 = 1,
    kColourChannel2 = 2,
    kColourGridScale = 3,
    kColourGridMain = 4,
    kColourGridSub = 5,
};

// "Color Dialog": the colour bar for one target. A colour chosen in the bar
// reaches the model and the view within 200 ms while the dialog stays open;
// it closes with Escape or the close box.
class CDlgColor final : public QDialog {
    Q_OBJECT

public:
    static constexpr int kPollMs = 200;

    // `view` may be nullptr.
    CDlgColor(std::uint16_t target, DeviceSettings& settings, RedrawSink* view, const LanguageLookup& languageText,
              QWidget* parent = nullptr);
    CColorButton* Bar() const { return bar_; }

private:
    std::uint32_t TargetColour() const;
    void StoreColour(std::uint32_t colour);
    void Poll();

    std::uint16_t target_;
    DeviceSettings& settings_;
    RedrawSink* view_;
    CColorButton* bar_;
    QTimer* timer_;
};

}  // namespace zorbel
