#include "transferprotocol.h"

#include <QtTest>

using namespace transfer;

class TransferProtocolTest : public QObject
{
    Q_OBJECT
private slots:
    void frameRoundTrip_data();
    void frameRoundTrip();
    void malformedHeader_data();
    void malformedHeader();
    void dottedAddress_data();
    void dottedAddress();
    void iniPort_data();
    void iniPort();
};

void TransferProtocolTest::frameRoundTrip_data()
{
    QTest::addColumn<bool>("request");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("payload");

    QTest::newRow("write format") << true << int(Op::Write) << 52 << QByteArray("0102ABCD\r\n");
    QTest::newRow("read, empty") << true << int(Op::Read) << 61 << QByteArray();
    QTest::newRow("reply with binary bytes")
        << false << int(Status::Ok) << 56 << QByteArray("\0\xff\r\nQSCL\x01", 10);
    QTest::newRow("no data") << false << int(Status::NoData) << 56 << QByteArray();
    QTest::newRow("length needs all four bytes")
        << false << int(Status::Ok) << 52 << QByteArray(0x01020304 & 0x3FFFF, 'A');
}

void TransferProtocolTest::frameRoundTrip()
{
    QFETCH(bool, request);
    QFETCH(int, code);
    QFETCH(int, type);
    QFETCH(QByteArray, payload);

    const QByteArray frame = request ? encodeRequest(Op(code), std::uint8_t(type), payload)
                                     : encodeReply(Status(code), std::uint8_t(type), payload);
    QCOMPARE(frame.size(), kHeaderSize + payload.size());
    Header h;
    // Every prefix of the header asks for more, never misreads.
    for (int n = 0; n < kHeaderSize; ++n)
        QCOMPARE(parseHeader(frame.left(n), &h), ParseResult::NeedMore);
    QCOMPARE(parseHeader(frame, &h), ParseResult::Ok);
    QCOMPARE(int(h.code), code);
    QCOMPARE(int(h.type), type);
    QCOMPARE(qsizetype(h.length), payload.size());
    QCOMPARE(frame.mid(kHeaderSize), payload);
}

static QByteArray header(const char *magic, int version, quint32 length)
{
    QByteArray h(magic, 4);
    h += char(version);
    h += char(0);
    h += char(52);
    h += char(0);
    h += char(length >> 24);
    h += char(length >> 16);
    h += char(length >> 8);
    h += char(length);
    return h;
}

void TransferProtocolTest::malformedHeader_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("expected");

    QTest::newRow("empty") << QByteArray() << int(ParseResult::NeedMore);
    QTest::newRow("short, right so far") << QByteArray("QSCL\x01\x00", 6) << int(ParseResult::NeedMore);
    QTest::newRow("wrong magic, one byte") << QByteArray("H") << int(ParseResult::BadMagic);
    QTest::newRow("http reply") << QByteArray("HTTP/1.0 200 OK\r\n") << int(ParseResult::BadMagic);
    QTest::newRow("magic in lower case") << header("qscl", 1, 0) << int(ParseResult::BadMagic);
    QTest::newRow("version 0") << header("QSCL", 0, 0) << int(ParseResult::BadVersion);
    QTest::newRow("version 2, short") << header("QSCL", 2, 0).left(5) << int(ParseResult::BadVersion);
    QTest::newRow("largest length") << header("QSCL", 1, kMaxPayload) << int(ParseResult::Ok);
    QTest::newRow("one past largest") << header("QSCL", 1, kMaxPayload + 1) << int(ParseResult::TooLarge);
    QTest::newRow("4 GiB") << header("QSCL", 1, 0xFFFFFFFFu) << int(ParseResult::TooLarge);
}

void TransferProtocolTest::malformedHeader()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, expected);
    Header h;
    QCOMPARE(int(parseHeader(bytes, &h)), expected);
}

void TransferProtocolTest::dottedAddress_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("loopback");

    QTest::newRow("lan") << QByteArray("192.168.1.21") << true << false;
    QTest::newRow("zeros") << QByteArray("0.0.0.0") << true << false;
    QTest::newRow("top") << QByteArray("255.255.255.255") << true << false;
    QTest::newRow("loopback") << QByteArray("127.0.0.2") << true << true;
    QTest::newRow("loopback high") << QByteArray("127.255.1.200") << true << true;
    QTest::newRow("empty") << QByteArray() << false << false;
    QTest::newRow("three parts") << QByteArray("1.2.3") << false << false;
    QTest::newRow("five parts") << QByteArray("1.2.3.4.5") << false << false;
    QTest::newRow("256") << QByteArray("256.1.1.1") << false << false;
    QTest::newRow("1000") << QByteArray("1.2.3.1000") << false << false;
    QTest::newRow("traversal") << QByteArray("../x") << false << false;
    QTest::newRow("trailing path") << QByteArray("1.2.3.4/..") << false << false;
    QTest::newRow("option") << QByteArray("-rf") << false << false;
    QTest::newRow("sign") << QByteArray("+1.2.3.4") << false << false;
    QTest::newRow("negative part") << QByteArray("1.-2.3.4") << false << false;
    QTest::newRow("leading blank") << QByteArray(" 1.2.3.4") << false << false;
    QTest::newRow("trailing blank") << QByteArray("1.2.3.4 ") << false << false;
    QTest::newRow("leading zero") << QByteArray("01.2.3.4") << false << false;
    QTest::newRow("empty part") << QByteArray("1..3.4") << false << false;
    QTest::newRow("trailing dot") << QByteArray("1.2.3.4.") << false << false;
    QTest::newRow("hex") << QByteArray("0x7f.0.0.1") << false << false;
    QTest::newRow("embedded nul") << QByteArray("127.0.0.1\0x", 11) << false << false;
}

void TransferProtocolTest::dottedAddress()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QFETCH(bool, loopback);
    QCOMPARE(isDottedIPv4(text), valid);
    QCOMPARE(isLoopbackIPv4(text), loopback);
}

void TransferProtocolTest::iniPort_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("port"); // 0 = none

    QTest::newRow("plain") << QByteArray("[Transfer]\nPort=4001\n") << 4001;
    QTest::newRow("crlf, blanks, comment")
        << QByteArray("[Setting]\r\nLanguage=EN\r\n\r\n[ Transfer ]\r\n  port = 4002 ; test\r\n") << 4002;
    QTest::newRow("key in another section") << QByteArray("[Setting]\nPort=4003\n") << 0;
    QTest::newRow("section ends") << QByteArray("[Transfer]\nX=1\n[Other]\nPort=4004\n") << 0;
    QTest::newRow("similar key") << QByteArray("[Transfer]\nPortable=1\nPort=4005\n") << 4005;
    QTest::newRow("out of range") << QByteArray("[Transfer]\nPort=70000\n") << 0;
    QTest::newRow("zero") << QByteArray("[Transfer]\nPort=0\n") << 0;
    QTest::newRow("not a number") << QByteArray("[Transfer]\nPort=abc\n") << 0;
    QTest::newRow("commented out") << QByteArray("[Transfer]\n;Port=4006\n") << 0;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("no closing bracket") << QByteArray("[Transfer\nPort=4007\n") << 0;
}

void TransferProtocolTest::iniPort()
{
    QFETCH(QByteArray, ini);
    QFETCH(int, port);
    const auto p = portFromIni(ini);
    QCOMPARE(p ? int(*p) : 0, port);
}

QTEST_APPLESS_MAIN(TransferProtocolTest)
#include "test_transfer_protocol.moc"
