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

// The lamp lights with a frame taken and goes out at the lamp timer's tick,
// which also brings the counts up to date: while the meter streams, the lamp
// blinks and the counts are redrawn a few times a second, not with every
// frame.
void showLinkActivity(bool taken)
{
    if (!taken)
        ++framesRefused;
    int running = 0;
    GetCtrlAttribute(monitorPanel, MONITOR_RX_TIMER, ATTR_ENABLED, &running);
    if (running)
        return;
    if (taken)
        SetCtrlVal(monitorPanel, MONITOR_RX_LED, 1);
    SetCtrlAttribute(monitorPanel, MONITOR_RX_TIMER, ATTR_ENABLED, 1);
}

int rxLampCallBack(CTRL_CALLBACK_ARGS)
{
    (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
    if (event != EVENT_TIMER_TICK)
        return 0;
    SetCtrlVal(monitorPanel, MONITOR_RX_LED, 0);
    SetCtrlAttribute(monitorPanel, MONITOR_RX_TIMER, ATTR_ENABLED, 0);
    char text[64];
    std::snprintf(text, sizeof text, "Frames: %lu read, %lu refused", framesRead, framesRefused);
    SetCtrlVal(monitorPanel, MONITOR_RX_COUNT, text);
    return 0;
}
