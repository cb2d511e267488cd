// What the link is doing: frames taken and refused this session, shown by the
// receive lamp and its count beside the status line.
#pragma once

extern unsigned long framesRead;     // decoded and taken
extern unsigned long framesRefused;  // too short, bad check sum, outside the protocol

// Called by a decoder once it has taken a frame.
void noteFrameTaken();

// Lamp and count after a frame went to a decoder (or was too short).
void showLinkActivity(bool taken);

// Shows the counts if they changed since last shown; the clock calls it once
// a second.
void showLinkCounts();

// The lamp's timer: puts the lamp out after its flash and shows the counts.
int rxLampCallBack(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
