#pragma once
// What the desk's windows ask or tell the user goes through this interface (message
// boxes, file dialogs, the help), so that a test can answer it.

#include "model/ConfigCompare.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace dnp {

struct FileDialogSettings {
    QString title;             // empty: the system's default title
    QString fileName;          // "*.dnp"
    QString defaultExtension;  // "dnp"
    QString filter;            // "dnp", or "DNP configurations (*.dnp)|*.dnp|All files (*)|*"
    QString folder;            // where the dialog starts; empty: the current folder
};

// The answers to "Save changes to <name>?".
enum class SaveChoice { Save, Discard, Cancel };

class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    // Message boxes with a single OK button.
    virtual void information(const QString& text) = 0;
    virtual void error(const QString& text) = 0;
    // OK/Cancel box without icon; true for OK.
    virtual bool confirm(const QString& caption, const QString& text) = 0;
    // A question before work is thrown away: its button says what it does (`action`,
    // "Clear"), Cancel is the default; true for `action`. Where nothing is shown, as confirm.
    virtual bool confirmDiscard(const QString& caption, const QString& text, const QString& action)
    {
        static_cast<void>(action);
        return confirm(caption, text);
    }
    // Save/Discard/Cancel box, asked before unsaved changes are set aside.
    virtual SaveChoice askSaveChanges(const QString& text) = 0;
    // The chosen path, or nothing when the dialog was cancelled.
    virtual std::optional<QString> openFileName(const FileDialogSettings& settings) = 0;
    virtual std::optional<QString> saveFileName(const FileDialogSettings& settings) = 0;
    // A file's problems, one a line ("line 13: ..."), under a heading that names the file
    // once. Where no list can be shown, told as an error: the heading, then the lines.
    virtual void showProblems(const QString& heading, const QStringList& problems)
    {
        error(problems.isEmpty() ? heading : heading + QLatin1Char('\n') + problems.join(QLatin1Char('\n')));
    }
    // Two configurations' differences (A and B), under a heading that names them.
    virtual void showDifferences(const QString& heading, const ConfigDifferences& differences) = 0;
    // The question shown (confirm) is withdrawn: its box closes as if cancelled.
    virtual void withdrawQuestion() = 0;
    // The help at its contents (topic 0) or at the page of a topic (model/HelpTopics.h).
    virtual void showHelp(int topic) = 0;
};

}  // namespace dnp
