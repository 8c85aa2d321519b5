#pragma once
// Mesh shapes for the scene: primitives (boxes, cylinders, tori, spheres,
// lofts) and the procedural asteroid rocks.

#include <cstdint>
#include <vector>

#include "scene_kit.h"

// An axis-aligned box of half sizes h, one texture tile of `tile` units.
scene_mesh shape_box(tacka3 h, float tile = 4.0f);
// A cylinder along y from y0 to y1; caps optional. `sides` around.
scene_mesh shape_cylinder(float radius, float y0, float y1, int sides, bool caps, float tile = 4.0f);
// A cone frustum along y (radius r0 at y0, r1 at y1).
scene_mesh shape_frustum(float r0, float r1, float y0, float y1, int sides, bool caps, float tile = 4.0f);
// A torus about the y axis: ring radius R, tube radius r.
scene_mesh shape_torus(float R, float r, int ring_segments, int tube_segments, float tile = 8.0f);
// A torus with a square tube (girder ring), hard edges.
scene_mesh shape_square_torus(float R, float half_w, float half_h, int segments, float tile = 8.0f);
// A UV sphere (or a part of it: latitude from lat0 to lat1 radians, -pi/2..pi/2).
scene_mesh shape_sphere(float radius, int slices, int stacks, float lat0 = -1.5707963f, float lat1 = 1.5707963f);

// A loft along x: each section is a rounded rectangle (superellipse of
// exponent `squareness`, 2 = ellipse) at x with half width/height and a
// vertical offset. Ends are closed.
struct loft_section {
    float x, half_w, half_h, y;
};
scene_mesh shape_loft(const std::vector<loft_section> &sections, int around, float squareness);
// A flat polygon (in the x-z plane, counter-clockwise seen from +y) extruded
// by thickness along y, centred; hard edges.
scene_mesh shape_slab(const std::vector<tacka2> &outline, float thickness, float tile = 4.0f);

// An asteroid: a geodesic sphere whose icosahedron edges are cut into
// `divisions` (20 divisions^2 triangles: 4 gives 320, 8 gives 1,280)
// displaced by fractal noise and craters, stretched by `axes`, with box-projected texture
// coordinates (one texture tile per `tile` units). Deterministic in `seed`.
struct rock_style {
    int divisions = 8;
    float radius = 2.0f;
    tacka3 axes{1, 1, 1};
    float roughness = 0.22f; // fractal displacement, fraction of the radius
    int craters = 6;
    float crater_depth = 0.12f;
    float tile = 3.0f;
};
scene_mesh shape_rock(const rock_style &style, uint32_t seed);
