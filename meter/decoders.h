// The two frame decoders of the receive path. Each decodes the frame in rxBuf
// (text, CR, NUL) into the channel records (core/decode.h) and hands what it
// did to the frame presenter, which shows it: value boxes, alarms, layout,
// recording, watchdog and receive lamp.
#pragma once

// Frames of the 9600-baud meter: LRC-checked, up to ten channels.
void analysis9600ComPortData();
// Frames of the legacy meter: one or two channels, no check sum.
void analysisComPortData();
