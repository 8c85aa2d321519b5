// Mesh shapes: primitives and procedural rocks. Every triangle is wound
// counter-clockwise seen from the side its vertex normals face.

#include "scene_shapes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

#include "data_noise.h"

static const float PI = 3.14159265358979f;

// A triangle wound so that it faces the way its vertex normals do.
static void __otri(scene_mesh &m, uint32_t a, uint32_t b, uint32_t c)
{
    tacka3 n = tacka3_cross(tacka3_sub(m.pos[b], m.pos[a]), tacka3_sub(m.pos[c], m.pos[a]));
    tacka3 ref = tacka3_add(tacka3_add(m.nrm[a], m.nrm[b]), m.nrm[c]);
    if (tacka3_dot(n, ref) < 0) std::swap(b, c);
    mesh_tri(m, a, b, c);
}

static void __quad(scene_mesh &m, uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    __otri(m, a, b, c);
    __otri(m, a, c, d);
}

scene_mesh shape_box(tacka3 h, float tile)
{
    scene_mesh m;
    static const tacka3 N[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    static const tacka3 U[6] = {{0, 0, -1}, {0, 0, 1}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {-1, 0, 0}};
    for (int f = 0; f < 6; f++) {
        tacka3 n = N[f], u = U[f], v = tacka3_cross(n, u);
        tacka3 c = tacka3_mul(n, h);
        float su = std::fabs(tacka3_dot(u, h)), sv = std::fabs(tacka3_dot(v, h));
        uint32_t idx[4];
        static const float corner[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (int k = 0; k < 4; k++) {
            tacka3 p =
                tacka3_add(c, tacka3_add(tacka3_scale(u, corner[k][0] * su), tacka3_scale(v, corner[k][1] * sv)));
            idx[k] = mesh_vertex(m, p, n, {corner[k][0] * su / tile, corner[k][1] * sv / tile});
        }
        __quad(m, idx[0], idx[1], idx[2], idx[3]);
    }
    return m;
}

scene_mesh shape_frustum(float r0, float r1, float y0, float y1, int sides, bool caps, float tile)
{
    scene_mesh m;
    float h = y1 - y0, circ = 2 * PI * std::max(r0, r1);
    std::vector<uint32_t> lo, hi;
    for (int i = 0; i <= sides; i++) {
        float a = 2 * PI * i / sides, c = std::cos(a), s = std::sin(a);
        tacka3 n = tacka3_normalize({c * h, r0 - r1, s * h});
        float u = circ * i / sides / tile;
        lo.push_back(mesh_vertex(m, {r0 * c, y0, r0 * s}, n, {u, y0 / tile}));
        hi.push_back(mesh_vertex(m, {r1 * c, y1, r1 * s}, n, {u, y1 / tile}));
    }
    for (int i = 0; i < sides; i++) __quad(m, lo[i], lo[i + 1], hi[i + 1], hi[i]);
    if (caps) {
        for (int end = 0; end < 2; end++) {
            float y = end ? y1 : y0, r = end ? r1 : r0;
            if (r <= 0) continue;
            tacka3 n = {0, end ? 1.0f : -1.0f, 0};
            uint32_t c = mesh_vertex(m, {0, y, 0}, n, {0, 0});
            std::vector<uint32_t> ring;
            for (int i = 0; i <= sides; i++) {
                float a = 2 * PI * i / sides;
                ring.push_back(mesh_vertex(m, {r * std::cos(a), y, r * std::sin(a)}, n,
                                           {r * std::cos(a) / tile, r * std::sin(a) / tile}));
            }
            for (int i = 0; i < sides; i++) __otri(m, c, ring[i], ring[i + 1]);
        }
    }
    return m;
}

scene_mesh shape_cylinder(float radius, float y0, float y1, int sides, bool caps, float tile)
{
    return shape_frustum(radius, radius, y0, y1, sides, caps, tile);
}

scene_mesh shape_torus(float R, float r, int ring_segments, int tube_segments, float tile)
{
    scene_mesh m;
    std::vector<uint32_t> g;
    for (int i = 0; i <= ring_segments; i++)
        for (int j = 0; j <= tube_segments; j++) {
            float u = 2 * PI * i / ring_segments, v = 2 * PI * j / tube_segments;
            tacka3 n = {std::cos(v) * std::cos(u), std::sin(v), std::cos(v) * std::sin(u)};
            tacka3 p = {(R + r * std::cos(v)) * std::cos(u), r * std::sin(v), (R + r * std::cos(v)) * std::sin(u)};
            g.push_back(
                mesh_vertex(m, p, n, {2 * PI * R * i / ring_segments / tile, 2 * PI * r * j / tube_segments / tile}));
        }
    int w = tube_segments + 1;
    for (int i = 0; i < ring_segments; i++)
        for (int j = 0; j < tube_segments; j++)
            __quad(m, g[i * w + j], g[(i + 1) * w + j], g[(i + 1) * w + j + 1], g[i * w + j + 1]);
    return m;
}

scene_mesh shape_square_torus(float R, float hw, float hh, int segments, float tile)
{
    scene_mesh m;
    // The four faces of the tube as (radial, height) end points and normal.
    struct face {
        float r0, y0, r1, y1, nr, ny;
    } faces[4] = {{R + hw, -hh, R + hw, hh, 1, 0},
                  {R - hw, -hh, R - hw, hh, -1, 0},
                  {R - hw, hh, R + hw, hh, 0, 1},
                  {R - hw, -hh, R + hw, -hh, 0, -1}};
    for (const face &f : faces) {
        std::vector<uint32_t> a, b;
        for (int i = 0; i <= segments; i++) {
            float u = 2 * PI * i / segments, c = std::cos(u), s = std::sin(u);
            tacka3 n = {f.nr * c, f.ny, f.nr * s};
            float tu = 2 * PI * R * i / segments / tile;
            a.push_back(mesh_vertex(m, {f.r0 * c, f.y0, f.r0 * s}, n, {tu, 0}));
            b.push_back(mesh_vertex(m, {f.r1 * c, f.y1, f.r1 * s}, n, {tu, 2 * std::max(hw, hh) / tile}));
        }
        for (int i = 0; i < segments; i++) __quad(m, a[i], a[i + 1], b[i + 1], b[i]);
    }
    return m;
}

scene_mesh shape_sphere(float radius, int slices, int stacks, float lat0, float lat1)
{
    scene_mesh m;
    std::vector<uint32_t> g;
    for (int j = 0; j <= stacks; j++)
        for (int i = 0; i <= slices; i++) {
            float lat = lat0 + (lat1 - lat0) * j / stacks, lon = 2 * PI * i / slices;
            tacka3 n = {std::cos(lat) * std::cos(lon), std::sin(lat), std::cos(lat) * std::sin(lon)};
            g.push_back(mesh_vertex(m, tacka3_scale(n, radius), n, {float(i) / slices * 4, float(j) / stacks * 2}));
        }
    int w = slices + 1;
    for (int j = 0; j < stacks; j++)
        for (int i = 0; i < slices; i++) {
            uint32_t a = g[j * w + i], b = g[j * w + i + 1], c = g[(j + 1) * w + i + 1], d = g[(j + 1) * w + i];
            // Skip the degenerate halves at the poles.
            if (j + 1 == stacks && lat1 > 1.5707f)
                __otri(m, a, b, c);
            else if (j == 0 && lat0 < -1.5707f)
                __otri(m, a, c, d);
            else
                __quad(m, a, b, c, d);
        }
    return m;
}

static float __spow(float v, float e) { return std::copysign(std::pow(std::fabs(v), e), v); }

scene_mesh shape_loft(const std::vector<loft_section> &sections, int around, float squareness)
{
    scene_mesh m;
    float e = 2.0f / squareness;
    float len = sections.back().x - sections.front().x;
    std::vector<std::vector<uint32_t>> rings;
    for (const loft_section &s : sections) {
        std::vector<uint32_t> ring;
        for (int i = 0; i <= around; i++) {
            float t = 2 * PI * i / around;
            float cz = __spow(std::cos(t), e), sy = __spow(std::sin(t), e);
            tacka3 p = {s.x, s.y + s.half_h * sy, s.half_w * cz};
            tacka3 n = tacka3_normalize({0, sy / std::max(s.half_h, 1e-3f), cz / std::max(s.half_w, 1e-3f)});
            ring.push_back(mesh_vertex(m, p, n, {(s.x - sections.front().x) / len * 2, float(i) / around * 2}));
        }
        rings.push_back(ring);
    }
    for (size_t k = 0; k + 1 < rings.size(); k++)
        for (int i = 0; i < around; i++) __quad(m, rings[k][i], rings[k][i + 1], rings[k + 1][i + 1], rings[k + 1][i]);
    mesh_smooth_normals(m);
    // Closed ends (flat caps with their own normals).
    for (int end = 0; end < 2; end++) {
        const loft_section &s = end ? sections.back() : sections.front();
        if (s.half_w < 1e-3f || s.half_h < 1e-3f) continue;
        tacka3 n = {end ? 1.0f : -1.0f, 0, 0};
        uint32_t c = mesh_vertex(m, {s.x, s.y, 0}, n, {0.5f, 0.5f});
        const std::vector<uint32_t> &r = end ? rings.back() : rings.front();
        std::vector<uint32_t> cap;
        for (uint32_t v : r)
            cap.push_back(mesh_vertex(m, m.pos[v], n, {0.5f + m.pos[v].z * 0.2f, 0.5f + m.pos[v].y * 0.2f}));
        for (int i = 0; i < around; i++) __otri(m, c, cap[i], cap[i + 1]);
    }
    return m;
}

scene_mesh shape_slab(const std::vector<tacka2> &outline, float thickness, float tile)
{
    scene_mesh m;
    float h = thickness * 0.5f;
    tacka2 c = {0, 0};
    for (const auto &p : outline) c = {c.x + p.x / outline.size(), c.y + p.y / outline.size()};
    for (int side = 0; side < 2; side++) {
        float y = side ? h : -h;
        tacka3 n = {0, side ? 1.0f : -1.0f, 0};
        uint32_t ci = mesh_vertex(m, {c.x, y, c.y}, n, {c.x / tile, c.y / tile});
        std::vector<uint32_t> ring;
        for (const auto &p : outline) ring.push_back(mesh_vertex(m, {p.x, y, p.y}, n, {p.x / tile, p.y / tile}));
        for (size_t i = 0; i < ring.size(); i++) __otri(m, ci, ring[i], ring[(i + 1) % ring.size()]);
    }
    float run = 0;
    for (size_t i = 0; i < outline.size(); i++) {
        tacka2 a = outline[i], b = outline[(i + 1) % outline.size()];
        tacka2 mid = {(a.x + b.x) / 2 - c.x, (a.y + b.y) / 2 - c.y};
        tacka3 n = tacka3_normalize({b.y - a.y, 0, -(b.x - a.x)});
        if (n.x * mid.x + n.z * mid.y < 0) n = tacka3_neg(n);
        float l = std::hypot(b.x - a.x, b.y - a.y);
        uint32_t v0 = mesh_vertex(m, {a.x, -h, a.y}, n, {run / tile, 0});
        uint32_t v1 = mesh_vertex(m, {b.x, -h, b.y}, n, {(run + l) / tile, 0});
        uint32_t v2 = mesh_vertex(m, {b.x, h, b.y}, n, {(run + l) / tile, thickness / tile});
        uint32_t v3 = mesh_vertex(m, {a.x, h, a.y}, n, {run / tile, thickness / tile});
        __quad(m, v0, v1, v2, v3);
        run += l;
    }
    return m;
}

// Geodesic sphere with shared vertices: each face of an icosahedron divided
// into divisions x divisions triangles (20 divisions^2 in all), the points
// pushed out onto the unit sphere. Any count of divisions gives a triangle
// budget between the powers of two.
static void __geodesic_sphere(int divisions, std::vector<tacka3> &v, std::vector<uint32_t> &f)
{
    const float t = (1.0f + std::sqrt(5.0f)) / 2.0f;
    std::vector<tacka3> corner = {{-1, t, 0},  {1, t, 0},  {-1, -t, 0}, {1, -t, 0}, {0, -1, t},  {0, 1, t},
                                  {0, -1, -t}, {0, 1, -t}, {t, 0, -1},  {t, 0, 1},  {-t, 0, -1}, {-t, 0, 1}};
    for (auto &p : corner) p = tacka3_normalize(p);
    const uint32_t faces[60] = {0, 11, 5,  0, 5,  1, 0, 1, 7, 0, 7,  10, 0, 10, 11, 1, 5, 9, 5, 11,
                                4, 11, 10, 2, 10, 7, 6, 7, 1, 8, 3,  9,  4, 3,  4,  2, 3, 2, 6, 3,
                                6, 8,  3,  8, 9,  4, 9, 5, 2, 4, 11, 6,  2, 10, 8,  6, 7, 9, 8, 1};
    const int n = std::max(1, divisions);
    v.clear();
    f.clear();
    // A point is its corners' weights (which sum to n), so that points on a
    // shared edge or corner are made once: the key lists (corner, weight)
    // pairs by corner, with zero weights left out.
    std::map<std::array<uint32_t, 6>, uint32_t> made;
    auto point = [&](const uint32_t c[3], const int w[3]) {
        std::array<std::pair<uint32_t, uint32_t>, 3> pw;
        for (int i = 0; i < 3; i++) pw[i] = {w[i] ? c[i] : UINT32_MAX, uint32_t(w[i])};
        std::sort(pw.begin(), pw.end());
        std::array<uint32_t, 6> key;
        for (int i = 0; i < 3; i++) key[2 * i] = pw[i].first, key[2 * i + 1] = pw[i].second;
        auto it = made.find(key);
        if (it != made.end()) return it->second;
        tacka3 p = {0, 0, 0};
        for (int i = 0; i < 3; i++) p = tacka3_add(p, tacka3_scale(corner[c[i]], float(w[i])));
        v.push_back(tacka3_normalize(p));
        return made[key] = uint32_t(v.size() - 1);
    };
    for (int face = 0; face < 20; face++) {
        const uint32_t *c = faces + 3 * face;
        // P(i, j): weights (n - i - j, i, j) on the face's corners a, b, c.
        auto at = [&](int i, int j) {
            const int w[3] = {n - i - j, i, j};
            return point(c, w);
        };
        for (int i = 0; i < n; i++)
            for (int j = 0; i + j < n; j++) {
                f.insert(f.end(), {at(i, j), at(i + 1, j), at(i, j + 1)});
                if (i + j + 2 <= n) f.insert(f.end(), {at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)});
            }
    }
}

scene_mesh shape_rock(const rock_style &st, uint32_t seed)
{
    std::vector<tacka3> dir;
    std::vector<uint32_t> f;
    __geodesic_sphere(st.divisions, dir, f);
    noise_rng rng = noise_rng_make(seed * 7919u + 17u);
    struct crater {
        tacka3 c;
        float size, depth;
    };
    std::vector<crater> craters;
    for (int i = 0; i < st.craters; i++) {
        float z = float(noise_rng_range(rng, -1, 1)), a = float(noise_rng_range(rng, 0, 2 * PI));
        float r = std::sqrt(std::max(0.0f, 1 - z * z));
        craters.push_back({{r * std::cos(a), r * std::sin(a), z},
                           float(noise_rng_range(rng, 0.22, 0.55)),
                           st.crater_depth * float(noise_rng_range(rng, 0.5, 1.2))});
    }
    tacka3 off = {float(noise_rng_range(rng, 0, 50)), float(noise_rng_range(rng, 0, 50)),
                  float(noise_rng_range(rng, 0, 50))};
    scene_mesh shared;
    for (const tacka3 &d : dir) {
        tacka3 q = tacka3_add(tacka3_scale(d, 1.3f), off);
        float h = 1.0f + st.roughness * noise_fbm3(q.x, q.y, q.z, 5, seed);
        // A lumpy low-frequency shape so that no two rocks are spheres.
        h += 0.18f * noise_perlin3(d.x * 0.7f + off.z, d.y * 0.7f, d.z * 0.7f, seed + 3);
        for (const crater &c : craters) {
            float ang = std::acos(std::clamp(tacka3_dot(d, c.c), -1.0f, 1.0f));
            float x = ang / c.size;
            if (x < 1) h -= c.depth * (1 - x * x);
            h += c.depth * 0.45f * std::exp(-((x - 1) / 0.2f) * ((x - 1) / 0.2f));
        }
        tacka3 p = tacka3_mul(tacka3_scale(d, st.radius * h), st.axes);
        mesh_vertex(shared, p, d, {0, 0});
    }
    shared.tri = f;
    mesh_smooth_normals(shared);
    // Box projection: each triangle takes the plane its normal faces most;
    // vertices are split per plane so that every face maps without skew.
    scene_mesh m;
    std::map<uint64_t, uint32_t> split;
    for (size_t i = 0; i < f.size(); i += 3) {
        tacka3 a = shared.pos[f[i]], b = shared.pos[f[i + 1]], c = shared.pos[f[i + 2]];
        tacka3 n = tacka3_cross(tacka3_sub(b, a), tacka3_sub(c, a));
        float ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
        int axis = ax > ay && ax > az ? 0 : (ay > az ? 1 : 2);
        uint32_t out[3];
        for (int k = 0; k < 3; k++) {
            uint32_t v = f[i + k];
            uint64_t key = (uint64_t(v) << 2) | uint64_t(axis);
            auto it = split.find(key);
            if (it != split.end()) {
                out[k] = it->second;
                continue;
            }
            tacka3 p = shared.pos[v];
            tacka2 uv = axis == 0 ? tacka2{p.z, p.y} : (axis == 1 ? tacka2{p.x, p.z} : tacka2{p.x, p.y});
            out[k] = split[key] = mesh_vertex(m, p, shared.nrm[v], {uv.x / st.tile, uv.y / st.tile});
        }
        mesh_tri(m, out[0], out[1], out[2]);
    }
    return m;
}
