#include <gtest/gtest.h>

#include <string>

#include "corelib/log.h"
#include "test_support.h"

using ::testing::ExitedWithCode;

class LogTest : public TempDirTest {
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        ASSERT_TRUE(log_file_set(path("log.txt").c_str()));
        log_file_truncate();
    }
};

TEST_F(LogTest, InfoLineReachesFileAndDebuggerWithPrefix)
{
    testing::internal::CaptureStderr();
    do_log(LOG_INFO, LOG_TO_DEBUGGER | LOG_TO_FILE, "hello %d", 42);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(test_read_file(path("log.txt")), "[INFO]: hello 42\n");
    EXPECT_EQ(err, "[INFO]: hello 42\n");
}

TEST_F(LogTest, EveryLevelHasItsPrefixAndLinesAppend)
{
    do_log(LOG_DEBUG, LOG_TO_FILE, "a");
    do_log(LOG_INFO, LOG_TO_FILE, "b");
    do_log(LOG_WARNING, LOG_TO_FILE, "c");
    do_log(LOG_CRITICAL, LOG_TO_FILE, "d");
    EXPECT_EQ(test_read_file(path("log.txt")), "[DEBUG]: a\n[INFO]: b\n[WARNING]: c\n[CRITICAL]: d\n");
}

TEST_F(LogTest, EmptyOutputSetWritesNothing)
{
    testing::internal::CaptureStderr();
    do_log(LOG_CRITICAL, 0, "nowhere");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(test_read_file(path("log.txt")), "");
}

TEST_F(LogTest, MessageBoxGoesToStandardErrorWithItsCaption)
{
    testing::internal::CaptureStderr();
    do_log(LOG_WARNING, LOG_TO_MSGBOX, "look");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "!!MESSAGE!! [WARNING]: look\n");
    EXPECT_EQ(test_read_file(path("log.txt")), "");
}

TEST_F(LogTest, LongestMessageIsLoggedOneMoreIsAFault)
{
    std::string longest(LOG_MESSAGE_MAX - 1, 'x');
    do_log(LOG_INFO, LOG_TO_FILE, "%s", longest.c_str());
    EXPECT_EQ(test_read_file(path("log.txt")), "[INFO]: " + longest + "\n");

    std::string too_long(LOG_MESSAGE_MAX, 'x');
    EXPECT_EXIT(do_log(LOG_INFO, LOG_TO_FILE, "%s", too_long.c_str()), ExitedWithCode(3),
                "do_log\\(\\) BUG at file \"corelib/log.cpp\", line [0-9]+!");
}

TEST_F(LogTest, UnknownLevelIsAFaultLoggedAtCriticalLevel)
{
    EXPECT_EXIT(do_log(5, LOG_TO_FILE, "x"), ExitedWithCode(3), "\\[CRITICAL\\]: do_log\\(\\) BUG at file");
}

TEST_F(LogTest, FaultReportsReachEveryOutputAndEndTheLog)
{
    // The child must write to this test's log file: fork it as it stands.
    GTEST_FLAG_SET(death_test_style, "fast");
    do_log(LOG_INFO, LOG_TO_FILE, "before");
    EXPECT_EXIT(
        {
            int broken = 1;
            ASSERT(broken == 2);
        },
        ExitedWithCode(3),
        "!!MESSAGE!! \\[CRITICAL\\]: .*\\(\\) BUG at file \".*log_test.cpp\", line [0-9]+: "
        "assertion broken == 2 failed!");
    std::string log = test_read_file(path("log.txt"));
    EXPECT_EQ(log.rfind("[INFO]: before\n", 0), 0u);
    EXPECT_NE(log.find("assertion broken == 2 failed!\n"), std::string::npos);
    EXPECT_EQ(log.back(), '\n');

    EXPECT_EXIT(log_fault_bug("kickoff_vorn_freeware", ".\\the_vorn", 172), ExitedWithCode(3),
                "kickoff_vorn_freeware\\(\\) BUG at file \"\\.\\\\the_vorn\", line 172!");
    EXPECT_EXIT(log_fault_reason("init", "f", 3, "\"why\""), ExitedWithCode(3),
                "init\\(\\) at file \"f\", line 3: \"why\"!");
}

TEST_F(LogTest, TruncateMakesAnEmptyFileAndUnsetPathDropsFileOutput)
{
    std::string fresh = path("fresh.txt");
    ASSERT_TRUE(log_file_set(fresh.c_str()));
    EXPECT_FALSE(test_file_exists(fresh));
    EXPECT_EQ(log_file_truncate(), 0);
    EXPECT_TRUE(test_file_exists(fresh));
    EXPECT_EQ(test_read_file(fresh), "");

    do_log(LOG_INFO, LOG_TO_FILE, "kept");
    log_file_truncate();
    EXPECT_EQ(test_read_file(fresh), "");

    // A folder that does not exist: the message is lost, the call still returns.
    ASSERT_TRUE(log_file_set(path("no/such/dir/log.txt").c_str()));
    EXPECT_EQ(do_log(LOG_INFO, LOG_TO_FILE, "lost"), 0);
}

TEST(LogQuote, ShortTextIsKeptLongTextIsCutAndMarked)
{
    EXPECT_STREQ(log_quote("fire.spsquox2").text, "fire.spsquox2");
    EXPECT_STREQ(log_quote(nullptr).text, "(null)");
    std::string exact(LOG_QUOTE_MAX, 'a');
    EXPECT_EQ(std::string(log_quote(exact.c_str()).text), exact);
    std::string longer(LOG_QUOTE_MAX + 1, 'b');
    EXPECT_EQ(std::string(log_quote(longer.c_str()).text), std::string(LOG_QUOTE_MAX, 'b') + LOG_QUOTE_CUT);
    // UTF-8: a three-byte character across the cut is left out whole.
    std::string wide = std::string(LOG_QUOTE_MAX - 1, 'c') + "\xe2\x82\xac" + "tail";
    EXPECT_EQ(std::string(log_quote(wide.c_str()).text), std::string(LOG_QUOTE_MAX - 1, 'c') + LOG_QUOTE_CUT);
}

TEST_F(LogTest, AHugeQuotedNameStaysWithinTheMessage)
{
    // A name of 50,000 characters from a data file: logged, cut, not a fault.
    std::string name(50000, 'n');
    do_log(LOG_WARNING, LOG_TO_FILE, "object \"%s\" in \"%s\"", log_quote(name.c_str()).text,
           log_quote(name.c_str()).text);
    std::string logged = test_read_file(path("log.txt"));
    EXPECT_LT(logged.size(), 2u * LOG_QUOTE_MAX + 100);
    EXPECT_NE(logged.find(LOG_QUOTE_CUT "\" in \""), std::string::npos) << logged;
}
