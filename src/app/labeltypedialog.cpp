#include "app/labeltypedialog.h"
#include "context/texts.h"
#include "model/tables.h"
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillon {

LabelTypeDialog::LabelTypeDialog(const Tables& tables, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(GetLangString("frmSelectLabelType", "Caption"));
    auto* lblLabelType = new QLabel(GetLangString("frmSelectLabelType", "lblLabelType"), this);
    cboScaleModal = new QComboBox(this);
    for (const ScaleModel& m : tables.g_arrScaleModel)
        cboScaleModal->addItem(m.SCALE_NAME);
    cboScaleModal->setCurrentIndex(0);
    lblLabelType->setBuddy(cboScaleModal);
    auto* cmdOK = new QPushButton(GetLangString("frmSelectLabelType", "cmdOK"), this);
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &LabelTypeDialog::cmdOK_Click);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblLabelType);
    layout->addWidget(cboScaleModal);
    layout->addWidget(cmdOK, 0, Qt::AlignRight);
}

void LabelTypeDialog::cmdOK_Click()
{
    m_iScaleModelIndex = qint16(qMax(0, cboScaleModal->currentIndex()));
    accept();
}

} // namespace quillon
