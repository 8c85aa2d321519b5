#pragma once
// OGL_mesh_instance: one placement of an OGL_mesh, with its world matrix, the
// local lights that affect it, the pass data sets its material produced,
// optional index ranges, custom vertex program parameters and a shadow light.
//
// The scene makes one per placed object instance:
//   mi = OGL_mesh_instance_init(); OGL_mesh_instance_set_mesh(mi, mesh);
//   OGL_mesh_instance_set_world_matrix(mi, oi_world_matrix);   (the owner's 16 floats)
//   OGL_mesh_instance_set_ws_scale(mi, scale);
//   OGL_mesh_instance_add_light(mi, OGL_mesh_light_create()) ... per affecting light
//   OGL_render_profile_prepare(profile, mi, name, data)          (OGL_render_profiles.h)
//   each frame: OGL_mesh_instance_activate(mi, visible)
//   at the end: OGL_render_profile_release(mi); OGL_mesh_instance_deinit(mi);

#include <cstdint>

#include "corelib/array.h"
#include "corelib/dlist.h"
#include "corelib/tacka.h"
#include "corelib/view.h"

struct OGL_mesh;

enum {
    OGL_MESH_LIGHT_POINT = 1, // any other type is a spot light
};

#define OGL_MESH_INSTANCE_WS_SCALE_SET 0x2

struct OGL_mesh_light {
    int32_t type;
    tacka3 ws_pos;
    tacka3 ls_pos;    // in the instance's own space, refreshed by the owner
    tacka3 ws_target; // the point a shadow camera looks at
    tacka3 spot_dir;
    float cutoff; // degrees
    tacka3 color;
    tacka4 ambient;
    float near_range, far_range;
    float intensity;
    float fov; // of the light camera, degrees
};

struct OGL_mesh_instance {
    uint32_t flags;
    tacka3 ws_scale;
    OGL_mesh *mesh;
    void *prof_data;           // the render profile's record; released before deinit
    const float *world_matrix; // the owner's; null draws with the camera matrix only
    array<tacka4> *custom_vp_params;
    array<uint32_t> *range_counts;
    array<void *> *range_offsets;
    dlist pass_data_sets; // OGL_render_pass_data_set records made for this instance
    array<OGL_mesh_light *> *lights;
    tacka4 ambient_sum;
    OGL_mesh_light *shadow_light;
    tacka4 color;
    view light_camera;
};

// Lights: zeroed records with intensity 1 and ambient alpha 1; the instance
// frees the lights it holds.
OGL_mesh_light *OGL_mesh_light_create();
void OGL_mesh_light_free(OGL_mesh_light *l);
tacka3 OGL_mesh_light_get_ws_pos(const OGL_mesh_light *l);
tacka3 OGL_mesh_light_get_ls_pos(const OGL_mesh_light *l);

OGL_mesh_instance *OGL_mesh_instance_init();
void OGL_mesh_instance_deinit(OGL_mesh_instance *mi);

void OGL_mesh_instance_set_mesh(OGL_mesh_instance *mi, OGL_mesh *mesh);
void OGL_mesh_instance_set_world_matrix(OGL_mesh_instance *mi, const float *m);
void OGL_mesh_instance_set_ws_scale(OGL_mesh_instance *mi, tacka3 s);
tacka3 OGL_mesh_instance_get_ws_scale(const OGL_mesh_instance *mi);
void OGL_mesh_instance_set_color(OGL_mesh_instance *mi, tacka3 rgb);

void OGL_mesh_instance_add_light(OGL_mesh_instance *mi, OGL_mesh_light *l);
uint32_t OGL_mesh_instance_get_lights_no(const OGL_mesh_instance *mi);                // non-null slots
OGL_mesh_light *OGL_mesh_instance_get_light(const OGL_mesh_instance *mi, uint32_t n); // null past the end
void OGL_mesh_instance_free_lights(OGL_mesh_instance *mi);
// Recomputes every light's local position from its world position and the
// instance's world matrix (after either moved).
void OGL_mesh_instance_refresh_light_positions(OGL_mesh_instance *mi);
void OGL_mesh_instance_update_ambient(OGL_mesh_instance *mi);
tacka4 OGL_mesh_instance_get_light_ambient(const OGL_mesh_instance *mi, uint32_t n);

// Triangle ranges [min, max] drawn instead of the whole mesh.
struct OGL_index_range {
    uint32_t min, max;
};
void OGL_mesh_instance_copy_active_indices_ranges(OGL_mesh_instance *mi, const OGL_index_range *ranges, uint32_t n);
void OGL_mesh_instance_clear_active_indices_ranges(OGL_mesh_instance *mi);

void OGL_mesh_instance_insert_custom_vp_params(OGL_mesh_instance *mi, uint32_t first, uint32_t count,
                                               const tacka4 *values);

// Sets (or with null clears) the shadow-casting light and its camera.
void OGL_mesh_instance_set_shadow_light(OGL_mesh_instance *mi, OGL_mesh_light *l);

// Moves every pass of the instance's sets to the active (drawn) or inactive
// lists; `kinds` selects the sets by kind (OGL_RPDS_KIND_* bits, 0 = all).
void OGL_mesh_instance_activate(OGL_mesh_instance *mi, bool active, uint32_t kinds = 0);

// A GL light slot 1..7 from a local light (the queue draw uses 1..6).
void OGL_setup_local_light(int slot, tacka3 position, tacka4 ambient, tacka3 color, bool directional, float cutoff,
                           tacka3 direction);
