#pragma once
// The attackers' launcher: wakes dormant asteroids and junk on the level's
// timer and throws them from the launch pad at the station.

bool vorn_asteroids_init();
void vorn_asteroids_deinit();
// Timing and speeds of level 1 or 2 (another level is a fault report).
void vorn_asteroids_prepare_level(int level);
// The level's launch timer; launches when it runs out.
void vorn_asteroids_launch_timer(float dt);
// Wakes one dormant attacker of the kind the level's chances draw; false when
// every actor of that kind is in flight.
bool vorn_asteroid_launch();
