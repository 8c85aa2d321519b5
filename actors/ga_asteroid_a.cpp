// "asteroid_a": a small pebble, one laser hit.
#include "actors/actors.h"
#include "actors/ga_asteroids_common.h"
#include "game/gameplay_core.h"

GA_ATTACKER_INTERFACE(ga_asteroid_a, "asteroid_a", GA_KIND_ASTEROID_A, 1.0f, 1.0f, "aster")
