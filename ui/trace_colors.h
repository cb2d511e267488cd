// Colours of the ten strip-chart traces; the legend labels use the same.
#pragma once

inline constexpr unsigned kTraceColors[10] = {
    0xD62728, 0x1F77B4, 0x2CA02C, 0xFF7F0E, 0x9467BD,
    0x8C564B, 0xE377C2, 0x17BECF, 0x7F7F7F, 0xBCBD22,
};
