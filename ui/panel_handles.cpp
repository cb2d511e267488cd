#include "ui/panel_handles.h"

int monitorPanel = -1;
int comPortPanel = -1;
int statisticPanel = -1;
