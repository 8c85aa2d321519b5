// "junk_c": a fuel tank.
#include "actors/actors.h"
#include "actors/ga_asteroids_common.h"
#include "game/gameplay_core.h"

GA_ATTACKER_INTERFACE(ga_junk_c, "junk_c", GA_KIND_JUNK_C, 8.0f, 5.0f, "debris")
