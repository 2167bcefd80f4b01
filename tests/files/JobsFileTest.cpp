// The jobs file of a fleet: its lines read and refused, and every file of a run known
// before the first job: no output replaces another file of the run, whatever name or
// link leads to it.

#include "files/JobsFile.h"

#include "files/FileAccess.h"
#include "support/QtPrint.h"
#include "support/SentImages.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace dnp;

namespace {

const QString kHeader = QStringLiteral("name,device,address,action,config\n");

struct Refusal {
    const char* what;
    const char* lines;    // after the header (the header itself when `header` is set)
    const char* message;  // "DIR/" stands for the test's folder
    bool header = false;
    std::vector<std::pair<const char*, const char*>> links = {};  // name, target
    const char* results = "";  // the results file, in the test's folder
    const char* readOnly = "";  // a file made read-only in the test's folder
};

const Refusal kRefusals[] = {
    {"an unknown action", "p1,/dev/a,,reboot,good.dnp\n", "line 2: unknown action 'reboot'"},
    {"no action", "p1,/dev/a,,,good.dnp\n", "line 2: no action (send, verify, retrieve or send+verify)"},
    {"an empty device", "p1, ,,send,good.dnp\n", "line 2: the device is empty"},
    {"a missing configuration", "p1,/dev/a,,verify,missing.dnp\n",
     "line 2: DIR/missing.dnp: No such file or directory"},
    {"no configuration", "p1,/dev/a,,send,\n", "line 2: no configuration file"},
    {"no file to retrieve into", "p1,/dev/a,,retrieve,\n", "line 2: no file to retrieve into"},
    {"a retrieve into a missing folder", "p1,/dev/a,,retrieve,none/out.dnp\n",
     "line 2: Cannot write DIR/none/out.dnp: No such file or directory"},
    {"a retrieve into a read-only file", "p1,/dev/a,,retrieve,ro.dnp\n", "line 2: DIR/ro.dnp is read-only", false, {}, "",
     "ro.dnp"},
    {"a line short of fields", "p1,/dev/a,send,good.dnp\n", "line 2: 4 fields, but the header has 5"},
    {"a line with a field too many", "p1,/dev/a,,send,good.dnp,x\n", "line 2: 6 fields, but the header has 5"},
    {"a column missing", "name,device,action,config\np1,/dev/a,send,good.dnp\n",
     "line 1: the header row has no column 'address' (it needs name, device, address, action, config)", true},
    {"no header", "p1,/dev/a,,send,good.dnp\n",
     "line 1: this is not a jobs file: its first row names none of the columns name, device, address, action, config",
     true},
    {"no jobs", "name,device,address,action,config\n\n", "line 1: the jobs file holds no jobs", true},
    {"an empty file", "", "line 1: the jobs file is empty; its first line is the header name,device,address,action,config",
     true},

    // Outputs that would replace another file of the run.
    {"two retrieves into one file", "p1,/dev/a,,retrieve,out.dnp\np2,/dev/b,,send,good.dnp\np3,/dev/c,,retrieve,./out.dnp\n",
     "line 4: line 2 retrieves into the same file './out.dnp'"},
    {"a retrieve into the jobs file", "p1,/dev/a,,retrieve,jobs.csv\n",
     "line 2: the retrieve would replace the jobs file 'jobs.csv'"},
    {"a retrieve into a configuration a later job reads", "p1,/dev/a,,retrieve,good.dnp\np2,/dev/b,,verify,good.dnp\n",
     "line 2: the retrieve would replace 'good.dnp', the configuration line 3 reads"},
    {"a retrieve into a link to a configuration read", "p1,/dev/a,,send,good.dnp\np2,/dev/b,,retrieve,gl.dnp\n",
     "line 3: the retrieve would replace 'gl.dnp', the configuration line 2 reads", false, {{"gl.dnp", "good.dnp"}}},
    {"results into the jobs file", "p1,/dev/a,,send,good.dnp\n",
     "the results file 'DIR/jobs.csv' would replace the jobs file", false, {}, "jobs.csv"},
    {"results into a configuration read", "p1,/dev/a,,send,good.dnp\np2,/dev/a,,verify,good.dnp\n",
     "line 2: the results file 'DIR/good.dnp' would replace the configuration this line reads", false, {}, "good.dnp"},
    {"results through a link into a retrieve's file", "p1,/dev/a,,send,good.dnp\np2,/dev/b,,retrieve,out.dnp\n",
     "line 3: the results file 'DIR/rl.csv' would replace the file this line retrieves into", false,
     {{"rl.csv", "out.dnp"}}, "rl.csv"},
};

struct JobsFile : test::FleetFolder {};

TEST_F(JobsFile, AFileThatCannotBeRunIsRefusedWithEveryBadLine)
{
    int made = 0;
    for (const Refusal& r : kRefusals) {
        SCOPED_TRACE(r.what);
        // A folder of its own for each case.
        const QString folder = QString::number(++made) + '/';
        ASSERT_TRUE(QDir(dir.path()).mkdir(folder));
        writeConfig(folder + "good.dnp", test::analogInputs(0, 2));
        if (*r.readOnly) {
            write(folder + QString::fromLatin1(r.readOnly), "earlier");
            ASSERT_TRUE(QFile::setPermissions(path(folder + QString::fromLatin1(r.readOnly)), QFileDevice::ReadOwner));
        }
        for (const auto& [name, target] : r.links)
            ASSERT_EQ(::symlink(target, encodeFileName(path(folder + QString::fromLatin1(name))).constData()), 0);
        const QString text = (r.header ? QString() : kHeader) + QString::fromUtf8(r.lines);
        const QString results = *r.results ? path(folder + QString::fromLatin1(r.results)) : QString();
        const JobsFileLines read = loadJobsFile(write(folder + "jobs.csv", text.toUtf8()), results);
        ASSERT_FALSE(read.problems.empty());
        EXPECT_EQ(read.problems.error().message, QString::fromUtf8(r.message).replace("DIR/", path(folder)));
    }
}

TEST_F(JobsFile, TheFilesOfAGoodRunAreTaken)
{
    writeConfig("a.dnp", test::analogInputs(0, 2));
    const QString text = kHeader + "p1,/dev/a,,send+verify,a.dnp\np2,/dev/b,,verify,./a.dnp\n"
                                   "p3,/dev/c,,retrieve,r1.dnp\np4,/dev/c,,retrieve,r2.dnp\n";
    const JobsFileLines read = loadJobsFile(write("jobs.csv", text.toUtf8()), path("results.csv"));
    EXPECT_TRUE(read.problems.empty()) << read.problems.error().message.toStdString();
    ASSERT_EQ(read.jobs.size(), 4u);
    EXPECT_EQ(read.jobs[1].configPath, path("./a.dnp"));
    EXPECT_EQ(read.jobs[3].action, FleetAction::Retrieve);
}

}  // namespace
