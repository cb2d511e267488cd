// The history store: what a frame costs (the caller's append and the
// writer's commit, on all threads), what it takes on disk, an envelope of a
// 30-day history and the export of a day at the full line rate. Histories are
// made once per run in a temporary folder.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include "store/history_store.h"

namespace {

constexpr double kLineRate = 45.7;
constexpr std::int64_t kDayMs = 86'400'000;
constexpr std::int64_t kEnd = 1767225600000;  // 2026-01-01T00:00:00Z

std::string benchDir()
{
    static const std::string dir = [] {
        const auto d = std::filesystem::temp_directory_path() /
                       ("merrivan-history-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(benchDir(), ec);
        });
        return d.string();
    }();
    return dir;
}

HistoryFrame twoChannels()
{
    HistoryFrame f;
    f.port = 3;
    f.readings.resize(2);
    f.readings[0] = {0, 6, "Temperature", "", 0, "", "C"};
    f.readings[1] = {1, 4, "Humidity", "", 0, "", "%"};
    return f;
}

// Frame i of a sine with a little noise, as the meter's one-decimal texts.
void fill(HistoryFrame& f, std::int64_t i, std::int64_t t)
{
    f.utcMs = t;
    char text[32];
    for (int c = 0; c < 2; ++c) {
        const double v = 20 + 5 * std::sin(static_cast<double>(i) / 500 + c) +
                         static_cast<double>((i * 7919 + c * 31) % 13) / 10;
        const int n = std::snprintf(text, sizeof text, "%.1f", v);
        auto& r = f.readings[static_cast<std::size_t>(c)];
        r.text.assign(text, static_cast<std::size_t>(n));
        r.value = std::strtod(text, nullptr);
    }
}

// A history of `days` at `rate` frames/s ending at kEnd, made once.
std::string history(const char* name, double days, double rate)
{
    const std::string path = benchDir() + "/" + name;
    if (std::filesystem::exists(path))
        return path;
    std::string error;
    auto store = HistoryStore::open(path, &error);
    if (!store) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
    HistoryFrame f = twoChannels();
    const auto frames = static_cast<std::int64_t>(days * 86400 * rate);
    const std::int64_t start = kEnd - static_cast<std::int64_t>(days * kDayMs);
    for (std::int64_t i = 0; i < frames; ++i) {
        fill(f, i, start + static_cast<std::int64_t>(static_cast<double>(i) * 1000 / rate));
        store->append(f);
        if (i % 50000 == 49999)
            store->flush();
    }
    return path;
}

// One frame of two channels appended; the writer's commits (about one per
// second of frames at the line rate) are counted in the process CPU time.
void BM_historyAppend(benchmark::State& state)
{
    const std::string path = benchDir() + "/append.sqlite";
    std::filesystem::remove(path);
    std::string error;
    std::int64_t frames = 0;
    {
        auto store = HistoryStore::open(path, &error);
        HistoryFrame f = twoChannels();
        for (auto _ : state) {
            fill(f, frames, kEnd + static_cast<std::int64_t>(static_cast<double>(frames) * 1000 / kLineRate));
            store->append(f);
            if (++frames % 46 == 0)
                store->flush();  // one commit per second of frames
        }
        store->flush();
    }
    const double bytes = static_cast<double>(std::filesystem::file_size(path));
    state.counters["bytes_per_frame"] = bytes / static_cast<double>(frames);
    state.counters["MB_per_day_at_45.7"] = bytes / static_cast<double>(frames) * kLineRate * 86400 / 1e6;
}
BENCHMARK(BM_historyAppend)->MeasureProcessCPUTime()->UseRealTime()->Iterations(200000)
    ->Unit(benchmark::kMicrosecond);

// 1000 columns over 30 days of 1 frame/s, two channels (2.6 M frames).
void BM_historyEnvelope30Days(benchmark::State& state)
{
    const std::string path = history("30d.sqlite", 30, 1);
    std::string error;
    auto store = HistoryStore::open(path, &error);
    const int id = store->series(kEnd - 1000, kEnd)[0].id;
    std::int64_t shift = 0;
    for (auto _ : state) {
        // Edges at odd milliseconds, so no tier aligns with them.
        const auto env = store->envelope(id, kEnd - 30 * kDayMs + 17 + shift, kEnd - 3 + shift, 1000);
        benchmark::DoNotOptimize(env.data());
        shift = (shift + 7919) % 100'000;
    }
    // At 1 frame/s a 10-s rollup row comes with every tenth frame: its own
    // bytes per frame.
    const double bytes = static_cast<double>(std::filesystem::file_size(path));
    state.counters["bytes_per_frame_at_1"] = bytes / (30 * 86400);
    state.counters["MB_per_day_at_1"] = bytes / 30 / 1e6;
}
BENCHMARK(BM_historyEnvelope30Days)->Unit(benchmark::kMillisecond);

// A day at 45.7 frames/s (3.95 M frames, two channels) into a CSV file.
void BM_historyExportDay(benchmark::State& state)
{
    const std::string path = history("day.sqlite", 1, kLineRate);
    std::string error;
    auto store = HistoryStore::open(path, &error);
    const std::string csv = benchDir() + "/day.csv";
    for (auto _ : state) {
        if (!store->exportCsv(kEnd - kDayMs, kEnd, csv, &error))
            state.SkipWithError(error.c_str());
    }
    state.counters["csv_MB"] = static_cast<double>(std::filesystem::file_size(csv)) / 1e6;
}
BENCHMARK(BM_historyExportDay)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace
