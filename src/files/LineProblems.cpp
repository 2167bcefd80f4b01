#include "files/LineProblems.h"

#include <QStringList>
#include <algorithm>

namespace dnp {

QString quotedField(const QString& text, qsizetype longest)
{
    QString shown = text.left(longest);
    for (QChar& c : shown)
        if (!c.isPrint())
            c = QLatin1Char('?');
    if (text.size() > longest)
        shown += QStringLiteral("...");
    return QLatin1Char('\'') + shown + QLatin1Char('\'');
}

Error LineProblems::error(const QString& path, std::size_t most) const
{
    std::vector<Error> sorted = list_;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Error& a, const Error& b) { return a.line() < b.line(); });
    if (sorted.size() > most)
        sorted.resize(most);
    QStringList lines;
    if (!path.isEmpty())
        lines << path + QLatin1Char(':');
    for (const Error& e : sorted)
        lines << (e.line() > 0 ? QStringLiteral("line %1: %2").arg(e.line()).arg(e.message) : e.message);
    return failure(lines.join(QLatin1Char('\n')), sorted.empty() ? 0 : sorted.front().line());
}

}  // namespace dnp
