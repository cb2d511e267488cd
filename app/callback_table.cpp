// The functions behind the callback names of the panel definitions.
#include "app/com_port_panel.h"
#include "app/merrivan.h"
#include "app/watchdog.h"
#include "history/trend.h"
#include "meter/link_activity.h"
#include "platform/callbacks.h"
#include "publish/mqtt_panel.h"
#include "record/data_file.h"
#include "record/recording.h"
#include "view/alarm_limits.h"
#include "view/display_select.h"
#include "view/statistics.h"

#define CONTROL(f) platform::registerCallback(#f, f)
#define PANEL(f) platform::registerPanelCallback(#f, f)

void registerMerrivanCallbacks()
{
    PANEL(MonitorPanCallBack);
    PANEL(CommPortCallBack);
    PANEL(StatisticCallBack);
    PANEL(TrendPanelCallBack);
    PANEL(MqttPanCallBack);

    CONTROL(exitCallBack);
    CONTROL(helpCallBack);
    CONTROL(printGraphCallBack);
    CONTROL(printCallBack);
    CONTROL(timeTickCallBack);
    CONTROL(rxLampCallBack);

    CONTROL(comPortCallBack);
    CONTROL(comPortOkCmdCallBack);
    CONTROL(comPortCancelCmdCallBack);
    CONTROL(comPortAutoCmdCallBack);
    CONTROL(comPortFindCmdCallBack);
    CONTROL(portNoCallBack);
    CONTROL(baudRateCallBack);
    CONTROL(parityCallBack);
    CONTROL(dataBitsCallBack);
    CONTROL(stopBitsCallBack);
    CONTROL(mqttCallBack);
    CONTROL(mqttOkCallBack);
    CONTROL(mqttCancelCallBack);
    CONTROL(mqttStateTimerCallBack);

    CONTROL(TimeNoDataCallback);

    CONTROL(sDisp1Callback);
    CONTROL(sDisp2Callback);
    CONTROL(currChartCallBack);
    CONTROL(ch1LowLimitCallBack);
    CONTROL(ch1HiLimitCallBack);
    CONTROL(ch2LowLimitCallBack);
    CONTROL(ch2HiLimitCallBack);
    CONTROL(ch1AlarmSwCallBack);
    CONTROL(ch2AlarmSwCallBack);

    CONTROL(statisticsCallBack);
    CONTROL(staticExitCmdCallBack);
    CONTROL(sStaticCallback);
    CONTROL(ch1StaticRangeCallBack);
    CONTROL(ch2StaticRangeCallBack);
    CONTROL(staticCh1Callback);

    CONTROL(logCmdCallback);
    CONTROL(timeSampleCallBack);
    CONTROL(sGainCallBack);
    CONTROL(sOffsetCallBack);
    CONTROL(sRangeCallBack);
    CONTROL(sampleRateCallBack);
    CONTROL(sampleDataCallBack);

    CONTROL(saveFileCallBack);
    CONTROL(retrieveFileCallBack);

    CONTROL(trendCallBack);
    CONTROL(trendPlotCallBack);
    CONTROL(trendTickCallBack);
    CONTROL(trendAxesCallBack);
    CONTROL(trendWholeCallBack);
    CONTROL(trendExportCallBack);
    CONTROL(trendImageCallBack);
    CONTROL(trendKeepCallBack);
    CONTROL(trendRetentionCallBack);
    CONTROL(trendCloseCallBack);
}
