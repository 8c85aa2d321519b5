// The hi-score screen drawn in a window: the background brightening with the
// fade-in, the new-game highlight while hovered, the cursor at the mouse.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "corelib/gfxloader.h"
#include "corelib/log.h"
#include "game/resource_folder.h"
#include "game/the_vorn_hi_score.h"
#include "gl_test_context.h"
#include "renderer/OGL_input.h"
#include "test_support.h"

namespace {

const gltest_rgba BACKGROUND = {200, 100, 50, 255};
const gltest_rgba NEW_GAME_HL = {0, 255, 0, 255};
const gltest_rgba STUDIO_HL = {0, 0, 255, 255};
const gltest_rgba CURSOR_NORMAL = {255, 255, 255, 255};
const gltest_rgba CURSOR_HI = {255, 0, 0, 255};

class HiScoreDrawTest : public GLTest {
  protected:
    void SetUp() override
    {
        GLTest::SetUp();
        dir = test_make_temp_dir();
        log_file_set((dir + "/log.txt").c_str());
        std::filesystem::create_directory(dir + "/hiscore");
        picture("hiscore background.tga", 800, 600, BACKGROUND, 24);
        picture("new_game_hl.tga", 124, 29, NEW_GAME_HL, 32);
        picture("qorvex_hl.tga", 197, 34, STUDIO_HL, 32);
        picture("cursor_norm.tga", 16, 16, CURSOR_NORMAL, 32);
        picture("cursor_hi.tga", 16, 16, CURSOR_HI, 32);
        resource_folder_set((dir + "/").c_str());
        vorn_hi_score_set_file((dir + "/vorn.hs").c_str());
        OGL_input_reset();
        vorn_hi_score_init();
    }
    void TearDown() override
    {
        vorn_hi_score_deinit();
        vorn_hi_score_set_file(nullptr);
        resource_folder_set("");
        test_remove_tree(dir);
    }
    void picture(const std::string &name, int w, int h, gltest_rgba c, int bpp)
    {
        std::vector<uint8_t> px;
        for (int i = 0; i < w * h; i++) {
            px.push_back(c.r);
            px.push_back(c.g);
            px.push_back(c.b);
            if (bpp == 32) px.push_back(c.a);
        }
        ASSERT_TRUE(gfxloader_save((dir + "/hiscore/" + name).c_str(), w, h, bpp, px.data()));
    }
    // A pixel in screen coordinates (y down).
    static gltest_rgba at(int x, int y) { return gltest_pixel(x, GLTEST_HEIGHT - 1 - y); }
    int32_t frame(float dt)
    {
        gltest_reset_state();
        return vorn_hi_score_loop(dt);
    }
    std::string dir;
};

TEST_F(HiScoreDrawTest, FadeHighlightAndCursor)
{
    ASSERT_EQ(frame(0.0f), HS_LOOP_CONTINUE);
    EXPECT_TRUE(gltest_colour_near(at(10, 300), {0, 0, 0, 255}));
    ASSERT_EQ(frame(0.25f), HS_LOOP_CONTINUE);
    EXPECT_TRUE(gltest_colour_near(at(10, 300), {100, 50, 25, 255}, 3));
    ASSERT_EQ(frame(0.25f), HS_LOOP_CONTINUE);
    ASSERT_EQ(vorn_hi_score_get_screen()->sub_state, HS_SUB_TABLE); // a score of 0 does not qualify
    EXPECT_TRUE(gltest_colour_near(at(10, 300), BACKGROUND));

    OGL_input_mouse_move_event(400, 480);
    frame(0.0f);
    EXPECT_TRUE(gltest_region_is(340, GLTEST_HEIGHT - 465 - 20, 50, 20, NEW_GAME_HL)); // GL rows count from the bottom
    EXPECT_TRUE(gltest_colour_near(at(405, 485), CURSOR_HI));
    EXPECT_TRUE(gltest_colour_near(at(320, 440), BACKGROUND)); // the studio highlight is not lit

    OGL_input_mouse_move_event(100, 100);
    frame(0.0f);
    EXPECT_TRUE(gltest_colour_near(at(345, 470), BACKGROUND));
    EXPECT_TRUE(gltest_colour_near(at(105, 105), CURSOR_NORMAL));

    OGL_input_mouse_move_event(400, 445);
    frame(0.0f);
    EXPECT_TRUE(gltest_colour_near(at(320, 440), STUDIO_HL));

    // Escape: the fade-out darkens the screen again, then the screen ends.
    OGL_input_tap_key(OGL_KEY_ESC);
    frame(0.0f);
    ASSERT_EQ(frame(0.25f), HS_LOOP_CONTINUE);
    EXPECT_TRUE(gltest_colour_near(at(10, 300), {100, 50, 25, 255}, 3));
    EXPECT_EQ(frame(0.25f), HS_LOOP_QUIT);
}

} // namespace
