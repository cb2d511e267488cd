// The Trend window: every channel the history holds, over clock time, live
// while the meter streams; the history's switch, retention and file.
#pragma once

#include "platform/platform.h"

// The Trend panel's handle; 0 until the window is first opened.
extern int trendPanel;

// Opens the window (loading it the first time) on the whole history.
void openTrend();
// Discards the window at exit.
void closeTrend();

int trendCallBack(CTRL_CALLBACK_ARGS);  // the Monitor's Trend... command (Ctrl+T)
int TrendPanelCallBack(PANEL_CALLBACK_ARGS);
int trendPlotCallBack(CTRL_CALLBACK_ARGS);  // the plot asks for the columns it shows
int trendTickCallBack(CTRL_CALLBACK_ARGS);  // once a second: new readings, the file
int trendAxesCallBack(CTRL_CALLBACK_ARGS);
int trendWholeCallBack(CTRL_CALLBACK_ARGS);
int trendExportCallBack(CTRL_CALLBACK_ARGS);
int trendImageCallBack(CTRL_CALLBACK_ARGS);
int trendKeepCallBack(CTRL_CALLBACK_ARGS);
int trendRetentionCallBack(CTRL_CALLBACK_ARGS);
int trendCloseCallBack(CTRL_CALLBACK_ARGS);
