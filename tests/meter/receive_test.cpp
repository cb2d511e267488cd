// The receive path end to end: the test is the meter writing into a
// pseudo-terminal, the port is opened and the callback installed as start-up
// does, and what counts is what the two value boxes and their labels show.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/channel.h"
#include "core/decode_test_support.h"
#include "meter/link_activity.h"
#include "meter/receive.h"
#include "meter/serial_link.h"
#include "platform/platform.h"
#include "platform/pty_helper.h"
#include "platform/seams.h"
#include "test_support.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"
#include "view/display_select.h"
#include "view/monitor_fixture.h"

namespace {

constexpr int kPort = 7;

using decodetest::withLrc;

// A 9600 frame of exactly `length` characters on the wire: the content, an
// "@" trailer padded with X, and the check characters.
std::string paddedFrame(const std::string& content, std::size_t length)
{
    std::string body = content + "@";
    body.resize(length - 2, 'X');
    return withLrc(body);
}

std::string boxText(int control) { return testsupport::monitorText(control); }

struct Displays {
    std::string value1, unit1, value2, unit2;
    bool operator==(const Displays&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Displays& d)
{
    return os << "[" << d.value1 << "|" << d.unit1 << "] [" << d.value2 << "|" << d.unit2 << "]";
}

Displays shown()
{
    return {boxText(MONITOR_CH1_VALUE), seam::labelText(monitorPanel, MONITOR_CH1_VALUE),
            boxText(MONITOR_CH2_VALUE), seam::labelText(monitorPanel, MONITOR_CH2_VALUE)};
}

class ReceiveTest : public MonitorFixture {
protected:
    void SetUp() override
    {
        MonitorFixture::SetUp();
        ASSERT_TRUE(pty_.ok());
        fNewMeter = 1;
        seam::mapComPort(kPort, pty_.slavePath());
        // As start-up opens the port: a 1 s read time-out, callback on CR.
        ASSERT_GE(OpenComConfig(kPort, "", 9600, 0, 8, 1, 256, 256), 0);
        ASSERT_EQ(SetComTime(kPort, 1.0), 0);
        ASSERT_EQ(InstallComCallback(kPort, LWRS_RXFLAG, 0, 13, comPortCharDetCallBack, nullptr),
                  0);
    }
    void TearDown() override { CloseCom(kPort); }

    // Writes the bytes and waits, without running the event loop, until all
    // of them are queued, so that the test decides when the callback runs.
    void queue(const std::string& bytes)
    {
        const int before = GetInQLen(kPort);
        ASSERT_TRUE(pty_.write(bytes));
        const int want = before + static_cast<int>(bytes.size());
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (GetInQLen(kPort) < want && std::chrono::steady_clock::now() < end) {
        }
        ASSERT_EQ(GetInQLen(kPort), want);
    }

    // One CR event, delivered as the platform delivers it.
    static void crEvent() { comPortCharDetCallBack(kPort, LWRS_RXFLAG, nullptr); }

    PtyPair pty_;
};

// ---------------------------------------------------------------- displays

struct DisplayCase {
    const char* name;
    unsigned char newMeter;
    std::vector<std::string> lines;  // written one after the other, each shown
    Displays expected;
};

class ReceiveDisplayTest : public ReceiveTest, public ::testing::WithParamInterface<DisplayCase> {};

TEST_P(ReceiveDisplayTest, ValueBoxesAndUnitLabels)
{
    const DisplayCase& c = GetParam();
    fNewMeter = c.newMeter;
    for (const std::string& line : c.lines) {
        // A marker that only the callback replaces shows each line arrived.
        SetCtrlVal(monitorPanel, MONITOR_CH1_VALUE, "-");
        ASSERT_TRUE(pty_.write(line + "\r"));
        ASSERT_TRUE(testsupport::waitFor([] { return boxText(MONITOR_CH1_VALUE) != "-"; }))
            << line;
    }
    EXPECT_EQ(shown(), c.expected);
}

const std::string kTwo = withLrc("T0023.5C:H045.2%RH");

INSTANTIATE_TEST_SUITE_P(
    Frames, ReceiveDisplayTest,
    ::testing::Values(
        DisplayCase{"TwoChannels", 1, {kTwo}, {"23.5", "°C", "45.2", "%RH"}},
        DisplayCase{"NoUnitGivesEmptyLabel", 1, {withLrc("T0023.5:H045.2%RH")},
                    {"23.5", "", "45.2", "%RH"}},
        DisplayCase{"ErrorFieldGivesEmptyLabel", 1, {withLrc("E02:H____")},
                    {"E02", "", "E01", ""}},
        // Display 2 falls silent when the meter drops to one channel: no
        // stale reading of the channel that went away, no unit.
        DisplayCase{"OneChannelLeavesDisplay2Empty", 1, {kTwo, withLrc("T0024.0C")},
                    {"24.0", "°C", "", ""}},
        // A bad check sum changes no record; the boxes show the last frame again.
        DisplayCase{"BadCheckSumShowsTheLastFrame", 1, {kTwo, "T0099.9C:H099.9%RH00"},
                    {"23.5", "°C", "45.2", "%RH"}},
        // The baud rate picks the decoder: a legacy frame fails the LRC check.
        DisplayCase{"LegacyFrameOnThe9600Line", 1, {"T23.5C"}, {"", "", "", ""}},
        DisplayCase{"LegacyOneChannel", 0, {"T23.5C"}, {"23.5", "°C", "", ""}},
        // The second channel is decoded from the second two-channel frame on.
        DisplayCase{"LegacyTwoChannels", 0, {"T23.5C:H45.2%", "T23.6C:H45.3%"},
                    {"23.6", "°C", "45.3", "%RH"}},
        DisplayCase{"LegacyUnderscore", 0, {"T___"}, {"E01", "", "", ""}}),
    [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------- one CR event

TEST_F(ReceiveTest, BoxesShowTheSelectedChannels)
{
    const std::string three = withLrc("T0011.0C:H022.0%RH:v0033.0CFM");
    queue(three + "\r");
    crEvent();
    SetDispNew(2, 0);  // as the user's picks in the selector lists leave it
    queue(three + "\r");
    crEvent();
    EXPECT_EQ(shown(), (Displays{"33.0", "CFM", "11.0", "°C"}));
}

TEST_F(ReceiveTest, BurstOfTwoFramesIsDecodedInOneCallInOrder)
{
    queue(withLrc("T0011.0C:H022.0%RH:d0033.0C") + "\r" + withLrc("T0044.0C:H055.0%RH") + "\r");
    crEvent();
    EXPECT_STREQ(channel[2].valStr, "33.0");  // only the first frame has a third channel
    EXPECT_EQ(wDataNum, 2);                   // the second frame came last
    EXPECT_EQ(shown(), (Displays{"44.0", "°C", "55.0", "%RH"}));
    EXPECT_EQ(GetInQLen(kPort), 0);
}

struct LineCase {
    const char* name;
    std::string bytes;
    Displays expected;
    const char* channel2;  // value text of the third channel afterwards
    int leftQueued;
};

class ReceiveLineTest : public ReceiveTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(ReceiveLineTest, OneCrEvent)
{
    const LineCase& c = GetParam();
    queue(c.bytes);
    crEvent();
    EXPECT_EQ(shown(), c.expected);
    EXPECT_STREQ(channel[2].valStr, c.channel2);
    EXPECT_EQ(GetInQLen(kPort), c.leftQueued);
}

// Each piece's check sum only passes if the decoder saw exactly that piece.
const std::string k256 = paddedFrame("T0023.5C:H045.2%RH", 256);
const std::string kFirst256 = paddedFrame("T0011.0C:H022.0%RH:d0033.0C", 256);
const std::string kLast44 = paddedFrame("T0044.0C:H055.0%RH", 44);

INSTANTIATE_TEST_SUITE_P(
    Lengths, ReceiveLineTest,
    ::testing::Values(
        // The read stops at 256 characters; the CR behind them is passed
        // over as an empty piece.
        LineCase{"Frame256", k256 + "\r", {"23.5", "°C", "45.2", "%RH"}, "", 0},
        // A full 256-character piece is taken even before its CR is there.
        LineCase{"Piece256BeforeItsCr", k256, {"23.5", "°C", "45.2", "%RH"}, "", 0},
        // 256 characters as one frame, then the other 44 as the next.
        LineCase{"Line300", kFirst256 + kLast44 + "\r", {"44.0", "°C", "55.0", "%RH"}, "33.0",
                 0}),
    [](const auto& p) { return std::string(p.param.name); });

// A piece too short for a frame, or led by NUL, is refused and the call goes
// on: every whole frame behind it is shown by the CR event that finds it.
struct NoiseCase {
    const char* name;
    unsigned char newMeter;
    std::string bytes;
    Displays expected;
    unsigned long refused;
};

void PrintTo(const NoiseCase& c, std::ostream* os) { *os << c.name; }

class ReceiveNoiseTest : public ReceiveTest, public ::testing::WithParamInterface<NoiseCase> {};

TEST_P(ReceiveNoiseTest, FramesBehindTheNoiseAreShownInTheSameCall)
{
    const NoiseCase& c = GetParam();
    fNewMeter = c.newMeter;
    const unsigned long refused = framesRefused;
    queue(c.bytes);
    crEvent();
    EXPECT_EQ(shown(), c.expected);
    EXPECT_EQ(framesRefused - refused, c.refused);
    EXPECT_EQ(GetInQLen(kPort), 0);
}

const std::string kNul(1, '\0');

INSTANTIATE_TEST_SUITE_P(
    Pieces, ReceiveNoiseTest,
    ::testing::Values(
        NoiseCase{"ShortPiece", 1, "AB\r" + kTwo + "\r", {"23.5", "°C", "45.2", "%RH"}, 1},
        NoiseCase{"NulLedPiece", 1, kNul + "T0011.0C\r" + kTwo + "\r",
                  {"23.5", "°C", "45.2", "%RH"}, 1},
        // CR CR framing: the empty pieces between frames are passed over.
        NoiseCase{"CrCrFraming", 1, "\r" + kTwo + "\r\r" + withLrc("T0024.0C:H050.0%RH") + "\r\r",
                  {"24.0", "°C", "50.0", "%RH"}, 0},
        NoiseCase{"LegacyShortPiece", 0, "A\rT23.5C\r", {"23.5", "°C", "", ""}, 1},
        // A 1-channel legacy error reading is a whole frame of two characters.
        NoiseCase{"LegacyErrorReading", 0, "T_\r", {"E01", "", "", ""}, 0},
        NoiseCase{"LegacyErrorReadingBehindNoise", 0, kNul + "X\rT_\r", {"E01", "", "", ""}, 1}),
    [](const auto& p) { return std::string(p.param.name); });

// After a stall the meter's frames arrive at once; one CR event takes them
// all, so the display does not stay behind.
TEST_F(ReceiveTest, BacklogAfterAStallIsTakenInOneCall)
{
    std::string backlog;
    for (int i = 0; i < 32; ++i)
        backlog += withLrc("T0010.0C:H0" + std::to_string(10 + i) + ".0%RH") + "\r\r";
    backlog += kTwo + "\r\r";
    queue(backlog);
    crEvent();
    EXPECT_EQ(shown(), (Displays{"23.5", "°C", "45.2", "%RH"}));
    EXPECT_EQ(GetInQLen(kPort), 0);
}

// ---------------------------------------------------------------- no waiting

TEST_F(ReceiveTest, PartialLineDoesNotHoldTheWindow)
{
    using Clock = std::chrono::steady_clock;
    const std::string next = withLrc("T0024.0C:H050.0%RH");
    const std::string head = next.substr(0, 11);
    queue(kTwo + "\r" + head);

    const auto start = Clock::now();
    crEvent();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    EXPECT_LT(took.count(), 300);  // the port's read time-out is a whole second
    EXPECT_EQ(boxText(MONITOR_CH1_VALUE), "23.5");
    EXPECT_EQ(GetInQLen(kPort), static_cast<int>(head.size()));  // kept for its CR

    // The CR that completes the line brings it in whole.
    ASSERT_TRUE(pty_.write(next.substr(head.size()) + "\r"));
    ASSERT_TRUE(testsupport::waitFor([] { return boxText(MONITOR_CH1_VALUE) == "24.0"; }));
    EXPECT_EQ(shown(), (Displays{"24.0", "°C", "50.0", "%RH"}));
}

TEST_F(ReceiveTest, OnlyAPartialLineQueuedReturnsAtOnce)
{
    using Clock = std::chrono::steady_clock;
    queue("T0024.0C:H05");
    const auto start = Clock::now();
    crEvent();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    EXPECT_LT(took.count(), 300);
    EXPECT_EQ(GetInQLen(kPort), 12);
}

}  // namespace

namespace {

// ---------------------------------------------------------------- link activity

std::string countsAfter(unsigned long read, unsigned long refused)
{
    return "Frames: " + std::to_string(read) + " read, " + std::to_string(refused) + " refused";
}

TEST_F(ReceiveTest, LampLightsWhileFramesAreTakenAndTheCountsTellTakenFromRefused)
{
    const unsigned long read = framesRead;
    const unsigned long refused = framesRefused;
    auto lamp = [] {
        int on = -1;
        GetCtrlVal(monitorPanel, MONITOR_RX_LED, &on);
        return on;
    };
    SetCtrlVal(monitorPanel, MONITOR_RX_LED, 0);
    SetCtrlAttribute(monitorPanel, MONITOR_RX_TIMER, ATTR_ENABLED, 0);

    queue("AB\r" + withLrc("T0023.5C") + "0\r");  // too short, then a bad check sum
    crEvent();
    crEvent();
    EXPECT_EQ(lamp(), 0);
    seam::fireTimer(monitorPanel, MONITOR_RX_TIMER);
    EXPECT_EQ(boxText(MONITOR_RX_COUNT), countsAfter(read, refused + 2));

    queue(kTwo + "\r" + kTwo + "\r");
    crEvent();
    EXPECT_EQ(lamp(), 1);
    EXPECT_TRUE(seam::timerEnabled(monitorPanel, MONITOR_RX_TIMER));
    // While frames stream the lamp stays lit; the clock brings the counts.
    EXPECT_EQ(boxText(MONITOR_RX_COUNT), countsAfter(read, refused + 2));
    seam::fireTimer(monitorPanel, MONITOR_CLOCK_TIMER);
    EXPECT_EQ(boxText(MONITOR_RX_COUNT), countsAfter(read + 2, refused + 2));
    queue(kTwo + "\r");
    crEvent();
    EXPECT_EQ(lamp(), 1);
    seam::fireTimer(monitorPanel, MONITOR_RX_TIMER);
    EXPECT_EQ(lamp(), 0);
    EXPECT_FALSE(seam::timerEnabled(monitorPanel, MONITOR_RX_TIMER));
    EXPECT_EQ(boxText(MONITOR_RX_COUNT), countsAfter(read + 3, refused + 2));
}

}  // namespace
