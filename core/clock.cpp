#include "core/clock.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdio>

SoftwareClock sysClock;

void SoftwareClock::follow(Source source)
{
    const int now = *this;
    source_ = source;
    *this = now;
}

SoftwareClock::operator int() const
{
    if (source_ == nullptr)
        return base_;
    const long long elapsed = std::max(0LL, source_() - baseMs_) / 1000;
    // Unsigned: the count wraps in 2068 instead of overflowing.
    return static_cast<int>(static_cast<unsigned>(base_) + static_cast<unsigned>(elapsed));
}

SoftwareClock& SoftwareClock::operator=(int count)
{
    base_ = count;
    baseMs_ = source_ ? source_() : 0;
    return *this;
}

SoftwareClock& SoftwareClock::operator++()
{
    base_ = static_cast<int>(static_cast<unsigned>(base_) + 1u);
    return *this;
}

const unsigned char mMonthTab[2][12] = {
    {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
    {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
};

namespace {

constexpr int kFirstYear = 2000;
constexpr int kLastYear = 2100;
constexpr unsigned int kSecondsPerDay = 86400;
constexpr int kYearCount = kLastYear - kFirstYear + 1;

// Second count at the start of each supported year, plus the end of the last;
// a count is found by search instead of subtracting up to a hundred years.
struct YearStarts {
    unsigned int at[kYearCount + 1];
};

constexpr YearStarts makeYearStarts()
{
    YearStarts starts{};
    unsigned int count = 0;
    for (int i = 0; i < kYearCount; ++i) {
        starts.at[i] = count;
        count += kSecondsPerDay * static_cast<unsigned int>(365 + isLeapYear(kFirstYear + i));
    }
    starts.at[kYearCount] = count;
    return starts;
}

constexpr YearStarts kYearStart = makeYearStarts();
static_assert(kYearStart.at[1] == 31622400u);
static_assert(kYearStart.at[kYearCount] == 3187296000u);

// Leap years in 1..n, for n >= 0.
constexpr long long leapsUpTo(long long n)
{
    return n / 4 - n / 100 + n / 400;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads the field at *text up to `separator` or the end of the text the way
// atoi reads a number (blanks, a sign, digits; anything else ends it), then
// overwrites the separator with NUL and moves *text past it. A value out of
// the int range saturates, as the Windows C library's atoi does. A missing
// field reads as 0 and leaves *text at the end.
int takeField(char** text, char separator)
{
    char* p = *text;
    if (p == nullptr) return 0;
    char* end = p;
    while (*end != '\0' && *end != separator) ++end;

    while (p < end && isBlank(*p)) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    constexpr long long kLimit = static_cast<long long>(INT_MAX) + 1;
    long long magnitude = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        magnitude = std::min(magnitude * 10 + (*p - '0'), kLimit);
    }

    if (*end == separator) {
        *end = '\0';
        *text = end + 1;
    } else {
        *text = end;
    }
    if (negative) return static_cast<int>(-magnitude);
    return static_cast<int>(std::min(magnitude, static_cast<long long>(INT_MAX)));
}

}  // namespace

int bRtc2Days(int year, int month, int day)
{
    if (year < kFirstYear) return 0;

    // Whole years in closed form: a year far beyond the supported range read
    // from a damaged text must neither take billions of steps nor overflow.
    const long long y = year;
    long long days = 365 * (y - kFirstYear) + leapsUpTo(y - 1) - leapsUpTo(kFirstYear - 1);

    // Months above 12 stop at the whole year so the table is never overrun.
    const int months = std::clamp(month, 1, 13) - 1;
    const unsigned char* lengths = mMonthTab[isLeapYear(year)];
    for (int m = 0; m < months; ++m) days += lengths[m];

    return static_cast<int>(static_cast<unsigned int>(days + day));
}

int rtc2CRtc(char* dateText, char* timeText, int* count)
{
    char* d = dateText;
    const int month = takeField(&d, '-');
    const int day = takeField(&d, '-');
    const int year = takeField(&d, '-');
    char* t = timeText;
    const int hour = takeField(&t, ':');
    const int minute = takeField(&t, ':');
    const int second = takeField(&t, ':');

    // 32-bit arithmetic that wraps: dates after 2068 keep the bits of the
    // unsigned count.
    unsigned int c = static_cast<unsigned int>(bRtc2Days(year, month, day)) - 1u;
    c = c * 24u + static_cast<unsigned int>(hour);
    c = c * 60u + static_cast<unsigned int>(minute);
    c = c * 60u + static_cast<unsigned int>(second);

    const int result = static_cast<int>(c);
    if (count != nullptr) *count = result;
    return result;
}

void cRtc2BRtc(unsigned int count, int* year, int* month, int* day, int* hour, int* minute,
               int* second)
{
    *hour = 0;
    *minute = 0;
    *second = 0;

    const unsigned int* first = kYearStart.at;
    const unsigned int* last = kYearStart.at + kYearCount + 1;
    const long i = std::upper_bound(first, last, count) - first - 1;
    if (i >= kYearCount) {
        // Past the last supported second: the last day of 2100 at midnight,
        // the nearest date that keeps the time at 00:00:00.
        *year = kLastYear;
        *month = 12;
        *day = 31;
        return;
    }

    const int y = kFirstYear + static_cast<int>(i);
    unsigned int rest = count - kYearStart.at[i];
    const unsigned char* lengths = mMonthTab[isLeapYear(y)];
    int m = 0;
    // rest is below the year's length, so this stops within the twelve months.
    while (m < 11 && rest >= kSecondsPerDay * lengths[m]) {
        rest -= kSecondsPerDay * lengths[m];
        ++m;
    }

    *year = y;
    *month = m + 1;
    *day = static_cast<int>(rest / kSecondsPerDay) + 1;
    rest %= kSecondsPerDay;
    *hour = static_cast<int>(rest / 3600);
    rest %= 3600;
    *minute = static_cast<int>(rest / 60);
    *second = static_cast<int>(rest % 60);
}

void cRtc2Rtc(int count, char* dateText, char* timeText)
{
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    cRtc2BRtc(static_cast<unsigned int>(count), &year, &month, &day, &hour, &minute, &second);
    std::snprintf(dateText, 11, "%02d-%02d-%4d", month, day, year);
    std::snprintf(timeText, 9, "%02d:%02d:%02d", hour, minute, second);
}
