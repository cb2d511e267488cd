// Channel records, the sensor type table and the globals shared by the
// receive path and the two frame decoders.
#pragma once

#include <cstddef>

// One meter channel. Texts are always NUL-terminated inside their arrays.
struct ChannelRecord {
    unsigned char type;  // index into sensorType; 0 = not known yet
    // The number valStr shows; a quiet NaN when the reading has none (an
    // error code), so that alarms, statistics and charts pass it over.
    float value;
    char valStr[10];     // text shown for the reading, or an error code
    char des[20];        // channel description from a description frame
    char unit[10];       // unit text, or "Nul" when the field had none
};

// Latest reading of each channel, by position in the meter frame.
extern ChannelRecord channel[10];
// Identity (type, des) of the channels of the recording in progress or loaded.
extern ChannelRecord logChannel[10];

// Sensor names indexed by ChannelRecord::type.
extern const char* const sensorType[19];

// The sensor name of a type; "Undefined" for a type outside the table, so a
// damaged record never indexes past it.
const char* sensorName(unsigned type);

// What a channel is called on screen and in lists: its description once the
// meter has named its channels, else its sensor name. A description that
// fills its field without a terminator is cut at the field's end.
struct ChannelLabel {
    char text[sizeof ChannelRecord::des + 1];
};
ChannelLabel channelLabel(const ChannelRecord& rec, bool useDescription);

// Sensor type index for a code letter; 0 ("Undefined") for anything unknown.
int sensorTypeCheck(char code);

// Receive-side state.
extern char rxBuf[260];        // one frame, always ending in CR and NUL
extern int rxLen;              // count from the last queue query or read
extern int wDataNum;           // channel count of the most recent frame
extern unsigned char fViewGetDes;  // 1 once channel names came from the meter

// Copies at most capacity - 1 characters of src and always terminates dst
// (nothing is written when capacity is 0). Meter texts longer than the
// fixed fields are cut rather than allowed to overrun them.
void copyText(char* dst, std::size_t capacity, const char* src);

template <std::size_t N>
inline void copyText(char (&dst)[N], const char* src)
{
    copyText(dst, N, src);
}
