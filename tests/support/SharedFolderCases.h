#pragma once
// The file rule in a shared folder (one anyone may write, with the sticky bit, as /tmp),
// which every file the programs make keeps (an output, the settings, the history's
// store): what another user left there, a link or a file, is refused naming them; the
// user's own and the folder owner's are taken, and a folder without the sticky bit is no
// shared folder. Each kind of file runs the same table through its own writer. The
// entries are made by the superuser for user 65534.

#include "files/FileAccess.h"
#include "support/PlainUser.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

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
    const passwd* owner = ::getpwuid(c.entryOwner);
    const QString name = owner ? QString::fromLocal8Bit(owner->pw_name) : QString::number(c.entryOwner);
    return c.link ? entry + " is a link owned by another user (" + name + ") in a shared folder; it was not followed."
                  : entry + " belongs to another user (" + name + ") in a shared folder; it was left as it is.";
}

// The case `index` made in `base`: a folder "shared-N" with the bits and owner of the
// case and the entry `name` in it, holding `bytes` (a link's target "shared-N-target"
// lies beside the folder). Gives the entry's path and the file it names.
struct SharedFolderEntry {
    QString entry;
    QString file;
};
inline SharedFolderEntry makeSharedFolderCase(const QString& base, std::size_t index, const QString& name,
                                              const QByteArray& bytes)
{
    const SharedFolderCase& c = kSharedFolderCases[index];
    const QString folder = QDir(base).filePath(QStringLiteral("shared-%1").arg(index));
    const SharedFolderEntry made{folder + "/" + name, c.link ? folder + "-target" : folder + "/" + name};
    const auto bytesOf = [](const QString& path) { return encodeFileName(path); };
    EXPECT_EQ(::mkdir(bytesOf(folder).constData(), 0700), 0);
    QFile file(made.file);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    if (c.link) {
        EXPECT_EQ(::symlink(bytesOf(made.file).constData(), bytesOf(made.entry).constData()), 0);
    }
    EXPECT_EQ(::lchown(bytesOf(made.entry).constData(), c.entryOwner, kPlainGroup), 0);
    EXPECT_EQ(::chown(bytesOf(folder).constData(), c.folderOwner, 0), 0);
    EXPECT_EQ(::chmod(bytesOf(folder).constData(), c.folderBits), 0);
    return made;
}

}  // namespace dnp::test
