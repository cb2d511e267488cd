#include "meter/receive.h"

#include "core/channel.h"
#include "meter/decoders.h"
#include "meter/frame_presenter.h"
#include "meter/serial_link.h"
#include "platform/platform.h"

namespace {

constexpr int kCr = 13;
constexpr int kMaxFrame = 256;  // rxBuf keeps two more bytes for CR and NUL
constexpr int kShortest = 4;    // anything shorter is noise, not a frame

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
            presentNoise();
        if (rxLen < kShortest || rxLen > kMaxFrame)
            return;
        if (rxBuf[0] == '\0')
            return;
        rxBuf[rxLen] = static_cast<char>(kCr);
        rxBuf[rxLen + 1] = '\0';

        // The decoder shows the frame, and a refused one too.
        if (fNewMeter)
            analysis9600ComPortData();
        else
            analysisComPortData();
    }
}
