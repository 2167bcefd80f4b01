#pragma once
// The line to a panel behind a terminal server that speaks TLS (tls://HOST:PORT): the
// TCP connection of a terminal server with a TLS session in it (TLS 1.3, or TLS 1.2 with
// a forward-secret AEAD suite), carrying the serial line byte for byte. The server must show a certificate that a trusted
// authority vouches for (the system's, or those of [Comm] TlsCa) and that names the host,
// or, when a fingerprint is set, exactly that certificate; a client certificate is
// offered when one is set. Any failure ends the line before it opens, saying what failed;
// nothing is tried over plain TCP.

#include "comm/TcpLink.h"

#include <QSsl>

class QSslSocket;

namespace dnp {

class TlsLink : public TcpLink {
    Q_OBJECT
public:
    explicit TlsLink(LinkTarget target);

    // The settings' files are read and checked first (a refusal names the setting and
    // the file, and no connection is made); then the connection, then the handshake,
    // and `opened` once the server is trusted.
    void open(const LineSettings& line) override;
    std::optional<QSslCertificate> refusedCertificate() const override;

private:
    void connected() override;
    LinkFailure socketFailure(QAbstractSocket::SocketError error) const override;
    QSslSocket& ssl() const;
    // Whether the server's certificate, in which the handshake found `errors` (its issuer,
    // dates or name), is refused: any such certificate, unless it is the one whose
    // fingerprint is set. The refusal is kept.
    bool refused(const QList<QSslError>& errors);
    // The handshake found something wrong with the server's certificate: a certificate
    // refused ends it there, before a client certificate is sent.
    void certificateFoundWanting(const QSslError& error);
    // The refusal of a server whose certificate is not the one whose fingerprint is set;
    // nothing when none is set, or it is that one.
    std::optional<LinkFailure> otherFingerprint() const;
    LinkFailure certificateRefused(CertificateProblem problem) const;
    void encrypted();
    // A fatal alert of the server, told for what it means: no shared suite (it came before
    // the server answered the hello), a client certificate asked for or refused, a TLS too
    // old, else the alert itself.
    void alertReceived(QSsl::AlertLevel level, QSsl::AlertType type, const QString& description);

    TlsCredentials credentials_;
    bool handshaking_ = false;
    std::optional<LinkFailure> refusal_;  // why the server was refused, once known
};

}  // namespace dnp
