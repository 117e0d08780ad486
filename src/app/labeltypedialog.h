#pragma once
// The scale-model chooser of a new document. There is no cancel: closing the
// dialog keeps the first model.
#include <QDialog>

class QComboBox;

namespace quillon {

struct Tables;

class LabelTypeDialog : public QDialog {
    Q_OBJECT
public:
    LabelTypeDialog(const Tables& tables, QWidget* parent = nullptr);

    qint16 m_iScaleModelIndex = 0;   // the chosen model's index in the table
    QComboBox* cboScaleModal = nullptr;

private:
    void cmdOK_Click();
};

} // namespace quillon
