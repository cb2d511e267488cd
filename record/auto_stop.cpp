#include "record/auto_stop.h"

#include "platform/platform.h"
#include "core/record_buffer.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"

void autoStopLogging(const char* reason)
{
    if (!fLogging)
        return;
    SetCtrlAttribute(monitorPanel, MONITOR_SAMPLE_TIMER, ATTR_ENABLED, 0);
    SetCtrlAttribute(monitorPanel, MONITOR_CHART, ATTR_LABEL_TEXT, reason);
    fLogging = 0;
    SetCtrlAttribute(monitorPanel, MONITOR_REC_INDICATOR, ATTR_VISIBLE, 0);
    SetCtrlVal(monitorPanel, MONITOR_LOG_SWITCH, 0);
    SetCtrlAttribute(monitorPanel, MONITOR_SAMPLE_COUNT, ATTR_DIMMED, 0);
    SetCtrlAttribute(monitorPanel, MONITOR_SAMPLE_RATE, ATTR_DIMMED, 0);
}
