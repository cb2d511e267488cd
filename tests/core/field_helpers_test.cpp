#include "core/field_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// ---------------------------------------------------------------- GetStrTerm

struct TermCase {
    const char* src;
    std::size_t capacity;
    const char* copied;
    int result;
};

class GetStrTermTable : public ::testing::TestWithParam<TermCase> {};

TEST_P(GetStrTermTable, CopiesFieldAndReturnsSourceLength)
{
    const TermCase& c = GetParam();
    char buf[32];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(GetStrTerm(buf, c.capacity, c.src), c.result);
    EXPECT_STREQ(buf, c.copied);
    for (std::size_t i = c.capacity; i < sizeof buf; ++i) {
        ASSERT_EQ(buf[i], '#') << "written past capacity at " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GetStrTermTable,
    ::testing::Values(TermCase{"abc", 16, "abc", 3}, TermCase{":x", 16, "", 0},
                      TermCase{"", 16, "", 0}, TermCase{"ab:cd", 16, "ab", 2},
                      TermCase{"ab;cd", 16, "ab", 2}, TermCase{"ab,cd", 16, "ab", 2},
                      TermCase{"a b\r:c", 16, "a b\r", 4},
                      TermCase{"abcdefghij:k", 4, "abc", 10},
                      TermCase{"abcdefghij", 1, "", 10},
                      TermCase{"abc", 4, "abc", 3}));

TEST(GetStrTerm, ZeroCapacityWritesNothingButMeasuresField)
{
    char buf[4] = {'x', 'y', 'z', '\0'};
    EXPECT_EQ(GetStrTerm(buf, 0, "abcdef:g"), 6);
    EXPECT_STREQ(buf, "xyz");
}

TEST(GetStrTerm, ArrayOverloadBoundsByArraySize)
{
    struct {
        char field[4];
        char guard[4];
    } s;
    std::memset(&s, '#', sizeof s);
    EXPECT_EQ(GetStrTerm(s.field, "abcdefgh;i"), 8);
    EXPECT_STREQ(s.field, "abc");
    EXPECT_EQ(std::string(s.guard, 4), "####");
}

// Truncating a long field must not shift where the next field starts.
TEST(GetStrTerm, TruncatedFieldKeepsFieldWalkInStep)
{
    const char* frame = "T0023.5CELSIUS_LONG:H045.2%RH,x;yz";
    const char* expectedFields[] = {"T00", "H04", "x", "yz"};
    char small[4];
    const char* pos = frame;
    for (const char* expected : expectedFields) {
        const int n = GetStrTerm(small, pos);
        EXPECT_STREQ(small, expected);
        pos += n;
        if (*pos != '\0') {
            ++pos;
        }
    }
    EXPECT_EQ(*pos, '\0');
}

// ---------------------------------------------------------------- GetCharPos

struct PosCase {
    const char* str;
    char ch;
    int pos;
};

class GetCharPosTable : public ::testing::TestWithParam<PosCase> {};

TEST_P(GetCharPosTable, FindsFirstOrLength)
{
    const PosCase& c = GetParam();
    EXPECT_EQ(GetCharPos(c.str, c.ch), c.pos);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GetCharPosTable,
    ::testing::Values(PosCase{"abc", 'z', 3}, PosCase{"abc", '\0', 3},
                      PosCase{"abc", 'a', 0}, PosCase{"abcabc", 'c', 2},
                      PosCase{"", 'x', 0}, PosCase{"ab\rcd\r", '\r', 2},
                      PosCase{"T1@X", '@', 2}));

// ------------------------------------------------------------------ CheckLrc

struct LrcCase {
    const char* frame;
    int result;
    const char* after;  // nullptr: text must be unchanged
};

class CheckLrcTable : public ::testing::TestWithParam<LrcCase> {};

TEST_P(CheckLrcTable, ResultAndText)
{
    const LrcCase& c = GetParam();
    char buf[300];
    std::memset(buf, '#', sizeof buf);
    const std::size_t len = std::strlen(c.frame);
    std::memcpy(buf, c.frame, len + 1);
    EXPECT_EQ(CheckLrc(buf), c.result);
    if (c.after == nullptr) {
        EXPECT_EQ(std::memcmp(buf, c.frame, len + 1), 0) << "text changed";
    } else {
        EXPECT_STREQ(buf, c.after);
    }
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, CheckLrcTable,
    ::testing::Values(
        LrcCase{"abcDA\r", 1, "abc"}, LrcCase{"abcda\r", 1, "abc"},
        LrcCase{"abcDa\r", 1, "abc"}, LrcCase{"T17B\r", 1, "T1"},
        LrcCase{"T0023.5C:H045.2%RH07\r", 1, "T0023.5C:H045.2%RH"},
        LrcCase{"E02:H045.2%RH1F\r", 1, "E02:H045.2%RH"},
        LrcCase{"$Room:Duct75\r", 1, "$Room:Duct"},
        // The trailer stays in the text (the decoder cuts it) and is summed.
        LrcCase{"T0023.5C:H045.2%RH@X6F\r", 1, "T0023.5C:H045.2%RH@X"},
        LrcCase{"T0023.5C:H045.2%RH6F\r", 0, nullptr},
        LrcCase{"T0023.5C:H045.2%RH@X07\r", 0, nullptr},
        LrcCase{"x88\r", 1, "x"},
        LrcCase{"T0023.5C:H045.2%RH@X6f\r", 1, "T0023.5C:H045.2%RH@X"},
        // Bytes above 127 are summed as unsigned 8-bit values.
        LrcCase{"\xB0" "50\r", 1, "\xB0"},
        // Only what stands before the CR counts.
        LrcCase{"abcDA\rjunk", 1, "abc"},
        // Without CR the last two characters are the check characters.
        LrcCase{"abcDA", 1, "abc"}, LrcCase{"abcDB", 0, nullptr}));

INSTANTIATE_TEST_SUITE_P(
    Rejected, CheckLrcTable,
    ::testing::Values(LrcCase{"", 0, nullptr}, LrcCase{"\r", 0, nullptr},
                      LrcCase{"ab\r", 0, nullptr}, LrcCase{"DA\r", 0, nullptr},
                      // Two characters that would sum to 0 are still too short.
                      LrcCase{"00\r", 0, nullptr}, LrcCase{"00", 0, nullptr},
                      LrcCase{"abcDB\r", 0, nullptr}, LrcCase{"abcD9\r", 0, nullptr},
                      LrcCase{"x89\r", 0, nullptr}, LrcCase{"abcZZ\r", 0, nullptr},
                      LrcCase{"abc-1\r", 0, nullptr}, LrcCase{"abc 1\r", 0, nullptr},
                      LrcCase{"abc+A\r", 0, nullptr}, LrcCase{"abcDG\r", 0, nullptr},
                      LrcCase{"abcD\r", 0, nullptr},
                      // Correct sum but a separator where the first digit should be.
                      LrcCase{"abc:DA\r", 0, nullptr}));

// Independent LRC: two's complement of the byte sum.
unsigned lrcOf(const std::string& content)
{
    unsigned sum = 0;
    for (unsigned char c : content) {
        sum += c;
    }
    return (0x100u - (sum & 0xFFu)) & 0xFFu;
}

std::string withCheck(const std::string& content, unsigned check, bool lower)
{
    char hex[3];
    std::snprintf(hex, sizeof hex, lower ? "%02x" : "%02X", check & 0xFFu);
    return content + hex + "\r";
}

TEST(CheckLrc, TenChannelFrameEveryOffByOneRejected)
{
    const std::string content =
        "T0023.5C:H045.2%RH:d0012.1C:w0015.3C:i0024.0C:P1013.2hPa:V0001.5m/s:"
        "v0012.0CMM:S0003.1ppt:m-123.4mV@TRAILER";
    const unsigned good = lrcOf(content);
    for (bool lower : {false, true}) {
        std::string ok = withCheck(content, good, lower);
        char buf[300];
        std::memcpy(buf, ok.c_str(), ok.size() + 1);
        EXPECT_EQ(CheckLrc(buf), 1);
        EXPECT_EQ(std::string(buf), content);
    }
    for (unsigned delta = 1; delta < 256; ++delta) {
        const std::string bad = withCheck(content, good + delta, false);
        char buf[300];
        std::memcpy(buf, bad.c_str(), bad.size() + 1);
        ASSERT_EQ(CheckLrc(buf), 0) << "delta " << delta;
        ASSERT_EQ(std::string(buf), bad);
    }
}

TEST(CheckLrc, LongestFrameFromReceivePath)
{
    // 254 content characters, two check characters and the CR.
    std::string content(254, 'A');
    content[100] = ':';
    const std::string frame = withCheck(content, lrcOf(content), false);
    char buf[260];
    std::memcpy(buf, frame.c_str(), frame.size() + 1);
    EXPECT_EQ(CheckLrc(buf), 1);
    EXPECT_EQ(std::strlen(buf), 254u);
}

// ------------------------------------------------------------ analysisValStr

constexpr float kSentinel = 7.5f;
const char* const kErr = kUnreadableText;

struct ValCase {
    const char* field;
    bool valueSet;  // false: no value (NaN), never the one before
    float value;
    const char* valStr;
    const char* unit;
    int cut;  // length of the field text after the call
};

std::ostream& operator<<(std::ostream& os, const ValCase& c)
{
    return os << '"' << c.field << '"';
}

class AnalysisValStrTable : public ::testing::TestWithParam<ValCase> {};

TEST_P(AnalysisValStrTable, Row)
{
    const ValCase& c = GetParam();
    char field[64];
    std::snprintf(field, sizeof field, "%s", c.field);

    ChannelRecord rec{};
    rec.type = 5;
    copyText(rec.des, "keep me");
    rec.value = kSentinel;
    copyText(rec.valStr, "old");
    copyText(rec.unit, "old");

    analysisValStr(field, &rec);

    if (c.valueSet) {
        // Exactly the number the shown text stands for.
        EXPECT_EQ(rec.value, c.value);
        EXPECT_EQ(std::signbit(rec.value), std::signbit(c.value)) << "sign of zero";
    } else {
        EXPECT_TRUE(std::isnan(rec.value)) << rec.value;
    }
    EXPECT_STREQ(rec.valStr, c.valStr);
    EXPECT_STREQ(rec.unit, c.unit);
    EXPECT_EQ(static_cast<int>(std::strlen(field)), c.cut);
    EXPECT_EQ(rec.type, 5);
    EXPECT_STREQ(rec.des, "keep me");
}

INSTANTIATE_TEST_SUITE_P(
    WorkedCases, AnalysisValStrTable,
    ::testing::Values(ValCase{"0023.5C", true, 23.5f, "23.5", "C", 6},
                      ValCase{"045.2%RH", true, 45.2f, "45.2", "%RH", 5},
                      ValCase{"-003.2C", true, -3.2f, "-3.2", "C", 6},
                      ValCase{"-000.5", true, -0.5f, "-0.5", "Nul", 6},
                      ValCase{"-10.0C", true, -10.0f, "-10.0", "C", 5},
                      ValCase{"0000", true, 0.0f, "0", "Nul", 4},
                      ValCase{"-0000", true, 0.0f, "0", "Nul", 5},
                      ValCase{"000.000mV", true, 0.0f, "0.000", "mV", 7},
                      ValCase{"  0.00", true, 0.0f, "0.00", "Nul", 6},
                      ValCase{" -3.2", true, -3.2f, "-3.2", "Nul", 5},
                      ValCase{"0100F", true, 100.0f, "100", "F", 4},
                      ValCase{"1.2E+3", true, 1.2f, "1.2", "E+3", 3},
                      ValCase{"_", false, 0.0f, "E01", "Nul", 1},
                      ValCase{"____", false, 0.0f, "E01", "Nul", 4},
                      ValCase{"C", false, 0.0f, kErr, "Nul", 0},
                      ValCase{"-", false, 0.0f, kErr, "Nul", 1}));

INSTANTIATE_TEST_SUITE_P(
    MoreCases, AnalysisValStrTable,
    ::testing::Values(ValCase{"", false, 0.0f, kErr, "Nul", 0},
                      ValCase{".5", true, 0.5f, ".5", "Nul", 2},
                      ValCase{"-.5C", true, -0.5f, "-.5", "C", 3},
                      ValCase{"-0.5", true, -0.5f, "-0.5", "Nul", 4},
                      ValCase{"0.5", true, 0.5f, "0.5", "Nul", 3},
                      ValCase{"12", true, 12.0f, "12", "Nul", 2},
                      ValCase{"0C", true, 0.0f, "0", "C", 1},
                      ValCase{" ", false, 0.0f, kErr, "Nul", 1},
                      ValCase{"-0012", true, -12.0f, "-12", "Nul", 5},
                      ValCase{"_12.5C", false, 0.0f, "E01", "Nul", 6},
                      ValCase{"03.5C", true, 3.5f, "3.5", "C", 4},
                      ValCase{"1013.2hPa", true, 1013.2f, "1013.2", "hPa", 6},
                      ValCase{"0001.5m/s", true, 1.5f, "1.5", "m/s", 6},
                      ValCase{"%", false, 0.0f, kErr, "Nul", 0},
                      ValCase{"-%", false, 0.0f, kErr, "Nul", 1}));

// The value is the shown text read back: blanks or zeros the shown text drops
// do not cut the number, and a text that is no single number, or too long to
// be shown whole, has no value.
INSTANTIATE_TEST_SUITE_P(
    ShownIsUsed, AnalysisValStrTable,
    ::testing::Values(ValCase{"-  5.0C", true, -5.0f, "-5.0", "C", 6},
                      ValCase{"0  46.9C", true, 46.9f, "46.9", "C", 7},
                      ValCase{"- 0 7.5", true, -7.5f, "-7.5", "Nul", 7},
                      ValCase{"999999999", true, 999999999.0f, "999999999", "Nul", 9},
                      ValCase{"-99999999", true, -99999999.0f, "-99999999", "Nul", 9},
                      ValCase{"999999999999", false, 0.0f, kErr, "Nul", 12},
                      ValCase{"-999999999C", false, 0.0f, kErr, "Nul", 10},
                      ValCase{"nan", false, 0.0f, kErr, "Nul", 0},
                      ValCase{"--5", false, 0.0f, kErr, "Nul", 3},
                      ValCase{"-5-", false, 0.0f, kErr, "Nul", 3},
                      ValCase{"+5C", false, 0.0f, kErr, "Nul", 2},
                      ValCase{"1.2.3", false, 0.0f, kErr, "Nul", 5},
                      ValCase{"12 3", false, 0.0f, kErr, "Nul", 4},
                      ValCase{"5 ", false, 0.0f, kErr, "Nul", 2},
                      ValCase{".", false, 0.0f, kErr, "Nul", 1},
                      ValCase{"1/2", false, 0.0f, kErr, "Nul", 3},
                      ValCase{"\xB0" "5", false, 0.0f, kErr, "Nul", 2}));

// A number too long to be shown whole is not shown cut with another value.
TEST(AnalysisValStr, OverlongNumberPartHasNoValue)
{
    char field[64] = "123456789012345678901234567890C";
    ChannelRecord rec{};
    copyText(rec.des, "guard");
    analysisValStr(field, &rec);
    EXPECT_TRUE(std::isnan(rec.value));
    EXPECT_STREQ(rec.valStr, kUnreadableText);
    EXPECT_STREQ(rec.unit, "Nul");
    EXPECT_STREQ(rec.des, "guard");
}

TEST(AnalysisValStr, OverlongUnitTruncates)
{
    char field[64] = "1.5ABCDEFGHIJKLMNOPQRSTUVWXYZabcd";
    ChannelRecord rec{};
    copyText(rec.des, "guard");
    analysisValStr(field, &rec);
    EXPECT_FLOAT_EQ(rec.value, 1.5f);
    EXPECT_STREQ(rec.valStr, "1.5");
    EXPECT_STREQ(rec.unit, "ABCDEFGHI");
    EXPECT_STREQ(rec.des, "guard");
}

TEST(AnalysisValStr, OverlongNegativeWithLeadingZeros)
{
    char field[64] = "-00000000000000000000000012.25C";
    ChannelRecord rec{};
    analysisValStr(field, &rec);
    EXPECT_FLOAT_EQ(rec.value, -12.25f);
    EXPECT_STREQ(rec.valStr, "-12.25");
    EXPECT_STREQ(rec.unit, "C");
}

// ---------------------------------------------------------- analySisErrorStr

struct ErrCase {
    const char* field;
    const char* valStr;
    int cut;
};

class AnalySisErrorStrTable : public ::testing::TestWithParam<ErrCase> {};

TEST_P(AnalySisErrorStrTable, Row)
{
    const ErrCase& c = GetParam();
    char field[64];
    std::snprintf(field, sizeof field, "%s", c.field);
    ChannelRecord rec{};
    rec.type = 6;
    copyText(rec.des, "keep me");
    rec.value = kSentinel;
    copyText(rec.unit, "C");

    analySisErrorStr(field, &rec);

    EXPECT_STREQ(rec.valStr, c.valStr);
    EXPECT_STREQ(rec.unit, "Nul");
    EXPECT_TRUE(std::isnan(rec.value)) << "a sensor error has no value, not 0.0";
    EXPECT_EQ(static_cast<int>(std::strlen(field)), c.cut);
    EXPECT_EQ(rec.type, 6);
    EXPECT_STREQ(rec.des, "keep me");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AnalySisErrorStrTable,
    ::testing::Values(ErrCase{"E02", "E02", 3}, ErrCase{"E02C", "E02", 3},
                      ErrCase{"E", "E", 1}, ErrCase{"E-3", "E-3", 3},
                      ErrCase{"EE", "E", 1}, ErrCase{"E1%", "E1%", 3},
                      ErrCase{"E123456789012345678901234567890", "E12345678", 31}));

// An empty field must not be scanned beyond its terminator (the buffer is
// exactly one byte, so a read past it shows up under AddressSanitizer).
TEST(AnalySisErrorStr, EmptyFieldStaysInsideItsText)
{
    char* field = new char[1]{'\0'};
    ChannelRecord rec{};
    rec.value = kSentinel;
    analySisErrorStr(field, &rec);
    EXPECT_STREQ(rec.valStr, "");
    EXPECT_STREQ(rec.unit, "Nul");
    EXPECT_TRUE(std::isnan(rec.value));
    delete[] field;
}

}  // namespace
