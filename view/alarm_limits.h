// Per-channel alarm limits and switches, and the alarm test of a display.
#pragma once

#include "platform/platform.h"
#include "ui/merrivan_uir.h"

// Indexed by channel (0..9), not by display.
// The alarm controls of one display of the Monitor panel.
struct AlarmControls {
    int sw;
    int high;
    int low;
    int highAlarm;
    int lowAlarm;
};

inline constexpr AlarmControls kDisplay1{MONITOR_CH1_ALARM_SW, MONITOR_CH1_HIGH, MONITOR_CH1_LOW,
                                         MONITOR_CH1_HIGH_ALARM, MONITOR_CH1_LOW_ALARM};
inline constexpr AlarmControls kDisplay2{MONITOR_CH2_ALARM_SW, MONITOR_CH2_HIGH, MONITOR_CH2_LOW,
                                         MONITOR_CH2_HIGH_ALARM, MONITOR_CH2_LOW_ALARM};

extern float vHi[10];
extern float vLow[10];
extern int vSw[10];

// What the limits of channel `channelIndex` say of its reading: `tested` is
// false when the channel has no switch or its switch is off.
struct AlarmLamps {
    bool tested;
    bool high;
    bool low;
};
AlarmLamps alarmLamps(int channelIndex);

// Tests channel `channelIndex` against its limits and drives the display's
// two indicators (one beep per lit indicator); nothing when its switch is off.
void alarmTest(int channelIndex, int highIndicator, int lowIndicator);

int ch1LowLimitCallBack(CTRL_CALLBACK_ARGS);
int ch1HiLimitCallBack(CTRL_CALLBACK_ARGS);
int ch2LowLimitCallBack(CTRL_CALLBACK_ARGS);
int ch2HiLimitCallBack(CTRL_CALLBACK_ARGS);
int ch1AlarmSwCallBack(CTRL_CALLBACK_ARGS);
int ch2AlarmSwCallBack(CTRL_CALLBACK_ARGS);

// The limits of every channel in their own section of the settings file,
// keys High1..High10 and Low1..Low10 in the C number format. The switches
// are not stored: no alarm is armed at start-up without the user.
int saveAlarmLimits(const char* fileName);
// Each limit missing or unusable takes its default alone; a low limit above
// its high one is brought down to it. Returns how many took their default.
int recallAlarmLimits(const char* fileName);
