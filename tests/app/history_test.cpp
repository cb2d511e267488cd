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
[[maybe_unused]] std::vector<std::string> firstValues(const std::string& csv)
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

}  // namespace
