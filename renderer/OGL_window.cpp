#include "OGL_window.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>

#include "OGL_frame_stats.h"
#include "OGL_input.h"
#include "corelib/log.h"
#include "corelib/mem.h"

static OGL_window *current_window;
static bool library_up;
static OGL_swap_hook before_swap;

// ---------------------------------------------------------------------------
// logical screen mapping

void OGL_screen_map_compute(OGL_screen_map *map, int logical_w, int logical_h, int window_w, int window_h, int fb_w,
                            int fb_h)
{
    map->logical_w = std::max(logical_w, 1);
    map->logical_h = std::max(logical_h, 1);
    map->window_w = std::max(window_w, 1);
    map->window_h = std::max(window_h, 1);
    map->fb_w = std::max(fb_w, 1);
    map->fb_h = std::max(fb_h, 1);
    // The largest rectangle of the logical shape that fits, centred.
    int64_t w = map->fb_w, h = int64_t(map->fb_w) * map->logical_h / map->logical_w;
    if (h > map->fb_h) {
        h = map->fb_h;
        w = int64_t(map->fb_h) * map->logical_w / map->logical_h;
    }
    map->rect_w = int(std::max<int64_t>(w, 1));
    map->rect_h = int(std::max<int64_t>(h, 1));
    map->rect_x = (map->fb_w - map->rect_w) / 2;
    map->rect_y = (map->fb_h - map->rect_h) / 2;
}

void OGL_screen_map_cursor_to_logical(const OGL_screen_map *map, double cx, double cy, int *lx, int *ly)
{
    // window coordinates -> frame buffer pixels (top-left origin) -> logical
    double fx = cx * map->fb_w / map->window_w;
    double fy = cy * map->fb_h / map->window_h;
    double top = map->fb_h - (map->rect_y + map->rect_h); // rectangle's top edge, top-left origin
    double x = (fx - map->rect_x) * map->logical_w / map->rect_w;
    double y = (fy - top) * map->logical_h / map->rect_h;
    *lx = int(std::floor(x));
    *ly = int(std::floor(y));
}

void OGL_screen_map_logical_to_cursor(const OGL_screen_map *map, int lx, int ly, double *cx, double *cy)
{
    double top = map->fb_h - (map->rect_y + map->rect_h);
    // the centre of the logical pixel, so that mapping back gives the same pixel
    double fx = map->rect_x + (lx + 0.5) * map->rect_w / map->logical_w;
    double fy = top + (ly + 0.5) * map->rect_h / map->logical_h;
    *cx = fx * map->window_w / map->fb_w;
    *cy = fy * map->window_h / map->fb_h;
}

void OGL_screen_map_logical_rect_to_framebuffer(const OGL_screen_map *map, int x, int y, int w, int h, int out[4])
{
    // Edges are mapped, not sizes, so that adjacent rectangles stay adjacent.
    auto mx = [map](int v) { return map->rect_x + int(int64_t(v) * map->rect_w / map->logical_w); };
    auto my = [map](int v) { return map->rect_y + int(int64_t(v) * map->rect_h / map->logical_h); };
    out[0] = mx(x);
    out[1] = my(y);
    out[2] = mx(x + w) - out[0];
    out[3] = my(y + h) - out[1];
}

// ---------------------------------------------------------------------------
// window

int OGL_window_choose_refresh_rate(const OGL_display_mode *modes, int count, int xsize, int ysize)
{
    int best = 0;
    for (int i = 0; i < count; i++)
        if (modes[i].width == xsize && modes[i].height == ysize && modes[i].refresh_rate > best)
            best = modes[i].refresh_rate;
    return std::min(best, OGL_WINDOW_MAX_REFRESH_RATE);
}

static void __glfw_error(int code, const char *text)
{
    do_log(LOG_WARNING, LOG_TO_FILE | LOG_TO_DEBUGGER, "window library: error 0x%x: %s", code, text ? text : "?");
}

bool OGL_window_library_init()
{
    if (library_up) return true;
    glfwSetErrorCallback(__glfw_error);
    if (!glfwInit()) {
        do_log(LOG_CRITICAL, LOG_TO_ALL, "window library: start-up failed (no display?)");
        return false;
    }
    library_up = true;
    return true;
}

void OGL_window_library_deinit()
{
    if (!library_up) return;
    if (current_window) OGL_window_free(current_window);
    glfwTerminate();
    library_up = false;
}

static int __refresh_rate_for(GLFWmonitor *monitor, int xsize, int ysize)
{
    int count = 0;
    const GLFWvidmode *vm = monitor ? glfwGetVideoModes(monitor, &count) : nullptr;
    if (!vm || count <= 0) return 0;
    OGL_display_mode *modes = static_cast<OGL_display_mode *>(mem_calloc(size_t(count), sizeof(OGL_display_mode)));
    if (!modes) return 0;
    for (int i = 0; i < count; i++) modes[i] = {vm[i].width, vm[i].height, vm[i].refreshRate};
    int rate = OGL_window_choose_refresh_rate(modes, count, xsize, ysize);
    mem_free(modes);
    return rate;
}

OGL_window *OGL_window_create(int xsize, int ysize, bool fullscreen)
{
    OGL_window *w = mem_new_zeroed<OGL_window>();
    if (!w || xsize < 1 || ysize < 1 || !OGL_window_library_init()) {
        mem_free(w);
        BUG();
    }
    glfwDefaultWindowHints();
    glfwWindowHint(GLFW_DEPTH_BITS, 32);
    glfwWindowHint(GLFW_STENCIL_BITS, 8);
    glfwWindowHint(GLFW_CLIENT_API, GLFW_OPENGL_API);
    GLFWmonitor *monitor = nullptr;
    if (fullscreen) {
        monitor = glfwGetPrimaryMonitor();
        int rate = __refresh_rate_for(monitor, xsize, ysize);
        glfwWindowHint(GLFW_RED_BITS, 8);
        glfwWindowHint(GLFW_GREEN_BITS, 8);
        glfwWindowHint(GLFW_BLUE_BITS, 8);
        glfwWindowHint(GLFW_ALPHA_BITS, 8);
        glfwWindowHint(GLFW_REFRESH_RATE, rate > 0 ? rate : GLFW_DONT_CARE);
        do_log(LOG_INFO, LOG_TO_FILE, "OGL_window_create(): full screen %i x %i, refresh rate %i", xsize, ysize, rate);
    }
    w->handle = glfwCreateWindow(xsize, ysize, "", monitor, nullptr);
    if (w->handle) glfwMakeContextCurrent(w->handle);
    if (!w->handle || glfwGetCurrentContext() != w->handle) {
        if (w->handle) glfwDestroyWindow(w->handle);
        mem_free(w);
        BUG();
    }
    w->fov = 90.0f;
    w->xsize = xsize;
    w->ysize = ysize;
    w->fullscreen = fullscreen;
    current_window = w;
    OGL_window_update_map();
    OGL_input_reset();
    OGL_input_attach(w->handle);
    return w;
}

void OGL_window_free(OGL_window *window)
{
    if (!window) return;
    if (window == current_window) {
        OGL_input_attach(nullptr);
        current_window = nullptr;
    }
    if (window->handle) glfwDestroyWindow(window->handle);
    mem_free(window);
}

OGL_window *OGL_window_get() { return current_window; }

void OGL_window_get_size(int *xsize, int *ysize)
{
    *xsize = current_window ? current_window->xsize : 0;
    *ysize = current_window ? current_window->ysize : 0;
}

void OGL_window_set_size(int xsize, int ysize)
{
    if (!current_window || xsize < 1 || ysize < 1) return;
    current_window->xsize = xsize;
    current_window->ysize = ysize;
    OGL_window_update_map();
}

void OGL_window_update_map()
{
    OGL_window *w = current_window;
    if (!w) return;
    int ww = w->xsize, wh = w->ysize, fw = w->xsize, fh = w->ysize;
    glfwGetWindowSize(w->handle, &ww, &wh);
    glfwGetFramebufferSize(w->handle, &fw, &fh);
    // A minimised window reports 0 x 0: keep the last mapping.
    if (ww < 1 || wh < 1 || fw < 1 || fh < 1) {
        if (w->map.logical_w == 0)
            OGL_screen_map_compute(&w->map, w->xsize, w->ysize, w->xsize, w->ysize, w->xsize, w->ysize);
        return;
    }
    OGL_screen_map_compute(&w->map, w->xsize, w->ysize, ww, wh, fw, fh);
}

const OGL_screen_map *OGL_window_get_map() { return current_window ? &current_window->map : nullptr; }

bool OGL_window_is_open() { return current_window && !glfwWindowShouldClose(current_window->handle); }

void OGL_window_set_title(const char *title)
{
    if (current_window) glfwSetWindowTitle(current_window->handle, title);
}

void OGL_window_set_swap_interval(int interval)
{
    if (current_window) glfwSwapInterval(interval);
}

// ---------------------------------------------------------------------------
// viewport, projection, clear, swap

void OGL_set_viewport(int x, int y, int width, int height)
{
    if (!current_window) {
        glViewport(x, y, width, height);
        return;
    }
    int r[4];
    OGL_screen_map_logical_rect_to_framebuffer(&current_window->map, x, y, width, height, r);
    glViewport(r[0], r[1], r[2], r[3]);
}

void OGL_set_viewport_and_projection(int width, int height, float fov)
{
    if (height < 1) height = 1;
    OGL_set_viewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fov, double(width) / double(height), 0.1, 100000.0);
    glMatrixMode(GL_MODELVIEW);
}

void OGL_clear()
{
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void OGL_set_clear_color(const float rgba[4]) { glClearColor(rgba[0], rgba[1], rgba[2], rgba[3]); }

void OGL_window_set_before_swap_hook(OGL_swap_hook hook) { before_swap = hook; }

void OGL_swap_buffers()
{
    if (!current_window) return;
    if (before_swap) before_swap();
    int64_t before = OGL_frame_stats_now();
    glfwSwapBuffers(current_window->handle);
    OGL_frame_stats_add_swap_ticks(OGL_frame_stats_now() - before);
    OGL_input_poll();
    OGL_input_script_frame();
    OGL_window_update_map();
}
