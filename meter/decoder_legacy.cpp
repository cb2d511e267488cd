#include "meter/decoders.h"
#include "meter/link_activity.h"

#include "core/channel.h"
#include "core/field_helpers.h"
#include "platform/platform.h"
#include "record/recording.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"
#include "view/alarm_limits.h"
#include "view/display_select.h"

namespace {

constexpr int kWordSize = 20;  // 19 characters and the terminator

// Blank-separated as "%s" reads, but in the C locale whatever the user's.
bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Copies the next word into `word`, cut to 19 characters; the rest of a longer
// word is skipped, so it never turns into the following word. An empty
// word when the text has none left.
void nextWord(const char*& pos, char (&word)[kWordSize])
{
    while (isBlank(*pos))
        ++pos;
    int stored = 0;
    for (; *pos != '\0' && !isBlank(*pos); ++pos) {
        if (stored + 1 < kWordSize)
            word[stored++] = *pos;
    }
    word[stored] = '\0';
}

// The code letter is the first character; the value text is the rest, empty
// for a one-character word. A missing word gives a NUL code letter.
char decodeWord(char (&word)[kWordSize], ChannelRecord& rec)
{
    const char code = word[0];
    analysisValStr(code == '\0' ? word : word + 1, &rec);
    return code;
}

void clearReading(ChannelRecord& rec)
{
    rec.unit[0] = '\0';
    rec.valStr[0] = '\0';
    rec.value = 0.0f;
}

}  // namespace

void analysisComPortData()
{
    rxBuf[sizeof rxBuf - 1] = '\0';  // never scan past the buffer
    char* frame = rxBuf;
    while (*frame == '\r' || *frame == '\n')
        ++frame;

    // A ":" right after the first code letter stands for a leading zero;
    // any other one separates the two channels.
    int count = 1;
    for (int i = 0; frame[i] != '\r' && frame[i] != '\0'; ++i) {
        if (frame[i] != ':')
            continue;
        if (i == 1) {
            frame[i] = '0';
        } else {
            count = 2;
            frame[i] = ' ';
        }
    }

    const char* pos = frame;
    char word1[kWordSize];
    char word2[kWordSize];
    nextWord(pos, word1);
    nextWord(pos, word2);

    clearReading(channel[0]);
    clearReading(channel[1]);

    // Channel 1 and its name go by the previous frame's count: the first frame
    // of a new count only announces it.
    const char code1 = decodeWord(word1, channel[0]);
    char code2 = '\0';
    if (wDataNum > 1)
        code2 = decodeWord(word2, channel[1]);

    const unsigned char t1 = static_cast<unsigned char>(sensorTypeCheck(code1));
    if (t1 != channel[0].type) {
        channel[0].type = t1;
        SetCtrlVal(monitorPanel, MONITOR_CH1_TYPE, sensorType[t1]);
        SetCtrlVal(statisticPanel, STATISTIC_TYPE_A, sensorType[t1]);
        SetCtrlVal(statisticPanel, STATISTIC_TYPE_B, sensorType[t1]);
    }
    if (wDataNum > 1) {
        const unsigned char t2 = static_cast<unsigned char>(sensorTypeCheck(code2));
        if (t2 != channel[1].type) {
            channel[1].type = t2;
            SetCtrlVal(monitorPanel, MONITOR_CH2_TYPE, sensorType[t2]);
        }
    } else {
        SetCtrlVal(monitorPanel, MONITOR_CH2_TYPE, sensorType[0]);
    }

    if (count != wDataNum) {
        wDataNum = count;
        autoStopLogging("Detected error,Stop Logging");
    }

    alarmTest(0, kDisplay1.highAlarm, kDisplay1.lowAlarm);
    if (wDataNum > 1)
        alarmTest(1, kDisplay2.highAlarm, kDisplay2.lowAlarm);

    SetDispOld();
    ResetTimer(monitorPanel, MONITOR_NODATA_TIMER);
    noteFrameTaken();
}
