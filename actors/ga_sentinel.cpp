// "sentinel": an automatic turret. It looks for the nearest attacker in range
// and in sight, turns towards it at most one radian per second and, once on
// target, fires a laser shot with lead and a random error every two seconds.

#include <algorithm>
#include <cmath>
#include <string>

#include "actors/actors.h"
#include "corelib/array.h"
#include "corelib/drand.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "corelib/quaternion.h"
#include "game/gameplay_core.h"
#include "game/resource_folder.h"
#include "game/the_vorn.h"
#include "game/the_vorn_shots.h"
#include "scene/collisions.h"
#include "scene/motion.h"
#include "scene/object_instance.h"
#include "scene/oi_fk_mixer.h"
#include "scene/scene.h"
#include "sound/auren.h"

namespace {
struct ga_sentinel_t {
    uint8_t alive;
    int32_t side;
    int32_t kind;
    float life;
    float shot_timer;
    object_instance *oi_root, *oi_cd, *oi_body, *oi_gun_body, *oi_gun_body2;
    motion_instance *mi_body, *mi_gun_body2; // the recoils (null when the scene has no such motion)
    game_actor *target;
    uint32_t view_counter;
    uint32_t search_counter;
    auren_sound_t *shot;
    auren_sound_t *ambient_sample;
    auren_source_t *ambient;
    int32_t aim; // GA_SENTINEL_AIM_*
};
} // namespace

static ga_sentinel_t *__state(game_actor *ga) { return static_cast<ga_sentinel_t *>(game_actor_get_state_struct(ga)); }

static object_instance *__need(game_actor *ga, const char *fragment, const char *assertion, int line)
{
    object_instance *oi = game_actor_find_oi(ga, fragment);
    if (!oi) log_fault_assert("sentinel_init", ".\\ga_sentinel", line, assertion);
    return oi;
}

// The recoil motion of the instance: the motion of the same name, rewound and stopped.
static motion_instance *__recoil(object_instance *oi)
{
    motion *m = scene_get_motion(OI_get_scene(oi), OI_get_name(oi), nullptr);
    if (!m) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "sentinel_init(): no recoil motion \"%s\"", OI_get_name(oi));
        return nullptr;
    }
    motion_instance *mi = motion_instance_create(oi, m);
    if (!mi) BUG();
    motion_instance_set_current_time(mi, 0.0f);
    return mi;
}

static auren_sound_t *__sample(const char *relative, int line)
{
    std::string path = resource_path(relative);
    auren_sound_t *snd = auren_load(path.c_str());
    if (!snd) log_fault_bug("sentinel_init", ".\\ga_sentinel", line);
    return snd;
}

static bool sentinel_init(game_actor *ga)
{
    ga_sentinel_t *ks = mem_new_zeroed<ga_sentinel_t>();
    if (!ks) return false;
    ks->side = GA_SIDE_DEFENDERS;
    ks->kind = GA_KIND_SENTINEL;
    ks->oi_root = __need(ga, "sentinel_0", "ks->oi_root", 80);
    ks->oi_body = __need(ga, "sentinel_body_0", "ks->oi_body", 81);
    ks->oi_cd = __need(ga, "sentinel_cd_0", "ks->oi_cd", 82);
    ks->oi_gun_body = __need(ga, "sentinel_gunbody_0", "ks->oi_gun_body", 83);
    ks->oi_gun_body2 = __need(ga, "sentinel_gunbody2_0", "ks->oi_gun_body2", 84);
    ks->life = GA_SENTINEL_LIFE;
    ks->shot_timer = 0.0f;
    ks->mi_body = __recoil(ks->oi_body);
    ks->mi_gun_body2 = __recoil(ks->oi_gun_body2);
    ks->shot = __sample(GA_SENTINEL_SHOT_SAMPLE, 92);
    ks->ambient_sample = __sample(GA_SENTINEL_AMBIENT_SAMPLE, 93);
    ks->ambient = auren_source_add(ks->ambient_sample);
    if (!ks->ambient) log_fault_bug("sentinel_init", ".\\ga_sentinel", 95);
    auren_set_looping(ks->ambient, true);
    auren_set_position_ws(ks->ambient, OI_get_position_ws(ks->oi_root));
    auren_set_gain(ks->ambient, 1.0f);
    auren_set_reference_distance(ks->ambient, 20.0f);
    auren_set_max_distance(ks->ambient, 200.0f);
    auren_set_active_distance(ks->ambient, 40.0f);
    auren_set_pitch(ks->ambient, 1.0f);
    ks->alive = 1;
    game_actor_insert_state_struct(ga, ks);
    return true;
}

static void sentinel_deinit(game_actor *ga)
{
    ga_sentinel_t *ks = __state(ga);
    motion_instance_free(ks->mi_body);
    motion_instance_free(ks->mi_gun_body2);
    auren_sound_deinit(ks->shot);
    auren_sound_deinit(ks->ambient_sample);
    mem_free(ks);
    game_actor_remove_state_struct(ga);
}

static bool sentinel_is_alive(game_actor *ga) { return __state(ga)->alive != 0; }

static tacka3 __root_position(ga_sentinel_t *ks) { return OI_get_position_ws(ks->oi_root); }

static tacka3 __position_of(game_actor *target)
{
    tacka3 p;
    if (!game_actor_query(target, GA_QUERY_POSITION, &p)) BUG();
    return p;
}

static bool __sentinel_is_target_in_range(ga_sentinel_t *ks, game_actor *target)
{
    return tacka3_length2(tacka3_sub(__position_of(target), __root_position(ks))) <=
           GA_SENTINEL_RANGE * GA_SENTINEL_RANGE;
}

// Line of sight: every instance the ray meets on its way to the target's
// position belongs to the target (the sentinel's own instances, which the ray
// starts in, do not block). The real test runs on every sixth call only.
static bool __sentinel_is_target_in_view(game_actor *ga, ga_sentinel_t *ks, game_actor *target)
{
    ASSERT(target);
    if (++ks->view_counter < GA_SENTINEL_VIEW_PERIOD) return true;
    ks->view_counter = 0;
    tacka3 from = __root_position(ks);
    tacka3 to = tacka3_sub(__position_of(target), from);
    float distance = tacka3_length(to);
    if (!(distance > 0.0f)) return true;
    static array<collision_record> *hits;
    if (!hits && !(hits = array_new<collision_record>())) BUG();
    hits->cur_elements = 0;
    intersect_ray_and_scene_in_range(hits, game_actor_get_scene(ga), from, to, distance);
    for (const collision_record &r : *hits) {
        game_actor *owner = static_cast<game_actor *>(OI_get_game_actor(collision_record_oi(&r)));
        if (!owner) log_fault_bug("__sentinel_is_target_in_view", ".\\ga_sentinel", 160);
        if (owner != target && owner != ga) return false;
    }
    return true;
}

static game_actor *__sentinel_find_nearest_target(game_actor *ga, ga_sentinel_t *ks)
{
    if (++ks->search_counter < GA_SENTINEL_SEARCH_PERIOD) return nullptr;
    ks->search_counter = 0;
    game_actor *best = nullptr;
    float best_d2 = 0.0f;
    tacka3 root = __root_position(ks);
    dlist_for_each(n, &game_actor_get_parent_gas(ga)->actors)
    {
        game_actor *other = dlist_entry<game_actor>(n);
        if (!game_actor_is_attacker(other) || !game_actor_is_alive(other)) continue;
        float d2 = tacka3_length2(tacka3_sub(__position_of(other), root));
        if (d2 > GA_SENTINEL_RANGE * GA_SENTINEL_RANGE || (best && d2 >= best_d2)) continue;
        if (!__sentinel_is_target_in_view(ga, ks, other)) continue;
        best = other;
        best_d2 = d2;
    }
    return best;
}

static void __drop_target(ga_sentinel_t *ks)
{
    ks->target = nullptr;
    ks->aim = GA_SENTINEL_AIM_NONE;
}

static void __sentinel_update_target(game_actor *ga, ga_sentinel_t *ks)
{
    if (!ks->target) {
        game_actor *found = __sentinel_find_nearest_target(ga, ks);
        if (!found) return;
        ks->target = found;
        ks->aim = GA_SENTINEL_AIM_TURNING;
        if (__sentinel_is_target_in_view(ga, ks, found) && __sentinel_is_target_in_range(ks, found))
            do_log(LOG_INFO, LOG_TO_DEBUGGER, "sentinel: targeted: %s", game_actor_get_name(found));
        else
            __drop_target(ks);
        return;
    }
    if (!game_actor_is_alive(ks->target) || !__sentinel_is_target_in_view(ga, ks, ks->target)) __drop_target(ks);
}

static void __sentinel_turn(ga_sentinel_t *ks, float dt)
{
    tacka3 direction = tacka3_sub(__position_of(ks->target), __root_position(ks));
    if (!tacka3_try_normalize(&direction)) return;
    quaternion old_rot = OI_get_rotation(ks->oi_root);
    OI_rotate_axis_to_vector(ks->oi_root, direction, 2);
    quaternion new_rot = OI_get_rotation(ks->oi_root);
    tacka3 forward = {0.0f, 0.0f, 1.0f};
    float d =
        std::clamp(tacka3_dot(quaternion_rotate(old_rot, forward), quaternion_rotate(new_rot, forward)), -1.0f, 1.0f);
    if (std::fabs(d) < 0.999999f) {
        float angle = std::acos(d);
        OI_set_rotation(ks->oi_root, quaternion_slerp(old_rot, new_rot, std::clamp(dt / angle, 0.0f, 1.0f)));
        ks->aim = angle >= GA_SENTINEL_ON_TARGET_ANGLE ? GA_SENTINEL_AIM_TURNING : GA_SENTINEL_AIM_ON_TARGET;
    } else {
        ks->aim = GA_SENTINEL_AIM_ON_TARGET;
    }
    OI_calc_world_transform(ks->oi_root);
}

static void __sentinel_fire(game_actor *ga, ga_sentinel_t *ks)
{
    tacka3 predicted = __position_of(ks->target);
    tacka3 velocity = {0.0f, 0.0f, 0.0f};
    game_actor_query(ks->target, GA_QUERY_VELOCITY, &velocity);
    predicted = tacka3_add_scaled(predicted, velocity, GA_SENTINEL_LEAD_SECONDS);
    predicted.x += GA_SENTINEL_ERROR - float(drand_range(0.0, 2.0 * GA_SENTINEL_ERROR));
    predicted.y += GA_SENTINEL_ERROR - float(drand_range(0.0, 2.0 * GA_SENTINEL_ERROR));
    predicted.z += GA_SENTINEL_ERROR - float(drand_range(0.0, 2.0 * GA_SENTINEL_ERROR));
    tacka3 root = __root_position(ks);
    tacka3 direction = tacka3_sub(predicted, root);
    if (!tacka3_try_normalize(&direction)) return;
    vorn_shot_launch(tacka3_add_scaled(root, direction, GA_SENTINEL_MUZZLE), direction, ks->oi_root,
                     GA_SENTINEL_SHOT_POWER, ga);
    auren_source_t *src = auren_source_add(ks->shot);
    if (src) {
        auren_set_gain(src, 2.0f);
        auren_set_reference_distance(src, 10.0f);
        auren_set_max_distance(src, 128.0f);
        auren_set_position_ws(src, root);
        auren_set_and_forget(src);
        auren_source_play(src);
    }
    bool recoiling = (ks->mi_body && motion_instance_is_playing(ks->mi_body)) ||
                     (ks->mi_gun_body2 && motion_instance_is_playing(ks->mi_gun_body2));
    if (!recoiling)
        for (motion_instance *mi : {ks->mi_body, ks->mi_gun_body2}) {
            if (!mi) continue;
            motion_instance_set_current_time(mi, 0.0f);
            motion_instance_play(mi, MOTION_PLAY_ONCE, 0.1f, false);
        }
    ks->shot_timer = -1.0f;
}

static void sentinel_update(game_actor *ga, float dt)
{
    ga_sentinel_t *ks = __state(ga);
    if (!ks->alive) return;
    ks->shot_timer += dt;
    __sentinel_update_target(ga, ks);
    if (ks->target && game_actor_is_alive(ks->target)) __sentinel_turn(ks, dt);
    if (ks->target && ks->aim == GA_SENTINEL_AIM_ON_TARGET && ks->shot_timer >= 1.0f) __sentinel_fire(ga, ks);
}

static void __sentinel_evaluate_shot(game_actor *victim)
{
    if (!victim) log_fault_assert("__sentinel_evaluate_shot", ".\\ga_sentinel", 262, "victim");
    int32_t kind = game_actor_kind(victim);
    int32_t score;
    // The fighter flying into a sentinel's line of fire takes the damage
    // (the shot dealt it) and nothing more: ordinary play, not a fault.
    if (kind == GA_KIND_FIGHTER) return;
    if (kind == GA_KIND_STATION || kind == GA_KIND_SENTINEL)
        score = -1;
    else if (kind >= 0 && kind < GA_ATTACKER_KINDS)
        score = 1;
    else
        log_fault_bug("__sentinel_evaluate_shot", ".\\ga_sentinel", 270);
    game_actor_event(vorn_get_game_actor("fighter", "fighter"), GA_EVENT_ADD_SCORE, &score);
}

static void sentinel_event(game_actor *ga, int32_t code, void *argument)
{
    ga_sentinel_t *ks = __state(ga);
    switch (code) {
    case GA_EVENT_DEACTIVATE: ks->alive = 0; break;
    case GA_EVENT_DAMAGE:
        ASSERT(argument != NULL);
        ks->life -= static_cast<const ga_damage *>(argument)->amount;
        if (ks->life <= 0.0f) game_actor_event(ga, GA_EVENT_DEACTIVATE, nullptr);
        break;
    case GA_EVENT_SHOT_HIT: __sentinel_evaluate_shot(static_cast<game_actor *>(argument)); break;
    case GA_EVENT_REVIVE:
        ks->alive = 1;
        ks->life = GA_SENTINEL_LIFE;
        break;
    default: log_fault_bug("sentinel_event", ".\\ga_sentinel", 290);
    }
}

static bool sentinel_query(game_actor *ga, int32_t code, void *result)
{
    ga_sentinel_t *ks = __state(ga);
    switch (code) {
    case GA_SENTINEL_Q_TARGET: *static_cast<game_actor **>(result) = ks->target; return true;
    case GA_QUERY_POSITION: *static_cast<tacka3 *>(result) = __root_position(ks); return true;
    case GA_QUERY_LIFE: *static_cast<float *>(result) = ks->life; return true;
    case GA_QUERY_KIND: *static_cast<int32_t *>(result) = ks->kind; return true;
    case GA_QUERY_SIDE: *static_cast<int32_t *>(result) = ks->side; return true;
    case GA_QUERY_MAIN_OI: *static_cast<object_instance **>(result) = ks->oi_cd; return true;
    case GA_QUERY_IMPACT_DAMAGE: log_fault_bug("sentinel_query", ".\\ga_sentinel", 305);
    default: return false;
    }
}

const game_actor_interface ga_sentinel_interface = {"sentinel",        sentinel_init,   sentinel_deinit, sentinel_event,
                                                    sentinel_is_alive, sentinel_update, sentinel_query};
