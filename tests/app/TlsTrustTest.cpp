// The desk's first contact with a terminal server in TLS whose certificate nobody
// vouches for: Test shows the certificate and offers to trust it; trusted, its
// fingerprint is kept for that device and the test runs again.

#include "app/Workspace.h"
#include "files/FileTestHelpers.h"
#include "support/Certificates.h"
#include "support/PanelSim.h"
#include "support/ScriptedPrompts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace dnp;

TEST(TlsTrust, TestOffersTheCertificateAndTrustedItIsKeptForTheDevice)
{
    QTemporaryDir dir;
    const test::Certificates certificates(dir.path());
    ASSERT_TRUE(certificates.made());
    test::PanelSim sim(QStringList{"--tcp", "127.0.0.1:0"} + certificates.serve("server"));
    const QString device = sim.device();
    ASSERT_TRUE(device.startsWith("tls://")) << sim.error().toStdString();
    const QSslCertificate served = certificates.certificate("server");
    const QString ini = dir.filePath("DNP.ini");
    const QByteArray settings =
        "[Ports]\nCOM2=" + device.toUtf8() + "\n[Comm]\nBaud=1\nComPort=2\nAddressing=0\nParity=0\nAddress=1\n";
    const QString fingerprint = fingerprintText(fingerprintOf(served));
    const auto minute = [](const QDateTime& when) { return when.toUTC().toString("yyyy-MM-dd HH:mm"); };

    for (const bool trust : {false, true}) {
        SCOPED_TRACE(trust ? "trusted" : "cancelled");
        test::writeFileBytes(ini, settings);
        test::ScriptedPrompts prompts;
        prompts.trustAnswers = {trust};
        Workspace ws(prompts, {.iniPath = ini});
        std::optional<bool> answered;
        QObject::connect(&ws, &Workspace::panelCommandEnded, [&](const PanelOutcome& o) { answered = o.ok(); });
        ws.testPanel(ws.settings().choice());
        QElapsedTimer patience;
        patience.start();
        while (!answered && patience.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

        ASSERT_GE(prompts.shown.size(), 1);
        EXPECT_EQ(prompts.shown[0].kind, test::Shown::Trust);
        EXPECT_EQ(prompts.shown[0].text, device + ": the server's certificate is not trusted (issuer CN=Test CA).\n"
                                             "Subject: CN=127.0.0.1\nIssuer: CN=Test CA\nValid from " +
                                             minute(served.effectiveDate()) + " to " + minute(served.expiryDate()) +
                                             " UTC\nSHA-256 fingerprint: " + fingerprint);
        EXPECT_EQ(answered, trust);
        const QByteArray kept = "[TlsFingerprints]\n" + device.toUtf8() + "=" + fingerprint.toUtf8() + "\n";
        EXPECT_EQ(test::readFileBytes(ini), trust ? settings + kept : settings);
        EXPECT_EQ(prompts.texts(test::Shown::Information), trust ? QStringList{kPanelAnsweredText} : QStringList{});
    }
}
