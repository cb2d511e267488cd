// Start-up, the main loop and the Monitor panel's general commands.
#pragma once

// Panel handles.
extern int monitorPanel;
extern int comPortPanel;
extern int statisticPanel;

// Serial link settings.
extern int portNo;
extern int baudRate;
extern int parity;
extern int dataBits;
extern int stopBits;
extern unsigned char fNewMeter;

// Seconds since 2000-01-01 00:00:00, advanced by the clock tick.
extern int sysClock;

// The program: returns 0 after a normal exit, -1 when the run-time or a panel
// cannot be started.
int merrivanMain(int argc, char* argv[]);
// Registers every callback that the panel definitions name.
void registerMerrivanCallbacks();

void defaultSensorType();
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
