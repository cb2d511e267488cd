// The history as the program keeps it: frames from a real pseudo-terminal in a
// real SQLite file, what survives a kill -9, files it must leave alone, and
// its switch across restarts.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "history/history.h"
#include "meter/link_activity.h"
#include "platform/platform.h"
#include "plugged_meter.h"
#include "program_run.h"
#include "ui/panel_handles.h"

using testsupport::fileExists;
using testsupport::frame9600;
using testsupport::PluggedMeter;
using testsupport::readFile;
using testsupport::runProgram;
using testsupport::TempDir;
using testsupport::waitFor;
using testsupport::writeFile;

namespace {

constexpr char kChildMark[] = "MERRIVAN_HISTORY_CHILD";
constexpr std::int64_t kAll = std::numeric_limits<std::int64_t>::max();

std::string cwd()
{
    char path[4096] = "";
    return getcwd(path, sizeof path) ? path : "";
}

// The program on COM2, a meter behind a link, its history in the test's folder.
struct Meter {
    std::string link = cwd() + "/meter";
    std::string file = cwd() + "/history.sqlite";
    PluggedMeter meter{link};
    Meter()
    {
        seam::reset();
        seam::clearComMap();
        writeFile("Merrivan.ini",
                  testsupport::stateIni(2, 9600, 0, 8, 1) + "[ComPorts]\nCOM2=" + link + "\n");
    }
    testsupport::RunResult run(const std::function<void()>& inLoop)
    {
        return runProgram(inLoop, true, {"--history", file});
    }
};

// Bytes to the port, until the program has taken or refused a frame.
bool deliver(PluggedMeter& meter, const std::string& bytes)
{
    const unsigned long before = framesRead + framesRefused;
    return meter.send(bytes) && waitFor([&] { return framesRead + framesRefused > before; });
}

std::string exported(const std::string& file)
{
    std::string error;
    auto store = HistoryStore::open(file, &error);
    if (!store)
        return error;
    const std::string csv = file + ".csv";
    if (!store->exportCsv(0, kAll, csv, &error))
        return error;
    return readFile(csv);
}

// The temperature values of the exported rows (the second column).
std::vector<std::string> firstValues(const std::string& csv)
{
    std::vector<std::string> values;
    std::istringstream rows(csv);
    std::string row;
    std::getline(rows, row);  // header
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
            EXPECT_TRUE(deliver(s.meter, f.bytes)) << f.bytes;
            seam::advanceClock(1);
        }
    });
    std::string csv = "time,Temperature value,Temperature unit,Humidity value,Humidity unit,"
                      "Room value,Room unit,Duct value,Duct unit\r\n";
    for (const Sent& f : sent)
        csv += f.row;
    EXPECT_EQ(exported(s.file), csv);

    std::string error;
    auto store = HistoryStore::open(s.file, &error);
    ASSERT_TRUE(store) << error;
    std::vector<std::string> identities;
    for (const HistorySeries& x : store->series(0, kAll))
        identities.push_back(std::to_string(x.port) + " " + std::to_string(x.channel) + " " +
                             x.sensor + " '" + x.description + "' " + x.unit);
    const std::vector<std::string> expected = {
        "2 0 Temperature '' C", "2 1 Humidity '' %RH", "2 0 Temperature 'Room' C",
        "2 1 Humidity 'Duct' %RH"};
    EXPECT_EQ(identities, expected);
    // The error code is kept as its text, without a value.
    const std::vector<HistoryBucket> seconds = store->envelope(1, t0, t0 + 2000, 2);
    ASSERT_EQ(seconds.size(), 2u);
    EXPECT_EQ(seconds[0].count, 1);
    EXPECT_EQ(seconds[1].count, 0);
}

// ---------------------------------------------------------------- kill -9

// The child streams 20 frames a second and notes each one shown, with the
// time, until it is killed.
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
            const std::string line = std::string(value) + " " + std::to_string(WallClockUtcMs()) + "\n";
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
    testsupport::SelfRun child(kChildMark, "HistoryKill.ChildStreamsUntilKilled");
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0)
        child.exec();
    int status = 0;
    waitFor([&] { return readFile("shown").size() > 2400 || waitpid(pid, &status, WNOHANG) == pid; },
            30000);
    kill(pid, SIGKILL);
    const std::int64_t killedAt = WallClockUtcMs();
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the child ended by itself";

    // Every frame shown more than 1.5 s before the kill is kept.
    std::set<std::string> due, all;
    std::istringstream shown(readFile("shown"));
    std::string value;
    long long at = 0;
    while (shown >> value >> at) {
        all.insert(value);
        if (at < killedAt - 1500)
            due.insert(value);
    }
    ASSERT_GT(due.size(), 10u);

    Meter s;  // the next start opens the file and notes the gap
    std::vector<HistoryGap> gaps;
    s.run([&] {
        ASSERT_NE(historyStore(), nullptr);
        gaps = historyStore()->gaps(0, WallClockUtcMs());
    });
    EXPECT_FALSE(testsupport::sawPopup("History"));
    std::set<std::string> kept;
    for (const std::string& v : firstValues(exported(s.file)))
        kept.insert(v);
    for (const std::string& v : due)
        EXPECT_EQ(kept.count(v), 1u) << v << " shown before the kill is lost";
    for (const std::string& v : kept)
        EXPECT_EQ(all.count(v), 1u) << v << " kept but never shown";
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_EQ(gaps[0].why, HistoryEventKind::ProgramStopped);
    EXPECT_LE(gaps[0].fromMs, killedAt);
    EXPECT_GE(gaps[0].fromMs, killedAt - 1500);
}

// ---------------------------------------------------------------- files left alone

// Runs only in the child that holds the file for FileItCannotUseIsToldAndLeftAlone.
TEST(HistoryHolder, ChildKeepsTheFileOpen)
{
    if (!std::getenv(kChildMark))
        GTEST_SKIP() << "runs in the child of FileItCannotUseIsToldAndLeftAlone";
    std::string error;
    auto store = HistoryStore::open("history.sqlite", &error);
    if (!store)
        std::_Exit(3);
    store->flush();
    writeFile("held", "");
    for (;;)
        pause();
}

void damage(const std::string& file)
{
    {
        std::string error;
        auto store = HistoryStore::open(file, &error);
        ASSERT_TRUE(store) << error;
        HistoryFrame f;
        f.readings.resize(2);
        for (int i = 0; i < 500; ++i) {
            f.utcMs = 1700000000000 + i * 100;
            store->append(f);
        }
    }
    std::string bytes = readFile(file);
    ASSERT_GT(bytes.size(), 8192u);
    bytes.replace(2048, 2048, 2048, '\xAA');  // the end of the schema's page
    writeFile(file, bytes);
}

TEST(History, FileItCannotUseIsToldAndLeftAlone)
{
    if (std::getenv(kChildMark))
        GTEST_SKIP();
    struct Case {
        const char* name;
        const char* why;  // as the status line gives it
        bool held;        // by another running Merrivan, else damaged
    };
    const Case cases[] = {
        {"damaged", "is damaged (SQLite cannot read all of it)", false},
        {"in use", "is in use by another running Merrivan", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        Meter s;
        pid_t holder = -1;
        if (c.held) {
            testsupport::SelfRun child(kChildMark, "HistoryHolder.ChildKeepsTheFileOpen");
            holder = fork();
            ASSERT_GE(holder, 0);
            if (holder == 0)
                child.exec();
            ASSERT_TRUE(waitFor([] { return fileExists("held"); }, 20000));
        } else {
            damage(s.file);
        }
        const std::string before = readFile(s.file);
        ASSERT_TRUE(s.meter.plug());
        std::string shown;
        s.run([&] {
            EXPECT_EQ(historyStore(), nullptr);
            EXPECT_TRUE(s.meter.readingShows("23.5"));
            shown = testsupport::monitorText(MONITOR_HISTORY);
        });
        if (holder > 0) {
            kill(holder, SIGKILL);
            waitpid(holder, nullptr, 0);
        }
        EXPECT_EQ(shown, std::string("History off: history.sqlite ") + c.why + ".");
        int told = 0;
        for (const seam::Popup& p : seam::popups())
            if (p.title == "History") {
                ++told;
                EXPECT_NE(p.message.find(s.file), std::string::npos) << p.message;
                EXPECT_NE(p.message.find(c.why), std::string::npos) << p.message;
            }
        EXPECT_EQ(told, 1);
        EXPECT_TRUE(readFile(s.file) == before) << "the file was changed";
    }
}

// ---------------------------------------------------------------- the switch

TEST(History, SwitchIsRememberedAndOffKeepsNothing)
{
    TempDir dir;
    Meter s;
    struct Step {
        bool onAtStart;     // as the previous run left it (on the first time)
        const char* value;  // a reading, then the switch is turned
        bool turnTo;
        const char* after;  // a reading with the switch turned
    };
    const Step steps[] = {
        {true, "21.0", false, "22.0"},
        {false, "23.0", true, "24.0"},
        {true, "25.0", true, "26.0"},
    };
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
