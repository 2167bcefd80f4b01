#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Logic tests run with a core application, so that timers, the serial port and
// the system locale behave as they do in the programs.
int main(int argc, char** argv)
{
    // The user's own settings (recent files, last folder) go to a folder of the run.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
