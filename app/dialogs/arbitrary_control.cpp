// The list of sample clocks for an arbitrary frequency and its order.
#include <QHeaderView>
#include <QKeyEvent>
#include <QTableWidget>
#include <QVBoxLayout>

#include <array>
#include <cmath>
#include <utility>

#include "zorbel/dialogs/arbitrary_tools.h"
#include "zorbel/dialogs/program_texts.h"
#include "zorbel/numbers.h"

namespace zorbel {
namespace {

constexpr double kErrorBand = 0.002;

struct Column {
    Text title;
    int width;  // pixels
};
constexpr std::array<Column, 5> kColumns = {{
    {Text::ClockSerial, 60},
    {Text::ClockDivider, 90},
    {Text::ClockPoints, 120},
    {Text::ClockFrequency, 140},
    {Text::ClockError, 120},
}};

QString Cell(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

void OrderArbitraryControls(std::span<ArbitraryControl> controls) {
    const std::size_t n = controls.size();
    if (n < 2) return;
    // Exchange sorts, as the instrument software has always listed them:
    // records of equal rank keep the order the exchanges leave them in.
    for (std::size_t p = 0; p + 1 < n; ++p)
        for (std::size_t q = p + 1; q < n; ++q)
            if (std::fabs(controls[p].error) > std::fabs(controls[q].error)) std::swap(controls[p], controls[q]);
    for (std::size_t p = 0; p + 1 < n; ++p) {
        const double top = (std::trunc(std::fabs(controls[p].error) / kErrorBand) + 1.0) * kErrorBand;
        for (std::size_t q = p + 1; q < n; ++q)
            if (std::fabs(controls[q].error) < top && controls[q].points < controls[p].points)
                std::swap(controls[p], controls[q]);
    }
}

std::optional<std::vector<ArbitraryControl>> ListArbitraryControls(double frequency) {
    std::vector<ArbitraryControl> controls(kArbitraryListCapacity);
    std::uint32_t count = 0;
    // A pure computation of the library: no instrument traffic.
    if (qmkHDGetWholeArbitraryControlFromFreq(controls.data(), kArbitraryListCapacity, &count, frequency) != 1)
        return std::nullopt;
    controls.resize(std::min(count, kArbitraryListCapacity));
    OrderArbitraryControls(controls);
    return controls;
}

CDlgArbitraryControl::CDlgArbitraryControl(std::span<const ArbitraryControl> controls, QWidget* parent)
    : QDialog(parent),
      controls_(controls.begin(), controls.end()),
      list_(new QTableWidget(static_cast<int>(controls.size()), static_cast<int>(kColumns.size()), this)) {
    setWindowTitle(ProgramText(Text::ClockListTitle));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(18);
    list_->setFont(font);
    list_->setAccessibleName(windowTitle());
    list_->setShowGrid(true);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->verticalHeader()->hide();
    for (std::size_t c = 0; c < kColumns.size(); ++c) {
        auto* header = new QTableWidgetItem(ProgramText(kColumns[c].title));
        header->setTextAlignment(Qt::AlignCenter);
        list_->setHorizontalHeaderItem(static_cast<int>(c), header);
        list_->setColumnWidth(static_cast<int>(c), kColumns[c].width);
    }
    for (std::size_t r = 0; r < controls.size(); ++r) {
        const ArbitraryControl& a = controls[r];
        const std::array<QString, 5> cells = {
            Cell(FormatInt(static_cast<long long>(r))),
            Cell(FormatInt(a.divider)),
            Cell(FormatInt(a.points)),
            Cell(FormatFixed(a.resultingFrequency)),
            Cell(FormatFixed(a.error * 100.0, 3)) + u'%',
        };
        for (std::size_t c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setTextAlignment(Qt::AlignCenter);
            list_->setItem(static_cast<int>(r), static_cast<int>(c), item);
        }
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);
    resize(560, 320);
    connect(list_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { Choose(row); });
}

void CDlgArbitraryControl::Choose(int row) {
    if (row >= 0 && static_cast<std::size_t>(row) < controls_.size())
        chosen_ = controls_[static_cast<std::size_t>(row)];
    accept();
}

void CDlgArbitraryControl::keyPressEvent(QKeyEvent* event) {
    // The list passes Enter on: the current row is the choice.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Choose(list_->currentRow());
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace zorbel
