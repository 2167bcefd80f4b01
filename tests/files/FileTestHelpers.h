#pragma once
// Shared pieces of the configuration file and report tests.

#include "files/ConfigFile.h"
#include "model/Catalog.h"
#include "model/ConfigState.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <vector>
#include <gtest/gtest.h>


namespace dnp::test {

inline QDateTime fixedNow()
{
    return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9));
}

// The lines of a CR LF text, without their line ends (a last line end adds no line).
inline QList<QByteArray> crlfLines(const QByteArray& bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray& l : lines) {
        EXPECT_TRUE(l.endsWith('\r')) << l.constData();
        l.chop(1);
    }
    return lines;
}

inline QByteArray joinCrlf(const QList<QByteArray>& lines)
{
    QByteArray bytes;
    for (const QByteArray& l : lines)
        bytes += l + "\r\n";
    return bytes;
}

inline QByteArray shortNamesLine(PointType type, int first, int count)
{
    QStringList names;
    for (int i = first; i < first + count; ++i)
        names << PointCatalog::instance().point(type, i).shortName;
    return names.join(',').toLatin1();
}

// Class 0 points of a type in the given order: slots of the chosen points, values the order.
inline void setClass0(ConfigState& state, PointType type, const std::vector<int>& order)
{
    std::vector<int> occupied = order;
    std::sort(occupied.begin(), occupied.end());
    auto& table = state.Class0Order[typeNumber(type)];
    for (std::size_t k = 0; k < occupied.size(); ++k) {
        state.setSelected(0, type, occupied[k], true);
        table[occupied[k]] = order[k];
    }
}

// "line 12: message", or the message alone.
inline QString lineText(const Error& error)
{
    return error.line() > 0 ? QStringLiteral("line %1: %2").arg(error.line()).arg(error.message) : error.message;
}

inline ConfigFileData readOk(const QByteArray& bytes)
{
    const Result<ConfigFileData> result = readConfigFile(bytes);
    if (!result) {
        ADD_FAILURE() << lineText(result.error()).toStdString();
        return {};
    }
    return *result;
}

inline Error readFails(const QByteArray& bytes)
{
    const Result<ConfigFileData> result = readConfigFile(bytes);
    if (result) {
        ADD_FAILURE() << "the file was accepted";
        return {};
    }
    return result.error();
}

// A file with one line (1-based) replaced.
inline QByteArray withLine(const QByteArray& bytes, int line, const QByteArray& text)
{
    QList<QByteArray> lines = crlfLines(bytes);
    lines[line - 1] = text;
    return joinCrlf(lines);
}

// A configuration that uses every kind of entry: reordered Class 0 points of every
// type, multi-word points, event class selections and unusual unsolicited words.
inline ConfigState richConfiguration()
{
    ConfigState state;
    setClass0(state, PointType::Bin, {9, 2, 5});
    setClass0(state, PointType::Bout, {3, 1});
    setClass0(state, PointType::Ain, {329, 0, 363, 100});
    setClass0(state, PointType::Aout, {72, 57, 92, 111});
    setClass0(state, PointType::Counters, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    state.setSelected(1, PointType::Bin, 2, true);
    state.setSelected(1, PointType::Aout, 72, true);
    state.setSelected(2, PointType::Ain, 0, true);
    state.setSelected(2, PointType::Ain, 363, true);
    state.setSelected(3, PointType::Ain, 100, true);
    state.setSelected(3, PointType::Counters, 4, true);
    state.UnsolicitedSettings = {25, 778, 1000, 0, 0, 0xFFFF};
    state.ReportDescription = QStringLiteral("Substation 7, \"north\" feeder");
    state.ReportComment = QStringLiteral("None");
    return state;
}

inline QByteArray readFileBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

inline bool writeFileBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

}  // namespace dnp::test
