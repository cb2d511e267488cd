#include "core/record_buffer.h"

#include <cstring>


float logData[kMaxRecords][kMaxChannels];
double chData[kMaxChannels][kMaxRecords];
char chDataStr[kMaxChannels][kMaxRecords][kRecordTextSize];
char chUnit[kMaxChannels][kMaxRecords][kRecordTextSize];
int sTime[kMaxRecords];

int logCounter = 0;
int logLength = 0;
int logDataNum = 0;
unsigned char fLogging = 0;
unsigned char fLogGetDes = 0;

namespace {

bool inBuffer(int record, int channel)
{
    return record >= 0 && record < kMaxRecords && channel >= 0 && channel < kMaxChannels;
}

void copyCell(char (&cell)[kRecordTextSize], const char* text)
{
    std::size_t n = 0;
    if (text)
        while (n < kRecordTextSize - 1 && text[n] != '\0')
            ++n;
    if (n)
        std::memcpy(cell, text, n);
    cell[n] = '\0';
}

}  // namespace

int putRecordTime(int record, int stamp)
{
    if (!inBuffer(record, 0))
        return 0;
    sTime[record] = stamp;
    return 1;
}

int putRecordValue(int record, int channel, float value, const char* text, const char* unit)
{
    if (!inBuffer(record, channel))
        return 0;
    logData[record][channel] = value;
    chData[channel][record] = static_cast<double>(value);
    copyCell(chDataStr[channel][record], text);
    copyCell(chUnit[channel][record], unit);
    return 1;
}
