// The two frame decoders. Each reads the frame in rxBuf (text, CR, NUL), fills
// the channel records and drives the displays, the alarms, the automatic stop
// of a recording and the no-data watchdog.
#pragma once

// Frames of the 9600-baud meter: LRC-checked, up to ten channels.
void analysis9600ComPortData();
// Frames of the legacy meter: one or two channels, no check sum.
void analysisComPortData();
