// The terminal server link over loopback, with dnp-panel-sim listening on TCP: the
// addresses a device may name, a send and a retrieve, and a connection that is refused,
// dropped mid-transfer or never accepted. Three panels on one line: tests/cli (fleet).

#include "comm/Exchange.h"
#include "comm/SerialPort.h"
#include "comm/TcpLink.h"
#include "comm/TransferText.h"
#include "support/LinkTransfer.h"
#include "support/LoopbackPort.h"
#include "support/PanelSim.h"

#include <gtest/gtest.h>

using namespace dnp;

namespace {

struct AddressCase {
    const char* device;
    const char* host;  // nullptr: refused
    quint16 port;
};

const AddressCase kAddressCases[] = {
    {"tcp://127.0.0.1:4001", "127.0.0.1", 4001},
    {"TCP://ts1.example:23", "ts1.example", 23},
    {"tcp://[::1]:65535", "::1", 65535},
    {"tcp://127.0.0.1", nullptr, 0},
    {"tcp://:4001", nullptr, 0},
    {"tcp://ts1:0", nullptr, 0},
    {"tcp://ts1:65536", nullptr, 0},
    {"tcp://ts1:40a1", nullptr, 0},
    {"tcp://ts1:4001/", nullptr, 0},
    {"tcp://ts1:+4001", nullptr, 0},
    {"tcp://::1:4001", nullptr, 0},
    {"tcp://[::1:4001", nullptr, 0},
    {"tcp://a b:4001", nullptr, 0},
    {"/dev/ttyS0", nullptr, 0},
};

TEST(TcpDevices, AddressesAreReadOrRefusedWithTheFormTheyTake)
{
    for (const AddressCase& c : kAddressCases) {
        SCOPED_TRACE(c.device);
        const Result<TcpAddress> address = parseTcpDevice(QString::fromLatin1(c.device));
        if (!c.host) {
            ASSERT_FALSE(address);
            EXPECT_EQ(address.error().message.toStdString(),
                      std::string(c.device) +
                          " is not a terminal server's address: write tcp://HOST:PORT, the port from 1 to 65535.");
            continue;
        }
        ASSERT_TRUE(address) << address.error().message.toStdString();
        EXPECT_EQ(address->host, QLatin1String(c.host));
        EXPECT_EQ(address->port, c.port);
    }
}

TEST(TcpDevices, TheMachineLinkIsChosenByTheDevice)
{
    EXPECT_TRUE(isTcpDevice("tcp://10.1.2.3:4001"));
    EXPECT_TRUE(isTcpDevice("Tcp://ts1:23"));
    EXPECT_FALSE(isTcpDevice("/dev/ttyS0"));
    EXPECT_NE(dynamic_cast<TcpLink*>(machineLink({"tcp://10.1.2.3:4001", 0}).get()), nullptr);
    EXPECT_NE(dynamic_cast<TApdComPort*>(machineLink({"/dev/ttyS0", 1}).get()), nullptr);
}

TEST(TcpDevices, APortMappedToATerminalServerIsListedWithoutConnecting)
{
    // Port 1 of loopback: nothing listens there, and a connection would be refused.
    const QList<int> ports =
        listAvailablePorts({{7, "tcp://127.0.0.1:1"}, {8, "/nonexistent/dnp-tty"}, {9, "tls://127.0.0.1:1"}});
    EXPECT_TRUE(ports.contains(7));
    EXPECT_FALSE(ports.contains(8));
    EXPECT_TRUE(ports.contains(9));
}

class TcpTransfer : public test::LinkTransfer {
protected:
    TransferResult send(const QString& device, const ConfigImage& words)
    {
        TcpLink link({device, 0});
        const TransferResult result = LinkTransfer::send(link, words);
        lineBaud = link.line().baud;
        return result;
    }
    TransferResult retrieve(const QString& device)
    {
        TcpLink link({device, 0});
        return LinkTransfer::retrieve(link);
    }

    std::int32_t lineBaud = 0;
};

TEST_F(TcpTransfer, ASendAndARetrieveCarryTheImageAtTheConfiguredSpeed)
{
    test::PanelSim sim({"--tcp", "127.0.0.1:0"});
    ASSERT_TRUE(sim.device().startsWith("tcp://127.0.0.1:")) << sim.error().toStdString();

    const TransferResult sent = send(sim.device(), image(0x1234));
    EXPECT_EQ(sent.outcome(), TransferOutcome::Success) << outcomeText(sent).toStdString();
    EXPECT_EQ(sent.acknowledged(), kMessageCount);
    EXPECT_EQ(sent.port, sim.device());
    EXPECT_EQ(lineBaud, kBaud);

    // The send's connection was closed: the simulator, which serves one at a time, takes this one.
    const TransferResult read = retrieve(sim.device());
    EXPECT_EQ(read.outcome(), TransferOutcome::Success) << outcomeText(read).toStdString();
    EXPECT_EQ(read.image, image(0x1234));
}

TEST_F(TcpTransfer, ARefusedConnectionIsToldWithItsAddress)
{
    const test::LoopbackPort port(test::LoopbackPort::Mode::Refusing);
    ASSERT_TRUE(port.ready());
    const TransferResult sent = send(port.device(), image(1));
    EXPECT_EQ(sent.outcome(), TransferOutcome::PortError);
    EXPECT_EQ(reasonText(sent.reason), port.device() +
                              " refused the connection.\nCheck that the terminal server is on and that the port is "
                              "the one of this panel's line.");
    EXPECT_EQ(outcomeText(sent), reasonText(sent.reason));
}

TEST_F(TcpTransfer, AConnectionClosedMidTransferEndsIt)
{
    test::PanelSim sim({"--tcp", "127.0.0.1:0", "--exit-after", "3"});
    ASSERT_TRUE(sim.device().startsWith("tcp://127.0.0.1:")) << sim.error().toStdString();
    const TransferResult sent = send(sim.device(), image(2));
    EXPECT_EQ(sent.outcome(), TransferOutcome::PortError);
    EXPECT_EQ(sent.acknowledged(), 3);
    EXPECT_EQ(reasonText(sent.reason), sim.device() + " closed the connection.\nCheck that no other program holds the terminal "
                                         "server's port, and try again.");
}

TEST_F(TcpTransfer, AConnectionNeverAcceptedEndsAfterTheLimit)
{
    const test::LoopbackPort port(test::LoopbackPort::Mode::Unanswered);
    ASSERT_TRUE(port.ready());
    const TransferResult read = retrieve(port.device());
    EXPECT_EQ(read.outcome(), TransferOutcome::PortError);
    EXPECT_EQ(reasonText(read.reason), port.device() +
                              " did not accept the connection within 5 s.\nCheck that the terminal server is on "
                              "and can be reached from this machine.");
    EXPECT_TRUE(read.trace.empty());
}

}  // namespace
