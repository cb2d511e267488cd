// The data file: a header line naming the recorded channels and one
// column-aligned line per record, read back token by token. The writer takes
// the record buffer and logChannel as they are; the reader checks the header
// before anything is changed and stops at the first line that does not fit.
// Records are read in file order: a record number out of sequence is noted,
// never a reason to leave a gap or to overwrite an earlier record.
// No panel is touched here, and numbers are read the C way whatever the
// locale.
#pragma once

#include <cstddef>
#include <cstdio>

#include "core/file_open.h"
#include "core/record_buffer.h"

enum {
    kDataFileNameSize = 20,    // a channel name: 19 characters and the terminator
    kDataFileMaxLine = 4096,   // longer lines are not of this format
    kDataFileChunk = 65536,
};

// No data file is larger: a header and 16000 record lines, each of at most
// kDataFileMaxLine bytes and its line end. Larger files are refused unread.
constexpr long long kDataFileMaxSize = (kMaxRecords + 1LL) * (kDataFileMaxLine + 2);

// Why reading stopped or why a save failed.
enum class DataFileFault {
    None,
    Empty,            // not even a header line
    NoLineEnd,        // the header is not ended by a line end
    LineTooLong,
    Unreadable,       // control bytes inside a field
    CsvHeader,        // the titles are comma separated: a CSV file, not read back
    NoChannels,
    TooManyChannels,
    MissingUnit,      // a channel name not followed by the word unit
    NameTooLong,
    BadRecordNumber,  // the record number is not a number
    RecordOutOfRange,
    TooManyRecords,
    MissingFields,
    ExtraFields,
    TextTooLong,
    BadDate,
    BadTime,
    TooBig,           // larger than kDataFileMaxSize
    NotRegularFile,   // a FIFO, a device, ...: kind tells what
    ReadError,        // errnum tells why
    WriteError,       // errnum tells why
};

struct DataFileStop {
    DataFileFault fault = DataFileFault::None;
    int line = 0;     // 1-based line at which reading stopped
    int records = 0;  // records read before it
    int errnum = 0;   // for ReadError and WriteError
    FileKind kind = FileKind::Regular;  // for NotRegularFile
    // The first record line whose number is not its place in the file (0 when
    // all are): its line, the number it holds and its place. The records were
    // read in file order all the same.
    int misnumberedLine = 0;
    int misnumbered = 0;
    int misnumberedPlace = 0;
};

// A short English reason, for the user.
const char* dataFileFaultText(DataFileFault fault);

struct DataFileHeader {
    int channels = 0;
    char names[kMaxChannels][kDataFileNameSize] = {};
};

// Opens a data file for reading when it is a regular file of at most
// kDataFileMaxSize bytes, without blocking on a FIFO or a device. Else null,
// with the reason in `stop` (NotRegularFile, TooBig or ReadError) at line 0.
std::FILE* openDataFile(const char* path, DataFileStop* stop);

// Reads a data file from a stream or from memory, line by line, with a fixed
// buffer: nothing is allocated. LF, CR LF and a lone CR each end a line; a
// UTF-8 byte order mark before the header is skipped.
class DataFileReader {
public:
    void start(std::FILE* in);
    void start(const char* data, std::size_t size);

    // The header only; nothing outside `header` changes. False, with the
    // reason in `stop`, when the file does not begin with a header of 1 to 10
    // channel columns, each a name and the word unit, ended by a line end.
    bool readHeader(DataFileHeader* header, DataFileStop* stop);

    // The record lines after the header, put into the buffer in file order
    // (the n-th record line is record n, whatever number it holds; `stop`
    // notes the first that holds another), for `channels` channels; logLength
    // and logCounter count the lines read. Blank lines are skipped. Stops at
    // the end of the input or at the first line that does not fit (then
    // `stop` says where and why, and the records read so far stay). Returns
    // the number of records read.
    // A value text that is an error code ("E...") has no value: NaN.
    int readRecords(int channels, DataFileStop* stop);

private:
    enum class Next { Line, End, TooLong, TooBig, Error };
    Next nextLine(const char** line, std::size_t* length, bool* ended);
    std::size_t fill(char* to, std::size_t room);

    std::FILE* in_ = nullptr;
    const char* data_ = nullptr;
    std::size_t dataLeft_ = 0;
    int readErrno_ = 0;
    int lineNo_ = 0;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    long long taken_ = 0;  // bytes read from the input so far
    bool eof_ = false;
    char buf_[kDataFileChunk];
};

// Makes the buffer describe the file's channels: their names as descriptions,
// fLogGetDes set, logDataNum the column count, no records yet (every cell
// cleared, so nothing of the records before can be taken for the file's).
// The sensor types are left as they were.
void applyDataFileHeader(const DataFileHeader& header);

// The name written for channel c: its description when fLogGetDes is set,
// else its sensor name; blanks and control characters become underscores and
// an empty description gives the sensor name, so that it reads back as one
// token. `name` holds kDataFileNameSize bytes.
void dataFileChannelName(int c, char* name);

// One line of the file without its line end, into `out` (kDataFileMaxLine
// bytes); returns its length (0 for a record outside the buffer).
std::size_t formatHeaderLine(char* out);
std::size_t formatRecordLine(int record, char* out);

// Writes the header line and records 0 .. logLength - 1, each ended by LF.
// Returns the records written, or -1 when a write failed (errno tells why).
int writeDataFile(std::FILE* out);

// ---------------------------------------------------------------- CSV
// The same records for a spreadsheet (RFC 4180): a header row
// "time,<name> value,<name> unit,...", then per record its local date and time
// as "YYYY-MM-DDTHH:MM:SS" and each channel's value text and unit. Value texts
// are copied as the meter showed them (a decimal point, whatever the locale;
// an error code such as E01 stays text); "Nul" gives an empty cell. Fields
// holding a comma, a quote, CR or LF are quoted. Lines end in CR LF. Only
// written: Retrieve reads the text format alone.

enum class DataFileType { Text, Csv };

// Csv when the file name ends in ".csv", in any case; else Text.
DataFileType dataFileTypeOf(const char* path);

// One CSV line without its line end, into `out` (kDataFileMaxLine bytes);
// returns its length (0 for a record outside the buffer).
std::size_t formatCsvHeaderLine(char* out);
std::size_t formatCsvRecordLine(int record, char* out);

// Writes the header row and records 0 .. logLength - 1, each ended by CR LF.
// Returns the records written, or -1 when a write failed (errno tells why).
int writeCsvFile(std::FILE* out);

// Saves to `path` through a temporary file beside it that replaces `path`
// only once every byte is written, flushed and closed, so a failed save
// leaves an existing file as it was. Through a symbolic link the file it
// names is written and the link stays. A FIFO, a device, a socket or a link
// to nothing is never replaced: fault NotRegularFile. Returns the records
// written, or -1 with the reason in `stop` (fault WriteError and errnum, or
// NotRegularFile and kind).
int saveDataFile(const char* path, DataFileStop* stop, DataFileType type = DataFileType::Text);
