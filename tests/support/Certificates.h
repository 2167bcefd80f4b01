#pragma once
// Certificates made for a test in its own folder with the openssl command: an authority
// (CN=Test CA); server certificates it signed for 127.0.0.1 ("server", and "rsa" with an
// RSA key), for sub4.example ("misnamed"), for the address 10.9.8.7 alone ("gateway",
// CN=panel-gw) and one that expired yesterday ("expired"); a client certificate it signed
// ("client", CN=desk); a client certificate nobody signed ("stranger"), one signed by
// another authority of the same name ("foreign", CN=desk, without key identifiers, so
// that only the signature tells the authorities apart); and one valid from 2099-01-01
// ("future"). Each is NAME.pem with its key NAME.key (only its owner may read it); EC keys
// but one, quick to make. `OpensslServer` serves them with the openssl command.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QStringList>

namespace dnp::test {

class Certificates {
public:
    explicit Certificates(const QString& folder) : dir_(folder)
    {
        made_ = openssl({"req", "-x509", "-days", "30", "-subj", "/CN=Test CA", "-keyout", "ca.key", "-out", "ca.pem"}) &&
                signed_("server", "127.0.0.1", "subjectAltName=IP:127.0.0.1", "30") &&
                signed_("rsa", "127.0.0.1", "subjectAltName=IP:127.0.0.1", "30", "rsa:2048") &&
                signed_("misnamed", "sub4.example", "subjectAltName=DNS:sub4.example", "30") &&
                signed_("gateway", "panel-gw", "subjectAltName=IP:10.9.8.7", "30") &&
                signed_("expired", "127.0.0.1", "subjectAltName=IP:127.0.0.1", "-1") &&
                signed_("client", "desk", "subjectAltName=DNS:desk", "30") &&
                openssl({"req", "-x509", "-days", "30", "-subj", "/CN=stranger", "-keyout", "stranger.key", "-out",
                         "stranger.pem"}) &&
                openssl({"req", "-x509", "-days", "30", "-subj", "/CN=Test CA", "-keyout", "other-ca.key", "-out",
                         "other-ca.pem"}) &&
                signed_("foreign", "desk",
                        "subjectAltName=DNS:desk\nauthorityKeyIdentifier=none\nsubjectKeyIdentifier=none", "30", kEcKey,
                        "other-ca") &&
                future();
    }

    bool made() const { return made_; }
    QString pem(const QString& name) const { return dir_.filePath(name + ".pem"); }
    QString key(const QString& name) const { return dir_.filePath(name + ".key"); }
    QSslCertificate certificate(const QString& name) const { return QSslCertificate::fromPath(pem(name)).value(0); }
    // The simulator's options to serve the certificate `name`.
    QStringList serve(const QString& name) const { return {"--tls-cert", pem(name), "--tls-key", key(name)}; }

    QString folder() const { return dir_.path(); }

private:
    static constexpr const char* kEcKey = "ec";

    // A new key (no passphrase; EC unless named) for each certificate; openssl in the folder.
    bool openssl(QStringList args, const QString& key = kEcKey)
    {
        if (args.front() == QLatin1String("req")) {
            args << "-newkey" << key << "-nodes";
            if (key == QLatin1String(kEcKey))
                args << "-pkeyopt" << "ec_paramgen_curve:P-256";
        }
        QProcess process;
        process.setWorkingDirectory(dir_.path());
        process.start(QStringLiteral("openssl"), args);
        return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }
    bool write(const QString& name, const QByteArray& bytes) const
    {
        QFile file(dir_.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
    // A certificate `authority` signed, with the lines of `extensions`.
    bool signed_(const QString& name, const QString& commonName, const QString& extensions, const QString& days,
                 const QString& key = kEcKey, const QString& authority = "ca")
    {
        return openssl({"req", "-subj", "/CN=" + commonName, "-keyout", name + ".key", "-out", name + ".csr"}, key) &&
               write(name + ".ext", (extensions + "\n").toUtf8()) &&
               openssl({"x509", "-req", "-in", name + ".csr", "-CA", authority + ".pem", "-CAkey", authority + ".key",
                        "-set_serial", QString::number(++serial_), "-days", days, "-extfile", name + ".ext", "-out",
                        name + ".pem"});
    }
    // openssl x509 starts a certificate now: `openssl ca` can start it later.
    bool future()
    {
        return write("future.cnf", "[ca]\ndefault_ca=f\n[f]\ndatabase=future.db\nnew_certs_dir=.\nserial=future.serial\n"
                                   "default_md=sha256\npolicy=p\n[p]\ncommonName=supplied\n") &&
               write("future.db", {}) && write("future.serial", "01\n") &&
               openssl({"req", "-subj", "/CN=future", "-keyout", "future.key", "-out", "future.csr"}) &&
               openssl({"ca", "-batch", "-config", "future.cnf", "-selfsign", "-keyfile", "future.key", "-in", "future.csr",
                        "-startdate", "20990101000000Z", "-enddate", "20991231000000Z", "-out", "future.pem"});
    }

    QDir dir_;
    int serial_ = 0;
    bool made_ = false;
};

// openssl s_server on a free loopback port for one connection, serving the certificate
// `served` with `options`; it ends with that connection.
class OpensslServer {
public:
    OpensslServer(const Certificates& certificates, const QString& served, const QStringList& options)
    {
        process_.setWorkingDirectory(certificates.folder());
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start("openssl", QStringList{"s_server", "-accept", "127.0.0.1:0", "-naccept", "1", "-cert",
                                              certificates.pem(served), "-key", certificates.key(served)} + options);
        static const QRegularExpression listening("ACCEPT (127\\.0\\.0\\.1:[0-9]+)\n");
        QRegularExpressionMatch port;
        while (!(port = listening.match(QString::fromLatin1(output_))).hasMatch() && process_.waitForReadyRead(30000))
            output_ += process_.readAll();
        device_ = port.hasMatch() ? "tls://" + port.captured(1) : QString();
    }
    ~OpensslServer()
    {
        process_.kill();
        process_.waitForFinished(30000);
    }
    const QString& device() const { return device_; }
    // All it wrote (what it was shown, how the connection ended), once the connection ended.
    QByteArray output()
    {
        process_.waitForFinished(30000);
        return output_ + process_.readAll();
    }

private:
    QProcess process_;
    QByteArray output_;
    QString device_;
};

}  // namespace dnp::test
