// Handles of the three panels, set at start-up.
#pragma once

extern int monitorPanel;
extern int comPortPanel;
extern int statisticPanel;
