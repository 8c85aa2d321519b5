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
    GA_FIGHTER_Q_POSITION = 0,      // tacka3, the hull's world position
    GA_FIGHTER_Q_LIFE = 1,          // float, 0..30
    GA_FIGHTER_Q_LIFE_LEVEL = 2,    // float, life / 30 in 0..1
    GA_FIGHTER_Q_ENGINE = 3,        // float, engine energy / 40 in 0..1
    GA_FIGHTER_Q_LASERS = 4,        // float, lasers energy / 40 in 0..1
    GA_FIGHTER_Q_STATION_POWER = 5, // float, the station's last answer
    GA_FIGHTER_Q_CHANNEL_MOD = 6,   // float, the power field's modifiers at the fighter
    GA_FIGHTER_Q_RIG = 7,           // ga_fighter_rig
    GA_FIGHTER_Q_SCORE = 8,         // int32_t
    GA_FIGHTER_Q_TARGET = 9,        // game_actor *, or null
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
    GA_STATION_Q_DISTANCE_MOD = 1,      // ga_station_power_query: position in, answer out
    GA_STATION_Q_FUNCTIONALITY_MOD = 2, // float
    GA_STATION_Q_ENERGY = 3,            // ga_station_power_query: dt and position in, answer out
    GA_STATION_Q_INNER_RADIUS = 4,      // float, 150
    GA_STATION_Q_OUTER_RADIUS = 5,      // float, 500
};

struct ga_station_power_query {
    float dt;
    float answer;
    tacka3 position;
};

#define GA_STATION_MAX_LIFE 50.0f
#define GA_STATION_INNER_RADIUS 150.0f
#define GA_STATION_OUTER_RADIUS 500.0f
// Energy per second at full power.
#define GA_STATION_ENERGY_RATE 10.0f
// Points off the score for every hit on the station.
#define GA_STATION_HIT_PENALTY 300
// The power field's figures: 1 within the inner radius, falling linearly in
// the squared distance to 0 at the outer radius; life / 50 clamped to 0..1.
float ga_station_distance_power_mod(float distance2);
float ga_station_functionality_mod(float life);
// Called on every hit of the station (the HUD's station alert).
void ga_station_set_alert_handler(void (*handler)());

// Sentinel queries (besides the common ones).
enum {
    GA_SENTINEL_Q_TARGET = 0, // game_actor *, or null
};
// Sentinel aim states.
enum {
    GA_SENTINEL_AIM_NONE = 0,
    GA_SENTINEL_AIM_TURNING = 1, // target newly found or turning towards it
    GA_SENTINEL_AIM_ON_TARGET = 2,
};
#define GA_SENTINEL_LIFE 1.0f
#define GA_SENTINEL_RANGE 150.0f
// The target search runs on every fourth update, the real view test on every sixth call.
#define GA_SENTINEL_SEARCH_PERIOD 4u
#define GA_SENTINEL_VIEW_PERIOD 6u
// Turning by less than this (10 degrees, in radians) is on target.
#define GA_SENTINEL_ON_TARGET_ANGLE 0.17453292f
// Shots aim where the target will be this many seconds on, give or take this
// much per axis, and leave this far in front of the turret.
#define GA_SENTINEL_LEAD_SECONDS 2.0f
#define GA_SENTINEL_ERROR 3.5f
#define GA_SENTINEL_MUZZLE 3.0f
#define GA_SENTINEL_SHOT_POWER 1.0f
#define GA_SENTINEL_SHOT_SAMPLE "sound\\bot_shot.ogg"
#define GA_SENTINEL_AMBIENT_SAMPLE "sound\\bot_static.ogg"
