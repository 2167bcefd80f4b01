// The history's record of a panel command, made from its outcome; the records as CSV and
// as a table shows their time. (The store: tests/history.)

#include "app/PanelRecord.h"

#include <QSysInfo>
#include "model/Version.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

using namespace dnp;

namespace {

// Word i holds i in its high byte and 255 - i in its low byte.
ConfigImage countingImage()
{
    ConfigImage image{};
    for (int i = 0; i < kImageWords; ++i)
        image[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>((i << 8) | (255 - i));
    return image;
}
const QString kZeroImageSha = QStringLiteral("076a27c79e5ace2a3d47f9dd2e83e4ff6ea8872b3c2218f66c92b89b55f36560");
const QString kCountingImageSha = QStringLiteral("1922c38e3b53eb7a6e185ebf9175f780ec2185c135a7c7a25104e32e0a9f145d");

TEST(HistoryRecord, AnImageIsHashedOverItsWordsHighByteFirst)
{
    EXPECT_EQ(imageSha256(ConfigImage{}), kZeroImageSha);
    EXPECT_EQ(imageSha256(countingImage()), kCountingImageSha);
}

TEST(HistoryRecord, AnOutcomeGivesEveryField)
{
    PanelOutcome outcome;
    outcome.action = PanelAction::Verify;
    outcome.result = PanelResult::Differs;
    outcome.differingWords = 12;
    outcome.message = QStringLiteral("The panel does not hold feeder.dnp: 12 words differ.\n  A second line.  \n");
    outcome.image = ConfigImage{};
    outcome.panelImage = countingImage();
    outcome.device = QStringLiteral("/dev/pts/3");
    outcome.baud = 9600;
    outcome.address = 7;
    outcome.config = QStringLiteral("/srv/dnp/feeder.dnp");
    outcome.ended = QDateTime(QDate(2025, 1, 31), QTime(11, 41, 7, 450), Qt::OffsetFromUTC, 3600);
    outcome.seconds = 1.26;
    outcome.program = ProgramKind::Dnpcfg;
    const HistoryRecord record = historyRecord(outcome);
    EXPECT_EQ(historyFields(record),
              (QStringList{"2025-01-31T10:41:07Z", QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name),
                           QSysInfo::machineHostName(), "dnpcfg", "/dev/pts/3", "7", "verify", "differs", "",
                           "/srv/dnp/feeder.dnp", kZeroImageSha, kCountingImageSha, "12", "1.3",
                           "The panel does not hold feeder.dnp: 12 words differ. A second line."}));
    EXPECT_EQ(record.trace, "Line trace of the verify on /dev/pts/3 at 9600 baud:\nProgram: dnpcfg " + QString::fromLatin1(kVersion) +
                                "\nDevice: /dev/pts/3\n"
                            "Baud: 9600\nParity: none\nAddress: 7\nStarted: \nOutcome: panel differs (12 words)\n\n"
                            "No frame went over the line.");

    // Without addressing and without a read, those fields are empty.
    outcome.address.reset();
    outcome.panelImage.reset();
    EXPECT_EQ(historyRecord(outcome).address, "");
    EXPECT_EQ(historyRecord(outcome).panelSha256, "");

    // A send says whether it was read back, in the names the history keeps for what a
    // panel holds.
    outcome.action = PanelAction::Send;
    outcome.result = PanelResult::Ok;
    const HistoryRecord unread = historyRecord(outcome);
    EXPECT_EQ((QStringList{unread.action, unread.outcome, unread.readBack}), (QStringList{kSendAction, kOkOutcome, "no"}));
    outcome.panelImage = countingImage();
    EXPECT_EQ(historyRecord(outcome).readBack, "yes");
    outcome.result = PanelResult::Incomplete;
    EXPECT_EQ(historyRecord(outcome).outcome, kIncompleteOutcome);
}

TEST(HistoryRecord, CsvIsSpreadsheetSafeAndUtcATableLocal)
{
    HistoryRecord record{"2025-01-31T10:41:07Z", "ann", "desk7", "dnp-configure", "tcp://10.1.2.3:4001", "", "send",
                         "failed", "/srv/a,b.dnp", "", "", 0, 0.5, "=HYPERLINK(\"x\")", "Line trace\nframes", "no"};
    EXPECT_EQ(historyCsv({record}),
              "time,user,host,program,device,address,action,outcome,read_back,config,image_sha256,panel_sha256,"
              "differing_words,seconds,message\r\n"
              "2025-01-31T10:41:07Z,ann,desk7,dnp-configure,tcp://10.1.2.3:4001,,send,failed,no,\"/srv/a,b.dnp\",,,0,0.5,"
              "\"'=HYPERLINK(\"\"x\"\")\"\r\n");
    EXPECT_TRUE(historyCsv({record}, true).endsWith(",\"Line trace\nframes\"\r\n"));
    EXPECT_TRUE(historyCsv({record}, true).startsWith("time,user,host,program,device,address,action,outcome,read_back,"
                                                      "config,image_sha256,panel_sha256,differing_words,seconds,"
                                                      "message,trace\r\n"));
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "XYZ-01:30");
    ::tzset();
    EXPECT_EQ(localTimeText(record.time), "2025-01-31T12:11:07+01:30");
    EXPECT_EQ(localTimeText("not a time"), "not a time");
    zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
    ::tzset();
}

}  // namespace
