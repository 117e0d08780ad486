#include "platform/ini.h"
#include "platform/errorreport.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <vector>

namespace quillon {

namespace {

constexpr qsizetype kMaxValueLength = 254; // what a 255-character buffer has always held

struct RawLine {
    QByteArray text; // without its line end
    QByteArray eol;  // "\r\n", "\n" or "" for an unterminated last line
};

struct IniText {
    QByteArray source; // the file's bytes, which the lines read from
    std::vector<RawLine> lines;
    bool latin1 = false; // not valid UTF-8: read and written byte for byte
    QByteArray bom;
};

constexpr char kBom[] = "\xEF\xBB\xBF";

QByteArrayView withoutBom(QByteArrayView bytes)
{
    return bytes.startsWith(kBom) ? bytes.sliced(3) : bytes;
}

bool notUtf8(QByteArrayView bytes)
{
    // Decoded piece by piece into one small buffer: only the verdict is wanted.
    constexpr qsizetype kPiece = 512;
    QStringDecoder utf8(QStringDecoder::Utf8);
    std::array<QChar, 2 * kPiece> buffer;
    for (qsizetype i = 0; i < bytes.size() && !utf8.hasError(); i += kPiece)
        utf8.appendToBuffer(buffer.data(), bytes.sliced(i, qMin(kPiece, bytes.size() - i)));
    return utf8.hasError();
}

// Calls f(text, line end) for every line, until f returns false. A line ends at LF;
// a CR before the LF, or at the very end, belongs to the line end.
template <typename F>
void forEachLine(QByteArrayView bytes, F f)
{
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype nl = bytes.indexOf('\n', start);
        const qsizetype end = nl < 0 ? bytes.size() : nl;
        const qsizetype textEnd = end > start && bytes[end - 1] == '\r' ? end - 1 : end;
        const qsizetype next = nl < 0 ? end : end + 1;
        if (!f(bytes.sliced(start, textEnd - start), bytes.sliced(textEnd, next - textEnd)))
            return;
        start = next;
    }
}

IniText splitLines(const QByteArray& data)
{
    IniText t;
    t.source = data;
    const QByteArrayView bytes = withoutBom(t.source);
    t.bom = data.left(data.size() - bytes.size());
    t.latin1 = notUtf8(bytes);

    // Lines point into the source and line ends are shared: splitting allocates
    // nothing per line.
    static const QByteArray lf = QByteArrayLiteral("\n"), crlf = QByteArrayLiteral("\r\n"),
                            cr = QByteArrayLiteral("\r");
    t.lines.reserve(size_t(bytes.count('\n')) + 4); // room for the lines an edit adds
    forEachLine(bytes, [&t](QByteArrayView text, QByteArrayView eol) {
        t.lines.push_back(RawLine{QByteArray::fromRawData(text.data(), text.size()),
                                  eol.size() == 2 ? crlf : eol.isEmpty() ? QByteArray() : eol[0] == '\n' ? lf : cr});
        return true;
    });
    return t;
}

QString decode(bool latin1, QByteArrayView raw)
{
    return latin1 ? QString::fromLatin1(raw) : QString::fromUtf8(raw);
}

// decode into buf when that is a plain widening (Latin-1, or UTF-8 that is all
// ASCII), so reading a value allocates nothing per line; else into spill.
QStringView decodeLine(bool latin1, QByteArrayView raw, QVarLengthArray<char16_t, 256>& buf, QString& spill)
{
    const auto* p = reinterpret_cast<const uchar*>(raw.data());
    if (!latin1 && std::any_of(p, p + raw.size(), [](uchar c) { return c >= 0x80; })) {
        spill = QString::fromUtf8(raw);
        return spill;
    }
    buf.resize(raw.size());
    std::copy(p, p + raw.size(), buf.data());
    return QStringView(buf.constData(), buf.size());
}

QString decode(const IniText& t, const QByteArray& raw)
{
    return decode(t.latin1, raw);
}

QByteArray encode(const IniText& t, const QString& s)
{
    return t.latin1 ? s.toLatin1() : s.toUtf8();
}

// "[name]" gives name; any other line nothing.
std::optional<QStringView> sectionName(QStringView trimmed)
{
    if (!trimmed.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(u']');
    return (close > 0 ? trimmed.sliced(1, close - 1) : trimmed.sliced(1)).trimmed();
}

bool isKeyLine(QStringView trimmed)
{
    return !trimmed.isEmpty() && !trimmed.startsWith(u';') && trimmed.contains(u'=');
}

// `section` is trimmed already.
bool isHeaderOf(QStringView trimmed, QStringView section)
{
    const auto name = sectionName(trimmed);
    return name && name->compare(section, Qt::CaseInsensitive) == 0;
}

// Index of the first header of `section` (trimmed), or -1.
qsizetype findSection(const IniText& t, QStringView section)
{
    for (size_t i = 0; i < t.lines.size(); ++i) {
        // '[' and '=' are one byte in UTF-8 and Latin-1 alike: lines without them need no decoding.
        if (t.lines[i].text.contains('[') && isHeaderOf(QStringView(decode(t, t.lines[i].text)).trimmed(), section))
            return qsizetype(i);
    }
    return -1;
}

QStringView unquote(QStringView v)
{
    if (v.size() >= 2) {
        const QChar first = v.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && v.back() == first)
            return v.sliced(1, v.size() - 2);
    }
    return v;
}

// Names and values that keep the file's lines as they are.
bool storable(const QString& section, const QString& key, const QString& value)
{
    const auto hasBreak = [](const QString& s) {
        return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r'));
    };
    const QString sec = section.trimmed();
    const QString k = key.trimmed();
    return !(sec.isEmpty() || k.isEmpty() || hasBreak(section) || hasBreak(key) || hasBreak(value)
             || sec.contains(QLatin1Char(']')) || k.contains(QLatin1Char('=')) || k.startsWith(QLatin1Char(';'))
             || k.startsWith(QLatin1Char('[')));
}

} // namespace

QString ReadIniString(const QString& section, const QString& key, const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return QString(QLatin1String(""));
    return IniValue(f.readAll(), section, key);
}

QString IniValue(const QByteArray& data, const QString& section, const QString& key)
{
    // One pass, keeping no lines: settings are read far more often than written.
    const QByteArrayView bytes = withoutBom(data);
    // Whether the file is UTF-8 matters only once a line must be decoded.
    std::optional<bool> latin1;
    bool inSection = false;
    const QString sec = section.trimmed();
    const QString k = key.trimmed();
    QString value(QLatin1String(""));
    QVarLengthArray<char16_t, 256> buf;
    QString spill;
    forEachLine(bytes, [&](QByteArrayView raw, QByteArrayView) {
        if (!raw.contains('[') && (!inSection || !raw.contains('=')))
            return true;
        if (!latin1)
            latin1 = notUtf8(bytes);
        const QStringView line = decodeLine(*latin1, raw, buf, spill).trimmed();
        if (!inSection) {
            inSection = isHeaderOf(line, sec);
            return true;
        }
        if (sectionName(line))
            return false;
        if (!isKeyLine(line))
            return true;
        const qsizetype eq = line.indexOf(u'=');
        if (line.left(eq).trimmed().compare(k, Qt::CaseInsensitive) != 0)
            return true;
        const QStringView v = unquote(line.sliced(eq + 1).trimmed()).left(kMaxValueLength);
        if (!v.isEmpty())
            value = v.toString();
        return false;
    });
    return value;
}

double LeadingNumber(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t') || text[i] == QLatin1Char('\r')
                     || text[i] == QLatin1Char('\n')))
        ++i;

    // Figures are read in place: a temporary string per character was most of the work.
    if (i + 1 < n && text[i] == QLatin1Char('&')) {
        const QChar radix = text[i + 1].toUpper();
        const int base = radix == QLatin1Char('H') ? 16 : radix == QLatin1Char('O') ? 8 : 0;
        if (base) {
            qsizetype j = i + 2;
            qint64 v = 0;
            int count = 0;
            for (; j < n && count < 8; ++j, ++count) {
                const char16_t c = text[j].unicode();
                const int d = c >= u'0' && c <= u'9' ? c - u'0'
                    : c >= u'a' && c <= u'f'         ? c - u'a' + 10
                    : c >= u'A' && c <= u'F'         ? c - u'A' + 10
                                                     : base;
                if (d >= base)
                    break;
                v = v * base + d;
            }
            if (count == 0)
                return 0;
            // Hexadecimal and octal numbers are 16-bit two's complement up to 4 figures.
            if (base == 16 && count <= 4 && v > 0x7FFF)
                return double(v - 0x10000);
            return double(v);
        }
    }

    const QChar* c = text.data();
    const auto isFigure = [c](qsizetype k) { return c[k].unicode() >= u'0' && c[k].unicode() <= u'9'; };
    const qsizetype begin = i;
    bool negative = false;
    if (i < n && (c[i] == QLatin1Char('+') || c[i] == QLatin1Char('-')))
        negative = c[i++] == QLatin1Char('-');
    const qsizetype figuresStart = i;
    while (i < n && isFigure(i))
        ++i;
    const qsizetype whole = i - figuresStart;
    bool point = false;
    if (i < n && c[i] == QLatin1Char('.')) {
        point = true;
        ++i;
        while (i < n && isFigure(i))
            ++i;
    }
    if (whole == 0 && i - figuresStart <= 1)
        return 0;
    const qsizetype mantissaEnd = i;
    qsizetype expStart = i, expEnd = i;
    if (i < n && QLatin1StringView("eEdD").contains(c[i])) {
        qsizetype j = i + 1;
        if (j < n && (c[j] == QLatin1Char('+') || c[j] == QLatin1Char('-')))
            ++j;
        const qsizetype digitsStart = j;
        while (j < n && isFigure(j))
            ++j;
        if (j > digitsStart) {
            expStart = i + 1;
            expEnd = j;
        }
    }
    // Whole numbers of up to 15 figures are exact in a double: most values are those.
    if (!point && expStart == expEnd && whole <= 15) {
        qint64 v = 0;
        for (qsizetype k = figuresStart; k < mantissaEnd; ++k)
            v = v * 10 + (c[k].unicode() - u'0');
        return negative ? -double(v) : double(v);
    }
    QVarLengthArray<QChar, 64> num;
    num.append(c + begin, mantissaEnd - begin);
    if (expStart != expEnd) {
        num.append(QLatin1Char('e'));
        num.append(c + expStart, expEnd - expStart);
    }
    bool ok = false;
    const double v = QStringView(num.constData(), num.size()).toDouble(&ok);
    if (!ok)
        return std::isinf(v) ? v : 0; // toDouble reports overflow as failure with inf
    return v;
}

qint16 RoundToInt16(double v, bool* overflow)
{
    if (overflow)
        *overflow = false;
    if (!std::isfinite(v)) {
        if (overflow)
            *overflow = true;
        return 0;
    }
    const double r = std::nearbyint(v); // default rounding mode: half to even
    if (r < -32768.0 || r > 32767.0) {
        if (overflow)
            *overflow = true;
        return 0;
    }
    return qint16(r);
}

qint16 IniNumber(const QString& text, bool* valid)
{
    bool overflow = false;
    const qint16 v = RoundToInt16(LeadingNumber(text), &overflow);
    if (valid)
        *valid = !overflow;
    return v;
}

qint16 ReadIniNumber(const QString& section, const QString& key, const QString& file)
{
    return IniNumber(ReadIniString(section, key, file));
}

bool WriteIniString(const QString& section, const QString& key, const QString& value, const QString& file)
{
    const QString source = QStringLiteral("WriteIniString (%1, %2)").arg(section, key);
    if (!storable(section, key, value)) {
        ReportError(source, QStringLiteral("The name or value cannot be stored in the settings file."));
        return false;
    }
    QByteArray data;
    {
        QFile f(file);
        if (f.exists()) {
            if (!f.open(QIODevice::ReadOnly)) {
                ReportError(source, QStringLiteral("%1: %2").arg(file, f.errorString()));
                return false;
            }
            data = f.readAll();
        }
    }
    const std::optional<QByteArray> out = WithIniValue(data, section, key, value);
    QSaveFile save(file);
    if (!save.open(QIODevice::WriteOnly) || save.write(*out) != out->size() || !save.commit()) {
        ReportError(source, QStringLiteral("%1: %2").arg(file, save.errorString()));
        return false;
    }
    return true;
}

std::optional<QByteArray> WithIniValue(const QByteArray& data, const QString& section, const QString& key,
                                       const QString& value)
{
    if (!storable(section, key, value))
        return std::nullopt;
    const QString sec = section.trimmed();
    const QString k = key.trimmed();

    IniText t = splitLines(data);
    QByteArray eol = "\r\n";
    for (const RawLine& l : t.lines) {
        // A lone CR ends no line for the reader: what was written after it would be lost.
        if (l.eol.endsWith('\n')) {
            eol = l.eol;
            break;
        }
    }
    // The line a new one follows must end in LF, for the same reason.
    const auto endLine = [&eol](RawLine& l) {
        if (!l.eol.endsWith('\n'))
            l.eol = eol;
    };
    // Text as the reader decodes it, written as UTF-8 reads the same.
    const auto toUtf8 = [&t] {
        for (RawLine& l : t.lines)
            l.text = decode(t, l.text).toUtf8();
        t.latin1 = false;
    };
    if (t.latin1 && std::any_of(value.cbegin(), value.cend(), [](QChar c) { return c.unicode() > 0xFF; }))
        toUtf8();

    const qsizetype s = findSection(t, sec);
    if (s >= 0) {
        size_t insertAfter = size_t(s);
        bool replaced = false;
        for (size_t i = size_t(s) + 1; i < t.lines.size(); ++i) {
            if (!t.lines[i].text.contains('[') && !t.lines[i].text.contains('='))
                continue;
            const QString line = decode(t, t.lines[i].text);
            const QStringView trimmed = QStringView(line).trimmed();
            if (sectionName(trimmed))
                break;
            if (!isKeyLine(trimmed))
                continue;
            insertAfter = i;
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (line.left(eq).trimmed().compare(k, Qt::CaseInsensitive) == 0) {
                // Keep the key as the user spelled it.
                t.lines[i].text = encode(t, line.left(eq + 1) + value);
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            endLine(t.lines[insertAfter]);
            t.lines.insert(t.lines.begin() + qsizetype(insertAfter) + 1, RawLine{encode(t, k + QLatin1Char('=') + value), eol});
        }
    } else {
        if (!t.lines.empty()) {
            endLine(t.lines.back());
            if (!t.lines.back().text.trimmed().isEmpty())
                t.lines.push_back(RawLine{QByteArray(), eol});
        }
        t.lines.push_back(RawLine{encode(t, QLatin1Char('[') + sec + QLatin1Char(']')), eol});
        t.lines.push_back(RawLine{encode(t, k + QLatin1Char('=') + value), eol});
    }

    const auto join = [&t] {
        QByteArray out = t.bom;
        out.reserve(t.source.size() + 64);
        for (const RawLine& l : t.lines) {
            out += l.text;
            out += l.eol;
        }
        return out;
    };
    QByteArray out = join();
    // The edit can change how the whole file decodes (the only bytes that were not
    // UTF-8 replaced, a cut-off UTF-8 sequence no longer at the end), and with it
    // every other value; as UTF-8 the file keeps its reading.
    if (notUtf8(withoutBom(out)) != t.latin1) {
        toUtf8();
        out = join();
    }
    return out;
}

} // namespace quillon
