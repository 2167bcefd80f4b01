#pragma once
// Text that reaches a terminal (a table of dnpcfg, each "dnpcfg: " line): a control
// character in it (an escape sequence in a device name, a carriage return in a stored
// message) is shown as \xHH, so that no stored or echoed text can move the cursor,
// rewrite lines or set the clipboard of whoever reads it. CSV keeps its own cells.

#include <QString>
#include <QStringView>

namespace dnp {

// The text with every C0 control (U+0000-U+001F, tab and line break included), DEL and
// C1 control (U+0080-U+009F) shown as "\x1b": a backslash, "x" and two lowercase hex
// digits. Everything else is kept.
QString terminalText(QStringView text);

}  // namespace dnp
