#pragma once
// What the tests look at in a workspace beyond the views the front ends use: its file,
// caption and saved state, and a configuration put in place as it is.

#include "app/Workspace.h"
#include "files/ConfigFile.h"

namespace dnp::test {

struct WorkspaceProbe {
    Workspace& ws;

    const QString& filePath() const { return ws.filePath(); }
    const QString& lastSavedPath() const { return ws.lastSavedPath(); }
    const QString& caption() const { return ws.caption(); }
    bool modified() const { return ws.modified(); }
    Result<void> saveTrace(const QString& path) const { return ws.saveTrace(path); }
    // The configuration the workspace holds from now on, as unsaved work in its file.
    void adopt(const ConfigFileData& data)
    {
        ws.replaceConfiguration(ws.withFileData(data), {ws.filePath_, ws.caption_, false});
    }
};

}  // namespace dnp::test

namespace dnp {

inline test::WorkspaceProbe inspect(const Workspace& ws)
{
    return {const_cast<Workspace&>(ws)};
}

}  // namespace dnp
