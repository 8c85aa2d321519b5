#include <gtest/gtest.h>

#include <string>

#include "corelib/log.h"
#include "game/resource_folder.h"
#include "test_support.h"

class ResourceFolderTest : public TempDirTest {
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        resource_folder_set("");
        log_file_set(path("log.txt").c_str());
        log_file_truncate();
    }
    bool read(const std::string &bytes)
    {
        test_write_file(path("app.ini"), bytes);
        return init_resource_folder_from(path("app.ini").c_str(), RESOURCE_FOLDER_KEY);
    }
    static std::string utf16(const std::u16string &s)
    {
        std::string out = "\xFF\xFE";
        for (char16_t c : s) {
            out.push_back(char(c & 0xFF));
            out.push_back(char(c >> 8));
        }
        return out;
    }
};

TEST_F(ResourceFolderTest, EightBitAndUtf16GiveTheSameFolder)
{
    ASSERT_TRUE(read("vorn_freeware_resource_folder=c:\\games\\vorn\\\r\n"));
    std::string eight = resource_folder_get();
    EXPECT_EQ(eight, "c:\\games\\vorn\\");
    resource_folder_set("");
    ASSERT_TRUE(read(utf16(u"vorn_freeware_resource_folder=c:\\games\\vorn\\\r\n")));
    EXPECT_EQ(std::string(resource_folder_get()), eight);
}

TEST_F(ResourceFolderTest, KeyIsCaseInsensitiveValuesTrimmedLastWins)
{
    ASSERT_TRUE(read("  VORN_Freeware_Resource_Folder \t=\t /first/ \n"
                     "=x\n"
                     "y\n"
                     "other = /nope/\n"
                     "vorn_freeware_resource_folder = /data/ \t\n"));
    EXPECT_STREQ(resource_folder_get(), "/data/");
    EXPECT_EQ(resource_path("splash\\screen_pic.tga"), "/data/splash\\screen_pic.tga");
}

TEST_F(ResourceFolderTest, MissingKeyLeavesTheFolderEmpty)
{
    ASSERT_TRUE(read("something = else\r\n"));
    EXPECT_STREQ(resource_folder_get(), "");
    EXPECT_EQ(resource_path("vorn.quox2"), "vorn.quox2");
}

TEST_F(ResourceFolderTest, FolderWithoutTrailingSeparatorGetsOne)
{
    ASSERT_TRUE(read("vorn_freeware_resource_folder = /data"));
    EXPECT_STREQ(resource_folder_get(), "/data/");
}

TEST_F(ResourceFolderTest, Utf16ValuesBecomeUtf8)
{
    ASSERT_TRUE(read(utf16(u"vorn_freeware_resource_folder = /d\u00e4t\u00e5/\r\n")));
    EXPECT_STREQ(resource_folder_get(), "/d\xc3\xa4t\xc3\xa5/");
}

TEST_F(ResourceFolderTest, MissingEmptyAndBinaryFilesAreRefusedWithTheReport)
{
    const std::string report =
        "[WARNING]: init_resource_folder() at file \".\\resource_folder\", line 32: \"Can't find "
        "or open app.ini\"!\n";
    testing::internal::CaptureStderr();
    EXPECT_FALSE(init_resource_folder_from(path("none.ini").c_str(), RESOURCE_FOLDER_KEY));
    EXPECT_FALSE(read(""));
    static const char binary[] = "vorn_freeware_resource_folder = /x/\0\x01\x02";
    EXPECT_FALSE(read(std::string(binary, sizeof(binary) - 1)));
    EXPECT_FALSE(read("\xFF\xFE\x41"));       // odd UTF-16 length
    EXPECT_FALSE(read(utf16(u"a=\xD800 b"))); // lone surrogate
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("!!MESSAGE!! " + report), std::string::npos);
    std::string log = test_read_file(path("log.txt"));
    size_t reports = 0;
    for (size_t at = log.find(report); at != std::string::npos; at = log.find(report, at + 1)) reports++;
    EXPECT_EQ(reports, 5u);
    EXPECT_NE(log.find("zero bytes"), std::string::npos);
    EXPECT_STREQ(resource_folder_get(), "");
}

// Found by fuzzing: a folder of 3,360 UTF-16 characters grows threefold as
// UTF-8, and the message about the added separator quoted it whole, past the
// logger's limit (which ends the program).
TEST_F(ResourceFolderTest, AHugeFolderIsKeptAndQuotedCut)
{
    std::u16string folder(3360, u'\u20AC');
    ASSERT_TRUE(read(utf16(u"vorn_freeware_resource_folder=" + folder + u"\r\n")));
    EXPECT_EQ(std::string(resource_folder_get()).size(), 3360u * 3 + 1);
    std::string log = test_read_file(path("log.txt"));
    EXPECT_NE(log.find("a separator was added to \"\xE2\x82\xAC"), std::string::npos) << log.substr(0, 400);
    EXPECT_NE(log.find(LOG_QUOTE_CUT "\""), std::string::npos);
    EXPECT_LT(log.size(), 1000u);
}
