#pragma once
// Bounding-volume hierarchy over the triangles of one collision mesh, in the
// mesh's own space (before its placement). Built once for a rigid body's
// triangles and then shared by every placement of them: the collision core
// carries a query into the mesh's space through the inverse placement.
//
// The hierarchy only narrows the triangles a query looks at; every query still
// tests each remaining triangle exactly as the brute-force loop does, so the
// answers are the same.
//
// It points to the triangles and vertices it was built from and must be
// rebuilt (or dropped) when they change; collision_bvh_fits tells whether it
// still describes a mesh.

#include <cstdint>

#include "corelib/geometry.h"
#include "corelib/tacka.h"

struct collision_mesh;

// A node: a leaf when count > 0 (faces[first .. first + count)), otherwise an
// inner node whose children are nodes[first] and nodes[first + 1].
struct collision_bvh_node {
    float min[3];
    float max[3];
    uint32_t first;
    uint32_t count;
};

struct collision_bvh {
    // What it was built from.
    const tacka3 *vertices;
    uint32_t vertex_count;
    const uint32_t *tris_32;
    const uint16_t *tris_16;
    uint32_t face_count;

    collision_bvh_node *nodes;  // nodes[0] is the root; none for a mesh without boxable triangles
    uint32_t node_count;
    uint32_t *faces;  // face indices of the leaves
    uint32_t *loose;  // faces with non-finite corners: no box, always candidates
    uint32_t loose_count;
};

// Leaves hold at most this many triangles.
#define COLLISION_BVH_LEAF_SIZE 4

// The hierarchy over the mesh's triangles (its vertices in its own space);
// null when memory runs out. Triangles naming vertices beyond the mesh are left
// out: no query meets them.
collision_bvh *collision_bvh_create(const collision_mesh *m);
void collision_bvh_free(collision_bvh *b);

// Whether b was built from the mesh's current vertex and triangle arrays.
bool collision_bvh_fits(const collision_bvh *b, const collision_mesh *m);

// The faces whose boxes may overlap box (a superset of those that do), in
// increasing order, written to out; their number, or UINT32_MAX when there are
// more than capacity.
uint32_t collision_bvh_faces_in_box(const collision_bvh *b, const aabox *box, uint32_t *out, uint32_t capacity);

// The nearest triangle the ray origin + t dir (t >= 0, in the mesh's space)
// hits, with the brute-force loop's answer on ties (the lowest face index):
// false when there is none. Counts each triangle tested in *tested (may be null).
bool collision_bvh_ray(const collision_bvh *b, tacka3 origin, tacka3 dir, float *t, uint32_t *face, uint64_t *tested);
