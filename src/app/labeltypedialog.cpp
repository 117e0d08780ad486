#include "app/labeltypedialog.h"
#include "context/texts.h"
#include "model/tables.h"
#include <QComboBox>
#include <QFontMetrics>
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
    // Each model with the label sizes it prints, so the choice is made knowing them.
    QString entry = GetLangString("frmSelectLabelType", "msgModelLimits");
    if (!entry.contains(QLatin1String("%1")))
        entry = QStringLiteral("%1");
    for (const ScaleModel& m : tables.g_arrScaleModel)
        cboScaleModal->addItem(entry.arg(m.SCALE_NAME, QString::number(m.MIN_WIDTH), QString::number(m.MAX_WIDTH),
                                         QString::number(m.MIN_HEIGHT), QString::number(m.MAX_HEIGHT)));
    cboScaleModal->setCurrentIndex(0);
    lblLabelType->setBuddy(cboScaleModal);
    auto* cmdOK = new QPushButton(GetLangString("frmSelectLabelType", "cmdOK"), this);
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &LabelTypeDialog::cmdOK_Click);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblLabelType);
    layout->addWidget(cboScaleModal);
    layout->addWidget(cmdOK, 0, Qt::AlignRight);

    // The title bar is the window manager's: room for a bold title beside an icon and three buttons.
    QFont title = font();
    title.setBold(true);
    const QFontMetrics fm(title);
    setMinimumWidth(fm.horizontalAdvance(windowTitle()) + 6 * fm.height());
}

void LabelTypeDialog::cmdOK_Click()
{
    m_iScaleModelIndex = qint16(qMax(0, cboScaleModal->currentIndex()));
    accept();
}

} // namespace quillon
