#include "model/textbuild.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace quillon {

namespace {

using u128 = unsigned __int128;

constexpr quint64 kPow10[20] = {1ull,
                                10ull,
                                100ull,
                                1000ull,
                                10000ull,
                                100000ull,
                                1000000ull,
                                10000000ull,
                                100000000ull,
                                1000000000ull,
                                10000000000ull,
                                100000000000ull,
                                1000000000000ull,
                                10000000000000ull,
                                100000000000000ull,
                                1000000000000000ull,
                                10000000000000000ull,
                                100000000000000000ull,
                                1000000000000000000ull,
                                10000000000000000000ull};

constexpr char kPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                          "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                          "8081828384858687888990919293949596979899";

u128 pow10Wide(int n)
{
    return n < 20 ? u128(kPow10[n]) : u128(kPow10[19]) * kPow10[n - 19];
}

int bitLength(u128 x)
{
    const quint64 high = quint64(x >> 64);
    return high ? 128 - std::countl_zero(high) : 64 - std::countl_zero(quint64(x));
}

// The `figures` leading decimal figures of v > 0, rounded half to even on the exact
// binary value as printf rounds: v ~ digits * 10^(exp10 - figures + 1) with
// 10^(figures-1) <= digits < 10^figures. False when the exact arithmetic would
// need more than 128 bits (very large or very small values).
bool roundedFigures(double v, int figures, quint64* digits, int* exp10)
{
    const quint64 bits = std::bit_cast<quint64>(v);
    const int biased = int(bits >> 52) & 0x7FF;
    quint64 m = bits & ((1ull << 52) - 1);
    int e = -1074;
    if (biased) {
        m |= 1ull << 52;
        e = biased - 1075;
    }
    if (m == 0)
        return false;
    const int zeros = std::countr_zero(m);
    m >>= zeros;
    e += zeros;
    // 2^top <= v < 2^(top+1); floor(top * log10 2) is the decimal exponent or one below it.
    const int top = 63 - std::countl_zero(m) + e;
    int k = (top * 78913) >> 18;
    const quint64 low = kPow10[figures - 1];
    const quint64 high = kPow10[figures];
    for (int attempt = 0; attempt < 4; ++attempt) {
        // v * 10^t = num / den exactly.
        const int t = figures - 1 - k;
        if (t > 38 || t < -38)
            return false;
        u128 num = m;
        u128 den = 1;
        if (t >= 0) {
            const u128 p = pow10Wide(t);
            if (bitLength(num) + bitLength(p) > 126)
                return false;
            num *= p;
        } else {
            den = pow10Wide(-t);
        }
        if (e >= 0) {
            if (bitLength(num) + e > 126)
                return false;
            num <<= e;
        } else {
            if (bitLength(den) - e > 126)
                return false;
            den <<= -e;
        }
        u128 q;
        u128 r;
        if (t >= 0) {
            const int shift = e < 0 ? -e : 0;
            q = num >> shift;
            r = num & ((u128(1) << shift) - 1);
        } else {
            q = num / den;
            r = num % den;
        }
        if (q < low) {
            --k;
            continue;
        }
        if (q >= high) {
            ++k;
            continue;
        }
        quint64 d = quint64(q);
        const u128 twice = r << 1;
        if (twice > den || (twice == den && (d & 1)))
            ++d;
        if (d == high) {
            d = low;
            ++k;
        }
        *digits = d;
        *exp10 = k;
        return true;
    }
    return false;
}

// printf's spelling with the exponent tidied ("1E+07"); for what the exact
// arithmetic above does not cover.
char* writeGeneralSlow(char* p, double v, int figures)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", figures, v);
    const char* e = std::strchr(buf, 'e');
    if (!e) {
        const size_t len = std::strlen(buf);
        std::memcpy(p, buf, len);
        return p + len;
    }
    std::memcpy(p, buf, size_t(e - buf));
    p += e - buf;
    *p++ = 'E';
    const char* x = e + 1;
    *p++ = *x == '-' ? '-' : '+';
    if (*x == '-' || *x == '+')
        ++x;
    size_t len = std::strlen(x);
    while (len > 2 && *x == '0') {
        ++x;
        --len;
    }
    std::memcpy(p, x, len);
    return p + len;
}

} // namespace

char* WriteGeneral(char* p, double v, int figures)
{
    if (v == 0 || !std::isfinite(v)) {
        *p++ = '0';
        return p;
    }
    figures = qBound(1, figures, 17);
    quint64 d = 0;
    int k = 0;
    if (!roundedFigures(std::fabs(v), figures, &d, &k))
        return writeGeneralSlow(p, v, figures);
    // Trailing zeros are never written: drop them before making figures.
    int significant = figures;
    while (d % 100000000 == 0) {
        d /= 100000000;
        significant -= 8;
    }
    if (d % 10000 == 0) {
        d /= 10000;
        significant -= 4;
    }
    if (d % 100 == 0) {
        d /= 100;
        significant -= 2;
    }
    if (d % 10 == 0) {
        d /= 10;
        significant -= 1;
    }
    char dig[20];
    int i = significant;
    for (; i >= 2; i -= 2, d /= 100)
        std::memcpy(dig + i - 2, kPairs + 2 * (d % 100), 2);
    if (i == 1)
        dig[0] = char('0' + d);

    if (v < 0)
        *p++ = '-';
    if (k >= -4 && k < figures) {
        if (k >= 0) {
            const int whole = qMin(significant, k + 1);
            std::memcpy(p, dig, size_t(whole));
            p += whole;
            for (int z = whole; z < k + 1; ++z)
                *p++ = '0';
            if (significant > k + 1) {
                *p++ = '.';
                std::memcpy(p, dig + k + 1, size_t(significant - k - 1));
                p += significant - k - 1;
            }
        } else {
            *p++ = '0';
            *p++ = '.';
            for (int i = 0; i < -k - 1; ++i)
                *p++ = '0';
            std::memcpy(p, dig, size_t(significant));
            p += significant;
        }
    } else {
        *p++ = dig[0];
        if (significant > 1) {
            *p++ = '.';
            std::memcpy(p, dig + 1, size_t(significant - 1));
            p += significant - 1;
        }
        *p++ = 'E';
        *p++ = k < 0 ? '-' : '+';
        const int x = k < 0 ? -k : k;
        if (x >= 100)
            *p++ = char('0' + x / 100);
        *p++ = char('0' + x / 10 % 10);
        *p++ = char('0' + x % 10);
    }
    return p;
}

char* WriteDecimal(char* p, qint64 v)
{
    char buf[24];
    char* b = buf + sizeof buf;
    quint64 u = v < 0 ? quint64(0) - quint64(v) : quint64(v);
    do {
        *--b = char('0' + u % 10);
        u /= 10;
    } while (u);
    if (v < 0)
        *--b = '-';
    const size_t len = size_t(buf + sizeof buf - b);
    std::memcpy(p, b, len);
    return p + len;
}

void AppendGeneral(QByteArray& out, double v, int figures)
{
    char buf[kMaxGeneral];
    out.append(buf, WriteGeneral(buf, v, figures) - buf);
}

void AppendDecimal(QByteArray& out, qint64 v)
{
    char buf[kMaxDecimal];
    out.append(buf, WriteDecimal(buf, v) - buf);
}

double DecimalToDouble(QByteArrayView text)
{
    static constexpr double kExact[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                          1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char* s = text.data();
    const qsizetype n = text.size();
    qsizetype i = 0;
    bool negative = false;
    if (i < n && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    // Up to 19 significant figures as an integer and a power of ten: when both are
    // exact doubles one multiplication or division rounds correctly (the
    // well-known fast path); anything else goes to strtod.
    quint64 mantissa = 0;
    int figures = 0;
    int scale = 0;
    bool exact = true;
    bool point = false;
    for (; i < n; ++i) {
        const char c = s[i];
        if (c == '.') {
            point = true;
            continue;
        }
        if (c < '0' || c > '9')
            break;
        if (mantissa == 0 && c == '0') {
            if (point)
                --scale;
            continue;
        }
        if (figures == 19) {
            exact = false;
            break;
        }
        mantissa = mantissa * 10 + quint64(c - '0');
        ++figures;
        if (point)
            --scale;
    }
    if (exact && i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool negExp = false;
        if (i < n && (s[i] == '+' || s[i] == '-'))
            negExp = s[i++] == '-';
        int exponent = 0;
        for (; i < n && s[i] >= '0' && s[i] <= '9'; ++i) {
            exponent = exponent * 10 + (s[i] - '0');
            if (exponent > 10000) {
                exact = false;
                break;
            }
        }
        scale += negExp ? -exponent : exponent;
    }
    if (exact && mantissa == 0)
        return negative ? -0.0 : 0.0;
    if (exact && mantissa <= (1ull << 53) && scale >= -22 && scale <= 22) {
        const double m = double(mantissa);
        const double v = scale >= 0 ? m * kExact[scale] : m / kExact[-scale];
        return negative ? -v : v;
    }
    const std::string copy(text.data(), size_t(text.size()));
    return std::strtod(copy.c_str(), nullptr);
}

void AppendHexFigures(QString& out, quint64 u, int width)
{
    static const char digits[] = "0123456789ABCDEF";
    char16_t buf[16];
    int len = 0;
    do {
        buf[15 - len++] = char16_t(digits[u & 15]);
        u >>= 4;
    } while (u);
    for (int i = len; i < width; ++i)
        out.append(u'0');
    out.append(reinterpret_cast<const QChar*>(buf + 16 - len), len);
}

} // namespace quillon
