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

#include <algorithm>
#include <cmath>
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
    // What it was built from (an index over meshes: the array in meshes, its
    // length in face_count).
    const collision_mesh *meshes;
    const tacka3 *vertices;
    uint32_t vertex_count;
    const uint32_t *tris_32;
    const uint16_t *tris_16;
    uint32_t face_count;

    collision_bvh_node *nodes; // nodes[0] is the root; none for a mesh without boxable triangles
    uint32_t node_count;
    uint32_t *faces; // face indices of the leaves
    uint32_t *loose; // faces with non-finite corners: no box, always candidates
    uint32_t loose_count;
};

// Leaves hold at most this many triangles.
#define COLLISION_BVH_LEAF_SIZE 4

// The hierarchy over the mesh's triangles (its vertices in its own space);
// null when memory runs out. Triangles naming vertices beyond the mesh are left
// out: no query meets them.
collision_bvh *collision_bvh_create(const collision_mesh *m);
void collision_bvh_free(collision_bvh *b);

// An index over the world boxes of an array of meshes, for rays through many
// bodies (collision_ray_indexed): its items are mesh indices. Valid while the
// bodies stay where they were; null when memory runs out.
collision_bvh *collision_bvh_create_over_meshes(const collision_mesh *meshes, uint32_t count);
// Whether b is an index made over this array of count meshes.
bool collision_bvh_fits_meshes(const collision_bvh *b, const collision_mesh *meshes, uint32_t count);
// The items (mesh indices) whose boxes the ray origin + t dir (t >= 0) may
// meet, in increasing order, written to out; their number, or UINT32_MAX when
// there are more than capacity.
uint32_t collision_bvh_items_on_ray(const collision_bvh *b, tacka3 origin, tacka3 dir, uint32_t *out,
                                    uint32_t capacity);

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

// A ray prepared for quick slab tests against many boxes.
struct collision_slab_ray {
    float o[3];
    float inv[3];
    bool free_axis[3]; // direction (nearly) zero along the axis: the axis does not limit the ray
    bool any_free;
};

inline void collision_slab_ray_init(collision_slab_ray *r, tacka3 origin, tacka3 dir)
{
    const float d[3] = {dir.x, dir.y, dir.z};
    const float o[3] = {origin.x, origin.y, origin.z};
    r->any_free = false;
    for (int k = 0; k < 3; k++) {
        r->o[k] = o[k];
        r->free_axis[k] = !(std::fabs(d[k]) >= 1e-30f);
        r->inv[k] = r->free_axis[k] ? 0.0f : 1.0f / d[k];
        r->any_free = r->any_free || r->free_axis[k];
    }
}

// Where the ray (t >= 0) enters the box min..max, or false when it misses it.
// Generous: the ray's interval in the box may be empty by a few parts in a
// hundred thousand, so that whatever the exact tests (is_intersecting,
// ray_triangle_intersect) find inside the box is never turned away here.
__attribute__((always_inline)) inline bool collision_slab_ray_enter(const collision_slab_ray *r, const float *min,
                                                                    const float *max, float *t_enter)
{
    // Plain comparisons (one instruction each). A NaN from a broken box only
    // ever drops limits: such a box goes on to the exact test.
    auto lesser = [](float a, float b) { return a < b ? a : b; };
    auto greater = [](float a, float b) { return a > b ? a : b; };
    float lo = 0.0f, hi = INFINITY;
    if (!r->any_free) {
        const float ox = r->o[0], oy = r->o[1], oz = r->o[2], ix = r->inv[0], iy = r->inv[1], iz = r->inv[2];
        const float x0 = (min[0] - ox) * ix, x1 = (max[0] - ox) * ix;
        const float y0 = (min[1] - oy) * iy, y1 = (max[1] - oy) * iy;
        const float z0 = (min[2] - oz) * iz, z1 = (max[2] - oz) * iz;
        lo = greater(greater(lo, lesser(x0, x1)), greater(lesser(y0, y1), lesser(z0, z1)));
        hi = lesser(greater(x0, x1), lesser(greater(y0, y1), greater(z0, z1)));
    } else {
        for (int k = 0; k < 3; k++) {
            if (r->free_axis[k]) continue;
            float t0 = (min[k] - r->o[k]) * r->inv[k];
            float t1 = (max[k] - r->o[k]) * r->inv[k];
            lo = greater(lo, lesser(t0, t1));
            hi = lesser(hi, greater(t0, t1));
        }
    }
    if (lo - hi > 1e-5f * (std::fabs(lo) + std::fabs(hi))) return false;
    *t_enter = lo;
    return true;
}
