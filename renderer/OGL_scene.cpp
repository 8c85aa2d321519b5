// The scene hook table filled by the renderer.

#include "renderer/OGL_scene.h"

#include "renderer/OGL_features.h"
#include "renderer/OGL_scene_parts.h"
#include "renderer/OGL_settings.h"
#include "scene/scene_renderer.h"

// Read each time the scene uses an option, so a change is seen at once.
static void __options(scene_render_options *o)
{
    *o = scene_render_options{};
    o->frustum_culling = OGL_render_options_test(OGL_RENDER_OPTION_FRUSTUM_CULLING);
    o->terrain_uses_fixed_function = !OGL_features_vertex_programs_available() ||
                                     !OGL_features_fragment_programs_available() ||
                                     OGL_render_settings_get_pixel_programs_disabled();
    if (OGL_render_settings_get_surface_lod_override() && OGL_render_settings_has_surface_lod_distance())
        o->surface_lod_distance_override = OGL_render_settings_get_surface_lod_distance();
    if (OGL_render_settings_has_surface_lod_clamp())
        OGL_render_settings_get_surface_lod_clamp(&o->surface_lod_min, &o->surface_lod_max);
}

scene_renderer_hooks OGL_scene_hooks()
{
    scene_renderer_hooks h{};
    h.texture_create = __OGL_scene_texture_create;
    h.texture_destroy = __OGL_scene_texture_destroy;
    h.texture_update = __OGL_scene_texture_update;
    h.oi_insert = __OGL_scene_oi_insert;
    h.oi_remove = __OGL_scene_oi_remove;
    h.oi_insert_into_profile = __OGL_scene_oi_insert_into_profile;
    h.oi_update_lights = __OGL_scene_oi_update_lights;
    h.oi_final_setup = __OGL_scene_oi_final_setup;
    h.oi_set_visible = __OGL_scene_oi_set_visible;
    h.oi_flush = __OGL_scene_oi_flush;
    h.oi_update = __OGL_scene_oi_update;
    h.get_options = __options;
    h.terrain_insert = __OGL_scene_terrain_insert;
    h.terrain_update = __OGL_scene_terrain_update;
    h.terrain_remove = __OGL_scene_terrain_remove;
    return h;
}

void OGL_scene_hooks_install()
{
    const scene_renderer_hooks h = OGL_scene_hooks();
    scene_renderer_set_hooks(&h);
}

void OGL_scene_hooks_remove() { scene_renderer_set_hooks(nullptr); }
