#include "scene/scene_renderer.h"

static scene_renderer_hooks g_hooks = {};

void scene_renderer_set_hooks(const scene_renderer_hooks *hooks) { g_hooks = hooks ? *hooks : scene_renderer_hooks{}; }

const scene_renderer_hooks *scene_renderer_get_hooks() { return &g_hooks; }

scene_render_options scene_renderer_get_options()
{
    scene_render_options o{};
    if (g_hooks.get_options) g_hooks.get_options(&o);
    return o;
}

scene_renderer_hooks_scope::scene_renderer_hooks_scope(const scene_renderer_hooks &hooks) : before(g_hooks)
{
    g_hooks = hooks;
}

scene_renderer_hooks_scope::~scene_renderer_hooks_scope() { g_hooks = before; }
