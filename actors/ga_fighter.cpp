// The player's fighter: keyboard flight with energy costs, mouse steering,
// alternating lasers, homing missiles at the locked target, collisions with
// asteroids, the score, the chase camera and the sound listener.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "actors/actors.h"
#include "corelib/array.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "corelib/view.h"
#include "game/gameplay_core.h"
#include "game/resource_folder.h"
#include "game/the_vorn.h"
#include "game/the_vorn_particles.h"
#include "game/the_vorn_shots.h"
#include "particles/simple_particles.h"
#include "renderer/OGL_input.h"
#include "scene/camera.h"
#include "scene/collisions.h"
#include "scene/object_instance.h"
#include "scene/scene.h"
#include "sound/auren.h"

#define FIGHTER_FILE ".\\ga_fighter"

struct fighter_state {
    uint8_t alive;
    int32_t side, kind;
    float life;
    int32_t reserved;
    int32_t score;
    float shot_power, missile_power;
    float movement_factor;
    float shot_timer, missile_timer;
    object_instance *bolid, *dummy_jet, *launcher;
    uint8_t gun_toggle;
    object_instance *left_gun, *right_gun;
    float yaw_rate, yaw_rate_velocity, pitch_rate, pitch_rate_velocity;
    tacka3 aim_point;
    float speed, strafe, roll_rate;
    float station_power;
    float lasers, engine;
    auren_source_t *alarm_source, *engine_source, *beep_source;
    game_actor *target;
    sps *jet;
    auren_sound_t *alarm_sample, *shot_sample, *beep_sample, *engine_sample;
    // The rig.
    object_instance *rig_camera, *rig_target, *chase_camera, *chase_target, *hull;
    camera *cam;
    view *aim_view; // the rig camera's view, for unprojecting the cursor
    array<collision_record> *solid_hits, *nonsolid_hits;
};

static fighter_state *__state(game_actor *ga) { return static_cast<fighter_state *>(game_actor_get_state_struct(ga)); }

static object_instance *__scene_oi(game_actor *ga, const char *name)
{
    object_instance *oi = scene_get_oi_by_name(game_actor_get_scene(ga), name);
    if (!oi) {
        std::string reason = std::string("\"fighter: instance ") + name + " not found\"";
        log_fault_reason("fighter_init", FIGHTER_FILE, 120, reason.c_str());
    }
    return oi;
}

static auren_sound_t *__sample(const char *name)
{
    std::string path = resource_path((std::string("sound\\") + name).c_str());
    auren_sound_t *s = auren_load(path.c_str());
    if (!s) do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "sound: %s could not be loaded", name);
    return s;
}

static tacka3 __axis(object_instance *oi, int row)
{
    const float *m = OI_get_matrix_ws(oi);
    return tacka3_normalize({m[row * 4], m[row * 4 + 1], m[row * 4 + 2]});
}

static void __prepare_for_next_level(fighter_state *s)
{
    s->target = nullptr;
    s->life = GA_FIGHTER_MAX_LIFE;
    s->lasers = s->engine = GA_FIGHTER_MAX_ENERGY;
}

static void __prepare_for_new_game(fighter_state *s)
{
    __prepare_for_next_level(s);
    s->speed = s->strafe = s->roll_rate = 0.0f;
    s->yaw_rate = s->yaw_rate_velocity = s->pitch_rate = s->pitch_rate_velocity = 0.0f;
    s->score = 0;
    s->shot_timer = s->missile_timer = 0.0f;
    s->shot_power = s->missile_power = 1.0f;
}

static bool fighter_init(game_actor *ga)
{
    fighter_state *s = mem_new_zeroed<fighter_state>();
    if (!s) return false;
    game_actor_insert_state_struct(ga, s);
    s->bolid = game_actor_need_oi(ga, "bolid");
    s->left_gun = game_actor_need_oi(ga, "bolid_left_gun");
    s->right_gun = game_actor_need_oi(ga, "bolid_right_gun");
    s->launcher = game_actor_need_oi(ga, "bolid_torpedo_launcher");
    s->dummy_jet = game_actor_need_oi(ga, "dummy_jet");
    // "bolid" is a name fragment of every part: the body is the exact one.
    if (strcmp(OI_get_name(s->bolid), "bolid") != 0) s->bolid = __scene_oi(ga, "bolid");
    s->hull = __scene_oi(ga, "bolid_rot");
    s->rig_camera = __scene_oi(ga, "Camera_bolid");
    s->rig_target = __scene_oi(ga, "Camera_bolid.Target");
    s->chase_camera = __scene_oi(ga, "Camera_bolid01");
    s->chase_target = __scene_oi(ga, "Camera_bolid01.Target");
    s->cam = scene_get_camera(game_actor_get_scene(ga), "Camera_bolid01");
    if (!s->cam) log_fault_reason("fighter_init", FIGHTER_FILE, 131, "\"fighter: camera Camera_bolid01 not found\"");

    s->lasers = s->engine = GA_FIGHTER_MAX_ENERGY;
    s->alive = 1;
    s->life = GA_FIGHTER_MAX_LIFE;
    s->side = GA_SIDE_DEFENDERS;
    s->kind = GA_KIND_FIGHTER;
    s->shot_power = s->missile_power = s->movement_factor = 1.0f;

    if (vorn_get_particle_manager()) {
        s->jet = vorn_create_jet(OI_get_position_ws(s->bolid));
        sps_link_to_oi(s->jet, s->dummy_jet);
        sps_start_burst(s->jet);
    }

    s->alarm_sample = __sample("alarm_beep.ogg");
    s->shot_sample = __sample("fighter_shot.ogg");
    s->beep_sample = __sample("target_beep.ogg");
    s->engine_sample = __sample("engine.ogg");
    if (s->alarm_sample && (s->alarm_source = auren_source_add(s->alarm_sample))) {
        auren_set_looping(s->alarm_source, true);
        auren_set_source_relative(s->alarm_source, true);
    }
    if (s->engine_sample && (s->engine_source = auren_source_add(s->engine_sample))) {
        auren_set_looping(s->engine_source, true);
        auren_set_gain(s->engine_source, 1.0f);
        auren_set_reference_distance(s->engine_source, 10.0f);
        auren_set_rolloff_factor(s->engine_source, 0.8f);
    }
    if (s->beep_sample) s->beep_source = auren_source_add(s->beep_sample);
    s->solid_hits = array_new<collision_record>();
    s->nonsolid_hits = array_new<collision_record>();
    s->aim_view = view_create();
    if (!s->solid_hits || !s->nonsolid_hits || !s->aim_view) return false;
    game_actor_hide(ga);
    return true;
}

static void fighter_deinit(game_actor *ga)
{
    fighter_state *s = __state(ga);
    // Samples free their own sources.
    for (auren_sound_t *snd : {s->alarm_sample, s->shot_sample, s->beep_sample, s->engine_sample})
        if (snd) auren_sound_deinit(snd);
    if (s->jet) sps_stop_emitting(s->jet);
    array_free(s->solid_hits);
    array_free(s->nonsolid_hits);
    view_free(s->aim_view);
    mem_free(s);
    game_actor_remove_state_struct(ga);
}

static void __stop_sounds(fighter_state *s)
{
    for (auren_source_t *src : {s->alarm_source, s->engine_source, s->beep_source})
        if (src) auren_stop(src);
}

static void __evaluate_shot(fighter_state *s, game_actor *victim)
{
    int32_t kind = game_actor_kind(victim);
    if (kind == GA_KIND_STATION || kind == GA_KIND_SENTINEL)
        s->score -= 1000;
    else if (kind >= 0 && kind < GA_ATTACKER_KINDS)
        s->score += 100;
    else
        log_fault_bug("__fighter_evaluate_shot", FIGHTER_FILE, 402);
}

static void fighter_event(game_actor *ga, int32_t code, void *argument)
{
    fighter_state *s = __state(ga);
    switch (code) {
    case GA_EVENT_START:
        game_actor_show(ga);
        if (s->jet) sps_start_burst(s->jet);
        break;
    case GA_EVENT_STOP_SOUNDS: __stop_sounds(s); break;
    case GA_EVENT_ADD_SCORE: s->score += *static_cast<int32_t *>(argument); break;
    case GA_EVENT_NEXT_LEVEL: __prepare_for_next_level(s); break;
    case GA_EVENT_NEW_GAME: __prepare_for_new_game(s); break;
    case GA_EVENT_DAMAGE:
        s->life = std::clamp(s->life - static_cast<ga_damage *>(argument)->amount, 0.0f, GA_FIGHTER_MAX_LIFE);
        break;
    case GA_EVENT_SHOT_HIT: __evaluate_shot(s, static_cast<game_actor *>(argument)); break;
    default: break; // the fighter ignores what is not for it
    }
}

static bool fighter_is_alive(game_actor *ga) { return __state(ga)->alive != 0; }

static game_actor *__station()
{
    game_actor_system *gas = vorn_get_gas();
    return gas ? gas_find_actor(gas, "station", "station") : nullptr;
}

static float __channel_mod(fighter_state *s)
{
    game_actor *station = __station();
    if (!station) return 0.0f;
    ga_station_power_query q = {0.0f, 0.0f, OI_get_position_ws(s->bolid)};
    float functionality = 0.0f;
    if (!game_actor_query(station, GA_STATION_Q_DISTANCE_MOD, &q)) return 0.0f;
    if (!game_actor_query(station, GA_STATION_Q_FUNCTIONALITY_MOD, &functionality)) return 0.0f;
    return q.answer * functionality;
}

static bool fighter_query(game_actor *ga, int32_t code, void *result)
{
    fighter_state *s = __state(ga);
    switch (code) {
    case GA_FIGHTER_Q_POSITION:
    case GA_QUERY_POSITION: *static_cast<tacka3 *>(result) = OI_get_position_ws(s->bolid); return true;
    case GA_FIGHTER_Q_LIFE:
    case GA_QUERY_LIFE: *static_cast<float *>(result) = s->life; return true;
    case GA_FIGHTER_Q_LIFE_LEVEL:
        *static_cast<float *>(result) = std::clamp(s->life / GA_FIGHTER_MAX_LIFE, 0.0f, 1.0f);
        return true;
    case GA_FIGHTER_Q_ENGINE:
        *static_cast<float *>(result) = std::clamp(s->engine / GA_FIGHTER_MAX_ENERGY, 0.0f, 1.0f);
        return true;
    case GA_FIGHTER_Q_LASERS:
        *static_cast<float *>(result) = std::clamp(s->lasers / GA_FIGHTER_MAX_ENERGY, 0.0f, 1.0f);
        return true;
    case GA_FIGHTER_Q_STATION_POWER: *static_cast<float *>(result) = s->station_power; return true;
    case GA_FIGHTER_Q_CHANNEL_MOD: *static_cast<float *>(result) = __channel_mod(s); return true;
    case GA_FIGHTER_Q_RIG: static_cast<ga_fighter_rig *>(result)->cam = s->cam; return true;
    case GA_FIGHTER_Q_SCORE: *static_cast<int32_t *>(result) = s->score; return true;
    case GA_FIGHTER_Q_TARGET: *static_cast<game_actor **>(result) = s->target; return true;
    case GA_QUERY_KIND: *static_cast<int32_t *>(result) = s->kind; return true;
    case GA_QUERY_SIDE: *static_cast<int32_t *>(result) = s->side; return true;
    case GA_QUERY_SPEED: *static_cast<float *>(result) = s->speed; return true;
    default: return false;
    }
}

// Energy from the station's power field, or a trickle outside it.
static void __recharge(fighter_state *s, float dt)
{
    float p = 0.0f;
    if (game_actor *station = __station()) {
        ga_station_power_query q = {dt, 0.0f, OI_get_position_ws(s->bolid)};
        if (game_actor_query(station, GA_STATION_Q_ENERGY, &q)) p = q.answer;
    }
    s->station_power = p;
    float gain = p <= 0.0f ? dt : p;
    s->lasers = std::clamp(s->lasers + gain, 0.0f, GA_FIGHTER_MAX_ENERGY);
    s->engine = std::clamp(s->engine + gain, 0.0f, GA_FIGHTER_MAX_ENERGY);
}

static bool __held(int key_a, int key_b) { return OGL_input_get_key(key_a) || OGL_input_get_key(key_b); }

// Moves value towards 0 by rate * dt without passing it.
static float __decay(float value, float rate, float dt)
{
    if (value > 0.0f) return std::max(0.0f, value - rate * dt);
    if (value < 0.0f) return std::min(0.0f, value + rate * dt);
    return value;
}

static void __keys(fighter_state *s, float dt)
{
    bool forward = __held('W', OGL_KEY_UP);
    bool backward = !forward && __held('S', OGL_KEY_DOWN);
    if (forward || backward) {
        float a = std::min(dt, s->engine * 0.25f);
        if (a > 0.0f) {
            s->speed = std::clamp(s->speed + (forward ? 3.0f : -3.0f) * a, -6.0f, 6.0f);
            s->engine -= 4.0f * a;
        }
    }
    bool left = __held('A', OGL_KEY_LEFT);
    bool right = !left && __held('D', OGL_KEY_RIGHT);
    if (left || right) {
        float a = std::min(dt, s->engine * 0.2f);
        if (a > 0.0f) {
            s->strafe = std::clamp(s->strafe + (left ? -4.0f : 4.0f) * a, -6.0f, 6.0f);
            s->engine -= 5.0f * a;
        }
    }
    bool roll_q = __held('Q', OGL_KEY_PAGEUP);
    bool roll_e = !roll_q && __held('E', OGL_KEY_PAGEDOWN);
    if (roll_q || roll_e) {
        float a = std::min(dt, s->engine * 0.2f);
        if (a > 0.0f) {
            s->roll_rate = std::clamp(s->roll_rate + (roll_q ? -3.0f : 3.0f) * a, -2.0f, 2.0f);
            s->engine -= 5.0f * a;
        }
    }
    s->engine -= std::fabs(s->speed) / 6.0f * dt * 3.0f;
    s->engine = std::max(s->engine, 0.0f);
    if (!roll_q && !roll_e) s->roll_rate = __decay(s->roll_rate, 3.0f, dt);
    if (!forward && !backward) s->speed = __decay(s->speed, 2.0f, dt);
    if (!left && !right) s->strafe = __decay(s->strafe, 4.0f, dt);
}

static void __smooth_cd(float *current, float *velocity, float target, float smooth_time, float dt)
{
    float omega = 2.0f / smooth_time;
    float x = omega * dt;
    float e = 1.0f / (1.0f + x + 0.48f * x * x + 0.235f * x * x * x);
    float d = *current - target;
    float t = (*velocity + omega * d) * dt;
    *velocity = (*velocity - omega * t) * e;
    *current = target + (d + t) * e;
}

static void __steer(fighter_state *s, float dt)
{
    int mx, my;
    OGL_input_get_mouse_pos(&mx, &my);
    __smooth_cd(&s->yaw_rate, &s->yaw_rate_velocity, float(mx - 400) / 200.0f, 0.3f, dt);
    __smooth_cd(&s->pitch_rate, &s->pitch_rate_velocity, float(my - 300) / 150.0f, 0.3f, dt);

    quaternion rot = OI_get_rotation(s->bolid);
    struct {
        float rate;
        tacka3 axis;
    } turns[3] = {{s->roll_rate, {1, 0, 0}}, {s->yaw_rate, {0, 1, 0}}, {s->pitch_rate, {0, 0, -1}}};
    bool turned = false;
    for (const auto &t : turns) {
        if (std::fabs(t.rate) < 0.001f) continue;
        rot = quaternion_mul(quaternion_from_axis_angle(t.axis, dt * t.rate), rot);
        turned = true;
    }
    if (turned) {
        quaternion_normalize(&rot);
        OI_set_rotation(s->bolid, rot);
    }
}

static void __collide(game_actor *ga, fighter_state *s)
{
    game_actor_system *gas = game_actor_get_parent_gas(ga);
    for (const collision_record &r : *s->solid_hits) {
        object_instance *oi = collision_record_oi(&r);
        game_actor *other = gas_find_actor_by_oi(gas, oi);
        do_log(LOG_INFO, LOG_TO_DEBUGGER, "fighter: collision with solid: %s", OI_get_name(oi));
        if (!other) {
            // Solid scenery of a designer's scene: the ship slides along it.
            static const object_instance *warned;
            if (warned != oi)
                do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE,
                       "fighter: solid instance %.200s belongs to no actor; it is scenery", OI_get_name(oi));
            warned = oi;
            continue;
        }
        int32_t kind = game_actor_kind(other);
        if (!game_actor_is_alive(other) || kind < GA_KIND_ASTEROID_A || kind > GA_KIND_ASTEROID_D) continue;
        ga_damage d = {0.0f, 0, {0, 0, 0}};
        game_actor_query(other, GA_QUERY_IMPACT_DAMAGE, &d.amount);
        game_actor_query(other, GA_QUERY_POSITION, &d.point);
        fighter_event(ga, GA_EVENT_DAMAGE, &d);
        if (vorn_get_particle_manager()) vorn_create_explosion(d.point);
        game_actor_event(other, GA_EVENT_DEACTIVATE, nullptr);
    }
    if (s->nonsolid_hits->get_size())
        do_log(LOG_INFO, LOG_TO_DEBUGGER, "fighter: collision with nonsolid: %s",
               OI_get_name(collision_record_oi(&(*s->nonsolid_hits)[0])));
}

static void __move(game_actor *ga, fighter_state *s, float dt)
{
    if (s->speed == 0.0f && s->strafe == 0.0f) return;
    tacka3 x = __axis(s->bolid, 0), z = __axis(s->bolid, 2);
    tacka3 move = tacka3_scale(
        tacka3_add(tacka3_scale(x, s->speed * std::fabs(s->speed)), tacka3_scale(z, s->strafe * std::fabs(s->strafe))),
        -dt * s->movement_factor);
    s->solid_hits->clear();
    s->nonsolid_hits->clear();
    OI_move_with_collision_detection_ws(s->bolid, game_actor_get_scene(ga), move, s->solid_hits, s->nonsolid_hits);
    __collide(ga, s);
}

static void __fire(game_actor *ga, fighter_state *s, float dt)
{
    if (OGL_input_get_mouse_button(OGL_MOUSE_BUTTON_LEFT) && s->lasers >= 2.0f && s->shot_timer >= 0.2f) {
        s->gun_toggle ^= 1;
        object_instance *gun = s->gun_toggle ? s->right_gun : s->left_gun;
        tacka3 from = OI_get_position_ws(gun);
        tacka3 dir = tacka3_sub(s->aim_point, from);
        if (tacka3_length2(dir) < 1e-12f) dir = tacka3_neg(__axis(s->bolid, 0));
        vorn_shot_launch(from, tacka3_normalize(dir), s->bolid, s->shot_power, ga);
        s->lasers -= 2.0f;
        s->shot_timer = 0.0f;
        if (s->shot_sample) auren_play(s->shot_sample, AUREN_PLAY_FORGET);
    }
    s->shot_timer += dt;
}

static void __acquire_target(game_actor *ga, fighter_state *s)
{
    tacka3 forward = tacka3_neg(__axis(s->bolid, 0));
    tacka3 here = OI_get_position_ws(s->bolid);
    float best = 0.0f;
    game_actor *found = nullptr;
    dlist_for_each(n, &game_actor_get_parent_gas(ga)->actors)
    {
        game_actor *other = dlist_entry<game_actor>(n);
        if (other == ga || !game_actor_is_attacker(other) || !game_actor_is_alive(other)) continue;
        tacka3 at;
        if (!game_actor_query(other, GA_QUERY_POSITION, &at)) continue;
        tacka3 to = tacka3_sub(at, here);
        if (tacka3_length2(to) < 1e-12f) continue;
        float d = tacka3_dot(tacka3_normalize(to), forward);
        if (d >= 0.9f && d > best) {
            best = d;
            found = other;
        }
    }
    if (found && found != s->target && s->beep_source) auren_source_play(s->beep_source);
    s->target = found;
}

static void __launch_missile(game_actor *ga, fighter_state *s, float dt)
{
    if (OGL_input_get_mouse_button(OGL_MOUSE_BUTTON_RIGHT) && s->lasers >= 30.0f && s->target) {
        OI_calc_world_transform(s->launcher);
        vorn_missile_launch(OI_get_position_ws(s->launcher), ga, s->target, 0);
        s->lasers -= 30.0f;
        s->missile_timer = 0.0f;
    }
    s->missile_timer += dt;
}

static void __sounds(fighter_state *s)
{
    if (s->alarm_source) {
        bool alarm = s->lasers < 10.0f || s->engine < 10.0f;
        if (alarm && !auren_is_playing(s->alarm_source)) auren_source_play(s->alarm_source);
        if (!alarm && auren_is_playing(s->alarm_source)) auren_stop(s->alarm_source);
    }
    if (s->engine_source) {
        auren_set_pitch(s->engine_source, std::clamp(1.0f + s->speed / 6.0f, AUREN_PITCH_MIN, AUREN_PITCH_MAX));
        auren_set_position_ws(s->engine_source, OI_get_position_ws(s->bolid));
        if (!auren_is_playing(s->engine_source)) auren_source_play(s->engine_source);
    }
}

static void __jet(fighter_state *s)
{
    if (!s->jet) return;
    tacka3 dir = tacka3_neg(__axis(s->dummy_jet, 0));
    vorn_update_jet(s->jet, tacka3_scale(dir, 5.0f));
    sps_set_burst_factor(s->jet, std::max(std::clamp(s->speed / 6.0f, 0.0f, 1.0f) * 100.0f, 10.0f));
}

// The chase camera lags the steering and the hull banks into the turns.
static void __update_camera(fighter_state *s)
{
    float sp = std::clamp(std::fabs(s->speed) / 6.0f, 0.0f, 1.0f);
    float y = s->yaw_rate * 0.5f, p = s->pitch_rate * 0.5f;
    tacka3 X = __axis(s->rig_camera, 0), Y = __axis(s->rig_camera, 1), Z = __axis(s->rig_camera, 2);
    float k = p <= 0.0f ? 0.4f : 1.2f;
    tacka3 offset = tacka3_scale(
        tacka3_add(tacka3_add(tacka3_scale(Y, -p * k), tacka3_scale(Z, -0.1f * std::fabs(p))), tacka3_scale(X, y)), sp);
    tacka3 cam_pos = tacka3_add(OI_get_position_ws(s->rig_camera), offset);
    tacka3 target_pos = tacka3_add(OI_get_position_ws(s->rig_target), offset);
    OI_set_position_ws(s->chase_camera, cam_pos);
    OI_set_position_ws(s->chase_target, target_pos);
    OI_set_rotation_ws(s->chase_camera, OI_get_rotation_ws(s->rig_camera));
    // The engine's cameras look along their -z axis: z points from the target back to the camera.
    tacka3 back = tacka3_sub(cam_pos, target_pos);
    if (tacka3_length2(back) > 1e-12f) OI_rotate_axis_to_vector(s->chase_camera, tacka3_normalize(back), 2);

    quaternion bank =
        quaternion_mul(quaternion_mul(quaternion_from_axis_angle({1, 0, 0}, s->roll_rate * 0.5f * 0.3f + y),
                                      quaternion_from_axis_angle({0, 0, 1}, p <= 0.0f ? p * -0.3f : p * -0.7f)),
                       quaternion_from_axis_angle({0, 1, 0}, y * 0.3f));
    OI_set_rotation(s->hull, bank);

    OI_calc_world_transform(s->chase_camera);
    view *v = vorn_get_view_camera();
    if (v && camera_setup_view(s->cam, v)) {
        auren_listener_set_pos(view_get_position(v));
        auren_listener_set_orientation(tacka3_sub(view_get_target(v), view_get_position(v)), view_get_up(v));
    }
}

// The aim point: where the cursor's ray meets the locked target, or 100 units
// out along it.
static void __update_target(fighter_state *s)
{
    view *v = s->aim_view;
    if (!camera_setup_view(s->cam, v)) return;
    int mx, my;
    OGL_input_get_mouse_pos(&mx, &my);
    tacka3 near_p, far_p;
    if (!view_unproject(v, float(mx), float(599 - my), 0.0f, &near_p) ||
        !view_unproject(v, float(mx), float(599 - my), 1.0f, &far_p))
        log_fault_bug("__fighter_update_target", FIGHTER_FILE, 688);
    tacka3 dir = tacka3_normalize(tacka3_sub(far_p, near_p));
    s->aim_point = tacka3_add(near_p, tacka3_scale(dir, 100.0f));
    object_instance *main_oi = nullptr;
    if (!s->target || !game_actor_query(s->target, GA_QUERY_MAIN_OI, &main_oi) || !main_oi) return;
    array<collision_record> *hits = s->nonsolid_hits;
    hits->clear();
    intersect_ray_and_scene(hits, OI_get_scene(s->bolid), near_p, dir);
    for (const collision_record &r : *hits)
        if (collision_record_oi(&r) == main_oi) {
            s->aim_point = r.point;
            break;
        }
    hits->clear();
}

static void fighter_update(game_actor *ga, float dt)
{
    fighter_state *s = __state(ga);
    if (!s->alive) return;
    __recharge(s, dt);
    __keys(s, dt);
    __steer(s, dt);
    __move(ga, s, dt);
    __fire(ga, s, dt);
    __acquire_target(ga, s);
    __launch_missile(ga, s, dt);
    __sounds(s);
    __jet(s);
    __update_camera(s);
    __update_target(s);
}

const game_actor_interface ga_fighter_interface = {
    "fighter", fighter_init, fighter_deinit, fighter_event, fighter_is_alive, fighter_update, fighter_query,
};
