// The simulator's command line: each option lands in its field, usage errors say what
// was wrong.

#include "Options.h"

#include <gtest/gtest.h>

using namespace dnp;
using namespace dnp::sim;

namespace {

Result<ParsedOptions> parse(QStringList arguments)
{
    arguments.prepend(QStringLiteral("dnp-panel-sim"));
    return parseOptions(arguments);
}

Options options(const QStringList& arguments)
{
    const auto parsed = parse(arguments);
    EXPECT_TRUE(parsed.ok()) << parsed.error().message.toStdString();
    const auto* read = parsed ? std::get_if<Options>(&*parsed) : nullptr;
    return read ? *read : Options{};
}

}  // namespace

TEST(SimOptions, DefaultsWithoutOptions)
{
    const Options o = options({});
    EXPECT_EQ(o.panels, 1);
    EXPECT_TRUE(o.panelFaults.empty());
    EXPECT_FALSE(o.wholeReplies);
    EXPECT_TRUE(o.addresses.empty());
    EXPECT_FALSE(o.tcp.has_value());
    EXPECT_FALSE(o.baud.has_value());
    EXPECT_EQ(o.delayMs, 0);
    EXPECT_EQ(o.exitAfter, 0);
    EXPECT_FALSE(o.echo);
    EXPECT_FALSE(o.trace);
    EXPECT_EQ(o.faults.repeatDelayMs, 5);
    EXPECT_EQ(o.faults.strayBytes, 5);
    EXPECT_EQ(o.faults.strayDelayMs, 50);
    EXPECT_EQ(o.faults.extraBytes, 0);
    EXPECT_FALSE(o.faults.repeatEveryReply);
    EXPECT_FALSE(o.faults.previousWordsEveryRead);
}

TEST(SimOptions, EachOptionLandsInItsField)
{
    const Options o = options({"--address", "1,2,300", "--tcp", "127.0.0.1:0", "--image-in", "in.txt",
                               "--image-out", "out.txt", "--baud", "4800", "--delay-ms", "7", "--echo",
                               "--exit-after", "36", "--trace", "--silent-at", "3", "--bad-status-at", "4",
                               "--short-reply-at", "5", "--bad-checksum-at", "6", "--bad-length-at", "7",
                               "--previous-words-at", "8", "--previous-words-every-read", "--repeat-reply-at", "9",
                               "--repeat-every-reply", "--repeat-delay-ms", "0", "--extra-bytes", "20",
                               "--extra-at", "10", "--stray-bytes", "3", "--stray-after", "11",
                               "--stray-delay-ms", "12", "--flood-after", "13", "--tls-cert", "sim.pem", "--tls-key",
                               "sim.key", "--tls-client-ca", "ca.pem"});
    EXPECT_EQ(o.addresses, (std::vector<int>{1, 2, 300}));
    EXPECT_EQ(o.tlsCert, "sim.pem");
    EXPECT_EQ(o.tlsKey, "sim.key");
    EXPECT_EQ(o.tlsClientCa, "ca.pem");
    ASSERT_TRUE(o.tcp.has_value());
    EXPECT_EQ(o.tcp->host, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(o.tcp->port, 0);
    EXPECT_EQ(o.imageIn, QStringLiteral("in.txt"));
    EXPECT_EQ(o.imageOut, QStringLiteral("out.txt"));
    EXPECT_EQ(o.baud, 4800);
    EXPECT_EQ(o.delayMs, 7);
    EXPECT_TRUE(o.echo);
    EXPECT_EQ(o.exitAfter, 36);
    EXPECT_TRUE(o.trace);
    const Faults& f = o.faults;
    EXPECT_EQ(f.silentAt, QSet<int>{3});
    EXPECT_EQ(f.badStatusAt, QSet<int>{4});
    EXPECT_EQ(f.shortReplyAt, QSet<int>{5});
    EXPECT_EQ(f.badChecksumAt, QSet<int>{6});
    EXPECT_EQ(f.badLengthAt, QSet<int>{7});
    EXPECT_EQ(f.previousWordsAt, QSet<int>{8});
    EXPECT_TRUE(f.previousWordsEveryRead);
    EXPECT_EQ(f.repeatReplyAt, QSet<int>{9});
    EXPECT_TRUE(f.repeatEveryReply);
    EXPECT_EQ(f.repeatDelayMs, 0);
    EXPECT_EQ(f.extraBytes, 20);
    EXPECT_EQ(f.extraAt, QSet<int>{10});
    EXPECT_EQ(f.strayBytes, 3);
    EXPECT_EQ(f.strayAfter, 11);
    EXPECT_EQ(f.strayDelayMs, 12);
    EXPECT_EQ(f.floodAfter, 13);
}

TEST(SimOptions, RepeatedOptionsCollectAndSingleOnesTakeTheLast)
{
    const Options o = options({"--repeat-reply-at", "2", "--repeat-reply-at", "5", "--extra-at", "1", "--extra-at",
                               "18", "--previous-words-at", "3", "--previous-words-at", "3", "--baud", "9600",
                               "--baud", "19200", "--address", "1,2", "--address", "7", "--tcp", "[::1]:5020"});
    EXPECT_EQ(o.faults.repeatReplyAt, (QSet<int>{2, 5}));
    EXPECT_EQ(o.faults.extraAt, (QSet<int>{1, 18}));
    EXPECT_EQ(o.faults.previousWordsAt, QSet<int>{3});
    EXPECT_EQ(o.baud, 19200);
    EXPECT_EQ(o.addresses, std::vector<int>{7});
    ASSERT_TRUE(o.tcp.has_value());
    EXPECT_EQ(o.tcp->host, QStringLiteral("[::1]"));
    EXPECT_EQ(o.tcp->port, 5020);
}

TEST(SimOptions, UsageErrorsSayWhatWasWrong)
{
    const struct {
        QStringList arguments;
        const char* message;
    } cases[] = {
        {{"--repeat-reply-at", "0"}, "--repeat-reply-at: \"0\" is not a number of at least 1"},
        {{"--previous-words-at", "x"}, "--previous-words-at: \"x\" is not a number of at least 1"},
        {{"--extra-at", "-1"}, "--extra-at: \"-1\" is not a number of at least 1"},
        {{"--repeat-delay-ms", "-5"}, "--repeat-delay-ms: \"-5\" is not a number of at least 0"},
        {{"--baud", "fast"}, "--baud: \"fast\" is not a number of at least 1"},
        {{"--address", "1,,3"}, "--address: \"1,,3\" is not a number or a list of numbers such as 1,2,3"},
        {{"--address", "1,2,257"}, "--address: 1 and 257 have the same address byte 1"},
        {{"--tcp", "5020"}, "--tcp: \"5020\" is not HOST:PORT with a port from 0 to 65535"},
        {{"--tcp", "localhost:65536"}, "--tcp: \"localhost:65536\" is not HOST:PORT with a port from 0 to 65535"},
        {{"--tcp", ":5020"}, "--tcp: \":5020\" is not HOST:PORT with a port from 0 to 65535"},
        {{"--tcp", "127.0.0.1:0", "--link", "dev"}, "--link names a pseudo-terminal's device; there is none with --tcp"},
        {{"--stray-bytes", "20000000"}, "--stray-bytes: at most 4096 bytes (--flood-after sends bytes without end)"},
        {{"--extra-bytes", "4097"}, "--extra-bytes: at most 4096 bytes (--flood-after sends bytes without end)"},
        {{"--echo=yes"}, "Unexpected value after '--echo'."},
        {{"--tcp", "127.0.0.1:0", "--tls-cert", "sim.pem"}, "--tls-cert and --tls-key go together"},
        {{"--tcp", "127.0.0.1:0", "--tls-client-ca", "ca.pem"}, "--tls-client-ca needs --tls-cert and --tls-key"},
        {{"--tls-cert", "sim.pem", "--tls-key", "sim.key"}, "--tls-cert needs --tcp: TLS runs on a TCP port"},
        {{"extra"}, "unexpected argument \"extra\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const auto parsed = parse(c.arguments);
        ASSERT_FALSE(parsed.ok());
        EXPECT_EQ(parsed.error().message, QString::fromUtf8(c.message));
    }
}

TEST(SimOptions, HelpIsShownNotRun)
{
    const auto parsed = parse({"--silent-at", "3", "--help"});
    ASSERT_TRUE(parsed.ok());
    const auto* help = std::get_if<HelpShown>(&*parsed);
    ASSERT_NE(help, nullptr);
    for (const char* option : {"--tcp <HOST:PORT>", "--echo ", "--repeat-reply-at <N>", "--repeat-every-reply ",
                               "--repeat-delay-ms <MS>", "--previous-words-at <N>", "--previous-words-every-read ",
                               "--extra-at <K>", "--baud <B>", "--panels <N>", "--on <PANELS:OPTION>",
                               "--whole-replies "})
        EXPECT_TRUE(help->text.contains(QLatin1String(option))) << option;
}

TEST(SimOptions, EachAddressHasItsImageFile)
{
    const Options several = options({"--address", "1,2,3", "--image-out", "panel.txt"});
    EXPECT_EQ(imageOutFile(several, 1, 0), QStringLiteral("panel.txt"));
    EXPECT_EQ(imageOutFile(several, 1, 1), QStringLiteral("panel.txt.2"));
    EXPECT_EQ(imageOutFile(several, 1, 2), QStringLiteral("panel.txt.3"));
    EXPECT_EQ(imageOutFile(options({"--address", "5", "--image-out", "panel.txt"}), 1, 0), QStringLiteral("panel.txt"));
    EXPECT_EQ(imageOutFile(options({"--image-out", "panel.txt"}), 1, 0), QStringLiteral("panel.txt"));
    EXPECT_EQ(imageOutFile(options({"--address", "1,2"}), 1, 1), QString());
}

// --- many panels in one simulator ---

TEST(SimPanelsOptions, EachPanelHasItsPortFaultsAndImageFile)
{
    const Options o = options({"--panels", "10", "--tcp", "127.0.0.1:5020", "--address", "1,2", "--image-out", "p.txt",
                               "--silent-at", "3", "--on", "2,7-9:silent-at=5", "--on", "9:repeat-every-reply",
                               "--on", "8:stray-after=4", "--whole-replies"});
    EXPECT_EQ(o.panels, 10);
    EXPECT_TRUE(o.wholeReplies);
    const struct {
        int panel;
        int port;
        QSet<int> silentAt;
        bool repeatEveryReply;
        int strayAfter;
        const char* firstImage;
        const char* secondImage;
    } cases[] = {
        {1, 5020, {3}, false, 0, "p.txt.1", "p.txt.1.2"},
        {2, 5021, {3, 5}, false, 0, "p.txt.2", "p.txt.2.2"},
        {6, 5025, {3}, false, 0, "p.txt.6", "p.txt.6.2"},
        {8, 5027, {3, 5}, false, 4, "p.txt.8", "p.txt.8.2"},
        {9, 5028, {3, 5}, true, 0, "p.txt.9", "p.txt.9.2"},
        {10, 5029, {3}, false, 0, "p.txt.10", "p.txt.10.2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.panel);
        const Faults f = faultsOf(o, c.panel);
        EXPECT_EQ(f.silentAt, c.silentAt);
        EXPECT_EQ(f.repeatEveryReply, c.repeatEveryReply);
        EXPECT_EQ(f.strayAfter, c.strayAfter);
        EXPECT_EQ(endpointOf(o, c.panel).port, c.port);
        EXPECT_EQ(endpointOf(o, c.panel).host, "127.0.0.1");
        EXPECT_EQ(imageOutFile(o, c.panel, 0), c.firstImage);
        EXPECT_EQ(imageOutFile(o, c.panel, 1), c.secondImage);
    }
    // Port 0: a free port for each panel.
    EXPECT_EQ(endpointOf(options({"--panels", "3", "--tcp", "[::1]:0"}), 3).port, 0);
}

TEST(SimPanelsOptions, UsageErrorsSayWhatWasWrong)
{
    const struct {
        QStringList arguments;
        const char* message;
    } cases[] = {
        {{"--panels", "0"}, "--panels: \"0\" is not a number of at least 1"},
        {{"--panels", "3", "--on", "4:silent-at=1"}, "--on: there is no panel 4 (--panels 3)"},
        {{"--on", "silent-at=1"},
         "--on: \"silent-at=1\" is not PANELS:OPTION[=VALUE] with a fault option, such as 3,7-9:silent-at=5"},
        {{"--on", "2-1:silent-at=1"},
         "--on: \"2-1:silent-at=1\" is not PANELS:OPTION[=VALUE] with a fault option, such as 3,7-9:silent-at=5"},
        {{"--on", "0:silent-at=1"},
         "--on: \"0:silent-at=1\" is not PANELS:OPTION[=VALUE] with a fault option, such as 3,7-9:silent-at=5"},
        {{"--on", "1:silence=1"},
         "--on: \"1:silence=1\" is not PANELS:OPTION[=VALUE] with a fault option, such as 3,7-9:silent-at=5"},
        {{"--on", "1:echo"}, "--on: --echo is no fault option"},
        {{"--on", "1:repeat-every-reply=yes"}, "--on: --repeat-every-reply takes no value"},
        {{"--on", "1:silent-at"}, "--silent-at: \"\" is not a number of at least 1"},
        {{"--on", "1:stray-bytes=5000"}, "--stray-bytes: at most 4096 bytes (--flood-after sends bytes without end)"},
        {{"--panels", "10", "--tcp", "127.0.0.1:65530"}, "--panels 10 from port 65530 would pass port 65535"},
        {{"--panels", "2", "--link", "dev"}, "--link names one device; --panels 2 makes several"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const auto parsed = parse(c.arguments);
        ASSERT_FALSE(parsed.ok());
        EXPECT_EQ(parsed.error().message, QString::fromUtf8(c.message));
    }
}
