#pragma once
// Configurations of a few analog inputs, the image a send of one carries, and the folder
// of a fleet's files: what the fleet's tests send to their panels and look for in them.

#include "comm/ConfigImage.h"
#include "files/ConfigFile.h"
#include "model/ConfigState.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace dnp::test {

// Class 0: the analog inputs firstAin, firstAin + 1, ... (`count` of them), in that order.
inline ConfigState analogInputs(int firstAin, int count)
{
    ConfigState state;
    for (int t = firstAin; t < firstAin + count; ++t) {
        state.setSelected(0, PointType::Ain, t, true);
        state.Class0Order[typeNumber(PointType::Ain)][t] = t;
    }
    return state;
}

// The image a send of `state` carries in individual mapping.
inline ConfigImage sentImageOf(const ConfigState& state)
{
    const Result<BuiltImage> built = buildSendImage(state, Mapping::Individual);
    EXPECT_TRUE(built);
    return built ? built->image : ConfigImage{};
}

// A folder of the test's own for jobs files and configurations.
struct FleetFolder : ::testing::Test {
    QTemporaryDir dir;

    QString path(const QString& name) const { return dir.filePath(name); }
    QString write(const QString& name, const QByteArray& bytes) const
    {
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path(name);
    }
    QString writeConfig(const QString& name, const ConfigState& state) const
    {
        return write(name, composeConfigFile(state, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5))));
    }
};

}  // namespace dnp::test
