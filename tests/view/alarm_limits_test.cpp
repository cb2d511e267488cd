#include "app/merrivan.h"
#include "core/channel.h"
#include "platform/platform.h"
#include "platform/seams.h"
#include "test_support.h"
#include "ui/merrivan_uir.h"
#include "view/alarm_limits.h"
#include "view/display_select.h"

#include <gtest/gtest.h>

#include "monitor_fixture.h"

#include <tuple>
#include <vector>

namespace {

class AlarmLimitsTest : public MonitorFixture {
protected:

    static int intVal(int control)
    {
        int v = -1;
        GetCtrlVal(monitorPanel, control, &v);
        return v;
    }
    static float floatVal(int control)
    {
        float v = -1.0f;
        GetCtrlVal(monitorPanel, control, &v);
        return v;
    }
    // Every channel but `except` still holds its start values.
    static void expectOthersUntouched(int except)
    {
        for (int i = 0; i < 10; ++i) {
            if (i == except)
                continue;
            EXPECT_FLOAT_EQ(vHi[i], 50.0f) << "channel " << i;
            EXPECT_FLOAT_EQ(vLow[i], 0.0f) << "channel " << i;
            EXPECT_EQ(vSw[i], 0) << "channel " << i;
        }
    }

};

// The controls of one display; its channel is 2 and the other display's 1.
struct Display {
    const char* name;
    bool first;
    int sw;
    int high;
    int low;
    int highAlarm;
    int lowAlarm;
};

const Display kDisplay1{"Display1", true, MONITOR_CH1_ALARM_SW, MONITOR_CH1_HIGH,
                        MONITOR_CH1_LOW, MONITOR_CH1_HIGH_ALARM, MONITOR_CH1_LOW_ALARM};
const Display kDisplay2{"Display2", false, MONITOR_CH2_ALARM_SW, MONITOR_CH2_HIGH,
                        MONITOR_CH2_LOW, MONITOR_CH2_HIGH_ALARM, MONITOR_CH2_LOW_ALARM};
constexpr int kShown = 2;

void showChannel2On(const Display& d)
{
    wDataNum = 3;
    if (d.first)
        SetDispNew(kShown, 1);
    else
        SetDispNew(1, kShown);
}

// ---------------------------------------------------------------- limit rules

enum class Entry { High, Low };
struct Input {
    Entry entry;
    double value;
};
struct LimitCase {
    const char* name;
    std::vector<Input> inputs;
    float hi;
    float lo;
};

class AlarmLimitsRuleTest : public AlarmLimitsTest,
                            public ::testing::WithParamInterface<std::tuple<Display, LimitCase>> {
};

TEST_P(AlarmLimitsRuleTest, EnteredLimitsKeepLowAtMostHigh)
{
    const auto& [d, c] = GetParam();
    showChannel2On(d);
    seam::userSetValue(monitorPanel, d.sw, 1);  // entries editable, limits 50 / 0 adopted
    ASSERT_FALSE(seam::isDimmed(monitorPanel, d.high));
    ASSERT_FLOAT_EQ(vHi[kShown], 50.0f);
    ASSERT_FLOAT_EQ(vLow[kShown], 0.0f);

    for (const Input& in : c.inputs)
        seam::userSetValue(monitorPanel, in.entry == Entry::High ? d.high : d.low, in.value);

    EXPECT_FLOAT_EQ(vHi[kShown], c.hi);
    EXPECT_FLOAT_EQ(vLow[kShown], c.lo);
    EXPECT_FLOAT_EQ(floatVal(d.high), c.hi);
    EXPECT_FLOAT_EQ(floatVal(d.low), c.lo);
    EXPECT_FLOAT_EQ(vHi[1], 50.0f);
    EXPECT_FLOAT_EQ(vLow[1], 0.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, AlarmLimitsRuleTest,
    ::testing::Combine(
        ::testing::Values(kDisplay1, kDisplay2),
        ::testing::Values(
            LimitCase{"LowAboveHighIsClamped", {{Entry::Low, 60}}, 50.0f, 50.0f},
            LimitCase{"HighBelowLowIsClamped", {{Entry::High, -5}}, 0.0f, 0.0f},
            LimitCase{"LowEqualToHigh", {{Entry::Low, 50}}, 50.0f, 50.0f},
            LimitCase{"HighEqualToLow", {{Entry::High, 0}}, 0.0f, 0.0f},
            LimitCase{"LowInside", {{Entry::Low, 12.5}}, 50.0f, 12.5f},
            LimitCase{"HighRaised", {{Entry::High, 80}}, 80.0f, 0.0f},
            LimitCase{"LowNegative", {{Entry::Low, -20}}, 50.0f, -20.0f},
            LimitCase{"LowClampedToNewHigh", {{Entry::High, 30}, {Entry::Low, 40}}, 30.0f, 30.0f},
            LimitCase{"HighClampedToNewLow", {{Entry::Low, 20}, {Entry::High, 10}}, 20.0f, 20.0f},
            LimitCase{"ClampedThenInside",
                      {{Entry::Low, 60}, {Entry::High, -5}, {Entry::Low, 5}, {Entry::High, 45}},
                      45.0f, 5.0f})),
    [](const auto& p) {
        return std::string(std::get<0>(p.param).name) + "_" + std::get<1>(p.param).name;
    });

// ---------------------------------------------------------------- switch rule

class AlarmLimitsSwitchTest : public AlarmLimitsTest,
                              public ::testing::WithParamInterface<Display> {};

TEST_P(AlarmLimitsSwitchTest, SwitchOnAdoptsTheEntriesAsTheyStand)
{
    const Display& d = GetParam();
    showChannel2On(d);
    SetCtrlVal(monitorPanel, d.high, 10.0f);  // low above high: not clamped
    SetCtrlVal(monitorPanel, d.low, 30.0f);
    SetCtrlVal(monitorPanel, d.highAlarm, 1);
    SetCtrlVal(monitorPanel, d.lowAlarm, 1);
    ASSERT_TRUE(seam::isDimmed(monitorPanel, d.high));

    seam::userSetValue(monitorPanel, d.sw, 1);

    EXPECT_NE(vSw[kShown], 0);
    EXPECT_FLOAT_EQ(vHi[kShown], 10.0f);
    EXPECT_FLOAT_EQ(vLow[kShown], 30.0f);
    EXPECT_FALSE(seam::isDimmed(monitorPanel, d.high));
    EXPECT_FALSE(seam::isDimmed(monitorPanel, d.low));
    EXPECT_EQ(intVal(d.highAlarm), 0);
    EXPECT_EQ(intVal(d.lowAlarm), 0);
    expectOthersUntouched(kShown);
}

TEST_P(AlarmLimitsSwitchTest, SwitchOffDimsAndKeepsTheLimits)
{
    const Display& d = GetParam();
    showChannel2On(d);
    seam::userSetValue(monitorPanel, d.sw, 1);
    seam::userSetValue(monitorPanel, d.high, 70);
    seam::userSetValue(monitorPanel, d.low, 20);
    SetCtrlVal(monitorPanel, d.highAlarm, 1);
    SetCtrlVal(monitorPanel, d.lowAlarm, 1);

    seam::userSetValue(monitorPanel, d.sw, 0);

    EXPECT_EQ(vSw[kShown], 0);
    EXPECT_FLOAT_EQ(vHi[kShown], 70.0f);
    EXPECT_FLOAT_EQ(vLow[kShown], 20.0f);
    EXPECT_TRUE(seam::isDimmed(monitorPanel, d.high));
    EXPECT_TRUE(seam::isDimmed(monitorPanel, d.low));
    EXPECT_EQ(intVal(d.highAlarm), 0);
    EXPECT_EQ(intVal(d.lowAlarm), 0);
    expectOthersUntouched(kShown);
}

INSTANTIATE_TEST_SUITE_P(Displays, AlarmLimitsSwitchTest, ::testing::Values(kDisplay1, kDisplay2),
                         [](const auto& p) { return p.param.name; });

// ---------------------------------------------------------------- commit only

struct CallbackCase {
    const char* name;
    CtrlCallbackPtr callback;
    int control;
    float entered;  // put into the control before the events
    int channel;    // the display's channel: display 1 on 2, display 2 on 1
    float hiAfterCommit;
    float loAfterCommit;
    int swAfterCommit;
};

class AlarmLimitsEventTest : public AlarmLimitsTest,
                             public ::testing::WithParamInterface<CallbackCase> {};

TEST_P(AlarmLimitsEventTest, ActsOnCommitOnly)
{
    const CallbackCase& c = GetParam();
    wDataNum = 3;
    SetDispNew(2, 1);
    if (c.control == MONITOR_CH1_ALARM_SW || c.control == MONITOR_CH2_ALARM_SW)
        SetCtrlVal(monitorPanel, c.control, static_cast<int>(c.entered));
    else
        SetCtrlVal(monitorPanel, c.control, c.entered);

    for (int event : {EVENT_VAL_CHANGED, EVENT_GOT_FOCUS, EVENT_LOST_FOCUS, EVENT_NONE})
        EXPECT_EQ(c.callback(monitorPanel, c.control, event, nullptr, 0, 0), 0);
    expectOthersUntouched(-1);

    EXPECT_EQ(c.callback(monitorPanel, c.control, EVENT_COMMIT, nullptr, 0, 0), 0);
    EXPECT_FLOAT_EQ(vHi[c.channel], c.hiAfterCommit);
    EXPECT_FLOAT_EQ(vLow[c.channel], c.loAfterCommit);
    EXPECT_EQ(vSw[c.channel], c.swAfterCommit);
    expectOthersUntouched(c.channel);
}

INSTANTIATE_TEST_SUITE_P(
    Callbacks, AlarmLimitsEventTest,
    ::testing::Values(
        CallbackCase{"Ch1Low", ch1LowLimitCallBack, MONITOR_CH1_LOW, 60, 2, 50, 50, 0},
        CallbackCase{"Ch1High", ch1HiLimitCallBack, MONITOR_CH1_HIGH, -5, 2, 0, 0, 0},
        CallbackCase{"Ch2Low", ch2LowLimitCallBack, MONITOR_CH2_LOW, 60, 1, 50, 50, 0},
        CallbackCase{"Ch2High", ch2HiLimitCallBack, MONITOR_CH2_HIGH, -5, 1, 0, 0, 0},
        // The entries still show the panel's 50 / 0.
        CallbackCase{"Ch1Switch", ch1AlarmSwCallBack, MONITOR_CH1_ALARM_SW, 1, 2, 50, 0, 1},
        CallbackCase{"Ch2Switch", ch2AlarmSwCallBack, MONITOR_CH2_ALARM_SW, 1, 1, 50, 0, 1}),
    [](const auto& p) { return p.param.name; });

// ---------------------------------------------------------------- alarm test

struct AlarmCase {
    const char* name;
    bool display1;  // which pair of indicators
    int sw;
    float hi;
    float lo;
    float value;
    int presetHi;
    int presetLo;
    int expectHi;
    int expectLo;
    int beeps;
};

class AlarmLimitsAlarmTest : public AlarmLimitsTest,
                             public ::testing::WithParamInterface<AlarmCase> {
protected:
    void SetUp() override
    {
        AlarmLimitsTest::SetUp();
        // Every other channel is switched on and far beyond its limits, so
        // testing the wrong channel shows.
        for (int i = 0; i < 10; ++i) {
            vSw[i] = 1;
            channel[i].value = 1000.0f;
        }
    }
};

constexpr int kTested = 3;

TEST_P(AlarmLimitsAlarmTest, IndicatorsAndBeepsFollowTheLimits)
{
    const AlarmCase& c = GetParam();
    const int hiLed = c.display1 ? MONITOR_CH1_HIGH_ALARM : MONITOR_CH2_HIGH_ALARM;
    const int loLed = c.display1 ? MONITOR_CH1_LOW_ALARM : MONITOR_CH2_LOW_ALARM;
    vSw[kTested] = c.sw;
    vHi[kTested] = c.hi;
    vLow[kTested] = c.lo;
    channel[kTested].value = c.value;
    SetCtrlVal(monitorPanel, hiLed, c.presetHi);
    SetCtrlVal(monitorPanel, loLed, c.presetLo);

    alarmTest(kTested, hiLed, loLed);

    EXPECT_EQ(intVal(hiLed), c.expectHi);
    EXPECT_EQ(intVal(loLed), c.expectLo);
    EXPECT_EQ(seam::beepCount(), c.beeps);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AlarmLimitsAlarmTest,
    ::testing::Values(
        AlarmCase{"OffAboveHigh", true, 0, 50, 0, 100, 0, 1, 0, 1, 0},
        AlarmCase{"OffBelowLow", false, 0, 50, 0, -100, 1, 0, 1, 0, 0},
        AlarmCase{"EqualToHigh", true, 1, 50, 0, 50, 0, 1, 1, 0, 1},
        AlarmCase{"AboveHigh", false, 1, 50, 0, 50.5f, 0, 1, 1, 0, 1},
        AlarmCase{"EqualToLow", false, 1, 50, 10, 10, 1, 0, 0, 1, 1},
        AlarmCase{"BelowLow", true, 1, 50, 10, -3, 1, 0, 0, 1, 1},
        AlarmCase{"EqualToBoth", true, 1, 20, 20, 20, 0, 0, 1, 1, 2},
        AlarmCase{"FractionalHighHit", false, 1, 20.1f, 0, 20.1f, 0, 0, 1, 0, 1},
        AlarmCase{"Inside", true, 1, 50, 10, 25, 1, 1, 0, 0, 0},
        AlarmCase{"JustInsideHigh", false, 1, 50, 10, 49.99f, 1, 1, 0, 0, 0},
        AlarmCase{"AnyNonZeroSwitch", true, 7, 50, 0, 60, 0, 0, 1, 0, 1}),
    [](const auto& p) { return p.param.name; });

TEST_F(AlarmLimitsTest, ChannelOutsideTheRecordsDoesNothing)
{
    for (int i = 0; i < 10; ++i) {
        vSw[i] = 1;
        channel[i].value = 1000.0f;
    }
    SetCtrlVal(monitorPanel, MONITOR_CH1_HIGH_ALARM, 0);
    SetCtrlVal(monitorPanel, MONITOR_CH1_LOW_ALARM, 1);

    for (int index : {-1, 10, 11, 1000, -1000})
        alarmTest(index, MONITOR_CH1_HIGH_ALARM, MONITOR_CH1_LOW_ALARM);

    EXPECT_EQ(intVal(MONITOR_CH1_HIGH_ALARM), 0);
    EXPECT_EQ(intVal(MONITOR_CH1_LOW_ALARM), 1);
    EXPECT_EQ(seam::beepCount(), 0);
}

}  // namespace
