#include "OGL_input.h"

#include <GLFW/glfw3.h>

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "OGL_window.h"
#include "corelib/log.h"
#include "corelib/mem.h"

// Key and button states. STICK: released after a press that no query saw.
enum { __KS_RELEASED = 0, __KS_PRESSED = 1, __KS_SEEN = 2, __KS_STICK = 3 };

#define __SCRIPT_MAX_ENTRIES 1024

struct __script_entry {
    uint32_t frame;
    int key;
};

static struct {
    GLFWwindow *window;
    uint8_t keys[OGL_KEY_STATES];
    uint8_t buttons[OGL_MOUSE_BUTTONS];
    int mouse_x, mouse_y;
    int wheel;
    double wheel_rest; // fractional scroll not yet a whole step
    int pending_char;
    bool key_repeat;
    OGL_key_callback key_cb;
    OGL_char_callback char_cb;
    __script_entry *script;
    uint32_t script_count;
    uint32_t script_frame;
    OGL_event_tap tap;
    bool window_events_off;
} in;

void OGL_input_reset()
{
    // The window link, a running input script and the demo's tap survive.
    GLFWwindow *window = in.window;
    __script_entry *script = in.script;
    uint32_t count = in.script_count, frame = in.script_frame;
    OGL_event_tap tap = in.tap;
    bool window_events_off = in.window_events_off;
    std::memset(&in, 0, sizeof(in));
    in.tap = tap;
    in.window_events_off = window_events_off;
    in.window = window;
    in.script = script;
    in.script_count = count;
    in.script_frame = frame;
}

// ---------------------------------------------------------------------------
// key codes

int OGL_input_key_from_glfw(int k)
{
    if (k >= 32 && k <= 162) return k; // printable: the character code
    if (k >= GLFW_KEY_F1 && k <= GLFW_KEY_F25) return OGL_KEY_F1 + (k - GLFW_KEY_F1);
    if (k >= GLFW_KEY_KP_0 && k <= GLFW_KEY_KP_9) return OGL_KEY_KP_0 + (k - GLFW_KEY_KP_0);
    switch (k) {
    case GLFW_KEY_ESCAPE: return OGL_KEY_ESC;
    case GLFW_KEY_ENTER: return OGL_KEY_ENTER;
    case GLFW_KEY_TAB: return OGL_KEY_TAB;
    case GLFW_KEY_BACKSPACE: return OGL_KEY_BACKSPACE;
    case GLFW_KEY_INSERT: return OGL_KEY_INSERT;
    case GLFW_KEY_DELETE: return OGL_KEY_DEL;
    case GLFW_KEY_RIGHT: return OGL_KEY_RIGHT;
    case GLFW_KEY_LEFT: return OGL_KEY_LEFT;
    case GLFW_KEY_DOWN: return OGL_KEY_DOWN;
    case GLFW_KEY_UP: return OGL_KEY_UP;
    case GLFW_KEY_PAGE_UP: return OGL_KEY_PAGEUP;
    case GLFW_KEY_PAGE_DOWN: return OGL_KEY_PAGEDOWN;
    case GLFW_KEY_HOME: return OGL_KEY_HOME;
    case GLFW_KEY_END: return OGL_KEY_END;
    case GLFW_KEY_CAPS_LOCK: return OGL_KEY_CAPS_LOCK;
    case GLFW_KEY_SCROLL_LOCK: return OGL_KEY_SCROLL_LOCK;
    case GLFW_KEY_NUM_LOCK: return OGL_KEY_KP_NUM_LOCK;
    case GLFW_KEY_PAUSE: return OGL_KEY_PAUSE;
    case GLFW_KEY_KP_DECIMAL: return OGL_KEY_KP_DECIMAL;
    case GLFW_KEY_KP_DIVIDE: return OGL_KEY_KP_DIVIDE;
    case GLFW_KEY_KP_MULTIPLY: return OGL_KEY_KP_MULTIPLY;
    case GLFW_KEY_KP_SUBTRACT: return OGL_KEY_KP_SUBTRACT;
    case GLFW_KEY_KP_ADD: return OGL_KEY_KP_ADD;
    case GLFW_KEY_KP_ENTER: return OGL_KEY_KP_ENTER;
    case GLFW_KEY_KP_EQUAL: return OGL_KEY_KP_EQUAL;
    case GLFW_KEY_LEFT_SHIFT: return OGL_KEY_LSHIFT;
    case GLFW_KEY_LEFT_CONTROL: return OGL_KEY_LCTRL;
    case GLFW_KEY_LEFT_ALT: return OGL_KEY_LALT;
    case GLFW_KEY_LEFT_SUPER: return OGL_KEY_LSUPER;
    case GLFW_KEY_RIGHT_SHIFT: return OGL_KEY_RSHIFT;
    case GLFW_KEY_RIGHT_CONTROL: return OGL_KEY_RCTRL;
    case GLFW_KEY_RIGHT_ALT: return OGL_KEY_RALT;
    case GLFW_KEY_RIGHT_SUPER: return OGL_KEY_RSUPER;
    case GLFW_KEY_MENU: return OGL_KEY_MENU;
    default: return OGL_KEY_UNKNOWN;
    }
}

static const struct {
    const char *name;
    int key;
} __key_names[] = {
    {"SPACE", OGL_KEY_SPACE},       {"ESC", OGL_KEY_ESC},
    {"ESCAPE", OGL_KEY_ESC},        {"ENTER", OGL_KEY_ENTER},
    {"KP_ENTER", OGL_KEY_KP_ENTER}, {"BACKSPACE", OGL_KEY_BACKSPACE},
    {"TAB", OGL_KEY_TAB},           {"UP", OGL_KEY_UP},
    {"DOWN", OGL_KEY_DOWN},         {"LEFT", OGL_KEY_LEFT},
    {"RIGHT", OGL_KEY_RIGHT},       {"PAGEUP", OGL_KEY_PAGEUP},
    {"PAGEDOWN", OGL_KEY_PAGEDOWN},
};

int OGL_input_key_from_name(const char *name)
{
    if (!name || !*name) return OGL_KEY_UNKNOWN;
    size_t len = std::strlen(name);
    if (len == 1) return std::toupper(static_cast<unsigned char>(name[0]));
    if ((name[0] == 'F' || name[0] == 'f') && len <= 3) {
        char *end = nullptr;
        long n = std::strtol(name + 1, &end, 10);
        if (*end == '\0' && n >= 1 && n <= 25) return OGL_KEY_F1 + int(n) - 1;
    }
    if (std::isdigit(static_cast<unsigned char>(name[0]))) {
        char *end = nullptr;
        long n = std::strtol(name, &end, 10);
        if (*end == '\0' && n >= 0 && n <= OGL_KEY_LAST) return int(n);
        return OGL_KEY_UNKNOWN;
    }
    for (const auto &k : __key_names)
        if (strcasecmp(k.name, name) == 0) return k.key;
    return OGL_KEY_UNKNOWN;
}

// ---------------------------------------------------------------------------
// the event path

static void __press(uint8_t *state) { *state = __KS_PRESSED; }

static void __release(uint8_t *state)
{
    // A press that no query has seen yet stays visible for one query.
    *state = *state == __KS_PRESSED ? __KS_STICK : __KS_RELEASED;
}

static int __query(uint8_t *state)
{
    switch (*state) {
    case __KS_PRESSED: *state = __KS_SEEN; return OGL_PRESS;
    case __KS_SEEN: return OGL_PRESS;
    case __KS_STICK: *state = __KS_RELEASED; return OGL_PRESS;
    default: return OGL_RELEASE;
    }
}

static void __tap(int type, int a, int b)
{
    if (in.tap) in.tap(type, a, b);
}

void OGL_input_key_event(int key, int action)
{
    if (key < 0 || key > OGL_KEY_LAST) return;
    __tap(OGL_EVENT_KEY, key, action);
    bool repeat = action == OGL_REPEAT;
    if (key < OGL_KEY_STATES) {
        uint8_t *s = &in.keys[key];
        if (action == OGL_PRESS) {
            // a press of a key already down is a repeat
            if (*s == __KS_PRESSED || *s == __KS_SEEN)
                repeat = true;
            else
                __press(s);
        } else if (action == OGL_RELEASE) {
            __release(s);
        }
    }
    if (!in.key_cb) return;
    if (repeat) {
        if (in.key_repeat) in.key_cb(key, OGL_PRESS);
        return;
    }
    in.key_cb(key, action);
}

void OGL_input_char_event(int character)
{
    if (character <= 0) return;
    __tap(OGL_EVENT_CHAR, character, 0);
    in.pending_char = character;
    if (in.char_cb) in.char_cb(character, OGL_PRESS);
}

void OGL_input_mouse_button_event(int button, int action)
{
    if (button < 0 || button >= OGL_MOUSE_BUTTONS) return;
    __tap(OGL_EVENT_MOUSE_BUTTON, button, action);
    if (action == OGL_PRESS)
        __press(&in.buttons[button]);
    else if (action == OGL_RELEASE)
        __release(&in.buttons[button]);
}

void OGL_input_mouse_move_event(int x, int y)
{
    __tap(OGL_EVENT_MOUSE_MOVE, x, y);
    in.mouse_x = x;
    in.mouse_y = y;
}

void OGL_input_mouse_wheel_event(int steps)
{
    __tap(OGL_EVENT_MOUSE_WHEEL, steps, 0);
    in.wheel += steps;
}

void OGL_input_tap_key(int key)
{
    OGL_input_key_event(key, OGL_PRESS);
    OGL_input_key_event(key, OGL_RELEASE);
}

// ---------------------------------------------------------------------------
// window-library callbacks

static void __glfw_key(GLFWwindow *, int key, int, int action, int)
{
    int k = OGL_input_key_from_glfw(key);
    if (k == OGL_KEY_UNKNOWN || in.window_events_off) return;
    OGL_input_key_event(k, action == GLFW_PRESS ? OGL_PRESS : action == GLFW_REPEAT ? OGL_REPEAT : OGL_RELEASE);
}

static void __glfw_char(GLFWwindow *, unsigned int codepoint)
{
    if (!in.window_events_off) OGL_input_char_event(int(codepoint & 0x1fffff));
}

static void __glfw_mouse_button(GLFWwindow *, int button, int action, int)
{
    int b = button == GLFW_MOUSE_BUTTON_LEFT     ? OGL_MOUSE_BUTTON_LEFT
            : button == GLFW_MOUSE_BUTTON_RIGHT  ? OGL_MOUSE_BUTTON_RIGHT
            : button == GLFW_MOUSE_BUTTON_MIDDLE ? OGL_MOUSE_BUTTON_MIDDLE
                                                 : -1;
    if (in.window_events_off) return;
    OGL_input_mouse_button_event(b, action == GLFW_PRESS ? OGL_PRESS : OGL_RELEASE);
}

static void __glfw_cursor(GLFWwindow *, double x, double y)
{
    if (in.window_events_off) return;
    const OGL_screen_map *map = OGL_window_get_map();
    int lx = int(x), ly = int(y);
    if (map) OGL_screen_map_cursor_to_logical(map, x, y, &lx, &ly);
    OGL_input_mouse_move_event(lx, ly);
}

static void __glfw_scroll(GLFWwindow *, double, double dy)
{
    if (in.window_events_off) return;
    in.wheel_rest += dy;
    int steps = int(in.wheel_rest);
    in.wheel_rest -= steps;
    if (steps) OGL_input_mouse_wheel_event(steps);
}

void OGL_input_attach(GLFWwindow *window)
{
    if (in.window && in.window != window) {
        glfwSetKeyCallback(in.window, nullptr);
        glfwSetCharCallback(in.window, nullptr);
        glfwSetMouseButtonCallback(in.window, nullptr);
        glfwSetCursorPosCallback(in.window, nullptr);
        glfwSetScrollCallback(in.window, nullptr);
    }
    in.window = window;
    if (!window) return;
    glfwSetKeyCallback(window, __glfw_key);
    glfwSetCharCallback(window, __glfw_char);
    glfwSetMouseButtonCallback(window, __glfw_mouse_button);
    glfwSetCursorPosCallback(window, __glfw_cursor);
    glfwSetScrollCallback(window, __glfw_scroll);
}

void OGL_input_poll()
{
    if (in.window) glfwPollEvents();
}

// ---------------------------------------------------------------------------
// queries

int OGL_input_get_key(int key)
{
    if (key < 0 || key >= OGL_KEY_STATES) return OGL_RELEASE;
    return __query(&in.keys[key]);
}

int OGL_input_get_mouse_button(int button)
{
    if (button < 0 || button >= OGL_MOUSE_BUTTONS) return OGL_RELEASE;
    return __query(&in.buttons[button]);
}

void OGL_input_get_mouse_pos(int *x, int *y)
{
    if (x) *x = in.mouse_x;
    if (y) *y = in.mouse_y;
}

void OGL_input_set_mouse_pos(int x, int y)
{
    in.mouse_x = x;
    in.mouse_y = y;
    const OGL_screen_map *map = OGL_window_get_map();
    if (!in.window || !map) return;
    double cx = x, cy = y;
    OGL_screen_map_logical_to_cursor(map, x, y, &cx, &cy);
    glfwSetCursorPos(in.window, cx, cy);
}

int OGL_input_get_mouse_wheel() { return in.wheel; }

int OGL_input_get_char()
{
    int c = in.pending_char;
    in.pending_char = 0;
    return c;
}

void OGL_input_clear_keys()
{
    std::memset(in.keys, __KS_RELEASED, sizeof(in.keys));
    in.pending_char = 0;
}

void OGL_input_clear_mouse_buttons() { std::memset(in.buttons, __KS_RELEASED, sizeof(in.buttons)); }

void OGL_input_set_key_callback(OGL_key_callback cb) { in.key_cb = cb; }
void OGL_input_set_char_callback(OGL_char_callback cb) { in.char_cb = cb; }
void OGL_input_set_key_repeat(bool on) { in.key_repeat = on; }

void OGL_input_set_cursor_visible(bool visible, bool capture)
{
    if (!in.window) return;
    glfwSetInputMode(in.window, GLFW_CURSOR,
                     visible   ? GLFW_CURSOR_NORMAL
                     : capture ? GLFW_CURSOR_DISABLED
                               : GLFW_CURSOR_HIDDEN);
}

// ---------------------------------------------------------------------------
// input scripts

bool OGL_input_script_set(const char *script)
{
    mem_free(in.script);
    in.script = nullptr;
    in.script_count = 0;
    in.script_frame = 0;
    if (!script) return true;
    __script_entry *entries = static_cast<__script_entry *>(mem_calloc(__SCRIPT_MAX_ENTRIES, sizeof(__script_entry)));
    if (!entries) return false;
    uint32_t n = 0;
    const char *p = script;
    while (*p) {
        while (*p == ' ' || *p == ',' || *p == '\t' || *p == '\n' || *p == ';') p++;
        if (!*p) break;
        const char *start = p;
        while (*p && *p != ' ' && *p != ',' && *p != '\t' && *p != '\n' && *p != ';') p++;
        char entry[48];
        size_t len = size_t(p - start);
        const char *colon = static_cast<const char *>(std::memchr(start, ':', len));
        bool ok = len < sizeof(entry) && colon && colon > start && n < __SCRIPT_MAX_ENTRIES;
        long frame = -1;
        int key = OGL_KEY_UNKNOWN;
        if (ok) {
            std::memcpy(entry, start, len);
            entry[len] = '\0';
            entry[colon - start] = '\0';
            char *end = nullptr;
            frame = std::strtol(entry, &end, 10);
            key = OGL_input_key_from_name(entry + (colon - start) + 1);
            ok = *end == '\0' && frame >= 0 && frame <= 100000000L && key != OGL_KEY_UNKNOWN;
        }
        if (!ok) {
            do_log(LOG_WARNING, LOG_TO_FILE | LOG_TO_DEBUGGER, "OGL_input_script_set(): bad entry \"%.*s\"",
                   int(len > 40 ? 40 : len), start);
            mem_free(entries);
            return false;
        }
        entries[n++] = {uint32_t(frame), key};
    }
    in.script = entries;
    in.script_count = n;
    do_log(LOG_INFO, LOG_TO_FILE, "OGL_input_script_set(): %u scripted key presses", n);
    return true;
}

void OGL_input_set_event_tap(OGL_event_tap tap) { in.tap = tap; }

void OGL_input_set_window_events(bool on) { in.window_events_off = !on; }

void OGL_input_script_frame()
{
    if (!in.script || in.window_events_off) return;
    in.script_frame++;
    for (uint32_t i = 0; i < in.script_count; i++)
        if (in.script[i].frame == in.script_frame) {
            do_log(LOG_DEBUG, LOG_TO_FILE, "OGL_input_script_frame(): frame %u, key %i", in.script_frame,
                   in.script[i].key);
            OGL_input_tap_key(in.script[i].key);
        }
}

uint32_t OGL_input_script_frame_number() { return in.script_frame; }
