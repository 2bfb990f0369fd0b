// The two dialogs of the arbitrary wave type: the list of every sample clock
// with which the instrument can approach the arbitrary frequency (a row
// double-clicked or chosen with Enter is applied), and the point editor, which steps through the current channel's
// points and takes a typed voltage for each.
#pragma once

#include <QDialog>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "QRVHardDll.h"
#include "zorbel/dialogs/control_texts.h"
#include "zorbel/dialogs/dialog_links.h"
#include "zorbel/dialogs/field_binding.h"
#include "zorbel/model/device_settings.h"

class QPushButton;
class QTableWidget;

namespace zorbel {

class CEditEx;

// Candidates asked of the generator library at most.
inline constexpr std::uint32_t kArbitraryListCapacity = 1000;

// The order of the list: by absolute error, smallest first; then, from the
// top, each record's band of 0.002 (the multiple of 0.002 above its error)
// is searched for records with fewer points, which move up, so that within
// a band of equal quality the shortest waveform comes first.
void OrderArbitraryControls(std::span<ArbitraryControl> controls);

// Every candidate of the generator library for `frequency` hertz, in list
// order; nothing when the library gives none (a frequency not above 0).
std::optional<std::vector<ArbitraryControl>> ListArbitraryControls(double frequency);

// "Based On Frequency": one row per candidate with its number, divider,
// points per period, resulting frequency and error in percent. A row
// double-clicked, or the current row when Enter is pressed, is the user's
// choice and closes the list (accepted); Escape, or Enter without a current
// row, closes it without one.
class CDlgArbitraryControl final : public QDialog {
    Q_OBJECT

public:
    explicit CDlgArbitraryControl(std::span<const ArbitraryControl> controls, QWidget* parent = nullptr);
    QTableWidget* List() const { return list_; }
    // The chosen row's sample clock; nothing when none was chosen.
    std::optional<ArbitraryControl> Chosen() const { return chosen_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Choose(int row);

    std::vector<ArbitraryControl> controls_;
    QTableWidget* list_;
    std::optional<ArbitraryControl> chosen_;
};

// "Edit Points": the current channel's point at an index and its voltage.
// Every accepted voltage is stored at once; leaving the dialog (Escape, the
// close box) keeps the index for the next opening and recomputes the
// channel's gain code for the edited points.
class CDlgEditPoints final : public QDialog {
    Q_OBJECT

public:
    // `view` may be nullptr.
    CDlgEditPoints(DeviceSettings& settings, RedrawSink* view, const LanguageLookup& languageText,
                   QWidget* parent = nullptr);

    std::uint32_t CurrentIndex() const { return current_; }
    CEditEx* IndexField() const { return index_; }
    CEditEx* VoltageField() const { return voltage_; }
    QPushButton* PreviousButton() const { return previous_; }
    QPushButton* NextButton() const { return next_; }

    void reject() override;

private:
    std::uint32_t PointCount() const;
    double PointVoltage() const;
    void ShowPoint();
    void Step(int direction);
    FieldRule IndexRule();
    FieldRule VoltageRule();
    // Writes the point being edited as one undo step, which asks the view for
    // its redraw itself. Always false: the field has nothing left to redraw.
    bool WritePoint(double volts);

    DeviceSettings& settings_;
    RedrawSink* view_;
    const std::uint16_t channel_;
    FieldSite site_{this};
    std::uint32_t current_ = 0;
    CEditEx* index_;
    CEditEx* voltage_;
    QPushButton* previous_;
    QPushButton* next_;
};

}  // namespace zorbel
