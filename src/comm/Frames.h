#pragma once
// The panel's frames: what the exchange sends and what the panel answers.
//
// A request is [address] length command offset count [data] checksum. The address
// byte is only on the wire when addressing is on and is never counted in the length
// byte; the checksum makes all bytes of the frame, address included, add up to 0
// modulo 256. The image travels in 18 messages: 1-17 carry 15 words each
// (offsets 0, 15, ..., 240), message 18 carries word 255 alone.
//
// Every function here is pure: bytes in, bytes out.

#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <cstdint>
#include <span>
#include <variant>
#include <vector>

namespace dnp::frames {

constexpr std::uint8_t kWriteCommand = 0xD1;  // write image words
constexpr std::uint8_t kReadCommand = 0xD0;   // read image words

constexpr int kImageWordCount = 256;
constexpr int kMessageCount = 18;
constexpr int kWordsPerMessage = 15;
constexpr int kLastMessageWords = 1;
// Header of a request without the address byte: length, command, offset, count.
constexpr int kRequestHeaderSize = 4;
constexpr int kReadFrameLength = 5;             // length byte of every read frame
constexpr int kLongestFrameLength = 5 + 2 * kWordsPerMessage;  // 35
// Image words 1-247 hold the points; 248-255 are the trailer.
constexpr int kLastPointWord = 247;
constexpr int kFirstTrailerWord = 248;
// The payload of the reply to a 15-word read: the largest payload there is.
constexpr int kLongestReplyPayload = 38;
// A status byte is good when both of its halves are 0.
constexpr std::uint8_t kGoodStatus = 0x00;

using ImageView = std::span<const std::uint16_t, kImageWordCount>;

enum class Command { Write, Read };

// Whether frames carry an address byte, and which.
struct Addressing {
    bool enabled = false;
    std::int32_t address = 1;  // only the low 8 bits go on the wire
    std::uint8_t addressByte() const { return static_cast<std::uint8_t>(address & 0xFF); }
};

// Two's complement of the low 8 bits of the sum of the bytes.
std::uint8_t checksum(QByteArrayView bytes);
// True when all bytes add up to 0 modulo 256.
bool sumsToZero(QByteArrayView bytes);

// The message plan (message 1 to 18).
bool isValidMessage(int message);
std::uint8_t messageOffset(int message);  // (message - 1) x 15 modulo 256: 0, 15, ..., 240, 255
int messageWordCount(int message);        // 15, or 1 for message 18
// The exchange's SendWordOffset while it sends the message: 14 for messages 1 and 2,
// then 15 more for each message (239 for message 17).
int sendWordOffset(int message);
// The image words a write frame of the message carries, in order: message 1 words
// 0-14; 2-16 the 15 words from SendWordOffset + 1; 17 the words from SendWordOffset + 1
// to 247, then 248-254; 18 word 255.
std::vector<int> messageImageWords(int message);

// Request frames of a message. An invalid message number gives an empty frame.
QByteArray composeWriteFrame(int message, ImageView image, Addressing addressing);
QByteArray composeReadFrame(int message, Addressing addressing);

// The number of bytes the exchange waits for as the reply to a message:
// write 10 (11 with the address byte), 3 (4) for message 18; read 40 (41), 5 (6).
int replySize(Command command, int message, bool addressing);
// Payload bytes of a reply (between the length byte and the checksum).
int replyPayloadSize(Command command, int message);

// --- The panel's side (the simulator) ---

// Status bytes in the reply to a request for `count` words: one for the first word,
// then one for every further pair of words (8 for 15 words, 1 for 1 word).
int statusByteCount(int count);

// A reply: [address] length payload checksum. The length byte counts itself, the
// payload and the checksum. `firstStatus` goes into the first status byte; all other
// status bytes are good.
QByteArray composeWriteReply(int count, Addressing addressing, std::uint8_t firstStatus = kGoodStatus);
// The words start at `offset` of the image; a read reply interleaves them with status
// bytes: status, word; then status, word, word, ...; each word high byte first.
QByteArray composeReadReply(int offset, int count, ImageView image, Addressing addressing,
                            std::uint8_t firstStatus = kGoodStatus);

// A request found at the start of a byte stream.
struct Request {
    int size = 0;              // bytes of the stream the frame takes, address included
    std::uint8_t address = 0;  // 0 when the frames carry no address byte
    Command command = Command::Read;
    int offset = 0;
    int count = 0;
    std::vector<std::uint16_t> words;  // write frames: the data words
};
// More bytes are needed before anything can be said.
struct Incomplete {};
// The start of the stream is no frame: drop `discard` bytes and look again.
struct BadFrame {
    int discard = 1;
    int position = 0;  // offset of the offending byte in the stream
    const char* reason = "";
};
using RequestParse = std::variant<Request, Incomplete, BadFrame>;

// Reads the request at the start of `stream`. Accepts 1 to 15 words with
// offset + count <= 256; checks length, command and checksum. The address byte is
// taken but not compared: the caller decides whether the frame is for it.
RequestParse parseRequest(QByteArrayView stream, bool addressing);

}  // namespace dnp::frames
