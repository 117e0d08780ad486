#include "model/numberspelling.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace quillon {

namespace {

template <typename T>
T roundSaturate(double v, bool* overflow)
{
    if (overflow)
        *overflow = false;
    if (std::isnan(v)) {
        if (overflow)
            *overflow = true;
        return 0;
    }
    // nearbyint honours the default rounding mode, which is ties-to-even.
    const double r = std::nearbyint(v);
    if (r > double(std::numeric_limits<T>::max())) {
        if (overflow)
            *overflow = true;
        return std::numeric_limits<T>::max();
    }
    if (r < double(std::numeric_limits<T>::min())) {
        if (overflow)
            *overflow = true;
        return std::numeric_limits<T>::min();
    }
    return T(r);
}

bool isBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// "&H" / "&O" numbers: up to 4 figures are a 16-bit value, up to 8 a 32-bit one.
double radixNumber(QStringView s, qsizetype i, int radix)
{
    quint64 v = 0;
    int figures = 0;
    for (; i < s.size() && figures < 22; ++i) {
        if (isBlank(s[i]))
            continue;
        const int d = hexDigit(s[i]);
        if (d < 0 || d >= radix)
            break;
        v = v * quint64(radix) + quint64(d);
        ++figures;
    }
    if (figures == 0)
        return 0;
    const int bits = radix == 16 ? figures * 4 : figures * 3;
    if (bits <= 16 || v <= 0xFFFF)
        return double(qint16(quint16(v)));
    if (bits <= 32 || v <= 0xFFFFFFFFull)
        return double(qint32(quint32(v)));
    return double(v);
}

} // namespace

qint16 CInt(double v, bool* overflow) { return roundSaturate<qint16>(v, overflow); }
qint32 CLng(double v, bool* overflow) { return roundSaturate<qint32>(v, overflow); }

double Val(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    if (i + 1 < text.size() && text[i] == u'&') {
        const QChar k = text[i + 1].toUpper();
        if (k == u'H')
            return radixNumber(text, i + 2, 16);
        if (k == u'O')
            return radixNumber(text, i + 2, 8);
    }
    // At most a sign, 400 figures, a point and an exponent of 8: no allocation.
    char num[416];
    std::size_t len = 0;
    auto peek = [&]() -> QChar {
        while (i < text.size() && isBlank(text[i]))
            ++i;
        return i < text.size() ? text[i] : QChar();
    };
    QChar c = peek();
    if (c == u'+' || c == u'-') {
        num[len++] = char(c.unicode());
        ++i;
    }
    bool digits = false;
    bool point = false;
    // Figures first: they are most of what this loop sees.
    for (const QChar* s = text.data(); i < text.size(); ++i) {
        const char16_t u = s[i].unicode();
        if (u >= u'0' && u <= u'9') {
            if (len < 400)
                num[len++] = char(u);
            digits = true;
        } else if (u == u' ' || u == u'\t' || u == u'\n' || u == u'\r') {
            continue;
        } else if (u == u'.' && !point) {
            num[len++] = '.';
            point = true;
        } else {
            break;
        }
    }
    if (!digits)
        return 0;
    c = peek();
    if (c == u'e' || c == u'E' || c == u'd' || c == u'D') {
        const qsizetype save = i;
        ++i;
        char exp[8] = {'e'};
        std::size_t expLen = 1;
        QChar s = peek();
        if (s == u'+' || s == u'-') {
            exp[expLen++] = char(s.unicode());
            ++i;
        }
        bool expDigits = false;
        for (s = peek(); s >= u'0' && s <= u'9'; s = peek()) {
            if (expLen < 8)
                exp[expLen++] = char(s.unicode());
            expDigits = true;
            ++i;
        }
        if (expDigits) {
            std::memcpy(num + len, exp, expLen);
            len += expLen;
        } else {
            i = save;
        }
    }
    num[len] = '\0';
    double v = std::strtod(num, nullptr);
    if (std::isnan(v))
        return 0;
    if (std::isinf(v))
        return v > 0 ? DBL_MAX : -DBL_MAX;
    return v;
}

quint32 HexLeading(QStringView text)
{
    quint32 v = 0;
    for (qsizetype i = 0; i < text.size() && i < 8; ++i) {
        const int d = hexDigit(text[i]);
        if (d < 0)
            break;
        v = v * 16 + quint32(d);
    }
    return v;
}

quint32 DecLeading(QStringView text)
{
    quint64 v = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < u'0' || u > u'9')
            break;
        v = v * 10 + (u - u'0');
        if (v > 0xFFFFFFFFull)
            return 0xFFFFFFFFu;
    }
    return quint32(v);
}

QString PadLeft(int n, const QString& text)
{
    if (text.size() >= n)
        return text;
    return QString(n - text.size(), u'0') + text;
}

namespace {

// Figures of u in the given radix, padded with "0" to n; one allocation.
QString paddedFigures(int n, quint64 u, unsigned radix)
{
    static const char digits[] = "0123456789ABCDEF";
    char buf[64];
    int i = sizeof buf;
    do {
        buf[--i] = digits[u % radix];
        u /= radix;
    } while (u);
    const int len = int(sizeof buf) - i;
    const int width = qMax(n, len);
    QString out(width, u'0');
    char16_t* d = reinterpret_cast<char16_t*>(out.data()) + (width - len);
    for (int k = 0; k < len; ++k)
        d[k] = char16_t(buf[i + k]);
    return out;
}

} // namespace

QString HexN(int n, qint64 v)
{
    quint64 u;
    if (v < 0 && v >= -32768)
        u = quint64(v) & 0xFFFFu;
    else if (v < 0 && v >= std::numeric_limits<qint32>::min())
        u = quint64(v) & 0xFFFFFFFFu;
    else
        u = quint64(v);
    return paddedFigures(n, u, 16);
}

QString DecN(int n, qint64 v)
{
    const quint64 u = v < 0 ? quint64(0) - quint64(v) : quint64(v);
    return paddedFigures(n, u, 10);
}

} // namespace quillon
