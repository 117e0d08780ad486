#include "codepage.h"

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
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<AnsiTable>> tables;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = tables.find(codepage);
    if (it == tables.end())
        it = tables.emplace(codepage, buildTable(codepage)).first;
    return it->second.get();
}

} // namespace

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
    if (code >= 0 && code < 0x80)
        return QString(QChar(code));
    const AnsiTable* t = table(codepage);
    char32_t u = 0xFFFD;
    if (t) {
        if (code >= 0 && code <= 0xFF) {
            u = t->single[code];
        } else if (t->doubleByte && code >= -32768 && code < 0) {
            u = t->fromDouble.value(quint16(code), char32_t(0xFFFD));
        }
    }
    return QString::fromUcs4(&u, 1);
}

QByteArray ToAnsi(int codepage, const QString& text, bool* lossless)
{
    QByteArray out;
    out.reserve(text.size());
    bool all = true;
    const AnsiTable* t = nullptr; // looked up once, and only when needed
    for (const uint ch : text.toUcs4()) {
        if (ch < 0x80) {
            out.append(char(ch));
            continue;
        }
        if (!t)
            t = table(codepage);
        int code = 63;
        if (t) {
            const auto it = t->toCode.constFind(char32_t(ch));
            if (it != t->toCode.constEnd())
                code = it.value() > 0xFF ? int(qint16(it.value())) : int(it.value());
            else
                all = false;
        } else {
            all = false;
        }
        if (code < 0) {
            out.append(char((code >> 8) & 0xFF));
            out.append(char(code & 0xFF));
        } else {
            out.append(char(code));
        }
    }
    if (lossless)
        *lossless = all;
    return out;
}

QString FromAnsi(int codepage, const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    const AnsiTable* t = nullptr;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const unsigned char b = uchar(bytes[i]);
        if (b < 0x80) {
            out.append(QChar(b));
            continue;
        }
        if (!t)
            t = table(codepage);
        if (t && t->doubleByte && t->lead[b] && i + 1 < bytes.size()) {
            out += AnsiChar(codepage, int(qint16(quint16(b << 8 | uchar(bytes[i + 1])))));
            ++i;
        } else {
            const char32_t u = t ? t->single[b] : char32_t(0xFFFD);
            out += QString::fromUcs4(&u, 1);
        }
    }
    return out;
}

bool IsLeadByte(int codepage, unsigned char b)
{
    const AnsiTable* t = table(codepage);
    return t && t->doubleByte && t->lead[b];
}

} // namespace quillon
