// Shared helpers for the tests.
#pragma once

#include <string>

namespace testsupport {

// Runs a test inside a fresh temporary working directory and returns to the
// previous one afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
    std::string previous_;
};

// The text a Monitor control shows (a text box, a message, the status line).
std::string monitorText(int control);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
bool fileExists(const std::string& path);

// Loads the Monitor and Statistics panels into monitorPanel and
// statisticPanel as start-up does (no serial port, no event loop) and sets the
// start values; PanelsUp discards them again.
class PanelsUp {
public:
    PanelsUp();
    ~PanelsUp();
    PanelsUp(const PanelsUp&) = delete;
    PanelsUp& operator=(const PanelsUp&) = delete;
};

// Processes pending events for up to `ms` milliseconds or until `done`.
template <typename Pred>
bool waitFor(Pred done, int ms = 2000);
bool processEventsUntil(bool (*done)(void*), void* data, int ms);

template <typename Pred>
bool waitFor(Pred done, int ms)
{
    return processEventsUntil([](void* d) { return (*static_cast<Pred*>(d))(); }, &done, ms);
}

}  // namespace testsupport
