// Recording at a sample rate into the record buffer, and the strip chart.
#pragma once

#include "platform/platform.h"

extern int sampleData;
extern double sampleRate;
extern float vGain;
extern float vOffset;
extern int vRange;

// Writes the Monitor's status line (recording and file progress).
__attribute__((format(printf, 1, 2))) void setStatusLine(const char* format, ...);

// Fixes the chart's vertical scale from vGain and vOffset.
void setChartScale();
// Appends every record the buffer holds to the chart, after what it shows.
void plotWholeBuffer();

int logCmdCallback(CTRL_CALLBACK_ARGS);
int timeSampleCallBack(CTRL_CALLBACK_ARGS);
int sGainCallBack(CTRL_CALLBACK_ARGS);
int sOffsetCallBack(CTRL_CALLBACK_ARGS);
int sRangeCallBack(CTRL_CALLBACK_ARGS);
int sampleRateCallBack(CTRL_CALLBACK_ARGS);
int sampleDataCallBack(CTRL_CALLBACK_ARGS);
