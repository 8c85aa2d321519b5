#pragma once
// The GUI of the menu-like screens: pictures, push buttons, horizontal
// sliders and checkboxes placed in overlay pixels, grouped in contexts,
// driven by the mouse (gui_mouse.h) and drawn in layers 0..255 with the 2D
// blitter, lower layers first.
//
// The game polls widgets by context and name (case-sensitive, first match).
// A call naming a context that is not open logs "context %d not found." and
// does nothing (queries give 0, or -1.0 for a slider value).
//
// Each frame: gui_mouse_update(), gui_update(), draw the background,
// gui_render(), the cursor, then poll.

#include <cstdint>

struct gui_mouse_state;

// Widget kinds.
#define GUI_WIDGET_BUTTON 1u
#define GUI_WIDGET_PICTURE 2u
#define GUI_WIDGET_SLIDER 4u
#define GUI_WIDGET_CHECKBOX 6u

#define GUI_LAYERS 256

// Button states.
#define GUI_BUTTON_IDLE 0u
#define GUI_BUTTON_PRESSED 1u
#define GUI_BUTTON_RELEASED 2u
#define GUI_BUTTON_HOT 3u
#define GUI_BUTTON_LEAVING 4u
// Slider states.
#define GUI_SLIDER_IDLE 0u
#define GUI_SLIDER_DRAGGING 1u
#define GUI_SLIDER_RELEASED 2u
#define GUI_SLIDER_KNOB_HOT 3u
#define GUI_SLIDER_LEAVING 4u
#define GUI_SLIDER_TRACK_HOT 5u
// Checkbox states.
#define GUI_CHECKBOX_IDLE 0u
#define GUI_CHECKBOX_PRESSED 1u
#define GUI_CHECKBOX_RELEASED 2u
#define GUI_CHECKBOX_HOT 3u
#define GUI_CHECKBOX_LEAVING 4u

void gui_manager_init();
// All contexts must be closed first (a fault otherwise).
void gui_system_deinit();
bool gui_manager_is_inited();

// A new context; its identifier is never that of the context made before it.
uint32_t gui_context_init();
// Closes the context with all its widgets; an identifier that is not open is a fault.
void gui_context_deinit(uint32_t context);
int gui_context_count();

// Widgets. Pictures are files (TGA, BMP, JPEG); a picture that cannot be
// loaded is logged with its file name and the widget is not made (false).
// layer: 0..255.
bool gui_add_gfx(uint32_t context, const char *name, int32_t x, int32_t y, const char *texture_file, uint32_t layer);
bool gui_add_button(uint32_t context, const char *name, int32_t x, int32_t y, const char *cold_texture_file,
                    const char *hot_texture_file, uint32_t layer);
bool gui_add_slider(uint32_t context, const char *name, int32_t x, int32_t y, int32_t length,
                    const char *knob_texture_file, uint32_t layer);
bool gui_add_checkbox(uint32_t context, const char *name, int32_t x, int32_t y, const char *set_image_file,
                      const char *clear_image_file, uint8_t value, uint32_t layer);

// Polling.
uint8_t gui_button_clicked(uint32_t context, const char *name); // the click, once
uint8_t gui_button_entered(uint32_t context, const char *name); // the mouse moved onto it, once
uint8_t gui_button_hot(uint32_t context, const char *name);
float gui_slider_get_value(uint32_t context, const char *name);
void gui_slider_set_value(uint32_t context, const char *name, float value);
bool gui_slider_set_steps(uint32_t context, const char *name, int32_t steps);
int32_t gui_slider_get_knob_x(uint32_t context, const char *name);
uint8_t gui_checkbox_get_checked(uint32_t context, const char *name);
void gui_checkbox_set_checked(uint32_t context, const char *name, uint8_t checked);
// A widget's state-machine state (-1 when not found).
int32_t gui_widget_get_state(uint32_t context, const char *name);
// Hidden widgets are not drawn; disabled ones do not follow the mouse.
void gui_widget_set_visible(uint32_t context, const char *name, bool visible);
void gui_widget_set_enabled(uint32_t context, const char *name, bool enabled);

// One step of every widget's state machine, with the mouse as gui_mouse
// read it, or with a given reading.
void gui_update(float dt);
void gui_update_with_mouse(float dt, const gui_mouse_state *mouse);
void gui_render();
