// The port object over a real pseudo-terminal, with dnp-panel-sim at the other end,
// and the simulator's options.

#include "Panel.h"
#include "comm/Frames.h"
#include "comm/ImageText.h"
#include "comm/SerialPort.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

using namespace dnp;
using namespace dnp::frames;
using namespace dnp::sim;

namespace {

// A bound on every wait, so that a broken port fails a test instead of hanging it.
constexpr int kPatienceMs = 10000;

using Image = ConfigImage;

Image countingImage()
{
    Image image{};
    for (int i = 0; i < kImageWords; ++i)
        image[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(0x1100 + i * 0x0101);
    return image;
}

// dnp-panel-sim, started for one test.
class Simulator {
public:
    explicit Simulator(QStringList arguments)
    {
        process.setProgram(QStringLiteral(DNP_BIN_DIR "/dnp-panel-sim"));
        process.setArguments(arguments << QStringLiteral("--trace"));
        process.start();
        if (!process.waitForStarted(kPatienceMs))
            return;
        QElapsedTimer patience;
        patience.start();
        while (!process.canReadLine() && patience.elapsed() < kPatienceMs && process.state() == QProcess::Running)
            process.waitForReadyRead(100);
        device = QString::fromLocal8Bit(process.readLine()).trimmed();
    }
    ~Simulator()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            process.waitForFinished(kPatienceMs);
        }
    }
    // Stops the simulator and gives its trace.
    QString stop()
    {
        process.terminate();
        process.waitForFinished(kPatienceMs);
        return QString::fromLocal8Bit(process.readAllStandardError());
    }

    QProcess process;
    QString device;
};

// Spins on ReceivedCount without the event loop until `count` bytes wait (or patience ends).
std::uint16_t spinUntilReceived(SerialLink& port, int count)
{
    QElapsedTimer patience;
    patience.start();
    std::uint16_t received = port.ReceivedCount();
    while (received < count && patience.elapsed() < kPatienceMs)
        received = port.ReceivedCount();
    return received;
}

void sendAll(SerialLink& port, const QByteArray& frame)
{
    ASSERT_TRUE(port.SendBytes(frame).ok());
    QElapsedTimer patience;
    patience.start();
    while (port.TransmitPending() > 0 && patience.elapsed() < kPatienceMs) {
    }
    EXPECT_EQ(port.TransmitPending(), 0);
}

QByteArray readBytes(SerialLink& port, int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i) {
        const Result<std::uint8_t> r = port.ReadByte();
        if (!r.ok())
            break;
        bytes.append(static_cast<char>(*r));
    }
    return bytes;
}

// Sends a frame and reads `expected` bytes of answer.
QByteArray exchange(SerialLink& port, const QByteArray& frame, int expected)
{
    sendAll(port, frame);
    spinUntilReceived(port, expected);
    return readBytes(port, expected);
}

class PortOverSimulator : public ::testing::Test {
protected:
    void SetUp() override
    {
        imageFile = dir.filePath(QStringLiteral("in.txt"));
        QFile f(imageFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(formatImageText(image).toLatin1());
    }
    // A port whose COM1 is the simulator's device.
    void attach(TApdComPort& port, const Simulator& sim, int number = 1)
    {
        port.setPortDevices({{number, sim.device}});
        port.setComNumber(static_cast<std::uint16_t>(number));
    }

    QTemporaryDir dir;
    Image image = countingImage();
    QString imageFile;
};

}  // namespace

TEST(PortDevices, NumbersToDevices)
{
#ifdef Q_OS_WIN
    EXPECT_EQ(portDeviceName(3), "COM3");
#else
    EXPECT_EQ(portDeviceName(1), "/dev/ttyS0");
    EXPECT_EQ(portDeviceName(3), "/dev/ttyS2");
#endif
    const QMap<int, QString> devices{{1, QStringLiteral("/dev/ttyUSB0")}};
    EXPECT_EQ(portDeviceName(1, devices), "/dev/ttyUSB0");
}

TEST(PortClosed, CountsAreZeroAndOperationsFail)
{
    TApdComPort port;
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.ComNumber(), 0);
    EXPECT_EQ(port.Baud(), 19200);
    EXPECT_EQ(port.Parity(), PortParity::None);
    EXPECT_EQ(port.DataBits(), 8);
    EXPECT_EQ(port.StopBits(), 1);
    EXPECT_TRUE(port.PromptForPort());
    EXPECT_EQ(port.ReceivedCount(), 0);
    EXPECT_EQ(port.TransmitPending(), 0);
    EXPECT_EQ(port.SendBytes("x").error().message, kPortNotOpenText);
    EXPECT_EQ(port.ReadByte().error().message, kPortNotOpenText);
    port.FlushReceive();
    port.close();
}

TEST(PortOpen, ComNumberZeroWithTheSelectStepCancelled)
{
    TApdComPort port;
    int asked = 0;
    port.setSelectPortStep([&](const QList<int>&) {
        ++asked;
        return std::optional<int>{};
    });
    EXPECT_EQ(port.open().error().message, QStringLiteral("The ComNumber property of the TApdComPort has not been set\n"
                                                          "No serial port is chosen. Choose one in Communication Settings."));
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.ComNumber(), 0);
}

TEST(PortOpen, ComNumberZeroWithoutPromptingFailsWithoutAsking)
{
    TApdComPort port;
    int asked = 0;
    port.setSelectPortStep([&](const QList<int>&) {
        ++asked;
        return std::optional<int>{1};
    });
    port.setPromptForPort(false);
    EXPECT_TRUE(port.open().error().message.startsWith(kComNumberNotSetText + "\n"));
    EXPECT_EQ(asked, 0);
}

TEST(PortOpen, MissingDevice)
{
    TApdComPort port;
    port.setPortDevices({{2, QStringLiteral("/nonexistent/dnp-tty")}});
    port.setComNumber(2);
    EXPECT_EQ(port.open().error().message, QStringLiteral("ie_BadId - Specified comport doesn't exist\n"
                                                          "Port COM 2 (/nonexistent/dnp-tty) does not exist. Choose a "
                                                          "port in Communication Settings."));
    EXPECT_FALSE(port.isOpen());
    TApdComPort other;
    other.setDeviceOverride(QStringLiteral("/nonexistent/dnp-tty"));
    EXPECT_EQ(other.open().error().message, kBadIdText + "\nPort /nonexistent/dnp-tty does not exist.");
}

TEST(PortOpen, ADeviceThatIsNoSerialPortGivesTheSystemsMessage)
{
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("plain-file"));
    QFile f(plain);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    TApdComPort port;
    port.setDeviceOverride(plain);
    const Result<void> result = port.open();
    EXPECT_FALSE(result.ok());
    EXPECT_NE(result.error().message, kBadIdText);
    EXPECT_NE(result.error().message, kAlreadyOpenText);
    EXPECT_FALSE(port.isOpen());
}

TEST_F(PortOverSimulator, OpenReadFrameReplyAndClose)
{
    Simulator sim({QStringLiteral("--image-in"), imageFile});
    ASSERT_FALSE(sim.device.isEmpty());
    TApdComPort port;
    attach(port, sim);
    port.setBaud(9600);
    ASSERT_TRUE(port.open().ok());
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.deviceName(), sim.device);
    EXPECT_EQ(port.ReceivedCount(), 0);

    sendAll(port, composeReadFrame(2, {}));
    EXPECT_EQ(spinUntilReceived(port, 40), 40);
    EXPECT_EQ(readBytes(port, 40), composeReadReply(15, 15, image, {}));
    EXPECT_EQ(port.ReceivedCount(), 0);
    EXPECT_EQ(port.ReadByte().error().message, kNothingReceivedText);

    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.ReceivedCount(), 0);
    EXPECT_EQ(port.TransmitPending(), 0);
}

TEST_F(PortOverSimulator, EveryByteValueGoesThroughUnchanged)
{
    // A write frame whose words hold every byte value, control characters included.
    Image all{};
    for (int i = 0; i < kImageWords; ++i)
        all[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(i << 8 | (255 - i));
    Simulator sim({});
    TApdComPort port;
    attach(port, sim);
    ASSERT_TRUE(port.open().ok());
    for (int m = 1; m <= kMessageCount; ++m)
        ASSERT_EQ(exchange(port, composeWriteFrame(m, all, {}), replySize(Command::Write, m, false)),
                  composeWriteReply(messageWordCount(m), {}))
            << "message " << m;
    for (int m = 1; m <= kMessageCount; ++m)
        ASSERT_EQ(exchange(port, composeReadFrame(m, {}), replySize(Command::Read, m, false)),
                  composeReadReply(messageOffset(m), messageWordCount(m), all, {}))
            << "message " << m;
}

TEST_F(PortOverSimulator, ReceivedCountRisesDuringABusyWait)
{
    // At 9600 baud the reply's 40 bytes come one at a time over about 42 ms.
    Simulator sim({QStringLiteral("--baud"), QStringLiteral("9600")});
    TApdComPort port;
    attach(port, sim);
    ASSERT_TRUE(port.open().ok());
    sendAll(port, composeReadFrame(1, {}));

    QList<int> seen;
    QElapsedTimer patience;
    patience.start();
    int count = 0;
    while (count < 40 && patience.elapsed() < kPatienceMs) {
        count = port.ReceivedCount();  // no event processing in this loop
        if (seen.isEmpty() || seen.back() != count)
            seen.push_back(count);
    }
    EXPECT_EQ(count, 40);
    EXPECT_EQ(seen.front(), 0);
    EXPECT_GT(seen.size(), 3) << "the count should rise byte by byte";
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
}

TEST_F(PortOverSimulator, BytesArrivedIsToldFromTheEventLoopOnly)
{
    Simulator sim({});
    TApdComPort port;
    attach(port, sim);
    int told = 0;
    port.setBytesArrivedHandler([&] { ++told; });
    ASSERT_TRUE(port.open().ok());

    // Nothing is told while the bytes are taken in by a busy wait...
    sendAll(port, composeReadFrame(3, {}));
    EXPECT_EQ(spinUntilReceived(port, 40), 40);
    EXPECT_EQ(told, 0);
    // ...but it is once the event loop runs.
    QCoreApplication::processEvents();
    EXPECT_GE(told, 1);
    port.FlushReceive();
    EXPECT_EQ(port.ReceivedCount(), 0);

    // Waiting in the event loop, the first bytes are told at once.
    told = 0;
    sendAll(port, composeReadFrame(4, {}));
    QEventLoop loop;
    port.setBytesArrivedHandler([&] {
        ++told;
        loop.quit();
    });
    QTimer::singleShot(kPatienceMs, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_GE(told, 1);
    EXPECT_GT(port.ReceivedCount(), 0);
}

TEST_F(PortOverSimulator, ASecondOpenOfABusyDeviceFails)
{
    Simulator sim({});
    TApdComPort first;
    attach(first, sim);
    ASSERT_TRUE(first.open().ok());

    TApdComPort second;
    attach(second, sim);
    EXPECT_EQ(second.open().error().message,
              QStringLiteral("ie_Open - device already open\n%1 is in use by another program.").arg(sim.device));
    EXPECT_FALSE(second.isOpen());
    // The busy port is still offered for choosing.
    EXPECT_TRUE(listAvailablePorts({{1, sim.device}}).contains(1));

    // The first port still works, and once it is closed the second one opens.
    EXPECT_EQ(exchange(first, composeReadFrame(18, {}), 5).size(), 5);
    first.close();
    ASSERT_TRUE(second.open().ok());
    EXPECT_EQ(exchange(second, composeReadFrame(18, {}), 5).size(), 5);
}

// A device another program holds with a plain open and a lock is refused too.
TEST_F(PortOverSimulator, ADeviceLockedByAnotherProgramIsRefused)
{
    Simulator sim({});
    const int other = ::open(QFile::encodeName(sim.device).constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    TApdComPort port;
    attach(port, sim);
    EXPECT_EQ(port.open().error().message, kAlreadyOpenText + "\n" + sim.device + " is in use by another program.");
    ::close(other);
    EXPECT_TRUE(port.open().ok());
}

// The line as the device has it after the port opened: each baud rate and parity. A
// pseudo-terminal keeps the speed and PARODD but always clears PARENB, so odd parity
// (the bit an even parity must not set) is what can be told apart here.
TEST_F(PortOverSimulator, TheLineTakesTheBaudRateAndParity)
{
    Simulator sim({});
    struct Line {
        std::int32_t baud;
        PortParity parity;
        speed_t speed;
    };
    for (const Line& l : {Line{19200, PortParity::Even, B19200}, Line{9600, PortParity::None, B9600},
                          Line{4800, PortParity::Even, B4800}, Line{9600, PortParity::Odd, B9600}}) {
        TApdComPort port;
        attach(port, sim);
        port.setBaud(l.baud);
        port.setParity(l.parity);
        ASSERT_TRUE(port.open().ok());
        const int fd = ::open(QFile::encodeName(sim.device).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        termios t{};
        ASSERT_EQ(::tcgetattr(fd, &t), 0);
        ::close(fd);
        EXPECT_EQ(::cfgetospeed(&t), l.speed) << l.baud;
        EXPECT_EQ((t.c_cflag & PARODD) != 0, l.parity == PortParity::Odd) << l.baud;
        EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
        port.close();
    }
}

TEST_F(PortOverSimulator, SelectPortStepListsPresentPortsAndItsChoiceIsUsed)
{
    Simulator sim({});
    TApdComPort port;
    port.setPortDevices({{3, sim.device}, {4, QStringLiteral("/nonexistent/dnp-tty")}});
    QList<int> offered;
    port.setSelectPortStep([&](const QList<int>& ports) {
        offered = ports;
        return std::optional<int>{3};
    });
    ASSERT_EQ(port.ComNumber(), 0);
    ASSERT_TRUE(port.open().ok());
    EXPECT_TRUE(offered.contains(3));
    EXPECT_FALSE(offered.contains(4));
    EXPECT_EQ(port.ComNumber(), 3);
    EXPECT_EQ(port.deviceName(), sim.device);
    EXPECT_EQ(exchange(port, composeReadFrame(18, {}), 5).size(), 5);
}

TEST_F(PortOverSimulator, OpeningDiscardsALateReply)
{
    Simulator sim({QStringLiteral("--delay-ms"), QStringLiteral("100")});
    TApdComPort port;
    attach(port, sim);
    ASSERT_TRUE(port.open().ok());
    sendAll(port, composeReadFrame(1, {}));
    port.close();
    // The reply lands in the terminal while the port is closed.
    QThread::msleep(400);
    ASSERT_TRUE(port.open().ok());
    EXPECT_EQ(port.ReceivedCount(), 0);
    EXPECT_EQ(exchange(port, composeReadFrame(18, {}), 5), composeReadReply(255, 1, Image{}, {}));
    EXPECT_EQ(port.ReceivedCount(), 0);
}

TEST_F(PortOverSimulator, SimulatorSurvivesTheMasterClosingAndReopening)
{
    Simulator sim({QStringLiteral("--image-in"), imageFile});
    for (int round = 0; round < 3; ++round) {
        TApdComPort port;
        attach(port, sim);
        ASSERT_TRUE(port.open().ok()) << "round " << round;
        EXPECT_EQ(exchange(port, composeReadFrame(18, {}), 5), composeReadReply(255, 1, image, {})) << "round " << round;
    }
    EXPECT_EQ(sim.process.state(), QProcess::Running);
}

#if defined(Q_OS_UNIX) && defined(TIOCGEXCL)
TEST_F(PortOverSimulator, SimClearsExclusiveModeLeftByAKilledProgram)
{
    Simulator sim({});
    const QByteArray device = QFile::encodeName(sim.device);
    const auto exclusive = [&] {
        const int fd = ::open(device.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        int on = -1;
        if (fd >= 0) {
            ::ioctl(fd, TIOCGEXCL, &on);
            ::close(fd);
        }
        return on;
    };
    // A program that dies leaves the terminal as it had it: exclusive.
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
    EXPECT_TRUE(sim.stop().contains(QStringLiteral("exclusive mode left by a closed program cleared")));
}
#endif

TEST_F(PortOverSimulator, FlushReceiveDiscardsWaitingBytes)
{
    Simulator sim({});
    TApdComPort port;
    attach(port, sim);
    ASSERT_TRUE(port.open().ok());
    sendAll(port, composeReadFrame(1, {}));
    ASSERT_EQ(spinUntilReceived(port, 40), 40);
    (void)port.ReadByte();
    port.FlushReceive();
    EXPECT_EQ(port.ReceivedCount(), 0);
}

TEST_F(PortOverSimulator, PortClosesWhenTheDeviceGoesAway)
{
    auto sim = std::make_unique<Simulator>(QStringList{});
    TApdComPort port;
    attach(port, *sim);
    ASSERT_TRUE(port.open().ok());
    sim.reset();
    QElapsedTimer patience;
    patience.start();
    while (port.isOpen() && patience.elapsed() < kPatienceMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.SendBytes("x").error().message, kPortNotOpenText);
    EXPECT_EQ(port.ReceivedCount(), 0);
}

// --- The simulator's options ---

TEST_F(PortOverSimulator, SimWritesAreStoredAndWrittenOutAfterMessage18)
{
    const QString out = dir.filePath(QStringLiteral("out.txt"));
    Simulator sim({QStringLiteral("--image-out"), out});
    TApdComPort port;
    attach(port, sim);
    ASSERT_TRUE(port.open().ok());
    for (int m = 1; m <= kMessageCount; ++m)
        ASSERT_EQ(exchange(port, composeWriteFrame(m, image, {}), replySize(Command::Write, m, false)).size(),
                  replySize(Command::Write, m, false));
    QFile written(out);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), formatImageText(image).toLatin1());
    for (int m = 1; m <= kMessageCount; ++m)
        EXPECT_EQ(exchange(port, composeReadFrame(m, {}), replySize(Command::Read, m, false)),
                  composeReadReply(messageOffset(m), messageWordCount(m), image, {}));
}

TEST_F(PortOverSimulator, SimAnswersOnlyItsAddress)
{
    Simulator sim({QStringLiteral("--address"), QStringLiteral("300"), QStringLiteral("--image-in"), imageFile});
    TApdComPort port;
    attach(port, sim);
    ASSERT_TRUE(port.open().ok());
    // The frame for address 1 goes unanswered; the frame for 44 (the low byte of
    // 300) behind it is answered.
    sendAll(port, composeReadFrame(2, {true, 1}) + composeReadFrame(18, {true, 44}));
    EXPECT_EQ(exchange(port, {}, 6), composeReadReply(255, 1, image, {true, 300}));
    EXPECT_EQ(exchange(port, composeReadFrame(1, {true, 300}), 41), composeReadReply(0, 15, image, {true, 300}));
    EXPECT_EQ(port.ReceivedCount(), 0);
}

TEST_F(PortOverSimulator, SimIgnoresFramesWithABadChecksum)
{
    Simulator sim({QStringLiteral("--image-in"), imageFile});
    TApdComPort port;
    attach(port, sim);
    ASSERT_TRUE(port.open().ok());
    QByteArray bad = composeReadFrame(2, {});
    bad[4] = static_cast<char>(bad[4] + 1);
    sendAll(port, bad + composeReadFrame(18, {}));
    EXPECT_EQ(exchange(port, {}, 5), composeReadReply(255, 1, image, {}));
    const QString trace = sim.stop();
    EXPECT_TRUE(trace.contains(QStringLiteral("bad checksum"))) << trace.toStdString();
}

TEST_F(PortOverSimulator, SimSilentAtN)
{
    Simulator sim({QStringLiteral("--silent-at"), QStringLiteral("2"), QStringLiteral("--image-in"), imageFile});
    TApdComPort port;
    attach(port, sim);
    ASSERT_TRUE(port.open().ok());
    EXPECT_EQ(exchange(port, composeReadFrame(1, {}), 40), composeReadReply(0, 15, image, {}));
    // Request 2 gets nothing: the next bytes are the reply to request 3.
    sendAll(port, composeReadFrame(2, {}));
    EXPECT_EQ(exchange(port, composeReadFrame(18, {}), 5), composeReadReply(255, 1, image, {}));
    EXPECT_EQ(port.ReceivedCount(), 0);
}

TEST_F(PortOverSimulator, SimBadStatusAtN)
{
    Simulator sim({QStringLiteral("--bad-status-at"), QStringLiteral("1"), QStringLiteral("--image-in"), imageFile});
    TApdComPort port;
    attach(port, sim);
    ASSERT_TRUE(port.open().ok());
    const QByteArray reply = exchange(port, composeWriteFrame(1, Image{}, {}), 10);
    EXPECT_EQ(reply, QByteArray::fromHex("0A1000000000000000E6"));
    EXPECT_TRUE(sumsToZero(reply));
    // The write with the bad status was not stored; later replies are good.
    EXPECT_EQ(exchange(port, composeReadFrame(1, {}), 40), composeReadReply(0, 15, image, {}));
}

TEST_F(PortOverSimulator, SimShortReplyAtN)
{
    Simulator sim({QStringLiteral("--short-reply-at"), QStringLiteral("1"), QStringLiteral("--image-in"), imageFile});
    TApdComPort port;
    attach(port, sim);
    ASSERT_TRUE(port.open().ok());
    sendAll(port, composeReadFrame(1, {}));
    const QByteArray both = exchange(port, composeReadFrame(18, {}), 38 + 5);
    EXPECT_EQ(both, composeReadReply(0, 15, image, {}).left(38) + composeReadReply(255, 1, image, {}));
}

TEST_F(PortOverSimulator, SimExtraBytes)
{
    Simulator sim({QStringLiteral("--extra-bytes"), QStringLiteral("3")});
    TApdComPort port;
    attach(port, sim);
    ASSERT_TRUE(port.open().ok());
    EXPECT_EQ(exchange(port, composeWriteFrame(18, Image{}, {}), 6), QByteArray::fromHex("0300FDAAAAAA"));
}

TEST_F(PortOverSimulator, SimExitAfterNWritesTheImage)
{
    const QString out = dir.filePath(QStringLiteral("out.txt"));
    Simulator sim({QStringLiteral("--exit-after"), QStringLiteral("2"), QStringLiteral("--image-out"), out});
    TApdComPort port;
    attach(port, sim);
    ASSERT_TRUE(port.open().ok());
    EXPECT_EQ(exchange(port, composeWriteFrame(1, image, {}), 10).size(), 10);
    EXPECT_EQ(exchange(port, composeWriteFrame(2, image, {}), 10).size(), 10);
    ASSERT_TRUE(sim.process.waitForFinished(kPatienceMs));
    EXPECT_EQ(sim.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.process.exitCode(), 0);
    Image partial{};
    for (int w = 0; w < 30; ++w)
        partial[static_cast<std::size_t>(w)] = image[static_cast<std::size_t>(w)];
    QFile written(out);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), formatImageText(partial).toLatin1());
}

TEST_F(PortOverSimulator, SimStopsCleanlyOnTerminateAndWritesTheImage)
{
    const QString out = dir.filePath(QStringLiteral("out.txt"));
    Simulator sim({QStringLiteral("--image-in"), imageFile, QStringLiteral("--image-out"), out});
    ASSERT_FALSE(sim.device.isEmpty());
    sim.stop();
    EXPECT_EQ(sim.process.exitCode(), 0);
    QFile written(out);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), formatImageText(image).toLatin1());
}

TEST(PanelSimOptions, BadImageAndBadOptionsAreUsageErrors)
{
    QTemporaryDir dir;
    const QString bad = dir.filePath(QStringLiteral("bad.txt"));
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("0000 GGGG\n");
    f.close();
    for (const QStringList& arguments : {QStringList{QStringLiteral("--image-in"), bad},
                                         QStringList{QStringLiteral("--silent-at"), QStringLiteral("0")},
                                         QStringList{QStringLiteral("--baud"), QStringLiteral("fast")},
                                         QStringList{QStringLiteral("--no-such-option")}}) {
        QProcess sim;
        sim.start(QStringLiteral(DNP_BIN_DIR "/dnp-panel-sim"), arguments);
        ASSERT_TRUE(sim.waitForFinished(kPatienceMs)) << arguments.join(' ').toStdString();
        EXPECT_EQ(sim.exitCode(), 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(sim.readAllStandardError().startsWith("dnp-panel-sim: ")) << arguments.join(' ').toStdString();
    }
}
