#include "meter/find_meter.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "core/channel.h"
#include "core/decode.h"
#include "core/frame_drain.h"
#include "platform/platform.h"

namespace {

constexpr int kLastPort = 16;
// A meter at the usual two frames a second fills a listening turn with
// several; this many, and the search need not wait for the turn's end.
constexpr int kSureFrames = 3;

struct Tally {
    int port = 0;
    int taken = 0;
    int refused = 0;
};

bool carriesFrames(const Tally& t)
{
    return t.taken >= 2 && t.taken > t.refused;
}

// The decoders write the channel records; listening must leave the live
// meter's records as they were.
class SavedChannels {
public:
    SavedChannels() : dataNum_(wDataNum), getDes_(fViewGetDes)
    {
        std::memcpy(records_, channel, sizeof channel);
    }
    ~SavedChannels()
    {
        std::memcpy(channel, records_, sizeof channel);
        wDataNum = dataNum_;
        fViewGetDes = getDes_;
    }
    SavedChannels(const SavedChannels&) = delete;
    SavedChannels& operator=(const SavedChannels&) = delete;

private:
    ChannelRecord records_[10];
    int dataNum_;
    unsigned char getDes_;
};

bool printable(const char* text, int length)
{
    for (int i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return true;
}

// The legacy decoder takes any text, so a frame counts only when it reads as
// a meter's: printable, a known sensor's code letter first, and a number or
// an error code after it. Bytes read at the wrong rate rarely are all three.
bool legacyReading(char* piece, int length)
{
    if (!printable(piece, length))
        return false;
    const FrameResult r = decodeLegacy(piece, static_cast<std::size_t>(length) + 2);
    return channel[0].type != 0 && (std::isfinite(channel[0].value) || (r.errorFields & 1u) != 0);
}

// One port's input queue while listening: frames are decoded only to be
// counted.
class ListenQueue final : public FrameQueue {
public:
    ListenQueue(Tally& tally, bool meter9600) : tally_(tally), meter9600_(meter9600) {}

    int queued() override { return GetInQLen(tally_.port); }
    bool endQueued() override { return ComTermQueued(tally_.port, kFrameEnd) == 1; }
    int read(char* buffer, int count) override
    {
        return ComRdTerm(tally_.port, buffer, count, kFrameEnd);
    }
    void frame(char* piece, int length) override
    {
        piece[length] = static_cast<char>(kFrameEnd);
        piece[length + 1] = '\0';
        const bool taken = meter9600_
                               ? decode9600(piece, static_cast<std::size_t>(length) + 2).taken()
                               : legacyReading(piece, length);
        ++(taken ? tally_.taken : tally_.refused);
    }
    void refused() override { ++tally_.refused; }

private:
    Tally& tally_;
    bool meter9600_;
};

// Listens at one rate on every port that opens; the port that carries the
// most frames, or a zero port.
Tally listenAt(const std::vector<int>& present, long rate, int parity, int dataBits,
               int stopBits, FindProgress progress)
{
    std::vector<Tally> listening;
    for (int port : present) {
        if (OpenComConfig(port, "", rate, parity, dataBits, stopBits, 512, 512) < 0)
            continue;
        SetComTime(port, 0.0);
        FlushInQ(port);  // bytes from before, or at another rate, say nothing
        listening.push_back(Tally{port, 0, 0});
    }
    if (progress)
        progress(rate, static_cast<int>(listening.size()));

    const bool meter9600 = rate == 9600;
    const int shortest = meter9600 ? kShortest9600 : kShortestLegacy;
    bool sure = false;
    for (int step = 0; step < kFindSteps && !listening.empty() && !sure; ++step) {
        Delay(kFindStep);
        for (Tally& t : listening) {
            ListenQueue queue(t, meter9600);
            drainFrames(queue, shortest);
            sure = sure || (carriesFrames(t) && t.taken >= kSureFrames);
        }
    }

    Tally best;
    for (const Tally& t : listening) {
        CloseCom(t.port);
        if (carriesFrames(t) && t.taken > best.taken)
            best = t;
    }
    return best;
}

}  // namespace

MeterFound findMeter(int parity, int dataBits, int stopBits, FindProgress progress)
{
    const SavedChannels saved;
    std::vector<int> present;
    for (int port = 1; port <= kLastPort; ++port)
        if (comDevicePresent(port) == 1)
            present.push_back(port);
    if (present.empty())
        return {};

    for (long rate : kFindRates) {
        const Tally best = listenAt(present, rate, parity, dataBits, stopBits, progress);
        if (best.port != 0)
            return MeterFound{best.port, rate, best.taken};
    }
    return {};
}
