// Recording at a sample rate into the record buffer, and the strip chart.
#pragma once

#include <cstddef>

#include "platform/platform.h"

extern int sampleData;
extern double sampleRate;
extern float vGain;
extern float vOffset;
extern int vRange;

// Who ends a recording: the user's switch, or the program (samples reached,
// a new channel layout, no data, a retrieved file).
enum class StopBy { User, Program };

// The chart's titles after a stop.
inline constexpr char kUserStop[] = "Stop Logging";
inline constexpr char kSamplesReachedStop[] = "Stop Logging";
inline constexpr char kMeterErrorStop[] = "Detected error,Stop Logging";
inline constexpr char kNoDataStop[] = "10 seconds no data,Stop Logging";
inline constexpr char kDisconnectedStop[] = "Meter disconnected";
inline constexpr char kRetrieveStop[] = "Retrieve file,Stop Logging";

// Ends the recording with `reason` (one of the titles above) as the chart's
// title; the records stay in the buffer and the whole set-up is free again.
// The status line says that the recording stopped, why, and how many records
// it holds. A stop by the program does nothing when no recording runs and
// turns the Record switch off.
void stopRecording(const char* reason, StopBy by);
// The stop by the program.
void autoStopLogging(const char* reason);

// The legend and the traces of the recorded channels, named as the
// recording names them; the others hidden.
void showRecordedChannels();

// Whether the buffer holds records taken, or restored from the journal, that
// no save has written since. Records retrieved from a file count as saved.
bool recordsUnsaved();
// A save wrote every record the buffer holds: once no recording runs, its
// journal has done its work and goes.
void recordsSaved();
// A retrieve replaced the buffer's records with a file's: the journal of the
// records replaced goes.
void recordsRetrieved();
// At start-up: a journal that a run left behind (it ended without a save or
// a discard: a crash, a kill, a power cut) is offered for Restore, which
// reads its records into the buffer, chart and statistics as a retrieve
// would, as unsaved records; or for Discard.
void offerJournal();
// The program exits with the user's consent: its records are saved or given
// up, and the journal goes.
void endJournal();
// Where the journal lives: beside the settings file. False when the path
// does not fit.
bool journalPath(char* path, std::size_t size);
inline constexpr char kJournalFile[] = "Merrivan.journal";

// Writes the Monitor's status line (recording and file progress).
__attribute__((format(printf, 1, 2))) void setStatusLine(const char* format, ...);

// Shows records just read into the buffer (a file, a journal): legend, chart
// from the first record, statistics and histogram.
void showReadRecords();

// Fixes the chart's vertical scale from vGain and vOffset.
void setChartScale();
// Draws the chart anew with every record the buffer holds, and nothing else.
void plotWholeBuffer();

int logCmdCallback(CTRL_CALLBACK_ARGS);
int timeSampleCallBack(CTRL_CALLBACK_ARGS);
int sGainCallBack(CTRL_CALLBACK_ARGS);
int sOffsetCallBack(CTRL_CALLBACK_ARGS);
int sRangeCallBack(CTRL_CALLBACK_ARGS);
int sampleRateCallBack(CTRL_CALLBACK_ARGS);
int sampleDataCallBack(CTRL_CALLBACK_ARGS);
