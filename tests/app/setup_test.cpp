// The keyboard on the real panels, and the set-up that a restart keeps, run
// through the real program entry with the platform's test seams.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QWidget>

#include <string>
#include <vector>

#include "app/merrivan.h"
#include "core/channel.h"
#include "core/record_buffer.h"
#include "platform/panel_builder.h"
#include "platform/pty_helper.h"
#include "platform/seams.h"
#include "program_run.h"
#include "record/recording.h"
#include "test_support.h"
#include "ui/merrivan_uir.h"
#include "view/alarm_limits.h"
#include "view/display_select.h"

using testsupport::runProgram;
using testsupport::sawPopup;
using testsupport::stateIni;
using testsupport::TempDir;

namespace {

class SetupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        seam::reset();
        seam::clearComMap();
        testsupport::writeFile("Merrivan.ini", stateIni(3, 9600, 0, 8, 1));
    }
    TempDir dir;
};

std::string toolTip(int panel, int control)
{
    QWidget* w = platform::controlWidget(panel, control);
    return w ? w->toolTip().toStdString() : "";
}

// The control of `panel` that holds the keyboard focus; 0 when none does.
int focusedControl(int panel, const std::vector<int>& candidates)
{
    QWidget* focus = QApplication::focusWidget();
    for (int id : candidates) {
        QWidget* w = platform::controlWidget(panel, id);
        if (w && focus && (w == focus || w->isAncestorOf(focus)))
            return id;
    }
    return 0;
}

TEST_F(SetupTest, MonitorShortcutsRunTheirCommands)
{
    struct Case {
        const char* keys;
        int button;
        const char* tip;
    };
    const Case cases[] = {
        {"Ctrl+S", MONITOR_SAVE, "Save File (Ctrl+S)"},
        {"Ctrl+O", MONITOR_RETRIEVE, "Retrieve File (Ctrl+O)"},
        {"Ctrl+P", MONITOR_PRINT, "Print (Ctrl+P)"},
        {"F1", MONITOR_HELP, "Help (F1)"},
        {"Ctrl+Q", MONITOR_EXIT, "Exit (Ctrl+Q)"},
    };
    runProgram([&] {
        for (const Case& c : cases)
            EXPECT_EQ(toolTip(monitorPanel, c.button), c.tip);
        ASSERT_TRUE(seam::userKeys(monitorPanel, "Ctrl+S"));
        ASSERT_EQ(seam::popups().size(), 1u);
        EXPECT_EQ(seam::popups()[0].kind, "file");
        EXPECT_EQ(seam::popups()[0].title, "Save File");
        seam::userKeys(monitorPanel, "Ctrl+O");
        ASSERT_EQ(seam::popups().size(), 2u);
        EXPECT_EQ(seam::popups()[1].title, "Retrieve File");
        seam::userKeys(monitorPanel, "Ctrl+P");
        EXPECT_EQ(seam::prints().size(), 1u);
        seam::userKeys(monitorPanel, "F1");
        ASSERT_EQ(seam::launches().size(), 1u);
        EXPECT_EQ(seam::launches()[0], "hh RS232 HELP.chm");
        // The usual question; no keeps the program running.
        seam::userKeys(monitorPanel, "Ctrl+Q");
        ASSERT_EQ(seam::popups().size(), 3u);
        EXPECT_EQ(seam::popups()[2].title, "Exit");
        EXPECT_TRUE(seam::panelVisible(monitorPanel));
    });
}

TEST_F(SetupTest, EnterAndEscapeInTheSerialPortWindowAndEscapeClosesStatistics)
{
    PtyPair meter;
    ASSERT_TRUE(meter.ok());
    seam::mapComPort(3, meter.slavePath());
    runProgram([] {
        seam::userPress(monitorPanel, MONITOR_COMPORT_CMD);
        const int live = seam::livePanels();
        seam::userSetValue(comPortPanel, COMPORT_BAUDRATE, 19200);
        seam::userKeys(comPortPanel, "Esc");
        EXPECT_EQ(seam::livePanels(), live - 1);
        EXPECT_EQ(testsupport::readFile("Merrivan.ini").find("19200"), std::string::npos);

        seam::userPress(monitorPanel, MONITOR_COMPORT_CMD);
        seam::userSetValue(comPortPanel, COMPORT_BAUDRATE, 19200);
        seam::userKeys(comPortPanel, "Return");
        const std::string ini = testsupport::readFile("Merrivan.ini");
        EXPECT_NE(ini.find("COMPORT_BAUDRATE=19200"), std::string::npos) << ini;
        EXPECT_EQ(baudRate, 19200);

        seam::userPress(monitorPanel, MONITOR_STATISTICS_CMD);
        ASSERT_TRUE(seam::panelVisible(statisticPanel));
        seam::userKeys(statisticPanel, "Esc");
        EXPECT_FALSE(seam::panelVisible(statisticPanel));
    });
}

TEST_F(SetupTest, F1ShowsTheHelpAndEscapeClosesIt)
{
    testsupport::writeFile("RS232 HELP.html", "<p>Help</p>");
    runProgram([] {
        seam::useRealLaunch(true);
        seam::userKeys(monitorPanel, "F1");
        seam::useRealLaunch(false);
        QPointer<QWidget> help;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->windowTitle() == "Merrivan Help" && w->isVisible())
                help = w;
        ASSERT_TRUE(help);
        help->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(help));
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : help.data(),
                        Qt::Key_Escape);
        EXPECT_TRUE(!help || !help->isVisible());
    });
}

TEST_F(SetupTest, TabGoesThroughTheMonitorFromTopLeftToBottomRight)
{
    const std::vector<int> order = {
        MONITOR_CH1_ALARM_SW, MONITOR_CH1_HIGH,     MONITOR_CH1_LOW,      MONITOR_CH2_ALARM_SW,
        MONITOR_CH2_HIGH,     MONITOR_CH2_LOW,      MONITOR_SAMPLE_COUNT, MONITOR_SAMPLE_RATE,
        MONITOR_LOG_SWITCH,   MONITOR_GAIN,         MONITOR_OFFSET,       MONITOR_RANGE,
        MONITOR_COMPORT_CMD,  MONITOR_STATISTICS_CMD, MONITOR_TREND_CMD,  MONITOR_SAVE,
        MONITOR_RETRIEVE,     MONITOR_PRINT,        MONITOR_HELP,         MONITOR_EXIT};
    std::vector<int> visited;
    runProgram([&] {
        // With both alarms on, their limits take the focus too.
        seam::userSetValue(monitorPanel, MONITOR_CH1_ALARM_SW, 1);
        seam::userSetValue(monitorPanel, MONITOR_CH2_ALARM_SW, 1);
        platform::controlWidget(monitorPanel, order.back())->setFocus();
        for (std::size_t i = 0; i < order.size(); ++i) {
            seam::userKeys(monitorPanel, "Tab");
            visited.push_back(focusedControl(monitorPanel, order));
        }
        seam::userSetValue(monitorPanel, MONITOR_CH1_ALARM_SW, 0);
        seam::userSetValue(monitorPanel, MONITOR_CH2_ALARM_SW, 0);
    });
    EXPECT_EQ(visited, order);
}

// A focused switch or button looks different from an unfocused one.
TEST_F(SetupTest, SwitchesAndButtonsShowWhereTheFocusIs)
{
    runProgram([] {
        for (int id : {MONITOR_LOG_SWITCH, MONITOR_CH1_ALARM_SW, MONITOR_SAVE, MONITOR_EXIT}) {
            SCOPED_TRACE(id);
            QWidget* w = platform::controlWidget(monitorPanel, id);
            seam::userKeys(monitorPanel, "Tab");  // the window active, the focus elsewhere
            platform::controlWidget(monitorPanel, MONITOR_GAIN)->setFocus();
            const QImage without = w->grab().toImage();
            w->setFocus();
            ASSERT_TRUE(w->hasFocus());
            EXPECT_NE(w->grab().toImage(), without);
        }
    });
}

TEST_F(SetupTest, RestartKeepsTheSetUpAndEachChannelsLimits)
{
    runProgram([] {
        seam::userTypeKeys(monitorPanel, MONITOR_SAMPLE_COUNT, "250");
        seam::userTypeKeys(monitorPanel, MONITOR_SAMPLE_RATE, "5");
        seam::userTypeKeys(monitorPanel, MONITOR_GAIN, "2.5");
        seam::userTypeKeys(monitorPanel, MONITOR_OFFSET, "-4");
        seam::userTypeKeys(monitorPanel, MONITOR_RANGE, "300");
        seam::userTypeKeys(statisticPanel, STATISTIC_BINS, "15");
        // A ten-channel meter shows channels 5 and 8; each display's limits
        // belong to its channel.
        wDataNum = 10;
        SetDispNew(4, 7);
        seam::userSetValue(monitorPanel, MONITOR_CH1_ALARM_SW, 1);
        seam::userTypeKeys(monitorPanel, MONITOR_CH1_HIGH, "12.5");
        seam::userTypeKeys(monitorPanel, MONITOR_CH1_LOW, "-3.25");
        seam::userSetValue(monitorPanel, MONITOR_CH2_ALARM_SW, 1);
        seam::userTypeKeys(monitorPanel, MONITOR_CH2_HIGH, "0.1");
        ASSERT_EQ(vHi[4], 12.5f);
        ASSERT_EQ(vHi[7], 0.1f);
    });
    seam::reset();
    seam::clearComMap();
    runProgram([] {
        EXPECT_EQ(seam::entryText(monitorPanel, MONITOR_SAMPLE_COUNT), "250");
        EXPECT_EQ(seam::entryText(monitorPanel, MONITOR_SAMPLE_RATE), "5");
        EXPECT_EQ(seam::entryText(monitorPanel, MONITOR_GAIN), "2.500");
        EXPECT_EQ(seam::entryText(monitorPanel, MONITOR_OFFSET), "-4.00");
        EXPECT_EQ(seam::entryText(monitorPanel, MONITOR_RANGE), "300");
        EXPECT_EQ(seam::entryText(statisticPanel, STATISTIC_BINS), "15");
        double lo = 0, hi = 0;
        seam::yAxisRange(monitorPanel, MONITOR_CHART, &lo, &hi);
        EXPECT_DOUBLE_EQ(lo, -10.0);
        EXPECT_DOUBLE_EQ(hi, 15.0);
        int points = 0;
        GetCtrlAttribute(monitorPanel, MONITOR_CHART, ATTR_POINTS_PER_SCREEN, &points);
        EXPECT_EQ(points, 300);
        EXPECT_EQ(vRange, 300);
        for (int i = 0; i < 10; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(vHi[i], i == 4 ? 12.5f : i == 7 ? 0.1f : 50.0f);
            EXPECT_EQ(vLow[i], i == 4 ? -3.25f : 0.0f);
            EXPECT_EQ(vSw[i], 0);  // no alarm armed without the user
        }
        int on = 1;
        GetCtrlVal(monitorPanel, MONITOR_CH1_ALARM_SW, &on);
        EXPECT_EQ(on, 0);
    });
    const std::string ini = testsupport::readFile("Merrivan.ini");
    EXPECT_NE(ini.find("[AlarmLimits]"), std::string::npos) << ini;
    EXPECT_NE(ini.find("High5=12.5\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("High8=0.1\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("COMPORT_PORTNO=3\n"), std::string::npos) << ini;
}

// A file written before, or by hand: each bad value costs only itself, and
// nothing stored starts a recording or arms an alarm.
TEST_F(SetupTest, BadStoredValuesFallBackOneByOne)
{
    testsupport::writeFile(
        "Merrivan.ini",
        "; by hand\n[State0]\nMONITOR_GAIN=0\nMONITOR_OFFSET=abc\nMONITOR_RANGE=500\n"
        "MONITOR_SAMPLE_COUNT=20000\nMONITOR_SAMPLE_RATE=7\nMONITOR_LOG_SWITCH=1\n"
        "MONITOR_CH1_ALARM_SW=1\n[AlarmLimits]\nHigh1=1e9\nLow1=5\nHigh2=20\nLow2=30\n"
        "High3=nan\nLow3=1,5\nHigh4=7x\n" +
            stateIni(3, 9600, 0, 8, 1));
    runProgram([] {
        EXPECT_EQ(seam::entryText(monitorPanel, MONITOR_GAIN), "10.000");
        EXPECT_EQ(seam::entryText(monitorPanel, MONITOR_OFFSET), "0.00");
        EXPECT_EQ(seam::entryText(monitorPanel, MONITOR_RANGE), "500");
        EXPECT_EQ(seam::entryText(monitorPanel, MONITOR_SAMPLE_COUNT), "1000");
        EXPECT_EQ(seam::entryText(monitorPanel, MONITOR_SAMPLE_RATE), "7");
        EXPECT_EQ(seam::entryText(statisticPanel, STATISTIC_BINS), "10");
        int log = 1, alarm = 1;
        GetCtrlVal(monitorPanel, MONITOR_LOG_SWITCH, &log);
        GetCtrlVal(monitorPanel, MONITOR_CH1_ALARM_SW, &alarm);
        EXPECT_EQ(log, 0);
        EXPECT_EQ(alarm, 0);
        EXPECT_EQ(fLogging, 0);
        const float high[4] = {50.0f, 20.0f, 50.0f, 50.0f};
        const float low[4] = {5.0f, 20.0f, 0.0f, 0.0f};
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(vHi[i], high[i]);
            EXPECT_EQ(vLow[i], low[i]);
            EXPECT_EQ(vSw[i], 0);
        }
    });
    EXPECT_EQ(testsupport::readFile("Merrivan.ini").rfind("; by hand\n[State0]\n", 0), 0u);
}

}  // namespace
