#include "gui_mouse.h"

#include "corelib/log.h"
#include "gui_textures.h"
#include "renderer/OGL_blitter.h"
#include "renderer/OGL_input.h"
#include "renderer/OGL_texture.h"
#include "renderer/OGL_window.h"

// The overlay's size when no window is open.
#define __SCREEN_W 800
#define __SCREEN_H 600

static struct {
    int inited; // init calls not yet matched by deinit
    OGL_texture *normal, *hot;
    gui_mouse_state state;
} mouse;

static OGL_texture *__load_cursor(const char *file, const char *name)
{
    OGL_texture *t = gui_texture_load(file, name);
    if (!t)
        do_log(LOG_CRITICAL, LOG_TO_MSGBOX | LOG_TO_FILE, "%s: cannot load cursor textures \"%s\"!", "gui_mouse_init",
               file);
    return t;
}

bool gui_mouse_init(const char *normal_cursor_file, const char *hot_cursor_file)
{
    if (mouse.inited++ > 0) return mouse.normal && mouse.hot;
    mouse.normal = __load_cursor(normal_cursor_file, GUI_MOUSE_NORMAL_NAME);
    mouse.hot = __load_cursor(hot_cursor_file, GUI_MOUSE_HOT_NAME);
    return mouse.normal && mouse.hot;
}

void gui_mouse_deinit()
{
    ASSERT(mouse.inited > 0);
    if (--mouse.inited > 0) return;
    if (mouse.normal) OGL_texture_free(mouse.normal);
    if (mouse.hot) OGL_texture_free(mouse.hot);
    mouse.normal = mouse.hot = nullptr;
}

bool gui_mouse_is_inited() { return mouse.inited > 0; }

void gui_mouse_update(float dt)
{
    (void)dt;
    ASSERT(mouse.inited > 0);
    int w = __SCREEN_W, h = __SCREEN_H;
    if (OGL_window_get()) OGL_window_get_size(&w, &h);
    int x, y;
    OGL_input_get_mouse_pos(&x, &y);
    int cx = x < 0 ? 0 : (x > w ? w : x);
    int cy = y < 0 ? 0 : (y > h ? h : y);
    if (cx != x || cy != y) OGL_input_set_mouse_pos(cx, cy);
    mouse.state.x = cx;
    mouse.state.y = cy;
    const uint8_t down = OGL_input_get_mouse_button(OGL_MOUSE_BUTTON_LEFT) == OGL_PRESS ? 1 : 0;
    if (down && !mouse.state.button) {
        mouse.state.press_x = cx;
        mouse.state.press_y = cy;
    }
    mouse.state.button = down;
}

const gui_mouse_state *gui_mouse_get_state() { return &mouse.state; }

static void __render(const OGL_texture *t)
{
    ASSERT(mouse.inited > 0);
    if (!t) return;
    OGL_blit_texture(t, float(mouse.state.x), float(mouse.state.y), float(t->xsize), float(t->ysize),
                     t->bpp == 32 ? OGL_BLIT_ALPHA : 0);
}

void gui_mouse_render_cold() { __render(mouse.normal); }
void gui_mouse_render_hot() { __render(mouse.hot); }
