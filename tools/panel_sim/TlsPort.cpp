// The simulator's TCP port in TLS. A thread of its own takes each connection and holds
// its TLS session, and hands the plain bytes to the panel's loop over a socket pair: the
// loop reads and writes the line as it does a plain TCP connection, paced alike. One
// connection is served at a time; the next waits in the backlog.

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
    // A session is ready: its plain end goes to the panel's loop.
    void take()
    {
        if (session_)
            return;
        auto* session = qobject_cast<QSslSocket*>(server_->nextPendingConnection());
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

class TlsPort final : public ConnectionPort {
public:
    ~TlsPort() override
    {
        if (front_) {
            QMetaObject::invokeMethod(
                front_,
                [this] {
                    front_->finish();
                    delete front_;
                    // What the TLS library keeps for this thread (the errors of refused
                    // handshakes) goes with it.
                    OPENSSL_thread_stop();
                },
                Qt::BlockingQueuedConnection);
        }
        thread_.quit();
        thread_.wait();
        for (const int fd : handOver_) {
            if (fd >= 0)
                ::close(fd);
        }
    }

    Result<void> listen(const Options& options)
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
        const Result<Listener> listener = openListener(*options.tcp);
        if (!listener)
            return listener.error();
        name_ = "tls://" + options.tcp->host.toLocal8Bit() + ':' + QByteArray::number(listener->port);
        if (::pipe2(handOver_, O_CLOEXEC | O_NONBLOCK) != 0) {
            ::close(listener->fd);
            return failure(QStringLiteral("cannot make a pipe: %1").arg(systemReason(errno)));
        }
        front_ = new TlsFront(configuration, listener->fd, handOver_[1]);
        front_->moveToThread(&thread_);
        thread_.start();
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
    QThread thread_;
    TlsFront* front_ = nullptr;  // in thread_
    int handOver_[2] = {-1, -1};
};

}  // namespace

Result<std::unique_ptr<Device>> listenTls(const Options& options)
{
    auto port = std::make_unique<TlsPort>();
    if (auto listening = port->listen(options); !listening)
        return listening.error();
    return std::unique_ptr<Device>(std::move(port));
}

}  // namespace dnp::sim
