// The automatic stop of a recording, used by every part that must end one.
#pragma once

// Ends a running recording with `reason` as the chart label; nothing when
// no recording runs. The records stay in the buffer.
void autoStopLogging(const char* reason);
