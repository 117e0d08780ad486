// The in-place number and text writers against the C library and Qt routines
// they stand in for: every value must come out byte for byte the same.
#include "model/codepage.h"
#include "model/textbuild.h"

#include <QtTest>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    if (e >= 0) {
        QByteArray exp = s.mid(e + 1);
        const char sign = exp.startsWith('-') ? '-' : '+';
        if (exp.startsWith('-') || exp.startsWith('+'))
            exp.remove(0, 1);
        while (exp.size() > 2 && exp.startsWith('0'))
            exp.remove(0, 1);
        s = s.left(e) + 'E' + sign + exp;
    }
    return s;
}

enum class Sweep { None, FloatBits, FloatMillimetres, DoubleBits, DoubleNearInts };

double fromBits(quint64 bits)
{
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

float fromBits32(quint32 bits)
{
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

} // namespace

class TestTextBuild : public QObject {
    Q_OBJECT
private slots:
    void general_data();
    void general();
    void decimal_data();
    void decimal();
    void ansiSurrogates_data();
    void ansiSurrogates();
};

void TestTextBuild::general_data()
{
    QTest::addColumn<QVector<double>>("values");
    QTest::addColumn<int>("figures");
    QTest::addColumn<int>("sweep");

    auto row = [](const char* name, QVector<double> v, int figures, Sweep sweep = Sweep::None) {
        QTest::newRow(name) << v << figures << int(sweep);
    };
    const double f = double(FLT_MAX);
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
    row("not finite", {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                       std::numeric_limits<double>::quiet_NaN(), 0.0}, 15);
    row("other precisions", {1.0 / 3, 2.0 / 3, 1e21, 5e-324, 123.456}, 1);
    row("seventeen figures", {1.0 / 3, 0.1, 1e23, 5e-324, DBL_MAX}, 17);
    row("random float bits", {}, 7, Sweep::FloatBits);
    row("random millimetres", {}, 7, Sweep::FloatMillimetres);
    row("random double bits", {}, 15, Sweep::DoubleBits);
    row("random doubles near whole numbers", {}, 15, Sweep::DoubleNearInts);
}

void TestTextBuild::general()
{
    QFETCH(QVector<double>, values);
    QFETCH(int, figures);
    QFETCH(int, sweep);

    std::mt19937_64 rng(0x51CE + quint64(sweep));
    switch (Sweep(sweep)) {
    case Sweep::FloatBits:
        for (int i = 0; i < 200000; ++i) {
            const float v = fromBits32(quint32(rng()));
            if (std::isfinite(v))
                values.append(double(v));
        }
        break;
    case Sweep::FloatMillimetres:
        // What labels hold: dot-snapped millimetres at several dot pitches.
        for (int i = 0; i < 200000; ++i) {
            const float pitch = float(100 + rng() % 60) / 1000.0f;
            values.append(double(float(qint64(rng() % 20000) - 5000) * pitch));
        }
        break;
    case Sweep::DoubleBits:
        for (int i = 0; i < 200000; ++i) {
            const double v = fromBits(rng());
            if (std::isfinite(v))
                values.append(v);
        }
        break;
    case Sweep::DoubleNearInts:
        for (int i = 0; i < 200000; ++i) {
            const double whole = double(rng() % 100000000000000000ull) / std::pow(10.0, double(rng() % 30));
            values.append(std::nextafter(whole, rng() % 2 ? 0.0 : DBL_MAX));
        }
        break;
    default:
        break;
    }
    int checked = 0;
    for (const double v : values) {
        QByteArray out("x");
        AppendGeneral(out, v, figures);
        const QByteArray expected = "x" + reference(v, figures);
        if (out != expected)
            QFAIL(qPrintable(QStringLiteral("%1 with %2 figures: %3, expected %4")
                                 .arg(v, 0, 'g', 17)
                                 .arg(figures)
                                 .arg(QString::fromLatin1(out), QString::fromLatin1(expected))));
        ++checked;
    }
    QVERIFY(checked > 0);
}

void TestTextBuild::decimal_data()
{
    QTest::addColumn<QByteArrayList>("texts");
    QTest::addColumn<bool>("sweep");
    auto row = [](const char* name, QByteArrayList t, bool sweep = false) { QTest::newRow(name) << t << sweep; };
    row("plain", {"0", "-0", "+0", "0.5", "-0.5", ".5", "5.", "12", "10.125", "0.1", "1E-05", "1.234568E+07"});
    row("leading zeros", {"000012.5", "0.000001", "-0000.0000", "00000000000000000000000001"});
    row("many figures", {"12345678901234567890", "1234567890123456789", "0.333333333333333314829616256247",
                         "9007199254740993", "9007199254740992", "9007199254740991", "179769313486231570000e288"});
    row("exponents", {"1e22", "1e23", "1e-22", "1e-23", "5e-324", "2.4703282292062328e-324", "1e308", "1e-400",
                      "0e999999999999", "1E+0000000000000000005", "123.456e-3", "4.9e-324"});
    row("random decimals", {}, true);
}

void TestTextBuild::decimal()
{
    QFETCH(QByteArrayList, texts);
    QFETCH(bool, sweep);
    if (sweep) {
        std::mt19937_64 rng(7);
        for (int i = 0; i < 100000; ++i) {
            QByteArray s;
            if (rng() % 4 == 0)
                s += '-';
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
    }
    for (const QByteArray& t : texts) {
        const double got = DecimalToDouble(t);
        const double expected = std::strtod(t.constData(), nullptr);
        if (std::memcmp(&got, &expected, sizeof got) != 0)
            QFAIL(qPrintable(QStringLiteral("%1 read as %2, expected %3")
                                 .arg(QString::fromLatin1(t))
                                 .arg(got, 0, 'g', 17)
                                 .arg(expected, 0, 'g', 17)));
    }
}

void TestTextBuild::ansiSurrogates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("lossless");
    const QChar high(0xD83D);
    const QChar low(0xDE00);
    const QString a = QStringLiteral("a");
    QTest::newRow("pair is one character") << a + high + low + u'b' << QByteArray("a?b") << false;
    QTest::newRow("lone high") << a + high << QByteArray("a?") << false;
    QTest::newRow("lone low first") << QString(low) + QChar(0xE9) << QByteArray("?\xe9") << false;
    QTest::newRow("reversed pair") << QString(low) + high << QByteArray("??") << false;
    QTest::newRow("plain") << QStringLiteral("Cr\u00e8me 100%") << QByteArray("Cr\xe8me 100%") << true;
    QTest::newRow("empty") << QString() << QByteArray() << true;
}

void TestTextBuild::ansiSurrogates()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, lossless);
    bool all = !lossless;
    QCOMPARE(ToAnsi(1252, text, &all), bytes);
    QCOMPARE(all, lossless);
    QByteArray appended("<");
    AppendAnsi(appended, 1252, text);
    QCOMPARE(appended, "<" + bytes);
    // Reading back gives the text wherever nothing was lost.
    if (lossless)
        QCOMPARE(FromAnsi(1252, bytes), text);
}

QTEST_APPLESS_MAIN(TestTextBuild)
#include "test_textbuild.moc"
