// zorbel-panel-demo: the control panel on a model, docked in a window of its
// own, to look at and to try with the keyboard alone. Redraw requests are
// printed. With --lan ADDRESS (zorbel-gensim's loopback address, say) it
// reads the instrument first and every change reaches it; --language FILE
// labels the panel from a language file.
#include <arpa/inet.h>

#include <QApplication>
#include <QDockWidget>
#include <QHash>
#include <QLabel>
#include <QMainWindow>
#include <cstdio>

#include "QRVLanguageDll.h"
#include "zorbel/dialogs/ctrl_dds.h"
#include "zorbel/model/session_pump.h"

namespace {

class PrintedRedraw final : public zorbel::RedrawSink {
public:
    void RequestRedraw(zorbel::RefreshMask mask) override {
        std::printf("redraw 0x%X\n", static_cast<unsigned>(zorbel::ToNumber(mask)));
    }
};

QHash<int, QString> LoadLanguage(const QString& path) {
    QHash<int, QString> texts;
    const std::u16string file = path.toStdU16String();
    if (qmkHLLoadContenFromFile_Point(file.c_str(), static_cast<std::uint16_t>(file.size())) != 1) return texts;
    char16_t number[800];
    char16_t text[800];
    for (std::uint16_t i = 0; qmkHLGetContenItem(i, number, text) == 1; ++i)
        texts.insert(QString::fromUtf16(number).toInt(), QString::fromUtf16(text));
    return texts;
}

QString Argument(const QStringList& arguments, const QString& option) {
    const qsizetype at = arguments.indexOf(option);
    return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1) : QString();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zorbel"));
    const QStringList arguments = QApplication::arguments();

    zorbel::DeviceSettings settings;
    zorbel::SessionPump pump(settings);
    pump.Start();
    const QString lan = Argument(arguments, QStringLiteral("--lan"));
    if (!lan.isEmpty()) {
        in_addr address{};
        if (inet_pton(AF_INET, lan.toLatin1().constData(), &address) != 1) {
            std::fprintf(stderr, "zorbel-panel-demo: not an IPv4 address: %s\n", qPrintable(lan));
            return 2;
        }
        settings.SetConnection(zorbel::kConnectionLan, ntohl(address.s_addr));
        if (!pump.RunReadOperation().Succeeded()) std::fprintf(stderr, "zorbel-panel-demo: no instrument answers\n");
    }

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("QDN Zorbel"));
    window.setCentralWidget(new QLabel(QStringLiteral("(waveform view)")));
    auto* pane = new QDockWidget(QStringLiteral("Control Bar"), &window);
    pane->setObjectName(QStringLiteral("ControlBar"));
    auto* panel = new zorbel::CDlgCtrlDDS;
    pane->setWidget(panel);
    window.addDockWidget(Qt::RightDockWidgetArea, pane);

    const QHash<int, QString> texts = LoadLanguage(Argument(arguments, QStringLiteral("--language")));
    panel->Retranslate([&](int item) { return texts.value(item); });
    PrintedRedraw redraw;
    panel->Attach(&settings, &redraw);
    panel->UpdatePanel();

    window.resize(1200, 830);
    window.show();
    const int result = QApplication::exec();
    panel->Attach(nullptr, nullptr);
    pump.Stop();
    return result;
}
