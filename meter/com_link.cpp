#include "meter/com_link.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/record_buffer.h"
#include "history/history.h"
#include "meter/link_activity.h"
#include "meter/receive.h"
#include "meter/serial_link.h"
#include "platform/platform.h"
#include "publish/publish.h"
#include "record/recording.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"

namespace {

bool searching = false;

// OpenComConfig's result for a setting the device refuses.
constexpr int kSettingRefused = -5;

// The link waits for the device of awaitedPort: it went away under the open
// port, or it was missing at start-up. The wait ends when the port opens or
// when the user applies another port.
enum class Wait { None, Gone, Missing };
Wait waiting = Wait::None;
int awaitedPort = 0;

// The port of the settings in use has a device file that would not open;
// the status line said so.
bool openFailed = false;

// The meter has sent nothing since the watchdog fired with framesRead at
// silentFrames; silentSeconds counts on from the watchdog's 10 s.
bool silent = false;
unsigned long silentFrames = 0;
int silentSeconds = 0;
constexpr char kSilentPrefix[] = "No data from the meter for ";
int shownMinutes = 0;

void stopWaiting()
{
    waiting = Wait::None;
    awaitedPort = 0;
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

// Kept short: one stop bit, the usual, goes unsaid.
void writeSettingsStatus()
{
    const char* parityName = parity == 1 ? "Odd" : parity == 2 ? "Even" : "No";
    char text[96];
    std::snprintf(text, sizeof text, "Setting: COM%d, %d Bps, %d bits %s Parity%s.", portNo,
                  baudRate, dataBits, parityName, stopBits == 2 ? ", 2 Stop Bits" : "");
    SetCtrlVal(monitorPanel, MONITOR_SETTINGS, text);
}

// A device file that is there but would not open (a directory, a device
// that is no terminal, one without read permission): said, where the
// settings would pass for a working link. A port without a device file of
// its own, or one that opened but refused a setting, keeps the settings text.
bool tellOpenFailure(int openResult)
{
    // A device that opened but refused a setting is no fault of the port.
    if (openResult == kSettingRefused)
        return false;
    char path[256];
    if (comDevicePath(portNo, path, sizeof path) < 0 || path[0] != '/' || deviceMissing(path))
        return false;
    char text[360];
    std::snprintf(text, sizeof text, "COM%d (%s): cannot be opened.", portNo, path);
    SetCtrlVal(monitorPanel, MONITOR_SETTINGS, text);
    return true;
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

}  // namespace

int openComLink()
{
    const int result = OpenComConfig(portNo, "", baudRate, parity, dataBits, stopBits, 256, 256);
    if (result < 0)
        return result;
    SetComTime(portNo, 1.0);
    // Emptied before the receiver is in place: a partial frame left from
    // before would spoil the first one.
    FlushInQ(portNo);
    FlushOutQ(portNo);
    InstallComCallback(portNo, LWRS_RXFLAG, 0, 13, comPortCharDetCallBack, nullptr);
    startSilenceClock();
    setHistoryPort(portNo);
    char path[256] = "";
    comDevicePath(portNo, path, sizeof path);
    historyEvent(HistoryEventKind::LinkOpened, path);
    publishLinkState(MqttLink::NoData, portNo);
    return result;
}

void closeComLink()
{
    CloseCom(portNo);
}

void showStartupLinkStatus(int openResult)
{
    stopWaiting();
    char path[256];
    if (comDevicePath(portNo, path, sizeof path) < 0)
        path[0] = '\0';
    if (openResult < 0 && deviceMissing(path)) {
        waiting = Wait::Missing;
        awaitedPort = portNo;
        writeWaitStatus();
        LogEvent("COM%d (%s): no device, waiting for it to be plugged in", portNo, path);
        return;
    }
    if (openResult >= 0)
        LogEvent("link opened: COM%d (%s)", portNo, path);
    else
        LogEvent("COM%d (%s): cannot be opened (%d)", portNo, path, openResult);
    openFailed = openResult < 0 && tellOpenFailure(openResult);
    if (!openFailed)
        writeSettingsStatus();
}

void useComPort(int port)
{
    if (port == portNo)
        return;
    CloseCom(portNo);
    portNo = port;
    stopWaiting();
}

int reopenComLink()
{
    const bool awaited = waiting != Wait::None;
    const int result = openComLink();
    if (result < 0) {
        // A wait for a device goes on: its text says more.
        if (waiting == Wait::None && !searching)
            openFailed = tellOpenFailure(result);
        return result;
    }
    if (awaited)
        LogEvent("COM%d: device back, link reopened", portNo);
    stopWaiting();
    openFailed = false;
    writeSettingsStatus();
    return result;
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
        char path[256] = "";
        comDevicePath(portNo, path, sizeof path);
        historyEvent(HistoryEventKind::DeviceLost, path);
        publishLinkState(MqttLink::DeviceGone, portNo);
        LogEvent("COM%d (%s): device gone, waiting for it to return", portNo, path);
    }
    // Samples now would only repeat the last reading: the recording ends
    // with the records taken while the meter was there, and says so.
    if (fLogging)
        autoStopLogging(kDisconnectedStop);
    char path[256];
    if (comDevicePath(portNo, path, sizeof path) < 0 || deviceMissing(path))
        return;
    // The path may be back before the device will open (its permissions
    // still being set): the next second tries again.
    reopenComLink();
}

void restateComLinkWait()
{
    if (waiting != Wait::None && !searching)
        writeWaitStatus();
}

void tellMeterSilent(bool recordingStopped, bool alarmsOff)
{
    // The watchdog fires every 10 s of one silence: news only when it
    // stopped something again.
    if (!silent || framesRead != silentFrames) {
        silent = true;
        silentFrames = framesRead;
        silentSeconds = 10;
        shownMinutes = 0;
        LogEvent("no data from the meter for 10 s%s%s", recordingStopped ? "; recording stopped" : "",
                 alarmsOff ? "; alarms switched off" : "");
    } else if (!recordingStopped && !alarmsOff) {
        return;
    }
    if (searching)
        return;  // the search's count-down has the line
    if (waiting != Wait::None || openFailed) {
        // Why no data comes is the better news.
        restateComLinkWait();
        return;
    }
    char stopped[64] = "";
    if (recordingStopped)
        std::snprintf(stopped, sizeof stopped, "recording stopped with %d records", logCounter);
    const char* alarms = alarmsOff ? "alarms switched off" : "";
    const char* colon = recordingStopped || alarmsOff ? ": " : "";
    const char* comma = recordingStopped && alarmsOff ? ", " : "";
    char since[48];
    if (silentSeconds < 60)
        std::snprintf(since, sizeof since, "%s%d s", kSilentPrefix, silentSeconds);
    else
        std::snprintf(since, sizeof since, "%s%d min", kSilentPrefix, silentSeconds / 60);
    setStatusLine("%s%s%s%s%s.", since, colon, stopped, comma, alarms);
}

void showMeterSilence()
{
    if (!silent)
        return;
    if (framesRead != silentFrames) {
        silent = false;
        LogEvent("frames again from the meter");
        char shown[128];
        GetCtrlVal(monitorPanel, MONITOR_SETTINGS, shown);
        if (std::strncmp(shown, kSilentPrefix, sizeof kSilentPrefix - 1) == 0)
            writeSettingsStatus();
        return;
    }
    ++silentSeconds;
    // Once a minute: the watchdog's news and a saved file's count stay a while.
    const int minutes = silentSeconds / 60;
    if (minutes == shownMinutes || fLogging || waiting != Wait::None || openFailed || searching)
        return;
    shownMinutes = minutes;
    if (minutes < 120)
        setStatusLine("No data from the meter for %d min.", minutes);
    else
        setStatusLine("No data from the meter for %d h.", minutes / 60);
}

void beginComPortSearch()
{
    searching = true;
}

void endComPortSearch()
{
    searching = false;
    if (portNo != awaitedPort)
        stopWaiting();
}
