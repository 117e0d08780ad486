#pragma once
// Edit > Barcode Formats: the shop's barcode formats (symbology and data pattern),
// and which of them the active label is previewed and checked with.
#include "model/sampledata.h"
#include <QDialog>

class QComboBox;
class QLabel;
class QTableWidget;

namespace quillon {

class BarcodeFormatsDialog : public QDialog {
    Q_OBJECT
public:
    // `labelCaption` empty: no label is open, and no choice is offered.
    // `sample`: the item whose barcode data each row shows.
    BarcodeFormatsDialog(const QList<BarcodeFormat>& formats, const QString& labelCaption, const QString& labelFormat,
                         const SampleItem& sample, QWidget* parent = nullptr);

    QList<BarcodeFormat> formats() const;
    // The format the label uses ("" for the sample data's own barcode).
    QString labelFormat() const;
    // The first row that cannot be stored, with the reason (a text key); -1 when all are sound.
    int firstProblem(QString* key) const;

    void accept() override;

private:
    void addRow(const BarcodeFormat& f);
    void updateRow(int row);
    void updateChoices();

    QTableWidget* m_table = nullptr;
    QComboBox* m_labelChoice = nullptr;
    QLabel* m_example = nullptr;
    QString m_labelFormat;
    SampleItem m_sample;
};

} // namespace quillon
