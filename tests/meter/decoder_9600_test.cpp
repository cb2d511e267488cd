// The 9600 frame decoder, seen from the Monitor and Statistics panels.
#include "decoder_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "view/alarm_limits.h"

namespace {

using decodertest::lamps;
using decodertest::putFrame;
using decodertest::setLamps;
using decodertest::WatchdogProbe;
using decodertest::withLrc;
using Texts = std::vector<std::string>;

const char kTwo[] = "T0023.5C:H045.2%RH";
// 20 zeros in front of the number: only zeros survive the cut.
const char kLong[] = "H0000000000000000000045.2%RH:T0023.5C";

class Decoder9600Test : public decodertest::DecoderFixture {
protected:
    // Content only: the check characters are added.
    static void receive(const std::string& content) { receiveWire(withLrc(content)); }
    static void receiveWire(const std::string& wire)
    {
        putFrame(wire);
        analysis9600ComPortData();
    }
    static void receiveAll(const Texts& contents)
    {
        for (const std::string& c : contents)
            receive(c);
    }
};

// ---------------------------------------------------------------- field forms

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

struct FieldCase {
    const char* name;
    std::string wire;  // exact text before the CR
    int ch;
    const char* sensor;
    float value;
    const char* valStr;
    const char* unit;
};

class Decoder9600FieldTest : public Decoder9600Test,
                             public ::testing::WithParamInterface<FieldCase> {};

TEST_P(Decoder9600FieldTest, FillsTheChannelRecord)
{
    const FieldCase& c = GetParam();
    channel[c.ch].value = 99.0f;
    receiveWire(c.wire);
    const ChannelRecord& rec = channel[c.ch];
    EXPECT_STREQ(sensorType[rec.type], c.sensor);
    if (std::isnan(c.value))
        EXPECT_TRUE(std::isnan(rec.value)) << rec.value;
    else
        EXPECT_FLOAT_EQ(rec.value, c.value);
    EXPECT_STREQ(rec.valStr, c.valStr);
    EXPECT_STREQ(rec.unit, c.unit);
    EXPECT_EQ(wDataNum, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, Decoder9600FieldTest,
    ::testing::Values(
        FieldCase{"Reading0", "T0023.5C:H045.2%RH07", 0, "Temperature", 23.5f, "23.5", "C"},
        FieldCase{"Reading1", "T0023.5C:H045.2%RH07", 1, "Humidity", 45.2f, "45.2", "%RH"},
        FieldCase{"TrailerIgnored", "T0023.5C:H045.2%RH@X6F", 1, "Humidity", 45.2f, "45.2", "%RH"},
        FieldCase{"LowerCaseCheck", "T1:H-03.2Cc6", 1, "Humidity", -3.2f, "-3.2", "C"},
        FieldCase{"NoNumber", withLrc("T____:H1"), 0, "Temperature", kNoValue, "E01", "Nul"},
        FieldCase{"SensorError", withLrc("TE02C:H1"), 0, "Temperature", kNoValue, "E02", "Nul"},
        FieldCase{"BareErrorNamesNoSensor", "E02:H045.2%RH1F", 0, "ERROR#", kNoValue, "E02",
                  "Nul"},
        // The value is the one shown, never the one before or a part.
        FieldCase{"BlanksAfterSign", withLrc("T-  5.0C:H1"), 0, "Temperature", -5.0f, "-5.0", "C"},
        FieldCase{"BlanksAfterZero", withLrc("T0  46.9C:H1"), 0, "Temperature", 46.9f, "46.9",
                  "C"},
        FieldCase{"TooLongToShow", withLrc("T999999999999:H1"), 0, "Temperature", kNoValue, "Err",
                  "Nul"},
        FieldCase{"SecondSign", withLrc("T--5C:H1"), 0, "Temperature", kNoValue, "Err", "Nul"},
        FieldCase{"SignOnly", withLrc("T-:H1"), 0, "Temperature", kNoValue, "Err", "Nul"},
        FieldCase{"NotANumber", withLrc("Tnan:H1"), 0, "Temperature", kNoValue, "Err", "Nul"},
        // A field is cut to 19 characters; the next one is still found.
        FieldCase{"LongFieldCut", withLrc(kLong), 0, "Humidity", 0.0f, "0", "Nul"},
        FieldCase{"LongFieldKeepsPlace", withLrc(kLong), 1, "Temperature", 23.5f, "23.5", "C"}),
    [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------- layout

struct LayoutCase {
    const char* name;
    Texts before;      // frames ahead of the one under test
    bool recording;    // a recording runs when the frame arrives
    std::string frame;
    bool selectors;    // the selector layout is shown
    Texts list1;
    Texts list2;
    bool stopped;      // the recording was stopped
    Texts legend;      // legend and Statistics list (recording rows)
};

class Decoder9600LayoutTest : public Decoder9600Test,
                              public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(Decoder9600LayoutTest, DisplaysAndRecordingFollowTheChannels)
{
    const LayoutCase& c = GetParam();
    receiveAll(c.before);
    if (c.recording)
        startRecording();
    WatchdogProbe watchdog;
    ASSERT_TRUE(watchdog.found());

    receive(c.frame);

    EXPECT_TRUE(watchdog.restarted());
    EXPECT_EQ(seam::isVisible(monitorPanel, MONITOR_CH1_SELECT), c.selectors);
    EXPECT_EQ(seam::isVisible(monitorPanel, MONITOR_CH2_SELECT), c.selectors);
    EXPECT_EQ(seam::isVisible(monitorPanel, MONITOR_CH1_TYPE), !c.selectors);
    if (c.selectors) {
        EXPECT_EQ(selectorLabels(MONITOR_CH1_SELECT), c.list1);
        EXPECT_EQ(selectorLabels(MONITOR_CH2_SELECT), c.list2);
    }
    if (c.recording) {
        EXPECT_EQ(recordingStopped(), c.stopped);
        EXPECT_EQ(legend(), c.legend);
        EXPECT_EQ(statisticsList(), c.stopped || c.legend[0] == "-" ? Texts{"-"} : c.legend);
    }
}

const Texts kMarks{"-", "-"};

INSTANTIATE_TEST_SUITE_P(
    Frames, Decoder9600LayoutTest,
    ::testing::Values(
        // Both layout calls run: the fixed layout, then the selectors on 0 and 1.
        LayoutCase{"FirstFrame", {}, false, kTwo, true, {"Temperature"}, {"Humidity"}, false, {}},
        LayoutCase{"FirstFrameOneChannel", {}, false, "T0023.5C", true, {"Temperature"}, {}, false,
                   {}},
        LayoutCase{"FirstFrameUnknownSensors", {}, false, "X1:Y2", false, {}, {}, false, {}},
        LayoutCase{"SameFrameAgain", {kTwo}, true, "T0024.0C:H050.0%RH", true, {"Temperature"},
                   {"Humidity"}, false, kMarks},
        LayoutCase{"ThreeAfterTwo", {kTwo}, true, "T0023.5C:H045.2%RH:P1013hPa", true,
                   {"Temperature", "Pressure"}, {"Humidity", "Pressure"}, true, kMarks},
        LayoutCase{"KnownSensorReplaced", {kTwo}, true, "H040.0%RH:H045.2%RH", false, {}, {}, true,
                   kMarks},
        LayoutCase{"ErrorChannelGetsSensor", {"E02:H045.2%RH"}, true, kTwo, true, {"Temperature"},
                   {"Humidity"}, false, {"Temperature", "Humidity"}},
        LayoutCase{"BareErrorKeepsSensor", {kTwo}, true, "E02:H045.2%RH", true, {"Temperature"},
                   {"Humidity"}, false, kMarks},
        LayoutCase{"Descriptions", {kTwo}, true, "$Room:Duct", true, {"Room"}, {"Duct"}, false,
                   {"Room", "Duct"}},
        LayoutCase{"EmptyDescription", {kTwo}, true, "$Room:", true, {"Room"}, {""}, false,
                   {"Room", ""}},
        LayoutCase{"SameDescriptionsAgain", {kTwo, "$Room:Duct"}, true, "$Room:Duct", true,
                   {"Room"}, {"Duct"}, false, kMarks},
        LayoutCase{"DescriptionsOfAnotherCount", {kTwo}, true, "$A:B:C", true, {"A", "C"},
                   {"B", "C"}, true, kMarks},
        LayoutCase{"NamedChannelChangesSensor", {kTwo, "$Room:Duct"}, true, "E02:T0023.5C", false,
                   {}, {}, true, kMarks},
        LayoutCase{"TenChannels", {}, false, "T1:T2:T3:T4:T5:T6:T7:T8:T9:H10", true,
                   {"Temperature", "Temperature", "Temperature", "Temperature", "Temperature",
                    "Temperature", "Temperature", "Temperature", "Humidity"},
                   {"Temperature", "Temperature", "Temperature", "Temperature", "Temperature",
                    "Temperature", "Temperature", "Temperature", "Humidity"},
                   false, {}}),
    [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------- dropped frames

struct DroppedCase {
    const char* name;
    std::string wire;
};

class Decoder9600DroppedTest : public Decoder9600Test,
                               public ::testing::WithParamInterface<DroppedCase> {};

TEST_P(Decoder9600DroppedTest, FrameTouchesNothing)
{
    receive(kTwo);
    vSw[0] = 1;
    vHi[0] = vLow[0] = 23.5f;
    startRecording();
    setLamps(0);
    ChannelRecord saved[10];
    std::memcpy(saved, channel, sizeof channel);
    const int beeps = seam::beepCount();
    WatchdogProbe watchdog;

    receiveWire(GetParam().wire);

    EXPECT_EQ(std::memcmp(saved, channel, sizeof channel), 0);
    EXPECT_EQ(wDataNum, 2);
    EXPECT_EQ(lamps(), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(seam::beepCount(), beeps);
    EXPECT_FALSE(recordingStopped());
    EXPECT_EQ(legend(), kMarks);
    EXPECT_FALSE(watchdog.restarted());
    EXPECT_EQ(selectorLabels(MONITOR_CH1_SELECT), Texts{"Temperature"});
}

INSTANTIATE_TEST_SUITE_P(
    Frames, Decoder9600DroppedTest,
    ::testing::Values(
        DroppedCase{"CheckOneTooHigh", "T0023.5C:H045.2%RH08"},
        DroppedCase{"CheckNotHex", "T0023.5C:H045.2%RH0G"},
        DroppedCase{"TooShort", "T1"},
        DroppedCase{"OnlyLineEnds", "\r\n\n"},
        DroppedCase{"ElevenFields", withLrc("T1:T2:T3:T4:T5:T6:T7:T8:T9:T10:T11")},
        DroppedCase{"ElevenDescriptions", withLrc("$a:b:c:d:e:f:g:h:i:j:k")},
        DroppedCase{"EmptyMiddleField", withLrc("T0023.5C::H045.2%RH")},
        DroppedCase{"EmptyLastField", withLrc("T0023.5C:")},
        DroppedCase{"EmptyFirstField", withLrc(":H045.2%RH")},
        DroppedCase{"SeparatorsOfBothKinds", withLrc("T0023.5C;:H045.2%RH")},
        DroppedCase{"EmptyBodyBeforeTrailer", withLrc("@T0023.5C:H045.2%RH")}),
    [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------- alarms

struct AlarmCase {
    const char* name;
    Texts before;
    int pick1;  // channel the user picks for display 1, -1 none
    int ch;     // the one channel whose alarm is on
    float hi;
    float lo;
    std::string frame;
    std::vector<int> lamps;  // display 1 high, low, display 2 high, low
    int beeps;
};

class Decoder9600AlarmTest : public Decoder9600Test,
                             public ::testing::WithParamInterface<AlarmCase> {};

TEST_P(Decoder9600AlarmTest, LampsAndBeeps)
{
    const AlarmCase& c = GetParam();
    receiveAll(c.before);
    if (c.pick1 >= 0)
        seam::userSetValue(monitorPanel, MONITOR_CH1_SELECT, c.pick1);
    vSw[c.ch] = 1;
    vHi[c.ch] = c.hi;
    vLow[c.ch] = c.lo;
    setLamps(1);  // a display whose channel is off keeps its lamps
    const int beeps = seam::beepCount();

    receive(c.frame);

    EXPECT_EQ(lamps(), c.lamps);
    EXPECT_EQ(seam::beepCount() - beeps, c.beeps);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, Decoder9600AlarmTest,
    ::testing::Values(
        AlarmCase{"BothLimitsMet", {kTwo}, -1, 0, 23.5f, 23.5f, kTwo, {1, 1, 1, 1}, 2},
        AlarmCase{"Display2High", {kTwo}, -1, 1, 40.0f, 0.0f, kTwo, {1, 1, 1, 0}, 1},
        AlarmCase{"InsideLimits", {kTwo}, -1, 1, 50.0f, 0.0f, kTwo, {1, 1, 0, 0}, 0},
        // No value trips no alarm: both lamps go off, no beep.
        AlarmCase{"ErrorTripsNothing", {kTwo}, -1, 0, 50.0f, 0.0f, "E02:H045.2%RH", {0, 0, 1, 1},
                  0},
        AlarmCase{"ErrorTripsNothingAtZeroLimits", {kTwo}, -1, 0, 0.0f, 0.0f, "TE03:H045.2%RH",
                  {0, 0, 1, 1}, 0},
        AlarmCase{"UnreadableTripsNothing", {kTwo}, -1, 0, 50.0f, 0.0f, "T999999999999:H045.2%RH",
                  {0, 0, 1, 1}, 0},
        // The shown value is the one tested, not the one before or a part of it.
        AlarmCase{"ShownNegativeIsLow", {kTwo}, -1, 0, 50.0f, 0.0f, "T-  5.0C:H045.2%RH",
                  {0, 1, 1, 1}, 1},
        AlarmCase{"ShownValueNotItsZero", {kTwo}, -1, 0, 50.0f, 10.0f, "T0  46.9C:H045.2%RH",
                  {0, 0, 1, 1}, 0},
        AlarmCase{"Display2WithOneChannel", {"T0023.5C"}, -1, 1, 50.0f, 0.0f, "T0023.5C",
                  {1, 1, 0, 1}, 1},
        AlarmCase{"PickedChannel", {"T1:H2:P3"}, 2, 2, 3.0f, 0.0f, "T1:H2:P3", {1, 0, 1, 1}, 1},
        AlarmCase{"NotOnADescription", {kTwo}, -1, 0, 23.5f, 23.5f, "$Room:Duct", {1, 1, 1, 1},
                  0}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
