// The four widget kinds: their state machines and their drawing.

#include "gui_widgets.h"

#include "corelib/mem.h"
#include "gui_mouse.h"
#include "gui_textures.h"
#include "renderer/OGL_blitter.h"
#include "renderer/OGL_texture.h"

bool gui_inside(int32_t px, int32_t py, int32_t x, int32_t y, int32_t w, int32_t h)
{
    return x <= px && px <= x + w && y <= py && py <= y + h;
}

void gui_draw_texture(const OGL_texture *t, int32_t x, int32_t y)
{
    if (!t) return;
    OGL_blit_texture(t, float(x), float(y), float(t->xsize), float(t->ysize), t->bpp == 32 ? OGL_BLIT_ALPHA : 0);
}

static void __set_state(gui_widget *w, uint32_t state) { w->state = state; }

// The button is down and went down inside the rectangle: a press that began
// elsewhere and was dragged over a widget does not work it.
static bool __pressed_inside(const gui_mouse_state *m, int32_t x, int32_t y, int32_t w, int32_t h)
{
    return m->button && gui_inside(m->press_x, m->press_y, x, y, w, h);
}

// ---- picture -----------------------------------------------------------------

static void __picture_update(gui_widget *, const gui_mouse_state *) {}

static void __picture_draw(const gui_widget *w)
{
    const gui_picture_data *p = static_cast<const gui_picture_data *>(w->data);
    gui_draw_texture(p->texture, p->x, p->y);
}

static void __picture_free(gui_widget *w)
{
    gui_picture_data *p = static_cast<gui_picture_data *>(w->data);
    gui_texture_release(p->texture);
    mem_free(p);
}

const gui_widget_ops GUI_PICTURE_OPS = {"gfx", __set_state, __picture_update, __picture_draw, __picture_free};

// ---- button ------------------------------------------------------------------

static void __button_update(gui_widget *w, const gui_mouse_state *m)
{
    gui_button_data *b = static_cast<gui_button_data *>(w->data);
    const bool inside = gui_inside(m->x, m->y, b->x, b->y, b->w, b->h);
    switch (w->state) {
    case 0:
        if (inside) {
            w->state = 3;
            b->hot = 1;
            b->entered = 1;
        }
        break;
    case 3:
        if (!inside) {
            w->state = 4;
            b->hot = 0;
        } else if (__pressed_inside(m, b->x, b->y, b->w, b->h)) {
            w->state = 1;
        }
        break;
    case 1:
        if (!m->button) {
            w->state = 2;
            if (inside)
                b->clicked = 1;
            else
                b->hot = 0; // dragged off: the highlight must not stay behind
        }
        break;
    case 2: w->state = 0; break;
    case 4: w->state = inside ? 3 : 0; break;
    }
}

static void __button_draw(const gui_widget *w)
{
    const gui_button_data *b = static_cast<const gui_button_data *>(w->data);
    gui_draw_texture(b->hot ? b->hot_texture : b->cold, b->x, b->y);
}

static void __button_free(gui_widget *w)
{
    gui_button_data *b = static_cast<gui_button_data *>(w->data);
    gui_texture_release(b->cold);
    gui_texture_release(b->hot_texture);
    mem_free(b);
}

const gui_widget_ops GUI_BUTTON_OPS = {"button", __set_state, __button_update, __button_draw, __button_free};

// ---- slider ------------------------------------------------------------------

int32_t gui_slider_drag_position(const gui_slider_data *s, int32_t cursor_x)
{
    int32_t pos = cursor_x - s->grab;
    if (pos < s->x) pos = s->x;
    if (pos > s->x + s->length) pos = s->x + s->length;
    // more steps than pixels: every pixel is a step
    const int32_t step = s->stepped && s->steps > 0 ? s->length / s->steps : 0;
    if (step > 0) pos = s->x + (pos - s->x) / step * step;
    return pos;
}

static void __slider_update(gui_widget *w, const gui_mouse_state *m)
{
    gui_slider_data *s = static_cast<gui_slider_data *>(w->data);
    const bool in_knob = gui_inside(m->x, m->y, s->knob_x, s->y, s->knob_w, s->knob_h);
    const bool in_track = gui_inside(m->x, m->y, s->x, s->y, s->length, s->knob_h);
    switch (w->state) {
    case 0:
        if (in_knob)
            w->state = 3;
        else if (in_track)
            w->state = 5;
        break;
    case 3:
        if (!in_knob) {
            w->state = 4;
        } else if (__pressed_inside(m, s->knob_x, s->y, s->knob_w, s->knob_h)) {
            w->state = 1;
            s->grab = m->x - s->knob_x;
        }
        break;
    case 5:
        if (!in_track) {
            w->state = 4;
        } else if (__pressed_inside(m, s->x, s->y, s->length, s->knob_h)) {
            w->state = 1;
            s->grab = 0;
        }
        break;
    case 1:
        if (!m->button)
            w->state = 2;
        else
            s->knob_x = gui_slider_drag_position(s, m->x);
        break;
    case 2:
    case 4: w->state = 0; break;
    }
}

static void __slider_draw(const gui_widget *w)
{
    const gui_slider_data *s = static_cast<const gui_slider_data *>(w->data);
    gui_draw_texture(s->knob, s->knob_x, s->y);
}

static void __slider_free(gui_widget *w)
{
    gui_slider_data *s = static_cast<gui_slider_data *>(w->data);
    gui_texture_release(s->knob);
    mem_free(s);
}

const gui_widget_ops GUI_SLIDER_OPS = {"slider", __set_state, __slider_update, __slider_draw, __slider_free};

// ---- checkbox ----------------------------------------------------------------

static void __checkbox_update(gui_widget *w, const gui_mouse_state *m)
{
    gui_checkbox_data *c = static_cast<gui_checkbox_data *>(w->data);
    const bool inside = gui_inside(m->x, m->y, c->x, c->y, c->w, c->h);
    switch (w->state) {
    case 0:
        if (inside) w->state = 3;
        break;
    case 3:
        if (!inside)
            w->state = 4;
        else if (__pressed_inside(m, c->x, c->y, c->w, c->h))
            w->state = 1;
        break;
    case 1:
        if (!m->button) w->state = 2;
        break;
    case 2:
        if (inside) {
            c->value = c->value ? 0 : 1;
            c->shown = c->value ? c->set_image : c->clear_image;
        }
        w->state = 0;
        break;
    case 4: w->state = inside ? 3 : 0; break;
    }
}

static void __checkbox_draw(const gui_widget *w)
{
    const gui_checkbox_data *c = static_cast<const gui_checkbox_data *>(w->data);
    gui_draw_texture(c->value ? c->set_image : c->clear_image, c->x, c->y);
}

static void __checkbox_free(gui_widget *w)
{
    gui_checkbox_data *c = static_cast<gui_checkbox_data *>(w->data);
    gui_texture_release(c->set_image);
    gui_texture_release(c->clear_image);
    mem_free(c);
}

const gui_widget_ops GUI_CHECKBOX_OPS = {"checkbox", __set_state, __checkbox_update, __checkbox_draw, __checkbox_free};
