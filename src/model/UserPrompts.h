#pragma once
// Everything that asks or tells the user goes through this interface, so that the
// logic runs the same under the windows, under dnpcfg and in the tests.

#include "model/ConfigCompare.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace dnp {

struct FileDialogSettings {
    QString title;             // empty: the system's default title
    QString fileName;          // "*.dnp"
    QString defaultExtension;  // "dnp"
    QString filter;            // "dnp", or "DNP configurations (*.dnp)|*.dnp|All files (*)|*"
    QString folder;            // where the dialog starts; empty: the current folder
};

// "Select Port"'s answer: Cancel, a COM number, or a device typed (a path, tcp:// or
// tls://HOST:PORT).
struct PortCancelled {
    bool operator==(const PortCancelled&) const = default;
};
using PortChoice = std::variant<PortCancelled, int, QString>;

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
    // "Select Port", when a transfer starts with no port chosen: the COM numbers whose
    // device is present (`ports`; `devices` maps numbers to devices); the number chosen,
    // a device typed or Cancel; nothing where nobody can be asked.
    virtual std::optional<PortChoice> selectPort(const QList<int>& ports, const QMap<int, QString>& devices) = 0;
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
    // The first contact with a server whose certificate is not trusted: why (`refusal`)
    // and the certificate (`facts`: subject, issuer, validity, fingerprint) are shown
    // with "Trust this certificate" and Cancel; true for Trust. Where nothing is asked,
    // both are told as an error and the answer is Cancel.
    virtual bool trustCertificate(const QString& refusal, const QString& facts)
    {
        error(refusal + QLatin1Char('\n') + facts);
        return false;
    }
};

// The answers of a run without anyone to ask (dnpcfg, a fleet's jobs): a confirmation is
// OK, unsaved changes are discarded, no file and no port is chosen, nothing is shown.
// What is told is left to the run.
class UnattendedPrompts : public UserPrompts {
public:
    bool confirm(const QString&, const QString&) override { return true; }
    SaveChoice askSaveChanges(const QString&) override { return SaveChoice::Discard; }
    std::optional<QString> openFileName(const FileDialogSettings&) override { return std::nullopt; }
    std::optional<QString> saveFileName(const FileDialogSettings&) override { return std::nullopt; }
    std::optional<PortChoice> selectPort(const QList<int>&, const QMap<int, QString>&) override { return std::nullopt; }
    void withdrawQuestion() override {}
    void showHelp(int) override {}
};

}  // namespace dnp
