#include "core/channel.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <map>
#include <string>

namespace {

// Expected code letters, written out independently of the implementation.
const std::map<unsigned char, int>& expectedCodes()
{
    static const std::map<unsigned char, int> codes = {
        {'v', 1},  {'H', 4},  {'N', 5},  {'T', 6},  {'t', 6},  {'p', 7},
        {'P', 8},  {'d', 9},  {'i', 10}, {'s', 11}, {'w', 12}, {'V', 13},
        {'C', 14}, {'S', 15}, {'U', 16}, {'m', 17}, {'E', 18}, {'e', 18},
    };
    return codes;
}

TEST(SensorTypeCheck, EveryByteValueMatchesTable)
{
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        const auto it = expectedCodes().find(byte);
        const int expected = (it == expectedCodes().end()) ? 0 : it->second;
        EXPECT_EQ(sensorTypeCheck(static_cast<char>(byte)), expected) << "byte " << b;
    }
}

TEST(SensorTypeCheck, NeverReturnsIndicesWithoutCodeLetter)
{
    for (int b = 0; b < 256; ++b) {
        const int t = sensorTypeCheck(static_cast<char>(b));
        EXPECT_NE(t, 2) << "byte " << b;
        EXPECT_NE(t, 3) << "byte " << b;
        EXPECT_GE(t, 0);
        EXPECT_LE(t, 18);
    }
}

struct CodeCase {
    char code;
    int type;
    const char* name;
};

class SensorTypeNamed : public ::testing::TestWithParam<CodeCase> {};

TEST_P(SensorTypeNamed, LetterSelectsName)
{
    const CodeCase& c = GetParam();
    const int t = sensorTypeCheck(c.code);
    EXPECT_EQ(t, c.type);
    EXPECT_STREQ(sensorType[t], c.name);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, SensorTypeNamed,
    ::testing::Values(CodeCase{'P', 8, "Pressure"}, CodeCase{'C', 14, "DO"},
                      CodeCase{'E', 18, "ERROR#"}, CodeCase{'e', 18, "ERROR#"},
                      CodeCase{'T', 6, "Temperature"}, CodeCase{'t', 6, "Temperature"},
                      CodeCase{'h', 0, "Undefined"}, CodeCase{'n', 0, "Undefined"},
                      CodeCase{'c', 0, "Undefined"}, CodeCase{'A', 0, "Undefined"},
                      CodeCase{'\0', 0, "Undefined"}, CodeCase{'s', 11, "DP-Suface"},
                      CodeCase{'\xC3', 0, "Undefined"}));

TEST(SensorType, NamesInOrder)
{
    const char* const expected[19] = {
        "Undefined", "Air_Flow",  "Pressure", "Conductivity", "Humidity",
        "Sound_Level", "Temperature", "PH",   "Pressure",     "Dew_Point",
        "HeatIndex", "DP-Suface", "Wet_Bulb", "Air_Velocity", "DO",
        "Salinity",  "BTU",       "mV",       "ERROR#",
    };
    static_assert(sizeof(sensorType) / sizeof(sensorType[0]) == 19);
    for (int i = 0; i < 19; ++i) {
        EXPECT_STREQ(sensorType[i], expected[i]) << "index " << i;
    }
}

TEST(SensorType, NameOfATypeOutsideTheTableIsUndefined)
{
    EXPECT_STREQ(sensorName(6), "Temperature");
    EXPECT_STREQ(sensorName(18), "ERROR#");
    for (unsigned type : {19u, 255u, 4000000000u})
        EXPECT_STREQ(sensorName(type), "Undefined") << type;
}

TEST(ChannelRecordLayout, FieldCapacitiesAndTypes)
{
    ChannelRecord r{};
    EXPECT_EQ(sizeof r.valStr, 10u);
    EXPECT_EQ(sizeof r.des, 20u);
    EXPECT_EQ(sizeof r.unit, 10u);
    EXPECT_EQ(sizeof r.type, 1u);
    EXPECT_EQ(sizeof r.value, 4u);
    static_assert(offsetof(ChannelRecord, type) < offsetof(ChannelRecord, value));
    static_assert(offsetof(ChannelRecord, value) < offsetof(ChannelRecord, valStr));
    static_assert(offsetof(ChannelRecord, valStr) < offsetof(ChannelRecord, des));
    static_assert(offsetof(ChannelRecord, des) < offsetof(ChannelRecord, unit));
}

TEST(ChannelGlobals, ArraysAndBufferSizes)
{
    EXPECT_EQ(sizeof channel / sizeof channel[0], 10u);
    EXPECT_EQ(sizeof logChannel / sizeof logChannel[0], 10u);
    EXPECT_EQ(sizeof rxBuf, 260u);
}

struct CopyCase {
    const char* src;
    std::size_t capacity;
    const char* expected;
};

class CopyText : public ::testing::TestWithParam<CopyCase> {};

TEST_P(CopyText, TruncatesAndTerminates)
{
    const CopyCase& c = GetParam();
    char buf[16];
    std::memset(buf, '#', sizeof buf);
    copyText(buf, c.capacity, c.src);
    EXPECT_STREQ(buf, c.expected);
    // Nothing written past the capacity.
    for (std::size_t i = c.capacity; i < sizeof buf; ++i) {
        EXPECT_EQ(buf[i], '#') << "byte " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CopyText,
    ::testing::Values(CopyCase{"abc", 10, "abc"}, CopyCase{"", 10, ""},
                      CopyCase{"123456789", 10, "123456789"},
                      CopyCase{"1234567890", 10, "123456789"},
                      CopyCase{"abcdefghijklmnopqrstuvwxyz", 4, "abc"},
                      CopyCase{"abc", 1, ""}));

TEST(CopyText, ZeroCapacityWritesNothing)
{
    char buf[4] = {'x', 'y', 'z', '\0'};
    copyText(buf, 0, "abc");
    EXPECT_STREQ(buf, "xyz");
}

TEST(CopyText, ArrayOverloadUsesArraySize)
{
    ChannelRecord r{};
    std::memset(r.des, '#', sizeof r.des);
    r.unit[0] = 'Q';
    copyText(r.valStr, "0123456789ABCDEF");
    EXPECT_STREQ(r.valStr, "012345678");
    EXPECT_EQ(r.des[0], '#');
    copyText(r.des, "a description longer than nineteen");
    EXPECT_EQ(std::string(r.des), std::string("a description longe"));
    EXPECT_EQ(r.unit[0], 'Q');
}

}  // namespace
