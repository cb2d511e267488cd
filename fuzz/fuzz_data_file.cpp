// libFuzzer target for the data file reader: any bytes as a file. Whatever it
// reads must stay inside the buffer, and what it read must save to a file
// that reads back and saves again to the same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    reader.start(reinterpret_cast<const char*>(data), size);
    DataFileHeader header;
    DataFileStop stop;
    if (!reader.readHeader(&header, &stop)) {
        check(stop.fault != DataFileFault::None && stop.line == 1, "a refusal without a reason");
        return 0;
    }
    check(header.channels >= 1 && header.channels <= kMaxChannels, "channel count");
    applyDataFileHeader(header);
    const int records = reader.readRecords(header.channels, &stop);
    check(records >= 0 && records <= kMaxRecords, "record count");
    check(logLength == records && logCounter == records, "counters");
    check(stop.fault == DataFileFault::None || stop.records == records, "records at the stop");

    const std::size_t first = saveTo(firstSave);
    reader.start(firstSave, first);
    check(reader.readHeader(&header, &stop), "a saved header does not read back");
    applyDataFileHeader(header);
    check(reader.readRecords(header.channels, &stop) == records &&
              stop.fault == DataFileFault::None,
          "saved records do not read back");
    const std::size_t second = saveTo(secondSave);
    check(first == second && std::memcmp(firstSave, secondSave, first) == 0,
          "a retrieved file saves to other bytes");
    return 0;
}
