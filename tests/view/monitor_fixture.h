// A fixture for the Monitor panel's displays: panels loaded as start-up
// loads them, and channels, display indices and alarm settings at their
// start values.
#pragma once

#include <gtest/gtest.h>

#include "core/channel.h"
#include "platform/seams.h"
#include "test_support.h"
#include "view/alarm_limits.h"
#include "view/display_select.h"

class MonitorFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        seam::reset();
        for (ChannelRecord& rec : channel)
            rec = ChannelRecord{};
        wDataNum = 0;
        fViewGetDes = 0;
        disp1Index = 0;
        disp2Index = 0;
        for (int i = 0; i < 10; ++i) {
            vHi[i] = 50.0f;
            vLow[i] = 0.0f;
            vSw[i] = 0;
        }
    }

    testsupport::TempDir dir_;
    testsupport::PanelsUp panels_;
};
