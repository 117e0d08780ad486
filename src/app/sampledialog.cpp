#include "app/sampledialog.h"
#include "context/texts.h"
#include "platform/placement.h"
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>

namespace quillon {

namespace {

QString T(const char* key) { return GetLangString(QStringLiteral("frmSample"), QString::fromLatin1(key)); }

QDoubleSpinBox* number(QWidget* parent, double most, int decimals)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(0, most);
    box->setDecimals(decimals);
    return box;
}

} // namespace

SampleItem LoadUserSample(const QString& language)
{
    const SampleItem base = DefaultSampleItem(language);
    auto store = OpenUserSettings();
    SampleItem item = SampleItemFromSettings(*store, base);
    // Dates are always today's: a stored date would age.
    item.packed = base.packed;
    item.sellBy = base.sellBy;
    return item;
}

void StoreUserSample(const SampleItem& item)
{
    StoreSampleItem(*OpenUserSettings(), item);
}

SampleDialog::SampleDialog(const SampleItem& item, QWidget* parent) : QDialog(parent), m_item(item)
{
    setObjectName(QStringLiteral("frmSample"));
    setWindowTitle(T("Caption"));
    auto* form = new QFormLayout(this);
    auto row = [this, form](const char* key, QWidget* field) {
        auto* label = new QLabel(T(key), this);
        label->setBuddy(field);
        form->addRow(label, field);
    };
    for (int k = 0; k < 3; ++k) {
        m_names[k] = new QLineEdit(this);
        row(k == 0 ? "lblName1" : k == 1 ? "lblName2" : "lblName3", m_names[k]);
    }
    row("lblItemCode", m_itemCode = new QLineEdit(this));
    row("lblPlu", m_plu = new QLineEdit(this));
    row("lblWeight", m_weight = number(this, 99.999, 3));
    row("lblTare", m_tare = number(this, 99.999, 3));
    row("lblUnitPrice", m_unitPrice = number(this, 999999.99, 2));
    m_total = new QLineEdit(this);
    m_total->setPlaceholderText(T("msgTotalComputed"));
    row("lblTotal", m_total);
    row("lblCurrency", m_currency = new QLineEdit(this));
    row("lblDateFormat", m_dateFormat = new QLineEdit(this));
    m_barcode = new QComboBox(this);
    for (BarcodeKind k : {BarcodeKind::Ean13, BarcodeKind::Ean8, BarcodeKind::Code128, BarcodeKind::Itf14,
                          BarcodeKind::QrCode})
        m_barcode->addItem(BarcodeKindCaption(k), int(k));
    row("lblBarcode", m_barcode);
    row("lblPattern", m_pattern = new QLineEdit(this));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* longValues = buttons->addButton(T("cmdLongValues"), QDialogButtonBox::ResetRole);
    longValues->setObjectName(QStringLiteral("cmdLongValues"));
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(longValues, &QPushButton::clicked, this, [this] { fill(LongSampleItem()); });
    fill(item);
}

void SampleDialog::fill(const SampleItem& item)
{
    m_item = item;
    for (int k = 0; k < 3; ++k)
        m_names[k]->setText(item.nameLines.value(k));
    m_itemCode->setText(item.itemCode);
    m_plu->setText(item.plu);
    m_weight->setValue(item.netWeightKg);
    m_tare->setValue(item.tareKg);
    m_unitPrice->setValue(item.unitPrice);
    m_total->setText(item.total ? QString::number(*item.total, 'f', 2) : QString());
    m_currency->setText(item.currency);
    m_dateFormat->setText(item.dateFormat);
    m_barcode->setCurrentIndex(qMax(0, m_barcode->findData(int(item.barcode))));
    m_pattern->setText(item.barcodePattern);
}

SampleItem SampleDialog::item() const
{
    SampleItem s = m_item;
    s.nameLines = {m_names[0]->text(), m_names[1]->text(), m_names[2]->text()};
    s.itemCode = m_itemCode->text();
    s.plu = m_plu->text();
    s.netWeightKg = m_weight->value();
    s.tareKg = m_tare->value();
    s.unitPrice = m_unitPrice->value();
    bool ok = false;
    const double total = m_total->text().trimmed().toDouble(&ok);
    s.total = ok && total >= 0 && total < 1e9 ? std::optional(total) : std::nullopt;
    s.currency = m_currency->text();
    s.dateFormat = m_dateFormat->text().isEmpty() ? m_item.dateFormat : m_dateFormat->text();
    s.barcode = BarcodeKind(m_barcode->currentData().toInt());
    s.barcodePattern = m_pattern->text();
    return s;
}

} // namespace quillon
