// dnpcfg history, run as the built program: the transfers of dnpcfg against the simulator
// recorded and listed, the table (local time, control characters escaped) and its
// filters, --panels as a drift check, --check, a transfer that cannot be recorded (its
// exit status unchanged), wrong usage.

#include "app/PanelRecord.h"
#include "history/HistoryStore.h"
#include "files/ConfigFile.h"
#include "files/FileTestHelpers.h"
#include "support/PanelSim.h"
#include "support/RunDnpcfg.h"
#include "support/SentImages.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace dnp;

namespace {

using test::ProgramRun;
using test::fixedNow;
using test::writeFileBytes;

class HistoryCommand : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QString store() const { return path("history.sqlite"); }
    QString writeConfig(const QString& name, const ConfigState& state) const
    {
        writeFileBytes(path(name), composeConfigFile(state, fixedNow()));
        return path(name);
    }
    // dnpcfg with this history, in a time zone 1:30 ahead of UTC.
    ProgramRun dnpcfg(QStringList args) const
    {
        return test::runProgram(DNP_BIN_DIR "/dnpcfg", args << "--history" << store(), {"TZ=XYZ-01:30"});
    }

    QTemporaryDir dir;
};

TEST_F(HistoryCommand, TransfersAreRecordedAndWhatEachPanelHoldsIsKnown)
{
    test::PanelSim sim;
    ASSERT_TRUE(sim.started()) << sim.error().toStdString();
    const ConfigState a = test::analogInputs(0, 4);
    writeConfig("a.dnp", a);
    writeConfig("b.dnp", test::analogInputs(10, 4));
    EXPECT_EQ(dnpcfg({"send", path("a.dnp"), "--verify", "--device", sim.device()}).status, 0);
    EXPECT_EQ(dnpcfg({"verify", path("a.dnp"), "--device", sim.device()}).status, 0);

    const ProgramRun listed = dnpcfg({"history", "--format", "csv"});
    ASSERT_EQ(listed.status, 0) << listed.err.toStdString();
    const QStringList lines = listed.out.split("\r\n");
    ASSERT_EQ(lines.size(), 4) << listed.out.toStdString();
    const QString sha = imageSha256(test::sentImageOf(a));
    for (const auto& [line, action] : {std::pair{lines[1], "verify"}, std::pair{lines[2], "send"}}) {
        const QStringList f = line.split(',');
        ASSERT_EQ(f.size(), kHistoryColumns.size()) << line.toStdString();
        EXPECT_EQ(f[3], "dnpcfg");
        EXPECT_EQ(f[4], sim.device());
        EXPECT_EQ(f[6], action);
    }

    const QString holds = QStringLiteral("%1,,T,%2,T,%3,%4,%5\r\n");
    const auto panels = [&] {
        ProgramRun run = dnpcfg({"history", "--panels", "--format", "csv"});
        run.out.replace(QRegularExpression("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ"), "T");
        return run;
    };
    const QString header = kPanelColumns.join(',') + "\r\n";
    ProgramRun drift = panels();
    EXPECT_EQ(drift.status, 0);
    EXPECT_EQ(drift.out, header + holds.arg(sim.device(), sha, sha, "matches", path("a.dnp")));
    // Another file sent without a read-back: the last read no longer matches it.
    EXPECT_EQ(dnpcfg({"send", path("b.dnp"), "--no-verify", "--device", sim.device()}).status, 0);
    drift = panels();
    EXPECT_EQ(drift.status, 1);
    EXPECT_EQ(drift.err, "");
}

TEST_F(HistoryCommand, TheTableListsNewestFirstWithItsFilters)
{
    const auto r = [](const char* time, const char* device, const char* address, const char* action, const char* outcome,
                      double seconds, const char* message, const char* readBack = "") {
        return HistoryRecord{time, "ann", "desk7", "dnpcfg", device, address, action, outcome, "", "", "", 0, seconds,
                             message, QStringLiteral("Line trace of the %1:\n  1 ms  to panel\x1b[2J").arg(action),
                             readBack};
    };
    ASSERT_TRUE(History(historyPlace(store(), {}))
                    .record(std::vector<HistoryRecord>{
                        r("2025-01-30T08:00:00Z", "/dev/ttyS0", "", "send", "ok", 1.66, "Sent.", "no"),
                        r("2025-01-31T09:30:00Z", "tcp://10.1.2.3:4001", "12", "verify", "differs", 0.84,
                          "The panel does not hold a.dnp: 2 words differ."),
                        r("2025-02-01T10:00:00Z", "/dev/tty\x1b]52;c;eA==\x07", "", "test", "failed", 0.1, "No\ranswer."),
                    }));
    const ProgramRun all = dnpcfg({"history"});
    EXPECT_EQ(all.status, 0) << all.err.toStdString();
    EXPECT_EQ(all.out,
              "time                       user  host   program  device                      address  action  outcome  "
              "read_back  seconds  message\n"
              "2025-02-01T11:30:00+01:30  ann   desk7  dnpcfg   /dev/tty\\x1b]52;c;eA==\\x07           test    failed   "
              "           0.1      No\\x0danswer.\n"
              "2025-01-31T11:00:00+01:30  ann   desk7  dnpcfg   tcp://10.1.2.3:4001         12       verify  differs  "
              "           0.8      The panel does not hold a.dnp: 2 words differ.\n"
              "2025-01-30T09:30:00+01:30  ann   desk7  dnpcfg   /dev/ttyS0                           send    ok       "
              "no         1.7      Sent.\n");
    const ProgramRun traced = dnpcfg({"history", "--device", "/dev/ttyS0", "--trace"});
    EXPECT_EQ(traced.out,
              "time                       user  host   program  device      address  action  outcome  read_back  seconds  "
              "message\n"
              "2025-01-30T09:30:00+01:30  ann   desk7  dnpcfg   /dev/ttyS0           send    ok       no         1.7      "
              "Sent.\n"
              "    Line trace of the send:\n"
              "      1 ms  to panel\\x1b[2J\n");
    // The CSV keeps UTC and its cells as they are.
    EXPECT_TRUE(dnpcfg({"history", "--format", "csv", "--limit", "1"})
                    .out.endsWith("\r\n2025-02-01T10:00:00Z,ann,desk7,dnpcfg,/dev/tty\x1b]52;c;eA==\x07,,test,failed,,,,,0,"
                                  "0.1,\"No\ranswer.\"\r\n"));
    struct Filter {
        QStringList args;
        int rows;
    };
    for (const Filter& f : {Filter{{"--address", "12"}, 1}, Filter{{"--address", "0x0C", "--outcome", "differs"}, 1},
                            Filter{{"--action", "send"}, 1}, Filter{{"--outcome", "ok", "--action", "test"}, 0},
                            Filter{{"--limit", "2"}, 2}, Filter{{"--since", "2025-01-31"}, 2}}) {
        SCOPED_TRACE(f.args.join(' ').toStdString());
        const ProgramRun run = dnpcfg(QStringList{"history", "--format", "csv"} + f.args);
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_EQ(run.out.count("\r\n"), 1 + f.rows);
    }
}

TEST_F(HistoryCommand, ATransferThatIsNotRecordedWarnsAndKeepsItsExitStatus)
{
    test::PanelSim sim;
    ASSERT_TRUE(sim.started()) << sim.error().toStdString();
    writeFileBytes(store(), QByteArray(4096, 'x'));
    const QString warning = "dnpcfg: The transfer was not recorded in the history: " + store() + ": file is not a database\n";
    const ProgramRun ok = dnpcfg({"test", "--device", sim.device()});
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.out, "The panel answered.\n");
    EXPECT_EQ(ok.err, warning);
    const ProgramRun failed = dnpcfg({"test", "--device", path("no-such-device")});
    EXPECT_EQ(failed.status, 1);
    EXPECT_TRUE(failed.err.endsWith(warning)) << failed.err.toStdString();
    // A history that cannot be read ends the listing.
    const ProgramRun listing = dnpcfg({"history"});
    EXPECT_EQ(listing.status, 1);
    EXPECT_EQ(listing.err, "dnpcfg: " + store() + ": file is not a database\n");
}

// A send that stopped after the panel took messages: the panel is incomplete until a full
// read finds what was last sent, and the drift check ends with status 1.
TEST_F(HistoryCommand, PanelsAndTheChainAreTold)
{
    const QString sha = QString(64, 'a');
    const auto r = [&](const char* time, const char* outcome, const QString& panel) {
        return HistoryRecord{time, "ann", "desk7", "dnpcfg", "/dev/ttyS0", "", "send", outcome, "/srv/a.dnp", sha,
                             panel, 0, 1.7, "m", "t", panel.isEmpty() ? "no" : "yes"};
    };
    ASSERT_TRUE(History(historyPlace(store(), {}))
                    .record(std::vector<HistoryRecord>{r("2025-01-30T08:00:00Z", "ok", sha),
                                                       r("2025-01-31T09:30:00Z", "incomplete", "")}));
    const ProgramRun panels = dnpcfg({"history", "--panels", "--format", "table"});
    EXPECT_EQ(panels.status, 1);
    EXPECT_EQ(panels.out, "device      address  last_sent                  last_read                  state       config\n"
                          "/dev/ttyS0           2025-01-30T09:30:00+01:30  2025-01-30T09:30:00+01:30  incomplete  "
                          "/srv/a.dnp\n");
    const ProgramRun whole = dnpcfg({"history", "--check"});
    EXPECT_EQ(whole.status, 0);
    EXPECT_EQ(whole.out, "The history's chain is whole: 2 records.\n");
}

// Settings that do not read end the command before anything is listed, naming the file
// with its control characters escaped.
TEST_F(HistoryCommand, SettingsThatDoNotReadListNothing)
{
    const ProgramRun missing = dnpcfg({"history", "--ini", path("\x1b]0;owned\x07.ini")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, "dnpcfg: " + path("\\x1b]0;owned\\x07.ini") + ": No such file or directory\n");
}

TEST_F(HistoryCommand, WrongUsageIsTold)
{
    struct Case {
        QStringList args;
        const char* problem;
    };
    const Case cases[] = {
        {{"--action", "reboot"}, "--action takes send, retrieve, verify, test"},
        {{"--outcome", "good"}, "--outcome takes ok, failed, cancelled, differs, incomplete"},
        {{"--since", "31.01.2025"}, "--since takes a day as YYYY-MM-DD"},
        {{"--limit", "0"}, "--limit takes a whole number from 1"},
        {{"--address", "256"}, "--address takes a whole number from 0 to 255"},
        {{"--format", "xml"}, "--format takes table or csv"},
        {{"--panels", "--device", "/dev/ttyS0"}, "--panels lists every panel: it takes no --device"},
        {{"--check", "--format", "csv"}, "--check walks every record: it takes no --format"},
        {{"--panels", "--check"}, "--panels lists every panel: it takes no --check"},
        {{"extra"}, "unexpected argument 'extra'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.problem);
        const ProgramRun run = dnpcfg(QStringList{"history"} + c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.err.startsWith("dnpcfg: usage: dnpcfg history [--panels] ")) << run.err.toStdString();
        EXPECT_TRUE(run.err.endsWith(QStringLiteral(" (%1)\n").arg(c.problem))) << run.err.toStdString();
    }
    // A listing of a history not made yet finds nothing and makes nothing.
    const ProgramRun empty = dnpcfg({"history", "--format", "csv"});
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, kHistoryColumns.join(',') + "\r\n");
    EXPECT_FALSE(QFile::exists(store()));
}

}  // namespace
