#pragma once
// How every reader, writer and operation that can fail answers: the value, or an
// error with a message a user can act on (and, for file input, the line).

#include <QString>
#include <optional>
#include <utility>
#include <variant>

namespace dnp {

struct Error {
    QString message;
    int line = 0;             // 1-based line of a file (or row of a form's field), 0 when not tied to one
    bool cannotOpen = false;  // the input could not be opened at all
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

inline Error failure(QString message, int line = 0)
{
    return Error{std::move(message), line};
}

}  // namespace dnp
