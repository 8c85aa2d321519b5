#pragma once
// The game's look outside the scene file: the sky box that travels with the
// camera, the pools of ready-made particle systems (engine jet, asteroid
// trails, laser pulses, missile smoke and glow, hits, debris) and the two
// compositions loaded from particle files (asteroid explosion, asteroid
// hitting the station). Gameplay asks for an effect at a point; a free pooled
// system is placed and started.
//
// The main flow calls, in this order:
//   vorn_init:   after OGL_init() and the scene file, before scene_prepare():
//                  if (!vorn_init_particles(scene, resource_folder)) BUG();
//                and with the scene prepared: vorn_skysphere_init(scene, camera position);
//                after the configuration: vorn_particles_set_quantity(configured "sps_quantity");
//   each frame:  vorn_skysphere_follow(camera position) (before the sky box is drawn);
//                vorn_update_particles(dt, camera) in the camera-and-scene pass;
//   vorn_deinit: vorn_deinit_particles() before the scene is freed.

#include <cstdint>

#include "corelib/tacka.h"

struct scene;
struct sps;
struct sps_manager;
struct spcquox2;
struct view;

#define VORN_PARTICLES_EXPLOSION_FILE "particles\\asteroid explosion\\asteroid explosion.spcquox2"
#define VORN_PARTICLES_STATION_HIT_FILE "particles\\asteroid hit station\\asteroid hit station.spcquox2"
// Running copies of each composition.
#define VORN_PARTICLES_EXPLOSIONS 10
#define VORN_PARTICLES_STATION_HITS 5
// The longest run of numbered systems vorn_get_free_sps looks at.
#define VORN_PARTICLES_MAX_POOL 100
// Smallest quantity the manager runs with (the configured 0 still hides debris and compositions).
#define VORN_PARTICLES_MIN_QUANTITY 0.2f

// Pool base names.
#define VORN_SPS_TRAIL "tr"
#define VORN_SPS_PULSE "pu"
#define VORN_SPS_DEBRIS "de"
#define VORN_SPS_HIT "hi"
#define VORN_SPS_MISSILE "mi"
#define VORN_SPS_GLOW "gl"
#define VORN_SPS_DEBRIS_TRAIL "bs"
#define VORN_SPS_JET "je"

// One template pool.
struct vorn_sps_template {
    const char *base;
    uint32_t systems;
    const char *texture;
    bool additive;
    float burst;
    float life_min, life_max;
    float size, size_spread;
    float velocity_spread;
    float spin_degrees, spin_spread_degrees;
    int32_t priority;
    uint32_t population;
    float duration;
    bool align; // the debris switch
    uint32_t keysno;
    struct {
        float time;
        uint8_t r, g, b, a;
    } keys[5];
};
// The eight templates in the order they are built.
const vorn_sps_template *vorn_particles_get_templates(uint32_t *count);

// Makes the manager, loads and compiles both compositions from the resource
// folder and builds the eight pools into the scene. With the renderer started
// (and no particle hand-over installed yet) the systems are drawn through it
// (renderer/OGL_particles.h). False, with the message, on any failure (the caller ends the
// game with a fault report).
bool vorn_init_particles(scene *sc, const char *resource_folder);
void vorn_deinit_particles();
sps_manager *vorn_get_particle_manager();

// The configured particle quantity (0..1); the manager runs with at least 0.2.
void vorn_particles_set_quantity(float configured);
float vorn_particles_get_quantity();
// The player's particle effects switch (on by default). Off, the trails,
// hits, debris, explosions and station hits are not started (their starters
// return none); pulses, missiles, the glow and the jet still are, as they
// carry the shots, the missiles and the engine.
void vorn_particles_set_enabled(bool on);
bool vorn_particles_are_enabled();

// The six sky box instances "left", "right", "back", "front", "bottom", "top"
// (each required): no depth writes, moved to the centre.
void vorn_skysphere_init(scene *sc, tacka3 centre);
void vorn_skysphere_follow(tacka3 position);

// The first system of the pool ("%s%d", n = 0, 1, ...) that is not active;
// none (with the warning "vorn_get_free_sps: no free slots available") when
// every one of them runs.
sps *vorn_get_free_sps(const char *base);

// Effect starters. A pool without a free system is a fault report.
sps *vorn_create_trail(tacka3 position, tacka3 direction);
sps *vorn_create_pulse(tacka3 position, tacka3 direction);
// Nothing (none) when the configured quantity is 0.
sps *vorn_create_debris(tacka3 position);
sps *vorn_create_debris_trails(tacka3 position, tacka3 direction, float duration);
sps *vorn_create_missile(tacka3 position);
sps *vorn_create_glow(sps *system);
sps *vorn_create_jet(tacka3 position);
void vorn_update_jet(sps *jet, tacka3 velocity);
sps *vorn_create_hit(tacka3 point);
// The first composition not running, placed at the point and started; none
// when the configured quantity is 0 or every copy runs.
spcquox2 *vorn_create_explosion(tacka3 point);
spcquox2 *vorn_create_station_hit(tacka3 point);

// Every active system: update by dt and rebuild its quads for the camera.
void vorn_update_particles(float dt, const view *camera);
