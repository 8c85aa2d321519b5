// The frame recorder: F8 starts and stops, fixed frame step, numbered BMP
// pictures of what was on screen, faults on misuse.
#include <unistd.h>

#include <string>

#include "corelib/gfxloader.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "frontend/game_recorder.h"
#include "gl_test_context.h"
#include "renderer/OGL_input.h"
#include "renderer/OGL_window.h"
#include "test_support.h"

using ::testing::ExitedWithCode;

class RecorderTest : public GLTest {
  protected:
    void SetUp() override
    {
        GLTest::SetUp();
        dir = test_make_temp_dir();
        char buf[4096];
        ASSERT_NE(getcwd(buf, sizeof(buf)), nullptr);
        old_cwd = buf;
        ASSERT_EQ(chdir(dir.c_str()), 0);
        OGL_input_reset();
    }
    void TearDown() override
    {
        if (recorder_is_recording()) recorder_stop();
        EXPECT_EQ(chdir(old_cwd.c_str()), 0);
        test_remove_tree(dir);
    }
    // Shows a frame: left half red, right half blue, a green square at the
    // top-left corner of the screen.
    void show_frame()
    {
        glClearColor(1, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_SCISSOR_TEST);
        glScissor(400, 0, 400, 600);
        glClearColor(0, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glScissor(0, 550, 50, 50);
        glClearColor(0, 1, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
        OGL_swap_buffers();
    }
    std::string dir, old_cwd;
};

// The pixel (x, y) of a loaded picture, y = 0 the bottom row.
static gltest_rgba px(const uint8_t *p, int w, int x, int y)
{
    const uint8_t *q = p + (size_t(y) * w + x) * 3;
    return {q[0], q[1], q[2], 255};
}

TEST_F(RecorderTest, F8RecordsNumberedPicturesAtAFixedStep)
{
    show_frame();
    // no key: the frame time passes through
    EXPECT_FLOAT_EQ(recorder_frame(0.016f, OGL_KEY_F8), 0.016f);
    EXPECT_FALSE(recorder_is_recording());

    OGL_input_tap_key(OGL_KEY_F8);
    OGL_input_key_event(OGL_KEY_ESC, OGL_PRESS);
    EXPECT_FLOAT_EQ(recorder_frame(0.1f, OGL_KEY_F8), 0.1f); // starting frame: no picture yet
    EXPECT_TRUE(recorder_is_recording());
    EXPECT_FALSE(test_file_exists(dir + "/00__0000.bmp"));
    EXPECT_EQ(OGL_input_get_key(OGL_KEY_ESC), OGL_RELEASE); // the keyboard was cleared

    show_frame();
    EXPECT_FLOAT_EQ(recorder_frame(0.19f, OGL_KEY_F8), 0.04f);
    EXPECT_STREQ(recorder_get_current_filename(), ".\\00__0000.bmp");
    ASSERT_TRUE(test_file_exists(dir + "/00__0000.bmp"));
    show_frame();
    EXPECT_FLOAT_EQ(recorder_frame(0.001f, OGL_KEY_F8), 0.04f);
    EXPECT_TRUE(test_file_exists(dir + "/00__0001.bmp"));

    // The picture is what was on screen.
    int w = 0, h = 0, bpp = 0;
    uint8_t *pixels = nullptr;
    ASSERT_TRUE(gfxloader_load_smart((dir + "/00__0000.bmp").c_str(), &w, &h, &bpp, &pixels));
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    EXPECT_EQ(bpp, 24);
    EXPECT_EQ(px(pixels, w, 10, 10), (gltest_rgba{255, 0, 0, 255}));
    EXPECT_EQ(px(pixels, w, 790, 10), (gltest_rgba{0, 0, 255, 255}));
    EXPECT_EQ(px(pixels, w, 10, 590), (gltest_rgba{0, 255, 0, 255})); // top-left stays top-left
    EXPECT_EQ(px(pixels, w, 60, 590), (gltest_rgba{255, 0, 0, 255}));
    mem_free(pixels);

    // F8 again: this frame is still recorded, then the recording ends
    OGL_input_tap_key(OGL_KEY_F8);
    show_frame();
    EXPECT_FLOAT_EQ(recorder_frame(0.02f, OGL_KEY_F8), 0.04f);
    EXPECT_FALSE(recorder_is_recording());
    EXPECT_TRUE(test_file_exists(dir + "/00__0002.bmp"));
    EXPECT_FLOAT_EQ(recorder_frame(0.02f, OGL_KEY_F8), 0.02f);
    EXPECT_FALSE(test_file_exists(dir + "/00__0003.bmp"));

    // the next recording counts up
    OGL_input_tap_key(OGL_KEY_F8);
    recorder_frame(0.02f, OGL_KEY_F8);
    recorder_frame(0.02f, OGL_KEY_F8);
    EXPECT_TRUE(test_file_exists(dir + "/01__0000.bmp"));
}

TEST_F(RecorderTest, ChosenDirectoryAndRate)
{
    ASSERT_EQ(mkdir("film", 0755), 0);
    recorder_start("film\\", 10);
    show_frame();
    EXPECT_FLOAT_EQ(recorder_grab_frame(), 0.1f);
    std::string name = recorder_get_current_filename();
    ASSERT_EQ(name.substr(0, 5), "film\\");
    EXPECT_TRUE(test_file_exists(dir + "/film/" + name.substr(5)));
    recorder_stop();
}

TEST_F(RecorderTest, UnsavablePicturesAreLoggedAndRecordingGoesOn)
{
    log_file_set((dir + "/log.txt").c_str());
    log_file_truncate();
    recorder_start("missing-folder\\", 25);
    show_frame();
    EXPECT_FLOAT_EQ(recorder_grab_frame(), 0.04f);
    EXPECT_FLOAT_EQ(recorder_grab_frame(), 0.04f);
    EXPECT_TRUE(recorder_is_recording());
    std::string name = recorder_get_current_filename();
    EXPECT_EQ(name.substr(name.size() - 8), "0001.bmp"); // the frame number moved on
    EXPECT_NE(test_read_file(dir + "/log.txt").find("missing-folder"), std::string::npos);
    recorder_stop();
}

TEST_F(RecorderTest, ScaledWindowIsRecordedAtTheFixedSize)
{
    // a square logical screen shows as the window's middle 600 x 600: the
    // picture is that part, stretched to 800 x 600
    OGL_window_set_size(400, 400);
    recorder_start(".\\", 25);
    show_frame();
    recorder_grab_frame();
    std::string name = recorder_get_current_filename();
    recorder_stop();
    OGL_window_set_size(GLTEST_WIDTH, GLTEST_HEIGHT);
    int w = 0, h = 0, bpp = 0;
    uint8_t *pixels = nullptr;
    ASSERT_TRUE(gfxloader_load_smart(("./" + name.substr(2)).c_str(), &w, &h, &bpp, &pixels));
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    EXPECT_EQ(px(pixels, w, 10, 10), (gltest_rgba{255, 0, 0, 255}));
    EXPECT_EQ(px(pixels, w, 10, 590), (gltest_rgba{255, 0, 0, 255})); // the green corner is outside
    EXPECT_EQ(px(pixels, w, 790, 300), (gltest_rgba{0, 0, 255, 255}));
    // the middle of the window (x 400) lands in the middle of the picture
    EXPECT_EQ(px(pixels, w, 398, 300), (gltest_rgba{255, 0, 0, 255}));
    EXPECT_EQ(px(pixels, w, 402, 300), (gltest_rgba{0, 0, 255, 255}));
    mem_free(pixels);
}

TEST_F(RecorderTest, StartingTwiceOrStoppingIdleIsAFault)
{
    EXPECT_EXIT(
        {
            recorder_start(".\\", 25);
            recorder_start(".\\", 25);
        },
        ExitedWithCode(LOG_FAULT_EXIT_STATUS),
        "recorder_start\\(\\) at file .*: \"can't start, recording already started\"!");
    EXPECT_EXIT(recorder_stop(), ExitedWithCode(LOG_FAULT_EXIT_STATUS),
                "recorder_stop\\(\\) at file .*: \"can't end, recording not started\"!");
}
