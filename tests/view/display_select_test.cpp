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

#include <string>
#include <vector>

namespace {

using Labels = std::vector<std::string>;
using Values = std::vector<int>;

class DispSelectTest : public MonitorFixture {
protected:

    // Channels with the sensor code letters given, in frame order.
    static void meterChannels(const char* codes)
    {
        int n = 0;
        for (; codes[n] != '\0'; ++n)
            channel[n].type = static_cast<unsigned char>(sensorTypeCheck(codes[n]));
        wDataNum = n;
    }

    static Values listValues(int control)
    {
        Values out;
        int count = 0;
        GetNumListItems(monitorPanel, control, &count);
        for (int i = 0; i < count; ++i) {
            int v = -100;
            GetValueFromIndex(monitorPanel, control, i, &v);
            out.push_back(v);
        }
        return out;
    }

    // Channel of the current item; -1 when the list has none.
    static int currentChannel(int control)
    {
        int index = -2;
        GetCtrlIndex(monitorPanel, control, &index);
        if (index < 0)
            return -1;
        int v = -100;
        GetValueFromIndex(monitorPanel, control, index, &v);
        return v;
    }

    static Labels labels(int control) { return seam::listLabels(monitorPanel, control); }

};

TEST_F(DispSelectTest, ThreeChannelsEachListLeavesOutTheOtherDisplay)
{
    meterChannels("THP");
    SetDispNew(0, 1);

    EXPECT_EQ(listValues(MONITOR_CH1_SELECT), (Values{0, 2}));
    EXPECT_EQ(labels(MONITOR_CH1_SELECT), (Labels{"Temperature", "Pressure"}));
    EXPECT_EQ(currentChannel(MONITOR_CH1_SELECT), 0);
    EXPECT_EQ(listValues(MONITOR_CH2_SELECT), (Values{1, 2}));
    EXPECT_EQ(labels(MONITOR_CH2_SELECT), (Labels{"Humidity", "Pressure"}));
    EXPECT_EQ(currentChannel(MONITOR_CH2_SELECT), 1);
}

TEST_F(DispSelectTest, PickOnDisplay1RebuildsTheOtherList)
{
    meterChannels("THP");
    SetDispNew(0, 1);

    seam::userSetValue(monitorPanel, MONITOR_CH1_SELECT, 2);

    EXPECT_EQ(disp1Index, 2);
    EXPECT_EQ(disp2Index, 1);
    EXPECT_EQ(listValues(MONITOR_CH1_SELECT), (Values{0, 2}));
    EXPECT_EQ(currentChannel(MONITOR_CH1_SELECT), 2);
    EXPECT_EQ(listValues(MONITOR_CH2_SELECT), (Values{0, 1}));
    EXPECT_EQ(labels(MONITOR_CH2_SELECT), (Labels{"Temperature", "Humidity"}));
    EXPECT_EQ(currentChannel(MONITOR_CH2_SELECT), 1);
}

TEST_F(DispSelectTest, PickOnDisplay2KeepsDisplay1)
{
    meterChannels("THP");
    SetDispNew(2, 1);

    seam::userSetValue(monitorPanel, MONITOR_CH2_SELECT, 0);

    EXPECT_EQ(disp1Index, 2);
    EXPECT_EQ(disp2Index, 0);
    EXPECT_EQ(listValues(MONITOR_CH1_SELECT), (Values{1, 2}));
    EXPECT_EQ(currentChannel(MONITOR_CH1_SELECT), 2);
    EXPECT_EQ(listValues(MONITOR_CH2_SELECT), (Values{0, 1}));
    EXPECT_EQ(currentChannel(MONITOR_CH2_SELECT), 0);
}

TEST_F(DispSelectTest, ChannelOfTheOtherDisplayCannotBePicked)
{
    meterChannels("THP");
    SetDispNew(0, 1);

    seam::userSetValue(monitorPanel, MONITOR_CH2_SELECT, 0);

    EXPECT_EQ(disp1Index, 0);
    EXPECT_EQ(disp2Index, 1);
    EXPECT_EQ(currentChannel(MONITOR_CH2_SELECT), 1);
}

struct CountCase {
    const char* name;
    int count;
    int d1;
    int d2;
    Values list1;
    int current1;
    Values list2;
    int current2;
};

class DispSelectCountTest : public DispSelectTest,
                            public ::testing::WithParamInterface<CountCase> {};

TEST_P(DispSelectCountTest, ListsHoldOnlyReportedChannels)
{
    const CountCase& c = GetParam();
    meterChannels("THPTHPTHPT");
    SetDispNew(0, 1);  // both lists filled before the count changes
    ASSERT_EQ(listValues(MONITOR_CH2_SELECT).size(), 9u);

    wDataNum = c.count;
    SetDispNew(c.d1, c.d2);

    EXPECT_EQ(listValues(MONITOR_CH1_SELECT), c.list1);
    EXPECT_EQ(currentChannel(MONITOR_CH1_SELECT), c.current1);
    EXPECT_EQ(listValues(MONITOR_CH2_SELECT), c.list2);
    EXPECT_EQ(currentChannel(MONITOR_CH2_SELECT), c.current2);
    EXPECT_EQ(disp1Index, c.d1);
    EXPECT_EQ(disp2Index, c.d2);
    EXPECT_TRUE(seam::popups().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Counts, DispSelectCountTest,
    ::testing::Values(
        CountCase{"OneChannel", 1, 0, 1, {0}, 0, {}, -1},
        CountCase{"NoChannel", 0, 0, 1, {}, -1, {}, -1},
        CountCase{"NegativeCount", -4, 0, 1, {}, -1, {}, -1},
        CountCase{"TwoChannels", 2, 0, 1, {0}, 0, {1}, 1},
        CountCase{"TenChannels", 10, 3, 7, {0, 1, 2, 3, 4, 5, 6, 8, 9}, 3,
                  {0, 1, 2, 4, 5, 6, 7, 8, 9}, 7},
        CountCase{"CountBeyondTheRecords", 57, 0, 1, {0, 2, 3, 4, 5, 6, 7, 8, 9}, 0,
                  {1, 2, 3, 4, 5, 6, 7, 8, 9}, 1}),
    [](const ::testing::TestParamInfo<CountCase>& p) { return p.param.name; });

struct LabelCase {
    const char* name;
    unsigned char getDes;
    unsigned char type2;
    Labels list1;
    Labels list2;
};

class DispSelectLabelTest : public DispSelectTest,
                            public ::testing::WithParamInterface<LabelCase> {};

TEST_P(DispSelectLabelTest, LabelsFromDescriptionOrSensorName)
{
    const LabelCase& c = GetParam();
    meterChannels("THP");
    channel[2].type = c.type2;
    copyText(channel[0].des, "Room");
    copyText(channel[1].des, "Duct");
    copyText(channel[2].des, "Attic");
    fViewGetDes = c.getDes;

    SetDispNew(0, 1);

    EXPECT_EQ(labels(MONITOR_CH1_SELECT), c.list1);
    EXPECT_EQ(labels(MONITOR_CH2_SELECT), c.list2);
}

INSTANTIATE_TEST_SUITE_P(
    Labels, DispSelectLabelTest,
    ::testing::Values(
        LabelCase{"Descriptions", 1, 8, {"Room", "Attic"}, {"Duct", "Attic"}},
        LabelCase{"SensorNames", 0, 8, {"Temperature", "Pressure"}, {"Humidity", "Pressure"}},
        LabelCase{"LastSensorName", 0, 18, {"Temperature", "ERROR#"}, {"Humidity", "ERROR#"}},
        LabelCase{"TypeBeyondTheTable", 0, 19, {"Temperature", "Undefined"},
                  {"Humidity", "Undefined"}},
        LabelCase{"TypeFarBeyondTheTable", 0, 255, {"Temperature", "Undefined"},
                  {"Humidity", "Undefined"}}),
    [](const ::testing::TestParamInfo<LabelCase>& p) { return p.param.name; });

TEST_F(DispSelectTest, RelabellingKeepsBothSelections)
{
    meterChannels("THPH");
    SetDispNew(0, 1);
    seam::userSetValue(monitorPanel, MONITOR_CH1_SELECT, 3);
    seam::userSetValue(monitorPanel, MONITOR_CH2_SELECT, 2);
    ASSERT_EQ(disp1Index, 3);
    ASSERT_EQ(disp2Index, 2);

    copyText(channel[0].des, "Room");
    copyText(channel[1].des, "Duct");
    copyText(channel[2].des, "Attic");
    copyText(channel[3].des, "Cellar");
    fViewGetDes = 1;
    SetDispNew(disp1Index, disp2Index);

    EXPECT_EQ(disp1Index, 3);
    EXPECT_EQ(disp2Index, 2);
    EXPECT_EQ(labels(MONITOR_CH1_SELECT), (Labels{"Room", "Duct", "Cellar"}));
    EXPECT_EQ(currentChannel(MONITOR_CH1_SELECT), 3);
    EXPECT_EQ(labels(MONITOR_CH2_SELECT), (Labels{"Room", "Duct", "Attic"}));
    EXPECT_EQ(currentChannel(MONITOR_CH2_SELECT), 2);
}

struct DisplayCtrls {
    const char* name;
    int select;
    int sw;
    int high;
    int low;
    int highAlarm;
    int lowAlarm;
};

class DispSelectPickTest : public DispSelectTest,
                           public ::testing::WithParamInterface<DisplayCtrls> {
protected:
    int indicator(int control)
    {
        int v = -1;
        GetCtrlVal(monitorPanel, control, &v);
        return v;
    }
    float entry(int control)
    {
        float v = -1.0f;
        GetCtrlVal(monitorPanel, control, &v);
        return v;
    }
    int sw(int control)
    {
        int v = -1;
        GetCtrlVal(monitorPanel, control, &v);
        return v;
    }
    int shown() const { return GetParam().select == MONITOR_CH1_SELECT ? disp1Index : disp2Index; }
};

TEST_P(DispSelectPickTest, PickLoadsTheChannelsOwnAlarmSettings)
{
    const DisplayCtrls& d = GetParam();
    meterChannels("THPTHP");
    vSw[3] = 0;
    vHi[3] = 40.0f;
    vLow[3] = 5.0f;
    vSw[4] = 1;
    vHi[4] = 20.0f;
    vLow[4] = 10.0f;
    if (d.select == MONITOR_CH1_SELECT)
        SetDispNew(3, 5);
    else
        SetDispNew(5, 3);
    SetCtrlVal(monitorPanel, d.highAlarm, 1);
    SetCtrlVal(monitorPanel, d.lowAlarm, 1);

    seam::userSetValue(monitorPanel, d.select, 4);

    ASSERT_EQ(shown(), 4);
    EXPECT_EQ(sw(d.sw), 1);
    EXPECT_FALSE(seam::isDimmed(monitorPanel, d.high));
    EXPECT_FALSE(seam::isDimmed(monitorPanel, d.low));
    EXPECT_FLOAT_EQ(entry(d.high), 20.0f);
    EXPECT_FLOAT_EQ(entry(d.low), 10.0f);
    EXPECT_EQ(indicator(d.highAlarm), 0);
    EXPECT_EQ(indicator(d.lowAlarm), 0);
    EXPECT_FLOAT_EQ(vHi[3], 40.0f);
    EXPECT_FLOAT_EQ(vLow[3], 5.0f);
    EXPECT_EQ(vSw[3], 0);

    // Back to channel 3: its own settings, switch off, entries dimmed.
    SetCtrlVal(monitorPanel, d.highAlarm, 1);
    seam::userSetValue(monitorPanel, d.select, 3);

    ASSERT_EQ(shown(), 3);
    EXPECT_EQ(sw(d.sw), 0);
    EXPECT_TRUE(seam::isDimmed(monitorPanel, d.high));
    EXPECT_TRUE(seam::isDimmed(monitorPanel, d.low));
    EXPECT_FLOAT_EQ(entry(d.high), 40.0f);
    EXPECT_FLOAT_EQ(entry(d.low), 5.0f);
    EXPECT_EQ(indicator(d.highAlarm), 0);
    EXPECT_FLOAT_EQ(vHi[4], 20.0f);
    EXPECT_FLOAT_EQ(vLow[4], 10.0f);
    EXPECT_EQ(vSw[4], 1);
}

TEST_P(DispSelectPickTest, OtherEventsAndEmptyListChangeNothing)
{
    const DisplayCtrls& d = GetParam();
    CtrlCallbackPtr cb = d.select == MONITOR_CH1_SELECT ? sDisp1Callback : sDisp2Callback;
    meterChannels("THPTHP");
    vSw[4] = 1;
    SetDispNew(3, 5);
    SetCtrlVal(monitorPanel, d.highAlarm, 1);

    // The current item moved without a value-changed event.
    int index = -1;
    GetIndexFromValue(monitorPanel, d.select, &index, 4);
    SetCtrlIndex(monitorPanel, d.select, index);
    for (int event : {EVENT_COMMIT, EVENT_GOT_FOCUS, EVENT_LOST_FOCUS, EVENT_NONE})
        EXPECT_EQ(cb(monitorPanel, d.select, event, nullptr, 0, 0), 0);
    EXPECT_EQ(disp1Index, 3);
    EXPECT_EQ(disp2Index, 5);
    EXPECT_EQ(indicator(d.highAlarm), 1);
    EXPECT_EQ(sw(d.sw), 0);

    // An empty list has no item to take.
    wDataNum = 0;
    SetDispNew(3, 5);
    EXPECT_EQ(cb(monitorPanel, d.select, EVENT_VAL_CHANGED, nullptr, 0, 0), 0);
    EXPECT_EQ(disp1Index, 3);
    EXPECT_EQ(disp2Index, 5);
    EXPECT_EQ(indicator(d.highAlarm), 1);
    EXPECT_EQ(sw(d.sw), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Displays, DispSelectPickTest,
    ::testing::Values(DisplayCtrls{"Display1", MONITOR_CH1_SELECT, MONITOR_CH1_ALARM_SW,
                                   MONITOR_CH1_HIGH, MONITOR_CH1_LOW, MONITOR_CH1_HIGH_ALARM,
                                   MONITOR_CH1_LOW_ALARM},
                      DisplayCtrls{"Display2", MONITOR_CH2_SELECT, MONITOR_CH2_ALARM_SW,
                                   MONITOR_CH2_HIGH, MONITOR_CH2_LOW, MONITOR_CH2_HIGH_ALARM,
                                   MONITOR_CH2_LOW_ALARM}),
    [](const ::testing::TestParamInfo<DisplayCtrls>& p) { return p.param.name; });

TEST_F(DispSelectTest, LayoutsSwapListsAndTypeTexts)
{
    meterChannels("THPTHP");
    SetDispNew(3, 5);
    EXPECT_TRUE(seam::isVisible(monitorPanel, MONITOR_CH1_SELECT));
    EXPECT_TRUE(seam::isVisible(monitorPanel, MONITOR_CH2_SELECT));
    EXPECT_FALSE(seam::isVisible(monitorPanel, MONITOR_CH1_TYPE));
    EXPECT_FALSE(seam::isVisible(monitorPanel, MONITOR_CH2_TYPE));
    const Labels before1 = labels(MONITOR_CH1_SELECT);
    const Labels before2 = labels(MONITOR_CH2_SELECT);

    SetDispOld();
    EXPECT_EQ(disp1Index, 0);
    EXPECT_EQ(disp2Index, 1);
    EXPECT_FALSE(seam::isVisible(monitorPanel, MONITOR_CH1_SELECT));
    EXPECT_FALSE(seam::isVisible(monitorPanel, MONITOR_CH2_SELECT));
    EXPECT_TRUE(seam::isVisible(monitorPanel, MONITOR_CH1_TYPE));
    EXPECT_TRUE(seam::isVisible(monitorPanel, MONITOR_CH2_TYPE));
    EXPECT_EQ(labels(MONITOR_CH1_SELECT), before1);
    EXPECT_EQ(labels(MONITOR_CH2_SELECT), before2);

    SetDispNew(2, 4);
    EXPECT_EQ(disp1Index, 2);
    EXPECT_EQ(disp2Index, 4);
    EXPECT_TRUE(seam::isVisible(monitorPanel, MONITOR_CH1_SELECT));
    EXPECT_TRUE(seam::isVisible(monitorPanel, MONITOR_CH2_SELECT));
    EXPECT_FALSE(seam::isVisible(monitorPanel, MONITOR_CH1_TYPE));
    EXPECT_FALSE(seam::isVisible(monitorPanel, MONITOR_CH2_TYPE));
}

}  // namespace
