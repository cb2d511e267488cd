// The Monitor set-up the user left: recording, chart scale, histogram bins
// and each channel's alarm limits, kept in the settings file across runs.
#pragma once

// Puts the set-up back at start-up, after the start values are set; each
// missing or unusable value takes its default alone. The alarm switches and
// the Record switch stay off.
void recallSetup();
// Stores what recallSetup reads that the Monitor's own state does not hold:
// the histogram bins and the limits of every channel.
void rememberSetup();
