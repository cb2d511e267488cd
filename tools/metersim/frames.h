// Frame generation of the simulated meter: sensor readings, description frames, check sums and
// the deliberate faults. Pure text work, no I/O.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace metersim {

// One sensor type the meter can report, with the range and resolution it shows.
struct SensorKind {
    char code;               // code letter in the frame
    const char* label;       // base of the default channel description (at most 12 characters)
    const char* unit;        // unit text of the 9600 meter
    const char* legacyUnit;  // unit text of the legacy meter
    double low, high;        // plausible range
    double start;            // typical reading
    double drift, noise;     // random-walk step and per-frame noise
    int decimals;            // digits after the point
    int width;               // zero-padded width of the 9600 meter's number, sign included
};

const SensorKind* findSensor(char code);

// Small deterministic generator (splitmix64): the same seed gives the same frames everywhere.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    double uniform();        // [0, 1)
    double symmetric();      // [-1, 1)
    int below(int n);        // 0 .. n-1

private:
    std::uint64_t state_;
};

struct FrameConfig {
    bool legacy = false;
    int channels = 4;
    int altChannels = 0;          // second channel count for the toggling fault
    int changeEvery = 0;          // toggle the channel count after every N data frames
    std::string types;            // code letter per channel, repeated when shorter
    std::vector<std::string> names;  // channel descriptions, default from the sensor kind
    bool describe = true;         // description frame at start and after a channel change
    int describeEvery = 0;        // and after every N data frames
    int underscoreEvery = 0;      // one "_" field in every N-th data frame
    int errorEvery = 0;           // one error-code field in every N-th data frame
    int badLrcEvery = 0;          // wrong check characters in every N-th data frame
    int trailerEvery = 0;         // "@" trailer in every N-th data frame
    std::string trailer = "X";
    int longEvery = 0;            // every N-th data frame padded to an over-long line
    bool steady = false;          // every reading at its kind's typical value
    std::uint64_t seed = 1;
};

constexpr int longLineLength = 300;  // the receive path splits lines after 256 characters

// The two's complement of the 8-bit sum of the content, and the same as the two upper-case
// hexadecimal digits that end a 9600 frame.
unsigned lrcValue(std::string_view content);
std::string lrcText(unsigned value);

// Number text with exactly `decimals` digits after the point, zero-padded to `width` like
// printf's "%0*.*f", but independent of the locale; never a negative zero.
std::string formatNumber(double value, int decimals, int width);

class FrameMaker {
public:
    explicit FrameMaker(FrameConfig config);
    std::string nextLine();  // one line without its CR

private:
    struct Channel {
        const SensorKind* kind;
        double level;
    };

    void drift();
    std::string describeFrame() const;
    std::string dataFrame(long long number);
    std::string readingField(int index);
    std::string sealed(std::string content, bool badLrc) const;
    std::string overLong(std::string content) const;

    FrameConfig config_;
    Random random_;
    std::vector<Channel> channels_;
    int count_;
    long long dataFrames_ = 0;
    long long preparedFor_ = 0;
    bool describePending_ = false;
};

}  // namespace metersim
