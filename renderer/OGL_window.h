#pragma once
// The game window: one window with one GL context, the logical screen that
// the engine draws on, viewport and projection, clearing and the timed swap.
//
// The logical screen (xsize x ysize, 800 x 600 for the game) is what the rest
// of the engine sees. The real frame buffer may be larger or smaller (a full
// screen mode the monitor picked, a high-density display): the logical
// screen is scaled to the largest centred rectangle of the same shape that
// fits, and every mapping between logical coordinates, frame buffer pixels
// and pointer positions goes through OGL_screen_map below.

#include <cstdint>

struct GLFWwindow;

// How the logical screen sits in the frame buffer and the window.
struct OGL_screen_map {
    int logical_w, logical_h; // the logical screen
    int window_w, window_h;   // the window in pointer (screen) coordinates
    int fb_w, fb_h;           // the frame buffer in pixels
    int rect_x, rect_y;       // lower-left corner of the logical screen in the frame buffer
    int rect_w, rect_h;       // its size in frame buffer pixels
};

void OGL_screen_map_compute(OGL_screen_map *map, int logical_w, int logical_h, int window_w, int window_h, int fb_w,
                            int fb_h);
// Pointer position (window coordinates, origin top-left) to logical pixels
// (origin top-left), and back.
void OGL_screen_map_cursor_to_logical(const OGL_screen_map *map, double cx, double cy, int *lx, int *ly);
void OGL_screen_map_logical_to_cursor(const OGL_screen_map *map, int lx, int ly, double *cx, double *cy);
// A logical rectangle in GL convention (origin bottom-left) to frame buffer
// pixels: out = x, y, w, h.
void OGL_screen_map_logical_rect_to_framebuffer(const OGL_screen_map *map, int x, int y, int w, int h, int out[4]);

struct OGL_window {
    GLFWwindow *handle; // the window and its GL context
    float fov;          // vertical field of view of the default projection, degrees
    int xsize, ysize;   // the logical screen size
    bool fullscreen;
    OGL_screen_map map;
};

// A display mode as the refresh-rate choice sees it.
struct OGL_display_mode {
    int width, height, refresh_rate;
};
// The refresh rate to ask for at xsize x ysize: the largest rate among modes of
// exactly that size, at most 85; 0 when no mode matches.
int OGL_window_choose_refresh_rate(const OGL_display_mode *modes, int count, int xsize, int ysize);
#define OGL_WINDOW_MAX_REFRESH_RATE 85

// The window library, once per process (OGL_window_create starts it when needed).
bool OGL_window_library_init();
void OGL_window_library_deinit();

// Opens the window (full screen or windowed) and makes its context current.
// Failure is a fault report. The record becomes the current window.
OGL_window *OGL_window_create(int xsize, int ysize, bool fullscreen);
// Closes the window and frees the record.
void OGL_window_free(OGL_window *window);
// The current window (null when none is open).
OGL_window *OGL_window_get();

// The logical screen size; the setter changes the logical screen.
void OGL_window_get_size(int *xsize, int *ysize);
void OGL_window_set_size(int xsize, int ysize);
// Re-reads the window and frame buffer sizes (the swap does it every frame).
void OGL_window_update_map();
const OGL_screen_map *OGL_window_get_map();
// False once the user asked the window to close (or none is open).
bool OGL_window_is_open();
void OGL_window_set_title(const char *title);
void OGL_window_set_swap_interval(int interval);

// Viewport over the whole logical screen and a perspective projection with a
// vertical fov (degrees), aspect width / height, near 0.1, far 100000.0; leaves
// the model-view matrix current. A height below 1 counts as 1.
void OGL_set_viewport_and_projection(int width, int height, float fov);
// Viewport for a logical rectangle (origin bottom-left).
void OGL_set_viewport(int x, int y, int width, int height);
// Depth writes on, then colour and depth buffers cleared.
void OGL_clear();
void OGL_set_clear_color(const float rgba[4]);
// Swaps the buffers, adds the time it took to the frame statistics, processes
// window events and the input script.
void OGL_swap_buffers();
// A function called right before every swap while set (null removes it); the
// frame recorder reads the finished frame there.
typedef void (*OGL_swap_hook)();
void OGL_window_set_before_swap_hook(OGL_swap_hook hook);
