#pragma once
// The panel's configuration image and how it travels: every fact of its layout, for
// the frames, the image builder, the retrieve mapping, the exchange and the simulator.
//
//   word 0        mapping code (1, 4 or 8)
//   words 1-240   point list: the point words from word 1 on, then 0
//   words 241-246 unsolicited parameters: dead band and events word of classes 1, 2, 3
//   word 247      0
//   words 248-253 where each block of the list starts (0xFFFF: absent)
//   word 254      0
//   word 255      total point words (0xFFFF: none)
//
// It travels in 18 messages: 1-17 carry 15 words each from word (message - 1) x 15,
// message 18 carries word 255 alone.

#include "model/Catalog.h"
#include "model/WordBudget.h"  // kMaxListWords: the words of the point list

#include <array>
#include <cstdint>
#include <optional>

namespace dnp {

constexpr int kImageWords = 256;
using ConfigImage = std::array<std::uint16_t, kImageWords>;

constexpr int kMappingWord = 0;
constexpr int kFirstListWord = 1;
constexpr int kFirstUnsolicitedWord = 241;
constexpr int kUnsolicitedWordCount = 6;
constexpr int kLastPointAreaWord = 247;  // a retrieve collects words 1-247 as point words
constexpr int kFirstTrailerWord = 248;
constexpr int kTrailerWords = 8;
constexpr int kTotalWord = 255;
constexpr std::uint16_t kAbsentBlock = 0xFFFF;
constexpr std::uint16_t kCounterFlag = 0x8000;  // on a counter's code word
constexpr std::uint16_t kCounterSecondWord = 1;

// The blocks of the point list, in list order, and the word that holds each start.
enum class ImageBlock : int { Bin = 0, BoutFirst, BoutSecond, Ain, Aout, Counters };
constexpr int kImageBlockCount = 6;
constexpr std::array<int, kImageBlockCount> kBlockStartWords = {248, 249, 252, 250, 251, 253};
// The point type whose codes each block lists (the binary outputs twice: their first
// codes, then their second codes).
constexpr std::array<PointType, kImageBlockCount> kBlockTypes = {
    PointType::Bin, PointType::Bout, PointType::Bout, PointType::Ain, PointType::Aout, PointType::Counters};

// The DNP mapping, image word 0, in the order of the "DNP Mapping" radio groups' items.
enum class Mapping { Uninitialized, Subset, Individual };
constexpr std::array<Mapping, 3> kMappings = {Mapping::Uninitialized, Mapping::Subset, Mapping::Individual};
constexpr std::array<std::uint16_t, kMappings.size()> kMappingCodes = {1, 4, 8};
constexpr std::uint16_t mappingCode(Mapping mapping) { return kMappingCodes[static_cast<std::size_t>(mapping)]; }
// A radio group's item (0-2) and its mapping; none for any other item.
constexpr int mappingItem(Mapping mapping) { return static_cast<int>(mapping); }
constexpr std::optional<Mapping> mappingOfItem(int item)
{
    return item >= 0 && item < static_cast<int>(kMappings.size()) ? std::optional<Mapping>(kMappings[item]) : std::nullopt;
}

// The message plan of a transfer.
constexpr int kMessageCount = 18;
constexpr int kWordsPerMessage = 15;
constexpr bool isValidMessage(int message) { return message >= 1 && message <= kMessageCount; }
constexpr int messageFirstWord(int message) { return (message - 1) * kWordsPerMessage; }  // 0, 15, ..., 240, 255
constexpr int messageWordCount(int message) { return message == kMessageCount ? 1 : kWordsPerMessage; }

}  // namespace dnp
