#include "files/OpenFilesLimit.h"

#include <sys/resource.h>

namespace dnp {

Result<void> allowOpenFiles(int needed, const QString& what)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= static_cast<rlim_t>(needed))
        return {};  // RLIM_INFINITY is the largest number
    const rlimit raised{static_cast<rlim_t>(needed), limit.rlim_max};
    if (limit.rlim_max < raised.rlim_cur || ::setrlimit(RLIMIT_NOFILE, &raised) != 0)
        return failure(QStringLiteral("%1 need %2 open files, but this process may open at most %3 (its hard limit, "
                                      "ulimit -Hn).")
                           .arg(what)
                           .arg(needed)
                           .arg(limit.rlim_max));
    return {};
}

}  // namespace dnp
