#pragma once
// The panel's configuration image: 256 words that list the Class 0 points with their
// event classes, the unsolicited-response parameters, the block starts and the total.
// Built here for a send, and mapped back into the configuration after a retrieve.

#include "model/ConfigState.h"

#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>
#include <span>
#include <variant>
#include <vector>

namespace dnp {

class ClassEditor;
class SortModel;

using ConfigImage = std::array<std::uint16_t, 256>;

constexpr int kImageWords = 256;
constexpr int kMappingWord = 0;
constexpr int kFirstListWord = 1;
constexpr int kLastListWord = 240;
constexpr int kMaxListWords = 240;
constexpr int kFirstUnsolicitedWord = 241;  // 241-246
constexpr int kLastPointAreaWord = 247;     // words 1-247 are collected as retrieved point words
constexpr int kFirstTrailerWord = 248;      // 248-255
constexpr int kTrailerWords = 8;
constexpr int kTotalWord = 255;
constexpr std::uint16_t kAbsentBlock = 0xFFFF;
constexpr std::uint16_t kCounterFlag = 0x8000;
constexpr std::uint16_t kCounterSecondWord = 1;

// The DNP mapping: items of the "DNP Mapping" radio groups and the code sent as word 0.
constexpr int kMappingItemCount = 3;
constexpr int kIndividualMappingItem = 2;
constexpr std::array<std::uint16_t, kMappingItemCount> kMappingCodes = {1, 4, 8};
// "Uninitialized", "CM version 2.04+ Subset Mapping", "Individual Mapping (per this document)".
QString mappingText(int item);
// The radio item of a retrieved mapping code (1, 4, 8 to 0, 1, 2); -1 for any other code.
int mappingItemForCode(std::uint16_t code);

// The trailer words, by block: where each block starts in the image.
enum class ImageBlock : int { Bin = 0, BoutFirst, BoutSecond, Ain, Aout, Counters };
constexpr int kImageBlockCount = 6;
// Image word holding the start of each block (in block order).
constexpr std::array<int, kImageBlockCount> kBlockStartWords = {248, 249, 252, 250, 251, 253};

const QString& tooManyPointsMessage();   // "There are more than 240 data points chosen, please return to class meu."
const QString& noPointsMessage();        // "No configurations chosen, please return to class menu."

// The Class 0 order of each point type as the order lists show it: TypeIndex values
// in list order, indexed by typeNumber().
using Class0Lists = std::array<std::vector<int>, kPointTypeCount>;

// Words that one Class 0 point takes in the list (its code words for Ain/Aout, the
// code and the word 1 for a counter; Bout points take one word in each Bout block).
int imageWordsOf(PointType type, int typeIndex);

struct BuiltImage {
    ConfigImage image{};
    int wordCount = 0;  // point words in the list (word 255 in individual mapping)
};
struct ImageRefusal {
    QString message;
};
using ImageBuildResult = std::variant<BuiltImage, ImageRefusal>;

// NonIndividualMappingDNP: words 1 to 255 cleared.
void NonIndividualMappingDNP(ConfigImage& image);

// The image a send carries, for the mapping item chosen (0, 1, 2). In individual
// mapping the marks of all points are first recomputed from the stored selections,
// the counts are checked (more than 240 words, the multi-word points included, or
// none at all is refused with its message) and the list is written from `lists`.
ImageBuildResult buildSendImage(ConfigState& state, const Class0Lists& lists, int mappingItem);
// The same with the order lists of the Class 0 data order window and its MappingRG.
ImageBuildResult buildSendImage(ConfigState& state, const SortModel& sort);
ImageBuildResult buildSendImage(ConfigState& state, const SortModel& sort, int mappingItem);

// Per point type the TypeIndex values found in a retrieved image, in image order.
struct RetrievedOrder {
    std::array<std::vector<int>, kPointTypeCount> entries;

    void reset();
    int count(PointType type) const { return static_cast<int>(entries[typeNumber(type)].size()); }
    const std::vector<int>& of(PointType type) const { return entries[typeNumber(type)]; }
    void append(PointType type, int typeIndex) { entries[typeNumber(type)].push_back(typeIndex); }
};

// What a retrieve collects from the 18 read replies.
struct RetrieveBuffers {
    std::uint16_t RetrievedMappingCode = 0;            // image word 0
    std::array<std::uint16_t, 256> RetrievedWords{};   // image words 1-247, in arrival order
    std::int32_t RetrievedCount = 0;
    std::array<std::uint16_t, kTrailerWords> RetrievedTrailer{};  // image words 248-255
    std::int32_t TrailerFill = 0;
    // Image words 241-246 as they arrived, held aside so that the mapping keeps them
    // in force over the clear step.
    UnsolicitedWords RetrievedUnsolicited = kDefaultUnsolicited;
    bool unsolicitedReceived = false;

    void reset();
    // The words of one read reply, image words firstWord, firstWord + 1, ...: word 0
    // goes to the mapping code, 1-247 are appended to RetrievedWords, 248-255 to the
    // trailer. Afterwards RetrievedCount becomes the number of nonzero words among the
    // first RetrievedCount words, so that trailing zero words do not pile up.
    void appendReplyWords(int firstWord, std::span<const std::uint16_t> words);
};

// The buffers exactly as the 18 read replies of a retrieve would fill them.
RetrieveBuffers retrieveBuffersFromImage(const ConfigImage& image);

// MapRetrievedConfig: clears all selections (keeping the retrieved unsolicited
// words), then maps every retrieved point word into class selections, event-class
// marks, retrieve marks, the class editor's check marks and `order`.
void MapRetrievedConfig(ConfigState& state, ClassEditor& editor, const RetrieveBuffers& buffers, RetrievedOrder& order);

// The end of a retrieve whose 18 replies arrived: RMappingRG shows the retrieved
// mapping, the image is mapped back and the retrieved order adopted (InitSortRetrieve).
// Uses the buffers and the retrieved order held by the sort model.
void completeRetrieve(ConfigState& state, ClassEditor& editor, SortModel& sort);

// The six unsolicited words of a retrieve put into the configuration (what the
// retrieve does when the reply to its 17th message has arrived).
void applyRetrievedUnsolicited(ConfigState& state, const RetrieveBuffers& buffers);

// The image as text: 16 lines of 16 words, four upper-case hex digits each, one
// blank between words, LF after each line.
QString formatImageText(const ConfigImage& image);

// Reading an image written as text: 256 hexadecimal words (1 to 4 digits, an
// optional 0x), separated by any white space.
struct ImageTextError {
    int line = 0;    // 1-based; 0 when not tied to a place
    int column = 0;  // 1-based
    QString message;
    QString text() const;  // "line 3, column 16: ..." or the message alone
};
using ImageTextResult = std::variant<ConfigImage, ImageTextError>;
ImageTextResult parseImageText(QByteArrayView text);

}  // namespace dnp
