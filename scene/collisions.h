#pragma once
// The scene side of collisions: the scene's collidable instances handed to
// the collision core (swept-sphere sliding moves, overlap reports, rays).
// Result records name the instance hit in their owner field.

#include <cstdint>

#include "corelib/array.h"
#include "corelib/tacka.h"
#include "scene/collision_core.h"
#include "scene/scene_types.h"

// The instance a record is about.
inline object_instance *collision_record_oi(const collision_record *r)
{
    return static_cast<object_instance *>(r->owner);
}

// Builds the object's collision hierarchy over its triangles (scene_prepare
// does this for every mesh); without one every query tests every triangle.
void scene_object_build_collision_bvh(object *o);

// Appends one collision mesh per collidable instance that has triangles
// (instances without a triangle list are left out). The meshes point into the
// instances and their objects: valid until they change.
bool scene_collision_meshes(scene *sc, array<collision_mesh> *meshes);

// Moves the instance by the world-space vector with sliding (at most five
// steps); its world position is updated. Contacts go to the result arrays
// when given. The instance's shape is its collision sphere (or its delegate's).
void OI_move_with_collision_detection_ws(object_instance *oi, scene *sc, tacka3 move,
                                         array<collision_record> *solid_results,
                                         array<collision_record> *nonsolid_results);
// The same loop without moving: *final_center receives where the sphere would end.
void OI_collision_detection_ws(scene *sc, object_instance *oi, tacka3 move, array<collision_record> *solid_results,
                               array<collision_record> *nonsolid_results, tacka3 *final_center);
// One step of the sliding loop for the instance's sphere.
bool scene_collision_detection(scene *sc, object_instance *oi, array<collision_record> *solid_results,
                               array<collision_record> *nonsolid_results, tacka3 *new_position, tacka3 *remaining_move,
                               tacka3 move, const collision_record *last_contact);
// Every collidable, visible instance the ray origin + t direction (t >= 0) hits,
// each once with its nearest triangle; the number of records appended.
uint32_t intersect_ray_and_scene(array<collision_record> *results, scene *sc, tacka3 origin, tacka3 direction);
uint32_t intersect_ray_and_scene_in_range(array<collision_record> *results, scene *sc, tacka3 origin, tacka3 direction,
                                          float range);
// Whether the collision spheres of two instances overlap.
bool OI_intersects(object_instance *a, object_instance *b);
