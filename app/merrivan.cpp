#include "app/merrivan.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/com_port_panel.h"
#include "app/port_search.h"
#include "meter/com_link.h"
#include "meter/link_activity.h"
#include "platform/platform.h"
#include "core/clock.h"
#include "core/record_buffer.h"
#include "record/recording.h"
#include "ui/merrivan_uir.h"
#include "view/alarm_limits.h"
#include "view/statistics.h"

namespace {

const char* const kUirFile = "MERRIVAN.UIR";

// Reads the PC clock into sysClock; rtc2CRtc splits its texts in place.
void setClockFromPc()
{
    char date[16];
    char time[16];
    PcClockStr(date, sizeof date, time, sizeof time);
    rtc2CRtc(date, time, &sysClock);
}

void confirmExit()
{
    if (!ConfirmPopup("Exit", "Exit the program ? "))
        return;
    SavePanelState(monitorPanel, kSettingsFile, 0);
    QuitUserInterface(0);
}

}  // namespace

int merrivanMain(int, char* argv[])
{
    if (InitCVIRTE(0, argv, 0) == 0)
        return -1;
    uiInstallPanels();
    registerMerrivanCallbacks();

    if ((monitorPanel = LoadPanel(0, kUirFile, MONITOR)) < 0)
        return -1;
    if ((comPortPanel = LoadPanel(0, kUirFile, COMPORT)) < 0)
        return -1;
    if ((statisticPanel = LoadPanel(0, kUirFile, STATISTIC)) < 0)
        return -1;

    DisplayImageFile(monitorPanel, MONITOR_LOGO, "NoLogo.jpg");
    SetCtrlAttribute(monitorPanel, MONITOR_LOGO, ATTR_VISIBLE, 1);

    if (RecallPanelState(comPortPanel, kSettingsFile, 1) >= 0) {
        GetCtrlVal(comPortPanel, COMPORT_PORTNO, &portNo);
        GetCtrlVal(comPortPanel, COMPORT_BAUDRATE, &baudRate);
        GetCtrlVal(comPortPanel, COMPORT_DATABITS, &dataBits);
        GetCtrlVal(comPortPanel, COMPORT_PARITY, &parity);
        GetCtrlVal(comPortPanel, COMPORT_STOPBITS, &stopBits);
    } else {
        portNo = 1;
        baudRate = 9600;
        parity = 0;
        dataBits = 8;
        stopBits = 1;
        DisplayPanel(monitorPanel);
        DisplayPanel(comPortPanel);
        Get_ComPort();
        DisplayPanel(monitorPanel);
        SetCtrlVal(comPortPanel, COMPORT_PORTNO, portNo);
        SavePanelState(comPortPanel, kSettingsFile, 1);
    }

    fNewMeter = baudRate == 9600 ? 1 : 0;

    const int opened = openComLink();

    SetCtrlAttribute(monitorPanel, MONITOR_CH1_TYPE, ATTR_VISIBLE, 0);
    SetCtrlAttribute(monitorPanel, MONITOR_CH2_TYPE, ATTR_VISIBLE, 0);
    SetCtrlAttribute(monitorPanel, MONITOR_CH1_SELECT, ATTR_VISIBLE, 0);
    SetCtrlAttribute(monitorPanel, MONITOR_CH2_SELECT, ATTR_VISIBLE, 0);

    DiscardPanel(comPortPanel);

    showStartupLinkStatus(opened);

    logCounter = 0;
    logLength = 0;

    SetCtrlVal(monitorPanel, MONITOR_DATE, DateStr());
    SetCtrlVal(monitorPanel, MONITOR_TIME, TimeStr());

    defaultSensorType();
    defaultValue();

    // tools/run.sh sets this when it runs the program against metersim.
    if (const char* simulated = std::getenv("MERRIVAN_SIMULATED_METER"); simulated && *simulated)
        SetPanelTitle(monitorPanel, "Merrivan - simulated meter");
    DisplayPanel(monitorPanel);
    RunUserInterface();

    closeComPortPanel();
    closeComLink();
    DiscardPanel(monitorPanel);
    return 0;
}

void defaultValue()
{
    fLogging = 0;
    GetCtrlVal(monitorPanel, MONITOR_GAIN, &vGain);
    GetCtrlVal(monitorPanel, MONITOR_OFFSET, &vOffset);
    setChartScale();
    fUpdateHistogram = 0;
    setClockFromPc();
    for (int i = 0; i < 10; ++i) {
        vSw[i] = 0;
        vHi[i] = 50.0f;
        vLow[i] = 0.0f;
    }
}

int MonitorPanCallBack(PANEL_CALLBACK_ARGS)
{
    if (event == EVENT_CLOSE)
        confirmExit();
    return 0;
}

int exitCallBack(CTRL_CALLBACK_ARGS)
{
    if (event == EVENT_COMMIT)
        confirmExit();
    return 0;
}

int helpCallBack(CTRL_CALLBACK_ARGS)
{
    if (event == EVENT_COMMIT)
        LaunchExecutable("hh RS232 HELP.chm");
    return 0;
}

int printGraphCallBack(CTRL_CALLBACK_ARGS)
{
    if (event == EVENT_COMMIT)
        PrintPanel(monitorPanel, "", 0, 1, 1);
    return 0;
}

int printCallBack(CTRL_CALLBACK_ARGS)
{
    if (event == EVENT_COMMIT)
        PrintPanel(statisticPanel, "", 1, 1, 1);
    return 0;
}

int timeTickCallBack(CTRL_CALLBACK_ARGS)
{
    // Unsigned step: the count wraps in 2068 instead of overflowing.
    sysClock = static_cast<int>(static_cast<unsigned>(sysClock) + 1u);
    if (event == EVENT_TIMER_TICK) {
        SetCtrlVal(monitorPanel, MONITOR_DATE, DateStr());
        SetCtrlVal(monitorPanel, MONITOR_TIME, TimeStr());
        watchComLink();
        showMeterSilence();
        showLinkCounts();
    }
    return 0;
}
