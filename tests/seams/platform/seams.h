// Seams that let tests stand in for the world: answer pop-ups and file
// dialogs, set the PC clock, count beeps, record launches and prints, let Delay
// return at once, and act on controls as a user would. Nothing here blocks.
// Test code only (library `seams`); the shipped program does not link it.
#pragma once

#include <functional>
#include <utility>
#include <string>
#include <vector>

namespace seam {

// Test mode: puts a stand-in world in use, so that pop-ups, file dialogs,
// print dialogs and launches never reach the screen and Delay returns at once.
// reset() clears every record, answer and failure (not the COM map).
void enable();
void reset();
bool enabled();

struct Popup {
    std::string kind;  // "confirm", "message", "file", "choice"
    std::string title;
    std::string message;
    std::vector<std::string> buttons;  // a choice's button labels, as shown
};
// Answers for ConfirmPopup, in order; without one the answer is 0 (no).
void pushConfirmAnswer(int answer);
// Answers for ChoicePopup (1, 2 or 3: the button), in order; without one the
// pop-up is closed without a choice (0).
void pushChoiceAnswer(int answer);
// Answers for FileSelectPopup, in order; an empty path means cancelled. The
// file type chosen with it is `filter` (an entry of the pop-up's list, or
// "All files (*)"); without one, the list's first.
void pushFileAnswer(const std::string& path, const std::string& filter = "");
const std::vector<Popup>& popups();
// Runs when a pop-up would be shown, before it returns.
void onPopup(std::function<void(const Popup&)> hook);

// The PC clock that DateStr, TimeStr and WallClockUtcMs read.
void setClock(int year, int month, int day, int hour, int minute, int second);
void advanceClock(int seconds);
void useRealClock();
// Each later reading of the set clock moves it on by `seconds`, as time runs
// between two readings (0 stops it).
void advanceClockOnEachRead(int seconds);
// The clock that measures elapsed time stands still in tests; this moves it on
// (a stall, a suspend) without any timer tick.
void advanceMonotonicClock(int seconds);

int beepCount();
const std::vector<std::string>& launches();
// Lets LaunchExecutable really start programs (for the tests of the launch).
void useRealLaunch(bool real);

struct Print {
    int panel;
    std::string fileName;
    int scope;
    int area;
    int interactive;
};
const std::vector<Print>& prints();

// Runs at each Delay (with its seconds) instead of waiting.
void onDelay(std::function<void(double)> hook);
double totalDelay();
// Lets Delay really wait (for the tests of the wait itself).
void useRealDelay(bool real);

// The next loads of this resource number fail.
void failPanelLoad(int resource);
// The next InitCVIRTE fails.
void failRunTime();
void clearPanelFailures();

// COM numbers for tests: a seam mapping wins over "Merrivan.ini".
// clearComMap also turns the built-in map off, so that no test touches a real
// serial device; useBuiltInComMap turns it on again.
void mapComPort(int port, const std::string& devicePath);
void clearComMap();
void useBuiltInComMap();

// Acts as a user would: the same events reach the callbacks as from the
// screen. Values are given as text for rings (by value), numbers and entries.
void userSetValue(int panel, int control, double value);
void userSetText(int panel, int control, const std::string& text);
// Types into a numeric entry key by key, then Enter, as a user does (the
// entry's own parsing runs); false when the control is not an entry.
bool userTypeKeys(int panel, int control, const std::string& text);
// The text a numeric entry shows; empty when it is not one.
std::string entryText(int panel, int control);
void userPress(int panel, int control);  // a command button
void userClose(int panel);               // the window's close box
void userFocus(int panel, int control, bool gotFocus);
void userMoveCursor(int panel, int control, double x, double y);
void fireTimer(int panel, int control);  // one tick, now
// Keys as from the keyboard ("Ctrl+S", "Esc", "Tab") to the panel's window,
// made the active one, at its focused control; false when it is not shown.
bool userKeys(int panel, const std::string& keys);

// Inspection of what the user sees.
bool isVisible(int panel, int control);   // the control's own visible flag
bool isDimmed(int panel, int control);
bool panelVisible(int panel);
std::string labelText(int panel, int control);
int textColor(int panel, int control);
bool timerEnabled(int panel, int control);
double timerInterval(int panel, int control);
std::vector<std::string> listLabels(int panel, int control);
// Strip chart: number of points a trace holds, the left axis range, visibility.
int stripPoints(int panel, int control, int trace);
bool traceVisible(int panel, int control, int trace);
void yAxisRange(int panel, int control, double* min, double* max);
void xAxisRange(int panel, int control, double* min, double* max);
bool cursorEnabled(int panel, int control);
// Trend plot: the wheel turned by `notches` (positive: closer) and a drag by
// `pixels` (positive: to the right) with the pointer at `fraction` of the
// plot area's width; a channel's check box; the channel list; the points a
// trace draws (time, value; a NaN value breaks the line) and whether it
// shows; the read-out with the pointer at `fraction`. Each first lets the
// plot fetch what it asked for.
void userWheel(int panel, int control, double fraction, int notches);
void userDrag(int panel, int control, double fraction, int pixels);
void userCheckChannel(int panel, int control, int index, bool on);
std::vector<std::string> trendChannels(int panel, int control);
std::vector<std::pair<double, double>> trendDrawn(int panel, int control, int trace,
                                                  bool* shown = nullptr);
std::string trendReadout(int panel, int control, double fraction);
// Control identifiers whose callback name did not resolve at load.
std::vector<std::string> unresolvedCallbacks();
// Number of live panels (loaded and not discarded).
int livePanels();

}  // namespace seam
