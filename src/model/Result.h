#pragma once
// How every reader, writer and operation that can fail answers: the value, or an
// error with a message a user can act on (and, for file input, the line).

#include <QString>
#include <optional>
#include <utility>
#include <variant>

namespace dnp {

// Which input an error is about: a line of a file (from 1), a field of a form (its number
// in the form's own list of fields), or an input that could not be opened at all.
struct FileLine {
    int number = 0;
};
struct FormField {
    int number = 0;
};
struct Unopened {};

struct Error {
    QString message;
    std::variant<std::monostate, FileLine, FormField, Unopened> about = {};

    // The line of a file the error is about; 0 when it is about none.
    int line() const { return std::holds_alternative<FileLine>(about) ? std::get<FileLine>(about).number : 0; }
    // The field of a form the error is about; nothing when it is about none.
    std::optional<int> field() const
    {
        return std::holds_alternative<FormField>(about) ? std::optional<int>(std::get<FormField>(about).number)
                                                        : std::nullopt;
    }
    // The input could not be opened at all.
    bool unopened() const { return std::holds_alternative<Unopened>(about); }
};

template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : v_(std::move(value)) {}
    Result(Error error) : v_(std::move(error)) {}

    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }
    const T& value() const& { return std::get<0>(v_); }
    T& value() & { return std::get<0>(v_); }
    T&& value() && { return std::get<0>(std::move(v_)); }
    const T* operator->() const { return &value(); }
    const T& operator*() const { return value(); }
    const Error& error() const { return std::get<1>(v_); }

private:
    std::variant<T, Error> v_;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error)) {}

    bool ok() const { return !error_; }
    explicit operator bool() const { return ok(); }
    const Error& error() const { return *error_; }

private:
    std::optional<Error> error_;
};

// A failure; about a line of a file when `line` is from 1.
inline Error failure(QString message, int line = 0)
{
    if (line > 0)
        return Error{std::move(message), FileLine{line}};
    return Error{std::move(message)};
}

// A failure about a field of a form.
inline Error fieldFailure(QString message, int field)
{
    return Error{std::move(message), FormField{field}};
}

}  // namespace dnp
