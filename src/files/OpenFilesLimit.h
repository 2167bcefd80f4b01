#pragma once
// How many files this process may hold open at once: a fleet of hundreds of panels (in
// dnpcfg fleet, or served by the simulator) holds a socket or a terminal per panel.

#include "model/Result.h"

#include <QString>

namespace dnp {

// Lets this process hold `needed` files open: its soft limit (RLIMIT_NOFILE) is raised
// to `needed` when it is lower, as far as the hard limit allows. A refusal names what
// needs them and the limit: "1000 panels need 2064 open files, but this process may
// open at most 1024 (its hard limit, ulimit -Hn)."
Result<void> allowOpenFiles(int needed, const QString& what);

}  // namespace dnp
