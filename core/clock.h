// Clock: date and time arithmetic. A point in time is kept as a second count,
// a signed 32-bit number of seconds since 2000-01-01 00:00:00 in the PC's local
// time, and shown as a text pair: "MM-DD-YYYY" and "HH:MM:SS". Years 2000 to
// 2100 are supported. Nothing here keeps state or allocates.
#pragma once

// The program's software clock, the second count that stamps records: the
// count it was set to plus the whole seconds elapsed since on a clock that only
// goes forward. Timer ticks are not counted, so a stall or a suspend that
// swallows ticks costs no time. Without a source it stands where it was set.
class SoftwareClock {
public:
    // Milliseconds on a clock that only goes forward, from any start.
    using Source = long long (*)();

    // The count keeps its present value and then follows `source`.
    void follow(Source source);

    operator int() const;  // NOLINT: read wherever a count is read
    // Sets the count now; it goes on from here.
    SoftwareClock& operator=(int count);
    SoftwareClock& operator++();  // one second later

private:
    int base_ = 0;
    long long baseMs_ = 0;
    Source source_ = nullptr;
};

extern SoftwareClock sysClock;

// Month lengths, [leap][month - 1].
extern const unsigned char mMonthTab[2][12];

// 1 for a Gregorian leap year, else 0 (2000 is leap, 2100 is not).
constexpr int isLeapYear(int year)
{
    if (year % 4 != 0) return 0;
    if (year % 100 != 0) return 1;
    if (year % 400 != 0) return 0;
    return 1;
}

// Day number of a date, 2000-01-01 being day 1; 0 for any year before 2000.
// The day is added unchecked, so it carries into later months (day 0 is the
// last day of the month before). A month of 0 or below adds no months, one
// above 12 adds the whole year. The result wraps as a 32-bit int.
int bRtc2Days(int year, int month, int day);

// Second count of a date text "MM-DD-YYYY" and a time text "HH:MM:SS". Both
// texts are split in place (their separators are overwritten), so pass copies
// you no longer need. A missing or unreadable field counts as 0. The count is
// stored in *count (when not null) and returned; 32-bit arithmetic wraps, so
// dates after 2068-01-19 03:14:07 come out negative with the bits of the
// unsigned count.
int rtc2CRtc(char* dateText, char* timeText, int* count);

// Broken-down form of a second count read as unsigned 32-bit. Counts after
// 2100-12-31 23:59:59 (negative ints among them) give 2100-12-31 00:00:00.
void cRtc2BRtc(unsigned int count, int* year, int* month, int* day, int* hour, int* minute,
               int* second);

// Text pair of a second count: dateText holds at least 11 characters,
// timeText at least 9. The inverse of rtc2CRtc.
void cRtc2Rtc(int count, char* dateText, char* timeText);

// Seconds from `start` to the PC clock's present time.
int elapsedTime(int start);
