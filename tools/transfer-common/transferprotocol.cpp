#include "transferprotocol.h"

#include <QList>

#include <cstring>

namespace transfer {

bool isDataType(int type)
{
    return type == 52 || type == 56 || type == 61;
}

bool replyCarriesData(Op op, std::uint8_t status)
{
    return op == Op::Read && status == std::uint8_t(Status::Ok);
}

static QByteArray encodeFrame(std::uint8_t code, std::uint8_t type, const QByteArray &payload)
{
    const auto len = std::uint32_t(payload.size());
    QByteArray frame;
    frame.reserve(kHeaderSize + payload.size());
    frame.append(kMagic, 4);
    frame.append(char(kVersion));
    frame.append(char(code));
    frame.append(char(type));
    frame.append(char(0));
    frame.append(char((len >> 24) & 0xFF));
    frame.append(char((len >> 16) & 0xFF));
    frame.append(char((len >> 8) & 0xFF));
    frame.append(char(len & 0xFF));
    frame.append(payload);
    return frame;
}

QByteArray encodeRequest(Op op, std::uint8_t type, const QByteArray &payload)
{
    return encodeFrame(std::uint8_t(op), type, payload);
}

QByteArray encodeReply(Status status, std::uint8_t type, const QByteArray &payload)
{
    return encodeFrame(std::uint8_t(status), type, payload);
}

ParseResult parseHeader(const char *data, std::size_t size, Header *out)
{
    // Judge the magic as soon as its bytes are there, so garbage is caught early.
    const std::size_t magicSeen = size < 4 ? size : 4;
    if (std::memcmp(data, kMagic, magicSeen) != 0)
        return ParseResult::BadMagic;
    if (size >= 5 && std::uint8_t(data[4]) != kVersion)
        return ParseResult::BadVersion;
    if (size >= 8 && data[7] != 0)
        return ParseResult::BadReserved;
    if (size < std::size_t(kHeaderSize))
        return ParseResult::NeedMore;
    const auto *u = reinterpret_cast<const unsigned char *>(data);
    const std::uint32_t len = (std::uint32_t(u[8]) << 24) | (std::uint32_t(u[9]) << 16)
                              | (std::uint32_t(u[10]) << 8) | std::uint32_t(u[11]);
    if (len > kMaxPayload)
        return ParseResult::TooLarge;
    out->code = u[5];
    out->type = u[6];
    out->length = len;
    return ParseResult::Ok;
}

std::optional<std::uint32_t> parseDottedIPv4(const QByteArray &text)
{
    std::uint32_t value = 0;
    int parts = 0;
    int i = 0;
    const int n = int(text.size());
    while (parts < 4) {
        int digits = 0;
        unsigned part = 0;
        const int start = i;
        while (i < n && text[i] >= '0' && text[i] <= '9' && digits < 4) {
            part = part * 10 + unsigned(text[i] - '0');
            ++digits;
            ++i;
        }
        if (digits == 0 || digits > 3 || part > 255)
            return std::nullopt;
        if (digits > 1 && text[start] == '0')
            return std::nullopt;
        value = (value << 8) | part;
        ++parts;
        if (parts < 4) {
            if (i >= n || text[i] != '.')
                return std::nullopt;
            ++i;
        }
    }
    if (i != n)
        return std::nullopt;
    return value;
}

bool isLoopbackIPv4(const QByteArray &text)
{
    const auto v = parseDottedIPv4(text);
    return v && (*v >> 24) == 127;
}

std::optional<quint16> portFromText(const QByteArray &text)
{
    const QByteArray t = text.trimmed();
    if (t.isEmpty() || t.size() > 5)
        return std::nullopt;
    unsigned v = 0;
    for (char c : t) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + unsigned(c - '0');
    }
    if (v < 1 || v > 65535)
        return std::nullopt;
    return quint16(v);
}

std::optional<quint16> portFromIni(const QByteArray &iniText)
{
    bool inSection = false;
    for (QByteArray line : iniText.split('\n')) {
        line = line.trimmed(); // also drops the CR of CR LF lines
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            const int close = int(line.indexOf(']'));
            inSection = close > 0 && line.mid(1, close - 1).trimmed().toLower() == "transfer";
            continue;
        }
        if (!inSection)
            continue;
        const int eq = int(line.indexOf('='));
        if (eq < 0 || line.left(eq).trimmed().toLower() != "port")
            continue;
        const QByteArray value = line.mid(eq + 1).trimmed();
        int digits = 0;
        while (digits < value.size() && value[digits] >= '0' && value[digits] <= '9')
            ++digits;
        return portFromText(value.left(digits));
    }
    return std::nullopt;
}

QString scaleFileName(const QByteArray &address, int type)
{
    return QStringLiteral("SM%1F%2.DAT").arg(QString::fromLatin1(address)).arg(type);
}

} // namespace transfer
