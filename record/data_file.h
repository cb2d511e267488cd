// Saving the record buffer to a text file and reading it back.
#pragma once

#include "platform/platform.h"

extern char fileName[512];

int saveFileCallBack(CTRL_CALLBACK_ARGS);
int retrieveFileCallBack(CTRL_CALLBACK_ARGS);
