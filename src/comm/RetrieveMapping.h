#pragma once
// Mapping an image retrieved from the panel back into a configuration: image in,
// retrieved configuration out. Nothing here touches the program's configuration; the
// workspace applies the result over a cleared one when a retrieve completes.

#include "comm/ImageLayout.h"
#include "model/ConfigState.h"
#include "model/Result.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace dnp {

// Per point type the TypeIndex values found in a retrieved image, in image order; a
// point the panel lists twice is found twice.
struct RetrievedOrder {
    std::array<std::vector<int>, kPointTypeCount> entries;

    int count(PointType type) const { return static_cast<int>(entries[typeNumber(type)].size()); }
    const std::vector<int>& of(PointType type) const { return entries[typeNumber(type)]; }
    void append(PointType type, int typeIndex) { entries[typeNumber(type)].push_back(typeIndex); }
};

// What a retrieve collects from the 18 read replies, reply by reply.
struct RetrieveBuffers {
    std::uint16_t RetrievedMappingCode = 0;                       // image word 0
    std::array<std::uint16_t, kImageWords> RetrievedWords{};      // image words 1-247, in arrival order
    std::int32_t RetrievedCount = 0;
    std::array<std::uint16_t, kTrailerWords> RetrievedTrailer{};  // image words 248-255
    std::int32_t TrailerFill = 0;
    UnsolicitedWords RetrievedUnsolicited = kDefaultUnsolicited;  // image words 241-246

    // The words of one read reply, image words firstWord, firstWord + 1, ...: word 0
    // goes to the mapping code, 1-247 are appended to RetrievedWords, 248-255 to the
    // trailer. Afterwards RetrievedCount becomes the number of nonzero words among the
    // first RetrievedCount words, so that trailing zero words do not pile up.
    void appendReplyWords(int firstWord, std::span<const std::uint16_t> words);
};

// The buffers exactly as the 18 read replies of a retrieve fill them.
RetrieveBuffers retrieveBuffersFromImage(const ConfigImage& image);

// A configuration as the panel holds it, ready to replace the cleared one.
struct RetrievedConfig {
    std::uint16_t mappingCode = 0;
    std::array<std::array<std::uint8_t, kSelectionSize>, 4> ClassSelection{};
    // The retrieved order adopted: the slots of the found points, in TypeIndex order,
    // take the found TypeIndex values in the panel's order.
    PerType<std::int32_t> Class0Order;
    // The points found, by TypeIndex (Bout: 0-3 first codes, 4-7 second codes).
    PerType<bool> found;
    RetrievedOrder order;
    UnsolicitedWords UnsolicitedSettings = kDefaultUnsolicited;
};

// MapRetrievedConfig of an image: the blocks from the trailer, every point word looked
// up in the block it lies in, selections, marks and the order of what was found.
RetrievedConfig mapRetrievedImage(const ConfigImage& image);

// Whether the panel could hold the image: mapped back and built again in its own
// mapping it gives the same words (the unsolicited words aside, which the mapping
// takes as they come). The first word that differs is named: "Word 97 holds the code
// of Vld, which word 82 holds too." or "Word 17 holds 0x1A32; an image of the points
// it lists holds 0x0000 there."
Result<void> checkRetrievedImage(const ConfigImage& image);

}  // namespace dnp
