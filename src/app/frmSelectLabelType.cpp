#include "frmSelectLabelType.h"
#include "model/tables.h"
#include "platform/database.h"
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillon {

frmSelectLabelType::frmSelectLabelType(const Tables& tables, Database& db, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(db.GetLangString("frmSelectLabelType", "Caption"));
    auto* lblLabelType = new QLabel(db.GetLangString("frmSelectLabelType", "lblLabelType"), this);
    cboScaleModal = new QComboBox(this);
    for (const ScaleModel& m : tables.g_arrScaleModel)
        cboScaleModal->addItem(m.SCALE_NAME);
    cboScaleModal->setCurrentIndex(0);
    lblLabelType->setBuddy(cboScaleModal);
    auto* cmdOK = new QPushButton(db.GetLangString("frmSelectLabelType", "cmdOK"), this);
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmSelectLabelType::cmdOK_Click);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblLabelType);
    layout->addWidget(cboScaleModal);
    layout->addWidget(cmdOK, 0, Qt::AlignRight);
}

void frmSelectLabelType::cmdOK_Click()
{
    m_iScaleModelIndex = qint16(qMax(0, cboScaleModal->currentIndex()));
    accept();
}

} // namespace quillon
