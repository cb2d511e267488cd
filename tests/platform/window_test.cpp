// Where windows go: secondary windows and pop-ups beside or over the main
// window and always fully on the screen; places remembered between runs in
// the panel-state file, restored only where they lie on a present screen.
#include <QApplication>
#include <QScreen>
#include <QSettings>
#include <gtest/gtest.h>

#include <string>

#include "app/merrivan.h"
#include "platform/panel_builder.h"
#include "platform/platform.h"
#include "platform/seams.h"
#include "platform/ui_internal.h"
#include "test_support.h"
#include "ui/merrivan_uir.h"

using platform::Placement;
using platform::placeNear;

namespace {

struct PlaceCase {
    const char* what;
    Placement how;
    QRect screen;  // available geometry
    QRect anchor;  // the main window's frame
    QSize frame;
    QPoint expected;
};

TEST(WindowPlace, BesideOrOverTheMainWindowAndAlwaysOnTheScreen)
{
    const QRect small(0, 0, 1024, 740);   // 1024x768 less a panel
    const QRect large(0, 0, 1920, 1050);
    const PlaceCase cases[] = {
        {"room on the right", Placement::Secondary, large, {300, 100, 1000, 700}, {400, 300},
         {1308, 100}},
        {"room on the left only", Placement::Secondary, large, {900, 100, 1000, 700},
         {400, 300}, {492, 100}},
        {"beside, lifted to stay on the screen", Placement::Secondary, large,
         {100, 700, 1000, 340}, {400, 600}, {1108, 450}},
        {"no room beside: centred over it", Placement::Secondary, small, {12, 0, 1000, 740},
         {400, 300}, {312, 220}},
        {"pop-up: centred over it", Placement::Popup, large, {300, 100, 1000, 700}, {400, 200},
         {600, 350}},
        {"main window partly off the screen", Placement::Popup, small, {-600, -300, 1000, 700},
         {400, 200}, {0, 0}},
        {"main window beyond the right edge: on its left", Placement::Secondary, small,
         {700, 500, 1000, 700}, {400, 300}, {292, 440}},
        {"pop-up over a main window beyond the edge", Placement::Popup, small,
         {700, 500, 1000, 700}, {400, 300}, {624, 440}},
        {"main window: centred on the screen", Placement::Main, small, {}, {1000, 700},
         {12, 20}},
    };
    for (const PlaceCase& c : cases) {
        SCOPED_TRACE(c.what);
        const QRect r = placeNear(c.anchor, c.frame, c.screen, c.how);
        EXPECT_EQ(r.topLeft(), c.expected);
        EXPECT_EQ(r.size(), c.frame);
        EXPECT_TRUE(c.screen.contains(r));
    }
}

QRect screenArea()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        seam::reset();
        platform::forgetWindowPlaces();
    }
    void TearDown() override
    {
        if (com >= 0)
            DiscardPanel(com);
        QCoreApplication::processEvents();
    }
    testsupport::TempDir dir;
    int com = -1;
};

TEST_F(WindowTest, SecondaryWindowsOpenOnTheScreenClearOfTheStatusLine)
{
    testsupport::PanelsUp panels;
    RecallPanelState(monitorPanel, "Merrivan.ini", 1);  // no file yet: nothing to restore
    DisplayPanel(monitorPanel);
    com = LoadPanel(0, "MERRIVAN.UIR", COMPORT);
    ASSERT_GE(com, 0);
    DisplayPanel(com);
    DisplayPanel(statisticPanel);
    QWidget* status = platform::controlWidget(monitorPanel, MONITOR_SETTINGS);
    const QRect statusArea(status->mapToGlobal(QPoint(0, 0)), status->size());
    for (int panel : {com, statisticPanel}) {
        SCOPED_TRACE(panel);
        QWidget* w = platform::panelWindow(panel);
        EXPECT_TRUE(screenArea().contains(w->frameGeometry()))
            << w->frameGeometry().x() << "," << w->frameGeometry().y();
    }
    // The first start's count-down shows on the status line while the serial
    // window is open.
    EXPECT_FALSE(platform::panelWindow(com)->frameGeometry().intersects(statusArea));
    // The main window starts with its title bar on the screen.
    EXPECT_TRUE(screenArea().contains(platform::panelWindow(monitorPanel)->frameGeometry().topLeft()));
}

TEST_F(WindowTest, PlacesComeBackFromTheStateFileOnlyWhereTheyFitAScreen)
{
    const QRect area = screenArea();
    struct Case {
        const char* what;
        QPoint stored;
        bool restored;
    };
    const Case cases[] = {
        {"on the screen", area.topLeft() + QPoint(10, 10), true},
        {"off every screen", area.bottomRight() + QPoint(200, 200), false},
    };
    QSize size;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::writeFile("Merrivan.ini",
                               "[State1]\nCOMPORT_PORTNO=3\n[ComPorts]\nCOM3=/dev/null\n");
        {
            testsupport::PanelsUp panels;
            RecallPanelState(statisticPanel, "Merrivan.ini", 1);
            DisplayPanel(monitorPanel);
            DisplayPanel(statisticPanel);
            QWidget* w = platform::panelWindow(statisticPanel);
            size = w->minimumSizeHint().expandedTo(QSize(600, 450));
            w->move(c.stored);
            w->resize(size);
            HidePanel(statisticPanel);
            QuitUserInterface(0);
            RunUserInterface();  // returns at once: the quit came first
        }
        QSettings ini("Merrivan.ini", QSettings::IniFormat);
        ASSERT_TRUE(ini.contains("Windows/StatisticsFrame"));
        // The other sections are kept as they were.
        EXPECT_EQ(ini.value("State1/COMPORT_PORTNO").toString(), "3");
        EXPECT_EQ(ini.value("ComPorts/COM3").toString(), "/dev/null");
        if (!c.restored) {
            ini.setValue("Windows/StatisticsFrame", QString("%1 %2 %3 %4")
                                                        .arg(c.stored.x())
                                                        .arg(c.stored.y())
                                                        .arg(size.width())
                                                        .arg(size.height()));
            ini.sync();
        }

        platform::forgetWindowPlaces();  // as a new run
        testsupport::PanelsUp again;
        RecallPanelState(statisticPanel, "Merrivan.ini", 1);
        DisplayPanel(monitorPanel);
        DisplayPanel(statisticPanel);
        QWidget* w = platform::panelWindow(statisticPanel);
        EXPECT_EQ(w->pos() == c.stored, c.restored);
        if (c.restored) {
            EXPECT_EQ(w->size(), size);
        }
        EXPECT_TRUE(area.contains(w->frameGeometry()));
        HidePanel(statisticPanel);
    }
}

}  // namespace
