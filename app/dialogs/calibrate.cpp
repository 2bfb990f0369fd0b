// CDlgCalibrate: the dialog's controls, laid out with the sizes and gaps of
// its template (in dialog units), and its handlers.
#include "zorbel/dialogs/calibrate.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "zorbel/dialogs/accessible_texts.h"
#include "zorbel/dialogs/calibration_report.h"
#include "zorbel/dialogs/choice_group.h"
#include "zorbel/dialogs/control_texts.h"
#include "zorbel/dialogs/dialog_links.h"

namespace zorbel {
namespace {

using namespace calibrate_id;

// The template: 547 x 270 dialog units in 9-point Arial.
constexpr int kDialogWidth = 547;
constexpr int kDialogHeight = 270;

struct ListColumn {
    const char* header;
    int width;  // pixels
};
constexpr std::array<ListColumn, kCalibrationColumns> kColumns = {{
    {"标号", 80},
    {"输出频率", 160},
    {"输出电压", 90},
    {"测量项", 80},
    {"测量频率", 160},
    {"测量电压", 90},
    {"认证结果", 100},
}};

constexpr char kTip[] =
    "提示：1.台式示波器使用CH1;\n            2. 仪器正常启动后，方可进行校准;\n            "
    "3.校准工程中，示波器会有声响.";

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

}  // namespace

CDlgCalibrate::CDlgCalibrate(DeviceSettings& settings, CalibrationChoices& choices, QString programFolder,
                             QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      choices_(choices),
      folder_(std::move(programFolder)),
      sequence_(settings, choices) {
    setWindowTitle(QStringLiteral("仪器校准"));
    setFont(QFont(QStringLiteral("Arial"), 9));
    BuildControls();
    ChoiceGroup::GroupRadios(this);
    TrimAccessibleNames(this);  // " CH1"
    prompts_.ask = [this](const QString& question) { return AskYesNo(this, question); };
    prompts_.tell = [this](const QString& text) { ShowMessage(this, text); };
    prompts_.openFolder = [](const QString& folder) { QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); };

    ShowChoices();
    ApplyRunState();
    linkCheck_ = new QTimer(this);
    connect(linkCheck_, &QTimer::timeout, this, [this] { CheckLink(); });
    linkCheck_->start(kLinkCheckMs);
}

CDlgCalibrate::~CDlgCalibrate() = default;

QSize CDlgCalibrate::FromDialogUnits(int width, int height) const {
    // Dialog units as Windows derives them from the dialog's font: a quarter
    // of the average character width, an eighth of the character height.
    const QFontMetrics metrics(font());
    const int baseX =
        (metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 26 + 1) /
        2;
    const int baseY = metrics.height();
    return QSize(width * baseX / 4, height * baseY / 8);
}

QPushButton* CDlgCalibrate::AddButton(int id, const char* text) {
    auto* button = new QPushButton(QString::fromUtf8(text), this);
    button->setAutoDefault(false);
    button->setFixedSize(FromDialogUnits(50, 14));
    SetControlId(button, id);
    return button;
}

// Laid out in rows with the template's gaps (dialog units): the run's choices,
// the result list, the tip and the buttons.
void CDlgCalibrate::BuildControls() {
    setFixedSize(FromDialogUnits(kDialogWidth, kDialogHeight));
    const auto across = [this](int units) { return FromDialogUnits(units, 0).width(); };
    const auto down = [this](int units) { return FromDialogUnits(0, units).height(); };

    auto* column = new QVBoxLayout(this);
    column->setSpacing(0);
    column->setContentsMargins(across(11), down(8), across(13), down(15));
    auto* choicesRow = new QHBoxLayout;
    choicesRow->setSpacing(0);
    column->addLayout(choicesRow);
    column->addSpacing(down(10));

    const std::array<const char*, 2> channelTexts = {" CH1", " CH2"};
    const std::array<int, 2> channelGaps = {12, 19};
    for (int ch = 0; ch < 2; ++ch) {
        auto* radio = new QRadioButton(QString::fromUtf8(channelTexts[ch]), this);
        radio->setFixedWidth(across(31));
        SetControlId(radio, ch == 0 ? kChannel1 : kChannel2);
        connect(radio, &QRadioButton::clicked, this, [this, ch] { choices_.channel = static_cast<std::uint16_t>(ch); });
        choicesRow->addSpacing(across(channelGaps[ch]));
        choicesRow->addWidget(radio);
        channels_[ch] = radio;
    }

    // Label, edit and what the edit's number sets when it is left, after a
    // gap of `gap` dialog units.
    const auto field = [&](int gap, const char* label, int id, void (*set)(CalibrationChoices&, double)) {
        auto* caption = new QLabel(QString::fromUtf8(label), this);
        caption->setFixedWidth(across(41));
        auto* edit = new QLineEdit(this);
        edit->setFixedSize(FromDialogUnits(26, 14));
        edit->setAlignment(Qt::AlignCenter);
        caption->setBuddy(edit);
        edit->setAccessibleName(caption->text());
        SetControlId(edit, id);
        connect(edit, &QLineEdit::editingFinished, this, [this, edit, set] {
            set(choices_, settings_.ParseNumberText(edit->text().toStdU16String()));
            ShowChoices();
        });
        choicesRow->addSpacing(across(gap));
        choicesRow->addWidget(caption);
        choicesRow->addSpacing(across(2));
        choicesRow->addWidget(edit);
        return edit;
    };
    startEdit_ = field(94, "起始步骤：", kStartStep, [](CalibrationChoices& c, double v) { c.SetStartFromText(v); });
    endEdit_ = field(23, "终止步骤：", kEndStep, [](CalibrationChoices& c, double v) { c.SetEndFromText(v); });
    limitEdit_ =
        field(23, "单步次数：", kRepeatLimit, [](CalibrationChoices& c, double v) { c.SetRepeatLimitFromText(v); });
    restore_ = AddButton(kRestoreDefaults, "恢复默认值");
    choicesRow->addSpacing(across(21));
    choicesRow->addWidget(restore_);
    choicesRow->addStretch(1);
    connect(restore_, &QPushButton::clicked, this, [this] {
        choices_.RestoreDefaults();
        ShowChoices();
    });

    list_ = new QTableWidget(0, kCalibrationColumns, this);
    column->addWidget(list_, 1);
    column->addSpacing(down(9));
    SetControlId(list_, kResultList);
    list_->setAccessibleName(QStringLiteral("校准结果"));
    list_->setShowGrid(true);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->verticalHeader()->hide();
    QFont listFont = list_->font();
    listFont.setPixelSize(16);  // rows of about 20 pixels
    list_->setFont(listFont);
    QPalette palette = list_->palette();
    palette.setColor(QPalette::Base, QColor(236, 233, 216));
    list_->setPalette(palette);
    for (int column = 0; column < kCalibrationColumns; ++column) {
        list_->setHorizontalHeaderItem(column, new QTableWidgetItem(QString::fromUtf8(kColumns[column].header)));
        list_->setColumnWidth(column, kColumns[column].width);
    }

    auto* buttonRow = new QHBoxLayout;
    buttonRow->setSpacing(0);
    column->addLayout(buttonRow);
    auto* tip = new QLabel(QString::fromUtf8(kTip), this);
    tip->setFixedSize(FromDialogUnits(148, 23));
    buttonRow->addWidget(tip);
    start_ = AddButton(kStart, "开始");
    start_->setDefault(true);  // the look of the template; Enter still does nothing
    stop_ = AddButton(kStop, "停止");
    auto* report = AddButton(kReport, "CSV输出");
    auto* openFolder = AddButton(kOpenFolder, "打开文件夹");
    exit_ = AddButton(kExit, "退出");
    const std::array<std::pair<int, QPushButton*>, 5> buttons = {
        {{5, start_}, {25, stop_}, {31, report}, {32, openFolder}, {28, exit_}}};
    for (const auto& [gap, button] : buttons) {
        buttonRow->addSpacing(across(gap));
        buttonRow->addWidget(button);
    }
    buttonRow->addStretch(1);

    connect(start_, &QPushButton::clicked, this, [this] {
        sequence_.Start();
        ApplyRunState();
    });
    connect(stop_, &QPushButton::clicked, this, [this] {
        // A question already waiting ends the run by itself.
        if (!waiting_) CarryOut(settings_, sequence_.Stop(), [this](const std::string& q) { return Ask(q); });
    });
    connect(report, &QPushButton::clicked, this, [this] { WriteReport(); });
    connect(openFolder, &QPushButton::clicked, this, [this] { prompts_.openFolder(folder_); });
    connect(exit_, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });

    // Tab order as the template lists its controls.
    QWidget* order[] = {channels_[0], channels_[1], startEdit_, endEdit_, limitEdit_, restore_,
                        list_,        start_,       stop_,      report,   openFolder, exit_};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void CDlgCalibrate::SetPrompts(CalibrationPrompts prompts) {
    if (prompts.ask) prompts_.ask = std::move(prompts.ask);
    if (prompts.tell) prompts_.tell = std::move(prompts.tell);
    if (prompts.openFolder) prompts_.openFolder = std::move(prompts.openFolder);
}

bool CDlgCalibrate::Ask(const std::string& question) {
    ShowRows();  // the count that ends the run is on screen behind its question
    return prompts_.ask(Text(question));
}

void CDlgCalibrate::ShowChoices() {
    startEdit_->setText(QString::number(choices_.startStep + 1));
    endEdit_->setText(QString::number(choices_.endStep));
    limitEdit_->setText(QString::number(choices_.repeatLimit));
    channels_[choices_.channel == 1 ? 1 : 0]->setChecked(true);
}

void CDlgCalibrate::ApplyRunState() {
    const bool idle = !sequence_.Running();
    for (QWidget* control : std::initializer_list<QWidget*>{start_, exit_, channels_[0], channels_[1], startEdit_,
                                                            endEdit_, limitEdit_, restore_})
        control->setEnabled(idle);
    stop_->setEnabled(!idle);
}

void CDlgCalibrate::OnCalibrationStep(std::uint16_t code) {
    if (closing_) return;
    const CalibrationNext next = sequence_.OnStep(code);
    ShowRows();
    if (code == code::kCalGetStepCount) ShowChoices();  // the run's range as held to the step total
    if (code == code::kCalSetStep && sequence_.HighlightedRow() >= 0) HighlightRow(sequence_.HighlightedRow());
    ApplyRunState();
    if (next.kind != CalibrationNext::Kind::Ask) {
        CarryOut(settings_, next, {});
        return;
    }
    // Not asked here: the worker waits for this notice to return.
    waiting_ = next;
    QMetaObject::invokeMethod(
        this, [this] { AskWaitingQuestion(); }, Qt::QueuedConnection);
}

void CDlgCalibrate::AskWaitingQuestion() {
    if (!waiting_ || closing_) return;
    const CalibrationNext next = *std::exchange(waiting_, std::nullopt);
    CarryOut(settings_, next, [this](const std::string& question) { return Ask(question); });
}

void CDlgCalibrate::ShowRows() {
    const std::vector<CalibrationRow>& rows = sequence_.Rows();
    list_->setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        for (int column = 0; column < kCalibrationColumns; ++column) {
            const QString text = Text(rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)]);
            QTableWidgetItem* item = list_->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                item->setTextAlignment(Qt::AlignCenter);
                list_->setItem(row, column, item);
            }
            if (item->text() != text) item->setText(text);
        }
    }
}

void CDlgCalibrate::HighlightRow(int row) {
    list_->clearSelection();
    list_->selectRow(row);
    list_->setCurrentCell(row, 0);
    list_->scrollToItem(list_->item(row, 0));
    list_->setFocus();
}

QString CDlgCalibrate::ReportPath() const {
    return QDir(folder_).filePath(QString::fromLatin1(kCalibrationReportName));
}

void CDlgCalibrate::WriteReport() {
    const QString path = ReportPath();
    if (!WriteCalibrationReport(path.toStdString(), sequence_.Rows())) {
        prompts_.tell(QStringLiteral("无法创建或打开校准文件：") + path);
        return;
    }
    prompts_.tell(QStringLiteral("保存成功！"));
}

// The worker asks the generator at every step while the dialog is open; when
// it has gone while no run is under way, there is nothing left to calibrate.
void CDlgCalibrate::CheckLink() {
    if (settings_.CalibrationRunState() == CalibrationRun::Idle && settings_.CalibrationGeneratorGone())
        done(QDialog::Rejected);
}

void CDlgCalibrate::CloseNow() {
    closing_ = true;
    linkCheck_->stop();
    // A question under way is answered No.
    for (QMessageBox* question : findChildren<QMessageBox*>()) question->done(QMessageBox::No);
    done(QDialog::Rejected);
}

void CDlgCalibrate::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Enter:
    case Qt::Key_Return:
    case Qt::Key_Escape:
        event->accept();  // neither OK nor Cancel: only "退出" closes
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void CDlgCalibrate::closeEvent(QCloseEvent* event) { event->ignore(); }

}  // namespace zorbel
