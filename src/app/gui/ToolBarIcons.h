#pragma once
// The images of the New, Open and Save tool buttons, drawn rather than loaded: no
// image files to read while the main window starts.

#include <QIcon>

namespace dnp {

enum class ToolBarImage { New, Open, Save };

QIcon toolBarIcon(ToolBarImage image);

}  // namespace dnp
