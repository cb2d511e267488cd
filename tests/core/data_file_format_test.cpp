// The data file format without any panel: the bytes written, what reads
// back, and where and why reading stops. Through real files.
#include "core/data_file_format.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <limits>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fifo_rescue.h"
#endif

#include "core/channel.h"
#include "core/clock.h"
#include "temp_dir.h"

namespace {

const char kExample[] =
    " Index  ---date--- --time--  Air_Velocity         unit     Humidity         unit\n"
    "     1  03-08-2013 14:05:09          1.25          m/s         45.2          %RH\n"
    "     2  03-08-2013 14:05:10          1.31          m/s          E01          Nul\n";

int stamp(const char* date, const char* time)
{
    char d[16];
    char t[16];
    std::snprintf(d, sizeof d, "%s", date);
    std::snprintf(t, sizeof t, "%s", time);
    return rtc2CRtc(d, t, nullptr);
}

// A locale with a decimal comma, by its POSIX name or else by its Windows name.
const char* setDecimalCommaLocale()
{
    if (const char* locale = std::setlocale(LC_ALL, "de_DE.UTF-8"))
        return locale;
    return std::setlocale(LC_ALL, "German_Germany.1252");
}

class DataFileFormat : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = makeTempDir("merrivan-format");
        ASSERT_FALSE(dir_.empty());
        for (ChannelRecord& rec : logChannel)
            rec = ChannelRecord{};
        clearBuffer();
        logDataNum = 0;
        fLogGetDes = 0;
    }
    void TearDown() override
    {
        EXPECT_TRUE(removeTempDir(dir_));
    }

    static void clearBuffer()
    {
        std::memset(logData, 0, sizeof logData);
        std::memset(chData, 0, sizeof chData);
        std::memset(chDataStr, 0, sizeof chDataStr);
        std::memset(chUnit, 0, sizeof chUnit);
        std::memset(sTime, 0, sizeof sTime);
        logLength = 0;
        logCounter = 0;
    }

    // The two records of the example, channels named by sensor type.
    static void holdExample()
    {
        logDataNum = 2;
        fLogGetDes = 0;
        logChannel[0].type = 13;  // Air_Velocity
        logChannel[1].type = 4;   // Humidity
        putRecordTime(0, stamp("03-08-2013", "14:05:09"));
        putRecordTime(1, stamp("03-08-2013", "14:05:10"));
        putRecordValue(0, 0, 1.25f, "1.25", "m/s");
        putRecordValue(0, 1, 45.2f, "45.2", "%RH");
        putRecordValue(1, 0, 1.31f, "1.31", "m/s");
        putRecordValue(1, 1, std::numeric_limits<float>::quiet_NaN(), "E01", "Nul");
        logLength = logCounter = 2;
    }

    std::string path(const char* name) const { return dir_ + "/" + name; }

    static std::string read(const std::string& p) { return readBytes(p); }
    static void write(const std::string& p, const std::string& bytes) { writeBytes(p, bytes); }

    std::string save(const char* name = "out.txt")
    {
        DataFileStop stop;
        EXPECT_EQ(saveDataFile(path(name).c_str(), &stop), logLength);
        return read(path(name));
    }

    // Reads a file as the retrieve does: header, then records.
    bool load(const std::string& p, DataFileStop* stop, int* records = nullptr)
    {
        std::FILE* f = std::fopen(p.c_str(), "r");
        EXPECT_NE(f, nullptr);
        if (!f)
            return false;
        static DataFileReader reader;
        reader.start(f);
        DataFileHeader header;
        bool ok = reader.readHeader(&header, stop);
        if (ok) {
            applyDataFileHeader(header);
            const int n = reader.readRecords(header.channels, stop);
            if (records)
                *records = n;
        }
        std::fclose(f);
        return ok;
    }

    std::string dir_;
};

// ---------------------------------------------------------------- bytes

TEST_F(DataFileFormat, ExampleWrittenByteForByteAndReadBack)
{
    holdExample();
    ASSERT_EQ(save(), kExample);

    clearBuffer();
    DataFileStop stop;
    int records = -1;
    ASSERT_TRUE(load(path("out.txt"), &stop, &records));
    EXPECT_EQ(stop.fault, DataFileFault::None);
    EXPECT_EQ(records, 2);
    EXPECT_EQ(logLength, 2);
    EXPECT_EQ(logCounter, 2);
    EXPECT_EQ(logDataNum, 2);
    EXPECT_EQ(fLogGetDes, 1);
    EXPECT_STREQ(logChannel[0].des, "Air_Velocity");
    EXPECT_STREQ(logChannel[1].des, "Humidity");
    EXPECT_EQ(sTime[0], stamp("03-08-2013", "14:05:09"));
    EXPECT_EQ(sTime[1], stamp("03-08-2013", "14:05:10"));
    EXPECT_FLOAT_EQ(logData[0][0], 1.25f);
    EXPECT_DOUBLE_EQ(chData[1][0], static_cast<double>(45.2f));
    EXPECT_STREQ(chDataStr[1][1], "E01");
    // A sensor error reads back as no value, as it was recorded live.
    EXPECT_TRUE(std::isnan(logData[1][1]));
    EXPECT_TRUE(std::isnan(chData[1][1]));
    EXPECT_STREQ(chUnit[1][1], "Nul");

    // Names now held as descriptions save to the same bytes.
    EXPECT_EQ(save("again.txt"), kExample);
}

// Files edited on Windows or on an old Mac: CR LF or a lone CR ends a line,
// and a UTF-8 byte order mark may stand before the header.
TEST_F(DataFileFormat, EveryLineEndAndAByteOrderMarkReadAlike)
{
    const struct {
        const char* name;
        const char* bom;
        const char* lineEnd;
    } cases[] = {
        {"CR LF", "", "\r\n"},
        {"CR", "", "\r"},
        {"BOM, LF", "\xEF\xBB\xBF", "\n"},
        {"BOM, CR LF", "\xEF\xBB\xBF", "\r\n"},
        {"BOM, CR", "\xEF\xBB\xBF", "\r"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clearBuffer();
        std::string bytes = c.bom;
        for (const char* p = kExample; *p; ++p)
            bytes += *p == '\n' ? std::string(c.lineEnd) : std::string(1, *p);
        write(path("ends.txt"), bytes);
        DataFileStop stop;
        int records = -1;
        ASSERT_TRUE(load(path("ends.txt"), &stop, &records));
        EXPECT_EQ(stop.fault, DataFileFault::None);
        EXPECT_EQ(records, 2);
        EXPECT_STREQ(logChannel[0].des, "Air_Velocity");
        EXPECT_EQ(save(), kExample);
    }
}

struct NameCase {
    unsigned char getDes;
    unsigned char type;
    const char* des;
    const char* written;
};

// Whatever the names and texts hold, the file reads back one token per cell.
TEST_F(DataFileFormat, NamesAndTextsAreWrittenAsOneTokenEach)
{
    const NameCase cases[] = {
        {1, 6, "Room", "Room"},
        {1, 6, "Room temp", "Room_temp"},
        {1, 6, "", "Temperature"},
        {1, 6, " ", "_"},
        {1, 4, "1234567890123456789", "1234567890123456789"},
        {0, 9, "ignored name", "Dew_Point"},
        {0, 200, "", "Undefined"},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.des);
        clearBuffer();
        logDataNum = 1;
        fLogGetDes = c.getDes;
        logChannel[0].type = c.type;
        copyText(logChannel[0].des, c.des);
        putRecordTime(0, 0);
        putRecordValue(0, 0, 1.0f, "1 0", "");
        logLength = 1;
        save();

        clearBuffer();
        DataFileStop stop;
        ASSERT_TRUE(load(path("out.txt"), &stop));
        EXPECT_EQ(stop.fault, DataFileFault::None);
        EXPECT_STREQ(logChannel[0].des, c.written);
        EXPECT_EQ(logLength, 1);
        EXPECT_STREQ(chDataStr[0][0], "1_0");
        EXPECT_STREQ(chUnit[0][0], "Nul");
    }
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct ValueCase {
    const char* text;
    float value;
};

// The cell before holds 99; no cell may take that value.
TEST_F(DataFileFormat, ValueTextsReadInTheCFormatWhateverTheLocale)
{
    const ValueCase cases[] = {
        {"45.2", 45.2f},  {"-12.5", -12.5f}, {"+3", 3.0f},   {".5", 0.5f},   {"1e3", 1000.0f},
        {"12.5C", 12.5f}, {"E01", kNaN},     {"E", kNaN},    {"abc", 0.0f},  {"-", 0.0f},
        {"45,2", 45.0f},  {"inf", 0.0f},     {"nan", 0.0f},  {"1e99", 0.0f}, {"+-1", 0.0f},
        {"Err", kNaN},    {"E02", kNaN},
    };
    const char* locale = setDecimalCommaLocale();
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.text);
        write(path("v.txt"), std::string(" Index  ---date--- --time--  A unit B unit\n") +
                                 "1 01-01-2020 00:00:00 99 x " + c.text + " y\n");
        DataFileStop stop;
        ASSERT_TRUE(load(path("v.txt"), &stop));
        EXPECT_EQ(stop.fault, DataFileFault::None);
        if (std::isnan(c.value))
            EXPECT_TRUE(std::isnan(logData[0][1])) << logData[0][1];
        else
            EXPECT_EQ(logData[0][1], c.value);
        EXPECT_STREQ(chDataStr[1][0], c.text);
    }
    std::setlocale(LC_ALL, "C");
    if (!locale) {
        // CI makes the locale in its install step, so there it must exist.
        if (std::getenv("CI"))
            FAIL() << "de_DE.UTF-8 is not installed";
        GTEST_SKIP() << "de_DE.UTF-8 is not installed; read in the C locale only";
    }
}

// ---------------------------------------------------------------- CSV

const char kCsvExample[] =
    "time,\"Duct, \"\"east\"\" value\",\"Duct, \"\"east\"\" unit\",Humidity value,Humidity unit\r\n"
    "2013-03-08T14:05:09,1.25,m/s,45.2,%RH\r\n"
    "2013-03-08T14:05:10,-0.5,m/s,E01,\r\n"
    "2014-12-31T23:59:59,1000,m/s,,\r\n";

// Written the same in a locale with a decimal comma: texts are copied, never
// printed from the float.
TEST_F(DataFileFormat, CsvWrittenByteForByteWhateverTheLocale)
{
    logDataNum = 2;
    fLogGetDes = 1;
    logChannel[0].type = 13;
    copyText(logChannel[0].des, "Duct, \"east\"");
    logChannel[1].type = 4;  // no description: the sensor name
    putRecordTime(0, stamp("03-08-2013", "14:05:09"));
    putRecordTime(1, stamp("03-08-2013", "14:05:10"));
    putRecordTime(2, stamp("12-31-2014", "23:59:59"));
    putRecordValue(0, 0, 1.25f, "1.25", "m/s");
    putRecordValue(0, 1, 45.2f, "45.2", "%RH");
    putRecordValue(1, 0, -0.5f, "-0.5", "m/s");
    putRecordValue(1, 1, kNaN, "E01", "Nul");  // a sensor error: the text goes out
    putRecordValue(2, 0, 1000.0f, "1000 ", "m/s");
    putRecordValue(2, 1, 0.0f, "Nul", "Nul");
    logLength = logCounter = 3;

    const char* locale = setDecimalCommaLocale();
    DataFileStop stop;
    EXPECT_EQ(saveDataFile(path("out.csv").c_str(), &stop, DataFileType::Csv), 3);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(read(path("out.csv")), kCsvExample);
    if (!locale) {
        if (std::getenv("CI"))
            FAIL() << "de_DE.UTF-8 is not installed";
        GTEST_SKIP() << "de_DE.UTF-8 is not installed; written in the C locale only";
    }
}

TEST_F(DataFileFormat, CsvChosenByTheNameEndingInAnyCase)
{
    const struct {
        const char* name;
        DataFileType type;
    } cases[] = {
        {"run.csv", DataFileType::Csv},  {"/tmp/a b/RUN.CSV", DataFileType::Csv},
        {"run.Csv", DataFileType::Csv},  {".csv", DataFileType::Csv},
        {"run.txt", DataFileType::Text}, {"run", DataFileType::Text},
        {"run.csv.txt", DataFileType::Text}, {"runcsv", DataFileType::Text},
        {"", DataFileType::Text},
    };
    for (const auto& c : cases)
        EXPECT_EQ(dataFileTypeOf(c.name), c.type) << c.name;
    EXPECT_EQ(dataFileTypeOf(nullptr), DataFileType::Text);
}

struct NumberingCase {
    const char* name;
    const char* numbers;  // of the three record lines
    int misnumberedLine;  // 0: none
    int misnumbered;
    int place;
};

// Whatever numbers the lines hold, the n-th record line is record n: none is
// lost, none is made up between them, and the first out of sequence is noted.
// Blank lines are skipped and keep their count.
TEST_F(DataFileFormat, RecordsAreReadInFileOrderWhateverTheirNumbers)
{
    const NumberingCase cases[] = {
        {"in sequence", "1 2 3", 0, 0, 0},
        {"starting at 5", "5 6 7", 2, 5, 1},
        {"one skipped", "1 3 4", 4, 3, 2},
        {"one repeated", "1 1 2", 4, 1, 2},
        {"backwards", "3 2 1", 2, 3, 1},
    };
    for (const NumberingCase& c : cases) {
        SCOPED_TRACE(c.name);
        clearBuffer();
        putRecordValue(3, 0, 99.0f, "99.0", "old");
        putRecordTime(3, 12345);
        int n[3] = {};
        ASSERT_EQ(std::sscanf(c.numbers, "%d %d %d", &n[0], &n[1], &n[2]), 3);
        std::string bytes = " Index  ---date--- --time--  A unit\n";
        for (int r = 0; r < 3; ++r) {
            bytes += std::to_string(n[r]) + " 01-01-2020 00:00:0" + std::to_string(r + 1) + " " +
                     std::to_string(r + 1) + ".0 u\n";
            if (r == 0)
                bytes += "  \t\n";
        }
        write(path("order.txt"), bytes);
        DataFileStop stop;
        int records = 0;
        ASSERT_TRUE(load(path("order.txt"), &stop, &records));
        EXPECT_EQ(stop.fault, DataFileFault::None);
        EXPECT_EQ(records, 3);
        EXPECT_EQ(stop.misnumberedLine, c.misnumberedLine);
        EXPECT_EQ(stop.misnumbered, c.misnumbered);
        EXPECT_EQ(stop.misnumberedPlace, c.place);
        for (int r = 0; r < 3; ++r) {
            EXPECT_EQ(logData[r][0], static_cast<float>(r + 1));
            EXPECT_EQ(sTime[r], stamp("01-01-2020", "00:00:00") + r + 1);
        }
        EXPECT_STREQ(chUnit[0][3], "");
        EXPECT_EQ(sTime[3], 0);
    }
}

TEST_F(DataFileFormat, HeaderOnlyFileGivesNoRecords)
{
    logLength = logCounter = 7;
    write(path("h.txt"), " Index  ---date--- --time--  A unit B unit C unit\n");
    DataFileStop stop;
    int records = -1;
    ASSERT_TRUE(load(path("h.txt"), &stop, &records));
    EXPECT_EQ(records, 0);
    EXPECT_EQ(logLength, 0);
    EXPECT_EQ(logDataNum, 3);
    EXPECT_STREQ(logChannel[2].des, "C");
}

// ---------------------------------------------------------------- refusals

struct HeaderCase {
    const char* name;
    std::string bytes;
    DataFileFault fault;
};

TEST_F(DataFileFormat, BadHeadersAreRefusedBeforeAnythingChanges)
{
    std::string eleven = "Index date time";
    for (int c = 0; c < 11; ++c)
        eleven += " C" + std::to_string(c) + " unit";
    const HeaderCase cases[] = {
        {"empty", "", DataFileFault::Empty},
        {"no line end", "Index date time A unit", DataFileFault::NoLineEnd},
        {"no channel", "Index date time\n", DataFileFault::NoChannels},
        {"eleven channels", eleven + "\n", DataFileFault::TooManyChannels},
        {"name without unit", "Index date time A unit B\n", DataFileFault::MissingUnit},
        {"unit misspelt", "Index date time A Unit\n", DataFileFault::MissingUnit},
        {"long name", "Index date time 12345678901234567890 unit\n", DataFileFault::NameTooLong},
        {"binary", std::string("\x7f" "ELF\x02\x01\x01\0\0 a unit\n", 17), DataFileFault::Unreadable},
        {"long line", std::string(5000, 'x') + "\n", DataFileFault::LineTooLong},
        {"our CSV", "time,A value,A unit,B value,B unit\r\n2020-01-01T00:00:00,1,u,2,u\r\n",
         DataFileFault::CsvHeader},
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.name);
        logDataNum = 4;
        fLogGetDes = 0;
        copyText(logChannel[0].des, "kept");
        write(path("bad.txt"), c.bytes);
        DataFileStop stop;
        EXPECT_FALSE(load(path("bad.txt"), &stop));
        EXPECT_EQ(stop.fault, c.fault);
        EXPECT_EQ(stop.line, 1);
        EXPECT_EQ(logDataNum, 4);
        EXPECT_EQ(fLogGetDes, 0);
        EXPECT_STREQ(logChannel[0].des, "kept");
    }
}

struct LineCase {
    const char* name;
    const char* line;
    DataFileFault fault;
};

// Line 3 does not fit: record 1 stays, the slot the bad line names stays
// empty (cleared with the accepted header, never written), and reading stops
// there.
TEST_F(DataFileFormat, ReadingStopsAtTheFirstLineThatDoesNotFit)
{
    const LineCase cases[] = {
        {"record 16001", "16001 01-01-2020 00:00:00 1 u 2 v", DataFileFault::RecordOutOfRange},
        {"record 0", "0 01-01-2020 00:00:00 1 u 2 v", DataFileFault::RecordOutOfRange},
        {"record huge", "99999999999 01-01-2020 00:00:00 1 u 2 v", DataFileFault::RecordOutOfRange},
        {"record text", "2x 01-01-2020 00:00:00 1 u 2 v", DataFileFault::BadRecordNumber},
        {"truncated", "2 01-01-2020 00:00:00 1 u 2", DataFileFault::MissingFields},
        {"extra", "2 01-01-2020 00:00:00 1 u 2 v 3", DataFileFault::ExtraFields},
        {"long value", "2 01-01-2020 00:00:00 12345678901 u 2 v", DataFileFault::TextTooLong},
        {"long unit", "2 01-01-2020 00:00:00 1 u 2 12345678901", DataFileFault::TextTooLong},
        {"february 30", "2 02-30-2020 00:00:00 1 u 2 v", DataFileFault::BadDate},
        {"year 1999", "2 12-31-1999 00:00:00 1 u 2 v", DataFileFault::BadDate},
        {"month 13", "2 13-01-2020 00:00:00 1 u 2 v", DataFileFault::BadDate},
        {"long date", "2 01-01-20200 00:00:00 1 u 2 v", DataFileFault::BadDate},
        {"hour 24", "2 01-01-2020 24:00:00 1 u 2 v", DataFileFault::BadTime},
        {"no seconds", "2 01-01-2020 10:00 1 u 2 v", DataFileFault::BadTime},
        {"control byte", "2 01-01-2020 00:00:00 1\x01 u 2 v", DataFileFault::Unreadable},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        clearBuffer();
        putRecordValue(1, 0, 77.0f, "77", "old");
        write(path("stop.txt"), std::string(" Index  ---date--- --time--  A unit B unit\n") +
                                    "1 01-01-2020 00:00:00 5 u 6 v\n" + c.line +
                                    "\n3 01-01-2020 00:00:00 7 u 8 v\n");
        DataFileStop stop;
        int records = -1;
        ASSERT_TRUE(load(path("stop.txt"), &stop, &records));
        EXPECT_EQ(stop.fault, c.fault);
        EXPECT_EQ(stop.line, 3);
        EXPECT_EQ(stop.records, 1);
        EXPECT_EQ(records, 1);
        EXPECT_EQ(logLength, 1);
        EXPECT_EQ(logData[0][1], 6.0f);
        EXPECT_EQ(logData[1][0], 0.0f);
        EXPECT_STREQ(chUnit[0][1], "");
        EXPECT_EQ(logData[2][0], 0.0f);
    }
}

TEST_F(DataFileFormat, NoMoreThan16000RecordsAreCounted)
{
    std::string bytes = " Index  ---date--- --time--  A unit\n";
    for (int r = 1; r <= 16001; ++r)
        bytes += std::to_string((r - 1) % 16000 + 1) + " 01-01-2020 00:00:00 1 u\n";
    write(path("many.txt"), bytes);
    DataFileStop stop;
    int records = -1;
    ASSERT_TRUE(load(path("many.txt"), &stop, &records));
    EXPECT_EQ(stop.fault, DataFileFault::TooManyRecords);
    EXPECT_EQ(stop.line, 16002);
    EXPECT_EQ(records, 16000);
    EXPECT_EQ(logLength, 16000);
}

// ---------------------------------------------------------------- what is opened

// Only a regular file of a data file's size is opened: a FIFO would block the
// open and the reads for good, and a huge file would take long to read.
TEST_F(DataFileFormat, OnlyRegularFilesOfADataFilesSizeAreOpened)
{
    write(path("ok.txt"), kExample);
    std::filesystem::resize_file(path("ok.txt"), kDataFileMaxSize);
    write(path("huge.txt"), kExample);
    std::filesystem::resize_file(path("huge.txt"), kDataFileMaxSize + 1);
    const struct {
        std::string name;
        DataFileFault fault;
        FileKind kind;
    } cases[] = {
        {path("ok.txt"), DataFileFault::None, FileKind::Regular},
        {path("huge.txt"), DataFileFault::TooBig, FileKind::Regular},
        {dir_, DataFileFault::NotRegularFile, FileKind::Directory},
        {path("none.txt"), DataFileFault::ReadError, FileKind::Regular},
#ifndef _WIN32
        {path("fifo.txt"), DataFileFault::NotRegularFile, FileKind::Fifo},
        {path("dangling.txt"), DataFileFault::NotRegularFile, FileKind::DanglingLink},
#endif
    };
#ifndef _WIN32
    ASSERT_EQ(mkfifo(path("fifo.txt").c_str(), 0600), 0);
    ASSERT_EQ(symlink("none.txt", path("dangling.txt").c_str()), 0);
    testsupport::FifoRescue rescue(path("fifo.txt"));
#endif
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DataFileStop stop;
        std::FILE* f = openDataFile(c.name.c_str(), &stop);
        EXPECT_EQ(f != nullptr, c.fault == DataFileFault::None);
        if (f)
            std::fclose(f);
        EXPECT_EQ(stop.fault, c.fault);
        EXPECT_EQ(stop.kind, c.kind);
        EXPECT_EQ(stop.errnum, c.fault == DataFileFault::ReadError ? ENOENT : 0);
    }
#ifndef _WIN32
    EXPECT_FALSE(rescue.rescued());
#endif
}

// ---------------------------------------------------------------- failed saves

TEST_F(DataFileFormat, SaveIntoAMissingDirectoryFails)
{
    holdExample();
    DataFileStop stop;
    EXPECT_EQ(saveDataFile(path("none/out.txt").c_str(), &stop), -1);
    EXPECT_EQ(stop.fault, DataFileFault::WriteError);
    EXPECT_EQ(stop.errnum, ENOENT);
}

// A write that fails part way (as on a full disk) leaves the old file whole
// and no temporary file behind.
TEST_F(DataFileFormat, FailedWriteLeavesTheOldFileAsItWas)
{
#ifdef _WIN32
    GTEST_SKIP() << "a file size limit (RLIMIT_FSIZE) to fail the write part way is POSIX only";
#else
    holdExample();
    logLength = 1000;
    write(path("old.txt"), "old content\n");

    std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    rlimit small = before;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    DataFileStop stop;
    const int written = saveDataFile(path("old.txt").c_str(), &stop);
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, SIG_DFL);

    EXPECT_EQ(written, -1);
    EXPECT_EQ(stop.errnum, EFBIG);
    EXPECT_EQ(read(path("old.txt")), "old content\n");
    const std::string left = "ls -A '" + dir_ + "' | grep -v '^old.txt$' | wc -l | grep -qx 0";
    EXPECT_EQ(std::system(left.c_str()), 0) << "a temporary file was left behind";
#endif
}

}  // namespace
