#include "record/data_file.h"

char fileName[512];

#define IGNORE_ARGS (void)panel, (void)control, (void)event, (void)callbackData, (void)eventData1, (void)eventData2
int saveFileCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
int retrieveFileCallBack(CTRL_CALLBACK_ARGS) { IGNORE_ARGS; return 0; }
