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

QString mappingText(int item)
{
    static const char* const texts[kMappingItemCount] = {
        "Uninitialized", "CM version 2.04+ Subset Mapping", "Individual Mapping (per this document)"};
    if (item < 0 || item >= kMappingItemCount)
        return {};
    return QString::fromLatin1(texts[item]);
}

int mappingItemForCode(std::uint16_t code)
{
    for (int item = 0; item < kMappingItemCount; ++item)
        if (kMappingCodes[item] == code)
            return item;
    return -1;
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

int imageWordsOf(PointType type, int typeIndex)
{
    if (type == PointType::Bout)
        return 2;  // its first code in one block, its second code in the other
    return PointCatalog::instance().point(type, typeIndex).wordCount;
}

void NonIndividualMappingDNP(ConfigImage& image)
{
    std::fill(image.begin() + 1, image.end(), std::uint16_t{0});
}

Result<BuiltImage> buildSendImage(const ConfigState& state, const Class0Lists& requested, int mappingItem)
{
    BuiltImage built;
    ConfigImage& image = built.image;
    image.fill(0);

    if (mappingItem == 0 || mappingItem == 1) {
        image[kMappingWord] = kMappingCodes[mappingItem];
        NonIndividualMappingDNP(image);
        return built;
    }
    image[kMappingWord] = kMappingCodes[kIndividualMappingItem];

    Class0Lists lists;
    for (PointType t : kAllPointTypes)
        for (int typeIndex : requested[typeNumber(t)])
            if (isValidTypeIndex(t, typeIndex))
                lists[typeNumber(t)].push_back(typeIndex);
    const auto items = [&lists](PointType t) { return static_cast<int>(lists[typeNumber(t)].size()); };

    // The send word count, before the further words of multi-word points.
    const int count = items(PointType::Bin) + 2 * items(PointType::Bout) + 2 * items(PointType::Counters) +
                      items(PointType::Ain) + items(PointType::Aout);
    if (count > kMaxListWords)
        return failure(tooManyPointsMessage());
    if (count < 1)
        return failure(noPointsMessage());
    int fullCount = 0;
    for (PointType t : kAllPointTypes)
        for (int typeIndex : lists[typeNumber(t)])
            fullCount += imageWordsOf(t, typeIndex);
    if (fullCount > kMaxListWords)
        return failure(tooManyPointsMessage());

    ListWriter list(image);
    std::array<std::uint16_t, kImageBlockCount> starts;
    starts.fill(kAbsentBlock);
    const auto beginBlock = [&](ImageBlock block, PointType type) {
        if (items(type) > 0)
            starts[static_cast<int>(block)] = static_cast<std::uint16_t>(list.next());
    };
    // The marks the panel receives are those of the stored selections, whatever editor
    // steps ran since the code tables were last marked.
    const auto code = [&state](PointType type, int t, bool second = false) { return markedCode(state, type, t, second); };

    beginBlock(ImageBlock::Bin, PointType::Bin);
    for (int t : lists[typeNumber(PointType::Bin)])
        list.put(code(PointType::Bin, t));

    beginBlock(ImageBlock::BoutFirst, PointType::Bout);
    for (int t : lists[typeNumber(PointType::Bout)])
        list.put(code(PointType::Bout, t));
    beginBlock(ImageBlock::BoutSecond, PointType::Bout);
    for (int t : lists[typeNumber(PointType::Bout)])
        list.put(code(PointType::Bout, t, true));

    for (PointType type : {PointType::Ain, PointType::Aout}) {
        beginBlock(type == PointType::Ain ? ImageBlock::Ain : ImageBlock::Aout, type);
        for (int t : lists[typeNumber(type)]) {
            const std::uint16_t first = code(type, t);
            for (int extra = 0; extra < imageWordsOf(type, t); ++extra)
                list.put(static_cast<std::uint16_t>(first + extra));
        }
    }

    beginBlock(ImageBlock::Counters, PointType::Counters);
    for (int t : lists[typeNumber(PointType::Counters)]) {
        list.put(static_cast<std::uint16_t>(code(PointType::Counters, t) | kCounterFlag));
        list.put(kCounterSecondWord);
    }

    for (int i = 0; i < kUnsolicitedWordCount; ++i)
        image[kFirstUnsolicitedWord + i] = state.UnsolicitedSettings[i];
    for (int block = 0; block < kImageBlockCount; ++block)
        image[kBlockStartWords[block]] = starts[block];
    built.wordCount = list.next() - kFirstListWord;
    image[kTotalWord] = static_cast<std::uint16_t>(built.wordCount);
    return built;
}

}  // namespace dnp
