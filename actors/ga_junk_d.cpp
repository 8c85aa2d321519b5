// "junk_d": crate fragments, one laser hit.
#include "actors/actors.h"
#include "actors/ga_asteroids_common.h"
#include "game/gameplay_core.h"

GA_ATTACKER_INTERFACE(ga_junk_d, "junk_d", GA_KIND_JUNK_D, 1.0f, 1.0f, "debris")
