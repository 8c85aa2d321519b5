// The launch pad, the asteroid field around it, a far belt of big rocks,
// the sky box and the lights.
//
// "launch_pad" is a ring of hazard-striped girders facing the station; the
// game takes its vertices as the attackers' starting points, so the ring and
// its clamps carry a few hundred of them all round. The field's rocks are
// scenery: not collidable and no actors, kept out of the lane between the
// pad and the station and away from the station itself.

#include <cmath>
#include <cstdio>

#include "data_textures.h"
#include "scene/light.h"
#include "scene/scene.h"
#include "scene_materials.h"
#include "scene_parts.h"
#include "scene_shapes.h"

static const float PI = 3.14159265358979f;

static scene_mesh __pad_mesh()
{
    scene_mesh m;
    mesh_append(m, shape_square_torus(LAYOUT_PAD_RADIUS, 2.4f, 2.4f, 72, 10));
    mesh_append(m, shape_square_torus(LAYOUT_PAD_RADIUS - 7, 1.0f, 1.0f, 72, 10), pose_at({0, -3, 0}));
    // Clamps round the ring and braces between the two rings.
    for (int i = 0; i < 12; i++) {
        scene_pose p = pose_at({0, 0, 0}, quat_axis_angle({0, 1, 0}, 2 * PI * i / 12));
        mesh_append(m, shape_box({4.5f, 3.6f, 3.2f}, 4), pose_compose(p, pose_at({LAYOUT_PAD_RADIUS + 1, 0, 0})));
        mesh_append(m, shape_box({4.0f, 0.6f, 0.6f}, 4), pose_compose(p, pose_at({LAYOUT_PAD_RADIUS - 4, -1.5f, 0})));
    }
    return m;
}

// True when p is within `clear` of the segment a-b.
static bool __near_segment(tacka3 p, tacka3 a, tacka3 b, float clear)
{
    tacka3 ab = tacka3_sub(b, a);
    float t = std::fmax(0.0f, std::fmin(1.0f, tacka3_dot(tacka3_sub(p, a), ab) / tacka3_length2(ab)));
    return tacka3_distance(p, tacka3_add(a, tacka3_scale(ab, t))) < clear;
}

bool scene_build_field(scene_kit &k)
{
    if (!kit_object(k, "launch_pad_ring", __pad_mesh(), 3)) return false;
    tacka3 axis = tacka3_normalize(tacka3_sub(LAYOUT_STATION_POS, LAYOUT_PAD_POS));
    tacka3 side = tacka3_normalize(tacka3_cross(axis, {0, 1, 0}));
    // The ring's axis (local y) points at the station.
    if (!kit_oi(k, "launch_pad", "launch_pad_ring", MAT_PAD, "", pose_at(LAYOUT_PAD_POS, quat_from_axes(side, axis))))
        return false;

    // Field rocks, placed with their own scale and turn: shapes 1-4 more
    // finely divided (720 triangles) for the big rocks near the pad, 5-6 for
    // the far belt, 7-10 for the many small rocks (320 each). The normal maps
    // carry the detail; the triangles only make the outline.
    const int SHAPES = 10;
    for (int s = 0; s < SHAPES; s++) {
        rock_style st;
        st.divisions = s < 4 ? 6 : 4;
        st.radius = 1.0f;
        st.axes = {1.0f + 0.15f * (s % 3), 0.8f + 0.1f * (s % 2), 1.0f};
        st.craters = 4 + s % 5;
        st.crater_depth = 0.14f;
        st.roughness = 0.2f + 0.03f * (s % 4);
        st.tile = 0.6f;
        char name[32];
        std::snprintf(name, sizeof name, "field_rock_shape%d", s + 1);
        if (!kit_object(k, name, shape_rock(st, 500 + s), 4)) return false;
    }
    static const char *near_mats[3] = {MAT_ROCK_A, MAT_ROCK_B, MAT_ROCK_MATTE};
    const std::vector<tacka3> flight = scene_cinematic_path();
    auto clear_of_flight = [&](tacka3 p, float radius) {
        for (const tacka3 &f : flight)
            if (tacka3_distance(p, f) < radius + 16) return false;
        return true;
    };
    scene_rng r = scene_rng_make(2026);
    int made = 0, tries = 0;
    // Near field: a shell round the launch pad, denser towards the pad.
    while (made < 140 && tries++ < 8000) {
        float d = r.range(0, 1);
        tacka3 p = tacka3_add(LAYOUT_PAD_POS, tacka3_scale(r.unit(), 80 + 200 * d * d));
        p.y = LAYOUT_PAD_POS.y + (p.y - LAYOUT_PAD_POS.y) * 0.45f;
        if (__near_segment(p, LAYOUT_PAD_POS, LAYOUT_STATION_POS, 80) || tacka3_distance(p, LAYOUT_STATION_POS) < 170)
            continue;
        float size = r.range(0, 1) < 0.15f ? r.range(10, 18) : r.range(2.5f, 8);
        // The shapes reach about 1.45 times their scale.
        if (!clear_of_flight(p, size * 1.5f)) continue;
        char name[32], shape[32];
        std::snprintf(name, sizeof name, "field_rock_%03d", ++made);
        std::snprintf(shape, sizeof shape, "field_rock_shape%d", r.below(4) + (size >= 10 ? 1 : 7));
        scene_pose pose = pose_at(p, quat_axis_angle(r.unit(), r.range(0, 2 * PI)), size);
        if (!kit_oi(k, name, shape, near_mats[r.below(3)], "", pose)) return false;
    }
    // Far belt: big rocks round the whole scene, beyond the power field.
    for (int i = 0; i < 60; i++) {
        float a = 2 * PI * i / 60 + r.range(-0.04f, 0.04f);
        float rad = r.range(650, 900);
        tacka3 p = {std::cos(a) * rad, r.range(-70, 70) + std::sin(a) * 90, std::sin(a) * rad};
        float size = r.range(14, 42);
        char name[32], shape[32];
        std::snprintf(name, sizeof name, "belt_rock_%03d", i + 1);
        std::snprintf(shape, sizeof shape, "field_rock_shape%d", 5 + i % 2);
        scene_pose pose = pose_at(p, quat_axis_angle(r.unit(), r.range(0, 2 * PI)), size);
        if (!kit_oi(k, name, shape, MAT_ROCK_FAR, "", pose)) return false;
    }
    return true;
}

bool scene_build_sky(scene_kit &k)
{
    // One inward-facing square per face; picture (u, v) shows the direction
    // centre + u right + v down, with v running down the picture.
    for (const sky_face &f : SKY_FACE_TABLE) {
        tacka3 c = {f.centre[0], f.centre[1], f.centre[2]}, rt = {f.right[0], f.right[1], f.right[2]},
               dn = {f.down[0], f.down[1], f.down[2]};
        scene_mesh m;
        tacka3 n = tacka3_neg(c);
        uint32_t v[4];
        const float uv[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (int i = 0; i < 4; i++) {
            tacka3 d = tacka3_add(c, tacka3_add(tacka3_scale(rt, uv[i][0]), tacka3_scale(dn, uv[i][1])));
            // Texture rows run bottom-up: t = 1 at the picture's top. Half a
            // texel in from the edges, so that filtering never reaches round
            // to the opposite edge and draws a seam.
            const float e = 0.5f / 512, span = 1 - 2 * e;
            v[i] = mesh_vertex(m, tacka3_scale(d, LAYOUT_SKY_HALF), n,
                               {e + span * (uv[i][0] + 1) * 0.5f, 1 - e - span * (uv[i][1] + 1) * 0.5f});
        }
        for (int t = 0; t < 2; t++) {
            uint32_t a = v[0], b = v[t + 1], cc = v[t + 2];
            tacka3 fn = tacka3_cross(tacka3_sub(m.pos[b], m.pos[a]), tacka3_sub(m.pos[cc], m.pos[a]));
            if (tacka3_dot(fn, n) < 0) std::swap(b, cc);
            mesh_tri(m, a, b, cc);
        }
        std::string obj = std::string("sky_") + f.instance;
        if (!kit_object(k, obj, m, 1) ||
            !kit_oi(k, f.instance, obj, obj, "", {},
                    "not_hw_lit = true\nno_fog = true\ndo_not_frustum_cull = true\ndynamic = true\n"))
            return false;
    }
    return true;
}

static bool __light(scene_kit &k, const char *name, int type, tacka3 color, float r1, float r2, const scene_pose &at,
                    tacka3 ambient)
{
    char props[160];
    std::snprintf(props, sizeof props, "ambient_r = %.3f\nambient_g = %.3f\nambient_b = %.3f\n", ambient.x, ambient.y,
                  ambient.z);
    if (!kit_oi(k, name, "", "", "", at, props)) return false;
    light *l = light_init();
    if (!l || !light_copy_name(l, name)) {
        if (l) light_deinit(l);
        return false;
    }
    light_set_type(l, type);
    l->color = {color.x, color.y, color.z, 1.0f};
    l->range1 = r1;
    l->range2 = r2;
    l->range2_copy = r2;
    if (!scene_add_light(k.sc, l)) {
        light_deinit(l);
        return false;
    }
    return true;
}

bool scene_build_lights(scene_kit &k)
{
    // The sun: warm white from high on the pad's side; its -z axis points
    // the way the light travels.
    tacka3 sun_dir = tacka3_normalize({0.55f, -0.45f, 0.70f});
    scene_pose sun = pose_at(tacka3_scale(sun_dir, -3000), quat_look(sun_dir, {0, 1, 0}));
    // A cool fill from the opposite side and the station's own floodlight.
    tacka3 fill_at = {380, -160, 260};
    scene_pose fill = pose_at(fill_at, quat_look(tacka3_neg(fill_at), {0, 1, 0}));
    return __light(k, "light_sun", LIGHT_DIRECTIONAL, {1.0f, 0.94f, 0.85f}, 0, 100000, sun, {0.10f, 0.10f, 0.12f}) &&
           __light(k, "light_fill", LIGHT_OMNI, {0.30f, 0.38f, 0.55f}, 400, 1400, fill, {0.05f, 0.05f, 0.08f}) &&
           __light(k, "light_station", LIGHT_OMNI, {0.95f, 0.80f, 0.60f}, 60, 260, pose_at({0, 70, 0}),
                   {0.04f, 0.04f, 0.04f});
}
