// Polling and setting widgets by context and name.

#include <cstring>

#include "corelib/dlist.h"
#include "gui.h"
#include "gui_widgets.h"

template <typename D> static D *__find_data(uint32_t context, const char *name, uint32_t kind)
{
    gui_context *c = gui_find_context_or_log(context);
    if (!c) return nullptr;
    gui_widget *w = gui_find_widget(c, name, kind);
    return w ? static_cast<D *>(w->data) : nullptr;
}

uint8_t gui_button_clicked(uint32_t context, const char *name)
{
    gui_button_data *b = __find_data<gui_button_data>(context, name, GUI_WIDGET_BUTTON);
    if (!b) return 0;
    uint8_t r = b->clicked;
    b->clicked = 0;
    return r;
}

uint8_t gui_button_entered(uint32_t context, const char *name)
{
    gui_button_data *b = __find_data<gui_button_data>(context, name, GUI_WIDGET_BUTTON);
    if (!b) return 0;
    uint8_t r = b->entered;
    b->entered = 0;
    return r;
}

uint8_t gui_button_hot(uint32_t context, const char *name)
{
    gui_button_data *b = __find_data<gui_button_data>(context, name, GUI_WIDGET_BUTTON);
    return b ? b->hot : 0;
}

float gui_slider_get_value(uint32_t context, const char *name)
{
    gui_context *c = gui_find_context_or_log(context);
    if (!c) return -1.0f;
    gui_widget *w = gui_find_widget(c, name, GUI_WIDGET_SLIDER);
    if (!w) return 0.0f;
    const gui_slider_data *s = static_cast<const gui_slider_data *>(w->data);
    return s->length > 0 ? float(s->knob_x - s->x) / float(s->length) : 0.0f;
}

void gui_slider_set_value(uint32_t context, const char *name, float value)
{
    gui_slider_data *s = __find_data<gui_slider_data>(context, name, GUI_WIDGET_SLIDER);
    if (!s) return;
    if (!(value > 0.0f)) value = 0.0f; // NaN too
    if (value > 1.0f) value = 1.0f;
    if (value == 0.0f)
        s->knob_x = s->x;
    else if (value == 1.0f)
        s->knob_x = s->x + s->length;
    else
        s->knob_x = s->x + int32_t(float(s->length) * value);
}

bool gui_slider_set_steps(uint32_t context, const char *name, int32_t steps)
{
    gui_context *c = gui_find_context_or_log(context);
    if (!c || steps <= 0) return false;
    bool any = false;
    dlist_for_each(pos, &c->widgets)
    {
        gui_widget *w = dlist_entry<gui_widget>(pos);
        if (w->kind != GUI_WIDGET_SLIDER || std::strcmp(w->name, name) != 0) continue;
        gui_slider_data *s = static_cast<gui_slider_data *>(w->data);
        s->stepped = 1;
        s->steps = steps;
        any = true;
    }
    return any;
}

int32_t gui_slider_get_knob_x(uint32_t context, const char *name)
{
    gui_slider_data *s = __find_data<gui_slider_data>(context, name, GUI_WIDGET_SLIDER);
    return s ? s->knob_x : 0;
}

uint8_t gui_checkbox_get_checked(uint32_t context, const char *name)
{
    gui_checkbox_data *d = __find_data<gui_checkbox_data>(context, name, GUI_WIDGET_CHECKBOX);
    return d ? d->value : 0;
}

void gui_checkbox_set_checked(uint32_t context, const char *name, uint8_t checked)
{
    gui_checkbox_data *d = __find_data<gui_checkbox_data>(context, name, GUI_WIDGET_CHECKBOX);
    if (!d) return;
    d->value = checked ? 1 : 0;
    d->shown = d->value ? d->set_image : d->clear_image;
}

int32_t gui_widget_get_state(uint32_t context, const char *name)
{
    gui_context *c = gui_find_context_or_log(context);
    gui_widget *w = c ? gui_find_widget(c, name) : nullptr;
    return w ? int32_t(w->state) : -1;
}

void gui_widget_set_visible(uint32_t context, const char *name, bool visible)
{
    gui_context *c = gui_find_context_or_log(context);
    gui_widget *w = c ? gui_find_widget(c, name) : nullptr;
    if (w) w->visible = visible ? 1 : 0;
}

void gui_widget_set_enabled(uint32_t context, const char *name, bool enabled)
{
    gui_context *c = gui_find_context_or_log(context);
    gui_widget *w = c ? gui_find_widget(c, name) : nullptr;
    if (!w) return;
    w->enabled = enabled ? 1 : 0;
    if (!enabled) w->ops->set_state(w, 0);
}
