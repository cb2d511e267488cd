#include "app/merrivan.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/com_port_panel.h"
#include "app/port_search.h"
#include "app/run_options.h"
#include "app/setup_memory.h"
#include "core/clock.h"
#include "core/record_buffer.h"
#include "history/history.h"
#include "history/trend.h"
#include "meter/com_link.h"
#include "meter/link_activity.h"
#include "platform/platform.h"
#include "publish/mqtt_panel.h"
#include "publish/publish.h"
#include "record/data_file.h"
#include "record/recording.h"
#include "ui/merrivan_uir.h"
#include "view/alarm_limits.h"
#include "view/statistics.h"

namespace {

const char* const kUirFile = "MERRIVAN.UIR";

// Reads the PC clock into sysClock, which from then on follows the elapsed
// time, not the timer ticks; rtc2CRtc splits its texts in place.
void setClockFromPc()
{
    char date[16];
    char time[16];
    PcClockStr(date, sizeof date, time, sizeof time);
    sysClock.follow(&MonotonicMs);
    sysClock = rtc2CRtc(date, time, nullptr);
}

// Records not saved since they were taken are never lost without a word:
// Save... exits only once they are in a file.
bool unsavedRecordsLetGo()
{
    char message[256];
    const char* const question = "Save them before the program exits?";
    if (fLogging)
        std::snprintf(message, sizeof message,
                      "A recording is in progress with %d records that are not saved.\n%s",
                      recordsTaken(), question);
    else
        std::snprintf(message, sizeof message, "%d recorded records are not saved.\n%s",
                      recordsHeld(), question);
    switch (ChoicePopup("Exit", message, "Save...", "Discard", "Cancel")) {
    case 1:
        saveFileCallBack(monitorPanel, MONITOR_SAVE, EVENT_COMMIT, nullptr, 0, 0);
        return !recordsUnsaved();
    case 2:
        return true;
    default:
        return false;
    }
}

// After a first start the searched port is only the first one that opened;
// when it brings no frame soon, the user is offered Find Meter.
constexpr long long kFindOfferAfterMs = 5000;
long long findOfferAtMs = -1;  // MonotonicMs of the offer; -1: none due
unsigned long framesBeforeOffer = 0;

void offerFindMeter()
{
    if (findOfferAtMs < 0 || MonotonicMs() < findOfferAtMs)
        return;
    findOfferAtMs = -1;  // once: a pop-up's own loop runs the clock on
    if (framesRead != framesBeforeOffer || fLogging)
        return;
    char message[160];
    std::snprintf(message, sizeof message,
                  "No data from COM%d.\nLook for the meter on every serial port?", portNo);
    if (!ConfirmPopup("Find Meter", message))
        return;
    // As the user would: the Serial Port window, then its Find Meter button;
    // only its OK applies and stores what was found.
    comPortCallBack(monitorPanel, MONITOR_COMPORT_CMD, EVENT_COMMIT, nullptr, 0, 0);
    comPortFindCmdCallBack(comPortPanel, COMPORT_FIND, EVENT_COMMIT, nullptr, 0, 0);
}

// Without a screen a stop signal is the user's confirmed Exit. A journal is
// left alone: only a run with a screen records, and its next start offers it.
void stopHeadless()
{
    SavePanelState(monitorPanel, kSettingsFile, 0);
    QuitUserInterface(0);
}

void confirmExit()
{
    if (recordsUnsaved() ? !unsavedRecordsLetGo() : !ConfirmPopup("Exit", "Exit the program ? "))
        return;
    endJournal();
    SavePanelState(monitorPanel, kSettingsFile, 0);
    QuitUserInterface(0);
}

}  // namespace

int merrivanMain(int argc, char* argv[])
{
    RunOptions options;
    switch (readRunOptions(argc, argv, &options)) {
    case OptionsRead::Help:
        return 0;
    case OptionsRead::Bad:
        return 2;
    case OptionsRead::Run:
        break;
    }
    SetHeadless(options.headless ? 1 : 0);
    if (!options.settings.empty())
        SetSettingsFile(options.settings.c_str());
#ifdef SIGXFSZ
    // Past a file-size limit a write then fails with EFBIG and the save says
    // so; the signal would end the program and lose the recording.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    if (InitCVIRTE(0, argv, 0) == 0)
        return -1;
    // From the start: a stop asked for while the panels load is taken by the
    // event loop once it runs, when there is everything to save.
    if (options.headless)
        InstallStopSignals(stopHeadless);
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

    // A bad stored value falls back to its default alone; the other stored
    // values are kept (the panel holds the defaults when nothing was stored).
    const bool recalled = RecallPanelState(comPortPanel, kSettingsFile, 1) >= 0;
    GetCtrlVal(comPortPanel, COMPORT_PORTNO, &portNo);
    GetCtrlVal(comPortPanel, COMPORT_BAUDRATE, &baudRate);
    GetCtrlVal(comPortPanel, COMPORT_DATABITS, &dataBits);
    GetCtrlVal(comPortPanel, COMPORT_PARITY, &parity);
    GetCtrlVal(comPortPanel, COMPORT_STOPBITS, &stopBits);
    if (options.port > 0) {
        portNo = options.port;  // for this run only
        SetCtrlVal(comPortPanel, COMPORT_PORTNO, portNo);
    }
    // The search replaces the port only when there is no usable stored one.
    const bool searched =
        options.port == 0 && (!recalled || !CtrlValRecalled(comPortPanel, COMPORT_PORTNO));
    if (searched) {
        DisplayPanel(monitorPanel);
        DisplayPanel(comPortPanel);
        Get_ComPort();
        DisplayPanel(monitorPanel);
        SetCtrlVal(comPortPanel, COMPORT_PORTNO, portNo);
        SavePanelState(comPortPanel, kSettingsFile, 1);
    }

    fNewMeter = baudRate == 9600 ? 1 : 0;
    {
        char settingsPath[4096] = "";
        settingsFileLocation(kSettingsFile, settingsPath, sizeof settingsPath);
        LogEvent("started: COM%d, %d baud, %d%c%d; settings %s", portNo, baudRate, dataBits,
                 parity == 1 ? 'O' : parity == 2 ? 'E' : 'N', stopBits, settingsPath);
    }

    // Before the link opens, so that the history holds its opening.
    setHistoryPath(options.history);
    setHistoryPort(portNo);
    historyStart();
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
    recallSetup();
    publishStart();

    // tools/run.sh sets this when it runs the program against metersim.
    if (const char* simulated = std::getenv("MERRIVAN_SIMULATED_METER"); simulated && *simulated)
        SetPanelTitle(monitorPanel, "Merrivan - simulated meter");
    DisplayPanel(monitorPanel);
    if (!options.headless) {
        offerJournal();
        findOfferAtMs = searched ? MonotonicMs() + kFindOfferAfterMs : -1;
    }
    framesBeforeOffer = framesRead;
    RunUserInterface();
    closeTrend();
    historyStop();
    rememberSetup();
    publishStop();

    closeComPortPanel();
    closeMqttPanel();
    closeComLink();
    DiscardPanel(monitorPanel);
    LogEvent("stopped: %lu frames taken, %lu refused", framesRead, framesRefused);
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
    // sysClock needs no step: it reads the elapsed time itself.
    if (event == EVENT_TIMER_TICK) {
        SetCtrlVal(monitorPanel, MONITOR_DATE, DateStr());
        SetCtrlVal(monitorPanel, MONITOR_TIME, TimeStr());
        watchComLink();
        showMeterSilence();
        showLinkCounts();
        showHistoryState();
        offerFindMeter();
        publishTick();
        if (Headless())
            logFrameCounts();
    }
    return 0;
}
