#include <benchmark/benchmark.h>

#include <cstring>

#include "core/clock.h"

namespace {

// rtc2CRtc splits its texts in place, so each call gets fresh copies.
void BM_rtc2CRtc(benchmark::State& state)
{
    static const char kDates[][11] = {"03-08-2013", "12-31-2099", "01-19-2068", "02-29-2000"};
    static const char kTimes[][9] = {"12:34:56", "23:59:59", "03:14:07", "00:00:00"};
    unsigned int i = 0;
    for (auto _ : state) {
        char date[11];
        char time[9];
        std::memcpy(date, kDates[i % 4], sizeof date);
        std::memcpy(time, kTimes[i % 4], sizeof time);
        ++i;
        int count = 0;
        benchmark::DoNotOptimize(rtc2CRtc(date, time, &count));
        benchmark::DoNotOptimize(count);
    }
}
BENCHMARK(BM_rtc2CRtc);

// Counts spread over 2000..2100, late years included.
void BM_cRtc2Rtc(benchmark::State& state)
{
    static const int kCounts[] = {0, 416061296, 2147483647, -1107671297, -1139207296 /* 2100-01-01 */,
                                  31536000, 1500000000, -1};
    unsigned int i = 0;
    for (auto _ : state) {
        char date[11];
        char time[9];
        cRtc2Rtc(kCounts[i % 8], date, time);
        ++i;
        benchmark::DoNotOptimize(date);
        benchmark::DoNotOptimize(time);
    }
}
BENCHMARK(BM_cRtc2Rtc);

}  // namespace
