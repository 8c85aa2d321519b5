#include "actors/ga_asteroids_common.h"

#include <cmath>
#include <string>

#include "corelib/array.h"
#include "corelib/drand.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "corelib/quaternion.h"
#include "game/gameplay_core.h"
#include "game/resource_folder.h"
#include "game/the_vorn.h"
#include "game/the_vorn_asteroids.h"
#include "game/the_vorn_game.h"
#include "game/the_vorn_particles.h"
#include "particles/simple_particles.h"
#include "scene/collisions.h"
#include "scene/object_instance.h"
#include "sound/auren.h"

static ga_attacker_t *__state(game_actor *ga) { return static_cast<ga_attacker_t *>(game_actor_get_state_struct(ga)); }

// Dormant: hidden and off the collidable list, waiting at the park.
static void __park(game_actor *ga, ga_attacker_t *ks)
{
    game_actor_hide(ga);
    dlist_for_each(n, &ga->ois)
    {
        object_instance *oi = dlist_entry<game_actor_oi>(n)->oi;
        OI_set_desc(oi, "collidable", "false");
    }
    OI_set_position_ws(ks->main_oi, ks->park);
    OI_calc_world_transform(ks->main_oi);
    OI_calc_bounding_volumes(ks->main_oi);
}

bool ga_attacker_init(game_actor *ga, const ga_attacker_kind *k)
{
    ga_attacker_t *ks = mem_new_zeroed<ga_attacker_t>();
    if (!ks) return false;
    ks->alive = 0;
    ks->side = GA_SIDE_ATTACKERS;
    ks->kind = k->kind;
    ks->life = k->life;
    ks->impact_damage = k->impact_damage;
    ks->k = k;
    ks->main_oi = game_actor_need_oi(ga, k->main_oi);
    std::string path = resource_path(GA_ATTACKER_EXPLOSION_SAMPLE);
    ks->explosion = auren_load(path.c_str());
    if (!ks->explosion) log_fault_assert("ga_attacker_init", ".\\ga_asteroids_common", 66, "ks->explosion != NULL");
    path = resource_path(GA_ATTACKER_AMBIENT_SAMPLE);
    ks->ambient_sample = auren_load(path.c_str());
    if (!ks->ambient_sample) log_fault_assert("ga_attacker_init", ".\\ga_asteroids_common", 70, "ks->ambient != NULL");
    ks->ambient = auren_source_add(ks->ambient_sample);
    if (!ks->ambient) log_fault_assert("ga_attacker_init", ".\\ga_asteroids_common", 72, "ks->ambient != NULL");
    auren_set_looping(ks->ambient, true);
    auren_set_gain(ks->ambient, 1.0f);
    auren_set_reference_distance(ks->ambient, 20.0f);
    auren_set_max_distance(ks->ambient, 200.0f);
    auren_set_active_distance(ks->ambient, 0.0f);
    OI_calc_world_transform(ks->main_oi);
    ks->park = OI_get_position_ws(ks->main_oi);
    game_actor_insert_state_struct(ga, ks);
    __park(ga, ks);
    return true;
}

void ga_attacker_deinit(game_actor *ga)
{
    ga_attacker_t *ks = __state(ga);
    // The samples' last references free their sources.
    auren_sound_deinit(ks->ambient_sample);
    auren_sound_deinit(ks->explosion);
    mem_free(ks);
    game_actor_remove_state_struct(ga);
}

bool ga_attacker_is_alive(game_actor *ga) { return __state(ga)->alive != 0; }

static void __play_explosion(ga_attacker_t *ks)
{
    auren_source_t *src = auren_source_add(ks->explosion);
    if (!src) return;
    auren_set_pitch(src, 1.0f);
    auren_set_gain(src, 1.0f);
    auren_set_reference_distance(src, 60.0f);
    auren_set_max_distance(src, 120.0f);
    auren_set_position_ws(src, OI_get_position_ws(ks->main_oi));
    auren_set_and_forget(src);
    auren_source_play(src);
}

static void __launch(game_actor *ga, ga_attacker_t *ks, const ga_launch *l)
{
    if (ks->alive) log_fault_bug("ga_attacker_launch", ".\\ga_asteroids_common", 110);
    if (game_actor_get_ois_no(ga) > 1) log_fault_bug("ga_attacker_launch", ".\\ga_asteroids_common", 111);
    ks->alive = 1;
    ks->life = ks->k->life;
    ks->impact_damage = ks->k->impact_damage;
    ks->speed = l->speed;
    ks->direction = tacka3_sub(l->target, l->start);
    if (!tacka3_try_normalize(&ks->direction)) ks->direction = tacka3{0.0f, 0.0f, 1.0f};
    ks->velocity = tacka3_scale(ks->direction, ks->speed);

    ks->spin_axis = tacka3{float(drand_range(0.0, 1.0)), float(drand_range(0.0, 1.0)), float(drand_range(0.0, 1.0))};
    if (!tacka3_try_normalize(&ks->spin_axis)) ks->spin_axis = tacka3{0.0f, 1.0f, 0.0f};
    float top = vorn_asteroids_get_speed_max();
    float factor = top > 0.0f ? 2.0f * ks->speed / top + 1.0f : 1.0f;
    ks->spin_rate = factor * 10.0f * GA_ATTACKER_DEG_TO_RAD;

    dlist_for_each(n, &ga->ois)
    {
        object_instance *oi = dlist_entry<game_actor_oi>(n)->oi;
        OI_set_position_ws(oi, l->start);
        OI_set_rotation(oi, quaternion_identity());
        OI_calc_world_transform(oi);
        OI_calc_bounding_volumes(oi);
        OI_set_desc(oi, "collidable", "true");
    }
    // The trail pool is smaller than the attacker pools: when every trail is
    // in use the attacker flies without one.
    ks->trail = vorn_get_free_sps(VORN_SPS_TRAIL) ? vorn_create_trail(l->start, ks->direction) : nullptr;
    auren_set_position_ws(ks->ambient, l->start);
    auren_set_active_distance(ks->ambient, GA_ATTACKER_AMBIENT_DISTANCE);
    game_actor_show(ga);
    do_log(LOG_INFO, LOG_TO_DEBUGGER,
           "asteroid launched: %f,%f,%f -> %f,%f,%f, type: %d, speed: %f, dir: %f,%f,%f, dirxspeed: %f,%f,%f",
           l->start.x, l->start.y, l->start.z, l->target.x, l->target.y, l->target.z, 0, ks->speed, ks->direction.x,
           ks->direction.y, ks->direction.z, ks->velocity.x, ks->velocity.y, ks->velocity.z);
}

static void __deactivate(game_actor *ga, ga_attacker_t *ks)
{
    ks->alive = 0;
    if (ks->trail) {
        // Emission ends within the fade; the particles already out die on their own.
        sps_set_duration(ks->trail, ks->trail->elapsed + GA_ATTACKER_TRAIL_FADE);
        ks->trail = nullptr;
    }
    auren_set_active_distance(ks->ambient, 0.0f);
    auren_stop(ks->ambient);
    __park(ga, ks);
}

static void __damage(game_actor *ga, ga_attacker_t *ks, const ga_damage *d)
{
    if (!ks->alive) return;
    ks->life -= d->amount;
    if (ks->life > 0.0f) return;
    vorn_create_explosion(OI_get_position_ws(ks->main_oi));
    __play_explosion(ks);
    __deactivate(ga, ks);
}

void ga_attacker_event(game_actor *ga, int32_t code, void *argument)
{
    ga_attacker_t *ks = __state(ga);
    switch (code) {
    case GA_EVENT_LAUNCH:
        ASSERT(argument != NULL);
        __launch(ga, ks, static_cast<const ga_launch *>(argument));
        break;
    case GA_EVENT_DEACTIVATE: __deactivate(ga, ks); break;
    case GA_EVENT_DAMAGE:
        ASSERT(argument != NULL);
        __damage(ga, ks, static_cast<const ga_damage *>(argument));
        break;
    default: log_fault_bug("ga_attacker_event", ".\\ga_asteroids_common", 183);
    }
}

static game_actor *__actor_of(object_instance *oi)
{
    game_actor *other = static_cast<game_actor *>(OI_get_game_actor(oi));
    if (!other) log_fault_bug("ga_attacker_update", ".\\ga_asteroids_common", 190);
    return other;
}

// The end of a flight against something: effects, shake, sound, dormant.
static void __crash(game_actor *ga, ga_attacker_t *ks, bool explosion)
{
    if (explosion) vorn_create_explosion(OI_get_position_ws(ks->main_oi));
    vorn_start_shake(GA_ATTACKER_SHAKE_DURATION, GA_ATTACKER_SHAKE_AMPLITUDE);
    __play_explosion(ks);
    game_actor_event(ga, GA_EVENT_DEACTIVATE, nullptr);
}

// Solid contacts: the first alive actor met ends the flight. True when it did.
static bool __solid_contacts(game_actor *ga, ga_attacker_t *ks, array<collision_record> *contacts)
{
    for (const collision_record &r : *contacts) {
        object_instance *oi = collision_record_oi(&r);
        game_actor *other = __actor_of(oi);
        if (!game_actor_is_alive(other)) continue;
        bool station = game_actor_kind(other) == GA_KIND_STATION;
        if (station) {
            ga_damage d = {ks->impact_damage, 0, r.point};
            game_actor_event(other, GA_EVENT_DAMAGE, &d);
        }
        __crash(ga, ks, !station);
        do_log(LOG_INFO, LOG_TO_DEBUGGER, "asteroid: collision with solid: %s", OI_get_name(oi));
        return true;
    }
    return false;
}

// Non-solid contacts: only the fighter counts. True when the flight ended.
static bool __nonsolid_contacts(game_actor *ga, ga_attacker_t *ks, array<collision_record> *contacts)
{
    for (const collision_record &r : *contacts) {
        object_instance *oi = collision_record_oi(&r);
        game_actor *other = __actor_of(oi);
        if (!game_actor_is_alive(other)) continue;
        bool fighter = game_actor_kind(other) == GA_KIND_FIGHTER;
        if (fighter) {
            tacka3 at = OI_get_position_ws(ks->main_oi);
            vorn_create_explosion(at);
            vorn_create_debris(at);
            vorn_start_shake(GA_ATTACKER_SHAKE_DURATION, GA_ATTACKER_SHAKE_AMPLITUDE);
            ga_damage d = {ks->impact_damage, 0, at};
            game_actor_event(other, GA_EVENT_DAMAGE, &d);
            __play_explosion(ks);
            game_actor_event(ga, GA_EVENT_DEACTIVATE, nullptr);
        }
        do_log(LOG_INFO, LOG_TO_DEBUGGER, "asteroid: collision with nonsolid: %s", OI_get_name(oi));
        return fighter;
    }
    return false;
}

void ga_attacker_update(game_actor *ga, float dt)
{
    ga_attacker_t *ks = __state(ga);
    if (!ks->alive) return;
    static array<collision_record> *solid, *nonsolid;
    if (!solid) solid = array_new<collision_record>();
    if (!nonsolid) nonsolid = array_new<collision_record>();
    if (!solid || !nonsolid) BUG();
    solid->cur_elements = 0;
    nonsolid->cur_elements = 0;

    OI_move_with_collision_detection_ws(ks->main_oi, game_actor_get_scene(ga), tacka3_scale(ks->velocity, dt), solid,
                                        nonsolid);
    if (__solid_contacts(ga, ks, solid)) return;
    if (__nonsolid_contacts(ga, ks, nonsolid)) return;

    tacka3 at = OI_get_position_ws(ks->main_oi);
    auren_set_position_ws(ks->ambient, at);
    quaternion turn = quaternion_from_axis_angle(ks->spin_axis, dt * ks->spin_rate);
    quaternion r = quaternion_mul(OI_get_rotation(ks->main_oi), turn);
    quaternion_normalize(&r);
    OI_set_rotation(ks->main_oi, r);
    if (ks->trail) sps_set_position(ks->trail, at);
}

bool ga_attacker_query(game_actor *ga, int32_t code, void *result)
{
    ga_attacker_t *ks = __state(ga);
    switch (code) {
    case GA_QUERY_POSITION: *static_cast<tacka3 *>(result) = OI_get_position_ws(ks->main_oi); return true;
    case GA_QUERY_LIFE: *static_cast<float *>(result) = ks->life; return true;
    case GA_QUERY_KIND: *static_cast<int32_t *>(result) = ks->kind; return true;
    case GA_QUERY_SIDE: *static_cast<int32_t *>(result) = ks->side; return true;
    case GA_QUERY_MAIN_OI: *static_cast<object_instance **>(result) = ks->main_oi; return true;
    case GA_QUERY_IMPACT_DAMAGE: *static_cast<float *>(result) = ks->impact_damage; return true;
    case GA_QUERY_VELOCITY: *static_cast<tacka3 *>(result) = ks->velocity; return true;
    default: return false;
    }
}
