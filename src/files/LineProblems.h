#pragma once
// What a reader of a text file tells about its lines: a field quoted in a message, and
// the problems found, each with its line, told together in line order.

#include "model/Result.h"

#include <QString>
#include <algorithm>
#include <limits>
#include <optional>
#include <vector>

namespace dnp {

// A field as a message shows it: in quotes, "?" for what cannot be shown, cut after
// `longest` characters ("...").
QString quotedField(const QString& text, qsizetype longest = 80);

class LineProblems {
public:
    void add(int line, const QString& message) { list_.push_back(failure(message, line)); }
    // The value, or nothing with its problem told at the line.
    template <typename T>
    std::optional<T> keep(Result<T> result, int line)
    {
        if (result)
            return std::move(result).value();
        add(line, result.error().message);
        return std::nullopt;
    }
    void check(const Result<void>& result, int line)
    {
        if (!result)
            add(line, result.error().message);
    }
    bool empty() const { return list_.empty(); }
    // Whether a problem was told at the line.
    bool has(int line) const
    {
        return std::any_of(list_.begin(), list_.end(), [line](const Error& e) { return e.line() == line; });
    }

    // The first `most` problems in line order as one error, one a line ("line 7: ..."),
    // under a line "PATH:" when `path` names the file; the error's line is the first's.
    Error error(const QString& path = {}, std::size_t most = std::numeric_limits<std::size_t>::max()) const;

private:
    std::vector<Error> list_;
};

}  // namespace dnp
