#include "meter/receive.h"

#include <cstring>

#include "core/channel.h"
#include "core/frame_drain.h"
#include "meter/decoders.h"
#include "meter/frame_presenter.h"
#include "meter/serial_link.h"
#include "platform/platform.h"

namespace {

// The serial port's input queue, as the drain sees it.
class PortQueue final : public FrameQueue {
public:
    explicit PortQueue(int port) : port_(port) {}

    int queued() override { return GetInQLen(port_); }
    bool endQueued() override { return ComTermQueued(port_, kFrameEnd) == 1; }
    int read(char* buffer, int count) override
    {
        return ComRdTerm(port_, buffer, count, kFrameEnd);
    }
    void frame(char* piece, int length) override
    {
        std::memcpy(rxBuf, piece, static_cast<std::size_t>(length));
        rxBuf[length] = static_cast<char>(kFrameEnd);
        rxBuf[length + 1] = '\0';
        rxLen = length;
        // The decoder shows the frame, and a refused one too.
        if (fNewMeter)
            analysis9600ComPortData();
        else
            analysisComPortData();
    }
    void refused() override { presentNoise(); }

private:
    int port_;
};

static_assert(sizeof rxBuf >= kMaxPiece + 2, "rxBuf holds a piece, its CR and a NUL");

}  // namespace

// Runs on each CR the port receives and takes every complete frame queued.
// A read is started only when it cannot wait: a CR is queued, or a whole
// 256-byte piece is. A line still waiting for its CR stays in the queue for
// the CR event that completes it, so the window never stalls on it.
void comPortCharDetCallBack(int portNumber, int, void*)
{
    PortQueue queue(portNumber);
    drainFrames(queue, fNewMeter ? kShortest9600 : kShortestLegacy);
}

void takeQueuedFrames()
{
    // A port that is not open answers a negative count: nothing is taken.
    comPortCharDetCallBack(portNo, LWRS_RXFLAG, nullptr);
}
