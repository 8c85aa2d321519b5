#include "collision_core.h"

#include <algorithm>
#include <cmath>

#include "corelib/log.h"
#include "corelib/matrix.h"
#include "scene/collision_bvh.h"

uint64_t collision_triangle_checks = 0;

namespace {

// One contact candidate of the solid test.
struct contact_candidate {
    uint8_t kind;
    float distance;
    tacka3 point;
    tacka3 normal; // contact normal
};

} // namespace

void collision_mesh_init(collision_mesh *m)
{
    *m = collision_mesh{};
    m->bound_box = aabox{{0, 0, 0}, {0, 0, 0}};
}

void collision_mesh_box_from_sphere(collision_mesh *m)
{
    build_box_around_sphere(&m->bound_box, m->bound_center, m->bound_radius > 0.0f ? m->bound_radius : 0.0f);
}

// The placement to apply, or null when the vertices are already in world space.
static const float *__placement(const collision_mesh *m)
{
    if (!m->world || matrix_is_identity(m->world)) return nullptr;
    return m->world;
}

// The inverse of the placement xf (the mesh's own or one made in scratch), or
// null when it has none.
static const float *__inverse(const collision_mesh *m, const float *xf, float *scratch)
{
    if (!xf) return nullptr;
    if (m->world_inverse) return m->world_inverse;
    return matrix_inverse(scratch, xf) ? scratch : nullptr;
}

static float __det3(const float *m)
{
    return m[0] * (m[5] * m[10] - m[6] * m[9]) - m[1] * (m[4] * m[10] - m[6] * m[8]) +
           m[2] * (m[4] * m[9] - m[5] * m[8]);
}

// matrix_transform_point / matrix_transform_direction, inlined for the
// per-triangle loops (the same operations in the same order: the same results).
static inline tacka3 __xf_point(const float *m, tacka3 p)
{
    return tacka3{p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12], p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13],
                  p.x * m[2] + p.y * m[6] + p.z * m[10] + m[14]};
}

static inline tacka3 __xf_direction(const float *m, tacka3 d)
{
    return tacka3{d.x * m[0] + d.y * m[4] + d.z * m[8], d.x * m[1] + d.y * m[5] + d.z * m[9],
                  d.x * m[2] + d.y * m[6] + d.z * m[10]};
}

// tacka3_try_normalize, aabox_of_triangle and aabox_overlaps, likewise inlined.
static inline bool __try_normalize(tacka3 *a)
{
    float len = tacka3_length(*a);
    if (!(len > 0.0f) || !is_finite(len)) return false;
    *a = tacka3_scale(*a, 1.0f / len);
    return true;
}

static inline void __tri_box(aabox *box, tacka3 a, tacka3 b, tacka3 c)
{
    box->min[0] = std::min(std::min(a.x, b.x), c.x);
    box->min[1] = std::min(std::min(a.y, b.y), c.y);
    box->min[2] = std::min(std::min(a.z, b.z), c.z);
    box->max[0] = std::max(std::max(a.x, b.x), c.x);
    box->max[1] = std::max(std::max(a.y, b.y), c.y);
    box->max[2] = std::max(std::max(a.z, b.z), c.z);
}

static inline bool __boxes_overlap(const aabox *a, const aabox *b)
{
    for (int i = 0; i < 3; i++)
        if (a->max[i] < b->min[i] || a->min[i] > b->max[i]) return false;
    return true;
}

// The corners of triangle f in object space; false for indices beyond the vertices.
static bool __triangle(const collision_mesh *m, uint32_t f, tacka3 *a, tacka3 *b, tacka3 *c)
{
    size_t base = size_t(f) * 3;
    uint32_t i0, i1, i2;
    if (m->tris_32) {
        i0 = m->tris_32[base];
        i1 = m->tris_32[base + 1];
        i2 = m->tris_32[base + 2];
    } else {
        i0 = m->tris_16[base];
        i1 = m->tris_16[base + 1];
        i2 = m->tris_16[base + 2];
    }
    if (i0 >= m->vertex_count || i1 >= m->vertex_count || i2 >= m->vertex_count) return false;
    *a = m->vertices[i0];
    *b = m->vertices[i1];
    *c = m->vertices[i2];
    return true;
}

static bool __world_triangle(const collision_mesh *m, const float *xf, uint32_t f, tacka3 *a, tacka3 *b, tacka3 *c)
{
    if (!__triangle(m, f, a, b, c)) return false;
    if (xf) {
        *a = __xf_point(xf, *a);
        *b = __xf_point(xf, *b);
        *c = __xf_point(xf, *c);
    }
    return true;
}

// Unit world-space normal of a world-space triangle: perpendicular to its plane
// even under a non-uniform scale, on the side its stored normal (or, without one,
// its winding) names. false for a degenerate triangle or a zero stored normal.
static bool __world_normal(const collision_mesh *m, const float *xf, float det, uint32_t f, tacka3 a, tacka3 b,
                           tacka3 c, tacka3 *n)
{
    tacka3 geo = tacka3_cross(tacka3_sub(b, a), tacka3_sub(c, a));
    if (!__try_normalize(&geo)) return false;
    if (m->face_normals && f < m->face_normal_count) {
        tacka3 ref = m->face_normals[f];
        if (xf) ref = __xf_direction(xf, ref);
        if (is_zero(ref)) return false;
        if (tacka3_dot(ref, geo) < 0.0f) geo = tacka3_neg(geo);
    } else if (det < 0.0f) {
        geo = tacka3_neg(geo);
    }
    *n = geo;
    return true;
}

// The clearance a sliding contact leaves: well above the rounding of positions
// around center (a few units in the last place of its largest coordinate).
static float __gap(tacka3 center)
{
    float big = std::fmax(std::fabs(center.x), std::fmax(std::fabs(center.y), std::fabs(center.z)));
    float ulp = std::nextafter(big, INFINITY) - big;
    return std::fmax(COLLISION_GAP, 8.0f * ulp);
}

// The box, in the space of a placement whose inverse is inv, around the world
// sphere (center, radius); false when it would not be finite.
static bool __local_box(aabox *box, const float *inv, tacka3 center, float radius)
{
    // The Frobenius norm of the inverse's upper 3x3 part bounds how far it
    // stretches any length.
    float f2 = 0.0f;
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++) f2 += inv[r * 4 + c] * inv[r * 4 + c];
    float local_radius = radius * std::sqrt(f2);
    if (!is_finite(local_radius)) return false;
    build_box_around_sphere(box, matrix_transform_point(inv, center), local_radius);
    return true;
}

// Whether a and b lie farther apart than limit (as tacka3_distance says),
// taking the square root only near the limit.
static bool __farther_than(tacka3 a, tacka3 b, float limit)
{
    float d2 = tacka3_length2(tacka3_sub(a, b));
    if (limit >= 0.0f) {
        float l2 = limit * limit;
        if (d2 > l2 * 1.001f) return true;
        if (d2 < l2 * 0.999f) return false;
    }
    return tacka3_distance(a, b) > limit;
}

// The mesh's hierarchy when it describes the mesh's current triangles.
static const collision_bvh *__bvh(const collision_mesh *m)
{
    return m->bvh && collision_bvh_fits(m->bvh, m) ? m->bvh : nullptr;
}

// Room for the triangles one query takes from a hierarchy; a query meeting more
// tests the whole mesh.
#define COLLISION_CANDIDATES 256

// The triangles of the mesh near box (in the mesh's space), in increasing order:
// their number, or UINT32_MAX when every triangle is to be tested.
static uint32_t __candidates(const collision_mesh *m, const aabox *box, uint32_t *out)
{
    const collision_bvh *bvh = __bvh(m);
    if (!bvh || !box) return UINT32_MAX;
    return collision_bvh_faces_in_box(bvh, box, out, COLLISION_CANDIDATES);
}

// The box, in the space of a placement whose inverse is inv (null: world
// space), around the world capsule of the given radius from p0 to p1; false
// when it would not be finite. Along each axis of that space the sphere reaches
// radius times the length of the inverse's row for the axis.
static bool __capsule_box(aabox *box, const float *inv, tacka3 p0, tacka3 p1, float radius)
{
    float ext[3] = {radius, radius, radius};
    if (inv) {
        p0 = matrix_transform_point(inv, p0);
        p1 = matrix_transform_point(inv, p1);
        for (int k = 0; k < 3; k++) {
            ext[k] = radius * std::sqrt(inv[k] * inv[k] + inv[k + 4] * inv[k + 4] + inv[k + 8] * inv[k + 8]);
            if (!is_finite(ext[k])) return false;
        }
    }
    const float a[3] = {p0.x, p0.y, p0.z}, b[3] = {p1.x, p1.y, p1.z};
    for (int k = 0; k < 3; k++) {
        box->min[k] = std::fmin(a[k], b[k]) - ext[k];
        box->max[k] = std::fmax(a[k], b[k]) + ext[k];
    }
    return true;
}

static void __check_mesh_has_triangles(const collision_mesh *m)
{
    if (m->face_count > 0 && !m->tris_32 && !m->tris_16) BUG();
}

static bool __is_mover(const collision_mesh *m, const void *mover) { return mover != nullptr && m->owner == mover; }

static int __find_owner(const array<collision_record> *results, const void *owner)
{
    for (uint32_t i = 0; i < results->get_size(); i++)
        if ((*results)[i].owner == owner) return int(i);
    return -1;
}

static void __append(array<collision_record> *results, const collision_record &rec)
{
    bool added = results->add(rec);
    ASSERT(added);
}

// The sphere (c, r) swept along the unit vector d against the edge e0-e1.
static bool __sweep_edge(contact_candidate *out, tacka3 c, float r, tacka3 d, tacka3 e0, tacka3 e1)
{
    tacka3 e = tacka3_sub(e1, e0);
    float e2 = tacka3_length2(e);
    if (!(e2 > 0.0f)) return false;
    tacka3 s = tacka3_sub(c, e0);
    tacka3 d_perp = tacka3_add_scaled(d, e, -tacka3_dot(d, e) / e2);
    tacka3 s_perp = tacka3_add_scaled(s, e, -tacka3_dot(s, e) / e2);
    float qa = tacka3_length2(d_perp);
    if (!(qa > 1e-12f)) return false; // moving along the edge
    float qb = 2.0f * tacka3_dot(s_perp, d_perp);
    float qc = tacka3_length2(s_perp) - r * r;
    float dist;
    if (qc <= 0.0f) {
        // Touching the edge's line already (less deeply than an embedded
        // sphere): met at once when moving into it, else never.
        if (!(qb < 0.0f)) return false;
        dist = 0.0f;
    } else {
        float disc = qb * qb - 4.0f * qa * qc;
        if (disc < 0.0f) return false;
        dist = (-qb - std::sqrt(disc)) / (2.0f * qa);
        if (!is_finite(dist) || dist < 0.0f) return false;
    }
    tacka3 center_then = tacka3_add_scaled(c, d, dist);
    tacka3 contact = tacka3_add_scaled(e0, e, tacka3_dot(tacka3_sub(center_then, e0), e) / e2);
    if (!is_point_between(contact, e0, e1)) return false;
    tacka3 diff = tacka3_sub(center_then, contact);
    float len = tacka3_length(diff);
    ASSERT(is_finite(len));
    if (!(len > 0.0f)) return false;
    out->kind = COLLISION_EDGE;
    out->distance = dist;
    out->point = contact;
    out->normal = tacka3_scale(diff, 1.0f / len);
    return true;
}

// The ray from the corner v against the move meets the sphere (c, r); the
// corner must lie ahead of the sphere.
static bool __sweep_vertex(contact_candidate *out, tacka3 c, float r, tacka3 d, tacka3 v)
{
    float dist;
    if (tacka3_length2(tacka3_sub(v, c)) <= r * r)
        dist = 0.0f; // touching it already (less deeply than an embedded sphere)
    else if (!ray_sphere_intersect(&dist, v, tacka3_neg(d), c, r))
        dist = -1.0f;
    if (dist < 0.0f || tacka3_dot(tacka3_sub(v, c), d) < 0.0f) return false;
    tacka3 diff = tacka3_sub(tacka3_add_scaled(c, d, dist), v);
    float len3 = tacka3_length(diff);
    ASSERT(is_finite(len3));
    if (!(len3 > 0.0f)) return false;
    out->kind = COLLISION_VERTEX;
    out->distance = dist;
    out->point = v;
    out->normal = tacka3_scale(diff, 1.0f / len3);
    return true;
}

// Classifies the contact of a sphere (c, r) moving along the unit vector d with the
// triangle (a, b, t) of unit normal n.
static bool __classify(contact_candidate *out, tacka3 c, float r, tacka3 d, float len, tacka3 a, tacka3 b, tacka3 t,
                       tacka3 n)
{
    // A sphere that stays farther than its radius from the triangle's plane over
    // the whole move meets nothing of the triangle.
    const float h0 = tacka3_dot(tacka3_sub(c, a), n);
    const float h1 = h0 + tacka3_dot(d, n) * len;
    if ((h0 > r && h1 > r) || (h0 < -r && h1 < -r)) return false;

    // Embedded: some point of the triangle deeper than the tolerance inside the
    // sphere, which a center farther than that from the plane rules out (with
    // room for rounding) without looking for the nearest point.
    tacka3 q;
    const float inner = r - COLLISION_EMBED_TOLERANCE;
    const bool may_embed = !(std::fabs(h0) > inner + 1e-4f * (r + std::fabs(h0)));
    if (may_embed && is_triangle_inside_sphere(&q, c, r, a, b, t, n, COLLISION_EMBED_TOLERANCE)) {
        tacka3 diff = tacka3_sub(c, q);
        float len = tacka3_length(diff);
        ASSERT(is_finite(len));
        out->kind = COLLISION_EMBEDDED;
        out->distance = len - r;
        out->point = q;
        // A center right on the triangle leaves only the face normal.
        out->normal = len > 0.0f ? tacka3_scale(diff, 1.0f / len) : n;
        return true;
    }

    // Face: the sphere's leading point carried along d to the plane.
    tacka3 p = tacka3_add_scaled(c, n, -r);
    float dn = tacka3_dot(d, n);
    if (dn != 0.0f) {
        float travel = tacka3_dot(tacka3_sub(a, p), n) / dn;
        tacka3 plane_point = tacka3_add_scaled(p, d, travel);
        if (travel >= COLLISION_FACE_TOLERANCE && is_point_within_triangle_3d(plane_point, a, b, t, n)) {
            out->kind = COLLISION_FACE;
            out->distance = travel;
            out->point = plane_point;
            out->normal = n;
            return true;
        }
        // Already touching the face (less deeply than an embedded sphere) and
        // moving into it too steeply for the tolerance above: met at once, at the
        // center's foot. Carrying on would sink the sphere through the face onto
        // the far side of an edge, which would throw it off the surface.
        tacka3 foot = tacka3_add_scaled(c, n, -h0);
        if (travel < 0.0f && h0 > 0.0f && h0 < r && is_point_within_triangle_3d(foot, a, b, t, n)) {
            out->kind = COLLISION_FACE;
            out->distance = 0.0f;
            out->point = foot;
            out->normal = n;
            return true;
        }
    }

    // Edges and corners: the one the sphere meets first, facing it. (The
    // boundary point nearest the plane hit is not enough: on a grazing move the
    // hit lies far off, and the edge or corner nearest it need not be the one
    // in the sphere's way.)
    const tacka3 corners[3] = {a, b, t};
    contact_candidate best{};
    bool found = false;
    for (int i = 0; i < 6; i++) {
        contact_candidate cand{};
        bool hit = i < 3 ? __sweep_edge(&cand, c, r, d, corners[i], corners[(i + 1) % 3])
                         : __sweep_vertex(&cand, c, r, d, corners[i - 3]);
        if (!hit || !(tacka3_dot(cand.normal, d) < 0.0f) || (found && !(cand.distance < best.distance))) continue;
        best = cand;
        found = true;
    }
    if (found) *out = best;
    return found;
}

namespace {

// The meshes a query looks at: all of them, or only those a sliding move
// found near its path (subset, increasing indices into meshes).
struct mesh_set {
    const collision_mesh *meshes;
    uint32_t count;
    const uint32_t *subset; // null: every mesh
    uint32_t subset_count;
};

} // namespace

static uint32_t __set_size(const mesh_set *ms) { return ms->subset ? ms->subset_count : ms->count; }
static uint32_t __set_index(const mesh_set *ms, uint32_t k) { return ms->subset ? ms->subset[k] : k; }

static void __check_solid(const mesh_set *ms, const void *mover, tacka3 center, float radius, tacka3 move,
                          const collision_contact_id *last_contact, tacka3 *step, tacka3 *remaining,
                          array<collision_record> *solid_results, collision_record *contact)
{
    const collision_mesh *meshes = ms->meshes;
    *step = move;
    *remaining = tacka3{0.0f, 0.0f, 0.0f};
    if (contact) *contact = collision_record{};

    float len = tacka3_length(move);
    ASSERT(is_finite(len));
    if (!(radius > COLLISION_MIN_SIZE) || len < COLLISION_MIN_SIZE) return;
    tacka3 d = tacka3_scale(move, 1.0f / len);
    // Every contact the loop takes lies within the radius of the path (a
    // face contact up to COLLISION_FACE_TOLERANCE behind its start): the box
    // around the swept sphere turns the other triangles away.
    aabox broad;
    __capsule_box(&broad, nullptr, center, tacka3_add(center, move), radius + COLLISION_BROAD_MARGIN);

    collision_record best{};
    bool have = false;
    for (uint32_t s = 0; s < __set_size(ms); s++) {
        const uint32_t i = __set_index(ms, s);
        const collision_mesh *m = &meshes[i];
        if (!(m->flags & COLLISION_MESH_SOLID) || (m->flags & COLLISION_MESH_SKINNED) || __is_mover(m, mover)) continue;
        if (!m->vertices || m->face_count == 0) continue;
        if (__farther_than(m->bound_center, center, m->bound_radius + radius + len)) continue;
        __check_mesh_has_triangles(m);
        const float *xf = __placement(m);
        float det = xf ? __det3(xf) : 1.0f;
        bool skip_face = last_contact && last_contact->owner == m->owner;
        // For a placed mesh, a box in its own space around the broad sphere
        // turns most triangles away before their corners are placed.
        aabox local_broad;
        float scratch[16];
        const float *inv = __inverse(m, xf, scratch);
        const bool have_inv = inv != nullptr;
        bool have_local = have_inv && __local_box(&local_broad, inv, center, radius + len + COLLISION_BROAD_MARGIN);

        // The triangles to test: those the hierarchy finds near the swept
        // sphere (every contact lies within its radius of the path), else all.
        aabox swept;
        bool have_swept = (!xf || have_inv) &&
                          __capsule_box(&swept, inv, center, tacka3_add(center, move), radius + COLLISION_BROAD_MARGIN);
        uint32_t near_faces[COLLISION_CANDIDATES];
        const uint32_t cand_count = __candidates(m, have_swept ? &swept : nullptr, near_faces);
        const uint32_t count = cand_count == UINT32_MAX ? m->face_count : cand_count;
        for (uint32_t k = 0; k < count; k++) {
            const uint32_t f = cand_count == UINT32_MAX ? k : near_faces[k];
            if (skip_face && last_contact->face_index == f) continue;
            tacka3 a, b, c;
            if (!__triangle(m, f, &a, &b, &c)) continue;
            collision_triangle_checks++;
            aabox tri_box;
            if (have_local) {
                __tri_box(&tri_box, a, b, c);
                if (!__boxes_overlap(&tri_box, &local_broad)) continue;
            }
            if (xf) {
                a = __xf_point(xf, a);
                b = __xf_point(xf, b);
                c = __xf_point(xf, c);
            }
            __tri_box(&tri_box, a, b, c);
            if (!__boxes_overlap(&tri_box, &broad)) continue;
            tacka3 n;
            if (!__world_normal(m, xf, det, f, a, b, c, &n)) continue;

            // A sphere clear of the triangle's plane meets none of the triangle
            // before it reaches the plane: when that is later than the best
            // contact so far (with room for rounding), the triangle cannot win.
            if (have) {
                float h0 = tacka3_dot(tacka3_sub(center, a), n), dn = tacka3_dot(d, n);
                if (h0 > radius && dn < 0.0f &&
                    (h0 - radius) / -dn > best.distance + 1e-3f * (std::fabs(best.distance) + radius) + 1e-5f)
                    continue;
            }
            contact_candidate cand;
            if (!__classify(&cand, center, radius, d, len, a, b, c, n)) continue;
            if (!(tacka3_dot(cand.normal, d) < 0.0f) || cand.distance > len) continue;
            if (have && !(cand.distance < best.distance)) continue;
            have = true;
            best.solid = 1;
            best.kind = cand.kind;
            best.owner = m->owner;
            best.mesh_index = i;
            best.face_index = f;
            best.point = cand.point;
            best.face_normal = n;
            best.contact_normal = cand.normal;
            best.distance = cand.distance;
        }
    }
    if (!have) return;

    if (best.kind == COLLISION_EMBEDDED) {
        // Out along the normal until the sphere just touches; the whole move again next time.
        *step = tacka3_scale(best.contact_normal, -best.distance);
        *remaining = move;
    } else {
        // Up to the contact, and there a hair off it along the contact normal: a
        // sphere left exactly touching meets the same plane again at distance 0
        // with a normal that faces the slide only by rounding (the seams between
        // coplanar triangles), and would make no headway. Placing the sphere from
        // the contact point also lifts one that touched a little too deeply.
        tacka3 at = tacka3_add_scaled(best.point, best.contact_normal, radius + __gap(center));
        *step = tacka3_sub(at, center);
        tacka3 dest = tacka3_add(center, move);
        tacka3 on_plane = tacka3_add_scaled(dest, best.contact_normal,
                                            -tacka3_dot(tacka3_sub(dest, best.point), best.contact_normal));
        *remaining = tacka3_sub(on_plane, best.point);
    }
    if (solid_results) __append(solid_results, best);
    if (contact) *contact = best;
}

void collision_check_solid(const collision_mesh *meshes, uint32_t mesh_count, const void *mover, tacka3 center,
                           float radius, tacka3 move, const collision_contact_id *last_contact, tacka3 *step,
                           tacka3 *remaining, array<collision_record> *solid_results, collision_record *contact)
{
    const mesh_set ms = {meshes, mesh_count, nullptr, 0};
    __check_solid(&ms, mover, center, radius, move, last_contact, step, remaining, solid_results, contact);
}

static void __check_non_solid(const mesh_set *ms, const void *mover, tacka3 center, float radius, tacka3 move,
                              array<collision_record> *results)
{
    const collision_mesh *meshes = ms->meshes;
    float len = tacka3_length(move);
    ASSERT(is_finite(len));
    const bool moving = len >= COLLISION_MIN_SIZE;
    const tacka3 u = moving ? tacka3_scale(move, 1.0f / len) : tacka3{0.0f, 0.0f, 0.0f};
    const float r2 = radius * radius;

    for (uint32_t s = 0; s < __set_size(ms); s++) {
        const uint32_t i = __set_index(ms, s);
        const collision_mesh *m = &meshes[i];
        if ((m->flags & COLLISION_MESH_SOLID) || __is_mover(m, mover)) continue;
        // Within reach of the sphere, or for a moving one of its whole path: a
        // fast mover must not pass a small body unreported in one step.
        tacka3 nearest_center = center;
        if (moving) {
            bool on;
            nearest_center = closest_point_on_segment(m->bound_center, center, tacka3_add(center, move), &on);
        }
        if (__farther_than(m->bound_center, nearest_center, m->bound_radius + radius)) continue;
        int existing = __find_owner(results, m->owner);

        collision_record rec{};
        rec.owner = m->owner;
        rec.mesh_index = i;
        if (m->flags & COLLISION_MESH_SKINNED) {
            // The bounds alone make the contact.
            if (existing >= 0) BUG();
            __append(results, rec);
            continue;
        }
        if (!m->vertices || m->face_count == 0) continue;
        __check_mesh_has_triangles(m);
        // Standing: a body with a record keeps it, so none of its contacts count.
        if (!moving && existing >= 0) continue;
        const float *xf = __placement(m);
        float det = xf ? __det3(xf) : 1.0f;

        // Only triangles within reach of the sphere (over its path when moving)
        // can make a record: those the hierarchy finds near it.
        // A moving sphere's contacts are taken up to a move's length either way.
        aabox near_box;
        float scratch[16];
        const float *inv = __inverse(m, xf, scratch);
        bool have_near =
            (!xf || inv) && __capsule_box(&near_box, inv, moving ? tacka3_sub(center, move) : center,
                                          moving ? tacka3_add(center, move) : center, radius + COLLISION_BROAD_MARGIN);
        uint32_t near_faces[COLLISION_CANDIDATES];
        const uint32_t cand_count = __candidates(m, have_near ? &near_box : nullptr, near_faces);
        const uint32_t count = cand_count == UINT32_MAX ? m->face_count : cand_count;
        for (uint32_t k = 0; k < count; k++) {
            const uint32_t f = cand_count == UINT32_MAX ? k : near_faces[k];
            tacka3 a, b, c, n;
            if (!__world_triangle(m, xf, f, &a, &b, &c)) continue;
            if (!__world_normal(m, xf, det, f, a, b, c, &n)) continue;
            float dist = tacka3_dot(tacka3_sub(center, a), n);
            tacka3 plane_point;
            if (std::fabs(dist) < radius) {
                plane_point = tacka3_add_scaled(center, n, -dist);
            } else {
                if (!moving) continue;
                float un = tacka3_dot(u, n);
                if (un == 0.0f) continue;
                tacka3 p = tacka3_add_scaled(center, n, -radius);
                plane_point = tacka3_add_scaled(p, u, tacka3_dot(tacka3_sub(a, p), n) / un);
            }
            tacka3 point = plane_point;
            if (!is_point_within_triangle_3d(plane_point, a, b, c, n)) {
                tacka3 es, ee;
                bool on;
                point = closest_point_on_triangle(&es, &ee, &on, plane_point, a, b, c);
            }

            rec.face_index = f;
            rec.point = point;
            rec.face_normal = n;
            rec.contact_normal = tacka3_sub(center, point);
            if (!tacka3_try_normalize(&rec.contact_normal)) rec.contact_normal = n;

            if (!moving) {
                if (!(tacka3_length2(tacka3_sub(center, point)) < r2)) continue;
                rec.distance = dist;
                __append(results, rec);
                break; // the first touching triangle answers for the body
            }

            float travel;
            if (!ray_sphere_intersect(&travel, point, tacka3_neg(u), center, radius)) continue; // no hit, no contact
            if (!(travel > -len && travel <= len)) continue;
            rec.distance = travel;
            if (existing >= 0) {
                collision_record *old = &(*results)[uint32_t(existing)];
                if (old->distance > travel) *old = rec;
            } else {
                __append(results, rec);
                existing = int(results->get_size() - 1);
            }
        }
    }
}

void collision_check_non_solid(const collision_mesh *meshes, uint32_t mesh_count, const void *mover, tacka3 center,
                               float radius, tacka3 move, array<collision_record> *results)
{
    const mesh_set ms = {meshes, mesh_count, nullptr, 0};
    __check_non_solid(&ms, mover, center, radius, move, results);
}

static void __step(const mesh_set *ms, const void *mover, tacka3 center, float radius, tacka3 move,
                   const collision_contact_id *last_contact, tacka3 *new_center, tacka3 *remaining,
                   array<collision_record> *solid_results, array<collision_record> *nonsolid_results,
                   collision_record *contact)
{
    tacka3 step = move;
    *remaining = tacka3{0.0f, 0.0f, 0.0f};
    if (contact) *contact = collision_record{};
    if (tacka3_length2(move) >= COLLISION_MIN_MOVE2)
        __check_solid(ms, mover, center, radius, move, last_contact, &step, remaining, solid_results, contact);
    if (nonsolid_results) __check_non_solid(ms, mover, center, radius, move, nonsolid_results);
    *new_center = tacka3_add(center, step);
}

void collision_step(const collision_mesh *meshes, uint32_t mesh_count, const void *mover, tacka3 center, float radius,
                    tacka3 move, const collision_contact_id *last_contact, tacka3 *new_center, tacka3 *remaining,
                    array<collision_record> *solid_results, array<collision_record> *nonsolid_results,
                    collision_record *contact)
{
    const mesh_set ms = {meshes, mesh_count, nullptr, 0};
    __step(&ms, mover, center, radius, move, last_contact, new_center, remaining, solid_results, nonsolid_results,
           contact);
}

// Room for the meshes near a sliding move; with more near, every step looks at all.
#define COLLISION_NEAR_MESHES 64

// The meshes whose bounding spheres come within reach of around (a superset
// of those either test of a step from any center within reach - radius -
// |move| of around looks at).
static void __near_set(mesh_set *ms, uint32_t *subset, tacka3 around, float reach)
{
    ms->subset = subset;
    ms->subset_count = 0;
    for (uint32_t i = 0; i < ms->count; i++) {
        const collision_mesh *m = &ms->meshes[i];
        float limit = m->bound_radius + reach;
        float d2 = tacka3_length2(tacka3_sub(m->bound_center, around));
        if (limit >= 0.0f && d2 > limit * limit * 1.001f) continue;
        if (ms->subset_count == COLLISION_NEAR_MESHES) {
            ms->subset = nullptr;
            return;
        }
        subset[ms->subset_count++] = i;
    }
}

tacka3 collision_slide(const collision_mesh *meshes, uint32_t mesh_count, const void *mover, tacka3 center,
                       float radius, tacka3 move, array<collision_record> *solid_results,
                       array<collision_record> *nonsolid_results, int *iterations)
{
    array<collision_record> *step_nonsolid = nullptr;
    if (nonsolid_results) {
        step_nonsolid = array_new<collision_record>();
        ASSERT(step_nonsolid != nullptr);
    }
    // The steps look only at the meshes near the move, gathered once around
    // the start and again whenever a step could reach beyond them. Each step
    // looks at bounding spheres within radius + |move| of its center.
    mesh_set ms = {meshes, mesh_count, nullptr, 0};
    uint32_t subset[COLLISION_NEAR_MESHES];
    const float reach = radius + 2.0f * tacka3_length(move) + COLLISION_BROAD_MARGIN;
    tacka3 around = center;
    float gathered_reach = -1.0f; // none gathered yet

    collision_contact_id last{};
    bool have_last = false;
    tacka3 remaining = move;
    int n = 0;
    while (n < COLLISION_MAX_ITERATIONS && tacka3_length2(remaining) > COLLISION_MIN_MOVE2) {
        float need = tacka3_distance(center, around) + radius + tacka3_length(remaining);
        if (!(need + 1e-3f * gathered_reach <= gathered_reach)) {
            around = center;
            gathered_reach = std::fmax(reach, 2.0f * (radius + tacka3_length(remaining)));
            __near_set(&ms, subset, around, gathered_reach);
        }
        collision_record contact;
        tacka3 next_move;
        if (step_nonsolid) step_nonsolid->cur_elements = 0;
        __step(&ms, mover, center, radius, remaining, have_last ? &last : nullptr, &center, &next_move, solid_results,
               step_nonsolid, &contact);
        remaining = next_move;
        n++;
        // Only a sliding contact of this step is remembered: its plane is ignored next time.
        have_last = contact.kind != COLLISION_NONE && contact.kind != COLLISION_EMBEDDED;
        if (have_last) last = collision_contact_id{contact.owner, contact.face_index};
        if (step_nonsolid) {
            for (const collision_record &rec : *step_nonsolid)
                if (__find_owner(nonsolid_results, rec.owner) < 0) __append(nonsolid_results, rec);
        }
    }
    array_free(step_nonsolid);
    if (iterations) *iterations = n;
    return center;
}

// The nearest triangle of the mesh the ray (in the mesh's space) hits, testing each.
static void __ray_every_triangle(const collision_mesh *m, tacka3 lo, tacka3 ld, float *best_t, uint32_t *best_f)
{
    for (uint32_t f = 0; f < m->face_count; f++) {
        tacka3 a, b, c;
        if (!__triangle(m, f, &a, &b, &c)) continue;
        aabox tri_box;
        aabox_of_triangle(&tri_box, a, b, c);
        if (!is_intersecting(&tri_box, lo, ld)) continue;
        float t;
        if (ray_triangle_intersect(&t, lo, ld, a, b, c) && t < *best_t) {
            *best_t = t;
            *best_f = f;
        }
    }
}

// Whether the ray origin + t dir (t >= 0) passes the sphere (center, radius)
// by, with room for rounding: then it meets nothing inside it. A box around a
// sphere lets through many rays that pass the sphere itself. A radius that is
// not positive (no sphere given) or not finite lets every ray through.
static bool __ray_passes_sphere(tacka3 origin, tacka3 dir, tacka3 center, float radius)
{
    if (!(radius > 0.0f) || !is_finite(radius)) return false;
    const double wx = double(center.x) - origin.x, wy = double(center.y) - origin.y, wz = double(center.z) - origin.z;
    const double dx = dir.x, dy = dir.y, dz = dir.z;
    const double ww = wx * wx + wy * wy + wz * wz, wd = wx * dx + wy * dy + wz * dz, dd = dx * dx + dy * dy + dz * dz;
    // Generous by far more than float rounding of the corners and the ray.
    const double limit = 1.0001 * double(radius) + 2e-4 * (std::fabs(wx) + std::fabs(wy) + std::fabs(wz));
    // The nearest point of the ray: its origin when the center lies behind it.
    if (wd <= 0.0) return ww > limit * limit;
    return ww * dd - wd * wd > limit * limit * dd;
}

// The ray against mesh i (its box already met by the generous test): its
// record appended when it hits within max_distance.
static bool __ray_mesh(const collision_mesh *meshes, uint32_t i, tacka3 origin, tacka3 direction, float dir_len,
                       float max_distance, array<collision_record> *results)
{
    const collision_mesh *m = &meshes[i];
    if (m->flags & COLLISION_MESH_INVISIBLE) return false;
    if (!m->vertices || m->vertex_count == 0 || m->face_count == 0 || (!m->tris_32 && !m->tris_16)) return false;
    if (__ray_passes_sphere(origin, direction, m->bound_center, m->bound_radius)) return false;
    if (!is_intersecting(&m->bound_box, origin, direction)) return false;

    // The ray in the mesh's own space.
    const float *xf = __placement(m);
    tacka3 lo = origin, ld = direction;
    if (xf) {
        float scratch[16];
        const float *inv = __inverse(m, xf, scratch);
        if (!inv) return false;
        lo = matrix_transform_point(inv, origin);
        ld = matrix_transform_direction(inv, direction);
        if (is_zero(ld) || !tacka3_is_finite(ld)) return false;
    }

    float best_t = INFINITY;
    uint32_t best_f = 0;
    if (const collision_bvh *bvh = __bvh(m)) {
        if (!collision_bvh_ray(bvh, lo, ld, &best_t, &best_f, nullptr)) return false;
    } else {
        __ray_every_triangle(m, lo, ld, &best_t, &best_f);
    }
    if (best_t == INFINITY) return false;
    float distance = best_t * dir_len;
    if (distance > max_distance) return false;

    collision_record rec{};
    rec.owner = m->owner;
    rec.mesh_index = i;
    rec.face_index = best_f;
    rec.point = tacka3_add_scaled(origin, direction, best_t);
    rec.distance = distance;
    tacka3 a, b, c;
    __world_triangle(m, xf, best_f, &a, &b, &c);
    if (!__world_normal(m, xf, xf ? __det3(xf) : 1.0f, best_f, a, b, c, &rec.face_normal))
        rec.face_normal = tacka3{0.0f, 0.0f, 0.0f};
    rec.contact_normal = rec.face_normal;
    __append(results, rec);
    return true;
}

uint32_t collision_ray(const collision_mesh *meshes, uint32_t mesh_count, tacka3 origin, tacka3 direction,
                       float max_distance, array<collision_record> *results)
{
    ASSERT(!is_zero(direction));
    const float dir_len = tacka3_length(direction);
    collision_slab_ray slabs;
    collision_slab_ray_init(&slabs, origin, direction);
    uint32_t hits = 0;
    for (uint32_t i = 0; i < mesh_count; i++) {
        // The quick generous test turns most boxes away, the exact one decides.
        float t_enter;
        if (!collision_slab_ray_enter(&slabs, meshes[i].bound_box.min, meshes[i].bound_box.max, &t_enter)) continue;
        if (__ray_mesh(meshes, i, origin, direction, dir_len, max_distance, results)) hits++;
    }
    return hits;
}

// Room for the meshes one indexed ray meets; with more, the ray looks at all.
#define COLLISION_RAY_MESHES 256

uint32_t collision_ray_indexed(const collision_bvh *index, const collision_mesh *meshes, uint32_t mesh_count,
                               tacka3 origin, tacka3 direction, float max_distance, array<collision_record> *results)
{
    ASSERT(!is_zero(direction));
    uint32_t near[COLLISION_RAY_MESHES];
    uint32_t n = index && collision_bvh_fits_meshes(index, meshes, mesh_count)
                     ? collision_bvh_items_on_ray(index, origin, direction, near, COLLISION_RAY_MESHES)
                     : UINT32_MAX;
    if (n == UINT32_MAX) return collision_ray(meshes, mesh_count, origin, direction, max_distance, results);
    const float dir_len = tacka3_length(direction);
    collision_slab_ray slabs;
    collision_slab_ray_init(&slabs, origin, direction);
    uint32_t hits = 0;
    for (uint32_t k = 0; k < n; k++) {
        // The index hands over whole leaves: each body's own box first.
        const collision_mesh *m = &meshes[near[k]];
        float t_enter;
        if (!collision_slab_ray_enter(&slabs, m->bound_box.min, m->bound_box.max, &t_enter)) continue;
        if (__ray_mesh(meshes, near[k], origin, direction, dir_len, max_distance, results)) hits++;
    }
    return hits;
}
