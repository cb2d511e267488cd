#include <benchmark/benchmark.h>

#include "core/record_buffer.h"

namespace {

// The buffer is fixed static storage; its footprint is reported, not timed.
void BM_RecordBufferFootprint(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(&logData);
    const double total = static_cast<double>(sizeof logData + sizeof chData + sizeof chDataStr +
                                             sizeof chUnit + sizeof sTime);
    state.counters["logData_B"] = static_cast<double>(sizeof logData);
    state.counters["chData_B"] = static_cast<double>(sizeof chData);
    state.counters["chDataStr_B"] = static_cast<double>(sizeof chDataStr);
    state.counters["chUnit_B"] = static_cast<double>(sizeof chUnit);
    state.counters["sTime_B"] = static_cast<double>(sizeof sTime);
    state.counters["total_B"] = total;
}
BENCHMARK(BM_RecordBufferFootprint)->Iterations(1);

// A whole buffer of 16000 records of 10 channels, stamp included, written
// the way the sampling tick writes it.
void BM_FillRecordBuffer(benchmark::State& state)
{
    static const char* const kTexts[kMaxChannels] = {"23.5",  "45.2",   "-12.0", "1013.2", "7.00",
                                                     "0.125", "99.9",   "1.5",   "250",    "OL"};
    static const char* const kUnits[kMaxChannels] = {"C",   "%RH", "C",     "hPa", "pH",
                                                     "m/s", "dB",  "mS/cm", "ppm", "Nul"};
    for (auto _ : state) {
        for (int r = 0; r < kMaxRecords; ++r) {
            putRecordTime(r, 416061296 + r);
            for (int c = 0; c < kMaxChannels; ++c)
                putRecordValue(r, c, static_cast<float>(r + c), kTexts[c], kUnits[c]);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kMaxRecords * kMaxChannels);
    state.counters["records"] = kMaxRecords;
}
BENCHMARK(BM_FillRecordBuffer)->Unit(benchmark::kMillisecond);

// One record of 10 channels, as one sampling tick writes it.
void BM_OneRecord(benchmark::State& state)
{
    int r = 0;
    for (auto _ : state) {
        putRecordTime(r, 416061296 + r);
        for (int c = 0; c < kMaxChannels; ++c)
            putRecordValue(r, c, 21.5f, "21.5", "C");
        benchmark::ClobberMemory();
        r = (r + 1) % kMaxRecords;
    }
    state.SetItemsProcessed(state.iterations() * kMaxChannels);
}
BENCHMARK(BM_OneRecord);

}  // namespace
