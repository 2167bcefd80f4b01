#include "comm/Tls.h"

#include "files/FileAccess.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSslConfiguration>
#include <algorithm>
#include <cctype>
#include <memory>
#include <sys/stat.h>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

namespace dnp {
namespace {

constexpr int kFingerprintBytes = 32;

// The ciphers of TLS 1.2 that authenticate what they encrypt (AEAD), as the TLS library
// names them; with TLS 1.3 every suite does, and every key exchange is ephemeral.
constexpr QLatin1StringView kAeadEncryptions[] = {QLatin1StringView("AESGCM("), QLatin1StringView("CHACHA20/POLY1305(")};
// An ephemeral elliptic-curve Diffie-Hellman key exchange (ECDHE): the only one of TLS 1.2
// taken, for its forward secrecy.
constexpr QLatin1StringView kEphemeralKeyExchange("ECDH");
// The permissions by which users other than a file's owner may read it.
constexpr mode_t kReadableByOthers = S_IRGRP | S_IROTH;

// The parts of a name, most particular first, and how a name writes them.
struct NamePart {
    QSslCertificate::SubjectInfo info;
    const char* label;
};
constexpr NamePart kNameParts[] = {
    {QSslCertificate::CommonName, "CN"},
    {QSslCertificate::OrganizationalUnitName, "OU"},
    {QSslCertificate::Organization, "O"},
    {QSslCertificate::LocalityName, "L"},
    {QSslCertificate::StateOrProvinceName, "ST"},
    {QSslCertificate::CountryName, "C"},
};

template <typename Info>
QString nameText(Info info)
{
    QStringList parts;
    for (const NamePart& part : kNameParts)
        for (const QString& value : info(part.info))
            parts << QStringLiteral("%1=%2").arg(QLatin1String(part.label), value);
    return parts.join(QStringLiteral(", "));
}

// The key formats a key file may hold.
constexpr QSsl::KeyAlgorithm kKeyAlgorithms[] = {QSsl::Rsa, QSsl::Ec, QSsl::Dsa};
constexpr QSsl::EncodingFormat kEncodings[] = {QSsl::Pem, QSsl::Der};

// Never asks for a passphrase (the library's own asks on the terminal): a key that
// needs one does not read.
int noPassphrase(char*, int, int, void*)
{
    return 0;
}

// Whether `keyFile` holds the private key of `certificate`, as the TLS library checks it.
bool keyFits(const QByteArray& keyFile, const QSslCertificate& certificate)
{
    const QByteArray der = certificate.toDer();
    const auto* derBytes = reinterpret_cast<const unsigned char*>(der.constData());
    const std::unique_ptr<X509, decltype(&X509_free)> x509(d2i_X509(nullptr, &derBytes, der.size()), X509_free);
    const std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(keyFile.constData(), static_cast<int>(keyFile.size())),
                                                        BIO_free);
    EVP_PKEY* read = PEM_read_bio_PrivateKey(bio.get(), nullptr, noPassphrase, nullptr);
    if (!read) {
        const auto* keyBytes = reinterpret_cast<const unsigned char*>(keyFile.constData());
        read = d2i_AutoPrivateKey(nullptr, &keyBytes, keyFile.size());
    }
    const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(read, EVP_PKEY_free);
    return x509 && key && X509_check_private_key(x509.get(), key.get()) == 1;
}

// A private key other users may read is no one's own: refused, as ssh refuses it.
Result<void> checkKeyIsPrivate(const QString& setting, const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || (info.st_mode & kReadableByOthers) == 0)
        return {};  // what cannot be looked at is told when it is read
    const QString mode = QStringLiteral("%1").arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return failure(QStringLiteral("%1: %2 is readable by other users (mode %3): allow only its owner to read it "
                                  "(chmod 600 %2).")
                       .arg(setting, path, mode));
}

Result<QByteArray> readTlsFile(const QString& setting, const QString& path, const QString& what)
{
    Result<QByteArray> bytes = readInputFile(path, kMaxTlsFileBytes, what);
    if (!bytes)
        return failure(QStringLiteral("%1: %2").arg(setting, bytes.error().message));
    return bytes;
}

}  // namespace

Result<QList<QSslCertificate>> readCertificates(const QString& setting, const QString& path,
                                                const std::optional<QDateTime>& validAt)
{
    const Result<QByteArray> bytes = readTlsFile(setting, path, QStringLiteral("a certificate file"));
    if (!bytes)
        return bytes.error();
    QList<QSslCertificate> certificates = QSslCertificate::fromData(*bytes, QSsl::Pem);
    if (certificates.isEmpty())
        certificates = QSslCertificate::fromData(*bytes, QSsl::Der);
    certificates.removeIf([](const QSslCertificate& c) { return c.isNull(); });
    if (certificates.isEmpty())
        return failure(QStringLiteral("%1: %2 holds no certificate (PEM or DER).").arg(setting, path));
    for (const QSslCertificate& c : validAt ? certificates : QList<QSslCertificate>{}) {
        if (c.expiryDate() < *validAt)
            return failure(QStringLiteral("%1: %2: the certificate %3 expired on %4.")
                               .arg(setting, path, subjectText(c), dayText(c.expiryDate())));
        if (c.effectiveDate() > *validAt)
            return failure(QStringLiteral("%1: %2: the certificate %3 is not valid before %4.")
                               .arg(setting, path, subjectText(c), dayText(c.effectiveDate())));
    }
    return certificates;
}

Result<QSslKey> readPrivateKey(const QString& setting, const QString& path, const QSslCertificate& certificate,
                               const QString& certificateSetting)
{
    const Result<QByteArray> bytes = readTlsFile(setting, path, QStringLiteral("a key file"));
    if (!bytes)
        return bytes.error();
    for (const QSsl::EncodingFormat encoding : kEncodings)
        for (const QSsl::KeyAlgorithm algorithm : kKeyAlgorithms) {
            const QSslKey key(*bytes, algorithm, encoding, QSsl::PrivateKey);
            if (key.isNull())
                continue;
            if (!keyFits(*bytes, certificate))
                return failure(QStringLiteral("%1: %2 is not the key of the certificate in %3 (%4).")
                                   .arg(setting, path, certificateSetting, subjectText(certificate)));
            return key;
        }
    return failure(
        QStringLiteral("%1: %2 holds no private key (PEM or DER; RSA, EC or DSA; without a passphrase).").arg(setting, path));
}

Result<TlsCredentials> loadTlsCredentials(const TlsSettings& settings, const QDateTime& now)
{
    TlsCredentials credentials;
    if (!settings.fingerprint.isEmpty()) {
        const Result<QByteArray> pinned = parseFingerprint(settings.fingerprint);
        if (!pinned)
            return failure(QStringLiteral("TlsFingerprint=") + pinned.error().message);
        credentials.fingerprint = *pinned;
    }
    if (!settings.ca.isEmpty()) {
        Result<QList<QSslCertificate>> authorities = readCertificates(QStringLiteral("TlsCa"), settings.ca, now);
        if (!authorities)
            return authorities.error();
        credentials.authorities = std::move(authorities).value();
    }
    if (settings.cert.isEmpty() != settings.key.isEmpty())
        return failure(settings.cert.isEmpty()
                           ? QStringLiteral("TlsKey is set without TlsCert: a client certificate needs both.")
                           : QStringLiteral("TlsCert is set without TlsKey: a client certificate needs both."));
    if (!settings.cert.isEmpty()) {
        const Result<QList<QSslCertificate>> certificate = readCertificates(QStringLiteral("TlsCert"), settings.cert, now);
        if (!certificate)
            return certificate.error();
        credentials.certificate = certificate->front();
        if (const Result<void> ownKey = checkKeyIsPrivate(QStringLiteral("TlsKey"), settings.key); !ownKey)
            return ownKey.error();
        Result<QSslKey> key =
            readPrivateKey(QStringLiteral("TlsKey"), settings.key, credentials.certificate, QStringLiteral("TlsCert"));
        if (!key)
            return key.error();
        credentials.key = std::move(key).value();
    }
    return credentials;
}

Result<QByteArray> parseFingerprint(QStringView text)
{
    const auto hex = [](QChar c) { return c.unicode() < 0x80 && std::isxdigit(static_cast<unsigned char>(c.unicode())); };
    const auto refused = [&text] {
        return failure(QStringLiteral("%1 is not a SHA-256 fingerprint: 64 hex digits, colons allowed.").arg(text));
    };
    QByteArray digits;
    for (const QStringView pairs : text.split(QLatin1Char(':'))) {
        if (pairs.isEmpty() || pairs.size() % 2 != 0 || !std::all_of(pairs.begin(), pairs.end(), hex))
            return refused();
        digits += pairs.toLatin1();
    }
    if (digits.size() != 2 * kFingerprintBytes)
        return refused();
    return QByteArray::fromHex(digits);
}

QList<QSslCipher> forwardSecretAeadCiphers()
{
    QList<QSslCipher> ciphers = QSslConfiguration::supportedCiphers();
    ciphers.removeIf([](const QSslCipher& cipher) {
        const bool aead = std::any_of(std::begin(kAeadEncryptions), std::end(kAeadEncryptions),
                                      [&cipher](QLatin1StringView name) { return cipher.encryptionMethod().startsWith(name); });
        return cipher.protocol() != QSsl::TlsV1_3 && !(cipher.keyExchangeMethod() == kEphemeralKeyExchange && aead);
    });
    return ciphers;
}

QString fingerprintText(const QByteArray& sha256)
{
    return QString::fromLatin1(sha256.toHex(':').toUpper());
}

QByteArray fingerprintOf(const QSslCertificate& certificate)
{
    return certificate.digest(QCryptographicHash::Sha256);
}

CertificateProblem certificateProblem(const QList<QSslError>& errors)
{
    const auto found = [&errors](QSslError::SslError kind) {
        return std::any_of(errors.begin(), errors.end(), [kind](const QSslError& e) { return e.error() == kind; });
    };
    const bool untrusted = std::any_of(errors.begin(), errors.end(), [](const QSslError& e) {
        return e.error() != QSslError::HostNameMismatch && e.error() != QSslError::CertificateExpired &&
               e.error() != QSslError::CertificateNotYetValid;
    });
    if (untrusted)
        return CertificateProblem::Untrusted;
    if (found(QSslError::CertificateExpired))
        return CertificateProblem::Expired;
    if (found(QSslError::CertificateNotYetValid))
        return CertificateProblem::NotYetValid;
    return CertificateProblem::OtherHost;
}

// A name as "CN=Substation CA, O=Utility, C=US".
QString issuerText(const QSslCertificate& certificate)
{
    return nameText([&certificate](QSslCertificate::SubjectInfo info) { return certificate.issuerInfo(info); });
}

QString subjectText(const QSslCertificate& certificate)
{
    return nameText([&certificate](QSslCertificate::SubjectInfo info) { return certificate.subjectInfo(info); });
}

QString dayText(const QDateTime& when)
{
    return when.toUTC().date().toString(Qt::ISODate);
}

}  // namespace dnp
