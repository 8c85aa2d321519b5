// The cockpit HUD drawn in a window from set values, read back at the
// places it draws: the sliders' heights, the counters' widths and tints, the
// damage marks blinking, the station alert, the sentinel icons, the missile
// target, the read-outs; the statistics screen; missing files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "corelib/gfxloader.h"
#include "corelib/log.h"
#include "corelib/view.h"
#include "frontend/fonts.h"
#include "game/resource_folder.h"
#include "game/the_vorn_game.h"
#include "game/the_vorn_ui.h"
#include "gl_test_context.h"
#include "test_support.h"

namespace {

#define SANS "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf"

const gltest_rgba BLACK = {0, 0, 0, 255};
const gltest_rgba WHITE = {255, 255, 255, 255};
const gltest_rgba SLIDER_TOP = {255, 0, 0, 255};
const gltest_rgba SLIDER_BOTTOM = {0, 255, 0, 255};
const gltest_rgba STATUS_TOP = {255, 255, 0, 255};
const gltest_rgba STATUS_BOTTOM = {0, 255, 255, 255};
const gltest_rgba BLUE = {0, 0, 255, 255};
const gltest_rgba STATION = {60, 60, 200, 255};
const gltest_rgba STATION_BLINK = {250, 40, 40, 255};
const gltest_rgba SENTINEL = {40, 200, 40, 255};
const gltest_rgba SENTINEL_DEAD = {200, 20, 20, 255};
const gltest_rgba SENTINEL_ATTACKED = {240, 160, 0, 255};
const gltest_rgba TARGET = {255, 0, 255, 255};
const gltest_rgba POINTER = {0, 128, 128, 255};
const gltest_rgba PAUSE = {90, 90, 90, 255};

gltest_rgba fighter_mark(int i) { return {uint8_t(100 + i * 10), 20, 220, 255}; }
gltest_rgba station_mark(int i) { return {20, uint8_t(100 + i * 10), 220, 255}; }

class HudDrawTest : public GLTest {
  protected:
    void SetUp() override
    {
        GLTest::SetUp();
        if (!test_file_exists(SANS)) GTEST_SKIP() << "no " SANS;
        if (!fonts_is_inited()) {
            ASSERT_TRUE(fonts_init());
        }
        dir = test_make_temp_dir();
        log_file_set((dir + "/log.txt").c_str());
        write_pictures();
        for (int f = 0; f < VORN_UI_FONTS; f++)
            std::filesystem::copy_file(SANS, dir + "/ui/" + vorn_ui_font_file(f),
                                       std::filesystem::copy_options::overwrite_existing);
        resource_folder_set((dir + "/").c_str());
    }
    void TearDown() override
    {
        vorn_ui_deinit();
        resource_folder_set("");
        if (!dir.empty()) test_remove_tree(dir);
    }
    // A picture of one colour, or of two: the top `split` rows (or left
    // `split` columns) in `a`, the rest in `b`.
    void picture(int i, int w, int h, gltest_rgba a, gltest_rgba b = {}, int split = 0, bool columns = false)
    {
        std::string name = vorn_ui_picture_name(i);
        for (char &c : name)
            if (c == '\\') c = '/';
        std::string path = dir + "/ui/" + name;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::vector<uint8_t> px;
        for (int y = h - 1; y >= 0; y--) // rows bottom-up
            for (int x = 0; x < w; x++) {
                gltest_rgba c = (columns ? x : y) < split ? a : (split ? b : a);
                px.insert(px.end(), {c.r, c.g, c.b, c.a});
            }
        ASSERT_TRUE(gfxloader_save(path.c_str(), w, h, 32, px.data()));
    }
    void write_pictures()
    {
        // Everything not looked at is a 2 x 2 dot in a colour no check uses.
        for (int i = 0; i < VORN_UI_PICTURES; i++) picture(i, 2, 2, {1, 2, 3, 255});
        picture(VORN_UI_PIC_ENERGY_SLIDER, 32, 29, SLIDER_TOP, SLIDER_BOTTOM, 14);
        picture(VORN_UI_PIC_STATUS_SLIDER, 32, 29, STATUS_TOP, STATUS_BOTTOM, 14);
        picture(VORN_UI_PIC_COUNTER_LEFT, 48, 32, BLUE, WHITE, 24, true);
        picture(VORN_UI_PIC_COUNTER_RIGHT, 48, 32, WHITE, BLUE, 24, true);
        for (int i = 0; i < VORN_UI_MARKS; i++) {
            picture(VORN_UI_PIC_FIGHTER_DAMAGE + i, 4, 4, fighter_mark(i));
            picture(VORN_UI_PIC_STATION_DAMAGE + i, 4, 4, station_mark(i));
        }
        picture(VORN_UI_PIC_STATION, 96, 96, STATION);
        picture(VORN_UI_PIC_STATION_BLINK, 96, 96, STATION_BLINK);
        picture(VORN_UI_PIC_SENTINEL, 24, 24, SENTINEL);
        picture(VORN_UI_PIC_SENTINEL_DEAD, 24, 24, SENTINEL_DEAD);
        picture(VORN_UI_PIC_SENTINEL_ATTACKED, 24, 24, SENTINEL_ATTACKED);
        picture(VORN_UI_PIC_MISSILE_TARGET, 32, 32, TARGET);
        picture(VORN_UI_PIC_POINTER, 32, 32, POINTER);
        picture(VORN_UI_PIC_PAUSE, 400, 200, PAUSE);
    }
    static gltest_rgba at(int x, int y) { return gltest_pixel(x, GLTEST_HEIGHT - 1 - y); }
    // Screen rectangle (y down) all of one colour.
    static ::testing::AssertionResult region(int x, int y, int w, int h, gltest_rgba c, int tol = 2)
    {
        return gltest_region_is(x, GLTEST_HEIGHT - y - h, w, h, c, tol);
    }
    // A frame: the state advanced by dt, then the HUD drawn.
    void frame(float dt, const view *camera = nullptr)
    {
        gltest_reset_state();
        vorn_ui_step(dt, &v);
        vorn_ui_draw(&v, camera);
    }
    vorn_ui_values full_values()
    {
        vorn_ui_values r{};
        r.fighter_life = r.station_life = r.engine = r.lasers = 1.0f;
        for (int i = 0; i < VORN_UI_SENTINELS; i++) r.sentinel_alive[i] = 1;
        r.level = 1;
        r.mouse_x = 400;
        r.mouse_y = 100;
        return r;
    }
    std::string dir;
    vorn_ui_values v{};
};

TEST_F(HudDrawTest, AllPicturesShareOneAtlas)
{
    ASSERT_TRUE(vorn_ui_init());
    EXPECT_EQ(vorn_ui_pictures_loaded(), VORN_UI_PICTURES);
    EXPECT_EQ(vorn_ui_pictures_in_atlas(), VORN_UI_PICTURES);
    for (int f = 0; f < VORN_UI_FONTS; f++) EXPECT_NE(vorn_ui_get_font(f), nullptr) << f;
    v = full_values();
    frame(0.0f);
    // One batch of pictures and the three read-outs.
    EXPECT_EQ(vorn_ui_last_batches(), 4);
}

TEST_F(HudDrawTest, SlidersShowTheirValueFromTheBottom)
{
    ASSERT_TRUE(vorn_ui_init());
    v = full_values();
    v.channel_mod = 0.5f;  // 14 pixels: only the picture's lower part
    v.station_life = 1.0f; // 29 pixels: the whole picture
    frame(0.0f);
    EXPECT_TRUE(region(VORN_UI_ENERGY_SLIDER_X, 580 - 14, 32, 14, SLIDER_BOTTOM));
    EXPECT_TRUE(region(VORN_UI_ENERGY_SLIDER_X, 580 - 16, 32, 2, BLACK));
    EXPECT_TRUE(region(VORN_UI_ENERGY_SLIDER_X, 580, 32, 1, BLACK));
    EXPECT_TRUE(region(VORN_UI_STATUS_SLIDER_X, 580 - 29, 32, 14, STATUS_TOP));
    EXPECT_TRUE(region(VORN_UI_STATUS_SLIDER_X, 580 - 15, 32, 15, STATUS_BOTTOM));
    // (the station's picture covers the slot's last columns from x 691)
    EXPECT_TRUE(region(VORN_UI_STATUS_SLIDER_X, 580 - 30, 29, 1, BLACK));

    v.channel_mod = 0.0f;
    v.station_life = 0.2f; // 5 pixels
    frame(0.0f);
    EXPECT_TRUE(region(VORN_UI_ENERGY_SLIDER_X, 551, 32, 29, BLACK));
    EXPECT_TRUE(region(VORN_UI_STATUS_SLIDER_X, 575, 32, 5, STATUS_BOTTOM));
    EXPECT_TRUE(region(VORN_UI_STATUS_SLIDER_X, 551, 29, 24, BLACK));
}

TEST_F(HudDrawTest, PicturesOfAnotherSizeAreFittedToTheirPlaces)
{
    picture(VORN_UI_PIC_ENERGY_SLIDER, 16, 58, SLIDER_TOP, SLIDER_BOTTOM, 28);
    picture(VORN_UI_PIC_COUNTER_LEFT, 96, 64, BLUE, WHITE, 48, true);
    ASSERT_TRUE(vorn_ui_init());
    v = full_values();
    v.channel_mod = 0.5f; // the lower 14 / 29 of the picture onto 32 x 14
    v.engine = 0.5f;      // the right half of the picture onto 24 x 32
    frame(0.0f);
    EXPECT_TRUE(region(VORN_UI_ENERGY_SLIDER_X, 580 - 14, 32, 14, SLIDER_BOTTOM));
    EXPECT_TRUE(region(VORN_UI_ENERGY_SLIDER_X, 580 - 16, 32, 2, BLACK));
    EXPECT_TRUE(region(337 - 24, VORN_UI_COUNTER_Y, 24, 32, {128, 179, 128, 255}));
    EXPECT_TRUE(region(337 - 26, VORN_UI_COUNTER_Y, 2, 32, BLACK));
}

TEST_F(HudDrawTest, APictureTooWideForTheAtlasKeepsItsOwnTexture)
{
    picture(VORN_UI_PIC_BLOCK, 3000, 10, WHITE);
    ASSERT_TRUE(vorn_ui_init());
    EXPECT_EQ(vorn_ui_pictures_loaded(), VORN_UI_PICTURES);
    EXPECT_EQ(vorn_ui_pictures_in_atlas(), VORN_UI_PICTURES - 1);
    v = full_values();
    frame(0.0f);
    EXPECT_TRUE(region(5, 490, 686, 10, WHITE)); // (the station's picture over it from x 691)
    EXPECT_TRUE(gltest_colour_near(at(VORN_UI_SENTINEL_X + 12, VORN_UI_SENTINEL_Y0 + 12), SENTINEL));
    EXPECT_EQ(vorn_ui_last_batches(), 2 + 3); // its own draw, then the atlas's; the read-outs
}

TEST_F(HudDrawTest, CountersGrowOutwardsTintedByTheirEnergy)
{
    ASSERT_TRUE(vorn_ui_init());
    v = full_values();
    v.engine = 0.5f;  // 24 pixels left of x 337: the picture's right half, white
    v.lasers = 0.25f; // 12 pixels from x 469: the picture's left columns, white
    frame(0.0f);
    const int y = VORN_UI_COUNTER_Y;
    EXPECT_TRUE(region(337 - 24, y, 24, 32, {128, 179, 128, 255}));
    EXPECT_TRUE(region(337 - 26, y, 2, 32, BLACK));
    EXPECT_TRUE(region(337, y, 2, 32, BLACK));
    EXPECT_TRUE(region(469, y, 12, 32, {191, 179, 64, 255}));
    EXPECT_TRUE(region(481, y, 2, 32, BLACK));
    EXPECT_EQ(y + VORN_UI_COUNTER_HEIGHT, 600); // the whole bar on the screen

    v.engine = 1.0f; // full: both halves, tint (0, 0.7, 1)
    v.lasers = 0.0f; // empty: nothing
    frame(0.0f);
    EXPECT_TRUE(region(289, y, 24, 32, {0, 0, 255, 255}));
    EXPECT_TRUE(region(313, y, 24, 32, {0, 179, 255, 255}));
    EXPECT_TRUE(region(469, y, 48, 32, BLACK));
}

TEST_F(HudDrawTest, DamageMarksBlinkAndStayUntilANewGame)
{
    ASSERT_TRUE(vorn_ui_init());
    v = full_values();
    v.fighter_life = 21.0f / 30.0f; // 70 %: marks 1 to 3
    v.station_life = 0.4f;          // marks 1 to 6
    auto fighter_mark_shown = [](int i) {
        int32_t x, y;
        vorn_ui_fighter_mark_position(i, &x, &y);
        return region(x, y, 4, 4, fighter_mark(i));
    };
    auto station_mark_shown = [](int i) {
        int32_t x, y;
        vorn_ui_station_mark_position(i, &x, &y);
        return region(x, y, 4, 4, station_mark(i));
    };
    frame(0.1f); // blink off
    for (int i = 0; i < VORN_UI_MARKS; i++) EXPECT_FALSE(fighter_mark_shown(i)) << i;
    frame(0.3f); // 0.4 s: on
    for (int i = 0; i < 3; i++) EXPECT_TRUE(fighter_mark_shown(i)) << i;
    for (int i = 3; i < VORN_UI_MARKS; i++) EXPECT_FALSE(fighter_mark_shown(i)) << i;
    for (int i = 0; i < 6; i++) EXPECT_TRUE(station_mark_shown(i)) << i;
    for (int i = 6; i < VORN_UI_MARKS; i++) EXPECT_FALSE(station_mark_shown(i)) << i;

    // Healed: the marks stay.
    v.fighter_life = v.station_life = 1.0f;
    frame(0.25f); // 0.65 s: the timer wraps, off
    EXPECT_FALSE(fighter_mark_shown(0));
    EXPECT_LT(vorn_ui_get_state()->blink_timer, 0.01f);
    frame(0.35f); // on again
    for (int i = 0; i < 3; i++) EXPECT_TRUE(fighter_mark_shown(i)) << i;
    EXPECT_TRUE(station_mark_shown(2)); // the third station mark is on the screen too

    vorn_ui_clear_counters(); // a new game
    frame(0.0f);
    EXPECT_TRUE(vorn_ui_get_state()->blink);
    for (int i = 0; i < VORN_UI_MARKS; i++) {
        EXPECT_FALSE(fighter_mark_shown(i)) << i;
        EXPECT_FALSE(station_mark_shown(i)) << i;
    }
}

TEST_F(HudDrawTest, StationAlertBlinksThreeTimes)
{
    ASSERT_TRUE(vorn_ui_init());
    v = full_values();
    const int x = VORN_UI_STATION_X + 40, y = VORN_UI_STATION_Y + 20;
    frame(0.0f);
    EXPECT_TRUE(gltest_colour_near(at(x, y), STATION));
    vorn_ui_station_alert();
    std::vector<bool> shown;
    for (int i = 0; i < 8; i++) {
        frame(i == 0 ? 0.0f : VORN_UI_ALERT_STEP + 0.001f);
        shown.push_back(gltest_colour_near(at(x, y), STATION_BLINK));
        if (!shown.back()) {
            EXPECT_TRUE(gltest_colour_near(at(x, y), STATION)) << i;
        }
    }
    EXPECT_EQ(shown, (std::vector<bool>{true, false, true, false, true, false, false, false}));
    EXPECT_FALSE(vorn_ui_get_state()->alert);
}

TEST_F(HudDrawTest, SentinelIconsForDeadAndAttackedSentinels)
{
    ASSERT_TRUE(vorn_ui_init());
    v = full_values();
    v.sentinel_alive[1] = 0;    // dead
    v.sentinel_attacked[4] = 1; // alive with a target
    v.sentinel_alive[6] = 0;    // dead with a target left over: dead wins
    v.sentinel_attacked[6] = 1;
    auto slot = [](int i) { return at(VORN_UI_SENTINEL_X + 12, VORN_UI_SENTINEL_Y0 + VORN_UI_SENTINEL_STEP * i + 12); };
    frame(0.4f); // blink on
    for (int i = 0; i < VORN_UI_SENTINELS; i++) {
        gltest_rgba want = i == 1 || i == 6 ? SENTINEL_DEAD : i == 4 ? SENTINEL_ATTACKED : SENTINEL;
        EXPECT_TRUE(gltest_colour_near(slot(i), want)) << i;
    }
    frame(0.25f); // off: the attacked one is plain, the dead stay dead
    EXPECT_TRUE(gltest_colour_near(slot(4), SENTINEL));
    EXPECT_TRUE(gltest_colour_near(slot(1), SENTINEL_DEAD));
}

TEST_F(HudDrawTest, MissileTargetMarkerAndPointer)
{
    ASSERT_TRUE(vorn_ui_init());
    view *cam = view_create();
    ASSERT_NE(cam, nullptr);
    view_set_position(cam, {0, 0, -10});
    view_set_target(cam, {0, 0, 0});
    view_set_up(cam, {0, 1, 0});
    view_set_near_far(cam, 1.0f, 100.0f);
    view_set_fov(cam, 1.0f);
    ASSERT_TRUE(view_compute_view_matrix(cam));
    ASSERT_TRUE(view_compute_projection(cam));
    v = full_values();
    v.mouse_x = 200;
    v.mouse_y = 150;
    v.has_target = 1;
    v.target_position = {0, 0, 0}; // the centre: (400, 300) with y up
    float px = 0, py = 0;
    ASSERT_TRUE(vorn_ui_project(cam, v.target_position, &px, &py));
    EXPECT_NEAR(px, 400.0f, 0.01f);
    EXPECT_NEAR(py, 300.0f, 0.01f);
    frame(0.0f, cam);
    EXPECT_TRUE(region(384 + 2, 272 + 2, 28, 28, TARGET));
    EXPECT_TRUE(region(184 + 2, 134 + 2, 28, 28, POINTER));

    // Behind the viewer: no marker.
    v.target_position = {0, 0, -20};
    EXPECT_FALSE(vorn_ui_project(cam, v.target_position, &px, &py));
    frame(0.0f, cam);
    EXPECT_EQ(gltest_count_pixels(0, 0, 800, 600, TARGET), 0);
    view_free(cam);
}

TEST_F(HudDrawTest, ReadOutsAndStatisticsText)
{
    ASSERT_TRUE(vorn_ui_init());
    v = full_values();
    v.score = 8888;
    frame(0.0f);
    // The score is centred on x 50 above its baseline at y 591.
    int left = gltest_count_pixels(20, GLTEST_HEIGHT - 592, 30, 25, WHITE, 60);
    int right = gltest_count_pixels(50, GLTEST_HEIGHT - 592, 30, 25, WHITE, 60);
    EXPECT_GT(left, 20);
    EXPECT_GT(right, 20);
    EXPECT_LT(std::abs(left - right), (left + right) / 4);

    gltest_reset_state();
    *vorn_get_level_statistics() = {10, 3, 0, 0};
    vorn_ui_draw_statistics(2);
    EXPECT_GT(gltest_count_pixels(100, GLTEST_HEIGHT - 201, 300, 20, WHITE, 60), 50); // the title
    EXPECT_GT(gltest_count_pixels(100, GLTEST_HEIGHT - 316, 300, 20, WHITE, 60), 50); // press space
    EXPECT_EQ(gltest_count_pixels(0, 0, 95, 600, WHITE, 60), 0);                      // nothing left of x 100
    *vorn_get_level_statistics() = {};
}

TEST_F(HudDrawTest, PausePicture)
{
    ASSERT_TRUE(vorn_ui_init());
    vorn_ui_draw_pause_picture();
    EXPECT_TRUE(region(200, 200, 400, 200, PAUSE));
    EXPECT_TRUE(region(198, 200, 2, 200, BLACK));
}

TEST_F(HudDrawTest, MissingPictureAndFontAreNamedAndLeftOut)
{
    std::filesystem::remove(dir + "/ui/sentinel/sentinel_dead.tga");
    std::filesystem::remove(dir + "/ui/freon.ttf");
    test_write_file(dir + "/ui/station/station_pic.tga", "not a picture");
    ASSERT_TRUE(vorn_ui_init());
    EXPECT_EQ(vorn_ui_pictures_loaded(), VORN_UI_PICTURES - 2);
    EXPECT_EQ(vorn_ui_get_font(VORN_UI_FONT_MAIN_18), nullptr);
    EXPECT_EQ(vorn_ui_get_font(VORN_UI_FONT_MAIN_10), nullptr);
    EXPECT_NE(vorn_ui_get_font(VORN_UI_FONT_BIG), nullptr);
    std::string log = test_read_file(dir + "/log.txt");
    EXPECT_NE(log.find("sentinel_dead.tga"), std::string::npos) << log;
    EXPECT_NE(log.find("station_pic.tga"), std::string::npos) << log;
    EXPECT_NE(log.find("freon.ttf"), std::string::npos) << log;

    v = full_values();
    v.sentinel_alive[0] = 0;
    frame(0.0f);
    // The rest still draws: the sentinel icon without its dead mark.
    EXPECT_TRUE(gltest_colour_near(at(VORN_UI_SENTINEL_X + 12, VORN_UI_SENTINEL_Y0 + 12), SENTINEL));
    EXPECT_EQ(vorn_ui_last_batches(), 1); // no read-out font
}

} // namespace
