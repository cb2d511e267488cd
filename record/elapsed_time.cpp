// The one clock function that reads the PC clock, kept out of the core so the
// conversions build without the platform layer.
#include <cstdio>

#include "core/clock.h"
#include "platform/platform.h"

int elapsedTime(int start)
{
    // Local copies: rtc2CRtc splits its texts in place.
    char timeText[16];
    char dateText[16];
    std::snprintf(timeText, sizeof timeText, "%s", TimeStr());
    std::snprintf(dateText, sizeof dateText, "%s", DateStr());
    const int now = rtc2CRtc(dateText, timeText, nullptr);
    return static_cast<int>(static_cast<unsigned int>(now) - static_cast<unsigned int>(start));
}
