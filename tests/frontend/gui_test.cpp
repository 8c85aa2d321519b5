// The GUI driven through the input layer as the window would drive it:
// scripted pointer moves and left-button events, one gui_mouse_update and
// gui_update per frame, pictures read back from the frame buffer.
#include <string>
#include <vector>

#include "corelib/gfxloader.h"
#include "frontend/gui.h"
#include "frontend/gui_mouse.h"
#include "frontend/gui_textures.h"
#include "gl_test_context.h"
#include "renderer/OGL_input.h"
#include "test_support.h"

using ::testing::ExitedWithCode;

// A w x h picture of one colour (24 bits, or 32 with alpha a).
static void write_picture(const std::string &path, int w, int h, gltest_rgba c, int bpp = 24)
{
    std::vector<uint8_t> px;
    for (int i = 0; i < w * h; i++) {
        px.push_back(c.r);
        px.push_back(c.g);
        px.push_back(c.b);
        if (bpp == 32) px.push_back(c.a);
    }
    ASSERT_TRUE(gfxloader_save(path.c_str(), w, h, bpp, px.data()));
}

static const gltest_rgba RED = {255, 0, 0, 255}, GREEN = {0, 255, 0, 255}, BLUE = {0, 0, 255, 255},
                         WHITE = {255, 255, 255, 255}, BLACK = {0, 0, 0, 255}, YELLOW = {255, 255, 0, 255};

// Overlay coordinates (y down) to a read-back pixel.
static gltest_rgba screen_pixel(int x, int y) { return gltest_pixel(x, GLTEST_HEIGHT - 1 - y); }

class GuiTest : public GLTest {
  protected:
    void SetUp() override
    {
        GLTest::SetUp();
        dir = test_make_temp_dir();
        write_picture(f("cold.tga"), 40, 20, RED);
        write_picture(f("hot.tga"), 40, 20, GREEN);
        write_picture(f("knob.tga"), 12, 16, WHITE, 32);
        write_picture(f("set.tga"), 16, 16, WHITE);
        write_picture(f("clear.tga"), 16, 16, BLUE);
        write_picture(f("red.tga"), 50, 50, RED);
        write_picture(f("green.tga"), 50, 50, GREEN);
        write_picture(f("cursor.tga"), 8, 8, YELLOW, 32);
        write_picture(f("cursor_hi.tga"), 8, 8, GREEN, 32);
        OGL_input_reset();
        gui_manager_init();
        ASSERT_TRUE(gui_mouse_init(f("cursor.tga").c_str(), f("cursor_hi.tga").c_str()));
        ctx = gui_context_init();
    }
    void TearDown() override
    {
        if (gui_manager_is_inited()) {
            if (ctx) gui_context_deinit(ctx);
            gui_system_deinit();
        }
        gui_mouse_deinit();
        EXPECT_EQ(gui_texture_count(), 0) << "every widget gave its pictures back";
        test_remove_tree(dir);
    }
    std::string f(const char *name) const { return dir + "/" + name; }

    // One frame with the pointer at (x, y) and the left button as given.
    void frame(int x, int y, bool down)
    {
        OGL_input_mouse_move_event(x, y);
        if (down != button) OGL_input_mouse_button_event(OGL_MOUSE_BUTTON_LEFT, down ? OGL_PRESS : OGL_RELEASE);
        button = down;
        gui_mouse_update(0.02f);
        gui_update(0.02f);
    }
    void render()
    {
        gltest_reset_state();
        gui_render();
    }

    std::string dir;
    uint32_t ctx = 0;
    bool button = false;
};

TEST_F(GuiTest, ButtonClickIsReportedOnceAndEnteringOnce)
{
    ASSERT_TRUE(gui_add_button(ctx, "ok", 100, 100, f("cold.tga").c_str(), f("hot.tga").c_str(), 0));
    frame(10, 10, false);
    EXPECT_EQ(gui_widget_get_state(ctx, "ok"), int(GUI_BUTTON_IDLE));
    frame(120, 110, false);
    EXPECT_EQ(gui_widget_get_state(ctx, "ok"), int(GUI_BUTTON_HOT));
    EXPECT_EQ(gui_button_hot(ctx, "ok"), 1);
    frame(120, 110, true);
    EXPECT_EQ(gui_widget_get_state(ctx, "ok"), int(GUI_BUTTON_PRESSED));
    EXPECT_EQ(gui_button_clicked(ctx, "ok"), 0) << "not before the release";
    frame(121, 111, false);
    EXPECT_EQ(gui_button_clicked(ctx, "ok"), 1);
    EXPECT_EQ(gui_button_clicked(ctx, "ok"), 0) << "one click, one report";
    EXPECT_EQ(gui_button_entered(ctx, "ok"), 1);
    EXPECT_EQ(gui_button_entered(ctx, "ok"), 0);
    frame(121, 111, false);
    EXPECT_EQ(gui_widget_get_state(ctx, "ok"), int(GUI_BUTTON_IDLE));
    EXPECT_EQ(gui_button_clicked(ctx, "ok"), 0);
}

TEST_F(GuiTest, PressInsideReleaseOutsideDoesNotClick)
{
    ASSERT_TRUE(gui_add_button(ctx, "ok", 100, 100, f("cold.tga").c_str(), f("hot.tga").c_str(), 0));
    frame(110, 105, false);
    frame(110, 105, true);
    frame(300, 300, true); // dragged away, still held
    EXPECT_EQ(gui_widget_get_state(ctx, "ok"), int(GUI_BUTTON_PRESSED));
    frame(300, 300, false);
    EXPECT_EQ(gui_button_clicked(ctx, "ok"), 0);
    for (int i = 0; i < 3; i++) frame(300, 300, false);
    EXPECT_EQ(gui_widget_get_state(ctx, "ok"), int(GUI_BUTTON_IDLE));
    EXPECT_EQ(gui_button_hot(ctx, "ok"), 0);
}

TEST_F(GuiTest, PressOutsideDraggedOntoAWidgetDoesNotWorkIt)
{
    ASSERT_TRUE(gui_add_button(ctx, "ok", 100, 100, f("cold.tga").c_str(), f("hot.tga").c_str(), 0));
    ASSERT_TRUE(gui_add_checkbox(ctx, "fx", 300, 300, f("set.tga").c_str(), f("clear.tga").c_str(), 0, 0));
    ASSERT_TRUE(gui_add_slider(ctx, "vol", 100, 200, 148, f("knob.tga").c_str(), 0));
    frame(10, 10, true);
    for (auto p : {std::pair{110, 110}, std::pair{305, 305}, std::pair{180, 205}}) {
        frame(p.first, p.second, true);
        frame(p.first, p.second, true);
        frame(p.first, p.second, false);
        frame(p.first, p.second, false);
        frame(10, 10, true);
    }
    EXPECT_EQ(gui_button_clicked(ctx, "ok"), 0);
    EXPECT_EQ(gui_checkbox_get_checked(ctx, "fx"), 0);
    EXPECT_EQ(gui_slider_get_knob_x(ctx, "vol"), 100);
    // moving onto the button and pressing in the same frame still clicks
    frame(10, 10, false);
    frame(110, 110, true);
    frame(110, 110, true);
    frame(110, 110, false);
    EXPECT_EQ(gui_button_clicked(ctx, "ok"), 1);
}

TEST_F(GuiTest, ButtonEdgesAreInside)
{
    // 40 x 20 at (100, 100): x 100..140 and y 100..120 are inside, edges included
    ASSERT_TRUE(gui_add_button(ctx, "ok", 100, 100, f("cold.tga").c_str(), f("hot.tga").c_str(), 0));
    frame(140, 120, false);
    EXPECT_EQ(gui_button_hot(ctx, "ok"), 1);
    frame(141, 120, false);
    EXPECT_EQ(gui_button_hot(ctx, "ok"), 0);
}

TEST_F(GuiTest, QuickTapBetweenFramesClicksEveryWidgetAlike)
{
    // two buttons under the pointer: the press and release both happen before
    // the next frame, and both buttons must see the press
    ASSERT_TRUE(gui_add_button(ctx, "a", 100, 100, f("cold.tga").c_str(), f("hot.tga").c_str(), 0));
    ASSERT_TRUE(gui_add_button(ctx, "b", 110, 100, f("cold.tga").c_str(), f("hot.tga").c_str(), 0));
    frame(120, 110, false);
    OGL_input_mouse_button_event(OGL_MOUSE_BUTTON_LEFT, OGL_PRESS);
    OGL_input_mouse_button_event(OGL_MOUSE_BUTTON_LEFT, OGL_RELEASE);
    frame(120, 110, false);
    frame(120, 110, false);
    EXPECT_EQ(gui_button_clicked(ctx, "a"), 1);
    EXPECT_EQ(gui_button_clicked(ctx, "b"), 1);
}

TEST_F(GuiTest, SteppedSliderSnapsWhileDragging)
{
    // length 148 in 4 steps: x, x + 37, x + 74, x + 111, x + 148
    ASSERT_TRUE(gui_add_slider(ctx, "vol", 100, 200, 148, f("knob.tga").c_str(), 0));
    ASSERT_TRUE(gui_slider_set_steps(ctx, "vol", 4));
    frame(105, 205, false); // over the knob (12 x 16 at 100, 200)
    EXPECT_EQ(gui_widget_get_state(ctx, "vol"), int(GUI_SLIDER_KNOB_HOT));
    frame(105, 205, true); // grabbed 5 pixels right of the knob's edge
    EXPECT_EQ(gui_widget_get_state(ctx, "vol"), int(GUI_SLIDER_DRAGGING));
    struct {
        int cursor, knob;
    } drags[] = {{105 + 36, 100},  {105 + 37, 137}, {105 + 80, 174}, {105 + 147, 211},
                 {105 + 148, 248}, {700, 248},      {0, 100},        {105 + 111, 211}};
    for (auto d : drags) {
        frame(d.cursor, 205, true);
        EXPECT_EQ(gui_slider_get_knob_x(ctx, "vol"), d.knob) << "cursor at " << d.cursor;
    }
    frame(105 + 111, 205, false);
    EXPECT_FLOAT_EQ(gui_slider_get_value(ctx, "vol"), 111.0f / 148.0f);
}

TEST_F(GuiTest, ClickOnTheTrackMovesTheKnobUnderTheCursor)
{
    ASSERT_TRUE(gui_add_slider(ctx, "vol", 100, 200, 148, f("knob.tga").c_str(), 0));
    frame(180, 210, false); // on the track, away from the knob
    EXPECT_EQ(gui_widget_get_state(ctx, "vol"), int(GUI_SLIDER_TRACK_HOT));
    frame(180, 210, true);
    frame(180, 210, true);
    EXPECT_EQ(gui_slider_get_knob_x(ctx, "vol"), 180);
    frame(200, 210, true); // and drags from there
    EXPECT_EQ(gui_slider_get_knob_x(ctx, "vol"), 200);
    frame(200, 210, false);
    EXPECT_FLOAT_EQ(gui_slider_get_value(ctx, "vol"), 100.0f / 148.0f);
}

TEST_F(GuiTest, SliderValueIsClampedAndStepsMustBePositive)
{
    ASSERT_TRUE(gui_add_slider(ctx, "vol", 100, 200, 148, f("knob.tga").c_str(), 0));
    gui_slider_set_value(ctx, "vol", 2.0f);
    EXPECT_EQ(gui_slider_get_knob_x(ctx, "vol"), 248);
    EXPECT_FLOAT_EQ(gui_slider_get_value(ctx, "vol"), 1.0f);
    gui_slider_set_value(ctx, "vol", -1.0f);
    EXPECT_EQ(gui_slider_get_knob_x(ctx, "vol"), 100);
    gui_slider_set_value(ctx, "vol", 0.5f);
    EXPECT_EQ(gui_slider_get_knob_x(ctx, "vol"), 174);
    EXPECT_FALSE(gui_slider_set_steps(ctx, "vol", 0));
    // more steps than pixels: the knob still moves, pixel by pixel
    ASSERT_TRUE(gui_slider_set_steps(ctx, "vol", 1000));
    frame(230, 210, false); // the track, right of the knob at 174
    frame(230, 210, true);
    frame(231, 210, true);
    EXPECT_EQ(gui_slider_get_knob_x(ctx, "vol"), 231);
}

TEST_F(GuiTest, CheckboxTogglesOnAClickInside)
{
    ASSERT_TRUE(gui_add_checkbox(ctx, "fx", 300, 300, f("set.tga").c_str(), f("clear.tga").c_str(), 0, 0));
    frame(305, 305, false);
    frame(305, 305, true);
    frame(305, 305, false);
    frame(305, 305, false);
    EXPECT_EQ(gui_checkbox_get_checked(ctx, "fx"), 1);
    // pressed inside, released outside: unchanged
    frame(305, 305, false);
    frame(305, 305, true);
    frame(500, 500, true);
    frame(500, 500, false);
    frame(500, 500, false);
    EXPECT_EQ(gui_checkbox_get_checked(ctx, "fx"), 1);
    gui_checkbox_set_checked(ctx, "fx", 0);
    EXPECT_EQ(gui_checkbox_get_checked(ctx, "fx"), 0);
    render();
    EXPECT_TRUE(gltest_region_is(300, GLTEST_HEIGHT - 316, 16, 16, BLUE)) << "the clear image";
}

TEST_F(GuiTest, LayersDrawInRisingOrderWhateverTheListOrder)
{
    ASSERT_TRUE(gui_add_gfx(ctx, "top", 100, 100, f("red.tga").c_str(), 3));
    ASSERT_TRUE(gui_add_gfx(ctx, "bottom", 120, 120, f("green.tga").c_str(), 1));
    render();
    EXPECT_EQ(screen_pixel(140, 140), RED) << "layer 3 covers layer 1";
    EXPECT_EQ(screen_pixel(160, 160), GREEN);
    EXPECT_EQ(screen_pixel(110, 110), RED);
    gui_widget_set_visible(ctx, "top", false);
    render();
    EXPECT_EQ(screen_pixel(140, 140), GREEN);
    EXPECT_EQ(screen_pixel(110, 110), BLACK) << "hidden widgets are not drawn";
}

TEST_F(GuiTest, ButtonShowsItsHotImageWhileHot)
{
    ASSERT_TRUE(gui_add_button(ctx, "ok", 100, 100, f("cold.tga").c_str(), f("hot.tga").c_str(), 0));
    render();
    EXPECT_EQ(screen_pixel(110, 110), RED);
    frame(110, 110, false);
    render();
    EXPECT_EQ(screen_pixel(130, 115), GREEN);
}

TEST_F(GuiTest, MouseIsClampedToTheWindowAndTheCursorDrawnThere)
{
    frame(-50, 900, false);
    EXPECT_EQ(gui_mouse_get_state()->x, 0);
    EXPECT_EQ(gui_mouse_get_state()->y, GLTEST_HEIGHT);
    int x, y;
    OGL_input_get_mouse_pos(&x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, GLTEST_HEIGHT) << "the clamped position is written back";
    frame(300, 200, false);
    gltest_reset_state();
    gui_mouse_render_cold();
    EXPECT_EQ(screen_pixel(300, 200), YELLOW);
    EXPECT_EQ(screen_pixel(307, 207), YELLOW);
    EXPECT_EQ(screen_pixel(309, 209), BLACK);
}

TEST_F(GuiTest, PicturesOfOneFileAreShared)
{
    ASSERT_TRUE(gui_add_gfx(ctx, "a", 0, 0, f("red.tga").c_str(), 0));
    ASSERT_TRUE(gui_add_gfx(ctx, "b", 60, 0, f("red.tga").c_str(), 0));
    EXPECT_EQ(gui_texture_count(), 1);
    uint32_t other = gui_context_init();
    EXPECT_NE(other, ctx);
    ASSERT_TRUE(gui_add_gfx(other, "c", 0, 60, f("green.tga").c_str(), 0));
    EXPECT_EQ(gui_texture_count(), 2);
    gui_context_deinit(other);
    EXPECT_EQ(gui_texture_count(), 1);
}

TEST_F(GuiTest, MissingPictureIsLoggedByNameAndMakesNoWidget)
{
    ::testing::internal::CaptureStderr();
    const std::string missing = f("nowhere.tga");
    EXPECT_FALSE(gui_add_button(ctx, "ok", 0, 0, f("cold.tga").c_str(), missing.c_str(), 0));
    write_picture(f("bad.tga"), 4, 4, RED);
    static const char bad[] = "\x00\x00\x02 not a picture";
    test_write_file(f("bad.tga"), std::string(bad, sizeof(bad) - 1));
    EXPECT_FALSE(gui_add_gfx(ctx, "bad", 0, 0, f("bad.tga").c_str(), 0));
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(missing), std::string::npos) << err;
    EXPECT_NE(err.find(f("bad.tga")), std::string::npos) << err;
    EXPECT_EQ(gui_widget_get_state(ctx, "ok"), -1);
    EXPECT_EQ(gui_texture_count(), 0) << "the cold picture was given back";
}

TEST_F(GuiTest, UnknownContextIsLoggedAndIgnored)
{
    ::testing::internal::CaptureStderr();
    const uint32_t bad = ctx + 12345;
    EXPECT_FALSE(gui_add_gfx(bad, "a", 0, 0, f("red.tga").c_str(), 0));
    EXPECT_EQ(gui_button_clicked(bad, "a"), 0);
    EXPECT_FLOAT_EQ(gui_slider_get_value(bad, "a"), -1.0f);
    EXPECT_EQ(gui_checkbox_get_checked(bad, "a"), 0);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("context " + std::to_string(int(bad)) + " not found."), std::string::npos) << err;
    EXPECT_FLOAT_EQ(gui_slider_get_value(ctx, "nothing"), 0.0f);
}

TEST(GuiFaults, ClosingAContextTwiceIsAFault)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            gui_manager_init();
            uint32_t c = gui_context_init();
            gui_context_deinit(c);
            gui_context_deinit(c);
        },
        ExitedWithCode(3), "guihandle invalid");
}

TEST(GuiFaults, SystemDeinitWithAnOpenContextIsAFault)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            gui_manager_init();
            gui_context_init();
            gui_system_deinit();
        },
        ExitedWithCode(3), "gui_context_counter != 0");
}
