#pragma once
// The file rules, in one place: what the programs may read and what they may write. Every
// reader and writer of a file asks here and is answered with a Result: the configuration
// files, reports, point lists, the jobs file and a fleet's results, line traces, DNP.ini
// and its lock, image texts and the history's store. The rules call no reader or writer
// back.
//
// Names. File names are bytes on this platform, and not every name is UTF-8. A name
// keeps its bytes through a QString: each byte that is not part of a valid UTF-8
// sequence becomes the code point U+DC00 + byte (a lone surrogate, which valid UTF-8
// never yields), and turns back into that byte when the name is used.
//
// Inputs are read whole or up to a bound no valid file approaches, and only when they
// are regular files: a folder, a FIFO or a device is refused at once, "<path> is not a
// regular file". An input that cannot be opened fails as unopened (Error::unopened())
// with the system's reason: "<path>: No such file or directory".
//
// Outputs are written by writeFileSafely, so that a failure never leaves half a file and
// a write never replaces what it should not. The path's symbolic links are followed to
// the file they name (the links stay); the bytes go to a temporary file with a short name
// in that file's folder, which is synced and then renamed over the file. The refusals,
// each leaving everything as it was:
//   - a folder that is missing or cannot be written, a loop of symbolic links, any other
//     failure of the system: "Cannot write <path>: <reason>" (the system's reason, e.g.
//     "Too many levels of symbolic links");
//   - a folder, a FIFO or a device: "<path> is not a regular file";
//   - in a shared folder (one anyone may write, with the sticky bit, as /tmp), a link or
//     a file that belongs neither to the user nor to the folder's owner, which another
//     user chose: "<link> is a link owned by another user (<name>) in a shared folder; it
//     was not followed." (the rule the system keeps for the links it follows itself),
//     "<path> belongs to another user (<name>) in a shared folder; it was left as it is.";
//   - a file without any write bit (also for the superuser), or one the system says the
//     user may not write: "<path> is read-only", or, when it belongs to another user who
//     may write it, "<path> belongs to another user; it was not replaced.";
//   - a file with other hard links, which a replacement would split off from them:
//     "<path> has other hard links; it was not replaced.";
//   - a file whose owner and group the replacement could not keep (only the superuser
//     may give a file to another user, and a user only to one of their own groups):
//     "<path> belongs to another user; it was not replaced.".
// A replaced file keeps its owner, its group and its permission bits, except the
// set-user-id and set-group-id bits, which a written file never has. A new file gets
// 0666 less the umask, and belongs to the user who writes it or, when asked, to the
// owner of its folder (NewFileOwner).

#include "model/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <memory>

namespace dnp {

// --- names ---

QString decodeFileName(QByteArrayView bytes);
QByteArray encodeFileName(const QString& name);

// The system's text for an errno value ("Permission denied").
QString systemReason(int error);

// The user's folder for one kind of files, as the XDG base directory rules name it: the
// folder `variable` holds when that is an absolute path (a relative one is ignored), else
// `underHome` in HOME. Refused when neither gives an absolute path (no HOME, or a
// relative one), so that nothing lands relative to the working folder or in "/":
// "neither <variable> nor HOME names one".
Result<QString> userFolder(const char* variable, const QString& underHome);

// --- inputs ---

// The whole of an input file; one larger than `maxBytes` is refused before it is read:
// "<path> is too large for <what> (more than N bytes)" (a file of exactly `maxBytes`
// bytes is read).
Result<QByteArray> readInputFile(const QString& path, qint64 maxBytes, const QString& what);

// The start of an input file, up to `maxBytes` bytes and as far as `enough` (given what
// was read so far) asks for; the same refusals as readInputFile, except the size.
Result<QByteArray> readInputStart(const QString& path, qint64 maxBytes, bool (*enough)(QByteArrayView read));

// --- outputs ---

// Who a file or folder made anew belongs to.
enum class NewFileOwner {
    Writer,       // the user who writes it: every ordinary output
    // When the superuser writes: the owner and group of the folder it is made in, so
    // that the user's own files (the settings, the history) made with sudo in another
    // user's home stay that user's.
    FolderOwner,
};
// Who may read a folder made anew: as the umask leaves it, or its owner alone (0700,
// whatever the umask: the history's folders).
enum class NewFolderBits { Umask, OwnerOnly };

// Writes the bytes to `path` as described above.
Result<void> writeFileSafely(const QString& path, const QByteArray& bytes, NewFileOwner owner = NewFileOwner::Writer);

// Every refusal writeFileSafely would give for `path`, without writing anything: an
// output checked before a long operation (a retrieve) whose result it will hold. A
// failure while writing (a full disk) can still follow.
Result<void> checkWritable(const QString& path);

// What a path names once its links are followed as writeFileSafely follows them: an
// existing file by its device and inode (one file under any name, link or hard link), a
// file not there yet by its folder's device and inode and its name there (so that a
// link to a file still to be made names that file). Two paths name one file when their
// identities are equal. A path that cannot be followed fails as writeFileSafely would.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool exists = false;
    QByteArray name;  // a file not there yet: its name in the folder
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};
std::size_t qHash(const FileIdentity& identity, std::size_t seed = 0);
Result<FileIdentity> fileIdentity(const QString& path);

// Refuses an output that is the same file as the input (fileIdentity): "<output> is the
// configuration being read; choose another file." Paths that do not both name an
// existing file pass.
Result<void> refuseSameFile(const QString& output, const QString& input);

// --- the user's own files: folders, a file kept in place, a lock ---

// A folder and the folders above it, made where missing (with `bits`), each new one
// owned as `owner` says. Fails with "Cannot create the folder <folder>: <reason>".
Result<void> makeFolders(const QString& folder, NewFileOwner owner, NewFolderBits bits = NewFolderBits::Umask);

// Whether a kept file's missing folders are made (the default place of the user's own
// file) or refused (a place the user named: a typo or a share not mounted is told).
enum class MissingFolders { Made, Refused };

// A file the program keeps and changes in place (the history's store), ready to be
// opened: made when missing, empty, with only its owner's rights (0600 whatever the
// umask) and owned as `owner` says; its missing folders made as `folders` says (0700,
// owned the same way). An existing file is taken as it is. Refused, naming the path: a
// folder whose folder is missing ("<path> cannot be made: its folder <folder> does not
// exist"), a folder, FIFO or device ("<path> is not a regular file"), another user's link
// or file in a shared folder (as writeFileSafely refuses them), a file that cannot be
// made ("<path> cannot be made: <reason>").
Result<void> makeKeptFile(const QString& path, NewFileOwner owner, MissingFolders folders);

// An exclusive lock on the file a path names, held while the object lives, so that the
// processes that read, change and write one file take turns and none loses another's
// change. The lock is the file "<name>.lock" beside it (made when missing, owned as
// `owner` says; the file itself is replaced by every write); a second taker waits.
// Fails with "Cannot lock <name>.lock: <reason>".
class FileLock {
public:
    static Result<FileLock> take(const QString& path, NewFileOwner owner);
    FileLock(FileLock&&) noexcept;
    FileLock& operator=(FileLock&&) noexcept;
    ~FileLock();

private:
    struct Held;
    explicit FileLock(std::unique_ptr<Held> held);
    std::unique_ptr<Held> held_;
};

}  // namespace dnp
