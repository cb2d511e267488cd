// The no-data watchdog: what a tick of MONITOR_NODATA_TIMER leaves on the
// Monitor panel, with and without a recording running.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "app/watchdog.h"
#include "core/decode_test_support.h"
#include "core/record_buffer.h"
#include "meter/link_activity.h"
#include "platform/pty_helper.h"
#include "program_run.h"
#include "ui/panel_handles.h"
#include "view/monitor_fixture.h"

namespace {

constexpr const char* kStopLabel = "10 seconds no data,Stop Logging";

int intVal(int control)
{
    int v = -1;
    GetCtrlVal(monitorPanel, control, &v);
    return v;
}

float floatVal(int control)
{
    float v = -1.0f;
    GetCtrlVal(monitorPanel, control, &v);
    return v;
}

std::string text(int control) { return testsupport::monitorText(control); }

// A tick after 10 s without a frame.
void tick()
{
    seam::advanceMonotonicClock(10);
    seam::fireTimer(monitorPanel, MONITOR_NODATA_TIMER);
}

class WatchdogTest : public MonitorFixture {
protected:
    // Readings on both displays of a three-channel meter, alarms on and lit.
    void showReadings()
    {
        wDataNum = 3;
        fViewGetDes = 1;
        for (int i = 0; i < 3; ++i)
            channel[i].type = 1;
        SetDispNew(0, 1);
        for (const AlarmControls& d : {kDisplay1, kDisplay2}) {
            SetCtrlVal(monitorPanel, d.sw, 1);
            SetCtrlAttribute(monitorPanel, d.high, ATTR_DIMMED, 0);
            SetCtrlAttribute(monitorPanel, d.low, ATTR_DIMMED, 0);
            SetCtrlVal(monitorPanel, d.highAlarm, 1);
            SetCtrlVal(monitorPanel, d.lowAlarm, 1);
        }
        for (int& sw : vSw)
            sw = 1;
        for (int value : {MONITOR_CH1_VALUE, MONITOR_CH2_VALUE}) {
            SetCtrlVal(monitorPanel, value, "23.5");
            SetCtrlAttribute(monitorPanel, value, ATTR_LABEL_TEXT, "C");
        }
        SetCtrlVal(monitorPanel, MONITOR_CH1_TYPE, "Temp");
        SetCtrlAttribute(monitorPanel, MONITOR_CH1_TYPE, ATTR_VISIBLE, 1);
    }

    // The user records five samples of the readings.
    void startRecording()
    {
        channel[0].value = 23.5f;
        seam::userSetValue(monitorPanel, MONITOR_LOG_SWITCH, 1);
        for (int i = 0; i < 5; ++i)
            seam::fireTimer(monitorPanel, MONITOR_SAMPLE_TIMER);
    }

    void expectDisplaysReset()
    {
        EXPECT_EQ(wDataNum, 0);
        EXPECT_EQ(fViewGetDes, 0);
        for (const ChannelRecord& rec : channel)
            EXPECT_EQ(rec.type, 0);
        for (int value : {MONITOR_CH1_VALUE, MONITOR_CH2_VALUE}) {
            EXPECT_EQ(text(value), initialValue_);
            EXPECT_EQ(seam::labelText(monitorPanel, value), "");
        }
        for (int c : {MONITOR_CH1_TYPE, MONITOR_CH2_TYPE, MONITOR_CH1_SELECT, MONITOR_CH2_SELECT})
            EXPECT_FALSE(seam::isVisible(monitorPanel, c)) << c;
        for (const AlarmControls& d : {kDisplay1, kDisplay2}) {
            EXPECT_EQ(intVal(d.sw), 0);
            EXPECT_EQ(intVal(d.highAlarm), 0);
            EXPECT_EQ(intVal(d.lowAlarm), 0);
            EXPECT_TRUE(seam::isDimmed(monitorPanel, d.high));
            EXPECT_TRUE(seam::isDimmed(monitorPanel, d.low));
        }
        for (int sw : vSw)
            EXPECT_EQ(sw, 0);
    }

    std::string initialValue_ = text(MONITOR_CH1_VALUE);
};

TEST_F(WatchdogTest, StopsARecordingAndKeepsItsRecords)
{
    showReadings();
    startRecording();
    ASSERT_EQ(fLogging, 1);
    ASSERT_EQ(text(MONITOR_SETTINGS), "Logging Data: 5 Records.");
    tick();
    EXPECT_EQ(fLogging, 0);
    EXPECT_EQ(seam::labelText(monitorPanel, MONITOR_CHART), kStopLabel);
    EXPECT_EQ(intVal(MONITOR_LOG_SWITCH), 0);
    EXPECT_FALSE(seam::timerEnabled(monitorPanel, MONITOR_SAMPLE_TIMER));
    EXPECT_FALSE(seam::isDimmed(monitorPanel, MONITOR_SAMPLE_COUNT));
    EXPECT_FALSE(seam::isDimmed(monitorPanel, MONITOR_SAMPLE_RATE));
    EXPECT_FALSE(seam::isDimmed(monitorPanel, MONITOR_LOG_EXTRA));
    EXPECT_EQ(text(MONITOR_SETTINGS),
              "No data from the meter for 10 s: recording stopped with 5 records, alarms "
              "switched off.");
    EXPECT_EQ(logCounter, 5);
    EXPECT_EQ(logLength, 5);
    EXPECT_EQ(logData[4][0], 23.5f);
    expectDisplaysReset();
    EXPECT_TRUE(seam::timerEnabled(monitorPanel, MONITOR_NODATA_TIMER));
}

struct SilenceCase {
    bool recording;
    bool alarms;
    const char* status;
};

TEST_F(WatchdogTest, StatusLineSaysWhatTheSilenceStopped)
{
    const SilenceCase cases[] = {
        {false, false, "No data from the meter for 10 s."},
        {false, true, "No data from the meter for 10 s: alarms switched off."},
        {true, false, "No data from the meter for 10 s: recording stopped with 5 records."},
        {true, true,
         "No data from the meter for 10 s: recording stopped with 5 records, alarms switched "
         "off."},
    };
    for (const SilenceCase& c : cases) {
        SCOPED_TRACE(c.status);
        ++framesRead;  // the meter spoke since the last silence
        showReadings();
        if (c.recording)
            startRecording();
        if (!c.alarms) {
            for (int& sw : vSw)
                sw = 0;
        }
        tick();
        EXPECT_EQ(text(MONITOR_SETTINGS), c.status);
    }
}

// Once a minute, not every second: the watchdog's news stays a while. A
// watchdog tick in the same silence that stops nothing says nothing new.
TEST_F(WatchdogTest, SilenceIsCountedInMinutesUntilFramesComeAgain)
{
    const auto clockTicks = [](int n) {
        for (int i = 0; i < n; ++i)
            seam::fireTimer(monitorPanel, MONITOR_CLOCK_TIMER);
    };
    ++framesRead;
    showReadings();
    tick();
    const std::string told = "No data from the meter for 10 s: alarms switched off.";
    ASSERT_EQ(text(MONITOR_SETTINGS), told);
    clockTicks(49);
    EXPECT_EQ(text(MONITOR_SETTINGS), told);
    clockTicks(1);
    EXPECT_EQ(text(MONITOR_SETTINGS), "No data from the meter for 1 min.");
    tick();
    EXPECT_EQ(text(MONITOR_SETTINGS), "No data from the meter for 1 min.");
    clockTicks(60);
    EXPECT_EQ(text(MONITOR_SETTINGS), "No data from the meter for 2 min.");
    ++framesRead;
    clockTicks(1);
    EXPECT_EQ(text(MONITOR_SETTINGS).rfind("Setting: COM", 0), 0u) << text(MONITOR_SETTINGS);
    clockTicks(120);
    EXPECT_EQ(text(MONITOR_SETTINGS).rfind("Setting: COM", 0), 0u) << text(MONITOR_SETTINGS);
}

TEST_F(WatchdogTest, WithoutRecordingResetsDisplaysAgainAtEveryTickAndLeavesTheChartLabel)
{
    SetCtrlAttribute(monitorPanel, MONITOR_CHART, ATTR_LABEL_TEXT, "Stop Logging");
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        showReadings();
        tick();
        expectDisplaysReset();
        EXPECT_EQ(seam::labelText(monitorPanel, MONITOR_CHART), "Stop Logging");
    }
}

// The entries show the limits of the display's channel after the reset,
// whatever they showed before, so switching on takes that channel's own.
TEST_F(WatchdogTest, LimitsSurviveAndSwitchingAnAlarmOnTakesTheChannelsOwn)
{
    showReadings();
    vHi[0] = 30.0f;
    vLow[0] = 10.0f;
    SetCtrlVal(monitorPanel, MONITOR_CH1_HIGH, 25.0);
    SetCtrlVal(monitorPanel, MONITOR_CH1_LOW, 5.0);
    tick();
    EXPECT_EQ(vHi[0], 30.0f);
    EXPECT_EQ(vLow[0], 10.0f);
    EXPECT_EQ(floatVal(MONITOR_CH1_HIGH), 30.0f);
    EXPECT_EQ(floatVal(MONITOR_CH1_LOW), 10.0f);
    seam::userSetValue(monitorPanel, MONITOR_CH1_ALARM_SW, 1);
    EXPECT_EQ(vSw[0], 1);
    EXPECT_FALSE(seam::isDimmed(monitorPanel, MONITOR_CH1_HIGH));
    EXPECT_FALSE(seam::isDimmed(monitorPanel, MONITOR_CH1_LOW));
    EXPECT_EQ(vHi[0], 30.0f);
    EXPECT_EQ(vLow[0], 10.0f);
}

TEST_F(WatchdogTest, OnlyTicksCount)
{
    showReadings();
    startRecording();
    for (int event : {EVENT_COMMIT, EVENT_VAL_CHANGED, EVENT_CLOSE})
        EXPECT_EQ(TimeNoDataCallback(monitorPanel, MONITOR_NODATA_TIMER, event, nullptr, 0, 0), 0);
    EXPECT_EQ(fLogging, 1);
    EXPECT_TRUE(seam::timerEnabled(monitorPanel, MONITOR_SAMPLE_TIMER));
    EXPECT_EQ(wDataNum, 3);
    EXPECT_TRUE(seam::isVisible(monitorPanel, MONITOR_CH1_SELECT));
    EXPECT_EQ(vSw[0], 1);
}

// Frames that fail their check sum are no data: the display is reset again
// and again while only they arrive. The watchdog runs on a short interval here.
TEST(WatchdogOnTheLineTest, FramesWithABadCheckSumDoNotHoldItOff)
{
    testsupport::TempDir dir;
    seam::reset();
    seam::clearComMap();
    PtyPair meter;
    ASSERT_TRUE(meter.ok());
    seam::mapComPort(2, meter.slavePath());
    testsupport::writeFile("Merrivan.ini", testsupport::stateIni(2, 9600, 0, 8, 1));
    testsupport::runProgram([&] {
        ASSERT_TRUE(meter.write("T0023.5C:H045.2%RH07\r"));  // check sum right
        ASSERT_TRUE(testsupport::waitFor([] { return text(MONITOR_CH1_VALUE) == "23.5"; }));
        SetCtrlAttribute(monitorPanel, MONITOR_NODATA_TIMER, ATTR_INTERVAL, 0.05);
        for (int round = 0; round < 3; ++round) {
            SCOPED_TRACE(round);
            SetCtrlAttribute(monitorPanel, MONITOR_CH1_VALUE, ATTR_LABEL_TEXT, "C");
            int polls = 0;
            EXPECT_TRUE(testsupport::waitFor([&] {
                seam::advanceMonotonicClock(1);
                if (polls++ % 10 == 0)
                    meter.write("T0023.5C:H045.2%RH08\r");  // one too high
                return seam::labelText(monitorPanel, MONITOR_CH1_VALUE) == "";
            }));
        }
        SetCtrlAttribute(monitorPanel, MONITOR_NODATA_TIMER, ATTR_INTERVAL, 10.0);
    });
}

// The window was busy longer than the watchdog's interval (a blocking call in
// the event loop) while the meter went on sending: the late tick takes the
// frame that waited in the queue and stops nothing. Only 10 s of elapsed time
// without a frame do.
TEST(WatchdogOnTheLineTest, FramesQueuedWhileTheWindowWasBusyAreNoSilence)
{
    testsupport::TempDir dir;
    seam::reset();
    seam::clearComMap();
    PtyPair meter;
    ASSERT_TRUE(meter.ok());
    seam::mapComPort(2, meter.slavePath());
    testsupport::writeFile("Merrivan.ini", testsupport::stateIni(2, 9600, 0, 8, 1));
    const auto watchdogTick = [] { seam::fireTimer(monitorPanel, MONITOR_NODATA_TIMER); };
    testsupport::runProgram([&] {
        ASSERT_TRUE(meter.write(decodetest::withLrc("T0023.5C:H045.2%RH") + "\r"));
        ASSERT_TRUE(testsupport::waitFor([] { return text(MONITOR_CH1_VALUE) == "23.5"; }));
        seam::userSetValue(monitorPanel, MONITOR_CH1_ALARM_SW, 1);
        seam::userSetValue(monitorPanel, MONITOR_LOG_SWITCH, 1);
        seam::fireTimer(monitorPanel, MONITOR_SAMPLE_TIMER);

        // The stall: a real one for the frame to reach the port, 12 s of it
        // on the elapsed-time clock.
        ASSERT_TRUE(meter.write(decodetest::withLrc("T0024.5C:H045.2%RH") + "\r"));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        seam::advanceMonotonicClock(12);
        watchdogTick();
        EXPECT_EQ(text(MONITOR_CH1_VALUE), "24.5");
        EXPECT_EQ(fLogging, 1);
        EXPECT_EQ(intVal(MONITOR_CH1_ALARM_SW), 1);
        EXPECT_EQ(text(MONITOR_SETTINGS), "Logging Data: 1 Records.");

        // A tick 9 s after that frame is early; 10 s of silence is silence.
        seam::advanceMonotonicClock(9);
        watchdogTick();
        EXPECT_EQ(fLogging, 1);
        seam::advanceMonotonicClock(1);
        watchdogTick();
        EXPECT_EQ(fLogging, 0);
        EXPECT_EQ(intVal(MONITOR_CH1_ALARM_SW), 0);
        // No unit until the meter speaks again.
        EXPECT_EQ(seam::labelText(monitorPanel, MONITOR_CH1_VALUE), "");
        EXPECT_EQ(text(MONITOR_SETTINGS),
                  "No data from the meter for 10 s: recording stopped with 1 records, alarms "
                  "switched off.");
    });
}

}  // namespace
