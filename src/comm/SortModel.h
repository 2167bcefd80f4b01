#pragma once
// The Class 0 data order window's logic: the order lists of the send mode (each the
// Class 0 sequence of its type, reordered by moves that permute Class0Order), the
// retrieve lists of what a retrieve found, and the two "DNP Mapping" choices.

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

// Send: the order lists and the send controls; Retrieve: what a retrieve found; Order:
// the order lists alone, kept with OK.
enum class SortMode { Send, Retrieve, Order };

QString sendCaption();      // "Send Configuration"
QString retrieveCaption();  // "Retrieve Configuration"
QString orderCaption();     // "Class 0 Order"
// "Binary Inputs - Selected Data", ... by point type.
QString orderListLabel(PointType type);

class SortModel {
public:
    explicit SortModel(ConfigState& state);

    SortMode mode() const { return mode_; }
    // "Send/Retrieve" until a mode is shown, then the mode's caption.
    const QString& caption() const { return caption_; }
    // The help topic of the mode shown: Send 39, Retrieve 40, Order 41.
    int helpTopic() const;
    // Send and Order show the order lists, which may be changed.
    bool showsOrder() const { return mode_ != SortMode::Retrieve; }
    Mapping mapping() const { return mapping_; }
    std::optional<Mapping> retrievedMapping() const { return retrievedMapping_; }  // none: no item chosen

    // The rows of a type's order list: the DNP point number(s) each point takes where it
    // stands ("7", or "3\u20134" for a point of two words), then its name.
    QStringList orderTexts(PointType type) const;
    // The TypeIndex values of an order list, in list order.
    std::vector<int> orderList(PointType type) const { return state_.class0Sequence(type); }
    // The points a retrieve found, in the panel's order under the DNP point numbers they
    // take there, as orderTexts shows them (a point found twice is listed twice).
    QStringList retrievedTexts(PointType type) const;

    // The words the Class 0 points take of what the panel holds.
    WordBudget words() const { return wordBudget(state_); }

    // Send: the order lists of the configuration, individual mapping chosen; the order
    // they show is kept to go back to.
    void showSendMode();
    // Order: the order lists alone; the order they show is kept to go back to.
    void showOrderMode();
    // The Class 0 order the send or order mode was shown with, back in place (its
    // Cancel); nothing in the retrieve mode.
    void restoreShownOrder();
    // Retrieve: empty retrieve lists, no mapping item chosen.
    void showRetrieveMode();
    void chooseMapping(Mapping mapping) { mapping_ = mapping; }
    // A retrieved 1/4/8 mapping stays chosen whatever is clicked.
    void chooseRetrievedMapping(Mapping mapping);
    // The window closed: the send mapping back to individual.
    void resetMapping() { mapping_ = Mapping::Individual; }

    // Moves the item at row `from` of a type's list to row `to` (-1: the end), and the
    // Class 0 order with it: the values move among the occupied slots, the slots stay.
    void move(PointType type, int from, int to);

    // A retrieve has started: nothing found yet.
    void retrieveStarted();
    // A retrieve has completed: the retrieve lists show what the panel holds, the
    // mapping group its mapping (when it is one of the three).
    void showRetrieved(const RetrievedConfig& retrieved);

private:
    void showOrderLists(SortMode mode, const QString& caption);

    ConfigState& state_;
    SortMode mode_ = SortMode::Send;
    QString caption_ = QStringLiteral("Send/Retrieve");
    Mapping mapping_ = Mapping::Individual;
    std::optional<Mapping> retrievedMapping_;
    std::uint16_t retrievedMappingCode_ = 0;
    RetrievedOrder retrieved_;
    std::optional<PerType<std::int32_t>> shownOrder_;  // Class0Order when the send mode was shown
};

// What the order window asks of the program; the workspace answers each.
class OrderWindowActions {
public:
    virtual ~OrderWindowActions() = default;
    virtual const SortModel& order() const = 0;
    virtual void moveOrderItem(PointType type, int from, int to) = 0;
    virtual void chooseMapping(Mapping mapping) = 0;
    virtual void chooseRetrievedMapping(Mapping mapping) = 0;
    virtual bool verifyAfterSend() const = 0;
    virtual void setVerifyAfterSend(bool on) = 0;
    virtual void sendInChosenMapping() = 0;  // "&Send"
    virtual void retrieve() = 0;             // "&Retrieve"
    // The retrieve window's "&OK": what the last retrieve read replaces the configuration
    // (unsaved work asked about first). False when the user kept the configuration.
    virtual bool acceptRetrieve() = 0;
    // The window closed; `accepted`: by Send or OK, otherwise by Cancel, Esc or its
    // close box (a retrieve not taken with OK is dropped).
    virtual void closeOrderWindow(bool accepted) = 0;
    virtual bool transferRunning() const = 0;
    // Cancel while a send or retrieve of the window runs.
    virtual void cancelTransfer() = 0;
};

}  // namespace dnp
