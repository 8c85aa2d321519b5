// Timer, random table, files, text buffers, lists, threads and mutexes.

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <unistd.h>

#include "corelib/dlist.h"
#include "corelib/drand.h"
#include "corelib/files.h"
#include "corelib/hw_timer.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "corelib/text_buffer.h"
#include "corelib/threads.h"
#include "test_support.h"

TEST(HwTimer, FrameReadsAreSmallAndPositiveStopwatchGrows)
{
    hw_timer *t = hw_timer_init();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->freq, 1000000000);
    hw_timer_get(t, 1);
    double frame = hw_timer_get(t, 1);
    EXPECT_GT(frame, 0.0);
    EXPECT_LT(frame, 0.5);
    double a = hw_timer_get(t, 0);
    thread_sleep(0.002);
    double b = hw_timer_get(t, 0);
    EXPECT_GE(b - a, 0.0015);
    hw_timer_free(t);
}

class DrandTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(drand_init());
        drand_seed(1234);
        drand_set_cursor(0);
    }
    void TearDown() override { drand_deinit(); }
};

TEST_F(DrandTest, DrawUsesThreeEntriesWithTheExactFormula)
{
    int32_t a = drand_table_entry(0), b = drand_table_entry(1), c = drand_table_entry(2);
    double magnitude = a + b * 3.051850947599719e-5;
    EXPECT_DOUBLE_EQ(drand(), c > 16383.5 ? -magnitude : magnitude);
    EXPECT_EQ(drand_cursor(), 3u);
}

TEST_F(DrandTest, CursorWrapsAfterTheLastEntry)
{
    for (int i = 0; i < 33333; i++) drand();
    EXPECT_EQ(drand_cursor(), 99999u);
    int32_t a = drand_table_entry(99999), b = drand_table_entry(0), c = drand_table_entry(1);
    double magnitude = a + b * 3.051850947599719e-5;
    EXPECT_DOUBLE_EQ(drand(), c > 16383.5 ? -magnitude : magnitude);
    EXPECT_EQ(drand_cursor(), 2u);
}

TEST_F(DrandTest, EffectsDrawFromTheirOwnWalkAndLeaveTheGamesCursor)
{
    drand_set_cursor(10);
    double game_first = drand_range(0, 1);
    drand_set_cursor(10);
    for (int i = 0; i < 1000; i++) {
        double v = drand_fx_range(-2, 2);
        EXPECT_GE(v, -2.0);
        EXPECT_LE(v, 2.0);
    }
    EXPECT_EQ(drand_cursor(), 10u);
    EXPECT_EQ(drand_range(0, 1), game_first);
    // The same seed gives the effects the same numbers again.
    drand_seed(1234);
    double fx_a = drand_fx_range(0, 1), fx_b = drand_fx_range(0, 1);
    drand_seed(1234);
    EXPECT_EQ(drand_fx_range(0, 1), fx_a);
    EXPECT_EQ(drand_fx_range(0, 1), fx_b);
}

TEST_F(DrandTest, RangesStayInsideTheirBounds)
{
    EXPECT_EQ(drand_range(5, 5), 5.0);
    double lo = 1, hi = 0;
    for (int i = 0; i < 40000; i++) {
        double v = drand_range(0, 1);
        ASSERT_GE(v, 0.0);
        ASSERT_LE(v, 1.0);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    // The draws cover the range, not a corner of it.
    EXPECT_LT(lo, 0.01);
    EXPECT_GT(hi, 0.99);

    float v[3] = {10, 20, 30}, out[3];
    drand_jitter3(out, v, 0.5f);
    for (int i = 0; i < 3; i++) EXPECT_LE(std::fabs(out[i] - v[i]), 0.5f);
}

TEST(Drand, InitTwiceIsAFault)
{
    ASSERT_TRUE(drand_init());
    EXPECT_EXIT(drand_init(), ::testing::ExitedWithCode(3), "assertion drand_lookup_table == NULL failed");
    drand_deinit();
    EXPECT_EXIT(drand_deinit(), ::testing::ExitedWithCode(3), "assertion drand_lookup_table != NULL failed");
}

class FilesTest : public TempDirTest {};

TEST_F(FilesTest, LoadsWholeFilesAndEmptyOnes)
{
    test_write_file(path("a.bin"), std::string("ab\0cd", 5));
    void *block = nullptr;
    size_t size = 0;
    ASSERT_TRUE(load_file_to_buffer(path("a.bin").c_str(), &block, &size));
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(std::string(static_cast<char *>(block), size), std::string("ab\0cd", 5));
    mem_free(block);

    test_write_file(path("empty"), "");
    ASSERT_TRUE(load_file_to_buffer(path("empty").c_str(), &block, &size));
    EXPECT_EQ(size, 0u);
    mem_free(block);
}

TEST_F(FilesTest, MissingFilesAndFoldersAreReportedNotLoaded)
{
    ASSERT_TRUE(log_file_set(path("log.txt").c_str()));
    log_file_truncate();
    void *block = reinterpret_cast<void *>(0x1);
    size_t size = 77;
    EXPECT_FALSE(load_file_to_buffer(path("missing").c_str(), &block, &size));
    EXPECT_EQ(block, reinterpret_cast<void *>(0x1));
    EXPECT_EQ(size, 77u);
    EXPECT_FALSE(load_file_to_buffer(dir.c_str(), &block, &size));
    std::string log = test_read_file(path("log.txt"));
    EXPECT_NE(
        log.find("[WARNING]: load_file_to_buffer: _open(" + path("missing") + ") FAILED: No such file or directory!"),
        std::string::npos);
    EXPECT_NE(log.find("load_file(): _filelength(" + dir + ") FAILED: Is a directory!"), std::string::npos);
}

TEST_F(FilesTest, WholeFileReadTellsEachLoaderWhyItFailed)
{
    test_write_file(path("ten"), "0123456789");
    void *block = reinterpret_cast<void *>(0x1);
    size_t size = 77;
    file_read_failure why{};
    // Within the limit, exactly at it, and one byte over.
    ASSERT_TRUE(file_read_whole(path("ten").c_str(), 10, &block, &size, &why));
    EXPECT_EQ(std::string(static_cast<char *>(block), size), "0123456789");
    mem_free(block);
    block = reinterpret_cast<void *>(0x1);
    size = 77;
    EXPECT_FALSE(file_read_whole(path("ten").c_str(), 9, &block, &size, &why));
    EXPECT_EQ(why.step, FILE_READ_LENGTH);
    EXPECT_STREQ(why.reason, "file too large");
    EXPECT_EQ(block, reinterpret_cast<void *>(0x1));
    EXPECT_EQ(size, 77u);

    EXPECT_FALSE(file_read_whole(path("missing").c_str(), UINT64_MAX, &block, &size, &why));
    EXPECT_EQ(why.step, FILE_READ_OPEN);
    EXPECT_EQ(why.error, ENOENT);
    EXPECT_STREQ(why.reason, strerror(ENOENT));

    EXPECT_FALSE(file_read_whole(dir.c_str(), UINT64_MAX, &block, &size, &why));
    EXPECT_EQ(why.step, FILE_READ_LENGTH);
    EXPECT_EQ(why.error, EISDIR);

    // A device has no length to read up to.
    EXPECT_FALSE(file_read_whole("/dev/zero", UINT64_MAX, &block, &size, &why));
    EXPECT_EQ(why.step, FILE_READ_LENGTH);
    EXPECT_STREQ(why.reason, "not a regular file");
    EXPECT_EQ(block, reinterpret_cast<void *>(0x1));

    // Backslash paths of the data files are read too.
    std::string windows = dir + "\\ten";
    ASSERT_TRUE(file_read_whole(windows.c_str(), 10, &block, &size, &why));
    EXPECT_EQ(size, 10u);
    mem_free(block);
}

TEST_F(FilesTest, StepwiseReadingStopsAtTheEndOfTheFile)
{
    test_write_file(path("six"), "abcdef");
    uint64_t length = 0;
    file_read_failure why{};
    int fd = file_open_regular(path("six").c_str(), UINT64_MAX, &length, &why);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(length, 6u);
    char buf[8] = {};
    ASSERT_TRUE(file_read_exact(fd, buf, 4, &why));
    EXPECT_STREQ(buf, "abcd");
    // Three more than the two left: a failure, not a short success.
    EXPECT_FALSE(file_read_exact(fd, buf, 3, &why));
    EXPECT_EQ(why.step, FILE_READ_READ);
    EXPECT_STREQ(why.reason, "unexpected end of file");
    close(fd);
    EXPECT_LT(file_open_regular(path("six").c_str(), 5, &length, &why), 0);
    EXPECT_EQ(why.step, FILE_READ_LENGTH);
}

TEST_F(FilesTest, TextFilesRefuseZeroBytesAndBackslashPathsOpen)
{
    text_buffer *t = text_buffer_new();
    test_write_file(path("t.txt"), "key = 1\r\n");
    ASSERT_TRUE(load_text_file(path("t.txt").c_str(), t));
    EXPECT_STREQ(text_buffer_text(t), "key = 1\r\n");
    test_write_file(path("z.txt"), std::string("ke\0y", 4));
    EXPECT_FALSE(load_text_file(path("z.txt").c_str(), t));
    EXPECT_STREQ(text_buffer_text(t), "key = 1\r\n");

    std::string windows = dir + "\\t.txt";
    EXPECT_TRUE(file_exists(windows.c_str()));
    EXPECT_TRUE(load_text_file(windows.c_str(), t));
    text_buffer_free(t);
}

TEST(TextBuffer, GrowthFollowsTheHundredsRule)
{
    text_buffer *t = text_buffer_new();
    EXPECT_EQ(t->capacity, 100u);
    std::string s250(250, 'a');
    ASSERT_TRUE(text_buffer_append(t, s250.c_str()));
    EXPECT_EQ(t->capacity, 400u);
    EXPECT_EQ(text_buffer_length(t), 250u);
    ASSERT_TRUE(text_buffer_append(t, "b"));
    EXPECT_EQ(t->capacity, 400u);
    EXPECT_EQ(std::string(text_buffer_text(t)), s250 + "b");
    text_buffer_free(t);
}

TEST(TextBuffer, AssignAndSubstring)
{
    text_buffer *t = text_buffer_new(), *u = text_buffer_new();
    ASSERT_TRUE(text_buffer_assign(t, "hello world", 5));
    EXPECT_STREQ(text_buffer_text(t), "hello");
    EXPECT_EQ(t->capacity, 6u);
    ASSERT_TRUE(text_buffer_assign_text(t, "abcdef"));
    EXPECT_TRUE(text_buffer_substring(u, t, 2, 3));
    EXPECT_STREQ(text_buffer_text(u), "cde");
    EXPECT_TRUE(text_buffer_substring(u, t, 4, 100));
    EXPECT_STREQ(text_buffer_text(u), "ef");
    EXPECT_FALSE(text_buffer_substring(u, t, 6, 1));
    // A buffer can take a piece of itself.
    EXPECT_TRUE(text_buffer_substring(t, t, 1, 2));
    EXPECT_STREQ(text_buffer_text(t), "bc");
    text_buffer_free(t);
    text_buffer_free(u);
}

struct item {
    dlist link;
    int value;
};

static std::vector<int> dlist_values(dlist *head)
{
    std::vector<int> v;
    dlist_for_each(pos, head) v.push_back(dlist_entry<item>(pos)->value);
    return v;
}

TEST(Dlist, InsertUnlinkAndSplice)
{
    dlist a, b;
    dlist_init(&a);
    dlist_init(&b);
    EXPECT_TRUE(dlist_is_empty(&a));
    item i1{{}, 1}, i2{{}, 2}, i3{{}, 3}, i4{{}, 4};
    dlist_insert_back(&i2.link, &a);
    dlist_insert_front(&i1.link, &a);
    dlist_insert_back(&i3.link, &a);
    EXPECT_EQ(dlist_values(&a), (std::vector<int>{1, 2, 3}));
    dlist_unlink(&i2.link);
    EXPECT_EQ(i2.link.next, nullptr);
    EXPECT_EQ(dlist_values(&a), (std::vector<int>{1, 3}));
    dlist_insert_back(&i4.link, &b);
    dlist_splice_front(&a, &b);
    dlist_init(&a);
    EXPECT_EQ(dlist_values(&b), (std::vector<int>{1, 3, 4}));
    EXPECT_EQ(b.prev, &i4.link);
    dlist_splice_front(&a, &b);
    EXPECT_EQ(dlist_values(&b), (std::vector<int>{1, 3, 4}));
}

static void count_to(void *arg)
{
    auto *n = static_cast<std::atomic<int> *>(arg);
    for (int i = 0; i < 1000; i++) (*n)++;
}

static void wait_for_flag(void *arg)
{
    auto *go = static_cast<std::atomic<bool> *>(arg);
    while (!*go) thread_sleep(0.001);
}

TEST(Threads, IdentifiersCountUpAndWaitSemantics)
{
    std::atomic<int> n{0};
    thread_id t1 = thread_create(count_to, &n);
    thread_id t2 = thread_create(count_to, &n);
    EXPECT_GE(t1, 1);
    EXPECT_EQ(t2, t1 + 1);
    EXPECT_TRUE(thread_wait(t1, THREAD_WAIT));
    EXPECT_TRUE(thread_wait(t2, THREAD_WAIT));
    EXPECT_EQ(n.load(), 2000);

    std::atomic<bool> go{false};
    thread_id t3 = thread_create(wait_for_flag, &go);
    EXPECT_FALSE(thread_wait(t3, THREAD_NOWAIT));
    go = true;
    EXPECT_TRUE(thread_wait(t3, THREAD_WAIT));
    // Unknown, finished and non-positive identifiers all count as finished.
    EXPECT_TRUE(thread_wait(t3, THREAD_NOWAIT));
    EXPECT_TRUE(thread_wait(0, THREAD_WAIT));
    EXPECT_TRUE(thread_wait(-1, THREAD_NOWAIT));
}

struct locked_counter {
    sys_mutex *m;
    int value;
};

static void add_locked(void *arg)
{
    auto *c = static_cast<locked_counter *>(arg);
    for (int i = 0; i < 10000; i++) {
        mutex_lock(c->m);
        mutex_lock(c->m); // recursive within one thread
        c->value++;
        mutex_unlock(c->m);
        mutex_unlock(c->m);
    }
}

TEST(Threads, MutexIsRecursiveAndExcludesOtherThreads)
{
    locked_counter c{mutex_create(), 0};
    ASSERT_NE(c.m, nullptr);
    thread_id a = thread_create(add_locked, &c), b = thread_create(add_locked, &c);
    thread_wait(a, THREAD_WAIT);
    thread_wait(b, THREAD_WAIT);
    EXPECT_EQ(c.value, 20000);
    mutex_destroy(c.m);
    // Null handles are ignored.
    mutex_lock(nullptr);
    mutex_unlock(nullptr);
    mutex_destroy(nullptr);
}
