#pragma once
// Simple particle systems (sps) and the particle manager.
//
// A system is a fixed pool of camera-facing textured quads that are emitted at
// a rate, live for a random span, move, spin, grow and change colour along
// keyframe tracks over their normalised age, and die. Each system owns one
// object instance and one object in its scene; sps_update_oi() rewrites the
// object's vertex arrays every frame with one quad (two triangles, six
// vertices) per live particle. The drawing itself goes through the hand-over
// of sps_render.h, so systems run without a renderer in tools and tests.
//
// Typical set-up:
//   sps *s = sps_init("smoke", scene, 200);
//   sps_create_oi(s); sps_set_texture(s, "fractal_4.tga"); sps_set_alpha_blending(s);
//   sps_set_burst_factor(s, 40); sps_set_particle_life_span(s, 0.2f, 3.0f);
//   sps_set_velocity_spread(s, {0.5f, 0.5f, 0.5f}); sps_set_size_spread(s, {0.3f, 0.3f});
//   sps_set_constant_velocity(s, {0, 0, 0}); sps_set_constant_size(s, {0.6f, 0.6f});
//   sps_enable_color_keyframes(s); sps_add_color_keyframe(s, 255, 255, 255, 255, 0); ...
//   sps_set_position(s, p); sps_manager_add(mgr, s);
//   sps_activate(s, false); sps_start_burst(s);
//   each frame: sps_manager_update(mgr, dt, camera);

#include <cstdint>

#include "corelib/array.h"
#include "corelib/dlist.h"
#include "corelib/tacka.h"

struct scene;
struct object;
struct object_instance;
struct material;
struct view;
struct sps_manager;
struct sps_render_record;

enum {
    SPS_TYPE_POINT = 1,
    SPS_TYPE_COVERAGE = 2,
};

// Quads face the camera (the only orientation mode).
#define SPS_ORIENTATION_CAMERA 2

// Blend factors (the OpenGL values, so the renderer can take them as they are).
enum : uint32_t {
    SPS_BLEND_ZERO = 0x0000,
    SPS_BLEND_ONE = 0x0001,
    SPS_BLEND_SRC_COLOR = 0x0300,
    SPS_BLEND_ONE_MINUS_SRC_COLOR = 0x0301,
    SPS_BLEND_SRC_ALPHA = 0x0302,
    SPS_BLEND_ONE_MINUS_SRC_ALPHA = 0x0303,
    SPS_BLEND_DST_ALPHA = 0x0304,
    SPS_BLEND_ONE_MINUS_DST_ALPHA = 0x0305,
    SPS_BLEND_DST_COLOR = 0x0306,
    SPS_BLEND_ONE_MINUS_DST_COLOR = 0x0307,
};
// True for one of the factors above.
bool sps_blend_factor_is_valid(uint32_t factor);

// System flags.
enum : uint32_t {
    SPS_FLAG_NAME = 0x1,
    SPS_FLAG_POOL_ALLOCATED = 0x2,
    SPS_FLAG_POOL_MEMORY = 0x4,
    SPS_FLAG_TEXTURE_MATERIAL = 0x8,
    SPS_FLAG_FRAME_ANIMATION = 0x10,
    SPS_FLAG_AT_ORIGIN = 0x20, // particles live relative to the linked instance
    SPS_FLAG_COLOR_KEYS = 0x40,
    SPS_FLAG_SIZE_KEYS = 0x100,
    SPS_FLAG_ROTATION_KEYS = 0x200,
    SPS_FLAG_COVERAGE_SURFACE = 0x400,
    SPS_FLAG_COVERAGE_BOUNDARIES = 0x800,
    SPS_FLAG_VELOCITY_KEYS = 0x80000000u,
};

// Set-flags: which parameters were given.
enum : uint32_t {
    SPS_SET_DURATION = 0x1,
    SPS_SET_LIFE_SPAN = 0x2,
    SPS_SET_VELOCITY_SPREAD = 0x4,
    SPS_SET_POSITION = 0x8,
    SPS_SET_LINKED = 0x10,
    SPS_SET_SIZE = 0x20,
    SPS_SET_BURST = 0x40,
};

struct simple_particle_color_keyframe {
    float time;
    uint8_t r, g, b, a;
};
struct simple_particle_tacka3_keyframe {
    float time;
    tacka3 value;
};
struct simple_particle_float_keyframe {
    float time;
    float value;
};
struct simple_particle_tacka2_keyframe {
    float time;
    tacka2 value;
};

// One pool slot.
struct simple_particle {
    uint32_t alive;
    float life_span;
    float life_span_copy;
    float age;
    uint8_t color[4];
    uint32_t frame;
    tacka3 position;
    tacka3 birth_position;
    tacka3 velocity; // the particle's own part of the motion
    tacka3 motion;   // velocity of the last step (the align switch reads it)
    float angle;
    float spin;
    tacka2 size;
    tacka2 size_offset;
};

struct sps {
    dlist link; // in the manager's list
    char *name;
    uint32_t flags;
    scene *sc;
    object_instance *oi;
    object *mesh;
    material *mat;
    sps_render_record *render; // the renderer's record, opaque here (sps_render.h)

    uint8_t active;
    uint8_t emission_over;
    uint8_t random_start_angle;
    uint8_t align;
    uint8_t burst_on;
    uint8_t frozen;

    uint32_t set_flags;
    float time_scale;
    float duration;
    float elapsed;
    int32_t type;
    int32_t orientation_mode;
    tacka3 system_velocity;
    tacka3 constant_velocity;
    tacka3 velocity_spread;
    float life_span_min, life_span_max;
    tacka2 constant_size;
    tacka2 size_spread;
    float base_spin, spin_spread;
    uint8_t color[4];
    tacka3 position, prev_position;
    object_instance *linked;

    float burst_factor, burst_inverse;
    float burst_time;

    // Frame animation: frames side by side along u.
    uint32_t frames_no;
    float frame_time;
    float frame_width;

    // Rendering.
    uint32_t blend_src, blend_dst;
    int32_t display_priority;

    sps_manager *mgr;
    uint32_t population;
    uint32_t num_active_particles;
    simple_particle *particles;

    array<simple_particle_color_keyframe> *color_keys;
    array<simple_particle_tacka3_keyframe> *velocity_keys;
    array<simple_particle_float_keyframe> *rotation_keys;
    array<simple_particle_tacka2_keyframe> *size_keys;

    // The quads of the last rebuild: 6 vertices per live particle.
    uint32_t vertexsno;  // written by the last rebuild
    tacka3 *vertexs;     // 6 x population (the mesh object's array)
    uint32_t *triangles; // 2 x population triangles (the mesh object's array)
    tacka2 *tvertexs;    // 6 x population (the mesh object's channel 0)
    uint8_t *colors;     // 4 bytes per vertex
    tacka3 bound_center;
    float bound_radius;
};

// ---- manager ----

struct sps_manager {
    uint32_t systemsno;
    float quantity; // 0..1, share of each pool's slots in use
    dlist systems;
};

sps_manager *sps_manager_init();
// Frees every system of the manager, then the manager.
void sps_manager_deinit(sps_manager *mgr);
void sps_manager_add(sps_manager *mgr, sps *sys);
// Clamped to [0, 1].
void sps_manager_set_quantity(sps_manager *mgr, float quantity);
float sps_manager_get_quantity(const sps_manager *mgr);
uint32_t sps_manager_get_systems_no(const sps_manager *mgr);
// By name without regard to letter case; optionally only among active systems.
sps *sps_manager_find(const sps_manager *mgr, const char *name, bool only_active);
// Updates every active system by dt and rebuilds its quads for the camera
// (null camera: quads face the -z axis).
void sps_manager_update(sps_manager *mgr, float dt, const view *camera);
// After the scene made its textures again (scene_textures_reload): every
// system is handed to the renderer afresh, so none draws with a texture that
// was freed (a new one may even sit at the old one's address).
void sps_manager_textures_reloaded(sps_manager *mgr);

// ---- system ----

// Null (with the message) when memory runs out or the population is 0.
sps *sps_init(const char *name, scene *sc, uint32_t population);
// Frees the instance, the mesh and the material in the scene, the pool and the
// tracks; takes the system out of its manager.
void sps_deinit(sps *sys);
const char *sps_get_name(const sps *sys);
bool sps_is_active(const sps *sys);
uint32_t sps_get_num_active_particles(const sps *sys);

// Parameters.
void sps_set_time_scale(sps *sys, float scale);
void sps_set_duration(sps *sys, float duration);
void sps_set_type_point(sps *sys);
void sps_set_type_coverage(sps *sys);
void sps_set_system_velocity(sps *sys, tacka3 velocity);
tacka3 sps_get_system_velocity(const sps *sys);
// Non-finite positions are fault reports. Also moves the instance.
void sps_set_position(sps *sys, tacka3 position);
// Places the system without a path: particles do not spread from where it
// was (for systems reused at another place).
void sps_reset_position(sps *sys, tacka3 position);
void sps_get_position(const sps *sys, tacka3 *position);
bool sps_position_is_set(const sps *sys);
void sps_link_to_oi(sps *sys, object_instance *oi);
object_instance *sps_get_linked_oi(const sps *sys);
// Particles are born at the origin and drawn relative to the linked instance.
void sps_set_particles_at_origin(sps *sys, bool on);
void sps_set_velocity_spread(sps *sys, tacka3 spread);
bool sps_velocity_spread_is_set(const sps *sys);
void sps_set_random_start_angle(sps *sys, bool on);
void sps_set_align(sps *sys, bool on);
void sps_set_spin_spread(sps *sys, float spread);
void sps_set_size_spread(sps *sys, tacka2 spread);
bool sps_size_is_set(const sps *sys);
void sps_set_particle_life_span(sps *sys, float min, float max);
bool sps_particle_life_span_is_set(const sps *sys);
void sps_set_color(sps *sys, uint8_t r, uint8_t g, uint8_t b, uint8_t a);
void sps_set_burst_factor(sps *sys, float burst);
bool sps_burst_factor_is_set(const sps *sys);
void sps_start_burst(sps *sys);
void sps_stop_burst(sps *sys);
void sps_stop_emitting(sps *sys);
void sps_set_frozen(sps *sys, bool frozen);
// frames >= 1 side by side along u, each shown for frame_time > 0 seconds.
void sps_set_frame_animation(sps *sys, uint32_t frames, float frame_time);
void sps_set_coverage_from_surface(sps *sys);
void sps_set_coverage_within_boundaries(sps *sys);

// Tracks. Enabling makes the empty track; adds clamp the time to [0, 1] and
// must come in rising time order.
void sps_enable_color_keyframes(sps *sys);
void sps_enable_velocity_keyframes(sps *sys);
void sps_enable_rotation_keyframes(sps *sys);
void sps_enable_size_keyframes(sps *sys);
bool sps_has_color_keyframes(const sps *sys);
bool sps_has_velocity_keyframes(const sps *sys);
bool sps_has_rotation_keyframes(const sps *sys);
bool sps_has_size_keyframes(const sps *sys);
bool sps_add_color_keyframe(sps *sys, uint8_t r, uint8_t g, uint8_t b, uint8_t a, float time);
bool sps_add_velocity_keyframe(sps *sys, tacka3 velocity, float time);
bool sps_add_rotation_keyframe(sps *sys, float spin, float time);
bool sps_add_size_keyframe(sps *sys, tacka2 size, float time);
void sps_deinit_color_keyframes(sps *sys);
void sps_deinit_velocity_keyframes(sps *sys);
void sps_deinit_rotation_keyframes(sps *sys);
void sps_deinit_size_keyframes(sps *sys);
// Two equal keys at times 0 and 1 (the constant spin is also the base spin).
bool sps_set_constant_velocity(sps *sys, tacka3 velocity);
bool sps_set_constant_spin(sps *sys, float spin);
bool sps_set_constant_size(sps *sys, tacka2 size);

// Rendering set-up.
// The instance (named after the system, invisible) and its mesh object with
// room for every slot; false when memory runs out.
bool sps_create_oi(sps *sys);
// A material drawing the texture file (looked up like every scene texture).
bool sps_set_texture(sps *sys, const char *texture_file);
void sps_set_alpha_blending(sps *sys);
void sps_set_additive(sps *sys);
void sps_set_blend_factors(sps *sys, uint32_t src, uint32_t dst);
void sps_set_display_priority(sps *sys, int32_t priority);

// Running.
void sps_activate(sps *sys, bool collidable);
void sps_deactivate(sps *sys);
void sps_update(sps *sys, float dt);
// Rebuilds the quads of the live particles for the camera (null: -z view).
void sps_update_oi(sps *sys, const view *camera);
