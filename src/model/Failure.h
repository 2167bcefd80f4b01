#pragma once
// What a program tells of a failure nobody expected (a programming error): caught
// once, at the top of each program, shown with this text, and the program goes on
// (the windows) or ends with status 1 (the command line).

#include <QString>
#include <exception>

namespace dnp {

inline QString unexpectedFailureText(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return QStringLiteral("An unexpected error has occurred: %1").arg(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return QStringLiteral("An unexpected error has occurred.");
    }
}

}  // namespace dnp
