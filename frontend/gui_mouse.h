#pragma once
// The GUI's mouse: the cursor position kept inside the window, the left
// button, and the two cursor pictures (normal and highlighted).
//
// gui_mouse_update() reads the input layer once a frame; the GUI's widgets
// all see that one reading, so a click between two frames reaches every
// widget alike.

#include <cstdint>

#define GUI_MOUSE_NORMAL_NAME "mouse norm"
#define GUI_MOUSE_HOT_NAME "mouse hi"

struct gui_mouse_state {
    int32_t x, y;             // overlay pixels
    uint8_t button;           // left button down
    int32_t press_x, press_y; // where the button went down (valid while it is down)
};

// Counted: the first call loads the two cursor pictures. A picture that
// cannot be loaded is logged with its file name and the cursor is not drawn
// (false); the mouse still works.
bool gui_mouse_init(const char *normal_cursor_file, const char *hot_cursor_file);
// Counted: the last call frees the cursor pictures.
void gui_mouse_deinit();
bool gui_mouse_is_inited();

// Reads the pointer and the left button; a pointer outside the window
// (0..width, 0..height of the logical screen) is clamped and put back there.
void gui_mouse_update(float dt);
const gui_mouse_state *gui_mouse_get_state();

// The cursor picture with its top-left corner at the pointer.
void gui_mouse_render_cold();
void gui_mouse_render_hot();
