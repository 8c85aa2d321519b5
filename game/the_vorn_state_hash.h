#pragma once
// A 64-bit fingerprint of the game's state: two runs that ended in the same
// state, bit for bit, print the same value. Demos compare with it.

#include <cstdint>

#include "game/the_vorn_demo.h"

// Every actor (name, alive flag, life, each instance's position and
// rotation), shots and missiles in flight, the fighter's score and energies,
// the game state, level and level time, the hi-score table and the random
// source's cursor.
uint64_t vorn_state_hash();
