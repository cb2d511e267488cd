// The record buffer: fixed storage for 16000 records of 10 channels, its
// counters and flags. Plain data: the recording that fills it lives in
// record/recording.h.
#pragma once

enum { kMaxRecords = 16000, kMaxChannels = 10, kRecordTextSize = 11 };

extern float logData[kMaxRecords][kMaxChannels];
extern double chData[kMaxChannels][kMaxRecords];
extern char chDataStr[kMaxChannels][kMaxRecords][kRecordTextSize];
extern char chUnit[kMaxChannels][kMaxRecords][kRecordTextSize];
extern int sTime[kMaxRecords];

extern int logCounter;
extern int logLength;
extern int logDataNum;
extern unsigned char fLogging;
extern unsigned char fLogGetDes;

// The counters as far as the buffer goes: they may claim more (or less) than
// it holds, and nothing may read or write past it.
inline int clampRecords(int n)
{
    return n < 0 ? 0 : (n > kMaxRecords ? kMaxRecords : n);
}
inline int clampChannels(int n)
{
    return n < 0 ? 0 : (n > kMaxChannels ? kMaxChannels : n);
}
inline int recordedChannels()
{
    return clampChannels(logDataNum);
}
inline int recordsTaken()  // records of the recording, by logCounter
{
    return clampRecords(logCounter);
}
inline int recordsHeld()  // records to save and analyse, by logLength
{
    return clampRecords(logLength);
}

// The only writers of the buffer's cells. Each checks its indices against the
// buffer's size and writes nothing outside it; texts are cut to fit.
// Returns 1 when written, 0 when the position lies outside the buffer.
int putRecordTime(int record, int stamp);
int putRecordValue(int record, int channel, float value, const char* text, const char* unit);
