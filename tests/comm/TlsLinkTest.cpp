// The TLS link over loopback, with dnp-panel-sim (or openssl s_server, for what the
// simulator does not offer) serving TLS and certificates made for the test: transfers
// with a server that is trusted (by its authority, by its pinned fingerprint, with a
// client certificate), every refusal before the first frame, the suites taken, and
// settings files that are refused before any connection.

#include "comm/TlsLink.h"
#include "support/Certificates.h"
#include "comm/TransferText.h"
#include "support/LinkTransfer.h"
#include "support/LoopbackPort.h"
#include "support/PanelSim.h"

#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
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
    TlsSettings offering(const QString& client) const
    {
        return {certificates.pem("ca"), {}, certificates.pem(client), certificates.key(client)};
    }
    // Opens a link to `to` and closes it: nothing when it opened, else why not.
    QString opening(const QString& to, const TlsSettings& tls)
    {
        TlsLink link({to, 0, tls});
        QEventLoop loop;
        std::optional<QString> told;
        QObject::connect(&link, &Link::opened, &loop, [&] { told = "", loop.quit(); });
        QObject::connect(&link, &Link::failed, &loop, [&](const LinkFailure& why) { told = linkFailureText(why), loop.quit(); });
        QTimer::singleShot(kPatienceMs, &loop, &QEventLoop::quit);
        link.open({kBaud, PortParity::None});
        if (!told)
            loop.exec();
        return told.value_or("neither opened nor failed");
    }
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
    EXPECT_EQ(sent.outcome(), TransferOutcome::Success) << outcomeText(sent).toStdString();
    EXPECT_EQ(sent.acknowledged(), kMessageCount);

    TlsLink reading({device, 0, trusting()});
    const TransferResult read = retrieve(reading);
    EXPECT_EQ(read.outcome(), TransferOutcome::Success) << outcomeText(read).toStdString();
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
        EXPECT_EQ(read.outcome(), TransferOutcome::Success) << outcomeText(read).toStdString();
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
        {"gateway", {}, trusting(), "the certificate is for 10.9.8.7, not 127.0.0.1.", true},
        {"expired", {}, trusting(), "the server's certificate expired on " + expiredOn + ".", true},
        {"server", {}, {certificates.pem("ca"), fingerprint("misnamed"), {}, {}},
         "the certificate's fingerprint " + fingerprint("server") + " differs from the one in the settings.", false},
        {"server", {}, {{}, fingerprint("misnamed"), {}, {}},
         "the certificate's fingerprint " + fingerprint("server") + " differs from the one in the settings.", false},
        {"server", mutual, trusting(), "the server asked for a client certificate.", false},
        {"server", mutual, offering("stranger"), "the server refused the client certificate.", false},
        {"", {"--echo"}, trusting(), "the server does not speak TLS.", false},
        {"", {}, trusting(), "the server does not speak TLS.", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.told.toStdString());
        serve(c.served, c.options);
        TlsLink link({device, 0, c.tls});
        const TransferResult read = retrieve(link);
        EXPECT_EQ(read.outcome(), TransferOutcome::PortError);
        EXPECT_EQ(reasonText(read.reason), device + ": " + c.told);
        EXPECT_EQ(read.acknowledged(), 0);
        EXPECT_TRUE(std::none_of(read.trace.begin(), read.trace.end(), [](const LineEvent& e) { return !e.sent; }));
        EXPECT_EQ(link.refusedCertificate().has_value(), c.offered);
    }
}

// Against openssl s_server, each end of a handshake told for what it is. Suites without
// forward secrecy or AEAD (static RSA, CBC) are never offered: a server with nothing else
// shares none. A server that asks for a client certificate refuses none offered, one
// from another authority of the same name (decrypt_error) and one it cannot take
// (handshake_failure: it takes RSA ones only). A certificate other than the pinned one,
// trusted or not, ends the handshake before the server is shown the client certificate.
TEST_F(TlsTransfer, EachHandshakeEndIsToldForWhatItIs)
{
    const QString noSuite = "the server shares no cipher suite with this program, which takes only TLS 1.3 or "
                            "TLS 1.2 with ECDHE and AES-GCM or ChaCha20-Poly1305.";
    const QString notPinned = "the certificate's fingerprint " + fingerprint("server") + " differs from the one in the settings.";
    const QStringList asking = {"-Verify", "1", "-verify_return_error", "-CAfile", certificates.pem("ca")};
    const TlsSettings desk = offering("client");
    const struct {
        const char* served;
        QStringList options;
        TlsSettings tls;
        QString told;  // empty: the line opens
        bool shown;    // the server was shown the client certificate
    } cases[] = {
        {"rsa", {"-cipher", "AES128-SHA"}, trusting(), noSuite, false},
        {"rsa", {"-cipher", "AES128-GCM-SHA256"}, desk, noSuite, false},
        {"server", {"-cipher", "ECDHE-ECDSA-AES128-SHA256"}, trusting(), noSuite, false},
        {"rsa", {"-cipher", "ECDHE-RSA-AES128-GCM-SHA256"}, trusting(), "", false},
        {"server", asking, trusting(), "the server asked for a client certificate.", false},
        {"server", asking, offering("foreign"), "the server refused the client certificate.", true},
        {"server", asking + QStringList{"-client_sigalgs", "RSA+SHA256"}, desk,
         "the server ended the TLS session: handshake failure.", false},
        {"server", asking, {{}, fingerprint("misnamed"), desk.cert, desk.key}, notPinned, false},
        {"server", asking, {desk.ca, fingerprint("misnamed"), desk.cert, desk.key}, notPinned, false},
        {"server", asking, {{}, fingerprint("server"), desk.cert, desk.key}, "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        test::OpensslServer server(certificates, c.served, QStringList{"-no_tls1_3"} + c.options);
        EXPECT_EQ(opening(server.device(), c.tls), c.told.isEmpty() ? "" : server.device() + ": " + c.told);
        EXPECT_EQ(server.output().contains("depth=0 CN = desk"), c.shown);
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
    ASSERT_TRUE(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    const QString missing = dir.filePath("missing.pem");
    const QString ca = certificates.pem("ca");
    const QString expiredOn = certificates.certificate("expired").expiryDate().toUTC().date().toString(Qt::ISODate);
    const QString shared = dir.filePath("shared.key"), group = dir.filePath("group.key");
    ASSERT_TRUE(QFile::copy(certificates.key("client"), shared) &&
                QFile::setPermissions(shared, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    ASSERT_TRUE(QFile::copy(certificates.key("client"), group) && QFile::setPermissions(group, QFile::ReadOwner | QFile::ReadGroup));
    const auto readable = [](const QString& key, const QString& mode) {
        return "TlsKey: " + key + " is readable by other users (mode " + mode + "): allow only its owner to read it (chmod 600 " +
               key + ").";
    };
    const auto notFingerprint = [](const QString& text) {
        return "TlsFingerprint=" + text + " is not a SHA-256 fingerprint: 64 hex digits, colons allowed.";
    };
    const auto future = [&](const QString& setting) {
        return setting + ": " + certificates.pem("future") + ": the certificate CN=future is not valid before 2099-01-01.";
    };
    const QString pairs = QString("3F").repeated(31);  // 62 hex digits
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
        {{ca, "3F:A0", {}, {}}, notFingerprint("3F:A0")},
        {{ca, pairs + "3G", {}, {}}, notFingerprint(pairs + "3G")},
        {{ca, pairs + "3F3F", {}, {}}, notFingerprint(pairs + "3F3F")},
        {{ca, "3:F" + pairs, {}, {}}, notFingerprint("3:F" + pairs)},
        {{certificates.pem("future"), {}, {}, {}}, future("TlsCa")},
        {{ca, {}, certificates.pem("future"), certificates.key("future")}, future("TlsCert")},
        {{ca, {}, certificates.pem("client"), shared}, readable(shared, "0444")},
        {{ca, {}, certificates.pem("client"), group}, readable(group, "0440")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.told.toStdString());
        TlsLink link({QString(port.device()).replace("tcp://", "tls://"), 0, c.tls});
        const TransferResult sent = send(link, image(1));
        EXPECT_EQ(sent.outcome(), TransferOutcome::PortError);
        EXPECT_EQ(reasonText(sent.reason), c.told);
    }
}

}  // namespace
