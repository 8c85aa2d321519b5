#pragma once
// The attackers: four asteroid and four junk kinds, one body of code. Each
// kind file gives its numbers and its interface record; the scene holds a
// fixed pool of dormant actors of each kind that the launcher wakes.
//
// A dormant attacker is out of the game entirely: hidden, taken off the
// scene's collidable list and parked where the scene placed it, so no ray,
// shot, sliding move or other attacker meets it.

#include <cstdint>

#include "corelib/tacka.h"

struct game_actor;
struct object_instance;
struct sps;
struct auren_sound_t;
struct auren_source_t;

#define GA_ATTACKER_EXPLOSION_SAMPLE "sound\\asteroid_explode.ogg"
#define GA_ATTACKER_AMBIENT_SAMPLE "sound\\asteroid_static.ogg"
// The radius within which an attacker's hum plays while it flies.
#define GA_ATTACKER_AMBIENT_DISTANCE 60.0f
#define GA_ATTACKER_SHAKE_DURATION 0.2f
#define GA_ATTACKER_SHAKE_AMPLITUDE 0.2f
#define GA_ATTACKER_TRAIL_FADE 0.1f
#define GA_ATTACKER_DEG_TO_RAD 0.017453292519943295f

// The numbers of one kind.
struct ga_attacker_kind {
    int32_t kind; // GA_KIND_ASTEROID_A .. GA_KIND_JUNK_D
    float life;
    float impact_damage;
    const char *main_oi; // the main instance's name contains this
};

struct ga_attacker_t {
    uint8_t alive;
    int32_t side;
    int32_t kind;
    float life;
    float impact_damage;
    tacka3 direction;
    float speed;
    tacka3 velocity;
    tacka3 spin_axis;
    float spin_rate; // radians per second
    sps *trail;
    auren_sound_t *explosion;
    auren_sound_t *ambient_sample;
    auren_source_t *ambient;
    object_instance *main_oi;
    const ga_attacker_kind *k;
    tacka3 park; // where the scene placed it, and where it waits while dormant
};

bool ga_attacker_init(game_actor *ga, const ga_attacker_kind *k);
void ga_attacker_deinit(game_actor *ga);
void ga_attacker_event(game_actor *ga, int32_t code, void *argument);
bool ga_attacker_is_alive(game_actor *ga);
void ga_attacker_update(game_actor *ga, float dt);
bool ga_attacker_query(game_actor *ga, int32_t code, void *result);

// The interface record of one kind.
#define GA_ATTACKER_INTERFACE(ident, text, kind_code, life, damage, fragment) \
    static const ga_attacker_kind ident##_kind = {kind_code, life, damage, fragment}; \
    static bool ident##_init(game_actor *ga) { return ga_attacker_init(ga, &ident##_kind); } \
    const game_actor_interface ident##_interface = {text, \
                                                    ident##_init, \
                                                    ga_attacker_deinit, \
                                                    ga_attacker_event, \
                                                    ga_attacker_is_alive, \
                                                    ga_attacker_update, \
                                                    ga_attacker_query};
