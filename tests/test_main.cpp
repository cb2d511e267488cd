// Test main: a headless application object, and the platform in test mode.
#include <QApplication>
#include <QLocale>
#include <clocale>
#include <cstdlib>
#include <gtest/gtest.h>

#include "platform/seams.h"

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    // The application object adopts the user's locale; numbers stay in C format.
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale::c());
    seam::enable();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
