#include "app/com_port_panel.h"

#include <cstdio>

#include "app/port_search.h"
#include "meter/com_link.h"
#include "meter/find_meter.h"
#include "meter/serial_link.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"

namespace {

const char* const kUirFile = "MERRIVAN.UIR";

// Whether a loaded copy of the COM port panel is on screen; comPortPanel
// keeps the handle of a discarded copy.
bool panelOpen = false;

void discardComPanel()
{
    DiscardPanel(comPortPanel);
    panelOpen = false;
}

void showOpenFailure()
{
    discardComPanel();
    MessagePopup("COM Port ERROR!", "Invalid port number");
}

void showListening(long rate, int ports)
{
    char text[96];
    std::snprintf(text, sizeof text, "Find Meter: listening at %ld baud on %d port%s ...", rate,
                  ports, ports == 1 ? "" : "s");
    SetCtrlVal(monitorPanel, MONITOR_SETTINGS, text);
}

void reportFound(const MeterFound& found)
{
    char device[256] = "";
    if (comStableName(found.port, device, sizeof device) < 0 || !*device)
        comDevicePath(found.port, device, sizeof device);
    char text[512];
    std::snprintf(text, sizeof text,
                  "The meter sends on COM%d (%s) at %ld baud: %s.\n"
                  "The Serial Port window shows these settings now: OK uses and stores them, "
                  "Cancel keeps the settings in use.",
                  found.port, device, found.baudRate,
                  found.baudRate == 9600 ? "the 10-channel meter" : "a legacy meter");
    MessagePopup("Find Meter", text);
}

}  // namespace

void closeComPortPanel()
{
    if (panelOpen)
        discardComPanel();
}

int comPortCallBack(CTRL_CALLBACK_ARGS)
{
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
    if (event == EVENT_CLOSE)
        discardComPanel();
    return 0;
}

int comPortOkCmdCallBack(CTRL_CALLBACK_ARGS)
{
    if (event != EVENT_COMMIT)
        return 0;
    int newPort = portNo;
    GetCtrlVal(comPortPanel, COMPORT_PORTNO, &newPort);
    GetCtrlVal(comPortPanel, COMPORT_BAUDRATE, &baudRate);
    GetCtrlVal(comPortPanel, COMPORT_DATABITS, &dataBits);
    GetCtrlVal(comPortPanel, COMPORT_PARITY, &parity);
    GetCtrlVal(comPortPanel, COMPORT_STOPBITS, &stopBits);
    useComPort(newPort);
    fNewMeter = baudRate == 9600 ? 1 : 0;

    if (reopenComLink() < 0) {
        showOpenFailure();
    } else {
        SavePanelState(comPortPanel, kSettingsFile, 1);
        discardComPanel();
    }
    SetCtrlAttribute(monitorPanel, MONITOR_CH1_TYPE, ATTR_VISIBLE, 0);
    SetCtrlAttribute(monitorPanel, MONITOR_CH2_TYPE, ATTR_VISIBLE, 0);
    return 0;
}

int comPortCancelCmdCallBack(CTRL_CALLBACK_ARGS)
{
    if (event == EVENT_COMMIT)
        discardComPanel();
    return 0;
}

int comPortAutoCmdCallBack(CTRL_CALLBACK_ARGS)
{
    if (event != EVENT_COMMIT)
        return 0;
    beginComPortSearch();
    Get_ComPort();
    endComPortSearch();
    if (reopenComLink() < 0)
        showOpenFailure();
    return 0;
}

int comPortFindCmdCallBack(CTRL_CALLBACK_ARGS)
{
    if (event != EVENT_COMMIT)
        return 0;
    int listenParity = parity;
    int listenDataBits = dataBits;
    int listenStopBits = stopBits;
    GetCtrlVal(comPortPanel, COMPORT_PARITY, &listenParity);
    GetCtrlVal(comPortPanel, COMPORT_DATABITS, &listenDataBits);
    GetCtrlVal(comPortPanel, COMPORT_STOPBITS, &listenStopBits);

    // The meter may be on the port in use, which opens only once.
    beginComPortSearch();
    closeComLink();
    MeterFound found;
    {
        const BusyCursor busy;  // seconds of listening; no pop-up under it
        found = findMeter(listenParity, listenDataBits, listenStopBits, showListening);
        endComPortSearch();
        // Nothing changes before OK: the link goes on with the settings in use.
        reopenComLink();
        restateComLinkWait();
    }

    if (found.port == 0) {
        MessagePopup("Find Meter",
                     "No meter found: no serial port of this PC carried the meter's frames, at "
                     "9600 baud nor at any legacy meter's rate.\n"
                     "Check that the meter is on and its cable plugged in, then try again. "
                     "The settings in use are unchanged.");
        return 0;
    }
    SetCtrlVal(comPortPanel, COMPORT_PORTNO, found.port);
    SetCtrlVal(comPortPanel, COMPORT_BAUDRATE, static_cast<int>(found.baudRate));
    reportFound(found);
    return 0;
}

// A changed value takes effect only through OK.
int portNoCallBack(CTRL_CALLBACK_ARGS) { return 0; }
int baudRateCallBack(CTRL_CALLBACK_ARGS) { return 0; }
int parityCallBack(CTRL_CALLBACK_ARGS) { return 0; }
int dataBitsCallBack(CTRL_CALLBACK_ARGS) { return 0; }
int stopBitsCallBack(CTRL_CALLBACK_ARGS) { return 0; }
