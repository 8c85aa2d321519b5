// The video player: time and frames, the end of a video, decoding only on
// change, the picture drawn upright at the caller's rectangle, alpha blending,
// and files that cannot be played.
#include <string>

#include "corelib/log.h"
#include "frontend/gui_avi_player.h"
#include "gl_test_context.h"
#include "renderer/OGL_texture.h"
#include "test_support.h"
#include "video_testgen.h"

class GapTest : public GLTest {
  protected:
    void SetUp() override
    {
        GLTest::SetUp();
        dir = test_make_temp_dir();
        log = dir + "/log.txt";
        log_file_set(log.c_str());
        log_file_truncate();
    }
    void TearDown() override
    {
        gap_free(player);
        log_file_set("/dev/null");
        test_remove_tree(dir);
    }
    std::string make(const std::string &name, const video_testgen_spec &spec)
    {
        std::string p = dir + "/" + name;
        EXPECT_TRUE(video_testgen_write(p, spec)) << name;
        return p;
    }
    static video_testgen_spec big()
    {
        video_testgen_spec spec;
        spec.width = 192;
        spec.height = 96;
        return spec;
    }
    std::string dir, log;
    gap *player = nullptr;
};

// The frame number shown by the picture drawn at screen rectangle (x, y, w, h).
struct screen_rect {
    int x, y, w, h;
};
static void screen_pixel(void *user, int x, int y, uint8_t rgb[3])
{
    const screen_rect *r = static_cast<const screen_rect *>(user);
    gltest_rgba c = gltest_pixel(r->x + x, GLTEST_HEIGHT - 1 - (r->y + y));
    rgb[0] = c.r, rgb[1] = c.g, rgb[2] = c.b;
}
static int number_on_screen(int x, int y, int w, int h)
{
    screen_rect r = {x, y, w, h};
    return video_testgen_read_number_at(w, h, screen_pixel, &r);
}

TEST_F(GapTest, LoadShowsFrameZeroAndReportsTheVideo)
{
    ASSERT_TRUE(gap_load(&player, make("clip.avi", big()).c_str()));
    ASSERT_NE(player, nullptr);
    EXPECT_TRUE(gap_is_playing(player));
    EXPECT_EQ(player->bpp, 24u);
    EXPECT_EQ(player->width, 192u);
    EXPECT_EQ(player->height, 96u);
    EXPECT_FLOAT_EQ(player->max_time, 1.2f);
    ASSERT_NE(player->texture, nullptr);
    EXPECT_STREQ(player->texture->filename, GAP_TEXTURE_NAME);
    EXPECT_EQ(player->texture->xsize, 192u);
    gap_draw(player, 100, 50, 192, 96);
    EXPECT_EQ(number_on_screen(100, 50, 192, 96), 0);
}

TEST_F(GapTest, UpdateAdvancesTheWantedFrameAndDrawShowsIt)
{
    ASSERT_TRUE(gap_load(&player, make("clip.avi", big()).c_str()));
    EXPECT_EQ(gap_update(player, 0.5f), 12u);
    gap_draw(player, 0, 0, 192, 96);
    EXPECT_EQ(number_on_screen(0, 0, 192, 96), 12);
    // Upright: the red band is at the top of the rectangle.
    EXPECT_TRUE(gltest_colour_near(gltest_pixel(96, GLTEST_HEIGHT - 1 - 5), {255, 0, 0, 255}, 40));
    EXPECT_TRUE(gltest_colour_near(gltest_pixel(96, GLTEST_HEIGHT - 1 - 90), {0, 0, 0, 255}, 40) ||
                gltest_colour_near(gltest_pixel(96, GLTEST_HEIGHT - 1 - 90), {255, 255, 255, 255}, 40));
    // Scaled to the caller's rectangle.
    gltest_reset_state();
    EXPECT_EQ(gap_update(player, 0.3f), 20u);
    gap_draw(player, 10, 200, 384, 192);
    EXPECT_EQ(number_on_screen(10, 200, 384, 192), 20);
}

TEST_F(GapTest, DrawingTwiceWithoutAnUpdateDecodesNothing)
{
    ASSERT_TRUE(gap_load(&player, make("clip.avi", big()).c_str()));
    gap_update(player, 0.2f);
    gap_draw(player, 0, 0, 192, 96);
    uint64_t decoded = player->af->decoded_pictures;
    uint32_t seeks = player->af->seeks;
    gap_draw(player, 0, 0, 192, 96);
    EXPECT_EQ(player->af->decoded_pictures, decoded);
    EXPECT_EQ(player->af->seeks, seeks);
    EXPECT_EQ(number_on_screen(0, 0, 192, 96), 5);
    // An update within the same frame decodes nothing either.
    gap_update(player, 0.01f);
    gap_draw(player, 0, 0, 192, 96);
    EXPECT_EQ(player->af->decoded_pictures, decoded);
}

TEST_F(GapTest, TheEndStopsPlayingAndKeepsTheLastFrame)
{
    ASSERT_TRUE(gap_load(&player, make("clip.avi", big()).c_str()));
    for (int i = 0; i < 29; i++) {
        gap_update(player, 0.04f);
        EXPECT_TRUE(gap_is_playing(player)) << i;
        gap_draw(player, 0, 0, 192, 96);
    }
    EXPECT_EQ(number_on_screen(0, 0, 192, 96), 29);
    EXPECT_EQ(player->af->seeks, 0u);
    gap_update(player, 0.5f);
    EXPECT_FALSE(gap_is_playing(player));
    EXPECT_FLOAT_EQ(player->elapsed, player->max_time);
    gltest_reset_state();
    gap_draw(player, 0, 0, 192, 96);
    EXPECT_EQ(number_on_screen(0, 0, 192, 96), 29);
    gap_update(player, 3.0f);
    EXPECT_FLOAT_EQ(player->elapsed, player->max_time);
    gap_draw(player, 0, 0, 192, 96);
    EXPECT_EQ(number_on_screen(0, 0, 192, 96), 29);
}

TEST_F(GapTest, AVideoWithAlphaIsBlended)
{
    video_testgen_spec spec;
    spec.container = "mov";
    spec.codec = AV_CODEC_ID_QTRLE;
    spec.pix_fmt = AV_PIX_FMT_ARGB;
    spec.width = 95;
    spec.height = 41;
    spec.frames = 8;
    ASSERT_TRUE(gap_load(&player, make("alpha.mov", spec).c_str()));
    EXPECT_EQ(player->bpp, 32u);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    gap_draw(player, 0, 0, 190, 82);
    // The red band: half over blue on the left, opaque on the right.
    gltest_rgba left = gltest_pixel(20, GLTEST_HEIGHT - 1 - 4);
    gltest_rgba right = gltest_pixel(170, GLTEST_HEIGHT - 1 - 4);
    EXPECT_TRUE(gltest_colour_near(left, {128, 0, 127, 255}, 6)) << left;
    EXPECT_TRUE(gltest_colour_near(right, {255, 0, 0, 255}, 6)) << right;
}

TEST_F(GapTest, AFileThatCannotBePlayedIsReportedByName)
{
    std::string p = dir + "/intro.bik";
    test_write_file(p, "BIKi this is not a video at all");
    player = reinterpret_cast<gap *>(this); // must be cleared
    EXPECT_FALSE(gap_load(&player, p.c_str()));
    EXPECT_EQ(player, nullptr);
    EXPECT_NE(test_read_file(log).find(p), std::string::npos);
    int textures = OGL_texture_count();
    EXPECT_FALSE(gap_load(&player, (dir + "/none.avi").c_str()));
    EXPECT_EQ(OGL_texture_count(), textures);
}

TEST_F(GapTest, ReleaseFreesTheTexture)
{
    int textures = OGL_texture_count();
    ASSERT_TRUE(gap_load(&player, make("clip.avi", big()).c_str()));
    EXPECT_EQ(OGL_texture_count(), textures + 1);
    gap_free(player);
    player = nullptr;
    EXPECT_EQ(OGL_texture_count(), textures);
}
