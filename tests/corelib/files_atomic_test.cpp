// Replacing a file atomically and reading a file's head.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <sys/stat.h>

#include "corelib/files.h"
#include "corelib/log.h"
#include "test_support.h"

class FilesAtomicTest : public TempDirTest {
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        log_file_set(path("log.txt").c_str());
    }
    int entries() const
    {
        int n = 0;
        for (const auto &e : std::filesystem::directory_iterator(dir)) n += e.path().filename() != "log.txt";
        return n;
    }
};

TEST_F(FilesAtomicTest, ReplacesTheWholeFileWithItsMode)
{
    test_write_file(path("f"), "a much longer old content");
    const char data[] = "new\0bytes";
    ASSERT_TRUE(file_write_atomic(path("f").c_str(), data, sizeof data - 1, 0600));
    EXPECT_EQ(test_read_file(path("f")), std::string(data, sizeof data - 1));
    struct stat st;
    ASSERT_EQ(stat(path("f").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_TRUE(file_write_atomic(path("g").c_str(), "", 0, 0644));
    EXPECT_EQ(test_read_file(path("g")), "");
    EXPECT_EQ(entries(), 2); // no temporary files left
}

TEST_F(FilesAtomicTest, FailureLeavesNothingBehind)
{
    std::filesystem::create_directory(path("d"));
    EXPECT_FALSE(file_write_atomic(path("d").c_str(), "x", 1, 0644)); // a folder is not replaced
    EXPECT_TRUE(std::filesystem::is_directory(path("d")));
    EXPECT_FALSE(file_write_atomic(path("missing/f").c_str(), "x", 1, 0644));
    EXPECT_EQ(entries(), 1);
    EXPECT_NE(test_read_file(path("log.txt")).find(path("missing/f")), std::string::npos);
}

TEST_F(FilesAtomicTest, HeadOfAFile)
{
    test_write_file(path("f"), "0123456789");
    char buf[4];
    size_t size = 0;
    uint64_t total = 0;
    ASSERT_TRUE(file_read_head(path("f").c_str(), buf, sizeof buf, &size, &total));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(total, 10u);
    EXPECT_EQ(std::string(buf, 4), "0123");
    char big[32];
    ASSERT_TRUE(file_read_head(path("f").c_str(), big, sizeof big, &size, &total));
    EXPECT_EQ(size, 10u);
    errno = 0;
    EXPECT_FALSE(file_read_head(path("none").c_str(), big, sizeof big, &size, &total));
    EXPECT_EQ(errno, ENOENT);
    std::filesystem::create_directory(path("d"));
    EXPECT_FALSE(file_read_head(path("d").c_str(), big, sizeof big, &size, &total));
    EXPECT_EQ(errno, EISDIR);
}
