#include "record/data_file.h"

#include <cerrno>
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

// Saving also offers CSV; the pop-up does not report the chosen type, so
// the file name's ending decides it (dataFileTypeOf). Only text files are read.
bool chooseFile(const char* title, int button, const char* types)
{
    return FileSelectPopup("", "*.txt", types, title, button, 0, 0, 1, 1, fileName,
                           sizeof fileName) != VAL_NO_FILE_SELECTED;
}

const char kTextFiles[] = "ASCII files(*.txt)";
const char kSaveFiles[] = "ASCII files(*.txt);;CSV files(*.csv)";

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
    if (stop.fault == DataFileFault::ReadError || stop.fault == DataFileFault::WriteError)
        return std::strerror(stop.errnum);
    return dataFileFaultText(stop.fault);
}

}  // namespace


int saveFileCallBack(CTRL_CALLBACK_ARGS)
{
    if (event != EVENT_COMMIT || !chooseFile("Save File", VAL_SAVE_BUTTON, kSaveFiles))
        return 0;
    DataFileStop stop;
    const int records = saveDataFile(fileName, &stop, dataFileTypeOf(fileName));
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
    std::FILE* in = std::fopen(fileName, "r");
    if (in == nullptr) {
        tell("Retrieve File", "\"%s\" could not be opened: %s. Nothing was changed.", fileName,
             std::strerror(errno));
        return 0;
    }

    // A file that is not a data file must not cost the records in the buffer
    // nor a running recording: the header is checked first.
    reader.start(in);
    DataFileHeader header;
    DataFileStop stop;
    if (!reader.readHeader(&header, &stop)) {
        std::fclose(in);
        tell("Retrieve File", "\"%s\" was not read: %s (line %d). Nothing was changed.", fileName,
             reasonOf(stop), stop.line);
        return 0;
    }

    if (fLogging)
        autoStopLogging(kRetrieveStop);
    applyDataFileHeader(header);
    recordsRetrieved();
    reader.readRecords(header.channels, &stop);
    std::fclose(in);
    if (logCounter > 0)
        setStatusLine("Retrieve File: %d Records.", logCounter);

    showRecordedChannels();  // named as the file names them
    GetCtrlVal(monitorPanel, MONITOR_RANGE, &vRange);
    SetCtrlAttribute(monitorPanel, MONITOR_CHART, ATTR_POINTS_PER_SCREEN, vRange);
    plotWholeBuffer();
    SetStaticDisp(0);
    fUpdateHistogram = 1;
    basicStatistic();

    if (stop.fault != DataFileFault::None)
        tell("Retrieve File", "Reading \"%s\" stopped at line %d: %s. %d records were read.",
             fileName, stop.line, reasonOf(stop), stop.records);
    return 0;
}
