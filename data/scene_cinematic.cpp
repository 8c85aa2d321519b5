// The title cinematic: a fighter ("cinema_BOL_ROOT", with the motion of the
// same name) comes out of the asteroid field beyond the launch pad, flies
// through the pad's ring, runs down the attackers' lane to the station,
// swings round it above the sentinels and ends beside the fighter's starting
// place. The camera "cinema_Camera01" rides with it, behind and to the side.
//
// The path is a Catmull-Rom spline through fixed points, keyed every
// quarter second at an even speed that eases in and out; the fighter banks
// into its turns. The instance starts hidden (the title shows it) and does
// not play its motion on its own (the title plays it once).

#include <algorithm>
#include <cmath>
#include <vector>

#include "scene/motion.h"
#include "scene/scene.h"
#include "scene_materials.h"
#include "scene_parts.h"

static const float PI = 3.14159265358979f;

static tacka3 __catmull(tacka3 p0, tacka3 p1, tacka3 p2, tacka3 p3, float t)
{
    float t2 = t * t, t3 = t2 * t;
    auto c = [&](float a, float b, float cc, float d) {
        return 0.5f * (2 * b + (-a + cc) * t + (2 * a - 5 * b + 4 * cc - d) * t2 + (-a + 3 * b - 3 * cc + d) * t3);
    };
    return {c(p0.x, p1.x, p2.x, p3.x), c(p0.y, p1.y, p2.y, p3.y), c(p0.z, p1.z, p2.z, p3.z)};
}

// The path's control points.
static std::vector<tacka3> __path_points()
{
    tacka3 pad = LAYOUT_PAD_POS;
    tacka3 axis = tacka3_normalize(tacka3_sub(LAYOUT_STATION_POS, pad));
    return {
        {-560, 80, -200},
        {-500, 70, -170},
        tacka3_add(pad, tacka3_scale(axis, -95)),
        pad,
        tacka3_add(pad, tacka3_scale(axis, 100)),
        {-125, 34, -20},
        {-60, 40, 62},
        {35, 42, 88},
        {98, 28, 18},
        {82, 16, -70},
        {40, 14, -130},
    };
}

// The whole path sampled finely: points and running length.
struct path_samples {
    std::vector<tacka3> p;
    std::vector<float> s;
};

static path_samples __sample_path()
{
    std::vector<tacka3> c = __path_points();
    path_samples out;
    const int per = 200;
    for (size_t i = 1; i + 2 < c.size(); i++)
        for (int j = 0; j < per; j++) out.p.push_back(__catmull(c[i - 1], c[i], c[i + 1], c[i + 2], float(j) / per));
    out.p.push_back(c[c.size() - 2]);
    out.s.push_back(0);
    for (size_t i = 1; i < out.p.size(); i++) out.s.push_back(out.s.back() + tacka3_distance(out.p[i], out.p[i - 1]));
    return out;
}

static tacka3 __at_length(const path_samples &ps, float s)
{
    auto it = std::lower_bound(ps.s.begin(), ps.s.end(), s);
    size_t i = std::min<size_t>(std::max<ptrdiff_t>(it - ps.s.begin(), 1), ps.s.size() - 1);
    float span = ps.s[i] - ps.s[i - 1];
    float t = span > 0 ? std::clamp((s - ps.s[i - 1]) / span, 0.0f, 1.0f) : 0;
    return tacka3_add(ps.p[i - 1], tacka3_scale(tacka3_sub(ps.p[i], ps.p[i - 1]), t));
}

std::vector<tacka3> scene_cinematic_path()
{
    path_samples ps = __sample_path();
    std::vector<tacka3> out;
    float next = 0;
    for (size_t i = 0; i < ps.p.size(); i++)
        if (ps.s[i] >= next) out.push_back(ps.p[i]), next = ps.s[i] + 2.0f;
    out.push_back(ps.p.back());
    return out;
}

bool scene_build_cinematic(scene_kit &k)
{
    const float T = LAYOUT_CINEMA_SECONDS, STEP = 0.25f;
    const int KEYS = int(std::lround(T / STEP)) + 1;
    path_samples ps = __sample_path();
    float total = ps.s.back();
    std::vector<tacka3> pos(KEYS), fwd(KEYS);
    for (int i = 0; i < KEYS; i++) {
        float u = float(i) / (KEYS - 1);
        // Even speed with a gentle ease at both ends.
        float s = (u - 0.22f * std::sin(2 * PI * u) / (2 * PI)) * total;
        pos[i] = __at_length(ps, s);
        fwd[i] = tacka3_normalize(
            tacka3_sub(__at_length(ps, std::min(total, s + 4)), __at_length(ps, std::max(0.0f, s - 4))));
    }
    // Bank into turns: the roll follows the heading's rate of change, with
    // the sign that leans the fighter's top towards the turn's centre.
    std::vector<float> bank(KEYS, 0);
    for (int i = 1; i + 1 < KEYS; i++) {
        float h0 = std::atan2(fwd[i - 1].z, fwd[i - 1].x), h1 = std::atan2(fwd[i + 1].z, fwd[i + 1].x);
        float dh = std::remainder(h1 - h0, 2 * PI) / (2 * STEP);
        bank[i] = std::clamp(-dh * 0.9f, -1.0f, 1.0f);
    }
    for (int pass = 0; pass < 3; pass++) {
        std::vector<float> b = bank;
        for (int i = 1; i + 1 < KEYS; i++) bank[i] = (b[i - 1] + 2 * b[i] + b[i + 1]) / 4;
    }
    motion *m = motion_init();
    if (!m) return false;
    bool ok = motion_copy_name(m, "cinema_BOL_ROOT");
    motion_set_initial_pose(m, {0, 0, 0}, {1, 0, 0, 0}, {1, 1, 1});
    const float tcb[5] = {0, 0, 0, 0, 0};
    quaternion first = {1, 0, 0, 0};
    for (int i = 0; i < KEYS && ok; i++) {
        float t = i == KEYS - 1 ? T : i * STEP;
        // Nose (-x) along the flight, then rolled about the flight axis.
        quaternion q = quat_from_axes(tacka3_neg(fwd[i]), {0, 1, 0});
        q = quaternion_mul(q, quat_axis_angle(fwd[i], bank[i]));
        if (i == 0) first = q;
        ok = motion_add_linear_position_keyframe(m, t, pos[i]) && motion_add_rotation_keyframe(m, t, q, tcb);
    }
    if (!ok) {
        motion_deinit(m);
        return false;
    }
    scene_add_motion(k.sc, m);
    k.flight = pos;
    if (!kit_oi(k, "cinema_BOL_ROOT", "bolid_hull", MAT_FIGHTER, "", pose_at(pos[0], first),
                "invisible = true\ndynamic = true\nen_fk_do_not_play = true\n"))
        return false;
    tacka3 cam = {11.0f, 3.4f, 5.5f}, aim = {-9.0f, 0.0f, 0.0f};
    if (!kit_oi(k, "cinema_Camera01", "", "", "cinema_BOL_ROOT",
                pose_at(cam, quat_look(tacka3_sub(aim, cam), {0, 1, 0})), "dynamic = true\n"))
        return false;
    return kit_camera(k, "cinema_Camera01", nullptr, 0.9f);
}
