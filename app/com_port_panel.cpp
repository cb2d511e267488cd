#include "app/com_port_panel.h"

#define IGNORE_ARGS (void)panel, (void)control, (void)event, (void)callbackData, (void)eventData1, (void)eventData2
int comPortCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int CommPortCallBack(PANEL_CALLBACK_ARGS)
{
    (void)panel, (void)event, (void)callbackData, (void)eventData1, (void)eventData2;
    return 0;
}
int comPortOkCmdCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int comPortCancelCmdCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int comPortAutoCmdCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int portNoCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int baudRateCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int parityCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int dataBitsCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int stopBitsCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
