#include "formatfile.h"
#include "codepage.h"
#include "datafile.h"
#include "vbnum.h"

#include <QFile>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace quillon {

namespace {

constexpr qint64 kMaxFileBytes = 16ll << 20;
constexpr int kFieldItems = 12 + 2 * kMaxTextLines;

// printf's %g already drops trailing zeros and keeps the leading one; only the
// exponent is tidied ("1E+07", not "1e+07").
QByteArray formatG(double v, int figures)
{
    if (v == 0 || !std::isfinite(v))
        return QByteArrayLiteral("0");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", figures, v);
    QByteArray s(buf);
    const qsizetype e = s.indexOf('e');
    if (e >= 0) {
        QByteArray exp = s.mid(e + 1);
        const char sign = exp.startsWith('-') ? '-' : '+';
        if (exp.startsWith('-') || exp.startsWith('+'))
            exp.remove(0, 1);
        while (exp.size() > 2 && exp.startsWith('0'))
            exp.remove(0, 1);
        s = s.left(e) + 'E' + sign + exp;
    }
    return s;
}

QByteArray quoted(int codepage, const QString& s)
{
    return '"' + ToAnsi(codepage, s) + '"';
}

// --- reading -------------------------------------------------------------------

struct Item {
    enum Kind { String, Bool, Number } kind = Number;
    QByteArray text;  // string contents, or the item as written
    bool b = false;
    double n = 0;
};

bool parseNumber(const QByteArray& s, double* v)
{
    // Sign, figures with at most one point, optional exponent: nothing else.
    qsizetype i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    bool digits = false;
    while (i < s.size() && std::isdigit(uchar(s[i]))) {
        ++i;
        digits = true;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(uchar(s[i]))) {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        bool expDigits = false;
        while (i < s.size() && std::isdigit(uchar(s[i]))) {
            ++i;
            expDigits = true;
        }
        if (!expDigits)
            return false;
    }
    if (i != s.size() || s.size() > 400)
        return false;
    *v = std::strtod(s.constData(), nullptr);
    return std::isfinite(*v);
}

// Splits one line into items; false when an item is malformed.
bool splitItems(const QByteArray& line, QVector<Item>* items, QString* why)
{
    items->clear();
    qsizetype i = 0;
    const qsizetype n = line.size();
    if (n == 0)
        return true;
    while (true) {
        Item it;
        if (i < n && line[i] == '"') {
            const qsizetype end = line.indexOf('"', i + 1);
            if (end < 0) {
                *why = QStringLiteral("a string has no closing quote");
                return false;
            }
            it.kind = Item::String;
            it.text = line.mid(i + 1, end - i - 1);
            i = end + 1;
        } else {
            qsizetype end = line.indexOf(',', i);
            if (end < 0)
                end = n;
            it.text = line.mid(i, end - i).trimmed();
            i = end;
            if (it.text == "#TRUE#" || it.text == "#FALSE#") {
                it.kind = Item::Bool;
                it.b = it.text == "#TRUE#";
            } else if (parseNumber(it.text, &it.n)) {
                it.kind = Item::Number;
            } else {
                *why = QStringLiteral("\"%1\" is not a number").arg(QString::fromLatin1(it.text.left(40)));
                return false;
            }
        }
        items->append(it);
        if (i >= n)
            return true;
        if (line[i] != ',') {
            *why = QStringLiteral("text after a closing quote");
            return false;
        }
        ++i;
    }
}

class Reader {
public:
    Reader(const QVector<Item>& items, int lineNo) : m_items(items), m_line(lineNo) {}

    bool ok() const { return m_error.isEmpty(); }
    const QString& error() const { return m_error; }

    QString str(int codepage)
    {
        const Item* it = next(Item::String, "a string");
        return it ? FromAnsi(codepage, it->text) : QString();
    }
    bool boolean()
    {
        const Item* it = next(Item::Bool, "#TRUE# or #FALSE#");
        return it && it->b;
    }
    double number(double lo, double hi)
    {
        const Item* it = next(Item::Number, "a number");
        if (!it)
            return 0;
        if (it->n < lo || it->n > hi) {
            fail(QStringLiteral("%1 is out of range").arg(QString::fromLatin1(it->text)));
            return 0;
        }
        return it->n;
    }
    qint16 integer(int lo = -32768, int hi = 32767) { return CInt(number(lo - 0.5, hi + 0.5)); }
    qint32 longInt(double lo, double hi) { return CLng(number(lo - 0.5, hi + 0.5)); }
    float single() { return float(number(-FLT_MAX, FLT_MAX)); }
    double dbl() { return number(-DBL_MAX, DBL_MAX); }
    bool atEnd()
    {
        if (ok() && m_pos != m_items.size())
            fail(QStringLiteral("%1 items where %2 were expected").arg(m_items.size()).arg(m_pos));
        return ok();
    }

private:
    const Item* next(Item::Kind kind, const char* what)
    {
        if (!ok())
            return nullptr;
        if (m_pos >= m_items.size()) {
            fail(QStringLiteral("the line ends early"));
            return nullptr;
        }
        const Item& it = m_items[m_pos++];
        if (it.kind != kind) {
            fail(QStringLiteral("item %1 is not %2").arg(m_pos).arg(QLatin1String(what)));
            return nullptr;
        }
        return &it;
    }
    void fail(const QString& e) { m_error = QStringLiteral("line %1: %2").arg(m_line).arg(e); }

    const QVector<Item>& m_items;
    int m_line;
    int m_pos = 0;
    QString m_error;
};

QlfReadResult formatError(const QString& why)
{
    return {QlfError::Format, QStringLiteral("not a label of this program and field catalogue (%1)").arg(why)};
}

QlfReadResult readError(const QString& why) { return {QlfError::Read, why}; }

} // namespace

QByteArray FormatSingle(float v) { return formatG(double(v), 7); }
QByteArray FormatDouble(double v) { return formatG(v, 15); }

QString QlfForbiddenCharacters(const QString& text)
{
    QString bad;
    for (QChar c : text)
        if ((c == u'"' || c == u'\r' || c == u'\n') && !bad.contains(c))
            bad += c;
    return bad;
}

bool LabelIsStorable(const Label& label, QString* why)
{
    auto check = [&](const QString& s, const QString& where) {
        if (QlfForbiddenCharacters(s).isEmpty())
            return true;
        if (why)
            *why = QStringLiteral("%1 contains a double quote or a line break, which a format file cannot hold.")
                       .arg(where);
        return false;
    };
    if (!check(label.tables().softwareName, QStringLiteral("The program name")))
        return false;
    for (int i = 0; i < label.fieldCount(); ++i) {
        const FieldRecord& r = label.m_arrFields[i];
        const QString name = i < label.tables().g_arrFieldDef.size() ? label.tables().g_arrFieldDef[i].Name
                                                                     : QString::number(i);
        if (!check(r.strLogoSize, QStringLiteral("The logo size of field \"%1\"").arg(name)))
            return false;
        for (int j = 1; j <= kMaxTextLines; ++j) {
            if (!check(r.strCharSize[j], QStringLiteral("A character size of field \"%1\"").arg(name))
                || !check(r.strText[j], QStringLiteral("Line %1 of field \"%2\"").arg(j).arg(name)))
                return false;
        }
    }
    return true;
}

QByteArray FormatFileBytes(const Label& label)
{
    const Tables& t = label.tables();
    const int cp = t.m_iAnsiCodepage;
    const QByteArray crlf("\r\n");
    QByteArray out;
    out.reserve(256 + label.fieldCount() * 160);
    out += quoted(cp, t.softwareName) + ",0," + QByteArray::number(label.fieldCount() - 1) + crlf;
    for (int i = 0; i < label.fieldCount(); ++i) {
        if (i)
            out += ',';
        out += QByteArray::number(label.fieldType(i));
    }
    out += crlf;
    out += QByteArray::number(label.m_iHoriRulerWidth) + ',' + QByteArray::number(label.m_iVertRulerHeight) + crlf;
    out += QByteArray::number(label.m_iFormatNo) + ',' + QByteArray::number(label.m_iScaleModelIndex) + ','
        + QByteArray::number(label.m_iSelected) + crlf;
    for (const FieldRecord& r : label.m_arrFields) {
        out += r.bUsed ? "#TRUE#" : "#FALSE#";
        out += ',' + FormatSingle(r.sngX) + ',' + FormatSingle(r.sngY) + ',' + QByteArray::number(r.lAttribute);
        out += ',' + FormatSingle(r.sngHeight) + ',' + FormatSingle(r.sngWidth) + ','
            + QByteArray::number(r.iReserved) + ',' + quoted(cp, r.strLogoSize) + ',' + FormatDouble(r.dblThickness);
        out += ',' + QByteArray::number(r.iImageNumber) + ',' + QByteArray::number(r.iNumOfFigures) + ','
            + QByteArray::number(r.iTextLine);
        for (int j = 1; j <= kMaxTextLines; ++j)
            out += ',' + quoted(cp, r.strCharSize[j]) + ',' + quoted(cp, r.strText[j]);
        out += crlf;
    }
    return out;
}

Result SaveToFile(const Label& label, const QString& strFileName)
{
    QString why;
    if (!LabelIsStorable(label, &why))
        return Result::Fail(why);
    return WriteFileAtomic(strFileName, FormatFileBytes(label));
}

QlfReadResult ParseFormatFile(const QByteArray& bytes, Label& out)
{
    if (bytes.size() > kMaxFileBytes)
        return readError(QStringLiteral("the file is larger than %1 bytes").arg(kMaxFileBytes));
    const Tables& t = out.tables();
    const int cp = t.m_iAnsiCodepage;
    const int fields = int(t.g_arrFieldDef.size());

    QList<QByteArray> lines = bytes.split('\n');
    for (QByteArray& l : lines)
        if (l.endsWith('\r'))
            l.chop(1);
    auto line = [&](int no) { return no - 1 < lines.size() ? lines[no - 1] : QByteArray(); };

    QVector<Item> items;
    QString why;

    // Line 1: the program's name and the catalogue's index range.
    if (!splitItems(line(1), &items, &why) || items.size() != 3 || items[1].kind != Item::Number
        || items[2].kind != Item::Number)
        return formatError(QStringLiteral("line 1"));
    if (FromAnsi(cp, items[0].text) != t.softwareName)
        return formatError(QStringLiteral("program name"));
    if (items[1].n != 0 || items[2].n != fields - 1)
        return formatError(QStringLiteral("number of fields"));

    // Line 2: every field's type must match the catalogue.
    if (!splitItems(line(2), &items, &why) || items.size() != fields)
        return formatError(QStringLiteral("field types"));
    for (int i = 0; i < fields; ++i)
        if (items[i].kind != Item::Number || items[i].n != t.g_arrFieldDef[i].FieldType)
            return formatError(QStringLiteral("type of field %1").arg(i));

    Label label(t);
    if (lines.size() < 4 + fields)
        return readError(QStringLiteral("the file ends after %1 lines").arg(lines.size()));

    if (!splitItems(line(3), &items, &why))
        return readError(QStringLiteral("line 3: %1").arg(why));
    Reader l3(items, 3);
    label.m_iHoriRulerWidth = l3.integer();
    label.m_iVertRulerHeight = l3.integer();
    if (!l3.atEnd())
        return readError(l3.error());

    if (!splitItems(line(4), &items, &why))
        return readError(QStringLiteral("line 4: %1").arg(why));
    Reader l4(items, 4);
    label.m_iFormatNo = l4.integer();
    label.m_iScaleModelIndex = l4.integer();
    label.m_iSelected = l4.integer();
    if (!l4.atEnd())
        return readError(l4.error());
    // Indices that point nowhere would make every later lookup fail.
    if (label.m_iScaleModelIndex < 0 || label.m_iScaleModelIndex > t.g_iScaleModelMax())
        label.m_iScaleModelIndex = 0;
    if (label.m_iSelected < -1 || label.m_iSelected >= fields)
        label.m_iSelected = -1;

    for (int i = 0; i < fields; ++i) {
        const int no = 5 + i;
        if (!splitItems(line(no), &items, &why))
            return readError(QStringLiteral("line %1: %2").arg(no).arg(why));
        if (items.size() < kFieldItems)
            return readError(QStringLiteral("line %1: the line ends early").arg(no));
        Reader rd(items, no);
        FieldRecord& r = label.m_arrFields[i];
        r.bUsed = rd.boolean();
        r.sngX = rd.single();
        r.sngY = rd.single();
        r.lAttribute = rd.longInt(0, 65535);
        r.sngHeight = rd.single();
        r.sngWidth = rd.single();
        r.iReserved = rd.integer();
        r.strLogoSize = rd.str(cp);
        r.dblThickness = rd.dbl();
        r.iImageNumber = rd.integer();
        r.iNumOfFigures = rd.integer();
        r.iTextLine = rd.integer(0, kMaxTextLines);
        for (int j = 1; j <= kMaxTextLines; ++j) {
            r.strCharSize[j] = rd.str(cp);
            r.strText[j] = rd.str(cp);
        }
        if (!rd.atEnd())
            return readError(rd.error());
    }
    label.m_bModified = false;
    out = label;
    return {};
}

QlfReadResult OpenFromFile(const QString& strFileName, Label& out)
{
    QFile f(strFileName);
    if (!f.open(QIODevice::ReadOnly))
        return readError(QStringLiteral("cannot read %1: %2").arg(strFileName, f.errorString()));
    if (f.size() > kMaxFileBytes)
        return readError(QStringLiteral("%1 is larger than %2 bytes").arg(strFileName).arg(kMaxFileBytes));
    const QByteArray bytes = f.read(kMaxFileBytes + 1);
    if (f.error() != QFileDevice::NoError)
        return readError(QStringLiteral("cannot read %1: %2").arg(strFileName, f.errorString()));
    return ParseFormatFile(bytes, out);
}

} // namespace quillon
