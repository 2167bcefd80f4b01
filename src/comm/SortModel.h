#pragma once
// The Class 0 data order window's logic: the five order lists of the send mode, the
// five retrieve lists, the DNP mapping radio groups, the mode with its caption and
// visibilities, and the drag rules that keep Class0Order and the lists in step.

#include "comm/ConfigImage.h"
#include "comm/RetrieveMapping.h"
#include "model/ConfigState.h"
#include "model/HelpTopics.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

namespace dnp {

// One row of an order list or a retrieve list.
struct OrderItem {
    int TypeIndex = -1;
    QString ShortName;
    bool operator==(const OrderItem&) const = default;
};

enum class SortMode { Send, Retrieve };

// Which controls of the window are visible.
struct SortVisibility {
    bool OKtoSendButton = true;
    bool MappingRG = true;
    bool SendHelpBtn = true;
    bool ScancelBtn = true;
    bool Class0Lists = true;  // Class0Bin, Class0Bout, Class0Ain, Class0Aout, Class0Counters
    bool RMappingRG = false;
    bool OKtoRetrieveButton = false;
    bool RetrieveHelpBtn = false;
    bool RokBtn = false;
    bool RcancelBtn = false;
    bool RetrieveLists = false;  // BinRetrieve, BoutRetrieve, AinRetrieve, AoutRetrieve, CountersRetrieve
    bool operator==(const SortVisibility&) const = default;
};

QString sendCaption();      // "Send Configuration"
QString retrieveCaption();  // "Retrieve Configuration"
// "Binary Inputs - Selected Data", ... by point type.
QString orderListLabel(PointType type);

class SortModel {
public:
    explicit SortModel(ConfigState& state);

    ConfigState& state() { return state_; }
    const ConfigState& state() const { return state_; }

    // --- contents -------------------------------------------------------------
    const std::vector<OrderItem>& class0List(PointType type) const { return class0_[typeNumber(type)]; }
    const std::vector<OrderItem>& retrieveList(PointType type) const { return retrieve_[typeNumber(type)]; }
    // The TypeIndex values of the five order lists, in list order.
    Class0Lists class0Lists() const;
    int itemCount(PointType type) const { return static_cast<int>(class0_[typeNumber(type)].size()); }
    // The rows as the order list shows them: the DNP point number(s) each point takes
    // where it stands ("7", or "3\u20134" for a point of two words), then its name.
    QStringList class0Texts(PointType type) const;

    SortMode mode = SortMode::Send;
    QString caption = QStringLiteral("Send/Retrieve");
    SortVisibility visibility;
    int MappingRG = kIndividualMappingItem;  // 0-2
    int RMappingRG = -1;                     // -1: no item chosen
    // The help topic of the mode shown: Send 39, Retrieve 40.
    int helpTopic() const { return mode == SortMode::Send ? kSendHelpTopic : kRetrieveHelpTopic; }

    // --- the main window's steps ---------------------------------------------
    // Rebuilds the order list of each type whose Class0Rebuild flag is set (and of a
    // type whose list no longer describes its Class0Order), then clears the flags.
    void InitSort();
    // Caption, visibilities and mapping of the send mode.
    void showSendMode();
    // Caption, visibilities of the retrieve mode; RMappingRG without item; empty retrieve lists.
    void retrieveBtnClick();

    // --- window handlers ------------------------------------------------------
    void FormClose() { MappingRG = kIndividualMappingItem; }
    void MappingRGClick(int item);
    // A click on item `item` of RMappingRG; the group keeps a retrieved 1/4/8 mapping.
    void RMappingRGClick(int item);
    // RMappingRG shows the retrieved mapping code (1, 4, 8); any other code leaves it.
    void showRetrievedMapping(std::uint16_t code);

    // Dragging within one order list. itemIndex / targetIndex: the row under the
    // pointer, or -1 below the last item.
    void Class0MouseDown(PointType list, int itemIndex);
    // Accepts a drag only when it comes from the same list.
    bool Class0DragOver(PointType list, std::optional<PointType> sourceList) const;
    // Moves the dragged item to the target row (the end for -1) and Class0Order with it.
    void Class0DragDrop(PointType list, int targetIndex);
    int dragSource() const { return dragSource_; }
    int dragTarget() const { return dragTarget_; }

    // Applies a move of a type's list (from, to; to = -1 for the end) to Class0Order.
    void SwapTypePointIndex(PointType type, int from, int to);
    void BinSwapTypePointIndex(int from, int to) { SwapTypePointIndex(PointType::Bin, from, to); }
    void BoutSwapTypePointIndex(int from, int to) { SwapTypePointIndex(PointType::Bout, from, to); }
    void AinSwapTypePointIndex(int from, int to) { SwapTypePointIndex(PointType::Ain, from, to); }
    void AoutSwapTypePointIndex(int from, int to) { SwapTypePointIndex(PointType::Aout, from, to); }
    void CountersSwapTypePointIndex(int from, int to) { SwapTypePointIndex(PointType::Counters, from, to); }

    // After a retrieve: the retrieve lists show the points in the panel's order (a point
    // found twice is listed twice), and RMappingRG the retrieved mapping.
    void InitSortRetrieve(const RetrievedOrder& order);
    void showRetrieved(const RetrievedConfig& retrieved);
    // A retrieve has started: no mapping code retrieved yet.
    void retrieveStarted() { retrievedMappingCode_ = 0; }

private:
    struct Slot {
        int slot;
        int typeIndex;
    };
    std::vector<Slot> displaySequence(PointType type) const;
    void rebuildList(PointType type);

    ConfigState& state_;
    std::array<std::vector<OrderItem>, kPointTypeCount> class0_;
    // The Class0Order slots (ascending) whose values the order list of a type shows.
    std::array<std::vector<int>, kPointTypeCount> slots_;
    std::array<std::vector<OrderItem>, kPointTypeCount> retrieve_;
    std::uint16_t retrievedMappingCode_ = 0;
    std::optional<PointType> dragList_;
    int dragSource_ = -1;
    int dragTarget_ = -1;
};

}  // namespace dnp
