// "Formula": the current channel's points from an expression in x (one
// period, 0 <= x < 1) or in the point index n and the point count N, with a
// preview of the result as the instrument would play it (clamped).
#pragma once

#include <QDialog>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

#include "zorbel/dialogs/dialog_links.h"
#include "zorbel/model/device_settings.h"
#include "zorbel/model/formula.h"

class QDialogButtonBox;
class QLabel;
class QLineEdit;

namespace zorbel {

// The formula's points between -limit and +limit, as a line.
class CFormulaPreview final : public QWidget {
    Q_OBJECT

public:
    explicit CFormulaPreview(QWidget* parent = nullptr);
    void SetPoints(std::vector<double> points, double limit);
    const std::vector<double>& Points() const { return points_; }
    QSize sizeHint() const override { return {400, 160}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<double> points_;
    double limit_ = 1.0;
};

class CDlgFormula final : public QDialog {
    Q_OBJECT

public:
    // `view` may be nullptr.
    CDlgFormula(DeviceSettings& settings, RedrawSink* view, QWidget* parent = nullptr);

    QLineEdit* FormulaField() const { return formula_; }
    QLabel* StatusLabel() const { return status_; }
    CFormulaPreview* Preview() const { return preview_; }

    // OK: the formula replaces the channel's points (on a worker under the
    // progress dialog for a long waveform; Cancel there keeps this dialog
    // open and the points as they were); an error keeps the dialog open with
    // the parser's message.
    void accept() override;

private:
    void Applied(const std::optional<FormulaError>& error);
    void UpdatePreview();
    void ShowError(const QString& message, int position);

    DeviceSettings& settings_;
    RedrawSink* view_;
    const std::uint16_t channel_;
    std::uint32_t pointCount_;
    double limit_;
    QLineEdit* formula_;
    CFormulaPreview* preview_;
    QLabel* status_;
    QDialogButtonBox* buttons_;
};

}  // namespace zorbel
