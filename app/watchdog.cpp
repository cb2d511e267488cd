#include "app/watchdog.h"

#include "core/record_buffer.h"
#include "history/history.h"
#include "meter/com_link.h"
#include "meter/link_activity.h"
#include "meter/receive.h"
#include "meter/serial_link.h"
#include "publish/publish.h"
#include "record/recording.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"
#include "view/alarm_limits.h"
#include "view/display_select.h"

namespace {

constexpr long long kSilenceMs = 10000;

void lampsOff(const AlarmControls& d)
{
    SetCtrlVal(monitorPanel, d.highAlarm, 0);
    SetCtrlVal(monitorPanel, d.lowAlarm, 0);
}

}  // namespace

int TimeNoDataCallback(CTRL_CALLBACK_ARGS)
{
    if (event != EVENT_TIMER_TICK)
        return 0;
    // A tick can come late, after the window was busy for longer than the
    // interval: the frames sent meanwhile wait in the port's queue, and only
    // elapsed time without a frame is silence.
    takeQueuedFrames();
    if (msSinceMeterHeard() < kSilenceMs)
        return 0;
    ResetTimer(panel, control);
    // Once per silence: the timer fires again every 10 s of it.
    static unsigned long silentSince = ~0ul;
    if (framesRead != silentSince) {
        silentSince = framesRead;
        historyEvent(HistoryEventKind::NoData, "No data from the meter for 10 s");
    }
    publishLinkState(MqttLink::NoData, portNo);
    const bool recording = fLogging != 0;
    autoStopLogging(kNoDataStop);
    bool alarmsOn = false;
    for (int sw : vSw)
        alarmsOn = alarmsOn || sw != 0;

    // The next accepted frame counts as a new channel layout and rebuilds the
    // displays; until the meter names its channels again, lists show sensors.
    forgetMeterLayout();
    DefaultCtrl(monitorPanel, MONITOR_CH1_VALUE);
    DefaultCtrl(monitorPanel, MONITOR_CH2_VALUE);
    SetCtrlAttribute(monitorPanel, MONITOR_CH1_VALUE, ATTR_LABEL_TEXT, "");
    SetCtrlAttribute(monitorPanel, MONITOR_CH2_VALUE, ATTR_LABEL_TEXT, "");
    SetCtrlAttribute(monitorPanel, MONITOR_CH1_TYPE, ATTR_VISIBLE, 0);
    SetCtrlAttribute(monitorPanel, MONITOR_CH2_TYPE, ATTR_VISIBLE, 0);
    SetCtrlAttribute(monitorPanel, MONITOR_CH1_SELECT, ATTR_VISIBLE, 0);
    SetCtrlAttribute(monitorPanel, MONITOR_CH2_SELECT, ATTR_VISIBLE, 0);
    lampsOff(kDisplay1);
    lampsOff(kDisplay2);
    for (int& sw : vSw)
        sw = 0;
    // Every switch off; the entries keep showing the limits of each
    // display's channel, so that switching on adopts that channel's own.
    showChannelAlarms();

    // Said where the user looks, not only in the chart's title; a device
    // known gone is told again instead.
    tellMeterSilent(recording, alarmsOn);
    return 0;
}
