#include "app/watchdog.h"

int TimeNoDataCallback(CTRL_CALLBACK_ARGS)
{
    (void)panel, (void)control, (void)event, (void)callbackData, (void)eventData1, (void)eventData2;
    return 0;
}
