// The Statistics panel as the user sees it: figures, histogram timing and
// shape, the channel list, the cursor read-out and the panel's show and hide.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "app/merrivan.h"
#include "core/channel.h"
#include "core/record_buffer.h"
#include "platform/platform.h"
#include "platform/seams.h"
#include "test_support.h"
#include "ui/merrivan_uir.h"
#include "view/statistics.h"

namespace {

struct Figures {
    double max, min, mean, sdev;
};

class StatsPanel : public ::testing::Test {
protected:
    void SetUp() override
    {
        seam::reset();
        logCounter = 0;
        logLength = 0;
        logDataNum = 0;
        fLogGetDes = 0;
        fLogging = 0;
        staticIndex = 0;
        for (ChannelRecord& rec : logChannel)
            rec = ChannelRecord{};
        std::memset(chData, 0, sizeof chData);
        panels_ = std::make_unique<testsupport::PanelsUp>();
    }
    void TearDown() override { panels_.reset(); }

    // One sample of `channels` channels, as the sampling timer stores it.
    static void sample(std::initializer_list<double> values)
    {
        int c = 0;
        for (double v : values)
            putRecordValue(logCounter, c++, static_cast<float>(v), "x", "Nul");
        ++logCounter;
        logLength = logCounter;
        basicStatistic();
    }

    static Figures figures()
    {
        Figures f{};
        GetCtrlVal(statisticPanel, STATISTIC_MAX, &f.max);
        GetCtrlVal(statisticPanel, STATISTIC_MIN, &f.min);
        GetCtrlVal(statisticPanel, STATISTIC_MEAN, &f.mean);
        GetCtrlVal(statisticPanel, STATISTIC_SDEV, &f.sdev);
        return f;
    }

    static int plots()
    {
        int n = -1;
        GetNumGraphPlots(statisticPanel, STATISTIC_HISTOGRAM, &n);
        return n;
    }

    static void xRange(double* lo, double* hi)
    {
        seam::xAxisRange(statisticPanel, STATISTIC_HISTOGRAM, lo, hi);
    }

    static void yRange(double* lo, double* hi)
    {
        seam::yAxisRange(statisticPanel, STATISTIC_HISTOGRAM, lo, hi);
    }

    static int histTotal()
    {
        int sum = 0;
        for (int k = 0; k < histBins; ++k)
            sum += histCount[k];
        return sum;
    }

    testsupport::TempDir dir_;
    std::unique_ptr<testsupport::PanelsUp> panels_;
};

// ---------------------------------------------------------------- timing

struct TimingCase {
    int bins;
    int records;
};

class StatsTiming : public StatsPanel, public ::testing::WithParamInterface<TimingCase> {};

// Record r has the value r, so the x range of a histogram drawn at record m
// is 0 .. m + 1 and tells which record drew it.
TEST_P(StatsTiming, HistogramOnlyAtTenthRecordsWithEnoughValues)
{
    const TimingCase tc = GetParam();
    logDataNum = 1;
    SetStaticDisp(0);
    seam::userSetValue(statisticPanel, STATISTIC_BINS, tc.bins);

    for (int r = 1; r <= tc.records; ++r) {
        SCOPED_TRACE("record " + std::to_string(r));
        sample({static_cast<double>(r)});

        const Figures f = figures();
        EXPECT_DOUBLE_EQ(f.max, r);
        EXPECT_DOUBLE_EQ(f.min, 1.0);
        EXPECT_DOUBLE_EQ(f.mean, (r + 1) / 2.0);

        int lastDraw = 0;
        for (int m = 10; m <= r; m += 10)
            if (m >= tc.bins)
                lastDraw = m;
        int busy = -1;
        GetCtrlVal(statisticPanel, STATISTIC_BUSY, &busy);
        EXPECT_EQ(busy, 0);
        if (lastDraw == 0) {
            EXPECT_EQ(plots(), 0);
            continue;
        }
        EXPECT_EQ(plots(), 1);
        double lo = 0, hi = 0;
        xRange(&lo, &hi);
        EXPECT_DOUBLE_EQ(lo, 0.0);
        EXPECT_DOUBLE_EQ(hi, lastDraw + 1.0);
        EXPECT_EQ(histBins, tc.bins);
        EXPECT_EQ(histTotal(), lastDraw);
    }
}

INSTANTIATE_TEST_SUITE_P(Bins, StatsTiming,
                         ::testing::Values(TimingCase{10, 20}, TimingCase{15, 25},
                                           TimingCase{1, 12}, TimingCase{21, 31}));

TEST_F(StatsPanel, PickingChannelForcesUpdateButTooFewRecordsKeepOldPlot)
{
    logDataNum = 2;
    SetStaticDisp(0);
    for (int r = 1; r <= 5; ++r)
        sample({static_cast<double>(r), 100.0 + 2 * r});
    ASSERT_EQ(plots(), 0);

    // A forced draw of channel 0 with few bins leaves a plot behind.
    seam::userSetValue(statisticPanel, STATISTIC_BINS, 3);
    ASSERT_EQ(plots(), 1);
    double lo0 = 0, hi0 = 0;
    xRange(&lo0, &hi0);
    EXPECT_DOUBLE_EQ(lo0, 0.0);
    EXPECT_DOUBLE_EQ(hi0, 6.0);
    seam::userSetValue(statisticPanel, STATISTIC_BINS, 10);
    EXPECT_EQ(fUpdateHistogram, 0);

    seam::userSetValue(statisticPanel, STATISTIC_CHANNEL, 1);

    EXPECT_EQ(staticIndex, 1);
    const Figures f = figures();
    EXPECT_DOUBLE_EQ(f.max, 110.0);
    EXPECT_DOUBLE_EQ(f.min, 102.0);
    EXPECT_DOUBLE_EQ(f.mean, 106.0);
    EXPECT_NEAR(f.sdev, std::sqrt(10.0), 1e-3);  // the indicator shows 3 decimals
    EXPECT_EQ(fUpdateHistogram, 0);
    EXPECT_EQ(plots(), 1);
    double lo = 0, hi = 0;
    xRange(&lo, &hi);
    EXPECT_DOUBLE_EQ(lo, lo0);
    EXPECT_DOUBLE_EQ(hi, hi0);
}

TEST_F(StatsPanel, PickingChannelRedrawsWhenEnoughRecords)
{
    logDataNum = 2;
    SetStaticDisp(0);
    for (int r = 1; r <= 13; ++r)
        sample({1.0, static_cast<double>(50 + r)});
    seam::userSetValue(statisticPanel, STATISTIC_CHANNEL, 1);
    double lo = 0, hi = 0;
    xRange(&lo, &hi);
    EXPECT_DOUBLE_EQ(lo, 50.0);
    EXPECT_DOUBLE_EQ(hi, 64.0);
    EXPECT_EQ(histTotal(), 13);
}

// ---------------------------------------------------------------- shape

struct EqualCase {
    double v;
    int n;
    int bins;
};

class StatsEqual : public StatsPanel, public ::testing::WithParamInterface<EqualCase> {};

TEST_P(StatsEqual, AllValuesInOneBin)
{
    const EqualCase tc = GetParam();
    logDataNum = 1;
    SetStaticDisp(0);
    seam::userSetValue(statisticPanel, STATISTIC_BINS, tc.bins);
    for (int r = 0; r < tc.n; ++r)
        sample({tc.v});
    ASSERT_EQ(plots(), 1);

    double lo = 0, hi = 0;
    xRange(&lo, &hi);
    EXPECT_DOUBLE_EQ(lo, tc.v - 1.0);
    EXPECT_DOUBLE_EQ(hi, tc.v + 1.0);
    yRange(&lo, &hi);
    EXPECT_DOUBLE_EQ(lo, 0.0);
    EXPECT_DOUBLE_EQ(hi, tc.n + 1.0);
    EXPECT_EQ(histMaxCount, tc.n);
    int full = 0;
    for (int k = 0; k < histBins; ++k)
        full += histCount[k] == tc.n ? 1 : 0;
    EXPECT_EQ(full, 1);
    EXPECT_EQ(histTotal(), tc.n);
    const Figures f = figures();
    EXPECT_DOUBLE_EQ(f.max, tc.v);
    EXPECT_DOUBLE_EQ(f.min, tc.v);
    EXPECT_DOUBLE_EQ(f.mean, tc.v);
    EXPECT_DOUBLE_EQ(f.sdev, 0.0);
}

INSTANTIATE_TEST_SUITE_P(Values, StatsEqual,
                         ::testing::Values(EqualCase{0.0, 10, 10}, EqualCase{5.5, 20, 10},
                                           EqualCase{-3.25, 30, 7}, EqualCase{1000.0, 10, 2}));

struct BinsCase {
    double entered;
    int expected;
};

class StatsBins : public StatsPanel, public ::testing::WithParamInterface<BinsCase> {};

TEST_P(StatsBins, BinCountStaysWithinStorage)
{
    const BinsCase tc = GetParam();
    logDataNum = 1;
    SetStaticDisp(0);
    for (int r = 0; r < 25; ++r)
        sample({static_cast<double>(r % 7)});
    seam::userSetValue(statisticPanel, STATISTIC_BINS, tc.entered);
    fUpdateHistogram = 1;
    basicStatistic();
    EXPECT_EQ(histBins, tc.expected);
    EXPECT_EQ(histTotal(), 25);
    EXPECT_EQ(plots(), 1);
}

INSTANTIATE_TEST_SUITE_P(Entries, StatsBins,
                         ::testing::Values(BinsCase{50, 21}, BinsCase{21, 21}, BinsCase{0, 1},
                                           BinsCase{-4, 1}, BinsCase{5, 5}));

// ---------------------------------------------------------------- empty and bad input

TEST_F(StatsPanel, NoRecordsShowZerosAndClearPreviousChannel)
{
    logDataNum = 2;
    SetStaticDisp(0);
    for (int r = 1; r <= 4; ++r)
        sample({static_cast<double>(r) + 10.0, 7.0});
    ASSERT_DOUBLE_EQ(figures().max, 14.0);
    EXPECT_FALSE(seam::isDimmed(statisticPanel, STATISTIC_MEAN));

    // A new recording has started: nothing is recorded yet.
    logCounter = 0;
    logLength = 0;
    seam::userSetValue(statisticPanel, STATISTIC_CHANNEL, 1);

    const Figures f = figures();
    for (double v : {f.max, f.min, f.mean, f.sdev}) {
        EXPECT_FALSE(std::isnan(v));
        EXPECT_DOUBLE_EQ(v, 0.0);
    }
    for (int figure : {STATISTIC_MAX, STATISTIC_MIN, STATISTIC_MEAN, STATISTIC_SDEV})
        EXPECT_TRUE(seam::isDimmed(statisticPanel, figure));
    EXPECT_EQ(plots(), 0);
    EXPECT_EQ(fUpdateHistogram, 0);
}

TEST_F(StatsPanel, BadChannelIndexShowsEmptyState)
{
    logDataNum = 1;
    for (int r = 1; r <= 20; ++r)
        sample({3.0 * r});
    ASSERT_EQ(plots(), 1);
    DeleteGraphPlot(statisticPanel, STATISTIC_HISTOGRAM, -1, 1);

    for (int bad : {-1, 10, 12, 1 << 20}) {
        SCOPED_TRACE(bad);
        SetCtrlVal(statisticPanel, STATISTIC_MAX, 99.0);
        staticIndex = bad;
        fUpdateHistogram = 1;
        basicStatistic();
        const Figures f = figures();
        EXPECT_DOUBLE_EQ(f.max, 0.0);
        EXPECT_DOUBLE_EQ(f.mean, 0.0);
        EXPECT_EQ(plots(), 0);
    }
}

// ---------------------------------------------------------------- sensor errors

std::string excludedText()
{
    char buf[128] = "";
    GetCtrlVal(statisticPanel, STATISTIC_EXCLUDED, buf);
    return buf;
}

struct ExcludedCase {
    const char* name;
    int every;  // every n-th sample is a sensor error; 0 none, 1 all
    int records;
    const char* text;
};

class StatsExcluded : public StatsPanel, public ::testing::WithParamInterface<ExcludedCase> {};

// A sensor error (no value) counts in no figure and no bar, and the panel
// says how many samples were left out; with none left the figures are empty.
TEST_P(StatsExcluded, SamplesWithoutValueAreLeftOutAndCounted)
{
    const ExcludedCase& c = GetParam();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    logDataNum = 1;
    SetStaticDisp(0);
    seam::userSetValue(statisticPanel, STATISTIC_BINS, 5);
    int values = 0;
    for (int r = 0; r < c.records; ++r) {
        const bool error = c.every > 0 && r % c.every == c.every - 1;
        values += error ? 0 : 1;
        sample({error ? nan : (r % 2 == 0 ? 23.5 : 24.5)});
    }

    EXPECT_EQ(excludedText(), c.text);
    const Figures f = figures();
    for (int figure : {STATISTIC_MAX, STATISTIC_MIN, STATISTIC_MEAN, STATISTIC_SDEV})
        EXPECT_EQ(seam::isDimmed(statisticPanel, figure), values == 0);
    if (values == 0) {
        for (double v : {f.max, f.min, f.mean, f.sdev})
            EXPECT_DOUBLE_EQ(v, 0.0);
        EXPECT_EQ(plots(), 0);
        return;
    }
    EXPECT_DOUBLE_EQ(f.min, 23.5);
    EXPECT_GE(f.mean, 23.5);
    EXPECT_LE(f.mean, 24.5);
    EXPECT_LE(f.max, 24.5);
    EXPECT_FALSE(std::isnan(f.sdev));
    EXPECT_EQ(plots(), 1);
    EXPECT_EQ(histTotal(), values);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StatsExcluded,
    ::testing::Values(ExcludedCase{"None", 0, 20, ""},
                      // 23.5 and an error in turn: mean 23.5, not 5.875; minimum 23.5, not 0.
                      ExcludedCase{"EverySecond", 2, 20,
                                   "10 samples without a value (sensor errors) not counted"},
                      ExcludedCase{"One", 20, 20,
                                   "1 sample without a value (sensor error) not counted"},
                      ExcludedCase{"All", 1, 20,
                                   "20 samples without a value (sensor errors) not counted"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(StatsPanel, ErrorsBetweenEqualReadingsLeaveTheirFigures)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    logDataNum = 1;
    SetStaticDisp(0);
    for (int r = 0; r < 10; ++r)
        sample({r % 2 == 0 ? 23.5 : nan});
    const Figures f = figures();
    EXPECT_DOUBLE_EQ(f.mean, 23.5);
    EXPECT_DOUBLE_EQ(f.min, 23.5);
    EXPECT_DOUBLE_EQ(f.max, 23.5);
    EXPECT_DOUBLE_EQ(f.sdev, 0.0);
}

// A length beyond the buffer must not read past the last channel's row.
TEST_F(StatsPanel, RecordingWithoutChannelsShowsNoValuesOfAnEarlierOne)
{
    // An earlier recording left values in row 0; this one records no channel.
    logDataNum = 1;
    for (int r = 0; r < 12; ++r)
        sample({40.0 + r});
    EXPECT_GT(figures().max, 40.0);
    logDataNum = 0;
    logCounter = 0;
    logLength = 0;
    for (int r = 0; r < 3; ++r) {
        ++logCounter;
        logLength = logCounter;
        basicStatistic();
    }
    const Figures f = figures();
    EXPECT_EQ(f.max, 0.0);
    EXPECT_EQ(f.min, 0.0);
    EXPECT_EQ(f.mean, 0.0);
    EXPECT_EQ(f.sdev, 0.0);
}

TEST_F(StatsPanel, LengthBeyondBufferIsClamped)
{
    logDataNum = 10;
    for (int r = 0; r < kMaxRecords; ++r)
        putRecordValue(r, 9, 2.0f, "2.0", "C");
    std::memset(chDataStr, 'z', sizeof chDataStr);  // lies right behind chData
    staticIndex = 9;
    logCounter = 20000;
    logLength = 20000;
    basicStatistic();
    const Figures f = figures();
    EXPECT_DOUBLE_EQ(f.max, 2.0);
    EXPECT_DOUBLE_EQ(f.min, 2.0);
    EXPECT_DOUBLE_EQ(f.mean, 2.0);
    EXPECT_EQ(histTotal(), kMaxRecords);

    logLength = -5;
    logCounter = 3;
    basicStatistic();
    EXPECT_DOUBLE_EQ(figures().max, 0.0);
}

// ---------------------------------------------------------------- channel list

TEST_F(StatsPanel, NoRecordedChannelsHideTheList)
{
    logDataNum = 2;
    SetStaticDisp(0);
    ASSERT_TRUE(seam::isVisible(statisticPanel, STATISTIC_CHANNEL));
    logDataNum = 0;
    SetStaticDisp(0);
    EXPECT_FALSE(seam::isVisible(statisticPanel, STATISTIC_CHANNEL));
    EXPECT_TRUE(seam::listLabels(statisticPanel, STATISTIC_CHANNEL).empty());
    EXPECT_EQ(staticIndex, 0);
}

struct LabelCase {
    unsigned char getDes;
    std::vector<std::string> expected;
};

class StatsLabels : public StatsPanel, public ::testing::WithParamInterface<LabelCase> {};

TEST_P(StatsLabels, LabelsFromDescriptionsOrSensorNames)
{
    const LabelCase tc = GetParam();
    const unsigned char types[] = {6, 4, 200, 18};
    const char* des[] = {"Oven", "Room air", "Probe", "Duct"};
    for (int i = 0; i < 4; ++i) {
        logChannel[i].type = types[i];
        copyText(logChannel[i].des, des[i]);
    }
    logDataNum = 4;
    fLogGetDes = tc.getDes;
    SetStaticDisp(2);
    EXPECT_EQ(seam::listLabels(statisticPanel, STATISTIC_CHANNEL), tc.expected);
    EXPECT_TRUE(seam::isVisible(statisticPanel, STATISTIC_CHANNEL));
    int index = -1, value = -1;
    GetCtrlIndex(statisticPanel, STATISTIC_CHANNEL, &index);
    GetValueFromIndex(statisticPanel, STATISTIC_CHANNEL, index, &value);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(value, 2);
    EXPECT_EQ(staticIndex, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, StatsLabels,
    ::testing::Values(LabelCase{0, {"Temperature", "Humidity", "Undefined", "ERROR#"}},
                      LabelCase{1, {"Oven", "Room air", "Probe", "Duct"}}));

TEST_F(StatsPanel, DescriptionWithoutTerminatorIsCutAtField)
{
    std::memset(logChannel[0].des, 'A', sizeof logChannel[0].des);
    std::memset(logChannel[0].unit, 'B', sizeof logChannel[0].unit);
    logDataNum = 1;
    fLogGetDes = 1;
    SetStaticDisp(0);
    const auto labels = seam::listLabels(statisticPanel, STATISTIC_CHANNEL);
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0], std::string(sizeof logChannel[0].des, 'A'));
}

struct IndexCase {
    int dataNum;
    int requested;
    int selected;
};

class StatsIndex : public StatsPanel, public ::testing::WithParamInterface<IndexCase> {};

TEST_P(StatsIndex, IndexOutsideListFallsBackToFirst)
{
    const IndexCase tc = GetParam();
    logDataNum = tc.dataNum;
    SetStaticDisp(tc.requested);
    EXPECT_EQ(staticIndex, tc.selected);
    int index = -1;
    GetCtrlIndex(statisticPanel, STATISTIC_CHANNEL, &index);
    EXPECT_EQ(index, tc.selected);
    EXPECT_EQ(static_cast<int>(seam::listLabels(statisticPanel, STATISTIC_CHANNEL).size()),
              tc.dataNum > 10 ? 10 : tc.dataNum);
}

INSTANTIATE_TEST_SUITE_P(Cases, StatsIndex,
                         ::testing::Values(IndexCase{3, 2, 2}, IndexCase{3, 3, 0},
                                           IndexCase{3, -1, 0}, IndexCase{10, 9, 9},
                                           IndexCase{12, 11, 0}, IndexCase{1, 0, 0}));

// ---------------------------------------------------------------- cursor

struct FocusCase {
    bool gotFocus;
    bool shown;
};

class StatsFocus : public StatsPanel, public ::testing::WithParamInterface<FocusCase> {};

TEST_P(StatsFocus, FocusShowsOrHidesReadOut)
{
    const FocusCase tc = GetParam();
    // Start from the opposite state so that the event must change it.
    seam::userFocus(statisticPanel, STATISTIC_HISTOGRAM, !tc.gotFocus);
    ASSERT_EQ(seam::isVisible(statisticPanel, STATISTIC_CURSOR_Y), !tc.shown);
    seam::userFocus(statisticPanel, STATISTIC_HISTOGRAM, tc.gotFocus);
    EXPECT_EQ(seam::isVisible(statisticPanel, STATISTIC_CURSOR_Y), tc.shown);
    EXPECT_EQ(seam::cursorEnabled(statisticPanel, STATISTIC_HISTOGRAM), tc.shown);
}

INSTANTIATE_TEST_SUITE_P(Events, StatsFocus,
                         ::testing::Values(FocusCase{true, true}, FocusCase{false, false}));

TEST_F(StatsPanel, MovingCursorUpdatesReadOut)
{
    seam::userFocus(statisticPanel, STATISTIC_HISTOGRAM, true);
    for (double y : {3.5, 7.25, 0.0}) {
        seam::userMoveCursor(statisticPanel, STATISTIC_HISTOGRAM, 1.0, y);
        double shown = -1;
        GetCtrlVal(statisticPanel, STATISTIC_CURSOR_Y, &shown);
        EXPECT_DOUBLE_EQ(shown, y);
    }
    seam::userFocus(statisticPanel, STATISTIC_HISTOGRAM, false);
    EXPECT_FALSE(seam::isVisible(statisticPanel, STATISTIC_CURSOR_Y));
}

// The cursor set before there were bars reads the count of the bar nearest
// to it once the histogram is drawn (values 1..10 in ten bins of 1.1 from 0:
// one each, the first centred on 0.55).
TEST_F(StatsPanel, RedrawRefreshesReadOutFromCursor)
{
    seam::userFocus(statisticPanel, STATISTIC_HISTOGRAM, true);
    seam::userMoveCursor(statisticPanel, STATISTIC_HISTOGRAM, 1.0, 4.0);
    SetCtrlVal(statisticPanel, STATISTIC_CURSOR_Y, 99.0);
    logDataNum = 1;
    for (int r = 1; r <= 10; ++r)
        sample({static_cast<double>(r)});
    double shown = -1;
    GetCtrlVal(statisticPanel, STATISTIC_CURSOR_Y, &shown);
    EXPECT_DOUBLE_EQ(shown, 1.0);
    double x = -1;
    double y = -1;
    GetGraphCursor(statisticPanel, STATISTIC_HISTOGRAM, 1, &x, &y);
    EXPECT_NEAR(x, 0.55, 1e-9);
}

// Over the bars the cursor reads a bar's count, never the mouse's height:
// it sits on the centre and top of the bar nearest to where it was put.
// Values 1 1 1 2 2 5 5 5 5 9 in ten bins of 1.0 from 0 (centres k + 0.5).
TEST_F(StatsPanel, CursorBetweenBarsReadsTheNearestBarsCount)
{
    logDataNum = 1;
    for (double v : {1.0, 1.0, 1.0, 2.0, 2.0, 5.0, 5.0, 5.0, 5.0, 9.0})
        sample({v});
    ASSERT_EQ(plots(), 1);
    seam::userFocus(statisticPanel, STATISTIC_HISTOGRAM, true);
    struct Case {
        double x, y;
        double centre;
        double count;
    };
    const Case cases[] = {
        {1.9, 7.3, 1.5, 3.0}, {2.2, 0.4, 2.5, 2.0}, {5.4, 10.55, 5.5, 4.0},
        {9.99, 1.5, 9.5, 1.0}, {3.4, 3.3, 3.5, 0.0}, {-0.7, 2.0, 0.5, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        seam::userMoveCursor(statisticPanel, STATISTIC_HISTOGRAM, c.x, c.y);
        double shown = -1;
        GetCtrlVal(statisticPanel, STATISTIC_CURSOR_Y, &shown);
        EXPECT_DOUBLE_EQ(shown, c.count);
        double x = -1;
        double y = -1;
        GetGraphCursor(statisticPanel, STATISTIC_HISTOGRAM, 1, &x, &y);
        EXPECT_NEAR(x, c.centre, 1e-9);
        EXPECT_DOUBLE_EQ(y, c.count);
    }
}

// ---------------------------------------------------------------- showing the panel

TEST_F(StatsPanel, OpeningShowsPanelWithoutRecomputing)
{
    logDataNum = 1;
    for (int r = 1; r <= 4; ++r)
        sample({static_cast<double>(r)});
    putRecordValue(0, 0, 500.0f, "500", "C");  // changed behind the panel's back

    seam::userPress(monitorPanel, MONITOR_STATISTICS_CMD);
    EXPECT_TRUE(seam::panelVisible(statisticPanel));
    EXPECT_DOUBLE_EQ(figures().max, 4.0);

    seam::userPress(statisticPanel, STATISTIC_EXIT);
    EXPECT_FALSE(seam::panelVisible(statisticPanel));

    seam::userPress(monitorPanel, MONITOR_STATISTICS_CMD);
    ASSERT_TRUE(seam::panelVisible(statisticPanel));
    seam::userClose(statisticPanel);
    EXPECT_FALSE(seam::panelVisible(statisticPanel));
}

}  // namespace
