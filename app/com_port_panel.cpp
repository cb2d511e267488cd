#include "app/com_port_panel.h"

#include "app/port_search.h"
#include "meter/com_link.h"
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

// A changed value takes effect only through OK.
int portNoCallBack(CTRL_CALLBACK_ARGS) { return 0; }
int baudRateCallBack(CTRL_CALLBACK_ARGS) { return 0; }
int parityCallBack(CTRL_CALLBACK_ARGS) { return 0; }
int dataBitsCallBack(CTRL_CALLBACK_ARGS) { return 0; }
int stopBitsCallBack(CTRL_CALLBACK_ARGS) { return 0; }
