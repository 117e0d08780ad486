#include "scale/scaleeditdialog.h"

#include "context/appcontext.h"
#include "platform/database.h"
#include "scale/scaledata.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillon {

QString ScaleAddressProblem(const QString& ip)
{
    if (!IsDottedIPv4(ip))
        return QObject::tr("Enter the address as four numbers from 0 to 255 separated by dots, "
                           "for example 192.168.1.21.");
    if (GetScaleNoFromIP(ip) == 0)
        return QObject::tr("The last number of the address is the scale number and cannot be 0.");
    return QString();
}

ScaleEditDialog::ScaleEditDialog(AppContext& ctx, QWidget* parent) : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmScaleEdit"));
    auto text = [&ctx](const char* key) { return GetLangString(QStringLiteral("frmScaleEdit"), QString::fromLatin1(key)); };

    lblIP = new QLabel(text("lblIP"), this);
    txtIP = new QLineEdit(this);
    txtIP->setObjectName(QStringLiteral("txtIP"));
    txtIP->setMaxLength(64);
    lblIP->setBuddy(txtIP);
    lblScaleModal = new QLabel(text("lblScaleModal"), this);
    cboScaleModal = new QComboBox(this);
    cboScaleModal->setObjectName(QStringLiteral("cboScaleModal"));
    lblScaleModal->setBuddy(cboScaleModal);
    lblStore = new QLabel(text("lblStore"), this);
    txtStore = new QLineEdit(this);
    txtStore->setObjectName(QStringLiteral("txtStore"));
    txtStore->setMaxLength(64);
    lblStore->setBuddy(txtStore);
    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblProblem->setWordWrap(true);
    lblProblem->setStyleSheet(QStringLiteral("color: #b00000;"));
    lblProblem->hide();

    cmdOK = new QPushButton(text("cmdOK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(text("cmdCancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(cmdOK, QDialogButtonBox::AcceptRole);
    buttons->addButton(cmdCancel, QDialogButtonBox::RejectRole);
    connect(cmdOK, &QPushButton::clicked, this, &ScaleEditDialog::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(txtIP, &QLineEdit::textEdited, lblProblem, &QLabel::hide);

    auto* form = new QFormLayout;
    form->addRow(lblIP, txtIP);
    form->addRow(lblScaleModal, cboScaleModal);
    form->addRow(lblStore, txtStore);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(lblProblem);
    layout->addStretch(1);
    layout->addWidget(buttons);
    setMinimumWidth(360);
}

void ScaleEditDialog::Form_Load()
{
    cboScaleModal->clear();
    for (const auto& model : m_ctx.tables.g_arrScaleModel)
        cboScaleModal->addItem(model.SCALE_NAME);
    if (m_iScaleModalIndex >= 0 && m_iScaleModalIndex < cboScaleModal->count())
        cboScaleModal->setCurrentIndex(m_iScaleModalIndex);
    txtIP->setText(m_strIP);
    txtStore->setText(m_strStore);
    setWindowTitle(GetLangString(QStringLiteral("frmScaleEdit"),
                                            m_bAddNew ? QStringLiteral("CaptionAdd") : QStringLiteral("CaptionEdit")));
    lblProblem->hide();
    m_bCancel = true;
}

int ScaleEditDialog::exec()
{
    Form_Load();
    return QDialog::exec();
}

void ScaleEditDialog::cmdOK_Click()
{
    const QString ip = txtIP->text();
    const QString problem = m_validate ? m_validate(ip) : QString();
    if (!problem.isEmpty()) {
        lblProblem->setText(problem);
        lblProblem->show();
        txtIP->setFocus();
        txtIP->selectAll();
        return;
    }
    m_strIP = ip;
    m_strStore = txtStore->text().trimmed();
    m_iScaleModalIndex = qint16(qMax(0, cboScaleModal->currentIndex()));
    m_bCancel = false;
    accept();
}

} // namespace quillon
