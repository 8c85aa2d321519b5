#pragma once
// A collision mesh with its own storage, for the collision tests.

#include <cmath>
#include <vector>

#include "corelib/matrix.h"
#include "scene/collision_core.h"

// A mesh with its own storage; call finish() after filling vertices and triangles.
struct test_mesh {
    std::vector<tacka3> vertices;
    std::vector<uint32_t> tris;
    std::vector<uint16_t> tris16;
    float world[16];
    collision_mesh m;

    test_mesh() { matrix_identity(world); }

    void add_tri(tacka3 a, tacka3 b, tacka3 c)
    {
        uint32_t base = uint32_t(vertices.size());
        vertices.push_back(a);
        vertices.push_back(b);
        vertices.push_back(c);
        tris.push_back(base);
        tris.push_back(base + 1);
        tris.push_back(base + 2);
    }
    // Quad a b c d (counter-clockwise seen from the front) as two triangles a b c, a c d.
    void add_quad(tacka3 a, tacka3 b, tacka3 c, tacka3 d)
    {
        add_tri(a, b, c);
        add_tri(a, c, d);
    }
    collision_mesh *finish(uint32_t flags, void *owner, bool use_16bit = false)
    {
        collision_mesh_init(&m);
        m.vertices = vertices.data();
        m.vertex_count = uint32_t(vertices.size());
        if (use_16bit) {
            tris16.assign(tris.begin(), tris.end());
            m.tris_16 = tris16.data();
        } else {
            m.tris_32 = tris.data();
        }
        m.face_count = uint32_t(tris.size() / 3);
        m.world = world;
        m.flags = flags;
        m.owner = owner;
        // World-space bounds from the placed corners.
        tacka3 lo{INFINITY, INFINITY, INFINITY}, hi{-INFINITY, -INFINITY, -INFINITY};
        for (tacka3 v : vertices) {
            tacka3 w = matrix_transform_point(world, v);
            lo = {std::fmin(lo.x, w.x), std::fmin(lo.y, w.y), std::fmin(lo.z, w.z)};
            hi = {std::fmax(hi.x, w.x), std::fmax(hi.y, w.y), std::fmax(hi.z, w.z)};
        }
        m.bound_center = tacka3_scale(tacka3_add(lo, hi), 0.5f);
        m.bound_radius = tacka3_distance(hi, lo) * 0.5f;
        m.bound_box = aabox{{lo.x, lo.y, lo.z}, {hi.x, hi.y, hi.z}};
        return &m;
    }
};
