// The legacy frame decoder, seen from the Monitor and Statistics panels.
#include "decoder_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "view/alarm_limits.h"

namespace {

using decodertest::lamps;
using decodertest::putFrame;
using decodertest::setLamps;
using decodertest::text;
using decodertest::WatchdogProbe;
using Texts = std::vector<std::string>;

class DecoderLegacyTest : public decodertest::DecoderFixture {
protected:
    static void receive(const std::string& frame)
    {
        putFrame(frame);
        analysisComPortData();
    }
};

struct Reading {
    const char* sensor;
    const char* valStr;
    const char* unit;
    float value;
};

struct LegacyCase {
    const char* name;
    Texts before;
    bool recording;
    std::string frame;
    Reading ch0;
    Reading ch1;
    const char* type2;  // sensor name text of display 2
    int count;
    bool stopped;
};

class DecoderLegacyFrameTest : public DecoderLegacyTest,
                               public ::testing::WithParamInterface<LegacyCase> {};

TEST_P(DecoderLegacyFrameTest, ReadingsNamesAndRecording)
{
    const LegacyCase& c = GetParam();
    for (const std::string& f : c.before)
        receive(f);
    if (c.recording)
        startRecording();
    WatchdogProbe watchdog;
    ASSERT_TRUE(watchdog.found());

    receive(c.frame);

    const Reading* expected[2] = {&c.ch0, &c.ch1};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(sensorType[channel[i].type], expected[i]->sensor);
        EXPECT_STREQ(channel[i].valStr, expected[i]->valStr);
        EXPECT_STREQ(channel[i].unit, expected[i]->unit);
        if (std::isnan(expected[i]->value))
            EXPECT_TRUE(std::isnan(channel[i].value)) << channel[i].value;
        else
            EXPECT_FLOAT_EQ(channel[i].value, expected[i]->value);
    }
    EXPECT_EQ(text(monitorPanel, MONITOR_CH1_TYPE), c.ch0.sensor);
    EXPECT_EQ(text(statisticPanel, STATISTIC_TYPE_A), c.ch0.sensor);
    EXPECT_EQ(text(statisticPanel, STATISTIC_TYPE_B), c.ch0.sensor);
    EXPECT_EQ(text(monitorPanel, MONITOR_CH2_TYPE), c.type2);
    EXPECT_EQ(wDataNum, c.count);
    if (c.recording) {
        EXPECT_EQ(recordingStopped(), c.stopped);
    }
    // Always the fixed layout, and every frame restarts the watchdog.
    EXPECT_TRUE(seam::isVisible(monitorPanel, MONITOR_CH1_TYPE));
    EXPECT_TRUE(seam::isVisible(monitorPanel, MONITOR_CH2_TYPE));
    EXPECT_FALSE(seam::isVisible(monitorPanel, MONITOR_CH1_SELECT));
    EXPECT_TRUE(watchdog.restarted());
}

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();
const Reading kNotRead{"Undefined", "", "", kNoValue};
const Reading kT235{"Temperature", "23.5", "C", 23.5f};
const Reading kH452{"Humidity", "45.2", "%", 45.2f};
const char kBoth[] = "T23.5C:H45.2%";

INSTANTIATE_TEST_SUITE_P(
    Frames, DecoderLegacyFrameTest,
    ::testing::Values(
        LegacyCase{"FirstFrame", {}, false, "T23.5C", kT235, kNotRead, "Undefined", 1, false},
        LegacyCase{"SensorChanges", {"T23.5C"}, false, "H45.2%", kH452, kNotRead, "Undefined", 1,
                   false},
        // The first frame of two channels only announces the second one.
        LegacyCase{"SecondChannelAnnounced", {"T23.5C"}, true, kBoth, kT235, kNotRead, "Undefined",
                   2, true},
        LegacyCase{"SecondChannelRead", {"T23.5C", kBoth}, true, kBoth, kT235, kH452, "Humidity", 2,
                   false},
        LegacyCase{"ColonAsLeadingZero", {}, false, "\r\nT:3.5C", {"Temperature", "3.5", "C", 3.5f},
                   kNotRead, "Undefined", 1, false},
        LegacyCase{"BlankSeparatesNoChannel", {"T23.5C"}, true, "T23.5C H45.2%", kT235, kNotRead,
                   "Undefined", 1, false},
        LegacyCase{"NoNumber", {}, false, "T_", {"Temperature", "E01", "Nul", kNoValue}, kNotRead,
                   "Undefined", 1, false},
        // A missing or one-letter word has no number: an error reading.
        LegacyCase{"OneWordAfterTwo", {kBoth, kBoth}, true, "T23.5C", kT235,
                   {"Undefined", "Err", "Nul", kNoValue}, "Undefined", 1, true},
        LegacyCase{"OneLetterWord", {kBoth, kBoth}, true, "T23.5C:H", kT235,
                   {"Humidity", "Err", "Nul", kNoValue}, "Humidity", 2, false},
        LegacyCase{"NoWordAtAll", {"T23.5C"}, false, "    ", {"Undefined", "Err", "Nul", kNoValue},
                   kNotRead, "Undefined", 1, false},

        // 18 zeros survive the cut to 19 characters; the rest is not a word.
        LegacyCase{"LongWordCut", {kBoth, kBoth}, false, "T00000000000000000000023.5C:H45.2%",
                   {"Temperature", "0", "Nul", 0.0f}, kH452, "Humidity", 2, false}),
    [](const auto& p) { return std::string(p.param.name); });

struct AlarmCase {
    const char* name;
    Texts before;
    int ch;  // the one channel whose alarm is on
    float hi;
    float lo;
    std::string frame;
    std::vector<int> lamps;  // display 1 high, low, display 2 high, low
    int beeps;
};

class DecoderLegacyAlarmTest : public DecoderLegacyTest,
                               public ::testing::WithParamInterface<AlarmCase> {};

TEST_P(DecoderLegacyAlarmTest, LampsAndBeeps)
{
    const AlarmCase& c = GetParam();
    for (const std::string& f : c.before)
        receive(f);
    vSw[c.ch] = 1;
    vHi[c.ch] = c.hi;
    vLow[c.ch] = c.lo;
    setLamps(1);  // an untested display keeps its lamps
    const int beeps = seam::beepCount();

    receive(c.frame);

    EXPECT_EQ(lamps(), c.lamps);
    EXPECT_EQ(seam::beepCount() - beeps, c.beeps);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, DecoderLegacyAlarmTest,
    ::testing::Values(
        AlarmCase{"BothLimitsMet", {}, 0, 23.5f, 23.5f, "T23.5C", {1, 1, 1, 1}, 2},
        AlarmCase{"InsideLimits", {}, 0, 50.0f, 0.0f, "T23.5C", {0, 0, 1, 1}, 0},
        AlarmCase{"Channel1HighOnTwoChannels", {kBoth, kBoth}, 1, 40.0f, 0.0f, kBoth, {1, 1, 1, 0},
                  1},
        AlarmCase{"Channel1NotTestedOnOneChannel", {"T23.5C"}, 1, 50.0f, 0.0f, "T23.5C",
                  {1, 1, 1, 1}, 0},
        // Tested by this frame's count while the reading is not yet decoded:
        // it has no value, so no lamp.
        AlarmCase{"Channel1NoValueOnAnnouncingFrame", {"T23.5C"}, 1, 50.0f, 0.0f, kBoth,
                  {1, 1, 0, 0}, 0},
        AlarmCase{"ErrorTripsNothing", {}, 0, 50.0f, 0.0f, "T_", {0, 0, 1, 1}, 0},
        AlarmCase{"UnreadableTripsNothing", {}, 0, 50.0f, 0.0f, "T--5C", {0, 0, 1, 1}, 0}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
