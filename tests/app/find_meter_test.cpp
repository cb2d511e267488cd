// Find Meter over pseudo-terminals, one of them the link in use: which port
// and rate it shows, what it tells, and that only OK stores them. A
// pseudo-terminal ignores the rate, so the rate found is the first one at
// which a decoder takes the frames: 9600 for the 10-channel meter's, the
// first legacy rate tried for the legacy meter's.
#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "core/channel.h"
#include "meter/find_meter.h"
#include "meter/link_activity.h"
#include "meter/serial_link.h"
#include "platform/pty_helper.h"
#include "plugged_meter.h"
#include "program_run.h"
#include "test_support.h"

using testsupport::frame9600;
using testsupport::readFile;
using testsupport::runProgram;
using testsupport::stateIni;
using testsupport::statusLine;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

constexpr std::array<int, 4> kPorts = {2, 4, 9, 14};
constexpr int kLinkPort = 4;  // the port in use when Find Meter starts

// What a pty carries: the 10-channel meter, the legacy meter, nothing, noise.
enum Role : char { M9600 = '9', Legacy = 'L', Silent = '-', Noise = 'n' };

struct FindCase {
    const char* name;
    std::array<Role, 4> roles;  // for kPorts in order
    int port;                   // 0: no meter found
    int baud;
};

const FindCase kCases[] = {
    {"Meter9600OnCom9", {Silent, Noise, M9600, Silent}, 9, 9600},
    {"LegacyOnCom2", {Legacy, Silent, Noise, Silent}, 2, kFindRates[1]},
    {"MeterOnTheLinkInUse", {Silent, M9600, Noise, Silent}, 4, 9600},
    {"9600MeterBeforeLegacy", {Legacy, Silent, Noise, M9600}, 14, 9600},
    {"NoMeterAmongSilenceAndNoise", {Silent, Noise, Silent, Noise}, 0, 0},
};

int panelValue(int control)
{
    int v = -1;
    GetCtrlVal(comPortPanel, control, &v);
    return v;
}

// A value of the stored serial settings ([State1] of "Merrivan.ini"); -1 when absent.
int storedValue(const std::string& key)
{
    const std::string ini = readFile("Merrivan.ini");
    const std::size_t at = ini.find("\n" + key + "=", ini.find("[State1]"));
    return at == std::string::npos ? -1 : std::stoi(ini.substr(at + key.size() + 2));
}

// Bytes of noise with CRs among them, the same each run.
std::string noise(std::uint32_t& seed)
{
    std::string bytes;
    for (int i = 0; i < 40; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes += static_cast<char>(seed >> 16);
        if (i % 9 == 8)
            bytes += '\r';
    }
    return bytes;
}

class FindMeterTest : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindMeterTest, NamesThePortAndRateThatCarryTheMeterAndOnlyOkStoresThem)
{
    const FindCase& c = GetParam();
    TempDir dir;
    std::array<std::unique_ptr<PtyPair>, 4> ptys;
    seam::reset();
    seam::clearComMap();
    for (std::size_t i = 0; i < ptys.size(); ++i) {
        ptys[i] = std::make_unique<PtyPair>();
        ASSERT_TRUE(ptys[i]->ok());
        seam::mapComPort(kPorts[i], ptys[i]->slavePath());
    }
    const std::string stored = stateIni(kLinkPort, 9600, 0, 8, 1);
    writeFile("Merrivan.ini", stored);

    // Each step of the listening, every meter sends a frame; the step ends
    // once it has reached the port, as a real second would see to.
    std::uint32_t seed = 7;
    std::string firstStatus;
    seam::onDelay([&](double) {
        if (firstStatus.empty())
            firstStatus = statusLine();
        for (std::size_t i = 0; i < ptys.size(); ++i) {
            const Role role = c.roles[i];
            if (role == Noise)
                ptys[i]->write(noise(seed));
            if (role != M9600 && role != Legacy)
                continue;
            ptys[i]->write(role == M9600 ? frame9600("T0023.5C:H045.2%RH") : "T23.5C:H45.2%\r");
            for (int n = 0; n < 500 && ComTermQueued(kPorts[i], 13) == 0; ++n)
                ::usleep(1000);
        }
    });

    runProgram([&] {
        // What the meter in use has told of its channels stays, whatever
        // the listening decoded.
        channel[0].type = 4;  // humidity
        wDataNum = 1;
        seam::userPress(monitorPanel, MONITOR_COMPORT_CMD);
        seam::userPress(comPortPanel, COMPORT_FIND);
        EXPECT_EQ(channel[0].type, 4);
        EXPECT_EQ(wDataNum, 1);
        seam::onDelay({});

        EXPECT_EQ(firstStatus, "Find Meter: listening at 9600 baud on 4 ports ...");
        ASSERT_EQ(seam::popups().size(), 1u);
        EXPECT_EQ(seam::popups()[0].title, "Find Meter");
        const std::string& told = seam::popups()[0].message;
        if (c.port == 0) {
            EXPECT_EQ(told.rfind("No meter found", 0), 0u) << told;
        } else {
            std::string path;
            for (std::size_t i = 0; i < kPorts.size(); ++i)
                if (kPorts[i] == c.port)
                    path = ptys[i]->slavePath();
            EXPECT_EQ(told.rfind("The meter sends on COM" + std::to_string(c.port) + " (" + path +
                                     ") at " + std::to_string(c.baud) + " baud",
                                 0),
                      0u)
                << told;
        }
        // Shown, not applied: the link goes on as before and nothing is stored.
        const int shownPort = c.port == 0 ? kLinkPort : c.port;
        const int shownBaud = c.port == 0 ? 9600 : c.baud;
        EXPECT_EQ(panelValue(COMPORT_PORTNO), shownPort);
        EXPECT_EQ(panelValue(COMPORT_BAUDRATE), shownBaud);
        EXPECT_EQ(statusLine(), "Setting: COM4, 9600 Bps, 8 bits No Parity.");
        EXPECT_GE(GetInQLen(kLinkPort), 0);
        EXPECT_EQ(portNo, kLinkPort);
        EXPECT_EQ(readFile("Merrivan.ini"), stored);
        for (int port : kPorts) {
            if (port != kLinkPort) {
                EXPECT_LT(GetInQLen(port), 0) << "COM" << port << " left open";
            }
        }

        seam::userPress(comPortPanel, COMPORT_OK);
        EXPECT_EQ(portNo, shownPort);
        EXPECT_EQ(baudRate, shownBaud);
        EXPECT_EQ(storedValue("COMPORT_PORTNO"), shownPort);
        EXPECT_EQ(storedValue("COMPORT_BAUDRATE"), shownBaud);
    });
}

INSTANTIATE_TEST_SUITE_P(Roles, FindMeterTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FindCase>& param) {
                             return std::string(param.param.name);
                         });

// A first start searches for a port; when the one it picked stays silent, the
// user is offered Find Meter a few seconds after the start, and once.
struct OfferCase {
    const char* name;
    bool meterSends;
};

class FindMeterOfferTest : public ::testing::TestWithParam<OfferCase> {};

TEST_P(FindMeterOfferTest, FirstStartOffersFindMeterOnlyWhenThePortStaysSilent)
{
    TempDir dir;
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    seam::reset();
    seam::clearComMap();
    seam::mapComPort(4, pty.slavePath());
    const bool sends = GetParam().meterSends;

    int offers = 0;
    runProgram([&] {
        const std::size_t before = seam::popups().size();
        if (sends) {
            pty.write(frame9600("T0023.5C:H045.2%RH"));
            ASSERT_TRUE(testsupport::waitFor([] { return framesRead > 0; }));
        }
        const std::string stored = readFile("Merrivan.ini");
        seam::advanceMonotonicClock(4);
        seam::fireTimer(monitorPanel, MONITOR_CLOCK_TIMER);
        EXPECT_EQ(seam::popups().size(), before) << "offered too soon";
        seam::advanceMonotonicClock(1);
        seam::pushConfirmAnswer(1);
        seam::fireTimer(monitorPanel, MONITOR_CLOCK_TIMER);
        seam::advanceMonotonicClock(60);
        seam::fireTimer(monitorPanel, MONITOR_CLOCK_TIMER);
        for (std::size_t i = before; i < seam::popups().size(); ++i)
            if (seam::popups()[i].kind == "confirm") {
                ++offers;
                EXPECT_EQ(seam::popups()[i].title, "Find Meter");
                EXPECT_EQ(seam::popups()[i].message,
                          "No data from COM4.\nLook for the meter on every serial port?");
            }
        if (!sends) {
            // Yes ran Find Meter in the Serial Port window; nothing is stored.
            ASSERT_EQ(seam::popups().size(), before + 2);
            EXPECT_EQ(seam::popups().back().message.rfind("No meter found", 0), 0u);
            EXPECT_TRUE(seam::panelVisible(comPortPanel));
            EXPECT_EQ(readFile("Merrivan.ini"), stored);
        }
    });
    EXPECT_EQ(offers, sends ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(FirstStart, FindMeterOfferTest,
                         ::testing::Values(OfferCase{"SilentPort", false},
                                           OfferCase{"MeterSending", true}),
                         [](const ::testing::TestParamInfo<OfferCase>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
