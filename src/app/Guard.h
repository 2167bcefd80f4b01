#pragma once
// The top-level error handling: a failure inside a handler ends that action, its
// text is shown in an error box, and the program goes on.

#include "model/UserPrompts.h"

#include <exception>
#include <utility>

namespace dnp {

template <typename Action>
bool guarded(UserPrompts& prompts, Action&& action)
{
    try {
        std::forward<Action>(action)();
        return true;
    } catch (const std::exception& e) {
        prompts.error(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        prompts.error(QStringLiteral("An unexpected error has occurred."));
    }
    return false;
}

}  // namespace dnp
