#include "model/qlffile.h"
#include "model/codepage.h"
#include "model/datafile.h"
#include "model/textbuild.h"
#include "model/numberspelling.h"

#include <QFile>
#include <QVarLengthArray>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <iterator>

namespace quillon {

namespace {

constexpr qint64 kMaxFileBytes = 16ll << 20;
constexpr int kFieldItems = 12 + 2 * kMaxTextLines;

void appendQuoted(QByteArray& out, int codepage, const QString& s)
{
    out.append('"');
    AppendAnsi(out, codepage, s);
    out.append('"');
}

// --- reading -------------------------------------------------------------------

struct Item {
    enum Kind { String, Bool, Number } kind = Number;
    QByteArrayView text;  // string contents, or the item as written (into the file's bytes)
    bool b = false;
    double n = 0;
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool parseNumber(QByteArrayView s, double* v)
{
    // Sign, figures with at most one point, optional exponent: nothing else.
    qsizetype i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    bool digits = false;
    while (i < s.size() && isDigit(s[i])) {
        ++i;
        digits = true;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) {
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
        while (i < s.size() && isDigit(s[i])) {
            ++i;
            expDigits = true;
        }
        if (!expDigits)
            return false;
    }
    if (i != s.size() || s.size() > 400)
        return false;
    *v = DecimalToDouble(s);
    return std::isfinite(*v);
}

bool sameBytes(QByteArrayView a, const char* literal)
{
    const qsizetype n = qsizetype(std::strlen(literal));
    return a.size() == n && std::memcmp(a.data(), literal, size_t(n)) == 0;
}

// Splits one line into items; false when an item is malformed.
bool splitItems(QByteArrayView line, QVector<Item>* items, QString* why)
{
    items->clear();
    qsizetype i = 0;
    const qsizetype n = line.size();
    if (n == 0)
        return true;
    const char* data = line.data();
    while (true) {
        Item it;
        if (i < n && data[i] == '"') {
            qsizetype end = i + 1;
            while (end < n && data[end] != '"')
                ++end;
            if (end == n) {
                *why = QStringLiteral("a string has no closing quote");
                return false;
            }
            it.kind = Item::String;
            it.text = QByteArrayView(data + i + 1, end - i - 1);
            i = end + 1;
        } else {
            qsizetype end = i;
            while (end < n && data[end] != ',')
                ++end;
            qsizetype from = i;
            i = end;
            while (from < end && isSpace(data[from]))
                ++from;
            while (end > from && isSpace(data[end - 1]))
                --end;
            it.text = QByteArrayView(data + from, end - from);
            if (sameBytes(it.text, "#TRUE#") || sameBytes(it.text, "#FALSE#")) {
                it.kind = Item::Bool;
                it.b = it.text.size() == 6;
            } else if (parseNumber(it.text, &it.n)) {
                it.kind = Item::Number;
            } else {
                const QByteArrayView shown = it.text.first(qMin<qsizetype>(40, it.text.size()));
                *why = QStringLiteral("\"%1\" is not a number").arg(QString::fromLatin1(shown));
                return false;
            }
        }
        items->append(it);
        if (i >= n)
            return true;
        if (data[i] != ',') {
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
        if (!it)
            return QString();
        // Most strings of a field line are empty: share one instead of making each.
        static const QString empty = QString::fromLatin1("", 0);
        return it->text.isEmpty() ? empty : FromAnsiView(codepage, it->text);
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

// Strings met earlier in the same file: character sizes and logo sizes repeat on
// nearly every line, and equal bytes give equal text, which can share one copy.
class TextCache {
public:
    explicit TextCache(int codepage) : m_codepage(codepage) {}

    QString get(QByteArrayView bytes)
    {
        if (bytes.size() > 64)
            return FromAnsiView(m_codepage, bytes);
        const uchar first = uchar(bytes.front());
        const uchar last = uchar(bytes.back());
        Slot& slot = m_slots[(size_t(bytes.size()) * 31 + first * 7 + last) % std::size(m_slots)];
        if (slot.bytes.size() == bytes.size() && std::memcmp(slot.bytes.data(), bytes.data(), size_t(bytes.size())) == 0)
            return slot.text;
        slot.bytes = bytes;
        slot.text = FromAnsiView(m_codepage, bytes);
        return slot.text;
    }

private:
    struct Slot {
        QByteArrayView bytes; // into the file's bytes, which outlive the cache
        QString text;
    };
    int m_codepage;
    Slot m_slots[61];
};

// A field line as this program writes it (no blanks around items, every item of
// its kind and in range) read in one pass without splitting it first. Anything
// else is left to splitItems and Reader, which also word the error.
class FastReader {
public:
    FastReader(QByteArrayView line, TextCache& texts)
        : m_p(line.data()), m_end(line.data() + line.size()), m_texts(texts)
    {
    }

    bool ok() const { return m_ok; }

    QString str(int codepage)
    {
        Q_UNUSED(codepage); // the cache's
        if (!separator() || m_p == m_end || *m_p != '"')
            return fail<QString>();
        // Local pointers: a char store through the member would make every step reload it.
        const char* const from = m_p + 1;
        const char* const end = m_end;
        const char* close = from;
        while (close < end && *close != '"')
            ++close;
        if (close == end || (close + 1 < end && close[1] != ','))
            return fail<QString>();
        m_p = close + 1;
        return close == from ? m_empty : m_texts.get(QByteArrayView(from, close - from));
    }
    bool boolean()
    {
        const QByteArrayView text = bare();
        if (sameBytes(text, "#TRUE#"))
            return true;
        if (!sameBytes(text, "#FALSE#"))
            m_ok = false;
        return false;
    }
    double number(double lo, double hi)
    {
        double v = 0;
        if (!m_ok || !parseNumber(bare(), &v) || v < lo || v > hi)
            return fail<double>();
        return v;
    }
    qint16 integer(int lo = -32768, int hi = 32767) { return CInt(number(lo - 0.5, hi + 0.5)); }
    qint32 longInt(double lo, double hi) { return CLng(number(lo - 0.5, hi + 0.5)); }
    float single() { return float(number(-FLT_MAX, FLT_MAX)); }
    double dbl() { return number(-DBL_MAX, DBL_MAX); }
    bool atEnd() { return m_ok && m_p == m_end; }

private:
    template <typename T> T fail()
    {
        m_ok = false;
        m_p = m_end;
        return T();
    }
    // The comma before every item but the first.
    bool separator()
    {
        if (m_first) {
            m_first = false;
            return m_ok;
        }
        if (!m_ok || m_p == m_end || *m_p != ',')
            return m_ok = false;
        ++m_p;
        return true;
    }
    QByteArrayView bare()
    {
        if (!separator())
            return {};
        const char* const from = m_p;
        const char* const end = m_end;
        const char* stop = from;
        while (stop < end && *stop != ',')
            ++stop;
        m_p = stop;
        return QByteArrayView(from, stop - from);
    }

    const char* m_p;
    const char* m_end;
    TextCache& m_texts;
    const QString m_empty = QString::fromLatin1("", 0); // not null, as the general reader gives it
    bool m_first = true;
    bool m_ok = true;
};

// Items 1 to 52 of a field line, in file order.
template <typename R>
void readField(R& rd, int cp, FieldRecord& r)
{
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
}

QlfReadResult formatError(const QString& why)
{
    return {QlfError::Format, QStringLiteral("not a label of this program and field catalogue (%1)").arg(why)};
}

QlfReadResult readError(const QString& why) { return {QlfError::Read, why}; }

} // namespace

QByteArray FormatSingle(float v)
{
    QByteArray out;
    AppendGeneral(out, double(v), 7);
    return out;
}

QByteArray FormatDouble(double v)
{
    QByteArray out;
    AppendGeneral(out, v, 15);
    return out;
}

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
    QByteArray out;
    out.reserve(256 + label.fieldCount() * 160);
    auto number = [&](qint64 v) {
        out.append(',');
        AppendDecimal(out, v);
    };
    appendQuoted(out, cp, t.softwareName);
    out.append(",0,");
    AppendDecimal(out, label.fieldCount() - 1);
    out.append("\r\n");
    for (int i = 0; i < label.fieldCount(); ++i) {
        if (i)
            out.append(',');
        AppendDecimal(out, label.fieldType(i));
    }
    out.append("\r\n");
    AppendDecimal(out, label.m_iHoriRulerWidth);
    number(label.m_iVertRulerHeight);
    out.append("\r\n");
    AppendDecimal(out, label.m_iFormatNo);
    number(label.m_iScaleModelIndex);
    number(label.m_iSelected);
    out.append("\r\n");
    // Field lines are written raw into room made for the whole line first.
    qsizetype used = out.size();
    for (const FieldRecord& r : label.m_arrFields) {
        // "#FALSE#", five real and five whole numbers after commas, the quoted logo size
        // (two bytes at most per UTF-16 unit), the line end.
        qsizetype room = 7 + 5 * (1 + kMaxGeneral) + 5 * (1 + kMaxDecimal) + 3 + 2 * r.strLogoSize.size() + 2;
        for (int j = 1; j <= kMaxTextLines; ++j)
            room += 6 + 2 * (r.strCharSize[j].size() + r.strText[j].size());
        if (out.size() - used < room)
            out.resize(qMax(2 * out.size(), used + room));
        char* const start = out.data() + used;
        char* p = start;
        auto put = [&p](const char* text) {
            const size_t n = std::strlen(text);
            std::memcpy(p, text, n);
            p += n;
        };
        auto quoted = [&](const QString& text) {
            char* q = p; // a local pointer: stores through p itself would reload it
            *q++ = ',';
            *q++ = '"';
            // Plain ASCII is copied here; only the rest needs the code page.
            const char16_t* c = reinterpret_cast<const char16_t*>(text.constData());
            const qsizetype n = text.size();
            qsizetype k = 0;
            for (; k < n && c[k] < 0x80; ++k)
                q[k] = char(c[k]);
            q += k;
            if (k < n)
                q = WriteAnsi(q, cp, QStringView(c + k, n - k));
            *q++ = '"';
            p = q;
        };
        auto single = [&p](float v) {
            *p++ = ',';
            p = WriteGeneral(p, v, 7);
        };
        auto number = [&p](qint64 v) {
            *p++ = ',';
            p = WriteDecimal(p, v);
        };
        put(r.bUsed ? "#TRUE#" : "#FALSE#");
        single(r.sngX);
        single(r.sngY);
        number(r.lAttribute);
        single(r.sngHeight);
        single(r.sngWidth);
        number(r.iReserved);
        quoted(r.strLogoSize);
        *p++ = ',';
        p = WriteGeneral(p, r.dblThickness, 15);
        number(r.iImageNumber);
        number(r.iNumOfFigures);
        number(r.iTextLine);
        for (int j = 1; j <= kMaxTextLines; ++j) {
            quoted(r.strCharSize[j]);
            quoted(r.strText[j]);
        }
        put("\r\n");
        used += p - start;
    }
    out.resize(used);
    return out;
}

Result SaveToFile(const Label& label, const QString& strFileName, Sync sync)
{
    QString why;
    if (!LabelIsStorable(label, &why))
        return Result::Fail(why);
    return WriteFileAtomic(strFileName, FormatFileBytes(label), sync);
}

QlfReadResult ParseFormatFile(const QByteArray& bytes, Label& out)
{
    if (bytes.size() > kMaxFileBytes)
        return readError(QStringLiteral("the file is larger than %1 bytes").arg(kMaxFileBytes));
    const Tables& t = out.tables();
    const int cp = t.m_iAnsiCodepage;
    const int fields = int(t.g_arrFieldDef.size());

    // Views into the bytes: the items point into them until the label is filled.
    QVarLengthArray<QByteArrayView, 64> lines;
    for (qsizetype from = 0;;) {
        const qsizetype nl = bytes.indexOf('\n', from);
        QByteArrayView l = QByteArrayView(bytes).sliced(from, (nl < 0 ? bytes.size() : nl) - from);
        if (l.endsWith('\r'))
            l.chop(1);
        lines.append(l);
        if (nl < 0)
            break;
        from = nl + 1;
    }
    auto line = [&](int no) { return no - 1 < lines.size() ? lines[no - 1] : QByteArrayView(); };

    QVector<Item> items;
    QString why;

    // Line 1: the program's name and the catalogue's index range.
    if (!splitItems(line(1), &items, &why) || items.size() != 3 || items[1].kind != Item::Number
        || items[2].kind != Item::Number)
        return formatError(QStringLiteral("line 1"));
    if (FromAnsiView(cp, items[0].text) != t.softwareName)
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

    TextCache texts(cp);
    for (int i = 0; i < fields; ++i) {
        const int no = 5 + i;
        FieldRecord& r = label.m_arrFields[i];
        FastReader fast(line(no), texts);
        readField(fast, cp, r);
        if (fast.atEnd())
            continue;
        if (!splitItems(line(no), &items, &why))
            return readError(QStringLiteral("line %1: %2").arg(no).arg(why));
        if (items.size() < kFieldItems)
            return readError(QStringLiteral("line %1: the line ends early").arg(no));
        Reader rd(items, no);
        readField(rd, cp, r);
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
    // A buffer of the file's size, not of the limit: thousands of labels are read in one run.
    const QByteArray bytes = f.read(f.isSequential() ? kMaxFileBytes + 1 : f.size() + 1);
    if (f.error() != QFileDevice::NoError)
        return readError(QStringLiteral("cannot read %1: %2").arg(strFileName, f.errorString()));
    return ParseFormatFile(bytes, out);
}

QlfReadResult OpenLabel(const QString& strFileName, Label& out)
{
    const QlfReadResult r = OpenFromFile(strFileName, out);
    if (r.ok())
        for (int i = 0; i < out.fieldCount(); ++i)
            out.NormaliseField(i);
    return r;
}

} // namespace quillon
