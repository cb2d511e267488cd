// The frame decoders alone, with the panels loaded as at run time: every
// SetCtrlVal, list and timer call the decoders make reaches real widgets.
// Frames with the same layout follow each other, as a meter streams them.
#include <benchmark/benchmark.h>

#include "bench_frames.h"
#include "bench_panels.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/merrivan.h"
#include "core/channel.h"
#include "meter/decoders.h"
#include "platform/platform.h"
#include "ui/merrivan_uir.h"

namespace {

void panelsUp()
{
    benchPanelsUp();
}

// Readings that drift from frame to frame, in the layout of `fields`; each
// field's "%s" is replaced by a number text.
std::vector<std::string> frames(const std::vector<std::string>& units, int count)
{
    static const char letters[] = "THdVvPNwip";
    std::vector<std::string> out;
    for (int f = 0; f < count; ++f) {
        std::string body;
        for (std::size_t i = 0; i < units.size(); ++i) {
            char field[32];
            std::snprintf(field, sizeof field, "%c%06.1f%s", letters[i], 20.0 + 0.1 * f + i,
                          units[i].c_str());
            // Appended piece by piece: g++ 12 at -O3 takes a joined temporary
            // for an overlapping copy (-Wrestrict).
            if (i)
                body += ':';
            body += field;
        }
        out.push_back(withLrc(body));
    }
    return out;
}

void putFrame(const std::string& text)
{
    std::memcpy(rxBuf, text.data(), text.size());
    rxBuf[text.size()] = '\r';
    rxBuf[text.size() + 1] = '\0';
}

void runDecoder(benchmark::State& state, const std::vector<std::string>& stream, void (*decoder)())
{
    panelsUp();
    defaultSensorType();
    wDataNum = 0;
    fViewGetDes = 0;
    // The first frame sets up the layout; the rest only update readings.
    putFrame(stream[0]);
    decoder();
    putFrame(stream[0]);
    decoder();
    std::size_t i = 0;
    for (auto _ : state) {
        putFrame(stream[i]);
        decoder();
        i = i + 1 == stream.size() ? 0 : i + 1;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["channels"] = wDataNum;
    QCoreApplication::processEvents();
}

void BM_decode9600TwoChannels(benchmark::State& state)
{
    runDecoder(state, frames({"C", "%RH"}, 64), analysis9600ComPortData);
}
BENCHMARK(BM_decode9600TwoChannels);

void BM_decode9600TenChannels(benchmark::State& state)
{
    runDecoder(state, frames({"C", "%RH", "C", "m/s", "CFM", "hPa", "dB", "C", "C", "pH"}, 64),
               analysis9600ComPortData);
}
BENCHMARK(BM_decode9600TenChannels);

void BM_decodeLegacyTwoChannels(benchmark::State& state)
{
    std::vector<std::string> stream;
    for (int f = 0; f < 64; ++f) {
        char text[48];
        std::snprintf(text, sizeof text, "T%.1fC:H%.1f%%", 20.0 + 0.1 * f, 45.0 + 0.1 * f);
        stream.push_back(text);
    }
    runDecoder(state, stream, analysisComPortData);
}
BENCHMARK(BM_decodeLegacyTwoChannels);

}  // namespace
