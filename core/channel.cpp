#include "core/channel.h"

#include <cstring>

ChannelRecord channel[10];
ChannelRecord logChannel[10];

const char* const sensorType[19] = {
    "Undefined",       // 0
    "Air_Flow",        // 1
    "Pressure",        // 2
    "Conductivity",    // 3
    "Humidity",        // 4
    "Sound_Level",     // 5
    "Temperature",     // 6
    "PH",              // 7
    "Pressure",        // 8
    "Dew_Point",       // 9
    "HeatIndex",       // 10
    "DP-Suface",       // 11
    "Wet_Bulb",        // 12
    "Air_Velocity",    // 13
    "DO",              // 14
    "Salinity",        // 15
    "BTU",             // 16
    "mV",              // 17
    "ERROR#",          // 18
};

int sensorTypeCheck(char code)
{
    // Exact match on the character: case matters except for T/t and E/e.
    // Indices 2 and 3 have no code letter.
    switch (static_cast<unsigned char>(code)) {
    case 'v': return 1;
    case 'H': return 4;
    case 'N': return 5;
    case 'T':
    case 't': return 6;
    case 'p': return 7;
    case 'P': return 8;
    case 'd': return 9;
    case 'i': return 10;
    case 's': return 11;
    case 'w': return 12;
    case 'V': return 13;
    case 'C': return 14;
    case 'S': return 15;
    case 'U': return 16;
    case 'm': return 17;
    case 'E':
    case 'e': return 18;
    default: return 0;
    }
}

char rxBuf[260];
int rxLen;
int wDataNum;
unsigned char fViewGetDes;

const char* sensorName(unsigned type)
{
    return type < sizeof sensorType / sizeof sensorType[0] ? sensorType[type] : sensorType[0];
}

ChannelLabel channelLabel(const ChannelRecord& rec, bool useDescription)
{
    ChannelLabel label;
    if (useDescription) {
        std::memcpy(label.text, rec.des, sizeof rec.des);
        label.text[sizeof rec.des] = '\0';
    } else {
        copyText(label.text, sensorName(rec.type));
    }
    return label;
}

void copyText(char* dst, std::size_t capacity, const char* src)
{
    if (capacity == 0) {
        return;
    }
    std::size_t i = 0;
    while (i + 1 < capacity && src[i] != '\0') {
        dst[i] = src[i];
        ++i;
    }
    dst[i] = '\0';
}
