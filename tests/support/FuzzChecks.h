#pragma once
// The invariants of the program's input paths, as the fuzz targets in fuzz/ check
// them on every generated input and as the replay tests check them on the committed
// corpus and regression inputs. Each check takes the raw input and returns what went
// wrong, or an empty text when every invariant holds. Header only, so that the fuzz
// build and the test programs compile the same checks.

#include "classes/ClassEditor.h"
#include "comm/CommSettings.h"
#include "comm/ConfigImage.h"
#include "comm/Exchange.h"
#include "comm/Frames.h"
#include "comm/SortModel.h"
#include "files/ConfigFile.h"
#include "model/Catalog.h"
#include "model/ConfigState.h"
#include "support/ScriptedPrompts.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace dnp::fuzz {

// The targets, by the name of their folders under fuzz/corpus and fuzz/regressions.
inline const QStringList kTargets = {"config_file", "ini", "reply", "image"};

// Every committed input of a target: its seed corpus and its regression inputs.
inline QStringList committedInputs(const QString& target)
{
    const QDir fuzzDir(QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/../../fuzz"));
    QStringList files;
    for (const QString& kind : {QStringLiteral("corpus"), QStringLiteral("regressions")}) {
        const QDir dir(fuzzDir.filePath(kind + QLatin1Char('/') + target));
        for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name))
            if (!name.startsWith(QLatin1Char('.')) && name != QStringLiteral("README.md"))
                files << dir.filePath(name);
    }
    return files;
}

inline QByteArray readInput(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

namespace detail {

inline std::string text(const QString& s) { return s.toStdString(); }

inline QDateTime fixedMoment() { return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)); }

// The configuration as a file carries it: point selections, Class 0 order, unsolicited words.
inline ConfigFileData fileDataOf(const ConfigState& state)
{
    ConfigFileData data;
    for (int cls = 0; cls < 4; ++cls)
        for (const PointGroup& g : kPointGroups)
            for (int k = 0; k < g.count; ++k)
                data.ClassSelection[cls][g.base + k] = state.ClassSelection[cls][g.base + k];
    data.Class0Order = state.Class0Order;
    data.UnsolicitedSettings = state.UnsolicitedSettings;
    return data;
}

// "" when the two hold the same configuration, else the first difference.
inline std::string compareFileData(const ConfigFileData& a, const ConfigFileData& b)
{
    for (int cls = 0; cls < 4; ++cls)
        for (const PointGroup& g : kPointGroups)
            for (int k = 0; k < g.count; ++k)
                if (a.ClassSelection[cls][g.base + k] != b.ClassSelection[cls][g.base + k])
                    return "class " + std::to_string(cls) + " selection " + std::to_string(g.base + k) + " differs";
    for (PointType t : kAllPointTypes)
        if (a.Class0Order[typeNumber(t)] != b.Class0Order[typeNumber(t)])
            return "the Class0Order of " + text(pointTypeName(t)) + " differs";
    for (std::size_t i = 0; i < a.UnsolicitedSettings.size(); ++i)
        if (a.UnsolicitedSettings[i] != b.UnsolicitedSettings[i])
            return "unsolicited word " + std::to_string(i) + " differs: " + std::to_string(a.UnsolicitedSettings[i]) +
                   " and " + std::to_string(b.UnsolicitedSettings[i]);
    return {};
}

// Class 0 invariant of one set of tables: each type's Class0Order has a slot per point;
// the slots that are not -1 are exactly the points selected in Class 0, and their
// values are a permutation of those points' TypeIndex values. A point selected in an
// event class is selected in Class 0.
inline std::string checkClass0Invariant(const std::array<std::array<std::uint8_t, kSelectionSize>, 4>& selection,
                                        const PerType<std::int32_t>& order)
{
    for (PointType t : kAllPointTypes) {
        const auto& orderSlots = order[typeNumber(t)];
        const std::string type = text(pointTypeName(t));
        if (static_cast<int>(orderSlots.size()) != pointCount(t))
            return "the Class0Order of " + type + " has " + std::to_string(orderSlots.size()) + " orderSlots";
        std::vector<int> chosen;
        std::vector<int> values;
        for (int k = 0; k < pointCount(t); ++k) {
            const int s = selectionIndexOf(t, k);
            const bool in0 = selection[0][s] == 1;
            for (int cls = 0; cls < 4; ++cls)
                if (selection[cls][s] > 1)
                    return "selection byte " + std::to_string(s) + " of class " + std::to_string(cls) +
                           " is neither 0 nor 1";
            for (int cls = 1; cls < 4; ++cls)
                if (selection[cls][s] == 1 && !in0)
                    return type + " " + std::to_string(k) + " is in class " + std::to_string(cls) +
                           " but not in Class 0";
            if ((orderSlots[k] != -1) != in0)
                return type + " slot " + std::to_string(k) + " holds " + std::to_string(orderSlots[k]) +
                       (in0 ? " for a point in Class 0" : " for a point outside Class 0");
            if (in0) {
                chosen.push_back(k);
                values.push_back(orderSlots[k]);
            }
        }
        std::sort(values.begin(), values.end());
        if (values != chosen)
            return "the Class0Order values of " + type + " are no permutation of its Class 0 points";
    }
    return {};
}

// The code tables carry the catalogue code in bits 0-11 and at most one event-class
// mark, in bits 12-14.
inline std::string checkCodeTables(const ConfigState& state)
{
    const PointCatalog& catalog = PointCatalog::instance();
    const auto markOk = [](std::uint16_t code) {
        const std::uint16_t mark = code & kMarkMask;
        return mark == 0 || mark == 0x1000 || mark == 0x2000 || mark == 0x4000;
    };
    for (PointType t : kAllPointTypes) {
        const auto& codes = state.PanelCode[typeNumber(t)];
        if (static_cast<int>(codes.size()) != pointCount(t))
            return "the code table of " + text(pointTypeName(t)) + " has " + std::to_string(codes.size()) + " entries";
        for (int k = 0; k < pointCount(t); ++k) {
            const std::uint16_t code = codes[k];
            if ((code & kCodeMask) != catalog.point(t, k).panelCode || !markOk(code))
                return "code table entry " + text(pointTypeName(t)) + " " + std::to_string(k) + " is " +
                       std::to_string(code);
        }
    }
    const auto seconds = catalog.secondCodes();
    for (std::size_t k = 0; k < seconds.size(); ++k)
        if ((state.SecondCode[k] & kCodeMask) != seconds[k] || !markOk(state.SecondCode[k]))
            return "second code " + std::to_string(k) + " is " + std::to_string(state.SecondCode[k]);
    return {};
}

// A configuration with points of every type in Class 0 (not all in catalogue order),
// points in each event class and unsolicited settings other than the defaults.
inline ConfigState sampleState()
{
    ConfigState s;
    const auto choose = [&s](PointType type, int typeIndex, int slotValue) {
        s.setSelected(0, type, typeIndex, true);
        s.Class0Order[typeNumber(type)][typeIndex] = slotValue;
    };
    choose(PointType::Bin, 0, 5);
    choose(PointType::Bin, 5, 0);
    choose(PointType::Bout, 1, 1);
    choose(PointType::Ain, 3, 329);
    choose(PointType::Ain, 329, 3);
    choose(PointType::Aout, 72, 72);
    choose(PointType::Counters, 2, 2);
    s.setSelected(1, PointType::Bin, 5, true);
    s.setSelected(2, PointType::Ain, 3, true);
    s.setSelected(3, PointType::Counters, 2, true);
    s.UnsolicitedSettings = {25, 0x0305, 1000, 0, 0, 0xFFFF};
    recomputeAllMarks(s);
    return s;
}

// The configuration parts a retrieve may change, for an unchanged-check.
inline bool sameConfiguration(const ConfigState& a, const ConfigState& b)
{
    return a.ClassSelection == b.ClassSelection && a.Class0Order == b.Class0Order && a.PanelCode == b.PanelCode &&
           a.SecondCode == b.SecondCode && a.UnsolicitedSettings == b.UnsolicitedSettings &&
           a.RetrievedMark == b.RetrievedMark && a.LoadedFromFile == b.LoadedFromFile;
}

// Saving a configuration and reading the file back gives the same configuration.
inline std::string checkFileRoundTrip(const ConfigState& state)
{
    const QByteArray file = composeConfigFile(state, fixedMoment());
    const ConfigFileResult back = readConfigFile(file);
    if (const auto* error = std::get_if<ConfigFileError>(&back))
        return "its file does not read back: " + text(error->text());
    return compareFileData(fileDataOf(state), std::get<ConfigFileData>(back));
}

}  // namespace detail

// --- the .dnp reader -------------------------------------------------------------

// A file either fails with a line within the file (or 0) and a message, or reads to
// data that keep the Class 0 invariant and the value ranges; written back and read
// again it gives the same data, and writing that gives the same bytes.
inline std::string checkConfigFileInput(QByteArrayView input)
{
    using namespace detail;
    const ConfigFileResult result = readConfigFile(input);
    if (const auto* error = std::get_if<ConfigFileError>(&result)) {
        if (error->line < 0 || error->line > kConfigFileLineCount + 1)
            return "an error on line " + std::to_string(error->line);
        if (error->message.isEmpty())
            return "an error without a message";
        return {};
    }
    const ConfigFileData& data = std::get<ConfigFileData>(result);
    if (std::string broken = checkClass0Invariant(data.ClassSelection, data.Class0Order); !broken.empty())
        return "read data: " + broken;

    ConfigState state;
    applyConfigFileData(state, data);
    const QByteArray written = composeConfigFile(state, fixedMoment());
    const ConfigFileResult again = readConfigFile(written);
    if (const auto* error = std::get_if<ConfigFileError>(&again))
        return "written back it does not read: " + text(error->text());
    if (std::string differs = compareFileData(data, std::get<ConfigFileData>(again)); !differs.empty())
        return "written back and read again: " + differs;
    ConfigState second;
    applyConfigFileData(second, std::get<ConfigFileData>(again));
    if (composeConfigFile(second, fixedMoment()) != written)
        return "written a second time the bytes differ";
    return {};
}

// --- DNP.ini ------------------------------------------------------------------

// Loaded settings lie within their ranges; saved and loaded again they are the same
// five values (and the same port devices); a second save writes the same bytes.
// `folder` is a writable folder the check may use.
inline std::string checkIniInput(QByteArrayView input, const QString& folder)
{
    const QString path = QDir(folder).filePath(kIniFileName);
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(input.data(), input.size()) != input.size())
            return "the input file cannot be written";
    }
    TcomSetIni loaded(path);
    if (loaded.Baud >= TcomSetIni::kBaudCount || loaded.ComPort < 0 || loaded.ComPort > TcomSetIni::kHighestComPort ||
        (loaded.Parity != 0 && loaded.Parity != 1))
        return "loaded values out of range: Baud " + std::to_string(loaded.Baud) + ", ComPort " +
               std::to_string(loaded.ComPort) + ", Parity " + std::to_string(loaded.Parity);
    TcomSetIni mapped = loaded;
    mapped.mapIntoRange();
    if (mapped.Baud != loaded.Baud || mapped.ComPort != loaded.ComPort || mapped.Parity != loaded.Parity)
        return "mapIntoRange changes loaded values";
    const std::int32_t baud = loaded.baudRate();
    if (baud != 19200 && baud != 9600 && baud != 4800)
        return "baud rate " + std::to_string(baud);

    if (const auto failure = loaded.Save())
        return "save failed: " + failure->toStdString();
    TcomSetIni back(path);
    if (back.Baud != loaded.Baud || back.ComPort != loaded.ComPort || back.Addressing != loaded.Addressing ||
        back.Parity != loaded.Parity || back.Address != loaded.Address)
        return "saved and loaded again the values differ: Address " + std::to_string(loaded.Address) + " became " +
               std::to_string(back.Address);
    if (back.portDevices() != loaded.portDevices())
        return "saved and loaded again the port devices differ";
    // Saving settles: once saved, the file keeps its bytes through further saves. (The
    // first save may still change the end of a last line that had none.)
    if (const auto failure = back.Save())
        return "second save failed: " + failure->toStdString();
    const QByteArray secondSave = readInput(path);
    if (const auto failure = back.Save())
        return "third save failed: " + failure->toStdString();
    if (readInput(path) != secondSave)
        return "saving again writes other bytes";
    return {};
}

// --- the reply reader and the status parsing of both transfers -----------------

// A port whose panel answers from a script: one planned reply per request frame.
class ScriptedReplies : public SerialLink {
public:
    struct Reply {
        bool silent = false;
        int lateTicks = 0;  // timer ticks before the bytes arrive
        bool announce = false;  // arrival is announced through the bytes-arrived handler
        QByteArray bytes;
    };
    std::deque<Reply> script;
    QList<QByteArray> sent;
    QByteArray received;
    std::optional<Reply> pending;
    bool opened = false;

    PortResult open() override
    {
        opened = true;
        received.clear();
        return {};
    }
    void close() override { opened = false; }
    bool isOpen() const override { return opened; }
    PortResult SendBytes(QByteArrayView bytes) override
    {
        sent << bytes.toByteArray();
        if (script.empty())
            return {};
        Reply reply = script.front();
        script.pop_front();
        if (reply.silent)
            return {};
        if (reply.lateTicks == 0)
            received += reply.bytes;
        else
            pending = reply;
        return {};
    }
    std::uint16_t TransmitPending() override { return 0; }
    std::uint16_t ReceivedCount() override
    {
        return static_cast<std::uint16_t>(std::min<qsizetype>(received.size(), 0xFFFF));
    }
    ReadResult ReadByte() override
    {
        if (received.isEmpty())
            return {0, kNothingReceivedText};
        const auto b = static_cast<std::uint8_t>(received[0]);
        received.remove(0, 1);
        return {b, {}};
    }
    void FlushReceive() override { received.clear(); }

    // The line is as fast as memory: the exchange's waits that scale with the wire time
    // (the quiet line after a reply) take next to nothing, so that a run stays fast.
    void lineSettingChanged(LineField field) override
    {
        if (field == LineField::Baud)
            line_.Baud = kInstantBaud;
    }
    static constexpr std::int32_t kInstantBaud = 100'000'000;

    // Between two timer ticks: a late reply comes nearer and arrives.
    void beforeTick()
    {
        if (!pending || --pending->lateTicks > 0)
            return;
        received += pending->bytes;
        const bool announce = pending->announce;
        pending.reset();
        if (announce)
            notifyBytesArrived();
    }
};

// The plan a reply input describes.
//   byte 0: bit 0 retrieve (else send), bit 1 addressing, bits 2-3 the send mapping item
//   byte 1: the address
//   then per message, while the input lasts: a control byte c and the reply bytes.
//   c = 0xFF: no reply. Otherwise the reply is the expected size plus (c & 0x1F)
//   bytes; it arrives after (c >> 5) & 3 ticks (announced when c & 0x80); its bytes
//   come from the input, 0 where the input ends. Where the input ends the panel is silent.
// Replies are never shorter than expected: a short reply is only caught by the bounded
// wait, which takes half a second (the exchange and drill tests cover it).
struct ReplyPlan {
    bool retrieve = false;
    bool addressing = false;
    int mappingItem = 2;
    int address = 1;
    std::vector<ScriptedReplies::Reply> replies;  // as many as the input describes, at most 18
};

inline ReplyPlan planReplies(QByteArrayView input)
{
    ReplyPlan plan;
    qsizetype at = 0;
    const auto next = [&]() -> std::optional<std::uint8_t> {
        if (at >= input.size())
            return std::nullopt;
        return static_cast<std::uint8_t>(input[at++]);
    };
    const std::uint8_t flags = next().value_or(0);
    plan.retrieve = flags & 1;
    plan.addressing = flags & 2;
    plan.mappingItem = std::min((flags >> 2) & 3, 2);
    plan.address = next().value_or(1);
    for (int message = 1; message <= frames::kMessageCount; ++message) {
        const auto control = next();
        if (!control)
            break;
        ScriptedReplies::Reply reply;
        if (*control == 0xFF) {
            reply.silent = true;
        } else {
            const int size = frames::replySize(plan.retrieve ? frames::Command::Read : frames::Command::Write, message,
                                               plan.addressing) +
                             (*control & 0x1F);
            reply.lateTicks = (*control >> 5) & 3;
            reply.announce = *control & 0x80;
            for (int i = 0; i < size; ++i)
                reply.bytes += static_cast<char>(next().value_or(0));
        }
        plan.replies.push_back(reply);
    }
    return plan;
}

// The positions of the status bytes in a reply payload.
inline bool isStatusPosition(bool retrieve, int p)
{
    if (!retrieve)
        return true;
    return p == 0 || (p >= 3 && (p - 3) % 5 == 0);
}

// A transfer fed with the planned replies ends (within a bounded number of ticks) with
// the outcome the replies call for and exactly one message box with its text; it sends
// exactly the frames of the messages it reached; a retrieve collects exactly the words
// at the word positions of the replies, maps them as the mapping of that image does,
// and one that does not complete leaves the configuration unchanged.
inline std::string checkReplyInput(QByteArrayView input)
{
    using namespace detail;
    const ReplyPlan plan = planReplies(input);
    const frames::Command command = plan.retrieve ? frames::Command::Read : frames::Command::Write;

    // What the replies call for.
    TransferOutcome expected = TransferOutcome::Success;
    int reached = 0;
    bool badStatus = false;
    ConfigImage image{};
    for (int message = 1; message <= frames::kMessageCount; ++message) {
        ++reached;
        if (message > static_cast<int>(plan.replies.size()) || plan.replies[message - 1].silent) {
            expected = TransferOutcome::NotResponding;
            break;
        }
        const QByteArray& bytes = plan.replies[message - 1].bytes;
        const int skip = plan.addressing ? 2 : 1;
        const int size = frames::replySize(command, message, plan.addressing);
        const QByteArray payload = bytes.mid(skip, size - 1 - skip);
        for (int p = 0; p < payload.size(); ++p)
            if (isStatusPosition(plan.retrieve, p) && payload[p] != 0)
                badStatus = true;
        if (plan.retrieve) {
            // Status, word; then status, word, word; ... each word high byte first.
            const int first = frames::messageOffset(message);
            int j = 0;
            for (int p = 1; p + 1 < payload.size();) {
                if (isStatusPosition(true, p)) {
                    ++p;
                    continue;
                }
                if (first + j < kImageWords)
                    image[first + j] = static_cast<std::uint16_t>(static_cast<std::uint8_t>(payload[p]) << 8 |
                                                                  static_cast<std::uint8_t>(payload[p + 1]));
                ++j;
                p += 2;
            }
        }
    }
    if (expected == TransferOutcome::Success && badStatus)
        expected = TransferOutcome::StatusError;

    // The transfer.
    ConfigState state = sampleState();
    test::ScriptedPrompts prompts;
    ClassEditor editor(state, prompts);
    SortModel sort(state);
    sort.InitSort();
    sort.MappingRG = plan.mappingItem;
    TcomSetIni settings(QStringLiteral("/nonexistent/dnp-fuzz/DNP.ini"));
    settings.ComPort = 1;
    settings.Addressing = plan.addressing;
    settings.Address = plan.address;
    ScriptedReplies port;
    port.script.assign(plan.replies.begin(), plan.replies.end());
    Exchange exchange(state, editor, sort, settings, port, prompts);
    const ConfigState before = state;

    if (plan.retrieve)
        exchange.OKtoRetrieveButtonClick();
    else
        exchange.OKtoSendButtonClick();
    constexpr int kTickLimit = frames::kMessageCount * (kPollsBeforeTimeOut + 5);
    int ticks = 0;
    while (exchange.running() && ticks++ < kTickLimit) {
        port.beforeTick();
        if (plan.retrieve)
            exchange.RetrvTimerTimer();
        else
            exchange.SendTimerTimer();
    }
    if (exchange.running())
        return "the transfer still runs after " + std::to_string(kTickLimit) + " ticks";
    if (exchange.outcome() != expected)
        return "outcome " + std::to_string(static_cast<int>(exchange.outcome())) + ", expected " +
               std::to_string(static_cast<int>(expected));
    if (exchange.ReplyLength < 0 || exchange.ReplyLength > frames::kLongestReplyPayload)
        return "ReplyLength " + std::to_string(exchange.ReplyLength);

    QString box;
    test::Shown::Kind kind = test::Shown::Error;
    switch (expected) {
    case TransferOutcome::Success:
        box = plan.retrieve ? kRetrieveOkText + "." : kSendOkText + ".";
        kind = test::Shown::Information;
        break;
    case TransferOutcome::StatusError: box = plan.retrieve ? kRetrieveErrorText : kSendErrorText; break;
    default: box = kNotRespondingText; break;
    }
    if (prompts.shown.size() != 1 || prompts.shown[0].kind != kind || prompts.shown[0].text != box)
        return "the boxes shown: " + text(prompts.texts().join(" | ")) + "; expected " + text(box);

    if (port.sent.size() != reached)
        return std::to_string(port.sent.size()) + " frames sent, " + std::to_string(reached) + " messages reached";
    const frames::Addressing addressing{plan.addressing, plan.address};
    for (int message = 1; message <= reached; ++message) {
        const QByteArray frame = plan.retrieve ? frames::composeReadFrame(message, addressing)
                                               : frames::composeWriteFrame(message, exchange.sentImage(), addressing);
        if (port.sent[message - 1] != frame)
            return "frame " + std::to_string(message) + " is not the frame of its message";
    }

    if (!plan.retrieve)
        return {};
    if (expected == TransferOutcome::NotResponding) {
        if (!sameConfiguration(state, before))
            return "a retrieve that did not complete changed the configuration";
        return {};
    }
    // The words collected are those of the replies' image, as the mapping of that image
    // collects them, and the configuration is what mapping that image gives.
    const RetrieveBuffers buffers = retrieveBuffersFromImage(image);
    const RetrieveBuffers& got = sort.Retrieved;
    if (got.RetrievedMappingCode != buffers.RetrievedMappingCode || got.RetrievedWords != buffers.RetrievedWords ||
        got.RetrievedCount != buffers.RetrievedCount || got.RetrievedTrailer != buffers.RetrievedTrailer ||
        got.TrailerFill != buffers.TrailerFill || got.RetrievedUnsolicited != buffers.RetrievedUnsolicited ||
        got.unsolicitedReceived != buffers.unsolicitedReceived)
        return "the retrieved words are not the words of the replies";
    ConfigState reference = sampleState();
    ClassEditor referenceEditor(reference, prompts);
    SortModel referenceSort(reference);
    referenceSort.Retrieved = buffers;
    completeRetrieve(reference, referenceEditor, referenceSort);
    if (!sameConfiguration(state, reference))
        return "the retrieved configuration is not the mapping of the replies' image";
    if (std::string broken = checkClass0Invariant(state.ClassSelection, state.Class0Order); !broken.empty())
        return "after the retrieve: " + broken;
    return checkCodeTables(state);
}

// --- mapping a retrieved image back --------------------------------------------

// The image: 256 words, high byte first, from the input (0 where it ends). Mapped back
// into a configuration that held points before, it yields Class0Order tables that hold
// the Class 0 invariant, code tables with marks only in bits 12-14, a mapping choice
// within the radio group, no message, and a configuration that, saved to a file, reads
// back the same.
inline std::string checkImageInput(QByteArrayView input)
{
    using namespace detail;
    ConfigImage image{};
    for (int i = 0; i < kImageWords; ++i) {
        const auto byte = [&](qsizetype at) { return at < input.size() ? static_cast<std::uint8_t>(input[at]) : 0; };
        image[i] = static_cast<std::uint16_t>(byte(2 * i) << 8 | byte(2 * i + 1));
    }
    ConfigState state = sampleState();
    test::ScriptedPrompts prompts;
    ClassEditor editor(state, prompts);
    SortModel sort(state);
    sort.retrieveBtnClick();
    sort.resetRetrieve();
    sort.Retrieved = retrieveBuffersFromImage(image);
    completeRetrieve(state, editor, sort);

    if (std::string broken = checkClass0Invariant(state.ClassSelection, state.Class0Order); !broken.empty())
        return broken;
    if (std::string broken = checkCodeTables(state); !broken.empty())
        return broken;
    if (sort.RMappingRG < -1 || sort.RMappingRG >= kMappingItemCount)
        return "RMappingRG " + std::to_string(sort.RMappingRG);
    if (!prompts.shown.isEmpty())
        return "the mapping showed " + text(prompts.texts().join(" | "));
    for (PointType t : kAllPointTypes) {
        const auto& list = sort.retrieveList(t);
        const auto& marks = state.RetrievedMark[typeNumber(t)];
        const int marked = static_cast<int>(std::count(marks.begin(), marks.begin() + pointCount(t), 1));
        if (static_cast<int>(list.size()) < marked)
            return "the retrieve list of " + text(pointTypeName(t)) + " misses points";
    }
    return checkFileRoundTrip(state);
}

// Prints a broken invariant with the target's name and stops the process, so that
// libFuzzer keeps the input.
inline void enforce(const char* target, const std::string& broken)
{
    if (broken.empty())
        return;
    std::fprintf(stderr, "fuzz_%s: invariant broken: %s\n", target, broken.c_str());
    std::abort();
}

}  // namespace dnp::fuzz
