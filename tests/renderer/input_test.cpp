// Keyboard and mouse input: key codes, sticky presses, clearing, callbacks,
// scripted presses and the logical screen mapping.
#include "gl_test_context.h"

#include <GLFW/glfw3.h>

#include <vector>

#include "renderer/OGL_input.h"
#include "renderer/OGL_window.h"

class InputTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        OGL_input_reset();
        OGL_input_script_set(nullptr);
    }
    void TearDown() override
    {
        OGL_input_set_event_tap(nullptr);
        OGL_input_set_window_events(true);
        OGL_input_reset();
        OGL_input_script_set(nullptr);
    }
};

TEST_F(InputTest, WindowLibraryKeysMapOntoTheClassicCodes)
{
    EXPECT_EQ(OGL_input_key_from_glfw(GLFW_KEY_ESCAPE), 257);
    EXPECT_EQ(OGL_input_key_from_glfw(GLFW_KEY_F1), 258);
    EXPECT_EQ(OGL_input_key_from_glfw(GLFW_KEY_F8), 265);
    EXPECT_EQ(OGL_input_key_from_glfw(GLFW_KEY_F9), 266);
    EXPECT_EQ(OGL_input_key_from_glfw(GLFW_KEY_F25), 282);
    EXPECT_EQ(OGL_input_key_from_glfw(GLFW_KEY_UP), 283);
    EXPECT_EQ(OGL_input_key_from_glfw(GLFW_KEY_DOWN), 284);
    EXPECT_EQ(OGL_input_key_from_glfw(GLFW_KEY_LEFT), 285);
    EXPECT_EQ(OGL_input_key_from_glfw(GLFW_KEY_RIGHT), 286);
    EXPECT_EQ(OGL_input_key_from_glfw(GLFW_KEY_ENTER), 294);
    EXPECT_EQ(OGL_input_key_from_glfw(GLFW_KEY_BACKSPACE), 295);
    EXPECT_EQ(OGL_input_key_from_glfw(GLFW_KEY_PAGE_UP), 298);
    EXPECT_EQ(OGL_input_key_from_glfw(GLFW_KEY_PAGE_DOWN), 299);
    EXPECT_EQ(OGL_input_key_from_glfw(GLFW_KEY_KP_0), 302);
    EXPECT_EQ(OGL_input_key_from_glfw(GLFW_KEY_KP_9), 311);
    EXPECT_EQ(OGL_input_key_from_glfw(GLFW_KEY_KP_ENTER), 318);
    EXPECT_EQ(OGL_input_key_from_glfw(GLFW_KEY_LEFT_SHIFT), OGL_KEY_LSHIFT);
    EXPECT_EQ(OGL_input_key_from_glfw(GLFW_KEY_RIGHT_ALT), OGL_KEY_RALT);
    // printable keys are their upper-case character codes
    EXPECT_EQ(OGL_input_key_from_glfw(GLFW_KEY_SPACE), 32);
    EXPECT_EQ(OGL_input_key_from_glfw(GLFW_KEY_A), 'A');
    EXPECT_EQ(OGL_input_key_from_glfw(GLFW_KEY_W), 'W');
    EXPECT_EQ(OGL_input_key_from_glfw(GLFW_KEY_0), '0');
    EXPECT_EQ(OGL_input_key_from_glfw(GLFW_KEY_PRINT_SCREEN), OGL_KEY_UNKNOWN);
    EXPECT_EQ(OGL_input_key_from_glfw(GLFW_KEY_UNKNOWN), OGL_KEY_UNKNOWN);

    // Every special key maps to a distinct classic code.
    std::vector<int> seen;
    for (int k = GLFW_KEY_ESCAPE; k <= GLFW_KEY_LAST; k++) {
        int c = OGL_input_key_from_glfw(k);
        if (c == OGL_KEY_UNKNOWN) continue;
        EXPECT_GE(c, OGL_KEY_SPECIAL) << "window-library key " << k;
        EXPECT_LE(c, OGL_KEY_LAST);
        for (int s : seen) EXPECT_NE(s, c) << "window-library key " << k;
        seen.push_back(c);
    }
}

TEST_F(InputTest, KeyNamesForScripts)
{
    EXPECT_EQ(OGL_input_key_from_name("F8"), OGL_KEY_F8);
    EXPECT_EQ(OGL_input_key_from_name("f12"), OGL_KEY_F12);
    EXPECT_EQ(OGL_input_key_from_name("ESC"), OGL_KEY_ESC);
    EXPECT_EQ(OGL_input_key_from_name("escape"), OGL_KEY_ESC);
    EXPECT_EQ(OGL_input_key_from_name("a"), 'A');
    EXPECT_EQ(OGL_input_key_from_name("294"), OGL_KEY_ENTER);
    EXPECT_EQ(OGL_input_key_from_name("F26"), OGL_KEY_UNKNOWN);
    EXPECT_EQ(OGL_input_key_from_name("400"), OGL_KEY_UNKNOWN);
    EXPECT_EQ(OGL_input_key_from_name("12x"), OGL_KEY_UNKNOWN);
    EXPECT_EQ(OGL_input_key_from_name("NOPE"), OGL_KEY_UNKNOWN);
    EXPECT_EQ(OGL_input_key_from_name(""), OGL_KEY_UNKNOWN);
}

TEST_F(InputTest, PressAndReleaseBetweenQueriesIsReportedOnceThenReleased)
{
    OGL_input_tap_key(OGL_KEY_F8);
    EXPECT_EQ(OGL_input_get_key(OGL_KEY_F8), OGL_PRESS);
    EXPECT_EQ(OGL_input_get_key(OGL_KEY_F8), OGL_RELEASE);

    // A held key reads pressed as long as it is down, and released after.
    OGL_input_key_event('W', OGL_PRESS);
    EXPECT_EQ(OGL_input_get_key('W'), OGL_PRESS);
    EXPECT_EQ(OGL_input_get_key('W'), OGL_PRESS);
    OGL_input_key_event('W', OGL_REPEAT);
    EXPECT_EQ(OGL_input_get_key('W'), OGL_PRESS);
    OGL_input_key_event('W', OGL_RELEASE);
    // already seen pressed: no extra press after the release
    EXPECT_EQ(OGL_input_get_key('W'), OGL_RELEASE);

    // Mouse buttons behave the same.
    OGL_input_mouse_button_event(OGL_MOUSE_BUTTON_LEFT, OGL_PRESS);
    OGL_input_mouse_button_event(OGL_MOUSE_BUTTON_LEFT, OGL_RELEASE);
    EXPECT_EQ(OGL_input_get_mouse_button(OGL_MOUSE_BUTTON_LEFT), OGL_PRESS);
    EXPECT_EQ(OGL_input_get_mouse_button(OGL_MOUSE_BUTTON_LEFT), OGL_RELEASE);
    EXPECT_EQ(OGL_input_get_mouse_button(OGL_MOUSE_BUTTON_RIGHT), OGL_RELEASE);
}

TEST_F(InputTest, CodesOutsideTheTrackedRangeReadReleased)
{
    OGL_input_key_event(OGL_KEY_KP_ENTER, OGL_PRESS);
    EXPECT_EQ(OGL_input_get_key(318), OGL_PRESS);
    OGL_input_key_event(OGL_KEY_CAPS_LOCK, OGL_PRESS); // beyond 318: no state
    EXPECT_EQ(OGL_input_get_key(OGL_KEY_CAPS_LOCK), OGL_RELEASE);
    EXPECT_EQ(OGL_input_get_key(319), OGL_RELEASE);
    EXPECT_EQ(OGL_input_get_key(-1), OGL_RELEASE);
    EXPECT_EQ(OGL_input_get_key(100000), OGL_RELEASE);
    OGL_input_key_event(-5, OGL_PRESS);
    OGL_input_key_event(5000, OGL_PRESS);
    OGL_input_mouse_button_event(3, OGL_PRESS);
    EXPECT_EQ(OGL_input_get_mouse_button(3), OGL_RELEASE);
    EXPECT_EQ(OGL_input_get_mouse_button(-1), OGL_RELEASE);
}

TEST_F(InputTest, ClearOperationsDropPendingPresses)
{
    OGL_input_tap_key(OGL_KEY_ESC);
    OGL_input_key_event(OGL_KEY_SPACE, OGL_PRESS);
    OGL_input_char_event('x');
    OGL_input_mouse_button_event(OGL_MOUSE_BUTTON_RIGHT, OGL_PRESS);
    OGL_input_clear_keys();
    EXPECT_EQ(OGL_input_get_key(OGL_KEY_ESC), OGL_RELEASE);
    EXPECT_EQ(OGL_input_get_key(OGL_KEY_SPACE), OGL_RELEASE);
    EXPECT_EQ(OGL_input_get_char(), 0);
    // buttons are cleared separately
    EXPECT_EQ(OGL_input_get_mouse_button(OGL_MOUSE_BUTTON_RIGHT), OGL_PRESS);
    OGL_input_clear_mouse_buttons();
    EXPECT_EQ(OGL_input_get_mouse_button(OGL_MOUSE_BUTTON_RIGHT), OGL_RELEASE);

    // A key held through a clear reads released until pressed again.
    OGL_input_key_event(OGL_KEY_SPACE, OGL_PRESS);
    OGL_input_key_event(OGL_KEY_SPACE, OGL_RELEASE);
    EXPECT_EQ(OGL_input_get_key(OGL_KEY_SPACE), OGL_PRESS);
}

static std::vector<std::pair<int, int>> key_calls, char_calls;
static void record_key(int k, int a) { key_calls.push_back({k, a}); }
static void record_char(int c, int a) { char_calls.push_back({c, a}); }

TEST_F(InputTest, CallbacksSeeRepeatsOnlyWithKeyRepeatOn)
{
    key_calls.clear();
    char_calls.clear();
    OGL_input_set_key_callback(record_key);
    OGL_input_set_char_callback(record_char);
    OGL_input_key_event(OGL_KEY_BACKSPACE, OGL_PRESS);
    OGL_input_key_event(OGL_KEY_BACKSPACE, OGL_REPEAT);
    OGL_input_key_event(OGL_KEY_BACKSPACE, OGL_RELEASE);
    OGL_input_set_key_repeat(true);
    OGL_input_key_event(OGL_KEY_BACKSPACE, OGL_PRESS);
    OGL_input_key_event(OGL_KEY_BACKSPACE, OGL_REPEAT);
    OGL_input_key_event(OGL_KEY_BACKSPACE, OGL_PRESS); // a second press while down counts as a repeat
    OGL_input_char_event('q');
    std::vector<std::pair<int, int>> want = {
        {295, OGL_PRESS}, {295, OGL_RELEASE}, {295, OGL_PRESS}, {295, OGL_PRESS}, {295, OGL_PRESS}};
    EXPECT_EQ(key_calls, want);
    EXPECT_EQ(char_calls, (std::vector<std::pair<int, int>>{{'q', OGL_PRESS}}));
    EXPECT_EQ(OGL_input_get_char(), 'q');
    EXPECT_EQ(OGL_input_get_char(), 0);

    // removed callbacks are not called
    OGL_input_set_key_callback(nullptr);
    OGL_input_set_char_callback(nullptr);
    OGL_input_tap_key('Z');
    OGL_input_char_event('z');
    EXPECT_EQ(key_calls.size(), want.size());
    EXPECT_EQ(char_calls.size(), 1u);
}

TEST_F(InputTest, ScriptTapsKeysAtTheirFrames)
{
    ASSERT_TRUE(OGL_input_script_set("2:F8, 4:ESC 4:a"));
    OGL_input_script_frame(); // frame 1
    EXPECT_EQ(OGL_input_get_key(OGL_KEY_F8), OGL_RELEASE);
    OGL_input_script_frame(); // frame 2
    EXPECT_EQ(OGL_input_get_key(OGL_KEY_F8), OGL_PRESS);
    EXPECT_EQ(OGL_input_get_key(OGL_KEY_F8), OGL_RELEASE);
    OGL_input_script_frame();
    OGL_input_script_frame(); // frame 4
    EXPECT_EQ(OGL_input_script_frame_number(), 4u);
    EXPECT_EQ(OGL_input_get_key(OGL_KEY_ESC), OGL_PRESS);
    EXPECT_EQ(OGL_input_get_key('A'), OGL_PRESS);
    // the input reset of a window opening keeps the script running
    OGL_input_reset();
    EXPECT_EQ(OGL_input_script_frame_number(), 4u);
}

TEST_F(InputTest, MalformedScriptsAreRefusedWhole)
{
    EXPECT_FALSE(OGL_input_script_set("10:F8 x:ESC"));
    EXPECT_FALSE(OGL_input_script_set("10"));
    EXPECT_FALSE(OGL_input_script_set(":F8"));
    EXPECT_FALSE(OGL_input_script_set("10:NOKEY"));
    EXPECT_FALSE(OGL_input_script_set("-3:F8"));
    EXPECT_FALSE(OGL_input_script_set(std::string(5000, '1').c_str()));
    OGL_input_script_frame();
    EXPECT_EQ(OGL_input_script_frame_number(), 0u); // no script runs
    EXPECT_TRUE(OGL_input_script_set(""));
}

namespace {
struct tapped {
    int type, a, b;
};
std::vector<tapped> taps;
void tap(int type, int a, int b) { taps.push_back({type, a, b}); }

// What the game reads after the events: keys, buttons, pointer, wheel, character.
std::vector<int> read_back()
{
    std::vector<int> r;
    for (int k : {int('W'), int('Q'), OGL_KEY_ESC}) r.push_back(OGL_input_get_key(k));
    for (int b = 0; b < OGL_MOUSE_BUTTONS; b++) r.push_back(OGL_input_get_mouse_button(b));
    int x, y;
    OGL_input_get_mouse_pos(&x, &y);
    r.insert(r.end(), {x, y, OGL_input_get_mouse_wheel(), OGL_input_get_char()});
    return r;
}
} // namespace

TEST_F(InputTest, TapSeesEveryEventAndFeedingThemAgainReadsTheSame)
{
    taps.clear();
    OGL_input_set_event_tap(tap);
    OGL_input_key_event('W', OGL_PRESS);
    OGL_input_tap_key('Q');
    OGL_input_key_event(OGL_KEY_ESC, OGL_REPEAT);
    OGL_input_char_event('z');
    OGL_input_mouse_button_event(OGL_MOUSE_BUTTON_RIGHT, OGL_PRESS);
    OGL_input_mouse_move_event(123, 456);
    OGL_input_mouse_wheel_event(-2);
    OGL_input_key_event(-5, OGL_PRESS); // no such key: not taken, not tapped
    OGL_input_char_event(0);
    std::vector<int> first = read_back();
    OGL_input_set_event_tap(nullptr);
    ASSERT_EQ(taps.size(), 8u);
    EXPECT_EQ(taps[1].type, OGL_EVENT_KEY);
    EXPECT_EQ(taps[2].b, OGL_RELEASE);
    EXPECT_EQ(taps[5].type, OGL_EVENT_MOUSE_BUTTON);
    EXPECT_EQ(taps[6].a, 123);
    EXPECT_EQ(taps[7].a, -2);

    OGL_input_reset();
    for (const tapped &t : taps) switch (t.type) {
        case OGL_EVENT_KEY: OGL_input_key_event(t.a, t.b); break;
        case OGL_EVENT_CHAR: OGL_input_char_event(t.a); break;
        case OGL_EVENT_MOUSE_BUTTON: OGL_input_mouse_button_event(t.a, t.b); break;
        case OGL_EVENT_MOUSE_MOVE: OGL_input_mouse_move_event(t.a, t.b); break;
        case OGL_EVENT_MOUSE_WHEEL: OGL_input_mouse_wheel_event(t.a); break;
        }
    EXPECT_EQ(read_back(), first);
}

TEST_F(InputTest, WithWindowEventsOffScriptsAreDroppedAndInjectedEventsStillCount)
{
    ASSERT_TRUE(OGL_input_script_set("1:A"));
    OGL_input_set_window_events(false);
    OGL_input_script_frame();
    EXPECT_EQ(OGL_input_get_key('A'), OGL_RELEASE);
    OGL_input_key_event('B', OGL_PRESS);
    EXPECT_EQ(OGL_input_get_key('B'), OGL_PRESS);
    // The reset of a window opening keeps the setting.
    OGL_input_reset();
    OGL_input_script_frame();
    EXPECT_EQ(OGL_input_get_key('A'), OGL_RELEASE);
    OGL_input_set_window_events(true);
    ASSERT_TRUE(OGL_input_script_set("1:A"));
    OGL_input_script_frame();
    EXPECT_EQ(OGL_input_get_key('A'), OGL_PRESS);
}

TEST_F(InputTest, WheelAccumulatesSteps)
{
    OGL_input_mouse_wheel_event(2);
    OGL_input_mouse_wheel_event(-5);
    EXPECT_EQ(OGL_input_get_mouse_wheel(), -3);
}

TEST(ScreenMap, SameSizeMapsOneToOne)
{
    OGL_screen_map m;
    OGL_screen_map_compute(&m, 800, 600, 800, 600, 800, 600);
    EXPECT_EQ(m.rect_x, 0);
    EXPECT_EQ(m.rect_y, 0);
    EXPECT_EQ(m.rect_w, 800);
    EXPECT_EQ(m.rect_h, 600);
    int x, y;
    OGL_screen_map_cursor_to_logical(&m, 123.0, 456.0, &x, &y);
    EXPECT_EQ(x, 123);
    EXPECT_EQ(y, 456);
    int r[4];
    OGL_screen_map_logical_rect_to_framebuffer(&m, 10, 20, 30, 40, r);
    EXPECT_EQ(r[0], 10);
    EXPECT_EQ(r[1], 20);
    EXPECT_EQ(r[2], 30);
    EXPECT_EQ(r[3], 40);
}

TEST(ScreenMap, WiderFrameBufferGetsCentredBars)
{
    // 1920 x 1080 shows the 4:3 screen 1440 x 1080 with 240-pixel bars.
    OGL_screen_map m;
    OGL_screen_map_compute(&m, 800, 600, 1920, 1080, 1920, 1080);
    EXPECT_EQ(m.rect_w, 1440);
    EXPECT_EQ(m.rect_h, 1080);
    EXPECT_EQ(m.rect_x, 240);
    EXPECT_EQ(m.rect_y, 0);
    int x, y;
    OGL_screen_map_cursor_to_logical(&m, 240.0, 0.0, &x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    OGL_screen_map_cursor_to_logical(&m, 1919.0, 1079.0, &x, &y);
    EXPECT_EQ(x, 799 + 133); // in the right bar: beyond the logical screen
    EXPECT_EQ(y, 599);
    OGL_screen_map_cursor_to_logical(&m, 960.0, 540.0, &x, &y);
    EXPECT_EQ(x, 400);
    EXPECT_EQ(y, 300);
    int r[4];
    OGL_screen_map_logical_rect_to_framebuffer(&m, 0, 0, 800, 600, r);
    EXPECT_EQ(r[0], 240);
    EXPECT_EQ(r[1], 0);
    EXPECT_EQ(r[2], 1440);
    EXPECT_EQ(r[3], 1080);
}

TEST(ScreenMap, TallerFrameBufferAndHighDensityWindow)
{
    // a 1000 x 1000 window with a 2000 x 2000 frame buffer (scale 2)
    OGL_screen_map m;
    OGL_screen_map_compute(&m, 800, 600, 1000, 1000, 2000, 2000);
    EXPECT_EQ(m.rect_w, 2000);
    EXPECT_EQ(m.rect_h, 1500);
    EXPECT_EQ(m.rect_x, 0);
    EXPECT_EQ(m.rect_y, 250);
    // the window's top edge of the picture is at 125 window units
    int x, y;
    OGL_screen_map_cursor_to_logical(&m, 0.0, 125.0, &x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    // every logical pixel maps to the pointer and back to itself
    for (int ly = 0; ly < 600; ly += 37)
        for (int lx = 0; lx < 800; lx += 41) {
            double cx, cy;
            OGL_screen_map_logical_to_cursor(&m, lx, ly, &cx, &cy);
            OGL_screen_map_cursor_to_logical(&m, cx, cy, &x, &y);
            ASSERT_EQ(x, lx);
            ASSERT_EQ(y, ly);
        }
    // adjacent rectangles stay adjacent
    int a[4], b[4];
    OGL_screen_map_logical_rect_to_framebuffer(&m, 0, 0, 333, 10, a);
    OGL_screen_map_logical_rect_to_framebuffer(&m, 333, 0, 467, 10, b);
    EXPECT_EQ(a[0] + a[2], b[0]);
    EXPECT_EQ(b[0] + b[2], 2000);
}

TEST(ScreenMap, DegenerateSizesDoNotDivideByZero)
{
    OGL_screen_map m;
    OGL_screen_map_compute(&m, 0, 0, 0, 0, 0, 0);
    int x, y;
    OGL_screen_map_cursor_to_logical(&m, 5.0, 5.0, &x, &y);
    EXPECT_GE(m.rect_w, 1);
    EXPECT_GE(m.rect_h, 1);
}

TEST(RefreshRate, LargestMatchingRateCappedAt85)
{
    const OGL_display_mode modes[] = {{800, 600, 60}, {800, 600, 75}, {1024, 768, 120}, {800, 600, 72}};
    EXPECT_EQ(OGL_window_choose_refresh_rate(modes, 4, 800, 600), 75);
    const OGL_display_mode fast[] = {{800, 600, 60}, {800, 600, 100}};
    EXPECT_EQ(OGL_window_choose_refresh_rate(fast, 2, 800, 600), 85);
    // no mode of that size: 0 (the library's default)
    EXPECT_EQ(OGL_window_choose_refresh_rate(modes, 4, 640, 480), 0);
    // colour depth plays no part, width and height must both match
    const OGL_display_mode half[] = {{800, 768, 60}, {1024, 600, 60}};
    EXPECT_EQ(OGL_window_choose_refresh_rate(half, 2, 800, 600), 0);
    EXPECT_EQ(OGL_window_choose_refresh_rate(nullptr, 0, 800, 600), 0);
}

// With a window: events from the window system take the same path.
using WindowInputTest = GLTest;

TEST_F(WindowInputTest, WarpedPointerReadsBackInLogicalPixels)
{
    OGL_input_set_mouse_pos(200, 150);
    int x = -1, y = -1;
    OGL_input_get_mouse_pos(&x, &y);
    EXPECT_EQ(x, 200);
    EXPECT_EQ(y, 150);
    OGL_input_poll();
    OGL_input_get_mouse_pos(&x, &y);
    EXPECT_EQ(x, 200);
    EXPECT_EQ(y, 150);
}

TEST_F(WindowInputTest, SwapRunsTheInputScript)
{
    OGL_input_reset();
    ASSERT_TRUE(OGL_input_script_set("1:ESC"));
    OGL_swap_buffers();
    EXPECT_EQ(OGL_input_get_key(OGL_KEY_ESC), OGL_PRESS);
    EXPECT_EQ(OGL_input_get_key(OGL_KEY_ESC), OGL_RELEASE);
    OGL_input_script_set(nullptr);
}
