// Handles of the three panels, set at start-up.
#pragma once

extern int monitorPanel;
extern int comPortPanel;
extern int statisticPanel;
extern int mqttPanel;  // while the MQTT window is open, else -1

// The Monitor chart's legend labels, in channel order.
extern const int lableColor[10];
