#include "view/statistics.h"

#include "app/merrivan.h"

int staticIndex = 0;
unsigned char fUpdateHistogram = 0;
int histBins = 0;
int histCount[kHistogramBins];
int histMaxCount = 0;
double histAxis[kHistogramBins];

void SetStaticDisp(int index)
{
    staticIndex = index;
}

void basicStatistic() {}

#define IGNORE_ARGS (void)panel, (void)control, (void)event, (void)callbackData, (void)eventData1, (void)eventData2

int statisticsCallBack(CTRL_CALLBACK_ARGS)
{
    IGNORE_ARGS;
    if (event == EVENT_COMMIT)
        DisplayPanel(statisticPanel);
    return 0;
}

int StatisticCallBack(PANEL_CALLBACK_ARGS)
{
    (void)callbackData, (void)eventData1, (void)eventData2;
    if (event == EVENT_CLOSE)
        HidePanel(panel);
    return 0;
}

int staticExitCmdCallBack(CTRL_CALLBACK_ARGS)
{
    IGNORE_ARGS;
    if (event == EVENT_COMMIT)
        HidePanel(statisticPanel);
    return 0;
}

int sStaticCallback(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int ch1StaticRangeCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int ch2StaticRangeCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int staticCh1Callback(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
