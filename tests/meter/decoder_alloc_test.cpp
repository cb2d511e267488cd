// A decoded frame allocates nothing once the layout stands.
#include "decoder_fixture.h"

#include <gtest/gtest.h>

#include "alloc_counting.h"
#include "view/alarm_limits.h"

namespace {

ALLOCATION_COUNTER_SELF_TEST(DecoderAllocation)

struct AllocCase {
    const char* name;
    void (*decode)();
    std::string frame;
};

class DecoderAllocTest : public decodertest::DecoderFixture,
                         public ::testing::WithParamInterface<AllocCase> {};

TEST_P(DecoderAllocTest, NoneAfterTheFirstFrame)
{
    const AllocCase& c = GetParam();
    // Alarms on, so that lamps and beeps are part of the frame's work.
    vSw[0] = vSw[1] = 1;
    vHi[0] = vLow[0] = 23.5f;
    // Restarting a running timer re-registers it with Qt, one allocation
    // inside the platform; with the watchdog stopped the restart is a no-op
    // and the count is the decoder's own.
    SetCtrlAttribute(monitorPanel, MONITOR_NODATA_TIMER, ATTR_ENABLED, 0);
    decodertest::putFrame(c.frame);
    c.decode();  // builds the layout
    decodertest::putFrame(c.frame);
    c.decode();

    long seen = -1;
    {
        CountAllocations counter;
        decodertest::putFrame(c.frame);
        c.decode();
        seen = counter.count();
    }
    EXPECT_EQ(seen, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, DecoderAllocTest,
    ::testing::Values(
        AllocCase{"TwoChannels9600", analysis9600ComPortData, "T0023.5C:H045.2%RH07"},
        AllocCase{"TenChannels9600", analysis9600ComPortData,
                  decodertest::withLrc("T0023.5C:H045.2%RH:P1013.2hPa:d0012.1C:V001.20m/s:"
                                       "v0123CMM:N045.3dB:pE02:S____:m-012.5mV")},
        AllocCase{"Descriptions9600", analysis9600ComPortData, "$Room:Duct75"},
        AllocCase{"TwoChannelsLegacy", analysisComPortData, "T23.5C:H45.2%"},
        AllocCase{"OneChannelLegacy", analysisComPortData, "T23.5C"}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
