#include "app/port_search.h"

#include <cstdio>

#include "app/merrivan.h"
#include "platform/platform.h"
#include "ui/merrivan_uir.h"

namespace {
// "The PC Have " and sixteen " COMnn and" entries and the closing text: 185
// characters at the most.
constexpr int kReportSize = 192;
constexpr int kLastPort = 16;
}  // namespace

int Get_ComPort()
{
    char report[kReportSize];
    char text[64];

    MessagePopup("Plug USB Cable", "Plug USB Cable for Auto Detect , Wait a moment");
    for (int n = 3; n >= 1; --n) {
        std::snprintf(text, sizeof text, "     Wait  %d  sec .     ", n);
        SetCtrlVal(monitorPanel, MONITOR_SETTINGS, text);
        Delay(1.0);
    }
    SetCtrlVal(monitorPanel, MONITOR_SETTINGS, "");

    portNo = 1;
    int used = std::snprintf(report, sizeof report, "The PC Have ");
    SetCtrlAttribute(comPortPanel, COMPORT_PORTNO, ATTR_TEXT_COLOR, 0xFF0000);
    for (int i = 1; i <= kLastPort; ++i) {
        SetCtrlVal(comPortPanel, COMPORT_PORTNO, i);
        if (OpenComConfig(i, "", baudRate, parity, dataBits, stopBits, 256, 256) >= 0) {
            // Appending in place has the same result as formatting the report
            // into itself, without the overlapping copy.
            used += std::snprintf(report + used, sizeof report - static_cast<std::size_t>(used),
                                  " COM%d and", i);
            if (portNo == 1)
                portNo = i;
        }
        Delay(0.2);
        CloseCom(i);
    }
    SetCtrlVal(comPortPanel, COMPORT_PORTNO, portNo);
    SetCtrlAttribute(comPortPanel, COMPORT_PORTNO, ATTR_TEXT_COLOR, 0x000000);
    std::snprintf(report + used, sizeof report - static_cast<std::size_t>(used),
                  " ... , PC Select COM%d ", portNo);
    MessagePopup("Search COM PORT", report);
    return portNo;
}
