#pragma once
// The game actor system ("gas"): every moving or fighting thing of the game is
// a game actor, a named group of scene instances driven by one implementation.
// Level designers make actors by giving instances the user properties
// game_actor_type = "implementation" and game_actor_name = "actor"; every
// instance with the same name and type joins the same actor.
//
// Actors talk to each other and to the game only through events (do
// something), queries (tell me something) and the alive test.

#include <cstdint>

#include "corelib/array.h"
#include "corelib/dlist.h"
#include "corelib/tacka.h"

struct scene;
struct object_instance;
struct parser_key;
struct game_actor;
struct game_actor_system;

// One static record per implementation, registered by address.
struct game_actor_interface {
    const char *name; // matched exactly against game_actor_type
    bool (*init)(game_actor *ga);
    void (*deinit)(game_actor *ga);
    void (*event)(game_actor *ga, int32_t code, void *argument);
    bool (*is_alive)(game_actor *ga);
    void (*update)(game_actor *ga, float dt);
    bool (*query)(game_actor *ga, int32_t code, void *result);
};

enum : uint32_t {
    GAME_ACTOR_NAME = 1u << 0,
    GAME_ACTOR_STATE_STRUCT = 1u << 1,
    GAME_ACTOR_TYPE = 1u << 2,
    GAME_ACTOR_SCENE = 1u << 3,
    GAME_ACTOR_INTERFACE = 1u << 4,
    GAME_ACTOR_PARENT_GAS = 1u << 5,
    GAME_ACTOR_INTERFACE_INITED = 1u << 6,
};

// One instance of an actor with its parsed properties (a list of parser_line).
struct game_actor_oi {
    dlist link;
    object_instance *oi;
    dlist properties;
};

struct game_actor {
    dlist link; // place in the system's actor list (first member)
    uint32_t flags;
    char *name;
    char *type;
    game_actor_system *parent_gas;
    scene *sc;
    const game_actor_interface *iface;
    void *state_struct;
    uint32_t oisno;
    dlist ois; // game_actor_oi records, in scene order
};

struct game_actor_system {
    array<const game_actor_interface *> *interfaces;
    dlist actors;
    uint32_t actorsno;
};

// Event codes shared by every implementation.
enum {
    GA_EVENT_START = 0,        // fighter: start of play; station: reset damage
    GA_EVENT_STOP_SOUNDS = 1,  // fighter
    GA_EVENT_ADD_SCORE = 2,    // fighter, argument int32_t
    GA_EVENT_NEXT_LEVEL = 3,   // fighter
    GA_EVENT_NEW_GAME = 4,     // fighter
    GA_EVENT_LAUNCH = 100,     // attackers, argument ga_launch
    GA_EVENT_DEACTIVATE = 101, // attackers, sentinels
    GA_EVENT_DAMAGE = 102,     // all, argument ga_damage
    GA_EVENT_SHOT_HIT = 103,   // fighter, sentinels: argument the victim actor
    GA_EVENT_REVIVE = 104,     // sentinels
};

// Query codes shared by every implementation.
enum {
    GA_QUERY_POSITION = 100,      // tacka3
    GA_QUERY_LIFE = 101,          // float
    GA_QUERY_KIND = 102,          // int32_t
    GA_QUERY_SIDE = 103,          // int32_t
    GA_QUERY_MAIN_OI = 104,       // object_instance *
    GA_QUERY_IMPACT_DAMAGE = 105, // float
    GA_QUERY_SPEED = 106,         // float
    GA_QUERY_VELOCITY = 107,      // tacka3
};

// Kinds (query 102) and sides (query 103).
enum {
    GA_KIND_ASTEROID_A = 0,
    GA_KIND_ASTEROID_B,
    GA_KIND_ASTEROID_C,
    GA_KIND_ASTEROID_D,
    GA_KIND_JUNK_A,
    GA_KIND_JUNK_B,
    GA_KIND_JUNK_C,
    GA_KIND_JUNK_D,
    GA_KIND_FIGHTER,
    GA_KIND_STATION,
    GA_KIND_SENTINEL,
    GA_KINDS
};
#define GA_ATTACKER_KINDS 8
enum { GA_SIDE_ATTACKERS = 0, GA_SIDE_DEFENDERS = 1 };

struct ga_launch {
    tacka3 start;
    tacka3 target;
    float speed;
};

struct ga_damage {
    float amount;
    int32_t word; // not used by any receiver
    tacka3 point;
};

// The implementation names, in kind order.
const char *game_actor_kind_name(int32_t kind);

// The two keys that make an instance an actor, for the settings line parser.
const parser_key *game_actor_property_key_table(uint32_t *count);

game_actor_system *gas_create();
// Every actor's deinit, in list order, then the system.
void gas_destroy(game_actor_system *gas);
bool gas_register_interface(game_actor_system *gas, const game_actor_interface *iface);
// Builds the actors from the scene's instances and initialises them; false
// (logged, naming the instance) on the first error.
bool gas_build_actors(game_actor_system *gas, scene *sc);
void gas_update_all(game_actor_system *gas, float dt);
uint32_t gas_get_actors_no(const game_actor_system *gas);

// First actor with this name and type (exact, case-sensitive); null if none.
game_actor *gas_find_actor(game_actor_system *gas, const char *name, const char *type);
// First actor whose instances hold this one; null if none.
game_actor *gas_find_actor_by_oi(game_actor_system *gas, const object_instance *oi);

const char *game_actor_get_name(const game_actor *ga);
const char *game_actor_get_type(const game_actor *ga);
bool game_actor_has_type(const game_actor *ga);
scene *game_actor_get_scene(const game_actor *ga);
game_actor_system *game_actor_get_parent_gas(const game_actor *ga);
bool game_actor_has_state_struct(const game_actor *ga);
void *game_actor_get_state_struct(const game_actor *ga);
void game_actor_insert_state_struct(game_actor *ga, void *state);
void game_actor_remove_state_struct(game_actor *ga);
bool game_actor_interface_is_inited(const game_actor *ga);
uint32_t game_actor_get_ois_no(const game_actor *ga);

// The first instance of the actor whose name contains `fragment`; null if none.
object_instance *game_actor_find_oi(const game_actor *ga, const char *fragment);
// The same, but a missing instance is a fault report naming it.
object_instance *game_actor_need_oi(const game_actor *ga, const char *fragment);
// Mean of the world positions of the actor's instances.
tacka3 game_actor_get_center(const game_actor *ga);
void game_actor_hide(game_actor *ga);
void game_actor_show(game_actor *ga);

void game_actor_event(game_actor *ga, int32_t code, void *argument);
bool game_actor_query(game_actor *ga, int32_t code, void *result);
bool game_actor_is_alive(game_actor *ga);
// Kind and side through the queries (-1 when not answered).
int32_t game_actor_kind(game_actor *ga);
bool game_actor_is_attacker(game_actor *ga);
