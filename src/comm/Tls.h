#pragma once
// What a tls:// link trusts and offers, read from the settings ([Comm] TlsCa,
// TlsFingerprint, TlsCert, TlsKey) and checked before any connection is made; and what is
// wrong with a server's certificate (comm/TransferText.h tells it).

#include "model/Result.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSslCertificate>
#include <QSslCipher>
#include <QSslError>
#include <QSslKey>
#include <QString>
#include <QStringView>
#include <optional>

namespace dnp {

// The TLS settings of a transfer, as the settings file holds them.
struct TlsSettings {
    QString ca;           // the authorities trusted; empty: the system's
    QString fingerprint;  // the SHA-256 fingerprint of the one server certificate trusted; empty: none
    QString cert;         // the client certificate offered; empty: none
    QString key;          // its private key
    bool operator==(const TlsSettings&) const = default;
};

// The settings read: the files loaded and checked.
struct TlsCredentials {
    QList<QSslCertificate> authorities;  // empty: the system's
    QByteArray fingerprint;              // 32 bytes; empty: no certificate pinned
    QSslCertificate certificate;         // null: no client certificate
    QSslKey key;
};

// No certificate or key file approaches this size.
inline constexpr qint64 kMaxTlsFileBytes = 1024 * 1024;

// The certificates of a PEM or DER file, each valid at `validAt` (nothing: their dates
// are not looked at). `setting` names the file in a refusal ("TlsCa: /etc/dnp/ca.pem holds
// no certificate (PEM or DER).", "TlsCert: /etc/dnp/desk.pem: the certificate CN=desk
// expired on 2025-01-31.").
Result<QList<QSslCertificate>> readCertificates(const QString& setting, const QString& path,
                                                const std::optional<QDateTime>& validAt);
// The private key of a PEM or DER file (RSA, EC or DSA, without a passphrase), which
// must be the key of `certificate` (read from `certificateSetting`'s file).
Result<QSslKey> readPrivateKey(const QString& setting, const QString& path, const QSslCertificate& certificate,
                               const QString& certificateSetting);
// The settings read, or the first refusal: a file that cannot be read or holds no
// certificate or key, a certificate out of date, a key file other users may read, a key
// that is not the certificate's, a client certificate without its key (or a key without
// its certificate), a fingerprint that is not 64 hex digits.
Result<TlsCredentials> loadTlsCredentials(const TlsSettings& settings, const QDateTime& now);

// A fingerprint as written (64 hex digits, in pairs that colons may separate: "3F:A0:..."
// or "3FA0...") as its 32 bytes; anything else is refused ("3F:A0 is not a SHA-256
// fingerprint: 64 hex digits, colons allowed.").
Result<QByteArray> parseFingerprint(QStringView text);
// "3F:A0:...", the 32 bytes as pairs of hex digits in capitals.
QString fingerprintText(const QByteArray& sha256);
QByteArray fingerprintOf(const QSslCertificate& certificate);
// The cipher suites a tls:// link offers: those of TLS 1.3, and those of TLS 1.2 with an
// ephemeral elliptic-curve key exchange (forward secrecy) and an AEAD cipher (AES-GCM,
// ChaCha20-Poly1305). Static RSA key exchange and CBC ciphers are never offered.
QList<QSslCipher> forwardSecretAeadCiphers();

// Why a server's certificate is refused: no trusted authority vouches for it, it is out of
// date (expired, not yet valid), it names another host; or, with a fingerprint set, it is
// another certificate.
enum class CertificateProblem { Untrusted, Expired, NotYetValid, OtherHost, OtherFingerprint };
// The first thing wrong with a certificate in which the handshake found `errors` (its
// issuer, dates or name), in the order above.
CertificateProblem certificateProblem(const QList<QSslError>& errors);

// A server's certificate refused, and the host it was asked for.
struct RefusedCertificate {
    CertificateProblem problem = CertificateProblem::Untrusted;
    QSslCertificate certificate;
    QString host;
    bool operator==(const RefusedCertificate&) const = default;
};

// A certificate's subject or issuer as "CN=Substation CA, O=Utility, C=US"; a day as
// "2025-01-31" (UTC).
QString subjectText(const QSslCertificate& certificate);
QString issuerText(const QSslCertificate& certificate);
QString dayText(const QDateTime& when);

}  // namespace dnp
