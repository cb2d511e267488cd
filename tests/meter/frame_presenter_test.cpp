// The seam between decode and presenter: what the presenter shows depends on
// the order in which it applies a frame's result.
#include "decoder_fixture.h"

#include <gtest/gtest.h>

#include <string>

#include "meter/link_activity.h"
#include "view/display_select.h"

namespace {

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
    EXPECT_EQ(unit(MONITOR_CH1_VALUE), "C");
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

}  // namespace
