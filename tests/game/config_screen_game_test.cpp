// F9 in the game: the configuration screen runs in the window over the
// statistics state, and what the player applies reaches the game at once:
// the file, the renderer's texture levels, the particle quantity. Escape in
// the screen ends only the screen.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "corelib/gfxloader.h"
#include "corelib/log.h"
#include "frontend/configuration.h"
#include "frontend/configuration_run.h"
#include "game/resource_folder.h"
#include "game/the_vorn.h"
#include "game/the_vorn_game.h"
#include "game/the_vorn_particles.h"
#include "gl_test_context.h"
#include "renderer/OGL_input.h"
#include "renderer/OGL_settings.h"
#include "test_support.h"

namespace {

// The screen's input, one entry per frame; Escape once they are used up.
struct screen_input {
    struct step {
        int x, y;
        bool down;
    };
    std::vector<step> steps;
    bool button = false;
    uint32_t frames = 0;
};

void feed(uint32_t frame, void *user)
{
    screen_input *in = static_cast<screen_input *>(user);
    in->frames = frame + 1;
    if (frame >= in->steps.size()) {
        OGL_input_tap_key(OGL_KEY_ESC);
        return;
    }
    const screen_input::step &s = in->steps[frame];
    OGL_input_mouse_move_event(s.x, s.y);
    if (s.down != in->button) OGL_input_mouse_button_event(OGL_MOUSE_BUTTON_LEFT, s.down ? OGL_PRESS : OGL_RELEASE);
    in->button = s.down;
}

class ConfigScreenGameTest : public GLTest {
  protected:
    void SetUp() override
    {
        GLTest::SetUp();
        dir = test_make_temp_dir();
        log_file_set((dir + "/log.txt").c_str());
        std::filesystem::create_directory(dir + "/config");
        for (const char *name : {"background_pic.tga", "checked.tga", "unchecked.tga", "ok_low.tga", "ok_high.tga",
                                 "abbrechen_low.tga", "abbrechen_high.tga", "cursor_norm.tga", "cursor_hot.tga"})
            picture(name, 80, 25);
        picture("slider.tga", 12, 16);
        resource_folder_set((dir + "/").c_str());
        config_set_file((dir + "/game_config.ini").c_str());
        config_set_defaults();
        config_set_change_word(0);
        OGL_render_settings_reset();
        OGL_input_reset();
        config_load_and_apply(); // writes the defaults
        vorn_particles_set_quantity(config_get_sps_quantity());
        vorn_set_headless(false);
        configuration_set_frame_hook(feed, &input);
        // The statistics state, entered.
        vorn_game_set_state(VORN_GAME_STATISTICS);
        ASSERT_TRUE(vorn_game_loop(0.0f));
    }
    void TearDown() override
    {
        configuration_set_frame_hook(nullptr, nullptr);
        vorn_game_deinit();
        config_set_file(nullptr);
        config_set_defaults();
        resource_folder_set("");
        test_remove_tree(dir);
    }
    void picture(const std::string &name, int w, int h)
    {
        std::vector<uint8_t> px(size_t(w * h * 4), 200);
        ASSERT_TRUE(gfxloader_save((dir + "/config/" + name).c_str(), w, h, 32, px.data()));
    }
    void move(int x, int y, bool down = false) { input.steps.push_back({x, y, down}); }
    std::string file() const { return test_read_file(dir + "/game_config.ini"); }

    std::string dir;
    screen_input input;
};

TEST_F(ConfigScreenGameTest, AppliedSettingsReachTheGameAtOnce)
{
    ASSERT_FLOAT_EQ(vorn_particles_get_quantity(), 1.0f);
    std::string before = file();
    ASSERT_EQ(before.size(), size_t(CONFIG_FILE_SIZE));
    // sps_quantity from its end (136 + 148) to a quarter; tex_size to its start.
    for (auto [y, from, to] : {std::tuple{315, 284, 136 + 37}, std::tuple{255, 284, 100}}) {
        move(from + 2, y + 2);
        move(from + 2, y + 2, true);
        move(to + 2, y + 2, true);
        move(to + 2, y + 2);
        move(10, 10);
    }
    move(120, 470); // apply
    move(120, 470, true);
    move(120, 470);
    OGL_input_tap_key(OGL_KEY_F9);
    ASSERT_TRUE(vorn_game_loop(0.0f));
    EXPECT_EQ(input.frames, input.steps.size()) << "apply closed the screen";
    EXPECT_EQ(vorn_game_get_state(), VORN_GAME_STATISTICS);

    EXPECT_NE(file(), before);
    EXPECT_FLOAT_EQ(config_get()->sps_quantity, 0.25f);
    EXPECT_FLOAT_EQ(config_get()->tex_size, 0.0f);
    EXPECT_FLOAT_EQ(vorn_particles_get_quantity(), 0.25f) << "the particles run with the new quantity";
    EXPECT_EQ(OGL_render_settings_get_texture_size_reduction(), 2) << "textures at the smallest size";
}

TEST_F(ConfigScreenGameTest, EscapeInTheScreenEndsOnlyTheScreen)
{
    std::string before = file();
    move(300, 300);
    OGL_input_tap_key(OGL_KEY_F9);
    ASSERT_TRUE(vorn_game_loop(0.0f));
    EXPECT_EQ(input.frames, 2u) << "one frame of input, then Escape";
    EXPECT_EQ(file(), before);
    ASSERT_TRUE(vorn_game_loop(0.0f));
    EXPECT_EQ(vorn_game_get_state(), VORN_GAME_STATISTICS) << "the screen's Escape did not end the statistics";
}

TEST_F(ConfigScreenGameTest, WithoutAWindowF9DoesNothing)
{
    vorn_set_headless(true);
    OGL_input_tap_key(OGL_KEY_F9);
    ASSERT_TRUE(vorn_game_loop(0.0f));
    vorn_set_headless(false);
    EXPECT_EQ(input.frames, 0u);
    EXPECT_EQ(OGL_input_get_key(OGL_KEY_F9), 0) << "the press is dropped";
    EXPECT_EQ(vorn_game_get_state(), VORN_GAME_STATISTICS);
}

} // namespace
