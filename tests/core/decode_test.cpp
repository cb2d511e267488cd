// The pure decode: what a frame does to the records and what its result
// tells the presenter.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/decode.h"
#include "decode_test_support.h"

namespace {

using decodetest::putFrame;
using decodetest::withLrc;
using Texts = std::vector<std::string>;
using Decode = FrameResult (*)(char*, std::size_t);

FrameResult feed(Decode decode, const std::string& wire)
{
    putFrame(wire);
    return decode(rxBuf, sizeof rxBuf);
}

// ---------------------------------------------------------------- refused

struct RefusedCase {
    const char* name;
    std::string wire;
    FrameRefusal why;
};

class DecodeRefusedTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(DecodeRefusedTest, RecordsAndStateStayByteForByte)
{
    decodetest::startUp();
    feed(decode9600, withLrc("T0023.5C:H045.2%RH"));
    feed(decode9600, withLrc("$Room:Duct"));
    ChannelRecord saved[10];
    std::memcpy(saved, channel, sizeof channel);

    const FrameResult r = feed(decode9600, GetParam().wire);

    EXPECT_EQ(r.refusal, GetParam().why);
    EXPECT_FALSE(r.taken());
    EXPECT_EQ(std::memcmp(saved, channel, sizeof channel), 0);
    EXPECT_EQ(wDataNum, 2);
    EXPECT_EQ(fViewGetDes, 1);
    EXPECT_EQ(r.channels, 2);
    EXPECT_FALSE(r.layoutChanged || r.namesChanged || r.description);
    EXPECT_EQ(r.typeChanged | r.sensorChanged | r.valueChanged | r.errorFields, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, DecodeRefusedTest,
    ::testing::Values(
        RefusedCase{"CheckOneTooHigh", "T0023.5C:H045.2%RH08", FrameRefusal::CheckSum},
        RefusedCase{"NoCheck", "T1", FrameRefusal::CheckSum},
        RefusedCase{"ElevenFields", withLrc("T1:T2:T3:T4:T5:T6:T7:T8:T9:T10:T11"),
                    FrameRefusal::TooManyFields},
        RefusedCase{"ElevenDescriptions", withLrc("$a:b:c:d:e:f:g:h:i:j:k"),
                    FrameRefusal::TooManyFields},
        RefusedCase{"EmptyMiddleField", withLrc("T0023.5C::H045.2%RH"), FrameRefusal::EmptyField},
        RefusedCase{"EmptyBodyBeforeTrailer", withLrc("@T0023.5C"), FrameRefusal::EmptyField}),
    [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------- taken

struct TakenCase {
    const char* name;
    Decode decode;
    Texts before;  // 9600 contents get their check characters
    std::string frame;
    int channels;
    bool layout;
    bool names;
    bool description;
    bool secondRead;
    unsigned types;
    unsigned sensors;
    unsigned values;
    unsigned errors;
};

class DecodeTakenTest : public ::testing::TestWithParam<TakenCase> {};

TEST_P(DecodeTakenTest, ResultTellsWhatChanged)
{
    const TakenCase& c = GetParam();
    auto wire = [&](const std::string& s) { return c.decode == decode9600 ? withLrc(s) : s; };
    decodetest::startUp();
    for (const std::string& f : c.before)
        ASSERT_TRUE(feed(c.decode, wire(f)).taken());

    const FrameResult r = feed(c.decode, wire(c.frame));

    EXPECT_TRUE(r.taken());
    EXPECT_EQ(r.channels, c.channels);
    EXPECT_EQ(wDataNum, c.channels);
    EXPECT_EQ(r.layoutChanged, c.layout);
    EXPECT_EQ(r.namesChanged, c.names);
    EXPECT_EQ(r.description, c.description);
    EXPECT_EQ(r.secondRead, c.secondRead);
    EXPECT_EQ(r.typeChanged, c.types);
    EXPECT_EQ(r.sensorChanged, c.sensors);
    EXPECT_EQ(r.valueChanged, c.values);
    EXPECT_EQ(r.errorFields, c.errors);
    for (int i = 0; i < 10; ++i) {
        if (c.errors >> i & 1u)
            EXPECT_STREQ(r.errorText(i), channel[i].valStr);
        else
            EXPECT_EQ(r.errorText(i), nullptr);
    }
}

const char kTwo[] = "T0023.5C:H045.2%RH";
const char kBoth[] = "T23.5C:H45.2%";

INSTANTIATE_TEST_SUITE_P(
    Frames, DecodeTakenTest,
    ::testing::Values(
        TakenCase{"First9600", decode9600, {}, kTwo, 2, true, true, false, false, 3, 3, 3, 0},
        TakenCase{"Same9600Again", decode9600, {kTwo}, kTwo, 2, false, false, false, false, 0, 0,
                  0, 0},
        TakenCase{"OneReadingMoves", decode9600, {kTwo}, "T0023.6C:H045.2%RH", 2, false, false,
                  false, false, 0, 0, 1, 0},
        TakenCase{"BareErrorKeepsSensor", decode9600, {kTwo}, "E02:H045.2%RH", 2, false, false,
                  false, false, 0, 0, 1, 1},
        TakenCase{"BareErrorOnUnknownChannel", decode9600, {}, "E02:H045.2%RH", 2, true, true,
                  false, false, 3, 2, 3, 1},
        TakenCase{"NoNumberReadsAsError", decode9600, {kTwo}, "T0023.5C:H____", 2, false, false,
                  false, false, 0, 0, 2, 2},
        TakenCase{"KnownSensorReplaced", decode9600, {kTwo}, "H040.0%RH:H045.2%RH", 2, true,
                  false, false, false, 1, 1, 1, 0},
        TakenCase{"Descriptions", decode9600, {kTwo}, "$Room:Duct", 2, false, true, true, false, 0,
                  0, 0, 0},
        TakenCase{"DescriptionsOfAnotherCount", decode9600, {kTwo}, "$A:B:C", 3, true, true, true,
                  false, 0, 0, 0, 0},
        // Channel 2, not read, goes from the start-up record to no value.
        TakenCase{"FirstLegacy", decodeLegacy, {}, "T23.5C", 1, true, false, false, false, 1, 1,
                  3, 0},
        TakenCase{"LegacySecondAnnounced", decodeLegacy, {"T23.5C"}, kBoth, 2, true, false, false,
                  false, 0, 0, 0, 0},
        TakenCase{"LegacySecondRead", decodeLegacy, {"T23.5C", kBoth}, kBoth, 2, false, false,
                  false, true, 2, 2, 2, 0},
        TakenCase{"LegacyNoNumber", decodeLegacy, {"T23.5C"}, "T_", 1, false, false, false, false,
                  0, 0, 1, 1}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
