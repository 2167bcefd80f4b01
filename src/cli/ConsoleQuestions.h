#pragma once
// What a panel command asks, answered on the command line: no port is chosen (a device is
// named with --device or in DNP.ini), and a certificate is not trusted at a prompt: the
// refusal and the certificate are printed on standard error, for `tls-fingerprint` to be
// set by hand.

#include "app/PanelSession.h"
#include "cli/Commands.h"

namespace dnp::cli {

class ConsoleQuestions : public PanelQuestions {
public:
    explicit ConsoleQuestions(Io io) : io_(io) {}

    std::optional<PortChoice> selectPort(const QList<int>&, const QMap<int, QString>&) override { return std::nullopt; }
    bool trustCertificate(const QString& refusal, const QString& facts) override
    {
        printError(io_, refusal + QLatin1Char('\n') + facts);
        return false;
    }

private:
    Io io_;
};

}  // namespace dnp::cli
