#include "record/recording.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/channel.h"
#include "core/clock.h"
#include "core/journal.h"
#include "core/record_buffer.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"
#include "view/statistics.h"

int sampleData = 0;
double sampleRate = 1.0;
float vGain = 1.0f;
float vOffset = 0.0f;
int vRange = 100;

namespace {

// The recording in progress, line by line as its records are taken.
Journal journal;
bool unsaved = false;
// A journal that cannot be written is told once per recording; the
// recording goes on without it.
bool journalFaultTold = false;

void tellJournalFault(int errnum)
{
    journal.close();
    if (journalFaultTold)
        return;
    journalFaultTold = true;
    char path[4096] = "";
    journalPath(path, sizeof path);
    char message[4400];
    std::snprintf(message, sizeof message,
                  "The recording goes on, but its records cannot be kept in \"%s\" (%s): "
                  "should the program end before they are saved, they are lost.",
                  path, std::strerror(errnum));
    MessagePopup("Recording", message);
}

void startJournal()
{
    journalFaultTold = false;
    char path[4096];
    if (!journalPath(path, sizeof path)) {
        tellJournalFault(ENAMETOOLONG);
        return;
    }
    if (const int e = journal.start(path); e != 0)
        tellJournalFault(e);
}

void dimSetup(int dimmed)
{
    SetCtrlAttribute(monitorPanel, MONITOR_SAMPLE_COUNT, ATTR_DIMMED, dimmed);
    SetCtrlAttribute(monitorPanel, MONITOR_SAMPLE_RATE, ATTR_DIMMED, dimmed);
    SetCtrlAttribute(monitorPanel, MONITOR_LOG_EXTRA, ATTR_DIMMED, dimmed);
}

void startLogging()
{
    GetCtrlVal(monitorPanel, MONITOR_SAMPLE_COUNT, &sampleData);
    // The buffer ends at 16000 records, whatever the entry was given.
    sampleData = clampRecords(sampleData);
    int rate = 1;
    GetCtrlVal(monitorPanel, MONITOR_SAMPLE_RATE, &rate);
    dimSetup(1);
    SetCtrlAttribute(monitorPanel, MONITOR_REC_INDICATOR, ATTR_TEXT_COLOR, 0xFF0000);
    SetCtrlVal(monitorPanel, MONITOR_REC_INDICATOR, "Recording");
    SetCtrlAttribute(monitorPanel, MONITOR_REC_INDICATOR, ATTR_VISIBLE, 1);
    // A rate below one second would make the timer tick as fast as it can.
    sampleRate = rate < 1 ? 1.0 : static_cast<double>(rate);
    SetCtrlAttribute(monitorPanel, MONITOR_SAMPLE_TIMER, ATTR_INTERVAL, sampleRate);
    SetCtrlAttribute(monitorPanel, MONITOR_SAMPLE_TIMER, ATTR_ENABLED, 1);
    SetCtrlVal(monitorPanel, MONITOR_SETTINGS, "Start Logging Data");
    ClearStripChart(monitorPanel, MONITOR_CHART);
    SetCtrlAttribute(monitorPanel, MONITOR_CHART, ATTR_LABEL_TEXT, "Logging Data......");
    fLogging = 1;
    logLength = 0;
    logCounter = 0;
    DeleteGraphPlot(statisticPanel, STATISTIC_HISTOGRAM, -1, VAL_IMMEDIATE_DRAW);
    logDataNum = clampChannels(wDataNum);
    fLogGetDes = fViewGetDes;
    for (int c = 0; c < logDataNum; ++c) {
        logChannel[c].type = channel[c].type;
        copyText(logChannel[c].des, channel[c].des);
    }
    showRecordedChannels();
    SetStaticDisp(0);
    // The records before are gone from the buffer; so they go from the journal.
    unsaved = false;
    startJournal();
}

// Why the program stopped, as the status line says it; the chart's title
// keeps the texts users know.
const char* stopCause(const char* reason)
{
    struct Cause {
        const char* reason;
        const char* cause;
    };
    static const Cause causes[] = {
        {kSamplesReachedStop, "sample count reached"},
        {kMeterErrorStop, "meter's channels changed"},
        {kNoDataStop, "no data from the meter"},
        {kDisconnectedStop, "meter disconnected"},
        {kRetrieveStop, "file retrieved"},
    };
    for (const Cause& c : causes) {
        if (std::strcmp(c.reason, reason) == 0)
            return c.cause;
    }
    return reason;
}

void takeSample()
{
    if (logCounter >= sampleData || logCounter >= kMaxRecords) {
        stopRecording(kSamplesReachedStop, StopBy::Program);
        return;
    }
    const int r = logCounter;
    putRecordTime(r, sysClock);
    for (int c = 0; c < recordedChannels(); ++c)
        putRecordValue(r, c, channel[c].value, channel[c].valStr, channel[c].unit);
    int shown = 0;
    GetCtrlAttribute(monitorPanel, MONITOR_REC_INDICATOR, ATTR_VISIBLE, &shown);
    SetCtrlAttribute(monitorPanel, MONITOR_REC_INDICATOR, ATTR_VISIBLE, shown ? 0 : 1);
    PlotStripChart(monitorPanel, MONITOR_CHART, logData[r], kMaxChannels);
    setStatusLine("Logging Data: %d Records.", r + 1);
    ++logCounter;
    ++logLength;
    unsaved = true;
    basicStatistic();
    // Last: a pop-up lets the next tick run before it returns.
    if (journal.isOpen()) {
        if (const int e = journal.append(r); e != 0)
            tellJournalFault(e);
    }
}

}  // namespace

void showRecordedChannels()
{
    const int count = recordedChannels();
    for (int c = 0; c < kMaxChannels; ++c) {
        const bool recorded = c < count;
        if (recorded) {
            const ChannelLabel label = channelLabel(logChannel[c], fLogGetDes);
            SetCtrlVal(monitorPanel, lableColor[c], label.text);
        }
        SetCtrlAttribute(monitorPanel, lableColor[c], ATTR_VISIBLE, recorded ? 1 : 0);
        SetTraceAttribute(monitorPanel, MONITOR_CHART, c + 1, ATTR_TRACE_VISIBLE, recorded ? 1 : 0);
    }
}

void stopRecording(const char* reason, StopBy by)
{
    if (!fLogging && by == StopBy::Program)
        return;
    fLogging = 0;
    SetCtrlAttribute(monitorPanel, MONITOR_SAMPLE_TIMER, ATTR_ENABLED, 0);
    // Its records stay in the journal until they are saved or given up.
    journal.close();
    SetCtrlAttribute(monitorPanel, MONITOR_CHART, ATTR_LABEL_TEXT, reason);
    // Shown only while a recording runs.
    SetCtrlAttribute(monitorPanel, MONITOR_REC_INDICATOR, ATTR_VISIBLE, 0);
    // Whoever stopped it, the next recording can be set up at once.
    dimSetup(0);
    if (by == StopBy::User) {
        SetCtrlAttribute(monitorPanel, MONITOR_REC_INDICATOR, ATTR_TEXT_COLOR, 0xFFFFFF);
        setStatusLine("End Logging Data: %d Records.", logCounter);
    } else {
        // The switch is the user's; a stop of the program's own turns it off.
        SetCtrlVal(monitorPanel, MONITOR_LOG_SWITCH, 0);
        // The progress line would otherwise go on counting as if it ran.
        setStatusLine("Recording stopped (%s): %d records.", stopCause(reason), logCounter);
    }
}

void autoStopLogging(const char* reason)
{
    stopRecording(reason, StopBy::Program);
}

void setChartScale()
{
    const double low = static_cast<double>(vOffset) * static_cast<double>(vGain);
    const double high = (static_cast<double>(vOffset) + 10.0) * static_cast<double>(vGain);
    SetAxisScalingMode(monitorPanel, MONITOR_CHART, VAL_LEFT_YAXIS, VAL_MANUAL, low, high);
}

void showReadRecords()
{
    showRecordedChannels();  // named as the file names them
    GetCtrlVal(monitorPanel, MONITOR_RANGE, &vRange);
    SetCtrlAttribute(monitorPanel, MONITOR_CHART, ATTR_POINTS_PER_SCREEN, vRange);
    plotWholeBuffer();
    SetStaticDisp(0);
    fUpdateHistogram = 1;
    basicStatistic();
}

// What the chart held is drawn again, not appended a second time; a running
// recording goes on appending after the records.
void plotWholeBuffer()
{
    ClearStripChart(monitorPanel, MONITOR_CHART);
    const int records = recordsTaken();
    if (records != 0)
        PlotStripChart(monitorPanel, MONITOR_CHART, logData[0], records * kMaxChannels);
}


int logCmdCallback(CTRL_CALLBACK_ARGS)
{
    if (event != EVENT_VAL_CHANGED)
        return 0;
    int on = 0;
    GetCtrlVal(panel, control, &on);
    if (on)
        startLogging();
    else
        stopRecording(kUserStop, StopBy::User);
    return 0;
}

int timeSampleCallBack(CTRL_CALLBACK_ARGS)
{
    // A tick that was already on its way when the recording stopped takes
    // nothing: it would add a record to a stopped or retrieved buffer.
    if (event == EVENT_TIMER_TICK && fLogging)
        takeSample();
    return 0;
}

int sGainCallBack(CTRL_CALLBACK_ARGS)
{
    if (event != EVENT_COMMIT)
        return 0;
    GetCtrlVal(monitorPanel, MONITOR_OFFSET, &vOffset);
    GetCtrlVal(monitorPanel, MONITOR_GAIN, &vGain);
    setChartScale();
    plotWholeBuffer();
    return 0;
}

int sOffsetCallBack(CTRL_CALLBACK_ARGS)
{
    return sGainCallBack(panel, control, event, callbackData, eventData1, eventData2);
}

int sRangeCallBack(CTRL_CALLBACK_ARGS)
{
    if (event != EVENT_COMMIT)
        return 0;
    GetCtrlVal(monitorPanel, MONITOR_RANGE, &vRange);
    SetCtrlAttribute(monitorPanel, MONITOR_CHART, ATTR_POINTS_PER_SCREEN, vRange);
    plotWholeBuffer();
    return 0;
}

// The sample count and rate are read when a recording starts.
int sampleRateCallBack(CTRL_CALLBACK_ARGS) { return 0; }
int sampleDataCallBack(CTRL_CALLBACK_ARGS) { return 0; }

void setStatusLine(const char* format, ...)
{
    char text[128];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    SetCtrlVal(monitorPanel, MONITOR_SETTINGS, text);
}

// ---------------------------------------------------------------- journal

bool journalPath(char* path, std::size_t size)
{
    return settingsFileLocation(kJournalFile, path, size) == 0;
}

bool recordsUnsaved()
{
    return unsaved;
}

void recordsSaved()
{
    unsaved = false;
    // A running recording goes on adding to its journal.
    char path[4096];
    if (!fLogging && journalPath(path, sizeof path))
        removeJournal(path);
}

void recordsRetrieved()
{
    unsaved = false;
    journal.close();
    char path[4096];
    if (journalPath(path, sizeof path))
        removeJournal(path);
}

void endJournal()
{
    journal.close();
    char path[4096];
    if (journalPath(path, sizeof path))
        removeJournal(path);
}

namespace {

void forgetRestored()
{
    logCounter = 0;
    logLength = 0;
    logDataNum = 0;
    fLogGetDes = 0;
}

void putStamp(int record, char* text, std::size_t size)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    cRtc2BRtc(static_cast<unsigned int>(sTime[record]), &year, &month, &day, &hour, &minute,
              &second);
    std::snprintf(text, size, "%02d-%02d-%04d %02d:%02d:%02d", month, day, year, hour, minute,
                  second);
}

}  // namespace

void offerJournal()
{
    // The program starts with an empty buffer.
    unsaved = false;
    char path[4096];
    if (!journalPath(path, sizeof path))
        return;
    DataFileStop stop;
    const JournalRead read = readJournal(path, &stop);
    if (read == JournalRead::None)
        return;
    const int records = recordsHeld();
    if (read == JournalRead::NoHeader || records == 0) {
        // Ended before its first record: there is nothing to give back.
        forgetRestored();
        removeJournal(path);
        return;
    }
    char first[32];
    char last[32];
    putStamp(0, first, sizeof first);
    putStamp(records - 1, last, sizeof last);
    char message[512];
    std::snprintf(message, sizeof message,
                  "The program ended before the last recording was saved.\n"
                  "%d records of %d channels, taken from %s to %s, can be restored.",
                  records, recordedChannels(), first, last);
    // Closed without a choice, the records are restored: nothing is lost.
    if (ChoicePopup("Restore Recording", message, "Restore", "Discard") == 2) {
        forgetRestored();
        removeJournal(path);
        return;
    }
    unsaved = true;
    {
        const BusyCursor busy;
        showReadRecords();
    }
    setStatusLine("Restore Recording: %d Records.", records);
    if (stop.fault != DataFileFault::None) {
        std::snprintf(message, sizeof message,
                      "Reading the journal stopped at line %d: %s. %d records were restored.",
                      stop.line, dataFileFaultText(stop.fault), records);
        MessagePopup("Restore Recording", message);
    }
}
