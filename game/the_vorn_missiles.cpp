// Homing missiles: pooled records, each a smoke system with a glow on it,
// speeding up towards their top speed and steering at the target every frame.

#include <cmath>
#include <string>

#include "corelib/array.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "game/gameplay_core.h"
#include "game/resource_folder.h"
#include "game/the_vorn.h"
#include "game/the_vorn_particles.h"
#include "game/the_vorn_shots.h"
#include "game/the_vorn_weapons.h"
#include "particles/simple_particles.h"
#include "scene/collisions.h"
#include "sound/auren.h"

static const vorn_missile_type MISSILE_TYPES[VORN_MISSILE_TYPES] = {
    {4.0f, 50.0f},
    {10.0f, 60.0f},
    {20.0f, 70.0f},
};

static array<vorn_missile_t *> *missiles;
static auren_sound_t *launch_sample;

const vorn_missile_type *vorn_missile_get_type(int32_t type)
{
    return type >= 0 && type < VORN_MISSILE_TYPES ? &MISSILE_TYPES[type] : nullptr;
}

bool vorn_missiles_init()
{
    ASSERT(missiles == NULL);
    missiles = array_new<vorn_missile_t *>();
    if (!missiles) return false;
    std::string path = resource_path(VORN_MISSILE_SAMPLE);
    launch_sample = auren_load(path.c_str());
    if (!launch_sample) {
        do_log(LOG_WARNING, LOG_TO_ALL, "vorn_missiles_init(): \"%s\" could not be loaded", path.c_str());
        array_free(missiles);
        missiles = nullptr;
        return false;
    }
    return true;
}

void vorn_missiles_deinit()
{
    if (missiles) {
        for (vorn_missile_t *m : *missiles) mem_free(m);
        array_free(missiles);
        missiles = nullptr;
    }
    if (launch_sample) auren_sound_deinit(launch_sample);
    launch_sample = nullptr;
}

uint32_t vorn_missiles_pool_size() { return missiles ? missiles->get_size() : 0; }

const vorn_missile_t *vorn_missile_get(uint32_t i)
{
    return missiles && i < missiles->get_size() ? (*missiles)[i] : nullptr;
}

uint32_t vorn_missiles_active_no()
{
    uint32_t n = 0;
    if (missiles)
        for (vorn_missile_t *m : *missiles) n += m->active;
    return n;
}

// The smoke fades out; the glow (one particle living 100 s) goes at once.
static void __missile_end(vorn_missile_t *m)
{
    if (m->missile) sps_stop_emitting(m->missile);
    if (m->glow) sps_deactivate(m->glow);
    *m = vorn_missile_t{};
}

void vorn_missile_launch(tacka3 start, game_actor *launcher, game_actor *target, int32_t type)
{
    ASSERT(missiles != NULL);
    ASSERT(launcher != NULL);
    ASSERT(target != NULL);
    const vorn_missile_type *t = vorn_missile_get_type(type);
    if (!t) log_fault_bug("vorn_missile_launch", ".\\the_vorn_missiles", 95);
    tacka3 target_position;
    if (!game_actor_query(target, GA_QUERY_POSITION, &target_position)) BUG();
    float launcher_speed = 0.0f;
    game_actor_query(launcher, GA_QUERY_SPEED, &launcher_speed);
    float v = std::fabs(launcher_speed) * launcher_speed;

    sps *smoke = vorn_create_missile(start);
    if (!smoke) log_fault_bug("vorn_missile_launch", ".\\the_vorn_missiles", 104);
    sps *glow = vorn_create_glow(smoke);
    if (!glow) log_fault_bug("vorn_missile_launch", ".\\the_vorn_missiles", 106);

    vorn_missile_t *rec = nullptr;
    for (vorn_missile_t *m : *missiles)
        if (!m->active) {
            rec = m;
            break;
        }
    if (!rec) {
        rec = mem_new_zeroed<vorn_missile_t>();
        if (!rec || !missiles->add(rec)) log_fault_bug("vorn_missile_launch", ".\\the_vorn_missiles", 116);
    }
    rec->active = 1;
    rec->missile = smoke;
    rec->glow = glow;
    rec->age = 0.0f;
    rec->power = t->power;
    rec->max_speed = t->max_speed;
    rec->speed = v > 0.0f ? v + VORN_MISSILE_START_BONUS : 0.0f;
    rec->type = type;
    rec->target = target;
    rec->launcher = launcher;

    if (launch_sample) {
        auren_source_t *src = auren_play(launch_sample, AUREN_PLAY_FORGET);
        if (src) auren_set_position_ws(src, start);
    }
}

// Distance from the point to the segment a..b.
static float __distance_to_segment(tacka3 point, tacka3 a, tacka3 b)
{
    tacka3 ab = tacka3_sub(b, a);
    float l2 = tacka3_length2(ab);
    float t = l2 > 0.0f ? tacka3_dot(tacka3_sub(point, a), ab) / l2 : 0.0f;
    t = t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
    return tacka3_distance(point, tacka3_add_scaled(a, ab, t));
}

static void __missile_update(vorn_missile_t *m, float dt, array<collision_record> *hits)
{
    m->age += dt;
    if (m->age >= VORN_MISSILE_LIFETIME || !game_actor_is_alive(m->target)) {
        __missile_end(m);
        return;
    }
    float change = VORN_MISSILE_ACCELERATION * dt;
    if (m->speed < m->max_speed)
        m->speed = std::fmin(m->speed + change, m->max_speed);
    else if (m->speed > m->max_speed)
        m->speed = std::fmax(m->speed - change, m->max_speed);

    tacka3 p, target_position;
    sps_get_position(m->missile, &p);
    if (!game_actor_query(m->target, GA_QUERY_POSITION, &target_position)) BUG();
    tacka3 direction = tacka3_sub(target_position, p);
    if (!tacka3_try_normalize(&direction)) direction = tacka3{0.0f, 0.0f, 0.0f};
    tacka3 step = tacka3_scale(direction, m->speed * dt);

    if (__distance_to_segment(target_position, p, tacka3_add(p, step)) < VORN_MISSILE_DIRECT_HIT) {
        ga_damage damage = {m->power, 0, target_position};
        game_actor_event(m->target, GA_EVENT_DAMAGE, &damage);
        __missile_end(m);
        return;
    }
    float reach = tacka3_length(step);
    if (reach > 0.0f) {
        hits->cur_elements = 0;
        intersect_ray_and_scene_in_range(hits, vorn_get_scene(), p, step, reach);
        tacka3 point;
        game_actor *victim = vorn_weapons_first_victim(hits, reach, m->launcher, false, &point);
        if (victim) {
            vorn_weapons_hit(m->launcher, victim, m->power, point);
            __missile_end(m);
            return;
        }
    }
    sps_set_position(m->missile, tacka3_add(p, step));
}

void vorn_missiles_update(float dt)
{
    if (!missiles) return;
    array<collision_record> *hits = array_new<collision_record>();
    if (!hits) BUG();
    for (uint32_t i = 0; i < missiles->get_size(); i++) {
        vorn_missile_t *m = (*missiles)[i];
        if (m->active) __missile_update(m, dt, hits);
    }
    array_free(hits);
}
