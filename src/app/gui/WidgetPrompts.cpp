#include "app/gui/WidgetPrompts.h"

#include "app/ConfigDocument.h"
#include "app/gui/DifferencesDialog.h"
#include "app/gui/HelpWindow.h"
#include "app/gui/ProblemsDialog.h"
#include "comm/gui/ComSelectForm.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace dnp {
namespace {

// "DNP configurations (*.dnp)|*.dnp|All files (*)|*" -> Qt's "name (pattern);;...";
// a bare word such as "dnp" names the extension it filters.
QString qtFilter(const QString& filter)
{
    const QStringList parts = filter.split('|');
    if (parts.size() < 2)
        return QStringLiteral("%1 (*.%1)").arg(filter);
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i];
        if (!name.contains('('))
            name += QStringLiteral(" (%1)").arg(parts[i + 1]);
        out << name;
    }
    return out.join(QStringLiteral(";;"));
}

// The extension a name filter gives a file: "xml" for "DNP3 Device Profile (*.xml)";
// empty for a filter of any extension.
QString filterExtension(const QString& filter)
{
    const qsizetype star = filter.lastIndexOf(QStringLiteral("(*."));
    if (star < 0)
        return {};
    const QString extension = filter.mid(star + 3).section(QLatin1Char(')'), 0, 0).section(QLatin1Char(' '), 0, 0);
    return extension == QLatin1String("*") ? QString() : extension;
}

std::optional<QString> runFileDialog(QWidget* parent, const FileDialogSettings& s, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent, s.title);
    dialog.setAcceptMode(mode);
    dialog.setNameFilter(qtFilter(s.filter));
    dialog.setDefaultSuffix(s.defaultExtension);
    // A name typed without an extension takes the one of the type chosen.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, &s](const QString& filter) {
        const QString extension = filterExtension(filter);
        dialog.setDefaultSuffix(extension.isEmpty() ? s.defaultExtension : extension);
    });
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (!s.folder.isEmpty())
        dialog.setDirectory(s.folder);
    dialog.setFileMode(QFileDialog::AnyFile);  // the open dialog accepts a name that does not exist yet
    if (!s.fileName.isEmpty() && !s.fileName.contains('*'))
        dialog.selectFile(s.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

}  // namespace

WidgetPrompts::WidgetPrompts(std::function<QWidget*()> parent) : parent_(std::move(parent)) {}

WidgetPrompts::~WidgetPrompts() = default;

void WidgetPrompts::information(const QString& text)
{
    QMessageBox::information(parent_(), QStringLiteral("Information"), text);
}

void WidgetPrompts::error(const QString& text)
{
    QMessageBox::critical(parent_(), QStringLiteral("Error"), text);
}

bool WidgetPrompts::confirm(const QString& caption, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok | QMessageBox::Cancel, parent_());
    question_ = &box;
    return box.exec() == QMessageBox::Ok;
}

void WidgetPrompts::withdrawQuestion()
{
    if (question_)
        question_->reject();
}

void WidgetPrompts::showProblems(const QString& heading, const QStringList& problems)
{
    if (problems.isEmpty())
        return error(heading);
    ProblemsDialog dialog(heading, problems, parent_());
    dialog.exec();
}

void WidgetPrompts::showDifferences(const QString& heading, const ConfigDifferences& differences)
{
    QList<QStringList> rows;
    for (const ConfigDifference& d : differences)
        rows << differenceTableRow(d);
    DifferencesDialog dialog(QStringLiteral("Verify Panel"), heading, rows, parent_());
    dialog.exec();
}

bool WidgetPrompts::confirmDiscard(const QString& caption, const QString& text, const QString& action)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, parent_());
    QPushButton* yes = box.addButton(action, QMessageBox::DestructiveRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == yes;
}

// Work is thrown away only by a choice: Cancel is the default.
SaveChoice WidgetPrompts::askSaveChanges(const QString& text)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("DNP Configure"), text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent_());
    box.setDefaultButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveChoice::Save;
    case QMessageBox::Discard:
        return SaveChoice::Discard;
    default:
        return SaveChoice::Cancel;
    }
}

bool WidgetPrompts::trustCertificate(const QString& refusal, const QString& facts)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Certificate Not Trusted"), refusal, QMessageBox::NoButton,
                    parent_());
    box.setInformativeText(facts);
    const QPushButton* trust = box.addButton(QStringLiteral("Trust this certificate"), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == trust;
}

std::optional<QString> WidgetPrompts::openFileName(const FileDialogSettings& settings)
{
    return runFileDialog(parent_(), settings, QFileDialog::AcceptOpen);
}

std::optional<QString> WidgetPrompts::saveFileName(const FileDialogSettings& settings)
{
    return runFileDialog(parent_(), settings, QFileDialog::AcceptSave);
}

std::optional<PortChoice> WidgetPrompts::selectPort(const QList<int>& ports, const QMap<int, QString>& devices)
{
    return TComSelectForm::selectPort(ports, devices, parent_());
}

void WidgetPrompts::showHelp(int topic)
{
    if (!help_)
        help_ = std::make_unique<THelpWindow>();
    help_->showTopic(topic);
}

}  // namespace dnp
