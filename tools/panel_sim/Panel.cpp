#include "Panel.h"

namespace dnp::sim {

using namespace dnp::frames;

namespace {

std::uint8_t byteAt(QByteArrayView bytes, int i) { return static_cast<std::uint8_t>(bytes[i]); }

constexpr int kRequestHeaderSize = 4;  // length, command, offset, count
constexpr int kLongestFrameLength = kReadFrameLength + 2 * kWordsPerMessage;

}  // namespace

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
        return BadFrame{1, "unknown command"};
    if (length < kReadFrameLength || length > kLongestFrameLength)
        return BadFrame{1, "impossible length"};
    if (count < 1 || count > kWordsPerMessage || offset + count > kImageWords)
        return BadFrame{1, "impossible word count"};
    const int expectedLength = command == kReadCommand ? kReadFrameLength : kReadFrameLength + 2 * count;
    if (length != expectedLength)
        return BadFrame{1, "length does not match the word count"};

    const int size = lengthAt + length;
    if (stream.size() < size)
        return Incomplete{};
    if (!sumsToZero(stream.first(size)))
        return BadFrame{size, "bad checksum"};

    Request request;
    request.size = size;
    request.frame = stream.first(size).toByteArray();
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

QByteArray composeWriteReply(int count, Addressing addressing, std::uint8_t firstStatus)
{
    QByteArray payload(statusByteCount(count), static_cast<char>(kGoodStatus));
    if (!payload.isEmpty())
        payload[0] = static_cast<char>(firstStatus);
    return envelope(addressing, payload);
}

QByteArray composeReadReply(int offset, int count, const ConfigImage& image, Addressing addressing,
                            std::uint8_t firstStatus)
{
    QByteArray payload;
    for (int j = 0; j < count; ++j) {
        // A status byte before the first word and before every further pair.
        if (j == 0)
            payload.append(static_cast<char>(firstStatus));
        else if (j % 2 == 1)
            payload.append(static_cast<char>(kGoodStatus));
        const int word = offset + j;
        appendWord(payload, word < kImageWords ? image[static_cast<std::size_t>(word)] : 0);
    }
    return envelope(addressing, payload);
}

std::vector<Request> FrameReader::take(QByteArrayView bytes)
{
    pending_.append(bytes.data(), bytes.size());
    std::vector<Request> requests;
    qsizetype at = 0;  // what was read is cut off once, at the end
    for (;;) {
        auto parsed = parseRequest(QByteArrayView(pending_).sliced(at), addressing_);
        if (std::holds_alternative<Incomplete>(parsed))
            break;
        if (const auto* bad = std::get_if<BadFrame>(&parsed)) {
            drop(bad->discard, bad->reason);
            at += bad->discard;
            continue;
        }
        auto& request = std::get<Request>(parsed);
        at += request.size;
        requests.push_back(std::move(request));
    }
    pending_.remove(0, at);
    return requests;
}

void FrameReader::drop(int bytes, const char* reason)
{
    if (!dropped_.empty() && dropped_.back().reason == QLatin1String(reason))
        dropped_.back().bytes += bytes;
    else
        dropped_.push_back({bytes, QString::fromLatin1(reason)});
}

std::vector<Dropped> FrameReader::takeDropped()
{
    std::vector<Dropped> dropped;
    dropped.swap(dropped_);
    return dropped;
}

Dropped notOurs(const Request& request)
{
    return {request.size, QStringLiteral("for address %1, not ours").arg(request.address)};
}

Panel::Panel(std::optional<int> address, Faults faults) : address_(address), faults_(std::move(faults)) {}

bool Panel::answers(std::uint8_t address) const { return !address_ || address == (*address_ & 0xFF); }

Answer Panel::answer(const Request& request)
{
    Answer a;
    a.request = ++requests_;
    a.frame = request.frame;
    a.command = request.command;
    a.offset = request.offset;
    a.count = request.count;
    if (!faults_.silentAt.contains(a.request)) {
        a.reply = composeReply(request, a.request);
        a.imageComplete = request.command == Command::Write && !faults_.badStatusAt.contains(a.request) &&
                          request.offset + request.count == kImageWords;
        spoilReply(a);
    }
    if (request.command == Command::Read)
        previousReadOffset_ = request.offset;
    return a;
}

// The reply frame as a good panel would send it, apart from the words of a read that
// may come from the previous read's offset; a write it answers with a good status is
// stored.
QByteArray Panel::composeReply(const Request& request, int number)
{
    const std::uint8_t status = faults_.badStatusAt.contains(number) ? kBadStatus : kGoodStatus;
    const Addressing addressing{address_.has_value(), address_.value_or(0)};
    if (request.command == Command::Write) {
        if (status == kGoodStatus) {
            for (int j = 0; j < request.count; ++j)
                image[static_cast<std::size_t>(request.offset + j)] = request.words[static_cast<std::size_t>(j)];
        }
        return composeWriteReply(request.count, addressing, status);
    }
    const bool previousWords = faults_.previousWordsEveryRead || faults_.previousWordsAt.contains(number);
    return composeReadReply(previousWords ? previousReadOffset_ : request.offset, request.count, image, addressing,
                            status);
}

// The faults that change a reply's bytes, and whether it goes out twice.
void Panel::spoilReply(Answer& a) const
{
    const int lengthAt = address_ ? 1 : 0;
    const qsizetype checksumAt = a.reply.size() - 1;
    if (faults_.badLengthAt.contains(a.request)) {
        a.reply[lengthAt] = static_cast<char>(a.reply[lengthAt] + 1);
        a.reply[checksumAt] = static_cast<char>(a.reply[checksumAt] - 1);
    }
    if (faults_.badChecksumAt.contains(a.request))
        a.reply[checksumAt] = static_cast<char>(a.reply[checksumAt] + 1);
    if (faults_.shortReplyAt.contains(a.request))
        a.reply.chop(std::min<qsizetype>(kShortReplyMissing, a.reply.size() - 1));
    else if (faults_.extraAt.isEmpty() || faults_.extraAt.contains(a.request))
        a.reply.append(QByteArray(faults_.extraBytes, kExtraByte));
    a.repeat = faults_.repeatEveryReply || faults_.repeatReplyAt.contains(a.request);
}

}  // namespace dnp::sim
