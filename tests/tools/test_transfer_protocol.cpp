#include "transferprotocol.h"

#include <QtTest>

using namespace transfer;

static QByteArray header(const char *magic, int version, quint32 length)
{
    return QByteArray(magic, 4) + char(version) + QByteArray("\0\x34\0", 3) + char(length >> 24) + char(length >> 16)
           + char(length >> 8) + char(length);
}

class TransferProtocolTest : public QObject
{
    Q_OBJECT
private slots:
    void frameRoundTrip()
    {
        const struct {
            bool request;
            int code, type;
            QByteArray payload;
        } cases[] = {
            {true, int(Op::Write), 52, "0102ABCD\r\n"},
            {true, int(Op::Read), 61, {}},
            {false, int(Status::Ok), 56, QByteArray("\0\xff\r\nQSCL\x01", 10)}, // binary bytes
            {false, int(Status::NoData), 56, {}},
            {false, int(Status::Ok), 52, QByteArray(0x01020304 & 0x3FFFF, 'A')}, // length needs all four bytes
        };
        for (const auto &c : cases) {
            const QByteArray frame = c.request ? encodeRequest(Op(c.code), std::uint8_t(c.type), c.payload)
                                               : encodeReply(Status(c.code), std::uint8_t(c.type), c.payload);
            Header h;
            // Every prefix of the header asks for more, never misreads.
            for (int n = 0; n < kHeaderSize; ++n)
                QCOMPARE(parseHeader(frame.left(n), &h), ParseResult::NeedMore);
            QCOMPARE(parseHeader(frame, &h), ParseResult::Ok);
            QCOMPARE((QList<qint64>{h.code, h.type, h.length}), (QList<qint64>{c.code, c.type, c.payload.size()}));
            QCOMPARE(frame.mid(kHeaderSize), c.payload);
        }
    }

    void malformedHeader()
    {
        const struct {
            QByteArray bytes;
            ParseResult expected;
        } cases[] = {
            {QByteArray(), ParseResult::NeedMore}, {QByteArray("QSCL\x01\x00", 6), ParseResult::NeedMore},
            {"H", ParseResult::BadMagic}, {"HTTP/1.0 200 OK\r\n", ParseResult::BadMagic},
            {header("qscl", 1, 0), ParseResult::BadMagic}, {header("QSCL", 0, 0), ParseResult::BadVersion},
            {header("QSCL", 2, 0).left(5), ParseResult::BadVersion}, {header("QSCL", 1, kMaxPayload), ParseResult::Ok},
            {QByteArray("QSCL\x01\x00\x34\x01", 8), ParseResult::BadReserved},
            {header("QSCL", 1, kMaxPayload + 1), ParseResult::TooLarge},
            {header("QSCL", 1, 0xFFFFFFFFu), ParseResult::TooLarge},
        };
        for (const auto &c : cases) {
            Header h;
            QVERIFY2(parseHeader(c.bytes, &h) == c.expected, c.bytes.toHex().constData());
        }
    }

    void dottedAddress()
    {
        const QByteArray valid[] = {"192.168.1.21", "0.0.0.0", "255.255.255.255", "127.0.0.2", "127.255.1.200"};
        const QByteArray invalid[] = {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.1000", "../x", "1.2.3.4/..",
                                      "-rf", "+1.2.3.4", "1.-2.3.4", " 1.2.3.4", "1.2.3.4 ", "01.2.3.4", "1..3.4",
                                      "1.2.3.4.", "0x7f.0.0.1", QByteArray("127.0.0.1\0x", 11)};
        for (const QByteArray &a : valid) {
            QVERIFY2(isDottedIPv4(a), a.constData());
            QCOMPARE(isLoopbackIPv4(a), a.startsWith("127."));
        }
        for (const QByteArray &a : invalid)
            QVERIFY2(!isDottedIPv4(a) && !isLoopbackIPv4(a), a.toHex().constData());
    }

    void iniPort()
    {
        const struct {
            QByteArray ini;
            int port; // 0 = none
        } cases[] = {
            {"[Transfer]\nPort=4001\n", 4001}, {"[Transfer]\nPortable=1\nPort=4005\n", 4005},
            {"[Setting]\r\nLanguage=EN\r\n\r\n[ Transfer ]\r\n  port = 4002 ; test\r\n", 4002},
            {"[Setting]\nPort=4003\n", 0}, {"[Transfer]\nX=1\n[Other]\nPort=4004\n", 0}, // other sections
            {"[Transfer]\nPort=70000\n", 0}, {"[Transfer]\nPort=0\n", 0}, {"[Transfer]\nPort=abc\n", 0},
            {"[Transfer]\n;Port=4006\n", 0}, {"", 0}, {"[Transfer\nPort=4007\n", 0},
        };
        for (const auto &c : cases) {
            const auto p = portFromIni(c.ini);
            QVERIFY2((p ? int(*p) : 0) == c.port, c.ini.constData());
        }
    }
};

QTEST_APPLESS_MAIN(TransferProtocolTest)
#include "test_transfer_protocol.moc"
