// Start-up, the main loop and the Monitor panel's general commands.
#pragma once

#include "core/clock.h"
#include "meter/serial_link.h"
#include "ui/panel_handles.h"

// The program: returns 0 after a normal exit (or --help), 2 for a mistake on
// the command line, -1 when the run-time or a panel cannot be started. See
// app/run_options.h for --headless and the other options.
int merrivanMain(int argc, char* argv[]);
// Registers every callback that the panel definitions name.
void registerMerrivanCallbacks();

void defaultValue();

int MonitorPanCallBack(int panel, int event, void* callbackData, int eventData1, int eventData2);
int exitCallBack(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
int helpCallBack(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
int printGraphCallBack(int panel, int control, int event, void* callbackData, int eventData1,
                       int eventData2);
int printCallBack(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
int timeTickCallBack(int panel, int control, int event, void* callbackData, int eventData1,
                     int eventData2);
