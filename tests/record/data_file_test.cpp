// Saving and retrieving data files from the Monitor panel, through real files
// and the file pop-up: the bytes, the status line, the legend, chart and
// Statistics panel, and what the user is told when a file cannot be used.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/channel.h"
#include "core/clock.h"
#include "core/record_buffer.h"
#include "fifo_rescue.h"
#include "platform/platform.h"
#include "platform/seams.h"
#include "record/data_file.h"
#include "record/recording.h"
#include "test_support.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"
#include "view/monitor_fixture.h"
#include "view/statistics.h"

namespace {

using testsupport::readFile;
using testsupport::writeFile;

const char kExample[] =
    " Index  ---date--- --time--  Air_Velocity         unit     Humidity         unit\n"
    "     1  03-08-2013 14:05:09          1.25          m/s         45.2          %RH\n"
    "     2  03-08-2013 14:05:10          1.31          m/s          E01          Nul\n";

// The start of an executable file.
const char kGarbage[] = "\x7f" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x02\0>\0\x01\0\0\0\n\xff\xfe unit\n";

std::string status() { return testsupport::monitorText(MONITOR_SETTINGS); }

std::string text(int control) { return testsupport::monitorText(control); }

int chartPoints()
{
    return seam::stripPoints(monitorPanel, MONITOR_CHART, 1);
}

// Everything a retrieve may change, to tell that a refused one changed nothing.
struct Held {
    std::vector<unsigned char> bytes;
    int counter, length, channels;
    unsigned char logging, getDes;
    int points;
    std::string legend;

    static Held now()
    {
        Held h{};
        append(h.bytes, logData);
        append(h.bytes, chDataStr);
        append(h.bytes, chUnit);
        append(h.bytes, sTime);
        append(h.bytes, logChannel);
        h.counter = logCounter;
        h.length = logLength;
        h.channels = logDataNum;
        h.logging = fLogging;
        h.getDes = fLogGetDes;
        h.points = chartPoints();
        h.legend = text(lableColor[0]);
        return h;
    }
    template <typename T>
    static void append(std::vector<unsigned char>& out, const T& array)
    {
        const auto* p = reinterpret_cast<const unsigned char*>(&array);
        out.insert(out.end(), p, p + sizeof array);
    }
    bool operator==(const Held&) const = default;
};

class DataFileTest : public MonitorFixture {
protected:
    void SetUp() override
    {
        MonitorFixture::SetUp();
        logCounter = logLength = logDataNum = 0;
        fLogGetDes = 0;
        for (ChannelRecord& rec : logChannel)
            rec = ChannelRecord{};
        wDataNum = 2;
        channel[0] = ChannelRecord{13, 1.25f, "1.25", "", "m/s"};
        channel[1] = ChannelRecord{4, 45.2f, "45.2", "", "%RH"};
        char date[] = "03-08-2013";
        char time[] = "14:05:09";
        sysClock = rtc2CRtc(date, time, nullptr);
    }

    // Two samples as in the example file, taken by a real recording.
    static void recordExample(int count = 2)
    {
        seam::userSetValue(monitorPanel, MONITOR_SAMPLE_COUNT, count);
        seam::userSetValue(monitorPanel, MONITOR_LOG_SWITCH, 1);
        tick();
        ++sysClock;
        channel[0] = ChannelRecord{13, 1.31f, "1.31", "", "m/s"};
        // A sensor error, as the decoder leaves it: no value.
        channel[1] = ChannelRecord{4, std::numeric_limits<float>::quiet_NaN(), "E01", "", "Nul"};
        tick();
    }
    static void tick() { seam::fireTimer(monitorPanel, MONITOR_SAMPLE_TIMER); }

    static void save(const std::string& path, const std::string& filter = "")
    {
        seam::pushFileAnswer(path, filter);
        seam::userPress(monitorPanel, MONITOR_SAVE);
    }
    static void retrieve(const std::string& path)
    {
        seam::pushFileAnswer(path);
        seam::userPress(monitorPanel, MONITOR_RETRIEVE);
    }
    static std::vector<seam::Popup> messages()
    {
        std::vector<seam::Popup> out;
        for (const seam::Popup& p : seam::popups())
            if (p.kind == "message")
                out.push_back(p);
        return out;
    }
};

// ---------------------------------------------------------------- save

TEST_F(DataFileTest, SaveWritesTheExampleAndCountsTheRecords)
{
    recordExample();
    const std::string path = dir_.file("run.txt");
    save(path);
    EXPECT_EQ(readFile(path), kExample);
    EXPECT_EQ(status(), "Save File: 2 Records.");
    ASSERT_FALSE(seam::popups().empty());
    EXPECT_EQ(seam::popups().back().kind, "file");
    EXPECT_EQ(seam::popups().back().title, "Save File");
    EXPECT_EQ(seam::popups().back().message, "*.txt");
    EXPECT_EQ(fLogging, 1);  // a save during a recording lets it go on
    EXPECT_TRUE(messages().empty());
}

const char kCsvExample[] =
    "time,Air_Velocity value,Air_Velocity unit,Humidity value,Humidity unit\r\n"
    "2013-03-08T14:05:09,1.25,m/s,45.2,%RH\r\n"
    "2013-03-08T14:05:10,1.31,m/s,E01,\r\n";

// A name ending in ".txt" or ".csv" picks the format as typed; else the file
// type chosen in the pop-up picks it and gives a name without an ending its
// ending. Retrieve refuses the CSV and keeps the records.
TEST_F(DataFileTest, SaveWritesTheFormatOfTheNameOrOfTheChosenType)
{
    const std::string text = "ASCII files(*.txt)";
    const std::string csv = "CSV files(*.csv)";
    const std::string all = "All files (*)";
    const struct {
        const char* name;
        std::string filter;
        const char* written;
        const char* bytes;
    } cases[] = {
        {"run.csv", text, "run.csv", kCsvExample},
        {"RUN.CSV", text, "RUN.CSV", kCsvExample},
        {"run.txt", csv, "run.txt", kExample},
        {"plain", text, "plain.txt", kExample},
        {"sheet", csv, "sheet.csv", kCsvExample},
        {"sheet.dat", csv, "sheet.dat", kCsvExample},
        {"asis", all, "asis", kExample},
    };
    recordExample();
    seam::userSetValue(monitorPanel, MONITOR_LOG_SWITCH, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetCtrlVal(monitorPanel, MONITOR_SETTINGS, "");
        save(dir_.file(c.name), c.filter);
        EXPECT_EQ(readFile(dir_.file(c.written)), c.bytes);
        EXPECT_EQ(status(), "Save File: 2 Records.");
    }
    EXPECT_TRUE(messages().empty());
    EXPECT_FALSE(testsupport::fileExists(dir_.file("plain")));

    // The pop-up asked about "plain", not about "plain.txt": that is asked now.
    writeFile(dir_.file("plain.txt"), "kept\n");
    save(dir_.file("plain"), text);
    ASSERT_EQ(seam::popups().back().kind, "confirm");
    EXPECT_NE(seam::popups().back().message.find("plain.txt\" already exists"), std::string::npos);
    EXPECT_EQ(readFile(dir_.file("plain.txt")), "kept\n");

    const Held before = Held::now();
    retrieve(dir_.file("run.csv"));
    EXPECT_TRUE(Held::now() == before);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_NE(messages()[0].message.find("CSV files are not read back"), std::string::npos)
        << messages()[0].message;
}

TEST_F(DataFileTest, CancelledPopUpsChangeNothing)
{
    recordExample(10);
    const Held before = Held::now();
    const std::string shown = status();
    save("");
    retrieve("");
    EXPECT_TRUE(Held::now() == before);
    EXPECT_EQ(status(), shown);
    EXPECT_EQ(fLogging, 1);
}

struct NamingCase {
    unsigned char viewGetDes;
    const char* des0;
    const char* des1;
    const char* legend0;
    const char* legend1;
};

// save -> retrieve -> save gives the same bytes, however the channels are named.
TEST_F(DataFileTest, SavedFileRetrievesAndSavesAgainToTheSameBytes)
{
    const NamingCase cases[] = {
        {0, "", "", "Air_Velocity", "Humidity"},
        {1, "Duct", "Room air", "Duct", "Room_air"},
        {1, "", "Room", "Air_Velocity", "Room"},
    };
    for (const NamingCase& c : cases) {
        SCOPED_TRACE(c.legend1);
        fViewGetDes = c.viewGetDes;
        channel[0] = ChannelRecord{13, 1.25f, "1.25", "", "m/s"};
        channel[1] = ChannelRecord{4, 45.2f, "45.2", "", "%RH"};
        copyText(channel[0].des, c.des0);
        copyText(channel[1].des, c.des1);
        recordExample();
        seam::userSetValue(monitorPanel, MONITOR_LOG_SWITCH, 0);
        save(dir_.file("first.txt"));
        const std::string first = readFile(dir_.file("first.txt"));

        std::memset(logData, 0, sizeof logData);
        retrieve(dir_.file("first.txt"));
        EXPECT_EQ(status(), "Retrieve File: 2 Records.");
        EXPECT_EQ(text(lableColor[0]), c.legend0);
        EXPECT_EQ(text(lableColor[1]), c.legend1);
        EXPECT_FLOAT_EQ(logData[0][0], 1.25f);
        EXPECT_TRUE(std::isnan(logData[1][1])) << logData[1][1];
        EXPECT_STREQ(chDataStr[1][1], "E01");
        save(dir_.file("second.txt"));
        EXPECT_EQ(readFile(dir_.file("second.txt")), first);
        EXPECT_TRUE(messages().empty());
    }
}

// ---------------------------------------------------------------- retrieve

// A sensor error reads back as no value: the retrieved statistics are the
// live ones, not those of a 0.0 in its place.
TEST_F(DataFileTest, RetrievedSensorErrorsCountAsTheyDidLive)
{
    struct Seen {
        double max, min, mean;
        std::string excluded;
        bool dimmed;
    };
    auto seen = [] {
        seam::userSetValue(statisticPanel, STATISTIC_CHANNEL, 1);
        Seen s{};
        GetCtrlVal(statisticPanel, STATISTIC_MAX, &s.max);
        GetCtrlVal(statisticPanel, STATISTIC_MIN, &s.min);
        GetCtrlVal(statisticPanel, STATISTIC_MEAN, &s.mean);
        char buf[128] = "";
        GetCtrlVal(statisticPanel, STATISTIC_EXCLUDED, buf);
        s.excluded = buf;
        s.dimmed = seam::isDimmed(statisticPanel, STATISTIC_MEAN);
        return s;
    };
    recordExample();
    seam::userSetValue(monitorPanel, MONITOR_LOG_SWITCH, 0);
    const Seen live = seen();
    EXPECT_NEAR(live.mean, 45.2, 1e-5);
    EXPECT_NEAR(live.min, 45.2, 1e-5);
    EXPECT_EQ(live.excluded, "1 sample without a value (sensor error) not counted");
    save(dir_.file("errors.txt"));

    std::memset(logData, 0, sizeof logData);
    std::memset(chData, 0, sizeof chData);
    retrieve(dir_.file("errors.txt"));
    const Seen back = seen();
    EXPECT_DOUBLE_EQ(back.max, live.max);
    EXPECT_DOUBLE_EQ(back.min, live.min);
    EXPECT_DOUBLE_EQ(back.mean, live.mean);
    EXPECT_EQ(back.excluded, live.excluded);
    EXPECT_FALSE(back.dimmed);
    EXPECT_TRUE(std::isnan(chData[1][1]));
}

TEST_F(DataFileTest, RetrieveRebuildsLegendChartAndStatistics)
{
    writeFile(dir_.file("in.txt"), kExample);
    seam::userSetValue(statisticPanel, STATISTIC_BINS, 2);
    seam::userSetValue(monitorPanel, MONITOR_RANGE, 10);
    retrieve(dir_.file("in.txt"));

    EXPECT_EQ(status(), "Retrieve File: 2 Records.");
    EXPECT_EQ(seam::popups().back().title, "Retrieve File");
    for (int c = 0; c < 10; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(seam::isVisible(monitorPanel, lableColor[c]), c < 2);
        EXPECT_EQ(seam::traceVisible(monitorPanel, MONITOR_CHART, c + 1), c < 2);
    }
    EXPECT_EQ(text(lableColor[0]), "Air_Velocity");
    EXPECT_EQ(chartPoints(), 2);
    EXPECT_EQ(vRange, 10);
    EXPECT_EQ(seam::listLabels(statisticPanel, STATISTIC_CHANNEL),
              (std::vector<std::string>{"Air_Velocity", "Humidity"}));
    double max = 0.0;
    GetCtrlVal(statisticPanel, STATISTIC_MAX, &max);
    EXPECT_NEAR(max, 1.31, 1e-3);
    int plots = 0;
    GetNumGraphPlots(statisticPanel, STATISTIC_HISTOGRAM, &plots);
    EXPECT_EQ(plots, 1);  // forced, though 2 is no multiple of ten
}

TEST_F(DataFileTest, RetrieveWhileRecordingStopsItFirst)
{
    recordExample(100);
    writeFile(dir_.file("in.txt"), std::string(kExample) +
                                       "     3  03-08-2013 14:05:11          1.40          m/s"
                                       "         46.0          %RH\n");
    retrieve(dir_.file("in.txt"));
    EXPECT_EQ(seam::labelText(monitorPanel, MONITOR_CHART), "Retrieve file,Stop Logging");
    EXPECT_EQ(fLogging, 0);
    EXPECT_FALSE(seam::timerEnabled(monitorPanel, MONITOR_SAMPLE_TIMER));
    EXPECT_EQ(logCounter, 3);
    EXPECT_EQ(chartPoints(), 3);  // the recording's points are gone
}

// A retrieved file's records are drawn once, whatever scale is committed after.
TEST_F(DataFileTest, ScaleCommitsAfterARetrieveKeepExactlyTheRecords)
{
    writeFile(dir_.file("in.txt"), kExample);
    retrieve(dir_.file("in.txt"));
    ASSERT_EQ(chartPoints(), 2);
    const int controls[] = {MONITOR_GAIN, MONITOR_OFFSET, MONITOR_RANGE};
    for (int control : controls) {
        SCOPED_TRACE(control);
        seam::userSetValue(monitorPanel, control, 20.0);
        EXPECT_EQ(chartPoints(), 2);
        EXPECT_EQ(seam::stripPoints(monitorPanel, MONITOR_CHART, 2), 2);
    }
}

TEST_F(DataFileTest, HeaderOnlyFileEmptiesTheBufferAndSetsTheLegend)
{
    recordExample(100);
    writeFile(dir_.file("h.txt"), " Index  ---date--- --time--  Oven unit\n");
    retrieve(dir_.file("h.txt"));
    EXPECT_EQ(logLength, 0);
    EXPECT_EQ(logDataNum, 1);
    EXPECT_EQ(chartPoints(), 0);
    EXPECT_EQ(text(lableColor[0]), "Oven");
    EXPECT_TRUE(seam::isVisible(monitorPanel, lableColor[0]));
    EXPECT_FALSE(seam::isVisible(monitorPanel, lableColor[1]));
}

// ---------------------------------------------------------------- refusals

struct RefusalCase {
    const char* name;
    std::string bytes;       // written to the file unless `path` is given
    const char* path;        // a path that cannot be opened
    bool refused;            // the header refused: nothing changes
    const char* reason;      // part of the message
    int records;             // records read before the stop
};

TEST_F(DataFileTest, FilesThatCannotBeReadAreRefusedOrCutWithAMessage)
{
    std::string eleven = " Index  ---date--- --time-- ";
    for (int c = 0; c < 11; ++c)
        eleven += " C" + std::to_string(c) + "         unit";
    const std::string example = kExample;
    const std::string fifo = dir_.file("pipe.txt");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    testsupport::FifoRescue rescue(fifo);
    // Sparse: a gigabyte that costs no disk.
    const std::string huge = dir_.file("huge.txt");
    writeFile(huge, kExample);
    ASSERT_EQ(truncate(huge.c_str(), 1LL << 30), 0);
    const RefusalCase cases[] = {
        {"missing file", "", "no/such/file.txt", true, "No such file or directory", 0},
        {"a directory", "", ".", true, "it is a directory, not a regular file", 0},
        {"a FIFO", "", fifo.c_str(), true, "it is a FIFO (named pipe), not a regular file", 0},
        {"1 GB", "", huge.c_str(), true, "it is larger than any data file can be (63 MB)", 0},
        {"numbers skipped", example.substr(0, example.find('\n') + 1) +
                                "1  03-08-2013 14:05:09 1 u 2 v\n5  03-08-2013 14:05:10 3 u 4 v\n",
         nullptr, false,
         "line 3 holds record 5 where record 2 was due: the record numbers are out of sequence, "
         "so the records were read in file order and are numbered 1 to 2 now.",
         2},
        {"binary garbage", std::string(kGarbage, sizeof kGarbage - 1), nullptr, true,
         "unreadable characters (line 1)", 0},
        {"eleven columns", eleven + "\n", nullptr, true, "more than 10 channels", 0},
        {"no line end", " Index  ---date--- --time--  Oven         unit", nullptr, true,
         "no line end", 0},
        {"truncated", example.substr(0, example.size() - 40), nullptr, false,
         "stopped at line 3: fields are missing. 1 records were read.", 1},
        {"record 16001", example.substr(0, example.find('\n') + 1) +
                             "16001  03-08-2013 14:05:09 1 u 2 v\n",
         nullptr, false, "stopped at line 2: the record number is outside 1..16000", 0},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        seam::reset();
        recordExample(100);
        const Held before = Held::now();
        std::string path = c.path ? c.path : dir_.file("bad.txt");
        if (!c.path)
            writeFile(path, c.bytes);
        const auto start = std::chrono::steady_clock::now();
        retrieve(path);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

        const std::vector<seam::Popup> told = messages();
        ASSERT_EQ(told.size(), 1u);
        EXPECT_EQ(told[0].title, "Retrieve File");
        EXPECT_NE(told[0].message.find("\"" + path + "\""), std::string::npos) << told[0].message;
        EXPECT_NE(told[0].message.find(c.reason), std::string::npos) << told[0].message;
        if (c.refused) {
            EXPECT_TRUE(Held::now() == before);
            EXPECT_EQ(status(), "Logging Data: 2 Records.");
            EXPECT_TRUE(seam::timerEnabled(monitorPanel, MONITOR_SAMPLE_TIMER));
        } else {
            EXPECT_EQ(fLogging, 0);
            EXPECT_EQ(logLength, c.records);
            EXPECT_EQ(chartPoints(), c.records);
        }
        seam::userSetValue(monitorPanel, MONITOR_LOG_SWITCH, 0);
    }
    EXPECT_FALSE(rescue.rescued());
}

// Runs `body` as a user who cannot write into `dir` (root writes anywhere).
template <typename Body>
void asOrdinaryUser(const std::string& parent, Body body)
{
    const bool root = geteuid() == 0;
    if (root) {
        chmod(parent.c_str(), 0755);
        ASSERT_EQ(seteuid(65534), 0);
    }
    body();
    if (root) {
        ASSERT_EQ(seteuid(0), 0);
    }
}

TEST_F(DataFileTest, SaveIntoAReadOnlyDirectoryTellsWhyAndReportsNothingDone)
{
    recordExample();
    const std::string shown = status();
    const std::string ro = dir_.file("ro");
    ASSERT_EQ(mkdir(ro.c_str(), 0555), 0);
    asOrdinaryUser(dir_.path(), [&] { save(ro + "/run.txt"); });

    const std::vector<seam::Popup> told = messages();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].title, "Save File");
    EXPECT_NE(told[0].message.find("\"" + ro + "/run.txt\": Permission denied"), std::string::npos)
        << told[0].message;
    EXPECT_EQ(status(), shown);
    EXPECT_FALSE(testsupport::fileExists(ro + "/run.txt"));
}

// Saving never puts a regular file in place of a FIFO, a device or a link to
// nothing; through a link to a file, that file is written and the link stays.
TEST_F(DataFileTest, SaveWritesOnlyRegularFilesAndThroughLinks)
{
    recordExample();
    const std::string fifo = dir_.file("pipe.txt");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(symlink("nowhere.txt", dir_.file("dangling.txt").c_str()), 0);
    writeFile(dir_.file("target.txt"), "old\n");
    ASSERT_EQ(symlink("target.txt", dir_.file("link.txt").c_str()), 0);
    const struct {
        const char* name;
        const char* told;  // "" when saved
    } cases[] = {
        {"pipe.txt", "it is a FIFO (named pipe), not a regular file"},
        {"dangling.txt", "it is a symbolic link to nothing, not a regular file"},
        {"link.txt", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        seam::reset();
        SetCtrlVal(monitorPanel, MONITOR_SETTINGS, "");
        save(dir_.file(c.name));
        const std::vector<seam::Popup> told = messages();
        ASSERT_EQ(told.size(), *c.told ? 1u : 0u);
        if (*c.told) {
            EXPECT_EQ(told[0].message, "The records were not saved to \"" + dir_.file(c.name) +
                                           "\": " + c.told + ".");
        }
        EXPECT_EQ(status(), *c.told ? "" : "Save File: 2 Records.");
    }
    struct stat st {};
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(lstat(dir_.file("dangling.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_FALSE(testsupport::fileExists(dir_.file("nowhere.txt")));
    ASSERT_EQ(lstat(dir_.file("link.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(readFile(dir_.file("target.txt")), kExample);
}

// A write that fails part way, as on a full disk: the old file stays whole.
TEST_F(DataFileTest, SaveThatFailsPartWayKeepsTheOldFile)
{
    recordExample(200);
    for (int t = 0; t < 150; ++t)
        tick();
    const std::string path = dir_.file("old.txt");
    writeFile(path, kExample);
    const std::string shown = status();

    std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    rlimit small = before;
    small.rlim_cur = 8192;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    save(path);
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, SIG_DFL);

    const std::vector<seam::Popup> told = messages();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].message.find("File too large"), std::string::npos) << told[0].message;
    EXPECT_EQ(status(), shown);
    EXPECT_EQ(readFile(path), kExample);
}

}  // namespace
