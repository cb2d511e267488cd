#include "app/setup_memory.h"

#include <initializer_list>

#include "platform/platform.h"
#include "record/recording.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"
#include "view/alarm_limits.h"
#include "view/display_select.h"

namespace {

// The Monitor panel's state is written at every exit as state 0, the serial
// port's as state 1; the Statistics panel's goes to state 2.
constexpr int kMonitorState = 0;
constexpr int kStatisticsState = 2;

}  // namespace

void recallSetup()
{
    // Only the settings: the switches, readings and lamps stored beside them
    // in the state belong to the run that wrote it.
    for (int id : {MONITOR_SAMPLE_COUNT, MONITOR_SAMPLE_RATE, MONITOR_GAIN, MONITOR_OFFSET,
                   MONITOR_RANGE})
        RecallCtrlVal(monitorPanel, id, kSettingsFile, kMonitorState);
    RecallCtrlVal(statisticPanel, STATISTIC_BINS, kSettingsFile, kStatisticsState);

    GetCtrlVal(monitorPanel, MONITOR_GAIN, &vGain);
    GetCtrlVal(monitorPanel, MONITOR_OFFSET, &vOffset);
    setChartScale();
    GetCtrlVal(monitorPanel, MONITOR_RANGE, &vRange);
    SetCtrlAttribute(monitorPanel, MONITOR_CHART, ATTR_POINTS_PER_SCREEN, vRange);

    recallAlarmLimits(kSettingsFile);
    showChannelAlarms();
}

void rememberSetup()
{
    SavePanelState(statisticPanel, kSettingsFile, kStatisticsState);
    saveAlarmLimits(kSettingsFile);
}
