// The workspace's point list import: a CSV list or DNP3 Device Profile document, as the
// export writes it and a SCADA engineer may have edited it, read back over the
// configuration.

#include "app/Workspace.h"

#include "files/PointListImport.h"
#include "files/SafeWrite.h"

#include <QFileInfo>
#include <QStringList>

namespace dnp {
namespace {

const QString kCannotImportText = QStringLiteral("The point list cannot be read.");

}  // namespace

FileDialogSettings importDialogSettings()
{
    return {QStringLiteral("Import Point List"), QString(), QStringLiteral("csv"),
            kPointListFilter + QStringLiteral("|All files (*)|*"), {}};
}

Result<QString> Workspace::importPointList(const QString& listPath, PointListFormat format)
{
    const Result<ImportedPointList> imported = loadPointList(listPath, format, configFileDataOf(state_));
    if (!imported)
        return imported.error();
    replaceConfiguration(withFileData(imported->data), {filePath_, caption_, false});
    // Kept as the class editor keeps a Class 0 selection over the panel's words.
    const WordBudget words = wordBudget(state_);
    QStringList warnings;
    if (words.over())
        warnings << overBudgetText(words);
    if (!imported->warning.isEmpty())
        warnings << imported->warning;
    return warnings.join(QLatin1Char('\n'));
}

Result<QString> Workspace::importInto(const QString& listPath, PointListFormat format, const QString& outPath)
{
    if (!refuseSameFile(outPath, listPath))
        return failure(QStringLiteral("%1 is the point list being read; choose another file.").arg(outPath));
    const Result<QString> imported = importPointList(listPath, format);
    if (!imported)
        return imported;
    if (const Result<void> saved = save(outPath); !saved)
        return saved.error();
    return imported;
}

bool Workspace::importWithDialog()
{
    if (refuseWhileRunning() || !maySetAside())
        return false;
    const std::optional<QString> path = chosenFile(importDialogSettings(), false);
    if (!path)
        return false;
    const Result<QString> imported = importPointList(*path, exportFormatOf(*path));
    if (!imported) {
        const Error& error = imported.error();
        if (error.unopened())
            tellUnreadable(error, kCannotImportText);
        else  // the file named once, then a problem a line
            prompts_.showProblems(kCannotImportText + QLatin1Char('\n') + error.message.section(QLatin1Char('\n'), 0, 0),
                                  error.message.section(QLatin1Char('\n'), 1).split(QLatin1Char('\n'), Qt::SkipEmptyParts));
        return false;
    }
    emit noted(QStringLiteral("Imported %1").arg(QFileInfo(*path).absoluteFilePath()));
    if (!imported->isEmpty())
        prompts_.information(*imported);
    return true;
}

}  // namespace dnp
