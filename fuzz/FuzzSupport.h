#pragma once
// What every fuzz target needs besides its check: a core application (the exchange's
// timers and the regional settings want one) and the libFuzzer entry points.

#include "support/FuzzChecks.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

namespace dnp::fuzz {

inline void startApplication()
{
    static int argc = 1;
    static char name[] = "dnp-fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    (void)app;
}

inline QByteArrayView inputView(const std::uint8_t* data, std::size_t size)
{
    return QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

}  // namespace dnp::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    dnp::fuzz::startApplication();
    return 0;
}
