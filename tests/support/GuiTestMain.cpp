#include "app/gui/Application.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Widget tests run headless (QT_QPA_PLATFORM=offscreen is set by CTest).
int main(int argc, char** argv)
{
    // The user's own settings (recent files, last folder) and the history of the panel
    // commands go to folders of the run.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    dnp::Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
