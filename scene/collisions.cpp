#include "scene/collisions.h"

#include <cmath>

#include "corelib/log.h"
#include "scene/collision_bvh.h"
#include "scene/object.h"
#include "scene/object_instance.h"
#include "scene/scene.h"

// The object's triangles as a collision mesh in its own space.
static void __object_mesh(object *o, collision_mesh *m)
{
    collision_mesh_init(m);
    m->vertices = o->vertexs;
    m->vertex_count = o->vertexsno;
    m->tris_32 = o->tris_ints;
    m->tris_16 = o->tris_shorts;
    m->face_count = o->facesno;
}

void scene_object_build_collision_bvh(object *o)
{
    object_drop_collision_bvh(o);
    if (!object_has_vertexs(o) || !object_has_triangle_list(o) || o->facesno == 0) return;
    collision_mesh m;
    __object_mesh(o, &m);
    o->bvh = collision_bvh_create(&m);
    if (!o->bvh)
        do_log(LOG_WARNING, LOG_TO_FILE,
               "* object \"%s\": no collision hierarchy (out of memory); every triangle is tested",
               object_has_name(o) ? object_get_name(o) : "");
}

static bool __mesh_of(object_instance *oi, collision_mesh *m)
{
    if (!OI_has_object(oi)) return false;
    object *o = oi->obj;
    if (!object_has_vertexs(o) || !object_has_triangle_list(o)) return false;
    collision_mesh_init(m);
    OI_calc_world_transform(oi);
    bool skinned = OI_is_skinned(oi);
    if (skinned) {
        m->vertices = oi->skin_vertexs;
        m->vertex_count = oi->skin_vertexsno;
        m->world = nullptr;
        m->flags |= COLLISION_MESH_SKINNED;
    } else {
        m->vertices = o->vertexs;
        m->vertex_count = o->vertexsno;
        if (!object_vertexs_are_in_world_space(o)) {
            m->world = oi->world_matrix;
            m->world_inverse = OI_get_inverse_matrix_ws(oi);
        }
        m->bvh = o->bvh;
    }
    m->tris_32 = o->tris_ints;
    m->tris_16 = o->tris_shorts;
    m->face_count = o->facesno;
    if (object_has_face_normals(o) && o->fnormalsno == o->facesno && !skinned) {
        m->face_normals = o->fnormals;
        m->face_normal_count = o->fnormalsno;
    }
    if (!OI_has_bounds(oi)) OI_calc_bounding_volumes(oi);
    m->bound_center = oi->bound_center;
    m->bound_radius = oi->bound_radius;
    m->bound_box = oi->bound_box;
    // A solid skinned body is no obstacle (the solid test passes skins by) and,
    // being solid, no non-solid contact either.
    if (oi->desc.solid) m->flags |= COLLISION_MESH_SOLID;
    if (oi->desc.invisible) m->flags |= COLLISION_MESH_INVISIBLE;
    m->owner = oi;
    return true;
}

bool scene_collision_meshes(scene *sc, array<collision_mesh> *meshes)
{
    dlist_for_each(n, &sc->collidable_ois)
    {
        collision_mesh m;
        if (!__mesh_of(scene_collidable_oi_of(n), &m)) continue;
        if (!meshes->add(&m)) return false;
    }
    return true;
}

// The instance whose shape answers, and its sphere.
static object_instance *__shape(object_instance *oi, tacka3 *center, float *radius)
{
    ASSERT(OI_has_collision_sphere(oi) || OI_get_collision_delegate(oi));
    object_instance *d = OI_get_collision_delegate(oi);
    object_instance *mover = d ? d : oi;
    if (!OI_get_collision_sphere(mover, center, radius)) BUG();
    return mover;
}

// The scene's collision meshes as they stand now, in the array the scene
// keeps for the queries (no allocation once it has grown).
static array<collision_mesh> *__meshes(scene *sc)
{
    if (!sc->collision_meshes && !(sc->collision_meshes = array_new<collision_mesh>())) BUG();
    sc->collision_meshes->cur_elements = 0;
    if (!scene_collision_meshes(sc, sc->collision_meshes)) BUG();
    return sc->collision_meshes;
}

void OI_collision_detection_ws(scene *sc, object_instance *oi, tacka3 move, array<collision_record> *solid_results,
                               array<collision_record> *nonsolid_results, tacka3 *final_center)
{
    tacka3 c;
    float r;
    object_instance *mover = __shape(oi, &c, &r);
    array<collision_mesh> *meshes = __meshes(sc);
    *final_center =
        collision_slide(meshes->data, meshes->get_size(), mover, c, r, move, solid_results, nonsolid_results, nullptr);
}

void OI_move_with_collision_detection_ws(object_instance *oi, scene *sc, tacka3 move,
                                         array<collision_record> *solid_results,
                                         array<collision_record> *nonsolid_results)
{
    object_instance *d = OI_get_collision_delegate(oi);
    object_instance *mover = d ? d : oi;
    tacka3 c, end;
    float r;
    __shape(mover, &c, &r);
    OI_collision_detection_ws(sc, mover, move, solid_results, nonsolid_results, &end);
    tacka3 delta = tacka3_sub(end, c);
    OI_set_position_ws(mover, tacka3_add(OI_get_position_ws(mover), delta));
    OI_calc_bounding_volumes(mover);
}

bool scene_collision_detection(scene *sc, object_instance *oi, array<collision_record> *solid_results,
                               array<collision_record> *nonsolid_results, tacka3 *new_position, tacka3 *remaining_move,
                               tacka3 move, const collision_record *last_contact)
{
    tacka3 c;
    float r;
    object_instance *mover = __shape(oi, &c, &r);
    array<collision_mesh> *meshes = __meshes(sc);
    collision_contact_id last{};
    if (last_contact) last = collision_contact_id{last_contact->owner, last_contact->face_index};
    tacka3 new_center;
    collision_step(meshes->data, meshes->get_size(), mover, c, r, move, last_contact ? &last : nullptr, &new_center,
                   remaining_move, solid_results, nonsolid_results, nullptr);
    *new_position = tacka3_add(OI_get_position_ws(mover), tacka3_sub(new_center, c));
    return true;
}

uint32_t intersect_ray_and_scene_in_range(array<collision_record> *results, scene *sc, tacka3 origin, tacka3 direction,
                                          float range)
{
    if (tacka3_is_zero(direction)) return 0;
    array<collision_mesh> *meshes = __meshes(sc);
    uint32_t n = collision_ray(meshes->data, meshes->get_size(), origin, direction, range, results);
    return n;
}

uint32_t intersect_ray_and_scene(array<collision_record> *results, scene *sc, tacka3 origin, tacka3 direction)
{
    return intersect_ray_and_scene_in_range(results, sc, origin, direction, INFINITY);
}

bool OI_intersects(object_instance *a, object_instance *b)
{
    tacka3 ca, cb;
    float ra, rb;
    if (!OI_get_collision_sphere(a, &ca, &ra) || !OI_get_collision_sphere(b, &cb, &rb)) return false;
    float d2 = tacka3_length2(tacka3_sub(ca, cb));
    return d2 <= (ra + rb) * (ra + rb);
}
