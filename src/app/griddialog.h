#pragma once
// The grid's settings: step in millimetres or printer dots, shown and snapped to
// as the View menu says; kept per user.
#include <QDialog>

class QComboBox;
class QDoubleSpinBox;

namespace quillon {

struct GridSettings {
    bool visible = false;
    bool snap = false;
    double step = 1.0;    // in `unit`
    bool inDots = false;  // unit: printer dots of the label's model, else mm

    static GridSettings Load();
    void Store() const;
    // The step in label mm for a dot size of `mmPerDot` (at least one dot).
    float StepMM(float mmPerDot) const;
};

class GridDialog : public QDialog {
    Q_OBJECT
public:
    GridDialog(const GridSettings& settings, QWidget* parent = nullptr);
    GridSettings settings() const;

private:
    GridSettings m_settings;
    QDoubleSpinBox* m_step = nullptr;
    QComboBox* m_unit = nullptr;
};

} // namespace quillon
