#include "record/recording.h"

#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"

int sampleData = 0;
double sampleRate = 1.0;
float vGain = 1.0f;
float vOffset = 0.0f;
int vRange = 100;

void setChartScale()
{
    const double low = static_cast<double>(vOffset) * static_cast<double>(vGain);
    const double high = (static_cast<double>(vOffset) + 10.0) * static_cast<double>(vGain);
    SetAxisScalingMode(monitorPanel, MONITOR_CHART, VAL_LEFT_YAXIS, VAL_MANUAL, low, high);
}

#define IGNORE_ARGS (void)panel, (void)control, (void)event, (void)callbackData, (void)eventData1, (void)eventData2
int logCmdCallback(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int timeSampleCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int sGainCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int sOffsetCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int sRangeCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int sampleRateCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int sampleDataCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
