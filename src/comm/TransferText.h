#pragma once
// What the transport's ends tell the user, in one place: a transfer's outcome, a link's
// failure, what is wrong with a reply's frame, the trace's problems and a server's
// certificate shown to be trusted. The exchange, the links and the frames report typed
// values and make no sentence; the workspace and the line trace read them here.

#include "comm/Exchange.h"

#include <QSslCertificate>
#include <QString>

namespace dnp {

inline const QString kNotRespondingText = QStringLiteral("ZE-P(L) is not responding!");
inline const QString kSendErrorText = QStringLiteral("System error or data error has occurred.");
inline const QString kRetrieveErrorText = QStringLiteral("System or data error has occurred.");
inline const QString kSendOkText = QStringLiteral("Sending communication status: OK.");
inline const QString kRetrieveOkText = QStringLiteral("Retrieving communication status: OK.");
inline const QString kTransferUnderWayText =
    QStringLiteral("A transfer with the panel is under way; wait until it has ended.");
// The port errors the user meets by their text.
inline const QString kComNumberNotSetText = QStringLiteral("The ComNumber property of the TApdComPort has not been set");
inline const QString kBadIdText = QStringLiteral("ie_BadId - Specified comport doesn't exist");
inline const QString kAlreadyOpenText = QStringLiteral("ie_Open - device already open");

// "Sending message n of 18", "Retrieving message n of 18"; "" for message 0 (the end).
QString progressText(TransferKind kind, int message);

// What is wrong with a reply's frame: "length byte 0, expected 10.", "address byte 7,
// expected 1.", "checksum byte 0xF5, expected 0xF6.", "12 bytes, expected 10.".
QString frameProblemText(const frames::FrameProblem& problem);

// A link's failure, naming the port or the address and, where it helps, on a second
// line what to do: "ie_BadId - Specified comport doesn't exist\nPort COM 3 (/dev/ttyS2)
// does not exist. Choose a port in Communication Settings.", "/dev/ttyUSB0 was hung up.",
// "tls://10.1.2.3:4001: the server's certificate expired on 2025-01-31.".
QString linkFailureText(const LinkFailure& failure);

// A problem the trace shows below its bytes: "No reply came.", "Only 6 of the reply's 40
// bytes came.", "Reply to message 3 of 18: checksum byte 0xF7, expected 0xF6.", "Reply to
// message 6 of 18 was followed by 20 unexpected bytes.", "12 unexpected bytes came before
// the reply to message 1 of 18.", "Reply to message 2 of 18 carried status 0x10.".
QString lineProblemText(const LineProblem& problem);

// What ended a transfer, on its own: a reply's problem as the trace tells it, "Message 7
// of 18 was not answered.", the link's failure; "" for a transfer that went well, was
// cancelled or still runs.
QString reasonText(const TransferEnd& reason);

// What a finished transfer tells the user: how it went, what ended it, what a send that
// stopped short left in the panel, and for a panel that did not answer the port and its
// speed. Nothing for a read the user cancelled (the command that ran it says what was
// cancelled) or one still running.
QString outcomeText(const TransferResult& result);

// The lines that show a certificate to the user: subject, issuer, validity and SHA-256
// fingerprint.
QString certificateFacts(const QSslCertificate& certificate);

}  // namespace dnp
