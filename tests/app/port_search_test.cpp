// The port search over pseudo-terminals standing in for USB serial adapters:
// what it selects, what it reports, what the user sees while it runs, and
// which ports it leaves open.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/merrivan.h"
#include "app/port_search.h"
#include "platform/platform.h"
#include "platform/pty_helper.h"
#include "platform/seams.h"
#include "test_support.h"
#include "ui/merrivan_uir.h"

using testsupport::PanelsUp;
using testsupport::TempDir;

namespace {

constexpr int kRed = 0xFF0000;
constexpr int kBlack = 0x000000;

// What the user sees at one Delay.
struct DelayView {
    double seconds;
    std::string status;
    int shownPort;
    int portColor;
    std::vector<int> openPorts;  // of 1..16, at this moment
};

struct PopupView {
    std::string title;
    std::string message;
    double delayedBefore;
    int shownPort;
    int portColor;
};

std::string statusText()
{
    char buf[256] = "";
    GetCtrlVal(monitorPanel, MONITOR_SETTINGS, buf);
    return buf;
}

int shownPort()
{
    int v = -1;
    GetCtrlVal(comPortPanel, COMPORT_PORTNO, &v);
    return v;
}

std::vector<int> openPortsUpTo16()
{
    std::vector<int> open;
    for (int i = 1; i <= 16; ++i)
        if (GetInQLen(i) >= 0)
            open.push_back(i);
    return open;
}

class PortSearchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        seam::reset();
        seam::clearComMap();
        for (auto& p : ptys)
            p = std::make_unique<PtyPair>();
        for (const auto& p : ptys)
            ASSERT_TRUE(p->ok());
        panels = std::make_unique<PanelsUp>();
        comPortPanel = LoadPanel(0, "MERRIVAN.UIR", COMPORT);
        ASSERT_GE(comPortPanel, 0);
        baudRate = 9600;
        parity = 0;
        dataBits = 8;
        stopBits = 1;
        portNo = 7;
        // Something the search must overwrite.
        SetCtrlVal(monitorPanel, MONITOR_SETTINGS, "Setting: COM7, 9600 Bps, 8 bits No Parity.");
        SetCtrlVal(comPortPanel, COMPORT_PORTNO, 7);

        seam::onDelay([this](double s) {
            delays.push_back({s, statusText(), shownPort(),
                              seam::textColor(comPortPanel, COMPORT_PORTNO),
                              openPortsUpTo16()});
        });
        seam::onPopup([this](const seam::Popup& p) {
            popups.push_back({p.title, p.message, seam::totalDelay(), shownPort(),
                              seam::textColor(comPortPanel, COMPORT_PORTNO)});
        });
    }

    void TearDown() override
    {
        seam::onDelay({});
        seam::onPopup({});
        for (int i = 1; i <= 17; ++i)
            CloseCom(i);
        DiscardPanel(comPortPanel);
        comPortPanel = -1;
        panels.reset();
        seam::reset();
    }

    // COM n on its own pseudo-terminal (index n - 1; COM17 uses the last).
    void plug(int n) { seam::mapComPort(n, ptys[static_cast<std::size_t>(n - 1)]->slavePath()); }

    TempDir dir;
    std::array<std::unique_ptr<PtyPair>, 17> ptys;
    std::unique_ptr<PanelsUp> panels;
    std::vector<DelayView> delays;
    std::vector<PopupView> popups;
};

struct SearchCase {
    const char* name;
    std::vector<int> present;
    int selected;
    const char* report;
};

void PrintTo(const SearchCase& c, std::ostream* os)
{
    *os << c.name;
}

const SearchCase kSearchCases[] = {
    {"OnlyCom1", {1}, 1, "The PC Have  COM1 and ... , PC Select COM1 "},
    {"Com1Com4Com9", {1, 4, 9}, 4, "The PC Have  COM1 and COM4 and COM9 and ... , PC Select COM4 "},
    {"Com2Com3", {2, 3}, 2, "The PC Have  COM2 and COM3 and ... , PC Select COM2 "},
    {"Com16Only", {16}, 16, "The PC Have  COM16 and ... , PC Select COM16 "},
    {"Com1Com16", {1, 16}, 16, "The PC Have  COM1 and COM16 and ... , PC Select COM16 "},
    {"AllSixteen",
     {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
     2,
     "The PC Have  COM1 and COM2 and COM3 and COM4 and COM5 and COM6 and COM7 and COM8 and "
     "COM9 and COM10 and COM11 and COM12 and COM13 and COM14 and COM15 and COM16 and ... , PC "
     "Select COM2 "},
    {"None", {}, 1, "The PC Have  ... , PC Select COM1 "},
};

class PortSearchCases : public PortSearchTest, public ::testing::WithParamInterface<SearchCase> {};

TEST_P(PortSearchCases, SelectsAndReports)
{
    const SearchCase& c = GetParam();
    for (int n : c.present)
        plug(n);

    EXPECT_EQ(Get_ComPort(), c.selected);
    EXPECT_EQ(portNo, c.selected);

    ASSERT_EQ(popups.size(), 2u);
    EXPECT_EQ(popups[0].title, "Plug USB Cable");
    EXPECT_EQ(popups[0].message, "Plug USB Cable for Auto Detect , Wait a moment");
    EXPECT_EQ(popups[0].delayedBefore, 0.0) << "the user is asked before the count-down";
    EXPECT_EQ(popups[1].title, "Search COM PORT");
    EXPECT_EQ(popups[1].message, c.report);
    EXPECT_NEAR(popups[1].delayedBefore, 3.0 + 16 * 0.2, 1e-9);
    EXPECT_EQ(popups[1].shownPort, c.selected);
    EXPECT_EQ(popups[1].portColor, kBlack);

    // Each port is open during its own pause only, and only when it exists.
    ASSERT_EQ(delays.size(), 3u + 16u);
    for (int i = 1; i <= 16; ++i) {
        const DelayView& d = delays[static_cast<std::size_t>(2 + i)];
        bool present = false;
        for (int n : c.present)
            present = present || n == i;
        EXPECT_EQ(d.openPorts, present ? std::vector<int>{i} : std::vector<int>{}) << "COM" << i;
    }
    EXPECT_EQ(openPortsUpTo16(), std::vector<int>{});
    EXPECT_EQ(shownPort(), c.selected);
    EXPECT_EQ(seam::textColor(comPortPanel, COMPORT_PORTNO), kBlack);
}

INSTANTIATE_TEST_SUITE_P(PortSearch, PortSearchCases, ::testing::ValuesIn(kSearchCases),
                         [](const ::testing::TestParamInfo<SearchCase>& p) {
                             return std::string(p.param.name);
                         });

TEST_F(PortSearchTest, LongestReportIs185Characters)
{
    for (int n = 1; n <= 16; ++n)
        plug(n);
    Get_ComPort();
    ASSERT_EQ(popups.size(), 2u);
    EXPECT_EQ(popups[1].message.size(), 185u);
}

TEST_F(PortSearchTest, CountDownThenTrialsInOrder)
{
    plug(5);
    Get_ComPort();

    ASSERT_EQ(delays.size(), 19u);
    const char* const countDown[] = {"     Wait  3  sec .     ", "     Wait  2  sec .     ",
                                     "     Wait  1  sec .     "};
    for (std::size_t k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(delays[k].seconds, 1.0);
        EXPECT_EQ(delays[k].status, countDown[k]);
    }
    for (int i = 1; i <= 16; ++i) {
        SCOPED_TRACE(i);
        const DelayView& d = delays[static_cast<std::size_t>(2 + i)];
        EXPECT_EQ(d.seconds, 0.2);
        EXPECT_EQ(d.status, "");
        EXPECT_EQ(d.shownPort, i);
        EXPECT_EQ(d.portColor, kRed);
    }
    EXPECT_NEAR(seam::totalDelay(), 3.0 + 16 * 0.2, 1e-9);
    EXPECT_EQ(statusText(), "");
}

// A port must open with the settings of the link; pseudo-terminals take
// eight data bits and no parity only.
struct SettingsCase {
    int parity;
    int dataBits;
    int stopBits;
    int selected;
    const char* report;
};

TEST_F(PortSearchTest, TrialsUseTheCurrentSettings)
{
    const SettingsCase cases[] = {
        {0, 8, 2, 3, "The PC Have  COM3 and COM6 and ... , PC Select COM3 "},
        {0, 7, 1, 1, "The PC Have  ... , PC Select COM1 "},
        {2, 8, 1, 1, "The PC Have  ... , PC Select COM1 "},
    };
    plug(3);
    plug(6);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.parity << c.dataBits << c.stopBits);
        popups.clear();
        parity = c.parity;
        dataBits = c.dataBits;
        stopBits = c.stopBits;
        EXPECT_EQ(Get_ComPort(), c.selected);
        ASSERT_EQ(popups.size(), 2u);
        EXPECT_EQ(popups[1].message, c.report);
        EXPECT_EQ(openPortsUpTo16(), std::vector<int>{});
    }
}

// The link's own port among 1..16 opens again for its trial and is closed
// with the others (with its receive callback); a port above 16 is neither
// tried nor closed.
void countCalls(int, int, void* data)
{
    ++*static_cast<int*>(data);
}

TEST_F(PortSearchTest, LeavesPortsAbove16AloneAndClosesTheLinkPort)
{
    plug(4);
    plug(17);
    int calls = 0;
    ASSERT_GE(OpenComConfig(17, "", 9600, 0, 8, 1, 256, 256), 0);
    ASSERT_GE(InstallComCallback(17, LWRS_RXFLAG, 0, 13, countCalls, &calls), 0);
    ASSERT_GE(OpenComConfig(4, "", 9600, 0, 8, 1, 256, 256), 0);
    ASSERT_GE(InstallComCallback(4, LWRS_RXFLAG, 0, 13, countCalls, &calls), 0);

    EXPECT_EQ(Get_ComPort(), 4);
    ASSERT_EQ(popups.size(), 2u);
    EXPECT_EQ(popups[1].message, "The PC Have  COM4 and ... , PC Select COM4 ");
    EXPECT_EQ(delays.size(), 19u);
    for (const auto& d : delays)
        EXPECT_NE(d.shownPort, 17);

    EXPECT_LT(GetInQLen(4), 0);
    EXPECT_GE(GetInQLen(17), 0);

    // COM17 still has its queue and its callback; COM4's callback has gone.
    ASSERT_TRUE(ptys[3]->write("x\r"));
    ASSERT_TRUE(ptys[16]->write("y\r"));
    EXPECT_TRUE(testsupport::waitFor([&] { return calls >= 1; }, 2000));
    testsupport::waitFor([] { return false; }, 100);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(GetInQLen(17), 2);
}

}  // namespace
