// Data files of a full buffer (16000 records x 10 channels): save and
// retrieve as the user runs them from the Monitor panel, the reader alone,
// and the memory of a full recording and of re-appending the buffer to the
// chart. The file is left in $MERRIVAN_BENCH_DIR (default /tmp) as
// merrivan-full.txt, for tools/bench_pandas.sh to read the same bytes.
#include <benchmark/benchmark.h>

#include "bench_panels.h"

#include <QCoreApplication>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <string>

#include "app/merrivan.h"
#include "core/channel.h"
#include "core/clock.h"
#include "core/data_file_format.h"
#include "core/record_buffer.h"
#include "platform/platform.h"
#include "platform/seams.h"
#include "record/data_file.h"
#include "record/recording.h"
#include "ui/merrivan_uir.h"
#include "view/statistics.h"

namespace {

void panelsUp()
{
    // File pop-ups are answered here rather than shown.
    seam::enable();
    benchPanelsUp();
}

std::string benchFile()
{
    const char* dir = std::getenv("MERRIVAN_BENCH_DIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/merrivan-full.txt";
}

// Ten channels of meter-like readings with units, a few error readings.
void fillFullBuffer()
{
    static const char* const units[kMaxChannels] = {"C",   "%RH", "C",  "m/s", "CFM",
                                                     "hPa", "dB",  "pH", "mV",  "ppt"};
    logDataNum = kMaxChannels;
    fLogGetDes = 0;
    for (int c = 0; c < kMaxChannels; ++c)
        logChannel[c].type = static_cast<unsigned char>(c + 4);
    char date[] = "03-08-2013";
    char time[] = "14:05:09";
    const int start = rtc2CRtc(date, time, nullptr);
    for (int r = 0; r < kMaxRecords; ++r) {
        putRecordTime(r, start + r);
        for (int c = 0; c < kMaxChannels; ++c) {
            const double v = 20.0 + 10.0 * c + 5.0 * std::sin(r * 0.01 + c);
            char text[16];
            std::snprintf(text, sizeof text, "%.2f", v);
            const bool error = (r * 7 + c) % 997 == 0;
            putRecordValue(r, c, error ? 0.0f : static_cast<float>(v), error ? "E02" : text,
                           error ? "Nul" : units[c]);
        }
    }
    logLength = logCounter = kMaxRecords;
}

void press(int control, int (*callback)(CTRL_CALLBACK_ARGS))
{
    seam::pushFileAnswer(benchFile());
    callback(monitorPanel, control, EVENT_COMMIT, nullptr, 0, 0);
}

// The save command: pop-up answered, every line written, flushed to the disk
// and renamed over the file.
void BM_saveFullBuffer(benchmark::State& state)
{
    panelsUp();
    fillFullBuffer();
    for (auto _ : state)
        press(MONITOR_SAVE, saveFileCallBack);
    state.counters["records"] = logLength;
}
BENCHMARK(BM_saveFullBuffer)->Unit(benchmark::kMillisecond);

// The reader alone, from the file into the buffer.
void BM_readFullFile(benchmark::State& state)
{
    panelsUp();
    fillFullBuffer();
    press(MONITOR_SAVE, saveFileCallBack);
    static DataFileReader reader;
    for (auto _ : state) {
        std::FILE* in = std::fopen(benchFile().c_str(), "r");
        reader.start(in);
        DataFileHeader header;
        DataFileStop stop;
        if (!reader.readHeader(&header, &stop))
            std::abort();
        applyDataFileHeader(header);
        if (reader.readRecords(header.channels, &stop) != kMaxRecords)
            std::abort();
        std::fclose(in);
    }
}
BENCHMARK(BM_readFullFile)->Unit(benchmark::kMillisecond);

// The retrieve command: the file read, the legend, the chart fed with all
// records, the Statistics panel with a forced histogram, and the queued
// redraws processed.
void BM_retrieveFullFile(benchmark::State& state)
{
    panelsUp();
    fillFullBuffer();
    press(MONITOR_SAVE, saveFileCallBack);
    SetCtrlVal(statisticPanel, STATISTIC_BINS, 21);
    for (auto _ : state) {
        press(MONITOR_RETRIEVE, retrieveFileCallBack);
        QCoreApplication::processEvents();
    }
    if (logCounter != kMaxRecords)
        std::abort();
}
BENCHMARK(BM_retrieveFullFile)->Unit(benchmark::kMillisecond);

long rssKb()
{
    std::FILE* f = std::fopen("/proc/self/status", "r");
    long kb = -1;
    char line[256];
    while (f && std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmRSS: %ld kB", &kb) == 1)
            break;
    if (f)
        std::fclose(f);
    return kb;
}

long heapBytes()
{
    return static_cast<long>(mallinfo2().uordblks);
}

// A full recording of 16000 records through the switch and the sampling
// ticks, redraws processed as the event loop would. The growth is measured
// from the first record to the last. A first recording warms up the buffer's
// pages, which the program owns from the start.
void BM_recordingMemory(benchmark::State& state)
{
    panelsUp();
    wDataNum = kMaxChannels;
    for (int c = 0; c < kMaxChannels; ++c) {
        channel[c].type = static_cast<unsigned char>(c + 4);
        channel[c].value = 20.0f + static_cast<float>(c);
        copyText(channel[c].valStr, "20.00");
        copyText(channel[c].unit, "C");
    }
    SetCtrlVal(monitorPanel, MONITOR_SAMPLE_COUNT, kMaxRecords);
    // Only this loop samples: no watchdog stop, no real ticks in between.
    SetCtrlAttribute(monitorPanel, MONITOR_NODATA_TIMER, ATTR_ENABLED, 0);
    long rssGrowth = 0;
    long heapGrowth = 0;
    for (auto _ : state) {
        for (int pass = 0; pass < 2; ++pass) {
            SetCtrlVal(monitorPanel, MONITOR_LOG_SWITCH, 1);
            logCmdCallback(monitorPanel, MONITOR_LOG_SWITCH, EVENT_VAL_CHANGED, nullptr, 0, 0);
            SetCtrlAttribute(monitorPanel, MONITOR_SAMPLE_TIMER, ATTR_ENABLED, 0);
            long rssFirst = 0;
            long heapFirst = 0;
            for (int r = 0; r < kMaxRecords; ++r) {
                channel[r % kMaxChannels].value = static_cast<float>(r % 100);
                timeSampleCallBack(monitorPanel, MONITOR_SAMPLE_TIMER, EVENT_TIMER_TICK, nullptr,
                                   0, 0);
                if (r % 100 == 0 || r == kMaxRecords - 1)
                    QCoreApplication::processEvents();
                if (r == 0) {
                    rssFirst = rssKb();
                    heapFirst = heapBytes();
                }
            }
            rssGrowth = rssKb() - rssFirst;
            heapGrowth = heapBytes() - heapFirst;
            SetCtrlVal(monitorPanel, MONITOR_LOG_SWITCH, 0);
            logCmdCallback(monitorPanel, MONITOR_LOG_SWITCH, EVENT_VAL_CHANGED, nullptr, 0, 0);
        }
    }
    state.counters["rss_growth_kB"] = static_cast<double>(rssGrowth);
    state.counters["heap_growth_B"] = static_cast<double>(heapGrowth);
    state.counters["records"] = logCounter;
}
BENCHMARK(BM_recordingMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

// Re-appending the full buffer to the chart (the range command) 300 times;
// growth from after the first time to after the 10th, 100th and 300th.
void BM_reappendMemory(benchmark::State& state)
{
    panelsUp();
    fillFullBuffer();
    SetCtrlAttribute(monitorPanel, MONITOR_NODATA_TIMER, ATTR_ENABLED, 0);
    for (auto _ : state) {
        long rssFirst = 0;
        long heapFirst = 0;
        for (int k = 1; k <= 300; ++k) {
            sRangeCallBack(monitorPanel, MONITOR_RANGE, EVENT_COMMIT, nullptr, 0, 0);
            QCoreApplication::processEvents();
            if (k == 1) {
                rssFirst = rssKb();
                heapFirst = heapBytes();
            }
            if (k == 10 || k == 100 || k == 300) {
                const std::string at = std::to_string(k);
                state.counters["rss_growth_kB@" + at] = static_cast<double>(rssKb() - rssFirst);
                state.counters["heap_growth_B@" + at] =
                    static_cast<double>(heapBytes() - heapFirst);
            }
        }
    }
}
BENCHMARK(BM_reappendMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
