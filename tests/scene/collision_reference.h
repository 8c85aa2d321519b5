#pragma once
// The collision core's brute-force loops as they stood before the triangle
// hierarchies: the reference the core's answers are tested against.

#include "scene/collision_core.h"

namespace collision_reference {

void collision_check_solid(const collision_mesh *meshes, uint32_t mesh_count, const void *mover, tacka3 center,
                           float radius, tacka3 move, const collision_contact_id *last_contact, tacka3 *step,
                           tacka3 *remaining, array<collision_record> *solid_results, collision_record *contact);
void collision_check_non_solid(const collision_mesh *meshes, uint32_t mesh_count, const void *mover, tacka3 center,
                               float radius, tacka3 move, array<collision_record> *results);
void collision_step(const collision_mesh *meshes, uint32_t mesh_count, const void *mover, tacka3 center, float radius,
                    tacka3 move, const collision_contact_id *last_contact, tacka3 *new_center, tacka3 *remaining,
                    array<collision_record> *solid_results, array<collision_record> *nonsolid_results,
                    collision_record *contact);
tacka3 collision_slide(const collision_mesh *meshes, uint32_t mesh_count, const void *mover, tacka3 center,
                       float radius, tacka3 move, array<collision_record> *solid_results,
                       array<collision_record> *nonsolid_results, int *iterations);
uint32_t collision_ray(const collision_mesh *meshes, uint32_t mesh_count, tacka3 origin, tacka3 direction,
                       float max_distance, array<collision_record> *results);
void collision_mesh_init(collision_mesh *m);
void collision_mesh_box_from_sphere(collision_mesh *m);

} // namespace collision_reference
