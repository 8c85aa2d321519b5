#include "game_recorder.h"

#include <GL/glew.h>

#include <cstdio>
#include <string>

#include "corelib/files.h"
#include "corelib/gfxloader.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "renderer/OGL_input.h"
#include "renderer/OGL_window.h"

// Frame buffers larger than this are not read back (guards the scratch block).
#define __MAX_READ_SIDE 16384

static struct {
    uint8_t *frame; // null when not recording
    bool captured;  // frame holds a picture read at the last swap
    uint32_t frame_number;
    uint32_t recording_number;
    uint32_t fps;
    std::string directory;
    std::string filename;
} rec;

static void __capture_before_swap();

#define __FAULT(reason) log_fault_reason(__func__, __FILE__, __LINE__, reason)

void recorder_start(const char *directory, uint32_t fps)
{
    if (rec.frame) __FAULT("\"can't start, recording already started\"");
    if (fps == 0) fps = RECORDER_DEFAULT_FPS;
    rec.frame = static_cast<uint8_t *>(mem_alloc(RECORDER_FRAME_BYTES));
    if (!rec.frame) {
        do_log(LOG_CRITICAL, LOG_TO_ALL, "recorder_start(): out of memory, not recording");
        return;
    }
    rec.frame_number = 0;
    rec.captured = false;
    rec.fps = fps;
    OGL_window_set_before_swap_hook(__capture_before_swap);
    rec.directory = directory ? directory : "";
    do_log(LOG_INFO, LOG_TO_FILE, "recorder_start(): recording %u to \"%s\" at %u frames per second",
           rec.recording_number, log_quote(rec.directory.c_str()).text, fps);
}

void recorder_stop()
{
    if (!rec.frame) __FAULT("\"can't end, recording not started\"");
    OGL_window_set_before_swap_hook(nullptr);
    mem_free(rec.frame);
    rec.frame = nullptr;
    do_log(LOG_INFO, LOG_TO_FILE, "recorder_stop(): recording %u ended after %u frames", rec.recording_number,
           rec.frame_number);
    rec.recording_number++;
}

bool recorder_is_recording() { return rec.frame != nullptr; }

const char *recorder_get_current_filename() { return rec.filename.c_str(); }

// Reads the logical screen of a colour buffer into rec.frame at
// RECORDER_WIDTH x RECORDER_HEIGHT.
static void __read_screen(GLenum buffer)
{
    int x = 0, y = 0, w = RECORDER_WIDTH, h = RECORDER_HEIGHT;
    if (const OGL_screen_map *map = OGL_window_get_map()) {
        x = map->rect_x;
        y = map->rect_y;
        w = map->rect_w;
        h = map->rect_h;
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadBuffer(buffer);
    if (w == RECORDER_WIDTH && h == RECORDER_HEIGHT) {
        glReadPixels(x, y, w, h, GL_RGB, GL_UNSIGNED_BYTE, rec.frame);
    } else if (w > 0 && h > 0 && w <= __MAX_READ_SIDE && h <= __MAX_READ_SIDE) {
        uint8_t *shown = static_cast<uint8_t *>(mem_alloc(size_t(w) * size_t(h) * 3));
        if (shown) {
            glReadPixels(x, y, w, h, GL_RGB, GL_UNSIGNED_BYTE, shown);
            for (int j = 0; j < RECORDER_HEIGHT; j++) {
                const size_t sy = size_t(j) * size_t(h) / RECORDER_HEIGHT;
                for (int i = 0; i < RECORDER_WIDTH; i++) {
                    const size_t sx = size_t(i) * size_t(w) / RECORDER_WIDTH;
                    const uint8_t *s = shown + (sy * size_t(w) + sx) * 3;
                    uint8_t *d = rec.frame + (size_t(j) * RECORDER_WIDTH + i) * 3;
                    d[0] = s[0], d[1] = s[1], d[2] = s[2];
                }
            }
            mem_free(shown);
        }
    }
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
}

// Before each swap: the finished frame, from the back buffer (reading the
// front buffer after the swap is not reliable on every system).
static void __capture_before_swap()
{
    if (!rec.frame) return;
    __read_screen(GL_BACK);
    rec.captured = true;
}

float recorder_grab_frame()
{
    if (!rec.frame) __FAULT("\"can't grab, recording not started\"");
    if (!rec.captured) __read_screen(GL_FRONT);
    rec.captured = false;
    char name[48];
    std::snprintf(name, sizeof(name), "%02u__%04u.bmp", rec.recording_number, rec.frame_number);
    rec.filename = rec.directory + name;
    // the image module logs a failure; the recording goes on
    gfxloader_save(file_native_path(rec.filename.c_str()).c_str(), RECORDER_WIDTH, RECORDER_HEIGHT, 24, rec.frame);
    rec.frame_number++;
    return 1.0f / float(rec.fps);
}

float recorder_frame(float dt, int toggle_key)
{
    if (rec.frame) {
        dt = recorder_grab_frame();
        if (OGL_input_get_key(toggle_key) == OGL_PRESS) {
            recorder_stop();
            OGL_input_clear_keys();
        }
    } else if (OGL_input_get_key(toggle_key) == OGL_PRESS) {
        recorder_start(RECORDER_DEFAULT_DIRECTORY, RECORDER_DEFAULT_FPS);
        OGL_input_clear_keys();
    }
    return dt;
}
