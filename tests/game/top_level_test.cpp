#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>

#include "game/the_vorn.h"
#include "test_support.h"

namespace {
int inits, loops, deinits;
bool init_result;
int32_t state_after_init;

bool fake_init(uint8_t)
{
    inits++;
    if (init_result) vorn_set_top_state(state_after_init);
    return init_result;
}
bool fake_loop()
{
    loops++;
    return false;
}
void fake_deinit() { deinits++; }
const vorn_top_level_steps FAKE = {fake_init, fake_loop, fake_deinit};

void run(bool result, int32_t next)
{
    inits = loops = deinits = 0;
    init_result = result;
    state_after_init = next;
    EXPECT_EQ(vorn_run_top_level(&FAKE, 1), 1);
}
} // namespace

TEST(TopLevel, RunsInitLoopAndDeinitOnce)
{
    run(true, VORN_TOP_RUN);
    EXPECT_EQ(inits, 1);
    EXPECT_EQ(loops, 1);
    EXPECT_EQ(deinits, 1);
}

TEST(TopLevel, FailedInitEndsWithoutDeinit)
{
    run(false, VORN_TOP_RUN);
    EXPECT_EQ(inits, 1);
    EXPECT_EQ(loops, 0);
    EXPECT_EQ(deinits, 0);
}

TEST(TopLevel, ShutdownStateDeinitsWithoutFrames)
{
    run(true, VORN_TOP_SHUTDOWN);
    EXPECT_EQ(loops, 0);
    EXPECT_EQ(deinits, 1);
}

TEST(TopLevel, UnknownStateIsAFault)
{
    EXPECT_EXIT(run(true, 7), ::testing::ExitedWithCode(3),
                "kickoff_vorn_freeware\\(\\) BUG at file \"\\.\\\\the_vorn\", line 172!");
}

TEST(TopLevel, FrameTimeIsClamped)
{
    EXPECT_DOUBLE_EQ(vorn_clamp_frame_time(1.5), 0.2);
    EXPECT_DOUBLE_EQ(vorn_clamp_frame_time(0.2), 0.2);
    EXPECT_DOUBLE_EQ(vorn_clamp_frame_time(0.016), 0.016);
}

// The real program, copied into a scratch folder and started there.
class VornProgramTest : public TempDirTest {
  protected:
    int start(const std::string &args = "")
    {
        std::filesystem::copy_file(VORN_BIN, path("vorn"));
        std::string cmd = "cd '" + dir + "' && ./vorn " + args + " >out.txt 2>err.txt";
        int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST_F(VornProgramTest, WithoutAppIniItLogsTheBannerTheReportAndFails)
{
    EXPECT_EQ(start(), 3);
    std::string log = test_read_file(path("vorn-log.txt"));
    EXPECT_EQ(log.rfind("[INFO]: \n\n VVVORN initializing..\n"
                        "[INFO]: powered by Morphane Oxbelt Freeware Edition..\n"
                        "[INFO]: _________________________________\n"
                        "[INFO]: vorn_init(): entered.\n",
                        0),
              0u);
    EXPECT_NE(
        log.find("[WARNING]: init_resource_folder() at file \".\\resource_folder\", line 32: \"Can't find or open "
                 "app.ini\"!\n"),
        std::string::npos);
    // The fault report is the last line.
    const std::string bug = "[CRITICAL]: vorn_init() BUG at file \".\\the_vorn\", line 189!\n";
    ASSERT_GE(log.size(), bug.size());
    EXPECT_EQ(log.substr(log.size() - bug.size()), bug);
    EXPECT_NE(test_read_file(path("err.txt")).find("!!MESSAGE!! " + bug), std::string::npos);
}

TEST_F(VornProgramTest, WithAppIniItReadsTheFolderAndStopsAtTheMissingScene)
{
    // The default data without its scene file, linked file by file.
    const std::filesystem::path data = VORN_BINARY_DIR "/data";
    if (!std::filesystem::exists(data / "vorn.quox2")) GTEST_SKIP() << "no default data: build the 'data' target first";
    std::filesystem::create_directory(path("data"));
    for (const auto &entry : std::filesystem::directory_iterator(data))
        if (entry.path().filename() != "vorn.quox2")
            std::filesystem::create_symlink(entry.path(), path("data") + "/" + entry.path().filename().string());
    test_write_file(path("vorn-log.txt"), "old contents\n");
    test_write_file(path("app.ini"), "vorn_freeware_resource_folder = " + dir + "/data/\r\n");
    int status = start("--windowed");
    std::string log = test_read_file(path("vorn-log.txt"));
    EXPECT_EQ(log.find("old contents"), std::string::npos);
    EXPECT_NE(log.find("resource folder \"" + dir + "/data/\""), std::string::npos);
    if (log.find("OGL_window_create() BUG") != std::string::npos) {
        // No display: a window that cannot open ends the program with a fault report.
        EXPECT_EQ(status, 3);
    } else {
        // A failed load ends the program with 1 and without vorn_deinit.
        EXPECT_EQ(status, 1);
        EXPECT_NE(log.find("Open file " + dir + "/data/vorn.quox2 failed"), std::string::npos) << log;
        EXPECT_EQ(log.find("vorn_deinit"), std::string::npos);
    }
}

TEST_F(VornProgramTest, AnEmptyResourceFolderStopsAtTheSplashFontNamingIt)
{
    std::filesystem::create_directory(path("data"));
    test_write_file(path("app.ini"), "vorn_freeware_resource_folder = " + dir + "/data/\r\n");
    int status = start("--windowed");
    std::string log = test_read_file(path("vorn-log.txt"));
    if (log.find("OGL_window_create() BUG") != std::string::npos) GTEST_SKIP() << "no display";
    EXPECT_EQ(status, 3);
    EXPECT_NE(log.find("no splash font \"" + dir + "/data/arialbd.ttf\" found"), std::string::npos) << log;
}

TEST_F(VornProgramTest, OptionsForDesktopUse)
{
    EXPECT_EQ(start("--help"), 0);
    EXPECT_NE(test_read_file(path("out.txt")).find("usage: vorn"), std::string::npos);
    EXPECT_FALSE(test_file_exists(path("vorn-log.txt")));
    std::filesystem::remove(path("vorn"));
    EXPECT_EQ(start("--bogus"), 2);
}
