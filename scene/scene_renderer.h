#pragma once
// The scene's hand-over to the renderer.
//
// The scene never calls the renderer directly: the renderer fills this table
// once at start-up with scene_renderer_set_hooks(). Every entry may be null;
// a null entry means "no renderer" and the scene goes on without it (textures
// keep their decoded pixels, instances stay out of the renderer). Tools and
// tests run the whole scene this way without a GL context.
//
// What a renderer reads when called: an instance's object (oi->obj: vertices,
// triangles or strips, UV channels, normals, tangent space), its material
// (oi->mat, with its seven texture slots and their shared textures), its world
// matrix (OI_get_matrix_ws), its description block (oi->desc: visibility,
// blending and culling switches, display priority, surface_lod), the lights
// attached to it (oi->light_ois) and, when skinned, the skinned buffers
// (OI_soft_skinning_get_*_FPU). It keeps its own objects with OI_set_ogl_mesh /
// OI_set_ogl_mesh_instance and unitexture_set_ogl_texture; a texture's decoded
// pixels (unitexture_get_data) may be dropped after upload with
// unitexture_release_pixels.

#include "corelib/tacka.h"
#include "scene/scene_types.h"

struct view;

struct scene_renderer_hooks {
    // Shared textures: create the renderer texture from u's pixels at u's
    // level of detail and options (false: the texture cannot be used); destroy
    // it; replace its whole image with u's current pixels (video frames).
    bool (*texture_create)(unitexture *u);
    void (*texture_destroy)(unitexture *u);
    void (*texture_update)(unitexture *u);

    // Instances: make the renderer mesh and mesh instance (false: failure);
    // release them; insert into the render profile; hand the lights over;
    // shadow resources; per-frame shadow set-up; the final set-up after
    // preparation; show or hide; push changed mesh data (skinned vertices,
    // new surface level of detail).
    bool (*oi_insert)(object_instance *oi);
    void (*oi_remove)(object_instance *oi);
    void (*oi_insert_into_profile)(object_instance *oi);
    void (*oi_update_lights)(object_instance *oi);
    bool (*oi_create_shadows)(object_instance *oi);
    void (*oi_update_shadows)(object_instance *oi);
    void (*oi_final_setup)(object_instance *oi);
    void (*oi_set_visible)(object_instance *oi, bool visible);
    void (*oi_flush)(object_instance *oi);
    // Every frame, for each instance in the renderer once its world transform
    // is current: refresh what the renderer derives from the placement
    // (world-space scale, positions of the lights reaching it).
    void (*oi_update)(object_instance *oi);

    // Per-pixel lighting data of bump-mapped instances.
    bool (*oi_prepare_lighting)(object_instance *oi);

    // The splash screen's periodic refresh during long loads.
    void (*splash_refresh)();

    // Renderer options read by the scene.
    bool frustum_culling;                 // the visibility pass tests the view frustum
    bool terrain_uses_fixed_function;     // which terrain geometry the loader keeps
    float surface_lod_distance_override;  // > 0 replaces the instances' "surface_lod_distance"
    int surface_lod_min, surface_lod_max; // level range (both 0: no range imposed)
};

// Installs a copy of the table (null restores the empty table).
void scene_renderer_set_hooks(const scene_renderer_hooks *hooks);
const scene_renderer_hooks *scene_renderer_get_hooks();
// Calls the splash refresh when one is installed.
void scene_renderer_splash_refresh();
