// Applies what a decoded frame did: the alarm lamps and beeps, the display
// layout and the names, the recording's channel identity, legend and
// Statistics list, its automatic stop, the no-data watchdog, the value boxes
// with their units and the receive lamp. Every per-frame write to the Monitor
// panel is made here.
#pragma once

#include "core/decode.h"

// After decode9600 (taken or refused).
void presentFrame9600(const FrameResult& result);
// After decodeLegacy.
void presentFrameLegacy(const FrameResult& result);
// A piece of 3 characters or fewer: no frame, counted as refused.
void presentNoise();
