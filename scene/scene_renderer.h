#pragma once
// The scene's hand-over to the renderer.
//
// The scene never calls the renderer directly: the renderer fills this table
// once at start-up with scene_renderer_set_hooks() (tests with a
// scene_renderer_hooks_scope). Every entry may be null;
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

// What a renderer answers when asked to take an instance.
enum scene_renderer_result {
    SCENE_RENDERER_TAKEN = 0,    // the instance is in the renderer
    SCENE_RENDERER_NOT_MINE = 1, // drawn by someone else (terrain instances): left out, no fault
    SCENE_RENDERER_FAILED = 2,   // it should be drawn but cannot be: left out, logged
};

// The renderer's options the scene reads where it uses them: asked again at
// each use, so a change of option is seen at the next frame.
struct scene_render_options {
    bool frustum_culling;                 // the visibility pass tests the view frustum
    bool terrain_uses_fixed_function;     // which terrain geometry the loader keeps
    float surface_lod_distance_override;  // > 0 replaces the instances' "surface_lod_distance"
    int surface_lod_min, surface_lod_max; // level range (both 0: no range imposed)
};

struct scene_renderer_hooks {
    // Shared textures: create the renderer texture from u's pixels at u's
    // level of detail and options (false: the texture cannot be used); destroy
    // it; replace its whole image with u's current pixels (video frames).
    bool (*texture_create)(unitexture *u);
    void (*texture_destroy)(unitexture *u);
    void (*texture_update)(unitexture *u);

    // Instances: make the renderer mesh and mesh instance; release them;
    // insert into the render profile; hand the lights over; the final set-up
    // after preparation; show or hide; push changed mesh data (skinned
    // vertices, new surface level of detail).
    scene_renderer_result (*oi_insert)(object_instance *oi);
    void (*oi_remove)(object_instance *oi);
    void (*oi_insert_into_profile)(object_instance *oi);
    void (*oi_update_lights)(object_instance *oi);
    void (*oi_final_setup)(object_instance *oi);
    void (*oi_set_visible)(object_instance *oi, bool visible);
    void (*oi_flush)(object_instance *oi);
    // Every frame, for each instance in the renderer once its world transform
    // is current: refresh what the renderer derives from the placement
    // (world-space scale, positions of the lights reaching it).
    void (*oi_update)(object_instance *oi);

    // The renderer's current options (null: scene_render_options{}).
    void (*get_options)(scene_render_options *out);

    // The scene's terrain: take it into the renderer when the scene is
    // attached (false: it is not drawn, the scene goes on), draw the patches
    // its last selection chose (after terrain_select, each frame), and let it go.
    bool (*terrain_insert)(scene *sc, terrain *t);
    void (*terrain_update)(terrain *t, const view *v);
    void (*terrain_remove)(terrain *t);
};

// Installs a copy of the table (null restores the empty table).
void scene_renderer_set_hooks(const scene_renderer_hooks *hooks);
const scene_renderer_hooks *scene_renderer_get_hooks();
// The options as the installed renderer reports them now.
scene_render_options scene_renderer_get_options();

// Installs a table for the life of the scope and puts the table installed
// before back when it ends, also when a test leaves early on a failed
// assertion.
class scene_renderer_hooks_scope {
  public:
    explicit scene_renderer_hooks_scope(const scene_renderer_hooks &hooks);
    ~scene_renderer_hooks_scope();
    scene_renderer_hooks_scope(const scene_renderer_hooks_scope &) = delete;
    scene_renderer_hooks_scope &operator=(const scene_renderer_hooks_scope &) = delete;

  private:
    scene_renderer_hooks before;
};
