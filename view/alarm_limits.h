// Per-channel alarm limits and switches, and the alarm test of a display.
#pragma once

#include "platform/platform.h"

// Indexed by channel (0..9), not by display.
extern float vHi[10];
extern float vLow[10];
extern int vSw[10];

// Tests channel `channelIndex` against its limits and drives the display's
// two indicators (one beep per lit indicator); nothing when its switch is off.
void alarmTest(int channelIndex, int highIndicator, int lowIndicator);

int ch1LowLimitCallBack(CTRL_CALLBACK_ARGS);
int ch1HiLimitCallBack(CTRL_CALLBACK_ARGS);
int ch2LowLimitCallBack(CTRL_CALLBACK_ARGS);
int ch2HiLimitCallBack(CTRL_CALLBACK_ARGS);
int ch1AlarmSwCallBack(CTRL_CALLBACK_ARGS);
int ch2AlarmSwCallBack(CTRL_CALLBACK_ARGS);
