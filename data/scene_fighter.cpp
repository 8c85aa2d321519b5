// The player's fighter and its rig. The nose points along -x, y is up, the
// left wing along +z.
//
//   "bolid"                  the fighter's body: a plain ellipsoid that is
//                            never drawn; it moves, collides (not solid) and
//                            gives the collision sphere
//     "bolid_rot"            the hull as seen; banked by the game
//       "bolid_canopy", "bolid_engine"      cockpit glass, engine glow
//       "bolid_left_gun", "bolid_right_gun" muzzles at the wing tips, ahead
//                                           of everything, so shots never
//                                           start inside the fighter
//       "bolid_torpedo_launcher"            under the nose
//       "dummy_jet"          behind the nozzle; its -x axis is the flight
//                            direction, so the jet streams along +x
//     "Camera_bolid", "Camera_bolid.Target" the chase camera's place and aim
//   "Camera_bolid01", "Camera_bolid01.Target" the rig camera, placed from
//                            the two above every frame
// Every instance of the fighter itself carries the fighter actor's keys.

#include <cmath>

#include "scene_materials.h"
#include "scene_parts.h"
#include "scene_shapes.h"

static scene_pose __along_x(tacka3 at) { return pose_at(at, quat_from_axes({0, -1, 0}, {1, 0, 0})); }

// A slab drawn in the x-z plane stood up into the x-y plane (z becomes height).
static scene_pose __upright(tacka3 at) { return pose_at(at, quat_from_axes({1, 0, 0}, {0, 0, -1})); }

static scene_mesh fighter_hull_mesh()
{
    scene_mesh m;
    std::vector<loft_section> body = {
        {-3.1f, 0.02f, 0.02f, 0.02f}, {-2.6f, 0.22f, 0.15f, 0.02f}, {-1.8f, 0.42f, 0.28f, 0.05f},
        {-0.8f, 0.56f, 0.38f, 0.08f}, {0.4f, 0.62f, 0.42f, 0.08f},  {1.4f, 0.56f, 0.38f, 0.05f},
        {2.1f, 0.46f, 0.34f, 0.03f},  {2.4f, 0.42f, 0.31f, 0.03f},
    };
    mesh_append(m, shape_loft(body, 20, 2.8f));
    // Delta wings: the left one drawn, the right one mirrored.
    std::vector<tacka2> wing = {{-0.9f, 0.35f}, {1.0f, 1.95f}, {1.55f, 2.0f}, {1.95f, 1.9f}, {2.0f, 0.35f}};
    scene_mesh w = shape_slab(wing, 0.12f, 2);
    mesh_append(m, w, pose_at({0, -0.06f, 0}));
    scene_pose mirror = pose_at({0, -0.06f, 0});
    mirror.scale = {1, 1, -1};
    mesh_append(m, w, mirror);
    // Wing-tip gun pods.
    for (float z : {2.0f, -2.0f}) {
        mesh_append(m, shape_cylinder(0.12f, -1.3f, 1.6f, 10, true, 2), __along_x({0, -0.06f, z}));
        mesh_append(m, shape_cylinder(0.05f, -1.55f, -1.3f, 8, true, 2), __along_x({0, -0.06f, z}));
    }
    // Twin tail fins, canted outwards.
    std::vector<tacka2> fin = {{0.9f, 0.0f}, {1.75f, 0.95f}, {2.15f, 0.95f}, {2.35f, 0.0f}};
    for (float z : {0.32f, -0.32f}) {
        scene_pose p = __upright({0, 0.25f, z});
        p.rot = quaternion_mul(p.rot, quat_axis_angle({1, 0, 0}, z > 0 ? 0.25f : -0.25f));
        mesh_append(m, shape_slab(fin, 0.08f, 2), p);
    }
    // Intakes under the wings' roots.
    for (float z : {0.55f, -0.55f}) mesh_append(m, shape_box({0.7f, 0.14f, 0.12f}, 2), pose_at({0.2f, -0.28f, z}));
    return m;
}

static scene_mesh __canopy()
{
    scene_mesh m;
    scene_pose p = pose_at({-1.05f, 0.36f, 0});
    p.scale = {0.95f, 0.32f, 0.3f};
    mesh_append(m, shape_sphere(1.0f, 16, 8, 0.0f, 1.5707963f), p);
    return m;
}

static scene_mesh __engine()
{
    scene_mesh m;
    mesh_append(m, shape_frustum(0.34f, 0.3f, 2.35f, 2.62f, 16, true, 2), __along_x({0, 0.03f, 0}));
    return m;
}

static scene_mesh __body_proxy()
{
    scene_mesh m;
    scene_pose p = pose_at({-0.3f, 0, 0});
    p.scale = {2.7f, 0.6f, 0.95f};
    mesh_append(m, shape_sphere(1.0f, 10, 6), p);
    return m;
}

bool scene_build_fighter(scene_kit &k)
{
    if (!kit_object(k, "bolid_hull", fighter_hull_mesh(), 4) || !kit_object(k, "bolid_canopy", __canopy()) ||
        !kit_object(k, "bolid_engine", __engine()) || !kit_object(k, "bolid_body", __body_proxy()))
        return false;
    const std::string actor = kit_actor("fighter", "fighter");
    tacka3 to_pad = tacka3_normalize(tacka3_sub(LAYOUT_PAD_POS, LAYOUT_FIGHTER_POS));
    to_pad = tacka3_normalize({to_pad.x, 0, to_pad.z});
    // Local -x along the way to the pad.
    scene_pose start = pose_at(LAYOUT_FIGHTER_POS, quat_from_axes(tacka3_neg(to_pad), {0, 1, 0}));
    if (!kit_oi(k, "bolid", "bolid_body", MAT_FIGHTER, "", start,
                actor + "collidable = true\nnot_renderable = true\ndynamic = true\n") ||
        !kit_oi(k, "bolid_rot", "bolid_hull", MAT_FIGHTER, "bolid", {}, actor + "dynamic = true\n") ||
        !kit_oi(k, "bolid_canopy", "bolid_canopy", MAT_GLASS, "bolid_rot", {}, actor + "dynamic = true\n") ||
        !kit_oi(k, "bolid_engine", "bolid_engine", MAT_ENGINE, "bolid_rot", {},
                actor + "dynamic = true\nnot_hw_lit = true\n") ||
        !kit_oi(k, "bolid_left_gun", "", "", "bolid_rot", pose_at({-1.62f, -0.06f, 2.0f}), actor) ||
        !kit_oi(k, "bolid_right_gun", "", "", "bolid_rot", pose_at({-1.62f, -0.06f, -2.0f}), actor) ||
        !kit_oi(k, "bolid_torpedo_launcher", "", "", "bolid_rot", pose_at({-1.6f, -0.55f, 0}), actor) ||
        !kit_oi(k, "dummy_jet", "", "", "bolid_rot", pose_at({2.75f, 0.03f, 0}), actor))
        return false;
    // The chase camera sits behind and above, looking past the nose.
    tacka3 cam = {7.5f, 2.3f, 0}, aim = {-14.0f, 0.4f, 0};
    scene_pose cam_local = pose_at(cam, quat_look(tacka3_sub(aim, cam), {0, 1, 0}));
    if (!kit_oi(k, "Camera_bolid", "", "", "bolid", cam_local) ||
        !kit_oi(k, "Camera_bolid.Target", "", "", "bolid", pose_at(aim)))
        return false;
    if (!kit_oi(k, "Camera_bolid01", "", "", "", kit_world(k, "Camera_bolid"), "dynamic = true\n") ||
        !kit_oi(k, "Camera_bolid01.Target", "", "", "", kit_world(k, "Camera_bolid.Target"), "dynamic = true\n"))
        return false;
    return kit_camera(k, "Camera_bolid01", "Camera_bolid01.Target", 1.0f);
}
