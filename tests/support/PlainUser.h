#pragma once
// A step run as a plain user: a child process that dropped to user and group 65534
// (nobody, nogroup) without supplementary groups, for the cases where what the system
// lets a user do is the point. Only the superuser can drop to another user; elsewhere
// the run says why it was skipped.

#include "files/FileAccess.h"

#include <QByteArray>
#include <QString>
#include <functional>

#include <cerrno>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace dnp::test {

inline constexpr uid_t kPlainUser = 65534;
inline constexpr gid_t kPlainGroup = 65534;

// What a child process that became the plain user told, or why it could not run.
struct PlainUserRun {
    QString told;
    QString skipped;  // "" when the child ran
};

// Runs `step` in a child process that became the plain user 65534 without groups, and
// gives the text it returned. A child that cannot become that user or reach the folder
// is a reason to skip; a child that ends otherwise tells how, so the test fails.
inline PlainUserRun asPlainUser(const QString& folder, const std::function<QString()>& step)
{
    enum ChildExit { kDone = 0, kCannotDrop = 3, kCannotReach = 4, kCannotTell = 5 };
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return {{}, QStringLiteral("no pipe")};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        if (::setgroups(0, nullptr) != 0 || ::setresgid(kPlainGroup, kPlainGroup, kPlainGroup) != 0 ||
            ::setresuid(kPlainUser, kPlainUser, kPlainUser) != 0)
            ::_exit(kCannotDrop);
        if (::access(encodeFileName(folder).constData(), W_OK | X_OK) != 0)
            ::_exit(kCannotReach);
        const QByteArray text = step().toUtf8();
        const ssize_t written = ::write(pipeEnds[1], text.constData(), static_cast<size_t>(text.size()));
        ::_exit(written == text.size() ? kDone : kCannotTell);
    }
    ::close(pipeEnds[1]);
    QByteArray text;
    char buffer[4096];
    while (true) {
        const ssize_t n = ::read(pipeEnds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buffer, n);
    }
    ::close(pipeEnds[0]);
    int status = 0;
    if (::waitpid(child, &status, 0) != child)
        return {QStringLiteral("(the child was lost)"), {}};
    if (!WIFEXITED(status))
        return {QStringLiteral("(the child ended by signal %1)").arg(WTERMSIG(status)), {}};
    switch (WEXITSTATUS(status)) {
    case kDone:
        return {QString::fromUtf8(text), {}};
    case kCannotDrop:
        return {{}, QStringLiteral("cannot become user 65534 (that needs the superuser)")};
    case kCannotReach:
        return {{}, QStringLiteral("user 65534 cannot reach the temporary folder")};
    default:
        return {QStringLiteral("(the child ended with status %1)").arg(WEXITSTATUS(status)), {}};
    }
}

}  // namespace dnp::test
