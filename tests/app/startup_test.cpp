// Start-up, exit, help, printing and the clock tick, run through the real
// program entry with the platform's test seams.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QWidget>
#include <cstdlib>

#include <functional>
#include <string>

#include "app/merrivan.h"
#include "core/channel.h"
#include "core/clock.h"
#include "core/record_buffer.h"
#include "platform/pty_helper.h"
#include "platform/seams.h"
#include "program_run.h"
#include "test_support.h"
#include "ui/merrivan_uir.h"
#include "view/alarm_limits.h"
#include "view/statistics.h"

using testsupport::RunResult;
using testsupport::runProgram;
using testsupport::sawPopup;
using testsupport::stateIni;
using testsupport::TempDir;

namespace {

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        seam::reset();
        seam::clearComMap();
        seam::setClock(2013, 3, 8, 12, 34, 56);
    }
    TempDir dir;
};

TEST_F(StartupTest, FirstRunSearchesStoresAndNextStartRecallsWithoutSearch)
{
    PtyPair meter;
    ASSERT_TRUE(meter.ok());
    seam::mapComPort(4, meter.slavePath());

    RunResult first = runProgram();
    EXPECT_EQ(first.rc, 0);
    EXPECT_TRUE(sawPopup("Plug USB Cable"));
    EXPECT_TRUE(sawPopup("Search COM PORT"));
    EXPECT_EQ(first.status, "Setting: COM4, 9600 Bps, 8 bits No Parity.");
    const std::string ini = testsupport::readFile("Merrivan.ini");
    EXPECT_NE(ini.find("COMPORT_PORTNO=4"), std::string::npos) << ini;
    EXPECT_NE(ini.find("COMPORT_BAUDRATE=9600"), std::string::npos) << ini;
    EXPECT_NE(ini.find("COMPORT_PARITY=0"), std::string::npos) << ini;
    EXPECT_NE(ini.find("COMPORT_DATABITS=8"), std::string::npos) << ini;
    EXPECT_NE(ini.find("COMPORT_STOPBITS=1"), std::string::npos) << ini;

    seam::reset();
    seam::clearComMap();
    seam::mapComPort(4, meter.slavePath());
    RunResult second = runProgram();
    EXPECT_EQ(second.rc, 0);
    EXPECT_FALSE(sawPopup("Plug USB Cable"));
    EXPECT_EQ(second.status, "Setting: COM4, 9600 Bps, 8 bits No Parity.");
    EXPECT_EQ(portNo, 4);
}

TEST_F(StartupTest, FirstRunShowsBothWindowsDuringTheSearchThenDropsTheSerialOne)
{
    PtyPair meter;
    ASSERT_TRUE(meter.ok());
    seam::mapComPort(2, meter.slavePath());
    int waits = 0;
    int bothShown = 0;
    seam::onDelay([&](double) {
        ++waits;
        if (seam::panelVisible(monitorPanel) && seam::panelVisible(comPortPanel))
            ++bothShown;
    });
    const int livePanelsBefore = seam::livePanels();
    int livePanelsInLoop = -1;
    RunResult run = runProgram([&] { livePanelsInLoop = seam::livePanels(); });
    seam::onDelay({});
    EXPECT_EQ(run.rc, 0);
    EXPECT_GT(waits, 0);
    EXPECT_EQ(bothShown, waits);
    EXPECT_EQ(livePanelsInLoop, livePanelsBefore + 2);  // Monitor and Statistics only
}

TEST_F(StartupTest, DamagedStateFileTakesTheFirstRunBranch)
{
    const std::string cases[] = {
        "",                                                  // empty file
        std::string("\x01\x02\xff\xfe[[[=\n\x00garbage", 18),  // binary rubbish
        "[State0]\nMONITOR_GAIN=2\n",                        // no state 1
        "[State1]\nCOMPORT_BAUDRATE=9600\n",                 // no port
        stateIni(3, 9600, 0, 8, 1).replace(16, 1, "x"),      // non-numeric port
        stateIni(99, 9600, 0, 8, 1),                         // port not offered
    };
    for (const std::string& content : cases) {
        SCOPED_TRACE(content);
        seam::reset();
        seam::clearComMap();
        testsupport::writeFile("Merrivan.ini", content);
        RunResult r = runProgram();
        EXPECT_EQ(r.rc, 0);
        EXPECT_TRUE(sawPopup("Plug USB Cable"));
        EXPECT_EQ(r.status, "Setting: COM1, 9600 Bps, 8 bits No Parity.");
        // The damaged file is replaced by a usable state 1.
        seam::reset();
        seam::clearComMap();
        RunResult again = runProgram();
        EXPECT_FALSE(sawPopup("Plug USB Cable"));
        EXPECT_EQ(again.status, "Setting: COM1, 9600 Bps, 8 bits No Parity.");
    }
}

// One bad stored value costs only itself; the port is searched for (and
// replaced) only when the port itself is the bad one.
TEST_F(StartupTest, OneBadStoredValueKeepsTheOthersAndThePort)
{
    struct Case {
        const char* what;
        std::string from, to;
        int port, baud, parityCode, data, stop;
    };
    const std::string good = stateIni(5, 4800, 2, 7, 2);
    const Case cases[] = {
        {"port 0", "PORTNO=5", "PORTNO=0", 1, 4800, 2, 7, 2},
        {"port -5", "PORTNO=5", "PORTNO=-5", 1, 4800, 2, 7, 2},
        {"port text", "PORTNO=5", "PORTNO=five", 1, 4800, 2, 7, 2},
        {"port missing", "COMPORT_PORTNO=5\n", "", 1, 4800, 2, 7, 2},
        {"baud 0", "BAUDRATE=4800", "BAUDRATE=0", 5, 9600, 2, 7, 2},
        {"baud missing", "COMPORT_BAUDRATE=4800\n", "", 5, 9600, 2, 7, 2},
        {"parity 7", "PARITY=2", "PARITY=7", 5, 4800, 0, 7, 2},
        {"data bits 9", "DATABITS=7", "DATABITS=9", 5, 4800, 2, 8, 2},
        {"stop bits 3", "STOPBITS=2", "STOPBITS=3", 5, 4800, 2, 7, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        seam::reset();
        seam::clearComMap();
        std::string content = good;
        content.replace(content.find(c.from), c.from.size(), c.to);
        testsupport::writeFile("Merrivan.ini", content);
        RunResult r = runProgram();
        EXPECT_EQ(r.rc, 0);
        const bool portBad = c.port != 5;
        EXPECT_EQ(sawPopup("Plug USB Cable"), portBad);
        EXPECT_EQ(portNo, c.port);
        EXPECT_EQ(baudRate, c.baud);
        EXPECT_EQ(parity, c.parityCode);
        EXPECT_EQ(dataBits, c.data);
        EXPECT_EQ(stopBits, c.stop);
        const std::string after = testsupport::readFile("Merrivan.ini");
        EXPECT_NE(after.find("COMPORT_PORTNO=" + std::to_string(c.port)), std::string::npos)
            << after;
        if (portBad) {  // the searched port is stored with the kept values
            EXPECT_NE(after.find("COMPORT_BAUDRATE=4800"), std::string::npos) << after;
        }
    }
}

// Comments and lines the program does not know are the user's.
TEST_F(StartupTest, CommentsAndUnknownLinesSurviveOkAndExit)
{
    PtyPair meter;
    ASSERT_TRUE(meter.ok());
    seam::mapComPort(3, meter.slavePath());
    const std::string top = "; Merrivan settings, kept by hand\n[Notes]\nowner=lab 3\n\n";
    const std::string comment = "; the meter on the USB adapter\n";
    testsupport::writeFile("Merrivan.ini",
                           top + "[State1]\n" + comment +
                               stateIni(3, 4800, 0, 8, 1).substr(9) + "COMPORT_FLOW=none\n");
    RunResult r = runProgram([] {
        seam::userPress(monitorPanel, MONITOR_COMPORT_CMD);
        seam::userSetValue(comPortPanel, COMPORT_BAUDRATE, 19200);
        seam::userPress(comPortPanel, COMPORT_OK);
        const std::string afterOk = testsupport::readFile("Merrivan.ini");
        EXPECT_NE(afterOk.find("COMPORT_BAUDRATE=19200"), std::string::npos) << afterOk;
    });
    EXPECT_EQ(r.rc, 0);
    const std::string after = testsupport::readFile("Merrivan.ini");
    EXPECT_EQ(after.rfind(top, 0), 0u) << after;
    EXPECT_NE(after.find("[State1]\n" + comment + "COMPORT_PORTNO=3\n"), std::string::npos)
        << after;
    EXPECT_NE(after.find("COMPORT_BAUDRATE=19200\n"), std::string::npos) << after;
    EXPECT_NE(after.find("COMPORT_FLOW=none\n"), std::string::npos) << after;
    EXPECT_NE(after.find("[State0]"), std::string::npos) << after;
}

TEST_F(StartupTest, StoredSettingsDecideMeterAndStatusLine)
{
    struct Case {
        int port, baud, parityCode, data, stop;
        unsigned char newMeter;
        const char* status;
    };
    const Case cases[] = {
        {2, 9600, 0, 8, 1, 1, "Setting: COM2, 9600 Bps, 8 bits No Parity."},
        {2, 4800, 0, 8, 1, 0, "Setting: COM2, 4800 Bps, 8 bits No Parity."},
        {2, 19200, 2, 7, 2, 0, "Setting: COM2, 19200 Bps, 7 bits Even Parity, 2 Stop Bits."},
        {2, 4800, 1, 7, 1, 0, "Setting: COM2, 4800 Bps, 7 bits Odd Parity."},
        {2, 2400, 0, 8, 2, 0, "Setting: COM2, 2400 Bps, 8 bits No Parity, 2 Stop Bits."},
        // A device that would not take 7 bits is there: the settings show.
        // A device that is not there is named as missing instead.
        {9, 9600, 2, 8, 1, 1,
         "COM9 (/dev/merrivan-no-such-device): no device, waiting for it to be plugged in."},
    };
    PtyPair meter;
    ASSERT_TRUE(meter.ok());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        seam::reset();
        seam::clearComMap();
        seam::mapComPort(2, meter.slavePath());
        seam::mapComPort(9, "/dev/merrivan-no-such-device");
        testsupport::writeFile("Merrivan.ini", stateIni(c.port, c.baud, c.parityCode, c.data, c.stop));
        RunResult r = runProgram();
        EXPECT_EQ(r.rc, 0);
        EXPECT_FALSE(sawPopup("Plug USB Cable"));
        EXPECT_EQ(fNewMeter, c.newMeter);
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(seam::popups().size() == 1u);  // only the exit question
    }
}

// A device file that is there but will not open is named, not passed off as
// a working link by the settings text; neither the clock nor the watchdog
// covers it.
TEST_F(StartupTest, PortThatCannotBeOpenedSaysSo)
{
    const std::string folder = dir.file("not-a-device");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    for (const std::string& path : {folder, std::string("/dev/zero")}) {
        SCOPED_TRACE(path);
        seam::reset();
        seam::clearComMap();
        seam::mapComPort(16, path);
        testsupport::writeFile("Merrivan.ini", stateIni(16, 9600, 0, 8, 1));
        const std::string told = "COM16 (" + path + "): cannot be opened.";
        RunResult r = runProgram([&] {
            seam::fireTimer(monitorPanel, MONITOR_CLOCK_TIMER);
            seam::advanceMonotonicClock(10);
            seam::fireTimer(monitorPanel, MONITOR_NODATA_TIMER);
            EXPECT_EQ(testsupport::statusLine(), told);
        });
        EXPECT_EQ(r.status, told);
    }
}

TEST_F(StartupTest, AnsweringNoLeavesTheStateFileUntouched)
{
    const std::string content = stateIni(3, 4800, 0, 8, 1);
    testsupport::writeFile("Merrivan.ini", content);
    bool stillRunning = false;
    RunResult r = runProgram(
        [&]() {
            seam::pushConfirmAnswer(0);
            seam::userPress(monitorPanel, MONITOR_EXIT);
            EXPECT_EQ(testsupport::readFile("Merrivan.ini"), content);
            seam::pushConfirmAnswer(0);
            seam::userClose(monitorPanel);
            EXPECT_EQ(testsupport::readFile("Merrivan.ini"), content);
            stillRunning = seam::panelVisible(monitorPanel);
            // The close box asks the same question; yes ends the program.
            seam::pushConfirmAnswer(1);
            seam::userClose(monitorPanel);
        },
        false);
    EXPECT_TRUE(stillRunning);
    EXPECT_EQ(r.rc, 0);
    ASSERT_EQ(seam::popups().size(), 3u);
    for (const auto& p : seam::popups()) {
        EXPECT_EQ(p.kind, "confirm");
        EXPECT_EQ(p.title, "Exit");
        EXPECT_EQ(p.message, "Exit the program ? ");
    }
    const std::string after = testsupport::readFile("Merrivan.ini");
    EXPECT_NE(after.find("[State0]"), std::string::npos);
    EXPECT_NE(after.find("MONITOR_GAIN="), std::string::npos);
    EXPECT_NE(after.find("COMPORT_BAUDRATE=4800"), std::string::npos);  // state 1 kept
}

TEST_F(StartupTest, StartValuesWhateverTheEntriesShow)
{
    testsupport::writeFile("Merrivan.ini", stateIni(3, 9600, 0, 8, 1));
    runProgram([]() {
        for (int i = 0; i < 10; ++i) {
            EXPECT_EQ(vHi[i], 50.0f);
            EXPECT_EQ(vLow[i], 0.0f);
            EXPECT_EQ(vSw[i], 0);
        }
        EXPECT_EQ(fLogging, 0);
        EXPECT_EQ(logCounter, 0);
        EXPECT_FALSE(seam::isVisible(monitorPanel, MONITOR_CH1_TYPE));
        EXPECT_FALSE(seam::isVisible(monitorPanel, MONITOR_CH2_TYPE));
        EXPECT_FALSE(seam::isVisible(monitorPanel, MONITOR_CH1_SELECT));
        EXPECT_FALSE(seam::isVisible(monitorPanel, MONITOR_CH2_SELECT));
        EXPECT_TRUE(seam::isVisible(monitorPanel, MONITOR_LOGO));
        // 03-08-2013 12:34:56 is 416061296 seconds after 2000-01-01.
        EXPECT_EQ(sysClock, 416061296);

        // Limits come from the start values, not from what the entries show.
        SetCtrlVal(monitorPanel, MONITOR_CH1_HIGH, 12.5);
        SetCtrlVal(monitorPanel, MONITOR_CH2_LOW, -7.0);
        vSw[3] = 1;
        vHi[3] = 1.0f;
        SetCtrlVal(monitorPanel, MONITOR_GAIN, 2.0);
        SetCtrlVal(monitorPanel, MONITOR_OFFSET, -5.0);
        defaultValue();
        EXPECT_EQ(vHi[3], 50.0f);
        EXPECT_EQ(vSw[3], 0);
        double lo = 0, hi = 0;
        seam::yAxisRange(monitorPanel, MONITOR_CHART, &lo, &hi);
        EXPECT_DOUBLE_EQ(lo, -10.0);
        EXPECT_DOUBLE_EQ(hi, 10.0);
    });
}

TEST_F(StartupTest, ChartScaleFollowsGainAndOffset)
{
    testsupport::writeFile("Merrivan.ini", stateIni(3, 9600, 0, 8, 1));
    runProgram([]() {
        struct Case {
            double gain, offset, lo, hi;
        };
        const Case cases[] = {{2, -5, -10, 10}, {2, 5, 10, 30}, {0.5, 0, 0, 5}, {10, 0, 0, 100}};
        for (const Case& c : cases) {
            SetCtrlVal(monitorPanel, MONITOR_GAIN, c.gain);
            SetCtrlVal(monitorPanel, MONITOR_OFFSET, c.offset);
            defaultValue();
            double lo = 0, hi = 0;
            seam::yAxisRange(monitorPanel, MONITOR_CHART, &lo, &hi);
            EXPECT_DOUBLE_EQ(lo, c.lo);
            EXPECT_DOUBLE_EQ(hi, c.hi);
        }
    });
}

TEST_F(StartupTest, ClockFollowsElapsedTimeAndTicksWriteOnlyOnTicks)
{
    testsupport::writeFile("Merrivan.ini", stateIni(3, 9600, 0, 8, 1));
    runProgram([]() {
        const int start = sysClock;
        SetCtrlVal(monitorPanel, MONITOR_DATE, "x");
        SetCtrlVal(monitorPanel, MONITOR_TIME, "y");
        seam::advanceClock(65);
        timeTickCallBack(monitorPanel, MONITOR_CLOCK_TIMER, EVENT_COMMIT, nullptr, 0, 0);
        EXPECT_EQ(sysClock, start);  // a tick is no second unless one passed
        seam::advanceMonotonicClock(1);
        timeTickCallBack(monitorPanel, MONITOR_CLOCK_TIMER, EVENT_COMMIT, nullptr, 0, 0);
        char date[32], time[32];
        GetCtrlVal(monitorPanel, MONITOR_DATE, date);
        GetCtrlVal(monitorPanel, MONITOR_TIME, time);
        EXPECT_STREQ(date, "x");
        EXPECT_STREQ(time, "y");
        EXPECT_EQ(sysClock, start + 1);
        seam::fireTimer(monitorPanel, MONITOR_CLOCK_TIMER);
        GetCtrlVal(monitorPanel, MONITOR_DATE, date);
        GetCtrlVal(monitorPanel, MONITOR_TIME, time);
        EXPECT_STREQ(date, "03-08-2013");
        EXPECT_STREQ(time, "12:36:01");
        EXPECT_EQ(sysClock, start + 1);
        seam::advanceMonotonicClock(1);
        seam::fireTimer(monitorPanel, MONITOR_CLOCK_TIMER);
        EXPECT_EQ(sysClock, start + 2);
        EXPECT_TRUE(seam::timerEnabled(monitorPanel, MONITOR_CLOCK_TIMER));
        EXPECT_DOUBLE_EQ(seam::timerInterval(monitorPanel, MONITOR_CLOCK_TIMER), 1.0);
        EXPECT_TRUE(seam::timerEnabled(monitorPanel, MONITOR_NODATA_TIMER));
        EXPECT_DOUBLE_EQ(seam::timerInterval(monitorPanel, MONITOR_NODATA_TIMER), 10.0);
        EXPECT_FALSE(seam::timerEnabled(monitorPanel, MONITOR_SAMPLE_TIMER));
    });
}

// A stall or a suspend swallows timer ticks; the stamps must not fall behind.
TEST_F(StartupTest, StallWithOneTickStampsTheNextRecordByTheElapsedTime)
{
    testsupport::writeFile("Merrivan.ini", stateIni(3, 9600, 0, 8, 1));
    runProgram([]() {
        wDataNum = 1;
        seam::userSetValue(monitorPanel, MONITOR_SAMPLE_COUNT, 10);
        seam::userSetValue(monitorPanel, MONITOR_SAMPLE_RATE, 1);
        seam::userSetValue(monitorPanel, MONITOR_LOG_SWITCH, 1);
        seam::fireTimer(monitorPanel, MONITOR_SAMPLE_TIMER);
        ASSERT_EQ(logCounter, 1);
        seam::advanceMonotonicClock(30);
        seam::fireTimer(monitorPanel, MONITOR_CLOCK_TIMER);
        seam::fireTimer(monitorPanel, MONITOR_SAMPLE_TIMER);
        ASSERT_EQ(logCounter, 2);
        EXPECT_EQ(sTime[1] - sTime[0], 30);
        // The sample may come before the late tick: it reads the time itself.
        seam::advanceMonotonicClock(15);
        seam::fireTimer(monitorPanel, MONITOR_SAMPLE_TIMER);
        ASSERT_EQ(logCounter, 3);
        EXPECT_EQ(sTime[2] - sTime[1], 15);
        seam::userSetValue(monitorPanel, MONITOR_LOG_SWITCH, 0);
    });
}

TEST_F(StartupTest, HelpAndPrintCommands)
{
    testsupport::writeFile("Merrivan.ini", stateIni(3, 9600, 0, 8, 1));
    runProgram([]() {
        seam::userPress(monitorPanel, MONITOR_HELP);
        seam::userPress(monitorPanel, MONITOR_PRINT);
        seam::userPress(statisticPanel, STATISTIC_PRINT);
    });
    ASSERT_EQ(seam::launches().size(), 1u);
    EXPECT_EQ(seam::launches()[0], "hh RS232 HELP.chm");
    ASSERT_EQ(seam::prints().size(), 2u);
    EXPECT_EQ(seam::prints()[0].panel, monitorPanel);
    EXPECT_EQ(seam::prints()[0].fileName, "");
    EXPECT_EQ(seam::prints()[0].scope, 0);
    EXPECT_EQ(seam::prints()[0].area, 1);
    EXPECT_EQ(seam::prints()[0].interactive, 1);
    EXPECT_EQ(seam::prints()[1].panel, statisticPanel);
    EXPECT_EQ(seam::prints()[1].scope, 1);
}

TEST_F(StartupTest, OpensThePortFreshWithTheReceiverAndClosesItAtExit)
{
    PtyPair meter;
    ASSERT_TRUE(meter.ok());
    seam::mapComPort(3, meter.slavePath());
    testsupport::writeFile("Merrivan.ini", stateIni(3, 9600, 0, 8, 1));
    // Left over from before the start: flushed, or it would spoil the first frame.
    ASSERT_TRUE(meter.write("T0099.9C:H0"));
    std::string shown;
    RunResult run = runProgram([&] {
        ASSERT_TRUE(meter.write("T0023.5C:H045.2%RH07\r"));
        testsupport::waitFor([&] {
            char text[32] = "";
            GetCtrlVal(monitorPanel, MONITOR_CH1_VALUE, text);
            shown = text;
            return shown == "23.5";
        });
    });
    EXPECT_EQ(run.rc, 0);
    EXPECT_EQ(shown, "23.5");
    EXPECT_LT(GetInQLen(3), 0);  // closed at exit
}

TEST_F(StartupTest, ClockReadAtMidnightKeepsDateAndTimeTogether)
{
    testsupport::PanelsUp panels;
    // 23:59:59, and midnight passes between any two readings of the clock.
    seam::setClock(2013, 12, 31, 23, 59, 59);
    seam::advanceClockOnEachRead(1);
    defaultValue();
    seam::advanceClockOnEachRead(0);
    char date[] = "12-31-2013";
    char time[] = "23:59:59";
    const int lastSecond = rtc2CRtc(date, time, nullptr);
    EXPECT_EQ(sysClock, lastSecond);  // not 12-31 00:00:00, a day behind
}

TEST_F(StartupTest, HelpNeverStartsAnotherProgramCalledHh)
{
    // A program called "hh" on the PATH that leaves a mark when started.
    const std::string mark = dir.file("hh-ran");
    testsupport::writeFile(dir.file("hh"), "#!/bin/sh\ntouch '" + mark + "'\n");
    ASSERT_EQ(chmod(dir.file("hh").c_str(), 0755), 0);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (dir.path() + ":" + oldPath).c_str(), 1);
    seam::useRealLaunch(true);
    LaunchExecutable("hh RS232 HELP.chm");
    seam::useRealLaunch(false);
    setenv("PATH", oldPath.c_str(), 1);
    testsupport::waitFor([] { return false; }, 300);
    EXPECT_FALSE(testsupport::fileExists(mark));
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowTitle() == "Merrivan Help")
            w->close();
}

TEST_F(StartupTest, FailedPanelLoadOrRunTimeEndsWithMinusOne)
{
    testsupport::writeFile("Merrivan.ini", stateIni(3, 9600, 0, 8, 1));
    for (int resource : {MONITOR, COMPORT, STATISTIC}) {
        SCOPED_TRACE(resource);
        seam::reset();
        seam::failPanelLoad(resource);
        char name[] = "merrivan";
        char* argv[] = {name, nullptr};
        EXPECT_EQ(merrivanMain(1, argv), -1);
        EXPECT_TRUE(seam::popups().empty());
    }
    seam::reset();
    seam::failRunTime();
    char name[] = "merrivan";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(merrivanMain(1, argv), -1);
}

TEST_F(StartupTest, EveryCallbackNameOfThePanelsResolves)
{
    testsupport::writeFile("Merrivan.ini", stateIni(3, 9600, 0, 8, 1));
    runProgram([]() {
        const int com = LoadPanel(0, "MERRIVAN.UIR", COMPORT);
        ASSERT_GE(com, 0);
        DiscardPanel(com);
    });
    EXPECT_TRUE(seam::unresolvedCallbacks().empty());
    for (const auto& name : seam::unresolvedCallbacks())
        ADD_FAILURE() << "unresolved callback " << name;
}

TEST_F(StartupTest, DefaultSensorTypeResetsOnlyTheTypes)
{
    for (int i = 0; i < 10; ++i) {
        channel[i].type = static_cast<unsigned char>(i + 1);
        channel[i].value = 1.5f;
        copyText(channel[i].valStr, "1.5");
    }
    defaultSensorType();
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(channel[i].type, 0);
        EXPECT_EQ(channel[i].value, 1.5f);
        EXPECT_STREQ(channel[i].valStr, "1.5");
    }
}

}  // namespace
