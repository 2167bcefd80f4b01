#pragma once
// The file rule in a shared folder (one anyone may write, with the sticky bit, as /tmp),
// which every file the programs make keeps (an output, the settings, the history's store):
// what another user left there, a link or a file, is refused naming them; the user's own
// and the folder owner's are taken; a folder without the sticky bit is no shared folder.
// Each kind of file runs this table through its own writer, as the superuser.

#include "files/FileAccess.h"
#include "support/PlainUser.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>

namespace dnp::test {

struct SharedFolderCase {
    const char* what;
    mode_t folderBits;
    uid_t folderOwner;
    uid_t entryOwner;
    bool link;  // a link to a file beside the folder; else the file itself
    bool refused;
};

inline const SharedFolderCase kSharedFolderCases[] = {
    {"another user's link", 01777, 0, kPlainUser, true, true},
    {"another user's file", 01777, 0, kPlainUser, false, true},
    {"the user's own link", 01777, 0, 0, true, false},
    {"the folder owner's link", 01777, kPlainUser, kPlainUser, true, false},
    {"the folder owner's file", 01777, kPlainUser, kPlainUser, false, false},
    {"another user's link, no sticky bit", 0777, 0, kPlainUser, true, false},
};

// The refusal every writer gives for `entry` in a refused case.
inline QString sharedFolderRefusal(const SharedFolderCase& c, const QString& entry)
{
    const QString name = QString::fromLocal8Bit(::getpwuid(c.entryOwner)->pw_name);
    return c.link ? entry + " is a link owned by another user (" + name + ") in a shared folder; it was not followed."
                  : entry + " belongs to another user (" + name + ") in a shared folder; it was left as it is.";
}

// Case `i` made in `base`: the folder "shared-I" holding the entry `name`, which is (or
// links to) a file of `bytes`. Gives the entry and the file.
inline std::pair<QString, QString> makeSharedFolderCase(const QString& base, std::size_t i, const QString& name,
                                                        const QByteArray& bytes)
{
    const SharedFolderCase& c = kSharedFolderCases[i];
    const QString folder = QDir(base).filePath(QStringLiteral("shared-%1").arg(i));
    const QString entry = folder + "/" + name;
    const QString file = c.link ? folder + "-target" : entry;
    QFile made(file);
    EXPECT_TRUE(QDir().mkdir(folder) && made.open(QIODevice::WriteOnly) && made.write(bytes) == bytes.size());
    made.close();
    EXPECT_TRUE(!c.link || QFile::link(file, entry));
    EXPECT_EQ(::lchown(encodeFileName(entry).constData(), c.entryOwner, kPlainGroup), 0);
    EXPECT_EQ(::chown(encodeFileName(folder).constData(), c.folderOwner, 0), 0);
    EXPECT_EQ(::chmod(encodeFileName(folder).constData(), c.folderBits), 0);
    return {entry, file};
}

}  // namespace dnp::test
