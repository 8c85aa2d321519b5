// The whole game on the default data: started in a window, F8 records a few
// frames, Escape skips the title and the game shuts down cleanly.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>

#include "corelib/gfxloader.h"
#include "corelib/mem.h"
#include "test_support.h"

// Frames 40..43 of the intro are recorded, Escape skips it; the title, the
// level and the hi-score screen are recorded likewise and each left with
// Escape (the hi-score screen's Escape quits).
static const std::string SMOKE_KEYS = "40:F8 44:F8 60:ESC 100:F8 104:F8 140:ESC 200:F8 204:F8 240:ESC "
                                      "290:F8 294:F8 320:ESC";

class SmokeTest : public TempDirTest {
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        data = std::string(VORN_BINARY_DIR) + "/data/";
        if (!test_file_exists(data + "vorn.quox2")) GTEST_SKIP() << "no default data: build the 'data' target first";
        if (!getenv("DISPLAY")) GTEST_SKIP() << "no display: run under xvfb-run";
        std::filesystem::copy_file(VORN_BIN, path("vorn"));
        test_write_file(path("app.ini"), "vorn_freeware_resource_folder = " + data + "\r\n");
        loader_up = gfxloader_init();
    }
    void TearDown() override
    {
        if (loader_up) gfxloader_deinit();
        TempDirTest::TearDown();
    }
    int run(const std::string &env)
    {
        // In sanitizer builds the whole program is checked for memory errors but
        // not for leaks: the GL driver is unloaded when the window library shuts
        // down, and its one-time allocations can then no longer be told apart
        // from ours. The modules' own suites check leaks.
        const char *asan = getenv("ASAN_OPTIONS");
        std::string asan_options = std::string(asan ? asan : "") + (asan && *asan ? ":" : "") + "detect_leaks=0";
        std::string cmd = "cd '" + dir + "' && ASAN_OPTIONS='" + asan_options + "' " + env +
                          " ALSOFT_DRIVERS=null ./vorn --windowed --keys '" + SMOKE_KEYS + "' >out.txt 2>err.txt";
        int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Share of pixels of a recorded frame that are not black.
    double lit_share(const std::string &name)
    {
        int w = 0, h = 0, bpp = 0;
        uint8_t *pixels = nullptr;
        if (!gfxloader_load_smart(path(name).c_str(), &w, &h, &bpp, &pixels)) return -1.0;
        EXPECT_EQ(w, 800);
        EXPECT_EQ(h, 600);
        EXPECT_EQ(bpp, 24);
        size_t lit = 0;
        for (int i = 0; i < w * h; i++)
            if (pixels[i * 3] + pixels[i * 3 + 1] + pixels[i * 3 + 2] > 30) lit++;
        mem_free(pixels);
        return double(lit) / double(w * h);
    }
    // Four frames recorded in each state the keys pass through.
    void expect_clean_run_with_frames(const std::string &log)
    {
        EXPECT_NE(log.find("vorn_init(): completed.."), std::string::npos) << log;
        EXPECT_NE(log.find("inserted chances for level: 1"), std::string::npos);
        EXPECT_NE(log.find("vorn_deinit(): completed."), std::string::npos);
        EXPECT_EQ(log.find("BUG at file"), std::string::npos);
        std::string err = test_read_file(path("err.txt"));
        EXPECT_EQ(err.find("ERROR: AddressSanitizer"), std::string::npos) << err;
        EXPECT_EQ(err.find("runtime error"), std::string::npos) << err;
        // The intro video (it fades in from black, and how far it has come by
        // frame 40 depends on the frame rate: only recorded), the title
        // cinematic, the level through the chase camera, the hi-score screen.
        EXPECT_NE(log.find("avi_open(): "), std::string::npos) << "the intro video was opened";
        const double least_lit[4] = {-1.0, 0.2, 0.2, 0.2};
        for (int rec = 0; rec < 4; rec++) {
            for (int i = 0; i < 4; i++) {
                char name[32];
                snprintf(name, sizeof(name), "%02d__%04d.bmp", rec, i);
                ASSERT_TRUE(test_file_exists(path(name))) << name;
                EXPECT_GT(lit_share(name), least_lit[rec]) << name;
            }
            char fifth[32];
            snprintf(fifth, sizeof(fifth), "%02d__0004.bmp", rec);
            EXPECT_FALSE(test_file_exists(path(fifth)));
        }
        EXPECT_FALSE(test_file_exists(path("04__0000.bmp")));
        EXPECT_TRUE(test_file_exists(path("game_config.ini"))) << "a first start writes the player's settings";
    }
    std::string data;
    bool loader_up = false;
};

TEST_F(SmokeTest, EscapeLeadsFromTheIntroThroughTitleAndLevelToTheHiScoresAndOut)
{
    EXPECT_EQ(run(""), 0);
    std::string log = test_read_file(path("vorn-log.txt"));
    EXPECT_NE(log.find("arb fp & vp loaded and initialized successfully."), std::string::npos);
    expect_clean_run_with_frames(log);
}

TEST_F(SmokeTest, BoardWithoutGpuProgramsStillDraws)
{
    EXPECT_EQ(run("MESA_EXTENSION_OVERRIDE='-GL_ARB_fragment_program -GL_ARB_vertex_program'"), 0);
    std::string log = test_read_file(path("vorn-log.txt"));
    EXPECT_NE(log.find("continuing without VP & FP support."), std::string::npos);
    expect_clean_run_with_frames(log);
}
