#pragma once
// Laser shots and homing missiles: pooled records, each drawn by a particle
// system, finding what they hit by rays into the scene.

#include <cstdint>

#include "corelib/tacka.h"

struct object_instance;
struct game_actor;
struct sps;

#define VORN_SHOT_SPEED 99.0f
#define VORN_SHOT_LIFETIME 4.0f
#define VORN_MISSILE_LIFETIME 20.0f
#define VORN_MISSILE_ACCELERATION 10.0f
#define VORN_MISSILE_START_BONUS 13.0f
// A missile this close to its target's position has hit it.
#define VORN_MISSILE_DIRECT_HIT 0.1f
#define VORN_MISSILE_TYPES 3
#define VORN_MISSILE_SAMPLE "sound\\missile_launch.ogg"

// One laser shot of the pool.
struct vorn_shot_t {
    uint8_t active;
    sps *pulse;
    tacka3 direction; // normalised
    float age;        // seconds
    float power;      // damage dealt on a hit
    game_actor *shooter;
};

// One homing missile of the pool.
struct vorn_missile_t {
    uint8_t active;
    sps *missile, *glow;
    float age;
    float power;
    float max_speed;
    float speed; // units per second
    int32_t type;
    game_actor *target;
    game_actor *launcher;
};

// Power and top speed of the missile types.
struct vorn_missile_type {
    float power;
    float max_speed;
};
const vorn_missile_type *vorn_missile_get_type(int32_t type);

bool vorn_shots_init();
void vorn_shots_deinit();
// A shot from start along direction (normalised here); owner is the shooter's
// instance the ray must not hit at once.
void vorn_shot_launch(tacka3 start, tacka3 direction, object_instance *owner, float power, game_actor *shooter);
void vorn_shots_update(float dt);
// Every shot in flight ends (a new game).
void vorn_shots_deactivate_all();
uint32_t vorn_shots_active_no();
// Records in the pool, flying or not, and one of them (null past the end).
uint32_t vorn_shots_pool_size();
const vorn_shot_t *vorn_shot_get(uint32_t i);

bool vorn_missiles_init();
void vorn_missiles_deinit();
// A missile of type 0..2 from start at the target.
void vorn_missile_launch(tacka3 start, game_actor *launcher, game_actor *target, int32_t type);
void vorn_missiles_update(float dt);
uint32_t vorn_missiles_active_no();
uint32_t vorn_missiles_pool_size();
const vorn_missile_t *vorn_missile_get(uint32_t i);
