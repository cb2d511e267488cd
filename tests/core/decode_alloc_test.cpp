// A decoded frame allocates nothing once the layout stands.
#include <gtest/gtest.h>

#include <string>

#include "alloc_counting.h"
#include "core/decode.h"
#include "decode_test_support.h"

namespace {

ALLOCATION_COUNTER_SELF_TEST(DecoderAllocation)

struct AllocCase {
    const char* name;
    FrameResult (*decode)(char*, std::size_t);
    std::string frame;
};

class DecoderAllocTest : public ::testing::TestWithParam<AllocCase> {};

TEST_P(DecoderAllocTest, NoneAfterTheFirstFrame)
{
    const AllocCase& c = GetParam();
    decodetest::startUp();
    decodetest::putFrame(c.frame);
    c.decode(rxBuf, sizeof rxBuf);  // builds the layout
    decodetest::putFrame(c.frame);
    c.decode(rxBuf, sizeof rxBuf);

    long seen = -1;
    {
        CountAllocations counter;
        decodetest::putFrame(c.frame);
        c.decode(rxBuf, sizeof rxBuf);
        seen = counter.count();
    }
    EXPECT_EQ(seen, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, DecoderAllocTest,
    ::testing::Values(
        AllocCase{"TwoChannels9600", decode9600, "T0023.5C:H045.2%RH07"},
        AllocCase{"TenChannels9600", decode9600,
                  decodetest::withLrc("T0023.5C:H045.2%RH:P1013.2hPa:d0012.1C:V001.20m/s:"
                                      "v0123CMM:N045.3dB:pE02:S____:m-012.5mV")},
        AllocCase{"Descriptions9600", decode9600, "$Room:Duct75"},
        AllocCase{"TwoChannelsLegacy", decodeLegacy, "T23.5C:H45.2%"},
        AllocCase{"OneChannelLegacy", decodeLegacy, "T23.5C"}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
