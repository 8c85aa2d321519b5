#include "the_vorn_game.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "actors/actors.h"
#include "corelib/drand.h"
#include "corelib/log.h"
#include "corelib/view.h"
#include "frontend/configuration.h"
#include "frontend/configuration_run.h"
#include "frontend/gui_avi_player.h"
#include "game/gameplay_core.h"
#include "game/resource_folder.h"
#include "game/the_vorn.h"
#include "game/the_vorn_asteroids.h"
#include "game/the_vorn_hi_score.h"
#include "game/the_vorn_particles.h"
#include "game/the_vorn_session.h"
#include "game/the_vorn_settings.h"
#include "game/the_vorn_shots.h"
#include "game/the_vorn_ui.h"
#include "particles/simple_particles.h"
#include "renderer/OGL_blitter.h"
#include "renderer/OGL_input.h"
#include "renderer/OGL_main.h"
#include "renderer/OGL_render_queue.h"
#include "scene/camera.h"
#include "scene/object_instance.h"
#include "scene/oi_fk_mixer.h"
#include "scene/scene.h"
#include "sound/auren.h"
#include "sound/auren_stream.h"

static vorn_passes passes = {0, 0, 0};
static int32_t game_state = VORN_GAME_INTRO;

static uint8_t intro_started;
static gap *intro_video;
static auren_stream_t *intro_stream;
static uint8_t title_started;
static uint8_t level_running, statistics_shown, paused;
static float voice_timer, voice_interval = 10.0f;
static motion_instance *title_motion;
static auren_stream_t *title_stream;

static float target_fov, smoothed_fov;

static int32_t current_level = 1;
// Summed in double: 900 frames of 0.2 s in float fall short of 180 s by 1.6 ms
// and the level would run a frame too long.
static double level_time;
static vorn_level_statistics level_statistics;

// Per attacker kind, in the order asteroid_a..d, junk_a..d.
static const vorn_chance LEVEL_CHANCES[VORN_LEVELS][GA_ATTACKER_KINDS] = {
    {{0, 20}, {56, 80}, {81, 90}, {91, 100}, {0, 0}, {0, 0}, {0, 0}, {21, 55}},
    {{0, 18}, {31, 40}, {61, 70}, {85, 90}, {91, 100}, {71, 85}, {41, 60}, {19, 30}},
};
static vorn_chance chances[GA_ATTACKER_KINDS];

struct vorn_shake {
    uint8_t active;
    float duration, elapsed, amplitude, sub_timer;
    tacka3 previous, next, offset;
};
static vorn_shake shake;

static int32_t letterbox_state = VORN_LETTERBOX_HIDDEN;
static float letterbox_height;

vorn_passes *vorn_get_passes() { return &passes; }

void vorn_game_set_state(int32_t state) { game_state = state; }

int32_t vorn_game_get_state() { return game_state; }

int32_t vorn_get_current_level() { return current_level; }

float vorn_get_level_time() { return float(level_time); }

int32_t vorn_get_remaining_seconds()
{
    float left = VORN_LEVEL_LENGTH - float(level_time);
    return left > 0.0f ? int32_t(left) : 0;
}

vorn_level_statistics *vorn_get_level_statistics() { return &level_statistics; }

const vorn_chance *vorn_get_chances() { return chances; }

void vorn_level_insert_chances(int32_t level)
{
    if (level < 1 || level > VORN_LEVELS) log_fault_bug("vorn_level_insert_chances", ".\\the_vorn", 1096);
    for (int i = 0; i < GA_ATTACKER_KINDS; i++) chances[i] = LEVEL_CHANCES[level - 1][i];
    do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "inserted chances for level: %d", level);
}

static float __rand_below(float limit) { return limit > 0.0f ? float(drand_range(0.0, limit)) : 0.0f; }

static tacka3 __shake_point(float amplitude)
{
    return {__rand_below(amplitude), __rand_below(amplitude), __rand_below(amplitude)};
}

void vorn_start_shake(float duration, float amplitude)
{
    shake.active = 1;
    shake.duration = duration;
    shake.amplitude = amplitude;
    shake.elapsed = 0.0f;
    shake.sub_timer = 0.0f;
    shake.previous = shake.offset = {0.0f, 0.0f, 0.0f};
    shake.next = __shake_point(amplitude);
}

// The offset the shake adds to the view this pass.
static tacka3 __shake_update(float dt)
{
    if (!shake.active) return {0.0f, 0.0f, 0.0f};
    float ratio = shake.duration > 0.0f ? shake.elapsed / shake.duration : 1.0f;
    float decay = 1.0f - std::clamp(ratio, 0.0f, 1.0f);
    if (shake.elapsed >= shake.duration && shake.sub_timer >= 0.08f) {
        shake.active = 0;
        shake.offset = {0.0f, 0.0f, 0.0f};
        return shake.offset;
    }
    shake.elapsed += dt;
    if (shake.sub_timer >= 0.08f) {
        shake.sub_timer = 0.0f;
        shake.previous = shake.next;
        shake.next = __shake_point(shake.amplitude * decay);
        shake.offset = {0.0f, 0.0f, 0.0f};
    } else {
        float t = std::clamp(shake.sub_timer * 12.5f, 0.0f, 1.0f);
        shake.offset = tacka3_add(shake.previous, tacka3_scale(tacka3_sub(shake.next, shake.previous), t));
    }
    shake.sub_timer += dt;
    return shake.offset;
}

static camera *__cinematic_camera()
{
    camera *c = scene_get_camera(vorn_get_scene(), VORN_CINEMATIC_CAMERA);
    if (!c) log_fault_reason("vorn_level_get_cinematic_cam", ".\\the_vorn", 1204, "\"cinema_Camera01 not found\"");
    return c;
}

// The camera the pass looks through: the cinematic camera during the title,
// otherwise the fighter's chase camera.
static camera *__view_source()
{
    if (game_state == VORN_GAME_TITLE) return __cinematic_camera();
    ga_fighter_rig rig = {nullptr};
    if (game_actor_system *gas = vorn_get_gas())
        if (game_actor *f = gas_find_actor(gas, "fighter", "fighter")) game_actor_query(f, GA_FIGHTER_Q_RIG, &rig);
    return rig.cam;
}

float vorn_view_source_fov()
{
    camera *c = __view_source();
    return c ? camera_get_fov(c) : 0.0f;
}

void vorn_set_smoothed_fov(float fov) { target_fov = smoothed_fov = fov; }

static void __clear_presses()
{
    OGL_input_clear_keys();
    OGL_input_clear_mouse_buttons();
}

static game_actor *__fighter() { return vorn_get_game_actor("fighter", "fighter"); }
static game_actor *__station() { return vorn_get_game_actor("station", "station"); }

static void __fighter_event(int32_t code) { game_actor_event(__fighter(), code, nullptr); }

// In a level the pointer steers: it is hidden and kept inside the window.
static void __capture_pointer(bool on)
{
    if (OGL_is_initialised()) OGL_input_set_cursor_visible(!on, on);
}

// The configuration and hi-score screens draw their own cursor: the system
// pointer is hidden but free to leave the window.
static void __screen_pointer()
{
    if (OGL_is_initialised()) OGL_input_set_cursor_visible(false, false);
}

static void __intro_teardown()
{
    if (intro_stream) auren_stream_stop_and_deinit(intro_stream);
    if (intro_video) gap_free(intro_video);
    intro_stream = nullptr;
    intro_video = nullptr;
    intro_started = 0;
    game_state = VORN_GAME_TITLE;
}

// Intro (state 0): the video with its soundtrack, skipped by a click, Space
// or Escape. Without a window there is nothing to show: it hands over at once;
// demos and the autopilot start at the title too (the video's pace is not
// the game's).
static bool __intro_step(float dt)
{
    if (!intro_started) {
        passes.sky = passes.scene = 0;
        intro_started = 1;
        if (vorn_is_headless() || vorn_session_is_active()) {
            __intro_teardown();
            return true;
        }
        std::string sound = resource_path("intro\\intro.ogg");
        intro_stream = auren_stream(sound.c_str());
        if (!intro_stream) log_fault_bug("vorn_level_loop_intro", ".\\the_vorn", 757);
        std::string video = resource_path("intro\\intro.bik");
        if (!gap_load(&intro_video, video.c_str())) log_fault_bug("vorn_level_loop_intro", ".\\the_vorn", 760);
        auren_stream_play(intro_stream);
    }
    gap_update(intro_video, dt);
    if (gap_is_playing(intro_video)) {
        if (OGL_input_get_mouse_button(OGL_MOUSE_BUTTON_LEFT) || OGL_input_get_key(OGL_KEY_SPACE) ||
            OGL_input_get_key(OGL_KEY_ESC)) {
            __clear_presses();
            __intro_teardown();
        }
        return true;
    }
    auren_stream_stop(intro_stream);
    __intro_teardown();
    return true;
}

static void __title_teardown(object_instance *root)
{
    OI_set_desc(root, "invisible", "true");
    if (title_motion) motion_instance_stop(title_motion, 0.0f);
    if (title_stream) auren_stream_stop_and_deinit(title_stream);
    title_stream = nullptr;
    title_started = 0;
    game_state = VORN_GAME_LEVEL;
}

// The configuration screen (F9) from the title, the level and the statistics.
// Without a window there is no screen: F9 only drops the presses that led here.
static void __configuration_screen()
{
    __clear_presses();
    // A demo or the autopilot replays frame by frame: a screen with frames
    // of its own would take input outside them.
    if (vorn_is_headless() || vorn_session_is_active()) return;
    __screen_pointer();
    configuration_run(resource_folder_get(), "config\\");
    config_apply_changes(vorn_get_scene());
    // The particle systems drew with the textures the reload freed.
    if (config_changed(CONFIG_CHANGED_TEX_SIZE | CONFIG_CHANGED_TEX_QUALITY))
        sps_manager_textures_reloaded(vorn_get_particle_manager());
    // Particles on: the configured quantity (the manager runs with at least
    // its least); off: none.
    vorn_settings_apply_particles();
    vorn_restart_frame_timer();
}

static bool __title_step(float dt)
{
    (void)dt;
    scene *sc = vorn_get_scene();
    object_instance *root = scene_get_oi_by_name(sc, VORN_CINEMATIC_ROOT);
    if (!root) log_fault_bug("vorn_level_loop_title", ".\\the_vorn", 821);

    if (!title_started) {
        std::string path = resource_path("sound\\intro.ogg");
        title_stream = auren_stream(path.c_str());
        if (!title_stream) log_fault_bug("vorn_level_loop_title", ".\\the_vorn", 812);
        passes.sky = passes.scene = 1;
        OI_set_desc(root, "invisible", "false");
        if (!title_motion) {
            motion *m = scene_get_motion(sc, VORN_CINEMATIC_ROOT, nullptr);
            title_motion = m ? motion_instance_create(root, m) : nullptr;
            ASSERT(title_motion != NULL);
        }
        motion_instance_stop(title_motion, 0.0f);
        motion_instance_set_current_time(title_motion, 0.0f);
        motion_instance_set_speed(title_motion, 1.0f);
        motion_instance_play(title_motion, MOTION_PLAY_ONCE, 0.2f, false);
        vorn_letterbox_extend();
        auren_stream_play(title_stream);
        title_started = 1;
    }

    auren_listener_set_pos(OI_get_position_ws(root));

    bool skip = OGL_input_get_key(OGL_KEY_SPACE) || OGL_input_get_mouse_button(OGL_MOUSE_BUTTON_LEFT);
    if (motion_instance_is_playing(title_motion) && !skip) {
        if (OGL_input_get_key(OGL_KEY_F9)) {
            auren_stream_pause(title_stream);
            __configuration_screen();
            auren_stream_play(title_stream);
        } else if (OGL_input_get_key(OGL_KEY_ESC)) {
            // The level starts in this same frame: the press that skipped the
            // title must not end it at once.
            __clear_presses();
            __title_teardown(root);
        }
        return true;
    }
    __clear_presses();
    __title_teardown(root);
    return true;
}

static void __level_start()
{
    passes.sky = passes.scene = 1;
    level_statistics = {};
    vorn_level_insert_chances(current_level);
    __fighter_event(GA_EVENT_START);
    vorn_letterbox_retract();
    OGL_input_set_mouse_pos(400, 300);
    passes.hud = 1;
    if (auren_stream_t *music = vorn_get_music_stream()) {
        auren_stream_play(music);
        auren_stream_set_gain(music, 0.85f);
    }
    __capture_pointer(true);
    level_running = 1;
}

static void __pause_overlay()
{
    if (!OGL_is_initialised()) return;
    static const float shade[4] = {0.30f, 0.34f, 0.24f, 0.5f};
    OGL_blitter_begin_2d(800.0f, 600.0f);
    OGL_blit_rect(shade, 0.0f, 0.0f, 800.0f, 600.0f, OGL_BLIT_ALPHA);
    OGL_blitter_end_2d();
    vorn_ui_draw_pause_picture();
}

static void __radio_voice(float dt)
{
    voice_timer += dt;
    if (voice_timer <= voice_interval) return;
    voice_timer = 0.0f;
    voice_interval = float(drand_range(10.0, 22.0));
    int i = std::min(int(drand_range(0.0, VORN_VOICES)), VORN_VOICES - 1);
    if (auren_sound_t *voice = vorn_get_voice(i)) auren_play(voice, AUREN_PLAY_FORGET);
}

static void __game_over()
{
    __clear_presses();
    level_running = 0;
    __fighter_event(GA_EVENT_STOP_SOUNDS);
    __capture_pointer(false);
    game_state = VORN_GAME_HISCORE;
}

static bool __level_step(float dt)
{
    if (!level_running) __level_start();
    if (OGL_input_get_key('P')) {
        paused = !paused;
        if (paused) __fighter_event(GA_EVENT_STOP_SOUNDS);
        __capture_pointer(!paused);
    }
    if (paused) return true;
    level_time += dt;
    vorn_asteroids_launch_timer(dt);
    gas_update_all(vorn_get_gas(), dt);
    __radio_voice(dt);
    vorn_shots_update(dt);
    vorn_missiles_update(dt);

    float station_life = 0.0f, fighter_life = 0.0f;
    game_actor_query(__station(), GA_QUERY_LIFE, &station_life);
    game_actor_query(__fighter(), GA_FIGHTER_Q_LIFE, &fighter_life);

    if (level_time >= double(VORN_LEVEL_LENGTH) - 1e-9) {
        level_running = 0;
        __fighter_event(GA_EVENT_STOP_SOUNDS);
        __capture_pointer(false);
        game_state = VORN_GAME_STATISTICS;
        return true;
    }
    if (OGL_input_get_key(OGL_KEY_F9)) {
        auren_stream_t *music = vorn_get_music_stream();
        if (music) auren_stream_pause(music);
        __fighter_event(GA_EVENT_STOP_SOUNDS);
        int x, y;
        OGL_input_get_mouse_pos(&x, &y);
        __configuration_screen();
        OGL_input_set_mouse_pos(x, y);
        __capture_pointer(true);
        __clear_presses();
        __fighter_event(GA_EVENT_START);
        if (music) auren_stream_play(music);
    } else if (OGL_input_get_key(OGL_KEY_ESC) || station_life <= 0.0f || fighter_life <= 0.0f) {
        __game_over();
    }
    return true;
}

static bool __statistics_step(float dt)
{
    (void)dt;
    if (!statistics_shown) {
        __clear_presses();
        passes.hud = 0;
        passes.sky = 1;
        passes.scene = 0;
        vorn_letterbox_extend();
        statistics_shown = 1;
    }
    if (OGL_input_get_key(OGL_KEY_SPACE)) {
        statistics_shown = 0;
        int32_t next = current_level + 1;
        if (next <= VORN_LEVELS) {
            vorn_prepare_level(next);
            game_state = VORN_GAME_LEVEL;
        } else {
            __fighter_event(GA_EVENT_STOP_SOUNDS);
            game_state = VORN_GAME_HISCORE;
        }
    } else if (OGL_input_get_key(OGL_KEY_F9)) {
        __configuration_screen();
    } else if (OGL_input_get_key(OGL_KEY_ESC)) {
        statistics_shown = 0;
        __fighter_event(GA_EVENT_STOP_SOUNDS);
        game_state = VORN_GAME_HISCORE;
    }
    return true;
}

// The hi-score screen: 1 new game (the screen has started it), 2 quit,
// anything else stays.
static int32_t __hiscore_step(float dt)
{
    passes.hud = 0;
    __screen_pointer();
    return vorn_hi_score_step(dt);
}

void vorn_prepare_level(int32_t level)
{
    game_actor_system *gas = vorn_get_gas();
    dlist_for_each(n, &gas->actors)
    {
        game_actor *ga = dlist_entry<game_actor>(n);
        if (game_actor_is_attacker(ga) && game_actor_is_alive(ga)) game_actor_event(ga, GA_EVENT_DEACTIVATE, nullptr);
    }
    __fighter_event(GA_EVENT_NEXT_LEVEL);
    level_time = 0.0;
    vorn_asteroids_prepare_level(level);
    vorn_level_insert_chances(level);
    current_level = level;
}

void vorn_new_game()
{
    vorn_ui_clear_counters();
    game_actor_system *gas = vorn_get_gas();
    dlist_for_each(n, &gas->actors)
    {
        game_actor *ga = dlist_entry<game_actor>(n);
        if (game_actor_kind(ga) == GA_KIND_SENTINEL && game_actor_is_alive(ga))
            game_actor_event(ga, GA_EVENT_REVIVE, nullptr);
    }
    vorn_shots_deactivate_all();
    __fighter_event(GA_EVENT_NEW_GAME);
    game_actor_event(__station(), GA_EVENT_START, nullptr);
    OGL_input_set_mouse_pos(400, 300);
    paused = 0;
    level_running = 0;
    statistics_shown = 0;
    current_level = 1;
    vorn_prepare_level(1);
}

bool vorn_game_loop(float dt)
{
    bool ok;
    switch (game_state) {
    case VORN_GAME_INTRO: ok = __intro_step(dt); break;
    case VORN_GAME_TITLE: ok = __title_step(dt); break;
    case VORN_GAME_LEVEL: return __level_step(dt);
    case VORN_GAME_STATISTICS: return __statistics_step(dt);
    case VORN_GAME_HISCORE:
        switch (__hiscore_step(dt)) {
        case 1: game_state = VORN_GAME_LEVEL; return true;
        case 2: return false;
        default: return true;
        }
    default: log_fault_bug("vorn_game_loop", ".\\the_vorn", 1153);
    }
    if (ok && game_state == VORN_GAME_LEVEL) return __level_step(0.0f);
    return ok;
}

void vorn_game_deinit()
{
    if (intro_started) __intro_teardown();
    if (title_stream) auren_stream_stop_and_deinit(title_stream);
    title_stream = nullptr;
    title_motion = nullptr; // the instance's mixer owns it
    title_started = 0;
    level_running = statistics_shown = paused = 0;
    shake = {};
    letterbox_state = VORN_LETTERBOX_HIDDEN;
    letterbox_height = 0.0f;
    game_state = VORN_GAME_INTRO;
}

bool vorn_game_is_paused() { return paused != 0; }

void vorn_game_draw_overlay()
{
    if (!OGL_is_initialised()) return;
    switch (game_state) {
    case VORN_GAME_INTRO:
        if (intro_video) gap_draw(intro_video, 0.0f, 75.0f, 800.0f, 450.0f);
        break;
    case VORN_GAME_LEVEL:
        if (paused) __pause_overlay();
        break;
    case VORN_GAME_STATISTICS:
        if (statistics_shown) vorn_ui_draw_statistics(current_level);
        break;
    case VORN_GAME_HISCORE:
        if (vorn_hi_score_get_screen()->started) vorn_hi_score_draw();
        break;
    default: break;
    }
}

void vorn_set_voice_interval(float seconds)
{
    voice_interval = seconds;
    voice_timer = 0.0f;
}

void vorn_camera_and_scene_pass(float dt)
{
    scene *sc = vorn_get_scene();
    view *v = vorn_get_view_camera();
    camera *source = __view_source();
    if (!source) return;

    target_fov = camera_get_fov(source);
    camera_setup_view(source, v);
    view_set_viewport(v, 800, 600);
    smoothed_fov += (target_fov - smoothed_fov) * 2.0f * dt;
    view_set_fov(v, smoothed_fov);

    tacka3 eye = view_get_position(v);
    vorn_skysphere_follow(eye);

    tacka3 offset = __shake_update(dt);
    if (offset.x != 0.0f || offset.y != 0.0f || offset.z != 0.0f) {
        view_set_position(v, tacka3_add(eye, offset));
        view_set_target(v, tacka3_add(view_get_target(v), offset));
        view_compute_view_matrix(v);
    }
    view_compute_projection(v);

    scene_update(sc, view_get_position(v), dt);
    scene_update_visibility(sc, v);
    if (OGL_is_initialised()) OGL_render_frame(v);

    if (vorn_get_particle_manager()) vorn_update_particles(dt, v);
}

void vorn_letterbox_extend()
{
    if (letterbox_state != VORN_LETTERBOX_SHOWN) letterbox_state = VORN_LETTERBOX_EXTENDING;
}

void vorn_letterbox_retract()
{
    if (letterbox_state != VORN_LETTERBOX_HIDDEN) letterbox_state = VORN_LETTERBOX_RETRACTING;
}

void vorn_letterbox_update(float dt)
{
    if (letterbox_state == VORN_LETTERBOX_EXTENDING) {
        letterbox_height += VORN_LETTERBOX_SPEED * dt;
        if (letterbox_height >= VORN_LETTERBOX_MAX_HEIGHT) {
            letterbox_height = VORN_LETTERBOX_MAX_HEIGHT;
            letterbox_state = VORN_LETTERBOX_SHOWN;
        }
    } else if (letterbox_state == VORN_LETTERBOX_RETRACTING) {
        letterbox_height -= VORN_LETTERBOX_SPEED * dt;
        if (letterbox_height <= 0.0f) {
            letterbox_height = 0.0f;
            letterbox_state = VORN_LETTERBOX_HIDDEN;
        }
    }
}

void vorn_letterbox_draw()
{
    if (letterbox_height <= 0.0f) return;
    static const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    OGL_blitter_begin_2d(800.0f, 600.0f);
    OGL_blit_rect_corners_f(black, 0.0f, 0.0f, 800.0f, letterbox_height, 0);
    OGL_blit_rect_corners_f(black, 0.0f, 600.0f - letterbox_height, 800.0f, 601.0f, 0);
    OGL_blitter_end_2d();
}

int32_t vorn_letterbox_get_state() { return letterbox_state; }

float vorn_letterbox_get_height() { return letterbox_height; }
