// The seam between decode and presenter: what the presenter shows depends on
// the order in which it applies a frame's result.
#include "decoder_fixture.h"

#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>

#include <ostream>
#include <string>

#include "app/watchdog.h"
#include "meter/link_activity.h"
#include "platform/panel_builder.h"
#include "view/alarm_limits.h"
#include "view/display_select.h"

namespace {

using decodertest::lamps;
using decodertest::putFrame;
using decodertest::text;
using decodertest::withLrc;

class FramePresenterTest : public decodertest::DecoderFixture {
protected:
    static void receive(const std::string& content)
    {
        putFrame(withLrc(content));
        analysis9600ComPortData();
    }
    static std::string unit(int control) { return seam::labelText(monitorPanel, control); }
};

// A new layout puts the displays back on channels 0 and 1 before the boxes are
// written: display 1 must not show the stale reading of a channel that went.
TEST_F(FramePresenterTest, LayoutIsRebuiltBeforeTheValuesAreShown)
{
    receive("T0011.0C:H022.0%RH:v0033.0CFM");
    SetDispNew(2, 0);  // the user's picks
    receive("T0044.0C:H055.0%RH");
    EXPECT_EQ(disp1Index, 0);
    EXPECT_EQ(text(monitorPanel, MONITOR_CH1_VALUE), "44.0");
    EXPECT_EQ(unit(MONITOR_CH1_VALUE), "°C");
    EXPECT_EQ(text(monitorPanel, MONITOR_CH2_VALUE), "55.0");
    EXPECT_EQ(unit(MONITOR_CH2_VALUE), "%RH");
}

// A refused frame is counted as refused, not read, and shows the last frame
// again; a taken one the other way round.
TEST_F(FramePresenterTest, RefusedFrameCountsAsRefusedAndShowsTheLastFrame)
{
    receive("T0023.5C:H045.2%RH");
    const unsigned long read = framesRead;
    const unsigned long refused = framesRefused;
    SetCtrlVal(monitorPanel, MONITOR_CH1_VALUE, "-");

    putFrame("T0099.9C:H099.9%RH00");
    analysis9600ComPortData();

    EXPECT_EQ(framesRead, read);
    EXPECT_EQ(framesRefused, refused + 1);
    EXPECT_EQ(text(monitorPanel, MONITOR_CH1_VALUE), "23.5");
    EXPECT_STREQ(channel[0].valStr, "23.5");

    receive("T0024.0C:H045.2%RH");
    EXPECT_EQ(framesRead, read + 1);
    EXPECT_EQ(framesRefused, refused + 1);
    EXPECT_EQ(text(monitorPanel, MONITOR_CH1_VALUE), "24.0");
}

// The legacy meter rebuilds the displays with every frame: a limit the user is
// still typing (no Enter yet) must survive the frames that arrive meanwhile.
TEST_F(FramePresenterTest, LegacyFramesLeaveALimitBeingTyped)
{
    putFrame("T23.5C:H45.2%");
    analysisComPortData();
    seam::userSetValue(monitorPanel, MONITOR_CH1_ALARM_SW, 1);
    auto* spin = dynamic_cast<QAbstractSpinBox*>(
        platform::controlWidget(monitorPanel, MONITOR_CH1_HIGH));
    ASSERT_NE(spin, nullptr);
    spin->setFocus();
    spin->selectAll();
    for (char ch : std::string("42")) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(ch)));
        QApplication::sendEvent(spin, &press);
    }
    for (int k = 0; k < 3; ++k) {
        putFrame("T23.5C:H45.2%");
        analysisComPortData();
    }
    EXPECT_EQ(spin->text().toStdString(), "42");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(spin, &enter);
    EXPECT_FLOAT_EQ(vHi[0], 42.0f);
}

// Every rebuild of the displays shows the alarm settings of the channel each
// display now shows: switching an alarm on must adopt that channel's limits,
// never those another channel left in the entries.
struct RebuildCase {
    const char* name;
    bool noDataFirst;   // the watchdog resets the displays before the frames
    const char* frame;  // the frame that rebuilds the displays
    bool legacy;
};

void PrintTo(const RebuildCase& c, std::ostream* os) { *os << c.name; }

class FramePresenterRebuildTest : public FramePresenterTest,
                                  public ::testing::WithParamInterface<RebuildCase> {
protected:
    static float entry(int control)
    {
        float v = -1.0f;
        GetCtrlVal(monitorPanel, control, &v);
        return v;
    }
    static int switchOn()
    {
        int v = -1;
        GetCtrlVal(monitorPanel, MONITOR_CH1_ALARM_SW, &v);
        return v;
    }
    // The user sets a display-1 channel's limits and leaves its switch as given.
    static void setLimits(float low, float high, int sw)
    {
        seam::userSetValue(monitorPanel, MONITOR_CH1_ALARM_SW, 1);
        seam::userSetValue(monitorPanel, MONITOR_CH1_LOW, low);
        seam::userSetValue(monitorPanel, MONITOR_CH1_HIGH, high);
        seam::userSetValue(monitorPanel, MONITOR_CH1_ALARM_SW, sw);
    }
};

TEST_P(FramePresenterRebuildTest, EntriesShowTheLimitsOfTheChannelShown)
{
    const RebuildCase& c = GetParam();
    const char* const three = "T0023.5C:H045.2%RH:d0010.0C";
    receive(three);
    setLimits(10.0f, 30.0f, 0);  // temperature's own, alarm off
    seam::userSetValue(monitorPanel, MONITOR_CH1_SELECT, 2);
    ASSERT_EQ(disp1Index, 2);
    setLimits(-5.0f, -5.0f, 1);  // the dew point's, alarm on

    if (c.noDataFirst) {
        seam::advanceMonotonicClock(10);
        TimeNoDataCallback(monitorPanel, MONITOR_NODATA_TIMER, EVENT_TIMER_TICK, nullptr, 0, 0);
    }
    if (c.legacy) {
        putFrame(c.frame);
        analysisComPortData();
    } else {
        receive(c.frame);
    }

    ASSERT_EQ(disp1Index, 0);
    EXPECT_EQ(switchOn(), 0);
    EXPECT_TRUE(seam::isDimmed(monitorPanel, MONITOR_CH1_HIGH));
    EXPECT_TRUE(seam::isDimmed(monitorPanel, MONITOR_CH1_LOW));
    EXPECT_FLOAT_EQ(entry(MONITOR_CH1_HIGH), 30.0f);
    EXPECT_FLOAT_EQ(entry(MONITOR_CH1_LOW), 10.0f);

    // Switched on, the alarm tests 23.5 C against temperature's 10..30.
    seam::userSetValue(monitorPanel, MONITOR_CH1_ALARM_SW, 1);
    EXPECT_FLOAT_EQ(vHi[0], 30.0f);
    EXPECT_FLOAT_EQ(vLow[0], 10.0f);
    if (c.legacy) {
        putFrame(c.frame);
        analysisComPortData();
    } else {
        receive(c.frame);
    }
    EXPECT_EQ(lamps()[0], 0);
    EXPECT_EQ(lamps()[1], 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rebuilds, FramePresenterRebuildTest,
    ::testing::Values(
        RebuildCase{"NoDataThenTheSameChannels", true, "T0023.5C:H045.2%RH:d0010.0C", false},
        RebuildCase{"NoDataThenTwoChannels", true, "T0023.5C:H045.2%RH", false},
        RebuildCase{"AnotherChannelCount", false, "T0023.5C:H045.2%RH:d0010.0C:P1013.0hPa",
                    false},
        RebuildCase{"TwoChannelLayout", false, "T0023.5C:H045.2%RH", false},
        RebuildCase{"LegacyMeterFrame", false, "T23.5C:H45.2%", true}),
    [](const ::testing::TestParamInfo<RebuildCase>& p) { return p.param.name; });

}  // namespace
