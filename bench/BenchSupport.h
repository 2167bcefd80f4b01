#pragma once
// What the benchmarks share: their options and the median of their runs.

#include <QStringList>
#include <algorithm>
#include <vector>

namespace dnp::bench {

// The number after `name` on the command line ("--runs 5"), or `fallback`.
inline int intOption(const QStringList& args, const QString& name, int fallback)
{
    const int i = static_cast<int>(args.indexOf(name));
    return i >= 0 && i + 1 < args.size() ? args[i + 1].toInt() : fallback;
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace dnp::bench
