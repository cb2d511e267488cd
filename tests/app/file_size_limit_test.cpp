// A save past the user's file-size limit (ulimit -f) fails like any other
// write: the program lives on, says why, and leaves the old file whole.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/record_buffer.h"
#include "platform/seams.h"
#include "program_run.h"
#include "test_support.h"
#include "ui/merrivan_uir.h"

namespace {

const char* const kChildMark = "MERRIVAN_FILE_SIZE_CHILD";
const char* const kOld = "old content\n";

// Runs only in the child process that the test below starts under the limit.
TEST(FileSizeLimit, ChildSavesPastTheLimit)
{
    if (!std::getenv(kChildMark))
        GTEST_SKIP() << "runs in the child of SaveBeyondTheLimitFailsAndTheProgramLivesOn";
    seam::reset();
    seam::clearComMap();
    testsupport::writeFile("Merrivan.ini", testsupport::stateIni(3, 9600, 0, 8, 1));
    testsupport::RunResult run = testsupport::runProgram([] {
        logDataNum = 1;
        logLength = 1000;  // some 30 kB as text
        for (int r = 0; r < logLength; ++r) {
            putRecordTime(r, 416061296 + r);
            putRecordValue(r, 0, 23.5f, "23.5", "C");
        }
        seam::pushFileAnswer("old.txt");
        seam::userPress(monitorPanel, MONITOR_SAVE);
    });
    EXPECT_EQ(run.rc, 0);
    bool told = false;
    for (const seam::Popup& p : seam::popups())
        if (p.title == "Save File" && p.message.find("File too large") != std::string::npos)
            told = true;
    EXPECT_TRUE(told);
}

TEST(FileSizeLimit, SaveBeyondTheLimitFailsAndTheProgramLivesOn)
{
    if (std::getenv(kChildMark))
        GTEST_SKIP();
    testsupport::TempDir dir;
    testsupport::writeFile(dir.file("old.txt"), kOld);

    testsupport::SelfRun run(kChildMark, "FileSizeLimit.ChildSavesPastTheLimit");
    const std::string where = dir.path();
    rlimit small{};
    getrlimit(RLIMIT_FSIZE, &small);
    small.rlim_cur = 4096;

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        sigaction(SIGXFSZ, &dfl, nullptr);  // as a shell leaves it
        if (chdir(where.c_str()) != 0 || setrlimit(RLIMIT_FSIZE, &small) != 0)
            _exit(120);
        run.exec();
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_FALSE(WIFSIGNALED(status)) << "killed by signal " << WTERMSIG(status);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(testsupport::readFile(dir.file("old.txt")), kOld);
    const std::string left = "ls -A '" + where +
                             "' | grep -v -x -e old.txt -e Merrivan.ini | wc -l | grep -qx 0";
    EXPECT_EQ(std::system(left.c_str()), 0) << "a temporary file was left behind";
}

}  // namespace
