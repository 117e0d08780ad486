#include "app/barcodeformatsdialog.h"
#include "context/texts.h"
#include "editor/prompts.h"
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>
#include <QVBoxLayout>

namespace quillon {

namespace {

QString T(const char* key) { return GetLangString(QStringLiteral("frmBarcodeFormats"), QString::fromLatin1(key)); }

// The text key that says what is wrong with a format; null when nothing is.
const char* problemKey(BarcodeFormatProblem problem)
{
    switch (problem) {
    case BarcodeFormatProblem::None: break;
    case BarcodeFormatProblem::Name: return "msgBadName";
    case BarcodeFormatProblem::PatternLength: return "msgPatternLength";
    case BarcodeFormatProblem::PatternCharacter: return "msgPatternCharacter";
    }
    return nullptr;
}

enum Column { NameColumn, KindColumn, PatternColumn, DataColumn };
constexpr BarcodeKind kKinds[] = {BarcodeKind::Ean13, BarcodeKind::Ean8, BarcodeKind::Code128, BarcodeKind::Itf14,
                                  BarcodeKind::QrCode};

} // namespace

BarcodeFormatsDialog::BarcodeFormatsDialog(const QList<BarcodeFormat>& formats, const QString& labelCaption,
                                           const QString& labelFormat, const SampleItem& sample, QWidget* parent)
    : QDialog(parent), m_labelFormat(labelFormat), m_sample(sample)
{
    setObjectName(QStringLiteral("frmBarcodeFormats"));
    setWindowTitle(T("Caption"));
    auto* layout = new QVBoxLayout(this);

    m_table = new QTableWidget(0, 4, this);
    m_table->setObjectName(QStringLiteral("tblFormats"));
    m_table->setHorizontalHeaderLabels({T("colName"), T("colSymbology"), T("colPattern"), T("colExample")});
    m_table->verticalHeader()->hide();
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->horizontalHeader()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    for (int c : {KindColumn, PatternColumn, DataColumn})
        m_table->horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    layout->addWidget(m_table);

    auto* hint = new QLabel(T("lblPatternHint"), this);
    hint->setWordWrap(true);
    layout->addWidget(hint);

    auto* rowButtons = new QHBoxLayout;
    auto* add = new QPushButton(T("cmdAdd"), this);
    add->setObjectName(QStringLiteral("cmdAdd"));
    auto* remove = new QPushButton(T("cmdDelete"), this);
    remove->setObjectName(QStringLiteral("cmdDelete"));
    rowButtons->addWidget(add);
    rowButtons->addWidget(remove);
    rowButtons->addStretch();
    layout->addLayout(rowButtons);

    m_labelChoice = new QComboBox(this);
    m_labelChoice->setObjectName(QStringLiteral("cboLabelFormat"));
    auto* choiceRow = new QHBoxLayout;
    auto* choiceLabel = new QLabel(this);
    choiceLabel->setBuddy(m_labelChoice);
    choiceRow->addWidget(choiceLabel);
    choiceRow->addWidget(m_labelChoice, 1);
    layout->addLayout(choiceRow);
    if (labelCaption.isEmpty()) {
        choiceLabel->setText(T("lblNoLabel"));
        m_labelChoice->setEnabled(false);
    } else {
        choiceLabel->setText(T("lblLabelUses").arg(QFileInfo(labelCaption).fileName()));
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    for (const BarcodeFormat& f : formats)
        addRow(f);
    updateChoices();
    connect(m_table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() != DataColumn) {
            updateRow(item->row());
            if (item->column() == NameColumn)
                updateChoices();
        }
    });
    connect(m_labelChoice, &QComboBox::activated, this,
            [this] { m_labelFormat = m_labelChoice->currentData().toString(); });
    connect(add, &QPushButton::clicked, this, [this] {
        // A fresh name, so that two new rows never clash.
        QString name = T("txtNewFormat");
        QSet<QString> names;
        for (const BarcodeFormat& f : this->formats())
            names.insert(f.name);
        for (int n = 2; names.contains(name); ++n)
            name = T("txtNewFormat") + QStringLiteral(" %1").arg(n);
        addRow({name, BarcodeKind::Ean13, QStringLiteral("20PPPPPRRRRR")});
        updateChoices();
        m_table->setCurrentCell(m_table->rowCount() - 1, NameColumn);
        m_table->editItem(m_table->item(m_table->rowCount() - 1, NameColumn));
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        const int row = m_table->currentRow();
        if (row < 0)
            return;
        m_table->removeRow(row);
        updateChoices();
    });
    resize(720, 420);
}

void BarcodeFormatsDialog::addRow(const BarcodeFormat& f)
{
    const QSignalBlocker block(m_table);
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    m_table->setItem(row, NameColumn, new QTableWidgetItem(f.name));
    auto* kind = new QComboBox(m_table);
    for (BarcodeKind k : kKinds)
        kind->addItem(BarcodeKindCaption(k), int(k));
    kind->setCurrentIndex(kind->findData(int(f.kind)));
    m_table->setCellWidget(row, KindColumn, kind);
    m_table->setItem(row, PatternColumn, new QTableWidgetItem(f.pattern));
    auto* data = new QTableWidgetItem;
    data->setFlags(Qt::ItemIsEnabled);
    m_table->setItem(row, DataColumn, data);
    connect(kind, &QComboBox::currentIndexChanged, this, [this, kind] {
        for (int r = 0; r < m_table->rowCount(); ++r)
            if (m_table->cellWidget(r, KindColumn) == kind)
                updateRow(r);
    });
    updateRow(row);
}

void BarcodeFormatsDialog::updateRow(int row)
{
    const QSignalBlocker block(m_table);
    const BarcodeFormat f = formats().value(row);
    QTableWidgetItem* pattern = m_table->item(row, PatternColumn);
    // Code 128 and QR Code carry the PLU and price as text: no pattern to edit.
    const bool takesPattern = BarcodePatternLength(f.kind) > 0;
    pattern->setFlags(takesPattern ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                                   : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    const BarcodeFormatProblem found = CheckBarcodeFormat(f);
    const char* key = problemKey(found);
    QString problem = key ? T(key) : QString();
    if (found == BarcodeFormatProblem::PatternLength)
        problem = problem.arg(BarcodePatternLength(f.kind));
    QTableWidgetItem* data = m_table->item(row, DataColumn);
    const SampleItem sample = WithBarcodeFormat(m_sample, f);
    data->setText(problem.isEmpty() ? BarcodeData(sample) : problem);
    data->setForeground(problem.isEmpty() ? palette().text() : QBrush(Qt::red));
    data->setToolTip(problem.isEmpty() ? T("ttExample") : problem);
}

void BarcodeFormatsDialog::updateChoices()
{
    const QSignalBlocker block(m_labelChoice);
    m_labelChoice->clear();
    m_labelChoice->addItem(T("txtSampleBarcode"), QString());
    for (const BarcodeFormat& f : formats())
        if (!f.name.trimmed().isEmpty())
            m_labelChoice->addItem(f.name, f.name);
    // A renamed or deleted format leaves the label on the sample's barcode.
    const int at = m_labelChoice->findData(m_labelFormat);
    m_labelChoice->setCurrentIndex(qMax(0, at));
    if (at < 0)
        m_labelFormat.clear();
}

QList<BarcodeFormat> BarcodeFormatsDialog::formats() const
{
    QList<BarcodeFormat> list;
    for (int r = 0; r < m_table->rowCount(); ++r) {
        const auto* kind = qobject_cast<const QComboBox*>(m_table->cellWidget(r, KindColumn));
        BarcodeFormat f;
        f.name = m_table->item(r, NameColumn) ? m_table->item(r, NameColumn)->text().trimmed() : QString();
        f.kind = kind ? BarcodeKind(kind->currentData().toInt()) : BarcodeKind::Ean13;
        f.pattern = m_table->item(r, PatternColumn) ? m_table->item(r, PatternColumn)->text().trimmed().toUpper()
                                                    : QString();
        if (BarcodePatternLength(f.kind) == 0)
            f.pattern.clear();
        list << f;
    }
    return list;
}

QString BarcodeFormatsDialog::labelFormat() const { return m_labelFormat; }

int BarcodeFormatsDialog::firstProblem(QString* key) const
{
    const QList<BarcodeFormat> list = formats();
    QSet<QString> names;
    for (int r = 0; r < list.size(); ++r) {
        const char* problem = problemKey(CheckBarcodeFormat(list[r]));
        if (!problem && names.contains(list[r].name.toCaseFolded()))
            problem = "msgDuplicateName";
        names.insert(list[r].name.toCaseFolded());
        if (problem) {
            if (key)
                *key = QString::fromLatin1(problem);
            return r;
        }
    }
    return -1;
}

void BarcodeFormatsDialog::accept()
{
    QString key;
    const int row = firstProblem(&key);
    if (row >= 0) {
        m_table->setCurrentCell(row, key == QLatin1String("msgBadName") || key == QLatin1String("msgDuplicateName")
                                         ? NameColumn
                                         : PatternColumn);
        const BarcodeFormat f = formats().value(row);
        QString text = T(key.toLatin1().constData());
        if (key == QLatin1String("msgPatternLength"))
            text = text.arg(BarcodePatternLength(f.kind));
        AskUser(this, QMessageBox::Warning, windowTitle(), text + QStringLiteral("\n") + f.name);
        return;
    }
    QDialog::accept();
}

} // namespace quillon
