#include <QCoreApplication>
#include <gtest/gtest.h>

// Logic tests run with a core application, so that timers, the serial port and
// the system locale behave as they do in the programs.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
