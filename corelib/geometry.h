#pragma once
// Geometry helpers shared by the scene, collisions, particles and the game.

#include "tacka.h"

// 6 floats: minimum x, y, z then maximum x, y, z.
struct aabox {
    float min[3];
    float max[3];
};

// Fault report "radius >= 0.0f" for a negative radius.
void build_box_around_sphere(aabox *box, tacka3 center, float radius);
// out = a + (b - a) t; t outside [0, 1] is a fault report.
void linear_interpolation(tacka3 *out, tacka3 a, tacka3 b, float t);
// (p - a).(p - b) <= 0.
bool is_point_between(tacka3 p, tacka3 a, tacka3 b);
// Drops the normal's largest axis and counts edge crossings in the other two.
bool is_point_within_triangle_3d(tacka3 point, tacka3 a, tacka3 b, tacka3 c, tacka3 normal);
// Whether the ray origin + t r, t >= 0, meets the box (r must not be zero).
bool is_intersecting(const aabox *box, tacka3 origin, tacka3 r_vector);
// Closest point to p on segment a-b; on_segment tells whether it lies strictly between the ends.
tacka3 closest_point_on_segment(tacka3 p, tacka3 a, tacka3 b, bool *on_segment);
// Closest point to p on the triangle's edges (the nearest of ab, bc, ca; ties to the
// earlier edge); returns the winning edge's ends and whether the point lies strictly
// inside that edge (false: it is a vertex).
tacka3 closest_point_on_triangle(tacka3 *edge_start, tacka3 *edge_end, bool *on_edge, tacka3 p, tacka3 a, tacka3 b,
                                 tacka3 c);
// The closest point to p of the whole triangle (face, edges or corners).
tacka3 closest_point_on_triangle_solid(tacka3 p, tacka3 a, tacka3 b, tacka3 c);
// Whether the sphere already intersects the triangle, i.e. reaches deeper into it than
// tolerance (a sphere that merely touches is not inside); the triangle point nearest
// the center as contact.
bool is_triangle_inside_sphere(tacka3 *contact, tacka3 center, float radius, tacka3 a, tacka3 b, tacka3 c,
                               tacka3 normal, float tolerance);
// Ray against triangle: the distance t along dir (not normalised) when the ray meets
// the triangle's front or back at t >= 0.
bool ray_triangle_intersect(float *t, tacka3 origin, tacka3 dir, tacka3 a, tacka3 b, tacka3 c);
// Whether two boxes overlap (touching counts).
bool aabox_overlaps(const aabox *a, const aabox *b);
void aabox_of_triangle(aabox *box, tacka3 a, tacka3 b, tacka3 c);
// Ray (dir of unit length) against sphere: the smaller root t (may be negative when the
// origin lies inside or beyond); false when the line misses the sphere.
bool ray_sphere_intersect(float *t, tacka3 origin, tacka3 dir, tacka3 center, float radius);
