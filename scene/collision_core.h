#pragma once
// Collision core: swept-sphere sliding moves and ray queries against triangle meshes.
//
// The core knows nothing of scenes. A caller describes each collidable body as a
// collision_mesh and passes a plain C array of them:
//
//   collision_mesh m;
//   collision_mesh_init(&m);
//   m.vertices = object->vertexs;       m.vertex_count = object->vertexsno;
//   m.tris_32 = object->tris_ints;      // or m.tris_16 = object->tris_shorts
//   m.face_count = object->facesno;     // triangles (3 indices each)
//   m.face_normals = object->fnormals;  m.face_normal_count = object->fnormalsno;  // optional
//   m.world = oi->world_matrix;         // null: vertices already in world space (skinned)
//   m.world_inverse = ...;              // optional: its inverse, when the caller keeps one
//   m.bound_center = ...; m.bound_radius = ...; m.bound_box = ...;   // world space
//   m.flags = COLLISION_MESH_SOLID | ...;
//   m.owner = oi;                       // opaque, copied into the records
//   m.bvh = object_bvh;                 // optional (collision_bvh.h), not for skinned bodies
//
// Only collidable bodies belong in the array. The mesh points to the caller's
// data; nothing is copied or freed. The moving body is identified by its owner
// pointer and is skipped. Results are appended to caller-owned arrays of
// collision_record (array_new / array_free); the caller clears them between
// queries when it wants.
//
// The triangle-check counter collision_triangle_checks is a plain statistic for
// the main thread.

#include <cstdint>

#include "corelib/array.h"
#include "corelib/geometry.h"
#include "corelib/tacka.h"

struct collision_bvh;

enum : uint32_t {
    COLLISION_MESH_SOLID = 1u << 0,     // blocks moving spheres; otherwise contacts are only reported
    COLLISION_MESH_SKINNED = 1u << 1,   // soft-skinned: never an obstacle; when not solid, contact by bounds alone
    COLLISION_MESH_INVISIBLE = 1u << 2, // not hit by rays
};

// Contact kinds.
enum : uint8_t {
    COLLISION_NONE = 0,
    COLLISION_EMBEDDED = 1,
    COLLISION_FACE = 2,
    COLLISION_EDGE = 3,
    COLLISION_VERTEX = 4,
};

// Squared length below which a move is no move (loop and step threshold).
#define COLLISION_MIN_MOVE2 1.0000001e-6f
// Solid test: spheres and moves below this do nothing.
#define COLLISION_MIN_SIZE 0.001f
// A sphere reaching deeper than this into a triangle is embedded.
#define COLLISION_EMBED_TOLERANCE 0.001f
// A face contact may lie this far behind the start of the move.
#define COLLISION_FACE_TOLERANCE (-0.002f)
// Clearance left between a sphere and the surface it slides on (at least; more
// far from the origin, where positions round more coarsely).
#define COLLISION_GAP 1e-4f
// Extra margin of the broad box around the swept sphere.
#define COLLISION_BROAD_MARGIN 0.1f
// Iterations of the sliding loop.
#define COLLISION_MAX_ITERATIONS 5

struct collision_mesh {
    const tacka3 *vertices;
    uint32_t vertex_count;
    const uint32_t *tris_32; // 3 indices per triangle; one of tris_32 / tris_16
    const uint16_t *tris_16;
    uint32_t face_count;
    const tacka3 *face_normals; // optional, one per triangle in object space (fixes the front side)
    uint32_t face_normal_count;
    const float *world; // 16 floats; null or identity: vertices are in world space
    // Optional: the inverse of world (matrix_inverse's answer), for a caller
    // that keeps it between queries; null: each query inverts world itself.
    const float *world_inverse;
    tacka3 bound_center; // world-space bounding sphere
    float bound_radius;
    aabox bound_box; // world-space bounding box (ray queries)
    uint32_t flags;  // COLLISION_MESH_*
    void *owner;
    // Optional hierarchy over the triangles in their own space (rigid bodies):
    // queries narrow the triangles they test with it. Unused unless built from
    // these very vertex and triangle arrays.
    const collision_bvh *bvh;
};

struct collision_record {
    uint8_t solid;         // 1 for contacts of the solid test
    uint8_t kind;          // COLLISION_* (solid contacts); 0 for non-solid and ray records
    void *owner;           // the body that was hit
    uint32_t mesh_index;   // its index in the caller's mesh array
    uint32_t face_index;   // the triangle's index in its mesh
    tacka3 point;          // world space
    tacka3 face_normal;    // unit, world space (zero for bounds-only records)
    tacka3 contact_normal; // unit, from the contact point towards the sphere's center
    float distance;        // travel before the contact (see each query)
};

// Identifies the triangle of the previous sliding contact.
struct collision_contact_id {
    const void *owner;
    uint32_t face_index;
};

extern uint64_t collision_triangle_checks;

// Empty mesh: no geometry, identity placement, not solid.
void collision_mesh_init(collision_mesh *m);
// Box around the bounding sphere, for callers without a tighter world box.
void collision_mesh_box_from_sphere(collision_mesh *m);

// Swept-sphere test against the solid meshes (one step of a sliding move). The
// sphere (center, radius) moves by move; last_contact (may be null) names a
// triangle to ignore. On return *step is the move to apply now and *remaining the
// move left to slide. The winning contact, if any, is appended to solid_results
// (may be null) and returned in *contact (may be null; kind COLLISION_NONE when
// there was none).
void collision_check_solid(const collision_mesh *meshes, uint32_t mesh_count, const void *mover, tacka3 center,
                           float radius, tacka3 move, const collision_contact_id *last_contact, tacka3 *step,
                           tacka3 *remaining, array<collision_record> *solid_results, collision_record *contact);

// Overlap report against the non-solid meshes; the moving form when |move| >= 0.001,
// otherwise the standing form. At most one record per owner in results.
void collision_check_non_solid(const collision_mesh *meshes, uint32_t mesh_count, const void *mover, tacka3 center,
                               float radius, tacka3 move, array<collision_record> *results);

// One step of the sliding loop: the solid test (when the move is long enough),
// then the non-solid test. *new_center and *remaining receive the result.
void collision_step(const collision_mesh *meshes, uint32_t mesh_count, const void *mover, tacka3 center, float radius,
                    tacka3 move, const collision_contact_id *last_contact, tacka3 *new_center, tacka3 *remaining,
                    array<collision_record> *solid_results, array<collision_record> *nonsolid_results,
                    collision_record *contact);

// The sliding move: at most COLLISION_MAX_ITERATIONS steps while the remaining move
// is long enough. Returns the final sphere center. When given, solid_results gets
// each step's solid contact and nonsolid_results one record per non-solid body met
// (the first contact with it). *iterations (may be null) receives the step count.
tacka3 collision_slide(const collision_mesh *meshes, uint32_t mesh_count, const void *mover, tacka3 center,
                       float radius, tacka3 move, array<collision_record> *solid_results,
                       array<collision_record> *nonsolid_results, int *iterations);

// Ray origin + t direction, t >= 0, against every visible mesh: one record per mesh
// hit, with its nearest triangle. The distance is world length along the ray;
// hits farther than max_distance are ignored (pass INFINITY for the whole ray).
// The direction must not be zero. Returns the number of records appended.
uint32_t collision_ray(const collision_mesh *meshes, uint32_t mesh_count, tacka3 origin, tacka3 direction,
                       float max_distance, array<collision_record> *results);

// The same answers as collision_ray, through an index over the meshes' world
// boxes (collision_bvh_create_over_meshes, collision_bvh.h) made from this
// very array since its bodies last moved: the ray looks only at the bodies
// whose boxes it may meet. Without a fitting index (null, or made for another
// array), collision_ray answers.
uint32_t collision_ray_indexed(const collision_bvh *index, const collision_mesh *meshes, uint32_t mesh_count,
                               tacka3 origin, tacka3 direction, float max_distance, array<collision_record> *results);
