#include "meter/decoders.h"
#include "meter/link_activity.h"

#include <cstring>

#include "core/channel.h"
#include "core/field_helpers.h"
#include "platform/platform.h"
#include "record/recording.h"
#include "core/record_buffer.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"
#include "view/alarm_limits.h"
#include "view/display_select.h"
#include "view/statistics.h"

namespace {

constexpr int kChannels = static_cast<int>(sizeof channel / sizeof channel[0]);
constexpr unsigned char kErrorType = 18;  // "ERROR#"

bool isSeparator(char c)
{
    return c == ':' || c == ';' || c == ',';
}

// Length of the field at pos in the frame (up to its separator or the end).
int fieldLength(const char* pos)
{
    return GetStrTerm(nullptr, 0, pos);
}

// Channel count of the body, or 0 when the frame cannot be placed in the
// channel records without guessing, and is dropped whole:
// - more than ten fields: there are only ten records, and taking the first
//   ten would turn a damaged frame into a layout change that ends a
//   recording;
// - a data field that is empty (two separators in a row, a separator at
//   either end, or nothing left after the "@" cut): it has no code letter,
//   and reading one would step onto the next field or past the frame.
// An empty description is a channel without a name and stays valid.
int channelCount(const char* body)
{
    int colons = 0;
    for (const char* p = body; *p != '\0'; ++p)
        colons += *p == ':' ? 1 : 0;
    const int n = colons + 1;
    if (n > kChannels)
        return 0;
    if (body[0] == '$')
        return n;
    const char* pos = body;
    for (int i = 0; i < n; ++i) {
        if (*pos == '\0' || isSeparator(*pos))
            return 0;
        pos += fieldLength(pos) + 1;
    }
    return n;
}

struct Flags {
    bool layoutChanged = false;
    bool namesChanged = false;
};

void readDescriptions(const char* pos, int n, Flags& flags)
{
    ++pos;  // the "$"
    for (int i = 0; i < n; ++i) {
        char des[16];
        pos += GetStrTerm(des, pos) + 1;
        if (std::strcmp(des, channel[i].des) != 0) {
            copyText(channel[i].des, des);
            flags.namesChanged = true;
        }
    }
    fViewGetDes = 1;
    if (fLogging) {
        fLogGetDes = 1;
        for (int i = 0; i < n; ++i)
            copyText(logChannel[i].des, channel[i].des);
    }
}

void readFields(char* pos, int n, Flags& flags)
{
    for (int i = 0; i < n; ++i) {
        ChannelRecord& rec = channel[i];
        char text[20];
        if (*pos == 'E') {
            // An error without a code letter names no sensor: a known type stays.
            if (rec.type == 0)
                rec.type = kErrorType;
            pos += GetStrTerm(text, pos) + 1;
            analySisErrorStr(text, &rec);
            continue;
        }

        const unsigned char t = static_cast<unsigned char>(sensorTypeCheck(*pos));
        ++pos;
        if (t != rec.type) {
            if (rec.type != 0 && rec.type != kErrorType) {
                // Another sensor where a known one was: a new channel layout.
                flags.layoutChanged = true;
                fViewGetDes = 0;
            } else if (fViewGetDes == 0) {
                flags.namesChanged = true;
            }
            rec.type = t;
            if (fLogging)
                logChannel[i].type = t;
        }
        pos += GetStrTerm(text, pos) + 1;
        if (text[0] == 'E')
            analySisErrorStr(text, &rec);
        else
            analysisValStr(text, &rec);
    }
}

void relabelRecording()
{
    SetStaticDisp(staticIndex);
    showRecordedChannels();
}

}  // namespace

void analysis9600ComPortData()
{
    rxBuf[sizeof rxBuf - 1] = '\0';  // never scan past the buffer
    char* frame = rxBuf;
    while (*frame == '\r' || *frame == '\n')
        ++frame;

    // A damaged frame has no effect at all, not even on the watchdog.
    if (CheckLrc(frame) == 0)
        return;
    frame[GetCharPos(frame, '@')] = '\0';

    const int n = channelCount(frame);
    if (n == 0)
        return;

    Flags flags;
    if (n != wDataNum) {
        flags.layoutChanged = true;
        fViewGetDes = 0;
        wDataNum = n;
        for (int i = 0; i < n; ++i)
            channel[i].des[0] = '\0';
    }

    if (frame[0] == '$') {
        readDescriptions(frame, n, flags);
    } else {
        readFields(frame, n, flags);
        // Limits are per channel: each display tests the channel it shows.
        alarmTest(disp1Index, kDisplay1.highAlarm, kDisplay1.lowAlarm);
        alarmTest(disp2Index, kDisplay2.highAlarm, kDisplay2.lowAlarm);
    }

    if (flags.layoutChanged) {
        if (wDataNum > 2)
            SetDispNew(0, 1);
        else
            SetDispOld();
        autoStopLogging("Detected error,Stop Logging");
    }
    if (flags.namesChanged) {
        SetDispNew(disp1Index, disp2Index);
        // A recording survives a renaming; its legend and list follow it.
        if (!flags.layoutChanged && fLogging)
            relabelRecording();
    }

    ResetTimer(monitorPanel, MONITOR_NODATA_TIMER);
    noteFrameTaken();
}
