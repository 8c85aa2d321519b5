#pragma once
// The GUI's widget record and the operations of each kind (internal to the GUI).

#include <cstdint>

#include "corelib/dlist.h"

struct OGL_texture;
struct gui_mouse_state;
struct gui_widget;

struct gui_widget_ops {
    const char *kind_name;
    void (*set_state)(gui_widget *w, uint32_t state);
    void (*update)(gui_widget *w, const gui_mouse_state *mouse);
    void (*draw)(const gui_widget *w);
    void (*free_data)(gui_widget *w); // releases the kind's data and textures
};

struct gui_widget {
    dlist link;
    uint32_t kind;
    uint32_t state;
    uint32_t layer;
    const gui_widget_ops *ops;
    void *data;
    char *name;
    uint8_t enabled, visible;
};

struct gui_picture_data {
    OGL_texture *texture;
    int32_t x, y, w, h;
};

struct gui_button_data {
    OGL_texture *cold, *hot_texture;
    int32_t x, y, w, h;
    uint8_t clicked, hot, entered;
};

struct gui_slider_data {
    uint8_t stepped;
    OGL_texture *knob;
    int32_t x, y;
    int32_t knob_w, knob_h;
    int32_t length;
    int32_t steps;
    int32_t knob_x;
    int32_t grab;
};

struct gui_checkbox_data {
    OGL_texture *set_image, *clear_image, *shown;
    int32_t x, y, w, h;
    uint8_t value;
};

// A context: its identifier and its widgets in the order they were added.
struct gui_context {
    uint32_t id;
    dlist widgets;
    uint32_t widget_count;
};

// The open context of an identifier; null, logged "context %d not found.", when none.
gui_context *gui_find_context_or_log(uint32_t id);
// The first widget of that name (and kind, unless 0) in the context.
gui_widget *gui_find_widget(gui_context *c, const char *name, uint32_t kind = 0);

extern const gui_widget_ops GUI_PICTURE_OPS, GUI_BUTTON_OPS, GUI_SLIDER_OPS, GUI_CHECKBOX_OPS;

// The hit test: edges included.
bool gui_inside(int32_t px, int32_t py, int32_t x, int32_t y, int32_t w, int32_t h);
// Draws a texture 1:1 at (x, y), alpha-blended when it has 32 bits per pixel.
void gui_draw_texture(const OGL_texture *t, int32_t x, int32_t y);
// The knob position for a dragging cursor at cursor_x (clamped, snapped when stepped).
int32_t gui_slider_drag_position(const gui_slider_data *s, int32_t cursor_x);
