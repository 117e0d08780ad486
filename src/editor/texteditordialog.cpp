#include "editor/texteditordialog.h"
#include "context/texts.h"
#include "model/f56f61data.h"
#include "platform/screenunits.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QVBoxLayout>

namespace quillon {

namespace {

const QString kSection = QStringLiteral("frmEditText");
constexpr int kNumberWidth = 28;
constexpr int kFontWidth = 110;

QString T(const char* key) { return GetLangString(kSection, QString::fromLatin1(key)); }

// A translation without its placeholder still names the line or characters.
QString WithArg(const QString& text, const QString& arg)
{
    return text.contains(QLatin1String("%1")) ? text.arg(arg) : text + QLatin1Char(' ') + arg;
}

// A stored placement that is not a number falls back to its default.
float ReadTwips(QSettings& s, const QString& key, float def)
{
    bool ok = false;
    const float v = s.value(key).toString().toFloat(&ok);
    return ok && qIsFinite(v) ? v : def;
}

} // namespace

struct TextEditorDialog::Impl {
    struct Row {
        QWidget* box = nullptr;
        QLabel* number = nullptr;
        QComboBox* font = nullptr;
        QLineEdit* text = nullptr;
    };

    TextEditorDialog* q = nullptr;
    const Tables* tables = nullptr;
    QLabel* caption = nullptr;
    QScrollArea* scroll = nullptr;
    QWidget* rowsHost = nullptr;
    QVBoxLayout* rowsLayout = nullptr;
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    QList<Row> rows;
    bool loaded = false;     // text changes are followed only once the rows are filled
    bool built = false;

    void selectFont(QComboBox* cb, const QString& name)
    {
        const int i = cb->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
        cb->setCurrentIndex(i >= 0 ? i : 0);
    }

    void styleText(QLineEdit* le)
    {
        if (tables->g_iLangeCodepageToConvert == 2) {
            QFont f(QStringLiteral("Tahoma"));
            f.setPointSizeF(le->font().pointSizeF());
            le->setFont(f);
            le->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            le->setLayoutDirection(Qt::RightToLeft);
        } else {
            le->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            le->setLayoutDirection(Qt::LeftToRight);
        }
    }

    void addRow()
    {
        const int n = int(rows.size());
        Row r;
        r.box = new QWidget(rowsHost);
        auto* h = new QHBoxLayout(r.box);
        h->setContentsMargins(0, 0, 0, 0);
        r.number = new QLabel(QString::number(n + 1), r.box);
        r.number->setObjectName(QStringLiteral("lblLineNumber"));
        r.number->setFixedWidth(kNumberWidth);
        r.number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        r.font = new QComboBox(r.box);
        r.font->setObjectName(QStringLiteral("cboFont"));
        r.font->setFixedWidth(kFontWidth);
        for (const FieldFont& f : tables->g_arrFieldFont)
            r.font->addItem(f.Name);
        if (n > 0)
            r.font->setCurrentIndex(rows[n - 1].font->currentIndex());
        r.text = new QLineEdit(r.box);
        r.text->setObjectName(QStringLiteral("txtContents"));
        styleText(r.text);
        h->addWidget(r.number);
        h->addWidget(r.font);
        h->addWidget(r.text, 1);
        r.text->installEventFilter(q);
        r.font->installEventFilter(q);
        QObject::connect(r.text, &QLineEdit::textChanged, q, [this] { textChanged(); });
        rowsLayout->insertWidget(n, r.box);
        // A row past the twentieth exists but is never shown.
        r.box->setVisible(n < kMaxTextLines);
        rows.append(r);
    }

    void removeLastRow()
    {
        Row r = rows.takeLast();
        r.box->hide();
        r.text->removeEventFilter(q);
        r.font->removeEventFilter(q);
        r.box->deleteLater();
    }

    void textChanged()
    {
        if (!loaded)
            return;
        if (!rows.last().text->text().isEmpty())
            addRow();
        while (rows.size() >= 2 && rows.last().text->text().isEmpty() && rows[rows.size() - 2].text->text().isEmpty()) {
            focusRow(int(rows.size()) - 2);
            removeLastRow();
        }
    }

    void focusRow(int k, bool font = false)
    {
        if (k < 0 || k >= rows.size())
            return;
        QWidget* w = font ? static_cast<QWidget*>(rows[k].font) : rows[k].text;
        w->setFocus();
        scroll->ensureWidgetVisible(rows[k].box);
    }

    int rowOf(QObject* o, bool* isFont) const
    {
        for (int k = 0; k < rows.size(); ++k) {
            if (rows[k].text == o) { *isFont = false; return k; }
            if (rows[k].font == o) { *isFont = true; return k; }
        }
        return -1;
    }

    void load()
    {
        QSettings s(QStringLiteral("Quillon"), QStringLiteral("Quillon"));
        s.beginGroup(QStringLiteral("Settings"));
        const float dx = float(q->logicalDpiX()) / float(kTwipsPerInch), dy = float(q->logicalDpiY()) / float(kTwipsPerInch);
        const float l = ReadTwips(s, QStringLiteral("EditTextLeft"), 1000);
        const float t = ReadTwips(s, QStringLiteral("EditTextTop"), 1000);
        const float w = ReadTwips(s, QStringLiteral("EditTextWidth"), 6500);
        const float h = ReadTwips(s, QStringLiteral("EditTextHeight"), 6500);
        const QSize minSize = q->minimumSizeHint();
        const int pw = qBound(minSize.width(), int(w * dx), 4000);
        const int ph = qBound(minSize.height(), int(h * dy), 4000);
        q->resize(pw, ph);
        q->move(qBound(-pw / 2, int(l * dx), 8000), qBound(0, int(t * dy), 8000));

        m_textsAndRows();
        loaded = true;
    }

    void m_textsAndRows()
    {
        q->setWindowTitle(T("Caption"));
        caption->setText(T("Caption"));
        ok->setText(T("cmdOK"));
        cancel->setText(T("cmdCancel"));
        q->m_bCancel = true;

        const int n = qBound(0, int(q->m_iTextLine), kMaxTextLines);
        addRow();
        rows[0].text->setText(q->m_strText[1]);
        selectFont(rows[0].font, q->m_strCharSize[1]);
        for (int i = 2; i <= n; ++i) {
            addRow();
            rows.last().text->setText(q->m_strText[i]);
            selectFont(rows.last().font, q->m_strCharSize[i]);
        }
        if (!rows.last().text->text().isEmpty())
            addRow();
        focusRow(0);
    }

    void savePlacement()
    {
        if (q->isMinimized())
            return;
        QSettings s(QStringLiteral("Quillon"), QStringLiteral("Quillon"));
        s.beginGroup(QStringLiteral("Settings"));
        const float dx = float(kTwipsPerInch) / float(q->logicalDpiX()), dy = float(kTwipsPerInch) / float(q->logicalDpiY());
        const QRect g = q->geometry();
        s.setValue(QStringLiteral("EditTextLeft"), QString::number(double(float(q->x()) * dx), 'g', 7));
        s.setValue(QStringLiteral("EditTextTop"), QString::number(double(float(q->y()) * dy), 'g', 7));
        s.setValue(QStringLiteral("EditTextWidth"), QString::number(double(float(g.width()) * dx), 'g', 7));
        s.setValue(QStringLiteral("EditTextHeight"), QString::number(double(float(g.height()) * dy), 'g', 7));
    }

    void message(const QString& text)
    {
        QMessageBox box(QMessageBox::Warning, T("Caption"), text, QMessageBox::Ok, q);
        box.exec();
    }

    void accept()
    {
        const int lines = qMin(int(rows.size()) - 1, kMaxTextLines);
        // The label file cannot carry a double quote: keep the dialog open on that line.
        for (int k = 0; k < lines; ++k) {
            if (rows[k].text->text().contains(QLatin1Char('"'))) {
                message(WithArg(T("msgQuoteInText"), QString::number(k + 1)));
                focusRow(k);
                return;
            }
        }
        QString unencodable;
        for (int k = 0; k < lines; ++k)
            for (const QChar c : UnencodableCharacters(*tables, rows[k].text->text()))
                if (!unencodable.contains(c))
                    unencodable.append(c);
        if (!unencodable.isEmpty())
            message(WithArg(T("msgUnencodableText"), unencodable));

        q->m_iTextLine = qint16(lines);
        for (int k = 0; k < lines; ++k) {
            q->m_strText[k + 1] = rows[k].text->text();
            q->m_strCharSize[k + 1] = rows[k].font->currentText();
        }
        q->m_bCancel = false;
        q->QDialog::done(QDialog::Accepted);
    }
};

TextEditorDialog::TextEditorDialog(const Tables& tables, QWidget* parent) : QDialog(parent), d(new Impl)
{
    d->q = this;
    d->tables = &tables;
    setModal(true);
    setObjectName(QStringLiteral("frmEditText"));

    auto* v = new QVBoxLayout(this);
    d->caption = new QLabel(this);
    d->caption->setObjectName(QStringLiteral("udtEditCaption"));
    d->caption->setStyleSheet(QStringLiteral(
        "QLabel { background: palette(dark); color: palette(bright-text); font-weight: bold; padding: 4px 6px; }"));
    v->addWidget(d->caption);

    auto* titles = new QHBoxLayout;
    auto* tNum = new QLabel(T("lblLineNumberTitle"), this);
    tNum->setObjectName(QStringLiteral("lblLineNumberTitle"));
    tNum->setFixedWidth(kNumberWidth);
    auto* tFont = new QLabel(T("lblFontTitle"), this);
    tFont->setObjectName(QStringLiteral("lblFontTitle"));
    tFont->setFixedWidth(kFontWidth);
    auto* tText = new QLabel(T("lblContentsTitle"), this);
    tText->setObjectName(QStringLiteral("lblContentsTitle"));
    titles->addWidget(tNum);
    titles->addWidget(tFont);
    titles->addWidget(tText, 1);
    v->addLayout(titles);

    d->scroll = new QScrollArea(this);
    d->scroll->setWidgetResizable(true);
    d->scroll->setFrameShape(QFrame::NoFrame);
    d->rowsHost = new QWidget(d->scroll);
    d->rowsLayout = new QVBoxLayout(d->rowsHost);
    d->rowsLayout->setContentsMargins(0, 0, 0, 0);
    d->rowsLayout->setSpacing(3);
    d->rowsLayout->addStretch(1);
    d->scroll->setWidget(d->rowsHost);
    v->addWidget(d->scroll, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    d->ok = new QPushButton(this);
    d->ok->setObjectName(QStringLiteral("cmdOK"));
    d->cancel = new QPushButton(this);
    d->cancel->setObjectName(QStringLiteral("cmdCancel"));
    // Enter belongs to the rows, not to a default button.
    for (QPushButton* b : {d->ok, d->cancel}) {
        b->setAutoDefault(false);
        b->setDefault(false);
        b->setMinimumWidth(80);
        buttons->addWidget(b);
    }
    v->addLayout(buttons);
    connect(d->ok, &QPushButton::clicked, this, [this] { d->accept(); });
    connect(d->cancel, &QPushButton::clicked, this, [this] { reject(); });
}

TextEditorDialog::~TextEditorDialog() { delete d; }

void TextEditorDialog::Init(qint16 iTextLine, const std::array<QString, kMaxTextLines + 1>& strText,
                       const std::array<QString, kMaxTextLines + 1>& strCharSize)
{
    m_strText.fill(QString());
    m_strCharSize.fill(QString());
    m_iTextLine = qint16(qBound(0, int(iTextLine), kMaxTextLines));
    for (int i = 1; i <= m_iTextLine; ++i) {
        m_strText[i] = strText[i];
        m_strCharSize[i] = strCharSize[i];
    }
    // The first line of a field without text starts at the size chosen in the grid.
    if (m_iTextLine == 0)
        m_strCharSize[1] = strCharSize[1];
}

int TextEditorDialog::rowCount() const { return int(d->rows.size()); }
QLineEdit* TextEditorDialog::txtContents(int row) const { return row >= 0 && row < d->rows.size() ? d->rows[row].text : nullptr; }
QComboBox* TextEditorDialog::cboFont(int row) const { return row >= 0 && row < d->rows.size() ? d->rows[row].font : nullptr; }
QPushButton* TextEditorDialog::cmdOK() const { return d->ok; }
QPushButton* TextEditorDialog::cmdCancel() const { return d->cancel; }

void TextEditorDialog::showEvent(QShowEvent* e)
{
    if (!d->built) {
        d->built = true;
        d->load();
    }
    QDialog::showEvent(e);
}

void TextEditorDialog::done(int r)
{
    if (d->built)
        d->savePlacement();
    QDialog::done(r);
}

bool TextEditorDialog::eventFilter(QObject* o, QEvent* e)
{
    if (e->type() != QEvent::KeyPress)
        return QDialog::eventFilter(o, e);
    bool isFont = false;
    const int k = d->rowOf(o, &isFont);
    if (k < 0)
        return QDialog::eventFilter(o, e);
    const auto* ke = static_cast<QKeyEvent*>(e);
    const bool enter = ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter;
    const bool nextShown = k + 1 < d->rows.size() && k + 1 < kMaxTextLines;
    if (enter) {
        if (nextShown)
            d->focusRow(k + 1, isFont);
        else if (!isFont && k == d->rows.size() - 1)
            d->accept();
        return true;
    }
    if (!isFont && ke->key() == Qt::Key_Backspace && d->rows[k].text->text().isEmpty()) {
        d->focusRow(k - 1);
        return true;
    }
    return QDialog::eventFilter(o, e);
}

} // namespace quillon
