// The sentinels: eight turrets on a ring about the station. Each is one
// actor of five instances:
//   "sentinel_0N"          the pivot (no mesh); the game turns it to aim;
//                          its +z axis is the barrels' direction
//   "sentinel_cd_0N"       the mount below the turret: the part that shots
//                          and attackers collide with (collidable, solid).
//                          It lies off the aiming axis and never blocks the
//                          turret's own line of sight
//   "sentinel_body_0N"     the turret housing
//   "sentinel_gunbody_0N"  the gun cradle
//   "sentinel_gunbody2_0N" the barrels
// Nothing of a sentinel lies farther than 3 units from its pivot along the
// aiming axis (where its shots start). The recoil motions carry the names of
// the housing and the barrels; both instances are marked not to play their
// motion on their own (the game plays it at each shot).

#include <cmath>
#include <cstdio>

#include "scene/motion.h"
#include "scene/scene.h"
#include "scene_materials.h"
#include "scene_parts.h"
#include "scene_shapes.h"

static const float PI = 3.14159265358979f;

static scene_pose __along_z(tacka3 at) { return pose_at(at, quat_from_axes({1, 0, 0}, {0, 0, 1})); }

static scene_mesh __mount()
{
    scene_mesh m;
    mesh_append(m, shape_cylinder(0.45f, -4.2f, -1.5f, 10, false, 2));
    mesh_append(m, shape_frustum(1.6f, 0.5f, -4.8f, -4.0f, 16, true, 2));
    mesh_append(m, shape_frustum(0.5f, 0.9f, -1.7f, -1.35f, 12, true, 2));
    return m;
}

static scene_mesh __housing()
{
    scene_mesh m;
    scene_pose squash = pose_at({0, 0, 0});
    squash.scale = {1.3f, 0.95f, 1.3f};
    mesh_append(m, shape_sphere(1.0f, 20, 12), squash);
    mesh_append(m, shape_cylinder(1.42f, -0.25f, 0.25f, 20, true, 2));
    return m;
}

static scene_mesh __cradle()
{
    scene_mesh m;
    mesh_append(m, shape_box({0.75f, 0.4f, 0.35f}, 2));
    mesh_append(m, shape_box({0.12f, 0.55f, 0.3f}, 2), pose_at({0.7f, 0, 0}));
    mesh_append(m, shape_box({0.12f, 0.55f, 0.3f}, 2), pose_at({-0.7f, 0, 0}));
    return m;
}

static scene_mesh __barrels()
{
    scene_mesh m;
    for (float x : {-0.38f, 0.38f}) {
        mesh_append(m, shape_cylinder(0.13f, 0, 1.55f, 10, true, 2), __along_z({x, 0, 0}));
        mesh_append(m, shape_cylinder(0.2f, 1.25f, 1.55f, 10, true, 2), __along_z({x, 0, 0}));
    }
    return m;
}

// A recoil: a kick back along -z and a return, with identity rotation keys
// that give the motion its length.
static bool __recoil(scene_kit &k, const std::string &name, const scene_pose &rest, float kick, float length)
{
    motion *m = motion_init();
    if (!m) return false;
    bool ok = motion_copy_name(m, name.c_str());
    motion_set_initial_pose(m, rest.pos, rest.rot, rest.scale);
    const float tcb[5] = {0, 0, 0, 0, 0};
    ok = ok && motion_add_linear_position_keyframe(m, 0, {0, 0, 0}) &&
         motion_add_linear_position_keyframe(m, 0.05f, {0, 0, -kick}) &&
         motion_add_linear_position_keyframe(m, length, {0, 0, 0}) &&
         motion_add_rotation_keyframe(m, 0, {1, 0, 0, 0}, tcb) &&
         motion_add_rotation_keyframe(m, 0.05f, quat_axis_angle({1, 0, 0}, -kick * 0.15f), tcb) &&
         motion_add_rotation_keyframe(m, length, {1, 0, 0, 0}, tcb);
    if (!ok) {
        motion_deinit(m);
        return false;
    }
    scene_add_motion(k.sc, m);
    return true;
}

bool scene_build_sentinels(scene_kit &k)
{
    if (!kit_object(k, "sentinel_mount", __mount()) || !kit_object(k, "sentinel_housing", __housing()) ||
        !kit_object(k, "sentinel_cradle", __cradle()) || !kit_object(k, "sentinel_barrels", __barrels()))
        return false;
    for (int i = 0; i < LAYOUT_SENTINELS; i++) {
        char n[5][32];
        std::snprintf(n[0], 32, "sentinel_%02d", i + 1);
        std::snprintf(n[1], 32, "sentinel_cd_%02d", i + 1);
        std::snprintf(n[2], 32, "sentinel_body_%02d", i + 1);
        std::snprintf(n[3], 32, "sentinel_gunbody_%02d", i + 1);
        std::snprintf(n[4], 32, "sentinel_gunbody2_%02d", i + 1);
        const std::string actor = kit_actor("sentinel", n[0]);
        float a = PI / LAYOUT_SENTINELS * (2 * i + 1);
        tacka3 out = {std::cos(a), 0, std::sin(a)};
        tacka3 at = tacka3_add(LAYOUT_STATION_POS,
                               {out.x * LAYOUT_SENTINEL_RING, i % 2 ? -16.0f : 18.0f, out.z * LAYOUT_SENTINEL_RING});
        // At rest each turret looks outwards and a little up.
        tacka3 look = tacka3_normalize({out.x, 0.25f, out.z});
        scene_pose root = pose_at(at, quat_from_axes(tacka3_cross({0, 1, 0}, look), {0, 1, 0}));
        scene_pose body = {}, cradle = pose_at({0, 0.15f, 0.95f}), barrels = pose_at({0, 0, 0.35f});
        if (!kit_oi(k, n[0], "", "", "", root, actor) ||
            !kit_oi(k, n[1], "sentinel_mount", MAT_SENTINEL, n[0], {}, actor + "collidable = true\nsolid = true\n") ||
            !kit_oi(k, n[2], "sentinel_housing", MAT_SENTINEL, n[0], body, actor + "en_fk_do_not_play = true\n") ||
            !kit_oi(k, n[3], "sentinel_cradle", MAT_STATION_TRIM, n[2], cradle, actor) ||
            !kit_oi(k, n[4], "sentinel_barrels", MAT_SENTINEL, n[3], barrels, actor + "en_fk_do_not_play = true\n"))
            return false;
        if (!__recoil(k, n[2], body, 0.22f, 0.45f) || !__recoil(k, n[4], barrels, 0.45f, 0.35f)) return false;
    }
    return true;
}
