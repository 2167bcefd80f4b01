#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Logic tests run with a core application, so that timers, the serial port and
// the system locale behave as they do in the programs.
int main(int argc, char** argv)
{
    // The user's own settings (recent files, last folder) and the history of the panel
    // commands go to folders of the run.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
