#pragma once
// Internal to the scene hand-over (OGL_scene*.cpp): the hook bodies, one file
// per concern.

#include "renderer/OGL_mesh_instance.h"
#include "scene/scene_renderer.h"
#include "scene/scene_types.h"

struct OGL_mesh;

// Textures (OGL_scene_textures.cpp).
bool __OGL_scene_texture_create(unitexture *u);
void __OGL_scene_texture_destroy(unitexture *u);
void __OGL_scene_texture_update(unitexture *u);

// Meshes shared per object (OGL_scene_meshes.cpp). A skinned instance gets a
// dynamic mesh of its own over its skinned arrays.
OGL_mesh *__OGL_scene_mesh_acquire(object_instance *oi);
void __OGL_scene_mesh_release(OGL_mesh *mesh);
// The level of detail an instance's own mesh was last prepared with (-1: none).
int *__OGL_scene_mesh_lod_slot(OGL_mesh *mesh);
// A skinned instance's own mesh (positions in world space, updated per frame).
bool __OGL_scene_mesh_is_own(const OGL_mesh *mesh);

// Lights (OGL_scene_lights.cpp).
void __OGL_scene_lights_choose(object_instance *oi, OGL_mesh_instance *mi);
void __OGL_scene_lights_refresh(OGL_mesh_instance *mi);
// Whether the lights in reach differ from those the instance holds.
bool __OGL_scene_lights_changed(object_instance *oi, const OGL_mesh_instance *mi);
tacka3 __OGL_scene_instance_color(const object_instance *oi, const OGL_mesh_instance *mi);

// Materials to render profiles (OGL_scene_materials.cpp).
bool __OGL_scene_prepare_profile(object_instance *oi, OGL_mesh_instance *mi);
// Whether the instance's material draws lit (its passes take the lights).
bool __OGL_scene_material_lit(const object_instance *oi);
// The material's ambient colour (white without a material).
tacka3 __OGL_scene_material_ambient(const object_instance *oi);

// Instances (OGL_scene_instances.cpp).
scene_renderer_result __OGL_scene_oi_insert(object_instance *oi);
void __OGL_scene_oi_remove(object_instance *oi);
void __OGL_scene_oi_insert_into_profile(object_instance *oi);
void __OGL_scene_oi_update_lights(object_instance *oi);
void __OGL_scene_oi_final_setup(object_instance *oi);
void __OGL_scene_oi_set_visible(object_instance *oi, bool visible);
void __OGL_scene_oi_flush(object_instance *oi);
void __OGL_scene_oi_update(object_instance *oi);

// The terrain (OGL_terrain.cpp).
bool __OGL_scene_terrain_insert(scene *sc, terrain *t);
void __OGL_scene_terrain_update(terrain *t, const view *v);
void __OGL_scene_terrain_remove(terrain *t);
// The terrain's mesh instance in the renderer (null when it is not drawn).
OGL_mesh_instance *__OGL_scene_terrain_mesh_instance(const terrain *t);
