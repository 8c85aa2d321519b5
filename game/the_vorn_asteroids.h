#pragma once
// The attackers' launcher: wakes dormant asteroids and junk on the level's
// timer and throws them from the launch pad at the station.

#include <cstdint>

#include "corelib/tacka.h"

struct game_actor;

// Start points from the "launch_pad" instance's mesh (world space, taken once)
// and target points from the "station" instance's mesh (object space, placed
// by the station's world matrix at each launch). Either instance or mesh
// missing is a fault report.
bool vorn_asteroids_init();
void vorn_asteroids_deinit();
// Timing and speeds of level 1 or 2 (another level is a fault report).
void vorn_asteroids_prepare_level(int level);
// The level's launch timer; launches when it runs out. The first interval of
// a level is 0: the first launch comes on the level's first frame.
void vorn_asteroids_launch_timer(float dt);
// Wakes one dormant attacker of the kind the level's chances draw; false when
// no kind is drawn or every actor of that kind is in flight.
bool vorn_asteroid_launch();

// The level's launch figures.
struct vorn_asteroids_level {
    float interval_min, interval_max; // seconds between launches
    float count_min, count_max;       // attackers per launch (truncated)
    float speed_min, speed_max;       // units per second
};
const vorn_asteroids_level *vorn_asteroids_get_level();
// The top of the level's speed range (the attackers' spin grows with speed).
float vorn_asteroids_get_speed_max();
// The kind drawn for a roll in [0, 100): the last whose chance range holds it; -1 for none.
int32_t vorn_asteroids_kind_for_roll(float roll);
// The first dormant actor of the kind; null when every one flies.
game_actor *vorn_asteroids_find_dormant(int32_t kind);
uint32_t vorn_asteroids_start_points_no();
uint32_t vorn_asteroids_target_points_no();
