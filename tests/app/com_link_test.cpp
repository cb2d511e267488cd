// Every way the link opens - start-up, OK, Auto, and by itself once a lost or
// missing device is back - leaves the port open with the receiver in place and
// its queue emptied: the start of a frame sent before the open never spoils
// the first reading after it.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "plugged_meter.h"
#include "program_run.h"
#include "test_support.h"

using testsupport::PluggedMeter;
using testsupport::runProgram;
using testsupport::sawPopup;
using testsupport::stateIni;
using testsupport::statusLine;
using testsupport::TempDir;
using testsupport::waitFor;
using testsupport::writeFile;

namespace {

constexpr int kPort = 2;
const char* const kSettings = "Setting: COM2, 9600 Bps, 8 bits No Parity.";
// A frame cut short: whatever follows it up to a CR would be one bad frame.
const std::string kStale = "T0099.9C:H0";

void clockTick() { seam::fireTimer(monitorPanel, MONITOR_CLOCK_TIMER); }

class ComLinkTest : public ::testing::Test {
protected:
    TempDir dir;
    const std::string link = dir.file("meter");
    PluggedMeter meter{link};
};

TEST_F(ComLinkTest, EveryWayInEmptiesTheQueueAndReceives)
{
    struct Case {
        const char* how;
        bool pluggedAtStart;
        // Runs with the program up; the meter has sent kStale before the open.
        std::function<void(PluggedMeter&)> openLink;
    };
    const Case cases[] = {
        {"start-up", true, [](PluggedMeter&) {}},
        {"OK", true,
         [](PluggedMeter& m) {
             ASSERT_TRUE(m.send(kStale));
             ASSERT_TRUE(waitFor([] { return GetInQLen(kPort) == int(kStale.size()); }));
             seam::userPress(monitorPanel, MONITOR_COMPORT_CMD);
             seam::userPress(comPortPanel, COMPORT_OK);
         }},
        {"Auto", true,
         [](PluggedMeter& m) {
             // Sent while the search has the port closed.
             bool sent = false;
             seam::onDelay([&](double) {
                 if (!sent && GetInQLen(kPort) < 0)
                     sent = m.send(kStale);
             });
             seam::userPress(monitorPanel, MONITOR_COMPORT_CMD);
             seam::userPress(comPortPanel, COMPORT_AUTO);
             seam::onDelay({});
             seam::userPress(comPortPanel, COMPORT_CANCEL);
             EXPECT_TRUE(sent);
         }},
        {"by itself after a loss", true,
         [](PluggedMeter& m) {
             m.pull();
             ASSERT_TRUE(waitFor([] { return ComDeviceLost(kPort) == 1; }));
             clockTick();
             ASSERT_TRUE(m.plug());
             ASSERT_TRUE(m.send(kStale));
             clockTick();
         }},
        {"by itself once plugged in", false,
         [](PluggedMeter& m) {
             ASSERT_TRUE(m.plug());
             ASSERT_TRUE(m.send(kStale));
             clockTick();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        seam::reset();
        seam::clearComMap();
        writeFile("Merrivan.ini", stateIni(kPort, 9600, 0, 8, 1) + "[ComPorts]\nCOM2=" + link + "\n");
        if (c.pluggedAtStart) {
            ASSERT_TRUE(meter.plug());
            ASSERT_TRUE(meter.send(kStale));
        }
        runProgram([&] {
            c.openLink(meter);
            EXPECT_EQ(statusLine(), kSettings);
            EXPECT_TRUE(meter.readingShows("24.5"));
            meter.pull();
        });
        EXPECT_FALSE(sawPopup("COM Port ERROR!"));
    }
}

}  // namespace
