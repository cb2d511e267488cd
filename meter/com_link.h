// The serial link to the meter over its whole life: opened with the settings
// in use (serial_link.h) at start-up, by the settings panel's OK and Auto, and
// again by itself when the meter's device comes back after it went away; its
// state on the Monitor panel's status line.
#pragma once

// Opens portNo with the settings in use, empties both queues and then installs
// the receiver, so that nothing sent before the open reaches the displays. The
// result of the open; when negative, nothing else is done.
int openComLink();
// Closes portNo.
void closeComLink();

// The status line after the start-up open (`openResult` from openComLink):
// the settings, or, when the port's device is missing, that the link waits
// for it (and it is then opened as soon as it appears), or that the port
// cannot be opened.
void showStartupLinkStatus(int openResult);

// Makes `port` the one in use: a different port closes the old one and ends
// any wait for its device.
void useComPort(int port);
// Opens the link as openComLink does; once it is open, any wait is over and
// the status line shows the settings; when it fails and no device is awaited,
// the status line says the port cannot be opened. The result of the open.
int reopenComLink();

// Called each second: notices a port whose device went away, stops a
// recording at once while it is gone, and reopens the port, with the
// settings in use, once a device is back at its path.
void watchComLink();
// When the link waits for a device, says so on the status line again (a
// recording's progress may have written over it).
void restateComLinkWait();

// The watchdog found the meter silent for 10 s (and stopped a recording,
// switched alarms off): the status line says so, unless a missing device or
// a port that cannot be opened explains the silence better. Again in the
// same silence, it says nothing new.
void tellMeterSilent(bool recordingStopped, bool alarmsOff);
// Called each second: while the meter stays silent and nothing records, the
// status line says for how many minutes; once frames come again, a silence
// text gives way to the settings.
void showMeterSilence();

// Auto's search opens and closes ports itself, and its pop-ups let the clock
// tick meanwhile: the watch leaves the link alone from begin to end. At the
// end, a wait for a port other than the one found is over.
void beginComPortSearch();
void endComPortSearch();
