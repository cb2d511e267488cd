// The journal of the recording in progress: a data file of the records taken
// so far, each line written and flushed as its record is taken, so that a
// crash, a kill or a power cut costs at most the line being written. It is
// read back as a data file; a last line without its line end was cut short
// and is left out.
#pragma once

#include <cstdio>

#include "core/data_file_format.h"

class Journal {
public:
    Journal() = default;
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;
    ~Journal() { close(); }

    // Creates `path` anew with the header line of the recording that
    // logChannel and logDataNum describe. 0, or the errno value why not.
    int start(const char* path);
    // Appends record `record`'s line and flushes it. 0, or the errno value
    // why not (also when no journal is open).
    int append(int record);
    // Ends the writing; the file stays.
    void close();
    bool isOpen() const { return out_ != nullptr; }

private:
    std::FILE* out_ = nullptr;
};

enum class JournalRead {
    None,      // no journal there
    NoHeader,  // a journal that holds no record (cut short before its header ended)
    Read,      // its records are in the buffer
};

// Reads the journal at `path` into the record buffer as a retrieve reads a
// data file (applyDataFileHeader, then the records). `stop` says where and
// why reading stopped before the end, if it did.
JournalRead readJournal(const char* path, DataFileStop* stop);

// Removes the journal; a missing one is no fault.
void removeJournal(const char* path);
