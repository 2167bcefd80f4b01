// The serial port over a real pseudo-terminal, with dnp-panel-sim at the other end:
// opening and its refusals, the line settings the device takes, bytes both ways, and a
// device that goes away.

#include "comm/Frames.h"
#include "comm/ImageText.h"
#include "comm/SerialPort.h"
#include "comm/TransferText.h"
#include "support/PanelSim.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using namespace dnp;

namespace {

constexpr int kPatienceMs = 10000;

// What the port told when it was opened: "" for opened, else the failure.
QString openPort(TApdComPort& port, LineSettings line = {})
{
    QString told = QStringLiteral("<nothing>");
    const auto a = QObject::connect(&port, &Link::opened, [&] { told.clear(); });
    const auto b = QObject::connect(&port, &Link::failed, [&](const LinkFailure& failure) { told = linkFailureText(failure); });
    port.open(line);
    QObject::disconnect(a);
    QObject::disconnect(b);
    return told;
}

// Writes a frame and gathers `expected` bytes of answer through the port's reports.
QByteArray ask(TApdComPort& port, const QByteArray& frame, int expected)
{
    EXPECT_TRUE(port.write(frame));
    QByteArray answer;
    QElapsedTimer patience;
    patience.start();
    while (answer.size() < expected && patience.elapsed() < kPatienceMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        answer += port.takeReceived();
    }
    return answer;
}

struct SimulatedPort : ::testing::Test {
    test::PanelSim sim{{"--baud", "115200"}};
    TApdComPort port{{sim.device(), 1}};
};

TEST(PortDevices, NumbersToDevicesAndLabels)
{
    EXPECT_EQ(portDeviceName(1), "/dev/ttyS0");
    EXPECT_EQ(portDeviceName(4), "/dev/ttyS3");
    EXPECT_EQ(portDeviceName(3, {{3, "/dev/ttyUSB0"}}), "/dev/ttyUSB0");
    EXPECT_EQ(portDeviceName(2, {{3, "/dev/ttyUSB0"}}), "/dev/ttyS1");
    EXPECT_EQ((LinkTarget{"/dev/ttyS2", 3}.label()), "COM 3 (/dev/ttyS2)");
    EXPECT_EQ((LinkTarget{"/dev/pts/4", 0}.label()), "/dev/pts/4");
}

TEST(PortOpen, AMissingDeviceOrOneThatIsNoPortIsTold)
{
    TApdComPort missing({"/nonexistent/dnp-tty", 3});
    EXPECT_EQ(openPort(missing),
              "ie_BadId - Specified comport doesn't exist\nPort COM 3 (/nonexistent/dnp-tty) does not exist. Choose a "
              "port in Communication Settings.");
    EXPECT_FALSE(missing.isOpen());
    TApdComPort named({"/nonexistent/dnp-tty", 0});
    EXPECT_EQ(openPort(named), "ie_BadId - Specified comport doesn't exist\n"
                               "The device /nonexistent/dnp-tty does not exist. Check the cable or type another device.");
    EXPECT_FALSE(named.write("x"));
}

TEST_F(SimulatedPort, AFrameGoesOutAndItsReplyIsToldAsItArrives)
{
    ASSERT_TRUE(sim.started()) << sim.error().toStdString();
    ASSERT_EQ(openPort(port), "");
    int received = 0;
    QObject::connect(&port, &Link::received, [&] { ++received; });
    EXPECT_EQ(ask(port, frames::composeReadFrame(18, {}), 5), QByteArray::fromHex("05000000fb"));
    EXPECT_GE(received, 1);
    port.close();
    EXPECT_FALSE(port.isOpen());
}

// Every byte value goes through unchanged: the line is raw.
TEST_F(SimulatedPort, EveryByteValueGoesThroughUnchanged)
{
    ConfigImage image{};
    for (int i = 0; i < kImageWords; ++i)
        image[i] = static_cast<std::uint16_t>(i * 0x0101);
    ASSERT_EQ(openPort(port), "");
    for (int m = 1; m <= 17; ++m)
        ASSERT_EQ(ask(port, frames::composeWriteFrame(m, image, {}), 10).size(), 10);
    ASSERT_EQ(ask(port, frames::composeWriteFrame(18, image, {}), 3).size(), 3);
    for (int m = 1; m <= 17; ++m) {
        const QByteArray reply = ask(port, frames::composeReadFrame(m, {}), 40);
        const auto parsed = frames::parseReply(reply, {frames::Command::Read, m, {}, true});
        ASSERT_TRUE(std::holds_alternative<frames::Reply>(parsed)) << m;
        for (int j = 0; j < 15; ++j)
            ASSERT_EQ(std::get<frames::Reply>(parsed).words[j], image[(m - 1) * 15 + j]) << m << " " << j;
    }
}

// While the port holds the device, nobody else gets it: not a second port, not another
// program's lock (which holds also against root); a device another program has locked
// is refused.
TEST_F(SimulatedPort, TheDeviceIsOursAloneWhileOpen)
{
    ASSERT_EQ(openPort(port), "");
    TApdComPort second({sim.device(), 1});
    EXPECT_EQ(openPort(second), kAlreadyOpenText + "\n" + sim.device() + " is in use by another program.");
    const int other = ::open(QFile::encodeName(sim.device()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(errno, EWOULDBLOCK);
    port.close();
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(openPort(second), kAlreadyOpenText + "\n" + sim.device() + " is in use by another program.");
    ::close(other);
    EXPECT_EQ(openPort(second), "");
    // The busy port is still offered for choosing.
    EXPECT_TRUE(listAvailablePorts({{1, sim.device()}}).contains(1));
}

// The line as the device has it after the port opened: the speed, 8 data bits, one stop
// bit. (A pseudo-terminal always clears PARENB; that even parity reaches the port is
// checked on the workspace's fake line.)
TEST_F(SimulatedPort, TheLineTakesTheBaudRate)
{
    for (const auto& [baud, speed] : {std::pair{19200, B19200}, {9600, B9600}, {4800, B4800}}) {
        ASSERT_EQ(openPort(port, {baud, PortParity::Even}), "");
        const int fd = ::open(QFile::encodeName(sim.device()).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        termios t{};
        ASSERT_EQ(::tcgetattr(fd, &t), 0);
        ::close(fd);
        EXPECT_EQ(::cfgetospeed(&t), speed) << baud;
        EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
        EXPECT_EQ(port.line().baud, baud);
        port.close();
    }
}

TEST(PortLateReply, OpeningDropsWhatWaitedFromBefore)
{
    test::PanelSim sim({"--delay-ms", "100", "--baud", "115200"});
    TApdComPort port({sim.device(), 1});
    ASSERT_EQ(openPort(port), "");
    ASSERT_TRUE(port.write(frames::composeReadFrame(1, {})));
    port.close();
    QThread::msleep(400);  // the reply lands in the terminal while the port is closed
    ASSERT_EQ(openPort(port), "");
    QCoreApplication::processEvents();
    EXPECT_EQ(port.takeReceived(), QByteArray());
    EXPECT_EQ(ask(port, frames::composeReadFrame(18, {}), 5), QByteArray::fromHex("05000000fb"));
}

TEST(PortHangUp, ADeviceThatGoesAwayEndsTheLine)
{
    auto sim = std::make_unique<test::PanelSim>();
    TApdComPort port({sim->device(), 1});
    ASSERT_EQ(openPort(port), "");
    QList<LinkFault> failed;
    QObject::connect(&port, &Link::failed, [&](const LinkFailure& failure) { failed << failure.fault; });
    sim->kill();
    QElapsedTimer patience;
    patience.start();
    while (failed.isEmpty() && patience.elapsed() < kPatienceMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(failed, QList<LinkFault>{LinkFault::HungUp});
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.write("x"));
}

#if defined(TIOCGEXCL)
// A program that dies leaves the terminal as it had it, exclusive; the simulator clears
// that once nobody has the device open.
TEST(PortExclusive, TheSimulatorClearsExclusiveModeLeftByAKilledProgram)
{
    test::PanelSim sim({"--trace"});
    const QByteArray device = QFile::encodeName(sim.device());
    const auto exclusive = [&] {
        const int fd = ::open(device.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        int on = -1;
        if (fd >= 0) {
            ::ioctl(fd, TIOCGEXCL, &on);
            ::close(fd);
        }
        return on;
    };
    const int fd = ::open(device.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ioctl(fd, TIOCEXCL), 0);
    ::close(fd);
    QElapsedTimer patience;
    patience.start();
    int on = exclusive();
    while (on != 0 && patience.elapsed() < kPatienceMs)
        on = exclusive();
    EXPECT_EQ(on, 0);
}
#endif

}  // namespace
