// Which channel each of the two displays shows, and how the user picks it.
#pragma once

#include "platform/platform.h"

struct AlarmControls;

// Channel (0..9) shown on display 1 / display 2.
extern int disp1Index;
extern int disp2Index;

// Fixed layout of the legacy meter: display 1 on channel 0, display 2 on
// channel 1, sensor names in the type texts, selector lists hidden.
void SetDispOld();
// Selectable layout: display 1 on channel d1, display 2 on d2. Rebuilds both
// selector lists from the first wDataNum channels, each list leaving out the
// channel of the other display, and shows the lists instead of the type texts.
// Both layouts also show each display's alarm settings (showChannelAlarms).
void SetDispNew(int d1, int d2);

// The alarm switch, its dimming and the limits of channel d on a display, as
// vSw, vHi and vLow hold them; the indicators are left as they are.
void showChannelAlarm(int panel, const AlarmControls& display, int d);
// The same for both displays, each with the channel it shows.
void showChannelAlarms();

int sDisp1Callback(CTRL_CALLBACK_ARGS);
int sDisp2Callback(CTRL_CALLBACK_ARGS);
int currChartCallBack(CTRL_CALLBACK_ARGS);
