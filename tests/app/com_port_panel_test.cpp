// The serial port settings panel, driven as a user would through the running
// program, with pseudo-terminals as the meter's ports.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "meter/serial_link.h"
#include "platform/pty_helper.h"
#include "program_run.h"
#include "test_support.h"

using testsupport::readFile;
using testsupport::runProgram;
using testsupport::sawPopup;
using testsupport::stateIni;
using testsupport::statusLine;
using testsupport::TempDir;
using testsupport::waitFor;
using testsupport::writeFile;

namespace {

const char* const kNoDevice = "/dev/merrivan-no-such-device";

void openPanel() { seam::userPress(monitorPanel, MONITOR_COMPORT_CMD); }

int panelValue(int control)
{
    int v = -1;
    GetCtrlVal(comPortPanel, control, &v);
    return v;
}

void showTypeTexts()
{
    SetCtrlAttribute(monitorPanel, MONITOR_CH1_TYPE, ATTR_VISIBLE, 1);
    SetCtrlAttribute(monitorPanel, MONITOR_CH2_TYPE, ATTR_VISIBLE, 1);
}

void expectTypeTextsHidden()
{
    EXPECT_FALSE(seam::isVisible(monitorPanel, MONITOR_CH1_TYPE));
    EXPECT_FALSE(seam::isVisible(monitorPanel, MONITOR_CH2_TYPE));
}

// A value of the stored serial settings ([State1] of "Merrivan.ini"); -1 when absent.
int storedValue(const std::string& key)
{
    const std::string ini = readFile("Merrivan.ini");
    const std::size_t at = ini.find("\n" + key + "=", ini.find("[State1]"));
    return at == std::string::npos ? -1 : std::stoi(ini.substr(at + key.size() + 2));
}

// Bytes without a CR reach the port's queue and stay there.
bool portReads(int port, const PtyPair& meter)
{
    const int before = GetInQLen(port);
    return before >= 0 && meter.write("abc") && waitFor([&] { return GetInQLen(port) == before + 3; });
}

class ComPortPanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(meter.ok());
        ASSERT_TRUE(other.ok());
        restart();
    }
    // The state a fresh program start sees.
    void restart()
    {
        seam::reset();
        seam::clearComMap();
        seam::mapComPort(2, meter.slavePath());
        seam::mapComPort(3, other.slavePath());
        seam::mapComPort(5, kNoDevice);
    }
    TempDir dir;
    PtyPair meter;  // COM2
    PtyPair other;  // COM3
};

TEST_F(ComPortPanelTest, OkOnTheSamePortAppliesTheRateWithoutClosingAndStoresIt)
{
    struct Case {
        int storedBaud, newBaud;
        unsigned char newMeter;
        const char* status;
    };
    const Case cases[] = {
        {9600, 4800, 0, "Setting: COM2, 4800 Bps, 8 bits No Parity."},
        {4800, 9600, 1, "Setting: COM2, 9600 Bps, 8 bits No Parity."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        restart();
        // The port reaches the pty through a link that is gone by the time
        // of OK: only the descriptor kept open can still read.
        ASSERT_EQ(::symlink(meter.slavePath().c_str(), dir.file("link").c_str()), 0);
        seam::mapComPort(2, dir.file("link"));
        writeFile("Merrivan.ini", stateIni(2, c.storedBaud, 0, 8, 1));
        runProgram([&] {
            const int shown = seam::livePanels();  // Monitor and Statistics
            ::unlink(dir.file("link").c_str());
            showTypeTexts();
            openPanel();
            seam::userSetValue(comPortPanel, COMPORT_BAUDRATE, c.newBaud);
            seam::userPress(comPortPanel, COMPORT_OK);
            EXPECT_EQ(statusLine(), c.status);
            EXPECT_EQ(fNewMeter, c.newMeter);
            EXPECT_TRUE(portReads(2, meter));
            EXPECT_EQ(seam::livePanels(), shown);
            expectTypeTextsHidden();
            EXPECT_EQ(storedValue("COMPORT_BAUDRATE"), c.newBaud);
            EXPECT_EQ(storedValue("COMPORT_PORTNO"), 2);
        });
        EXPECT_FALSE(sawPopup("COM Port ERROR!"));
    }
}

TEST_F(ComPortPanelTest, OkOnAPortWithoutDeviceClosesTheOldOneAndStoresNothing)
{
    const std::string stored = stateIni(2, 9600, 0, 8, 1);
    writeFile("Merrivan.ini", stored);
    runProgram([&] {
        const int shown = seam::livePanels();  // Monitor and Statistics
        showTypeTexts();
        openPanel();
        seam::userSetValue(comPortPanel, COMPORT_PORTNO, 5);
        seam::userSetValue(comPortPanel, COMPORT_BAUDRATE, 4800);
        seam::userPress(comPortPanel, COMPORT_OK);
        ASSERT_EQ(seam::popups().size(), 1u);
        EXPECT_EQ(seam::popups()[0].kind, "message");
        EXPECT_EQ(seam::popups()[0].title, "COM Port ERROR!");
        EXPECT_EQ(seam::popups()[0].message, "Invalid port number");
        EXPECT_LT(GetInQLen(2), 0);
        EXPECT_EQ(seam::livePanels(), shown);
        expectTypeTextsHidden();
        EXPECT_EQ(portNo, 5);  // the globals keep what was tried
        EXPECT_EQ(baudRate, 4800);
        // The old text stays, also once the clock has ticked: a port the user
        // chose is not waited for.
        seam::fireTimer(monitorPanel, MONITOR_CLOCK_TIMER);
        EXPECT_EQ(statusLine(), "Setting: COM2, 9600 Bps, 8 bits No Parity.");
        EXPECT_EQ(readFile("Merrivan.ini"), stored);

        openPanel();
        EXPECT_EQ(panelValue(COMPORT_PORTNO), 2);
        EXPECT_EQ(panelValue(COMPORT_BAUDRATE), 9600);
        seam::userPress(comPortPanel, COMPORT_CANCEL);
    });
}

TEST_F(ComPortPanelTest, AutoUsesTheFoundPortAndOnlyOkStoresIt)
{
    struct Case {
        int closingButton;
        int nextStartPort;
    };
    const Case cases[] = {{COMPORT_CANCEL, 5}, {COMPORT_OK, 3}};
    // COM5 is the stored port here, and the search selects COM3.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.closingButton);
        restart();
        seam::mapComPort(2, "");
        seam::mapComPort(5, meter.slavePath());
        const std::string stored = stateIni(5, 9600, 0, 8, 1);
        writeFile("Merrivan.ini", stored);
        runProgram([&] {
            const int shown = seam::livePanels();  // Monitor and Statistics
            openPanel();
            seam::userPress(comPortPanel, COMPORT_AUTO);
            EXPECT_TRUE(sawPopup("Search COM PORT"));
            EXPECT_EQ(statusLine(), "Setting: COM3, 9600 Bps, 8 bits No Parity.");
            EXPECT_TRUE(seam::panelVisible(comPortPanel));
            EXPECT_EQ(panelValue(COMPORT_PORTNO), 3);
            EXPECT_EQ(readFile("Merrivan.ini"), stored);
            seam::userPress(comPortPanel, c.closingButton);
            EXPECT_EQ(seam::livePanels(), shown);
            EXPECT_EQ(portNo, 3);
            EXPECT_TRUE(portReads(3, other));
            EXPECT_LT(GetInQLen(5), 0);
        });
        EXPECT_FALSE(sawPopup("COM Port ERROR!"));
        restart();
        seam::mapComPort(5, meter.slavePath());
        EXPECT_EQ(runProgram().status, "Setting: COM" + std::to_string(c.nextStartPort) +
                                           ", 9600 Bps, 8 bits No Parity.");
    }
}

TEST_F(ComPortPanelTest, CancelAndTheCloseBoxChangeNothing)
{
    const std::string stored = stateIni(2, 9600, 0, 8, 1);
    for (bool closeBox : {false, true}) {
        SCOPED_TRACE(closeBox ? "close box" : "Cancel");
        restart();
        writeFile("Merrivan.ini", stored);
        runProgram([&] {
            const int shown = seam::livePanels();  // Monitor and Statistics
            showTypeTexts();
            openPanel();
            seam::userSetValue(comPortPanel, COMPORT_PORTNO, 3);
            seam::userSetValue(comPortPanel, COMPORT_BAUDRATE, 4800);
            // Opening again brings this copy forward, with what was chosen.
            openPanel();
            EXPECT_EQ(seam::livePanels(), shown + 1);
            EXPECT_EQ(panelValue(COMPORT_BAUDRATE), 4800);
            if (closeBox)
                seam::userClose(comPortPanel);
            else
                seam::userPress(comPortPanel, COMPORT_CANCEL);
            EXPECT_EQ(seam::livePanels(), shown);
            EXPECT_EQ(readFile("Merrivan.ini"), stored);
            EXPECT_EQ(statusLine(), "Setting: COM2, 9600 Bps, 8 bits No Parity.");
            EXPECT_EQ(portNo, 2);
            EXPECT_EQ(baudRate, 9600);
            EXPECT_EQ(fNewMeter, 1);
            EXPECT_TRUE(portReads(2, meter));
            EXPECT_TRUE(seam::isVisible(monitorPanel, MONITOR_CH1_TYPE));
            // A fresh copy shows the stored settings again.
            openPanel();
            EXPECT_EQ(panelValue(COMPORT_PORTNO), 2);
            seam::userPress(comPortPanel, COMPORT_CANCEL);
        });
        EXPECT_EQ(seam::popups().size(), 1u);  // the exit question only
    }
}

}  // namespace
