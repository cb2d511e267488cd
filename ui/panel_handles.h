// Handles of the panels, set at start-up (the MQTT window's while it is open).
#pragma once

extern int monitorPanel;
extern int comPortPanel;
extern int statisticPanel;
extern int mqttPanel;  // while the MQTT window is open, else -1

// The Monitor chart's legend labels, in channel order.
extern const int lableColor[10];
