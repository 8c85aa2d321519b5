// "junk_b": a broken girder.
#include "actors/actors.h"
#include "actors/ga_asteroids_common.h"
#include "game/gameplay_core.h"

GA_ATTACKER_INTERFACE(ga_junk_b, "junk_b", GA_KIND_JUNK_B, 6.0f, 5.0f, "debris")
