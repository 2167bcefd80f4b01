#pragma once
// A small parser for the commands' arguments: positional words, options that take
// a value ("-o FILE", "--mapping subset", also "--mapping=subset") and flags. "--"
// ends the options: every word after it is positional (a file named "-x.dnp").

#include "model/Result.h"

#include <QMap>
#include <QSet>
#include <QStringList>

namespace dnp::cli {

struct ParsedArgs {
    QStringList positional;
    QMap<QString, QString> values;       // the last value of each option
    QMap<QString, QStringList> repeated;  // every value of each option, in order
    QSet<QString> flags;

    bool has(const QString& option) const { return values.contains(option) || flags.contains(option); }
    QString value(const QString& option, const QString& fallback = {}) const { return values.value(option, fallback); }
    QStringList allValues(const QString& option) const { return repeated.value(option); }
};

// Options that name a file or a device: an empty value is refused, as an unset shell
// variable would give it.
inline const QStringList kPathOptions = {"-o", "--output", "--ini", "--device", "--base"};

// valueOptions: options followed by a value; flagOptions: options without one. Fails
// with "unknown option --x", "option -o needs a value" or "option --ini needs a file name".
Result<ParsedArgs> parseArgs(const QStringList& args, const QStringList& valueOptions, const QStringList& flagOptions = {});

}  // namespace dnp::cli
