#include "view/display_select.h"

#include "core/channel.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"
#include "view/alarm_limits.h"

int disp1Index = 0;
int disp2Index = 0;

namespace {

constexpr int kChannelCount = static_cast<int>(sizeof channel / sizeof channel[0]);

// Leaves the list as it is when no item carries the value (for example an
// empty display-2 list while the meter reports one channel).
void selectByValue(int control, int value)
{
    int index = -1;
    if (GetIndexFromValue(monitorPanel, control, &index, value) == 0 && index >= 0)
        SetCtrlIndex(monitorPanel, control, index);
}

// The channel of the item the user has just made current; false when the
// list has none.
bool pickedChannel(int panel, int control, int* picked)
{
    int index = -1;
    if (GetCtrlIndex(panel, control, &index) != 0 || index < 0)
        return false;
    return GetValueFromIndex(panel, control, index, picked) == 0;
}

// Writes only what differs, so that a rebuild with every legacy frame never
// overwrites a limit the user is still typing.
void setIfChanged(int panel, int control, int value)
{
    int shown = 0;
    if (GetCtrlVal(panel, control, &shown) != 0 || shown != value)
        SetCtrlVal(panel, control, value);
}

void setIfChanged(int panel, int control, float value)
{
    float shown = 0.0f;
    if (GetCtrlVal(panel, control, &shown) != 0 || shown != value)
        SetCtrlVal(panel, control, value);
}

// Shows the alarm settings of channel d on a display; its indicators go off
// until the next frame tests the new channel.
void showAlarmSettings(int panel, const AlarmControls& c, int d)
{
    if (d < 0 || d >= kChannelCount)
        return;
    showChannelAlarm(panel, c, d);
    SetCtrlVal(panel, c.highAlarm, 0);
    SetCtrlVal(panel, c.lowAlarm, 0);
}

}  // namespace

void showChannelAlarm(int panel, const AlarmControls& c, int d)
{
    if (d < 0 || d >= kChannelCount)
        return;
    setIfChanged(panel, c.sw, vSw[d] != 0 ? 1 : 0);
    const int dimmed = vSw[d] == 0 ? 1 : 0;
    SetCtrlAttribute(panel, c.high, ATTR_DIMMED, dimmed);
    SetCtrlAttribute(panel, c.low, ATTR_DIMMED, dimmed);
    setIfChanged(panel, c.high, vHi[d]);
    setIfChanged(panel, c.low, vLow[d]);
}

void showChannelAlarms()
{
    showChannelAlarm(monitorPanel, kDisplay1, disp1Index);
    showChannelAlarm(monitorPanel, kDisplay2, disp2Index);
}

void SetDispOld()
{
    disp1Index = 0;
    disp2Index = 1;
    SetCtrlAttribute(monitorPanel, MONITOR_CH1_SELECT, ATTR_VISIBLE, 0);
    SetCtrlAttribute(monitorPanel, MONITOR_CH2_SELECT, ATTR_VISIBLE, 0);
    SetCtrlAttribute(monitorPanel, MONITOR_CH1_TYPE, ATTR_VISIBLE, 1);
    SetCtrlAttribute(monitorPanel, MONITOR_CH2_TYPE, ATTR_VISIBLE, 1);
    showChannelAlarms();
}

void SetDispNew(int d1, int d2)
{
    disp1Index = d1;
    disp2Index = d2;

    DeleteListItem(monitorPanel, MONITOR_CH1_SELECT, 0, -1);
    DeleteListItem(monitorPanel, MONITOR_CH2_SELECT, 0, -1);

    const bool useDescription = fViewGetDes != 0;
    // The channel count comes from a frame; never walk past the records.
    const int count = wDataNum < kChannelCount ? wDataNum : kChannelCount;
    for (int i = 0; i < count; ++i) {
        const ChannelLabel label = channelLabel(channel[i], useDescription);
        if (i != d2)
            InsertListItem(monitorPanel, MONITOR_CH1_SELECT, -1, label.text, i);
        if (i != d1)
            InsertListItem(monitorPanel, MONITOR_CH2_SELECT, -1, label.text, i);
    }

    selectByValue(MONITOR_CH1_SELECT, disp1Index);
    selectByValue(MONITOR_CH2_SELECT, disp2Index);

    SetCtrlAttribute(monitorPanel, MONITOR_CH1_TYPE, ATTR_VISIBLE, 0);
    SetCtrlAttribute(monitorPanel, MONITOR_CH2_TYPE, ATTR_VISIBLE, 0);
    SetCtrlAttribute(monitorPanel, MONITOR_CH1_SELECT, ATTR_VISIBLE, 1);
    SetCtrlAttribute(monitorPanel, MONITOR_CH2_SELECT, ATTR_VISIBLE, 1);
    showChannelAlarms();
}

int sDisp1Callback(CTRL_CALLBACK_ARGS)
{
    int picked = 0;
    if (event == EVENT_VAL_CHANGED && pickedChannel(panel, control, &picked)) {
        SetDispNew(picked, disp2Index);
        showAlarmSettings(panel, kDisplay1, disp1Index);
    }
    return 0;
}

int sDisp2Callback(CTRL_CALLBACK_ARGS)
{
    int picked = 0;
    if (event == EVENT_VAL_CHANGED && pickedChannel(panel, control, &picked)) {
        SetDispNew(disp1Index, picked);
        showAlarmSettings(panel, kDisplay2, disp2Index);
    }
    return 0;
}

int currChartCallBack(CTRL_CALLBACK_ARGS)
{
    return 0;
}
