// Handles of the three panels, set at start-up.
#pragma once

extern int monitorPanel;
extern int comPortPanel;
extern int statisticPanel;

// The Monitor chart's legend labels, in channel order.
extern const int lableColor[10];
