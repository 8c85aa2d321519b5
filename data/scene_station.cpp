// The station: a core tower with a habitat ring on four spokes, a docking
// ring, solar wings, docking arms, an ore silo and an antenna with a beacon.
//
// "g_station" is the station as seen and shot at; "station" is a plainer
// hull inside it whose vertices are the points the attackers aim at (the
// game hides it). Both belong to the station actor and are solid. The named
// parts "station_01" ... "station_11" (and the window band) hang from
// "g_station"; they are scenery (no actor, not collidable), so they stay
// visible.

#include <cmath>

#include "scene_materials.h"
#include "scene_parts.h"
#include "scene_shapes.h"

static const float PI = 3.14159265358979f;

// A cylinder lying along x (y-axis shapes turned by a quarter turn about z).
static scene_pose __along_x(tacka3 at) { return pose_at(at, quat_from_axes({0, -1, 0}, {1, 0, 0})); }

static scene_mesh __g_station()
{
    scene_mesh m;
    mesh_append(m, shape_cylinder(10, -28, 28, 32, false, 6));
    mesh_append(m, shape_frustum(10, 5, 28, 36, 32, true, 6));
    mesh_append(m, shape_frustum(5, 10, -36, -28, 32, true, 6));
    // Ribs along the core.
    for (float y : {-20.0f, -8.0f, 8.0f, 20.0f}) mesh_append(m, shape_cylinder(11, y - 1, y + 1, 32, true, 6));
    mesh_append(m, shape_torus(48, 5, 64, 14, 8));
    for (int i = 0; i < 4; i++) {
        float a = PI / 2 * i;
        scene_pose p = pose_at({0, 0, 0}, quat_axis_angle({0, 1, 0}, a));
        scene_mesh spoke = shape_cylinder(1.8f, 9, 44, 12, false, 4);
        mesh_append(m, spoke, pose_compose(p, __along_x({0, 0, 0})));
    }
    mesh_append(m, shape_square_torus(20, 1.5f, 2.5f, 48, 6), pose_at({0, 22, 0}));
    for (int i = 0; i < 4; i++) {
        scene_pose p = pose_at({0, 22, 0}, quat_axis_angle({0, 1, 0}, PI / 4 + PI / 2 * i));
        mesh_append(m, shape_box({5.5f, 0.8f, 0.8f}, 4), pose_compose(p, pose_at({14.5f, 0, 0})));
    }
    return m;
}

static scene_mesh __station_hull()
{
    scene_mesh m;
    mesh_append(m, shape_cylinder(9.5f, -34, 34, 12, true, 6));
    mesh_append(m, shape_torus(48, 4.6f, 24, 6, 8));
    return m;
}

static scene_mesh __solar_wing()
{
    scene_mesh m;
    mesh_append(m, shape_cylinder(0.7f, 4, 66, 8, true, 4), __along_x({0, 0, 0}));
    for (int i = 0; i < 3; i++) mesh_append(m, shape_box({8.5f, 0.25f, 7}, 4), pose_at({22.0f + 18.5f * i, 0, 0}));
    return m;
}

static scene_mesh __docking_arm()
{
    scene_mesh m;
    mesh_append(m, shape_box({15, 1.6f, 2.2f}, 4), pose_at({36, 0, 0}));
    mesh_append(m, shape_box({2.5f, 3.5f, 4.0f}, 4), pose_at({52, 0, 0}));
    mesh_append(m, shape_cylinder(2.4f, -1, 1, 16, true, 4), __along_x({55.5f, 0, 0}));
    return m;
}

static scene_mesh __ore_silo()
{
    scene_mesh m;
    mesh_append(m, shape_cylinder(7, -58, -38, 24, true, 5));
    mesh_append(m, shape_frustum(7, 3, -62, -58, 24, true, 5));
    mesh_append(m, shape_frustum(3, 7, -38, -36, 24, false, 5));
    return m;
}

static scene_mesh __antenna()
{
    scene_mesh m;
    mesh_append(m, shape_cylinder(0.6f, 36, 62, 8, true, 4));
    scene_mesh dish = shape_sphere(6, 24, 6, 0.9f, 1.5707963f);
    mesh_append(m, dish, pose_at({0, 42, 0}, quat_axis_angle({1, 0, 0}, PI)));
    mesh_append(m, shape_cylinder(2.0f, 48, 49, 12, true, 4));
    return m;
}

bool scene_build_station(scene_kit &k)
{
    if (!kit_object(k, "station_core", __g_station(), 4) || !kit_object(k, "station_hull", __station_hull()) ||
        !kit_object(k, "station_solar_wing", __solar_wing()) ||
        !kit_object(k, "station_docking_arm", __docking_arm()) || !kit_object(k, "station_ore_silo", __ore_silo()) ||
        !kit_object(k, "station_antenna", __antenna()) || !kit_object(k, "station_beacon", shape_sphere(1.2f, 12, 8)) ||
        !kit_object(k, "station_window_band", shape_cylinder(10.12f, -7, 7, 32, false, 7)))
        return false;
    const std::string actor = kit_actor("station", "station");
    const std::string body = actor + "collidable = true\nsolid = true\n";
    scene_pose base = pose_at(LAYOUT_STATION_POS, quat_axis_angle({0, 1, 0}, 0.3f));
    if (!kit_oi(k, "g_station", "station_core", MAT_STATION, "", base, body)) return false;
    if (!kit_oi(k, "station", "station_hull", MAT_STATION, "", base, body + "invisible = true\n")) return false;
    // Four solar wings between the spokes, low on the core.
    const char *wings[4] = {"station_01", "station_02", "station_03", "station_04"};
    for (int i = 0; i < 4; i++) {
        scene_pose p = pose_at({0, -31, 0}, quat_axis_angle({0, 1, 0}, PI / 4 + PI / 2 * i));
        if (!kit_oi(k, wings[i], "station_solar_wing", MAT_SOLAR, "g_station", p)) return false;
    }
    // Docking arms from the docking ring.
    for (int i = 0; i < 2; i++) {
        scene_pose p = pose_at({0, 22, 0}, quat_axis_angle({0, 1, 0}, PI * i));
        if (!kit_oi(k, i ? "station_06" : "station_05", "station_docking_arm", MAT_STATION_TRIM, "g_station", p))
            return false;
    }
    if (!kit_oi(k, "station_07", "station_ore_silo", MAT_ORE, "g_station", {})) return false;
    // A dark band of lit windows round the core between its middle ribs.
    if (!kit_oi(k, "station_windows", "station_window_band", MAT_STATION_WINDOWS, "g_station", {})) return false;
    if (!kit_oi(k, "station_10", "station_antenna", MAT_STATION_TRIM, "g_station", {})) return false;
    if (!kit_oi(k, "station_11", "station_beacon", MAT_BEACON, "g_station", pose_at({0, 63, 0}), "not_hw_lit = true\n"))
        return false;
    return true;
}
