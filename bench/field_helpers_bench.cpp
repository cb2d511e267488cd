// Cost of the per-frame field work: the LRC check of a full ten-channel frame
// and the decoding of one reading. Both run in place on fixed buffers, as on
// the receive path, so the copy into the work buffer is part of each timing.
#include "core/field_helpers.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

// Ten channels, a trailer and check characters "C1" in front of the CR.
constexpr char tenChannelFrame[] =
    "T0023.5C:H045.2%RH:d0012.1C:w0015.3C:i0024.0C:P1013.2hPa:V0001.5m/s:"
    "v0012.0CMM:S0003.1ppt:m-123.4mV@TRAILERC1\r";

void BM_CheckLrcTenChannels(benchmark::State& state)
{
    char buf[260];
    for (auto _ : state) {
        std::memcpy(buf, tenChannelFrame, sizeof tenChannelFrame);
        const int ok = CheckLrc(buf);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(buf);
        if (ok != 1) {
            state.SkipWithError("check characters do not match the frame");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<long long>(state.iterations()) *
                            static_cast<long long>(sizeof tenChannelFrame - 1));
}
BENCHMARK(BM_CheckLrcTenChannels);

void BM_AnalysisValStr(benchmark::State& state)
{
    constexpr char field[] = "0023.5C";
    char buf[sizeof field];
    ChannelRecord rec{};
    for (auto _ : state) {
        std::memcpy(buf, field, sizeof field);
        analysisValStr(buf, &rec);
        benchmark::DoNotOptimize(rec);
    }
    if (std::strcmp(rec.valStr, "23.5") != 0) {
        state.SkipWithError("unexpected value text");
    }
}
BENCHMARK(BM_AnalysisValStr);

}  // namespace
