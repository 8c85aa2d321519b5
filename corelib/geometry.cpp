#include "geometry.h"

#include <algorithm>
#include <cmath>

#include "log.h"

void build_box_around_sphere(aabox *box, tacka3 center, float radius)
{
    ASSERT(radius >= 0.0f);
    box->min[0] = center.x - radius;
    box->min[1] = center.y - radius;
    box->min[2] = center.z - radius;
    box->max[0] = center.x + radius;
    box->max[1] = center.y + radius;
    box->max[2] = center.z + radius;
}

void linear_interpolation(tacka3 *out, tacka3 a, tacka3 b, float t)
{
    if (!(t >= 0.0f && t <= 1.0f)) BUG();
    // a (1 - t) + b t equals a + (b - a) t and hits both end points exactly.
    float s = 1.0f - t;
    *out = tacka3{a.x * s + b.x * t, a.y * s + b.y * t, a.z * s + b.z * t};
}

bool is_point_between(tacka3 p, tacka3 a, tacka3 b) { return tacka3_dot(tacka3_sub(p, a), tacka3_sub(p, b)) <= 0.0f; }

bool is_point_within_triangle_3d(tacka3 point, tacka3 a, tacka3 b, tacka3 c, tacka3 normal)
{
    if (!is_finite(normal.x) || !is_finite(normal.y) || !is_finite(normal.z)) BUG();

    // Project onto the plane of the two axes the normal leans on least.
    float nx = std::fabs(normal.x), ny = std::fabs(normal.y), nz = std::fabs(normal.z);
    int u_axis, v_axis;
    if (nx >= ny && nx >= nz) {
        u_axis = 1;
        v_axis = 2;
    } else if (ny >= nz) {
        u_axis = 0;
        v_axis = 2;
    } else {
        u_axis = 0;
        v_axis = 1;
    }
    auto coord = [](tacka3 t, int axis) { return axis == 0 ? t.x : (axis == 1 ? t.y : t.z); };
    const float pu = coord(point, u_axis), pv = coord(point, v_axis);
    const tacka3 corners[3] = {a, b, c};

    // A ray from the point along +u: inside when it crosses an odd number of edges.
    bool inside = false;
    for (int i = 0, j = 2; i < 3; j = i++) {
        float ui = coord(corners[i], u_axis), vi = coord(corners[i], v_axis);
        float uj = coord(corners[j], u_axis), vj = coord(corners[j], v_axis);
        if ((vi > pv) != (vj > pv)) {
            float cross_u = ui + (uj - ui) * (pv - vi) / (vj - vi);
            if (pu < cross_u) inside = !inside;
        }
    }
    return inside;
}

bool is_intersecting(const aabox *box, tacka3 origin, tacka3 r_vector)
{
    ASSERT(!is_zero(r_vector));
    const float o[3] = {origin.x, origin.y, origin.z};
    const float r[3] = {r_vector.x, r_vector.y, r_vector.z};
    // Slab method over t >= 0: the ray parameters inside every slab must overlap.
    float t_enter = 0.0f;
    float t_leave = INFINITY;
    for (int axis = 0; axis < 3; axis++) {
        if (r[axis] == 0.0f) {
            if (o[axis] < box->min[axis] || o[axis] > box->max[axis]) return false;
            continue;
        }
        float inv = 1.0f / r[axis];
        float t0 = (box->min[axis] - o[axis]) * inv;
        float t1 = (box->max[axis] - o[axis]) * inv;
        if (t0 > t1) std::swap(t0, t1);
        if (t1 < 0.0f) return false; // the box lies behind the origin
        t_enter = std::max(t_enter, t0);
        t_leave = std::min(t_leave, t1);
        if (t_enter > t_leave) return false;
    }
    return true;
}

tacka3 closest_point_on_segment(tacka3 p, tacka3 a, tacka3 b, bool *on_segment)
{
    tacka3 ab = tacka3_sub(b, a);
    float len2 = tacka3_length2(ab);
    if (!(len2 > 0.0f)) {
        *on_segment = false;
        return a;
    }
    float t = tacka3_dot(tacka3_sub(p, a), ab) / len2;
    if (!(t > 0.0f)) {
        *on_segment = false;
        return a;
    }
    if (t >= 1.0f) {
        *on_segment = false;
        return b;
    }
    *on_segment = true;
    return tacka3_add_scaled(a, ab, t);
}

tacka3 closest_point_on_triangle(tacka3 *edge_start, tacka3 *edge_end, bool *on_edge, tacka3 p, tacka3 a, tacka3 b,
                                 tacka3 c)
{
    const tacka3 starts[3] = {a, b, c};
    const tacka3 ends[3] = {b, c, a};
    int best = -1;
    float best_d2 = 0.0f;
    tacka3 best_point = a;
    bool best_on = false;
    for (int i = 0; i < 3; i++) {
        bool on;
        tacka3 q = closest_point_on_segment(p, starts[i], ends[i], &on);
        float d2 = tacka3_length2(tacka3_sub(q, p));
        if (best < 0 || d2 < best_d2) { // ties keep the earlier edge
            best = i;
            best_d2 = d2;
            best_point = q;
            best_on = on;
        }
    }
    *edge_start = starts[best];
    *edge_end = ends[best];
    *on_edge = best_on;
    return best_point;
}

tacka3 closest_point_on_triangle_solid(tacka3 p, tacka3 a, tacka3 b, tacka3 c)
{
    // Voronoi regions of the vertices, then of the edges, else the face.
    tacka3 ab = tacka3_sub(b, a), ac = tacka3_sub(c, a), ap = tacka3_sub(p, a);
    float d1 = tacka3_dot(ab, ap), d2 = tacka3_dot(ac, ap);
    if (d1 <= 0.0f && d2 <= 0.0f) return a;

    tacka3 bp = tacka3_sub(p, b);
    float d3 = tacka3_dot(ab, bp), d4 = tacka3_dot(ac, bp);
    if (d3 >= 0.0f && d4 <= d3) return b;

    float vc = d1 * d4 - d3 * d2;
    if (vc <= 0.0f && d1 >= 0.0f && d3 <= 0.0f) return tacka3_add_scaled(a, ab, d1 / (d1 - d3));

    tacka3 cp = tacka3_sub(p, c);
    float d5 = tacka3_dot(ab, cp), d6 = tacka3_dot(ac, cp);
    if (d6 >= 0.0f && d5 <= d6) return c;

    float vb = d5 * d2 - d1 * d6;
    if (vb <= 0.0f && d2 >= 0.0f && d6 <= 0.0f) return tacka3_add_scaled(a, ac, d2 / (d2 - d6));

    float va = d3 * d6 - d5 * d4;
    if (va <= 0.0f && (d4 - d3) >= 0.0f && (d5 - d6) >= 0.0f)
        return tacka3_add_scaled(b, tacka3_sub(c, b), (d4 - d3) / ((d4 - d3) + (d5 - d6)));

    float denom = va + vb + vc;
    if (!(denom != 0.0f) || !is_finite(denom)) {
        // Degenerate (collinear) triangle: the nearest point of its edges.
        tacka3 s, e;
        bool on;
        return closest_point_on_triangle(&s, &e, &on, p, a, b, c);
    }
    float v = vb / denom, w = vc / denom;
    return tacka3_add(a, tacka3_add(tacka3_scale(ab, v), tacka3_scale(ac, w)));
}

bool is_triangle_inside_sphere(tacka3 *contact, tacka3 center, float radius, tacka3 a, tacka3 b, tacka3 c,
                               tacka3 normal, float tolerance)
{
    (void)normal; // the nearest point is found from the corners alone
    float inner = radius - tolerance;
    if (!(inner > 0.0f)) return false;
    tacka3 q = closest_point_on_triangle_solid(center, a, b, c);
    if (tacka3_length2(tacka3_sub(q, center)) < inner * inner) {
        *contact = q;
        return true;
    }
    return false;
}

bool ray_triangle_intersect(float *t, tacka3 origin, tacka3 dir, tacka3 a, tacka3 b, tacka3 c)
{
    tacka3 e1 = tacka3_sub(b, a), e2 = tacka3_sub(c, a);
    tacka3 pv = tacka3_cross(dir, e2);
    float det = tacka3_dot(e1, pv);
    // Parallel to the plane (relative to the sizes involved), or degenerate.
    float scale = tacka3_length(e1) * tacka3_length(e2) * tacka3_length(dir);
    if (!(std::fabs(det) > 1e-7f * scale)) return false;
    float inv = 1.0f / det;
    tacka3 tv = tacka3_sub(origin, a);
    float u = tacka3_dot(tv, pv) * inv;
    if (u < 0.0f || u > 1.0f) return false;
    tacka3 qv = tacka3_cross(tv, e1);
    float v = tacka3_dot(dir, qv) * inv;
    if (v < 0.0f || u + v > 1.0f) return false;
    float hit = tacka3_dot(e2, qv) * inv;
    if (!(hit >= 0.0f) || !is_finite(hit)) return false;
    *t = hit;
    return true;
}

bool aabox_overlaps(const aabox *a, const aabox *b)
{
    for (int i = 0; i < 3; i++)
        if (a->max[i] < b->min[i] || a->min[i] > b->max[i]) return false;
    return true;
}

void aabox_of_triangle(aabox *box, tacka3 a, tacka3 b, tacka3 c)
{
    box->min[0] = std::min({a.x, b.x, c.x});
    box->min[1] = std::min({a.y, b.y, c.y});
    box->min[2] = std::min({a.z, b.z, c.z});
    box->max[0] = std::max({a.x, b.x, c.x});
    box->max[1] = std::max({a.y, b.y, c.y});
    box->max[2] = std::max({a.z, b.z, c.z});
}

bool ray_sphere_intersect(float *t, tacka3 origin, tacka3 dir, tacka3 center, float radius)
{
    // |o + t d - c|^2 = r^2 with d of unit length: t^2 + 2 b t + cc = 0.
    tacka3 oc = tacka3_sub(origin, center);
    float b = tacka3_dot(oc, dir);
    float cc = tacka3_length2(oc) - radius * radius;
    float disc = b * b - cc;
    if (disc < 0.0f) return false;
    *t = -b - std::sqrt(disc);
    return true;
}
