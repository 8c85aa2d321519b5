#pragma once
// scene: owns everything one scene file describes (objects, instances,
// materials and shared textures, lights, cameras, motions and motion sets,
// a terrain). Elements are found by name, first match in load order.

#include <cstdint>

#include "corelib/array.h"
#include "corelib/tacka.h"
#include "scene/scene_types.h"

struct view;

#define SCENE_MAX_LIGHTS 100

// Progress of the long steps on a scene, loading a QUOX2 file into it
// (quox2_load_file: after each chunk, by the share of the file read) and
// preparing it (scene_prepare: after each element of each pass, by the
// share of the passes done): `done` grows from 0 to 1, the last call of a
// successful step gives exactly 1. The caller draws what it likes with it
// (the splash screen refreshes itself); it must not change the scene.
typedef void (*scene_progress_fn)(void *user, float done);

enum : uint32_t {
    SCENE_NAME = 1u << 1,
    SCENE_RESOURCES_PATH = 1u << 2,
    SCENE_HIDE_ALL = 1u << 3,
    SCENE_ATTACHED = 1u << 4,
};

struct collision_mesh;

struct scene {
    uint32_t flags;
    char *name;
    char *resources_folder;
    uint32_t materialsno;
    dlist materials;
    uint32_t objectsno;
    dlist objects;
    uint32_t oisno;
    dlist ois;
    uint32_t collidable_oisno;
    dlist collidable_ois;
    uint32_t lightsno;
    light *lights[SCENE_MAX_LIGHTS];
    uint32_t light_oisno;
    dlist light_ois;
    uint32_t camerasno;
    dlist cameras;
    uint32_t motionsno;
    dlist motions;
    uint32_t texturesno;
    dlist textures;
    uint32_t motionsetsno;
    dlist motionsets;
    terrain *terr;
    bool terrain_in_renderer; // the renderer took the terrain when the scene was attached
    void *body_dynamics;
    scene_progress_fn progress; // null: nobody is told
    void *progress_user;
    array<collision_mesh> *collision_meshes; // kept for the collision queries, refilled by each
};

scene *scene_init();
void scene_deinit(scene *s);
bool scene_copy_name(scene *s, const char *name);
bool scene_has_name(const scene *s);
const char *scene_get_name(const scene *s);
bool scene_copy_resources_folder_path(scene *s, const char *path);
bool scene_has_resources_folder_path(const scene *s);
const char *scene_get_resources_folder_path(const scene *s);
void scene_set_hide_all(scene *s);
void scene_clear_hide_all(scene *s);
bool scene_is_hide_all(const scene *s);
bool scene_is_attached(const scene *s);
// The progress callback of this scene's loading and preparation (null: none).
void scene_set_progress_callback(scene *s, scene_progress_fn fn, void *user);
// Tells the callback, if any, that `done` (clamped to 0..1) of the step is done.
void scene_report_progress(scene *s, float done);

// Insertion and removal (the scene owns what it holds; removal hands it back).
void scene_add_object(scene *s, object *o);
void scene_remove_object(scene *s, object *o);
void scene_add_oi(scene *s, object_instance *oi);
void scene_remove_oi(scene *s, object_instance *oi);
void scene_add_material(scene *s, material *m);
void scene_remove_material(scene *s, material *m);
void scene_add_camera(scene *s, camera *c);
void scene_add_motion(scene *s, motion *m);
void scene_add_motionset(scene *s, motionset *ms);
void scene_remove_motionset(scene *s, motionset *ms);
void scene_add_unitexture(scene *s, unitexture *u);
void scene_remove_unitexture(scene *s, unitexture *u);
// False when all 100 slots are taken.
bool scene_add_light(scene *s, light *l);
void scene_set_terrain(scene *s, terrain *t);
terrain *scene_get_terrain(const scene *s);

// Lookups by name (exact, first in load order; none when missing).
object *scene_get_object(const scene *s, const char *name);
object_instance *scene_get_oi_by_name(const scene *s, const char *name);
object_instance *scene_get_oi_by_parent_name(const scene *s, const char *name);
material *scene_get_material(const scene *s, const char *name);
camera *scene_get_camera(const scene *s, const char *name);
motionset *scene_get_motionset(const scene *s, const char *name);
unitexture *scene_get_unitexture(const scene *s, const char *name);
// A motion in a set matches when name and set match; one without a set on the name alone.
motion *scene_get_motion(const scene *s, const char *name, const motionset *set);

// Lookups by position.
object_instance *scene_get_oi(const scene *s, uint32_t i); // none at i == count; i > count is a fault
uint32_t scene_get_ois_no(const scene *s);
light *scene_get_light(const scene *s, uint32_t i);
uint32_t scene_get_lights_no(const scene *s);

// The record of a list node (iteration over the exposed list heads).
object *scene_object_of(dlist *node);
object_instance *scene_oi_of(dlist *node);
object_instance *scene_collidable_oi_of(dlist *node);
material *scene_material_of(dlist *node);
camera *scene_camera_of(dlist *node);
motion *scene_motion_of(dlist *node);
motionset *scene_motionset_of(dlist *node);
unitexture *scene_unitexture_of(dlist *node);

// The collidable list.
void scene_collidable_ois_add_to_list(scene *s, object_instance *oi);
void scene_collidable_ois_remove_from_list(scene *s, object_instance *oi);

// Life cycle.
bool scene_prepare(scene *s);
enum {
    // Keep going after a failure (reporting every problem); the result is
    // still false when any step failed. For checking tools.
    SCENE_PREPARE_CHECK = 1 << 0,
    // Leave the renderer out (no attach, no per-instance renderer set-up).
    SCENE_PREPARE_NO_RENDERER = 1 << 1,
};
bool scene_prepare_ex(scene *s, uint32_t options);
void scene_update(scene *s, tacka3 viewer_position, float dt);
void scene_update_visibility(scene *s, const view *v);
void scene_attach_to_renderer(scene *s);
void scene_detach_from_renderer(scene *s);
bool scene_materials_load_textures(scene *s, const char *folder);
void scene_textures_reload(scene *s, int quality);
void scene_calculate_connectivity(scene *s);
// The body dynamics record is not part of this engine: always false.
bool scene_body_dynamics_init(scene *s);
