// The history as the program keeps it: frames from a real pseudo-terminal in a
// real SQLite file, what survives a kill -9, files it must leave alone, and
// its switch across restarts.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <limits>
#include <set>
#include <sstream>

#include "history/history.h"
#include "meter/link_activity.h"
#include "plugged_meter.h"
#include "program_run.h"

using namespace testsupport;

namespace {

constexpr char kChildMark[] = "MERRIVAN_HISTORY_CHILD";
constexpr std::int64_t kAll = std::numeric_limits<std::int64_t>::max();

// The program on COM2 with a meter behind a link and its history in the
// working directory.
struct Meter {
    std::string dir = [] {
        char path[4096] = "";
        return std::string(getcwd(path, sizeof path) ? path : "");
    }();
    std::string file = dir + "/history.sqlite";
    PluggedMeter meter{dir + "/meter"};
    Meter()
    {
        seam::reset();
        seam::clearComMap();
        writeFile("Merrivan.ini", stateIni(2, 9600, 0, 8, 1) + "[ComPorts]\nCOM2=" + dir + "/meter\n");
    }
    void run(const std::function<void()>& inLoop) { runProgram(inLoop, true, {"--history", file}); }
};

// The other process of a test: `test` of this binary.
pid_t startChild(const char* test)
{
    SelfRun child(kChildMark, test);
    const pid_t pid = fork();
    if (pid == 0)
        child.exec();
    return pid;
}

std::string exported(const std::string& file)
{
    std::string error;
    auto store = HistoryStore::open(file, &error);
    if (!store || !store->exportCsv(0, kAll, file + ".csv", &error))
        return error;
    return readFile(file + ".csv");
}

// The exported rows' first value column.
std::vector<std::string> firstValues(const std::string& csv)
{
    std::vector<std::string> values;
    std::istringstream rows(csv);
    std::string row;
    std::getline(rows, row);
    while (std::getline(rows, row)) {
        const std::size_t a = row.find(',');
        values.push_back(row.substr(a + 1, row.find(',', a + 1) - a - 1));
    }
    return values;
}

TEST(History, TakenDataFramesAreKeptWithTimeValuesTextsAndUnits)
{
    TempDir dir;
    Meter s;
    seam::setClock(2024, 1, 2, 3, 4, 5);
    const std::int64_t t0 = WallClockUtcMs();
    struct Sent {
        std::string bytes;
        const char* row;  // as the export shows it (local time); "": not kept
    };
    // Named channels are other series: the export gives them columns of their own.
    const Sent sent[] = {
        {frame9600("T0023.4C:H045.2%RH"), "2024-01-02T03:04:05.000,23.4,C,45.2,%RH,,,,\r\n"},
        {frame9600("TE02C:H046.0%RH"), "2024-01-02T03:04:06.000,E02,C,46.0,%RH,,,,\r\n"},
        {"T0099.9C:H099.9%RH00\r", ""},  // bad check sum
        {frame9600("$Room:Duct"), ""},
        {frame9600("T0024.0C:H047.5%RH"), "2024-01-02T03:04:09.000,,,,,24.0,C,47.5,%RH\r\n"},
    };
    ASSERT_TRUE(s.meter.plug());
    s.run([&] {
        for (const Sent& f : sent) {
            const unsigned long before = framesRead + framesRefused;
            EXPECT_TRUE(s.meter.send(f.bytes));
            EXPECT_TRUE(waitFor([&] { return framesRead + framesRefused > before; }));
            seam::advanceClock(1);
        }
    });
    std::string csv = "time,Temperature value,Temperature unit,Humidity value,Humidity unit,"
                      "Room value,Room unit,Duct value,Duct unit\r\n";
    for (const Sent& f : sent)
        csv += f.row;
    EXPECT_EQ(exported(s.file), csv);
    // The error code has no value.
    auto store = HistoryStore::open(s.file, nullptr);
    ASSERT_TRUE(store);
    const std::vector<HistoryBucket> seconds = store->envelope(1, t0, t0 + 2000, 2);
    ASSERT_EQ(seconds.size(), 2u);
    EXPECT_EQ(seconds[0].count, 1);
    EXPECT_EQ(seconds[1].count, 0);
}

// The child streams about 20 frames a second and notes each one shown, with
// the time, until it is killed.
TEST(HistoryKill, ChildStreamsUntilKilled)
{
    if (!std::getenv(kChildMark))
        GTEST_SKIP() << "runs in the child of KilledProgramLosesAtMostItsLastSecond";
    Meter s;
    if (!s.meter.plug())
        std::_Exit(3);
    s.run([&] {
        const int noted = ::open("shown", O_WRONLY | O_CREAT | O_APPEND, 0644);
        for (int i = 0;; ++i) {
            char value[16];
            std::snprintf(value, sizeof value, "%.1f", 10.0 + i % 900 * 0.1);
            if (!s.meter.readingShows(value))
                std::_Exit(4);
            const std::string line = value + (" " + std::to_string(WallClockUtcMs())) + "\n";
            if (::write(noted, line.data(), line.size()) < 0)
                std::_Exit(5);
            waitFor([] { return false; }, 50);
        }
    });
}

TEST(HistoryKill, KilledProgramLosesAtMostItsLastSecond)
{
    if (std::getenv(kChildMark))
        GTEST_SKIP();
    TempDir dir;
    const pid_t pid = startChild("HistoryKill.ChildStreamsUntilKilled");
    ASSERT_GT(pid, 0);
    int status = 0;
    waitFor([&] { return readFile("shown").size() > 2400 || waitpid(pid, &status, WNOHANG) == pid; },
            30000);  // about six seconds of frames
    kill(pid, SIGKILL);
    const std::int64_t killedAt = WallClockUtcMs();
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the child ended by itself";

    Meter s;  // the next start opens the file and notes the gap
    std::vector<HistoryGap> gaps;
    s.run([&] { gaps = historyStore() ? historyStore()->gaps(0, WallClockUtcMs()) : gaps; });
    EXPECT_FALSE(sawPopup("History"));
    const std::vector<std::string> values = firstValues(exported(s.file));
    const std::set<std::string> kept(values.begin(), values.end());
    std::istringstream shown(readFile("shown"));
    std::string value;
    long long at = 0;
    int due = 0;
    while (shown >> value >> at && at < killedAt - 1500) {
        ++due;
        EXPECT_EQ(kept.count(value), 1u) << value << " shown before the kill is lost";
    }
    EXPECT_GT(due, 10);
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_EQ(gaps[0].why, HistoryEventKind::ProgramStopped);
    EXPECT_LE(gaps[0].fromMs, killedAt);
    EXPECT_GE(gaps[0].fromMs, killedAt - 1500);
}

// Runs only in the child that holds the file for FileItCannotUseIsToldAndLeftAlone.
TEST(HistoryHolder, ChildKeepsTheFileOpen)
{
    if (!std::getenv(kChildMark))
        GTEST_SKIP() << "runs in the child of FileItCannotUseIsToldAndLeftAlone";
    auto store = HistoryStore::open("history.sqlite", nullptr);
    if (!store)
        std::_Exit(3);
    store->flush();
    writeFile("held", "");
    for (;;)
        pause();
}

TEST(History, FileItCannotUseIsToldAndLeftAlone)
{
    if (std::getenv(kChildMark))
        GTEST_SKIP();
    struct Case {
        const char* why;  // as the status line gives it
        bool held;        // by another running Merrivan, else damaged
    };
    for (const Case& c : {Case{"is damaged (SQLite cannot read all of it)", false},
                          Case{"is in use by another running Merrivan", true}}) {
        SCOPED_TRACE(c.why);
        TempDir dir;
        Meter s;
        pid_t holder = -1;
        if (c.held) {
            holder = startChild("HistoryHolder.ChildKeepsTheFileOpen");
            ASSERT_TRUE(holder > 0 && waitFor([] { return fileExists("held"); }, 20000));
        } else {
            HistoryStore::open(s.file, nullptr).reset();
            std::string bytes = readFile(s.file);
            ASSERT_GT(bytes.size(), 4096u);
            writeFile(s.file, bytes.replace(2048, 2048, 2048, '\xAA'));  // the schema's page
        }
        const std::string before = readFile(s.file);
        ASSERT_TRUE(s.meter.plug());
        std::string shown;
        s.run([&] {
            EXPECT_EQ(historyStore(), nullptr);
            EXPECT_TRUE(s.meter.readingShows("23.5"));
            shown = monitorText(MONITOR_HISTORY);
        });
        if (holder > 0) {
            kill(holder, SIGKILL);
            waitpid(holder, nullptr, 0);
        }
        EXPECT_EQ(shown, std::string("History off: history.sqlite ") + c.why + ".");
        int told = 0;
        for (const seam::Popup& p : seam::popups()) {
            if (p.title != "History")
                continue;
            ++told;
            EXPECT_NE(p.message.find(s.file), std::string::npos) << p.message;
        }
        EXPECT_EQ(told, 1);
        EXPECT_TRUE(readFile(s.file) == before) << "the file was changed";
    }
}

TEST(History, SwitchIsRememberedAndOffKeepsNothing)
{
    TempDir dir;
    Meter s;
    struct Step {
        bool onAtStart;     // as the run before left it (on the first time)
        const char* value;  // a reading, then the switch is turned
        bool turnTo;
        const char* after;  // a reading with the switch turned
    };
    const Step steps[] = {
        {true, "21.0", false, "22.0"}, {false, "23.0", true, "24.0"}, {true, "25.0", true, "26.0"}};
    std::vector<std::string> expected;
    ASSERT_TRUE(s.meter.plug());
    for (const Step& step : steps) {
        SCOPED_TRACE(step.value);
        s.run([&] {
            EXPECT_EQ(historyEnabled(), step.onAtStart);
            EXPECT_TRUE(s.meter.readingShows(step.value));
            setHistoryEnabled(step.turnTo);
            EXPECT_TRUE(s.meter.readingShows(step.after));
        });
        if (step.onAtStart)
            expected.push_back(step.value);
        if (step.turnTo)
            expected.push_back(step.after);
    }
    EXPECT_EQ(firstValues(exported(s.file)), expected);
}

}  // namespace
