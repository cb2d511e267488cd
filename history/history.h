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
// Retention, remembered in Merrivan.ini ([History] MaxAgeDays, MaxMegabytes).
HistoryRetention historyRetention();
void setHistoryRetention(const HistoryRetention& retention);

HistoryStore* historyStore();
// The store's file, for the help and the Trend window.
std::string historyPath();
// "" while all is well, else what the status line should say (paused, failed).
std::string historyProblem();
