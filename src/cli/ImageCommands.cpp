// dnpcfg image and decode: the configuration image that a Send would build, and
// an image mapped back as a completed retrieve would map it, without a serial line.

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Program.h"
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

    // Open, then Send, as in a freshly started program.
    Program program(io);
    if (!program.open(parsed.positional.front(), io))
        return kExitFailure;
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
    Program program(io);
    retrieveBtnClick(program.sort);
    program.sort.resetRetrieve();
    program.sort.Retrieved = retrieveBuffersFromImage(image);
    applyRetrievedUnsolicited(program.state, program.sort.Retrieved);
    completeRetrieve(program.state, program.editor, program.sort);

    if (const int status = writeOut(output, composeConfigFile(program.state, QDateTime::currentDateTime()), io))
        return status;
    printRetrieved(program.sort, io);
    return kExitOk;
}

}  // namespace dnp::cli
