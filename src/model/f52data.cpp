#include "model/f52data.h"
#include "model/datafile.h"
#include "model/units.h"
#include "model/numberspelling.h"

#include <cmath>
#include <utility>

namespace quillon {

namespace {

QString zeros(int n) { return QString(n, u'0'); }

// Decimal text of a logo size: whole values as figures, anything else written out
// whole so the record shows the bad value instead of a silently different one.
QString decimalText(int n, double v)
{
    v = std::fabs(v);
    if (v == std::floor(v) && v < 9.0e15)
        return DecN(n, qint64(v));
    return PadLeft(n, QString::number(v, 'g', 15));
}

// Characters p..p+n-1 (1-based) of s; shorter or empty past the end.
QStringView mid(QStringView s, qsizetype p, qsizetype n)
{
    if (p < 1 || p > s.size())
        return {};
    return s.mid(p - 1, qMin(n, s.size() - (p - 1)));
}

qint32 hexVal(QStringView s, qsizetype p, qsizetype n)
{
    const QStringView piece = mid(s, p, n);
    // Leading hex figures (at most 8); a full four-figure value is a signed 16-bit number.
    quint32 v = 0;
    int figures = 0;
    for (; figures < piece.size() && figures < 8; ++figures) {
        const char16_t c = piece[figures].unicode();
        int d;
        if (c >= u'0' && c <= u'9')
            d = c - u'0';
        else if (c >= u'A' && c <= u'F')
            d = c - u'A' + 10;
        else if (c >= u'a' && c <= u'f')
            d = c - u'a' + 10;
        else
            break;
        v = v * 16 + quint32(d);
    }
    if (n == 4 && figures == 4)
        return qint32(qint16(quint16(v)));
    return qint32(v);
}

qint32 hexLong(QStringView s, qsizetype p, qsizetype n) { return qint32(HexLeading(mid(s, p, n))); }
qint32 decVal(QStringView s, qsizetype p, qsizetype n) { return qint32(qMin<quint32>(DecLeading(mid(s, p, n)), 0x7FFFFFFF)); }

// One entry written into a fixed buffer, appended to the record in one piece.
// Every entry is at most 5 values of 16 figures plus 30 zeros.
class Entry {
public:
    void text(const QString& s)
    {
        for (QChar c : s)
            m_buf[m_len++] = c.unicode();
    }
    void latin(const char* s, int n)
    {
        for (int i = 0; i < n; ++i)
            m_buf[m_len++] = char16_t(s[i]);
    }
    void zeros(int n)
    {
        for (int i = 0; i < n; ++i)
            m_buf[m_len++] = u'0';
    }
    // Fixed-width hex; values wider than the field take the general path, which
    // writes them whole.
    void hex(qint64 v, int width)
    {
        const quint64 limit = width == 2 ? 0xFF : 0xFFFF;
        quint64 u = v < 0 && v >= -32768 && width == 4 ? quint64(v) & 0xFFFF : quint64(v);
        if (v < 0 && width != 4)
            u = limit + 1;
        if (u > limit) {
            text(HexN(width, v));
            return;
        }
        static const char digits[] = "0123456789ABCDEF";
        for (int i = width - 1; i >= 0; --i, u >>= 4)
            m_buf[m_len + i] = char16_t(digits[u & 15]);
        m_len += width;
    }
    void dec2(qint64 v)
    {
        if (v >= 0 && v <= 99) {
            m_buf[m_len++] = char16_t(u'0' + v / 10);
            m_buf[m_len++] = char16_t(u'0' + v % 10);
        } else {
            text(DecN(2, v));
        }
    }
    const QChar* data() const { return reinterpret_cast<const QChar*>(m_buf); }
    int size() const { return m_len; }

private:
    char16_t m_buf[192];
    int m_len = 0;
};

void writeEntry(Entry& s, const Tables& t, const FieldRecord& r, qint32 fieldType, float mmPerKDot)
{
    auto dots = [&](float mm) { s.hex(MMToDot(mm, mmPerKDot), 4); };
    auto size = [&] {
        dots(r.sngHeight);
        dots(r.sngWidth);
    };
    auto font = [&] {
        for (const FieldFont& f : t.g_arrFieldFont)
            if (f.Name == r.strCharSize[1])
                return s.hex(f.Code, 2);
        s.zeros(2);
    };
    dots(r.sngX);
    dots(r.sngY);
    s.hex(r.lAttribute, 4);
    switch (fieldType) {
    case FT_B1:
        size();
        s.zeros(4);
        break;
    case FT_B2:
        size();
        s.text(decimalText(2, Val(r.strLogoSize)));
        s.zeros(2);
        break;
    case FT_B3:
        // The end point, from the field's own size whatever its rotation.
        dots(r.sngX + r.sngWidth);
        dots(r.sngY + r.sngHeight);
        dots(float(r.dblThickness));
        break;
    case FT_B4:
        size();
        s.zeros(2);
        s.dec2(r.iImageNumber);
        break;
    case FT_B5:
        size();
        s.zeros(2);
        s.hex(r.iNumOfFigures, 2);
        break;
    case FT_C1:
        size();
        font();
        s.zeros(6);
        break;
    case FT_C3:
        size();
        font();
        s.zeros(30);
        break;
    case FT_C4:
        size();
        font();
        s.zeros(14);
        break;
    case FT_N1:
        font();
        s.dec2(r.iNumOfFigures);
        break;
    default: // C2, TEXT, SHOPNAME
        size();
        font();
        s.zeros(2);
        break;
    }
}

} // namespace

QString FieldToHex(const Tables& t, const FieldRecord& r, qint32 fieldType, float mmPerKDot)
{
    const int length = FieldEntryLength(fieldType);
    if (length == 0)
        return QString();
    if (!r.bUsed)
        return zeros(length);
    Entry s;
    writeEntry(s, t, r, fieldType, mmPerKDot);
    return QString(s.data(), s.size());
}

QString FormatRecord(const Label& label)
{
    const Tables& t = label.tables();
    const float k = label.GetMMPerKDot();
    constexpr int kHeader = 24;
    qsizetype capacity = kHeader;
    for (int i = 0; i < label.fieldCount(); ++i)
        capacity += FieldEntryLength(label.fieldType(i));
    QString record;
    record.reserve(capacity);
    record.resize(kHeader);
    for (int i = 0; i < label.fieldCount(); ++i) {
        const qint32 type = label.fieldType(i);
        const int length = FieldEntryLength(type);
        if (length == 0)
            continue;
        const FieldRecord& r = label.m_arrFields[i];
        if (!r.bUsed) {
            record.resize(record.size() + length, u'0');
            continue;
        }
        Entry s;
        writeEntry(s, t, r, type, k);
        record.append(s.data(), s.size());
    }
    const qint32 length = CLng(double(record.size() - kHeader) / 2 + 12);
    QString header;
    header.reserve(kHeader);
    header += DecN(8, label.m_iFormatNo);
    header += HexN(4, length);
    header += HexN(4, MMToDot(float(label.m_iHoriRulerWidth), k));
    header += HexN(4, MMToDot(float(label.m_iVertRulerHeight), k));
    header += QLatin1String("0002");
    record.replace(0, kHeader, header);
    return record;
}

Result ExportFormatData(const Label& label, const QString& strFileName, Sync sync)
{
    // A value wider than its place (N1 figures read from a scale as hexadecimal can
    // reach 255) would shift every later entry; the scale must not get such a record.
    const Tables& t = label.tables();
    for (int i = 0; i < label.fieldCount(); ++i) {
        const qint32 type = label.fieldType(i);
        if (FieldToHex(t, label.m_arrFields[i], type, label.GetMMPerKDot()).size() != FieldEntryLength(type))
            return Result::Fail(QStringLiteral("Field \"%1\" has a value that does not fit the format data.")
                                    .arg(i < t.g_arrFieldDef.size() ? t.g_arrFieldDef[i].Name : QString::number(i)));
    }
    return WriteTextFile(strFileName, FormatRecord(label).toLatin1(), sync);
}

namespace {

bool hexToField(const Tables& t, QStringView piece, FieldRecord& record, qint32 fieldType, float mmPerKDot)
{
    const int length = FieldEntryLength(fieldType);
    if (length == 0 || piece.size() != length)
        return false;
    auto mm = [&](qint32 dots) { return DotToMM(float(dots), mmPerKDot); };
    // What an entry holds; the rest of the record becomes as in a new one.
    struct {
        float sngX = 0, sngY = 0, sngHeight = 0, sngWidth = 0;
        qint32 lAttribute = 0;
        qint16 iReserved = 0, iImageNumber = 0, iNumOfFigures = 0;
        double dblThickness = 0;
        QString strLogoSize, font;
    } w;
    w.sngX = mm(hexVal(piece, 1, 4));
    w.sngY = mm(hexVal(piece, 5, 4));
    w.lAttribute = hexLong(piece, 9, 4);
    auto readSize = [&] {
        w.sngHeight = mm(hexVal(piece, 13, 4));
        w.sngWidth = mm(hexVal(piece, 17, 4));
    };
    switch (fieldType) {
    case FT_B1:
        readSize();
        w.iReserved = CInt(hexVal(piece, 21, 4));
        break;
    case FT_B2: {
        readSize();
        // The inverse of the export's two decimal figures: the first entry of that
        // value. Taking the entry number instead raised the size a step per receive.
        const qint32 value = decVal(piece, 21, 2);
        for (const QString& entry : t.g_varLogoSizeList) {
            if (Val(entry) == value) {
                w.strLogoSize = entry;
                break;
            }
        }
        // No such entry: the scale's value goes back unchanged (0 means none).
        if (w.strLogoSize.isEmpty() && value != 0)
            w.strLogoSize = QString::number(value);
        break;
    }
    case FT_B3: {
        const float x2 = mm(hexVal(piece, 13, 4));
        const float y2 = mm(hexVal(piece, 17, 4));
        w.dblThickness = mm(hexVal(piece, 21, 4));
        w.sngHeight = std::fabs(w.sngY - y2);
        w.sngWidth = std::fabs(x2 - w.sngX);
        break;
    }
    case FT_B4:
        readSize();
        w.iImageNumber = CInt(decVal(piece, 23, 2));
        break;
    case FT_B5:
        readSize();
        w.iReserved = CInt(hexVal(piece, 21, 2));
        w.iNumOfFigures = CInt(hexVal(piece, 23, 2));
        break;
    case FT_N1:
        w.font = FontCodeToName(t, hexVal(piece, 13, 2));
        w.iNumOfFigures = CInt(hexVal(piece, 15, 2));
        if (w.lAttribute != 0) {
            if (w.iNumOfFigures == 0)
                w.iNumOfFigures = 10;
            if (!t.g_arrFieldFont.isEmpty()) {
                const FieldFont& f = t.g_arrFieldFont[FontIndexByName(t, w.font)];
                w.sngHeight = mm(f.Height);
                w.sngWidth = mm(CInt(double(f.Width) * w.iNumOfFigures));
            }
        }
        break;
    default: // C1-C4, TEXT, SHOPNAME
        readSize();
        w.font = FontCodeToName(t, hexVal(piece, 21, 2));
        break;
    }
    if (w.sngWidth == 0 && w.lAttribute == 0) {
        // An empty entry: the field keeps its values, it is only taken off the label.
        record.bUsed = false;
        return true;
    }
    if (w.sngWidth == 0)
        w.sngWidth = 10;
    if (w.sngHeight == 0)
        w.sngHeight = 5;
    // Member by member (every member of FieldRecord): most texts are already
    // empty, and a whole new record would make and drop 43 strings per field.
    record.bUsed = true;
    record.sngX = w.sngX;
    record.sngY = w.sngY;
    record.lAttribute = w.lAttribute;
    record.sngHeight = w.sngHeight;
    record.sngWidth = w.sngWidth;
    record.iReserved = w.iReserved;
    record.strLogoSize = std::move(w.strLogoSize);
    record.dblThickness = w.dblThickness;
    record.iImageNumber = w.iImageNumber;
    record.iNumOfFigures = w.iNumOfFigures;
    record.iTextLine = 0;
    for (int j = 0; j <= kMaxTextLines; ++j) {
        if (!record.strCharSize[j].isNull())
            record.strCharSize[j] = QString();
        if (!record.strText[j].isNull())
            record.strText[j] = QString();
    }
    record.strCharSize[1] = std::move(w.font);
    return true;
}

} // namespace

bool HexToField(const Tables& t, const QString& piece, FieldRecord& record, qint32 fieldType, float mmPerKDot)
{
    return hexToField(t, piece, record, fieldType, mmPerKDot);
}

bool ImportFormatData(Label& label, const QString& strData)
{
    label.m_iFormatNo = CInt(decVal(strData, 1, 8));
    const qint32 n = hexVal(strData, 9, 4) * 2;
    // Shorter than its own header is no record, whatever its length field says.
    if (n != strData.size() || n < 24)
        return false;
    const float k = label.GetMMPerKDot();
    label.m_iHoriRulerWidth = CInt(DotToMM(float(hexVal(strData, 13, 4)), k));
    label.m_iVertRulerHeight = CInt(DotToMM(float(hexVal(strData, 17, 4)), k));
    qsizetype p = 25;
    for (int i = 0; i < label.fieldCount() && p < n; ++i) {
        const int length = FieldEntryLength(label.fieldType(i));
        if (length == 0)
            continue;
        hexToField(label.tables(), mid(strData, p, length), label.m_arrFields[i], label.fieldType(i), k);
        p += length;
    }
    // The window redraws every field after an import, which snaps it into the label.
    for (int i = 0; i < label.fieldCount(); ++i)
        label.NormaliseField(i);
    label.m_iSelected = -1;
    label.m_bModified = false;
    return true;
}

QStringList SplitFormatRecords(const QString& line, QString* trailing)
{
    QStringList records;
    if (trailing)
        trailing->clear();
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed == QLatin1String("E2"))
        return records;
    qsizetype p = 1;
    while (p + 13 < line.size()) {
        const qint32 n = hexVal(line, p + 8, 4) * 2;
        if (n <= 0 || p - 1 + n > line.size())
            break;
        records.append(line.mid(p - 1, n));
        p += n;
    }
    if (trailing && p <= line.size())
        *trailing = line.mid(p - 1);
    return records;
}

} // namespace quillon
