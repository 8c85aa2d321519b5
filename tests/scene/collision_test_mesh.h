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

// A closed rock: a UV sphere of 2 * slices * (stacks - 1) triangles with outward
// face normals, its corners out of round by up to lumps / 2 of the radius.
inline void add_rock(test_mesh *t, std::vector<tacka3> *normals, tacka3 center, float radius, int slices, int stacks,
                     unsigned seed, float lumps = 0.15f)
{
    auto lump = [&](int i, int j) {
        unsigned h = (unsigned(i) * 73856093u) ^ (unsigned(j) * 19349663u) ^ seed;
        h = (h ^ (h >> 13)) * 1274126177u;
        return 1.0f + lumps * (float(h % 1000) / 1000.0f - 0.5f);
    };
    auto point = [&](int i, int j) {
        if (j == 0) return tacka3_add(center, {0, 0, radius});
        if (j == stacks) return tacka3_add(center, {0, 0, -radius});
        float theta = float(M_PI) * float(j) / float(stacks),
              phi = 2.0f * float(M_PI) * float(i % slices) / float(slices);
        float r = radius * lump(i % slices, j);
        return tacka3_add(
            center, {r * std::sin(theta) * std::cos(phi), r * std::sin(theta) * std::sin(phi), r * std::cos(theta)});
    };
    auto tri = [&](tacka3 a, tacka3 b, tacka3 c) {
        tacka3 n = tacka3_cross(tacka3_sub(b, a), tacka3_sub(c, a));
        tacka3 out = tacka3_sub(tacka3_scale(tacka3_add(a, tacka3_add(b, c)), 1.0f / 3.0f), center);
        if (tacka3_dot(n, out) < 0.0f) n = tacka3_neg(n);
        t->add_tri(a, b, c);
        normals->push_back(n);
    };
    for (int i = 0; i < slices; i++) {
        for (int j = 0; j < stacks; j++) {
            tacka3 p00 = point(i, j), p10 = point(i + 1, j), p01 = point(i, j + 1), p11 = point(i + 1, j + 1);
            if (j != 0) tri(p00, p10, p11);
            if (j != stacks - 1) tri(p00, p11, p01);
        }
    }
}

inline float distance_to_mesh(const test_mesh &t, tacka3 p)
{
    float best = INFINITY;
    for (size_t f = 0; f < t.tris.size(); f += 3) {
        tacka3 a = t.vertices[t.tris[f]], b = t.vertices[t.tris[f + 1]], c = t.vertices[t.tris[f + 2]];
        // No nearer than the triangle's box: skipped when that is already too far.
        auto gap = [](float v, float x, float y, float z) {
            return std::fmax(0.0f, std::fmax(std::fmin(x, std::fmin(y, z)) - v, v - std::fmax(x, std::fmax(y, z))));
        };
        float gx = gap(p.x, a.x, b.x, c.x), gy = gap(p.y, a.y, b.y, c.y), gz = gap(p.z, a.z, b.z, c.z);
        if (gx * gx + gy * gy + gz * gz >= best * best) continue;
        best = std::fmin(best, tacka3_distance(p, closest_point_on_triangle_solid(p, a, b, c)));
    }
    return best;
}
