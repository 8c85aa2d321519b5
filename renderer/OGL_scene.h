#pragma once
// The renderer's side of the scene hand-over.
//
// OGL_scene_hooks_install() fills the scene's hook table (scene/scene_renderer.h)
// so that preparing a scene uploads its shared textures, makes one OGL_mesh per
// object (one per instance for skinned instances) and one OGL_mesh_instance per
// placed instance with the lights that reach it and its material's pass sets,
// and so that the scene's per-frame passes move, show, hide and re-level them.
// Detaching (or destroying) the scene releases all of it.
//
// Install once after OGL_init() (engine_startup() does it), remove before
// OGL_deinit(), after every scene has been detached or destroyed. The render
// options the scene uses (OGL_RENDER_OPTION_FRUSTUM_CULLING, the surface
// level-of-detail settings, disabled pixel programs) are read at each use:
// a change is seen at the next frame without installing again. Tests install
// the table for one test with scene_renderer_hooks_scope(OGL_scene_hooks()).
//
// A frame that draws a scene `sc` through a view `v`:
//   scene_update(sc, view_get_position(v), dt);      animation, placement, level of detail
//   view_compute_view_matrix(v); view_compute_projection(v);
//   scene_update_visibility(sc, v);                   culling shows and hides pass sets
//   OGL_render_frame(v);                              draws every queue
//
// Materials become render profiles as follows: a composite material draws with
// the multitexture profile (each sub-material's diffuse map under its opacity
// map); an instance without a material, with "texture_disabled", or whose
// material has no usable diffuse map draws with the solid profile; every other
// one with the single-texture profile. Material colours: colors[0] diffuse,
// colors[1] ambient, colors[2] specular, colors[3] emission; values[0]
// shininess (0..1). A non-zero render flag or a white emission colour draws the
// material unlit (its maps at full brightness). The ambient term of a lit
// material is its ambient colour times the instance's "ambient_r/g/b" plus the
// ambient colours of the lights reaching it.

#include <cstdint>

#include "scene/scene_renderer.h"

struct object_instance;
struct OGL_mesh_light;
struct light;

// Lights handed to one mesh instance at most (GL lights 1 to 6).
#define OGL_SCENE_MAX_INSTANCE_LIGHTS 6

// The renderer's table, for a scene_renderer_hooks_scope.
scene_renderer_hooks OGL_scene_hooks();
void OGL_scene_hooks_install();
void OGL_scene_hooks_remove();

// Renderer meshes made for scenes and still alive (shared ones count once).
uint32_t OGL_scene_meshes_no();

// The scene light a mesh light of a scene instance was made from.
const light *OGL_scene_light_source(const OGL_mesh_light *l);
