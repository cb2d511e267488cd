// Frames, files and a child process for the history store's tests.
#pragma once

#include <sys/types.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "store/history_store.h"
#include "tests/core/temp_dir.h"

namespace {

constexpr std::int64_t kT0 = 1767225600000;  // 2026-01-01T00:00:00Z

inline HistoryReading reading(int channel, const std::string& sensor, const std::string& text,
                              const std::string& unit, const std::string& description = "")
{
    HistoryReading r;
    r.channel = channel;
    r.type = channel + 1;
    r.sensor = sensor;
    r.description = description;
    r.text = text;
    r.value = text.empty() || text[0] == 'E' ? std::nan("") : std::stod(text);
    r.unit = unit;
    return r;
}

// Two channels: a temperature following i and a humidity.
inline HistoryFrame frameAt(std::int64_t t, double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    HistoryFrame f;
    f.utcMs = t;
    f.port = 3;
    f.readings = {reading(0, "Temperature", text, "C"), reading(1, "Humidity", "45.0", "%")};
    return f;
}

struct TempDir {
    std::string path = makeTempDir("merrivan-store");
    ~TempDir() { removeTempDir(path); }
    std::string file(const char* name) const { return path + "/" + name; }
};

}  // namespace
