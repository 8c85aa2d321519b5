// The configuration screen in a window, driven frame by frame through the
// input layer: knobs dragged, the checkbox and the buttons clicked, Escape
// typed; what the file, the change word and the applied settings say after.
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "corelib/gfxloader.h"
#include "corelib/log.h"
#include "frontend/configuration.h"
#include "frontend/configuration_run.h"
#include "frontend/configuration_screen.h"
#include "frontend/gui.h"
#include "frontend/gui_textures.h"
#include "gl_test_context.h"
#include "renderer/OGL_input.h"
#include "renderer/OGL_settings.h"
#include "renderer/OGL_window.h"
#include "test_support.h"

namespace {

const gltest_rgba BACKGROUND = {40, 60, 90, 255}, KNOB = {250, 250, 250, 255}, CHECKED = {0, 200, 0, 255},
                  UNCHECKED = {200, 0, 0, 255}, OK = {0, 0, 220, 255}, OK_HOT = {0, 220, 220, 255},
                  CURSOR = {255, 255, 0, 255};

// Picture sizes: the knob 12 x 16, the checkbox 20 x 20, the buttons 80 x 25.
#define KNOB_W 12
#define KNOB_H 16
#define TRACK_X 136
#define TRACK_LENGTH 148

void write_picture(const std::string &path, int w, int h, gltest_rgba c, int bpp)
{
    std::vector<uint8_t> px;
    for (int i = 0; i < w * h; i++) {
        px.push_back(c.r);
        px.push_back(c.g);
        px.push_back(c.b);
        if (bpp == 32) px.push_back(c.a);
    }
    ASSERT_TRUE(gfxloader_save(path.c_str(), w, h, bpp, px.data())) << path;
}

// What the mouse and the keyboard do in one frame of the screen.
struct frame_input {
    int x, y;
    bool down;
    int key; // tapped this frame (0: none)
};

// Fed to the screen by its frame hook; after the script Escape is typed, so
// a screen that missed its button still ends.
struct input_script {
    std::vector<frame_input> frames;
    bool button = false;
    uint32_t frames_run = 0;
};

void feed(uint32_t frame, void *user)
{
    input_script *s = static_cast<input_script *>(user);
    s->frames_run = frame + 1;
    if (frame >= s->frames.size()) {
        OGL_input_tap_key(OGL_KEY_ESC);
        return;
    }
    const frame_input &f = s->frames[frame];
    OGL_input_mouse_move_event(f.x, f.y);
    if (f.down != s->button) OGL_input_mouse_button_event(OGL_MOUSE_BUTTON_LEFT, f.down ? OGL_PRESS : OGL_RELEASE);
    s->button = f.down;
    if (f.key) OGL_input_tap_key(f.key);
}

// The picture of one frame, read back just before it is shown.
struct frame_capture {
    uint32_t frame = 0, want = 0;
    std::vector<uint8_t> rgba;
};
frame_capture capture;

void capture_before_swap()
{
    if (capture.frame++ == capture.want) capture.rgba = gltest_read_rgba(0, 0, GLTEST_WIDTH, GLTEST_HEIGHT);
}

gltest_rgba captured(int x, int y) // overlay coordinates, y down
{
    size_t i = 4 * (size_t(GLTEST_HEIGHT - 1 - y) * GLTEST_WIDTH + size_t(x));
    return {capture.rgba[i], capture.rgba[i + 1], capture.rgba[i + 2], capture.rgba[i + 3]};
}

std::string record_bytes(uint8_t disable_ps, uint8_t no_ambient, float q, float s, float sps, float terra, float vol)
{
    game_config c{};
    c.disable_ps = disable_ps;
    c.no_ambient = no_ambient;
    c.tex_quality = q;
    c.tex_size = s;
    c.sps_quantity = sps;
    c.terra_horizon = terra;
    c.volume = vol;
    uint8_t out[CONFIG_FILE_SIZE];
    config_encode(&c, out);
    return std::string(reinterpret_cast<char *>(out), CONFIG_FILE_SIZE);
}

class ConfigRunTest : public GLTest {
  protected:
    void SetUp() override
    {
        GLTest::SetUp();
        dir = test_make_temp_dir();
        log_file_set((dir + "/log.txt").c_str());
        log_file_truncate();
        std::filesystem::create_directories(dir + "/config");
        write_picture(f("config/background_pic.tga"), 800, 600, BACKGROUND, 24);
        write_picture(f("config/slider.tga"), KNOB_W, KNOB_H, KNOB, 32);
        write_picture(f("config/checked.tga"), 20, 20, CHECKED, 32);
        write_picture(f("config/unchecked.tga"), 20, 20, UNCHECKED, 32);
        write_picture(f("config/ok_low.tga"), 80, 25, OK, 32);
        write_picture(f("config/ok_high.tga"), 80, 25, OK_HOT, 32);
        write_picture(f("config/abbrechen_low.tga"), 80, 25, OK, 32);
        write_picture(f("config/abbrechen_high.tga"), 80, 25, OK_HOT, 32);
        write_picture(f("config/cursor_norm.tga"), 4, 4, CURSOR, 32);
        write_picture(f("config/cursor_hot.tga"), 4, 4, CURSOR, 32);
        config_set_file(f("game_config.ini").c_str());
        config_set_defaults();
        config_set_change_word(0);
        OGL_render_settings_reset();
        OGL_input_reset();
        OGL_input_set_mouse_pos(400, 300);
        configuration_set_frame_hook(feed, &script);
    }
    void TearDown() override
    {
        configuration_set_frame_hook(nullptr, nullptr);
        OGL_window_set_before_swap_hook(nullptr);
        config_set_file(nullptr);
        config_set_defaults();
        EXPECT_EQ(gui_context_count(), 0) << "the screen's context was closed";
        EXPECT_FALSE(gui_manager_is_inited()) << "the screen's GUI manager was freed";
        EXPECT_EQ(gui_texture_count(), 0) << "every picture was given back";
        test_remove_tree(dir);
    }
    std::string f(const char *name) const { return dir + "/" + name; }
    std::string file() const { return f("game_config.ini"); }
    bool run() { return configuration_run((dir + "/").c_str(), "config\\"); }

    void move(int x, int y, bool down = false) { script.frames.push_back({x, y, down, 0}); }
    void key(int k) { script.frames.push_back({10, 10, false, k}); }
    // Grabs the knob of the slider at row y (its knob at knob_x) and drops it
    // with its left edge at to_x.
    void drag(int y, int knob_x, int to_x)
    {
        move(knob_x + 3, y + 3);
        move(knob_x + 3, y + 3, true);
        move(to_x + 3, y + 3, true);
        move(to_x + 3, y + 3, true);
        move(to_x + 3, y + 3);
        move(10, 10);
        move(10, 10);
    }
    // A click; the number of frames up to the release (the frame a button
    // reports its click in). A checkbox toggles in the frame after.
    size_t click(int x, int y)
    {
        move(x, y);
        move(x, y, true);
        move(x, y);
        size_t released = script.frames.size();
        move(x, y);
        move(10, 10);
        return released;
    }
    static int knob_at(float value) { return TRACK_X + int(float(TRACK_LENGTH) * value); }

    std::string dir;
    input_script script;
};

TEST_F(ConfigRunTest, DraggedSlidersAndApplyChangeTheFileAndTheSettingsAtOnce)
{
    test_write_file(file(), record_bytes(0, 1, 1.0f, 1.0f, 1.0f, 0.75f, 0.7f));
    config_load_and_apply();
    ASSERT_EQ(OGL_render_settings_get_texture_size_reduction(), 0);
    ASSERT_EQ(OGL_render_settings_get_texture_filter_quality(), 4);

    // tex_quality snaps to quarters, tex_size to halves.
    drag(196, knob_at(1.0f), TRACK_X + 3 * 37 + 5);
    drag(255, knob_at(1.0f), TRACK_X + 74 + 10);
    drag(315, knob_at(1.0f), TRACK_X + 37);
    drag(434, knob_at(0.7f), TRACK_X - 40); // beyond the track's start
    click(299 + 5, 92 + 5);                 // particles off
    size_t applied = click(114 + 10, 467 + 10);
    EXPECT_TRUE(run());
    EXPECT_EQ(script.frames_run, applied) << "apply ended the screen in its frame";

    EXPECT_EQ(test_read_file(file()), record_bytes(1, 0, 0.75f, 0.5f, 37.0f / 148.0f, 0.75f, 0.0f));
    EXPECT_EQ(config_get_change_word(), CONFIG_CHANGED_PARTICLES_OFF | CONFIG_CHANGED_AMBIENT_ON |
                                            CONFIG_CHANGED_TEX_QUALITY | CONFIG_CHANGED_TEX_SIZE |
                                            CONFIG_CHANGED_SPS_QUANTITY | CONFIG_CHANGED_VOLUME);
    EXPECT_FALSE(config_particles_enabled());
    EXPECT_FLOAT_EQ(config_get_sps_quantity(), 0.25f);

    config_apply_changes(nullptr);
    EXPECT_EQ(OGL_render_settings_get_texture_size_reduction(), 1);
    EXPECT_EQ(OGL_render_settings_get_texture_filter_quality(), 3);
    EXPECT_FLOAT_EQ(OGL_render_settings_get_volume(), 0.0f);

    // The click on apply does not reach whatever runs after the screen.
    EXPECT_EQ(OGL_input_get_mouse_button(OGL_MOUSE_BUTTON_LEFT), 0);
    int mx = 0, my = 0;
    OGL_input_get_mouse_pos(&mx, &my);
    EXPECT_EQ(mx, 400);
    EXPECT_EQ(my, 300);
}

TEST_F(ConfigRunTest, EscapeLeavesTheFileAndTheSettingsUnchanged)
{
    std::string before = record_bytes(0, 1, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f);
    test_write_file(file(), before);
    config_load_and_apply();
    drag(434, knob_at(0.5f), TRACK_X + TRACK_LENGTH);
    click(299 + 5, 92 + 5);
    key(OGL_KEY_ESC);
    move(10, 10);
    EXPECT_FALSE(run());
    EXPECT_EQ(script.frames_run, script.frames.size() - 1) << "Escape ended the screen in its frame";
    EXPECT_EQ(test_read_file(file()), before);
    EXPECT_EQ(config_get_change_word(), 0u);
    EXPECT_FLOAT_EQ(config_get_volume(), 0.5f);
    EXPECT_TRUE(config_particles_enabled());
    EXPECT_EQ(OGL_input_get_key(OGL_KEY_ESC), 0) << "the Escape that closed the screen is used up";
}

TEST_F(ConfigRunTest, CancelLeavesTheFileUnchanged)
{
    std::string before = record_bytes(0, 0, 0.25f, 0.25f, 0.25f, 0.25f, 0.25f);
    test_write_file(file(), before);
    config_load_and_apply();
    drag(255, knob_at(0.25f), TRACK_X + TRACK_LENGTH);
    drag(196, knob_at(0.25f), TRACK_X + TRACK_LENGTH);
    size_t cancelled = click(206 + 10, 467 + 10);
    EXPECT_FALSE(run());
    EXPECT_EQ(script.frames_run, cancelled);
    EXPECT_EQ(test_read_file(file()), before);
    EXPECT_EQ(config_get_change_word(), 0u);
    config_apply_changes(nullptr);
    EXPECT_EQ(OGL_render_settings_get_texture_size_reduction(), 2);
    EXPECT_EQ(OGL_render_settings_get_texture_filter_quality(), 1);
}

// A full disk, made with the file size limit (which holds for root too).
TEST_F(ConfigRunTest, ApplyOnAFullDiskKeepsTheOldFileAndTheNewSettingsForTheRun)
{
    std::string before = record_bytes(0, 0, 1.0f, 1.0f, 1.0f, 0.75f, 0.5f);
    test_write_file(file(), before);
    config_load_and_apply();
    drag(434, knob_at(0.5f), TRACK_X + TRACK_LENGTH);
    size_t applied = click(114 + 10, 467 + 10);

    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    void (*old_handler)(int) = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 10;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool changed = run();
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, old_handler);

    EXPECT_TRUE(changed);
    EXPECT_EQ(script.frames_run, applied) << "the screen closes all the same";
    EXPECT_EQ(test_read_file(file()), before); // (the log cannot grow either: not read here)
    EXPECT_EQ(config_get_change_word(), CONFIG_CHANGED_VOLUME);
    config_apply_changes(nullptr);
    EXPECT_FLOAT_EQ(OGL_render_settings_get_volume(), 1.0f) << "the new volume holds for the run";
    int files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) files += entry.is_regular_file();
    EXPECT_EQ(files, 2) << "the settings and the log, no temporary file left";
}

TEST_F(ConfigRunTest, ApplyWithNothingMovedReportsNoChange)
{
    std::string before = record_bytes(0, 0, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f);
    test_write_file(file(), before);
    config_load_and_apply();
    size_t applied = click(114 + 10, 467 + 10);
    EXPECT_FALSE(run());
    EXPECT_EQ(script.frames_run, applied);
    EXPECT_EQ(test_read_file(file()), before);
    EXPECT_EQ(config_get_change_word(), 0u);
}

TEST_F(ConfigRunTest, ScreenShowsTheBackgroundTheWidgetsAndTheCursor)
{
    test_write_file(file(), record_bytes(1, 0, 1.0f, 0.5f, 0.0f, 0.75f, 0.5f));
    config_load_and_apply();
    move(600, 500);
    move(114 + 10, 467 + 10); // over apply: its highlighted picture
    capture = frame_capture{};
    capture.want = 1;
    OGL_window_set_before_swap_hook(capture_before_swap);
    EXPECT_FALSE(run());
    ASSERT_EQ(capture.rgba.size(), size_t(4 * GLTEST_WIDTH * GLTEST_HEIGHT));
    EXPECT_TRUE(gltest_colour_near(captured(700, 50), BACKGROUND));
    EXPECT_TRUE(gltest_colour_near(captured(299 + 10, 92 + 10), UNCHECKED)) << "particles off shows the set image";
    EXPECT_TRUE(gltest_colour_near(captured(knob_at(1.0f) + 6, 196 + 8), KNOB));
    EXPECT_TRUE(gltest_colour_near(captured(knob_at(0.5f) + 6, 255 + 8), KNOB));
    EXPECT_TRUE(gltest_colour_near(captured(knob_at(0.5f) + 6, 434 + 8), KNOB));
    EXPECT_TRUE(gltest_colour_near(captured(TRACK_X + 6, 315 + 8), KNOB)) << "quantity 0: the knob at the start";
    EXPECT_TRUE(gltest_colour_near(captured(knob_at(1.0f) + 6, 315 + 8), BACKGROUND));
    EXPECT_TRUE(gltest_colour_near(captured(114 + 60, 467 + 20), OK_HOT)) << "apply under the mouse";
    EXPECT_TRUE(gltest_colour_near(captured(206 + 60, 467 + 20), OK));
    EXPECT_TRUE(gltest_colour_near(captured(114 + 11, 467 + 11), CURSOR)) << "the cursor over the widgets";
}

TEST_F(ConfigRunTest, MissingPictureShowsNothingAndChangesNothing)
{
    std::string before = record_bytes(0, 0, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f);
    test_write_file(file(), before);
    config_load_and_apply();
    test_remove_tree(f("config/slider.tga"));
    click(114 + 10, 467 + 10);
    EXPECT_FALSE(run());
    EXPECT_EQ(script.frames_run, 0u) << "no frame of a half-built screen";
    EXPECT_EQ(test_read_file(file()), before);
    std::string log = test_read_file(f("log.txt"));
    EXPECT_NE(log.find("slider.tga"), std::string::npos) << log;
}

} // namespace
