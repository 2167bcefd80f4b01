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

// A certificate refused for its issuer, dates or name may be trusted by the user; one
// that is not the pinned one may not.
std::optional<QSslCertificate> TlsLink::refusedCertificate() const
{
    if (!refusal_ || !refusal_->certificate || refusal_->certificate->problem == CertificateProblem::OtherFingerprint)
        return std::nullopt;
    return refusal_->certificate->certificate;
}

void TlsLink::open(const LineSettings& line)
{
    close();
    handshaking_ = false;
    refusal_.reset();
    if (!QSslSocket::supportsSsl()) {
        emit failed(failureOf(LinkFault::NoTlsBackend));
        return;
    }
    Result<TlsCredentials> credentials = loadTlsCredentials(target().tls, QDateTime::currentDateTimeUtc());
    if (!credentials) {
        emit failed(failureOf(LinkFault::SettingRefused, credentials.error().message));
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

LinkFailure TlsLink::certificateRefused(CertificateProblem problem) const
{
    LinkFailure failure = failureOf(LinkFault::CertificateRefused);
    failure.certificate = RefusedCertificate{problem, ssl().peerCertificate(), ssl().peerName()};
    return failure;
}

std::optional<LinkFailure> TlsLink::otherFingerprint() const
{
    if (credentials_.fingerprint.isEmpty() || fingerprintOf(ssl().peerCertificate()) == credentials_.fingerprint)
        return std::nullopt;
    return certificateRefused(CertificateProblem::OtherFingerprint);
}

bool TlsLink::refused(const QList<QSslError>& errors)
{
    if (refusal_)
        return true;
    if (credentials_.fingerprint.isEmpty())
        refusal_ = certificateRefused(certificateProblem(errors));
    else
        refusal_ = otherFingerprint();
    return refusal_.has_value();
}

// Ended at once: the rest of the handshake, with the client certificate, never leaves.
void TlsLink::certificateFoundWanting(const QSslError& error)
{
    if (!refused({error}))
        return;
    ssl().abort();
    fail(*refusal_);
}

void TlsLink::encrypted()
{
    handshaking_ = false;
    refusal_ = otherFingerprint();
    if (refusal_) {
        fail(*refusal_);
        return;
    }
    becomeOpen();
}

// With TLS 1.3 the server's word on the client certificate comes after the handshake has
// ended on this side: it may follow the line's opening.
void TlsLink::alertReceived(QSsl::AlertLevel level, QSsl::AlertType type, const QString& description)
{
    if (level != QSsl::AlertLevel::Fatal || refusal_)
        return;
    const bool offered = !credentials_.certificate.isNull();
    // The server has chosen a cipher suite once it answered the client's hello.
    const bool answered = !ssl().sessionCipher().isNull();
    if (type == QSsl::AlertType::HandshakeFailure && !answered)
        refusal_ = failureOf(LinkFault::NoSharedSuite);
    else if (type == QSsl::AlertType::CertificateRequired || (type == QSsl::AlertType::HandshakeFailure && !offered))
        refusal_ = failureOf(LinkFault::ClientCertificateAsked);
    else if (offered && std::ranges::find(kClientCertificateRefusals, type) != std::end(kClientCertificateRefusals))
        refusal_ = failureOf(LinkFault::ClientCertificateRefused);
    else if (type == QSsl::AlertType::ProtocolVersion)
        refusal_ = failureOf(LinkFault::OldTls);
    else
        refusal_ = failureOf(LinkFault::TlsSessionEnded, description);
}

LinkFailure TlsLink::socketFailure(QAbstractSocket::SocketError error) const
{
    if (refusal_)
        return *refusal_;
    if (handshaking_)
        return failureOf(LinkFault::NotTls);
    return TcpLink::socketFailure(error);
}

}  // namespace dnp
