#pragma once
// The invariants of the program's input paths, as the fuzz targets in fuzz/ check
// them on every generated input and as the replay tests check them on the committed
// corpus and regression inputs. Each check takes the raw input and returns what went
// wrong, or an empty text when every invariant holds. Header only, so that the fuzz
// build and the test programs compile the same checks.

#include "support/DocumentProbe.h"
#include "app/PanelSession.h"
#include "comm/Frames.h"
#include "files/ConfigFile.h"
#include "files/PointList.h"
#include "files/PointListImport.h"
#include "model/Marks.h"
#include "model/WordBudget.h"
#include "support/FakeLink.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
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
#include <tuple>
#include <vector>

namespace dnp::fuzz {

// The targets, by the name of their folders under fuzz/corpus and fuzz/regressions.
inline const QStringList kTargets = {"config_file", "ini", "reply", "image", "point_list"};

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
    return s;
}

// The configuration parts a retrieve may change, for an unchanged-check.
inline bool sameConfiguration(const ConfigState& a, const ConfigState& b)
{
    return a.ClassSelection == b.ClassSelection && a.Class0Order == b.Class0Order &&
           a.UnsolicitedSettings == b.UnsolicitedSettings;
}

// Saving a configuration and reading the file back gives the same configuration.
inline std::string checkFileRoundTrip(const ConfigState& state)
{
    const QByteArray file = composeConfigFile(state, fixedMoment());
    const Result<ConfigFileData> back = readConfigFile(file);
    if (!back)
        return "its file does not read back: " + text(back.error().message);
    return compareFileData(configFileDataOf(state), *back);
}

}  // namespace detail

// --- the .dnp reader -------------------------------------------------------------

// A file either fails with a line within the file (or 0) and a message, or reads to
// data that keep the Class 0 invariant and the value ranges; written back and read
// again it gives the same data, and writing that gives the same bytes.
inline std::string checkConfigFileInput(QByteArrayView input)
{
    using namespace detail;
    const Result<ConfigFileData> result = readConfigFile(input);
    if (!result) {
        if (result.error().line() < 0 || result.error().line() > kConfigFileLineCount + 1)
            return "an error on line " + std::to_string(result.error().line());
        if (result.error().message.isEmpty())
            return "an error without a message";
        return {};
    }
    const ConfigFileData& data = *result;
    if (std::string broken = checkClass0Invariant(data.ClassSelection, data.Class0Order); !broken.empty())
        return "read data: " + broken;

    ConfigState state;
    applyConfigFileData(state, data);
    const QByteArray written = composeConfigFile(state, fixedMoment());
    const Result<ConfigFileData> again = readConfigFile(written);
    if (!again)
        return "written back it does not read: " + text(again.error().message);
    if (std::string differs = compareFileData(data, *again); !differs.empty())
        return "written back and read again: " + differs;
    ConfigState second;
    applyConfigFileData(second, *again);
    if (composeConfigFile(second, fixedMoment()) != written)
        return "written a second time the bytes differ";
    return {};
}

// --- DNP.ini ------------------------------------------------------------------

// Loaded settings lie within their ranges; saved and loaded again they are the same
// five values (and the same port devices, and the same values that did not read); a
// save that refuses (a value it would write did not read) leaves the file's bytes; a
// second save writes the same bytes. `folder` is a writable folder the check may use.
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

    const QByteArray before = readInput(path);
    if (const Result<void> saved = loaded.Save(); !saved) {
        if (loaded.readable())
            return "save failed: " + saved.error().message.toStdString();
        if (readInput(path) != before)
            return "a save refused for a value that did not read changed the file";
        return {};
    }
    TcomSetIni back(path);
    const auto problems = [](const TcomSetIni& s) { return s.readable() ? QString() : s.readable().error().message; };
    if (problems(back).count('\n') != problems(loaded).count('\n') || back.readable().ok() != loaded.readable().ok())
        return "saved and loaded again the values that did not read differ";
    if (back.Baud != loaded.Baud || back.ComPort != loaded.ComPort || back.Addressing != loaded.Addressing ||
        back.Parity != loaded.Parity || back.Address != loaded.Address)
        return "saved and loaded again the values differ: Address " + std::to_string(loaded.Address) + " became " +
               std::to_string(back.Address);
    if (back.portDevices() != loaded.portDevices())
        return "saved and loaded again the port devices differ";
    // Saving settles: once saved, the file keeps its bytes through further saves. (The
    // first save may still change the end of a last line that had none.)
    if (const Result<void> saved = back.Save(); !saved)
        return "second save failed: " + saved.error().message.toStdString();
    const QByteArray secondSave = readInput(path);
    if (const Result<void> saved = back.Save(); !saved)
        return "third save failed: " + saved.error().message.toStdString();
    if (readInput(path) != secondSave)
        return "saving again writes other bytes";
    return {};
}

// --- the reply reader and the status parsing of both transfers -----------------

// The plan a reply input describes.
//   byte 0: bit 0 retrieve (else send), bit 1 addressing, bits 2-3 the send mapping item
//   byte 1: the address
//   then per message, while the input lasts: a control byte c and the reply bytes.
//   c = 0xFF: no reply. Otherwise the reply is the expected size plus (c & 0x1F)
//   bytes (bytes beyond the reply); its bytes come from the input, 0 where the input
//   ends. Where the input ends the panel is silent.
// A reply shorter than expected is told as silence at its deadline (the exchange and
// drill tests cover it).
struct ReplyPlan {
    bool retrieve = false;
    bool addressing = false;
    Mapping mapping = Mapping::Individual;
    int address = 1;
    std::vector<test::FakeReply> replies;  // as many as the input describes, at most 18
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
    plan.mapping = *mappingOfItem(std::min((flags >> 2) & 3, 2));
    plan.address = next().value_or(1);
    for (int message = 1; message <= kMessageCount; ++message) {
        const auto control = next();
        if (!control)
            break;
        test::FakeReply reply;
        if (*control == 0xFF) {
            reply.silent = true;
        } else {
            const int size = frames::replySize(plan.retrieve ? frames::Command::Read : frames::Command::Write, message,
                                               plan.addressing) +
                             (*control & 0x1F);
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

// A transfer fed with the planned replies ends with the outcome the replies call for
// and exactly one message box with its text; it sends exactly the frames of the
// messages it reached; a retrieve collects exactly the words of the replies, applies
// what their image maps to when the panel could hold it, and one that does not
// complete leaves the configuration unchanged.
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
    for (int message = 1; message <= kMessageCount; ++message) {
        ++reached;
        if (message > static_cast<int>(plan.replies.size()) || plan.replies[message - 1].silent) {
            expected = TransferOutcome::NotResponding;
            break;
        }
        const QByteArray& bytes = plan.replies[message - 1].bytes;
        const int skip = plan.addressing ? 2 : 1;
        const int size = frames::replySize(command, message, plan.addressing);
        // The frame must check out (address, length byte, all bytes adding up to 0), and
        // nothing may follow it.
        const QByteArray reply = bytes.left(size);
        const bool addressOk = !plan.addressing || static_cast<std::uint8_t>(reply[0]) == (plan.address & 0xFF);
        const bool lengthOk = static_cast<std::uint8_t>(reply[skip - 1]) == size - (skip - 1);
        if (!addressOk || !lengthOk || frames::checksum(reply) != 0 || bytes.size() > size) {
            expected = TransferOutcome::DataError;
            break;
        }
        const QByteArray payload = bytes.mid(skip, size - 1 - skip);
        for (int p = 0; p < payload.size(); ++p)
            if (isStatusPosition(plan.retrieve, p) && payload[p] != 0)
                badStatus = true;
        if (plan.retrieve) {
            // Status, word; then status, word, word; ... each word high byte first.
            const int first = messageFirstWord(message);
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
    const bool complete = expected == TransferOutcome::Success || expected == TransferOutcome::StatusError;
    const Result<void> plausible = checkRetrievedImage(image);
    if (plan.retrieve && complete && !plausible)
        expected = TransferOutcome::DataError;

    // The transfer, started from the session as the window starts it.
    UnattendedQuestions questions;
    test::FakeLine line;
    Settings settings(QStringLiteral("/nonexistent/dnp-fuzz/DNP.ini"));
    ConfigDocument document;
    PanelSession session(settings, questions, {ProgramKind::Desk, test::fakeLinks(line), test::kFakeLineTiming});
    inspect(document).adopt(configFileDataOf(sampleState()));
    session.overrideLink({QStringLiteral("fake"), {}, {}, plan.addressing ? std::optional<int>(plan.address) : std::nullopt});
    std::size_t nextReply = 0;
    line.panel = [&plan, &nextReply](const QByteArray&) {
        return nextReply < plan.replies.size() ? plan.replies[nextReply++] : test::FakeReply{{}, true};
    };
    const ConfigState before = document.state();
    std::optional<PanelOutcome> ended;
    QObject::connect(&session, &PanelSession::commandEnded, [&ended](const PanelOutcome& o) { ended = o; });
    const Result<void> started = plan.retrieve ? session.retrieve(document) : session.send(document, plan.mapping, false);
    if (!started)
        return "refused: " + text(started.error().message);
    QElapsedTimer patience;
    patience.start();
    while (!ended && patience.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (!ended)
        return "the transfer did not end";
    if (ended->transfer != expected)
        return "outcome " + std::to_string(static_cast<int>(ended->transfer)) + ", expected " +
               std::to_string(static_cast<int>(expected));
    // What was read whole and could be applied is taken, as the retrieve window's OK takes it.
    if (plan.retrieve && ended->panelImage && ended->transfer != TransferOutcome::DataError)
        document.applyRetrieved(retrievedCaption(*ended));

    // The outcome's message: its text, or (for a failure) how it begins.
    const QString failed = (plan.retrieve ? kRetrieveErrorText : kSendErrorText) + QLatin1Char('\n');
    QString box;
    bool boxIsStart = true;
    bool toldAsInformation = false;
    switch (expected) {
    case TransferOutcome::Success:
        box = plan.retrieve ? kRetrieveOkText + "." : kSendOkText + ".";
        toldAsInformation = true;
        boxIsStart = false;
        break;
    case TransferOutcome::StatusError:
        box = failed + QStringLiteral("Reply to message ");
        break;
    case TransferOutcome::DataError:
        box = complete ? failed + kIncompleteConfigurationText + QLatin1Char(' ') + plausible.error().message
                       : failed + QStringLiteral("Reply to message %1 of 18").arg(reached);
        break;
    default:
        box = kNotRespondingText + QStringLiteral("\nMessage %1 of 18 was not answered.").arg(reached);
        break;
    }
    const bool information = !wentWrong(ended->result);
    if (information != toldAsInformation ||
        !(boxIsStart ? ended->message.startsWith(box) : ended->message == box))
        return "the outcome told: " + text(ended->message) + "; expected " + text(box);

    if (line.sent.size() != reached)
        return std::to_string(line.sent.size()) + " frames sent, " + std::to_string(reached) + " messages reached";
    const frames::Addressing addressing{plan.addressing, plan.address};
    const ConfigImage sent = document.image(plan.mapping).value();
    for (int message = 1; message <= reached; ++message) {
        const QByteArray frame = plan.retrieve ? frames::composeReadFrame(message, addressing)
                                               : frames::composeWriteFrame(message, sent, addressing);
        if (line.sent[message - 1] != frame)
            return "frame " + std::to_string(message) + " is not the frame of its message";
    }

    if (!plan.retrieve)
        return {};
    if (expected == TransferOutcome::NotResponding || expected == TransferOutcome::DataError) {
        if (!sameConfiguration(document.state(), before))
            return "a retrieve that did not complete changed the configuration";
        return {};
    }
    // The words read are those of the replies' image, and the configuration is what
    // applying the mapping of that image gives.
    if (ended->panelImage != image)
        return "the retrieved words are not the words of the replies";
    const RetrievedConfig mapped = mapRetrievedImage(image);
    const ConfigState& after = document.state();
    if (after.ClassSelection != mapped.ClassSelection || after.Class0Order != mapped.Class0Order ||
        after.UnsolicitedSettings != mapped.UnsolicitedSettings)
        return "the retrieved configuration is not the mapping of the replies' image";
    if (std::string broken = checkClass0Invariant(after.ClassSelection, after.Class0Order); !broken.empty())
        return "after the retrieve: " + broken;
    return {};
}

// --- mapping a retrieved image back --------------------------------------------

// The image: 256 words, high byte first, from the input (0 where it ends). Mapped back
// into a configuration that held points before, it yields Class0Order tables that hold
// the Class 0 invariant, a mapping choice within the radio group, no message, retrieve
// lists of what was found, and a configuration that, saved to a file, reads back the same.
inline std::string checkImageInput(QByteArrayView input)
{
    using namespace detail;
    ConfigImage image{};
    for (int i = 0; i < kImageWords; ++i) {
        const auto byte = [&](qsizetype at) { return at < input.size() ? static_cast<std::uint8_t>(input[at]) : 0; };
        image[i] = static_cast<std::uint16_t>(byte(2 * i) << 8 | byte(2 * i + 1));
    }
    const RetrievedConfig retrieved = mapRetrievedImage(image);
    ConfigState state = sampleState();
    SortModel sort(state);
    state.ClassSelection = retrieved.ClassSelection;
    state.Class0Order = retrieved.Class0Order;
    state.UnsolicitedSettings = retrieved.UnsolicitedSettings;
    sort.showRetrieveMode();
    sort.showRetrieved(retrieved);

    if (std::string broken = checkClass0Invariant(state.ClassSelection, state.Class0Order); !broken.empty())
        return broken;
    if (sort.retrievedMapping() != mappingForCode(retrieved.mappingCode))
        return "the retrieved mapping is not the one of the image's code";
    for (PointType t : kAllPointTypes) {
        const auto& found = retrieved.found[typeNumber(t)];
        const int marked = static_cast<int>(std::count(found.begin(), found.begin() + pointCount(t), true));
        const qsizetype listed = sort.retrievedTexts(t).size();
        if (listed < marked)
            return "the retrieve list of " + text(pointTypeName(t)) + " misses points";
        if (listed != retrieved.order.count(t))
            return "the retrieve list of " + text(pointTypeName(t)) + " is not what was found";
    }
    return checkFileRoundTrip(state);
}

// --- the point list import ---------------------------------------------------

namespace detail {

// "" when every problem of a refused list is on a line of its own, at most
// kMaxListedProblems of them, each "line N: ..." with N a line of the input (lines end
// at LF, CR LF or CR), or a problem of the whole input without a line.
inline std::string checkListedProblems(const Error& error, QByteArrayView input)
{
    const QStringList problems = error.message.split(QLatin1Char('\n'));
    if (problems.size() > kMaxListedProblems)
        return std::to_string(problems.size()) + " problems listed";
    // Lines end at LF, CR LF or a lone CR, as both readers count them.
    qsizetype lines = 1;
    for (qsizetype i = 0; i < input.size(); ++i)
        if (input[i] == '\n' || (input[i] == '\r' && (i + 1 == input.size() || input[i + 1] != '\n')))
            ++lines;
    for (const QString& problem : problems) {
        if (problem.isEmpty())
            return "an empty problem";
        if (!problem.startsWith(QStringLiteral("line ")))
            continue;
        bool number = false;
        const qsizetype line = problem.mid(5, problem.indexOf(QLatin1Char(':')) - 5).toLongLong(&number);
        if (!number || line < 1 || line > lines)
            return "a problem on line " + text(problem.mid(5, 12)) + " of " + std::to_string(lines);
    }
    return {};
}

}  // namespace detail

// Read as CSV and as a Device Profile document, a list is refused with its problems
// (detail::checkListedProblems), or reads to data that keep the Class 0 invariant, choose
// each point in at most one event class and fit the image when they are within the
// panel's words (and are refused a send when not); exported as CSV and read back over
// themselves, and as XML read back over other unsolicited settings without a warning,
// they are the same data; and the CSV exported again is the same bytes.
inline std::string checkPointListInput(QByteArrayView input)
{
    using namespace detail;
    const ConfigFileData base = configFileDataOf(sampleState());
    for (PointListFormat format : {PointListFormat::Csv, PointListFormat::Xml}) {
        const std::string as = format == PointListFormat::Csv ? "as CSV: " : "as XML: ";
        const Result<ImportedPointList> imported = importPointList(input, format, base);
        if (!imported) {
            if (std::string broken = checkListedProblems(imported.error(), input); !broken.empty())
                return as + broken;
            continue;
        }
        const ConfigFileData& data = imported->data;
        if (std::string broken = checkClass0Invariant(data.ClassSelection, data.Class0Order); !broken.empty())
            return as + broken;
        for (std::size_t s = 0; s < kSelectionSize; ++s)
            if (data.ClassSelection[1][s] + data.ClassSelection[2][s] + data.ClassSelection[3][s] > 1)
                return as + "selection " + std::to_string(s) + " is in more than one event class";
        ConfigState state;
        applyConfigFileData(state, data);
        // A list of points fits the image unless it takes more than the panel's words (an
        // empty one is no configuration to send).
        const bool anyPoint = std::any_of(data.ClassSelection[0].begin(), data.ClassSelection[0].end(),
                                          [](std::uint8_t chosen) { return chosen != 0; });
        const bool fits = !wordBudget(state).over();
        if (const Result<BuiltImage> built = buildSendImage(state, Mapping::Individual);
            anyPoint && fits != built.ok())
            return as + (fits ? "the imported configuration cannot be sent: " + text(built.error().message)
                              : std::string("a configuration over the panel's words can be sent"));
        const PointList list = pointList(state);
        if (!list.unnumbered.empty())
            return as + "points in an event class without a number";
        const QByteArray csv = pointListCsv(list);
        const Result<QByteArray> xml = pointListXml(list, {QStringLiteral("fuzz.dnp"), QString(), fixedMoment(), mappingText(Mapping::Individual)});
        if (!xml)
            return as + "the imported list cannot be written as XML";
        // The document carries every unsolicited setting: none comes from its base.
        ConfigFileData otherSettings = data;
        for (std::uint16_t& word : otherSettings.UnsolicitedSettings)
            word = static_cast<std::uint16_t>(~word);
        for (const auto& [written, writtenFormat, over] :
             {std::tuple{csv, PointListFormat::Csv, data}, std::tuple{*xml, PointListFormat::Xml, otherSettings}}) {
            const Result<ImportedPointList> again = importPointList(written, writtenFormat, over);
            if (!again)
                return as + "exported, it does not read back: " + text(again.error().message);
            if (std::string differs = compareFileData(data, again->data); !differs.empty())
                return as + "exported and read back: " + differs;
            if (writtenFormat == PointListFormat::Xml && !again->warning.isEmpty())
                return as + "exported as XML and read back, a warning: " + text(again->warning);
        }
        ConfigState second;
        applyConfigFileData(second, importPointList(csv, PointListFormat::Csv, data).value().data);
        if (pointListCsv(pointList(second)) != csv)
            return as + "exported a second time the CSV bytes differ";
    }
    return {};
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
