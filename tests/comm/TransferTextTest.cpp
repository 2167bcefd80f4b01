// What the transport's typed ends tell the user: a transfer's outcome, a link's failure,
// a reply's frame problem and a trace's problem. The links and the exchange that report
// them are tested in their own files, over real lines.

#include "comm/TransferText.h"

#include <gtest/gtest.h>

using namespace dnp;

namespace {

const LinkTarget kCom1{"/dev/ttyS0", 1};

// Messages 1 to n, less those given.
std::bitset<kMessageCount> upTo(int n, std::initializer_list<int> except = {})
{
    std::bitset<kMessageCount> messages;
    for (int m = 1; m <= n; ++m)
        messages.set(static_cast<std::size_t>(m - 1));
    for (int m : except)
        messages.reset(static_cast<std::size_t>(m - 1));
    return messages;
}

TEST(TransferText, TheTextsOfEachOutcome)
{
    using Part = frames::FrameProblem::Part;
    struct Case {
        TransferKind kind;
        TransferEnd reason;
        std::bitset<kMessageCount> acknowledged;
        const char* text;
        std::bitset<kMessageCount> sent = {};  // requests that left besides those acknowledged
    };
    const Case cases[] = {
        {TransferKind::Write, AllAnswered{}, upTo(18), "Sending communication status: OK.."},
        {TransferKind::Read, AllAnswered{}, upTo(18), "Retrieving communication status: OK.."},
        {TransferKind::Write, BadStatus{5, 0x10}, upTo(18, {5}),
         "System error or data error has occurred.\nReply to message 5 of 18 carried status 0x10.\n"
         "The panel may hold a partly written configuration: messages 1 to 4 and 6 to 18 of 18 were written."},
        {TransferKind::Write, BadStatus{5, 0x10}, upTo(7, {1, 3, 4}),
         "System error or data error has occurred.\nReply to message 5 of 18 carried status 0x10.\n"
         "The panel may hold a partly written configuration: messages 2 and 5 to 7 of 18 were written."},
        {TransferKind::Write, UnexpectedBytes{18, false, 1}, upTo(18),
         "System error or data error has occurred.\nReply to message 18 of 18 was followed by 1 unexpected byte."},
        {TransferKind::Read, BadReply{5, {Part::Length, 170, 40}}, upTo(4),
         "System or data error has occurred.\nReply to message 5 of 18: length byte 170, expected 40."},
        {TransferKind::Write, NoReply{7, 0, 10}, upTo(6),
         "ZE-P(L) is not responding!\nMessage 7 of 18 was not answered.\nThe panel may hold a partly written "
         "configuration: messages 1 to 6 of 18 were written.\nNo answer on COM 1 (/dev/ttyS0) at 9600 baud."},
        {TransferKind::Write, NoReply{7, 0, 10}, upTo(0),
         "ZE-P(L) is not responding!\nMessage 7 of 18 was not answered.\nThe panel may hold a partly written "
         "configuration: message 1 of 18 may have been written.\nNo answer on COM 1 (/dev/ttyS0) at 9600 baud.",
         upTo(1)},
        {TransferKind::Read, NoReply{7, 0, 40}, upTo(6),
         "ZE-P(L) is not responding!\nMessage 7 of 18 was not answered.\nNo answer on COM 1 (/dev/ttyS0) at 9600 baud."},
        {TransferKind::Write, LinkFailure{LinkFault::HungUp, kCom1}, upTo(3),
         "/dev/ttyS0 was hung up.\n"
         "The panel may hold a partly written configuration: messages 1 to 3 of 18 were written."},
        {TransferKind::Write, LinkFailure{LinkFault::HungUp, kCom1}, upTo(0), "/dev/ttyS0 was hung up."},
        {TransferKind::Write, Cancelled{}, upTo(1),
         "The send was cancelled.\nThe panel may hold a partly written configuration: message 1 of 18 was written."},
        {TransferKind::Write, Cancelled{}, upTo(0),
         "The send was cancelled.\nThe panel may hold a partly written configuration: message 1 of 18 may have been written.",
         upTo(1)},
        {TransferKind::Write, Cancelled{}, upTo(0), "The send was cancelled.\nNothing was written to the panel."},
        {TransferKind::Read, Cancelled{}, upTo(3), ""},
        {TransferKind::Read, std::monostate{}, upTo(3), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TransferResult r;
        r.kind = c.kind;
        r.reason = c.reason;
        r.message = 7;
        r.acknowledgedMessages = c.acknowledged;
        r.sentMessages = c.sent;
        r.port = kCom1.label();
        r.baud = 9600;
        EXPECT_EQ(outcomeText(r), c.text);
    }
    EXPECT_EQ(progressText(TransferKind::Write, 7), "Sending message 7 of 18");
    EXPECT_EQ(progressText(TransferKind::Read, 18), "Retrieving message 18 of 18");
    EXPECT_EQ(progressText(TransferKind::Write, 0), "");
}

// What the trace shows below the bytes: what was wrong with a reply's frame, and bytes
// that were too few or too many.
TEST(TransferText, TheProblemsOfTheTrace)
{
    using Part = frames::FrameProblem::Part;
    const std::pair<LineProblem, const char*> cases[] = {
        {NoReply{2, 0, 10}, "No reply came."},
        {NoReply{9, 38, 40}, "Only 38 of the reply's 40 bytes came."},
        {BadReply{7, {Part::Length, 170, 10}}, "Reply to message 7 of 18: length byte 170, expected 10."},
        {BadReply{1, {Part::Address, 7, 1}}, "Reply to message 1 of 18: address byte 7, expected 1."},
        {BadReply{3, {Part::Checksum, 0xF5, 0xF6}}, "Reply to message 3 of 18: checksum byte 0xF5, expected 0xF6."},
        {BadReply{3, {Part::Size, 12, 10}}, "Reply to message 3 of 18: 12 bytes, expected 10."},
        {UnexpectedBytes{6, false, 20}, "Reply to message 6 of 18 was followed by 20 unexpected bytes."},
        {UnexpectedBytes{1, true, 1}, "1 unexpected byte came before the reply to message 1 of 18."},
        {BadStatus{2, 0x10}, "Reply to message 2 of 18 carried status 0x10."},
    };
    for (const auto& [problem, text] : cases)
        EXPECT_EQ(lineProblemText(problem), text);
}

// The failures of a line that the link tests cannot bring about on this machine, each
// naming the port or the address.
TEST(TransferText, TheFailuresOfALine)
{
    const LinkTarget server{"tcp://10.1.2.3:4001", 0};
    const LinkTarget tls{"tls://10.1.2.3:4001", 0};
    const struct {
        LinkFailure failure;
        const char* text;
    } cases[] = {
        {{LinkFault::DeviceDenied, kCom1, "Permission denied"},
         "Permission denied\nYou may not use /dev/ttyS0: ask to be made a member of its group (often dialout)."},
        {{LinkFault::DeviceUnopenable, kCom1, "Input/output error"},
         "Input/output error\nPort COM 1 (/dev/ttyS0) cannot be opened."},
        {{LinkFault::NameUnresolved, server},
         "tcp://10.1.2.3:4001 cannot be reached: its name does not resolve.\nCheck the name, or give the terminal "
         "server's IP address."},
        {{LinkFault::Unreachable, server, "Network unreachable"}, "tcp://10.1.2.3:4001 cannot be reached: Network unreachable"},
        {{LinkFault::ConnectionBroke, server, "Connection reset by peer"},
         "tcp://10.1.2.3:4001: the connection broke: Connection reset by peer"},
        {{LinkFault::NoTlsBackend, tls}, "tls://10.1.2.3:4001: TLS is not available: Qt finds no TLS backend on this machine."},
        {{LinkFault::OldTls, tls}, "tls://10.1.2.3:4001: the server does not speak TLS 1.2 or later."},
        {{LinkFault::NotOpen, kCom1}, "COM 1 (/dev/ttyS0) is not open."},
        {{LinkFault::WriteRefused, server, "Broken pipe"}, "tcp://10.1.2.3:4001: Broken pipe"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(linkFailureText(c.failure), c.text);
}

}  // namespace
