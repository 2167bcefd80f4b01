#include "comm/ConfigImage.h"

#include "classes/ClassEditor.h"
#include "comm/SortModel.h"

#include <algorithm>

namespace dnp {

namespace {

constexpr int kRepliesPerTransfer = 18;
constexpr int kWordsPerReply = 15;
constexpr std::uint16_t kClass1Words = 0x1000;
constexpr std::uint16_t kClass2Words = 0x2000;
constexpr std::uint16_t kClass3Words = 0x3000;
constexpr int kSecondBoutSelectionBase = 384;
constexpr int kSecondBoutMarkBase = 4;

// The point type whose codes each block lists, in block order.
constexpr std::array<PointType, kImageBlockCount> kBlockTypes = {
    PointType::Bin, PointType::Bout, PointType::Bout, PointType::Ain, PointType::Aout, PointType::Counters};

bool validTypeIndex(PointType type, int typeIndex)
{
    return typeIndex >= 0 && typeIndex < pointCount(type);
}

// Trailer index (0-7) of each block's start word, in block order.
int trailerIndexOfBlock(int block)
{
    return kBlockStartWords[block] - kFirstTrailerWord;
}

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

ImageBuildResult buildSendImage(ConfigState& state, const Class0Lists& requested, int mappingItem)
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
            if (validTypeIndex(t, typeIndex))
                lists[typeNumber(t)].push_back(typeIndex);
    const auto items = [&lists](PointType t) { return static_cast<int>(lists[typeNumber(t)].size()); };

    // The send word count, before the further words of multi-word points.
    const int count = items(PointType::Bin) + 2 * items(PointType::Bout) + 2 * items(PointType::Counters) +
                      items(PointType::Ain) + items(PointType::Aout);
    if (count > kMaxListWords)
        return ImageRefusal{tooManyPointsMessage()};
    if (count < 1)
        return ImageRefusal{noPointsMessage()};
    int fullCount = 0;
    for (PointType t : kAllPointTypes)
        for (int typeIndex : lists[typeNumber(t)])
            fullCount += imageWordsOf(t, typeIndex);
    if (fullCount > kMaxListWords)
        return ImageRefusal{tooManyPointsMessage()};

    // The marks the panel receives agree with the stored selections, whatever editor
    // steps ran since they were last computed.
    recomputeAllMarks(state);

    ListWriter list(image);
    std::array<std::uint16_t, kImageBlockCount> starts;
    starts.fill(kAbsentBlock);
    const auto beginBlock = [&](ImageBlock block, PointType type) {
        if (items(type) > 0)
            starts[static_cast<int>(block)] = static_cast<std::uint16_t>(list.next());
    };

    beginBlock(ImageBlock::Bin, PointType::Bin);
    for (int t : lists[typeNumber(PointType::Bin)])
        list.put(state.PanelCode[typeNumber(PointType::Bin)][t]);

    beginBlock(ImageBlock::BoutFirst, PointType::Bout);
    for (int t : lists[typeNumber(PointType::Bout)])
        list.put(state.PanelCode[typeNumber(PointType::Bout)][t]);
    beginBlock(ImageBlock::BoutSecond, PointType::Bout);
    for (int t : lists[typeNumber(PointType::Bout)])
        list.put(state.SecondCode[t]);

    for (PointType type : {PointType::Ain, PointType::Aout}) {
        beginBlock(type == PointType::Ain ? ImageBlock::Ain : ImageBlock::Aout, type);
        for (int t : lists[typeNumber(type)]) {
            const std::uint16_t code = state.PanelCode[typeNumber(type)][t];
            for (int extra = 0; extra < imageWordsOf(type, t); ++extra)
                list.put(static_cast<std::uint16_t>(code + extra));
        }
    }

    beginBlock(ImageBlock::Counters, PointType::Counters);
    for (int t : lists[typeNumber(PointType::Counters)]) {
        list.put(static_cast<std::uint16_t>(state.PanelCode[typeNumber(PointType::Counters)][t] | kCounterFlag));
        list.put(kCounterSecondWord);
    }

    for (int i = 0; i < 6; ++i)
        image[kFirstUnsolicitedWord + i] = state.UnsolicitedSettings[i];
    for (int block = 0; block < kImageBlockCount; ++block)
        image[kBlockStartWords[block]] = starts[block];
    built.wordCount = list.next() - kFirstListWord;
    image[kTotalWord] = static_cast<std::uint16_t>(built.wordCount);
    return built;
}

ImageBuildResult buildSendImage(ConfigState& state, const SortModel& sort, int mappingItem)
{
    return buildSendImage(state, sort.class0Lists(), mappingItem);
}

ImageBuildResult buildSendImage(ConfigState& state, const SortModel& sort)
{
    return buildSendImage(state, sort.class0Lists(), sort.MappingRG);
}

// --- retrieve ---------------------------------------------------------------

void RetrievedOrder::reset()
{
    for (auto& list : entries)
        list.clear();
}

void RetrieveBuffers::reset()
{
    *this = RetrieveBuffers{};
}

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
            if (index >= kFirstUnsolicitedWord && index < kFirstUnsolicitedWord + 6) {
                // A dead band above 100 % is no value a configuration holds (nor one its
                // file can carry): it becomes the default, as in the class editor.
                const bool deadband = (index - kFirstUnsolicitedWord) % 2 == 0;
                RetrievedUnsolicited[index - kFirstUnsolicitedWord] =
                    deadband && word > kMaxDeadband ? kDefaultDeadband : word;
                unsolicitedReceived = true;
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
    for (int message = 1; message <= kRepliesPerTransfer; ++message) {
        const int first = (message - 1) * kWordsPerReply;
        const int count = message == kRepliesPerTransfer ? 1 : kWordsPerReply;
        buffers.appendReplyWords(first, std::span<const std::uint16_t>(image.data() + first, count));
    }
    return buffers;
}

void applyRetrievedUnsolicited(ConfigState& state, const RetrieveBuffers& buffers)
{
    state.UnsolicitedSettings = buffers.RetrievedUnsolicited;
}

namespace {

// One mapping of a retrieved image: its block ranges and the four filters.
class RetrievedImageMapper {
public:
    RetrievedImageMapper(ConfigState& state, ClassEditor& editor, const RetrieveBuffers& buffers, RetrievedOrder& order)
        : state_(state), editor_(editor), order_(order)
    {
        count_ = std::clamp(buffers.RetrievedCount, 0, static_cast<int>(buffers.RetrievedWords.size()));
        words_ = buffers.RetrievedWords;
        computeBlocks(buffers.RetrievedTrailer);
    }

    void scan()
    {
        int p = 0;
        while (p < count_) {
            std::uint16_t word = words_[p];
            if (word > 0x7FFF)
                word &= 0x7FFF;
            if (word < kClass1Words)
                FilterClass0Point(p, word);
            else if (word < kClass2Words)
                FilterClass1Point(p, word & kCodeMask);
            else if (word < kClass3Words)
                FilterClass2Point(p, word & kCodeMask);
            else
                FilterClass3Point(p, word & kCodeMask);
        }
    }

    void FilterClass0Point(int& p, std::uint16_t code) { filter(0, p, code); }
    void FilterClass1Point(int& p, std::uint16_t code) { filter(1, p, code); }
    void FilterClass2Point(int& p, std::uint16_t code) { filter(2, p, code); }
    void FilterClass3Point(int& p, std::uint16_t code) { filter(3, p, code); }

private:
    // Block starts from the trailer; each present block reaches up to the next
    // present start, the last one up to the total.
    void computeBlocks(const std::array<std::uint16_t, kTrailerWords>& trailer)
    {
        std::vector<int> presentBlocks;
        for (int block = 0; block < kImageBlockCount; ++block) {
            const std::uint16_t start = trailer[trailerIndexOfBlock(block)];
            start_[block] = (start == kAbsentBlock) ? 0 : start;
            size_[block] = 0;
            if (start_[block] != 0)
                presentBlocks.push_back(block);
        }
        const std::uint16_t end = static_cast<std::uint16_t>(trailer[kTotalWord - kFirstTrailerWord] + 1);
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

    // The point of a type whose code (bits 0-11) is `code`, the first in TypeIndex order.
    static int findPoint(std::span<const std::uint16_t> table, std::uint16_t code)
    {
        for (std::size_t t = 0; t < table.size(); ++t)
            if ((table[t] & kCodeMask) == code)
                return static_cast<int>(t);
        return -1;
    }

    void filter(int cls, int& p, std::uint16_t code)
    {
        const int imageWord = p + 1;
        bool found = false;
        for (int block = 0; block < kImageBlockCount && !found; ++block) {
            if (!inBlock(block, imageWord))
                continue;
            const PointType type = kBlockTypes[block];
            const bool secondBout = block == static_cast<int>(ImageBlock::BoutSecond);
            const std::span<std::uint16_t> table = secondBout ? std::span<std::uint16_t>(state_.SecondCode)
                                                          : std::span<std::uint16_t>(state_.PanelCode[typeNumber(type)]);
            const int t = findPoint(table, code);
            if (t < 0)
                continue;
            found = true;

            const int selection = secondBout ? kSecondBoutSelectionBase + t : selectionIndexOf(type, t);
            state_.ClassSelection[0][selection] = 1;
            if (cls == 0)
                for (int other = 1; other <= 3; ++other)
                    state_.ClassSelection[other][selection] = 0;
            else
                state_.ClassSelection[cls][selection] = 1;
            // The found class replaces whatever mark the entry carried.
            table[t] = static_cast<std::uint16_t>((table[t] & kCodeMask) | classMark(cls));
            if (secondBout) {
                state_.RetrievedMark[typeNumber(type)][kSecondBoutMarkBase + t] = 1;
            } else {
                state_.RetrievedMark[typeNumber(type)][t] = 1;
                editor_.view().items[selection] = ItemState::Checked;
                order_.append(type, t);
                // The further words of a multi-word point or counter are not looked up.
                if (type == PointType::Ain || type == PointType::Aout || type == PointType::Counters)
                    p += imageWordsOf(type, t) - 1;
            }
        }
        p += 1;
    }

    ConfigState& state_;
    ClassEditor& editor_;
    RetrievedOrder& order_;
    std::array<std::uint16_t, 256> words_{};
    int count_ = 0;
    std::array<std::uint16_t, kImageBlockCount> start_{};
    std::array<std::uint16_t, kImageBlockCount> size_{};
};

}  // namespace

void MapRetrievedConfig(ConfigState& state, ClassEditor& editor, const RetrieveBuffers& buffers, RetrievedOrder& order)
{
    // The clear step puts the unsolicited parameters back to their defaults; the
    // retrieved ones stay in force.
    const UnsolicitedWords kept = buffers.unsolicitedReceived ? buffers.RetrievedUnsolicited : state.UnsolicitedSettings;
    editor.ResetClassBtnClick();
    state.UnsolicitedSettings = kept;
    state.NoListWriteBack = true;

    RetrievedImageMapper mapper(state, editor, buffers, order);
    mapper.scan();
}

void completeRetrieve(ConfigState& state, ClassEditor& editor, SortModel& sort)
{
    sort.showRetrievedMapping(sort.Retrieved.RetrievedMappingCode);
    sort.Order.entries[typeNumber(PointType::Bin)].clear();
    MapRetrievedConfig(state, editor, sort.Retrieved, sort.Order);
    sort.InitSortRetrieve(sort.Order);
}

// --- the image as text ------------------------------------------------------------

QString formatImageText(const ConfigImage& image)
{
    constexpr int kWordsPerLine = 16;
    QString text;
    text.reserve(kImageWords * 5);
    for (int i = 0; i < kImageWords; ++i) {
        text += QStringLiteral("%1").arg(image[i], 4, 16, QLatin1Char('0')).toUpper();
        text += (i % kWordsPerLine == kWordsPerLine - 1) ? QLatin1Char('\n') : QLatin1Char(' ');
    }
    return text;
}

QString ImageTextError::text() const
{
    if (line == 0)
        return message;
    return QStringLiteral("line %1, column %2: %3").arg(line).arg(column).arg(message);
}

ImageTextResult parseImageText(QByteArrayView text)
{
    constexpr int kMaxDigits = 4;
    ConfigImage image{};
    int words = 0;
    int line = 1;
    int lineStart = 0;
    qsizetype i = 0;
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; };
    while (i < text.size()) {
        const char c = text[i];
        if (isBlank(c)) {
            if (c == '\n') {
                ++line;
                lineStart = static_cast<int>(i + 1);
            }
            ++i;
            continue;
        }
        const qsizetype start = i;
        while (i < text.size() && !isBlank(text[i]))
            ++i;
        QByteArrayView token = text.sliced(start, i - start);
        const int column = static_cast<int>(start) - lineStart + 1;
        const QString shown = QString::fromLatin1(token.first(std::min<qsizetype>(token.size(), 20)));
        if (words == kImageWords)
            return ImageTextError{line, column, QStringLiteral("more than 256 words")};
        if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X'))
            token = token.sliced(2);
        if (token.isEmpty() || token.size() > kMaxDigits)
            return ImageTextError{line, column, QStringLiteral("'%1' is not a 16-bit hexadecimal word").arg(shown)};
        std::uint16_t value = 0;
        for (char d : token) {
            int digit = -1;
            if (d >= '0' && d <= '9')
                digit = d - '0';
            else if (d >= 'a' && d <= 'f')
                digit = d - 'a' + 10;
            else if (d >= 'A' && d <= 'F')
                digit = d - 'A' + 10;
            if (digit < 0)
                return ImageTextError{line, column, QStringLiteral("'%1' is not a 16-bit hexadecimal word").arg(shown)};
            value = static_cast<std::uint16_t>(value * 16 + digit);
        }
        image[words++] = value;
    }
    if (words < kImageWords)
        return ImageTextError{0, 0, QStringLiteral("the image has %1 words; 256 are needed").arg(words)};
    return image;
}

}  // namespace dnp
