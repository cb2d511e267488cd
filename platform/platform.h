// The operations the program logic uses to reach panels, controls, timers, the
// serial port, pop-ups, panel state, printing and the analysis functions.
// Everything here runs on the one user-interface thread. No Qt type appears in
// this header, so the logic libraries never include Qt.
#pragma once

#include <cstddef>

// ---------------------------------------------------------------- events
enum {
    EVENT_NONE = 0,
    EVENT_COMMIT = 1,
    EVENT_VAL_CHANGED = 2,
    EVENT_GOT_FOCUS = 8,
    EVENT_LOST_FOCUS = 9,
    EVENT_CLOSE = 11,
    EVENT_TIMER_TICK = 15,
};

using CtrlCallbackPtr = int (*)(int panel, int control, int event, void* callbackData,
                                int eventData1, int eventData2);
using PanelCallbackPtr = int (*)(int panel, int event, void* callbackData, int eventData1,
                                 int eventData2);
using ComCallbackPtr = void (*)(int portNumber, int eventMask, void* callbackData);

// The parameter lists of control and panel callbacks, for declaring them. A
// callback seldom needs every parameter, so none of them is reported unused.
#define CTRL_CALLBACK_ARGS                                                                  \
    [[maybe_unused]] int panel, [[maybe_unused]] int control, [[maybe_unused]] int event, \
        [[maybe_unused]] void *callbackData, [[maybe_unused]] int eventData1,             \
        [[maybe_unused]] int eventData2
#define PANEL_CALLBACK_ARGS                                                              \
    [[maybe_unused]] int panel, [[maybe_unused]] int event,                              \
        [[maybe_unused]] void *callbackData, [[maybe_unused]] int eventData1,            \
        [[maybe_unused]] int eventData2

// ---------------------------------------------------------------- attributes
enum {
    ATTR_VISIBLE = 1,
    ATTR_DIMMED,
    ATTR_LABEL_TEXT,
    ATTR_TEXT_COLOR,
    ATTR_INTERVAL,           // timer interval, seconds (double)
    ATTR_ENABLED,            // timer enabled (int)
    ATTR_POINTS_PER_SCREEN,  // strip chart (int)
    ATTR_TRACE_VISIBLE,      // strip chart trace (SetTraceAttribute)
    ATTR_CURSOR_ENABLED,     // graph cursor (SetCursorAttribute)
    ATTR_NUM_TRACES,         // strip chart (read only)
};

// Axis and plot constants.
enum {
    VAL_BOTTOM_XAXIS = 0,
    VAL_LEFT_YAXIS = 1,
    VAL_MANUAL = 0,
    VAL_AUTOSCALE = 1,
    VAL_ALL_OBJECTS = -1,
    VAL_DOUBLE = 4,
    VAL_INTEGER = 2,
    VAL_FLOAT = 3,
    VAL_VERTICAL_BAR = 6,
    VAL_THIN_LINE = 0,
    VAL_SOLID = 0,
    VAL_EMPTY_SQUARE = 0,
    VAL_NO_POINT = 0,
    VAL_RED = 0xFF0000,
    VAL_BLACK = 0x000000,
    VAL_WHITE = 0xFFFFFF,
    VAL_IMMEDIATE_DRAW = 1,
};

// Serial event mask: the event character has been received.
enum { LWRS_RXFLAG = 2 };

// ---------------------------------------------------------------- run-time
// Starts the run-time (the application object); 0 means it failed.
int InitCVIRTE(int hInstance, char* argv[], int reserved);
// Dispatches callbacks until QuitUserInterface; returns the code it was given.
int RunUserInterface();
int QuitUserInterface(int code);

// ---------------------------------------------------------------- panels
// Loads a panel by resource number from a panel file; a handle >= 0, or a
// negative value when the file or the resource is unknown.
int LoadPanel(int parentPanel, const char* fileName, int resource);
int DisplayPanel(int panel);  // shows and raises
int HidePanel(int panel);
// The window title of a panel.
int SetPanelTitle(int panel, const char* title);
int DiscardPanel(int panel);

// ---------------------------------------------------------------- controls
// Setting a value never runs the control's callback.
int SetCtrlVal(int panel, int control, int value);
int SetCtrlVal(int panel, int control, double value);
int SetCtrlVal(int panel, int control, const char* value);
inline int SetCtrlVal(int panel, int control, float value)
{
    return SetCtrlVal(panel, control, static_cast<double>(value));
}
inline int SetCtrlVal(int panel, int control, char* value)
{
    return SetCtrlVal(panel, control, static_cast<const char*>(value));
}

int GetCtrlVal(int panel, int control, int* value);
int GetCtrlVal(int panel, int control, float* value);
int GetCtrlVal(int panel, int control, double* value);
// Text into a buffer of `size` bytes; always terminated, truncated to fit.
int GetCtrlVal(int panel, int control, char* value, std::size_t size);
template <std::size_t N>
int GetCtrlVal(int panel, int control, char (&value)[N])
{
    return GetCtrlVal(panel, control, value, N);
}

int SetCtrlAttribute(int panel, int control, int attribute, int value);
int SetCtrlAttribute(int panel, int control, int attribute, double value);
int SetCtrlAttribute(int panel, int control, int attribute, const char* value);
int GetCtrlAttribute(int panel, int control, int attribute, int* value);
int GetCtrlAttribute(int panel, int control, int attribute, double* value);
int GetCtrlAttribute(int panel, int control, int attribute, char* value, std::size_t size);
template <std::size_t N>
int GetCtrlAttribute(int panel, int control, int attribute, char (&value)[N])
{
    return GetCtrlAttribute(panel, control, attribute, value, N);
}

int DefaultCtrl(int panel, int control);  // back to the initial value
int ResetTimer(int panel, int control);   // the interval starts again from now

// Image file into a picture control; negative when it cannot be read.
int DisplayImageFile(int panel, int control, const char* fileName);

// ---------------------------------------------------------------- list controls
// index -1 appends.
int InsertListItem(int panel, int control, int index, const char* label, int value);
// count -1 deletes from start to the end.
int DeleteListItem(int panel, int control, int start, int count);
int GetNumListItems(int panel, int control, int* count);
int GetIndexFromValue(int panel, int control, int* index, int value);
int GetValueFromIndex(int panel, int control, int index, int* value);
int GetLabelFromIndex(int panel, int control, int index, char* label, std::size_t size);
int SetCtrlIndex(int panel, int control, int index);
int GetCtrlIndex(int panel, int control, int* index);  // -1 when the list is empty

// ---------------------------------------------------------------- strip chart
// Appends `count` values in trace order: count / traces points per trace.
int PlotStripChart(int panel, int control, const float* values, int count);
int ClearStripChart(int panel, int control);
int SetTraceAttribute(int panel, int control, int trace, int attribute, int value);
int SetAxisScalingMode(int panel, int control, int axis, int mode, double min, double max);

// ---------------------------------------------------------------- graph
int SetAxisRange(int panel, int control, int xMode, double xMin, double xMax, int yMode,
                 double yMin, double yMax);
int DeleteGraphPlot(int panel, int control, int plot, int refresh);
// Plots `count` points; returns a plot handle > 0, negative on failure.
int PlotXY(int panel, int control, const double* x, const int* y, int count, int style,
           int color);
int GetGraphCursor(int panel, int control, int cursor, double* x, double* y);
int SetGraphCursor(int panel, int control, int cursor, double x, double y);
int SetCursorAttribute(int panel, int control, int cursor, int attribute, int value);
int GetNumGraphPlots(int panel, int control, int* count);

// ---------------------------------------------------------------- trend plot
// Traces over clock time (UTC seconds since 1970, shown in local time), each
// drawn as its envelope: per pixel column the lowest and highest value in it.
// The control holds no data of its own: whenever its time range or width
// changed (wheel, drag, resize, a new span), at most once per turn of the
// event loop, its callback gets EVENT_VAL_CHANGED and answers with
// GetTrendRange and one SetTrendEnvelope per trace. A channel list with a
// check box per trace and a crosshair with a read-out belong to the control.
int SetTrendTraces(int panel, int control, int count, const char* const labels[],
                   const char* const units[], const unsigned colors[]);
// 1: traces of one unit share a y axis; 0: each trace has its own.
int SetTrendSharedAxes(int panel, int control, int shared);
// What the history holds: the range is kept inside it; a view that showed
// the end moves along with a later end.
int SetTrendSpan(int panel, int control, double first, double last);
int SetTrendRange(int panel, int control, double from, double to);
int GetTrendRange(int panel, int control, double* from, double* to, int* columns);
// `columns` equal columns over the range GetTrendRange gave. A NaN low is a
// gap (nothing drawn across it); an infinite low a column with no sample,
// which the line bridges.
int SetTrendEnvelope(int panel, int control, int trace, const double* low, const double* high,
                     int columns);
int GetTrendTraceVisible(int panel, int control, int trace, int* visible);
// Asks for a file with the file pop-up and saves the plot there (PNG, PDF, SVG).
int SaveTrendImage(int panel, int control);

// ---------------------------------------------------------------- panel state
// The program's settings file: the panel states, the [ComPorts] map and the
// print dialog's last file.
inline constexpr const char kSettingsFile[] = "Merrivan.ini";

// Stores the values of every control of a panel under `state` in an ini file.
// Only the state's own keys are rewritten: comments, unknown keys and other
// sections stay as the user left them.
int SavePanelState(int panel, const char* fileName, int state);
// Puts them back. A value that is missing or unusable leaves its control at
// its default value and costs no other. Negative when the file or the state is
// missing or unreadable (then no control is changed); else the number of
// controls that took their default.
int RecallPanelState(int panel, const char* fileName, int state);
// 1 when the last RecallPanelState of `panel` took this control's value from
// the file, else 0.
int CtrlValRecalled(int panel, int control);
// Where a settings file named without a directory lives (the panel-state
// calls and the [ComPorts] map use this): the working directory; but when the
// environment holds MERRIVAN_SETTINGS=xdg, as the desktop menu entry sets it,
// the user's configuration folder ($XDG_CONFIG_HOME/merrivan, normally
// ~/.config/merrivan), created when missing. Names with a directory stay as
// they are. Negative when the path does not fit, or when the file exists but
// is no regular file (it is then left alone; the user is told once).
int settingsFilePath(const char* name, char* path, std::size_t size);
// The same place whatever is there: for a file of the program's own, such as
// the recording's journal, that checks what it finds itself.
int settingsFileLocation(const char* name, char* path, std::size_t size);
// Puts back one control's value from state `state` of an ini file, as
// RecallPanelState does for each control: 0 when taken; else negative, and
// the control takes its default value.
int RecallCtrlVal(int panel, int control, const char* fileName, int state);
// Writes `count` keys of `section` of an ini file with their texts as given;
// every other line of the file stays. 0 when written.
int SaveIniTexts(const char* fileName, const char* section, const char* const keys[],
                 const char* const texts[], int count);
// The text of `key` in `section` (cut to fit `size`); negative when the file,
// the section or the key is missing, or the value is not a plain text.
int RecallIniText(const char* fileName, const char* section, const char* key, char* text,
                  std::size_t size);

// ---------------------------------------------------------------- serial port
// COM numbers map to devices: see comDevicePath.
int OpenComConfig(int port, const char* deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize);
int CloseCom(int port);  // harmless when the port is not open
int SetComTime(int port, double timeoutSeconds);
int FlushInQ(int port);
int FlushOutQ(int port);
// The callback runs on the user-interface thread after the event character
// has arrived; installing again replaces the earlier installation.
int InstallComCallback(int port, int eventMask, int notifyCount, int eventCharacter,
                       ComCallbackPtr callback, void* callbackData);
int GetInQLen(int port);
// Reads until the termination byte (taken from the queue, not stored), until
// `count` bytes are stored, or until the time-out; returns the count stored,
// negative when the port is not open.
int ComRdTerm(int port, char* buffer, int count, int terminationByte);
// 1 when the termination byte is waiting in the input queue, so that a
// ComRdTerm up to it returns without waiting; 0 when it is not (also for a
// byte outside 0..255); negative as GetInQLen.
int ComTermQueued(int port, int terminationByte);
// 1 when the port was closed because its device went away (a USB cable
// pulled); it then reads as not open and runs no callback. 0 otherwise. A
// successful OpenComConfig or a CloseCom of the port clears it.
int ComDeviceLost(int portNumber);
// The device path of a COM number (empty when it has none), after the
// [ComPorts] section of "Merrivan.ini" and the built-in map.
int comDevicePath(int port, char* path, std::size_t size);
// 1 when the device a COM number leads to is there now (a link to a device
// that went away is not), 0 when it has none or it is absent.
int comDevicePresent(int port);
// The stable name of the port's device under /dev/serial/by-id, which stays
// the same whichever ttyUSB number the adapter gets; empty when it has none.
int comStableName(int port, char* name, std::size_t size);

// ---------------------------------------------------------------- pop-ups and the rest
int ConfirmPopup(const char* title, const char* message);  // 1 yes, 0 no
int MessagePopup(const char* title, const char* message);
// A question with up to three answers, each a button with the caller's label
// (a null or empty label leaves its button out); the first is the default.
// Returns 1, 2 or 3 for the button chosen, 0 when the pop-up was closed
// without a choice (the third button, when there is one, is the Escape key's).
int ChoicePopup(const char* title, const char* message, const char* button1,
                const char* button2, const char* button3 = nullptr);
enum { VAL_NO_FILE_SELECTED = 0, VAL_EXISTING_FILE_SELECTED = 1, VAL_NEW_FILE_SELECTED = 2 };
// Fills `path` (at least `size` bytes); 0 when nothing was chosen. The file
// types are "name (pattern)" entries joined by ";;"; all files are always
// offered too. *selectedType, when given, gets the index of the type chosen
// in the list, or -1 for all files.
int FileSelectPopup(const char* defaultDirectory, const char* defaultFileSpec,
                    const char* fileTypeList, const char* title, int buttonLabel,
                    int restrictDirectory, int restrictExtension, int allowCancel,
                    int allowMakeDirectory, char* path, std::size_t size,
                    int* selectedType = nullptr);
enum { VAL_OK_BUTTON = 0, VAL_SAVE_BUTTON = 1, VAL_SELECT_BUTTON = 2, VAL_LOAD_BUTTON = 3 };
// A non-empty file name prints to that PDF file instead of a printer.
int PrintPanel(int panel, const char* fileName, int scope, int area, int interactive);
int LaunchExecutable(const char* commandLine);
// Blocks without dispatching events; what was written before still shows.
void Delay(double seconds);
const char* DateStr();  // "MM-DD-YYYY"
const char* TimeStr();  // "HH:MM:SS"
// Both texts from one reading of the PC clock, so that a reading at midnight
// never pairs one day's date with the next day's time.
void PcClockStr(char* dateText, std::size_t dateSize, char* timeText, std::size_t timeSize);
void CVI_Beep();
// Milliseconds elapsed on a clock the PC's clock settings never move, from any
// start; it keeps counting while the program is stopped.
long long MonotonicMs();
// The PC's clock as UTC milliseconds since 1970, cheap enough for every frame.
long long WallClockUtcMs();
// The user's own folder for the program's data, created by whoever writes
// there: $XDG_DATA_HOME/Merrivan (normally ~/.local/share/Merrivan), on
// Windows %LOCALAPPDATA%\Merrivan. 0 when it fits into `path`.
int UserDataFolder(char* path, std::size_t size);

// While one lives, the pointer shows the program busy over all its windows:
// for work in the user-interface thread that may take longer than about
// 0.3 s (drawing an image, printing, a file of a full recording). Nested ones
// are safe; the pointer comes back when the outermost ends.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// ---------------------------------------------------------------- running without a screen
// Before InitCVIRTE: the program runs without any window (no display needed);
// panels are never shown, and every pop-up and file dialog is answered with
// its default without a user and told on standard error.
void SetHeadless(int on);
int Headless();
// Before anything reads it: the settings file (and what lies beside it, such
// as the journal) is this path instead of "Merrivan.ini" in its usual place;
// its folder is created when missing.
void SetSettingsFile(const char* path);
// One line on standard error, prefixed with the UTC time, when headless;
// nothing otherwise.
void LogEvent(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// SIGTERM and SIGINT: the first calls `onStop` from the event loop (never
// from the signal handler), a second ends the process at once. 0 when
// installed, negative where the system has no such signals.
int InstallStopSignals(void (*onStop)());
