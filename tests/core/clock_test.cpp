#include "core/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>

namespace {

// ---------------------------------------------------------------- oracle
// The standard library's calendar stands in as an independent reference.

struct Civil {
    int year, month, day, hour, minute, second;
};

constexpr long long kDay = 86400;
constexpr unsigned int kLastCount = 3187295999u;  // 12-31-2100 23:59:59

std::chrono::sys_days epoch()
{
    using namespace std::chrono;
    return sys_days{year{2000} / January / 1};
}

// Seconds since 2000-01-01 00:00:00 of a valid date and time.
long long countOf(int y, int m, int d, int h = 0, int mi = 0, int s = 0)
{
    using namespace std::chrono;
    const sys_days date{year{y} / month{static_cast<unsigned>(m)} / day{static_cast<unsigned>(d)}};
    return (date - epoch()).count() * kDay + h * 3600LL + mi * 60LL + s;
}

// The int that holds the bits of a count of the supported range.
int bitsOf(long long count)
{
    return static_cast<int>(static_cast<unsigned int>(count));
}

Civil civilOf(long long count)
{
    using namespace std::chrono;
    const year_month_day ymd{epoch() + days{count / kDay}};
    const long long tod = count % kDay;
    return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day())), static_cast<int>(tod / 3600),
            static_cast<int>(tod / 60 % 60), static_cast<int>(tod % 60)};
}

std::string dateTextOf(const Civil& c)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02d-%02d-%04d", c.month, c.day, c.year);
    return text;
}

std::string timeTextOf(const Civil& c)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", c.hour, c.minute, c.second);
    return text;
}

// ---------------------------------------------------------------- helpers

// Exact-size heap copy, so that the sanitizer sees any read past the text.
std::unique_ptr<char[]> heapText(const std::string& text)
{
    auto copy = std::make_unique<char[]>(text.size() + 1);
    std::memcpy(copy.get(), text.c_str(), text.size() + 1);
    return copy;
}

int toCount(const std::string& date, const std::string& time)
{
    auto d = heapText(date);
    auto t = heapText(time);
    int out = 12345;
    const int result = rtc2CRtc(d.get(), t.get(), &out);
    EXPECT_EQ(result, out) << date << " " << time;
    return result;
}

struct TextPair {
    std::string date;
    std::string time;
};

// Buffers of exactly 11 and 9 characters on the heap: an overflow is caught.
TextPair toTexts(int count)
{
    auto d = std::make_unique<char[]>(11);
    auto t = std::make_unique<char[]>(9);
    cRtc2Rtc(count, d.get(), t.get());
    return {d.get(), t.get()};
}

Civil brokenDown(unsigned int count)
{
    Civil c{-1, -1, -1, -1, -1, -1};
    cRtc2BRtc(count, &c.year, &c.month, &c.day, &c.hour, &c.minute, &c.second);
    return c;
}

void expectCivil(const Civil& got, const Civil& want, unsigned int count)
{
    EXPECT_EQ(got.year, want.year) << "count " << count;
    EXPECT_EQ(got.month, want.month) << "count " << count;
    EXPECT_EQ(got.day, want.day) << "count " << count;
    EXPECT_EQ(got.hour, want.hour) << "count " << count;
    EXPECT_EQ(got.minute, want.minute) << "count " << count;
    EXPECT_EQ(got.second, want.second) << "count " << count;
}

// Checks one count of the supported range against the oracle both ways.
void expectConverts(unsigned int count)
{
    const Civil want = civilOf(count);
    expectCivil(brokenDown(count), want, count);
    const TextPair texts = toTexts(static_cast<int>(count));
    ASSERT_EQ(texts.date, dateTextOf(want)) << "count " << count;
    ASSERT_EQ(texts.time, timeTextOf(want)) << "count " << count;
    ASSERT_EQ(toCount(texts.date, texts.time), static_cast<int>(count));
}

// ---------------------------------------------------------------- tables

TEST(ClockTest, MonthTableMatchesCalendar)
{
    using namespace std::chrono;
    for (int leap = 0; leap < 2; ++leap) {
        const int y = leap ? 2000 : 2001;
        int total = 0;
        for (unsigned m = 1; m <= 12; ++m) {
            const year_month_day_last monthEnd{year{y} / month{m} / last};
            EXPECT_EQ(mMonthTab[leap][m - 1], static_cast<unsigned>(monthEnd.day()))
                << y << "-" << m;
            total += mMonthTab[leap][m - 1];
        }
        EXPECT_EQ(total, 365 + leap);
    }
}

TEST(ClockTest, LeapYearRule)
{
    const struct {
        int year;
        int leap;
    } cases[] = {
        {2000, 1}, {2001, 0}, {2002, 0}, {2003, 0}, {2004, 1}, {2068, 1},
        {2096, 1}, {2100, 0}, {1900, 0}, {2400, 1}, {1999, 0}, {2200, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(isLeapYear(c.year), c.leap) << c.year;
}

// ---------------------------------------------------------------- worked values

TEST(ClockTest, WorkedValues)
{
    const struct {
        const char* date;
        const char* time;
        Civil civil;
        int dayNumber;
        unsigned int count;
    } cases[] = {
        {"01-01-2000", "00:00:00", {2000, 1, 1, 0, 0, 0}, 1, 0u},
        {"02-29-2000", "23:59:59", {2000, 2, 29, 23, 59, 59}, 60, 5183999u},
        {"12-31-2000", "00:00:00", {2000, 12, 31, 0, 0, 0}, 366, 31536000u},
        {"01-01-2001", "00:00:00", {2001, 1, 1, 0, 0, 0}, 367, 31622400u},
        {"03-08-2013", "12:34:56", {2013, 3, 8, 12, 34, 56}, 4816, 416061296u},
        {"01-19-2068", "03:14:07", {2068, 1, 19, 3, 14, 7}, 24856, 2147483647u},
        {"12-31-2100", "23:59:59", {2100, 12, 31, 23, 59, 59}, 36890, 3187295999u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.date) + " " + c.time);
        EXPECT_EQ(bRtc2Days(c.civil.year, c.civil.month, c.civil.day), c.dayNumber);
        EXPECT_EQ(toCount(c.date, c.time), static_cast<int>(c.count));
        expectCivil(brokenDown(c.count), c.civil, c.count);
        const TextPair texts = toTexts(static_cast<int>(c.count));
        EXPECT_EQ(texts.date, c.date);
        EXPECT_EQ(texts.time, c.time);
    }
    // The last second of 2100 is a negative int with the same bits.
    EXPECT_EQ(toCount("12-31-2100", "23:59:59"), -1107671297);
}

TEST(ClockTest, CalendarEdges)
{
    const struct {
        const char* date;
        const char* time;
        const char* nextDate;  // one second later
        const char* nextTime;
    } cases[] = {
        {"02-28-2100", "23:59:59", "03-01-2100", "00:00:00"},  // 2100 is common
        {"02-28-2000", "23:59:59", "02-29-2000", "00:00:00"},  // 2000 is leap
        {"02-29-2000", "23:59:59", "03-01-2000", "00:00:00"},
        {"02-28-2001", "23:59:59", "03-01-2001", "00:00:00"},
        {"02-28-2004", "23:59:59", "02-29-2004", "00:00:00"},
        {"12-31-2000", "23:59:59", "01-01-2001", "00:00:00"},
        {"12-30-2000", "23:59:59", "12-31-2000", "00:00:00"},
        {"01-19-2068", "03:14:06", "01-19-2068", "03:14:07"},
        {"01-19-2068", "03:14:07", "01-19-2068", "03:14:08"},  // wraps to INT_MIN
        {"12-31-2099", "23:59:59", "01-01-2100", "00:00:00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.date) + " " + c.time);
        const int count = toCount(c.date, c.time);
        const int next = static_cast<int>(static_cast<unsigned int>(count) + 1u);
        const TextPair texts = toTexts(next);
        EXPECT_EQ(texts.date, c.nextDate);
        EXPECT_EQ(texts.time, c.nextTime);
        EXPECT_EQ(toCount(c.nextDate, c.nextTime), next);
    }
}

TEST(ClockTest, OverlongDayCarriesIntoNextMonth)
{
    EXPECT_EQ(toCount("02-30-2001", "00:00:00"), 36806400);
    EXPECT_EQ(toCount("03-02-2001", "00:00:00"), 36806400);
    const TextPair texts = toTexts(36806400);
    EXPECT_EQ(texts.date, "03-02-2001");
    EXPECT_EQ(texts.time, "00:00:00");
}

TEST(ClockTest, BoundaryCountsBelongToTheLaterPeriod)
{
    const struct {
        unsigned int count;
        Civil civil;
    } cases[] = {
        {31535999u, {2000, 12, 30, 23, 59, 59}},
        {31536000u, {2000, 12, 31, 0, 0, 0}},
        {31622399u, {2000, 12, 31, 23, 59, 59}},
        {31622400u, {2001, 1, 1, 0, 0, 0}},
        {2678399u, {2000, 1, 31, 23, 59, 59}},
        {2678400u, {2000, 2, 1, 0, 0, 0}},
        {86399u, {2000, 1, 1, 23, 59, 59}},
        {86400u, {2000, 1, 2, 0, 0, 0}},
        {3599u, {2000, 1, 1, 0, 59, 59}},
        {3600u, {2000, 1, 1, 1, 0, 0}},
        {3155760000u, {2100, 1, 1, 0, 0, 0}},
        {3155759999u, {2099, 12, 31, 23, 59, 59}},
    };
    for (const auto& c : cases) expectCivil(brokenDown(c.count), c.civil, c.count);
}

TEST(ClockTest, DatesBefore2000HaveDayZero)
{
    const struct {
        const char* date;
        const char* time;
        int count;
    } cases[] = {
        {"12-31-1999", "23:59:59", -1},
        {"12-31-1999", "00:00:00", -86400},
        {"01-01-1999", "00:00:00", -86400},
        {"06-15-1850", "12:00:00", -86400 + 43200},
        {"01-01-0000", "00:00:01", -86399},
        {"12-31-1999", "00:00:59", -86341},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(toCount(c.date, c.time), c.count) << c.date << " " << c.time;
    }
    const int years[] = {1999, 1, 0, -1, INT_MIN};
    for (int y : years) {
        EXPECT_EQ(bRtc2Days(y, 6, 15), 0) << y;
        EXPECT_EQ(bRtc2Days(y, 13, 99), 0) << y;
    }
}

// ---------------------------------------------------------------- round trips

// Every midnight and the second before it, 2000 to 2100, against the oracle.
TEST(ClockTest, EveryDayBoundaryConverts)
{
    for (long long start = 0; start <= kLastCount; start += kDay) {
        const auto count = static_cast<unsigned int>(start);
        expectConverts(count);
        if (count > 0) expectConverts(count - 1);
        const Civil c = civilOf(start);
        ASSERT_EQ(bRtc2Days(c.year, c.month, c.day), start / kDay + 1);
        if (HasFailure()) return;
    }
    expectConverts(kLastCount);
}

TEST(ClockTest, RandomCountsConvert)
{
    std::mt19937 generator(20130308);
    std::uniform_int_distribution<int> positive(0, INT_MAX);
    for (int i = 0; i < 200000 && !HasFailure(); ++i) {
        expectConverts(static_cast<unsigned int>(positive(generator)));
    }
    // Past 2068 the int is negative but carries the bits of the count.
    std::uniform_int_distribution<unsigned int> late(2147483648u, kLastCount);
    for (int i = 0; i < 20000 && !HasFailure(); ++i) expectConverts(late(generator));
}

// Walks every count from 0 to INT_MAX against an independently ticking clock;
// minutes of work, so it runs only when asked for.
TEST(ClockTest, EveryPositiveCountRoundTrips)
{
    const char* wanted = std::getenv("MERRIVAN_LONG_CHECKS");
    if (wanted == nullptr || std::strcmp(wanted, "1") != 0) {
        GTEST_SKIP() << "set MERRIVAN_LONG_CHECKS=1 to walk every count";
    }
    Civil tick{2000, 1, 1, 0, 0, 0};
    char date[11];
    char time[9];
    for (unsigned int count = 0;; ++count) {
        const Civil got = brokenDown(count);
        if (std::memcmp(&got, &tick, sizeof got) != 0) {
            expectCivil(got, tick, count);
            FAIL();
        }
        cRtc2Rtc(static_cast<int>(count), date, time);
        if (rtc2CRtc(date, time, nullptr) != static_cast<int>(count)) {
            FAIL() << "count " << count << " does not come back";
        }
        if (count == static_cast<unsigned int>(INT_MAX)) break;
        if (++tick.second < 60) continue;
        tick.second = 0;
        if (++tick.minute < 60) continue;
        tick.minute = 0;
        if (++tick.hour < 24) continue;
        tick = civilOf(countOf(tick.year, tick.month, tick.day) + kDay);
    }
}

// ---------------------------------------------------------------- out of range

TEST(ClockTest, CountsPast2100StopAtItsLastDay)
{
    const unsigned int counts[] = {
        3187296000u, 3187296001u, 3187382400u, 4000000000u, 4294967295u,
        static_cast<unsigned int>(-1), static_cast<unsigned int>(-86400),
        static_cast<unsigned int>(-1107671296),  // 3187296000 as rtc2CRtc gives it
    };
    for (unsigned int count : counts) {
        expectCivil(brokenDown(count), {2100, 12, 31, 0, 0, 0}, count);
        const TextPair texts = toTexts(static_cast<int>(count));
        EXPECT_EQ(texts.date, "12-31-2100") << count;
        EXPECT_EQ(texts.time, "00:00:00") << count;
    }
}

// ---------------------------------------------------------------- bad input

TEST(ClockTest, DamagedTextsGiveDefinedCounts)
{
    const struct {
        const char* date;
        const char* time;
        long long count;
    } cases[] = {
        // missing fields read as 0
        {"", "", -86400},
        {"12", "12", -86400 + 12 * 3600},
        {"12-31", "", -86400},
        {"12-31-", "00:00:00", -86400},
        {"12-31-2013", "", countOf(2013, 12, 31)},
        {"12-31-2013", "::", countOf(2013, 12, 31)},
        {"12-31-2013", "12", countOf(2013, 12, 31, 12)},
        {"12-31-2013", "12:30", countOf(2013, 12, 31, 12, 30)},
        {"12--2013", "00:00:00", countOf(2013, 11, 30)},  // empty day is day 0
        {"--", "", -86400},
        // months out of 1..12
        {"00-15-2013", "00:00:00", countOf(2013, 1, 15)},
        {"13-01-2013", "00:00:00", countOf(2014, 1, 1)},
        {"13-31-2013", "00:00:00", countOf(2014, 1, 31)},
        {"255-01-2013", "00:00:00", countOf(2014, 1, 1)},
        {"99999-01-2013", "00:00:00", countOf(2014, 1, 1)},
        {"-5-01-2013", "00:00:00", -86400},  // a leading "-" leaves the month empty
        // days out of range carry
        {"01-99-2013", "00:00:00", countOf(2013, 4, 9)},
        {"01-00-2013", "00:00:00", countOf(2012, 12, 31)},
        {"02-29-2013", "00:00:00", countOf(2013, 3, 1)},
        {"12-32-2100", "00:00:00", -1107671296},  // the bits of 3187296000
        // times out of range carry
        {"12-31-2013", "24:00:00", countOf(2014, 1, 1)},
        {"12-31-2013", "23:59:60", countOf(2014, 1, 1)},
        {"12-31-2013", "-1:00:00", countOf(2013, 12, 30, 23)},
        // non-digits end a number as atoi does
        {"ab-cd-efgh", "aa:bb:cc", -86400},
        {"1a-0b-2013", "00:00:00", countOf(2012, 12, 31)},
        {"12-31-20x3", "00:00:00", -86400},
        {" 3-+4-2013", " 1:\t2:+3", countOf(2013, 3, 4, 1, 2, 3)},
        {"12-31-2013", "1x:2y:3z", countOf(2013, 12, 31, 1, 2, 3)},
        // extra fields are ignored
        {"12-31-2013-07", "01:02:03:04", countOf(2013, 12, 31, 1, 2, 3)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(toCount(c.date, c.time), bitsOf(c.count))
            << "\"" << c.date << "\" \"" << c.time << "\"";
    }
}

TEST(ClockTest, OversizedNumbersSaturate)
{
    // A year past the int range reads as INT_MAX; the result is defined and
    // quick to compute (no UBSan report, no walk over billions of years).
    EXPECT_EQ(toCount("12-31-99999999999999999999", "00:00:00"),
              toCount("12-31-2147483647", "00:00:00"));
    EXPECT_EQ(toCount("01-01-2013", "99999999999:00:00"), toCount("01-01-2013", "2147483647:00:00"));
    EXPECT_EQ(toCount("01-01-2013", "-99999999999:00:00"),
              toCount("01-01-2013", "-2147483648:00:00"));
    EXPECT_NE(toCount("01-01-2013", "2147483647:00:00"), toCount("01-01-2013", "2147483646:00:00"));
}

TEST(ClockTest, DayNumberOfOutOfRangeArguments)
{
    const int jan1 = bRtc2Days(2013, 1, 1);
    const int nextJan1 = bRtc2Days(2014, 1, 1);
    EXPECT_EQ(jan1, static_cast<int>(countOf(2013, 1, 1) / kDay) + 1);
    const struct {
        int month;
        int expected;
    } months[] = {
        {0, jan1}, {-5, jan1}, {INT_MIN, jan1}, {13, nextJan1}, {255, nextJan1}, {INT_MAX, nextJan1},
    };
    for (const auto& m : months) EXPECT_EQ(bRtc2Days(2013, m.month, 1), m.expected) << m.month;

    // The day is added unchecked and the sum wraps as a 32-bit int.
    EXPECT_EQ(bRtc2Days(2013, 1, -10), jan1 - 11);
    EXPECT_EQ(bRtc2Days(2013, 1, INT_MAX), static_cast<int>(static_cast<unsigned int>(jan1) - 1u +
                                                            static_cast<unsigned int>(INT_MAX)));

    // Whole 400-year cycles of 146097 days, far beyond the supported years.
    const int cycles = 5368704;  // 2000 + 400 * cycles <= INT_MAX
    const unsigned int days = 146097u * static_cast<unsigned int>(cycles) + 1u;
    EXPECT_EQ(bRtc2Days(2000 + 400 * cycles, 1, 1), static_cast<int>(days));
    EXPECT_EQ(bRtc2Days(2400, 1, 1), 146098);
}

TEST(ClockTest, TextsAreSplitInPlace)
{
    char date[] = "03-08-2013";
    char time[] = "12:34:56";
    EXPECT_EQ(rtc2CRtc(date, time, nullptr), 416061296);
    // Only the field separators are overwritten.
    EXPECT_EQ(std::memcmp(date, "03\0" "08\0" "2013", sizeof date), 0);
    EXPECT_EQ(std::memcmp(time, "12\0" "34\0" "56", sizeof time), 0);
}

}  // namespace
