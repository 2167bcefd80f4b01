#include "cli/Program.h"

#include "comm/ConfigImage.h"
#include "files/ConfigFile.h"
#include "files/FileCommands.h"

namespace dnp::cli {

bool Program::open(const QString& path, Io io)
{
    const ConfigFileLoad load = loadConfigFile(path);
    if (const auto* failure = std::get_if<ConfigFileError>(&load.result)) {
        io.err << "dnpcfg: " << describeFileError(path, *failure) << "\n";
        return false;
    }
    editor.ResetClassBtnClick();
    applyConfigFileData(state, std::get<ConfigFileData>(load.result));
    return true;
}

int writeOut(const QString& path, const QByteArray& bytes, Io io)
{
    const QString error = writeFileSafely(path, bytes);
    if (!error.isEmpty()) {
        io.err << "dnpcfg: " << error << "\n";
        return kExitFailure;
    }
    return kExitOk;
}

std::optional<int> mappingItemByName(const QString& name)
{
    const int item = static_cast<int>(QStringList{"uninitialized", "subset", "individual"}.indexOf(name));
    return item >= 0 ? std::optional<int>(item) : std::nullopt;
}

void printRetrieved(const SortModel& sort, Io io)
{
    const std::uint16_t code = sort.Retrieved.RetrievedMappingCode;
    const int item = mappingItemForCode(code);
    io.out << QStringLiteral("mapping %1: %2\n").arg(code).arg(item >= 0 ? mappingText(item) : QStringLiteral("unknown"));
    for (PointType type : kAllPointTypes) {
        const std::vector<OrderItem>& found = sort.retrieveList(type);
        io.out << pointTypeName(type) << QStringLiteral(": %1\n").arg(found.size());
        for (const OrderItem& point : found)
            io.out << QStringLiteral("  %1 %2\n").arg(point.TypeIndex, 3).arg(point.ShortName);
    }
}

}  // namespace dnp::cli
