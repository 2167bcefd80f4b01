// dnpcfg image and decode: the configuration image that a Send would build, and
// an image mapped back as a completed retrieve would map it, without a serial line.

#include "cli/Args.h"
#include "cli/Commands.h"
#include "classes/ClassEditor.h"
#include "comm/ConfigImage.h"
#include "comm/SortModel.h"
#include "files/ConfigFile.h"
#include "files/FileCommands.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <optional>

namespace dnp::cli {
namespace {

// The commands ask nothing: messages go to stderr, questions get their default.
class CliPrompts : public UserPrompts {
public:
    explicit CliPrompts(QTextStream& err) : err_(err) {}
    void information(const QString& text) override { err_ << text << "\n"; }
    void error(const QString& text) override { err_ << text << "\n"; }
    bool confirm(const QString&, const QString&) override { return true; }
    std::optional<QString> openFileName(const FileDialogSettings&) override { return std::nullopt; }
    std::optional<QString> saveFileName(const FileDialogSettings&) override { return std::nullopt; }
    void showHelp(int) override {}

private:
    QTextStream& err_;
};

// The program's configuration, its class editor and the order window's logic, as
// they are right after start-up.
struct Program {
    explicit Program(QTextStream& err) : prompts(err) {}
    ConfigState state;
    CliPrompts prompts;
    ClassEditor editor{state, prompts};
    SortModel sort{state};
};

struct MappingName {
    const char* name;
    int item;
};
constexpr MappingName kMappingNames[] = {{"uninitialized", 0}, {"subset", 1}, {"individual", 2}};

std::optional<int> mappingItemByName(const QString& name)
{
    for (const MappingName& m : kMappingNames)
        if (name == QLatin1String(m.name))
            return m.item;
    return std::nullopt;
}

}  // namespace

int runImage(const QStringList& args, Io io)
{
    const QString synopsis = QStringLiteral("dnpcfg image CONFIG.dnp [--mapping uninitialized|subset|individual]");
    const ParsedArgs parsed = parseArgs(args, {"--mapping"});
    if (!parsed.error.isEmpty())
        return usageError(io, synopsis + " (" + parsed.error + ")");
    if (parsed.positional.size() != 1)
        return usageError(io, synopsis);
    const std::optional<int> mapping = mappingItemByName(parsed.value("--mapping", QStringLiteral("individual")));
    if (!mapping)
        return usageError(io, synopsis + " (unknown mapping '" + parsed.value("--mapping") + "')");

    const QString path = parsed.positional.front();
    const ConfigFileLoad load = loadConfigFile(path);
    if (const auto* failure = std::get_if<ConfigFileError>(&load.result)) {
        io.err << "dnpcfg: " << describeFileError(path, *failure) << "\n";
        return kExitFailure;
    }

    // Open, then Send, as in a freshly started program.
    Program program(io.err);
    program.editor.ResetClassBtnClick();
    applyConfigFileData(program.state, std::get<ConfigFileData>(load.result));
    SendBtnClick(program.state, program.editor, program.sort);
    const ImageBuildResult built = buildSendImage(program.state, program.sort, *mapping);
    if (const auto* refusal = std::get_if<ImageRefusal>(&built)) {
        io.err << refusal->message << "\n";
        return kExitFailure;
    }
    io.out << formatImageText(std::get<BuiltImage>(built).image);
    return kExitOk;
}

int runDecode(const QStringList& args, Io io)
{
    const QString synopsis = QStringLiteral("dnpcfg decode IMAGE.txt -o OUT.dnp");
    const ParsedArgs parsed = parseArgs(args, {"-o", "--output"});
    if (!parsed.error.isEmpty())
        return usageError(io, synopsis + " (" + parsed.error + ")");
    const QString output = parsed.value("-o", parsed.value("--output"));
    if (parsed.positional.size() != 1 || output.isEmpty())
        return usageError(io, synopsis);

    const QString input = parsed.positional.front();
    QFile file(input);
    if (QFileInfo(input).isDir() || !file.open(QIODevice::ReadOnly)) {
        io.err << "dnpcfg: " << input << ": " << (QFileInfo(input).isDir() ? QStringLiteral("is a folder") : file.errorString())
               << "\n";
        return kExitFailure;
    }
    const ImageTextResult parsedImage = parseImageText(file.readAll());
    if (const auto* failure = std::get_if<ImageTextError>(&parsedImage)) {
        io.err << "dnpcfg: " << input << ", " << failure->text() << "\n";
        return kExitFailure;
    }
    const ConfigImage& image = std::get<ConfigImage>(parsedImage);

    // Retrieve in a freshly started program: the window in retrieve mode, the 18
    // replies collected, the unsolicited words taken over with the 17th, then the
    // completion.
    Program program(io.err);
    retrieveBtnClick(program.sort);
    program.sort.resetRetrieve();
    program.sort.Retrieved = retrieveBuffersFromImage(image);
    applyRetrievedUnsolicited(program.state, program.sort.Retrieved);
    completeRetrieve(program.state, program.editor, program.sort);

    const QString error = writeFileSafely(output, composeConfigFile(program.state, QDateTime::currentDateTime()));
    if (!error.isEmpty()) {
        io.err << "dnpcfg: " << error << "\n";
        return kExitFailure;
    }

    const std::uint16_t code = program.sort.Retrieved.RetrievedMappingCode;
    const int item = mappingItemForCode(code);
    io.out << QStringLiteral("mapping %1: %2\n").arg(code).arg(item >= 0 ? mappingText(item) : QStringLiteral("unknown"));
    for (PointType type : kAllPointTypes) {
        const std::vector<OrderItem>& found = program.sort.retrieveList(type);
        io.out << pointTypeName(type) << QStringLiteral(": %1\n").arg(found.size());
        for (const OrderItem& point : found)
            io.out << QStringLiteral("  %1 %2\n").arg(point.TypeIndex, 3).arg(point.ShortName);
    }
    return kExitOk;
}

}  // namespace dnp::cli
