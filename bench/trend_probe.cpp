// The Trend window opened on a history file, then zoomed and panned: the
// milliseconds of each redraw (envelopes fetched from the store and drawn)
// and the process's largest resident size.
//   merrivan_trend_probe HISTORY.sqlite [STEPS]
// A history to try: build/tools/make_history/make_history /tmp/month.sqlite
// --days 30 --rate 1 --channels 2 --gaps
#include <sys/resource.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/merrivan.h"
#include "history/history.h"
#include "history/trend.h"
#include "platform/platform.h"
#include "platform/seams.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"

namespace {

double msSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: merrivan_trend_probe HISTORY.sqlite [STEPS]\n");
        return 2;
    }
    const int steps = argc > 2 ? std::atoi(argv[2]) : 10;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    InitCVIRTE(0, argv, 0);
    uiInstallPanels();
    registerMerrivanCallbacks();
    monitorPanel = LoadPanel(0, "MERRIVAN.UIR", MONITOR);
    if (monitorPanel < 0)
        return 1;
    DisplayPanel(monitorPanel);
    setHistoryPath(argv[1]);
    historyStart();
    if (!historyStore()) {
        std::fprintf(stderr, "%s: no history\n", argv[1]);
        return 1;
    }
    QCoreApplication::processEvents();

    // The window is built once a run; the second opening is what the user
    // waits for from then on.
    auto start = std::chrono::steady_clock::now();
    openTrend();
    seam::trendDrawn(trendPanel, TREND_PLOT, 0);
    std::printf("first open, window built: %.1f ms\n", msSince(start));
    trendCloseCallBack(trendPanel, TREND_CLOSE, EVENT_COMMIT, nullptr, 0, 0);
    start = std::chrono::steady_clock::now();
    openTrend();
    const std::size_t points = seam::trendDrawn(trendPanel, TREND_PLOT, 0).size();
    const double openMs = msSince(start);
    double from = 0, to = 0;
    int columns = 0;
    GetTrendRange(trendPanel, TREND_PLOT, &from, &to, &columns);
    std::printf("open on the whole history (%.1f days, %d columns, %zu points drawn): %.1f ms\n",
                (to - from) / 86400.0, columns, points, openMs);

    double total = 0, worst = 0;
    for (int i = 0; i < steps; ++i) {
        start = std::chrono::steady_clock::now();
        const char* what = "";
        switch (i % 4) {
        case 0: seam::userWheel(trendPanel, TREND_PLOT, 0.7, 3); what = "wheel in"; break;
        case 1: seam::userDrag(trendPanel, TREND_PLOT, 0.5, 150); what = "drag"; break;
        case 2: seam::userWheel(trendPanel, TREND_PLOT, 0.2, -1); what = "wheel out"; break;
        default: seam::userDrag(trendPanel, TREND_PLOT, 0.5, -400); what = "drag"; break;
        }
        seam::trendDrawn(trendPanel, TREND_PLOT, 0);
        const double ms = msSince(start);
        GetTrendRange(trendPanel, TREND_PLOT, &from, &to, &columns);
        std::printf("step %2d %-9s span %10.1f s: %.1f ms\n", i + 1, what, to - from, ms);
        total += ms;
        worst = std::max(worst, ms);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("redraw: %.1f ms mean, %.1f ms worst over %d steps; max RSS %.1f MB\n",
                steps ? total / steps : 0.0, worst, steps, usage.ru_maxrss / 1024.0);
    closeTrend();
    historyStop();
    DiscardPanel(monitorPanel);
    return 0;
}
