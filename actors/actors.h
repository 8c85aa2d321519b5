#pragma once
// The game's actor implementations, registered by vorn_init in this order.

struct game_actor_interface;

extern const game_actor_interface ga_asteroid_a_interface;
extern const game_actor_interface ga_asteroid_b_interface;
extern const game_actor_interface ga_asteroid_c_interface;
extern const game_actor_interface ga_asteroid_d_interface;
extern const game_actor_interface ga_junk_a_interface;
extern const game_actor_interface ga_junk_b_interface;
extern const game_actor_interface ga_junk_c_interface;
extern const game_actor_interface ga_junk_d_interface;
extern const game_actor_interface ga_fighter_interface;
extern const game_actor_interface ga_station_interface;
extern const game_actor_interface ga_sentinel_interface;

#define GA_IMPLEMENTATIONS 11
// All eleven, in registration order.
extern const game_actor_interface *const ga_implementations[GA_IMPLEMENTATIONS];

#include "corelib/tacka.h"

struct camera;

// Fighter queries (besides the common ones).
enum {
    GA_FIGHTER_Q_POSITION = 0,   // tacka3, the hull's world position
    GA_FIGHTER_Q_LIFE = 1,       // float, 0..30
    GA_FIGHTER_Q_LIFE_LEVEL = 2, // float, life / 30 in 0..1
    GA_FIGHTER_Q_ENGINE = 3,     // float, engine energy / 40 in 0..1
    GA_FIGHTER_Q_LASERS = 4,     // float, lasers energy / 40 in 0..1
    GA_FIGHTER_Q_STATION_POWER = 5,  // float, the station's last answer
    GA_FIGHTER_Q_CHANNEL_MOD = 6,    // float, the power field's modifiers at the fighter
    GA_FIGHTER_Q_RIG = 7,        // ga_fighter_rig
    GA_FIGHTER_Q_SCORE = 8,      // int32_t
    GA_FIGHTER_Q_TARGET = 9,     // game_actor *, or null
};
#define GA_FIGHTER_MAX_LIFE 30.0f
#define GA_FIGHTER_MAX_ENERGY 40.0f

// The fighter's camera rig (query 7).
struct ga_fighter_rig {
    camera *cam;
};

// Station queries (besides the common ones).
enum {
    GA_STATION_Q_NOTHING = 0,
    GA_STATION_Q_DISTANCE_MOD = 1,   // ga_station_power_query: position in, answer out
    GA_STATION_Q_FUNCTIONALITY_MOD = 2,  // float
    GA_STATION_Q_ENERGY = 3,         // ga_station_power_query: dt and position in, answer out
    GA_STATION_Q_INNER_RADIUS = 4,   // float, 150
    GA_STATION_Q_OUTER_RADIUS = 5,   // float, 500
};

struct ga_station_power_query {
    float dt;
    float answer;
    tacka3 position;
};
