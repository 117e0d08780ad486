// Wire format shared by the transfer driver and the scale simulator.
// The byte layout is documented in docs/transfer-protocol.md.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace transfer {

// "QSCL": marks every request and reply frame.
inline constexpr char kMagic[4] = {'Q', 'S', 'C', 'L'};
inline constexpr std::uint8_t kVersion = 1;
inline constexpr int kHeaderSize = 12;
// Label data is a few kilobytes; anything this large is garbage, not a label.
inline constexpr std::uint32_t kMaxPayload = 16u * 1024u * 1024u;
inline constexpr quint16 kDefaultPort = 3001;

enum class Op : std::uint8_t { Write = 1, Read = 2 };

enum class Status : std::uint8_t {
    Ok = 0,
    NoData = 1,     // read of a type the scale holds nothing for
    Refused = 2,    // the scale would not take the data
    BadRequest = 3, // malformed frame, unknown operation or type
};

// Result codes the driver writes to its result file, one per address.
enum ResultCode : int {
    ResultOk = 0,
    ResultFileMissing = 1,
    ResultConnectFailed = 2,
    ResultTimeout = 3,
    ResultRefused = 4,
    ResultProtocolError = 5,
    ResultInvalidAddress = 6,
    ResultDropped = 7,
    ResultWriteFailed = 8,
    // 9 is the program's own (the driver was called wrongly).
    ResultNotAttempted = 10, // the run ended before this scale was contacted
    ResultCancelled = 11,    // the run was cancelled (SIGTERM) before this scale finished
};

struct Header {
    std::uint8_t code = 0; // Op for a request, Status for a reply
    std::uint8_t type = 0; // 52, 56 or 61
    std::uint32_t length = 0;
};

enum class ParseResult { NeedMore, Ok, BadMagic, BadVersion, BadReserved, TooLarge };

bool isDataType(int type);
// Only the reply to a read with status "ok" carries bytes; every other reply is a bare header.
bool replyCarriesData(Op op, std::uint8_t status);

QByteArray encodeRequest(Op op, std::uint8_t type, const QByteArray &payload);
QByteArray encodeReply(Status status, std::uint8_t type, const QByteArray &payload);

// Reads a header from the start of `data`; only looks at the first kHeaderSize bytes.
ParseResult parseHeader(const char *data, std::size_t size, Header *out);
inline ParseResult parseHeader(const QByteArray &data, Header *out)
{
    return parseHeader(data.constData(), std::size_t(data.size()), out);
}

// Strict dotted IPv4: four decimal parts 0..255, no signs, blanks or leading zeros.
// Leading zeros are refused because some resolvers read them as octal.
std::optional<std::uint32_t> parseDottedIPv4(const QByteArray &text);
inline bool isDottedIPv4(const QByteArray &text) { return parseDottedIPv4(text).has_value(); }
bool isLoopbackIPv4(const QByteArray &text);

// The leading number of key "Port" in section "[Transfer]" of an INI text, when it is 1..65535.
std::optional<quint16> portFromIni(const QByteArray &iniText);
// A port number from an environment value, when it is 1..65535.
std::optional<quint16> portFromText(const QByteArray &text);

// "SM<address>F52.DAT"; only for addresses that passed isDottedIPv4.
QString scaleFileName(const QByteArray &address, int type);

} // namespace transfer
