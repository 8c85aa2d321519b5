// Shots, missiles and the launcher stand in here until their own sources join.
#include "game/the_vorn_asteroids.h"
#include "game/the_vorn_shots.h"

bool vorn_shots_init() { return true; }
void vorn_shots_deinit() {}
void vorn_shot_launch(tacka3, tacka3, object_instance *, float, game_actor *) {}
void vorn_shots_update(float) {}
void vorn_shots_deactivate_all() {}
uint32_t vorn_shots_active_no() { return 0; }
bool vorn_missiles_init() { return true; }
void vorn_missiles_deinit() {}
void vorn_missile_launch(tacka3, game_actor *, game_actor *, int32_t) {}
void vorn_missiles_update(float) {}
uint32_t vorn_missiles_active_no() { return 0; }
bool vorn_asteroids_init() { return true; }
void vorn_asteroids_deinit() {}
void vorn_asteroids_prepare_level(int) {}
void vorn_asteroids_launch_timer(float) {}
bool vorn_asteroid_launch() { return false; }
