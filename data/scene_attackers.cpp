// The attacker pools: for each of the eight kinds, dormant actors of one
// instance each, hidden in a park far below the playing space until the
// launcher throws them. Asteroid instances are named "aster_<kind>_NN",
// junk "debris_<kind>_NN"; every one is collidable and solid.
//
// Sizes follow the kinds' toughness: "asteroid_a" small pebbles, "_b" and
// "_c" (elongated) middling rocks, "_d" the big ones; junk is a torn hull
// plate ("junk_a"), a broken girder ("junk_b"), a fuel tank ("junk_c") and
// crate fragments ("junk_d").

#include <cmath>
#include <cstdio>

#include "scene_materials.h"
#include "scene_parts.h"
#include "scene_shapes.h"

static scene_pose __along_x(tacka3 at) { return pose_at(at, quat_from_axes({0, -1, 0}, {1, 0, 0})); }

static scene_mesh __hull_plate(uint32_t seed)
{
    scene_rng r = scene_rng_make(seed);
    std::vector<tacka2> outline;
    const int n = 11;
    for (int i = 0; i < n; i++) {
        float a = 6.2831853f * i / n;
        float rad = r.range(1.3f, 2.4f) * (i % 2 ? 0.8f : 1.0f);
        outline.push_back({std::cos(a) * rad * 1.2f, std::sin(a) * rad});
    }
    scene_mesh plate = shape_slab(outline, 0.18f, 3);
    // Bend the plate like a piece of a curved hull.
    for (auto &p : plate.pos) p.y += 0.09f * p.x * p.x;
    mesh_smooth_normals(plate);
    plate = mesh_faceted(plate);
    scene_mesh m = plate;
    for (float z : {-0.8f, 0.0f, 0.8f}) {
        scene_mesh rib = shape_box({2.0f, 0.14f, 0.1f}, 2);
        for (auto &p : rib.pos) p.y += 0.09f * p.x * p.x - 0.22f;
        mesh_append(m, rib, pose_at({0, 0, z}));
    }
    return m;
}

static scene_mesh __girder()
{
    scene_mesh m;
    const float len[3] = {5.0f, 4.2f, 3.1f};
    const tacka3 at[3] = {{0, 0.6f, 0.6f}, {0.4f, -0.6f, 0.6f}, {-0.9f, 0, -0.6f}};
    for (int i = 0; i < 3; i++) mesh_append(m, shape_box({len[i] / 2, 0.12f, 0.12f}, 2), pose_at(at[i]));
    for (int i = 0; i < 4; i++) {
        float x = -1.8f + 1.2f * i;
        mesh_append(m, shape_box({0.06f, 0.66f, 0.06f}, 2), pose_at({x, 0, 0.6f}, quat_axis_angle({0, 0, 1}, 0.5f)));
        mesh_append(m, shape_box({0.06f, 0.06f, 0.66f}, 2), pose_at({x, 0.3f, 0}, quat_axis_angle({1, 0, 0}, 0.6f)));
    }
    return m;
}

static scene_mesh __tank()
{
    scene_mesh m;
    mesh_append(m, shape_cylinder(1.1f, -1.6f, 1.6f, 20, false, 3), __along_x({0, 0, 0}));
    scene_pose cap = pose_at({1.6f, 0, 0}, quat_from_axes({0, -1, 0}, {1, 0, 0}));
    mesh_append(m, shape_sphere(1.1f, 20, 6, 0.0f, 1.5707963f), cap);
    scene_pose cap2 = pose_at({-1.6f, 0, 0}, quat_from_axes({0, 1, 0}, {-1, 0, 0}));
    mesh_append(m, shape_sphere(1.1f, 20, 6, 0.0f, 1.5707963f), cap2);
    for (float x : {-1.0f, 0.0f, 1.0f})
        mesh_append(m, shape_cylinder(1.18f, -0.1f, 0.1f, 20, false, 3), __along_x({x, 0, 0}));
    mesh_append(m, shape_cylinder(0.25f, 2.6f, 3.1f, 10, true, 2), __along_x({0, 0, 0}));
    return m;
}

static scene_mesh __crate_piece(uint32_t seed)
{
    scene_rng r = scene_rng_make(seed);
    scene_mesh m;
    mesh_append(m, shape_box({0.8f, 0.6f, 0.06f}, 2), pose_at({0, 0, -0.55f}));
    mesh_append(m, shape_box({0.06f, 0.6f, 0.55f}, 2), pose_at({-0.8f, 0, 0}));
    mesh_append(m, shape_box({0.8f, 0.06f, 0.55f}, 2), pose_at({0, -0.6f, 0}));
    mesh_append(m, shape_box({0.1f, 0.1f, 0.6f}, 2),
                pose_at({0.75f, 0.55f, 0}, quat_axis_angle({0, 1, 0}, r.range(-0.4f, 0.4f))));
    return m;
}

// A shape scaled up uniformly.
static scene_mesh __scaled(const scene_mesh &m, float s)
{
    scene_mesh out;
    mesh_append(out, m, pose_at({0, 0, 0}, {1, 0, 0, 0}, s));
    return out;
}

struct pool_kind {
    const char *type; // actor type
    const char *stem; // instance name stem
    const char *material;
};

bool scene_build_attackers(scene_kit &k)
{
    // Two shapes per kind, alternated through the pool. A triangle budget by
    // size (320, 500, 500 and 720): eighty of them fly at once in a level.
    rock_style a, b, c, d;
    a.divisions = 4, a.radius = 1.5f, a.roughness = 0.3f, a.craters = 3, a.tile = 2.0f;
    b.divisions = 5, b.radius = 2.3f, b.axes = {1.1f, 0.85f, 1.0f}, b.craters = 6;
    c.divisions = 5, c.radius = 2.4f, c.axes = {1.6f, 0.8f, 0.9f}, c.craters = 5, c.roughness = 0.26f;
    d.divisions = 6, d.radius = 3.8f, d.axes = {1.15f, 0.9f, 1.0f}, d.craters = 9, d.tile = 4.0f;
    const rock_style styles[4] = {a, b, c, d};
    const char *letters = "abcd";
    for (int i = 0; i < 4; i++)
        for (int v = 0; v < 2; v++) {
            char name[32];
            std::snprintf(name, sizeof name, "aster_%c_shape%d", letters[i], v + 1);
            if (!kit_object(k, name, shape_rock(styles[i], 100 + 10 * i + v))) return false;
        }
    // Junk about as large as the middling rocks: it has to be seen and hit.
    if (!kit_object(k, "debris_a_shape1", __scaled(__hull_plate(7), 1.6f)) ||
        !kit_object(k, "debris_a_shape2", __scaled(__hull_plate(8), 1.6f)) ||
        !kit_object(k, "debris_b_shape1", __scaled(__girder(), 1.5f)) ||
        !kit_object(k, "debris_b_shape2", __scaled(__girder(), 1.3f)) ||
        !kit_object(k, "debris_c_shape1", __scaled(__tank(), 1.3f)) ||
        !kit_object(k, "debris_c_shape2", __scaled(__tank(), 1.1f)) ||
        !kit_object(k, "debris_d_shape1", __scaled(__crate_piece(3), 1.8f)) ||
        !kit_object(k, "debris_d_shape2", __scaled(__crate_piece(4), 1.6f)))
        return false;
    const pool_kind kinds[8] = {
        {"asteroid_a", "aster_a", MAT_ROCK_A},     {"asteroid_b", "aster_b", MAT_ROCK_B},
        {"asteroid_c", "aster_c", MAT_ROCK_MATTE}, {"asteroid_d", "aster_d", MAT_ROCK_B},
        {"junk_a", "debris_a", MAT_JUNK},          {"junk_b", "debris_b", MAT_JUNK},
        {"junk_c", "debris_c", MAT_JUNK_SHINY},    {"junk_d", "debris_d", MAT_JUNK},
    };
    scene_rng r = scene_rng_make(4242);
    for (int kind = 0; kind < 8; kind++)
        for (int i = 0; i < LAYOUT_ATTACKERS_PER_KIND; i++) {
            char name[32], shape[32];
            std::snprintf(name, sizeof name, "%s_%02d", kinds[kind].stem, i + 1);
            std::snprintf(shape, sizeof shape, "%s_shape%d", kinds[kind].stem, i % 2 + 1);
            // Parked 25 units apart, kinds in rows, well clear of each other.
            tacka3 at = tacka3_add(LAYOUT_PARK_POS, {25.0f * i, 0, 25.0f * kind});
            quaternion rot = quat_axis_angle(r.unit(), r.range(0, 6.2831853f));
            std::string props = kit_actor(kinds[kind].type, name) +
                                "collidable = true\nsolid = true\ninvisible = true\ndynamic = true\n";
            if (!kit_oi(k, name, shape, kinds[kind].material, "", pose_at(at, rot), props)) return false;
        }
    return true;
}
