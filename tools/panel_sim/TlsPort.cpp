// The simulator's TCP ports in TLS. A thread of their own takes each connection and holds
// its TLS session, and hands the plain bytes to the panel's loop over a socket pair: the
// loop reads and writes the line as it does a plain TCP connection, paced alike. Each
// port serves one connection at a time; the next waits in the backlog.

#include "Device.h"
#include "comm/Tls.h"
#include "files/FileAccess.h"

#include <QLocalSocket>
#include <QMutex>
#include <QSslConfiguration>
#include <QSslServer>
#include <QSslSocket>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <openssl/crypto.h>
#include <sys/socket.h>
#include <unistd.h>

namespace dnp::sim {
namespace {

// What the TLS thread hands to the panel's loop: a connection's plain end, or this
// (the notes have grown).
constexpr int kNotesWaiting = -1;
// At exit, how long the session under way may take to send what it holds and close.
constexpr int kSessionCloseLimitMs = 1000;

// Lives in the TLS thread: the server, the session under way and the thread's end of
// its plain line.
class TlsFront : public QObject {
public:
    TlsFront(QSslConfiguration configuration, int listener, int handOver)
        : configuration_(std::move(configuration)), listener_(listener), handOver_(handOver)
    {
    }

    // In the thread: the server takes over the listening socket.
    bool start()
    {
        server_ = new QSslServer(this);
        server_->setSslConfiguration(configuration_);
        if (!server_->setSocketDescriptor(listener_))
            return false;
        connect(server_, &QSslServer::pendingConnectionAvailable, this, &TlsFront::take);
        connect(server_, &QSslServer::errorOccurred, this, [this](QSslSocket* socket, QAbstractSocket::SocketError) {
            note(QStringLiteral("TLS handshake failed: %1").arg(socket->errorString()));
        });
        // Left alone, a client certificate the authority did not sign ends the handshake
        // with the alert a TLS library sends for it.
        connect(
            server_, &QSslServer::handshakeInterruptedOnError, this,
            [this](QSslSocket*, const QSslError& error) {
                note(QStringLiteral("client certificate refused: %1").arg(error.errorString()));
            },
            Qt::DirectConnection);
        return true;
    }

    // In the thread, at exit: what the session holds is sent, and it closes.
    void finish()
    {
        if (!session_)
            return;
        session_->flush();
        session_->disconnectFromHost();
        if (session_->state() != QAbstractSocket::UnconnectedState)
            session_->waitForDisconnected(kSessionCloseLimitMs);
    }

    QStringList takeNotes()
    {
        const QMutexLocker lock(&mutex_);
        return std::exchange(notes_, {});
    }

private:
    // A session is ready: its plain end goes to the panel's loop. One that closed while
    // it waited has nobody to answer.
    void take()
    {
        if (session_)
            return;
        QSslSocket* session = nullptr;
        while (!session && server_->hasPendingConnections()) {
            session = qobject_cast<QSslSocket*>(server_->nextPendingConnection());
            if (session && session->state() != QAbstractSocket::ConnectedState) {
                session->deleteLater();
                session = nullptr;
            }
        }
        if (!session)
            return;
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
            note(QStringLiteral("no line for the session: %1").arg(systemReason(errno)));
            session->abort();
            session->deleteLater();
            return;
        }
        ::fcntl(pair[0], F_SETFL, ::fcntl(pair[0], F_GETFL) | O_NONBLOCK);
        session_ = session;
        session_->setParent(this);
        // Paced bytes go out one at a time, as they are due.
        session_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        plain_ = new QLocalSocket(this);
        plain_->setSocketDescriptor(pair[1]);
        connect(session_, &QSslSocket::readyRead, this, [this] { plain_->write(session_->readAll()); });
        connect(plain_, &QLocalSocket::readyRead, this, [this] { session_->write(plain_->readAll()); });
        connect(session_, &QSslSocket::disconnected, this, &TlsFront::ended);
        // The panel's loop closed the line (it exits): the session closes once sent.
        connect(plain_, &QLocalSocket::disconnected, session_, [this] { session_->disconnectFromHost(); });
        server_->pauseAccepting();
        plain_->write(session_->readAll());
        const int fd = pair[0];
        (void)!::write(handOver_, &fd, sizeof fd);
    }

    // The program closed the session: the panel's loop sees the line end, and the next
    // connection is taken.
    void ended()
    {
        if (!session_)
            return;
        plain_->flush();
        plain_->abort();
        session_->deleteLater();
        plain_->deleteLater();
        session_ = nullptr;
        plain_ = nullptr;
        server_->resumeAccepting();
        take();
    }

    void note(const QString& text)
    {
        {
            const QMutexLocker lock(&mutex_);
            notes_ << text;
        }
        (void)!::write(handOver_, &kNotesWaiting, sizeof kNotesWaiting);
    }

    QSslConfiguration configuration_;
    int listener_;
    int handOver_;
    QSslServer* server_ = nullptr;
    QSslSocket* session_ = nullptr;
    QLocalSocket* plain_ = nullptr;
    QMutex mutex_;
    QStringList notes_;
};

// The thread the sessions of every TLS port live in; it ends with the last port.
class TlsThread {
public:
    TlsThread()
    {
        anchor_.moveToThread(&thread_);
        thread_.start();
    }
    ~TlsThread()
    {
        // What the TLS library keeps for the thread (the errors of refused handshakes)
        // goes with it.
        QMetaObject::invokeMethod(&anchor_, [] { OPENSSL_thread_stop(); }, Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
    }
    TlsThread(const TlsThread&) = delete;
    TlsThread& operator=(const TlsThread&) = delete;

    QThread* thread() { return &thread_; }

private:
    QThread thread_;
    QObject anchor_;
};

// The certificate, key and authorities of the options, read once for every port.
Result<QSslConfiguration> serverConfiguration(const Options& options)
{
    if (!QSslSocket::supportsSsl())
        return failure(QStringLiteral("TLS is not available: Qt finds no TLS backend on this machine"));
    const Result<QList<QSslCertificate>> chain =
        readCertificates(QStringLiteral("--tls-cert"), options.tlsCert, std::nullopt);
    if (!chain)
        return chain.error();
    const Result<QSslKey> key =
        readPrivateKey(QStringLiteral("--tls-key"), options.tlsKey, chain->front(), QStringLiteral("--tls-cert"));
    if (!key)
        return key.error();
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setProtocol(QSsl::TlsV1_2OrLater);
    configuration.setLocalCertificateChain(*chain);
    configuration.setPrivateKey(*key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    if (!options.tlsClientCa.isEmpty()) {
        const Result<QList<QSslCertificate>> authorities =
            readCertificates(QStringLiteral("--tls-client-ca"), options.tlsClientCa, std::nullopt);
        if (!authorities)
            return authorities.error();
        configuration.setCaCertificates(*authorities);
        configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
        // A client without a certificate is refused in the handshake, with its alert.
        configuration.setMissingCertificateIsFatal(true);
        configuration.setHandshakeMustInterruptOnError(true);
    }
    return configuration;
}

class TlsPort final : public ConnectionPort {
public:
    explicit TlsPort(std::shared_ptr<TlsThread> thread) : thread_(std::move(thread)) {}
    ~TlsPort() override
    {
        if (front_) {
            QMetaObject::invokeMethod(
                front_,
                [this] {
                    front_->finish();
                    delete front_;
                },
                Qt::BlockingQueuedConnection);
        }
        for (const int fd : handOver_) {
            if (fd >= 0)
                ::close(fd);
        }
    }

    Result<void> listen(const QSslConfiguration& configuration, const TcpEndpoint& endpoint)
    {
        const Result<Listener> listener = openListener(endpoint);
        if (!listener)
            return listener.error();
        name_ = "tls://" + endpoint.host.toLocal8Bit() + ':' + QByteArray::number(listener->port);
        if (::pipe2(handOver_, O_CLOEXEC | O_NONBLOCK) != 0) {
            ::close(listener->fd);
            return failure(QStringLiteral("cannot make a pipe: %1").arg(systemReason(errno)));
        }
        front_ = new TlsFront(configuration, listener->fd, handOver_[1]);
        front_->moveToThread(thread_->thread());
        bool started = false;
        QMetaObject::invokeMethod(front_, [this, &started] { started = front_->start(); }, Qt::BlockingQueuedConnection);
        if (!started)
            return failure(QStringLiteral("cannot serve TLS on %1").arg(QString::fromLocal8Bit(name_)));
        return {};
    }

    // The hand-over is only watched while no connection is served.
    int watch() const override { return connection_ < 0 ? handOver_[0] : -1; }

    QStringList followEvents() override
    {
        QStringList notes;
        int item = 0;
        while (connection_ < 0 && ::read(handOver_[0], &item, sizeof item) == static_cast<ssize_t>(sizeof item)) {
            if (item == kNotesWaiting) {
                notes << front_->takeNotes();
                continue;
            }
            connection_ = item;
            notes << QStringLiteral("connection taken, TLS session under way");
        }
        return notes;
    }

private:
    std::shared_ptr<TlsThread> thread_;
    TlsFront* front_ = nullptr;  // in the thread
    int handOver_[2] = {-1, -1};
};

}  // namespace

Result<Devices> listenTls(const Options& options)
{
    const Result<QSslConfiguration> configuration = serverConfiguration(options);
    if (!configuration)
        return configuration.error();
    auto thread = std::make_shared<TlsThread>();
    Devices devices;
    for (int panel = 1; panel <= options.panels; ++panel) {
        auto port = std::make_unique<TlsPort>(thread);
        const Result<void> listening = port->listen(*configuration, endpointOf(options, panel));
        devices.push_back(std::move(port));
        if (!listening)
            return listening.error();
    }
    return devices;
}

}  // namespace dnp::sim
