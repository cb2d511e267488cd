// Which channel each of the two displays shows, and how the user picks it.
#pragma once

#include "platform/platform.h"

extern int disp1Index;
extern int disp2Index;

void SetDispOld();
void SetDispNew(int d1, int d2);

int sDisp1Callback(CTRL_CALLBACK_ARGS);
int sDisp2Callback(CTRL_CALLBACK_ARGS);
int currChartCallBack(CTRL_CALLBACK_ARGS);
