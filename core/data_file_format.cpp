#include "core/data_file_format.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <system_error>

#include "core/channel.h"
#include "core/clock.h"
#include "core/file_replace.h"

namespace {

constexpr int kCellText = kRecordTextSize - 1;  // value and unit texts
constexpr int kMaxName = kDataFileNameSize - 1;
constexpr int kHeaderTitles = 3;                // Index, date, time

const char kHeaderStart[] = " Index  ---date--- --time-- ";
const char kUnitColumn[] = "         unit";

// ---------------------------------------------------------------- tokens

struct Token {
    const char* p;
    std::size_t n;
};

bool isSeparator(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Control bytes would end a text early or break a line when written again.
bool isUnreadable(unsigned char c)
{
    return (c < 0x20 && !isSeparator(c)) || c == 0x7F;
}

// Splits a line into blank-separated tokens; stores at most `max` of them and
// returns how many there are. *unreadable is set when a token holds a control
// byte.
int tokenize(const char* line, std::size_t len, Token* out, int max, bool* unreadable)
{
    *unreadable = false;
    int count = 0;
    std::size_t i = 0;
    while (i < len) {
        while (i < len && isSeparator(static_cast<unsigned char>(line[i])))
            ++i;
        if (i == len)
            break;
        const std::size_t start = i;
        while (i < len && !isSeparator(static_cast<unsigned char>(line[i]))) {
            if (isUnreadable(static_cast<unsigned char>(line[i])))
                *unreadable = true;
            ++i;
        }
        if (count < max)
            out[count] = Token{line + start, i - start};
        ++count;
    }
    return count;
}

bool equals(const Token& t, const char* word)
{
    const std::size_t n = std::strlen(word);
    return t.n == n && std::memcmp(t.p, word, n) == 0;
}

// ---------------------------------------------------------------- fields

// Digits only, 1..maxDigits of them, into *value.
bool readDigits(const char* p, std::size_t n, std::size_t maxDigits, int* value)
{
    if (n == 0 || n > maxDigits)
        return false;
    int v = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return false;
        v = v * 10 + (p[i] - '0');
    }
    *value = v;
    return true;
}

// A number field of a date or time: digits up to `separator` or the end.
bool takeNumber(const char** p, const char* end, char separator, std::size_t minDigits,
                std::size_t maxDigits, int* value)
{
    const char* q = *p;
    while (q < end && *q != separator)
        ++q;
    const std::size_t n = static_cast<std::size_t>(q - *p);
    if (n < minDigits || !readDigits(*p, n, maxDigits, value))
        return false;
    *p = q < end ? q + 1 : q;
    return true;
}

// Record numbers are written with "%d"; a sign is taken, as "%d" takes it.
// The whole token must be the number.
bool readRecordNumber(const Token& t, int* number)
{
    const char* p = t.p;
    const char* end = t.p + t.n;
    if (p < end && *p == '+')
        ++p;
    int v = 0;
    const auto r = std::from_chars(p, end, v);
    if (p == end || r.ptr != end)
        return false;
    *number = r.ec == std::errc::result_out_of_range ? INT_MAX : v;
    return true;
}

// "MM-DD-YYYY" of a real day from 2000 to 2100.
bool validDate(const Token& t, int* month, int* day, int* year)
{
    if (t.n > 10)
        return false;
    const char* p = t.p;
    const char* end = t.p + t.n;
    if (!takeNumber(&p, end, '-', 1, 2, month) || !takeNumber(&p, end, '-', 1, 2, day))
        return false;
    if (!readDigits(p, static_cast<std::size_t>(end - p), 4, year) || end - p != 4)
        return false;
    if (*year < 2000 || *year > 2100 || *month < 1 || *month > 12)
        return false;
    return *day >= 1 && *day <= mMonthTab[isLeapYear(*year)][*month - 1];
}

// "HH:MM:SS" of a real time of day.
bool validTime(const Token& t, int* hour, int* minute, int* second)
{
    if (t.n > 8)
        return false;
    const char* p = t.p;
    const char* end = t.p + t.n;
    if (!takeNumber(&p, end, ':', 1, 2, hour) || !takeNumber(&p, end, ':', 1, 2, minute))
        return false;
    if (!readDigits(p, static_cast<std::size_t>(end - p), 2, second))
        return false;
    return *hour <= 23 && *minute <= 59 && *second <= 59;
}

// The numeric value of a value text: no value (NaN) for an error reading
// ("E..." - the meter's codes and the text of an unreadable field), as live;
// else the number the text begins with, read as "%f" reads it but the C way
// whatever the locale; a text that is no finite number gives 0.0.
float valueOf(const Token& t)
{
    if (t.n > 0 && t.p[0] == 'E')
        return std::numeric_limits<float>::quiet_NaN();
    const char* p = t.p;
    const char* end = t.p + t.n;
    if (p < end && *p == '+') {
        ++p;
        if (p < end && *p == '-')
            return 0.0f;
    }
    float v = 0.0f;
    const auto r = std::from_chars(p, end, v, std::chars_format::general);
    if (r.ec != std::errc{} || !std::isfinite(v))
        return 0.0f;
    return v;
}

void copyToken(const Token& t, char* out)
{
    std::memcpy(out, t.p, t.n);
    out[t.n] = '\0';
}

// ---------------------------------------------------------------- writing

// Text as one readable token of at most `capacity` characters: blanks and
// control characters become underscores; an empty text gives `fallback`.
std::size_t tokenText(const char* text, std::size_t capacity, const char* fallback, char* out)
{
    std::size_t n = 0;
    while (n < capacity && text[n] != '\0') {
        const auto c = static_cast<unsigned char>(text[n]);
        out[n] = (c <= 0x20 || c == 0x7F) ? '_' : text[n];
        ++n;
    }
    if (n == 0) {
        n = std::strlen(fallback);
        std::memcpy(out, fallback, n);
    }
    out[n] = '\0';
    return n;
}

// Right-aligned in `width` ("%*s"): a longer text is written whole.
char* putRight(char* out, const char* text, std::size_t n, std::size_t width)
{
    if (n < width) {
        std::memset(out, ' ', width - n);
        out += width - n;
    }
    std::memcpy(out, text, n);
    return out + n;
}

char* putTwoDigits(char* out, int v)
{
    out[0] = static_cast<char>('0' + v / 10);
    out[1] = static_cast<char>('0' + v % 10);
    return out + 2;
}

// "%6d" for 1..16000.
char* putRecordNumber(char* out, int number)
{
    char digits[12];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + number % 10);
        number /= 10;
    } while (number > 0);
    for (int pad = n; pad < 6; ++pad)
        *out++ = ' ';
    while (n > 0)
        *out++ = digits[--n];
    return out;
}

char writeBuffer[kDataFileChunk];

// ---------------------------------------------------------------- CSV

bool needsQuotes(const char* text, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (text[i] == ',' || text[i] == '"' || text[i] == '\r' || text[i] == '\n')
            return true;
    return false;
}

// One field as RFC 4180 writes it: quoted, with quotes doubled, only when it
// needs to be.
char* putCsvField(char* out, const char* text, std::size_t n)
{
    if (!needsQuotes(text, n)) {
        std::memcpy(out, text, n);
        return out + n;
    }
    *out++ = '"';
    for (std::size_t i = 0; i < n; ++i) {
        if (text[i] == '"')
            *out++ = '"';
        *out++ = text[i];
    }
    *out++ = '"';
    return out;
}

// Text without its surrounding blanks, control characters as underscores, so
// that no cell breaks a spreadsheet's row; returns its length.
std::size_t cellText(const char* text, std::size_t capacity, char* out)
{
    std::size_t begin = 0;
    std::size_t end = 0;
    while (end < capacity && text[end] != '\0')
        ++end;
    while (begin < end && text[begin] == ' ')
        ++begin;
    while (end > begin && text[end - 1] == ' ')
        --end;
    std::size_t n = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        out[n++] = (c < 0x20 || c == 0x7F) ? '_' : text[i];
    }
    out[n] = '\0';
    return n;
}

// A value or unit cell: "Nul" stands for no text.
char* putCsvCell(char* out, const char* text)
{
    char cell[kRecordTextSize];
    const std::size_t n = cellText(text, kCellText, cell);
    if (std::strcmp(cell, "Nul") == 0)
        return out;
    return putCsvField(out, cell, n);
}

// The channel's name as a person reads it: its description when fLogGetDes
// is set and it holds more than blanks, else the sensor name.
std::size_t csvChannelName(int c, char* name)
{
    const ChannelRecord& rec = logChannel[c];
    const ChannelLabel label = channelLabel(rec, fLogGetDes);
    std::size_t n = cellText(label.text, kMaxName, name);
    if (n == 0)
        n = cellText(sensorName(rec.type), kMaxName, name);
    return n;
}

using LineWriter = int (*)(std::FILE*);

}  // namespace

const char* dataFileFaultText(DataFileFault fault)
{
    switch (fault) {
    case DataFileFault::None: return "no fault";
    case DataFileFault::Empty: return "the file is empty";
    case DataFileFault::NoLineEnd: return "the header line has no line end";
    case DataFileFault::LineTooLong: return "the line is too long";
    case DataFileFault::Unreadable: return "the line holds unreadable characters";
    case DataFileFault::CsvHeader:
        return "the header is comma separated: CSV files are not read back";
    case DataFileFault::NoChannels: return "the header names no channel";
    case DataFileFault::TooManyChannels: return "the header names more than 10 channels";
    case DataFileFault::MissingUnit:
        return "a channel name in the header is not followed by the word unit";
    case DataFileFault::NameTooLong: return "a channel name is longer than 19 characters";
    case DataFileFault::BadRecordNumber: return "the record number is not a number";
    case DataFileFault::RecordOutOfRange: return "the record number is outside 1..16000";
    case DataFileFault::TooManyRecords: return "the file holds more than 16000 records";
    case DataFileFault::MissingFields: return "fields are missing";
    case DataFileFault::ExtraFields: return "the line has more fields than the header has channels";
    case DataFileFault::TextTooLong: return "a value or unit is longer than 10 characters";
    case DataFileFault::BadDate: return "the date is no day from 01-01-2000 to 12-31-2100";
    case DataFileFault::BadTime: return "the time is no time of day";
    case DataFileFault::TooBig: return "the file is larger than any data file";
    case DataFileFault::NotRegularFile: return "it is no regular file";
    case DataFileFault::ReadError: return "the file could not be read";
    case DataFileFault::WriteError: return "the file could not be written";
    }
    return "unknown fault";
}

// ---------------------------------------------------------------- reader

std::FILE* openDataFile(const char* path, DataFileStop* stop)
{
    *stop = DataFileStop{};
    long long size = 0;
    std::FILE* in = openRegularFile(path ? path : "", &stop->kind, &size, &stop->errnum);
    if (in == nullptr) {
        if (stop->errnum == 0 || stop->kind == FileKind::DanglingLink) {
            stop->fault = DataFileFault::NotRegularFile;
            stop->errnum = 0;
        } else {
            stop->fault = DataFileFault::ReadError;
            stop->kind = FileKind::Regular;
        }
        return nullptr;
    }
    if (size > kDataFileMaxSize) {
        std::fclose(in);
        stop->fault = DataFileFault::TooBig;
        return nullptr;
    }
    return in;
}

void DataFileReader::start(std::FILE* in)
{
    in_ = in;
    data_ = nullptr;
    dataLeft_ = 0;
    readErrno_ = 0;
    lineNo_ = 0;
    begin_ = 0;
    end_ = 0;
    taken_ = 0;
    eof_ = false;
}

void DataFileReader::start(const char* data, std::size_t size)
{
    start(nullptr);
    data_ = data;
    dataLeft_ = data ? size : 0;
}

std::size_t DataFileReader::fill(char* to, std::size_t room)
{
    if (in_ == nullptr) {
        const std::size_t n = dataLeft_ < room ? dataLeft_ : room;
        if (n)
            std::memcpy(to, data_, n);
        data_ += n;
        dataLeft_ -= n;
        return n;
    }
    const std::size_t n = std::fread(to, 1, room, in_);
    if (n == 0 && std::ferror(in_))
        readErrno_ = errno ? errno : EIO;
    return n;
}

namespace {

// The first CR or LF in [p, p + n), or null.
const char* findLineEnd(const char* p, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] == '\n' || p[i] == '\r')
            return p + i;
    return nullptr;
}

}  // namespace

DataFileReader::Next DataFileReader::nextLine(const char** line, std::size_t* length, bool* ended)
{
    for (;;) {
        const char* start = buf_ + begin_;
        const std::size_t have = end_ - begin_;
        const char* stop = findLineEnd(start, have);
        const std::size_t len = stop ? static_cast<std::size_t>(stop - start) : have;
        if (len > kDataFileMaxLine) {
            // The rest of an over-long line is never looked at.
            ++lineNo_;
            return Next::TooLong;
        }
        // A CR at the end of what is buffered may be the first half of CR LF.
        const bool split = stop && *stop == '\r' && len + 1 == have && !eof_;
        if (stop && !split) {
            const bool crlf = *stop == '\r' && len + 1 < have && stop[1] == '\n';
            begin_ += len + (crlf ? 2 : 1);
            ++lineNo_;
            *line = start;
            *length = len;
            *ended = true;
            return Next::Line;
        }
        if (eof_ && !stop) {
            if (readErrno_) {
                ++lineNo_;
                return Next::Error;
            }
            if (have == 0)
                return Next::End;
            begin_ = end_;
            ++lineNo_;
            *line = start;
            *length = len;
            *ended = false;
            return Next::Line;
        }
        if (taken_ > kDataFileMaxSize) {
            ++lineNo_;
            return Next::TooBig;
        }
        if (begin_ > 0) {
            std::memmove(buf_, buf_ + begin_, have);
            begin_ = 0;
            end_ = have;
        }
        const std::size_t got = fill(buf_ + end_, sizeof buf_ - end_);
        if (got == 0)
            eof_ = true;
        end_ += got;
        taken_ += static_cast<long long>(got);
    }
}

bool DataFileReader::readHeader(DataFileHeader* header, DataFileStop* stop)
{
    *stop = DataFileStop{};
    auto refuse = [&](DataFileFault fault) {
        stop->fault = fault;
        stop->line = lineNo_ > 0 ? lineNo_ : 1;
        stop->errnum = fault == DataFileFault::ReadError ? readErrno_ : 0;
        return false;
    };

    const char* line = nullptr;
    std::size_t len = 0;
    bool ended = false;
    switch (nextLine(&line, &len, &ended)) {
    case Next::End: return refuse(DataFileFault::Empty);
    case Next::TooLong: return refuse(DataFileFault::LineTooLong);
    case Next::TooBig: return refuse(DataFileFault::TooBig);
    case Next::Error: return refuse(DataFileFault::ReadError);
    case Next::Line: break;
    }
    if (!ended)
        return refuse(DataFileFault::NoLineEnd);
    // Editors on Windows put a byte order mark before UTF-8 text.
    if (len >= 3 && std::memcmp(line, "\xEF\xBB\xBF", 3) == 0) {
        line += 3;
        len -= 3;
    }

    constexpr int kMaxTokens = kHeaderTitles + 2 * kMaxChannels;
    Token tokens[kMaxTokens];
    bool unreadable = false;
    const int count = tokenize(line, len, tokens, kMaxTokens, &unreadable);
    if (unreadable)
        return refuse(DataFileFault::Unreadable);
    // A CSV file of two channels would otherwise pass for a text header and
    // cost the records in the buffer; the titles never hold a comma.
    for (int t = 0; t < count && t < kHeaderTitles; ++t)
        if (std::memchr(tokens[t].p, ',', tokens[t].n))
            return refuse(DataFileFault::CsvHeader);
    if (count <= kHeaderTitles)
        return refuse(DataFileFault::NoChannels);
    const int columns = count - kHeaderTitles;
    if (columns > 2 * kMaxChannels)
        return refuse(DataFileFault::TooManyChannels);
    if (columns % 2 != 0)
        return refuse(DataFileFault::MissingUnit);

    DataFileHeader h;
    h.channels = columns / 2;
    for (int c = 0; c < h.channels; ++c) {
        const Token& name = tokens[kHeaderTitles + 2 * c];
        if (!equals(tokens[kHeaderTitles + 2 * c + 1], "unit"))
            return refuse(DataFileFault::MissingUnit);
        if (name.n > static_cast<std::size_t>(kMaxName))
            return refuse(DataFileFault::NameTooLong);
        copyToken(name, h.names[c]);
    }
    *header = h;
    return true;
}

int DataFileReader::readRecords(int channels, DataFileStop* stop)
{
    *stop = DataFileStop{};
    if (channels < 0)
        channels = 0;
    if (channels > kMaxChannels)
        channels = kMaxChannels;
    const int expected = kHeaderTitles + 2 * channels;
    int count = 0;
    auto halt = [&](DataFileFault fault) {
        stop->fault = fault;
        stop->line = lineNo_;
        stop->records = count;
        stop->errnum = fault == DataFileFault::ReadError ? readErrno_ : 0;
        return count;
    };

    constexpr int kMaxTokens = kHeaderTitles + 2 * kMaxChannels + 1;
    Token tokens[kMaxTokens];
    float values[kMaxChannels];
    char valueText[kMaxChannels][kRecordTextSize];
    char unitText[kMaxChannels][kRecordTextSize];

    for (;;) {
        const char* line = nullptr;
        std::size_t len = 0;
        bool ended = false;
        switch (nextLine(&line, &len, &ended)) {
        case Next::End: stop->records = count; return count;
        case Next::TooLong: return halt(DataFileFault::LineTooLong);
        case Next::TooBig: return halt(DataFileFault::TooBig);
        case Next::Error: return halt(DataFileFault::ReadError);
        case Next::Line: break;
        }

        bool unreadable = false;
        const int n = tokenize(line, len, tokens, kMaxTokens, &unreadable);
        if (n == 0)
            continue;
        if (unreadable)
            return halt(DataFileFault::Unreadable);
        if (n < expected)
            return halt(DataFileFault::MissingFields);
        if (n > expected)
            return halt(DataFileFault::ExtraFields);

        int number = 0;
        if (!readRecordNumber(tokens[0], &number))
            return halt(DataFileFault::BadRecordNumber);
        if (number < 1 || number > kMaxRecords)
            return halt(DataFileFault::RecordOutOfRange);
        int month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
        if (!validDate(tokens[1], &month, &day, &year))
            return halt(DataFileFault::BadDate);
        if (!validTime(tokens[2], &hour, &minute, &second))
            return halt(DataFileFault::BadTime);
        for (int c = 0; c < channels; ++c) {
            const Token& value = tokens[kHeaderTitles + 2 * c];
            const Token& unit = tokens[kHeaderTitles + 2 * c + 1];
            if (value.n > static_cast<std::size_t>(kCellText) ||
                unit.n > static_cast<std::size_t>(kCellText))
                return halt(DataFileFault::TextTooLong);
            values[c] = valueOf(value);
            copyToken(value, valueText[c]);
            copyToken(unit, unitText[c]);
        }
        if (count >= kMaxRecords)
            return halt(DataFileFault::TooManyRecords);

        // The line fits: only now does the buffer change. It takes the next
        // place, whatever number it holds: a file with numbers skipped or
        // repeated (edited, or joined from two) loses no line and gets no
        // made-up record between its lines.
        if (number != count + 1 && stop->misnumberedLine == 0) {
            stop->misnumberedLine = lineNo_;
            stop->misnumbered = number;
            stop->misnumberedPlace = count + 1;
        }
        char dateText[11];
        char timeText[9];
        copyToken(tokens[1], dateText);
        copyToken(tokens[2], timeText);
        const int r = count;
        putRecordTime(r, rtc2CRtc(dateText, timeText, nullptr));
        for (int c = 0; c < channels; ++c)
            putRecordValue(r, c, values[c], valueText[c], unitText[c]);
        ++count;
        logLength = count;
        logCounter = count;
    }
}

void applyDataFileHeader(const DataFileHeader& header)
{
    const int channels = clampChannels(header.channels);
    logDataNum = channels;
    for (int c = 0; c < channels; ++c)
        copyText(logChannel[c].des, header.names[c]);
    fLogGetDes = 1;
    logLength = 0;
    logCounter = 0;
    // Nothing of the recording before may pass for the file's.
    std::memset(logData, 0, sizeof logData);
    std::memset(chData, 0, sizeof chData);
    std::memset(chDataStr, 0, sizeof chDataStr);
    std::memset(chUnit, 0, sizeof chUnit);
    std::memset(sTime, 0, sizeof sTime);
}

// ---------------------------------------------------------------- writer

void dataFileChannelName(int c, char* name)
{
    const ChannelRecord& rec = logChannel[c];
    const ChannelLabel label = channelLabel(rec, fLogGetDes);
    tokenText(label.text, kMaxName, sensorName(rec.type), name);
}

std::size_t formatHeaderLine(char* out)
{
    char* p = out;
    std::memcpy(p, kHeaderStart, sizeof kHeaderStart - 1);
    p += sizeof kHeaderStart - 1;
    const int channels = recordedChannels();
    for (int c = 0; c < channels; ++c) {
        char name[kDataFileNameSize];
        dataFileChannelName(c, name);
        *p++ = ' ';
        p = putRight(p, name, std::strlen(name), 12);
        std::memcpy(p, kUnitColumn, sizeof kUnitColumn - 1);
        p += sizeof kUnitColumn - 1;
    }
    return static_cast<std::size_t>(p - out);
}

std::size_t formatRecordLine(int record, char* out)
{
    if (record < 0 || record >= kMaxRecords)
        return 0;
    char* p = putRecordNumber(out, record + 1);
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    cRtc2BRtc(static_cast<unsigned int>(sTime[record]), &year, &month, &day, &hour, &minute,
              &second);
    // "%6d  %02d-%02d-%4d %02d:%02d:%02d ", the year always of four digits.
    *p++ = ' ';
    *p++ = ' ';
    p = putTwoDigits(p, month);
    *p++ = '-';
    p = putTwoDigits(p, day);
    *p++ = '-';
    p = putTwoDigits(p, year / 100);
    p = putTwoDigits(p, year % 100);
    *p++ = ' ';
    p = putTwoDigits(p, hour);
    *p++ = ':';
    p = putTwoDigits(p, minute);
    *p++ = ':';
    p = putTwoDigits(p, second);
    *p++ = ' ';

    const int channels = recordedChannels();
    for (int c = 0; c < channels; ++c) {
        char text[kRecordTextSize];
        *p++ = ' ';
        p = putRight(p, text, tokenText(chDataStr[c][record], kCellText, "Nul", text), 12);
        *p++ = ' ';
        p = putRight(p, text, tokenText(chUnit[c][record], kCellText, "Nul", text), 12);
    }
    return static_cast<std::size_t>(p - out);
}

int writeDataFile(std::FILE* out)
{
    char line[kDataFileMaxLine];
    std::size_t n = formatHeaderLine(line);
    line[n++] = '\n';
    if (std::fwrite(line, 1, n, out) != n)
        return -1;
    const int records = recordsHeld();
    for (int r = 0; r < records; ++r) {
        n = formatRecordLine(r, line);
        line[n++] = '\n';
        if (std::fwrite(line, 1, n, out) != n)
            return -1;
    }
    return records;
}

DataFileType dataFileTypeOf(const char* path)
{
    const std::size_t n = path ? std::strlen(path) : 0;
    if (n < 4)
        return DataFileType::Text;
    const char* ext = path + n - 4;
    const bool csv = ext[0] == '.' && (ext[1] == 'c' || ext[1] == 'C') &&
                     (ext[2] == 's' || ext[2] == 'S') && (ext[3] == 'v' || ext[3] == 'V');
    return csv ? DataFileType::Csv : DataFileType::Text;
}

std::size_t formatCsvHeaderLine(char* out)
{
    static const char kTime[] = "time";
    char* p = out;
    std::memcpy(p, kTime, sizeof kTime - 1);
    p += sizeof kTime - 1;
    const int channels = recordedChannels();
    for (int c = 0; c < channels; ++c) {
        static const char kValue[] = " value";
        static const char kUnit[] = " unit";
        char title[kDataFileNameSize + sizeof kValue];
        const std::size_t n = csvChannelName(c, title);
        std::memcpy(title + n, kValue, sizeof kValue);
        *p++ = ',';
        p = putCsvField(p, title, n + sizeof kValue - 1);
        std::memcpy(title + n, kUnit, sizeof kUnit);
        *p++ = ',';
        p = putCsvField(p, title, n + sizeof kUnit - 1);
    }
    return static_cast<std::size_t>(p - out);
}

std::size_t formatCsvRecordLine(int record, char* out)
{
    if (record < 0 || record >= kMaxRecords)
        return 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    cRtc2BRtc(static_cast<unsigned int>(sTime[record]), &year, &month, &day, &hour, &minute,
              &second);
    // ISO 8601 local time without a zone: the meter's clock knows none.
    char* p = out;
    p = putTwoDigits(p, year / 100);
    p = putTwoDigits(p, year % 100);
    *p++ = '-';
    p = putTwoDigits(p, month);
    *p++ = '-';
    p = putTwoDigits(p, day);
    *p++ = 'T';
    p = putTwoDigits(p, hour);
    *p++ = ':';
    p = putTwoDigits(p, minute);
    *p++ = ':';
    p = putTwoDigits(p, second);

    const int channels = recordedChannels();
    for (int c = 0; c < channels; ++c) {
        *p++ = ',';
        p = putCsvCell(p, chDataStr[c][record]);
        *p++ = ',';
        p = putCsvCell(p, chUnit[c][record]);
    }
    return static_cast<std::size_t>(p - out);
}

int writeCsvFile(std::FILE* out)
{
    char line[kDataFileMaxLine];
    std::size_t n = formatCsvHeaderLine(line);
    line[n++] = '\r';
    line[n++] = '\n';
    if (std::fwrite(line, 1, n, out) != n)
        return -1;
    const int records = recordsHeld();
    for (int r = 0; r < records; ++r) {
        n = formatCsvRecordLine(r, line);
        line[n++] = '\r';
        line[n++] = '\n';
        if (std::fwrite(line, 1, n, out) != n)
            return -1;
    }
    return records;
}

int saveDataFile(const char* path, DataFileStop* stop, DataFileType type)
{
    const LineWriter writeFile = type == DataFileType::Csv ? writeCsvFile : writeDataFile;
    *stop = DataFileStop{};
    auto fail = [&](int errnum) {
        stop->fault = DataFileFault::WriteError;
        stop->errnum = errnum ? errnum : EIO;
        return -1;
    };
    if (path == nullptr || *path == '\0')
        return fail(ENOENT);
    // The temporary file's rename would put a regular file in place of the
    // node, and a link to nothing would lose its target.
    const FileKind kind = fileKindAt(path);
    if (kind != FileKind::Regular && kind != FileKind::Missing && kind != FileKind::Directory) {
        stop->fault = DataFileFault::NotRegularFile;
        stop->kind = kind;
        return -1;
    }

    int records = -1;
    const int e = replaceFile(path, writeFile, writeBuffer, sizeof writeBuffer, &records);
    if (e != 0)
        return fail(e);
    return records;
}
