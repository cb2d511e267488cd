#include "app/com_port_panel.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/port_search.h"
#include "meter/receive.h"
#include "meter/serial_link.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"

namespace {

const char* const kUirFile = "MERRIVAN.UIR";

// Whether a loaded copy of the COM port panel is on screen; comPortPanel
// keeps the handle of a discarded copy.
bool panelOpen = false;
// Auto's search opens and closes ports itself, and its pop-ups let the clock
// tick meanwhile: the link is left alone until it is over.
bool searching = false;

// The link waits for the device of awaitedPort: it went away under the open
// port, or it was missing at start-up. The wait ends when the port opens or
// when the user applies another port.
enum class Wait { None, Gone, Missing };
Wait waiting = Wait::None;
int awaitedPort = 0;

void discardComPanel()
{
    DiscardPanel(comPortPanel);
    panelOpen = false;
}

void stopWaiting()
{
    waiting = Wait::None;
    awaitedPort = 0;
}

// Opens portNo with the settings in use and installs the receive callback;
// the result of the open.
int openComLink()
{
    const int result = OpenComConfig(portNo, "", baudRate, parity, dataBits, stopBits, 256, 256);
    if (result < 0)
        return result;
    SetComTime(portNo, 1.0);
    InstallComCallback(portNo, LWRS_RXFLAG, 0, 13, comPortCharDetCallBack, nullptr);
    FlushInQ(portNo);
    FlushOutQ(portNo);
    return result;
}

// A device file that is not there (a USB adapter unplugged). A port with no
// path, or a name that is not a file path, is never reported missing.
bool deviceMissing(const char* path)
{
    if (path[0] != '/')
        return false;
    std::error_code error;
    return !std::filesystem::exists(path, error);
}

void writeWaitStatus()
{
    char path[256];
    comDevicePath(awaitedPort, path, sizeof path);
    char text[360];
    std::snprintf(text, sizeof text,
                  waiting == Wait::Gone ? "COM%d (%s): device gone, waiting for it to return."
                                        : "COM%d (%s): no device, waiting for it to be plugged in.",
                  awaitedPort, path);
    SetCtrlVal(monitorPanel, MONITOR_SETTINGS, text);
}

void showOpenFailure()
{
    discardComPanel();
    MessagePopup("COM Port ERROR!", "Invalid port number");
}

}  // namespace

void closeComPortPanel()
{
    if (panelOpen)
        discardComPanel();
}

void writeSettingsStatus()
{
    char text[96];
    std::snprintf(text, sizeof text, "Setting: COM%d, %d Bps, %d bits No Parity.", portNo,
                  baudRate, dataBits);
    SetCtrlVal(monitorPanel, MONITOR_SETTINGS, text);
}

void showStartupLinkStatus(int openResult)
{
    stopWaiting();
    char path[256];
    if (openResult < 0 && comDevicePath(portNo, path, sizeof path) >= 0 && deviceMissing(path)) {
        waiting = Wait::Missing;
        awaitedPort = portNo;
        writeWaitStatus();
        return;
    }
    writeSettingsStatus();
}

void watchComLink()
{
    if (searching)
        return;
    if (waiting == Wait::None) {
        if (!ComDeviceLost(portNo))
            return;
        waiting = Wait::Gone;
        awaitedPort = portNo;
        writeWaitStatus();
    }
    char path[256];
    if (comDevicePath(portNo, path, sizeof path) < 0 || deviceMissing(path))
        return;
    // The path may be back before the device will open (its permissions
    // still being set): the next second tries again.
    if (openComLink() < 0)
        return;
    stopWaiting();
    writeSettingsStatus();
}

void restateComLinkWait()
{
    if (waiting != Wait::None && !searching)
        writeWaitStatus();
}

int comPortCallBack(CTRL_CALLBACK_ARGS)
{
    (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
    if (event != EVENT_COMMIT)
        return 0;
    if (panelOpen) {
        DisplayPanel(comPortPanel);  // the open copy comes to the front
        return 0;
    }
    if ((comPortPanel = LoadPanel(0, kUirFile, COMPORT)) < 0)
        return -1;
    panelOpen = true;
    RecallPanelState(comPortPanel, kSettingsFile, 1);
    DisplayPanel(comPortPanel);
    return 0;
}

int CommPortCallBack(PANEL_CALLBACK_ARGS)
{
    (void)panel, (void)callbackData, (void)eventData1, (void)eventData2;
    if (event == EVENT_CLOSE)
        discardComPanel();
    return 0;
}

int comPortOkCmdCallBack(CTRL_CALLBACK_ARGS)
{
    (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
    if (event != EVENT_COMMIT)
        return 0;
    int newPort = portNo;
    GetCtrlVal(comPortPanel, COMPORT_PORTNO, &newPort);
    GetCtrlVal(comPortPanel, COMPORT_BAUDRATE, &baudRate);
    GetCtrlVal(comPortPanel, COMPORT_DATABITS, &dataBits);
    GetCtrlVal(comPortPanel, COMPORT_PARITY, &parity);
    GetCtrlVal(comPortPanel, COMPORT_STOPBITS, &stopBits);
    if (newPort != portNo) {
        CloseCom(portNo);
        portNo = newPort;
        stopWaiting();
    }
    fNewMeter = baudRate == 9600 ? 1 : 0;

    if (openComLink() < 0) {
        showOpenFailure();
    } else {
        stopWaiting();
        writeSettingsStatus();
        SavePanelState(comPortPanel, kSettingsFile, 1);
        discardComPanel();
    }
    SetCtrlAttribute(monitorPanel, MONITOR_CH1_TYPE, ATTR_VISIBLE, 0);
    SetCtrlAttribute(monitorPanel, MONITOR_CH2_TYPE, ATTR_VISIBLE, 0);
    return 0;
}

int comPortCancelCmdCallBack(CTRL_CALLBACK_ARGS)
{
    (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
    if (event == EVENT_COMMIT)
        discardComPanel();
    return 0;
}

int comPortAutoCmdCallBack(CTRL_CALLBACK_ARGS)
{
    (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
    if (event != EVENT_COMMIT)
        return 0;
    searching = true;
    Get_ComPort();
    searching = false;
    if (portNo != awaitedPort)
        stopWaiting();
    if (openComLink() < 0) {
        showOpenFailure();
        return 0;
    }
    stopWaiting();
    writeSettingsStatus();
    return 0;
}

#define IGNORE_ARGS (void)panel, (void)control, (void)event, (void)callbackData, (void)eventData1, (void)eventData2
// A changed value takes effect only through OK.
int portNoCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int baudRateCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int parityCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int dataBitsCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int stopBitsCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
