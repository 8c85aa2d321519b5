#pragma once
// The autopilot: plays the game through the player's own input, as events on
// the input layer's path. It skips the title, picks the attacker nearest ahead,
// steers at it with the mouse offset, fires lasers and missiles, flies back
// into the station's power field to recharge, goes on to the next level,
// signs the hi-score table and starts a new game.

#include <cstdint>

struct vorn_autopilot_stats {
    int64_t score;  // the scores of the games played, summed
    int32_t levels; // levels won
    int32_t games;  // games started
};

void vorn_autopilot_reset();
// The events of the coming frame of dt seconds, from the game as it stands.
void vorn_autopilot_frame(float dt);
const vorn_autopilot_stats *vorn_autopilot_get_stats();
