#include "comm/SortModel.h"

namespace dnp {

QString sendCaption()
{
    return QStringLiteral("Send Configuration");
}

QString retrieveCaption()
{
    return QStringLiteral("Retrieve Configuration");
}

QString orderCaption()
{
    return QStringLiteral("Class 0 Order");
}

QString orderListLabel(PointType type)
{
    static const char* const labels[kPointTypeCount] = {
        "Binary Inputs - Selected Data", "Binary Output State - Selected Data", "Analog Inputs - Selected Data",
        "Analog Outputs - Selected Data", "Counters - Selected Data"};
    return QString::fromLatin1(labels[typeNumber(type)]);
}

SortModel::SortModel(ConfigState& state) : state_(state) {}

namespace {

// "3–4  Meter: Inst: Vld": each point under the DNP point number(s) it takes.
QStringList numberedTexts(PointType type, const std::vector<DnpNumbering>& numbering)
{
    const PointCatalog& catalog = PointCatalog::instance();
    QStringList texts;
    for (const DnpNumbering& n : numbering)
        texts << dnpNumberSpan(n) + QStringLiteral("  ") + catalog.point(type, n.typeIndex).shortName;
    return texts;
}

}  // namespace

QStringList SortModel::orderTexts(PointType type) const
{
    return numberedTexts(type, dnpPointNumbers(state_, type));
}

QStringList SortModel::retrievedTexts(PointType type) const
{
    std::vector<int> found;
    for (int typeIndex : retrieved_.of(type))
        if (isValidTypeIndex(type, typeIndex))
            found.push_back(typeIndex);
    return numberedTexts(type, dnpPointNumbers(type, found));
}

int SortModel::helpTopic() const
{
    switch (mode_) {
    case SortMode::Send:
        return kSendHelpTopic;
    case SortMode::Retrieve:
        return kRetrieveHelpTopic;
    case SortMode::Order:
        break;
    }
    return kClass0OrderHelpTopic;
}

void SortModel::showOrderLists(SortMode mode, const QString& caption)
{
    mode_ = mode;
    caption_ = caption;
    mapping_ = Mapping::Individual;
    shownOrder_ = state_.Class0Order;
}

void SortModel::showSendMode()
{
    showOrderLists(SortMode::Send, sendCaption());
}

void SortModel::showOrderMode()
{
    showOrderLists(SortMode::Order, orderCaption());
}

void SortModel::restoreShownOrder()
{
    if (showsOrder() && shownOrder_)
        state_.Class0Order = *shownOrder_;
}

void SortModel::showRetrieveMode()
{
    mode_ = SortMode::Retrieve;
    caption_ = retrieveCaption();
    shownOrder_.reset();
    retrievedMapping_.reset();
    retrieved_ = {};
}

void SortModel::chooseRetrievedMapping(Mapping mapping)
{
    const std::optional<Mapping> retrieved = mappingForCode(retrievedMappingCode_);
    retrievedMapping_ = retrieved ? *retrieved : mapping;
}

void SortModel::move(PointType type, int from, int to)
{
    std::vector<int> sequence = state_.class0Sequence(type);
    const int count = static_cast<int>(sequence.size());
    if (to == -1)
        to = count - 1;
    if (from < 0 || from >= count || to < 0 || to >= count)
        return;
    const int moved = sequence[from];
    sequence.erase(sequence.begin() + from);
    sequence.insert(sequence.begin() + to, moved);
    state_.setClass0Sequence(type, sequence);
}

void SortModel::retrieveStarted()
{
    retrievedMappingCode_ = 0;
    retrieved_ = {};
}

void SortModel::showRetrieved(const RetrievedConfig& retrieved)
{
    retrievedMappingCode_ = retrieved.mappingCode;
    if (const std::optional<Mapping> mapping = mappingForCode(retrieved.mappingCode))
        retrievedMapping_ = mapping;
    retrieved_ = retrieved.order;
}

}  // namespace dnp
