#include "view/alarm_limits.h"

float vHi[10];
float vLow[10];
int vSw[10];

void alarmTest(int, int, int) {}

#define IGNORE_ARGS (void)panel, (void)control, (void)event, (void)callbackData, (void)eventData1, (void)eventData2
int ch1LowLimitCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int ch1HiLimitCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int ch2LowLimitCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int ch2HiLimitCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int ch1AlarmSwCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int ch2AlarmSwCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
