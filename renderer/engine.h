#pragma once
// Engine start-up and shut-down: one pair of calls for the game, the
// benchmarks, the tools and the GL test harness.
//
// engine_startup(parts, window) brings up the named parts that are not up
// yet, in this order:
//   ENGINE_FOUNDATION  the random table, the settings line parser and the
//                      image loader;
//   ENGINE_RENDERER    the window library, the window (`window`: title, size,
//                      full screen) and the OpenGL renderer (OGL_init);
//   ENGINE_HANDOVER    the scene's and the particle systems' hand-over to the
//                      renderer (OGL_scene_hooks_install, OGL_particles_install).
// A program may call it again for parts it needs later (the game starts the
// foundation first and the renderer once its resource folder is known).
// False when a part fails (the reason is logged; the parts already up stay up
// for engine_shutdown). The hand-over needs the renderer; the renderer needs
// `window`.
//
// engine_shutdown() stops every part engine_startup brought up, in the reverse
// order (the window library last of the renderer's part). The sound device
// is not part of the engine's start-up: a program starts and stops it itself.

#include <cstdint>

#define ENGINE_FOUNDATION 0x1u
#define ENGINE_RENDERER 0x2u
#define ENGINE_HANDOVER 0x4u
#define ENGINE_ALL (ENGINE_FOUNDATION | ENGINE_RENDERER | ENGINE_HANDOVER)

struct engine_window {
    const char *title;
    int xsize, ysize;
    bool fullscreen;
};

bool engine_startup(uint32_t parts, const engine_window *window);
void engine_shutdown();
// The parts engine_startup brought up and engine_shutdown has not stopped.
uint32_t engine_parts_up();
