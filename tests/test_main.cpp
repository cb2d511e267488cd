// Test main: a headless application object, and the platform in test mode.
#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

#include "platform/seams.h"

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    seam::enable();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
