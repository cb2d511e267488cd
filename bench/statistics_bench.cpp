#include <benchmark/benchmark.h>

#include "bench_panels.h"

#include <QCoreApplication>
#include <QWidget>
#include <qcustomplot.h>
#include <cmath>
#include <cstdlib>

#include "app/merrivan.h"
#include "core/record_buffer.h"
#include "platform/panel_builder.h"
#include "platform/platform.h"
#include "ui/merrivan_uir.h"
#include "view/statistics.h"

namespace {

void panelsUp()
{
    benchPanelsUp();
}

// A full buffer of one channel with a spread of values.
void fillBuffer()
{
    for (int r = 0; r < kMaxRecords; ++r) {
        const float v = static_cast<float>(20.0 + 5.0 * std::sin(r * 0.01) + (r * 7919 % 101) / 50.0);
        putRecordValue(r, 0, v, "", "C");
    }
    logDataNum = 1;
    logLength = kMaxRecords;
    staticIndex = 0;
    SetCtrlVal(statisticPanel, STATISTIC_BINS, 21);
}

// The per-sample work: figures only.
void BM_basicStatisticFigures(benchmark::State& state)
{
    panelsUp();
    fillBuffer();
    logCounter = kMaxRecords - 1;  // not a tenth record
    for (auto _ : state) {
        fUpdateHistogram = 0;
        basicStatistic();
    }
    QCoreApplication::processEvents();
}
BENCHMARK(BM_basicStatisticFigures)->Unit(benchmark::kMicrosecond);

// Figures, histogram and the graph drawn; the graph's replot is queued, so
// the events are processed inside the timed loop to pay for the drawing.
void BM_basicStatisticHistogram(benchmark::State& state)
{
    panelsUp();
    fillBuffer();
    logCounter = kMaxRecords;
    auto* plot = qobject_cast<QCustomPlot*>(platform::controlWidget(statisticPanel, STATISTIC_HISTOGRAM));
    if (!plot)
        std::abort();
    for (auto _ : state) {
        fUpdateHistogram = 1;
        basicStatistic();
        QCoreApplication::processEvents();
    }
    int plots = 0;
    GetNumGraphPlots(statisticPanel, STATISTIC_HISTOGRAM, &plots);
    state.counters["plots"] = plots;
    state.counters["bins"] = histBins;
    state.counters["replot_ms"] = plot->replotTime();  // the last drawing, as the plot timed it
}
BENCHMARK(BM_basicStatisticHistogram)->Unit(benchmark::kMillisecond);

}  // namespace
