#pragma once
// What shots and missiles share: choosing the victim among a ray's hits and
// dealing the hit.

#include "corelib/array.h"
#include "corelib/tacka.h"
#include "scene/collision_core.h"

struct game_actor;

// The nearest hit within reach whose instance belongs to an alive actor other
// than the shooter; the station is passed over when through_station is set.
// *point receives the hit point. Null when there is none.
game_actor *vorn_weapons_first_victim(array<collision_record> *hits, float reach, const game_actor *shooter,
                                      bool through_station, tacka3 *point);
// The shooter hears of the hit (when there is one), the victim takes the damage.
void vorn_weapons_hit(game_actor *shooter, game_actor *victim, float power, tacka3 point);
