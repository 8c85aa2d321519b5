#pragma once
// object_instance (OI): a placed node of the scene hierarchy. It has a name,
// an optional parent, a local pose, and optionally shows one object with one
// material. It carries the artist's user properties and the switches filled
// from them, its renderer objects, skinning buffers and collision shape.

#include <cstdint>

#include "corelib/geometry.h"
#include "corelib/quaternion.h"
#include "corelib/tacka.h"
#include "scene/scene_renderer.h"
#include "scene/scene_types.h"

enum : uint32_t {
    OI_NAME = 1u << 0,
    OI_OBJECT = 1u << 1,
    OI_PARENT = 1u << 2,
    OI_USER_PROPERTIES = 1u << 3,
    OI_MATERIAL = 1u << 4,
    OI_GAME_ACTOR = 1u << 5,
    OI_SKINNING_FPU = 1u << 6,
    OI_SKINNING_SIMD = 1u << 7,
    OI_OGL_MESH = 1u << 8,
    OI_OGL_MESH_INSTANCE = 1u << 9,
    OI_INSTANCE_NAME = 1u << 11,
    OI_PARENT_NAME = 1u << 12,
    OI_MATERIAL_NAME = 1u << 13,
    OI_COLLISION_SPHERE = 1u << 14,
    OI_COLLISION_DELEGATE = 1u << 15,
    OI_IN_COLLIDABLE_LIST = 1u << 16,
    OI_IN_RENDERER = 1u << 17,
    OI_BOUNDS = 1u << 18,
};

// State of an instance's kept inverse world matrix.
enum : uint8_t {
    OI_INVERSE_STALE = 0, // not made since the world matrix last changed
    OI_INVERSE_VALID = 1,
    OI_INVERSE_SINGULAR = 2, // the world matrix has no inverse
};

// The description block: rendering and behaviour switches.
struct oi_desc {
    uint8_t dynamic;
    uint8_t do_not_frustum_cull;
    uint8_t invisible;
    uint8_t not_renderable;
    uint8_t disable_alpha_blending;
    uint8_t additive;
    uint8_t transparent;
    uint8_t outline;
    uint8_t cast_shadow;
    uint8_t receive_shadow;
    uint8_t not_hw_lit;
    uint8_t texture_disabled;
    uint8_t billboarded;
    uint8_t no_fog;
    uint8_t disable_z_writes;
    uint8_t no_cull;
    uint8_t not_mipmapped;
    uint8_t blurfx;
    uint8_t glowing;
    uint8_t collidable;
    uint8_t solid;
    uint8_t en_fk_play_once;
    uint8_t en_fk_do_not_play;
    uint8_t surface_lod_enabled;
    uint8_t visible; // written by the visibility pass
    int32_t display_priority;
    int32_t en_render_level;
    int32_t surface_lod;
    float surface_lod_distance;
    float ambient[4]; // r, g, b and the value after them
};

struct object_instance {
    dlist link;            // the scene's instance list (first member)
    dlist collidable_link; // the scene's collidable list
    dlist children;        // head of this instance's children
    dlist sibling_link;    // this instance's link in its parent's children

    uint32_t flags;
    int32_t type;

    scene *sc;
    object *obj;
    material *mat;
    object_instance *parent;

    char *name;
    char *instance_name; // the object it shows
    char *parent_name;
    char *material_name;
    char *user_properties;

    tacka3 init_pos_ws, init_scale_ws;
    quaternion init_rot_ws;
    tacka3 init_pos, init_scale;
    quaternion init_rot;

    tacka3 pos, scale;
    quaternion rot;

    bool world_valid;
    tacka3 world_pos, world_scale;
    quaternion world_rot;
    float world_matrix[16];
    // The inverse of world_matrix, made when first asked for after the matrix
    // changed (OI_get_inverse_matrix_ws).
    float world_inverse[16];
    uint8_t world_inverse_state; // OI_INVERSE_*

    tacka3 bound_center;
    float bound_radius;
    aabox bound_box;

    oi_desc desc;

    // Skinning.
    object_instance **bones;
    float (*bind_inverse)[16]; // per bone: inverse of the bind-pose matrix
    uint32_t skin_vertexsno;
    tacka3 *skin_vertexs, *skin_vnormals, *skin_tangents, *skin_binormals;

    // Renderer objects (owned through the renderer hand-over).
    OGL_mesh *ogl_mesh;
    OGL_mesh_instance *ogl_mesh_instance;

    void *game_actor;
    oi_fk_mixer *mixer;
    light *lig;
    uint32_t light_oisno;
    light_oi **light_ois; // light records attached to this instance (not owned)

    // Collision shape: a sphere with a centre offset (local, unscaled) or a delegate.
    tacka3 collision_center;
    float collision_radius;
    object_instance *collision_delegate;
};

object_instance *OI_init();
// Frees what the instance owns; it must already be out of the scene's lists.
void OI_deinit(object_instance *oi);

// Names. Getters are fault reports when the name is absent.
bool OI_has_name(const object_instance *oi);
const char *OI_get_name(const object_instance *oi);
bool OI_copy_name(object_instance *oi, const char *name);
void OI_insert_name(object_instance *oi, char *name);
void OI_free_name(object_instance *oi);
bool OI_has_instance_name(const object_instance *oi);
const char *OI_get_instance_name(const object_instance *oi);
bool OI_copy_instance_name(object_instance *oi, const char *name);
void OI_insert_instance_name(object_instance *oi, char *name);
void OI_free_instance_name(object_instance *oi);
bool OI_has_parent_name(const object_instance *oi);
const char *OI_get_parent_name(const object_instance *oi);
bool OI_copy_parent_name(object_instance *oi, const char *name);
void OI_insert_parent_name(object_instance *oi, char *name);
void OI_free_parent_name(object_instance *oi);
bool OI_has_material_name(const object_instance *oi);
const char *OI_get_material_name(const object_instance *oi);
bool OI_copy_material_name(object_instance *oi, const char *name);
void OI_insert_material_name(object_instance *oi, char *name);
void OI_free_material_name(object_instance *oi);
int32_t OI_get_type(const object_instance *oi);
void OI_set_type(object_instance *oi, int32_t type);

// Links.
bool OI_has_object(const object_instance *oi);
object *OI_get_object(const object_instance *oi);
void OI_set_object(object_instance *oi, object *o);
bool OI_has_material(const object_instance *oi);
material *OI_get_material(const object_instance *oi);
void OI_set_material(object_instance *oi, material *m);
bool OI_has_parent(const object_instance *oi);
object_instance *OI_get_parent(const object_instance *oi);
scene *OI_get_scene(const object_instance *oi);
void OI_insert_game_actor(object_instance *oi, void *actor);
void *OI_get_game_actor(const object_instance *oi);
bool OI_has_game_actor(const object_instance *oi);
oi_fk_mixer *OI_get_fk_mixer(const object_instance *oi);
void OI_set_fk_mixer(object_instance *oi, oi_fk_mixer *mixer);
bool OI_attach_light_oi(object_instance *oi, light_oi *loi);

// Pose. The initial pose may only be set on a root instance.
void OI_set_initial_PRS_ws(object_instance *oi, tacka3 position, quaternion rotation, tacka3 scale);
void OI_set_position(object_instance *oi, tacka3 position);
void OI_set_rotation(object_instance *oi, quaternion rotation);
void OI_set_scale(object_instance *oi, tacka3 scale);
tacka3 OI_get_position(const object_instance *oi);
quaternion OI_get_rotation(const object_instance *oi);
tacka3 OI_get_scale(const object_instance *oi);
void OI_reset_to_initial_pose(object_instance *oi);
// Sets the local pose so that the world position / rotation become these.
void OI_set_position_ws(object_instance *oi, tacka3 position);
void OI_set_rotation_ws(object_instance *oi, quaternion rotation);
tacka3 OI_get_position_ws(object_instance *oi);
quaternion OI_get_rotation_ws(object_instance *oi);
tacka3 OI_get_scale_ws(object_instance *oi);
const float *OI_get_matrix_ws(object_instance *oi);
// The inverse of the world matrix (matrix_inverse's answer), kept until the
// instance moves; null when the matrix has none.
const float *OI_get_inverse_matrix_ws(object_instance *oi);
void OI_calc_world_transform(object_instance *oi);
void OI_invalidate_world_transform(object_instance *oi);

// Hierarchy.
void OI_attach_child(object_instance *parent, object_instance *child);
void OI_detach_child(object_instance *child);

// Orientation helpers. axis 0 x, 1 y, 2 z.
void OI_rotate_axis_to_vector(object_instance *oi, tacka3 direction, int axis);
void OI_rotate_axis_to_vector_in_xy_plane(object_instance *oi, tacka3 direction, int axis);

// User properties and the description block.
bool OI_has_user_defined_properties(const object_instance *oi);
bool OI_copy_user_defined_properties(object_instance *oi, const char *text);
const char *OI_get_user_defined_properties(const object_instance *oi);
void OI_free_user_defined_properties(object_instance *oi);
bool OI_parse_user_defined_properties(object_instance *oi);
// False for a key the description block does not know or a value that does not convert.
bool OI_set_desc(object_instance *oi, const char *key, const char *value);
const oi_desc *OI_get_desc(const object_instance *oi);

// The 45-entry key table handed to the line parser.
struct parser_key;
const parser_key *OI_get_property_key_table(uint32_t *count);

// Bounds.
void OI_calc_bounding_volumes(object_instance *oi);
bool OI_has_bounds(const object_instance *oi);
void OI_get_bounding_sphere(const object_instance *oi, tacka3 *center, float *radius);
const aabox *OI_get_bounding_box(const object_instance *oi);

// Collision shape. Without one set by the game, the sphere is the
// instance's bounding sphere. A delegate answers for this instance.
void OI_set_collision_sphere(object_instance *oi, tacka3 center_offset, float radius);
void OI_clear_collision_sphere(object_instance *oi);
bool OI_has_collision_sphere(const object_instance *oi);
// World-space centre and radius; false when the instance has neither a set
// sphere nor bounds.
bool OI_get_collision_sphere(object_instance *oi, tacka3 *center, float *radius);
void OI_set_collision_delegate(object_instance *oi, object_instance *delegate);
object_instance *OI_get_collision_delegate(const object_instance *oi);
bool OI_is_collidable(const object_instance *oi);
bool OI_is_solid(const object_instance *oi);

// Renderer hand-over (through the hooks of scene_renderer.h).
// TAKEN when the instance is (now) in the renderer; NOT_MINE when there is
// nothing to draw (no object, "not_renderable", no renderer) or the renderer
// leaves it to another part (terrain); FAILED when it should be drawn and
// cannot be (the renderer logs why).
scene_renderer_result OI_insert_into_renderer(object_instance *oi);
void OI_remove_from_renderer(object_instance *oi);
void OI_insert_into_profile(object_instance *oi);
void OI_set_ogl_mesh(object_instance *oi, OGL_mesh *mesh);
OGL_mesh *OI_get_ogl_mesh(const object_instance *oi);
void OI_set_ogl_mesh_instance(object_instance *oi, OGL_mesh_instance *mi);
OGL_mesh_instance *OI_get_ogl_mesh_instance(const object_instance *oi);
void OI_remove_ogl_mesh_instance(object_instance *oi);
void OI_update_lights_to_mesh_instance(object_instance *oi);

// Soft skinning.
bool OI_is_skinned(const object_instance *oi);
// Looks up the bones and allocates the buffers; false (with the message) when a bone is missing.
bool OI_soft_skinning_prepare(object_instance *oi);
void OI_soft_skinning_calc_vertexs(object_instance *oi);
void OI_soft_skinning_flush_vertexs_to_renderer(object_instance *oi);
const tacka3 *OI_soft_skinning_get_vertexs_FPU(const object_instance *oi, uint32_t *n);
const tacka3 *OI_soft_skinning_get_vnormals_FPU(const object_instance *oi, uint32_t *n);
const tacka3 *OI_soft_skinning_get_tangents_FPU(const object_instance *oi, uint32_t *n);
const tacka3 *OI_soft_skinning_get_binormals_FPU(const object_instance *oi, uint32_t *n);
void OI_soft_skinning_deinit(object_instance *oi);
