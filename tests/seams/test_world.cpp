// A world that answers for the user: pop-ups and file dialogs take queued
// answers, prints and launches are only noted, Delay returns at once, the PC
// clock may be set, COM numbers map to pseudo-terminals, and panels or the
// run-time may be made to fail.
#include <QDate>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QTime>
#include <QWidget>

#include <deque>
#include <map>
#include <set>
#include <utility>

#include "platform/seams.h"
#include "platform/world.h"

namespace {

// What reset() forgets.
struct Notes {
    std::deque<int> confirmAnswers;
    std::deque<int> choiceAnswers;
    std::deque<std::pair<std::string, std::string>> fileAnswers;  // path, filter
    std::vector<seam::Popup> popups;
    std::function<void(const seam::Popup&)> popupHook;
    bool fixedClock = false;
    QDateTime clock;
    int clockStepPerRead = 0;
    bool realLaunch = false;
    int beeps = 0;
    std::vector<std::string> launches;
    std::vector<seam::Print> prints;
    std::function<void(double)> delayHook;
    double delayed = 0.0;
    bool realDelay = false;
    std::set<int> failingResources;
    bool failRunTime = false;
};

class TestWorld final : public platform::World {
public:
    Notes notes;
    // The COM map outlives reset(): a test sets it up once for its port.
    std::map<int, QString> comMap;
    bool builtInMap = true;

    int confirm(const char* title, const char* message) override
    {
        note("confirm", title, message);
        if (notes.confirmAnswers.empty())
            return 0;
        const int a = notes.confirmAnswers.front();
        notes.confirmAnswers.pop_front();
        return a;
    }

    void message(const char* title, const char* message) override
    {
        note("message", title, message);
    }

    int choose(const char* title, const char* message, const char* const buttons[3]) override
    {
        std::vector<std::string> shown;
        for (int i = 0; i < 3; ++i)
            if (buttons[i] && *buttons[i])
                shown.emplace_back(buttons[i]);
        note("choice", title, message, std::move(shown));
        if (notes.choiceAnswers.empty())
            return 0;
        const int a = notes.choiceAnswers.front();
        notes.choiceAnswers.pop_front();
        return a;
    }

    // The filter chosen is the answer's, else the list's first, as the dialog
    // selects it at first.
    QString selectFile(const char*, const char* defaultFileSpec, const char* fileTypeList,
                       const char* title, int, QString* selectedFilter) override
    {
        note("file", title, defaultFileSpec);
        if (notes.fileAnswers.empty())
            return QString();
        const auto [path, filter] = notes.fileAnswers.front();
        notes.fileAnswers.pop_front();
        *selectedFilter = !filter.empty()
                              ? QString::fromStdString(filter)
                              : QString::fromLocal8Bit(fileTypeList ? fileTypeList : "")
                                    .section(";;", 0, 0);
        return QString::fromStdString(path);
    }

    // Printing into a file is real (tests read the file); a printer is never reached.
    int printPanel(int panel, QWidget* window, const std::string& fileName, int scope, int area,
                   int interactive) override
    {
        notes.prints.push_back({panel, fileName, scope, area, interactive});
        if (!fileName.empty())
            return platform::realWorld().printPanel(panel, window, fileName, scope, area,
                                                    interactive);
        if (window->size().isEmpty())
            window->adjustSize();
        return 0;
    }

    int launch(const char* commandLine) override
    {
        if (notes.realLaunch)
            return platform::realWorld().launch(commandLine);
        notes.launches.push_back(
            QString::fromLocal8Bit(commandLine ? commandLine : "").toStdString());
        return 0;
    }

    void delay(double seconds) override
    {
        if (notes.realDelay) {
            platform::realWorld().delay(seconds);
            return;
        }
        notes.delayed += seconds;
        if (notes.delayHook)
            notes.delayHook(seconds);
    }

    QDateTime now() override
    {
        if (!notes.fixedClock)
            return platform::realWorld().now();
        const QDateTime read = notes.clock;
        notes.clock = notes.clock.addSecs(notes.clockStepPerRead);
        return read;
    }

    // Stands still unless a test moves it; reset() never turns it back.
    long long monotonic = 0;
    long long monotonicMs() override { return monotonic; }

    long long wallClockUtcMs() override
    {
        if (!notes.fixedClock)
            return platform::realWorld().wallClockUtcMs();
        return notes.clock.toMSecsSinceEpoch();
    }

    // One folder per test process, so that parallel tests never share a
    // history; it goes when the process ends.
    QString userDataFolder() override
    {
        if (dataFolder.isEmpty())
            dataFolder = QDir::tempPath() + "/merrivan-test-data-" +
                         QString::number(QCoreApplication::applicationPid());
        return dataFolder;
    }
    QString dataFolder;
    ~TestWorld() override
    {
        if (!dataFolder.isEmpty())
            QDir(dataFolder).removeRecursively();
    }

    void beep() override { ++notes.beeps; }

    bool comPathOverride(int port, QString* path) override
    {
        const auto it = comMap.find(port);
        if (it == comMap.end())
            return false;
        *path = it->second;
        return true;
    }

    bool builtInComMap() override { return builtInMap; }

    bool panelLoadFails(int resource) override
    {
        return notes.failingResources.count(resource) != 0;
    }

    bool runTimeFails() override
    {
        const bool fails = notes.failRunTime;
        notes.failRunTime = false;
        return fails;
    }

private:
    void note(const char* kind, const char* title, const char* message,
              std::vector<std::string> buttons = {})
    {
        notes.popups.push_back(
            {kind, title ? title : "", message ? message : "", std::move(buttons)});
        if (notes.popupHook)
            notes.popupHook(notes.popups.back());
    }
};

TestWorld& testWorld()
{
    static TestWorld w;
    return w;
}

Notes& notes()
{
    return testWorld().notes;
}

}  // namespace

namespace seam {

void enable()
{
    platform::setWorld(&testWorld());
}

bool enabled()
{
    return &platform::world() == &testWorld();
}

void reset()
{
    notes() = Notes{};
}

void pushConfirmAnswer(int answer)
{
    notes().confirmAnswers.push_back(answer);
}

void pushChoiceAnswer(int answer)
{
    notes().choiceAnswers.push_back(answer);
}

void pushFileAnswer(const std::string& path, const std::string& filter)
{
    notes().fileAnswers.emplace_back(path, filter);
}

const std::vector<Popup>& popups()
{
    return notes().popups;
}

void onPopup(std::function<void(const Popup&)> hook)
{
    notes().popupHook = std::move(hook);
}

void setClock(int year, int month, int day, int hour, int minute, int second)
{
    notes().fixedClock = true;
    notes().clock = QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

void advanceClock(int seconds)
{
    notes().clock = notes().clock.addSecs(seconds);
}

void useRealClock()
{
    notes().fixedClock = false;
}

void advanceClockOnEachRead(int seconds)
{
    notes().clockStepPerRead = seconds;
}

void advanceMonotonicClock(int seconds)
{
    testWorld().monotonic += 1000LL * seconds;
}

void useRealLaunch(bool real)
{
    notes().realLaunch = real;
}

int beepCount()
{
    return notes().beeps;
}

const std::vector<std::string>& launches()
{
    return notes().launches;
}

const std::vector<Print>& prints()
{
    return notes().prints;
}

void onDelay(std::function<void(double)> hook)
{
    notes().delayHook = std::move(hook);
}

double totalDelay()
{
    return notes().delayed;
}

void useRealDelay(bool real)
{
    notes().realDelay = real;
}

void failPanelLoad(int resource)
{
    notes().failingResources.insert(resource);
}

void failRunTime()
{
    notes().failRunTime = true;
}

void clearPanelFailures()
{
    notes().failingResources.clear();
    notes().failRunTime = false;
}

void mapComPort(int port, const std::string& devicePath)
{
    testWorld().comMap[port] = QString::fromStdString(devicePath);
}

void clearComMap()
{
    testWorld().comMap.clear();
    testWorld().builtInMap = false;
}

void useBuiltInComMap()
{
    testWorld().builtInMap = true;
}

}  // namespace seam
