#pragma once
// The frames of the panel's protocol, as the exchange sends them and reads the replies.
//
// A request is [address] length command offset count [data] checksum. The address
// byte is only on the wire when addressing is on and is never counted in the length
// byte; the checksum makes all bytes of the frame, address included, add up to 0
// modulo 256. A reply is [address] length payload checksum.
//
// Every function here is pure: bytes in, bytes or a result out.

#include "comm/ImageLayout.h"

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>
#include <variant>
#include <vector>

namespace dnp::frames {

constexpr std::uint8_t kWriteCommand = 0xD1;  // write image words
constexpr std::uint8_t kReadCommand = 0xD0;   // read image words
constexpr int kReadFrameLength = 5;           // length byte of every read frame
// The payload of the reply to a 15-word read: the largest payload there is.
constexpr int kLongestReplyPayload = 38;

enum class Command { Write, Read };

// Whether frames carry an address byte, and which.
struct Addressing {
    bool enabled = false;
    std::int32_t address = 1;  // only the low 8 bits go on the wire
    std::uint8_t addressByte() const { return static_cast<std::uint8_t>(address & 0xFF); }
};

// A word as the frames carry it: high byte first.
void appendWord(QByteArray& bytes, std::uint16_t word);
// The frame around a request's or a reply's body: the address byte when addressing,
// the length byte (counting itself, the body and the checksum), the body, the checksum.
QByteArray envelope(Addressing addressing, QByteArrayView body);

// Two's complement of the low 8 bits of the sum of the bytes.
std::uint8_t checksum(QByteArrayView bytes);
// True when all bytes add up to 0 modulo 256.
bool sumsToZero(QByteArrayView bytes);

// The offset byte of a message: its first image word, modulo 256.
std::uint8_t messageOffset(int message);

// Request frames of a message (1-18): a write frame carries the message's image words,
// each high byte first. An invalid message number gives an empty frame.
QByteArray composeWriteFrame(int message, const ConfigImage& image, Addressing addressing);
QByteArray composeReadFrame(int message, Addressing addressing);

// Status bytes in the reply to a request for `words` words: one for the first word,
// then one for every further pair (8 for 15 words, 1 for 1 word).
int statusByteCount(int words);
// Payload bytes of the reply to a message: a write reply holds its status bytes, a
// read reply interleaves them with the words (status, word; then status, word, word).
int replyPayloadSize(Command command, int message);
// The bytes the exchange waits for as the reply to a message:
// write 10 (11 with the address byte), 3 (4) for message 18; read 40 (41), 5 (6).
int replySize(Command command, int message, bool addressing);

// A status byte is good when both of its halves are 0.
constexpr bool goodStatus(std::uint8_t status) { return (status >> 4) == 0 && (status & 0x0F) == 0; }

// The reply the exchange waits for.
struct ExpectedReply {
    Command command = Command::Write;
    int message = 1;
    Addressing addressing;
    bool checkChecksum = true;
};

// What a reply says: its status bytes, and the words of a read reply.
struct Reply {
    std::vector<std::uint8_t> statuses;
    std::vector<std::uint16_t> words;
};

// What is wrong with a reply's frame: the part that does not check out, the value found
// and the value expected (a reply of another size: its size in bytes).
struct FrameProblem {
    enum class Part { Size, Address, Length, Checksum };
    Part part = Part::Size;
    int found = 0;
    int expected = 0;
    bool operator==(const FrameProblem&) const = default;
};

// Reads the reply to a message from exactly replySize() bytes, once its frame checks
// out: with addressing the address byte is the low byte of the address; the length byte
// counts the reply as a request's counts itself (from the length byte through the
// checksum: 10, 3, 40, 5); and all bytes, the address included, add up to 0 modulo 256
// (unless checkChecksum is off). A reply that does not check out is answered with the
// first of these that is wrong, in that order.
std::variant<Reply, FrameProblem> parseReply(QByteArrayView bytes, const ExpectedReply& expected);

}  // namespace dnp::frames
