// The desk's first contact with a terminal server in TLS whose certificate nobody
// vouches for: Test shows the certificate and offers to trust it; trusted, its
// fingerprint is kept for that device and the test runs again; declined, the test is
// cancelled; trusted but not kept (the settings file is read-only), the test fails
// saying so and does not run again.

#include "app/gui/DeskCommands.h"
#include "files/FileTestHelpers.h"
#include "support/Certificates.h"
#include "support/PanelSim.h"
#include "support/ScriptedPrompts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
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
    const QByteArray kept = "[TlsFingerprints]\n" + device.toUtf8() + "=" + fingerprint.toUtf8() + "\n";
    const auto minute = [](const QDateTime& when) { return when.toUTC().toString("yyyy-MM-dd HH:mm"); };
    const QString unwritable = "Unable to write to " + ini + "\n" + ini + " is read-only";

    const struct {
        const char* what;
        bool trust;
        bool readOnly;
        PanelResult result;
        QByteArray ini;
        QStringList errors;
        QStringList information;
    } cases[] = {
        {"declined", false, false, PanelResult::Cancelled, settings, {}, {}},
        {"trusted", true, false, PanelResult::Ok, settings + kept, {}, {kPanelAnsweredText}},
        {"trusted, not kept", true, true, PanelResult::Failed, settings, {unwritable}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(ini);
        test::writeFileBytes(ini, settings);
        if (c.readOnly) {
            ASSERT_TRUE(QFile::setPermissions(ini, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        }
        test::ScriptedPrompts prompts;
        prompts.trustAnswers = {c.trust};
        DeskCommands ws(prompts, {ini});
        std::optional<PanelResult> ended;
        QObject::connect(&ws, &DeskCommands::panelCommandEnded, [&](const PanelOutcome& o) { ended = o.result; });
        ws.testPanel(ws.settings().current().choice());
        QElapsedTimer patience;
        patience.start();
        while (!ended && patience.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

        // Asked once: a test that ran again would ask again, or pass on a trust not kept.
        EXPECT_EQ(prompts.texts(test::Shown::Trust),
                  QStringList{device + ": the server's certificate is not trusted (issuer CN=Test CA).\n"
                                       "Subject: CN=127.0.0.1\nIssuer: CN=Test CA\nValid from " +
                              minute(served.effectiveDate()) + " to " + minute(served.expiryDate()) +
                              " UTC\nSHA-256 fingerprint: " + fingerprint});
        EXPECT_EQ(ended, c.result);
        EXPECT_EQ(test::readFileBytes(ini), c.ini);
        EXPECT_EQ(prompts.texts(test::Shown::Error), c.errors);
        EXPECT_EQ(prompts.texts(test::Shown::Information), c.information);
        EXPECT_EQ(ws.settings().current().tlsFor(device).fingerprint, c.ini == settings ? "" : fingerprint);
    }
}
