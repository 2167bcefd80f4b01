// The TLS link over loopback, with dnp-panel-sim serving TLS and certificates made for
// the test: transfers with a server that is trusted (by its authority, by its pinned
// fingerprint, with a client certificate), every refusal before the first frame, and
// settings files that are refused before any connection.

#include "comm/TlsLink.h"
#include "support/Certificates.h"
#include "support/LinkTransfer.h"
#include "support/LoopbackPort.h"
#include "support/PanelSim.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace dnp;

namespace {

TEST(TlsDevices, TheMachineLinkIsChosenByTheScheme)
{
    EXPECT_NE(dynamic_cast<TlsLink*>(machineLink({"TLS://10.1.2.3:4001", 0}).get()), nullptr);
    const Result<TcpAddress> address = parseTcpDevice("tls://[::1]:4001");
    ASSERT_TRUE(address);
    EXPECT_EQ(address->host, "::1");
    EXPECT_EQ(address->port, 4001);
    EXPECT_EQ(parseTcpDevice("tls://ts1").error().message,
              "tls://ts1 is not a terminal server's address: write tls://HOST:PORT, the port from 1 to 65535.");
}

class TlsTransfer : public test::LinkTransfer {
protected:
    void SetUp() override { ASSERT_TRUE(certificates.made()) << "openssl could not make the certificates"; }

    // The simulator in TLS with the certificate `served` (none: plain TCP) and `options`.
    void serve(const QString& served, const QStringList& options = {})
    {
        QStringList all = QStringList{"--tcp", "127.0.0.1:0"} + options;
        if (!served.isEmpty())
            all += certificates.serve(served);
        sim.emplace(all);
        device = QString(sim->device()).replace("tcp://", "tls://");
        ASSERT_TRUE(device.startsWith("tls://127.0.0.1:")) << sim->error().toStdString();
    }
    TlsSettings trusting() const { return {certificates.pem("ca"), {}, {}, {}}; }
    QString fingerprint(const QString& name) const { return fingerprintText(fingerprintOf(certificates.certificate(name))); }

    QTemporaryDir dir;
    test::Certificates certificates{dir.path()};
    std::optional<test::PanelSim> sim;
    QString device;
};

TEST_F(TlsTransfer, ASendAndARetrieveCarryTheImage)
{
    serve("server");
    TlsLink sending({device, 0, trusting()});
    const TransferResult sent = send(sending, image(0x2345));
    EXPECT_EQ(sent.outcome, TransferOutcome::Success) << sent.error.toStdString();
    EXPECT_EQ(sent.acknowledged(), kMessageCount);

    TlsLink reading({device, 0, trusting()});
    const TransferResult read = retrieve(reading);
    EXPECT_EQ(read.outcome, TransferOutcome::Success) << read.error.toStdString();
    EXPECT_EQ(read.image, image(0x2345));
}

// A server the settings trust: by the authority, by the fingerprint whoever issued the
// certificate, and one that asks for the client certificate it is offered.
TEST_F(TlsTransfer, TrustedServersAnswer)
{
    const struct {
        const char* served;
        QStringList options;
        TlsSettings tls;
    } cases[] = {
        {"server", {}, trusting()},
        {"misnamed", {}, {{}, fingerprint("misnamed"), {}, {}}},
        {"server", {"--tls-client-ca", certificates.pem("ca")}, {certificates.pem("ca"), {}, certificates.pem("client"), certificates.key("client")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.served);
        serve(c.served, c.options);
        TlsLink link({device, 0, c.tls});
        const TransferResult read = retrieve(link);
        EXPECT_EQ(read.outcome, TransferOutcome::Success) << read.error.toStdString();
        EXPECT_FALSE(link.refusedCertificate());
    }
}

// Each failure ends the transfer before a reply, says which, names the address, and
// offers the certificate to be trusted only where nothing but its issuer, name or dates
// stand against it.
TEST_F(TlsTransfer, EveryFailureEndsTheTransferBeforeTheFirstReply)
{
    const QString expiredOn = certificates.certificate("expired").expiryDate().toUTC().date().toString(Qt::ISODate);
    const QStringList mutual = {"--tls-client-ca", certificates.pem("ca")};
    const struct {
        const char* served;  // "": plain TCP
        QStringList options;
        TlsSettings tls;
        QString told;
        bool offered;
    } cases[] = {
        {"server", {}, {}, "the server's certificate is not trusted (issuer CN=Test CA).", true},
        {"misnamed", {}, trusting(), "the certificate is for sub4.example, not 127.0.0.1.", true},
        {"expired", {}, trusting(), "the server's certificate expired on " + expiredOn + ".", true},
        {"server", {}, {certificates.pem("ca"), fingerprint("misnamed"), {}, {}},
         "the certificate's fingerprint " + fingerprint("server") + " differs from the one in the settings.", false},
        {"server", {}, {{}, fingerprint("misnamed"), {}, {}},
         "the certificate's fingerprint " + fingerprint("server") + " differs from the one in the settings.", false},
        {"server", mutual, trusting(), "the server asked for a client certificate.", false},
        {"server", mutual, {certificates.pem("ca"), {}, certificates.pem("stranger"), certificates.key("stranger")},
         "the server refused the client certificate.", false},
        {"", {"--echo"}, trusting(), "the server does not speak TLS.", false},
        {"", {}, trusting(), "the server does not speak TLS.", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.told.toStdString());
        serve(c.served, c.options);
        TlsLink link({device, 0, c.tls});
        const TransferResult read = retrieve(link);
        EXPECT_EQ(read.outcome, TransferOutcome::PortError);
        EXPECT_EQ(read.error, device + ": " + c.told);
        EXPECT_EQ(read.acknowledged(), 0);
        EXPECT_TRUE(std::none_of(read.trace.begin(), read.trace.end(), [](const LineEvent& e) { return !e.sent; }));
        EXPECT_EQ(link.refusedCertificate().has_value(), c.offered);
    }
}

// What the settings name is checked before a connection is made: the port refuses any,
// and its refusal would be told instead.
TEST_F(TlsTransfer, BadSettingsAreRefusedBeforeAnyConnection)
{
    const test::LoopbackPort port(test::LoopbackPort::Mode::Refusing);
    ASSERT_TRUE(port.ready());
    const QString notes = dir.filePath("notes.pem");
    QFile file(notes);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("no certificate\n") > 0);
    file.close();
    const QString missing = dir.filePath("missing.pem");
    const QString ca = certificates.pem("ca");
    const QString expiredOn = certificates.certificate("expired").expiryDate().toUTC().date().toString(Qt::ISODate);
    const struct {
        TlsSettings tls;
        QString told;
    } cases[] = {
        {{missing, {}, {}, {}}, "TlsCa: " + missing + ": No such file or directory"},
        {{notes, {}, {}, {}}, "TlsCa: " + notes + " holds no certificate (PEM or DER)."},
        {{certificates.pem("expired"), {}, {}, {}},
         "TlsCa: " + certificates.pem("expired") + ": the certificate CN=127.0.0.1 expired on " + expiredOn + "."},
        {{ca, {}, certificates.pem("expired"), certificates.key("expired")},
         "TlsCert: " + certificates.pem("expired") + ": the certificate CN=127.0.0.1 expired on " + expiredOn + "."},
        {{ca, {}, certificates.pem("client"), certificates.key("server")},
         "TlsKey: " + certificates.key("server") + " is not the key of the certificate in TlsCert (CN=desk)."},
        {{ca, {}, certificates.pem("client"), notes},
         "TlsKey: " + notes + " holds no private key (PEM or DER; RSA, EC or DSA; without a passphrase)."},
        {{ca, {}, certificates.pem("client"), {}}, "TlsCert is set without TlsKey: a client certificate needs both."},
        {{ca, {}, {}, certificates.key("client")}, "TlsKey is set without TlsCert: a client certificate needs both."},
        {{ca, "3F:A0", {}, {}}, "TlsFingerprint=3F:A0 is not a SHA-256 fingerprint: 64 hex digits, colons allowed."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.told.toStdString());
        TlsLink link({QString(port.device()).replace("tcp://", "tls://"), 0, c.tls});
        const TransferResult sent = send(link, image(1));
        EXPECT_EQ(sent.outcome, TransferOutcome::PortError);
        EXPECT_EQ(sent.error, c.told);
    }
}

}  // namespace
