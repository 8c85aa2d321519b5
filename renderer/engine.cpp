#include "renderer/engine.h"

#include "corelib/drand.h"
#include "corelib/gfxloader.h"
#include "corelib/log.h"
#include "corelib/parser.h"
#include "particles/sps_render.h"
#include "renderer/OGL_main.h"
#include "renderer/OGL_particles.h"
#include "renderer/OGL_scene.h"
#include "renderer/OGL_window.h"

static uint32_t parts_up;
// Whether the particle drawing was installed here (a program may have
// installed hooks of its own before).
static bool particles_installed;

static bool __foundation_up()
{
    if (!drand_init()) return false;
    if (!parser_init()) {
        drand_deinit();
        return false;
    }
    if (!gfxloader_init()) {
        parser_deinit();
        drand_deinit();
        return false;
    }
    return true;
}

static bool __renderer_up(const engine_window *w)
{
    if (!w) {
        do_log(LOG_WARNING, LOG_TO_FILE | LOG_TO_DEBUGGER, "engine_startup(): the renderer needs a window");
        return false;
    }
    // Started by the caller (a harness that retries the display): used as it is.
    if (OGL_is_initialised()) return true;
    if (OGL_init(w->title, w->xsize, w->ysize, w->fullscreen)) return true;
    OGL_window_library_deinit();
    return false;
}

static bool __handover_up()
{
    if (!OGL_is_initialised()) {
        do_log(LOG_WARNING, LOG_TO_FILE | LOG_TO_DEBUGGER, "engine_startup(): the hand-over needs the renderer");
        return false;
    }
    OGL_scene_hooks_install();
    particles_installed = !sps_render_get_hooks()->create && OGL_particles_install();
    return true;
}

bool engine_startup(uint32_t parts, const engine_window *window)
{
    const uint32_t wanted = parts & ~parts_up;
    if ((wanted & ENGINE_FOUNDATION)) {
        if (!__foundation_up()) return false;
        parts_up |= ENGINE_FOUNDATION;
    }
    if ((wanted & ENGINE_RENDERER)) {
        if (!__renderer_up(window)) return false;
        parts_up |= ENGINE_RENDERER;
    }
    if ((wanted & ENGINE_HANDOVER)) {
        if (!__handover_up()) return false;
        parts_up |= ENGINE_HANDOVER;
    }
    return true;
}

void engine_shutdown()
{
    if (parts_up & ENGINE_HANDOVER) {
        if (particles_installed) OGL_particles_uninstall();
        particles_installed = false;
        OGL_scene_hooks_remove();
    }
    if (parts_up & ENGINE_RENDERER) {
        if (OGL_is_initialised()) OGL_deinit();
        OGL_window_library_deinit();
    }
    if (parts_up & ENGINE_FOUNDATION) {
        gfxloader_deinit();
        parser_deinit();
        drand_deinit();
    }
    parts_up = 0;
}

uint32_t engine_parts_up() { return parts_up; }
