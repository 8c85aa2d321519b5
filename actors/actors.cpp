#include "actors/actors.h"

const game_actor_interface *const ga_implementations[GA_IMPLEMENTATIONS] = {
    &ga_asteroid_a_interface, &ga_asteroid_b_interface, &ga_asteroid_c_interface, &ga_asteroid_d_interface,
    &ga_junk_a_interface,     &ga_junk_b_interface,     &ga_junk_c_interface,     &ga_junk_d_interface,
    &ga_fighter_interface,    &ga_station_interface,    &ga_sentinel_interface,
};
