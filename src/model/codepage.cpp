#include "model/codepage.h"
#include "model/textbuild.h"

#include <QHash>
#include <algorithm>
#include <array>
#include <cerrno>
#include <iconv.h>
#include <map>
#include <memory>
#include <mutex>

namespace quillon {

namespace {

// One code page's characters both ways, built once from iconv and then only read.
struct AnsiTable {
    bool doubleByte = false;
    std::array<char32_t, 256> single{};        // byte -> character, 0xFFFD when undefined
    std::array<bool, 256> lead{};               // lead bytes of a double-byte code page
    QHash<char32_t, quint16> toCode;            // character -> byte, or lead << 8 | trail
    QHash<quint16, char32_t> fromDouble;        // lead << 8 | trail -> character
};

const char* iconvName(int codepage)
{
    switch (codepage) {
    case 874: return "CP874";
    case 936: return "GBK";
    case 1250: return "CP1250";
    case 1251: return "CP1251";
    case 1252: return "CP1252";
    case 1253: return "CP1253";
    case 1254: return "CP1254";
    case 1255: return "CP1255";
    case 1256: return "CP1256";
    case 1257: return "CP1257";
    case 1258: return "CP1258";
    default: return nullptr;
    }
}

// Decodes one byte sequence to one character; 0 when iconv rejects it.
char32_t decodeOne(iconv_t cd, const char* in, size_t len)
{
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char buf[4] = {};
    len = std::min(len, sizeof(buf));
    std::copy(in, in + len, buf);
    char* ip = buf;
    size_t il = len;
    char32_t out[4] = {};
    char* op = reinterpret_cast<char*>(out);
    size_t ol = sizeof(out);
    const size_t r = iconv(cd, &ip, &il, &op, &ol);
    if (r == size_t(-1) || il != 0 || ol != sizeof(out) - sizeof(char32_t))
        return 0;
    return out[0];
}

std::unique_ptr<AnsiTable> buildTable(int codepage)
{
    const char* name = iconvName(codepage);
    if (!name)
        return nullptr;
    iconv_t cd = iconv_open("UTF-32LE", name);
    if (cd == iconv_t(-1))
        return nullptr;
    auto t = std::make_unique<AnsiTable>();
    t->doubleByte = codepage == 936;
    for (int b = 0; b < 256; ++b) {
        const char c = char(b);
        const char32_t u = b < 0x80 ? char32_t(b) : decodeOne(cd, &c, 1);
        t->single[b] = u ? u : char32_t(0xFFFD);
        if (u && !t->toCode.contains(u))
            t->toCode.insert(u, quint16(b));
    }
    if (t->doubleByte) {
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                if (trail == 0x7F)
                    continue;
                const char pair[2] = {char(lead), char(trail)};
                const char32_t u = decodeOne(cd, pair, 2);
                if (!u)
                    continue;
                t->lead[lead] = true;
                const quint16 code = quint16(lead << 8 | trail);
                t->fromDouble.insert(code, u);
                if (!t->toCode.contains(u))
                    t->toCode.insert(u, code);
            }
        }
    }
    iconv_close(cd);
    return t;
}

const AnsiTable* table(int codepage)
{
    // Tables live until exit, so a thread may keep the last one it used and skip
    // the lock: conversions ask for it once per character.
    thread_local int lastCodepage = 0;
    thread_local const AnsiTable* lastTable = nullptr;
    if (lastCodepage == codepage && codepage != 0)
        return lastTable;
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<AnsiTable>> tables;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = tables.find(codepage);
    if (it == tables.end())
        it = tables.emplace(codepage, buildTable(codepage)).first;
    lastCodepage = codepage;
    lastTable = it->second.get();
    return lastTable;
}

// As QString::fromUcs4 of one character, without the temporary string.
void appendUcs4(QString& out, char32_t u)
{
    if (u < 0x10000) {
        out.append(QChar(char16_t(u)));
    } else if (u <= 0x10FFFF) {
        const QChar pair[2] = {QChar::highSurrogate(u), QChar::lowSurrogate(u)};
        out.append(pair, 2);
    } else {
        out += QString::fromUcs4(&u, 1);
    }
}

char32_t ansiCharCode(const AnsiTable* t, int code)
{
    if (code >= 0 && code < 0x80)
        return char32_t(code);
    if (t) {
        if (code >= 0 && code <= 0xFF)
            return t->single[code];
        if (t->doubleByte && code >= -32768 && code < 0)
            return t->fromDouble.value(quint16(code), char32_t(0xFFFD));
    }
    return 0xFFFD;
}

} // namespace

void AppendAnsiChar(QString& out, int codepage, int code)
{
    appendUcs4(out, code >= 0 && code < 0x80 ? char32_t(code) : ansiCharCode(table(codepage), code));
}

char* WriteAnsi(char* p, int codepage, QStringView text, bool* lossless)
{
    bool all = true;
    const AnsiTable* t = nullptr; // looked up once, and only when needed
    const qsizetype n = text.size();
    const char16_t* s = text.utf16();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t ch = s[i];
        if (ch < 0x80) {
            *p++ = char(ch);
            continue;
        }
        if (QChar::isSurrogate(ch)) {
            // A pair is one character; a lone half reads as U+FFFD, as toUcs4 gives it.
            if (QChar::isHighSurrogate(ch) && i + 1 < n && QChar::isLowSurrogate(s[i + 1])) {
                ch = QChar::surrogateToUcs4(char16_t(ch), s[i + 1]);
                ++i;
            } else {
                ch = 0xFFFD;
            }
        }
        if (!t)
            t = table(codepage);
        int code = 63;
        if (t) {
            const auto it = t->toCode.constFind(ch);
            if (it != t->toCode.constEnd())
                code = it.value() > 0xFF ? int(qint16(it.value())) : int(it.value());
            else
                all = false;
        } else {
            all = false;
        }
        if (code < 0) {
            *p++ = char((code >> 8) & 0xFF);
            *p++ = char(code & 0xFF);
        } else {
            *p++ = char(code);
        }
    }
    if (lossless)
        *lossless = all;
    return p;
}

void AppendAnsi(QByteArray& out, int codepage, QStringView text, bool* lossless)
{
    const qsizetype used = out.size();
    out.resize(used + 2 * text.size());
    char* end = WriteAnsi(out.data() + used, codepage, text, lossless);
    out.resize(end - out.constData());
}

QString FromAnsiView(int codepage, QByteArrayView bytes)
{
    QString out;
    const qsizetype n = bytes.size();
    const uchar* p = reinterpret_cast<const uchar*>(bytes.data());
    qsizetype ascii = 0;
    while (ascii < n && p[ascii] < 0x80)
        ++ascii;
    // An empty text is still not a null string.
    if (ascii == n)
        return QString::fromLatin1(n ? bytes.data() : "", n);
    out.reserve(n);
    out.append(QLatin1String(bytes.data(), ascii));
    const AnsiTable* t = nullptr;
    for (qsizetype i = ascii; i < n; ++i) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            out.append(QChar(b));
            continue;
        }
        if (!t)
            t = table(codepage);
        if (t && t->doubleByte && t->lead[b] && i + 1 < n) {
            appendUcs4(out, ansiCharCode(t, int(qint16(quint16(b << 8 | p[i + 1])))));
            ++i;
        } else {
            appendUcs4(out, t ? t->single[b] : char32_t(0xFFFD));
        }
    }
    return out;
}

bool AnsiCodepageSupported(int codepage) { return table(codepage) != nullptr; }

int AnsiCode(int codepage, char32_t ch, bool* ok)
{
    if (ok)
        *ok = true;
    if (ch < 0x80)
        return int(ch);
    const AnsiTable* t = table(codepage);
    if (t) {
        const auto it = t->toCode.constFind(ch);
        if (it != t->toCode.constEnd())
            return it.value() > 0xFF ? int(qint16(it.value())) : int(it.value());
    }
    if (ok)
        *ok = false;
    return 63;
}

QString AnsiChar(int codepage, int code)
{
    QString out;
    AppendAnsiChar(out, codepage, code);
    return out;
}

QByteArray ToAnsi(int codepage, const QString& text, bool* lossless)
{
    QByteArray out;
    out.reserve(text.size());
    AppendAnsi(out, codepage, text, lossless);
    return out;
}

QString FromAnsi(int codepage, const QByteArray& bytes) { return FromAnsiView(codepage, bytes); }

bool IsLeadByte(int codepage, unsigned char b)
{
    const AnsiTable* t = table(codepage);
    return t && t->doubleByte && t->lead[b];
}

} // namespace quillon
