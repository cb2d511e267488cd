// The record buffer's bounded writers and the automatic stop of a recording.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

#include "app/merrivan.h"
#include "core/record_buffer.h"
#include "platform/callbacks.h"
#include "platform/platform.h"
#include "platform/seams.h"
#include "record/recording.h"
#include "test_support.h"
#include "ui/merrivan_uir.h"

using testsupport::PanelsUp;

namespace {

// A byte copy of the whole buffer, to tell which cells a call changed.
struct Snapshot {
    std::vector<unsigned char> bytes;

    static Snapshot take()
    {
        Snapshot s;
        append(s.bytes, logData);
        append(s.bytes, chData);
        append(s.bytes, chDataStr);
        append(s.bytes, chUnit);
        append(s.bytes, sTime);
        return s;
    }

    template <typename T>
    static void append(std::vector<unsigned char>& out, const T& array)
    {
        const auto* p = reinterpret_cast<const unsigned char*>(&array);
        out.insert(out.end(), p, p + sizeof array);
    }
};

// Offsets, within a Snapshot, of the bytes that differ.
std::vector<std::size_t> changedBytes(const Snapshot& before, const Snapshot& after)
{
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < before.bytes.size(); ++i)
        if (before.bytes[i] != after.bytes[i])
            out.push_back(i);
    return out;
}

// Byte ranges of one record's cells inside a Snapshot.
struct Range {
    std::size_t begin;
    std::size_t end;
};

std::size_t offsetOf(const void* p)
{
    const auto* q = static_cast<const unsigned char*>(p);
    // The arrays follow one another in the snapshot in this order.
    std::size_t off = 0;
    const struct {
        const void* start;
        std::size_t size;
    } parts[] = {{&logData, sizeof logData},
                 {&chData, sizeof chData},
                 {&chDataStr, sizeof chDataStr},
                 {&chUnit, sizeof chUnit},
                 {&sTime, sizeof sTime}};
    for (const auto& part : parts) {
        const auto* s = static_cast<const unsigned char*>(part.start);
        if (q >= s && q < s + part.size)
            return off + static_cast<std::size_t>(q - s);
        off += part.size;
    }
    ADD_FAILURE() << "pointer outside the buffer";
    return 0;
}

Range cellRange(const void* cell, std::size_t size)
{
    const std::size_t b = offsetOf(cell);
    return {b, b + size};
}

bool inAny(std::size_t at, const std::vector<Range>& ranges)
{
    for (const auto& r : ranges)
        if (at >= r.begin && at < r.end)
            return true;
    return false;
}

void fillBuffer(unsigned char byte)
{
    std::memset(logData, byte, sizeof logData);
    std::memset(chData, byte, sizeof chData);
    std::memset(chDataStr, byte, sizeof chDataStr);
    std::memset(chUnit, byte, sizeof chUnit);
    std::memset(sTime, byte, sizeof sTime);
}

TEST(RecordBufferTest, Sizes)
{
    EXPECT_EQ((std::extent_v<decltype(logData), 0>), 16000u);
    EXPECT_EQ((std::extent_v<decltype(logData), 1>), 10u);
    EXPECT_EQ((std::extent_v<decltype(chData), 0>), 10u);
    EXPECT_EQ((std::extent_v<decltype(chData), 1>), 16000u);
    EXPECT_EQ((std::extent_v<decltype(chDataStr), 0>), 10u);
    EXPECT_EQ((std::extent_v<decltype(chDataStr), 1>), 16000u);
    EXPECT_EQ((std::extent_v<decltype(chDataStr), 2>), 11u);
    EXPECT_EQ((std::extent_v<decltype(chUnit), 0>), 10u);
    EXPECT_EQ((std::extent_v<decltype(chUnit), 1>), 16000u);
    EXPECT_EQ((std::extent_v<decltype(chUnit), 2>), 11u);
    EXPECT_EQ((std::extent_v<decltype(sTime), 0>), 16000u);
    EXPECT_EQ(sizeof logData[0][0], 4u);
    EXPECT_EQ(sizeof chData[0][0], 8u);
    EXPECT_EQ(sizeof sTime[0], 4u);
    EXPECT_EQ(sizeof logData + sizeof chData + sizeof chDataStr + sizeof chUnit + sizeof sTime,
              5504000u);
}

struct ValueCase {
    int record;
    int channel;
    int written;
};

TEST(RecordBufferTest, PutRecordValueWritesOnlyItsCellInsideTheBuffer)
{
    const ValueCase cases[] = {
        {0, 0, 1},       {0, 9, 1},       {15999, 0, 1},  {15999, 9, 1},  {7, 3, 1},
        {-1, 0, 0},      {16000, 0, 0},   {0, -1, 0},     {0, 10, 0},     {15999, 10, 0},
        {16000, 9, 0},   {-1, -1, 0},     {1, -1, 0},     {-16000, 5, 0}, {0, 100000, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "record " << c.record << " channel " << c.channel);
        fillBuffer(0xA5);
        const Snapshot before = Snapshot::take();
        EXPECT_EQ(putRecordValue(c.record, c.channel, 12.5f, "12.5", "C"), c.written);
        const Snapshot after = Snapshot::take();
        const std::vector<std::size_t> changed = changedBytes(before, after);
        if (!c.written) {
            EXPECT_TRUE(changed.empty()) << changed.size() << " bytes changed, first at "
                                         << (changed.empty() ? 0 : changed[0]);
            continue;
        }
        const std::vector<Range> allowed = {
            cellRange(&logData[c.record][c.channel], sizeof(float)),
            cellRange(&chData[c.channel][c.record], sizeof(double)),
            cellRange(chDataStr[c.channel][c.record], 11),
            cellRange(chUnit[c.channel][c.record], 11),
        };
        for (std::size_t at : changed)
            EXPECT_TRUE(inAny(at, allowed)) << "byte " << at << " changed";
        EXPECT_EQ(logData[c.record][c.channel], 12.5f);
        EXPECT_EQ(chData[c.channel][c.record], 12.5);
        EXPECT_STREQ(chDataStr[c.channel][c.record], "12.5");
        EXPECT_STREQ(chUnit[c.channel][c.record], "C");
    }
}

struct TimeCase {
    int record;
    int written;
};

TEST(RecordBufferTest, PutRecordTimeWritesOnlyItsStampInsideTheBuffer)
{
    const TimeCase cases[] = {{0, 1},     {15999, 1}, {8000, 1},  {-1, 0},
                              {16000, 0}, {-100, 0},  {40000, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.record);
        fillBuffer(0x5A);
        const Snapshot before = Snapshot::take();
        EXPECT_EQ(putRecordTime(c.record, 416061296), c.written);
        const std::vector<std::size_t> changed = changedBytes(before, Snapshot::take());
        if (!c.written) {
            EXPECT_TRUE(changed.empty());
            continue;
        }
        const std::vector<Range> allowed = {cellRange(&sTime[c.record], sizeof(int))};
        for (std::size_t at : changed)
            EXPECT_TRUE(inAny(at, allowed)) << "byte " << at << " changed";
        EXPECT_EQ(sTime[c.record], 416061296);
    }
}

struct TextCase {
    const char* text;
    const char* stored;
};

TEST(RecordBufferTest, TextsAreCutToTenCharactersAndTerminated)
{
    const TextCase cases[] = {
        {"", ""},
        {"-12.5", "-12.5"},
        {"123456789", "123456789"},
        {"1234567890", "1234567890"},
        {"12345678901", "1234567890"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "ABCDEFGHIJ"},
        {nullptr, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "(null)");
        fillBuffer('#');
        ASSERT_EQ(putRecordValue(3, 4, 1.0f, c.text, c.text), 1);
        EXPECT_STREQ(chDataStr[4][3], c.stored);
        EXPECT_STREQ(chUnit[4][3], c.stored);
        // The neighbouring cells keep their bytes.
        EXPECT_EQ(chDataStr[4][4][0], '#');
        EXPECT_EQ(chDataStr[4][2][10], '#');
        EXPECT_EQ(chUnit[5][3][0], '#');
        EXPECT_EQ(chUnit[4][4][0], '#');
    }
}

TEST(RecordBufferTest, FloatGoesToLogDataAndWidenedToChData)
{
    const float values[] = {0.1f, -273.15f, 1e-30f, 3.4e38f, 16000.0f, -0.0f};
    int r = 100;
    for (float v : values) {
        SCOPED_TRACE(v);
        ASSERT_EQ(putRecordValue(r, 6, v, "x", "Nul"), 1);
        EXPECT_EQ(logData[r][6], v);
        EXPECT_EQ(chData[6][r], static_cast<double>(v));
        EXPECT_STREQ(chUnit[6][r], "Nul");
        ++r;
    }
    // Widened, not rounded through decimal text: 0.1f is not 0.1.
    EXPECT_NE(chData[6][100], 0.1);
}

// ------------------------------------------------------------ automatic stop

int logSwitchCalls = 0;

int countingLogSwitch(CTRL_CALLBACK_ARGS)
{
    (void)panel, (void)control, (void)event, (void)callbackData, (void)eventData1, (void)eventData2;
    ++logSwitchCalls;
    return 0;
}

std::string ctrlText(int control) { return testsupport::monitorText(control); }

int ctrlInt(int control)
{
    int v = -1;
    GetCtrlVal(monitorPanel, control, &v);
    return v;
}

class AutoStopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        seam::reset();
        panels = std::make_unique<PanelsUp>();
        // A Monitor panel whose record switch counts its callbacks.
        platform::registerCallback("logCmdCallback", countingLogSwitch);
        DiscardPanel(monitorPanel);
        monitorPanel = LoadPanel(0, "MERRIVAN.UIR", MONITOR);
        ASSERT_GE(monitorPanel, 0);
        logSwitchCalls = 0;
    }

    void TearDown() override
    {
        registerMerrivanCallbacks();
        panels.reset();
        fLogging = 0;
        logCounter = logLength = logDataNum = 0;
        fLogGetDes = 0;
    }

    // A recording of five records of two channels as the user sees it
    // running; the indicator in the given blink phase.
    void runningRecording(bool indicatorVisible, unsigned char logging)
    {
        fillBuffer(0);
        for (int r = 0; r < 5; ++r) {
            putRecordTime(r, 416061296 + r);
            putRecordValue(r, 0, 20.0f + static_cast<float>(r), "20.0", "C");
            putRecordValue(r, 1, 50.0f + static_cast<float>(r), "50.0", "%RH");
        }
        logCounter = 5;
        logLength = 5;
        logDataNum = 2;
        fLogGetDes = 1;
        fLogging = logging;
        SetCtrlAttribute(monitorPanel, MONITOR_SAMPLE_TIMER, ATTR_ENABLED, 1);
        SetCtrlVal(monitorPanel, MONITOR_LOG_SWITCH, 1);
        SetCtrlAttribute(monitorPanel, MONITOR_SAMPLE_COUNT, ATTR_DIMMED, 1);
        SetCtrlAttribute(monitorPanel, MONITOR_SAMPLE_RATE, ATTR_DIMMED, 1);
        SetCtrlAttribute(monitorPanel, MONITOR_LOG_EXTRA, ATTR_DIMMED, 1);
        SetCtrlVal(monitorPanel, MONITOR_REC_INDICATOR, "Recording");
        SetCtrlAttribute(monitorPanel, MONITOR_REC_INDICATOR, ATTR_TEXT_COLOR, 0xFF0000);
        SetCtrlAttribute(monitorPanel, MONITOR_REC_INDICATOR, ATTR_VISIBLE,
                         indicatorVisible ? 1 : 0);
        SetCtrlVal(monitorPanel, MONITOR_SETTINGS, "Logging Data: 5 Records.");
        SetCtrlAttribute(monitorPanel, MONITOR_CHART, ATTR_LABEL_TEXT, "Chart before");
    }

    std::unique_ptr<PanelsUp> panels;
};

TEST_F(AutoStopTest, CounterSeesTheUsersSwitch)
{
    // Guards against a counter that cannot fire.
    seam::userSetValue(monitorPanel, MONITOR_LOG_SWITCH, 1);
    EXPECT_GE(logSwitchCalls, 1);
}

struct StopCase {
    const char* reason;
    bool indicatorVisible;
    const char* status;
};

void PrintTo(const StopCase& c, std::ostream* os)
{
    *os << '"' << c.reason << "\", indicator " << (c.indicatorVisible ? "shown" : "hidden");
}

class AutoStopCases : public AutoStopTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(AutoStopCases, StopsAndKeepsTheRecords)
{
    const StopCase& c = GetParam();
    runningRecording(c.indicatorVisible, 1);
    const Snapshot before = Snapshot::take();

    autoStopLogging(c.reason);

    EXPECT_EQ(fLogging, 0);
    EXPECT_FALSE(seam::timerEnabled(monitorPanel, MONITOR_SAMPLE_TIMER));
    EXPECT_EQ(seam::labelText(monitorPanel, MONITOR_CHART), c.reason);
    EXPECT_EQ(ctrlInt(MONITOR_LOG_SWITCH), 0);
    EXPECT_EQ(logSwitchCalls, 0);
    EXPECT_FALSE(seam::isDimmed(monitorPanel, MONITOR_SAMPLE_COUNT));
    EXPECT_FALSE(seam::isDimmed(monitorPanel, MONITOR_SAMPLE_RATE));
    EXPECT_FALSE(seam::isDimmed(monitorPanel, MONITOR_LOG_EXTRA));

    EXPECT_EQ(ctrlText(MONITOR_REC_INDICATOR), "Recording");
    EXPECT_EQ(seam::textColor(monitorPanel, MONITOR_REC_INDICATOR), 0xFF0000);
    // Whatever its blink phase, "Recording" goes away with the recording.
    EXPECT_FALSE(seam::isVisible(monitorPanel, MONITOR_REC_INDICATOR));
    // Not the progress of a recording that no longer runs.
    EXPECT_EQ(ctrlText(MONITOR_SETTINGS), c.status);

    EXPECT_EQ(logCounter, 5);
    EXPECT_EQ(logLength, 5);
    EXPECT_EQ(logDataNum, 2);
    EXPECT_EQ(fLogGetDes, 1);
    EXPECT_TRUE(changedBytes(before, Snapshot::take()).empty());
    EXPECT_EQ(chData[1][4], 54.0);
    EXPECT_STREQ(chUnit[1][4], "%RH");
}

const char kReached[] = "Recording stopped (sample count reached): 5 records.";
const char kRetrieved[] = "Recording stopped (file retrieved): 5 records.";
const char kChanged[] = "Recording stopped (meter's channels changed): 5 records.";
const char kNoData[] = "Recording stopped (no data from the meter): 5 records.";
const char kGone[] = "Recording stopped (meter disconnected): 5 records.";

const StopCase kStopCases[] = {
    {"Stop Logging", true, kReached},
    {"Retrieve file,Stop Logging", true, kRetrieved},
    {"Detected error,Stop Logging", true, kChanged},
    {"10 seconds no data,Stop Logging", true, kNoData},
    {"Meter disconnected", true, kGone},
    {"Stop Logging", false, kReached},
    {"Retrieve file,Stop Logging", false, kRetrieved},
    {"Detected error,Stop Logging", false, kChanged},
    {"10 seconds no data,Stop Logging", false, kNoData},
    {"Meter disconnected", false, kGone},
};

INSTANTIATE_TEST_SUITE_P(AutoStop, AutoStopCases, ::testing::ValuesIn(kStopCases),
                         [](const ::testing::TestParamInfo<StopCase>& p) {
                             return "Case" + std::to_string(p.index);
                         });

TEST_F(AutoStopTest, DoesNothingWhenNoRecordingRuns)
{
    runningRecording(true, 0);
    const Snapshot before = Snapshot::take();

    autoStopLogging("Detected error,Stop Logging");

    EXPECT_EQ(fLogging, 0);
    EXPECT_TRUE(seam::timerEnabled(monitorPanel, MONITOR_SAMPLE_TIMER));
    EXPECT_EQ(seam::labelText(monitorPanel, MONITOR_CHART), "Chart before");
    EXPECT_EQ(ctrlInt(MONITOR_LOG_SWITCH), 1);
    EXPECT_EQ(logSwitchCalls, 0);
    EXPECT_TRUE(seam::isDimmed(monitorPanel, MONITOR_SAMPLE_COUNT));
    EXPECT_TRUE(seam::isDimmed(monitorPanel, MONITOR_SAMPLE_RATE));
    EXPECT_TRUE(seam::isDimmed(monitorPanel, MONITOR_LOG_EXTRA));
    EXPECT_EQ(ctrlText(MONITOR_SETTINGS), "Logging Data: 5 Records.");
    EXPECT_EQ(logCounter, 5);
    EXPECT_TRUE(changedBytes(before, Snapshot::take()).empty());
}

TEST_F(AutoStopTest, SecondStopChangesNothing)
{
    runningRecording(true, 1);
    autoStopLogging("10 seconds no data,Stop Logging");
    // The user sets up the next recording meanwhile.
    SetCtrlAttribute(monitorPanel, MONITOR_SAMPLE_COUNT, ATTR_DIMMED, 1);
    autoStopLogging("Detected error,Stop Logging");
    EXPECT_EQ(seam::labelText(monitorPanel, MONITOR_CHART), "10 seconds no data,Stop Logging");
    EXPECT_TRUE(seam::isDimmed(monitorPanel, MONITOR_SAMPLE_COUNT));
    EXPECT_EQ(logSwitchCalls, 0);
}

}  // namespace
