#include "history/trend.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <limits>
#include <string>
#include <vector>

#include "core/unit_text.h"
#include "history/history.h"
#include "ui/merrivan_uir.h"
#include "ui/trace_colors.h"

int trendPanel = 0;

namespace {

constexpr std::int64_t kMegabyte = 1024 * 1024;

struct Trend {
    std::vector<HistorySeries> series;  // one trace each, in this order
    std::int64_t firstMs = 0;
    std::int64_t lastMs = 0;
    bool hasSpan = false;
};

Trend& t()
{
    static Trend state;
    return state;
}

std::string localTime(std::int64_t utcMs)
{
    const std::time_t s = static_cast<std::time_t>(utcMs / 1000);
    std::tm tm{};
    localtime_r(&s, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &tm);
    return text;
}

// C format whatever the locale.
std::string decimal(double v, int decimals)
{
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, decimals);
    return std::string(text, r.ptr);
}

std::string spanText(std::int64_t ms)
{
    const double hours = static_cast<double>(ms) / 3.6e6;
    if (hours >= 48)
        return decimal(hours / 24, 1) + " days";
    if (hours >= 1)
        return decimal(hours, 1) + " hours";
    return decimal(static_cast<double>(ms) / 60000, 1) + " minutes";
}

// What the history holds, or why there is none.
void showHolds()
{
    std::string text;
    HistoryStore* store = historyStore();
    if (!historyEnabled()) {
        text = "The history is off: readings are not kept.";
    } else if (!store) {
        text = historyProblem().empty() ? "The history could not be opened."
                                        : "No history: " + historyProblem() + ".";
    } else {
        const double mb = static_cast<double>(store->fileBytes()) / kMegabyte;
        if (t().hasSpan)
            text = "Holds " + localTime(t().firstMs) + " to " + localTime(t().lastMs) + " (" +
                   spanText(t().lastMs - t().firstMs) + "), " + decimal(mb, 1) + " MB";
        else
            text = "Holds no readings yet, " + decimal(mb, 1) + " MB";
        if (!historyProblem().empty())
            text += "; " + historyProblem();
    }
    SetCtrlVal(trendPanel, TREND_HOLDS, text.c_str());
}

std::string traceLabel(const HistorySeries& s)
{
    std::string name = s.description.empty() ? s.sensor : s.description;
    return name + " (COM" + std::to_string(s.port) + ")";
}

// The channel list and the traces, when the history's series changed.
void takeSeries(std::vector<HistorySeries> series)
{
    Trend& s = t();
    const bool same =
        series.size() == s.series.size() &&
        std::equal(series.begin(), series.end(), s.series.begin(),
                   [](const HistorySeries& a, const HistorySeries& b) { return a.id == b.id; });
    if (same) {
        s.series = std::move(series);  // their last times move on
        return;
    }
    s.series = std::move(series);
    std::vector<std::string> labels, units;
    std::vector<const char*> labelPtrs, unitPtrs;
    std::vector<unsigned> colors;
    for (std::size_t i = 0; i < s.series.size(); ++i) {
        const HistorySeries& h = s.series[i];
        labels.push_back(traceLabel(h));
        units.push_back(shownUnit(h.unit.c_str(), h.sensor == "Humidity"));
        colors.push_back(kTraceColors[i % 10]);
    }
    for (std::size_t i = 0; i < labels.size(); ++i) {
        labelPtrs.push_back(labels[i].c_str());
        unitPtrs.push_back(units[i].c_str());
    }
    SetTrendTraces(trendPanel, TREND_PLOT, static_cast<int>(labels.size()), labelPtrs.data(),
                   unitPtrs.data(), colors.data());
}

// New readings: the span grows (a view at its end follows), new channels
// join the list.
void refresh()
{
    Trend& s = t();
    HistoryStore* store = historyStore();
    std::int64_t first = 0, last = 0;
    if (store && store->span(&first, &last)) {
        const bool grown = !s.hasSpan || first != s.firstMs || last != s.lastMs;
        s.firstMs = first;
        s.lastMs = last;
        s.hasSpan = true;
        if (grown)
            takeSeries(store->series(first, last + 1));
        SetTrendSpan(trendPanel, TREND_PLOT, static_cast<double>(first) / 1000.0,
                     static_cast<double>(last) / 1000.0);
    } else if (s.hasSpan || !s.series.empty()) {
        s.hasSpan = false;
        takeSeries({});
    }
    showHolds();
}

void showRetention()
{
    const HistoryRetention r = historyRetention();
    int kind = 0, amount = 1024;
    if (r.maxAgeDays > 0) {
        kind = 1;
        amount = r.maxAgeDays;
    } else if (r.maxBytes > 0) {
        kind = 2;
        amount = static_cast<int>(std::max<std::int64_t>(1, r.maxBytes / kMegabyte));
    }
    SetCtrlVal(trendPanel, TREND_RETENTION, kind);
    SetCtrlVal(trendPanel, TREND_AMOUNT, amount);
    SetCtrlAttribute(trendPanel, TREND_AMOUNT, ATTR_DIMMED, kind == 0 ? 1 : 0);
}

// The visible span in the store's milliseconds.
void visibleSpan(std::int64_t* fromMs, std::int64_t* toMs, int* columns)
{
    double from = 0, to = 0;
    GetTrendRange(trendPanel, TREND_PLOT, &from, &to, columns);
    *fromMs = static_cast<std::int64_t>(std::floor(from * 1000.0));
    *toMs = static_cast<std::int64_t>(std::ceil(to * 1000.0));
}

}  // namespace

void openTrend()
{
    if (trendPanel <= 0) {
        trendPanel = LoadPanel(0, "MERRIVAN.UIR", TREND);
        if (trendPanel < 0) {
            trendPanel = 0;
            return;
        }
    }
    Trend& s = t();
    s = Trend{};
    SetTrendTraces(trendPanel, TREND_PLOT, 0, nullptr, nullptr, nullptr);
    SetCtrlVal(trendPanel, TREND_KEEP, historyEnabled() ? 1 : 0);
    SetCtrlVal(trendPanel, TREND_PATH, historyPath().c_str());
    showRetention();
    DisplayPanel(trendPanel);
    refresh();
    if (s.hasSpan)
        SetTrendRange(trendPanel, TREND_PLOT, static_cast<double>(s.firstMs) / 1000.0,
                      static_cast<double>(std::max(s.lastMs, s.firstMs + 1)) / 1000.0);
    SetCtrlAttribute(trendPanel, TREND_TIMER, ATTR_ENABLED, 1);
}

void closeTrend()
{
    if (trendPanel > 0)
        DiscardPanel(trendPanel);
    trendPanel = 0;
    t() = Trend{};
}

int trendCallBack(CTRL_CALLBACK_ARGS)
{
    if (event == EVENT_COMMIT)
        openTrend();
    return 0;
}

int TrendPanelCallBack(PANEL_CALLBACK_ARGS)
{
    if (event == EVENT_CLOSE)
        trendCloseCallBack(panel, TREND_CLOSE, EVENT_COMMIT, nullptr, 0, 0);
    return 0;
}

int trendCloseCallBack(CTRL_CALLBACK_ARGS)
{
    if (event == EVENT_COMMIT) {
        SetCtrlAttribute(trendPanel, TREND_TIMER, ATTR_ENABLED, 0);
        HidePanel(trendPanel);
    }
    return 0;
}

// One envelope per shown series over the range shown, a column per pixel.
// An empty column inside one of the history's gaps (or outside the series'
// own time) is a gap; other empty columns lie between samples and are
// bridged.
int trendPlotCallBack(CTRL_CALLBACK_ARGS)
{
    HistoryStore* store = historyStore();
    if (event != EVENT_VAL_CHANGED || !store)
        return 0;
    std::int64_t fromMs = 0, toMs = 0;
    int columns = 0;
    visibleSpan(&fromMs, &toMs, &columns);
    if (toMs <= fromMs || columns <= 0)
        return 0;
    const std::vector<HistoryGap> gaps = store->gaps(fromMs, toMs);
    std::vector<double> low, high;
    const Trend& s = t();
    for (std::size_t i = 0; i < s.series.size(); ++i) {
        int visible = 1;
        GetTrendTraceVisible(panel, control, static_cast<int>(i), &visible);
        if (!visible)
            continue;
        const HistorySeries& series = s.series[i];
        const std::vector<HistoryBucket> buckets =
            store->envelope(series.id, fromMs, toMs, columns);
        low.assign(buckets.size(), 0);
        high.assign(buckets.size(), 0);
        std::size_t g = 0;
        for (std::size_t c = 0; c < buckets.size(); ++c) {
            const HistoryBucket& b = buckets[c];
            if (b.count > 0) {
                low[c] = b.min;
                high[c] = b.max;
                continue;
            }
            while (g < gaps.size() && gaps[g].toMs <= b.startMs)
                ++g;
            const bool inGap = g < gaps.size() && gaps[g].fromMs < b.endMs;
            const bool outside = b.endMs <= series.firstMs || b.startMs > series.lastMs;
            low[c] = high[c] = inGap || outside ? std::numeric_limits<double>::quiet_NaN()
                                                : std::numeric_limits<double>::infinity();
        }
        SetTrendEnvelope(panel, control, static_cast<int>(i), low.data(), high.data(),
                         static_cast<int>(buckets.size()));
    }
    return 0;
}

int trendTickCallBack(CTRL_CALLBACK_ARGS)
{
    if (event == EVENT_TIMER_TICK)
        refresh();
    return 0;
}

int trendAxesCallBack(CTRL_CALLBACK_ARGS)
{
    if (event == EVENT_COMMIT) {
        int shared = 1;
        GetCtrlVal(panel, control, &shared);
        SetTrendSharedAxes(panel, TREND_PLOT, shared);
    }
    return 0;
}

int trendWholeCallBack(CTRL_CALLBACK_ARGS)
{
    if (event == EVENT_COMMIT && t().hasSpan)
        SetTrendRange(panel, TREND_PLOT, static_cast<double>(t().firstMs) / 1000.0,
                      static_cast<double>(std::max(t().lastMs, t().firstMs + 1)) / 1000.0);
    return 0;
}

int trendExportCallBack(CTRL_CALLBACK_ARGS)
{
    HistoryStore* store = historyStore();
    if (event != EVENT_COMMIT)
        return 0;
    if (!store) {
        MessagePopup("Export CSV", "There is no history to export.");
        return 0;
    }
    char path[4096] = "";
    if (FileSelectPopup("", "*.csv", "CSV file (*.csv)", "Export CSV", VAL_SAVE_BUTTON, 0, 0, 1,
                        1, path, sizeof path) == VAL_NO_FILE_SELECTED)
        return 0;
    std::string file = path;
    const std::size_t slash = file.find_last_of('/');
    if (file.find('.', slash == std::string::npos ? 0 : slash) == std::string::npos)
        file += ".csv";
    std::int64_t fromMs = 0, toMs = 0;
    int columns = 0;
    visibleSpan(&fromMs, &toMs, &columns);
    store->flush();
    std::string error;
    bool written = false;
    {
        const BusyCursor busy;
        written = store->exportCsv(fromMs, toMs, file, &error);
    }
    if (!written) {
        const std::string message = "The readings could not be written to " + file + ": " + error;
        MessagePopup("Export CSV", message.c_str());
    }
    return 0;
}

int trendImageCallBack(CTRL_CALLBACK_ARGS)
{
    if (event == EVENT_COMMIT)
        SaveTrendImage(panel, TREND_PLOT);
    return 0;
}

int trendKeepCallBack(CTRL_CALLBACK_ARGS)
{
    if (event == EVENT_COMMIT) {
        int on = 1;
        GetCtrlVal(panel, control, &on);
        setHistoryEnabled(on != 0);
        t() = Trend{};
        SetTrendTraces(panel, TREND_PLOT, 0, nullptr, nullptr, nullptr);
        refresh();
    }
    return 0;
}

int trendRetentionCallBack(CTRL_CALLBACK_ARGS)
{
    if (event != EVENT_COMMIT)
        return 0;
    int kind = 0, amount = 1;
    GetCtrlVal(panel, TREND_RETENTION, &kind);
    GetCtrlVal(panel, TREND_AMOUNT, &amount);
    HistoryRetention r;
    if (kind == 1)
        r.maxAgeDays = amount;
    else if (kind == 2)
        r.maxBytes = static_cast<std::int64_t>(amount) * kMegabyte;
    setHistoryRetention(r);
    SetCtrlAttribute(panel, TREND_AMOUNT, ATTR_DIMMED, kind == 0 ? 1 : 0);
    showHolds();
    return 0;
}
