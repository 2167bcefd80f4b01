#pragma once
// A small parser for the commands' arguments: positional words, options that take
// a value ("-o FILE", "--mapping subset", also "--mapping=subset") and flags.

#include <QMap>
#include <QSet>
#include <QStringList>
#include <optional>

namespace dnp::cli {

struct ParsedArgs {
    QStringList positional;
    QMap<QString, QString> values;
    QSet<QString> flags;
    QString error;  // empty when the arguments fit

    bool has(const QString& option) const { return values.contains(option) || flags.contains(option); }
    QString value(const QString& option, const QString& fallback = {}) const { return values.value(option, fallback); }
};

// valueOptions: options followed by a value; flagOptions: options without one.
ParsedArgs parseArgs(const QStringList& args, const QStringList& valueOptions, const QStringList& flagOptions = {});

}  // namespace dnp::cli
