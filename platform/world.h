// What the program reaches outside itself: pop-ups, file dialogs, the
// printer, other programs, waiting, the PC clock, the beep, which device a
// COM number names, and whether panels and the run-time come up. The real
// world is in use unless another is put in its place before start-up.
// Only platform/ and what stands in for the world see this header.
#pragma once

#include <QDateTime>
#include <QString>
#include <string>

class QWidget;

namespace platform {

class World {
public:
    World() = default;
    World(const World&) = delete;
    World& operator=(const World&) = delete;
    virtual ~World() = default;

    // 1 yes, 0 no.
    virtual int confirm(const char* title, const char* message) = 0;
    virtual void message(const char* title, const char* message) = 0;
    // 1, 2 or 3 for the button chosen (null labels are left out); 0 when
    // closed without a choice.
    virtual int choose(const char* title, const char* message, const char* const buttons[3]) = 0;
    // The file chosen; empty when cancelled. *selectedFilter gets the entry of
    // `fileTypeList` (or "All files (*)") chosen with it.
    virtual QString selectFile(const char* defaultDirectory, const char* defaultFileSpec,
                               const char* fileTypeList, const char* title, int buttonLabel,
                               QString* selectedFilter) = 0;
    // Prints a panel's window; into that PDF file when `fileName` is not empty.
    virtual int printPanel(int panel, QWidget* window, const std::string& fileName, int scope,
                           int area, int interactive) = 0;
    virtual int launch(const char* commandLine) = 0;
    // Blocks without dispatching callbacks.
    virtual void delay(double seconds) = 0;
    virtual QDateTime now() = 0;
    // Milliseconds on a clock that only goes forward, from any start.
    virtual long long monotonicMs() = 0;
    // The PC clock as UTC milliseconds since 1970.
    virtual long long wallClockUtcMs() = 0;
    // The folder of the user's program data (not created here).
    virtual QString userDataFolder() = 0;
    virtual void beep() = 0;

    // A device for a COM number that wins over "Merrivan.ini"; false when none.
    virtual bool comPathOverride(int port, QString* path) = 0;
    // Whether COM numbers nobody mapped fall back to the built-in map.
    virtual bool builtInComMap() = 0;

    // Whether loading this panel resource fails.
    virtual bool panelLoadFails(int resource) = 0;
    // Whether this start of the run-time fails.
    virtual bool runTimeFails() = 0;
};

// The world in use.
World& world();
// The real one, for a stand-in that passes some things on.
World& realWorld();
// Puts `w` in use (not owned; it must outlive its use); null puts the real
// world back.
void setWorld(World* w);
// Without a screen: unless another world is in use, pop-ups, file dialogs,
// printing and launching are answered without a user, each told on standard
// error; the rest is the real world's.
void answerPopupsHeadless();

}  // namespace platform
