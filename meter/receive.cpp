#include "meter/receive.h"

#include <cstring>

#include "core/channel.h"
#include "meter/decoders.h"
#include "meter/link_activity.h"
#include "meter/serial_link.h"
#include "platform/platform.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"
#include "view/display_select.h"

namespace {

constexpr int kCr = 13;
constexpr int kMaxFrame = 256;  // rxBuf keeps two more bytes for CR and NUL
constexpr int kShortest = 4;    // anything shorter is noise, not a frame

// "Nul" in a record means the field carried no unit: the label stays empty.
const char* unitLabel(const ChannelRecord& rec)
{
    return std::strcmp(rec.unit, "Nul") == 0 ? "" : rec.unit;
}

// Read after the decoder ran, so a layout it changed shows at once. With one
// channel display 2 stays empty: the 9600 decoder leaves the records of
// channels the meter stopped sending as they were, and their old reading
// must not pass for a live one.
void showDisplays()
{
    const ChannelRecord& first = channel[disp1Index];
    const ChannelRecord& second = channel[disp2Index];
    const bool oneChannel = wDataNum <= 1;
    SetCtrlVal(monitorPanel, MONITOR_CH1_VALUE, first.valStr);
    SetCtrlVal(monitorPanel, MONITOR_CH2_VALUE, oneChannel ? "" : second.valStr);
    SetCtrlAttribute(monitorPanel, MONITOR_CH1_VALUE, ATTR_LABEL_TEXT, unitLabel(first));
    SetCtrlAttribute(monitorPanel, MONITOR_CH2_VALUE, ATTR_LABEL_TEXT,
                     oneChannel ? "" : unitLabel(second));
}

}  // namespace

// Runs on each CR the port receives and drains every complete frame queued.
// A read is started only when it cannot wait: a CR is queued, or a whole
// 256-byte piece is. A line still waiting for its CR stays in the queue for
// the CR event that completes it, so the window never stalls on it.
void comPortCharDetCallBack(int portNumber, int, void*)
{
    for (;;) {
        rxLen = GetInQLen(portNumber);
        if (rxLen < kShortest)
            return;
        if (rxLen < kMaxFrame && ComTermQueued(portNumber, kCr) != 1)
            return;
        rxLen = ComRdTerm(portNumber, rxBuf, kMaxFrame, kCr);
        if (rxLen > 0 && rxLen < kShortest)
            showLinkActivity(false);
        if (rxLen < kShortest || rxLen > kMaxFrame)
            return;
        if (rxBuf[0] == '\0')
            return;
        rxBuf[rxLen] = static_cast<char>(kCr);
        rxBuf[rxLen + 1] = '\0';

        const unsigned long taken = framesRead;
        if (fNewMeter)
            analysis9600ComPortData();
        else
            analysisComPortData();
        showDisplays();
        showLinkActivity(framesRead != taken);
    }
}
