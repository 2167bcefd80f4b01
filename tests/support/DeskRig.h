#pragma once
// The desk for the tests: its settings in a temporary folder, its panel a FakeLink the
// test scripts (the simulator's panel in-process by default), its clock fixed, its
// dialogs answered by a script.

#include "support/DocumentProbe.h"
#include "app/gui/DeskCommands.h"

#include "files/ConfigFile.h"
#include "files/FileTestHelpers.h"
#include "support/FakeLink.h"
#include "support/ScriptedPrompts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

namespace dnp::test {

struct DeskRig {
    DeskRig()
    {
        ws.document().clock = [] { return fixedNow(); };
        ws.session().clock = [] { return fixedNow(); };
        link.panel = simulatedPanel(panel);
        // COM 1 chosen (its device is the fake link's), the rest as the defaults.
        writeFileBytes(path("DNP.ini"), "[Comm]\nComPort=1\n");
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    // The configuration the desk holds from now on (unsaved).
    void use(const ConfigState& state) { inspect(ws.document()).adopt(configFileDataOf(state)); }
    // One more point ticked in Class 0, as in the editor, and OK.
    void editClass0(int binRow)
    {
        ws.editClass(0, [] {});
        ws.clickItem(ListTag::BinCLB, binRow);
        ASSERT_TRUE(ws.applyClassEdit());
    }
    // Runs a send, a retrieve or a verify the desk starts until it has ended; whether it
    // succeeded.
    bool run(const std::function<void()>& start)
    {
        std::optional<bool> succeeded;
        const QMetaObject::Connection c = QObject::connect(&ws, &DeskCommands::panelCommandEnded,
                                                           [&](const PanelOutcome& o) { succeeded = o.ok(); });
        start();
        QElapsedTimer patience;
        patience.start();
        while (!succeeded && patience.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QObject::disconnect(c);
        EXPECT_TRUE(succeeded.has_value()) << "the panel command did not end";
        return succeeded.value_or(false);
    }
    bool send(bool thenVerify = false)
    {
        return run([&] { (void)ws.session().send(ws.document(), Mapping::Individual, thenVerify); });
    }
    // A retrieve taken with OK, as the retrieve window's OK takes it.
    bool retrieve()
    {
        const bool read = run([&] { ws.retrieve(); });
        return ws.acceptRetrieve() && read;
    }

    QTemporaryDir dir;
    ScriptedPrompts prompts;
    FakeLine link;
    sim::Panel panel{std::nullopt, {}};
    DeskCommands ws{prompts, {dir.filePath("DNP.ini"), fakeLinks(link), nullptr, kFakeLineTiming}};
};

}  // namespace dnp::test
