#include "meter/link_activity.h"

#include <cstdio>

#include "platform/platform.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"

unsigned long framesRead = 0;
unsigned long framesRefused = 0;

void noteFrameTaken()
{
    ++framesRead;
}

void showLinkActivity(bool taken)
{
    if (taken) {
        SetCtrlVal(monitorPanel, MONITOR_RX_LED, 1);
        // The flash ends at the lamp timer's next tick.
        SetCtrlAttribute(monitorPanel, MONITOR_RX_TIMER, ATTR_ENABLED, 1);
    } else {
        ++framesRefused;
    }
    char text[64];
    std::snprintf(text, sizeof text, "Frames: %lu read, %lu refused", framesRead, framesRefused);
    SetCtrlVal(monitorPanel, MONITOR_RX_COUNT, text);
}

int rxLampCallBack(CTRL_CALLBACK_ARGS)
{
    (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
    if (event == EVENT_TIMER_TICK) {
        SetCtrlVal(monitorPanel, MONITOR_RX_LED, 0);
        SetCtrlAttribute(monitorPanel, MONITOR_RX_TIMER, ATTR_ENABLED, 0);
    }
    return 0;
}
