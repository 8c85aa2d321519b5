// "junk_a": a torn hull plate.
#include "actors/actors.h"
#include "actors/ga_asteroids_common.h"
#include "game/gameplay_core.h"

GA_ATTACKER_INTERFACE(ga_junk_a, "junk_a", GA_KIND_JUNK_A, 5.0f, 8.0f, "debris")
