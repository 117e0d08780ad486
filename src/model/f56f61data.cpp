#include "model/f56f61data.h"
#include "model/codepage.h"
#include "model/datafile.h"
#include "model/irancharconvert.h"
#include "model/textbuild.h"
#include "model/numberspelling.h"

#include <limits>


namespace quillon {

namespace {

const IranCharConvert& iranConvert(const Tables& t)
{
    if (t.g_objIranConvert)
        return *t.g_objIranConvert;
    static const IranCharConvert fallback; // immutable chart, shared by tables made without one
    return fallback;
}

const CodePageTable* writeTable(const Tables& t)
{
    if (!t.tableMode())
        return nullptr;
    return t.g_iLangeCodepageToConvert == 0 ? &t.g_arrCp1250ToCp852 : &t.g_arrCp1251ToCp866;
}

const CodePageTable* readTable(const Tables& t)
{
    if (!t.tableMode())
        return nullptr;
    return t.g_iLangeCodepageToConvert == 0 ? &t.g_arrCp852ToCp1250 : &t.g_arrCp866ToCp1251;
}

// Hex of one code, an even number of figures: negative codes give their two bytes.
void appendHex(QString& out, int a)
{
    if (a >= -32768) {
        const quint64 u = a < 0 ? quint64(a) & 0xFFFF : quint64(a);
        int figures = 0;
        for (quint64 x = u; x; x >>= 4)
            ++figures;
        AppendHexFigures(out, u, qMax(2, figures + (figures & 1)));
        return;
    }
    const QString h = HexN(4, a);
    if (h.size() % 2)
        out += u'0';
    out += h;
}

// HexN's value: negative 16- and 32-bit numbers as two's complement.
quint64 hexNValue(qint64 v)
{
    if (v < 0 && v >= -32768)
        return quint64(v) & 0xFFFFu;
    if (v < 0 && v >= std::numeric_limits<qint32>::min())
        return quint64(v) & 0xFFFFFFFFu;
    return quint64(v);
}

// HexN into the string, without a temporary one.
void appendHexN(QString& out, int n, qint64 v) { AppendHexFigures(out, hexNValue(v), n); }

// Replaces the n-figure placeholder at pos by HexN(n, v), which may be wider.
void setHexN(QString& out, qsizetype pos, int n, qint64 v)
{
    quint64 u = hexNValue(v);
    if (u >> (4 * n)) {
        QString h;
        AppendHexFigures(h, u, n);
        out.replace(pos, n, h);
        return;
    }
    static const char digits[] = "0123456789ABCDEF";
    QChar* d = out.data() + pos;
    for (int i = n - 1; i >= 0; --i, u >>= 4)
        d[i] = QLatin1Char(digits[u & 15]);
}

// The leading hex figures of the (at most) two characters at i, as HexLeading reads them.
int hexByte(QStringView s, qsizetype i)
{
    int v = 0;
    for (qsizetype k = i; k < s.size() && k < i + 2; ++k) {
        const char16_t c = s[k].unicode();
        const int d = c >= u'0' && c <= u'9' ? c - u'0'
            : c >= u'a' && c <= u'f'         ? c - u'a' + 10
            : c >= u'A' && c <= u'F'         ? c - u'A' + 10
                                             : -1;
        if (d < 0)
            break;
        v = v * 16 + d;
    }
    return v;
}

void encodeScaleText(QString& out, const Tables& t, QStringView text)
{
    if (t.persianMode()) {
        for (QChar c : iranConvert(t).Uni2IrSys(text.toString()))
            appendHex(out, c.unicode() & 0xFF);
        return;
    }
    const CodePageTable* table = writeTable(t);
    const qsizetype n = text.size();
    const char16_t* s = text.utf16();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t code = s[i];
        if (QChar::isSurrogate(code)) {
            // A pair is one character; a lone half is U+FFFD.
            if (QChar::isHighSurrogate(code) && i + 1 < n && QChar::isLowSurrogate(s[i + 1])) {
                code = QChar::surrogateToUcs4(char16_t(code), s[i + 1]);
                ++i;
            } else {
                code = 0xFFFD;
            }
        }
        const int a = AnsiCode(t.m_iAnsiCodepage, code);
        if (a < 128)
            appendHex(out, a);
        else if (table && a <= 255)
            appendHex(out, (*table)[a - 128]);
        else
            appendHex(out, a);
    }
}

QString decodeScaleText(const Tables& t, QStringView hex)
{
    QString out;
    out.reserve(hex.size() / 2);
    const bool persian = t.persianMode();
    const CodePageTable* table = readTable(t);
    const int cp = t.m_iAnsiCodepage;
    qsizetype i = 0;
    while (i < hex.size()) {
        const int b = hexByte(hex, i);
        if (persian) {
            iranConvert(t).AppendIrSys2Uni(out, quint8(b));
        } else if (b < 128) {
            out += QChar(char16_t(b));
        } else if (table) {
            AppendAnsiChar(out, cp, (*table)[b - 128]);
        } else if (t.g_iSetLanguageCodepage == 1) {
            AppendAnsiChar(out, cp, b);
        } else if (IsLeadByte(cp, uchar(b)) && i + 4 <= hex.size()) {
            // Only a double-byte code page pairs bytes; elsewhere a byte is a character.
            const quint32 code = HexLeading(hex.mid(i, 4));
            AppendAnsiChar(out, cp, int(qint16(quint16(code))));
            i += 4;
            continue;
        } else {
            AppendAnsiChar(out, cp, b);
        }
        i += 2;
    }
    return out;
}

} // namespace

QString EncodeScaleText(const Tables& t, const QString& text)
{
    QString out;
    out.reserve(text.size() * 2);
    encodeScaleText(out, t, text);
    return out;
}

QString DecodeScaleText(const Tables& t, const QString& hex) { return decodeScaleText(t, hex); }

QString TextDataRecord(const Label& label, qint32 fieldType)
{
    const Tables& t = label.tables();
    QString out;
    int k = 0;
    for (int i = 0; i < label.fieldCount(); ++i) {
        if (label.fieldType(i) != fieldType)
            continue;
        ++k;
        const FieldRecord& r = label.m_arrFields[i];
        const int lines = qBound(0, int(r.iTextLine), kMaxTextLines);
        if (lines == 0)
            continue;
        // Counts are written once what they count is in place.
        out += DecN(8, k);
        const qsizetype lengthAt = out.size();
        out += QLatin1String("00000000");
        const qsizetype bodyAt = out.size();
        for (int j = 1; j <= lines; ++j) {
            const QString& size = r.strCharSize[j];
            bool known = false;
            for (const FieldFont& f : t.g_arrFieldFont) {
                if (f.Name == size) {
                    appendHexN(out, 2, f.Code);
                    known = true;
                    break;
                }
            }
            if (!known)
                out += QLatin1String("00");
            const qsizetype countAt = out.size();
            out += QLatin1String("00");
            const qsizetype textAt = out.size();
            encodeScaleText(out, t, r.strText[j]);
            setHexN(out, countAt, 2, (out.size() - textAt) / 2);
            out += j == lines ? QLatin1String("0C") : QLatin1String("0D");
        }
        setHexN(out, lengthAt, 4, (out.size() - bodyAt) / 2 + 8);
    }
    return out;
}

Result ExportTextData(const Label& label, const QString& strFileName, qint32 fieldType, Sync sync)
{
    // A byte count has two figures: a longer line would be misread by the scale.
    const Tables& t = label.tables();
    for (int i = 0; i < label.fieldCount(); ++i) {
        if (label.fieldType(i) != fieldType)
            continue;
        const FieldRecord& r = label.m_arrFields[i];
        for (int j = 1; j <= qBound(0, int(r.iTextLine), kMaxTextLines); ++j) {
            if (EncodeScaleText(t, r.strText[j]).size() / 2 > 255)
                return Result::Fail(QStringLiteral("Line %1 of field \"%2\" is longer than 255 bytes.")
                                        .arg(j)
                                        .arg(t.g_arrFieldDef[i].Name));
        }
    }
    return WriteTextFile(strFileName, TextDataRecord(label, fieldType).toLatin1(), sync);
}

QList<int> ImportTextDataLine(Label& label, const QString& s, qint32 fieldType)
{
    QList<int> list;
    for (int i = 0; i < label.fieldCount(); ++i)
        if (label.fieldType(i) == fieldType)
            list.append(i);
    QList<int> changed;
    const Tables& t = label.tables();
    const QStringView view(s);
    const qsizetype len = s.size();
    if (len < 16)
        return changed;
    qsizetype p = 1; // 1-based, as the record layout counts
    while (p + 16 < len) {
        const int k = CInt(double(DecLeading(view.mid(p - 1, 8))));
        p += 16;
        FieldRecord* f = k >= 1 && k <= list.size() ? &label.m_arrFields[list[k - 1]] : nullptr;
        int j = 0;
        // The end of the line ends a record that lacks its "0C".
        while (p <= len) {
            ++j;
            const int n = hexByte(s, p + 1);
            if (f && j <= kMaxTextLines) {
                f->iTextLine = qint16(j);
                f->strCharSize[j] = FontCodeToName(t, hexByte(s, p - 1));
                f->strText[j] = decodeScaleText(t, view.mid(p + 3, qMax<qsizetype>(0, qMin<qsizetype>(2 * n, len - (p + 3)))));
            }
            p += 2 * n + 6;
            if (p - 3 >= 0 && p - 3 + 2 <= len && view.mid(p - 3, 2) == QLatin1String("0C"))
                break;
        }
        if (f && !changed.contains(list[k - 1]))
            changed.append(list[k - 1]);
    }
    return changed;
}

Result ImportTextData(Label& label, const QString& strFileName, qint32 fieldType, QList<int>* changed)
{
    QByteArray line;
    const Result r = ReadFirstLine(strFileName, &line);
    if (!r)
        return r;
    const QList<int> c = ImportTextDataLine(label, QString::fromLatin1(line), fieldType);
    if (changed)
        *changed = c;
    return Result::Ok();
}

QString UnencodableCharacters(const Tables& t, const QString& text)
{
    QString bad;
    for (const uint code : text.toUcs4()) {
        const char32_t c = char32_t(code);
        if (c == u'?')
            continue;
        const QString one = QString::fromUcs4(&c, 1);
        bool lost = false;
        if (t.persianMode()) {
            lost = iranConvert(t).Uni2IrSys(one).contains(u'?');
        } else {
            bool ok = true;
            const int a = AnsiCode(t.m_iAnsiCodepage, c, &ok);
            lost = !ok;
            if (ok && a >= 128 && a <= 255 && writeTable(t))
                lost = (*writeTable(t))[a - 128] == 0x20;
        }
        if (lost && !bad.contains(one))
            bad += one;
    }
    return bad;
}

} // namespace quillon
