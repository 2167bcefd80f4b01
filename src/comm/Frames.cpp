#include "comm/Frames.h"

namespace dnp::frames {
namespace {

std::uint8_t byteAt(QByteArrayView bytes, qsizetype i) { return static_cast<std::uint8_t>(bytes[i]); }

// Command, offset and count of a request.
QByteArray requestHeader(std::uint8_t command, int message)
{
    QByteArray header;
    header.append(static_cast<char>(command));
    header.append(static_cast<char>(messageOffset(message)));
    header.append(static_cast<char>(messageWordCount(message)));
    return header;
}

}  // namespace

void appendWord(QByteArray& bytes, std::uint16_t word)
{
    bytes.append(static_cast<char>(word >> 8));
    bytes.append(static_cast<char>(word & 0xFF));
}

QByteArray envelope(Addressing addressing, QByteArrayView body)
{
    QByteArray frame;
    if (addressing.enabled)
        frame.append(static_cast<char>(addressing.addressByte()));
    // The length counts itself, what follows it and the checksum.
    frame.append(static_cast<char>(body.size() + 2));
    frame.append(body);
    frame.append(static_cast<char>(checksum(frame)));
    return frame;
}

std::uint8_t checksum(QByteArrayView bytes)
{
    unsigned sum = 0;
    for (char c : bytes)
        sum += static_cast<std::uint8_t>(c);
    return static_cast<std::uint8_t>(-sum & 0xFF);
}

bool sumsToZero(QByteArrayView bytes) { return checksum(bytes) == 0; }

std::uint8_t messageOffset(int message) { return static_cast<std::uint8_t>(messageFirstWord(message) & 0xFF); }

QByteArray composeWriteFrame(int message, const ConfigImage& image, Addressing addressing)
{
    if (!isValidMessage(message))
        return {};
    QByteArray body = requestHeader(kWriteCommand, message);
    const int first = messageFirstWord(message);
    for (int w = first; w < first + messageWordCount(message); ++w)
        appendWord(body, image[static_cast<std::size_t>(w)]);
    return envelope(addressing, body);
}

QByteArray composeReadFrame(int message, Addressing addressing)
{
    if (!isValidMessage(message))
        return {};
    return envelope(addressing, requestHeader(kReadCommand, message));
}

int statusByteCount(int words) { return words < 1 ? 0 : 1 + words / 2; }

int replyPayloadSize(Command command, int message)
{
    const int words = messageWordCount(message);
    const int statuses = statusByteCount(words);
    return command == Command::Write ? statuses : statuses + 2 * words;
}

int replySize(Command command, int message, bool addressing)
{
    // Length byte, payload, checksum; the address byte in front when addressing.
    return (addressing ? 1 : 0) + 1 + replyPayloadSize(command, message) + 1;
}

std::variant<Reply, FrameProblem> parseReply(QByteArrayView bytes, const ExpectedReply& expected)
{
    using Part = FrameProblem::Part;
    const int size = replySize(expected.command, expected.message, expected.addressing.enabled);
    if (bytes.size() != size)
        return FrameProblem{Part::Size, static_cast<int>(bytes.size()), size};
    const int lengthAt = expected.addressing.enabled ? 1 : 0;
    if (expected.addressing.enabled && byteAt(bytes, 0) != expected.addressing.addressByte())
        return FrameProblem{Part::Address, byteAt(bytes, 0), expected.addressing.addressByte()};
    if (byteAt(bytes, lengthAt) != size - lengthAt)
        return FrameProblem{Part::Length, byteAt(bytes, lengthAt), size - lengthAt};
    if (expected.checkChecksum && !sumsToZero(bytes))
        return FrameProblem{Part::Checksum, byteAt(bytes, size - 1), checksum(bytes.first(size - 1))};
    const qsizetype payloadAt = lengthAt + 1;
    const QByteArrayView payload = bytes.sliced(payloadAt, replyPayloadSize(expected.command, expected.message));

    Reply reply;
    if (expected.command == Command::Write) {
        for (char status : payload)
            reply.statuses.push_back(static_cast<std::uint8_t>(status));
        return reply;
    }
    // Status, word; then status, word, word; ... each word high byte first.
    qsizetype p = 0;
    while (p < payload.size()) {
        reply.statuses.push_back(byteAt(payload, p++));
        const int words = reply.words.empty() ? 1 : 2;
        for (int k = 0; k < words && p + 1 < payload.size(); ++k, p += 2)
            reply.words.push_back(static_cast<std::uint16_t>(byteAt(payload, p) << 8 | byteAt(payload, p + 1)));
    }
    return reply;
}

}  // namespace dnp::frames
