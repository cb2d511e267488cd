// The Statistics panel: figures and histogram of one recorded channel.
#pragma once

#include "platform/platform.h"

extern int staticIndex;
extern unsigned char fUpdateHistogram;

enum { kHistogramBins = 21 };
extern int histBins;
extern int histCount[kHistogramBins];
extern int histMaxCount;
extern double histAxis[kHistogramBins];

void SetStaticDisp(int index);
void basicStatistic();

int statisticsCallBack(CTRL_CALLBACK_ARGS);
int StatisticCallBack(PANEL_CALLBACK_ARGS);
int staticExitCmdCallBack(CTRL_CALLBACK_ARGS);
int sStaticCallback(CTRL_CALLBACK_ARGS);
int ch1StaticRangeCallBack(CTRL_CALLBACK_ARGS);
int ch2StaticRangeCallBack(CTRL_CALLBACK_ARGS);
int staticCh1Callback(CTRL_CALLBACK_ARGS);
