#include "scene/scene_renderer.h"

static scene_renderer_hooks g_hooks = {};

void scene_renderer_set_hooks(const scene_renderer_hooks *hooks) { g_hooks = hooks ? *hooks : scene_renderer_hooks{}; }

const scene_renderer_hooks *scene_renderer_get_hooks() { return &g_hooks; }

void scene_renderer_splash_refresh()
{
    if (g_hooks.splash_refresh) g_hooks.splash_refresh();
}
