// The in-place number and text writers against the C library and Qt routines
// they stand in for: every value must come out byte for byte the same.
#include "model/codepage.h"
#include "model/textbuild.h"

#include <QtTest>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>

using namespace quillon;

namespace {

// printf's spelling with "E" and a sign and at least two exponent figures.
QByteArray reference(double v, int figures)
{
    if (v == 0 || !std::isfinite(v))
        return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", figures, v);
    QByteArray s(buf);
    const qsizetype e = s.indexOf('e');
    if (e < 0)
        return s;
    QByteArray exp = s.mid(e + 2);
    while (exp.size() > 2 && exp.startsWith('0'))
        exp.remove(0, 1);
    return s.left(e) + 'E' + s.at(e + 1) + exp;
}

} // namespace

class TestTextBuild : public QObject {
    Q_OBJECT
private slots:
    void general()
    {
        // AppendGeneral after what the buffer holds, against printf.
        const auto differs = [](double v, int figures) {
            QByteArray out("x");
            AppendGeneral(out, v, figures);
            return out != "x" + reference(v, figures);
        };
        // Zero and what is not finite write "0"; the rest sit on the rounding and notation edges.
        const double edges[] = {0.0, -0.0, std::numeric_limits<double>::infinity(), std::nan(""), DBL_TRUE_MIN,
                                -DBL_MAX, double(FLT_MIN), 12345675.0, 0.0625, 9999999.7, 999999999999999.7,
                                9.9e-5, 1e-5, 1e15 - 0.5, 1e21, 1e23, 1e300};
        for (int figures : {1, 7, 15, 17})
            for (const double v : edges)
                QVERIFY2(!differs(v, figures), qPrintable(QStringLiteral("%1, %2 figures").arg(v).arg(figures)));
        // Random float and double bits, what labels hold (dot-snapped millimetres), doubles near whole numbers.
        std::mt19937_64 rng(0x51CE);
        for (int i = 0; i < 200000; ++i) {
            const double f = double(std::bit_cast<float>(quint32(rng())));
            const double mm = double(float(qint64(rng() % 20000) - 5000) * (float(100 + rng() % 60) / 1000.0f));
            const double d = std::bit_cast<double>(quint64(rng()));
            const double n = std::nextafter(double(rng() % 100000000000000000ull) / std::pow(10.0, double(rng() % 30)),
                                            rng() % 2 ? 0.0 : DBL_MAX);
            if (differs(f, 7) || differs(mm, 7) || differs(d, 15) || differs(n, 15))
                QFAIL(qPrintable(QStringLiteral("one of %1 %2 %3 %4").arg(f, 0, 'g', 17).arg(mm, 0, 'g', 17)
                                     .arg(d, 0, 'g', 17).arg(n, 0, 'g', 17)));
        }
    }

    void decimal()
    {
        QByteArrayList texts{"-0", "+0", ".5", "5.", "1E-05", "-0000.0000", "00000000000000000000000001",
                             "12345678901234567890", "1234567890123456789", "9007199254740993", "1e22", "1e23",
                             "179769313486231570000e288", "1e-23", "2.4703282292062328e-324", "1e-400",
                             "0e999999999999", "1E+0000000000000000005", "123.456e-3"};
        // Random texts: leading zeros, up to 17 more figures, a point anywhere, sometimes an exponent.
        std::mt19937_64 rng(7);
        for (int i = 0; i < 100000; ++i) {
            QByteArray s = QByteArray(int(rng() % 6), '0') + QByteArray::number(rng() % 100000000000000000ull);
            s.insert(qsizetype(rng() % quint64(s.size() + 1)), '.');
            if (rng() % 3 == 0)
                s += "E" + QByteArray::number(int(rng() % 80) - 40);
            texts.append(rng() % 4 ? s : "-" + s);
        }
        for (const QByteArray& t : texts) {
            const double got = DecimalToDouble(t), expected = std::strtod(t.constData(), nullptr);
            QVERIFY2(std::bit_cast<quint64>(got) == std::bit_cast<quint64>(expected), t.constData());
        }
    }

    void ansiSurrogates()
    {
        const QChar high(0xD83D), low(0xDE00);
        const struct { QString text; QByteArray bytes; bool lossless; } rows[] = {
            {QStringLiteral("a") + high + low + u'b', "a?b", false}, // a pair is one character
            {QStringLiteral("a") + high, "a?", false}, {QString(low) + QChar(0xE9), "?\xe9", false},
            {QString(low) + high, "??", false}, {QStringLiteral("Cr\u00e8me 100%"), "Cr\xe8me 100%", true},
            {QString(), QByteArray(), true}};
        for (const auto& r : rows) {
            bool all = !r.lossless;
            QCOMPARE(ToAnsi(1252, r.text, &all), r.bytes);
            QCOMPARE(all, r.lossless);
            QByteArray appended("<");
            AppendAnsi(appended, 1252, r.text);
            QCOMPARE(appended, "<" + r.bytes);
            // Reading back gives the text wherever nothing was lost.
            if (r.lossless)
                QCOMPARE(FromAnsi(1252, r.bytes), r.text);
        }
    }
};

QTEST_APPLESS_MAIN(TestTextBuild)
#include "test_textbuild.moc"
