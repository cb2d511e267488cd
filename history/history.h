// The program's history: opens the store at start, feeds it every frame
// taken and every link event, and closes it at exit. The Trend window and
// the status line read it through here. One store per run; nullptr while the
// history is off or could not be opened.
#pragma once

#include <string>

#include "core/decode.h"
#include "store/history_store.h"

// At start, after the settings are recalled: opens the store when the
// history is on and records the start (and a crash gap before it, if any).
// A store that cannot be opened is told once; the meter is read as ever.
void historyStart();
// At exit: records the stop, commits what is queued and closes.
void historyStop();

// After each decoded frame; only a taken data frame is kept.
void historyFrame(const FrameResult& result);
// Link events: the device vanished, no data, link opened.
void historyEvent(HistoryEventKind kind, const char* text);

// The switch, remembered in Merrivan.ini ([History] Enabled); on by default.
bool historyEnabled();
void setHistoryEnabled(bool on);
// Retention, remembered in Merrivan.ini ([History] MaxAgeDays, MaxMegabytes,
// C-format numbers, 1 MB = 1048576 bytes; 0 keeps everything). Until the user
// sets a limit the file stops at 1024 MB.
HistoryRetention historyRetention();
void setHistoryRetention(const HistoryRetention& retention);

HistoryStore* historyStore();
// The store's file, for the help and the Trend window.
std::string historyPath();
// "" while all is well, else what the status line should say (paused, failed).
std::string historyProblem();
// Puts historyProblem() on the Monitor's status line (its own field there,
// shown only while something is wrong); the clock calls it once a second.
void showHistoryState();

// The file named on the command line (--history PATH); "" for the user's own
// under the data folder. Before historyStart.
void setHistoryPath(const std::string& path);
// The COM number the frames and link events that follow come from.
void setHistoryPort(int port);
