// The Trend window over a real history file: what it draws, where the wheel
// and a drag take it, and what Export CSV writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "history/history.h"
#include "history/trend.h"
#include "platform/platform.h"
#include "platform/seams.h"
#include "test_support.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"

namespace {

constexpr std::int64_t kT0 = 1767225600000;  // 2026-01-01T00:00:00Z
constexpr int kFrames = 600;                 // 1 per s, before and after the gap
constexpr std::int64_t kGapFrom = kT0 + kFrames * 1000;
constexpr std::int64_t kGapTo = kT0 + 1800 * 1000;
constexpr std::int64_t kSpikeAt = kT0 + 300 * 1000;

HistoryReading reading(int channel, const char* sensor, double value, const char* unit)
{
    HistoryReading r;
    r.channel = channel;
    r.type = channel + 1;
    r.sensor = sensor;
    r.value = value;
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    r.text = text;
    r.unit = unit;
    return r;
}

// Two channels at 1 frame/s for ten minutes, the program stopped for twenty,
// ten minutes more; one spike of 500 in the temperature.
void fillHistory(const std::string& path)
{
    std::string error;
    auto store = HistoryStore::open(path, &error);
    ASSERT_TRUE(store) << error;
    auto put = [&](std::int64_t t) {
        HistoryFrame f;
        f.utcMs = t;
        f.port = 3;
        const double temp = t == kSpikeAt ? 500.0 : 20.0 + static_cast<double>((t / 1000) % 7);
        f.readings = {reading(0, "Temperature", temp, "C"),
                      reading(1, "Humidity", 45.0, "%")};
        store->append(f);
    };
    for (int i = 0; i < kFrames; ++i)
        put(kT0 + i * 1000);
    store->appendEvent({kGapFrom - 500, 3, HistoryEventKind::ProgramStopped, "Program stopped"});
    for (int i = 0; i < kFrames; ++i)
        put(kGapTo + i * 1000);
    store->flush();
}

struct TrendOpen {
    testsupport::TempDir dir;
    testsupport::PanelsUp panels;
    std::string file = dir.file("history.sqlite");
    TrendOpen()
    {
        seam::reset();
        fillHistory(file);
        setHistoryPath(file);
        historyStart();
        seam::userPress(monitorPanel, MONITOR_TREND_CMD);
    }
    ~TrendOpen()
    {
        closeTrend();
        historyStop();
        setHistoryPath("");
    }
    std::pair<double, double> range() const
    {
        std::pair<double, double> r;
        seam::xAxisRange(trendPanel, TREND_PLOT, &r.first, &r.second);
        return r;
    }
};

constexpr double kFirst = kT0 / 1000.0;
constexpr double kLast = (kGapTo + (kFrames - 1) * 1000) / 1000.0;

TEST(Trend, OpensOnTheWholeHistoryWithATracePerChannel)
{
    TrendOpen t;
    ASSERT_TRUE(seam::panelVisible(trendPanel));
    EXPECT_NEAR(t.range().first, kFirst, 0.01);
    EXPECT_NEAR(t.range().second, kLast, 0.01);
    EXPECT_EQ(seam::trendChannels(trendPanel, TREND_PLOT),
              (std::vector<std::string>{"Temperature (COM3)  [\u00b0C]",
                                        "Humidity (COM3)  [%RH]"}));
    bool shown = false;
    EXPECT_FALSE(seam::trendDrawn(trendPanel, TREND_PLOT, 1, &shown).empty());
    EXPECT_TRUE(shown);
    seam::userCheckChannel(trendPanel, TREND_PLOT, 1, false);
    seam::trendDrawn(trendPanel, TREND_PLOT, 1, &shown);
    EXPECT_FALSE(shown);
    EXPECT_EQ(seam::trendReadout(trendPanel, TREND_PLOT, 0.1).find("Humidity"),
              std::string::npos);
}

// The stop is a break in the line, and the spike's column reaches 500 while
// its neighbours' lows stay: drawn whole, and zoomed in around both.
TEST(Trend, DrawsGapsAsGapsAndEachColumnsTrueMinAndMax)
{
    TrendOpen t;
    const struct {
        double from, to;
    } views[] = {{kFirst, kLast}, {kFirst + 200, kFirst + 1900}};
    for (const auto& v : views) {
        SetTrendRange(trendPanel, TREND_PLOT, v.from, v.to);
        const auto drawn = seam::trendDrawn(trendPanel, TREND_PLOT, 0);
        ASSERT_FALSE(drawn.empty());
        bool broken = false;
        double high = -1e9, low = 1e9;
        for (std::size_t i = 0; i + 1 < drawn.size(); ++i) {
            const auto [x0, y0] = drawn[i];
            const auto [x1, y1] = drawn[i + 1];
            EXPECT_FALSE(!std::isnan(y0) && !std::isnan(y1) && x0 * 1000 < kGapFrom &&
                         x1 * 1000 > kGapTo)
                << "a line across the gap at view " << v.from;
            broken = broken || (std::isnan(y1) && x1 * 1000 > kGapFrom - 1000 &&
                                x1 * 1000 < kGapTo + 1000);
        }
        for (const auto& [x, y] : drawn)
            if (!std::isnan(y)) {
                high = std::max(high, y);
                low = std::min(low, y);
            }
        EXPECT_TRUE(broken) << "view " << v.from;
        EXPECT_EQ(high, 500.0) << "view " << v.from;
        EXPECT_EQ(low, 20.0) << "view " << v.from;
    }
}

TEST(Trend, WheelZoomsAroundThePointerAndDragMovesInsideTheHistory)
{
    TrendOpen t;
    const double whole = kLast - kFirst;
    struct Step {
        const char* what;
        bool wheel;
        double fraction;
        int amount;  // notches, or pixels dragged
        double lower, upper;  // expected, seconds after kFirst
    };
    const double z = whole * 0.85 * 0.85;  // two notches in, QCustomPlot's factor
    const Step steps[] = {
        {"two notches in at the middle", true, 0.5, 2, whole / 2 - z / 2, whole / 2 + z / 2},
        {"drag to the right: back to the start", false, 0.5, 5000, 0, z},
        {"drag to the left: up to the end", false, 0.5, -5000, whole - z, whole},
        {"many notches out: the whole history", true, 0.3, -40, 0, whole},
    };
    for (const Step& s : steps) {
        if (s.wheel)
            seam::userWheel(trendPanel, TREND_PLOT, s.fraction, s.amount);
        else
            seam::userDrag(trendPanel, TREND_PLOT, s.fraction, s.amount);
        EXPECT_NEAR(t.range().first - kFirst, s.lower, whole * 0.002) << s.what;
        EXPECT_NEAR(t.range().second - kFirst, s.upper, whole * 0.002) << s.what;
    }

    // Export CSV writes the rows of the span shown.
    SetTrendRange(trendPanel, TREND_PLOT, kFirst + 100, kFirst + 160);
    const std::string csv = t.dir.file("shown.csv");
    seam::pushFileAnswer(csv);
    seam::userPress(trendPanel, TREND_EXPORT);
    std::istringstream lines(testsupport::readFile(csv));
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);)
        rows.push_back(line);
    ASSERT_EQ(rows.size(), 1u + 61u);  // the header, 100 s to 160 s
    EXPECT_EQ(rows[1].rfind("2026-01-01T00:01:40", 0), 0u) << rows[1];
    EXPECT_EQ(rows.back().rfind("2026-01-01T00:02:40", 0), 0u) << rows.back();
}

}  // namespace
