#include "record/data_file.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/channel.h"
#include "core/data_file_format.h"
#include "core/record_buffer.h"
#include "record/recording.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"
#include "view/statistics.h"

char fileName[512];

namespace {

// Holds the reader's line buffer for the life of the program.
DataFileReader reader;

// *type gets the index of the file type chosen in the list (-1: all files).
bool chooseFile(const char* title, int button, const char* types, int* type = nullptr)
{
    return FileSelectPopup("", "*.txt", types, title, button, 0, 0, 1, 1, fileName,
                           sizeof fileName, type) != VAL_NO_FILE_SELECTED;
}

// Only text files are read; the pop-up offers all files as well.
const char kTextFiles[] = "ASCII files(*.txt)";
const char kSaveFiles[] = "ASCII files(*.txt);;CSV files(*.csv)";
enum { kTextType = 0, kCsvType = 1 };

// The ending of the file's own name, from its last dot (not a leading one);
// null when it has none.
const char* extensionOf(const char* path)
{
    const char* base = std::strrchr(path, '/');
#ifdef _WIN32
    if (const char* back = std::strrchr(path, '\\'); back && (!base || back > base))
        base = back;
#endif
    base = base ? base + 1 : path;
    const char* dot = std::strrchr(base, '.');
    return dot && dot != base ? dot : nullptr;
}

bool endsIn(const char* ext, const char* wanted)
{
    if (!ext || std::strlen(ext) != std::strlen(wanted))
        return false;
    for (std::size_t i = 0; ext[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(ext[i])) != wanted[i])
            return false;
    return true;
}

__attribute__((format(printf, 2, 3))) void tell(const char* title, const char* format, ...)
{
    char message[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    MessagePopup(title, message);
}

const char* reasonOf(const DataFileStop& stop)
{
    static char reason[160];
    switch (stop.fault) {
    case DataFileFault::ReadError:
    case DataFileFault::WriteError: return std::strerror(stop.errnum);
    case DataFileFault::NotRegularFile:
        std::snprintf(reason, sizeof reason, "it is %s, not a regular file",
                      fileKindText(stop.kind));
        return reason;
    case DataFileFault::TooBig:
        std::snprintf(reason, sizeof reason, "it is larger than any data file can be (%lld MB)",
                      (kDataFileMaxSize + (1 << 20) - 1) >> 20);
        return reason;
    default: return dataFileFaultText(stop.fault);
    }
}

// The format the save writes. A name ending in ".txt" or ".csv" says it, as
// typed; else the type chosen in the pop-up says it and, for a name without
// an ending, gives it that type's ending (so that the file shows in the
// list of its type). All files and no ending: text, the name as typed.
// False when the user does not want a file that ending names replaced.
bool chooseFormat(int type, DataFileType* format)
{
    const char* ext = extensionOf(fileName);
    if (endsIn(ext, ".txt") || endsIn(ext, ".csv")) {
        *format = dataFileTypeOf(fileName);
        return true;
    }
    *format = type == kCsvType ? DataFileType::Csv : DataFileType::Text;
    if (ext || (type != kTextType && type != kCsvType))
        return true;
    const char* ending = type == kCsvType ? ".csv" : ".txt";
    const std::size_t n = std::strlen(fileName);
    if (n + std::strlen(ending) >= sizeof fileName) {
        tell("Save File", "The records were not saved: the name \"%s%s\" is too long.",
             fileName, ending);
        return false;
    }
    std::strcat(fileName, ending);
    // The pop-up asked about the name as typed, not about this one.
    if (fileKindAt(fileName) != FileKind::Missing) {
        char question[700];
        std::snprintf(question, sizeof question, "\"%s\" already exists. Replace it?",
                      fileName);
        return ConfirmPopup("Save File", question) == 1;
    }
    return true;
}

}  // namespace


int saveFileCallBack(CTRL_CALLBACK_ARGS)
{
    int type = kTextType;
    DataFileType format = DataFileType::Text;
    if (event != EVENT_COMMIT || !chooseFile("Save File", VAL_SAVE_BUTTON, kSaveFiles, &type) ||
        !chooseFormat(type, &format))
        return 0;
    DataFileStop stop;
    int records = 0;
    {
        const BusyCursor busy;  // a full recording takes a moment; no pop-up under it
        records = saveDataFile(fileName, &stop, format);
    }
    if (records < 0) {
        tell("Save File", "The records were not saved to \"%s\": %s.", fileName, reasonOf(stop));
        return 0;
    }
    recordsSaved();
    // The line counts the records once they are all safely in the file.
    if (records > 0)
        setStatusLine("Save File: %d Records.", records);
    return 0;
}

int retrieveFileCallBack(CTRL_CALLBACK_ARGS)
{
    if (event != EVENT_COMMIT || !chooseFile("Retrieve File", VAL_LOAD_BUTTON, kTextFiles))
        return 0;
    // A FIFO or a device would block here for good, and a huge file for long.
    DataFileStop stop;
    std::FILE* in = openDataFile(fileName, &stop);
    if (in == nullptr) {
        tell("Retrieve File", "\"%s\" %s: %s. Nothing was changed.", fileName,
             stop.fault == DataFileFault::ReadError ? "could not be opened" : "was not read",
             reasonOf(stop));
        return 0;
    }

    // A file that is not a data file must not cost the records in the buffer
    // nor a running recording: the header is checked first.
    reader.start(in);
    DataFileHeader header;
    if (!reader.readHeader(&header, &stop)) {
        std::fclose(in);
        tell("Retrieve File", "\"%s\" was not read: %s (line %d). Nothing was changed.", fileName,
             reasonOf(stop), stop.line);
        return 0;
    }

    if (fLogging)
        autoStopLogging(kRetrieveStop);
    {
        const BusyCursor busy;
        applyDataFileHeader(header);
        recordsRetrieved();
        reader.readRecords(header.channels, &stop);
        std::fclose(in);
        if (logCounter > 0)
            setStatusLine("Retrieve File: %d Records.", logCounter);
        showReadRecords();
    }

    // One message for both: why reading stopped, and how the records were numbered.
    char stopped[800] = "";
    char numbered[1000] = "";
    if (stop.fault != DataFileFault::None)
        std::snprintf(stopped, sizeof stopped,
                      "Reading \"%s\" stopped at line %d: %s. %d records were read.", fileName,
                      stop.line, reasonOf(stop), stop.records);
    char named[560];
    std::snprintf(named, sizeof named, "\"%s\":", fileName);
    if (stop.misnumberedLine > 0)
        std::snprintf(numbered, sizeof numbered,
                      "%s line %d holds record %d where record %d was due: the record "
                      "numbers are out of sequence, so the records were read in file order and "
                      "are numbered 1 to %d now.",
                      stopped[0] ? " In the file," : named, stop.misnumberedLine,
                      stop.misnumbered, stop.misnumberedPlace, stop.records);
    if (stopped[0] || numbered[0])
        tell("Retrieve File", "%s%s", stopped, numbered);
    return 0;
}
