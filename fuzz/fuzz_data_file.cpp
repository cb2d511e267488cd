// libFuzzer target for the whole retrieve: any bytes as a file, read as
// Retrieve reads it into a full buffer of other records. Refused, the buffer
// is exactly as before. Read, every record it holds is one of the file's
// record lines, in file order (split here by its own simple rules), no line
// before the stop is left out, nothing of the records before is left, and a
// record number out of sequence is reported where it first occurs. What it
// read saves to a file that reads back and saves again to the same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/channel.h"
#include "core/clock.h"
#include "core/data_file_format.h"
#include "core/record_buffer.h"

namespace {

// A full buffer of ten channels is under 4.7 MB as a file.
constexpr std::size_t kFileMax = 5u << 20;
char firstSave[kFileMax];
char secondSave[kFileMax];
DataFileReader reader;

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_data_file: %s\n", what);
        std::abort();
    }
}

std::size_t saveTo(char* out)
{
    std::FILE* f = fmemopen(out, kFileMax, "w");
    check(f != nullptr, "fmemopen failed");
    check(writeDataFile(f) == logLength, "the writer failed");
    check(std::fflush(f) == 0, "the writer's flush failed");
    const long size = std::ftell(f);
    std::fclose(f);
    check(size > 0 && static_cast<std::size_t>(size) < kFileMax, "saved file size");
    return static_cast<std::size_t>(size);
}

// ---------------------------------------------------------------- the buffer before

struct Buffer {
    float logData[kMaxRecords][kMaxChannels];
    double chData[kMaxChannels][kMaxRecords];
    char chDataStr[kMaxChannels][kMaxRecords][kRecordTextSize];
    char chUnit[kMaxChannels][kMaxRecords][kRecordTextSize];
    int sTime[kMaxRecords];
    ChannelRecord channels[kMaxChannels];
    int counter, length, dataNum;
    unsigned char getDes;
};
Buffer before;
bool filled = false;

void keep(Buffer* b)
{
    std::memcpy(b->logData, logData, sizeof logData);
    std::memcpy(b->chData, chData, sizeof chData);
    std::memcpy(b->chDataStr, chDataStr, sizeof chDataStr);
    std::memcpy(b->chUnit, chUnit, sizeof chUnit);
    std::memcpy(b->sTime, sTime, sizeof sTime);
    std::memcpy(b->channels, logChannel, sizeof b->channels);
    b->counter = logCounter;
    b->length = logLength;
    b->dataNum = logDataNum;
    b->getDes = fLogGetDes;
}

void restore(const Buffer& b)
{
    std::memcpy(logData, b.logData, sizeof logData);
    std::memcpy(chData, b.chData, sizeof chData);
    std::memcpy(chDataStr, b.chDataStr, sizeof chDataStr);
    std::memcpy(chUnit, b.chUnit, sizeof chUnit);
    std::memcpy(sTime, b.sTime, sizeof sTime);
    std::memcpy(logChannel, b.channels, sizeof b.channels);
    logCounter = b.counter;
    logLength = b.length;
    logDataNum = b.dataNum;
    fLogGetDes = b.getDes;
}

bool unchanged()
{
    return std::memcmp(before.logData, logData, sizeof logData) == 0 &&
           std::memcmp(before.chData, chData, sizeof chData) == 0 &&
           std::memcmp(before.chDataStr, chDataStr, sizeof chDataStr) == 0 &&
           std::memcmp(before.chUnit, chUnit, sizeof chUnit) == 0 &&
           std::memcmp(before.sTime, sTime, sizeof sTime) == 0 &&
           std::memcmp(before.channels, logChannel, sizeof before.channels) == 0 &&
           before.counter == logCounter && before.length == logLength &&
           before.dataNum == logDataNum && before.getDes == fLogGetDes;
}

// 16000 records of ten channels, none of which any file line could give.
void fillOnce()
{
    if (filled)
        return;
    filled = true;
    for (int r = 0; r < kMaxRecords; ++r) {
        putRecordTime(r, 1000 + r);
        for (int c = 0; c < kMaxChannels; ++c) {
            char text[16];
            std::snprintf(text, sizeof text, "P%d", r);
            putRecordValue(r, c, static_cast<float>(r), text, "pre\x01");
        }
    }
    for (ChannelRecord& rec : logChannel)
        copyText(rec.des, "before\x01");
    logLength = logCounter = kMaxRecords;
    logDataNum = kMaxChannels;
    fLogGetDes = 0;
    keep(&before);
}

bool zero(const void* p, std::size_t n)
{
    const auto* b = static_cast<const unsigned char*>(p);
    return n == 0 || (b[0] == 0 && std::memcmp(b, b + 1, n - 1) == 0);
}

// ---------------------------------------------------------------- the file, split here

struct Line {
    int number;  // 1-based, as an editor counts lines
    std::vector<std::string> tokens;
};

// Lines end in LF, CR LF or a lone CR; a UTF-8 byte order mark may come first.
std::vector<Line> splitFile(const char* data, std::size_t size)
{
    std::vector<Line> lines;
    std::size_t i = size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    int number = 0;
    while (i < size) {
        Line line{++number, {}};
        std::string token;
        while (i < size && data[i] != '\n' && data[i] != '\r') {
            const char ch = data[i++];
            if (ch == ' ' || ch == '\t' || ch == '\v' || ch == '\f') {
                if (!token.empty())
                    line.tokens.push_back(token);
                token.clear();
            } else {
                token += ch;
            }
        }
        if (!token.empty())
            line.tokens.push_back(token);
        if (i < size && data[i] == '\r' && i + 1 < size && data[i + 1] == '\n')
            ++i;
        ++i;
        lines.push_back(line);
    }
    return lines;
}

// The record `r` holds exactly what `line` says.
void checkRecord(int r, int channels, const Line& line)
{
    check(static_cast<int>(line.tokens.size()) == 3 + 2 * channels, "a record of another width");
    int month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
    check(std::sscanf(line.tokens[1].c_str(), "%d-%d-%d", &month, &day, &year) == 3 &&
              std::sscanf(line.tokens[2].c_str(), "%d:%d:%d", &hour, &minute, &second) == 3,
          "a record from a line without a date and time");
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    cRtc2BRtc(static_cast<unsigned int>(sTime[r]), &y, &mo, &d, &h, &mi, &s);
    check(y == year && mo == month && d == day && h == hour && mi == minute && s == second,
          "a record's time is not its line's");
    for (int c = 0; c < channels; ++c) {
        check(line.tokens[3 + 2 * c] == chDataStr[c][r], "a value text is not its line's");
        check(line.tokens[4 + 2 * c] == chUnit[c][r], "a unit is not its line's");
    }
}

// Nothing of the records before is left: cells the file did not fill are clear.
void checkNothingLeft(int channels, int records)
{
    for (int c = 0; c < kMaxChannels; ++c) {
        const std::size_t from = static_cast<std::size_t>(c < channels ? records : 0);
        const std::size_t left = kMaxRecords - from;
        check(zero(&chDataStr[c][0][0] + from * kRecordTextSize, left * kRecordTextSize) &&
                  zero(&chUnit[c][0][0] + from * kRecordTextSize, left * kRecordTextSize) &&
                  zero(chData[c] + from, left * sizeof(double)),
              "a cell of the records before is left");
    }
    const std::size_t from = static_cast<std::size_t>(records);
    check(zero(sTime + from, (kMaxRecords - from) * sizeof(int)) &&
              zero(&logData[0][0] + from * kMaxChannels,
                   (kMaxRecords - from) * kMaxChannels * sizeof(float)),
          "a record of the records before is left");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fillOnce();
    const char* bytes = reinterpret_cast<const char*>(data);

    // As Retrieve: the header is checked before anything changes.
    reader.start(bytes, size);
    DataFileHeader header;
    DataFileStop stop;
    if (!reader.readHeader(&header, &stop)) {
        check(stop.fault != DataFileFault::None && stop.line == 1, "a refusal without a reason");
        check(unchanged(), "a refused file changed the buffer");
        return 0;
    }
    const int channels = header.channels;
    check(channels >= 1 && channels <= kMaxChannels, "channel count");
    applyDataFileHeader(header);
    const int records = reader.readRecords(channels, &stop);
    check(records >= 0 && records <= kMaxRecords, "record count");
    check(logLength == records && logCounter == records, "counters");
    check(stop.records == records, "records at the stop");

    const std::vector<Line> lines = splitFile(bytes, size);
    check(!lines.empty() && static_cast<int>(lines[0].tokens.size()) == 3 + 2 * channels,
          "a header of another width");
    for (int c = 0; c < channels; ++c)
        check(lines[0].tokens[3 + 2 * c] == logChannel[c].des, "a channel name is not the file's");
    check(logDataNum == channels && fLogGetDes == 1, "the channels are not the file's");

    // Every record line up to the stop, and only those, in order.
    int taken = 0;
    int misnumbered = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (line.tokens.empty())
            continue;
        if (stop.fault != DataFileFault::None && line.number >= stop.line)
            break;
        check(taken < records, "a line before the stop was left out");
        checkRecord(taken, channels, line);
        if (misnumbered == 0 && std::atol(line.tokens[0].c_str()) != taken + 1)
            misnumbered = line.number;
        ++taken;
    }
    check(taken == records, "a record without its line");
    check(stop.misnumberedLine == misnumbered, "a record number out of sequence not reported");
    checkNothingLeft(channels, records);

    const std::size_t first = saveTo(firstSave);
    reader.start(firstSave, first);
    check(reader.readHeader(&header, &stop), "a saved header does not read back");
    applyDataFileHeader(header);
    check(reader.readRecords(header.channels, &stop) == records &&
              stop.fault == DataFileFault::None && stop.misnumberedLine == 0,
          "saved records do not read back");
    const std::size_t second = saveTo(secondSave);
    check(first == second && std::memcmp(firstSave, secondSave, first) == 0,
          "a retrieved file saves to other bytes");

    restore(before);
    return 0;
}
