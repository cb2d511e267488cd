// The strip chart at its fullest, 16000 points of each of 10 traces across
// the screen: "Save image..." as PNG, PDF and SVG, and what one more sample
// costs, its redraw included (also with 100 points across). Files go to $MERRIVAN_BENCH_DIR (default /tmp).
#include <benchmark/benchmark.h>

#include "bench_panels.h"

#include <QCoreApplication>
#include <QString>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>
#include <qcustomplot.h>

#include "core/record_buffer.h"
#include "platform/panel_builder.h"
#include "platform/platform.h"
#include "platform/plot_export.h"
#include "platform/seams.h"
#include "ui/merrivan_uir.h"

namespace {

constexpr int kTraces = 10;

// Meter-like readings: slow waves, a little noise, one error gap now and then.
float reading(int r, int c)
{
    if ((r * 7 + c) % 997 == 0)
        return std::nanf("");
    const unsigned noise = (static_cast<unsigned>(r) * 2654435761u + static_cast<unsigned>(c) * 40503u) >> 24;
    return static_cast<float>(20.0 + 10.0 * c + 5.0 * std::sin(r * 0.01 + c) +
                              0.02 * static_cast<double>(noise));
}

QCustomPlot* fullChart(int pointsPerScreen = kMaxRecords)
{
    seam::enable();
    benchPanelsUp();
    // Only the benchmark draws: no watchdog stop, no sampling.
    SetCtrlAttribute(monitorPanel, MONITOR_NODATA_TIMER, ATTR_ENABLED, 0);
    std::vector<float> values(static_cast<std::size_t>(kMaxRecords) * kTraces);
    for (int r = 0; r < kMaxRecords; ++r)
        for (int c = 0; c < kTraces; ++c)
            values[static_cast<std::size_t>(r) * kTraces + c] = reading(r, c);
    SetCtrlAttribute(monitorPanel, MONITOR_CHART, ATTR_POINTS_PER_SCREEN, pointsPerScreen);
    SetAxisScalingMode(monitorPanel, MONITOR_CHART, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 130.0);
    ClearStripChart(monitorPanel, MONITOR_CHART);
    PlotStripChart(monitorPanel, MONITOR_CHART, values.data(), kMaxRecords * kTraces);
    QCoreApplication::processEvents();
    auto* plot = qobject_cast<QCustomPlot*>(platform::controlWidget(monitorPanel, MONITOR_CHART));
    if (!plot)
        std::abort();
    return plot;
}

QString imagePath(const char* suffix)
{
    const char* dir = std::getenv("MERRIVAN_BENCH_DIR");
    return QString::fromStdString(std::string(dir && *dir ? dir : "/tmp") +
                                  "/merrivan-chart." + suffix);
}

void BM_saveChartImage(benchmark::State& state, const char* suffix)
{
    QCustomPlot* plot = fullChart();
    const QString path = imagePath(suffix);
    for (auto _ : state)
        if (!platform::savePlotImage(plot, path))
            std::abort();
    state.counters["points"] = plot->graph(0)->data()->size() * plot->graphCount();
}
BENCHMARK_CAPTURE(BM_saveChartImage, png, "png")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_saveChartImage, pdf, "pdf")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_saveChartImage, svg, "svg")->Unit(benchmark::kMillisecond);

// One sample onto the full chart, which scrolls it, and the redraw it queues;
// the argument is the points across the screen.
void BM_sampleOnFullChart(benchmark::State& state)
{
    QCustomPlot* plot = fullChart(static_cast<int>(state.range(0)));
    int r = 0;
    float sample[kTraces];
    for (auto _ : state) {
        for (int c = 0; c < kTraces; ++c)
            sample[c] = reading(r, c);
        ++r;
        PlotStripChart(monitorPanel, MONITOR_CHART, sample, kTraces);
        QCoreApplication::processEvents();
    }
    state.counters["replot_ms"] = plot->replotTime();
}
BENCHMARK(BM_sampleOnFullChart)->Arg(kMaxRecords)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
