// The serial port settings panel: OK applies and stores the settings, Auto
// searches for the port; the link itself is meter/com_link.h.
#pragma once

#include "platform/platform.h"

int comPortCallBack(CTRL_CALLBACK_ARGS);
int CommPortCallBack(PANEL_CALLBACK_ARGS);
int comPortOkCmdCallBack(CTRL_CALLBACK_ARGS);
int comPortCancelCmdCallBack(CTRL_CALLBACK_ARGS);
int comPortAutoCmdCallBack(CTRL_CALLBACK_ARGS);
// Find Meter: listens for the meter on every present port and shows what it
// found in the panel; OK applies it.
int comPortFindCmdCallBack(CTRL_CALLBACK_ARGS);
int portNoCallBack(CTRL_CALLBACK_ARGS);
int baudRateCallBack(CTRL_CALLBACK_ARGS);
int parityCallBack(CTRL_CALLBACK_ARGS);
int dataBitsCallBack(CTRL_CALLBACK_ARGS);
int stopBitsCallBack(CTRL_CALLBACK_ARGS);

// Discards the COM port panel if it is open (the program is ending).
void closeComPortPanel();
