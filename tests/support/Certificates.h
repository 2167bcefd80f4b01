#pragma once
// Certificates made for a test in its own folder with the openssl command: an authority
// (CN=Test CA); server certificates it signed for 127.0.0.1 ("server"), for sub4.example
// ("misnamed") and one that expired yesterday ("expired"); a client certificate it
// signed ("client", CN=desk); and a client certificate nobody signed ("stranger").
// Each is NAME.pem with its key NAME.key; EC keys, quick to make.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QStringList>

namespace dnp::test {

class Certificates {
public:
    explicit Certificates(const QString& folder) : dir_(folder)
    {
        made_ = openssl({"req", "-x509", "-days", "30", "-subj", "/CN=Test CA", "-keyout", "ca.key", "-out", "ca.pem"}) &&
                signed_("server", "127.0.0.1", "IP:127.0.0.1", "30") &&
                signed_("misnamed", "sub4.example", "DNS:sub4.example", "30") &&
                signed_("expired", "127.0.0.1", "IP:127.0.0.1", "-1") && signed_("client", "desk", "DNS:desk", "30") &&
                openssl({"req", "-x509", "-days", "30", "-subj", "/CN=stranger", "-keyout", "stranger.key", "-out",
                         "stranger.pem"});
    }

    bool made() const { return made_; }
    QString pem(const QString& name) const { return dir_.filePath(name + ".pem"); }
    QString key(const QString& name) const { return dir_.filePath(name + ".key"); }
    QSslCertificate certificate(const QString& name) const { return QSslCertificate::fromPath(pem(name)).value(0); }
    // The simulator's options to serve the certificate `name`.
    QStringList serve(const QString& name) const { return {"--tls-cert", pem(name), "--tls-key", key(name)}; }

private:
    // A new EC key (no passphrase) for each certificate; openssl in the folder.
    bool openssl(QStringList args)
    {
        if (args.front() == QLatin1String("req"))
            args << "-newkey" << "ec" << "-pkeyopt" << "ec_paramgen_curve:P-256" << "-nodes";
        QProcess process;
        process.setWorkingDirectory(dir_.path());
        process.start(QStringLiteral("openssl"), args);
        return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }
    bool signed_(const QString& name, const QString& commonName, const QString& altName, const QString& days)
    {
        QFile extensions(dir_.filePath(name + ".ext"));
        return openssl({"req", "-subj", "/CN=" + commonName, "-keyout", name + ".key", "-out", name + ".csr"}) &&
               extensions.open(QIODevice::WriteOnly) && extensions.write(("subjectAltName=" + altName + "\n").toUtf8()) > 0 &&
               (extensions.close(), true) &&
               openssl({"x509", "-req", "-in", name + ".csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-set_serial",
                        QString::number(++serial_), "-days", days, "-extfile", name + ".ext", "-out", name + ".pem"});
    }

    QDir dir_;
    int serial_ = 0;
    bool made_ = false;
};

}  // namespace dnp::test
