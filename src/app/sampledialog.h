#pragma once
// The sample item the preview and the fit check use, edited by the user and kept
// per user; "Long values" fills in the longest values each field can take.
#include "model/sampledata.h"
#include <QDialog>

class QComboBox;
class QDoubleSpinBox;
class QLineEdit;

namespace quillon {

// The user's sample item: the stored one, or the interface language's defaults.
SampleItem LoadUserSample(const QString& language);
void StoreUserSample(const SampleItem& item);

class SampleDialog : public QDialog {
    Q_OBJECT
public:
    SampleDialog(const SampleItem& item, QWidget* parent = nullptr);
    SampleItem item() const;
    void fill(const SampleItem& item);

private:
    SampleItem m_item;
    QLineEdit* m_names[3] = {};
    QLineEdit* m_itemCode = nullptr;
    QLineEdit* m_plu = nullptr;
    QDoubleSpinBox* m_weight = nullptr;
    QDoubleSpinBox* m_tare = nullptr;
    QDoubleSpinBox* m_unitPrice = nullptr;
    QLineEdit* m_total = nullptr;
    QLineEdit* m_currency = nullptr;
    QLineEdit* m_dateFormat = nullptr;
    QComboBox* m_barcode = nullptr;
    QLineEdit* m_pattern = nullptr;
};

} // namespace quillon
