#include "comm/TransferText.h"

#include "comm/ImageText.h"
#include "comm/TcpLink.h"

#include <QStringList>

namespace dnp {
namespace {

QString ofMessages(int message)
{
    return QStringLiteral("%1 of %2").arg(message).arg(kMessageCount);
}

QString unexpectedBytes(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 unexpected byte") : QStringLiteral("%1 unexpected bytes").arg(count);
}

// What a send that stopped short left in the panel: "Nothing was written to the
// panel." when no write request left; "The panel may hold a partly written
// configuration: messages 1 to 7 of 18 were written." ("messages 1 to 4 and 6 to 18 of
// 18", "message 1 of 18 was") for the requests the panel acknowledged; a request that
// left and got no good reply may have been written all the same: "... message 1 of 18
// may have been written." when none was acknowledged.
QString writtenText(const std::bitset<kMessageCount>& written, const std::bitset<kMessageCount>& requested)
{
    const std::bitset<kMessageCount> sent = requested | written;
    if (sent.none())
        return QStringLiteral("Nothing was written to the panel.");
    if (written.none()) {
        int first = 1;
        while (!sent[static_cast<std::size_t>(first - 1)])
            ++first;
        return QStringLiteral("The panel may hold a partly written configuration: message %1 may have been written.")
            .arg(ofMessages(first));
    }
    QStringList runs;
    for (int m = 1; m <= kMessageCount; ++m) {
        if (!written[m - 1] || (m > 1 && written[m - 2]))
            continue;
        int last = m;
        while (last < kMessageCount && written[last])
            ++last;
        runs << (last == m ? QString::number(m) : QStringLiteral("%1 to %2").arg(m).arg(last));
    }
    const QString listed = runs.size() == 1 ? runs.front() : runs.mid(0, runs.size() - 1).join(QStringLiteral(", ")) +
                                                                 QStringLiteral(" and ") + runs.back();
    const QString messages = written.count() == 1 ? QStringLiteral("message %1 of %2 was")
                                                  : QStringLiteral("messages %1 of %2 were");
    return QStringLiteral("The panel may hold a partly written configuration: %1 written.")
        .arg(messages.arg(listed).arg(kMessageCount));
}

QString minuteOf(const QDateTime& when)
{
    return when.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

// What a certificate is for: its DNS names and IP addresses, else its common name.
QStringList certificateNames(const QSslCertificate& certificate)
{
    QStringList names;
    const auto alternatives = certificate.subjectAlternativeNames();
    for (auto it = alternatives.cbegin(); it != alternatives.cend(); ++it)
        if (it.key() == QSsl::DnsEntry || it.key() == QSsl::IpAddressEntry)
            names << it.value();
    return names.isEmpty() ? certificate.subjectInfo(QSslCertificate::CommonName) : names;
}

// What is wrong with a server's certificate, after the address.
QString refusedCertificateText(const RefusedCertificate& refused)
{
    const QSslCertificate& certificate = refused.certificate;
    switch (refused.problem) {
    case CertificateProblem::Untrusted:
        return QStringLiteral("the server's certificate is not trusted (issuer %1).").arg(issuerText(certificate));
    case CertificateProblem::Expired:
        return QStringLiteral("the server's certificate expired on %1.").arg(dayText(certificate.expiryDate()));
    case CertificateProblem::NotYetValid:
        return QStringLiteral("the server's certificate is not valid before %1.").arg(dayText(certificate.effectiveDate()));
    case CertificateProblem::OtherHost:
        return QStringLiteral("the certificate is for %1, not %2.")
            .arg(certificateNames(certificate).join(QStringLiteral(", ")), refused.host);
    case CertificateProblem::OtherFingerprint:
        return QStringLiteral("the certificate's fingerprint %1 differs from the one in the settings.")
            .arg(fingerprintText(fingerprintOf(certificate)));
    }
    return {};
}

}  // namespace

QString progressText(TransferKind kind, int message)
{
    if (message < 1)
        return {};
    return QStringLiteral("%1 message %2").arg(kind == TransferKind::Write ? "Sending" : "Retrieving", ofMessages(message));
}

QString frameProblemText(const frames::FrameProblem& problem)
{
    using Part = frames::FrameProblem::Part;
    switch (problem.part) {
    case Part::Size:
        return QStringLiteral("%1 bytes, expected %2.").arg(problem.found).arg(problem.expected);
    case Part::Address:
        return QStringLiteral("address byte %1, expected %2.").arg(problem.found).arg(problem.expected);
    case Part::Length:
        return QStringLiteral("length byte %1, expected %2.").arg(problem.found).arg(problem.expected);
    case Part::Checksum:
        return QStringLiteral("checksum byte %1, expected %2.")
            .arg(hexByte(static_cast<std::uint8_t>(problem.found)), hexByte(static_cast<std::uint8_t>(problem.expected)));
    }
    return {};
}

QString linkFailureText(const LinkFailure& failure)
{
    const QString where = failure.target.label();
    const QString& device = failure.target.device;
    // What failed in a TLS session, after the address.
    const auto inTls = [&where](const QString& what) { return where + QStringLiteral(": ") + what; };
    switch (failure.fault) {
    case LinkFault::DeviceMissing:
        // A device named directly (typed in the settings dialog or Select Port, dnpcfg
        // --device) is the user's own choice: no settings to go to.
        return kBadIdText + QLatin1Char('\n') +
               (failure.target.comNumber > 0
                    ? QStringLiteral("Port %1 does not exist. Choose a port in Communication Settings.").arg(where)
                    : QStringLiteral("The device %1 does not exist. Check the cable or type another device.").arg(device));
    case LinkFault::DeviceBusy:
        return kAlreadyOpenText + QStringLiteral("\n%1 is in use by another program.").arg(device);
    case LinkFault::DeviceDenied:
        return failure.reason +
               QStringLiteral("\nYou may not use %1: ask to be made a member of its group (often dialout).").arg(device);
    case LinkFault::DeviceUnopenable:
        return failure.reason + QStringLiteral("\nPort %1 cannot be opened.").arg(where);
    case LinkFault::HungUp:
        return QStringLiteral("%1 was hung up.").arg(device);
    case LinkFault::ConnectionRefused:
        return QStringLiteral("%1 refused the connection.\nCheck that the terminal server is on and that the port is the "
                              "one of this panel's line.")
            .arg(where);
    case LinkFault::NameUnresolved:
        return QStringLiteral("%1 cannot be reached: its name does not resolve.\nCheck the name, or give the terminal "
                              "server's IP address.")
            .arg(where);
    case LinkFault::ConnectTimeout:
        return QStringLiteral("%1 did not accept the connection within %2 s.\nCheck that the terminal server is on and "
                              "can be reached from this machine.")
            .arg(where)
            .arg(kTcpConnectLimitMs / 1000);
    case LinkFault::ClosedByServer:
        return QStringLiteral("%1 closed the connection.\nCheck that no other program holds the terminal server's port, "
                              "and try again.")
            .arg(where);
    case LinkFault::Unreachable:
        return QStringLiteral("%1 cannot be reached: %2").arg(where, failure.reason);
    case LinkFault::ConnectionBroke:
        return QStringLiteral("%1: the connection broke: %2").arg(where, failure.reason);
    case LinkFault::NoTlsBackend:
        return inTls(QStringLiteral("TLS is not available: Qt finds no TLS backend on this machine."));
    case LinkFault::CertificateRefused:
        return inTls(failure.certificate ? refusedCertificateText(*failure.certificate) : QString());
    case LinkFault::NoSharedSuite:
        return inTls(QStringLiteral("the server shares no cipher suite with this program, which takes only TLS 1.3 or "
                                    "TLS 1.2 with ECDHE and AES-GCM or ChaCha20-Poly1305."));
    case LinkFault::ClientCertificateAsked:
        return inTls(QStringLiteral("the server asked for a client certificate."));
    case LinkFault::ClientCertificateRefused:
        return inTls(QStringLiteral("the server refused the client certificate."));
    case LinkFault::OldTls:
        return inTls(QStringLiteral("the server does not speak TLS 1.2 or later."));
    case LinkFault::TlsSessionEnded:
        return inTls(QStringLiteral("the server ended the TLS session: %1.").arg(failure.reason));
    case LinkFault::NotTls:
        return inTls(QStringLiteral("the server does not speak TLS."));
    case LinkFault::SettingRefused:
        return failure.reason;
    case LinkFault::NotOpen:
        return QStringLiteral("%1 is not open.").arg(where);
    case LinkFault::WriteRefused:
        return QStringLiteral("%1: %2").arg(where, failure.reason);
    }
    return {};
}

QString lineProblemText(const LineProblem& problem)
{
    struct Told {
        QString operator()(const NoReply& silence) const
        {
            return silence.came == 0 ? QStringLiteral("No reply came.")
                                     : QStringLiteral("Only %1 of the reply's %2 bytes came.").arg(silence.came).arg(silence.expected);
        }
        QString operator()(const BadReply& bad) const
        {
            return QStringLiteral("Reply to message %1: %2").arg(ofMessages(bad.message), frameProblemText(bad.problem));
        }
        QString operator()(const UnexpectedBytes& bytes) const
        {
            if (bytes.beforeReply)
                return QStringLiteral("%1 came before the reply to message %2.")
                    .arg(unexpectedBytes(bytes.count), ofMessages(bytes.message));
            return QStringLiteral("Reply to message %1 was followed by %2.")
                .arg(ofMessages(bytes.message), unexpectedBytes(bytes.count));
        }
        QString operator()(const BadStatus& bad) const
        {
            return QStringLiteral("Reply to message %1 carried status %2.").arg(ofMessages(bad.message), hexByte(bad.status));
        }
    };
    return std::visit(Told{}, problem);
}

QString reasonText(const TransferEnd& reason)
{
    if (const auto* silence = std::get_if<NoReply>(&reason))
        return QStringLiteral("Message %1 was not answered.").arg(ofMessages(silence->message));
    if (const auto* failure = std::get_if<LinkFailure>(&reason))
        return linkFailureText(*failure);
    if (const auto* bad = std::get_if<BadReply>(&reason))
        return lineProblemText(*bad);
    if (const auto* bytes = std::get_if<UnexpectedBytes>(&reason))
        return lineProblemText(*bytes);
    if (const auto* status = std::get_if<BadStatus>(&reason))
        return lineProblemText(*status);
    return {};
}

QString outcomeText(const TransferResult& result)
{
    const bool send = result.kind == TransferKind::Write;
    const QString failed = send ? kSendErrorText : kRetrieveErrorText;
    // What a send that stopped short left in the panel.
    const QString written = send && result.acknowledged() < kMessageCount
                                ? QLatin1Char('\n') + writtenText(result.acknowledgedMessages, result.sentMessages)
                                : QString();
    switch (result.outcome()) {
    case TransferOutcome::Success:
        return (send ? kSendOkText : kRetrieveOkText) + QStringLiteral(".");
    case TransferOutcome::StatusError:
    case TransferOutcome::DataError:
        return failed + QLatin1Char('\n') + reasonText(result.reason) + written;
    case TransferOutcome::NotResponding:
        return kNotRespondingText + QLatin1Char('\n') + reasonText(result.reason) + written +
               QStringLiteral("\nNo answer on %1 at %2 baud.").arg(result.port).arg(result.baud);
    case TransferOutcome::PortError:
        return reasonText(result.reason) + ((result.sentMessages | result.acknowledgedMessages).any() ? written : QString());
    case TransferOutcome::Cancelled:
        if (send)
            return QStringLiteral("The send was cancelled.") + written;
        return {};
    case TransferOutcome::Refused:
    case TransferOutcome::Running:
        break;
    }
    return {};
}

QString certificateFacts(const QSslCertificate& certificate)
{
    return QStringLiteral("Subject: %1\nIssuer: %2\nValid from %3 to %4 UTC\nSHA-256 fingerprint: %5")
        .arg(subjectText(certificate), issuerText(certificate), minuteOf(certificate.effectiveDate()),
             minuteOf(certificate.expiryDate()), fingerprintText(fingerprintOf(certificate)));
}

}  // namespace dnp
