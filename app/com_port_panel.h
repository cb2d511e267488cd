// The serial port settings panel, and the serial link it sets up: opened at
// start-up, by OK and Auto, and again by itself when the meter's device comes
// back after it went away.
#pragma once

#include "platform/platform.h"

int comPortCallBack(CTRL_CALLBACK_ARGS);
int CommPortCallBack(PANEL_CALLBACK_ARGS);
int comPortOkCmdCallBack(CTRL_CALLBACK_ARGS);
int comPortCancelCmdCallBack(CTRL_CALLBACK_ARGS);
int comPortAutoCmdCallBack(CTRL_CALLBACK_ARGS);
int portNoCallBack(CTRL_CALLBACK_ARGS);
int baudRateCallBack(CTRL_CALLBACK_ARGS);
int parityCallBack(CTRL_CALLBACK_ARGS);
int dataBitsCallBack(CTRL_CALLBACK_ARGS);
int stopBitsCallBack(CTRL_CALLBACK_ARGS);

// Discards the COM port panel if it is open (the program is ending).
void closeComPortPanel();

// "Setting: COM%d, %d Bps, %d bits No Parity." into the status line.
void writeSettingsStatus();
// The status line after the start-up open of portNo (`openResult` from
// OpenComConfig): the settings, or, when the port's device is missing, that
// the program waits for it (and it is then opened as soon as it appears).
void showStartupLinkStatus(int openResult);
// Called each second: notices a port whose device went away and reopens it,
// with the settings in use, once a device is back at its path.
void watchComLink();
// When the link waits for a device, says so on the status line again (a
// recording's progress may have written over it).
void restateComLinkWait();
