// The collision core's loops as they were before the triangle hierarchies and
// the other short cuts: every triangle of every body in reach tested. The
// tests hold the core's answers to these.
//
// (A verbatim copy inside its own namespace; the asserts and fault reports of
// the core are kept.)

#include "collision_reference.h"

#include <cmath>

#include "corelib/log.h"
#include "corelib/matrix.h"

namespace collision_reference {

static uint64_t collision_triangle_checks = 0;

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

static float __det3(const float *m)
{
    return m[0] * (m[5] * m[10] - m[6] * m[9]) - m[1] * (m[4] * m[10] - m[6] * m[8]) +
           m[2] * (m[4] * m[9] - m[5] * m[8]);
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
        *a = matrix_transform_point(xf, *a);
        *b = matrix_transform_point(xf, *b);
        *c = matrix_transform_point(xf, *c);
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
    if (!tacka3_try_normalize(&geo)) return false;
    if (m->face_normals && f < m->face_normal_count) {
        tacka3 ref = m->face_normals[f];
        if (xf) ref = matrix_transform_direction(xf, ref);
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

// The box, in the space of the placement xf, around the world sphere (center,
// radius); false when the placement cannot be inverted.
static bool __local_box(aabox *box, const float *xf, tacka3 center, float radius)
{
    float inv[16];
    if (!matrix_inverse(inv, xf)) return false;
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

    tacka3 q;
    if (is_triangle_inside_sphere(&q, c, r, a, b, t, n, COLLISION_EMBED_TOLERANCE)) {
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

void collision_check_solid(const collision_mesh *meshes, uint32_t mesh_count, const void *mover, tacka3 center,
                           float radius, tacka3 move, const collision_contact_id *last_contact, tacka3 *step,
                           tacka3 *remaining, array<collision_record> *solid_results, collision_record *contact)
{
    *step = move;
    *remaining = tacka3{0.0f, 0.0f, 0.0f};
    if (contact) *contact = collision_record{};

    float len = tacka3_length(move);
    ASSERT(is_finite(len));
    if (!(radius > COLLISION_MIN_SIZE) || len < COLLISION_MIN_SIZE) return;
    tacka3 d = tacka3_scale(move, 1.0f / len);
    aabox broad;
    build_box_around_sphere(&broad, center, radius + len + COLLISION_BROAD_MARGIN);

    collision_record best{};
    bool have = false;
    for (uint32_t i = 0; i < mesh_count; i++) {
        const collision_mesh *m = &meshes[i];
        if (!(m->flags & COLLISION_MESH_SOLID) || (m->flags & COLLISION_MESH_SKINNED) || __is_mover(m, mover)) continue;
        if (!m->vertices || m->face_count == 0) continue;
        if (tacka3_distance(m->bound_center, center) > m->bound_radius + radius + len) continue;
        __check_mesh_has_triangles(m);
        const float *xf = __placement(m);
        float det = xf ? __det3(xf) : 1.0f;
        bool skip_face = last_contact && last_contact->owner == m->owner;
        // For a placed mesh, a box in its own space around the broad sphere
        // turns most triangles away before their corners are placed.
        aabox local_broad;
        bool have_local = xf && __local_box(&local_broad, xf, center, radius + len + COLLISION_BROAD_MARGIN);

        for (uint32_t f = 0; f < m->face_count; f++) {
            if (skip_face && last_contact->face_index == f) continue;
            tacka3 a, b, c;
            if (!__triangle(m, f, &a, &b, &c)) continue;
            collision_triangle_checks++;
            aabox tri_box;
            if (have_local) {
                aabox_of_triangle(&tri_box, a, b, c);
                if (!aabox_overlaps(&tri_box, &local_broad)) continue;
            }
            if (xf) {
                a = matrix_transform_point(xf, a);
                b = matrix_transform_point(xf, b);
                c = matrix_transform_point(xf, c);
            }
            aabox_of_triangle(&tri_box, a, b, c);
            if (!aabox_overlaps(&tri_box, &broad)) continue;
            tacka3 n;
            if (!__world_normal(m, xf, det, f, a, b, c, &n)) continue;

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

void collision_check_non_solid(const collision_mesh *meshes, uint32_t mesh_count, const void *mover, tacka3 center,
                               float radius, tacka3 move, array<collision_record> *results)
{
    float len = tacka3_length(move);
    ASSERT(is_finite(len));
    const bool moving = len >= COLLISION_MIN_SIZE;
    const tacka3 u = moving ? tacka3_scale(move, 1.0f / len) : tacka3{0.0f, 0.0f, 0.0f};
    const float r2 = radius * radius;

    for (uint32_t i = 0; i < mesh_count; i++) {
        const collision_mesh *m = &meshes[i];
        if ((m->flags & COLLISION_MESH_SOLID) || __is_mover(m, mover)) continue;
        // Within reach of the sphere, or for a moving one of its whole path: a
        // fast mover must not pass a small body unreported in one step.
        tacka3 nearest_center = center;
        if (moving) {
            bool on;
            nearest_center = closest_point_on_segment(m->bound_center, center, tacka3_add(center, move), &on);
        }
        if (tacka3_distance(m->bound_center, nearest_center) > m->bound_radius + radius) continue;
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

        for (uint32_t f = 0; f < m->face_count; f++) {
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

void collision_step(const collision_mesh *meshes, uint32_t mesh_count, const void *mover, tacka3 center, float radius,
                    tacka3 move, const collision_contact_id *last_contact, tacka3 *new_center, tacka3 *remaining,
                    array<collision_record> *solid_results, array<collision_record> *nonsolid_results,
                    collision_record *contact)
{
    tacka3 step = move;
    *remaining = tacka3{0.0f, 0.0f, 0.0f};
    if (contact) *contact = collision_record{};
    if (tacka3_length2(move) >= COLLISION_MIN_MOVE2)
        collision_reference::collision_check_solid(meshes, mesh_count, mover, center, radius, move, last_contact, &step,
                                                   remaining, solid_results, contact);
    if (nonsolid_results)
        collision_reference::collision_check_non_solid(meshes, mesh_count, mover, center, radius, move,
                                                       nonsolid_results);
    *new_center = tacka3_add(center, step);
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
    collision_contact_id last{};
    bool have_last = false;
    tacka3 remaining = move;
    int n = 0;
    while (n < COLLISION_MAX_ITERATIONS && tacka3_length2(remaining) > COLLISION_MIN_MOVE2) {
        collision_record contact;
        tacka3 next_move;
        if (step_nonsolid) step_nonsolid->cur_elements = 0;
        collision_reference::collision_step(meshes, mesh_count, mover, center, radius, remaining,
                                            have_last ? &last : nullptr, &center, &next_move, solid_results,
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

uint32_t collision_ray(const collision_mesh *meshes, uint32_t mesh_count, tacka3 origin, tacka3 direction,
                       float max_distance, array<collision_record> *results)
{
    ASSERT(!is_zero(direction));
    const float dir_len = tacka3_length(direction);
    uint32_t hits = 0;
    for (uint32_t i = 0; i < mesh_count; i++) {
        const collision_mesh *m = &meshes[i];
        if (m->flags & COLLISION_MESH_INVISIBLE) continue;
        if (!m->vertices || m->vertex_count == 0 || m->face_count == 0 || (!m->tris_32 && !m->tris_16)) continue;
        if (!is_intersecting(&m->bound_box, origin, direction)) continue;

        // The ray in the mesh's own space.
        const float *xf = __placement(m);
        tacka3 lo = origin, ld = direction;
        if (xf) {
            float inv[16];
            if (!matrix_inverse(inv, xf)) continue;
            lo = matrix_transform_point(inv, origin);
            ld = matrix_transform_direction(inv, direction);
            if (is_zero(ld) || !tacka3_is_finite(ld)) continue;
        }

        float best_t = INFINITY;
        uint32_t best_f = 0;
        for (uint32_t f = 0; f < m->face_count; f++) {
            tacka3 a, b, c;
            if (!__triangle(m, f, &a, &b, &c)) continue;
            aabox tri_box;
            aabox_of_triangle(&tri_box, a, b, c);
            if (!is_intersecting(&tri_box, lo, ld)) continue;
            float t;
            if (ray_triangle_intersect(&t, lo, ld, a, b, c) && t < best_t) {
                best_t = t;
                best_f = f;
            }
        }
        if (best_t == INFINITY) continue;
        float distance = best_t * dir_len;
        if (distance > max_distance) continue;

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
        hits++;
    }
    return hits;
}

} // namespace collision_reference
