// Stops a recording and resets the displays when the meter falls silent.
#pragma once

#include "platform/platform.h"

int TimeNoDataCallback(CTRL_CALLBACK_ARGS);
