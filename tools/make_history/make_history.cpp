// Writes a synthetic history ending now through the store itself: sine and
// noise readings on N channels at a steady rate, and with --gaps a few times
// the meter was unplugged or the program closed.
//   make_history PATH --days D --rate HZ --channels N [--gaps]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <sys/stat.h>

#include "store/history_store.h"

namespace {

struct Kind {
    int type;
    const char* sensor;
    const char* unit;
    double mid, swing;
};
const Kind kKinds[] = {
    {6, "Temperature", "C", 22, 4},  {4, "Humidity", "%", 45, 10},
    {2, "Pressure", "hPa", 1013, 6}, {9, "Dew_Point", "C", 10, 3},
    {5, "Sound_Level", "dB", 55, 12}, {13, "Air_Velocity", "m/s", 3, 2},
};

int usage()
{
    std::fprintf(stderr, "usage: make_history PATH --days D --rate HZ --channels N [--gaps]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    const std::string path = argv[1];
    double days = 1, rate = 1;
    int channels = 2;
    bool gaps = false;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--gaps") {
            gaps = true;
        } else if (i + 1 < argc && a == "--days") {
            days = std::strtod(argv[++i], nullptr);
        } else if (i + 1 < argc && a == "--rate") {
            rate = std::strtod(argv[++i], nullptr);
        } else if (i + 1 < argc && a == "--channels") {
            channels = std::atoi(argv[++i]);
        } else {
            return usage();
        }
    }
    if (!(days > 0) || !(rate > 0) || rate > 1000 || channels < 1 || channels > 10)
        return usage();
    struct stat st{};
    if (::stat(path.c_str(), &st) == 0) {
        std::fprintf(stderr, "make_history: %s exists; remove it first\n", path.c_str());
        return 1;
    }
    std::string error;
    auto store = HistoryStore::open(path, &error);
    if (!store) {
        std::fprintf(stderr, "make_history: %s\n", error.c_str());
        return 1;
    }
    using namespace std::chrono;
    const std::int64_t end =
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    const auto frames = static_cast<std::int64_t>(days * 86400 * rate);
    const double stepMs = 1000 / rate;
    const std::int64_t start = end - static_cast<std::int64_t>(frames * stepMs);
    std::mt19937 random(1);
    std::normal_distribution<double> noise(0, 0.15);
    const int port = 3;

    HistoryFrame frame;
    frame.port = port;
    frame.readings.resize(static_cast<std::size_t>(channels));
    for (int c = 0; c < channels; ++c) {
        const Kind& k = kKinds[c % 6];
        HistoryReading& r = frame.readings[static_cast<std::size_t>(c)];
        r.channel = c;
        r.type = k.type;
        r.sensor = k.sensor;
        r.unit = k.unit;
    }
    auto event = [&](std::int64_t t, HistoryEventKind kind, const char* text) {
        store->appendEvent({t, port, kind, text});
    };
    event(start, HistoryEventKind::ProgramStarted, "");
    event(start, HistoryEventKind::LinkOpened, "");
    // With --gaps, about every 3 days: the cable out for 20 min, or the
    // program closed over night.
    const std::int64_t gapEvery = static_cast<std::int64_t>(3 * 86400 * rate);
    std::int64_t skipUntil = -1;
    char text[32];
    for (std::int64_t i = 0; i < frames; ++i) {
        const std::int64_t t = start + static_cast<std::int64_t>(i * stepMs);
        if (gaps && i > 0 && i % gapEvery == gapEvery / 2) {
            const bool closed = (i / gapEvery) % 2 == 1;
            event(t, closed ? HistoryEventKind::ProgramStopped : HistoryEventKind::DeviceLost,
                  closed ? "" : "device unplugged");
            skipUntil = i + static_cast<std::int64_t>((closed ? 10 * 3600 : 20 * 60) * rate);
        }
        if (i < skipUntil)
            continue;
        if (i == skipUntil) {
            event(t, HistoryEventKind::ProgramStarted, "");
            event(t, HistoryEventKind::LinkOpened, "");
        }
        frame.utcMs = t;
        const double phase = 2 * M_PI * static_cast<double>(t % 86'400'000) / 86'400'000;
        for (int c = 0; c < channels; ++c) {
            const Kind& k = kKinds[c % 6];
            HistoryReading& r = frame.readings[static_cast<std::size_t>(c)];
            const int n = std::snprintf(text, sizeof text, "%.1f",
                                        k.mid + k.swing * std::sin(phase + c) + noise(random));
            r.text.assign(text, static_cast<std::size_t>(n));
            r.value = std::strtod(text, nullptr);
        }
        store->append(frame);
        if (i % 50000 == 49999)
            store->flush();
    }
    event(end, HistoryEventKind::ProgramStopped, "");
    store->flush();
    std::printf("%s: %lld frames of %d channels, %lld bytes\n", path.c_str(),
                static_cast<long long>(frames), channels,
                static_cast<long long>(store->fileBytes()));
    return 0;
}
