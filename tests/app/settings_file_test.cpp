// A settings file that is no regular file, through the real program entry:
// start-up goes on with the defaults, the user is told once, and the file is
// left as it is.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "fifo_rescue.h"
#include "platform/seams.h"
#include "program_run.h"
#include "test_support.h"

namespace {

TEST(SettingsFile, AFifoForTheSettingsFileNeitherBlocksNorIsReplaced)
{
    seam::reset();
    seam::clearComMap();
    testsupport::TempDir dir;
    ASSERT_EQ(mkfifo("Merrivan.ini", 0600), 0);
    testsupport::FifoRescue rescue(dir.file("Merrivan.ini"));

    const testsupport::RunResult r = testsupport::runProgram();
    EXPECT_EQ(r.rc, 0);
    EXPECT_FALSE(rescue.rescued()) << "the program waited for a writer";
    EXPECT_EQ(r.status, "Setting: COM1, 9600 Bps, 8 bits No Parity.");
    int told = 0;
    for (const seam::Popup& p : seam::popups()) {
        if (p.title != "Settings File")
            continue;
        ++told;
        EXPECT_EQ(p.message, "\"Merrivan.ini\" is a FIFO (named pipe), not a regular file. The "
                             "settings are not read from it and not saved into it: the program "
                             "starts with its defaults.");
    }
    EXPECT_EQ(told, 1);
    struct stat st {};
    ASSERT_EQ(lstat("Merrivan.ini", &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

}  // namespace
