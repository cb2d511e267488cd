// What the link is doing: frames taken and refused this session, shown by the
// receive lamp and its count beside the status line.
#pragma once

extern unsigned long framesRead;     // decoded and taken (counted by the frame presenter)
extern unsigned long framesRefused;  // too short, bad check sum, outside the protocol

// A frame was taken, or the link opened: the no-data watchdog times a
// silence from now, on its timer and on the monotonic clock.
void startSilenceClock();
// Elapsed time (MonotonicMs) since the last frame taken, or since the link
// opened when none came after.
long long msSinceMeterHeard();

// Shows the counts if they changed since last shown; the clock calls it once
// a second.
void showLinkCounts();

// The lamp's timer: puts the lamp out after its flash and shows the counts.
int rxLampCallBack(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
