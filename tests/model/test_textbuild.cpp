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

enum class Sweep { None, FloatBits, FloatMillimetres, DoubleBits, DoubleNearInts };

} // namespace

class TestTextBuild : public QObject {
    Q_OBJECT
private slots:
    void general_data()
    {
        QTest::addColumn<QVector<double>>("values");
        QTest::addColumn<int>("figures");
        QTest::addColumn<int>("sweep");
        auto row = [](const char* name, QVector<double> v, int figures, Sweep sweep = Sweep::None) {
            QTest::newRow(name) << v << figures << int(sweep);
        };
        const double f = double(FLT_MAX), inf = std::numeric_limits<double>::infinity();
        row("float limits", {double(FLT_MIN), double(FLT_TRUE_MIN), f, -f, double(std::nextafter(FLT_MIN, 0.0f))}, 7);
        row("double limits", {DBL_MIN, DBL_TRUE_MIN, DBL_MAX, -DBL_MAX, std::nextafter(DBL_MIN, 0.0)}, 15);
        // Exact ties round to the even figure, as printf does.
        row("float ties", {12345675.0, 12345665.0, 10000005.0, 0.5, 2.5, 9999999.5 * 2, 16777215.0}, 7);
        row("double ties", {1234567890123455.0, 1234567890123465.0, 12345678901234.5, 0.0625, 4503599627370497.0}, 15);
        // Rounding that carries into a new figure moves the exponent.
        row("carry into next power", {9999999.7, 99999.996, 0.000099999999, 9.9999999e-5, 9999999999999999.0}, 7);
        row("carry into next power 15", {999999999999999.7, 9.99999999999999999e-5, 0.99999999999999989}, 15);
        // Where fixed notation gives way to the exponent.
        row("notation edges 7", {1e-4, 9.9e-5, 1e-5, 999999.9, 9999999.0, 10000000.0, 1e7 - 1, 123456.75}, 7);
        row("notation edges 15", {1e-4, 1e-5, 1e14, 1e15, 999999999999999.0, 1e15 - 0.5, 1e100, 1e-100, 1e300}, 15);
        row("negatives", {-0.5, -1.0 / 3, -1e-7, -123456789.0, -0.0, -double(FLT_MIN)}, 7);
        row("not finite", {inf, -inf, std::numeric_limits<double>::quiet_NaN(), 0.0}, 15);
        row("other precisions", {1.0 / 3, 2.0 / 3, 1e21, 5e-324, 123.456}, 1);
        row("seventeen figures", {1.0 / 3, 0.1, 1e23, 5e-324, DBL_MAX}, 17);
        row("random float bits", {}, 7, Sweep::FloatBits);
        row("random millimetres", {}, 7, Sweep::FloatMillimetres);
        row("random double bits", {}, 15, Sweep::DoubleBits);
        row("random doubles near whole numbers", {}, 15, Sweep::DoubleNearInts);
    }
    void general()
    {
        QFETCH(QVector<double>, values);
        QFETCH(int, figures);
        QFETCH(int, sweep);
        std::mt19937_64 rng(0x51CE + quint64(sweep));
        for (int i = 0; i < 200000 && sweep != int(Sweep::None); ++i) {
            double v = 0;
            if (sweep == int(Sweep::FloatBits))
                v = double(std::bit_cast<float>(quint32(rng())));
            else if (sweep == int(Sweep::DoubleBits))
                v = std::bit_cast<double>(quint64(rng()));
            else if (sweep == int(Sweep::FloatMillimetres)) // what labels hold: dot-snapped millimetres
                v = double(float(qint64(rng() % 20000) - 5000) * (float(100 + rng() % 60) / 1000.0f));
            else
                v = std::nextafter(double(rng() % 100000000000000000ull) / std::pow(10.0, double(rng() % 30)),
                                   rng() % 2 ? 0.0 : DBL_MAX);
            if (std::isfinite(v))
                values.append(v);
        }
        QVERIFY(!values.isEmpty());
        for (const double v : values) {
            QByteArray out("x");
            AppendGeneral(out, v, figures);
            if (out != "x" + reference(v, figures))
                QFAIL(qPrintable(QStringLiteral("%1 with %2 figures: %3, expected %4").arg(v, 0, 'g', 17).arg(figures)
                                     .arg(QString::fromLatin1(out), QString::fromLatin1(reference(v, figures)))));
        }
    }

    void decimal()
    {
        QByteArrayList texts{
            "0", "-0", "+0", "0.5", "-0.5", ".5", "5.", "12", "10.125", "0.1", "1E-05", "1.234568E+07",
            "000012.5", "0.000001", "-0000.0000", "00000000000000000000000001", // leading zeros
            "12345678901234567890", "1234567890123456789", "0.333333333333333314829616256247", "9007199254740993",
            "9007199254740992", "9007199254740991", "179769313486231570000e288", // many figures
            "1e22", "1e23", "1e-22", "1e-23", "5e-324", "2.4703282292062328e-324", "1e308", "1e-400",
            "0e999999999999", "1E+0000000000000000005", "123.456e-3", "4.9e-324"};
        std::mt19937_64 rng(7);
        for (int i = 0; i < 100000; ++i) {
            QByteArray s(rng() % 4 == 0 ? "-" : "");
            const int whole = int(rng() % 12);
            for (int k = 0; k < whole; ++k)
                s += char('0' + rng() % 10);
            s += '.';
            const int fraction = int(rng() % 14) + (whole == 0);
            for (int k = 0; k < fraction; ++k)
                s += char('0' + rng() % 10);
            if (rng() % 3 == 0)
                s += "E" + QByteArray::number(int(rng() % 80) - 40);
            texts.append(s);
        }
        for (const QByteArray& t : texts) {
            const double got = DecimalToDouble(t), expected = std::strtod(t.constData(), nullptr);
            if (std::bit_cast<quint64>(got) != std::bit_cast<quint64>(expected))
                QFAIL(qPrintable(QStringLiteral("%1 read as %2, expected %3")
                                     .arg(QString::fromLatin1(t)).arg(got, 0, 'g', 17).arg(expected, 0, 'g', 17)));
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
