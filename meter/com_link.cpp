#include "meter/com_link.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "meter/receive.h"
#include "meter/serial_link.h"
#include "platform/platform.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"

namespace {

bool searching = false;

// The link waits for the device of awaitedPort: it went away under the open
// port, or it was missing at start-up. The wait ends when the port opens or
// when the user applies another port.
enum class Wait { None, Gone, Missing };
Wait waiting = Wait::None;
int awaitedPort = 0;

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
    if (openResult < 0 && comDevicePath(portNo, path, sizeof path) >= 0 && deviceMissing(path)) {
        waiting = Wait::Missing;
        awaitedPort = portNo;
        writeWaitStatus();
        return;
    }
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
    const int result = openComLink();
    if (result < 0)
        return result;
    stopWaiting();
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
    }
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
