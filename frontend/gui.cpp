// The GUI manager: contexts, making widgets, update and drawing.

#include "gui.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "corelib/array.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "gui_mouse.h"
#include "gui_textures.h"
#include "gui_widgets.h"
#include "renderer/OGL_texture.h"

static struct {
    array<gui_context *> *contexts; // a closed context leaves a null slot
    int gui_context_counter;
    uint32_t last_id;
    array<gui_widget *> *order; // drawing order of one context, reused
} mgr;

void gui_manager_init()
{
    ASSERT(mgr.contexts == nullptr);
    mgr.contexts = array_new<gui_context *>();
    ASSERT(mgr.contexts != nullptr);
    mgr.gui_context_counter = 0;
}

bool gui_manager_is_inited() { return mgr.contexts != nullptr; }

void gui_system_deinit()
{
    if (mgr.gui_context_counter != 0)
        log_fault_reason(__func__, __FILE__, __LINE__, "\"gui_system_deinit: gui_context_counter != 0\"");
    array_free(mgr.contexts);
    mgr.contexts = nullptr;
    array_free(mgr.order);
    mgr.order = nullptr;
}

int gui_context_count() { return mgr.gui_context_counter; }

// ---- contexts ----------------------------------------------------------------

static uint32_t __clock_ms()
{
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

uint32_t gui_context_init()
{
    ASSERT(mgr.contexts != nullptr);
    // the clock read after a millisecond's sleep: never the previous context's
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    uint32_t id = __clock_ms();
    if (id == mgr.last_id) id++;
    mgr.last_id = id;
    gui_context *c = mem_new_zeroed<gui_context>();
    ASSERT(c != nullptr);
    c->id = id;
    dlist_init(&c->widgets);
    uint32_t slot = 0;
    while (slot < mgr.contexts->get_size() && (*mgr.contexts)[slot]) slot++;
    if (slot == mgr.contexts->get_size())
        ASSERT(mgr.contexts->add(c));
    else
        (*mgr.contexts)[slot] = c;
    mgr.gui_context_counter++;
    return id;
}

static gui_context *__find_context(uint32_t id)
{
    if (!mgr.contexts) return nullptr;
    for (gui_context *c : *mgr.contexts)
        if (c && c->id == id) return c;
    return nullptr;
}

gui_context *gui_find_context_or_log(uint32_t id)
{
    gui_context *c = __find_context(id);
    if (!c) do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "context %d not found.", int(id));
    return c;
}

static void __free_widget(gui_widget *w)
{
    w->ops->free_data(w);
    mem_free(w->name);
    mem_free(w);
}

// Frees a context's widgets.
static void gui_manager_deinit(gui_context *c)
{
    ASSERT(mgr.contexts != nullptr);
    while (!dlist_is_empty(&c->widgets)) {
        dlist *node = c->widgets.next;
        dlist_unlink(node);
        __free_widget(dlist_entry<gui_widget>(node));
    }
    c->widget_count = 0;
}

void gui_context_deinit(uint32_t id)
{
    gui_context *c = __find_context(id);
    if (!c) log_fault_reason(__func__, __FILE__, __LINE__, "\"gui_context_deinit: guihandle invalid !!\"");
    gui_manager_deinit(c);
    for (gui_context *&slot : *mgr.contexts)
        if (slot == c) slot = nullptr;
    mem_free(c);
    mgr.gui_context_counter--;
}

// ---- widgets -----------------------------------------------------------------

gui_widget *gui_find_widget(gui_context *c, const char *name, uint32_t kind)
{
    dlist_for_each(pos, &c->widgets)
    {
        gui_widget *w = dlist_entry<gui_widget>(pos);
        if ((kind == 0 || w->kind == kind) && std::strcmp(w->name, name) == 0) return w;
    }
    return nullptr;
}

static bool __add_widget(gui_context *c, const char *name, uint32_t kind, const gui_widget_ops *ops, void *data,
                         uint32_t layer)
{
    gui_widget *w = mem_new_zeroed<gui_widget>();
    ASSERT(w != nullptr);
    w->name = mem_strdup(name);
    ASSERT(w->name != nullptr);
    w->kind = kind;
    w->ops = ops;
    w->data = data;
    w->layer = layer < GUI_LAYERS ? layer : GUI_LAYERS - 1;
    w->enabled = w->visible = 1;
    dlist_insert_back(&w->link, &c->widgets);
    c->widget_count++;
    return true;
}

bool gui_add_gfx(uint32_t context, const char *name, int32_t x, int32_t y, const char *texture_file, uint32_t layer)
{
    gui_context *c = gui_find_context_or_log(context);
    if (!c) return false;
    OGL_texture *t = gui_texture_get(texture_file);
    if (!t) return false;
    gui_picture_data *d = mem_new_zeroed<gui_picture_data>();
    ASSERT(d != nullptr);
    *d = {t, x, y, int32_t(t->xsize), int32_t(t->ysize)};
    return __add_widget(c, name, GUI_WIDGET_PICTURE, &GUI_PICTURE_OPS, d, layer);
}

bool gui_add_button(uint32_t context, const char *name, int32_t x, int32_t y, const char *cold_texture_file,
                    const char *hot_texture_file, uint32_t layer)
{
    gui_context *c = gui_find_context_or_log(context);
    if (!c) return false;
    OGL_texture *cold = gui_texture_get(cold_texture_file);
    OGL_texture *hot = gui_texture_get(hot_texture_file);
    if (!cold || !hot) {
        gui_texture_release(cold);
        gui_texture_release(hot);
        return false;
    }
    gui_button_data *d = mem_new_zeroed<gui_button_data>();
    ASSERT(d != nullptr);
    d->cold = cold;
    d->hot_texture = hot;
    d->x = x;
    d->y = y;
    d->w = int32_t(cold->xsize);
    d->h = int32_t(cold->ysize);
    return __add_widget(c, name, GUI_WIDGET_BUTTON, &GUI_BUTTON_OPS, d, layer);
}

bool gui_add_slider(uint32_t context, const char *name, int32_t x, int32_t y, int32_t length,
                    const char *knob_texture_file, uint32_t layer)
{
    gui_context *c = gui_find_context_or_log(context);
    if (!c) return false;
    OGL_texture *knob = gui_texture_get(knob_texture_file);
    if (!knob) return false;
    gui_slider_data *d = mem_new_zeroed<gui_slider_data>();
    ASSERT(d != nullptr);
    d->knob = knob;
    d->x = x;
    d->y = y;
    d->knob_w = int32_t(knob->xsize);
    d->knob_h = int32_t(knob->ysize);
    d->length = length > 0 ? length : 0;
    d->knob_x = x;
    return __add_widget(c, name, GUI_WIDGET_SLIDER, &GUI_SLIDER_OPS, d, layer);
}

bool gui_add_checkbox(uint32_t context, const char *name, int32_t x, int32_t y, const char *set_image_file,
                      const char *clear_image_file, uint8_t value, uint32_t layer)
{
    gui_context *c = gui_find_context_or_log(context);
    if (!c) return false;
    OGL_texture *set = gui_texture_get(set_image_file);
    OGL_texture *clear = gui_texture_get(clear_image_file);
    if (!set || !clear) {
        gui_texture_release(set);
        gui_texture_release(clear);
        return false;
    }
    gui_checkbox_data *d = mem_new_zeroed<gui_checkbox_data>();
    ASSERT(d != nullptr);
    d->set_image = set;
    d->clear_image = clear;
    d->value = value ? 1 : 0;
    d->shown = d->value ? set : clear;
    d->x = x;
    d->y = y;
    d->w = int32_t(d->shown->xsize);
    d->h = int32_t(d->shown->ysize);
    return __add_widget(c, name, GUI_WIDGET_CHECKBOX, &GUI_CHECKBOX_OPS, d, layer);
}

// ---- frame -------------------------------------------------------------------

void gui_update_with_mouse(float dt, const gui_mouse_state *mouse)
{
    (void)dt;
    if (!mgr.contexts) return;
    for (gui_context *c : *mgr.contexts) {
        if (!c) continue;
        dlist_for_each(pos, &c->widgets)
        {
            gui_widget *w = dlist_entry<gui_widget>(pos);
            if (w->enabled) w->ops->update(w, mouse);
        }
    }
}

void gui_update(float dt) { gui_update_with_mouse(dt, gui_mouse_get_state()); }

void gui_render()
{
    if (!mgr.contexts) return;
    if (!mgr.order && !(mgr.order = array_new<gui_widget *>())) return;
    array<gui_widget *> *order = mgr.order;
    for (gui_context *c : *mgr.contexts) {
        if (!c) continue;
        order->cur_elements = 0;
        dlist_for_each(pos, &c->widgets)
        {
            gui_widget *w = dlist_entry<gui_widget>(pos);
            if (w->visible) order->add(w);
        }
        // layers rising, list order within a layer
        std::stable_sort(order->begin(), order->end(),
                         [](const gui_widget *a, const gui_widget *b) { return a->layer < b->layer; });
        for (gui_widget *w : *order) w->ops->draw(w);
    }
}
