// Recording as the user sees it: the switch, the sampling ticks, the strip
// chart with its legend and scale, the status line and the Statistics panel.
#include <QImage>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "core/channel.h"
#include "core/clock.h"
#include "core/record_buffer.h"
#include "meter/decoders.h"
#include "meter/receive.h"
#include "meter/serial_link.h"
#include "platform/panel_builder.h"
#include "platform/platform.h"
#include "platform/pty_helper.h"
#include "platform/seams.h"
#include "record/recording.h"
#include "test_support.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"
#include "view/monitor_fixture.h"
#include "view/statistics.h"

namespace {

std::string status() { return testsupport::monitorText(MONITOR_SETTINGS); }

std::string text(int control) { return testsupport::monitorText(control); }

int chartPoints()
{
    return seam::stripPoints(monitorPanel, MONITOR_CHART, 1);
}

int histogramPlots()
{
    int n = -1;
    GetNumGraphPlots(statisticPanel, STATISTIC_HISTOGRAM, &n);
    return n;
}

class RecordingTest : public MonitorFixture {
protected:
    void SetUp() override
    {
        MonitorFixture::SetUp();
        logCounter = logLength = logDataNum = 0;
        // Two channels as a 9600 meter leaves them: temperature and humidity.
        wDataNum = 2;
        setChannel(0, 6, 23.5f, "23.5", "C");
        setChannel(1, 4, 45.2f, "45.2", "%RH");
        sysClock = 416061296;  // 03-08-2013 12:34:56
    }

    static void setChannel(int c, unsigned char type, float value, const char* valStr,
                           const char* unit)
    {
        channel[c].type = type;
        channel[c].value = value;
        copyText(channel[c].valStr, valStr);
        copyText(channel[c].unit, unit);
    }

    static void start(int count, int rate = 1)
    {
        seam::userSetValue(monitorPanel, MONITOR_SAMPLE_COUNT, count);
        seam::userSetValue(monitorPanel, MONITOR_SAMPLE_RATE, rate);
        seam::userSetValue(monitorPanel, MONITOR_LOG_SWITCH, 1);
    }
    static void stop() { seam::userSetValue(monitorPanel, MONITOR_LOG_SWITCH, 0); }
    static void tick() { seam::fireTimer(monitorPanel, MONITOR_SAMPLE_TIMER); }
    static bool timerOn() { return seam::timerEnabled(monitorPanel, MONITOR_SAMPLE_TIMER); }
    static int switchValue()
    {
        int v = -1;
        GetCtrlVal(monitorPanel, MONITOR_LOG_SWITCH, &v);
        return v;
    }
    static std::string chartLabel() { return seam::labelText(monitorPanel, MONITOR_CHART); }
};

// ---------------------------------------------------------------- start

TEST_F(RecordingTest, StartSetsUpTheChartLegendAndTimer)
{
    channel[1].type = 200;  // a damaged type is named, never read past the table
    start(5, 3);

    EXPECT_TRUE(seam::isDimmed(monitorPanel, MONITOR_SAMPLE_COUNT));
    EXPECT_TRUE(seam::isDimmed(monitorPanel, MONITOR_SAMPLE_RATE));
    EXPECT_TRUE(seam::isDimmed(monitorPanel, MONITOR_LOG_EXTRA));
    EXPECT_EQ(seam::textColor(monitorPanel, MONITOR_REC_INDICATOR), 0xFF0000);
    EXPECT_EQ(text(MONITOR_REC_INDICATOR), "Recording");
    EXPECT_TRUE(seam::isVisible(monitorPanel, MONITOR_REC_INDICATOR));
    EXPECT_TRUE(timerOn());
    EXPECT_DOUBLE_EQ(seam::timerInterval(monitorPanel, MONITOR_SAMPLE_TIMER), 3.0);
    EXPECT_EQ(status(), "Start Logging Data");
    EXPECT_EQ(chartLabel(), "Logging Data......");

    const char* const names[] = {"Temperature", "Undefined"};
    for (int c = 0; c < 10; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(seam::isVisible(monitorPanel, lableColor[c]), c < 2);
        EXPECT_EQ(seam::traceVisible(monitorPanel, MONITOR_CHART, c + 1), c < 2);
        if (c < 2) {
            EXPECT_EQ(text(lableColor[c]), names[c]);
        }
    }
    EXPECT_EQ(seam::listLabels(statisticPanel, STATISTIC_CHANNEL),
              (std::vector<std::string>{"Temperature", "Undefined"}));
}

TEST_F(RecordingTest, ChannelsNamedByTheMeterKeepTheirDescriptions)
{
    fViewGetDes = 1;
    copyText(channel[0].des, "Oven");
    copyText(channel[1].des, "Room air");
    start(5);
    EXPECT_EQ(text(lableColor[0]), "Oven");
    EXPECT_EQ(text(lableColor[1]), "Room air");
    EXPECT_EQ(seam::listLabels(statisticPanel, STATISTIC_CHANNEL),
              (std::vector<std::string>{"Oven", "Room air"}));
}

// ---------------------------------------------------------------- sampling

struct CountCase {
    int count;
    const char* statusAfterStop;
};

TEST_F(RecordingTest, SampleCountNTakesNRecordsAndStopsOnTickNPlusOne)
{
    const CountCase cases[] = {
        {0, "Recording stopped (sample count reached): 0 records."},
        {1, "Recording stopped (sample count reached): 1 records."},
        {3, "Recording stopped (sample count reached): 3 records."},
    };
    for (const CountCase& c : cases) {
        SCOPED_TRACE(c.count);
        sysClock = 416061296;
        start(c.count);
        for (int t = 1; t <= c.count; ++t) {
            ++sysClock;
            channel[0].value = static_cast<float>(t);
            tick();
            EXPECT_EQ(status(), "Logging Data: " + std::to_string(t) + " Records.");
            EXPECT_TRUE(timerOn());
        }
        tick();
        EXPECT_FALSE(timerOn());
        EXPECT_EQ(fLogging, 0);
        EXPECT_EQ(switchValue(), 0);
        EXPECT_EQ(chartLabel(), "Stop Logging");
        EXPECT_EQ(status(), c.statusAfterStop);
        EXPECT_EQ(logCounter, c.count);
        EXPECT_EQ(logLength, c.count);
        EXPECT_EQ(chartPoints(), c.count);
        for (int r = 0; r < c.count; ++r) {
            EXPECT_EQ(sTime[r], 416061296 + r + 1);
            EXPECT_EQ(logData[r][0], static_cast<float>(r + 1));
            EXPECT_STREQ(chUnit[1][r], "%RH");
            EXPECT_STREQ(chDataStr[1][r], "45.2");
        }
        // Set-up controls come back for the next recording.
        for (int control : {MONITOR_SAMPLE_COUNT, MONITOR_SAMPLE_RATE, MONITOR_LOG_EXTRA})
            EXPECT_FALSE(seam::isDimmed(monitorPanel, control)) << control;
        stop();
    }
}

TEST_F(RecordingTest, IndicatorBlinksAndStatisticsFollowEverySample)
{
    start(10);
    const bool first = seam::isVisible(monitorPanel, MONITOR_REC_INDICATOR);
    for (int t = 1; t <= 4; ++t) {
        channel[0].value = static_cast<float>(t);
        tick();
        EXPECT_EQ(seam::isVisible(monitorPanel, MONITOR_REC_INDICATOR), (t % 2 == 1) != first);
        double max = 0.0;
        GetCtrlVal(statisticPanel, STATISTIC_MAX, &max);
        EXPECT_DOUBLE_EQ(max, t);
    }
}

// A sensor error is recorded as its text with no value, and the chart leaves
// a gap there (a NaN point) without moving its scale.
TEST_F(RecordingTest, SensorErrorIsRecordedWithoutValueAndChartedAsAGap)
{
    auto* plot = dynamic_cast<QCustomPlot*>(platform::controlWidget(monitorPanel, MONITOR_CHART));
    ASSERT_NE(plot, nullptr);
    start(10);
    tick();
    const QCPRange range = plot->yAxis->range();
    setChannel(1, 4, std::numeric_limits<float>::quiet_NaN(), "E02", "Nul");
    tick();
    setChannel(1, 4, 45.3f, "45.3", "%RH");
    tick();

    EXPECT_TRUE(std::isnan(logData[1][1]));
    EXPECT_TRUE(std::isnan(chData[1][1]));
    EXPECT_STREQ(chDataStr[1][1], "E02");
    EXPECT_EQ(logData[1][0], 23.5f);
    QCPGraph* humidity = plot->graph(1);
    ASSERT_EQ(humidity->data()->size(), 3);
    EXPECT_EQ(humidity->data()->at(0)->value, static_cast<double>(45.2f));
    EXPECT_TRUE(std::isnan(humidity->data()->at(1)->value));
    EXPECT_EQ(humidity->data()->at(2)->value, static_cast<double>(45.3f));
    EXPECT_EQ(plot->yAxis->range(), range);
    // Drawn, the gap joins no line across it: every humidity point touches it.
    const QImage image = plot->toPixmap(800, 400).toImage();
    const auto pixelsOf = [&image](const QColor& colour) {
        const auto near = [](int a, int b) { return std::abs(a - b) < 60; };  // antialiased
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor p = image.pixelColor(x, y);
                n += near(p.red(), colour.red()) && near(p.green(), colour.green()) &&
                     near(p.blue(), colour.blue());
            }
        return n;
    };
    EXPECT_GT(pixelsOf(plot->graph(0)->pen().color()), 0);
    EXPECT_EQ(pixelsOf(humidity->pen().color()), 0);
}

TEST_F(RecordingTest, UserStopKeepsTheRecordsAndUndimsTheSetUp)
{
    start(100);
    tick();
    tick();
    SetCtrlAttribute(monitorPanel, MONITOR_REC_INDICATOR, ATTR_VISIBLE, 1);
    stop();
    EXPECT_EQ(status(), "End Logging Data: 2 Records.");
    EXPECT_EQ(chartLabel(), "Stop Logging");
    EXPECT_EQ(seam::textColor(monitorPanel, MONITOR_REC_INDICATOR), 0xFFFFFF);
    EXPECT_FALSE(seam::isVisible(monitorPanel, MONITOR_REC_INDICATOR));
    EXPECT_FALSE(timerOn());
    EXPECT_EQ(fLogging, 0);
    for (int control : {MONITOR_SAMPLE_COUNT, MONITOR_SAMPLE_RATE, MONITOR_LOG_EXTRA})
        EXPECT_FALSE(seam::isDimmed(monitorPanel, control)) << control;
    EXPECT_EQ(logCounter, 2);
    EXPECT_EQ(chartPoints(), 2);
}

TEST_F(RecordingTest, NewRecordingClearsChartAndHistogramAndCountsFromOne)
{
    seam::userSetValue(statisticPanel, STATISTIC_BINS, 5);
    start(100);
    for (int t = 1; t <= 10; ++t) {
        channel[0].value = static_cast<float>(t);
        tick();
    }
    ASSERT_EQ(histogramPlots(), 1);
    ASSERT_EQ(chartPoints(), 10);
    stop();

    start(100);
    EXPECT_EQ(chartPoints(), 0);
    EXPECT_EQ(histogramPlots(), 0);
    EXPECT_EQ(logCounter, 0);
    tick();
    EXPECT_EQ(status(), "Logging Data: 1 Records.");
    EXPECT_EQ(chartPoints(), 1);
}

// ---------------------------------------------------------------- scale

struct ScaleCase {
    double gain;
    double offset;
    double low;
    double high;
};

TEST_F(RecordingTest, GainAndOffsetSetTheAxisAndReplotTheBuffer)
{
    const ScaleCase cases[] = {{2.0, 5.0, 10.0, 30.0}, {10.0, 0.0, 0.0, 100.0}, {0.5, -4.0, -2.0, 3.0}};
    for (const ScaleCase& c : cases) {
        SCOPED_TRACE(c.gain);
        seam::userSetValue(monitorPanel, MONITOR_GAIN, c.gain);
        seam::userSetValue(monitorPanel, MONITOR_OFFSET, c.offset);
        double low = 0.0;
        double high = 0.0;
        seam::yAxisRange(monitorPanel, MONITOR_CHART, &low, &high);
        EXPECT_DOUBLE_EQ(low, c.low);
        EXPECT_DOUBLE_EQ(high, c.high);
        // An empty buffer adds no point.
        EXPECT_EQ(chartPoints(), 0);
    }

    start(100);
    for (int t = 0; t < 3; ++t)
        tick();
    seam::userSetValue(monitorPanel, MONITOR_GAIN, 4.0);
    EXPECT_EQ(chartPoints(), 3);  // the buffer drawn anew, not appended again
    seam::userSetValue(monitorPanel, MONITOR_RANGE, 20);
    EXPECT_EQ(chartPoints(), 3);
    EXPECT_EQ(vRange, 20);
    EXPECT_EQ(fLogging, 1);  // the recording goes on
}

// Every trace holds exactly the records after each scale commit, while the
// recording runs (and goes on appending) and after it stopped.
TEST_F(RecordingTest, ScaleCommitsLeaveTheChartHoldingExactlyTheRecords)
{
    struct Commit {
        int control;
        double value;
    };
    const Commit commits[] = {{MONITOR_GAIN, 4.0}, {MONITOR_OFFSET, 1.0}, {MONITOR_RANGE, 50}};
    const auto everyTraceHolds = [](int records) {
        for (int trace = 1; trace <= 10; ++trace)
            EXPECT_EQ(seam::stripPoints(monitorPanel, MONITOR_CHART, trace), records) << trace;
    };
    start(100);
    int records = 0;
    for (const Commit& c : commits) {
        SCOPED_TRACE(c.control);
        tick();
        tick();
        records += 2;
        seam::userSetValue(monitorPanel, c.control, c.value);
        everyTraceHolds(records);
        tick();
        ++records;
        everyTraceHolds(records);
    }
    stop();
    for (const Commit& c : commits) {
        SCOPED_TRACE(c.control);
        seam::userSetValue(monitorPanel, c.control, c.value + 1.0);
        everyTraceHolds(records);
    }
}

TEST_F(RecordingTest, RangeLimitsThePointsTheChartShows)
{
    seam::userSetValue(monitorPanel, MONITOR_RANGE, 10);
    start(100);
    for (int t = 0; t < 15; ++t)
        tick();
    EXPECT_EQ(chartPoints(), 10);
}

// ---------------------------------------------------------------- from the meter

// A 9600 frame as the meter sends it: content, its two check characters
// (computed here, not by the program), CR.
std::string meterFrame(const std::string& content)
{
    unsigned sum = 0;
    for (unsigned char c : content)
        sum += c;
    static const char hex[] = "0123456789ABCDEF";
    const unsigned check = (256u - sum % 256u) % 256u;
    return content + hex[check >> 4] + hex[check & 15u] + "\r";
}

TEST_F(RecordingTest, RecordingFromTheMeterStoppedByAChannelChangeKeepsItsRecords)
{
    constexpr int kPort = 7;
    constexpr int kWaitMs = 10000;  // generous for a loaded sanitizer run
    PtyPair meter;
    ASSERT_TRUE(meter.ok());
    wDataNum = 0;
    for (ChannelRecord& rec : channel)
        rec = ChannelRecord{};
    fNewMeter = 1;
    seam::mapComPort(kPort, meter.slavePath());
    ASSERT_GE(OpenComConfig(kPort, "", 9600, 0, 8, 1, 256, 256), 0);
    SetComTime(kPort, 1.0);
    InstallComCallback(kPort, LWRS_RXFLAG, 0, 13, comPortCharDetCallBack, nullptr);

    ASSERT_TRUE(meter.write(meterFrame("T0023.5C:H045.2%RH")));
    ASSERT_TRUE(testsupport::waitFor([] { return wDataNum == 2; }, kWaitMs));
    start(100, 3600);  // samples come from the test's ticks only
    for (int k = 1; k <= 3; ++k) {
        const std::string t = std::to_string(20 + k);
        ASSERT_TRUE(meter.write(meterFrame("T00" + t + ".0C:H04" + std::to_string(k) + ".5%RH")));
        ASSERT_TRUE(testsupport::waitFor([k] { return channel[0].value == 20.0f + k; }, kWaitMs));
        tick();
    }
    // The meter gains a channel: the layout changed, the recording ends.
    ASSERT_TRUE(meter.write(meterFrame("T0024.0C:H045.2%RH:P1013hPa")));
    ASSERT_TRUE(testsupport::waitFor([] { return fLogging == 0; }, kWaitMs));
    CloseCom(kPort);

    EXPECT_EQ(chartLabel(), "Detected error,Stop Logging");
    EXPECT_FALSE(timerOn());
    EXPECT_EQ(status(), "Recording stopped (meter's channels changed): 3 records.");
    ASSERT_EQ(logCounter, 3);
    EXPECT_EQ(logDataNum, 2);
    for (int r = 0; r < 3; ++r) {
        SCOPED_TRACE(r);
        EXPECT_EQ(logData[r][0], 21.0f + r);
        EXPECT_STREQ(chDataStr[0][r], (std::to_string(21 + r) + ".0").c_str());
        EXPECT_STREQ(chDataStr[1][r], ("4" + std::to_string(r + 1) + ".5").c_str());
        EXPECT_STREQ(chUnit[1][r], "%RH");
    }
    EXPECT_EQ(chartPoints(), 3);
}

// A frame handed to the 9600 decoder as the receive path leaves it in rxBuf.
void decodeFrame(const std::string& content)
{
    const std::string wire = meterFrame(content);
    ASSERT_LT(wire.size(), sizeof rxBuf);
    std::memcpy(rxBuf, wire.c_str(), wire.size() + 1);
    analysis9600ComPortData();
}

// The channels of a recording are named when it starts: the sensors of the
// layout that stops it must not rename them in the legend, the Statistics
// list or the saved file.
TEST_F(RecordingTest, LayoutChangeStopsTheRecordingWithItsOwnNames)
{
    wDataNum = 0;
    for (ChannelRecord& rec : channel)
        rec = ChannelRecord{};
    decodeFrame("T0023.5C:H045.2%RH");
    start(100, 3600);
    tick();
    tick();

    decodeFrame("P1013.0hPa:N0055.0dB");  // the same count, other sensors
    ASSERT_EQ(fLogging, 0);
    EXPECT_EQ(chartLabel(), "Detected error,Stop Logging");

    const std::vector<std::string> names{"Temperature", "Humidity"};
    EXPECT_EQ(seam::listLabels(statisticPanel, STATISTIC_CHANNEL), names);
    EXPECT_EQ(text(lableColor[0]), names[0]);
    EXPECT_EQ(text(lableColor[1]), names[1]);

    const std::string path = dir_.file("layout.txt");
    seam::pushFileAnswer(path);
    seam::userPress(monitorPanel, MONITOR_SAVE);
    const std::string saved = testsupport::readFile(path);
    const std::string header = saved.substr(0, saved.find('\n'));
    EXPECT_NE(header.find("Temperature"), std::string::npos) << header;
    EXPECT_NE(header.find("Humidity"), std::string::npos) << header;
    EXPECT_EQ(header.find("Pressure"), std::string::npos) << header;
    EXPECT_EQ(header.find("Sound_Level"), std::string::npos) << header;
    EXPECT_NE(saved.find("23.5"), std::string::npos);
}

}  // namespace
