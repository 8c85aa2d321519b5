#pragma once
// Laser shots and homing missiles: pooled records, each drawn by a particle
// system, finding what they hit by rays into the scene.

#include <cstdint>

#include "corelib/tacka.h"

struct object_instance;
struct game_actor;

#define VORN_SHOT_SPEED 99.0f
#define VORN_SHOT_LIFETIME 4.0f
#define VORN_MISSILE_LIFETIME 20.0f

bool vorn_shots_init();
void vorn_shots_deinit();
// A shot from start along direction (normalised here); owner is the shooter's
// instance the ray must not hit at once.
void vorn_shot_launch(tacka3 start, tacka3 direction, object_instance *owner, float power, game_actor *shooter);
void vorn_shots_update(float dt);
// Every shot in flight ends (a new game).
void vorn_shots_deactivate_all();
uint32_t vorn_shots_active_no();

bool vorn_missiles_init();
void vorn_missiles_deinit();
// A missile of type 0..2 from start at the target.
void vorn_missile_launch(tacka3 start, game_actor *launcher, game_actor *target, int32_t type);
void vorn_missiles_update(float dt);
uint32_t vorn_missiles_active_no();
