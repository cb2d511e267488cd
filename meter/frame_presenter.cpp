#include "meter/frame_presenter.h"

#include <cstring>
#include <string>

#include "core/channel.h"
#include "core/record_buffer.h"
#include "core/unit_text.h"
#include "history/history.h"
#include "meter/link_activity.h"
#include "platform/platform.h"
#include "publish/publish.h"
#include "record/recording.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"
#include "view/alarm_limits.h"
#include "view/display_select.h"
#include "view/statistics.h"

namespace {

constexpr int kChannels = static_cast<int>(sizeof channel / sizeof channel[0]);
constexpr char kLayoutStop[] = "Detected error,Stop Logging";

// A running recording keeps the identity of its channels in logChannel:
// the sensors the meter names while it runs (only where none was known at
// its start: a layout change has stopped it before this), and the names of a
// description frame.
void followRecording(const FrameResult& r)
{
    if (!fLogging)
        return;
    for (int i = 0; i < kChannels; ++i) {
        if (r.sensorChanged >> i & 1u)
            logChannel[i].type = channel[i].type;
    }
    if (r.description) {
        fLogGetDes = 1;
        for (int i = 0; i < clampChannels(r.channels); ++i)
            copyText(logChannel[i].des, channel[i].des);
    }
}

void relabelRecording()
{
    SetStaticDisp(staticIndex);
    showRecordedChannels();
}

// Limits are per channel: each display tests the channel it shows; one beep
// per lit lamp, and a display whose channel has its alarm off keeps its lamps.
void showAlarm(int channelIndex, const AlarmControls& display)
{
    const AlarmLamps lamps = alarmLamps(channelIndex);
    if (!lamps.tested)
        return;
    SetCtrlVal(monitorPanel, display.highAlarm, lamps.high ? 1 : 0);
    if (lamps.high)
        CVI_Beep();
    SetCtrlVal(monitorPanel, display.lowAlarm, lamps.low ? 1 : 0);
    if (lamps.low)
        CVI_Beep();
}

// The unit as people write it ("°C", "%RH"); empty when the field had none.
std::string unitLabel(const ChannelRecord& rec)
{
    return shownUnit(rec.unit, std::strcmp(sensorName(rec.type), "Humidity") == 0);
}

// After the layout is settled, so a layout the frame changed shows at once;
// after a refused frame too, showing the last one again. With one channel
// display 2 stays empty: the 9600 decoder leaves the records of channels the
// meter stopped sending as they were, and their old reading must not pass
// for a live one.
void showDisplays()
{
    const ChannelRecord& first = channel[disp1Index];
    const ChannelRecord& second = channel[disp2Index];
    const bool oneChannel = wDataNum <= 1;
    SetCtrlVal(monitorPanel, MONITOR_CH1_VALUE, first.valStr);
    SetCtrlVal(monitorPanel, MONITOR_CH2_VALUE, oneChannel ? "" : second.valStr);
    SetCtrlAttribute(monitorPanel, MONITOR_CH1_VALUE, ATTR_LABEL_TEXT, unitLabel(first).c_str());
    SetCtrlAttribute(monitorPanel, MONITOR_CH2_VALUE, ATTR_LABEL_TEXT,
                     oneChannel ? "" : unitLabel(second).c_str());
}

// The lamp lights with a frame taken and goes out one flash after the last
// one (rxLampCallBack): while the meter streams it stays lit, and the panel
// is not redrawn for it with every frame. A refused frame only makes sure
// the flash timer runs, so that the counts are shown soon.
void showReceiveLamp(bool taken)
{
    if (!taken) {
        ++framesRefused;
        int running = 0;
        GetCtrlAttribute(monitorPanel, MONITOR_RX_TIMER, ATTR_ENABLED, &running);
        if (!running)
            SetCtrlAttribute(monitorPanel, MONITOR_RX_TIMER, ATTR_ENABLED, 1);
        return;
    }
    ++framesRead;
    SetCtrlVal(monitorPanel, MONITOR_RX_LED, 1);
    SetCtrlAttribute(monitorPanel, MONITOR_RX_TIMER, ATTR_ENABLED, 1);  // from now again
}

}  // namespace

void presentFrame9600(const FrameResult& r)
{
    historyFrame(r);
    // A damaged frame has no effect beyond the boxes and the lamp, not even
    // on the watchdog.
    if (!r.taken()) {
        showDisplays();
        showReceiveLamp(false);
        return;
    }

    // A new layout ends the recording before anything of the new layout can
    // relabel the channels it recorded.
    if (r.layoutChanged)
        autoStopLogging(kLayoutStop);
    followRecording(r);
    if (!r.description) {
        showAlarm(disp1Index, kDisplay1);
        showAlarm(disp2Index, kDisplay2);
    }

    if (r.layoutChanged) {
        if (r.channels > 2)
            SetDispNew(0, 1);
        else
            SetDispOld();
    }
    if (r.namesChanged) {
        SetDispNew(disp1Index, disp2Index);
        // A recording survives a renaming; its legend and list follow it.
        if (!r.layoutChanged && fLogging)
            relabelRecording();
    }

    startSilenceClock();
    showDisplays();
    showReceiveLamp(true);
    publishFrame(r);
}

void presentFrameLegacy(const FrameResult& r)
{
    historyFrame(r);
    if (r.typeChanged & 1u) {
        const char* name = sensorName(channel[0].type);
        SetCtrlVal(monitorPanel, MONITOR_CH1_TYPE, name);
        SetCtrlVal(statisticPanel, STATISTIC_TYPE_A, name);
        SetCtrlVal(statisticPanel, STATISTIC_TYPE_B, name);
    }
    if (!r.secondRead)
        SetCtrlVal(monitorPanel, MONITOR_CH2_TYPE, sensorType[0]);
    else if (r.typeChanged & 2u)
        SetCtrlVal(monitorPanel, MONITOR_CH2_TYPE, sensorName(channel[1].type));

    if (r.layoutChanged)
        autoStopLogging(kLayoutStop);

    showAlarm(0, kDisplay1);
    if (r.channels > 1)
        showAlarm(1, kDisplay2);

    SetDispOld();
    startSilenceClock();
    showDisplays();
    showReceiveLamp(true);
    publishFrame(r);
}

void presentNoise()
{
    showReceiveLamp(false);
}
