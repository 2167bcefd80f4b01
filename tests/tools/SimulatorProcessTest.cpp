// dnp-panel-sim as a program: raw bytes over its pseudo-terminal and over TCP, its
// pacing at the line's speed, repeated replies and the echo, and three panels on one
// line. Time is only checked as "not before" bounds the simulator guarantees.

#include "Panel.h"
#include "comm/ImageText.h"
#include "support/Certificates.h"
#include "support/FrameBytes.h"
#include "support/PanelSim.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

using namespace dnp;
using namespace dnp::test;
using namespace dnp::frames;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::microseconds;
using std::chrono::milliseconds;

// How long a test waits for bytes before it gives up: a bound against hanging only.
constexpr milliseconds kPatience{10000};
constexpr int kBitsPerByte = 10;

microseconds wireTime(qsizetype bytes, int baud) { return microseconds{bytes * kBitsPerByte * 1'000'000LL / baud}; }

// Raw bytes over a descriptor (a pseudo-terminal or a socket), closed at the end.
class Wire {
public:
    explicit Wire(int fd) : fd_(fd) {}
    ~Wire() { close(); }
    Wire(const Wire&) = delete;
    Wire& operator=(const Wire&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    void close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    bool write(const QByteArray& bytes) { return ::write(fd_, bytes.constData(), bytes.size()) == bytes.size(); }
    // Reads until `count` bytes have come (or the patience is spent).
    QByteArray read(qsizetype count)
    {
        QByteArray got;
        const auto end = Clock::now() + kPatience;
        while (got.size() < count && Clock::now() < end) {
            pollfd fd{fd_, POLLIN, 0};
            if (::poll(&fd, 1, static_cast<int>(kPatience.count())) <= 0)
                break;
            char buffer[256];
            const ssize_t n = ::read(fd_, buffer, static_cast<size_t>(std::min<qsizetype>(count - got.size(), 256)));
            if (n <= 0)
                break;
            got.append(buffer, n);
        }
        return got;
    }

    // Whether the other end closes within the patience (what it sent is read and dropped).
    bool closedByTheOtherEnd()
    {
        for (;;) {
            pollfd fd{fd_, POLLIN, 0};
            if (::poll(&fd, 1, static_cast<int>(kPatience.count())) <= 0)
                return false;
            char buffer[4096];
            if (::read(fd_, buffer, sizeof buffer) <= 0)
                return true;
        }
    }
    int fd() const { return fd_; }

private:
    int fd_;
};

// The device of a simulator, opened raw at `speed` as a program would.
int openDevice(const QString& device, speed_t speed)
{
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    termios settings{};
    if (fd < 0 || ::tcgetattr(fd, &settings) != 0)
        return -1;
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&settings, speed);
    ::cfsetospeed(&settings, speed);
    ::tcsetattr(fd, TCSANOW, &settings);
    return fd;
}

int connectTo(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<in_port_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

QByteArray readWord255(std::optional<int> address)
{
    return envelope({address.has_value(), address.value_or(0)}, bytes({kReadCommand, 0xFF, 0x01}));
}

class SimulatorProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QFile file(imageIn());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(formatImageText(image).toLatin1());
    }
    QString imageIn() const { return dir.filePath(QStringLiteral("in.txt")); }
    QByteArray readText(const QString& name) const
    {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no file)");
    }

    QTemporaryDir dir;
    const ConfigImage image = countingImage();
};

}  // namespace

// A reply starts only once its request has crossed the line at the speed the program
// set on the device, or at the speed --baud forces.
TEST_F(SimulatorProcess, RepliesAreNotBeforeTheWireTime)
{
    const struct {
        QStringList options;
        speed_t deviceSpeed;
        int baud;  // the speed the bytes take
    } cases[] = {
        {{}, B9600, 9600},
        {{}, B4800, 4800},
        {{"--baud", "1200"}, B19200, 1200},
    };
    const QByteArray request = composeReadFrame(1, {});
    const QByteArray reply = sim::composeReadReply(0, 15, image, {});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.baud);
        PanelSim sim(c.options + QStringList{"--image-in", imageIn()});
        ASSERT_TRUE(sim.started()) << sim.error().toStdString();
        Wire wire(openDevice(sim.device(), c.deviceSpeed));
        ASSERT_TRUE(wire.isOpen());
        const auto sent = Clock::now();
        ASSERT_TRUE(wire.write(request));
        EXPECT_EQ(wire.read(1), reply.first(1));
        EXPECT_GE(Clock::now() - sent, wireTime(request.size(), c.baud));
        EXPECT_EQ(wire.read(reply.size() - 1), reply.sliced(1));
        EXPECT_GE(Clock::now() - sent, wireTime(request.size() + reply.size(), c.baud));
    }
}

TEST_F(SimulatorProcess, RepeatedRepliesAndTheEchoArriveAsBytes)
{
    const QByteArray request = readWord255(std::nullopt);
    const QByteArray reply = bytes({0x05, 0x00, 0xA0, 0xFF, 0x5C});
    const struct {
        QStringList options;
        QByteArray first;   // what the first request brings back
        QByteArray second;  // and the second
        microseconds notBefore;  // at 9600 baud, from sending the first request
    } cases[] = {
        {{"--repeat-reply-at", "1", "--repeat-delay-ms", "30"}, reply + reply, reply,
         wireTime(15, 9600) + milliseconds(30)},
        {{"--repeat-every-reply"}, reply + reply, reply + reply, wireTime(15, 9600) + milliseconds(5)},
        {{"--echo"}, request + reply, request + reply, wireTime(10, 9600)},
        {{"--echo", "--repeat-reply-at", "2"}, request + reply, request + reply + reply, wireTime(10, 9600)},
        {{"--extra-bytes", "3", "--extra-at", "2"}, reply, reply + bytes({0xAA, 0xAA, 0xAA}), wireTime(10, 9600)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString());
        PanelSim sim(c.options + QStringList{"--image-in", imageIn()});
        ASSERT_TRUE(sim.started()) << sim.error().toStdString();
        Wire wire(openDevice(sim.device(), B9600));
        ASSERT_TRUE(wire.isOpen());
        const auto sent = Clock::now();
        ASSERT_TRUE(wire.write(request));
        EXPECT_EQ(wire.read(c.first.size()), c.first);
        EXPECT_GE(Clock::now() - sent, c.notBefore);
        // What the second request brings back shows that nothing more came after the first.
        ASSERT_TRUE(wire.write(request));
        EXPECT_EQ(wire.read(c.second.size()), c.second);
    }
}

TEST_F(SimulatorProcess, OverTcpOneConnectionAfterAnother)
{
    PanelSim sim({"--tcp", "127.0.0.1:0", "--image-in", imageIn(), "--bad-status-at", "2"});
    const auto match = QRegularExpression(QStringLiteral("^tcp://127\\.0\\.0\\.1:([0-9]+)$")).match(sim.device());
    ASSERT_TRUE(match.hasMatch()) << sim.device().toStdString() << sim.error().toStdString();
    const int port = match.captured(1).toInt();
    ASSERT_GT(port, 0);

    const QByteArray request = readWord255(std::nullopt);
    {
        Wire first(connectTo(port));
        ASSERT_TRUE(first.isOpen());
        const auto sent = Clock::now();
        ASSERT_TRUE(first.write(request));
        EXPECT_EQ(first.read(5), bytes({0x05, 0x00, 0xA0, 0xFF, 0x5C}));
        // Without --baud the line runs at 9600 baud.
        EXPECT_GE(Clock::now() - sent, wireTime(10, 9600));
        // Half a frame goes with the connection.
        ASSERT_TRUE(first.write(request.first(3)));
    }
    // The second connection waits until the first has closed; its request is the
    // panel's second, answered with the bad status.
    Wire second(connectTo(port));
    ASSERT_TRUE(second.isOpen());
    ASSERT_TRUE(second.write(request));
    EXPECT_EQ(second.read(5), bytes({0x05, 0x10, 0xA0, 0xFF, 0x4C}));
}

// Clients that send noise and go, and one that sends requests and never reads their
// replies (closed once 64 KiB wait for it), leave the panel answering the next client
// at once: within a read's patience, where a line still counting their bytes would take
// minutes.
TEST_F(SimulatorProcess, NoClientLeavesTheTcpPanelDeaf)
{
    PanelSim sim({"--tcp", "127.0.0.1:0", "--image-in", imageIn()});
    const auto match = QRegularExpression(QStringLiteral("^tcp://127\\.0\\.0\\.1:([0-9]+)$")).match(sim.device());
    ASSERT_TRUE(match.hasMatch()) << sim.device().toStdString() << sim.error().toStdString();
    const int port = match.captured(1).toInt();

    std::mt19937 random(29);  // the same noise every run
    for (int client = 0; client < 30; ++client) {
        QByteArray noise(50000, '\0');
        for (char& b : noise)
            b = static_cast<char>(random());
        Wire hostile(connectTo(port));
        ASSERT_TRUE(hostile.isOpen());
        ASSERT_TRUE(hostile.write(noise));
        // In a row: each one gone before the next comes.
        ::shutdown(hostile.fd(), SHUT_WR);
        EXPECT_TRUE(hostile.closedByTheOtherEnd());
    }
    {
        Wire deaf(connectTo(port));
        ASSERT_TRUE(deaf.isOpen());
        QByteArray requests;
        for (int i = 0; i < 30000; ++i)
            requests += readWord255(std::nullopt);
        // Its requests are cut off once the panel has given up on it.
        (void)::send(deaf.fd(), requests.constData(), static_cast<size_t>(requests.size()), MSG_NOSIGNAL);
        EXPECT_TRUE(deaf.closedByTheOtherEnd());
    }
    Wire clean(connectTo(port));
    ASSERT_TRUE(clean.isOpen());
    ASSERT_TRUE(clean.write(readWord255(std::nullopt)));
    EXPECT_EQ(clean.read(5), bytes({0x05, 0x00, 0xA0, 0xFF, 0x5C}));
}

TEST_F(SimulatorProcess, ThreeAddressesOnOneLine)
{
    const QString out = dir.filePath(QStringLiteral("out.txt"));
    PanelSim sim({"--address", "1,2,3", "--image-in", imageIn(), "--image-out", out});
    ASSERT_TRUE(sim.started()) << sim.error().toStdString();
    Wire wire(openDevice(sim.device(), B19200));
    ASSERT_TRUE(wire.isOpen());

    ConfigImage written = image;
    written[255] = 0x7777;
    ASSERT_TRUE(wire.write(composeWriteFrame(18, written, {true, 2})));
    EXPECT_EQ(wire.read(4), bytes({0x02, 0x03, 0x00, 0xFB}));

    // Address 4 is asked first: had it answered, its reply would come first.
    ASSERT_TRUE(wire.write(readWord255(4) + readWord255(1) + readWord255(2) + readWord255(3)));
    EXPECT_EQ(wire.read(18), bytes({0x01, 0x05, 0x00, 0xA0, 0xFF, 0x5B,    //
                                    0x02, 0x05, 0x00, 0x77, 0x77, 0x0B,    //
                                    0x03, 0x05, 0x00, 0xA0, 0xFF, 0x59}));

    wire.close();
    sim.stop();
    EXPECT_EQ(readText(QStringLiteral("out.txt")), formatImageText(image).toLatin1());
    EXPECT_EQ(readText(QStringLiteral("out.txt.2")), formatImageText(written).toLatin1());
    EXPECT_EQ(readText(QStringLiteral("out.txt.3")), formatImageText(image).toLatin1());
}

// The simulator's TLS files are read as the program's are: a key that is not the
// certificate's is refused, naming both options.
TEST(SimulatorTls, AKeyThatIsNotTheCertificatesIsRefused)
{
    QTemporaryDir dir;
    const Certificates certificates(dir.path());
    ASSERT_TRUE(certificates.made());
    PanelSim sim({"--tcp", "127.0.0.1:0", "--tls-cert", certificates.pem("server"), "--tls-key",
                  certificates.key("client")});
    sim.process().waitForFinished(10000);
    ASSERT_EQ(sim.process().state(), QProcess::NotRunning);
    EXPECT_EQ(sim.process().exitCode(), 1);
    EXPECT_EQ(QString::fromLocal8Bit(sim.process().readAllStandardError()),
              "dnp-panel-sim: --tls-key: " + certificates.key("client") +
                  " is not the key of the certificate in --tls-cert (CN=127.0.0.1).\n");
}
