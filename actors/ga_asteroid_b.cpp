// "asteroid_b": a middling rock.
#include "actors/actors.h"
#include "actors/ga_asteroids_common.h"
#include "game/gameplay_core.h"

GA_ATTACKER_INTERFACE(ga_asteroid_b, "asteroid_b", GA_KIND_ASTEROID_B, 4.0f, 3.0f, "aster")
