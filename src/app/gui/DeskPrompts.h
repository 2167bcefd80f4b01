#pragma once
// What the desk asks and tells: the windows' prompts and the panel session's questions,
// answered by the real dialogs (WidgetPrompts) or by a test's script.

#include "app/PanelSession.h"
#include "widgets/UserPrompts.h"

namespace dnp {

class DeskPrompts : public UserPrompts, public PanelQuestions {};

}  // namespace dnp
