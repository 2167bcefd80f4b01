// dnp-panel-sim as a program: raw bytes over its pseudo-terminal and over TCP (IPv4 and
// IPv6) and TLS, its pacing at the line's speed, repeated replies and the echo, three
// panels on one line, several panels in one process, and a stop that still delivers the
// reply under way. Time is only checked as "not before" bounds the simulator guarantees.

#include "Panel.h"
#include "comm/ImageText.h"
#include "support/Certificates.h"
#include "support/FrameBytes.h"
#include "support/PanelSim.h"
#include "support/RunDnpcfg.h"

#include <QFile>
#include <QRegularExpression>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <latch>
#include <memory>
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

// The replies of a panel that holds countingImage() to readWord255(), with a good and with a bad status.
const QByteArray kWord255 = bytes({0x05, 0x00, 0xA0, 0xFF, 0x5C});
const QByteArray kWord255BadStatus = bytes({0x05, 0x10, 0xA0, 0xFF, 0x4C});

// The port of a device tcp://HOST:PORT or tls://HOST:PORT; 0 when it is none.
int portOf(const QString& device)
{
    const auto match = QRegularExpression(QStringLiteral("^(tcp|tls)://.+:([0-9]+)$")).match(device);
    return match.hasMatch() ? match.captured(2).toInt() : 0;
}

// A TLS client of the simulator that trusts any certificate: each request is sent and
// its reply read whole, in blocking steps (so that it may run in a thread of its own).
// Clients that go `together` each make their connection, then do their handshake, then
// send their first request, each step once all have done the one before.
class TlsClient {
public:
    struct Together {
        std::latch connected;
        std::latch encrypted;
    };

    explicit TlsClient(int port, Together* together = nullptr)
    {
        socket_.setPeerVerifyMode(QSslSocket::VerifyNone);
        socket_.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(port));
        const bool made = socket_.waitForConnected(static_cast<int>(kPatience.count()));
        if (together)
            together->connected.arrive_and_wait();
        socket_.startClientEncryption();
        encrypted_ = made && socket_.waitForEncrypted(static_cast<int>(kPatience.count()));
        if (together)
            together->encrypted.arrive_and_wait();
    }
    bool encrypted() const { return encrypted_; }
    QByteArray ask(const QByteArray& request, qsizetype replySize)
    {
        socket_.write(request);
        QByteArray reply;
        while (reply.size() < replySize && socket_.waitForReadyRead(static_cast<int>(kPatience.count())))
            reply += socket_.readAll();
        return reply;
    }
    void close()
    {
        socket_.disconnectFromHost();
        if (socket_.state() != QAbstractSocket::UnconnectedState)
            socket_.waitForDisconnected(static_cast<int>(kPatience.count()));
    }

private:
    QSslSocket socket_;
    bool encrypted_ = false;
};

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

// Several panels in one process, each on a port of its own: each counts its own
// requests, plays the faults --on gives it and writes its own image.
TEST_F(SimulatorProcess, ManyPanelsEachWithItsOwnCountFaultsAndImage)
{
    const QString out = dir.filePath(QStringLiteral("out.txt"));
    test::PanelSim sim({"--panels", "3", "--tcp", "127.0.0.1:0", "--no-pacing", "--image-in", imageIn(), "--image-out",
                        out, "--on", "2:bad-status-at=1"},
                       3);
    ASSERT_EQ(sim.devices().size(), 3) << sim.error().toStdString();
    std::vector<std::unique_ptr<Wire>> wires;
    for (const QString& device : sim.devices()) {
        ASSERT_GT(portOf(device), 0) << device.toStdString();
        wires.push_back(std::make_unique<Wire>(connectTo(portOf(device))));
        ASSERT_TRUE(wires.back()->isOpen());
    }
    // Each panel's first request, then its second.
    for (const auto& [panel, first] : {std::pair{0, kWord255}, std::pair{1, kWord255BadStatus}, std::pair{2, kWord255}}) {
        SCOPED_TRACE(panel);
        ASSERT_TRUE(wires[panel]->write(readWord255(std::nullopt)));
        EXPECT_EQ(wires[panel]->read(5), first);
        ASSERT_TRUE(wires[panel]->write(readWord255(std::nullopt)));
        EXPECT_EQ(wires[panel]->read(5), kWord255);
    }
    ConfigImage written = image;
    written[255] = 0x7777;
    ASSERT_TRUE(wires[2]->write(composeWriteFrame(18, written, {})));
    EXPECT_EQ(wires[2]->read(3), bytes({0x03, 0x00, 0xFD}));

    wires.clear();
    sim.stop();
    EXPECT_EQ(readText(QStringLiteral("out.txt.1")), formatImageText(image).toLatin1());
    EXPECT_EQ(readText(QStringLiteral("out.txt.2")), formatImageText(image).toLatin1());
    EXPECT_EQ(readText(QStringLiteral("out.txt.3")), formatImageText(written).toLatin1());
}

// A simulator stopped right after it began a reply still sends the whole reply, paced or
// not, and waits for the program to take it before the terminal goes.
TEST_F(SimulatorProcess, AStopDeliversTheReplyUnderWay)
{
    const QByteArray request = composeReadFrame(1, {});
    const QByteArray reply = sim::composeReadReply(0, 15, image, {});
    for (const QStringList& pacing : {QStringList{"--baud", "9600"}, QStringList{"--no-pacing"}}) {
        for (int run = 0; run < 10; ++run) {
            SCOPED_TRACE(pacing.join(' ').toStdString() + " run " + std::to_string(run));
            PanelSim sim(pacing + QStringList{"--image-in", imageIn()});
            ASSERT_TRUE(sim.started()) << sim.error().toStdString();
            Wire wire(openDevice(sim.device(), B9600));
            ASSERT_TRUE(wire.isOpen());
            ASSERT_TRUE(wire.write(request));
            QByteArray got = wire.read(1);
            sim.process().terminate();
            got += wire.read(reply.size() - 1);
            EXPECT_EQ(got, reply);
            EXPECT_TRUE(sim.process().waitForFinished(static_cast<int>(kPatience.count())));
        }
    }
}

// An IPv6 endpoint is printed as the program writes it, and the program reaches it.
TEST(SimulatorIpv6, APanelOnTheIpv6LoopbackAnswers)
{
    const int probe = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in6 loopback{};
    loopback.sin6_family = AF_INET6;
    loopback.sin6_addr = in6addr_loopback;
    const bool hasIpv6 = probe >= 0 && ::bind(probe, reinterpret_cast<const sockaddr*>(&loopback), sizeof loopback) == 0;
    if (probe >= 0)
        ::close(probe);
    if (!hasIpv6)
        GTEST_SKIP() << "this machine has no IPv6 loopback (::1)";

    PanelSim sim({"--tcp", "[::1]:0", "--no-pacing"});
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^tcp://\\[::1\\]:[0-9]+$")).match(sim.device()).hasMatch())
        << sim.device().toStdString() << sim.error().toStdString();
    const ProgramRun run = runDnpcfg({"test", "--device", sim.device()});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "The panel answered.\n");
}

struct SimulatorTlsPort : ::testing::Test {
    QTemporaryDir dir;
    const Certificates certificates{dir.path()};
};

// Two clients that connect at once, both taken by the TLS front and through their
// handshakes before either sends a request, are served one after the other: the first
// keeps its session for all its requests while the second waits, the second's request
// sent right after its handshake is not lost, and the second's requests are the panel's
// next ones (the third has a bad status).
TEST_F(SimulatorTlsPort, TwoClientsAtOnceAreServedInTurn)
{
    ASSERT_TRUE(certificates.made());
    PanelSim sim(certificates.serve("server") + QStringList{"--tcp", "127.0.0.1:0", "--no-pacing", "--bad-status-at", "3"});
    const int port = portOf(sim.device());
    ASSERT_GT(port, 0) << sim.device().toStdString() << sim.error().toStdString();

    std::array<std::array<QByteArray, 2>, 2> replies;
    std::array<std::unique_ptr<QThread>, 2> clients;
    TlsClient::Together together{std::latch(clients.size()), std::latch(clients.size())};
    for (std::size_t c = 0; c < clients.size(); ++c) {
        clients[c].reset(QThread::create([port, &replies, &together, c] {
            TlsClient client(port, &together);
            for (QByteArray& reply : replies[c])
                reply = client.ask(readWord255(std::nullopt), 5);
            client.close();
        }));
        clients[c]->start();
    }
    for (const auto& client : clients)
        ASSERT_TRUE(client->wait(static_cast<unsigned long>(kPatience.count() * 3)));
    // The panel's image is all zeros.
    const QByteArray good = bytes({0x05, 0x00, 0x00, 0x00, 0xFB});
    const std::array<QByteArray, 2> first = {good, good};
    const std::array<QByteArray, 2> second = {bytes({0x05, 0x10, 0x00, 0x00, 0xEB}), good};
    EXPECT_TRUE((replies[0] == first && replies[1] == second) || (replies[0] == second && replies[1] == first))
        << replies[0][0].toHex().constData() << " " << replies[0][1].toHex().constData() << " / "
        << replies[1][0].toHex().constData() << " " << replies[1][1].toHex().constData();
}

// A request sent the moment the handshake is done is answered, every time.
TEST_F(SimulatorTlsPort, ARequestRightAfterTheHandshakeIsAnswered)
{
    ASSERT_TRUE(certificates.made());
    PanelSim sim(certificates.serve("server") + QStringList{"--tcp", "127.0.0.1:0", "--no-pacing"});
    const int port = portOf(sim.device());
    ASSERT_GT(port, 0) << sim.device().toStdString() << sim.error().toStdString();
    for (int connection = 0; connection < 50; ++connection) {
        SCOPED_TRACE(connection);
        TlsClient client(port);
        ASSERT_TRUE(client.encrypted());
        EXPECT_EQ(client.ask(readWord255(std::nullopt), 5), bytes({0x05, 0x00, 0x00, 0x00, 0xFB}));
        client.close();
    }
}
