#pragma once
// The desk's prompts answered from a script and records what was shown, so that
// tests never block on a dialog.

#include "app/gui/DeskPrompts.h"

#include <QList>
#include <QStringList>
#include <deque>
#include <functional>

namespace dnp::test {

struct Shown {
    enum Kind { Information, Error, Confirm, SaveChanges, OpenDialog, SaveDialog, SelectPort, Help, Differences, Withdrawn, Trust } kind;
    QString text;      // message text; for dialogs the file name setting
    QString caption;   // confirm caption; for dialogs the filter
    int topic = 0;
    FileDialogSettings dialog;
};

class ScriptedPrompts : public DeskPrompts {
public:
    std::deque<bool> confirmAnswers;                 // empty: OK
    std::deque<std::optional<QString>> fileAnswers;  // empty: cancelled
    std::deque<SaveChoice> saveChoices;              // empty: Discard
    std::deque<PortChoice> portAnswers;              // empty: cancelled
    std::deque<bool> trustAnswers;                   // empty: Cancel
    QList<Shown> shown;
    std::function<void()> whileConfirming;

    // What happens while a message box is shown.
    std::function<void()> whileTelling;

    void information(const QString& text) override { tell(Shown::Information, text); }
    void error(const QString& text) override { tell(Shown::Error, text); }
    bool confirm(const QString& caption, const QString& text) override
    {
        shown.push_back({Shown::Confirm, text, caption, 0, {}});
        // What happens while the question is shown; a question withdrawn meanwhile is
        // answered Cancel.
        if (whileConfirming) {
            const qsizetype before = shown.size();
            whileConfirming();
            for (qsizetype i = before; i < shown.size(); ++i)
                if (shown[i].kind == Shown::Withdrawn)
                    return false;
        }
        if (confirmAnswers.empty())
            return true;
        const bool answer = confirmAnswers.front();
        confirmAnswers.pop_front();
        return answer;
    }
    SaveChoice askSaveChanges(const QString& text) override
    {
        shown.push_back({Shown::SaveChanges, text, {}, 0, {}});
        if (saveChoices.empty())
            return SaveChoice::Discard;
        const SaveChoice answer = saveChoices.front();
        saveChoices.pop_front();
        return answer;
    }
    std::optional<QString> openFileName(const FileDialogSettings& s) override { return file(Shown::OpenDialog, s); }
    std::optional<QString> saveFileName(const FileDialogSettings& s) override { return file(Shown::SaveDialog, s); }
    std::optional<PortChoice> selectPort(const QList<int>&, const QMap<int, QString>&) override
    {
        shown.push_back({Shown::SelectPort, {}, {}, 0, {}});
        PortChoice answer = PortCancelled{};
        if (!portAnswers.empty()) {
            answer = portAnswers.front();
            portAnswers.pop_front();
        }
        return answer;
    }
    void showHelp(int topic) override { shown.push_back({Shown::Help, {}, {}, topic, {}}); }
    // The heading, then the difference lines.
    void showDifferences(const QString& heading, const ConfigDifferences& differences) override
    {
        shown.push_back({Shown::Differences, (QStringList{heading} + differenceLines(differences)).join(QLatin1Char('\n')), {}, 0, {}});
    }
    void withdrawQuestion() override { shown.push_back({Shown::Withdrawn, {}, {}, 0, {}}); }
    // The refusal, then the certificate's lines.
    bool trustCertificate(const QString& refusal, const QString& facts) override
    {
        shown.push_back({Shown::Trust, refusal + QLatin1Char('\n') + facts, {}, 0, {}});
        const bool answer = !trustAnswers.empty() && trustAnswers.front();
        if (!trustAnswers.empty())
            trustAnswers.pop_front();
        return answer;
    }

    QStringList texts() const
    {
        QStringList list;
        for (const auto& s : shown)
            list << s.text;
        return list;
    }
    QStringList texts(Shown::Kind kind) const
    {
        QStringList list;
        for (const auto& s : shown)
            if (s.kind == kind)
                list << s.text;
        return list;
    }

private:
    void tell(Shown::Kind kind, const QString& text)
    {
        shown.push_back({kind, text, {}, 0, {}});
        if (whileTelling)
            whileTelling();
    }
    std::optional<QString> file(Shown::Kind kind, const FileDialogSettings& s)
    {
        shown.push_back({kind, s.fileName, s.filter, 0, s});
        std::optional<QString> answer;
        if (!fileAnswers.empty()) {
            answer.swap(fileAnswers.front());
            fileAnswers.pop_front();
        }
        return answer;
    }
};

}  // namespace dnp::test
