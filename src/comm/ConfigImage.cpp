#include "comm/ConfigImage.h"

#include "model/Marks.h"

#include <algorithm>

namespace dnp {
namespace {

// Writes the point words of the list from word 1 on; the caller has checked that
// they fit into words 1-240.
class ListWriter {
public:
    explicit ListWriter(ConfigImage& image) : image_(image) {}

    int next() const { return next_; }
    void put(std::uint16_t word) { image_[next_++] = word; }

private:
    ConfigImage& image_;
    int next_ = kFirstListWord;
};

}  // namespace

QString mappingText(Mapping mapping)
{
    static const char* const texts[kMappings.size()] = {
        "Uninitialized", "CM version 2.04+ Subset Mapping", "Individual Mapping (per this document)"};
    return QString::fromLatin1(texts[mappingItem(mapping)]);
}

std::optional<Mapping> mappingForCode(std::uint16_t code)
{
    for (const Mapping mapping : kMappings)
        if (mappingCode(mapping) == code)
            return mapping;
    return std::nullopt;
}

const QString& tooManyPointsMessage()
{
    static const QString text =
        QStringLiteral("There are more than 240 data points chosen, please return to class meu.");
    return text;
}

const QString& noPointsMessage()
{
    static const QString text = QStringLiteral("No configurations chosen, please return to class menu.");
    return text;
}

Result<BuiltImage> buildSendImage(const ConfigState& state, Mapping mapping)
{
    BuiltImage built;
    ConfigImage& image = built.image;
    image.fill(0);
    image[kMappingWord] = mappingCode(mapping);
    if (mapping != Mapping::Individual)
        return built;

    std::array<std::vector<int>, kPointTypeCount> lists;
    for (PointType t : kAllPointTypes)
        lists[typeNumber(t)] = state.class0Sequence(t);
    const auto items = [&lists](PointType t) { return static_cast<int>(lists[typeNumber(t)].size()); };

    // The send word count, before the further words of multi-word points.
    const int count = items(PointType::Bin) + 2 * items(PointType::Bout) + 2 * items(PointType::Counters) +
                      items(PointType::Ain) + items(PointType::Aout);
    if (count > kMaxListWords || listWordCount(state) > kMaxListWords)
        return failure(tooManyPointsMessage());
    if (count < 1)
        return failure(noPointsMessage());

    ListWriter list(image);
    for (int block = 0; block < kImageBlockCount; ++block) {
        const PointType type = kBlockTypes[block];
        image[kBlockStartWords[block]] = items(type) > 0 ? static_cast<std::uint16_t>(list.next()) : kAbsentBlock;
        const bool secondCodes = block == static_cast<int>(ImageBlock::BoutSecond);
        for (int t : lists[typeNumber(type)]) {
            const std::uint16_t code = markedCode(state, type, t, secondCodes);
            switch (type) {
            case PointType::Bin:
            case PointType::Bout:
                list.put(code);
                break;
            case PointType::Ain:
            case PointType::Aout:
                // A point of several words: its code, then the codes that follow it.
                for (int extra = 0; extra < imageWordsOf(type, t); ++extra)
                    list.put(static_cast<std::uint16_t>(code + extra));
                break;
            case PointType::Counters:
                list.put(static_cast<std::uint16_t>(code | kCounterFlag));
                list.put(kCounterSecondWord);
                break;
            }
        }
    }
    for (int i = 0; i < kUnsolicitedWordCount; ++i)
        image[kFirstUnsolicitedWord + i] = state.UnsolicitedSettings[i];
    built.wordCount = list.next() - kFirstListWord;
    image[kTotalWord] = static_cast<std::uint16_t>(built.wordCount);
    return built;
}

}  // namespace dnp
