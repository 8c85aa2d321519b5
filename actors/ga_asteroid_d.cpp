// "asteroid_d": the big rock, 17 points of damage to break.
#include "actors/actors.h"
#include "actors/ga_asteroids_common.h"
#include "game/gameplay_core.h"

GA_ATTACKER_INTERFACE(ga_asteroid_d, "asteroid_d", GA_KIND_ASTEROID_D, 17.0f, 8.0f, "aster")
