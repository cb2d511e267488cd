#include "meter/link_activity.h"

#include <cstdio>

#include "platform/platform.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"

unsigned long framesRead = 0;
unsigned long framesRefused = 0;

namespace {
unsigned long shownRead = ~0ul;
unsigned long shownRefused = ~0ul;
long long heardAtMs = 0;
}  // namespace

void startSilenceClock()
{
    heardAtMs = MonotonicMs();
    ResetTimer(monitorPanel, MONITOR_NODATA_TIMER);
}

long long msSinceMeterHeard()
{
    return MonotonicMs() - heardAtMs;
}

// The counts are brought up to date when the receive lamp goes out and once a
// second by the clock; the lamp itself is lit by the frame presenter.
void showLinkCounts()
{
    if (shownRead == framesRead && shownRefused == framesRefused)
        return;
    char text[64];
    std::snprintf(text, sizeof text, "Frames: %lu read, %lu refused", framesRead, framesRefused);
    SetCtrlVal(monitorPanel, MONITOR_RX_COUNT, text);
    shownRead = framesRead;
    shownRefused = framesRefused;
}

int rxLampCallBack(CTRL_CALLBACK_ARGS)
{
    if (event != EVENT_TIMER_TICK)
        return 0;
    SetCtrlVal(monitorPanel, MONITOR_RX_LED, 0);
    SetCtrlAttribute(monitorPanel, MONITOR_RX_TIMER, ATTR_ENABLED, 0);
    showLinkCounts();
    return 0;
}
