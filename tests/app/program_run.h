// Runs the real program entry with the platform's test seams: the test acts
// from inside the event loop, then the program is asked to exit.
#pragma once

#include <QTimer>

#include <functional>
#include <string>

#include "app/merrivan.h"
#include "platform/platform.h"
#include "platform/seams.h"
#include "record/recording.h"
#include "test_support.h"
#include "ui/merrivan_uir.h"

namespace testsupport {

struct RunResult {
    int rc = -99;
    std::string status;  // the status line when the event loop started
};

inline std::string statusLine()
{
    return monitorText(MONITOR_SETTINGS);
}

// `inLoop` runs once the event loop is up; then the exit is confirmed (unsaved
// records discarded) unless `autoExit` is false and `inLoop` ends the program
// itself.
inline RunResult runProgram(const std::function<void()>& inLoop = {}, bool autoExit = true)
{
    RunResult result;
    QTimer::singleShot(0, [&]() {
        result.status = statusLine();
        if (inLoop)
            inLoop();
        if (autoExit) {
            // Records not saved are given up rather than asked about.
            if (recordsUnsaved())
                seam::pushChoiceAnswer(2);
            else
                seam::pushConfirmAnswer(1);
            seam::userPress(monitorPanel, MONITOR_EXIT);
        }
    });
    char name[] = "merrivan";
    char* argv[] = {name, nullptr};
    result.rc = merrivanMain(1, argv);
    return result;
}

inline bool sawPopup(const std::string& title)
{
    for (const auto& p : seam::popups())
        if (p.title == title)
            return true;
    return false;
}

inline std::string stateIni(int port, int baud, int parityCode, int data, int stop)
{
    return "[State1]\nCOMPORT_PORTNO=" + std::to_string(port) +
           "\nCOMPORT_BAUDRATE=" + std::to_string(baud) +
           "\nCOMPORT_PARITY=" + std::to_string(parityCode) +
           "\nCOMPORT_DATABITS=" + std::to_string(data) +
           "\nCOMPORT_STOPBITS=" + std::to_string(stop) + "\n";
}

}  // namespace testsupport
