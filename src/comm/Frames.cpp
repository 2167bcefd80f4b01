#include "comm/Frames.h"

namespace dnp::frames {
namespace {

constexpr int kMessage17 = 17;
constexpr int kFirstSendWordOffset = 14;

void appendWord(QByteArray& bytes, std::uint16_t word)
{
    bytes.append(static_cast<char>(word >> 8));
    bytes.append(static_cast<char>(word & 0xFF));
}

std::uint8_t byteAt(QByteArrayView bytes, int i) { return static_cast<std::uint8_t>(bytes[i]); }

// Address byte (when addressing), the length byte over the rest, the rest, the checksum.
QByteArray finishFrame(Addressing addressing, const QByteArray& afterLength)
{
    QByteArray frame;
    if (addressing.enabled)
        frame.append(static_cast<char>(addressing.addressByte()));
    // The length counts itself, what follows it and the checksum.
    frame.append(static_cast<char>(afterLength.size() + 2));
    frame.append(afterLength);
    frame.append(static_cast<char>(checksum(frame)));
    return frame;
}

}  // namespace

std::uint8_t checksum(QByteArrayView bytes)
{
    unsigned sum = 0;
    for (char c : bytes)
        sum += static_cast<std::uint8_t>(c);
    return static_cast<std::uint8_t>(-sum & 0xFF);
}

bool sumsToZero(QByteArrayView bytes) { return checksum(bytes) == 0; }

bool isValidMessage(int message) { return message >= 1 && message <= kMessageCount; }

std::uint8_t messageOffset(int message) { return static_cast<std::uint8_t>(((message - 1) * kWordsPerMessage) & 0xFF); }

int messageWordCount(int message) { return message == kMessageCount ? kLastMessageWords : kWordsPerMessage; }

int sendWordOffset(int message)
{
    if (message <= 2)
        return kFirstSendWordOffset;
    return kFirstSendWordOffset + kWordsPerMessage * (message - 2);
}

std::vector<int> messageImageWords(int message)
{
    std::vector<int> words;
    if (!isValidMessage(message))
        return words;
    if (message == 1) {
        for (int w = 0; w < kWordsPerMessage; ++w)
            words.push_back(w);
    } else if (message < kMessage17) {
        const int first = sendWordOffset(message) + 1;
        for (int w = first; w < first + kWordsPerMessage; ++w)
            words.push_back(w);
    } else if (message == kMessage17) {
        for (int w = sendWordOffset(message) + 1; w <= kLastPointWord; ++w)
            words.push_back(w);
        for (int w = kFirstTrailerWord; w < kImageWordCount - 1; ++w)
            words.push_back(w);
    } else {
        words.push_back(kImageWordCount - 1);
    }
    return words;
}

QByteArray composeWriteFrame(int message, ImageView image, Addressing addressing)
{
    if (!isValidMessage(message))
        return {};
    QByteArray body;
    body.append(static_cast<char>(kWriteCommand));
    body.append(static_cast<char>(messageOffset(message)));
    body.append(static_cast<char>(messageWordCount(message)));
    for (int w : messageImageWords(message))
        appendWord(body, image[static_cast<std::size_t>(w)]);
    return finishFrame(addressing, body);
}

QByteArray composeReadFrame(int message, Addressing addressing)
{
    if (!isValidMessage(message))
        return {};
    QByteArray body;
    body.append(static_cast<char>(kReadCommand));
    body.append(static_cast<char>(messageOffset(message)));
    body.append(static_cast<char>(messageWordCount(message)));
    return finishFrame(addressing, body);
}

int statusByteCount(int count) { return count < 1 ? 0 : 1 + count / 2; }

int replyPayloadSize(Command command, int message)
{
    const int count = messageWordCount(message);
    const int statuses = statusByteCount(count);
    return command == Command::Write ? statuses : statuses + 2 * count;
}

int replySize(Command command, int message, bool addressing)
{
    // Length byte, payload, checksum; the address byte in front when addressing.
    return (addressing ? 1 : 0) + 1 + replyPayloadSize(command, message) + 1;
}

QByteArray composeWriteReply(int count, Addressing addressing, std::uint8_t firstStatus)
{
    QByteArray payload(statusByteCount(count), static_cast<char>(kGoodStatus));
    if (!payload.isEmpty())
        payload[0] = static_cast<char>(firstStatus);
    return finishFrame(addressing, payload);
}

QByteArray composeReadReply(int offset, int count, ImageView image, Addressing addressing, std::uint8_t firstStatus)
{
    QByteArray payload;
    for (int j = 0; j < count; ++j) {
        // A status byte before the first word and before every further pair.
        if (j == 0)
            payload.append(static_cast<char>(firstStatus));
        else if (j % 2 == 1)
            payload.append(static_cast<char>(kGoodStatus));
        const int word = offset + j;
        appendWord(payload, word < kImageWordCount ? image[static_cast<std::size_t>(word)] : 0);
    }
    return finishFrame(addressing, payload);
}

RequestParse parseRequest(QByteArrayView stream, bool addressing)
{
    const int lengthAt = addressing ? 1 : 0;
    if (stream.size() < lengthAt + kRequestHeaderSize)
        return Incomplete{};
    const int length = byteAt(stream, lengthAt);
    const std::uint8_t command = byteAt(stream, lengthAt + 1);
    const int offset = byteAt(stream, lengthAt + 2);
    const int count = byteAt(stream, lengthAt + 3);

    if (command != kWriteCommand && command != kReadCommand)
        return BadFrame{1, lengthAt + 1, "unknown command"};
    if (length < kReadFrameLength || length > kLongestFrameLength)
        return BadFrame{1, lengthAt, "impossible length"};
    if (count < 1 || count > kWordsPerMessage || offset + count > kImageWordCount)
        return BadFrame{1, lengthAt + 3, "impossible word count"};
    const int expectedLength = command == kReadCommand ? kReadFrameLength : kReadFrameLength + 2 * count;
    if (length != expectedLength)
        return BadFrame{1, lengthAt, "length does not match the word count"};

    const int size = lengthAt + length;
    if (stream.size() < size)
        return Incomplete{};
    if (!sumsToZero(stream.first(size)))
        return BadFrame{size, size - 1, "bad checksum"};

    Request request;
    request.size = size;
    request.address = addressing ? byteAt(stream, 0) : 0;
    request.command = command == kWriteCommand ? Command::Write : Command::Read;
    request.offset = offset;
    request.count = count;
    if (request.command == Command::Write) {
        const int dataAt = lengthAt + kRequestHeaderSize;
        for (int j = 0; j < count; ++j)
            request.words.push_back(static_cast<std::uint16_t>(byteAt(stream, dataAt + 2 * j) << 8 |
                                                               byteAt(stream, dataAt + 2 * j + 1)));
    }
    return request;
}

}  // namespace dnp::frames
