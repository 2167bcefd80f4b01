#include "comm/SortModel.h"

namespace dnp {

namespace {

// The order in which the retrieve lists are filled after a retrieve.
constexpr std::array<PointType, kPointTypeCount> kRetrieveFillOrder = {
    PointType::Bin, PointType::Bout, PointType::Counters, PointType::Ain, PointType::Aout};

OrderItem itemOf(PointType type, int typeIndex)
{
    return {typeIndex, PointCatalog::instance().point(type, typeIndex).shortName};
}

constexpr SortVisibility kSendVisibility{};
constexpr SortVisibility kRetrieveVisibility{.OKtoSendButton = false,
                                             .MappingRG = false,
                                             .SendHelpBtn = false,
                                             .ScancelBtn = false,
                                             .Class0Lists = false,
                                             .RMappingRG = true,
                                             .OKtoRetrieveButton = true,
                                             .RetrieveHelpBtn = true,
                                             .RokBtn = true,
                                             .RcancelBtn = true,
                                             .RetrieveLists = true};

}  // namespace

QString sendCaption()
{
    return QStringLiteral("Send Configuration");
}

QString retrieveCaption()
{
    return QStringLiteral("Retrieve Configuration");
}

QString orderListLabel(PointType type)
{
    static const char* const labels[kPointTypeCount] = {
        "Binary Inputs - Selected Data", "Binary Output State - Selected Data", "Analog Inputs - Selected Data",
        "Analog Outputs - Selected Data", "Counters - Selected Data"};
    return QString::fromLatin1(labels[typeNumber(type)]);
}

SortModel::SortModel(ConfigState& state)
    : state_(state)
{
}

Class0Lists SortModel::class0Lists() const
{
    Class0Lists lists;
    for (PointType t : kAllPointTypes)
        for (const OrderItem& item : class0_[typeNumber(t)])
            lists[typeNumber(t)].push_back(item.TypeIndex);
    return lists;
}

QStringList SortModel::class0Texts(PointType type) const
{
    // The order list and the Class 0 sequence are kept in step, so the numbering of the
    // sequence (the report's and the export's) numbers the list.
    const std::vector<DnpNumbering> numbers = dnpPointNumbers(state_, type);
    const std::vector<OrderItem>& items = class0_[typeNumber(type)];
    QStringList texts;
    for (std::size_t row = 0; row < items.size(); ++row) {
        if (row >= numbers.size() || numbers[row].typeIndex != items[row].TypeIndex) {
            texts << items[row].ShortName;
            continue;
        }
        texts << dnpNumberSpan(numbers[row]) + QStringLiteral("  ") + items[row].ShortName;
    }
    return texts;
}

// The Class 0 sequence as the order list shows it: the slotList, in TypeIndex order, of
// the points chosen for Class 0 whose slot holds a point of the type, with the
// TypeIndex each slot holds.
std::vector<SortModel::Slot> SortModel::displaySequence(PointType type) const
{
    std::vector<Slot> sequence;
    const auto& order = state_.Class0Order[typeNumber(type)];
    for (int k = 0; k < pointCount(type); ++k) {
        const int value = order[k];
        if (value == -1 || !isValidTypeIndex(type, value))
            continue;
        if (state_.ClassSelection[0][selectionIndexOf(type, k)] != 1)
            continue;
        sequence.push_back({k, value});
    }
    return sequence;
}

void SortModel::rebuildList(PointType type)
{
    auto& items = class0_[typeNumber(type)];
    auto& slotList = slots_[typeNumber(type)];
    items.clear();
    slotList.clear();
    for (const Slot& s : displaySequence(type)) {
        items.push_back(itemOf(type, s.typeIndex));
        slotList.push_back(s.slot);
    }
}

void SortModel::InitSort()
{
    for (PointType t : kAllPointTypes) {
        const int n = typeNumber(t);
        bool rebuild = state_.Class0Rebuild[n];
        if (!rebuild) {
            // A list that no longer describes Class0Order (a retrieve or a file put a
            // new order there) is rebuilt as well, so that the window always shows
            // what will be sent.
            const std::vector<Slot> sequence = displaySequence(t);
            rebuild = sequence.size() != class0_[n].size();
            for (std::size_t i = 0; !rebuild && i < sequence.size(); ++i)
                rebuild = sequence[i].slot != slots_[n][i] || sequence[i].typeIndex != class0_[n][i].TypeIndex;
        }
        if (rebuild)
            rebuildList(t);
        state_.Class0Rebuild[n] = false;
    }
}

void SortModel::showSendMode()
{
    mode = SortMode::Send;
    caption = sendCaption();
    visibility = kSendVisibility;
    MappingRG = kIndividualMappingItem;
}

void SortModel::retrieveBtnClick()
{
    mode = SortMode::Retrieve;
    caption = retrieveCaption();
    visibility = kRetrieveVisibility;
    RMappingRG = -1;
    for (auto& list : retrieve_)
        list.clear();
}

void SortModel::MappingRGClick(int item)
{
    if (item >= 0 && item < kMappingItemCount)
        MappingRG = item;
}

void SortModel::RMappingRGClick(int item)
{
    const int retrieved = mappingItemForCode(retrievedMappingCode_);
    if (retrieved >= 0)
        RMappingRG = retrieved;
    else if (item >= -1 && item < kMappingItemCount)
        RMappingRG = item;
}

void SortModel::showRetrievedMapping(std::uint16_t code)
{
    retrievedMappingCode_ = code;
    const int item = mappingItemForCode(code);
    if (item >= 0)
        RMappingRG = item;
}

void SortModel::Class0MouseDown(PointType list, int itemIndex)
{
    dragList_ = list;
    dragSource_ = (itemIndex >= 0 && itemIndex < itemCount(list)) ? itemIndex : -1;
}

bool SortModel::Class0DragOver(PointType list, std::optional<PointType> sourceList) const
{
    return sourceList.has_value() && *sourceList == list;
}

void SortModel::Class0DragDrop(PointType list, int targetIndex)
{
    auto& items = class0_[typeNumber(list)];
    const int count = static_cast<int>(items.size());
    dragTarget_ = (targetIndex >= 0 && targetIndex < count) ? targetIndex : -1;
    if (!dragList_ || *dragList_ != list)
        return;
    const int from = dragSource_;
    if (from < 0 || from >= count)
        return;  // a drag begun below the last item moves nothing

    const OrderItem moved = items[from];
    items.erase(items.begin() + from);
    if (dragTarget_ == -1)
        items.push_back(moved);
    else
        items.insert(items.begin() + dragTarget_, moved);
    SwapTypePointIndex(list, from, dragTarget_);
}

void SortModel::SwapTypePointIndex(PointType type, int from, int to)
{
    const int n = typeNumber(type);
    auto& order = state_.Class0Order[n];
    const std::vector<int>& slotList = slots_[n];
    const int count = static_cast<int>(slotList.size());
    if (to == -1)
        to = itemCount(type) - 1;
    if (from < 0 || from >= count || to < 0 || to >= count)
        return;

    std::vector<int> values;
    values.reserve(slotList.size());
    for (int slot : slotList)
        values.push_back(order[slot]);
    const int moved = values[from];
    if (from > to)
        for (int j = from; j > to; --j)
            values[j] = values[j - 1];
    else
        for (int j = from; j < to; ++j)
            values[j] = values[j + 1];
    values[to] = moved;
    for (int i = 0; i < count; ++i)
        order[slotList[i]] = values[i];
}

void SortModel::InitSortRetrieve(const RetrievedOrder& order)
{
    for (PointType t : kRetrieveFillOrder) {
        auto& list = retrieve_[typeNumber(t)];
        list.clear();
        for (int value : order.of(t))
            if (isValidTypeIndex(t, value))
                list.push_back(itemOf(t, value));
    }
}

void SortModel::showRetrieved(const RetrievedConfig& retrieved)
{
    showRetrievedMapping(retrieved.mappingCode);
    InitSortRetrieve(retrieved.order);
}

}  // namespace dnp
