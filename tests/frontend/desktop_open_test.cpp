// Opening addresses with the desktop's opener: in the background, the
// address passed as it is, a missing opener logged.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "corelib/log.h"
#include "frontend/desktop_open.h"
#include "test_support.h"

namespace {

class DesktopOpenTest : public TempDirTest {
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        log_file_set(path("log.txt").c_str());
        log_file_truncate();
    }
    void TearDown() override
    {
        desktop_set_opener(nullptr);
        TempDirTest::TearDown();
    }
    std::string wait_for(const std::string &file)
    {
        for (int i = 0; i < 1000 && !test_file_exists(file); i++) usleep(10000);
        usleep(20000);
        return test_read_file(file);
    }
};

TEST_F(DesktopOpenTest, OpenerRunsInTheBackground)
{
    // The opener only goes on once the caller has got control back: a
    // desktop_open that waited for it would make it give up and say so.
    std::string go = path("go"), out = path("out");
    std::string script = "#!/bin/sh\n"
                         "i=0\n"
                         "while [ ! -e '" +
                         go +
                         "' ]; do\n"
                         "  i=$((i+1)); if [ $i -gt 100 ]; then echo blocked > '" +
                         out +
                         "'; exit 0; fi\n"
                         "  sleep 0.05\n"
                         "done\n"
                         "printf '%s' \"$1\" > '" +
                         out + "'\n";
    test_write_file(path("opener"), script);
    chmod(path("opener").c_str(), 0755);
    desktop_set_opener(path("opener").c_str());
    EXPECT_EQ(desktop_find_opener(), path("opener"));
    // Characters a shell would act on reach the opener untouched.
    const std::string address = "file:///tmp/a b/$(touch " + path("x") + ");'\"`.md";
    ASSERT_TRUE(desktop_open(address.c_str()));
    test_write_file(go, "");
    EXPECT_EQ(wait_for(out), address);
    EXPECT_FALSE(test_file_exists(path("x")));
}

TEST_F(DesktopOpenTest, MissingOpenerIsLogged)
{
    desktop_set_opener("vorn-no-such-opener");
    EXPECT_EQ(desktop_find_opener(), "");
    EXPECT_FALSE(desktop_open("file:///nowhere/README.md"));
    EXPECT_NE(
        test_read_file(path("log.txt")).find("desktop: no \"vorn-no-such-opener\" to open file:///nowhere/README.md"),
        std::string::npos);
    desktop_set_opener(path("not-there").c_str());
    EXPECT_FALSE(desktop_open("x"));
}

} // namespace
