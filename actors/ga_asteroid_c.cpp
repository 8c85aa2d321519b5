// "asteroid_c": an elongated rock that hits the station hardest.
#include "actors/actors.h"
#include "actors/ga_asteroids_common.h"
#include "game/gameplay_core.h"

GA_ATTACKER_INTERFACE(ga_asteroid_c, "asteroid_c", GA_KIND_ASTEROID_C, 5.0f, 10.0f, "aster")
