#include "the_vorn_shots.h"

#include <cmath>

#include "corelib/array.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "game/gameplay_core.h"
#include "game/the_vorn.h"
#include "game/the_vorn_game.h"
#include "game/the_vorn_particles.h"
#include "game/the_vorn_weapons.h"
#include "particles/simple_particles.h"
#include "scene/collisions.h"
#include "scene/object_instance.h"

static array<vorn_shot_t *> *shots;

bool vorn_shots_init()
{
    ASSERT(shots == NULL);
    shots = array_new<vorn_shot_t *>();
    return shots != nullptr;
}

void vorn_shots_deinit()
{
    if (!shots) return;
    for (vorn_shot_t *s : *shots) mem_free(s);
    array_free(shots);
    shots = nullptr;
}

uint32_t vorn_shots_pool_size() { return shots ? shots->get_size() : 0; }

uint32_t vorn_shots_active_no()
{
    uint32_t n = 0;
    if (shots)
        for (vorn_shot_t *s : *shots) n += s->active;
    return n;
}

const vorn_shot_t *vorn_shot_get(uint32_t i) { return shots && i < shots->get_size() ? (*shots)[i] : nullptr; }

// The pulse fades out on its own: emission ends, the last particles die, the
// system goes back to its pool.
static void __shot_end(vorn_shot_t *s)
{
    if (s->pulse) sps_stop_emitting(s->pulse);
    s->pulse = nullptr;
    s->active = 0;
    s->age = 0.0f;
}

static void __count_shot(game_actor *shooter, bool hit)
{
    vorn_level_statistics *st = vorn_get_level_statistics();
    int32_t kind = game_actor_kind(shooter);
    if (kind == GA_KIND_FIGHTER) {
        if (hit)
            st->player_hits++;
        else
            st->player_shots++;
    } else if (kind == GA_KIND_SENTINEL) {
        if (hit)
            st->sentinel_hits++;
        else
            st->sentinel_shots++;
    }
}

void vorn_shot_launch(tacka3 start, tacka3 direction, object_instance *owner, float power, game_actor *shooter)
{
    ASSERT(shots != NULL);
    ASSERT(shooter != NULL);
    (void)owner;
    if (!tacka3_try_normalize(&direction)) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "vorn_shot_launch(): no direction, no shot");
        return;
    }
    sps *pulse = vorn_create_pulse(start, direction);
    if (!pulse) log_fault_bug("vorn_shot_launch", ".\\the_vorn_shots", 70);

    vorn_shot_t *rec = nullptr;
    for (vorn_shot_t *s : *shots)
        if (!s->active) {
            rec = s;
            break;
        }
    if (!rec) {
        rec = mem_new_zeroed<vorn_shot_t>();
        if (!rec || !shots->add(rec)) log_fault_bug("vorn_shot_launch", ".\\the_vorn_shots", 90);
    }
    rec->active = 1;
    rec->pulse = pulse;
    rec->direction = direction;
    rec->age = 0.0f;
    rec->power = power;
    rec->shooter = shooter;
    __count_shot(shooter, false);
}

game_actor *vorn_weapons_first_victim(array<collision_record> *hits, float reach, const game_actor *shooter,
                                      bool through_station, tacka3 *point)
{
    game_actor *best = nullptr;
    float best_distance = 0.0f;
    for (const collision_record &r : *hits) {
        if (r.distance * r.distance > reach * reach) continue;
        game_actor *victim = static_cast<game_actor *>(OI_get_game_actor(collision_record_oi(&r)));
        if (!victim || victim == shooter || !game_actor_is_alive(victim)) continue;
        if (through_station && game_actor_kind(victim) == GA_KIND_STATION) continue;
        if (best && r.distance >= best_distance) continue;
        best = victim;
        best_distance = r.distance;
        *point = r.point;
    }
    return best;
}

void vorn_weapons_hit(game_actor *shooter, game_actor *victim, float power, tacka3 point)
{
    if (shooter) game_actor_event(shooter, GA_EVENT_SHOT_HIT, victim);
    ga_damage damage = {power, 0, point};
    game_actor_event(victim, GA_EVENT_DAMAGE, &damage);
}

// Moves one shot by its step, ending it on the first victim within the step.
static void __shot_update(vorn_shot_t *s, float dt, array<collision_record> *hits)
{
    s->age += dt;
    if (s->age >= VORN_SHOT_LIFETIME) {
        __shot_end(s);
        return;
    }
    tacka3 p0;
    sps_get_position(s->pulse, &p0);
    tacka3 step = tacka3_scale(s->direction, VORN_SHOT_SPEED * dt);
    float reach = tacka3_length(step);
    if (reach > 0.0f) {
        hits->cur_elements = 0;
        intersect_ray_and_scene_in_range(hits, vorn_get_scene(), p0, s->direction, reach);
        tacka3 point;
        bool sentinel_shot = game_actor_kind(s->shooter) == GA_KIND_SENTINEL;
        game_actor *victim = vorn_weapons_first_victim(hits, reach, s->shooter, sentinel_shot, &point);
        if (victim) {
            vorn_weapons_hit(s->shooter, victim, s->power, point);
            __count_shot(s->shooter, true);
            vorn_create_hit(point);
            __shot_end(s);
            return;
        }
    }
    sps_set_position(s->pulse, tacka3_add(p0, step));
}

void vorn_shots_update(float dt)
{
    if (!shots) return;
    array<collision_record> *hits = array_new<collision_record>();
    if (!hits) BUG();
    // A hit can launch nothing new, but the pool is read by index all the same.
    for (uint32_t i = 0; i < shots->get_size(); i++) {
        vorn_shot_t *s = (*shots)[i];
        if (s->active) __shot_update(s, dt, hits);
    }
    array_free(hits);
}

void vorn_shots_deactivate_all()
{
    if (!shots) return;
    for (vorn_shot_t *s : *shots)
        if (s->active) __shot_end(s);
}
