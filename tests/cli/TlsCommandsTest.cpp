// dnpcfg with terminal servers in TLS: the TLS settings set and shown by name, and a
// fleet whose jobs reach a trusted panel and one whose certificate names another host.

#include "support/Certificates.h"
#include "support/PanelSim.h"
#include "support/RunDnpcfg.h"
#include "support/SentImages.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace dnp;

namespace {

struct TlsCommands : test::FleetFolder {
    test::Certificates certificates{dir.path()};
};

TEST_F(TlsCommands, TheSettingsNameTheAuthorityAndAFleetTrustsBy)
{
    ASSERT_TRUE(certificates.made());
    const QString ini = path("DNP.ini");
    const test::ProgramRun set = test::runDnpcfg({"settings", "--ini", ini, "--set", "tls-ca=" + certificates.pem("ca")});
    EXPECT_EQ(set.status, 0) << set.err.toStdString();
    const test::ProgramRun shown = test::runDnpcfg({"settings", "--ini", ini});
    EXPECT_TRUE(shown.out.contains("\ntls-ca: " + certificates.pem("ca") + "\n[Ports]\n")) << shown.out.toStdString();

    writeConfig("a.dnp", test::analogInputs(0, 3));
    test::PanelSim good(QStringList{"--tcp", "127.0.0.1:0"} + certificates.serve("server"));
    test::PanelSim misnamed(QStringList{"--tcp", "127.0.0.1:0"} + certificates.serve("misnamed"));
    write("jobs.csv", QStringLiteral("name,device,address,action,config\np1,%1,,send+verify,a.dnp\np2,%2,,send,a.dnp\n")
                          .arg(good.device(), misnamed.device())
                          .toUtf8());
    const test::ProgramRun fleet = test::runDnpcfg({"fleet", path("jobs.csv"), "--ini", ini, "-o", path("results.csv")});
    EXPECT_EQ(fleet.status, 1) << fleet.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(test::fileBytes(path("results.csv")))
                  .replace(QRegularExpression(QStringLiteral(",[0-9]+\\.[0-9]\r\n")), ",S\r\n")
                  .toStdString(),
              QStringLiteral("name,device,address,action,outcome,message,seconds\r\n"
                             "p1,%1,,send+verify,ok,Sending communication status: OK.. The panel holds the configuration that was sent.,S\r\n"
                             "p2,%2,,send,failed,\"%2: the certificate is for sub4.example, not 127.0.0.1.\",S\r\n")
                  .arg(good.device(), misnamed.device())
                  .toStdString());
}

}  // namespace
