// Replacing a file whole or not at all, on each system's own file calls.
#include "core/file_replace.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Bytes a text-mode stream would change: line ends and Ctrl-Z.
const char kBytes[] = "a\nb\r\nc\x1a" "d\n";

int writeBytes(std::FILE* f)
{
    return std::fwrite(kBytes, 1, sizeof kBytes - 1, f) == sizeof kBytes - 1 ? 7 : -1;
}

int failWithFullDisk(std::FILE* f)
{
    std::fputs("part of it", f);
    errno = ENOSPC;
    return -1;
}

class FileReplace : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = makeTempDir("merrivan-replace");
        ASSERT_FALSE(dir_.empty());
    }
    void TearDown() override { EXPECT_TRUE(removeTempDir(dir_)); }

    std::string path(const char* name) const { return (fs::path(dir_) / name).string(); }

    static std::string read(const std::string& p) { return readBytes(p); }
    static void write(const std::string& p, const std::string& bytes) { writeBytes(p, bytes); }
    int entries() const
    {
        int n = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_))
            ++n;
        return n;
    }

    int replace(const std::string& p, int (*writer)(std::FILE*), int* written)
    {
        return replaceFile(p.c_str(), writer, buffer_, sizeof buffer_, written);
    }

    std::string dir_;
    char buffer_[256];
};

TEST_F(FileReplace, TheFileHoldsExactlyTheBytesWritten)
{
    write(path("out.txt"), "old content that is longer than the new one\n");
    int written = 0;
    EXPECT_EQ(replace(path("out.txt"), writeBytes, &written), 0);
    EXPECT_EQ(written, 7);
    EXPECT_EQ(read(path("out.txt")), std::string(kBytes, sizeof kBytes - 1));
    EXPECT_EQ(entries(), 1) << "a temporary file was left behind";
}

TEST_F(FileReplace, ANewFileIsMade)
{
    int written = 0;
    EXPECT_EQ(replace(path("new.txt"), writeBytes, &written), 0);
    EXPECT_EQ(read(path("new.txt")), std::string(kBytes, sizeof kBytes - 1));
    EXPECT_EQ(entries(), 1);
}

TEST_F(FileReplace, AFailedWriteLeavesTheOldFileAndNoTemporaryFile)
{
    write(path("old.txt"), "old content\n");
    int written = 0;
    EXPECT_EQ(replace(path("old.txt"), failWithFullDisk, &written), ENOSPC);
    EXPECT_EQ(written, -1);
    EXPECT_EQ(read(path("old.txt")), "old content\n");
    EXPECT_EQ(entries(), 1) << "a temporary file was left behind";
}

TEST_F(FileReplace, ADirectoryIsNotReplaced)
{
    fs::create_directory(path("sub"));
    int written = 0;
    EXPECT_EQ(replace(path("sub"), writeBytes, &written), EISDIR);
    EXPECT_TRUE(fs::is_directory(path("sub")));
    EXPECT_EQ(entries(), 1);
}

TEST_F(FileReplace, AReadOnlyFileIsNotReplaced)
{
#ifndef _WIN32
    if (geteuid() == 0)
        GTEST_SKIP() << "root may write any file";
#endif
    write(path("kept.txt"), "keep me\n");
    fs::permissions(path("kept.txt"), fs::perms::owner_read);
    int written = 0;
    EXPECT_EQ(replace(path("kept.txt"), writeBytes, &written), EACCES);
    EXPECT_EQ(read(path("kept.txt")), "keep me\n");
    fs::permissions(path("kept.txt"), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(entries(), 1);
}

TEST_F(FileReplace, AnExistingFileKeepsItsPermissions)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows files have no permission bits";
#else
    write(path("data.txt"), "old\n");
    ASSERT_EQ(chmod(path("data.txt").c_str(), 0640), 0);
    int written = 0;
    EXPECT_EQ(replace(path("data.txt"), writeBytes, &written), 0);
    struct stat st {};
    ASSERT_EQ(stat(path("data.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
#endif
}

TEST_F(FileReplace, ThroughALinkTheFileItNamesIsReplaced)
{
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need extra rights on Windows";
#else
    write(path("real.txt"), "old\n");
    fs::create_symlink(path("real.txt"), path("link.txt"));
    int written = 0;
    EXPECT_EQ(replace(path("link.txt"), writeBytes, &written), 0);
    EXPECT_TRUE(fs::is_symlink(path("link.txt")));
    EXPECT_EQ(read(path("real.txt")), std::string(kBytes, sizeof kBytes - 1));
    EXPECT_EQ(entries(), 2);
#endif
}

}  // namespace
