#include "core/decode.h"

#include <cstring>
#include <limits>

#include "core/field_helpers.h"

namespace {

constexpr int kChannels = static_cast<int>(sizeof channel / sizeof channel[0]);
constexpr unsigned char kErrorType = 18;  // "ERROR#"

std::uint16_t bit(int i)
{
    return static_cast<std::uint16_t>(1u << i);
}

// The reading part of a record, to tell whether a frame changed it.
struct Reading {
    float value;
    char valStr[sizeof ChannelRecord::valStr];
    char unit[sizeof ChannelRecord::unit];
};

Reading readingOf(const ChannelRecord& rec)
{
    Reading r{};
    r.value = rec.value;
    copyText(r.valStr, rec.valStr);
    copyText(r.unit, rec.unit);
    return r;
}

// Notes channel i's reading, decoded just now, in the result.
void noteReading(FrameResult& result, int i, const Reading& before)
{
    const ChannelRecord& rec = channel[i];
    if (std::memcmp(&before.value, &rec.value, sizeof rec.value) != 0 ||
        std::strcmp(before.valStr, rec.valStr) != 0 || std::strcmp(before.unit, rec.unit) != 0)
        result.valueChanged |= bit(i);
    if (rec.valStr[0] == 'E')
        result.errorFields |= bit(i);
}

// ---------------------------------------------------------------- 9600

bool isSeparator(char c)
{
    return c == ':' || c == ';' || c == ',';
}

// Length of the field at pos in the frame (up to its separator or the end).
int fieldLength(const char* pos)
{
    return GetStrTerm(nullptr, 0, pos);
}

// Channel count of the body, or a refusal when the frame cannot be placed in
// the channel records without guessing, and is dropped whole:
// - more than ten fields: there are only ten records, and taking the first
//   ten would turn a damaged frame into a layout change that ends a
//   recording;
// - a data field that is empty (two separators in a row, a separator at
//   either end, or nothing left after the "@" cut): it has no code letter,
//   and reading one would step onto the next field or past the frame.
// An empty description is a channel without a name and stays valid.
FrameRefusal channelCount(const char* body, int& n)
{
    int colons = 0;
    for (const char* p = body; *p != '\0'; ++p)
        colons += *p == ':' ? 1 : 0;
    n = colons + 1;
    if (n > kChannels)
        return FrameRefusal::TooManyFields;
    if (body[0] == '$')
        return FrameRefusal::None;
    const char* pos = body;
    for (int i = 0; i < n; ++i) {
        if (*pos == '\0' || isSeparator(*pos))
            return FrameRefusal::EmptyField;
        pos += fieldLength(pos) + 1;
    }
    return FrameRefusal::None;
}

void readDescriptions(const char* pos, int n, FrameResult& result)
{
    ++pos;  // the "$"
    for (int i = 0; i < n; ++i) {
        char des[16];
        pos += GetStrTerm(des, pos) + 1;
        if (std::strcmp(des, channel[i].des) != 0) {
            copyText(channel[i].des, des);
            result.namesChanged = true;
        }
    }
    fViewGetDes = 1;
}

void readFields(char* pos, int n, FrameResult& result)
{
    for (int i = 0; i < n; ++i) {
        ChannelRecord& rec = channel[i];
        const Reading before = readingOf(rec);
        char text[20];
        if (*pos == 'E') {
            // An error without a code letter names no sensor: a known type stays.
            if (rec.type == 0) {
                rec.type = kErrorType;
                result.typeChanged |= bit(i);
            }
            pos += GetStrTerm(text, pos) + 1;
            analySisErrorStr(text, &rec);
            noteReading(result, i, before);
            continue;
        }

        const unsigned char t = static_cast<unsigned char>(sensorTypeCheck(*pos));
        ++pos;
        if (t != rec.type) {
            if (rec.type != 0 && rec.type != kErrorType) {
                // Another sensor where a known one was: a new channel layout.
                result.layoutChanged = true;
                fViewGetDes = 0;
            } else if (fViewGetDes == 0) {
                result.namesChanged = true;
            }
            rec.type = t;
            result.typeChanged |= bit(i);
            result.sensorChanged |= bit(i);
        }
        pos += GetStrTerm(text, pos) + 1;
        if (text[0] == 'E')
            analySisErrorStr(text, &rec);
        else
            analysisValStr(text, &rec);
        noteReading(result, i, before);
    }
}

// ---------------------------------------------------------------- legacy

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

// A channel the frame does not read has no value until one arrives.
void clearReading(ChannelRecord& rec)
{
    rec.unit[0] = '\0';
    rec.valStr[0] = '\0';
    rec.value = std::numeric_limits<float>::quiet_NaN();
}

}  // namespace

FrameResult decode9600(char* buf, std::size_t size)
{
    FrameResult result;
    result.channels = wDataNum;
    buf[size - 1] = '\0';  // never scan past the buffer
    char* frame = buf;
    while (*frame == '\r' || *frame == '\n')
        ++frame;

    if (CheckLrc(frame) == 0) {
        result.refusal = FrameRefusal::CheckSum;
        return result;
    }
    frame[GetCharPos(frame, '@')] = '\0';

    int n = 0;
    result.refusal = channelCount(frame, n);
    if (!result.taken())
        return result;

    if (n != wDataNum) {
        result.layoutChanged = true;
        fViewGetDes = 0;
        wDataNum = n;
        for (int i = 0; i < n; ++i)
            channel[i].des[0] = '\0';
    }
    result.channels = n;

    if (frame[0] == '$') {
        result.description = true;
        readDescriptions(frame, n, result);
    } else {
        readFields(frame, n, result);
    }
    return result;
}

FrameResult decodeLegacy(char* buf, std::size_t size)
{
    FrameResult result;
    buf[size - 1] = '\0';  // never scan past the buffer
    char* frame = buf;
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

    const Reading before1 = readingOf(channel[0]);
    const Reading before2 = readingOf(channel[1]);
    clearReading(channel[0]);
    clearReading(channel[1]);

    // Channel 1 and its name go by the previous frame's count: the first frame
    // of a new count only announces it.
    result.secondRead = wDataNum > 1;
    const char code1 = decodeWord(word1, channel[0]);
    char code2 = '\0';
    if (result.secondRead)
        code2 = decodeWord(word2, channel[1]);
    noteReading(result, 0, before1);
    noteReading(result, 1, before2);

    const unsigned char t1 = static_cast<unsigned char>(sensorTypeCheck(code1));
    if (t1 != channel[0].type) {
        channel[0].type = t1;
        result.typeChanged |= bit(0);
        result.sensorChanged |= bit(0);
    }
    if (result.secondRead) {
        const unsigned char t2 = static_cast<unsigned char>(sensorTypeCheck(code2));
        if (t2 != channel[1].type) {
            channel[1].type = t2;
            result.typeChanged |= bit(1);
            result.sensorChanged |= bit(1);
        }
    }

    if (count != wDataNum) {
        wDataNum = count;
        result.layoutChanged = true;
    }
    result.channels = wDataNum;
    return result;
}
