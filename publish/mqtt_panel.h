// The MQTT window: the broker settings with OK and Cancel, and a line with
// the connection's state and counts. Opened from the Serial Port window.
#pragma once

#include "platform/platform.h"

int mqttCallBack(CTRL_CALLBACK_ARGS);
int mqttOkCallBack(CTRL_CALLBACK_ARGS);
int mqttCancelCallBack(CTRL_CALLBACK_ARGS);
int mqttStateTimerCallBack(CTRL_CALLBACK_ARGS);
int MqttPanCallBack(PANEL_CALLBACK_ARGS);
// At exit, when it is still open.
void closeMqttPanel();
