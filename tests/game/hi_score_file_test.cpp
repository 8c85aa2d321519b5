#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <sys/resource.h>

#include "corelib/files.h"
#include "corelib/log.h"
#include "game/the_vorn_hi_score_file.h"
#include "test_support.h"

namespace {

// A 36-byte record as the file holds it, built byte by byte here.
std::string record(const std::u16string &name, int32_t score)
{
    std::string r(HS_RECORD_SIZE, '\0');
    for (size_t i = 0; i < name.size() && i < 16; i++) {
        r[2 * i] = char(name[i] & 0xff);
        r[2 * i + 1] = char(name[i] >> 8);
    }
    uint32_t s = uint32_t(score);
    for (int b = 0; b < 4; b++) r[32 + b] = char((s >> (8 * b)) & 0xff);
    return r;
}

std::u16string name_of(const hs_entry *e) { return std::u16string(reinterpret_cast<const char16_t *>(e->name)); }

class HiScoreFileTest : public TempDirTest {
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        log_file_set(path("log.txt").c_str());
        log_file_truncate();
        table = hiscore_table_create();
        ASSERT_NE(table, nullptr);
    }
    void TearDown() override
    {
        hiscore_table_free(table);
        TempDirTest::TearDown();
    }
    void add(const std::u16string &name, int32_t score)
    {
        ASSERT_GE(hiscore_table_insert(table, reinterpret_cast<const uint16_t *>(name.c_str()), score), 0);
    }
    std::string hs() const { return path("vorn.hs"); }
    hs_table *table = nullptr;
};

TEST_F(HiScoreFileTest, RoundTripIsByteForByte)
{
    const std::u16string longest = u"ABCDEFGHIJKLMN"; // 14 characters
    const std::u16string accented = u"J\u00f6rg \u00c5s\u00e9";
    const std::u16string cyrillic_cjk = u"\u0416\u0443\u043a \u96f7\u96fb";
    add(longest, 24000);
    add(accented, 17900);
    add(cyrillic_cjk, -5);
    ASSERT_TRUE(hiscore_table_write(table, hs().c_str()));

    std::string expected = record(longest, 24000) + record(accented, 17900) + record(cyrillic_cjk, -5);
    std::string bytes = test_read_file(hs());
    ASSERT_EQ(bytes, expected);
    // The 14-character name takes 28 bytes, its terminator the next 2 of the 32-byte field.
    EXPECT_EQ(bytes[26], 'N');
    EXPECT_EQ(bytes[28], '\0');
    EXPECT_EQ(bytes[29], '\0');
    EXPECT_EQ(uint8_t(bytes[32]), 24000 & 0xff);
    EXPECT_EQ(uint8_t(bytes[33]), 24000 >> 8);

    hs_table *again = hiscore_table_create();
    ASSERT_EQ(hiscore_table_read(again, hs().c_str()), HS_READ_OK);
    ASSERT_EQ(again->get_size(), 3u);
    EXPECT_EQ(name_of(again->get_element(0)), longest);
    EXPECT_EQ(name_of(again->get_element(1)), accented);
    EXPECT_EQ(name_of(again->get_element(2)), cyrillic_cjk);
    EXPECT_EQ(again->get_element(2)->score, -5);
    ASSERT_TRUE(hiscore_table_write(again, hs().c_str()));
    EXPECT_EQ(test_read_file(hs()), expected);
    hiscore_table_free(again);
    EXPECT_FALSE(test_file_exists(hs() + HS_DAMAGED_SUFFIX));
}

TEST_F(HiScoreFileTest, NamesAsUtf8)
{
    add(u"\u00c5s\u96f7x", 10);
    char out[64];
    hiscore_name_to_utf8(table->get_element(0), out, sizeof out);
    EXPECT_STREQ(out, "\xc3\x85s\xe9\x9b\xb7x");
    char small[4]; // no room for a cut character
    hiscore_name_to_utf8(table->get_element(0), small, sizeof small);
    EXPECT_STREQ(small, "\xc3\x85s");
}

TEST_F(HiScoreFileTest, ZeroNeverQualifies)
{
    EXPECT_FALSE(hiscore_qualifies(table, 0));
    EXPECT_FALSE(hiscore_qualifies(table, -10));
    EXPECT_TRUE(hiscore_qualifies(table, 1));
    EXPECT_EQ(hiscore_table_get_lowest_score(table), 0);
}

TEST_F(HiScoreFileTest, TieWithTheLowestOfTenDoesNotQualify)
{
    for (int i = 0; i < HS_MAX_ENTRIES; i++) add(u"P", 1000 - 100 * i); // 1000 ... 100
    EXPECT_EQ(hiscore_table_get_lowest_score(table), 100);
    EXPECT_FALSE(hiscore_qualifies(table, 100));
    EXPECT_FALSE(hiscore_qualifies(table, 50));
    EXPECT_TRUE(hiscore_qualifies(table, 101));
    // Nine entries: any positive score has room.
    hiscore_table_remove(table, 9);
    EXPECT_TRUE(hiscore_qualifies(table, 1));
}

TEST_F(HiScoreFileTest, InsertionGoesAboveLowerOrEqualScoresAndTheLastFallsOut)
{
    const int32_t scores[HS_MAX_ENTRIES] = {900, 800, 700, 500, 500, 500, 300, 200, 150, 100};
    for (int32_t s : scores) add(u"old", s);
    int32_t at = hiscore_table_insert(table, reinterpret_cast<const uint16_t *>(u"new"), 500);
    EXPECT_EQ(at, 3);
    ASSERT_EQ(table->get_size(), uint32_t(HS_MAX_ENTRIES));
    EXPECT_EQ(name_of(table->get_element(3)), u"new");
    EXPECT_EQ(table->get_element(4)->score, 500);
    EXPECT_EQ(table->get_element(9)->score, 150); // 100 fell out
    // A score below every one of ten full entries has no place.
    EXPECT_EQ(hiscore_table_insert(table, nullptr, 10), -1);
    EXPECT_EQ(table->get_size(), uint32_t(HS_MAX_ENTRIES));
    // At the very top.
    EXPECT_EQ(hiscore_table_insert(table, nullptr, 5000), 0);
    EXPECT_EQ(table->get_element(9)->score, 200);
}

TEST_F(HiScoreFileTest, EmptyFileIsAnEmptyTable)
{
    test_write_file(hs(), "");
    EXPECT_EQ(hiscore_table_read(table, hs().c_str()), HS_READ_OK);
    EXPECT_EQ(table->get_size(), 0u);
    EXPECT_FALSE(test_file_exists(hs() + HS_DAMAGED_SUFFIX));
}

TEST_F(HiScoreFileTest, MissingFileIsAnEmptyTable)
{
    add(u"stale", 5);
    EXPECT_EQ(hiscore_table_read(table, hs().c_str()), HS_READ_MISSING);
    EXPECT_EQ(table->get_size(), 0u);
    EXPECT_FALSE(test_file_exists(hs()));
}

TEST_F(HiScoreFileTest, ShortFileKeepsItsWholeRecordsAndTheOriginal)
{
    std::string good = record(u"ACE", 3000) + record(u"NOVA", 2000);
    std::string damaged = good + record(u"CUT", 1000).substr(0, 20);
    test_write_file(hs(), damaged);
    EXPECT_EQ(hiscore_table_read(table, hs().c_str()), HS_READ_REPAIRED);
    ASSERT_EQ(table->get_size(), 2u);
    EXPECT_EQ(name_of(table->get_element(1)), u"NOVA");
    EXPECT_EQ(test_read_file(hs()), good);
    EXPECT_EQ(test_read_file(hs() + HS_DAMAGED_SUFFIX), damaged);
    // The repaired file reads cleanly and stays as it is.
    EXPECT_EQ(hiscore_table_read(table, hs().c_str()), HS_READ_OK);
    EXPECT_EQ(test_read_file(hs()), good);
    EXPECT_NE(test_read_file(path("log.txt")).find("is damaged"), std::string::npos);
}

TEST_F(HiScoreFileTest, NameWithoutTerminatorIsCutTo14Characters)
{
    std::string r = record(u"ABCDEFGHIJKLMNOP", 77); // 16 characters fill the field
    test_write_file(hs(), r);
    EXPECT_EQ(hiscore_table_read(table, hs().c_str()), HS_READ_REPAIRED);
    ASSERT_EQ(table->get_size(), 1u);
    EXPECT_EQ(name_of(table->get_element(0)), u"ABCDEFGHIJKLMN");
    EXPECT_EQ(table->get_element(0)->score, 77);
    EXPECT_EQ(test_read_file(hs()), record(u"ABCDEFGHIJKLMN", 77));
}

TEST_F(HiScoreFileTest, ScoresOutOfOrderAreSorted)
{
    test_write_file(hs(), record(u"LOW", 10) + record(u"HIGH", 900) + record(u"MID", 500));
    EXPECT_EQ(hiscore_table_read(table, hs().c_str()), HS_READ_REPAIRED);
    ASSERT_EQ(table->get_size(), 3u);
    EXPECT_EQ(name_of(table->get_element(0)), u"HIGH");
    EXPECT_EQ(name_of(table->get_element(2)), u"LOW");
    EXPECT_EQ(test_read_file(hs()), record(u"HIGH", 900) + record(u"MID", 500) + record(u"LOW", 10));
}

TEST_F(HiScoreFileTest, LongFileKeepsTheFirstTen)
{
    std::string bytes;
    for (int i = 0; i < 12; i++) bytes += record(u"X", 1200 - i);
    test_write_file(hs(), bytes);
    EXPECT_EQ(hiscore_table_read(table, hs().c_str()), HS_READ_REPAIRED);
    EXPECT_EQ(table->get_size(), uint32_t(HS_MAX_ENTRIES));
    EXPECT_EQ(test_read_file(hs()), bytes.substr(0, HS_FILE_SIZE_MAX));
}

TEST_F(HiScoreFileTest, HostileBytesOfAnyLength)
{
    std::mt19937 rng(1234);
    for (int round = 0; round < 60; round++) {
        size_t size = rng() % 800;
        std::string bytes(size, '\0');
        for (char &c : bytes) c = char(rng() % 3 == 0 ? 0 : rng());
        test_write_file(hs(), bytes);
        hs_read_result r = hiscore_table_read(table, hs().c_str());
        ASSERT_NE(r, HS_READ_FAILED);
        ASSERT_LE(table->get_size(), uint32_t(HS_MAX_ENTRIES));
        for (const hs_entry &e : *table) {
            ASSERT_LE(hiscore_name_length(&e), uint32_t(HS_NAME_MAX));
            for (uint32_t i = 0; i < hiscore_name_length(&e); i++)
                ASSERT_FALSE(e.name[i] >= 0xd800 && e.name[i] <= 0xdfff);
        }
        // Whatever was read is on disk again as a well-formed table.
        hs_table *again = hiscore_table_create();
        ASSERT_EQ(hiscore_table_read(again, hs().c_str()), HS_READ_OK) << "round " << round;
        ASSERT_EQ(again->get_size(), table->get_size());
        hiscore_table_free(again);
    }
}

TEST_F(HiScoreFileTest, UnreadableFileIsLeftAlone)
{
    std::filesystem::create_directory(hs()); // a folder where the file should be
    add(u"stale", 5);
    EXPECT_EQ(hiscore_table_read(table, hs().c_str()), HS_READ_FAILED);
    EXPECT_EQ(table->get_size(), 0u);
    EXPECT_TRUE(std::filesystem::is_directory(hs()));
    add(u"NEW", 10);
    EXPECT_FALSE(hiscore_table_write(table, hs().c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(hs()));
}

TEST_F(HiScoreFileTest, WriteWhereNothingCanBeWrittenFails)
{
    add(u"ACE", 100);
    // Not even root may create files there.
    EXPECT_FALSE(hiscore_table_write(table, "/proc/vorn.hs"));
    test_write_file(path("plain"), "x");
    EXPECT_FALSE(hiscore_table_write(table, path("plain/vorn.hs").c_str()));
    EXPECT_NE(test_read_file(path("log.txt")).find("could not be saved to"), std::string::npos);
}

// A full disk, made with the file size limit, which holds for root too.
TEST_F(HiScoreFileTest, FailedWriteKeepsTheOldTable)
{
    add(u"ACE", 3000);
    ASSERT_TRUE(hiscore_table_write(table, hs().c_str()));
    std::string old = test_read_file(hs());
    for (int i = 0; i < 5; i++) add(u"MORE", 2000 - i);

    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    void (*old_handler)(int) = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool written = hiscore_table_write(table, hs().c_str());
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, old_handler);

    EXPECT_FALSE(written);
    EXPECT_EQ(test_read_file(hs()), old);
    // No temporary file is left behind.
    int files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) files += entry.path().filename() != "log.txt";
    EXPECT_EQ(files, 1);
}

} // namespace
