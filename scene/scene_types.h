#pragma once
// Forward declarations shared by the scene modules, and the link helper that
// finds the record holding a list node that is not its first member.

#include <cstddef>
#include <cstdint>

#include "corelib/dlist.h"

struct scene;
struct object;
struct object_instance;
struct material;
struct unitexture;
struct light;
struct light_oi;
struct camera;
struct motion;
struct motionset;
struct motion_instance;
struct motionset_instance;
struct oi_fk_mixer;
struct terrain;

// The renderer's objects kept by instances and shared textures: opaque to the
// scene, which only stores them (scene_renderer.h).
struct OGL_mesh;
struct OGL_mesh_instance;
struct OGL_texture;

// The record of type T whose member `member` is the node.
#define SCENE_ENTRY(node, T, member) reinterpret_cast<T *>(reinterpret_cast<char *>(node) - offsetof(T, member))

// Element types of objects and instances.
enum {
    OBJECT_TYPE_MESH = 0,
    OBJECT_TYPE_TERRAIN_QUAD = 1,
    OBJECT_TYPE_TERRAIN_FIXED = 2,
};
