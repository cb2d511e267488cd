// Runs the real program entry with the platform's test seams: the test acts
// from inside the event loop, then the program is asked to exit.
#pragma once

#include <QTimer>

#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "app/merrivan.h"
#include "platform/platform.h"
#include "platform/seams.h"
#include "record/recording.h"
#include "test_support.h"
#include "ui/merrivan_uir.h"

extern char** environ;

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
// `args` follow the program's name on its command line.
inline RunResult runProgram(const std::function<void()>& inLoop = {}, bool autoExit = true,
                            std::vector<std::string> args = {})
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
    std::vector<char*> argv{name};
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    result.rc = merrivanMain(static_cast<int>(argv.size()) - 1, argv.data());
    return result;
}

// One test of this same binary, run by a child process with `mark`=1 in its
// environment. Everything is made before the fork: a fork of a threaded
// process may only make system calls until it runs a program.
class SelfRun {
public:
    SelfRun(const char* mark, const std::string& test)
        : self_("/proc/self/exe"), filter_("--gtest_filter=" + test)
    {
        for (char** e = environ; *e; ++e)
            env_.emplace_back(*e);
        env_.push_back(std::string(mark) + "=1");
        for (std::string& e : env_)
            envp_.push_back(e.data());
        envp_.push_back(nullptr);
    }
    // In the child, after fork().
    [[noreturn]] void exec()
    {
        char* argv[] = {self_.data(), filter_.data(), nullptr};
        execve(argv[0], argv, envp_.data());
        _exit(121);
    }

private:
    std::string self_;
    std::string filter_;
    std::vector<std::string> env_;
    std::vector<char*> envp_;
};

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
