#pragma once
// Device nodes the tests make inside their own temporary folder: a test that hands a
// device to a reader or a writer never names one of the machine's own.

#include <QFile>
#include <QString>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace dnp::test {

// Why a test that needs a device node was skipped.
inline constexpr char kNoDeviceNodes[] = "device nodes cannot be made here (mknod needs the superuser)";

// A character device that reads as empty and swallows what is written, as a null device
// does (major 1, minor 3), at `path`; false where nodes cannot be made.
inline bool makeNullDevice(const QString& path)
{
    constexpr unsigned kMemoryDevices = 1;
    constexpr unsigned kNullDevice = 3;
    return ::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, makedev(kMemoryDevices, kNullDevice)) == 0;
}

}  // namespace dnp::test
