#include "comm/RetrieveMapping.h"

#include "comm/ConfigImage.h"
#include "comm/ImageText.h"
#include "model/Marks.h"

#include <algorithm>
#include <map>
#include <optional>

namespace dnp {
namespace {

constexpr int kSecondBoutSelectionBase = 384;  // selection bytes no editor list shows
constexpr int kSecondBoutMarkBase = 4;
constexpr std::uint16_t kBit15 = 0x8000;

// One mapping of a retrieved image: its block ranges and the four filters.
class RetrievedImageMapper {
public:
    explicit RetrievedImageMapper(const RetrieveBuffers& buffers)
        : words_(buffers.RetrievedWords),
          count_(std::clamp(buffers.RetrievedCount, 0, static_cast<int>(buffers.RetrievedWords.size())))
    {
        for (PointType t : kAllPointTypes) {
            const int entries = t == PointType::Bout ? 2 * pointCount(t) : pointCount(t);
            result_.found[typeNumber(t)].assign(entries, false);
        }
        result_.mappingCode = buffers.RetrievedMappingCode;
        result_.UnsolicitedSettings = buffers.RetrievedUnsolicited;
        computeBlocks(buffers.RetrievedTrailer);
    }

    RetrievedConfig map()
    {
        int p = 0;
        while (p < count_) {
            const auto word = static_cast<std::uint16_t>(words_[p] & ~kBit15);
            const auto code = static_cast<std::uint16_t>(word & kCodeMask);
            takePoint(retrievedWordClass(word), p, code);
        }
        adoptOrder();
        return std::move(result_);
    }

    // A point the image lists a second time: the word that lists it again, the word that
    // listed it first, and the point.
    struct Repeat {
        int word;
        int firstWord;
        PointType type;
        int typeIndex;
    };
    const std::optional<Repeat>& firstRepeat() const { return firstRepeat_; }

private:
    // Block starts from the trailer; each present block reaches up to the next
    // present start, the last one up to the total.
    void computeBlocks(const std::array<std::uint16_t, kTrailerWords>& trailer)
    {
        std::vector<int> presentBlocks;
        for (int block = 0; block < kImageBlockCount; ++block) {
            const std::uint16_t start = trailer[kBlockStartWords[block] - kFirstTrailerWord];
            start_[block] = (start == kAbsentBlock) ? 0 : start;
            if (start_[block] != 0)
                presentBlocks.push_back(block);
        }
        const auto end = static_cast<std::uint16_t>(trailer[kTotalWord - kFirstTrailerWord] + 1);
        for (std::size_t k = 0; k < presentBlocks.size(); ++k) {
            const int block = presentBlocks[k];
            const std::uint16_t next = k + 1 < presentBlocks.size() ? start_[presentBlocks[k + 1]] : end;
            size_[block] = static_cast<std::uint16_t>(next - start_[block]);
        }
    }

    bool inBlock(int block, int imageWord) const
    {
        if (start_[block] == 0)
            return false;
        const int end = static_cast<int>(start_[block]) + size_[block];
        if (block == static_cast<int>(ImageBlock::Bin))
            return imageWord < end;
        return imageWord >= start_[block] && imageWord < end;
    }

    // The first point of the type (TypeIndex order) whose catalogue code is `code`.
    static int findPoint(PointType type, bool secondCode, std::uint16_t code)
    {
        const auto& points = PointCatalog::instance().points(type);
        for (const CatalogPoint& point : points)
            if ((secondCode ? point.secondCode : point.panelCode) == code)
                return point.typeIndex;
        return -1;
    }

    // The point word at list position p, of class `cls`: the point it names is found in
    // the block the word lies in; p moves past the point's words.
    void takePoint(int cls, int& p, std::uint16_t code)
    {
        const int imageWord = p + 1;
        bool found = false;
        for (int block = 0; block < kImageBlockCount && !found; ++block) {
            if (!inBlock(block, imageWord))
                continue;
            const PointType type = kBlockTypes[block];
            const bool secondBout = block == static_cast<int>(ImageBlock::BoutSecond);
            const int t = findPoint(type, secondBout, code);
            if (t < 0)
                continue;
            found = true;

            const int selection = secondBout ? kSecondBoutSelectionBase + t : selectionIndexOf(type, t);
            auto& selections = result_.ClassSelection;
            selections[0][selection] = 1;
            if (cls == 0)
                for (int other = 1; other <= 3; ++other)
                    selections[other][selection] = 0;
            else
                selections[cls][selection] = 1;
            const int markSlot = secondBout ? kSecondBoutMarkBase + t : t;
            const int key = block * kWordsPerBlockKey + markSlot;
            if (const auto seen = firstWordOf_.find(key); seen != firstWordOf_.end()) {
                if (!firstRepeat_)
                    firstRepeat_ = Repeat{imageWord, seen->second, type, t};
            } else {
                firstWordOf_.emplace(key, imageWord);
            }
            result_.found[typeNumber(type)][markSlot] = true;
            if (!secondBout) {
                result_.order.append(type, t);
                // The further words of a multi-word point or counter are not looked up.
                if (type == PointType::Ain || type == PointType::Aout || type == PointType::Counters)
                    p += wordsOf(type, t) - 1;
            }
        }
        p += 1;
    }

    // Words of a Class 0 point in the list (code words; a counter's code and the word 1).
    static int wordsOf(PointType type, int t) { return PointCatalog::instance().point(type, t).wordCount; }

    // The order adopted: walking the slots of a type, each found point
    // (the first codes for Bout) takes the next value found, each point once.
    void adoptOrder()
    {
        for (PointType t : kAllPointTypes) {
            const int n = typeNumber(t);
            const auto& found = result_.found[n];
            const std::vector<int>& listed = result_.order.of(t);
            std::vector<std::int32_t> adopted(pointCount(t), -1);
            std::vector<bool> used(pointCount(t), false);
            std::size_t next = 0;
            for (int k = 0; k < pointCount(t); ++k) {
                if (!found[k])
                    continue;
                // A point the panel listed twice must not take two slots of the order.
                while (next < listed.size() && (!isValidTypeIndex(t, listed[next]) || used[listed[next]]))
                    ++next;
                if (next == listed.size())
                    break;
                adopted[k] = listed[next];
                used[listed[next]] = true;
                ++next;
            }
            result_.Class0Order[n] = std::move(adopted);
        }
    }

    static constexpr int kWordsPerBlockKey = 1024;  // above any TypeIndex
    std::array<std::uint16_t, kImageWords> words_;
    std::map<int, int> firstWordOf_;  // by block and point: the image word that first listed it
    std::optional<Repeat> firstRepeat_;
    int count_ = 0;
    std::array<std::uint16_t, kImageBlockCount> start_{};
    std::array<std::uint16_t, kImageBlockCount> size_{};
    RetrievedConfig result_;
};

}  // namespace

void RetrieveBuffers::appendReplyWords(int firstWord, std::span<const std::uint16_t> words)
{
    for (std::size_t j = 0; j < words.size(); ++j) {
        const int index = firstWord + static_cast<int>(j);
        const std::uint16_t word = words[j];
        if (index == kMappingWord) {
            RetrievedMappingCode = word;
        } else if (index >= kFirstListWord && index <= kLastPointAreaWord) {
            if (RetrievedCount >= 0 && RetrievedCount < static_cast<int>(RetrievedWords.size()))
                RetrievedWords[RetrievedCount++] = word;
            const int unsolicited = index - kFirstUnsolicitedWord;
            if (unsolicited >= 0 && unsolicited < kUnsolicitedWordCount) {
                const bool deadband = unsolicited % 2 == 0;
                RetrievedUnsolicited[unsolicited] = deadband ? retrievedDeadband(word) : word;
            }
        } else if (index >= kFirstTrailerWord && index < kImageWords) {
            if (TrailerFill >= 0 && TrailerFill < kTrailerWords)
                RetrievedTrailer[TrailerFill++] = word;
        }
    }
    const int upTo = std::clamp(RetrievedCount, 0, static_cast<int>(RetrievedWords.size()));
    RetrievedCount = static_cast<std::int32_t>(
        std::count_if(RetrievedWords.begin(), RetrievedWords.begin() + upTo, [](std::uint16_t w) { return w != 0; }));
}

RetrieveBuffers retrieveBuffersFromImage(const ConfigImage& image)
{
    RetrieveBuffers buffers;
    for (int message = 1; message <= kMessageCount; ++message) {
        const int first = messageFirstWord(message);
        buffers.appendReplyWords(first, std::span<const std::uint16_t>(image.data() + first, messageWordCount(message)));
    }
    return buffers;
}

RetrievedConfig mapRetrievedImage(const ConfigImage& image)
{
    return RetrievedImageMapper(retrieveBuffersFromImage(image)).map();
}

Result<void> checkRetrievedImage(const ConfigImage& image)
{
    RetrievedImageMapper mapper(retrieveBuffersFromImage(image));
    const RetrievedConfig retrieved = mapper.map();
    if (const auto& repeat = mapper.firstRepeat())
        return failure(QStringLiteral("Word %1 holds the code of %2, which word %3 holds too.")
                           .arg(repeat->word)
                           .arg(PointCatalog::instance().point(repeat->type, repeat->typeIndex).shortName)
                           .arg(repeat->firstWord));

    // The image the points it lists give, in its own mapping; the unsolicited words are
    // the panel's as they are.
    ConfigImage rebuilt{};
    rebuilt[kMappingWord] = image[kMappingWord];
    if (mappingForCode(image[kMappingWord]) == Mapping::Individual) {
        ConfigState state;
        state.ClassSelection = retrieved.ClassSelection;
        state.Class0Order = retrieved.Class0Order;
        const Result<BuiltImage> built = buildSendImage(state, Mapping::Individual);
        if (!built)
            return failure(QStringLiteral("The image names the individual mapping but lists no point the panel has, "
                                          "or more than it takes."));
        rebuilt = built->image;
    }
    for (int i = 0; i < kUnsolicitedWordCount; ++i)
        rebuilt[kFirstUnsolicitedWord + i] = image[kFirstUnsolicitedWord + i];
    const auto hex = [](std::uint16_t word) { return QStringLiteral("0x") + hexWord(word); };
    for (int word = 0; word < kImageWords; ++word)
        if (image[word] != rebuilt[word])
            return failure(QStringLiteral("Word %1 holds %2; an image of the points it lists holds %3 there.")
                               .arg(word)
                               .arg(hex(image[word]), hex(rebuilt[word])));
    return {};
}

}  // namespace dnp
