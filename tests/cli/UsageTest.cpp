#include <QProcess>
#include <gtest/gtest.h>

namespace {

struct Run {
    int status;
    QString out;
    QString err;
};

Run dnpcfg(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(DNP_BIN_DIR "/dnpcfg"), args);
    p.waitForFinished(30000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

TEST(DnpcfgUsage, HelpListsTheCommands)
{
    const Run r = dnpcfg({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* command : {"catalog", "check", "report", "resave", "image", "decode", "send", "retrieve"})
        EXPECT_TRUE(r.out.contains(QString("\n  %1 ").arg(command))) << command;
}

TEST(DnpcfgUsage, UnknownCommandOrNoneIsAUsageError)
{
    for (const QStringList& args : {QStringList{"frobnicate"}, QStringList{}}) {
        const Run r = dnpcfg(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(r.err.startsWith("usage: ")) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
}

}  // namespace
