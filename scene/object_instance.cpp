#include "scene/object_instance.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <strings.h>

#include "corelib/log.h"
#include "corelib/matrix.h"
#include "corelib/mem.h"
#include "scene/object.h"
#include "scene/oi_fk_mixer.h"
#include "scene/scene.h"
#include "scene/scene_renderer.h"

object_instance *OI_init()
{
    object_instance *oi = mem_new_zeroed<object_instance>();
    if (!oi) return nullptr;
    dlist_init(&oi->children);
    oi->init_rot_ws = oi->init_rot = oi->rot = oi->world_rot = quaternion_identity();
    oi->init_scale_ws = oi->init_scale = oi->scale = oi->world_scale = tacka3{1, 1, 1};
    matrix_identity(oi->world_matrix);
    oi->world_valid = true;
    oi->desc.visible = 1;
    return oi;
}

void OI_deinit(object_instance *oi)
{
    if (!oi) return;
    if (oi->flags & OI_IN_RENDERER) OI_remove_from_renderer(oi);
    // Children stay where they are in the world, at the root.
    while (!dlist_is_empty(&oi->children))
        OI_detach_child(SCENE_ENTRY(oi->children.next, object_instance, sibling_link));
    if (OI_has_parent(oi)) OI_detach_child(oi);
    if (oi->mixer) oi_fk_mixer_deinit(oi->mixer);
    OI_soft_skinning_deinit(oi);
    mem_free(oi->name);
    mem_free(oi->instance_name);
    mem_free(oi->parent_name);
    mem_free(oi->material_name);
    mem_free(oi->user_properties);
    mem_free(oi->light_ois);
    mem_free(oi);
}

// ---- names ----

#define OI_NAME_OPS(Field, Flag, Get, Copy, Insert, Free, Has, CopyMsg) \
    bool Has(const object_instance *oi) { return (oi->flags & Flag) != 0; } \
    const char *Get(const object_instance *oi) \
    { \
        if (!Has(oi)) BUG(); \
        return oi->Field; \
    } \
    void Insert(object_instance *oi, char *name) \
    { \
        mem_free(oi->Field); \
        oi->Field = name; \
        oi->flags |= Flag; \
    } \
    bool Copy(object_instance *oi, const char *name) \
    { \
        char *c = mem_strdup(name); \
        if (!c) { \
            do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, CopyMsg); \
            return false; \
        } \
        Insert(oi, c); \
        return true; \
    } \
    void Free(object_instance *oi) \
    { \
        mem_free(oi->Field); \
        oi->Field = nullptr; \
        oi->flags &= ~Flag; \
    }

OI_NAME_OPS(name, OI_NAME, OI_get_name, OI_copy_name, OI_insert_name, OI_free_name, OI_has_name,
            "OI_copy_name(): _strdup() FAILED!")
OI_NAME_OPS(instance_name, OI_INSTANCE_NAME, OI_get_instance_name, OI_copy_instance_name, OI_insert_instance_name,
            OI_free_instance_name, OI_has_instance_name, "OI_copy_instance_name(): _strdup() FAILED!")
OI_NAME_OPS(parent_name, OI_PARENT_NAME, OI_get_parent_name, OI_copy_parent_name, OI_insert_parent_name,
            OI_free_parent_name, OI_has_parent_name, "OI_copy_parent_name(): _strdup() FAILED!\n")
OI_NAME_OPS(material_name, OI_MATERIAL_NAME, OI_get_material_name, OI_copy_material_name, OI_insert_material_name,
            OI_free_material_name, OI_has_material_name, "OI_copy_material_name(): _strdup() FAILED!")
#undef OI_NAME_OPS

int32_t OI_get_type(const object_instance *oi) { return oi->type; }
void OI_set_type(object_instance *oi, int32_t type) { oi->type = (type >= 0 && type <= 2) ? type : 0; }

// ---- links ----

bool OI_has_object(const object_instance *oi) { return (oi->flags & OI_OBJECT) != 0; }
object *OI_get_object(const object_instance *oi)
{
    if (!OI_has_object(oi)) BUG();
    return oi->obj;
}
void OI_set_object(object_instance *oi, object *o)
{
    oi->obj = o;
    if (o)
        oi->flags |= OI_OBJECT;
    else
        oi->flags &= ~OI_OBJECT;
}
bool OI_has_material(const object_instance *oi) { return (oi->flags & OI_MATERIAL) != 0; }
material *OI_get_material(const object_instance *oi) { return oi->mat; }
void OI_set_material(object_instance *oi, material *m)
{
    oi->mat = m;
    if (m)
        oi->flags |= OI_MATERIAL;
    else
        oi->flags &= ~OI_MATERIAL;
}
bool OI_has_parent(const object_instance *oi) { return (oi->flags & OI_PARENT) != 0; }
object_instance *OI_get_parent(const object_instance *oi)
{
    if (!OI_has_parent(oi)) BUG();
    return oi->parent;
}
scene *OI_get_scene(const object_instance *oi) { return oi->sc; }
void OI_insert_game_actor(object_instance *oi, void *actor)
{
    oi->game_actor = actor;
    if (actor)
        oi->flags |= OI_GAME_ACTOR;
    else
        oi->flags &= ~OI_GAME_ACTOR;
}
void *OI_get_game_actor(const object_instance *oi) { return oi->game_actor; }
bool OI_has_game_actor(const object_instance *oi) { return (oi->flags & OI_GAME_ACTOR) != 0; }
oi_fk_mixer *OI_get_fk_mixer(const object_instance *oi) { return oi->mixer; }
void OI_set_fk_mixer(object_instance *oi, oi_fk_mixer *mixer) { oi->mixer = mixer; }
bool OI_attach_light_oi(object_instance *oi, light_oi *loi)
{
    light_oi **a = static_cast<light_oi **>(mem_realloc(oi->light_ois, (oi->light_oisno + 1) * sizeof(light_oi *)));
    if (!a) return false;
    a[oi->light_oisno++] = loi;
    oi->light_ois = a;
    return true;
}

// ---- world transform ----

void OI_invalidate_world_transform(object_instance *oi)
{
    // Invariant: every descendant of an invalid instance is invalid, so the
    // walk skips subtrees that are invalid already. Iterative, since the
    // hierarchy may be deep.
    if (!oi->world_valid) return;
    oi->world_valid = false;
    object_instance *cur = oi;
    dlist *it = oi->children.next;
    for (;;) {
        if (it != &cur->children) {
            object_instance *c = SCENE_ENTRY(it, object_instance, sibling_link);
            if (c->world_valid) {
                c->world_valid = false;
                cur = c;
                it = c->children.next;
            } else {
                it = it->next;
            }
            continue;
        }
        if (cur == oi) return;
        it = cur->sibling_link.next;
        cur = cur->parent;
    }
}

static void __update_bounds(object_instance *oi);

static void __calc_one(object_instance *oi)
{
    if (oi->parent) {
        object_instance *p = oi->parent;
        oi->world_scale = tacka3_mul(p->world_scale, oi->scale);
        oi->world_rot = quaternion_mul(oi->rot, p->world_rot);
        oi->world_pos = tacka3_add(quaternion_rotate(p->world_rot, tacka3_mul(oi->pos, p->world_scale)), p->world_pos);
    } else {
        oi->world_pos = oi->pos;
        oi->world_rot = oi->rot;
        oi->world_scale = oi->scale;
    }
    matrix_from_pose(oi->world_matrix, oi->world_pos, oi->world_rot, oi->world_scale);
    oi->world_inverse_state = OI_INVERSE_STALE;
    oi->world_valid = true;
    if (oi->flags & OI_OBJECT) __update_bounds(oi);
}

void OI_calc_world_transform(object_instance *oi)
{
    if (oi->world_valid) return;
    // The invalid ancestors, nearest first; computed from the top down.
    object_instance *local[64];
    object_instance **chain = local;
    uint32_t n = 0, cap = 64;
    for (object_instance *a = oi; a && !a->world_valid; a = a->parent) {
        if (n == cap) {
            object_instance **bigger = static_cast<object_instance **>(mem_alloc(size_t(cap) * 2 * sizeof(*chain)));
            if (!bigger) BUG();
            memcpy(bigger, chain, n * sizeof(*chain));
            if (chain != local) mem_free(chain);
            chain = bigger;
            cap *= 2;
        }
        chain[n++] = a;
    }
    while (n) __calc_one(chain[--n]);
    if (chain != local) mem_free(chain);
}

static void __set_local_changed(object_instance *oi) { OI_invalidate_world_transform(oi); }

void OI_set_initial_PRS_ws(object_instance *oi, tacka3 position, quaternion rotation, tacka3 scale)
{
    ASSERT(!OI_has_parent(oi));
    oi->init_pos_ws = oi->init_pos = position;
    oi->init_rot_ws = oi->init_rot = rotation;
    oi->init_scale_ws = oi->init_scale = scale;
}
void OI_set_position(object_instance *oi, tacka3 position)
{
    oi->pos = position;
    __set_local_changed(oi);
}
void OI_set_rotation(object_instance *oi, quaternion rotation)
{
    oi->rot = rotation;
    __set_local_changed(oi);
}
void OI_set_scale(object_instance *oi, tacka3 scale)
{
    oi->scale = scale;
    __set_local_changed(oi);
}
tacka3 OI_get_position(const object_instance *oi) { return oi->pos; }
quaternion OI_get_rotation(const object_instance *oi) { return oi->rot; }
tacka3 OI_get_scale(const object_instance *oi) { return oi->scale; }
void OI_reset_to_initial_pose(object_instance *oi)
{
    oi->pos = oi->init_pos;
    oi->rot = oi->init_rot;
    oi->scale = oi->init_scale;
    __set_local_changed(oi);
}

static tacka3 __safe_div(tacka3 a, tacka3 b)
{
    return tacka3{b.x != 0.0f ? a.x / b.x : 0.0f, b.y != 0.0f ? a.y / b.y : 0.0f, b.z != 0.0f ? a.z / b.z : 0.0f};
}

// The pose relative to a parent pose (the inverse of the child composition).
static void __relative_pose(tacka3 *rp, quaternion *rr, tacka3 *rs, tacka3 cp, quaternion cr, tacka3 cs, tacka3 pp,
                            quaternion pr, tacka3 ps)
{
    quaternion inv = quaternion_conjugate(pr);
    *rp = __safe_div(quaternion_rotate(inv, tacka3_sub(cp, pp)), ps);
    *rr = quaternion_mul(cr, inv);
    *rs = __safe_div(cs, ps);
}

void OI_set_position_ws(object_instance *oi, tacka3 position)
{
    if (oi->parent) {
        OI_calc_world_transform(oi->parent);
        object_instance *p = oi->parent;
        oi->pos = __safe_div(quaternion_rotate(quaternion_conjugate(p->world_rot), tacka3_sub(position, p->world_pos)),
                             p->world_scale);
    } else {
        oi->pos = position;
    }
    __set_local_changed(oi);
}
void OI_set_rotation_ws(object_instance *oi, quaternion rotation)
{
    if (oi->parent) {
        OI_calc_world_transform(oi->parent);
        oi->rot = quaternion_mul(rotation, quaternion_conjugate(oi->parent->world_rot));
    } else {
        oi->rot = rotation;
    }
    __set_local_changed(oi);
}
tacka3 OI_get_position_ws(object_instance *oi)
{
    OI_calc_world_transform(oi);
    return oi->world_pos;
}
quaternion OI_get_rotation_ws(object_instance *oi)
{
    OI_calc_world_transform(oi);
    return oi->world_rot;
}
tacka3 OI_get_scale_ws(object_instance *oi)
{
    OI_calc_world_transform(oi);
    return oi->world_scale;
}
const float *OI_get_matrix_ws(object_instance *oi)
{
    OI_calc_world_transform(oi);
    return oi->world_matrix;
}
const float *OI_get_inverse_matrix_ws(object_instance *oi)
{
    OI_calc_world_transform(oi);
    if (oi->world_inverse_state == OI_INVERSE_STALE)
        oi->world_inverse_state =
            matrix_inverse(oi->world_inverse, oi->world_matrix) ? OI_INVERSE_VALID : OI_INVERSE_SINGULAR;
    return oi->world_inverse_state == OI_INVERSE_VALID ? oi->world_inverse : nullptr;
}

// ---- hierarchy ----

void OI_attach_child(object_instance *parent, object_instance *child)
{
    ASSERT(child != parent);
    if (OI_has_parent(child)) OI_detach_child(child);
    OI_calc_world_transform(parent);
    OI_calc_world_transform(child);
    __relative_pose(&child->pos, &child->rot, &child->scale, child->world_pos, child->world_rot, child->world_scale,
                    parent->world_pos, parent->world_rot, parent->world_scale);
    object_instance *pr = parent;
    // The initial pose of a non-root parent is its initial world pose as stored.
    __relative_pose(&child->init_pos, &child->init_rot, &child->init_scale, child->init_pos_ws, child->init_rot_ws,
                    child->init_scale_ws, pr->init_pos_ws, pr->init_rot_ws, pr->init_scale_ws);
    dlist_insert_back(&child->sibling_link, &parent->children);
    child->parent = parent;
    child->flags |= OI_PARENT;
    child->world_valid = true; // so that the subtree is invalidated as a whole
    OI_invalidate_world_transform(child);
}

void OI_detach_child(object_instance *child)
{
    if (!OI_has_parent(child)) BUG();
    OI_calc_world_transform(child);
    tacka3 p = child->world_pos, s = child->world_scale;
    quaternion r = child->world_rot;
    dlist_unlink(&child->sibling_link);
    child->parent = nullptr;
    child->flags &= ~OI_PARENT;
    child->pos = p;
    child->rot = r;
    child->scale = s;
    child->init_pos = child->init_pos_ws;
    child->init_rot = child->init_rot_ws;
    child->init_scale = child->init_scale_ws;
    OI_invalidate_world_transform(child);
}

// ---- orientation ----

static tacka3 __axis_of(quaternion q, int axis)
{
    float m[16];
    quaternion_to_matrix(q, m);
    return tacka3{m[axis * 4 + 0], m[axis * 4 + 1], m[axis * 4 + 2]};
}

void OI_rotate_axis_to_vector(object_instance *oi, tacka3 direction, int axis)
{
    if (axis < 0 || axis > 2) BUG();
    float dl = tacka3_length(direction);
    if (!(dl > 0.0f) || !std::isfinite(dl)) return;
    tacka3 d = tacka3_scale(direction, 1.0f / dl);
    tacka3 a = __axis_of(oi->rot, axis);
    float al = tacka3_length(a);
    if (!(al > 0.0f) || !std::isfinite(al)) return;
    a = tacka3_scale(a, 1.0f / al);
    float c = std::clamp(tacka3_dot(a, d), -1.0f, 1.0f);
    tacka3 ax = tacka3_cross(d, a);
    float axl = tacka3_length(ax);
    if (!(axl > 1e-12f)) return;
    ax = tacka3_scale(ax, 1.0f / axl);
    float angle = std::acos(c);
    quaternion q{std::cos(angle * 0.5f), 0, 0, 0};
    float s = std::sin(angle * 0.5f);
    q.x = ax.x * s;
    q.y = ax.y * s;
    q.z = ax.z * s;
    quaternion r = quaternion_mul(oi->rot, q);
    quaternion_normalize(&r);
    OI_set_rotation(oi, r);
}

void OI_rotate_axis_to_vector_in_xy_plane(object_instance *oi, tacka3 direction, int axis)
{
    direction.z = 0.0f;
    OI_rotate_axis_to_vector(oi, direction, axis);
}

// ---- bounds ----

static void __update_bounds(object_instance *oi)
{
    object *o = oi->obj;
    if (oi->skin_vertexs && oi->skin_vertexsno) {
        double sx = 0, sy = 0, sz = 0;
        for (uint32_t i = 0; i < oi->skin_vertexsno; i++) {
            sx += oi->skin_vertexs[i].x;
            sy += oi->skin_vertexs[i].y;
            sz += oi->skin_vertexs[i].z;
        }
        double n = oi->skin_vertexsno;
        tacka3 c{float(sx / n), float(sy / n), float(sz / n)};
        float r2 = 0;
        for (uint32_t i = 0; i < oi->skin_vertexsno; i++)
            r2 = std::max(r2, tacka3_length2(tacka3_sub(oi->skin_vertexs[i], c)));
        oi->bound_center = c;
        oi->bound_radius = std::sqrt(r2);
    } else if (!object_has_vertexs(o)) {
        oi->bound_center = oi->world_pos;
        oi->bound_radius = 0.0f;
    } else {
        if (!(o->flags & OBJ_RADIUS)) {
            object_calc_center(o);
            object_calc_bounding_sphere_radius(o);
        }
        if (object_vertexs_are_in_world_space(o)) {
            oi->bound_center = o->center;
            oi->bound_radius = o->radius;
        } else {
            const float *m = oi->world_matrix;
            oi->bound_center = matrix_transform_point(m, o->center);
            float s = 0.0f;
            for (int r = 0; r < 3; r++)
                s = std::max(
                    s, std::sqrt(m[r * 4] * m[r * 4] + m[r * 4 + 1] * m[r * 4 + 1] + m[r * 4 + 2] * m[r * 4 + 2]));
            oi->bound_radius = o->radius * s;
        }
    }
    float r = oi->bound_radius;
    if (!(r >= 0.0f) || !std::isfinite(r)) r = 0.0f;
    oi->bound_radius = r;
    build_box_around_sphere(&oi->bound_box, oi->bound_center, r);
    oi->flags |= OI_BOUNDS;
}

void OI_calc_bounding_volumes(object_instance *oi)
{
    OI_calc_world_transform(oi);
    if (oi->flags & OI_OBJECT) __update_bounds(oi);
}
bool OI_has_bounds(const object_instance *oi) { return (oi->flags & OI_BOUNDS) != 0; }
void OI_get_bounding_sphere(const object_instance *oi, tacka3 *center, float *radius)
{
    ASSERT(OI_has_bounds(oi));
    *center = oi->bound_center;
    *radius = oi->bound_radius;
}
const aabox *OI_get_bounding_box(const object_instance *oi)
{
    ASSERT(OI_has_bounds(oi));
    return &oi->bound_box;
}

// ---- collision shape ----

void OI_set_collision_sphere(object_instance *oi, tacka3 center_offset, float radius)
{
    ASSERT(radius >= 0.0f);
    oi->collision_center = center_offset;
    oi->collision_radius = radius;
    oi->flags |= OI_COLLISION_SPHERE;
}
void OI_clear_collision_sphere(object_instance *oi) { oi->flags &= ~OI_COLLISION_SPHERE; }
bool OI_has_collision_sphere(const object_instance *oi)
{
    return (oi->flags & OI_COLLISION_SPHERE) || ((oi->flags & OI_OBJECT) != 0);
}
bool OI_get_collision_sphere(object_instance *oi, tacka3 *center, float *radius)
{
    // A chain of delegates is followed a bounded number of steps (no cycles).
    for (int i = 0; i < 16 && (oi->flags & OI_COLLISION_DELEGATE) && oi->collision_delegate; i++)
        oi = oi->collision_delegate;
    OI_calc_world_transform(oi);
    if (oi->flags & OI_COLLISION_SPHERE) {
        const float *m = oi->world_matrix;
        *center = matrix_transform_point(m, oi->collision_center);
        float s = std::max({std::fabs(oi->world_scale.x), std::fabs(oi->world_scale.y), std::fabs(oi->world_scale.z)});
        *radius = oi->collision_radius * s;
        return true;
    }
    if (!(oi->flags & OI_BOUNDS)) return false;
    *center = oi->bound_center;
    *radius = oi->bound_radius;
    return true;
}
void OI_set_collision_delegate(object_instance *oi, object_instance *delegate)
{
    ASSERT(delegate != oi);
    oi->collision_delegate = delegate;
    if (delegate)
        oi->flags |= OI_COLLISION_DELEGATE;
    else
        oi->flags &= ~OI_COLLISION_DELEGATE;
}
object_instance *OI_get_collision_delegate(const object_instance *oi)
{
    return (oi->flags & OI_COLLISION_DELEGATE) ? oi->collision_delegate : nullptr;
}
bool OI_is_collidable(const object_instance *oi) { return oi->desc.collidable != 0; }
bool OI_is_solid(const object_instance *oi) { return oi->desc.solid != 0; }

// ---- renderer hand-over ----

scene_renderer_result OI_insert_into_renderer(object_instance *oi)
{
    if (!(oi->flags & OI_OBJECT) || oi->desc.not_renderable) return SCENE_RENDERER_NOT_MINE;
    const scene_renderer_hooks *h = scene_renderer_get_hooks();
    if (!h->oi_insert) return SCENE_RENDERER_NOT_MINE;
    if (oi->flags & OI_IN_RENDERER) return SCENE_RENDERER_TAKEN;
    scene_renderer_result r = h->oi_insert(oi);
    if (r == SCENE_RENDERER_TAKEN) oi->flags |= OI_IN_RENDERER;
    return r;
}
void OI_remove_from_renderer(object_instance *oi)
{
    if (!(oi->flags & OI_IN_RENDERER)) return;
    const scene_renderer_hooks *h = scene_renderer_get_hooks();
    if (h->oi_remove) h->oi_remove(oi);
    oi->flags &= ~(OI_IN_RENDERER | OI_OGL_MESH | OI_OGL_MESH_INSTANCE);
    oi->ogl_mesh = nullptr;
    oi->ogl_mesh_instance = nullptr;
}
void OI_insert_into_profile(object_instance *oi)
{
    const scene_renderer_hooks *h = scene_renderer_get_hooks();
    if ((oi->flags & OI_IN_RENDERER) && h->oi_insert_into_profile) h->oi_insert_into_profile(oi);
}
void OI_set_ogl_mesh(object_instance *oi, OGL_mesh *mesh)
{
    oi->ogl_mesh = mesh;
    if (mesh)
        oi->flags |= OI_OGL_MESH;
    else
        oi->flags &= ~OI_OGL_MESH;
}
OGL_mesh *OI_get_ogl_mesh(const object_instance *oi)
{
    ASSERT(oi->flags & OI_OGL_MESH);
    return oi->ogl_mesh;
}
void OI_set_ogl_mesh_instance(object_instance *oi, OGL_mesh_instance *mi)
{
    oi->ogl_mesh_instance = mi;
    if (mi)
        oi->flags |= OI_OGL_MESH_INSTANCE;
    else
        oi->flags &= ~OI_OGL_MESH_INSTANCE;
}
OGL_mesh_instance *OI_get_ogl_mesh_instance(const object_instance *oi)
{
    ASSERT(oi->flags & OI_OGL_MESH_INSTANCE);
    return oi->ogl_mesh_instance;
}
void OI_remove_ogl_mesh_instance(object_instance *oi) { OI_set_ogl_mesh_instance(oi, nullptr); }
void OI_update_lights_to_mesh_instance(object_instance *oi)
{
    const scene_renderer_hooks *h = scene_renderer_get_hooks();
    if ((oi->flags & OI_IN_RENDERER) && !oi->desc.not_hw_lit && h->oi_update_lights) h->oi_update_lights(oi);
}
