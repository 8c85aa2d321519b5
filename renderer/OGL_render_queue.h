#pragma once
// Render passes and queues.
//
// Everything the renderer draws is a pass: a shared render pass state (all GL
// state) plus per-instance pass data (arrays, textures, colours, program
// parameters). A profile turns a material on a mesh instance into a pass data
// set and files it into one of the fixed queues; a queue groups passes by
// state so that each state is applied once per frame for all its passes.
// OGL_render_frame() draws the queues in their fixed order.

#include <GL/glew.h>

#include <cstdint>

#include "corelib/array.h"
#include "corelib/dlist.h"
#include "corelib/tacka.h"

struct OGL_mesh;
struct OGL_mesh_instance;
struct OGL_texture;
struct view;

#define OGL_RP_MAX_UNITS 8
#define OGL_RP_MAX_ATTRIBS 16
#define OGL_RP_MAX_PARAMS 16
#define OGL_RP_NAME_SIZE 13

// Program parameter sources.
enum {
    OGL_PARAM_LIGHT_LS_POS = 1,
    OGL_PARAM_LIGHT_COLOR = 2,
    OGL_PARAM_GLOBAL_LIGHT_POS = 3,
    OGL_PARAM_EYE_LS_POS = 4,
    OGL_PARAM_LIGHT_RANGES = 5,
    OGL_PARAM_MAT_DIFFUSE = 6,
    OGL_PARAM_MAT_SPECULAR = 7,
    OGL_PARAM_MAT_EMISSION = 8,
    OGL_PARAM_DIFFUSE_X_LIGHT = 9,
    OGL_PARAM_ZERO = 10,
    OGL_PARAM_LIGHT_WS_POS = 11,
    OGL_PARAM_INV_WORLD_ROW0 = 12, // 12..15: rows 0..3
    OGL_PARAM_WS_SCALE = 16,
    OGL_PARAM_CUSTOM = 100, // 100 + n: the instance's custom parameter n
};

struct OGL_texture_unit_state {
    GLenum env_mode; // GL_MODULATE, GL_REPLACE, GL_ADD, GL_COMBINE_ARB, ...
    float rgb_scale;
    GLenum combine_rgb, combine_alpha;
    GLenum src0_rgb, op0_rgb, src1_rgb, op1_rgb;
    GLenum src0_alpha, op0_alpha, src1_alpha, op1_alpha;
    bool sphere_map;
};

// Shared by every pass that draws with it; compare and share with
// OGL_render_pass_state_share() so equal states become one group.
struct OGL_render_pass_state {
    bool texturing;
    bool unit_enabled[OGL_RP_MAX_UNITS];
    GLenum target[OGL_RP_MAX_UNITS];
    OGL_texture_unit_state tus[OGL_RP_MAX_UNITS];
    bool two_sided;
    bool blending;
    GLenum blend_src, blend_dst;
    bool lighting;
    bool no_fog;
    bool custom_depth_func;
    bool depth_mask_off;
    bool no_alpha_test;
    bool use_fp;
    uint32_t fp_params_no;
    uint32_t fp_param_src[OGL_RP_MAX_PARAMS];
    bool use_vp;
    uint32_t vp_params_no;
    uint32_t vp_param_src[OGL_RP_MAX_PARAMS];
    bool vp_vertex_attrib_array_enabled[OGL_RP_MAX_ATTRIBS];
    bool vertex_array_enabled, vnormals_array_enabled, cvertexs_array_enabled;
    bool tex_coord_array_enabled[OGL_RP_MAX_UNITS];
    uint32_t vertex_program_id, fragment_program_id;
    char name[OGL_RP_NAME_SIZE];
};

struct OGL_render_state_group;
struct OGL_render_queue;

struct OGL_attrib_array {
    GLint components;
    GLenum type;
    bool normalized;
    GLsizei stride;
    const void *pointer;
};

struct OGL_render_pass_data {
    dlist link; // in its group's active or inactive list
    OGL_render_state_group *group;
    OGL_mesh_instance *mi;
    const OGL_render_pass_state *ps;
    GLuint vbo, ibo;
    GLint vertexs_components;
    GLsizei vertexs_stride;
    const void *vertexs;
    GLsizei vnormals_stride;
    const void *vnormals;
    GLsizei colors_stride;
    GLenum colors_type; // GL_UNSIGNED_BYTE (4 per vertex) or GL_FLOAT
    const void *colors;
    OGL_attrib_array attribs[OGL_RP_MAX_ATTRIBS];
    GLint tex_coord_components[OGL_RP_MAX_UNITS];
    GLsizei tex_coord_stride[OGL_RP_MAX_UNITS];
    const void *tex_coord[OGL_RP_MAX_UNITS];
    OGL_texture *textures[OGL_RP_MAX_UNITS];
    GLuint gl_textures[OGL_RP_MAX_UNITS]; // a plain GL name when no OGL_texture is given
    tacka4 vp_params[OGL_RP_MAX_PARAMS];
    tacka4 fp_params[OGL_RP_MAX_PARAMS];
    GLenum depth_func;
    tacka4 color;
    tacka4 mat_diffuse, mat_specular, mat_emission;
    float shininess; // 0..1
    uint32_t light_index;
};

// Kinds of sets (which the scene activates is its choice).
enum : uint32_t {
    OGL_RPDS_KIND_MAIN = 0x1,
    OGL_RPDS_KIND_DIFFUSE_ONLY = 0x2,
};

struct OGL_render_pass_data_set {
    dlist link; // in the mesh instance's list of sets
    bool active;
    uint32_t kind;
    OGL_mesh_instance *mi;
    OGL_render_queue *queue;
    uint32_t passesno;
    OGL_render_pass_data **passes;
    uint32_t passes_max;
};

struct OGL_render_state_group {
    dlist link; // in the queue
    const OGL_render_pass_state *ps;
    dlist active;
    dlist inactive;
};

struct OGL_render_queue {
    dlist groups;
    const char *label;
};

// The queues, in drawing order.
enum {
    OGL_RQ_FIRST = 0,
    OGL_RQ_INSTANCE_COLORED = 1,
    OGL_RQ_OPAQUE = 2,
    OGL_RQ_LAYER7 = 3, // .. OGL_RQ_LAYER0 = 10
    OGL_RQ_LAYER0 = 10,
    OGL_RQ_LAST = 11,
    OGL_RQ_COUNT = 12,
};

// Empties every queue (renderer start-up); the groups left are freed.
void OGL_render_queues_init();
void OGL_render_queues_deinit();
OGL_render_queue *OGL_render_queue_get(int which);
// Layer 0..7 of blended materials.
OGL_render_queue *OGL_render_queue_get_layer(int layer);
uint32_t OGL_render_queue_groups_no(const OGL_render_queue *q);

// States: a new zeroed state (rgb scales 1.0), and sharing: returns the one
// stored state equal to ps (storing a copy when none is), freed by
// OGL_render_pass_states_free_all() at renderer shutdown.
void OGL_render_pass_state_clear(OGL_render_pass_state *ps);
const OGL_render_pass_state *OGL_render_pass_state_share(const OGL_render_pass_state *ps);
void OGL_render_pass_states_free_all();
uint32_t OGL_render_pass_states_no();

// Sets: created inactive with no pass; passes are added and then the set is
// filed into a queue.
OGL_render_pass_data_set *OGL_render_pass_data_set_create(OGL_mesh_instance *mi, uint32_t kind);
OGL_render_pass_data *OGL_render_pass_data_set_add_pass(OGL_render_pass_data_set *rpds,
                                                        const OGL_render_pass_state *ps);
// Removes the set from its queue and from its instance, then frees it.
void OGL_render_pass_data_set_free(OGL_render_pass_data_set *rpds);
void OGL_render_pass_data_set_activate(OGL_render_pass_data_set *rpds, bool active);
// Fills the pass's arrays from its instance's mesh as its state enables them.
void OGL_render_pass_data_fill_arrays(OGL_render_pass_data *pd);

bool OGL_render_queue_add_render_pass_data_set(OGL_render_queue *q, OGL_render_pass_data_set *rpds);
void OGL_render_queue_remove_render_pass_data_set(OGL_render_pass_data_set *rpds);
void OGL_render_pass_activate(OGL_render_pass_data *pd);
void OGL_render_pass_deactivate(OGL_render_pass_data *pd);
void OGL_render_pass_remove(OGL_render_pass_data *pd);
void OGL_render_queue_dump(const OGL_render_queue *q);

void OGL_reset_texture_units();

// Draws every queue from the camera; the window's projection, fog and global
// light are set up first. Batches, triangles, state applications and the
// drawing time go to the frame statistics (OGL_frame_stats.h).
void OGL_render_frame(const view *camera);
// The queue drawing alone (the caller has set the projection and camera).
void OGL_render_queues_draw(const view *camera);
void OGL_render_queue_draw(OGL_render_queue *q, const view *camera);
