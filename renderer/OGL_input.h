#pragma once
// Keyboard and mouse input of the game window.
//
// Key codes are the engine's classic ones: printable keys are their upper-case
// character codes, special keys start at 256 (OGL_KEY_ESC 257, OGL_KEY_F1 258
// ... OGL_KEY_ENTER 294 ... OGL_KEY_KP_ENTER 318). Codes 0..318 keep a state;
// anything else reads as released.
//
// Presses are sticky: a key or mouse button pressed and released between two
// queries is reported pressed once by the next query, then released. A key
// that a query has already seen pressed is released by its release event.
//
// Every event, from the window system or injected by a test or an input
// script, takes the same path (OGL_input_key_event and its siblings).

#include <cstdint>

struct GLFWwindow;

enum {
    OGL_RELEASE = 0,
    OGL_PRESS = 1,
    OGL_REPEAT = 2, // key held down; only key callbacks with key repeat on see it
};

#define OGL_KEY_UNKNOWN (-1)
#define OGL_KEY_SPACE 32
#define OGL_KEY_SPECIAL 256
#define OGL_KEY_ESC (OGL_KEY_SPECIAL + 1)
#define OGL_KEY_F1 (OGL_KEY_SPECIAL + 2)
#define OGL_KEY_F2 (OGL_KEY_SPECIAL + 3)
#define OGL_KEY_F3 (OGL_KEY_SPECIAL + 4)
#define OGL_KEY_F4 (OGL_KEY_SPECIAL + 5)
#define OGL_KEY_F5 (OGL_KEY_SPECIAL + 6)
#define OGL_KEY_F6 (OGL_KEY_SPECIAL + 7)
#define OGL_KEY_F7 (OGL_KEY_SPECIAL + 8)
#define OGL_KEY_F8 (OGL_KEY_SPECIAL + 9)
#define OGL_KEY_F9 (OGL_KEY_SPECIAL + 10)
#define OGL_KEY_F10 (OGL_KEY_SPECIAL + 11)
#define OGL_KEY_F11 (OGL_KEY_SPECIAL + 12)
#define OGL_KEY_F12 (OGL_KEY_SPECIAL + 13)
#define OGL_KEY_F13 (OGL_KEY_SPECIAL + 14)
#define OGL_KEY_F14 (OGL_KEY_SPECIAL + 15)
#define OGL_KEY_F15 (OGL_KEY_SPECIAL + 16)
#define OGL_KEY_F16 (OGL_KEY_SPECIAL + 17)
#define OGL_KEY_F17 (OGL_KEY_SPECIAL + 18)
#define OGL_KEY_F18 (OGL_KEY_SPECIAL + 19)
#define OGL_KEY_F19 (OGL_KEY_SPECIAL + 20)
#define OGL_KEY_F20 (OGL_KEY_SPECIAL + 21)
#define OGL_KEY_F21 (OGL_KEY_SPECIAL + 22)
#define OGL_KEY_F22 (OGL_KEY_SPECIAL + 23)
#define OGL_KEY_F23 (OGL_KEY_SPECIAL + 24)
#define OGL_KEY_F24 (OGL_KEY_SPECIAL + 25)
#define OGL_KEY_F25 (OGL_KEY_SPECIAL + 26)
#define OGL_KEY_UP (OGL_KEY_SPECIAL + 27)
#define OGL_KEY_DOWN (OGL_KEY_SPECIAL + 28)
#define OGL_KEY_LEFT (OGL_KEY_SPECIAL + 29)
#define OGL_KEY_RIGHT (OGL_KEY_SPECIAL + 30)
#define OGL_KEY_LSHIFT (OGL_KEY_SPECIAL + 31)
#define OGL_KEY_RSHIFT (OGL_KEY_SPECIAL + 32)
#define OGL_KEY_LCTRL (OGL_KEY_SPECIAL + 33)
#define OGL_KEY_RCTRL (OGL_KEY_SPECIAL + 34)
#define OGL_KEY_LALT (OGL_KEY_SPECIAL + 35)
#define OGL_KEY_RALT (OGL_KEY_SPECIAL + 36)
#define OGL_KEY_TAB (OGL_KEY_SPECIAL + 37)
#define OGL_KEY_ENTER (OGL_KEY_SPECIAL + 38)
#define OGL_KEY_BACKSPACE (OGL_KEY_SPECIAL + 39)
#define OGL_KEY_INSERT (OGL_KEY_SPECIAL + 40)
#define OGL_KEY_DEL (OGL_KEY_SPECIAL + 41)
#define OGL_KEY_PAGEUP (OGL_KEY_SPECIAL + 42)
#define OGL_KEY_PAGEDOWN (OGL_KEY_SPECIAL + 43)
#define OGL_KEY_HOME (OGL_KEY_SPECIAL + 44)
#define OGL_KEY_END (OGL_KEY_SPECIAL + 45)
#define OGL_KEY_KP_0 (OGL_KEY_SPECIAL + 46)
#define OGL_KEY_KP_1 (OGL_KEY_SPECIAL + 47)
#define OGL_KEY_KP_2 (OGL_KEY_SPECIAL + 48)
#define OGL_KEY_KP_3 (OGL_KEY_SPECIAL + 49)
#define OGL_KEY_KP_4 (OGL_KEY_SPECIAL + 50)
#define OGL_KEY_KP_5 (OGL_KEY_SPECIAL + 51)
#define OGL_KEY_KP_6 (OGL_KEY_SPECIAL + 52)
#define OGL_KEY_KP_7 (OGL_KEY_SPECIAL + 53)
#define OGL_KEY_KP_8 (OGL_KEY_SPECIAL + 54)
#define OGL_KEY_KP_9 (OGL_KEY_SPECIAL + 55)
#define OGL_KEY_KP_DIVIDE (OGL_KEY_SPECIAL + 56)
#define OGL_KEY_KP_MULTIPLY (OGL_KEY_SPECIAL + 57)
#define OGL_KEY_KP_SUBTRACT (OGL_KEY_SPECIAL + 58)
#define OGL_KEY_KP_ADD (OGL_KEY_SPECIAL + 59)
#define OGL_KEY_KP_DECIMAL (OGL_KEY_SPECIAL + 60)
#define OGL_KEY_KP_EQUAL (OGL_KEY_SPECIAL + 61)
#define OGL_KEY_KP_ENTER (OGL_KEY_SPECIAL + 62)
#define OGL_KEY_KP_NUM_LOCK (OGL_KEY_SPECIAL + 63)
#define OGL_KEY_CAPS_LOCK (OGL_KEY_SPECIAL + 64)
#define OGL_KEY_SCROLL_LOCK (OGL_KEY_SPECIAL + 65)
#define OGL_KEY_PAUSE (OGL_KEY_SPECIAL + 66)
#define OGL_KEY_LSUPER (OGL_KEY_SPECIAL + 67)
#define OGL_KEY_RSUPER (OGL_KEY_SPECIAL + 68)
#define OGL_KEY_MENU (OGL_KEY_SPECIAL + 69)
#define OGL_KEY_LAST OGL_KEY_MENU

// Codes 0 .. OGL_KEY_STATES - 1 keep a state (up to keypad Enter).
#define OGL_KEY_STATES 319

#define OGL_MOUSE_BUTTON_LEFT 0
#define OGL_MOUSE_BUTTON_RIGHT 1
#define OGL_MOUSE_BUTTON_MIDDLE 2
#define OGL_MOUSE_BUTTONS 3

typedef void (*OGL_key_callback)(int key, int action);
typedef void (*OGL_char_callback)(int character, int action);

// Forgets every state and callback (the renderer calls it when it opens the
// window); an input script keeps running.
void OGL_input_reset();
// Routes the window's events into this module (null detaches).
void OGL_input_attach(GLFWwindow *window);
// Processes pending window events (the timed buffer swap does this too).
void OGL_input_poll();

// The engine key code for a window-library key (OGL_KEY_UNKNOWN when none).
int OGL_input_key_from_glfw(int glfw_key);
// The key code for a name: "F8", "ESC", "ENTER", "SPACE", "UP", a single
// character ("A" or "a" give 65) or a decimal code. OGL_KEY_UNKNOWN otherwise.
int OGL_input_key_from_name(const char *name);

// The event path. key is an engine key code, action OGL_PRESS, OGL_RELEASE
// or OGL_REPEAT; character a Unicode code point.
void OGL_input_key_event(int key, int action);
void OGL_input_char_event(int character);
void OGL_input_mouse_button_event(int button, int action);
// pos in logical screen pixels
void OGL_input_mouse_move_event(int x, int y);
void OGL_input_mouse_wheel_event(int steps);
// A press followed by a release: what a quick tap between two frames gives.
void OGL_input_tap_key(int key);

// Queries (sticky, see above).
int OGL_input_get_key(int key);
int OGL_input_get_mouse_button(int button);
// The pointer in logical screen pixels (0..width-1, 0..height-1 inside the window).
void OGL_input_get_mouse_pos(int *x, int *y);
// Moves the pointer (logical screen pixels).
void OGL_input_set_mouse_pos(int x, int y);
// The wheel position: the sum of every step so far.
int OGL_input_get_mouse_wheel();
// The pending character (0 when none); reading it clears it.
int OGL_input_get_char();

// Clear operations: every key released and the pending character dropped;
// the three mouse buttons released.
void OGL_input_clear_keys();
void OGL_input_clear_mouse_buttons();

// Callbacks (null removes) and key repeat for the key callback.
void OGL_input_set_key_callback(OGL_key_callback cb);
void OGL_input_set_char_callback(OGL_char_callback cb);
void OGL_input_set_key_repeat(bool on);

// Shows or hides the system pointer; hidden with capture keeps the pointer
// in the window.
void OGL_input_set_cursor_visible(bool visible, bool capture);

// Event taps, for demos: every event on the event path above is handed to the
// tap after it took effect (null removes). With window events off, the
// window library's events and input scripts are dropped, so that only
// injected events reach the game (a demo being replayed).
enum {
    OGL_EVENT_KEY = 1,          // a key code, b action
    OGL_EVENT_CHAR = 2,         // a code point
    OGL_EVENT_MOUSE_BUTTON = 3, // a button, b action
    OGL_EVENT_MOUSE_MOVE = 4,   // a x, b y
    OGL_EVENT_MOUSE_WHEEL = 5,  // a steps
};
typedef void (*OGL_event_tap)(int type, int a, int b);
void OGL_input_set_event_tap(OGL_event_tap tap);
void OGL_input_set_window_events(bool on);

// Input scripts: a list of "frame:key" entries separated by commas or spaces
// ("120:F8 200:F8 260:ESC"); the key is tapped when frame number `frame` is
// reached. OGL_input_script_frame() is called once per frame by the buffer
// swap. A malformed entry makes the whole script refused (false, logged).
bool OGL_input_script_set(const char *script);
void OGL_input_script_frame();
// Frames counted since the script was set.
uint32_t OGL_input_script_frame_number();
