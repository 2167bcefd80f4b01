#include "comm/TlsLink.h"

#include <QSslConfiguration>
#include <QSslSocket>
#include <algorithm>

namespace dnp {
namespace {

// The alerts by which a server refuses the client certificate it was offered (a
// certificate whose issuer bears the name of an authority the server trusts, but not its
// signature, is refused with decrypt_error).
constexpr QSsl::AlertType kClientCertificateRefusals[] = {
    QSsl::AlertType::BadCertificate,     QSsl::AlertType::UnsupportedCertificate, QSsl::AlertType::CertificateRevoked,
    QSsl::AlertType::CertificateExpired, QSsl::AlertType::CertificateUnknown,     QSsl::AlertType::UnknownCa,
    QSsl::AlertType::AccessDenied,       QSsl::AlertType::DecryptError,
};

}  // namespace

TlsLink::TlsLink(LinkTarget linkTarget) : TcpLink(std::move(linkTarget), std::make_unique<QSslSocket>())
{
    QObject::connect(&ssl(), &QSslSocket::peerVerifyError, this, &TlsLink::certificateFoundWanting);
    QObject::connect(&ssl(), &QSslSocket::sslErrors, this, [this](const QList<QSslError>& errors) {
        if (!refused(errors))
            ssl().ignoreSslErrors();  // this very certificate is trusted, whoever issued it
    });
    QObject::connect(&ssl(), &QSslSocket::encrypted, this, &TlsLink::encrypted);
    QObject::connect(&ssl(), &QSslSocket::alertReceived, this, &TlsLink::alertReceived);
}

QSslSocket& TlsLink::ssl() const { return static_cast<QSslSocket&>(socket()); }

QString TlsLink::told(const QString& what) const { return target().label() + QStringLiteral(": ") + what; }

void TlsLink::open(const LineSettings& line)
{
    close();
    handshaking_ = false;
    refusal_.clear();
    untrusted_.reset();
    if (!QSslSocket::supportsSsl()) {
        emit failed(told(QStringLiteral("TLS is not available: Qt finds no TLS backend on this machine.")));
        return;
    }
    Result<TlsCredentials> credentials = loadTlsCredentials(target().tls, QDateTime::currentDateTimeUtc());
    if (!credentials) {
        emit failed(credentials.error().message);
        return;
    }
    credentials_ = std::move(credentials).value();
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setProtocol(QSsl::TlsV1_2OrLater);
    configuration.setCiphers(forwardSecretAeadCiphers());
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    // With a fingerprint set, that certificate alone is trusted: no authority vouches for
    // any, so every certificate is weighed against the fingerprint during the handshake.
    if (!credentials_.fingerprint.isEmpty())
        configuration.setCaCertificates({});
    else if (!credentials_.authorities.isEmpty())
        configuration.setCaCertificates(credentials_.authorities);
    if (!credentials_.certificate.isNull()) {
        configuration.setLocalCertificate(credentials_.certificate);
        configuration.setPrivateKey(credentials_.key);
    }
    ssl().setSslConfiguration(configuration);
    TcpLink::open(line);
}

void TlsLink::connected()
{
    handshaking_ = true;
    ssl().startClientEncryption();
}

std::optional<QString> TlsLink::otherFingerprint() const
{
    const QByteArray fingerprint = fingerprintOf(ssl().peerCertificate());
    if (credentials_.fingerprint.isEmpty() || fingerprint == credentials_.fingerprint)
        return std::nullopt;
    return told(QStringLiteral("the certificate's fingerprint %1 differs from the one in the settings.")
                    .arg(fingerprintText(fingerprint)));
}

bool TlsLink::refused(const QList<QSslError>& errors)
{
    if (!refusal_.isEmpty())
        return true;
    if (credentials_.fingerprint.isEmpty()) {
        untrusted_ = ssl().peerCertificate();
        refusal_ = told(serverCertificateProblem(errors, *untrusted_, ssl().peerName()));
    } else if (const std::optional<QString> other = otherFingerprint()) {
        refusal_ = *other;
    }
    return !refusal_.isEmpty();
}

// Ended at once: the rest of the handshake, with the client certificate, never leaves.
void TlsLink::certificateFoundWanting(const QSslError& error)
{
    if (!refused({error}))
        return;
    ssl().abort();
    fail(refusal_);
}

void TlsLink::encrypted()
{
    handshaking_ = false;
    if (const std::optional<QString> other = otherFingerprint()) {
        refusal_ = *other;
        fail(refusal_);
        return;
    }
    becomeOpen();
}

// With TLS 1.3 the server's word on the client certificate comes after the handshake has
// ended on this side: it may follow the line's opening.
void TlsLink::alertReceived(QSsl::AlertLevel level, QSsl::AlertType type, const QString& description)
{
    if (level != QSsl::AlertLevel::Fatal || !refusal_.isEmpty())
        return;
    const bool offered = !credentials_.certificate.isNull();
    // The server has chosen a cipher suite once it answered the client's hello.
    const bool answered = !ssl().sessionCipher().isNull();
    if (type == QSsl::AlertType::HandshakeFailure && !answered)
        refusal_ = told(QStringLiteral("the server shares no cipher suite with this program, which takes only TLS 1.3 "
                                       "or TLS 1.2 with ECDHE and AES-GCM or ChaCha20-Poly1305."));
    else if (type == QSsl::AlertType::CertificateRequired || (type == QSsl::AlertType::HandshakeFailure && !offered))
        refusal_ = told(QStringLiteral("the server asked for a client certificate."));
    else if (offered && std::ranges::find(kClientCertificateRefusals, type) != std::end(kClientCertificateRefusals))
        refusal_ = told(QStringLiteral("the server refused the client certificate."));
    else if (type == QSsl::AlertType::ProtocolVersion)
        refusal_ = told(QStringLiteral("the server does not speak TLS 1.2 or later."));
    else
        refusal_ = told(QStringLiteral("the server ended the TLS session: %1.").arg(description));
}

QString TlsLink::failureText(QAbstractSocket::SocketError error) const
{
    if (!refusal_.isEmpty())
        return refusal_;
    if (handshaking_)
        return told(QStringLiteral("the server does not speak TLS."));
    return TcpLink::failureText(error);
}

}  // namespace dnp
