#include "core/journal.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

// Holds the reader's line buffer for the life of the program.
DataFileReader reader;

int writeLine(std::FILE* out, char* line, std::size_t n)
{
    line[n++] = '\n';
    // One write per line: a kill between two records leaves whole lines.
    if (std::fwrite(line, 1, n, out) != n || std::fflush(out) != 0)
        return errno ? errno : EIO;
    return 0;
}

}  // namespace

int Journal::start(const char* path)
{
    close();
    // Opening a named pipe would wait for a reader, and the recording with it.
    std::error_code ec;
    if (std::filesystem::is_fifo(path, ec))
        return EINVAL;
    errno = 0;
    out_ = std::fopen(path, "wb");
    if (out_ == nullptr)
        return errno ? errno : EIO;
    char line[kDataFileMaxLine];
    errno = 0;
    return writeLine(out_, line, formatHeaderLine(line));
}

int Journal::append(int record)
{
    if (out_ == nullptr)
        return EBADF;
    char line[kDataFileMaxLine];
    errno = 0;
    return writeLine(out_, line, formatRecordLine(record, line));
}

void Journal::close()
{
    if (out_ != nullptr)
        std::fclose(out_);
    out_ = nullptr;
}

JournalRead readJournal(const char* path, DataFileStop* stop)
{
    *stop = DataFileStop{};
    // Only a file the journal wrote: a pipe or a device would never end.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return JournalRead::None;
    std::FILE* in = std::fopen(path, "rb");
    if (in == nullptr)
        return JournalRead::None;
    std::string text;
    char chunk[kDataFileChunk];
    std::size_t got = 0;
    // A header and every record at their longest; what was read before a
    // read error is restored all the same.
    const std::size_t most = static_cast<std::size_t>(kMaxRecords + 1) * kDataFileMaxLine;
    while (text.size() < most && (got = std::fread(chunk, 1, sizeof chunk, in)) > 0)
        text.append(chunk, got);
    std::fclose(in);
    // A line without its end was being written when the program ended: its
    // last field may be cut short and still read as a value.
    const std::size_t end = text.rfind('\n');
    text.resize(end == std::string::npos ? 0 : end + 1);

    reader.start(text.data(), text.size());
    DataFileHeader header;
    if (!reader.readHeader(&header, stop))
        return JournalRead::NoHeader;
    applyDataFileHeader(header);
    reader.readRecords(header.channels, stop);
    return JournalRead::Read;
}

void removeJournal(const char* path)
{
    std::remove(path);
}
