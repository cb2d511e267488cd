#include "ui/panel_handles.h"

#include "ui/merrivan_uir.h"

int monitorPanel = -1;
int comPortPanel = -1;
int statisticPanel = -1;
int mqttPanel = -1;

const int lableColor[10] = {
    MONITOR_LEGEND_1, MONITOR_LEGEND_2, MONITOR_LEGEND_3, MONITOR_LEGEND_4,
    MONITOR_LEGEND_5, MONITOR_LEGEND_6, MONITOR_LEGEND_7, MONITOR_LEGEND_8,
    MONITOR_LEGEND_9, MONITOR_LEGEND_10,
};
