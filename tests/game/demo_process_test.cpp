// The program's demo and autopilot options, each run in its own process: the
// autopilot plays a minute without a fault, its demo replays in a second
// process to the same state, and a foreign or damaged demo is refused with
// its name.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "test_support.h"

namespace {

class DemoProcessTest : public TempDirTest {
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        std::string data = std::string(VORN_BINARY_DIR) + "/data/";
        if (!test_file_exists(data + "vorn.quox2")) GTEST_SKIP() << "no default data: build the 'data' target first";
        std::filesystem::copy_file(VORN_BIN, path("vorn"));
        test_write_file(path("app.ini"), "vorn_freeware_resource_folder = " + data + "\r\n");
    }
    test_run_result vorn(const std::string &args)
    {
        return test_run("cd '" + dir + "' && ALSOFT_DRIVERS=null ./vorn " + args);
    }
    void expect_no_fault(const test_run_result &r)
    {
        std::string log = test_read_file(path("vorn-log.txt"));
        EXPECT_EQ(log.find("BUG at file"), std::string::npos) << log;
        EXPECT_EQ(r.err.find("ERROR: AddressSanitizer"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("runtime error"), std::string::npos) << r.err;
        EXPECT_NE(log.find("vorn_deinit(): completed."), std::string::npos);
    }
    // The 16 hex digits after "state " on the line starting with prefix.
    static std::string state_of(const std::string &out, const std::string &prefix)
    {
        size_t line = out.find(prefix);
        if (line == std::string::npos) return "";
        size_t at = out.find("state ", line);
        return at == std::string::npos ? "" : out.substr(at + 6, 16);
    }
};

TEST_F(DemoProcessTest, AutopilotPlaysAMinuteAndItsDemoReplaysInASecondProcess)
{
    test_run_result rec = vorn("--headless --autopilot 60 --seed 3 --record-demo pilot.vdm");
    ASSERT_EQ(rec.status, 0) << rec.out << rec.err;
    expect_no_fault(rec);
    long long score = -1;
    int levels = -1, games = -1;
    unsigned frames = 0;
    double peak = 0.0;
    size_t at = rec.out.find("autopilot: score");
    ASSERT_NE(at, std::string::npos) << rec.out;
    ASSERT_EQ(sscanf(rec.out.c_str() + at, "autopilot: score %lld, levels %d, games %d, frames %u, peak memory %lf MiB",
                     &score, &levels, &games, &frames, &peak),
              5)
        << rec.out;
    EXPECT_EQ(frames, 3600u);
    EXPECT_EQ(games, 1);
    // The pilot fights: attackers destroyed within the first minute.
    EXPECT_GT(score, 0);
    EXPECT_GT(peak, 1.0);
    EXPECT_NE(rec.out.find("demo: 3600 frames, 60.00 s, state "), std::string::npos) << rec.out;
    std::string recorded = state_of(rec.out, "demo: ");
    ASSERT_EQ(recorded.size(), 16u);

    test_run_result fast = vorn("--headless --timedemo pilot.vdm");
    ASSERT_EQ(fast.status, 0) << fast.out << fast.err;
    expect_no_fault(fast);
    EXPECT_NE(fast.out.find("timedemo: 3600 frames, "), std::string::npos) << fast.out;
    EXPECT_NE(fast.out.find(" fps (min "), std::string::npos) << fast.out;
    EXPECT_EQ(state_of(fast.out, "timedemo: "), recorded);

    test_run_result play = vorn("--headless --play-demo pilot.vdm");
    ASSERT_EQ(play.status, 0) << play.out << play.err;
    EXPECT_EQ(state_of(play.out, "play-demo: "), recorded);
    // Neither the pilot nor the replays signed the player's table.
    EXPECT_FALSE(test_file_exists(path("vorn.hs")));
}

TEST_F(DemoProcessTest, ForeignCutAndDamagedDemosAreRefusedNamingTheFile)
{
    test_run_result rec = vorn("--headless --autopilot 5 --seed 4 --record-demo good.vdm");
    ASSERT_EQ(rec.status, 0) << rec.err;
    std::string bytes = test_read_file(path("good.vdm"));
    ASSERT_GT(bytes.size(), 100u);

    std::string damaged = bytes;
    damaged[damaged.size() / 2] ^= 0x40;
    test_write_file(path("damaged.vdm"), damaged);
    test_write_file(path("cut.vdm"), bytes.substr(0, bytes.size() - 5));
    test_write_file(path("foreign.vdm"), "vorn_freeware_resource_folder = nothing\r\n");
    for (const char *name : {"damaged.vdm", "cut.vdm", "foreign.vdm", "missing.vdm"}) {
        test_run_result r = vorn(std::string("--headless --timedemo ") + name);
        EXPECT_NE(r.status, 0) << name;
        EXPECT_NE(r.err.find(name), std::string::npos) << name << ": " << r.err;
        EXPECT_EQ(r.out.find("timedemo:"), std::string::npos) << name;
        EXPECT_EQ(r.err.find("AddressSanitizer"), std::string::npos) << r.err;
    }
}

TEST_F(DemoProcessTest, MisusedOptionsAreRefusedBeforeTheGameStarts)
{
    EXPECT_EQ(vorn("--autopilot soon").status, 2);
    EXPECT_EQ(vorn("--autopilot -5").status, 2);
    EXPECT_EQ(vorn("--headless").status, 2);
    EXPECT_EQ(vorn("--play-demo a.vdm --record-demo b.vdm").status, 2);
    EXPECT_EQ(vorn("--seed 0 --autopilot 1").status, 2);
    EXPECT_FALSE(test_file_exists(path("vorn-log.txt")));
}

} // namespace
