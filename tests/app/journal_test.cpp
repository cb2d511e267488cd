// Records are never lost without a word: the exit asks about unsaved records,
// and the journal of a recording brings them back after a crash or a kill.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/channel.h"
#include "core/data_file_format.h"
#include "core/record_buffer.h"
#include "platform/seams.h"
#include "plugged_meter.h"
#include "program_run.h"
#include "record/recording.h"
#include "test_support.h"
#include "ui/merrivan_uir.h"

using testsupport::fileExists;
using testsupport::readFile;
using testsupport::runProgram;
using testsupport::statusLine;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

const char* const kChildMark = "MERRIVAN_JOURNAL_CHILD";
const std::vector<std::string> kExitButtons = {"Save...", "Discard", "Cancel"};

class JournalTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        seam::reset();
        seam::clearComMap();
        seam::setClock(2013, 3, 8, 12, 34, 56);
        writeFile("Merrivan.ini", testsupport::stateIni(3, 9600, 0, 8, 1));
    }

    // Two channels as a 9600 meter leaves them, then `n` records.
    static void record(int n)
    {
        wDataNum = 2;
        for (int c = 0; c < 2; ++c) {
            channel[c].type = c == 0 ? 6 : 4;
            channel[c].value = 23.5f + static_cast<float>(c);
            copyText(channel[c].valStr, c == 0 ? "23.5" : "24.5");
            copyText(channel[c].unit, c == 0 ? "C" : "%RH");
        }
        seam::userSetValue(monitorPanel, MONITOR_SAMPLE_COUNT, 100);
        seam::userSetValue(monitorPanel, MONITOR_SAMPLE_RATE, 3600);
        seam::userSetValue(monitorPanel, MONITOR_LOG_SWITCH, 1);
        for (int i = 0; i < n; ++i) {
            seam::advanceMonotonicClock(1);
            seam::fireTimer(monitorPanel, MONITOR_SAMPLE_TIMER);
        }
    }
    static void stop() { seam::userSetValue(monitorPanel, MONITOR_LOG_SWITCH, 0); }

    TempDir dir;
};

std::string journal()
{
    return readFile(kJournalFile);
}

// What a save of the buffer writes.
std::string savedNow(const std::string& name)
{
    DataFileStop stop;
    EXPECT_GE(saveDataFile(name.c_str(), &stop), 0);
    return readFile(name);
}

TEST_F(JournalTest, ExitAsksAboutUnsavedRecordsAndExitsOnlyOnceTheyAreSavedOrGivenUp)
{
    struct Case {
        const char* how;
        std::vector<int> answers;  // to the choices in turn
        std::string file;          // the Save File dialog's answer
        bool exits;
        bool fileSaved;
    };
    const Case cases[] = {
        {"Cancel", {3}, "", false, false},
        {"closed", {0}, "", false, false},
        {"Save... then the dialog cancelled", {1}, "", false, false},
        {"Save... into a folder that is not there", {1}, "no/such/dir/r.txt", false, false},
        {"Save...", {1}, "kept.txt", true, true},
        {"Discard", {2}, "", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        seam::reset();
        writeFile("Merrivan.ini", testsupport::stateIni(3, 9600, 0, 8, 1));
        // The exit stores the panel's state: it shows whether the program exited.
        const auto exited = [] {
            return readFile("Merrivan.ini").find("[State0]") != std::string::npos;
        };
        bool running = false;
        std::string before;
        std::string expected;
        runProgram(
            [&] {
                record(3);
                expected = journal();
                for (int a : c.answers)
                    seam::pushChoiceAnswer(a);
                if (!c.file.empty())
                    seam::pushFileAnswer(c.file);
                seam::userPress(monitorPanel, MONITOR_EXIT);
                running = !exited();
                if (running) {
                    // The records and their journal are still there.
                    EXPECT_EQ(logCounter, 3);
                    EXPECT_EQ(journal(), expected);
                    seam::pushChoiceAnswer(2);
                    seam::userClose(monitorPanel);
                }
            },
            false);
        EXPECT_EQ(running, !c.exits);
        ASSERT_GE(seam::popups().size(), 1u);
        const seam::Popup& asked = seam::popups().front();
        EXPECT_EQ(asked.kind, "choice");
        EXPECT_EQ(asked.title, "Exit");
        EXPECT_EQ(asked.message, "A recording is in progress with 3 records that are not saved.\n"
                                 "Save them before the program exits?");
        EXPECT_EQ(asked.buttons, kExitButtons);
        EXPECT_EQ(fileExists("kept.txt"), c.fileSaved);
        if (c.fileSaved) {
            EXPECT_EQ(readFile("kept.txt"), expected);
        }
        // Saved or given up, the journal goes with the program.
        EXPECT_FALSE(fileExists(kJournalFile));
        std::remove("kept.txt");
    }
}

TEST_F(JournalTest, SavedOrRetrievedRecordsLeaveTheExitQuestionAsItWas)
{
    struct Case {
        const char* how;
        void (*act)();
        const char* message;  // of the exit question
    };
    const Case cases[] = {
        {"nothing recorded", [] {}, "Exit the program ? "},
        {"stopped and saved",
         [] {
             record(2);
             stop();
             seam::pushFileAnswer("r.txt");
             seam::userPress(monitorPanel, MONITOR_SAVE);
             EXPECT_FALSE(fileExists(kJournalFile));
         },
         "Exit the program ? "},
        {"saved, then one more record",
         [] {
             record(2);
             seam::pushFileAnswer("r.txt");
             seam::userPress(monitorPanel, MONITOR_SAVE);
             seam::fireTimer(monitorPanel, MONITOR_SAMPLE_TIMER);
             stop();
         },
         "3 recorded records are not saved.\nSave them before the program exits?"},
        {"retrieved",
         [] {
             record(2);
             savedNow("r.txt");
             seam::pushFileAnswer("r.txt");
             seam::userPress(monitorPanel, MONITOR_RETRIEVE);
             EXPECT_EQ(logCounter, 2);
             EXPECT_FALSE(fileExists(kJournalFile));
         },
         "Exit the program ? "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        seam::reset();
        runProgram([&] {
            c.act();
            seam::reset();
        });
        ASSERT_FALSE(seam::popups().empty());
        EXPECT_EQ(seam::popups().front().message, c.message);
    }
}

// A journal found at start-up is offered; a line cut short by the end of the
// program is left out, and Discard gives every record up.
TEST_F(JournalTest, JournalFoundAtStartIsOfferedForRestoreOrDiscard)
{
    const std::string header =
        " Index  ---date--- --time--   Temperature         unit     Humidity         unit\n";
    const std::string line1 = "     1  03-08-2013 12:34:57          23.5            C          "
                              "24.5          %RH\n";
    const std::string line2 = "     2  03-08-2013 12:34:58          23.6            C          "
                              "24.6          %RH\n";
    struct Case {
        const char* how;
        std::string journal;
        int answer;
        int offered;  // records the offer names; 0: no offer
        int restored;
        bool kept;  // the journal stays after start-up
    };
    const Case cases[] = {
        {"restored", header + line1 + line2, 1, 2, 2, true},
        {"closed without a choice", header + line1 + line2, 0, 2, 2, true},
        {"last line cut short", header + line1 + line2.substr(0, line2.size() - 2), 1, 1, 1,
         true},
        {"discarded", header + line1 + line2, 2, 2, 0, false},
        {"header only", header, 1, 0, 0, false},
        {"header cut short", header.substr(0, 20), 1, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        seam::reset();
        writeFile(kJournalFile, c.journal);
        seam::pushChoiceAnswer(c.answer);
        bool unsaved = false;
        std::string status;
        int points = -1;
        runProgram([&] {
            unsaved = recordsUnsaved();
            status = statusLine();
            points = seam::stripPoints(monitorPanel, MONITOR_CHART, 1);
            EXPECT_EQ(logCounter, c.restored);
            EXPECT_EQ(fileExists(kJournalFile), c.kept);
        });
        const bool offered = !seam::popups().empty() &&
                             seam::popups().front().title == "Restore Recording";
        EXPECT_EQ(offered, c.offered > 0);
        if (offered) {
            EXPECT_EQ(seam::popups().front().buttons,
                      (std::vector<std::string>{"Restore", "Discard"}));
            EXPECT_NE(seam::popups().front().message.find(
                          std::to_string(c.offered) +
                          " records of 2 channels, taken from 03-08-2013 12:34:57 to"),
                      std::string::npos)
                << seam::popups().front().message;
        }
        EXPECT_EQ(unsaved, c.restored > 0);
        EXPECT_EQ(points, c.restored);
        if (c.restored > 0) {
            EXPECT_EQ(status, "Restore Recording: " + std::to_string(c.restored) + " Records.");
            EXPECT_EQ(logData[c.restored - 1][0], c.restored == 1 ? 23.5f : 23.6f);
        }
        std::remove(kJournalFile);
    }
}

// A journal that cannot be written (a full disk) is told once; the recording
// goes on in the buffer.
TEST_F(JournalTest, JournalWriteFailureIsToldOnceAndTheRecordingGoesOn)
{
    if (!fileExists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    ASSERT_EQ(symlink("/dev/full", kJournalFile), 0);
    runProgram([&] {
        record(3);
        EXPECT_EQ(logCounter, 3);
        EXPECT_EQ(statusLine(), "Logging Data: 3 Records.");
    });
    int told = 0;
    for (const seam::Popup& p : seam::popups())
        if (p.title == "Recording") {
            ++told;
            EXPECT_NE(p.message.find("No space left on device"), std::string::npos) << p.message;
        }
    EXPECT_EQ(told, 1);
}

// ---------------------------------------------------------------- kill -9

const int kKilledRecords = 5;

// Runs only in the child process that the test below kills.
TEST(JournalKill, ChildRecordsUntilKilled)
{
    if (!std::getenv(kChildMark))
        GTEST_SKIP() << "runs in the child of KilledProgramsRecordingIsRestoredWhole";
    seam::reset();
    seam::clearComMap();
    seam::setClock(2013, 3, 8, 12, 34, 56);
    char cwd[4096] = "";
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    const std::string link = std::string(cwd) + "/meter";
    testsupport::PluggedMeter meter{link};
    ASSERT_TRUE(meter.plug());
    writeFile("Merrivan.ini",
              testsupport::stateIni(2, 9600, 0, 8, 1) + "[ComPorts]\nCOM2=" + link + "\n");
    runProgram(
        [&] {
            // A failure ends the child at once; the parent then says so.
            if (!meter.readingShows("20.0"))
                std::_Exit(3);
            seam::userSetValue(monitorPanel, MONITOR_SAMPLE_COUNT, 100);
            seam::userSetValue(monitorPanel, MONITOR_SAMPLE_RATE, 3600);
            seam::userSetValue(monitorPanel, MONITOR_LOG_SWITCH, 1);
            for (int i = 0; i < kKilledRecords; ++i) {
                const std::string value = "2" + std::to_string(i) + ".5";
                if (!meter.readingShows(value.c_str()))
                    std::_Exit(4);
                seam::advanceMonotonicClock(1);
                seam::fireTimer(monitorPanel, MONITOR_SAMPLE_TIMER);
            }
            if (logCounter != kKilledRecords)
                std::_Exit(5);
            savedNow("expected.txt");
            writeFile("ready", "");
            for (;;)
                pause();  // no event, no tick, until the kill
        },
        false);
}

TEST(JournalKill, KilledProgramsRecordingIsRestoredWhole)
{
    if (std::getenv(kChildMark))
        GTEST_SKIP();
    seam::reset();
    seam::clearComMap();
    TempDir dir;

    testsupport::SelfRun run(kChildMark, "JournalKill.ChildRecordsUntilKilled");

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        run.exec();
    }
    int status = 0;
    const bool ready = testsupport::waitFor(
        [&] { return fileExists("ready") || waitpid(child, &status, WNOHANG) == child; }, 30000);
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    ASSERT_TRUE(ready && fileExists("ready"))
        << "the child ended before it was killed: " << (WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    // The journal holds what a save just before the kill wrote, byte for byte.
    const std::string expected = readFile("expected.txt");
    ASSERT_NE(expected.find("24.5"), std::string::npos) << expected;
    EXPECT_EQ(journal(), expected);

    seam::setClock(2013, 3, 9, 8, 0, 0);
    seam::pushChoiceAnswer(1);
    runProgram([&] {
        EXPECT_EQ(logCounter, kKilledRecords);
        EXPECT_EQ(seam::stripPoints(monitorPanel, MONITOR_CHART, 1), kKilledRecords);
        seam::pushFileAnswer(dir.file("restored.txt"));
        seam::userPress(monitorPanel, MONITOR_SAVE);
    });
    ASSERT_FALSE(seam::popups().empty());
    EXPECT_EQ(seam::popups().front().title, "Restore Recording");
    EXPECT_EQ(readFile("restored.txt"), expected);
    EXPECT_FALSE(fileExists(kJournalFile));
}

}  // namespace
