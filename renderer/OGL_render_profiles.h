#pragma once
// Render profiles: turn a material on a mesh instance into render pass data
// sets filed into the render queues (OGL_render_queue.h).
//
// Four profiles are registered at renderer start-up: solid (1) for untextured
// materials, single texture (2) for ordinary scene materials (diffuse map
// with optional bump, detail, reflection, self-illumination and GI maps),
// multitexture (3) for layered fixed-function materials and terrain (4).
// A material names its profile; the scene calls OGL_render_profile_prepare()
// once per material per mesh instance with the profile's material record
// below. Every set starts inactive; the scene activates the sets of visible
// instances each frame (OGL_mesh_instance_activate). Sets of kind
// OGL_RPDS_KIND_DIFFUSE_ONLY draw the diffuse map alone, coloured by the
// instance colour (the ambient term); sets of kind OGL_RPDS_KIND_MAIN add the
// lights and the other maps.

#include <GL/glew.h>

#include <cstdint>

#include "corelib/tacka.h"

struct OGL_mesh_instance;
struct OGL_texture;

enum {
    OGL_RENDER_PROFILE_SOLID = 1,
    OGL_RENDER_PROFILE_SINGLE_TEXTURE = 2,
    OGL_RENDER_PROFILE_MULTITEXTURE = 3,
    OGL_RENDER_PROFILE_TERRAIN = 4,
};

struct OGL_render_profile;
typedef bool (*OGL_render_profile_prepare_fn)(OGL_render_profile *profile, OGL_mesh_instance *mi, const char *name,
                                              void *data);

struct OGL_render_profile {
    int id;
    OGL_render_profile_prepare_fn prepare;
    void (*deinit)(OGL_render_profile *profile);
};

// Start-up: creates the four profiles in identifier order (loading their
// programs); shutdown frees them and the shared pass states.
bool OGL_render_profiles_init();
void OGL_render_profiles_deinit();
// The registered profile with that identifier (null when none is).
OGL_render_profile *OGL_render_profiles_get(int id);

OGL_render_profile *OGL_render_profile_create(int id);
void OGL_render_profile_free(OGL_render_profile *profile);
// Builds the instance's pass data sets for one material (`name` names the
// mesh in messages); afterwards the instance is in the mesh's instance list.
bool OGL_render_profile_prepare(OGL_render_profile *profile, OGL_mesh_instance *mi, const char *name, void *data);
// Takes every set of the instance out of its queue, frees them and the
// profile's record (before OGL_mesh_instance_deinit, and before preparing again).
void OGL_render_profile_release(OGL_mesh_instance *mi);

// ---------------------------------------------------------------- single texture

// Bump modes.
enum {
    OGL_BUMP_NONE = 0,
    OGL_BUMP_SPECULAR = 2,     // 24-bit normal map
    OGL_BUMP_GLOSS = 4,        // 32-bit normal map, gloss in the diffuse alpha
    OGL_BUMP_PPL_SPECULAR = 6, // per-pixel lighting (level of detail of mode 4)
    OGL_BUMP_PPL = 7,          // per-pixel lighting (level of detail of modes 2 and 9)
    OGL_BUMP_NO_SPECULAR = 9,  // normal map without specular
    OGL_BUMP_DOT3 = 10,        // fixed-function dot-3 for boards without fragment programs
};

// The single-texture material record (the profile variable).
struct OGL_single_texture_data {
    OGL_texture *diffuse_texture;
    bool diffuse;
    uint32_t diffuse_uv_channel;
    OGL_texture *specular_texture;
    bool specular;
    uint32_t specular_uv_channel;
    OGL_texture *bump_texture; // normal map, 24 or 32 bits
    bool bump;
    uint32_t bump_uv_channel;
    OGL_texture *selfillumination_texture;
    bool selfillumination;
    uint32_t selfillumination_uv_channel;
    OGL_texture *detail_texture;
    bool detail;
    uint32_t detail_uv_channel;
    OGL_texture *reflection_texture, *reflection_mask_texture;
    bool reflection;
    uint32_t reflection_uv_channel, reflection_mask_uv_channel;
    OGL_texture *gi_texture; // lat-long global illumination map

    bool lit;
    bool use_vertex_colors;
    bool two_sided;
    bool no_fog;
    bool blended;
    bool custom_blend;
    GLenum blend_src, blend_dst;
    bool additive;
    int layer; // 0..7
    bool no_depth_write;
    bool draw_last;
    float lod; // clamped and truncated by the profile

    // Written by the level-of-detail selection.
    int bump_mode;
    int detail_mode;           // 1 on, 2 off
    int reflection_mode;       // 1 on, 2 off
    int selfillumination_mode; // 1 on, 0 off

    tacka4 mat_diffuse, mat_specular, mat_emission; // the specular RGB sum picks the bump programs
    float shininess;                                // 0..1
};

// Per-instance record of the single-texture profile (mi->prof_data).
enum {
    OGL_ST_SLOT_DIFFUSE = 0,
    OGL_ST_SLOT_BUMP = 1,
    OGL_ST_SLOT_REFLECTION = 2,
    OGL_ST_SLOT_DETAIL = 3,
    OGL_ST_SLOT_SELFILLUMINATION = 4,
    OGL_ST_SLOT_GI = 5,
    OGL_ST_SLOT_SPECULAR = 6,
    OGL_ST_SLOTS = 7,
};
struct OGL_profile_instance_data {
    int profile_id;
    bool slot_enabled[OGL_ST_SLOTS];
    OGL_texture *slot_texture[OGL_ST_SLOTS];
    const void *slot_uv[OGL_ST_SLOTS]; // client pointer or buffer offset
    GLsizei slot_uv_stride[OGL_ST_SLOTS];
    uint32_t passes_built;
};

bool single_texture_create_profile(OGL_render_profile *profile);
void single_texture_free_profile(OGL_render_profile *profile);
bool single_texture_prepare_mesh(OGL_render_profile *profile, OGL_mesh_instance *mi, const char *name, void *data);
// The level-of-detail selection alone (fills the results in data); offered for tests.
void __profile_select_lod(OGL_single_texture_data *data, bool bump_slot_enabled);
// Whether the board and settings allow the bump slot for this material.
bool __bump_slot_allowed(const OGL_single_texture_data *data);

// ---------------------------------------------------------------- solid

struct OGL_solid_data {
    bool two_sided;
    bool lit;
    tacka4 diffuse, emission, specular;
    float shininess; // 0..1
};
bool solid_texture_prepare_mesh(OGL_render_profile *profile, OGL_mesh_instance *mi, const char *name, void *data);

// ---------------------------------------------------------------- multitexture

#define OGL_MULTITEXTURE_MAX_LAYERS 8
struct OGL_multitexture_layer {
    OGL_texture *color_texture;
    uint32_t color_uv_channel;
    OGL_texture *mask_texture;
    uint32_t mask_uv_channel;
};
struct OGL_multitexture_data {
    tacka4 diffuse, specular, emission;
    float shininess;
    uint32_t layersno; // 1..8
    OGL_multitexture_layer layers[OGL_MULTITEXTURE_MAX_LAYERS];
    // Extra maps of the last layer.
    bool extra_a_on;
    OGL_texture *extra_a_texture;
    uint32_t extra_a_uv_channel;
    bool extra_b_on;
    OGL_texture *extra_b_texture;
    uint32_t extra_b_uv_channel;
};
bool multi_texture_create_profile(OGL_render_profile *profile);
bool multi_texture_prepare_mesh(OGL_render_profile *profile, OGL_mesh_instance *mi, const char *name, void *data);

// ---------------------------------------------------------------- shared by the profiles

OGL_profile_instance_data *__profile_instance_data(OGL_mesh_instance *mi, int profile_id);
// True for a texture with power-of-two sides between 2 and 8192.
bool OGL_texture_is_allowed_3d_texture_size(const OGL_texture *t);
void __profile_fill_pass_colors(struct OGL_render_pass_data *pd, tacka4 diffuse, tacka4 specular, tacka4 emission,
                                float shininess);

// ---------------------------------------------------------------- terrain

// Terrain modes, chosen once when the profile is created.
enum {
    OGL_TERRAIN_MODE_FULL = 0,  // vertex and fragment programs
    OGL_TERRAIN_MODE_MIXED = 1, // vertex program, fixed-function texturing
    OGL_TERRAIN_MODE_FIXED = 2, // neither: the terrain is not drawn
};
// Images of a terrain texture set.
enum {
    OGL_TERRA_LAYER0 = 0,
    OGL_TERRA_LAYER1 = 1,
    OGL_TERRA_LAYER2 = 2,
    OGL_TERRA_BLEND_MAP = 3,
    OGL_TERRA_DETAIL = 4,
    OGL_TERRA_SINGLE_MAP = 5,
    OGL_TERRA_IMAGES = 6,
};
#define OGL_TERRA_SETS 4
// Levels the terrain passes come in.
enum {
    OGL_TERRA_LEVEL_SPLAT = 0, // splatting with the pre-blended map faded in with distance
    OGL_TERRA_LEVEL_CHEAP = 2, // the pre-blended map alone
};
// Vertex program parameters: the instance's custom parameters 0..11.
enum {
    OGL_TERRA_VP_EYE = 0,       // eye position in the instance's space
    OGL_TERRA_VP_TILING = 1,    // layer tiling, detail tiling, fade start, 1 / fade width
    OGL_TERRA_VP_LIGHT_DIR = 2, // towards the light, normalised
    OGL_TERRA_VP_LIGHT_COLOR = 3,
    OGL_TERRA_VP_AMBIENT = 4,
    OGL_TERRA_VP_MORPH = 5, // 5 + level: 1 / (end - start), -start / (end - start)
    OGL_TERRA_VP_PARAMS = 12,
};
struct OGL_terrain_data {
    float lod;    // level of detail asked for; clamped to 0..5 and truncated
    tacka4 color; // the terrain colour (1, 1, 1, 1 by default)
    int terra_set;
};
struct OGL_terrain_programs {
    GLuint vp_mixed, vp_full;
    GLuint fp_splat, fp_single, fp_single_faded;
};
extern OGL_terrain_programs OGL_terra_programs;

bool terrain_create_profile(OGL_render_profile *profile);
void terrain_free_profile(OGL_render_profile *profile);
bool terrain_prepare_mesh(OGL_render_profile *profile, OGL_mesh_instance *mi, const char *name, void *data);
int terrain_get_mode();
// The folder the texture sets are read from (the scene's resource folder).
void terra_set_texture_folder(const char *folder);
// Loads the six images of set 0..3 once per run (later calls return at once);
// false (logged "terra tex init failed") when an image cannot be loaded.
bool terra_init_textures(int terra_set);
void terra_deinit_textures();
OGL_texture *terra_get_texture(int image);
// The level a material level of detail selects (0 splatting, 2 cheap).
int __terrain_select_lod(float lod);
