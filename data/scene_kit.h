#pragma once
// Building "vorn.quox2" in memory: meshes under construction, poses, and the
// kit that turns them into the scene's objects and instances.
//
// The file stores each instance's initial pose in world space; the kit keeps
// the world pose of every instance it made, so that children are placed by
// their pose relative to the parent (the scene attaches them at preparation).

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "corelib/quaternion.h"
#include "corelib/tacka.h"

struct scene;
struct object;
struct object_instance;

// Position, rotation, scale; a point p is placed as rotate(rot, p * scale) + pos.
struct scene_pose {
    tacka3 pos{0, 0, 0};
    quaternion rot{1, 0, 0, 0};
    tacka3 scale{1, 1, 1};
};
scene_pose pose_at(tacka3 pos, quaternion rot = {1, 0, 0, 0}, float scale = 1.0f);
// The world pose of a child with the given local pose (the engine's own rule).
scene_pose pose_compose(const scene_pose &parent, const scene_pose &local);
tacka3 pose_point(const scene_pose &p, tacka3 v);
tacka3 pose_normal(const scene_pose &p, tacka3 n);
// The local pose that gives `world` under `parent`.
scene_pose pose_relative(const scene_pose &parent, const scene_pose &world);

// The rotation whose local x, y and z axes lie along the given world
// directions (orthonormalised from x and an up hint for y).
quaternion quat_from_axes(tacka3 x, tacka3 y_hint);
// The rotation that turns local -z towards `dir` with local y near `up`
// (a camera's frame).
quaternion quat_look(tacka3 dir, tacka3 up);
quaternion quat_axis_angle(tacka3 axis, float radians);

// A triangle mesh under construction.
struct scene_mesh {
    std::vector<tacka3> pos, nrm;
    std::vector<tacka2> uv;
    std::vector<uint32_t> tri;
};
uint32_t mesh_vertex(scene_mesh &m, tacka3 p, tacka3 n, tacka2 uv);
void mesh_tri(scene_mesh &m, uint32_t a, uint32_t b, uint32_t c);
// Appends src placed by the pose (normals follow; a mirroring scale flips windings).
void mesh_append(scene_mesh &dst, const scene_mesh &src, const scene_pose &place = {});
// Flat-shaded copy: every triangle gets its own three vertices and face normal.
scene_mesh mesh_faceted(const scene_mesh &m);
// Recomputes smooth vertex normals from the faces (area weighted).
void mesh_smooth_normals(scene_mesh &m);
// Scales the UVs.
void mesh_scale_uv(scene_mesh &m, float su, float sv);
// Bounding radius about the origin.
float mesh_radius(const scene_mesh &m);

// Deterministic random numbers for the layout (splitmix64).
struct scene_rng {
    uint64_t state;
    double next01();
    float range(float lo, float hi) { return float(lo + (hi - lo) * next01()); }
    int below(int n) { return int(next01() * n) % n; }
    tacka3 unit(); // a uniform direction
};
scene_rng scene_rng_make(uint64_t seed);

struct scene_kit {
    scene *sc = nullptr;
    std::map<std::string, scene_pose> world;  // world pose of every instance made
    std::map<std::string, scene_mesh> meshes; // a copy of every object's mesh, for previews
    std::map<std::string, std::string> shows; // instance name -> object name
    std::vector<tacka3> flight;               // the cinematic's keyed positions, for previews
};

// Adds an object (mesh) with normals, texture coordinates (channel 0 as
// given, channel 1 the same times `detail_tiling` for detail maps) and its
// tangent space. False when memory runs out.
bool kit_object(scene_kit &k, const std::string &name, const scene_mesh &m, float detail_tiling = 6.0f);
// Adds an instance. object and material may be empty (a pivot, a camera or
// light carrier); parent empty for a root. The local pose is relative to the
// parent's world pose. props are the user properties, one "key = value" per
// line (written with CR LF line ends).
object_instance *kit_oi(scene_kit &k, const std::string &name, const std::string &object_name,
                        const std::string &material, const std::string &parent, const scene_pose &local,
                        const std::string &props = "");
// The world pose of an instance made earlier (a fault when unknown).
const scene_pose &kit_world(const scene_kit &k, const std::string &name);
// The property lines that make an instance part of a game actor.
std::string kit_actor(const char *type, const std::string &name);
// Adds a camera record (carried by the instance of the same name); a target
// camera when target is given. fov in radians.
bool kit_camera(scene_kit &k, const char *name, const char *target, float fov);
