#include "view/display_select.h"

int disp1Index = 0;
int disp2Index = 0;

void SetDispOld()
{
    disp1Index = 0;
    disp2Index = 1;
}

void SetDispNew(int d1, int d2)
{
    disp1Index = d1;
    disp2Index = d2;
}

int sDisp1Callback(CTRL_CALLBACK_ARGS)
{
    (void)panel, (void)control, (void)event, (void)callbackData, (void)eventData1, (void)eventData2;
    return 0;
}

int sDisp2Callback(CTRL_CALLBACK_ARGS)
{
    (void)panel, (void)control, (void)event, (void)callbackData, (void)eventData1, (void)eventData2;
    return 0;
}

int currChartCallBack(CTRL_CALLBACK_ARGS)
{
    (void)panel, (void)control, (void)event, (void)callbackData, (void)eventData1, (void)eventData2;
    return 0;
}
