#include "the_vorn.h"

#include <cstdio>
#include <string>

#include "actors/actors.h"
#include "corelib/drand.h"
#include "corelib/hw_timer.h"
#include "corelib/log.h"
#include "corelib/view.h"
#include "frontend/configuration.h"
#include "frontend/game_recorder.h"
#include "frontend/gui_text_writer.h"
#include "frontend/splash.h"
#include "game/gameplay_core.h"
#include "game/resource_folder.h"
#include "game/the_vorn_asteroids.h"
#include "game/the_vorn_game.h"
#include "game/the_vorn_hi_score.h"
#include "game/the_vorn_particles.h"
#include "game/the_vorn_session.h"
#include "game/the_vorn_settings.h"
#include "game/the_vorn_shots.h"
#include "game/the_vorn_ui.h"
#include "renderer/OGL_frame_stats.h"
#include "renderer/OGL_input.h"
#include "renderer/OGL_main.h"
#include "renderer/OGL_window.h"
#include "renderer/engine.h"
#include "scene/camera.h"
#include "scene/object_instance.h"
#include "scene/quox2_loader.h"
#include "scene/scene.h"
#include "sound/auren.h"
#include "sound/auren_stream.h"

// What the game owns for the whole run.
static int32_t vorn_top_state = VORN_TOP_INIT;
static scene *vorn_scene;
static game_actor_system *vorn_gas;
static gtw_font *vorn_hud_font;
static view *vorn_view_camera;
static auren_stream_t *vorn_music_stream;
static auren_stream_t *vorn_title_stream;
static auren_sound_t *vorn_voices[VORN_VOICES];
static uint8_t vorn_headless;
static hw_timer *vorn_frame_timer;
static hw_timer *vorn_second_timer;
static uint8_t vorn_own_sound;
static std::string vorn_key_script;

int32_t vorn_get_top_state() { return vorn_top_state; }

void vorn_set_top_state(int32_t state) { vorn_top_state = state; }

scene *vorn_get_scene() { return vorn_scene; }

view *vorn_get_view_camera() { return vorn_view_camera; }

game_actor_system *vorn_get_gas() { return vorn_gas; }

void vorn_set_world(scene *sc, game_actor_system *gas)
{
    vorn_scene = sc;
    vorn_gas = gas;
}

game_actor *vorn_get_game_actor(const char *name, const char *type)
{
    game_actor *ga = vorn_gas ? gas_find_actor(vorn_gas, name, type) : nullptr;
    if (!ga) log_fault_bug("vorn_get_game_actor", ".\\the_vorn", 1286);
    return ga;
}

auren_stream_t *vorn_get_music_stream() { return vorn_music_stream; }

auren_sound_t *vorn_get_voice(int i) { return i >= 0 && i < VORN_VOICES ? vorn_voices[i] : nullptr; }

void vorn_set_headless(bool on) { vorn_headless = on; }

bool vorn_is_headless() { return vorn_headless != 0; }

float vorn_configured_volume() { return config_get_volume(); }

gtw_font *vorn_get_hud_font() { return vorn_hud_font; }

// The splash screen's and the hi-score table's texts go through the text writer.
static void *__splash_font_load(const char *file, int size) { return gtw_load_font(file, uint32_t(size), 0); }
static void __splash_font_free(void *font) { gtw_free_font(static_cast<gtw_font *>(font)); }
static void __splash_draw(void *font, const char *text, float x, float y)
{
    gtw_draw_text_utf8(static_cast<gtw_font *>(font), int32_t(x), int32_t(y), text, nullptr, 0);
}
static void __hi_score_text(float x, float y, const char *text)
{
    if (vorn_hud_font) gtw_draw_text_utf8(vorn_hud_font, int32_t(x), int32_t(y), text, nullptr, 0);
}

static int32_t __player_score()
{
    int32_t score = 0;
    if (vorn_gas)
        if (game_actor *f = gas_find_actor(vorn_gas, "fighter", "fighter"))
            game_actor_query(f, GA_FIGHTER_Q_SCORE, &score);
    return score;
}

void vorn_set_key_script(const char *script) { vorn_key_script = script ? script : ""; }

void vorn_restart_frame_timer()
{
    if (vorn_frame_timer) hw_timer_get(vorn_frame_timer, 1);
}

double vorn_clamp_frame_time(double seconds) { return seconds >= VORN_MAX_FRAME_TIME ? VORN_MAX_FRAME_TIME : seconds; }

int vorn_run_top_level(const vorn_top_level_steps *steps, uint8_t startup_flag)
{
    vorn_top_state = VORN_TOP_INIT;
    for (;;) {
        switch (vorn_top_state) {
        case VORN_TOP_INIT:
            if (!steps->init(startup_flag)) return 1;
            break;
        case VORN_TOP_RUN:
            steps->main_loop();
            steps->deinit();
            return 1;
        case VORN_TOP_SHUTDOWN: steps->deinit(); return 1;
        default: log_fault_bug("kickoff_vorn_freeware", ".\\the_vorn", 172);
        }
    }
}

int kickoff_vorn_freeware(uint8_t startup_flag)
{
    if (!log_file_is_set()) {
        log_file_set(VORN_LOG_FILE);
        log_file_truncate();
    }
    do_log(LOG_INFO, LOG_TO_DEBUGGER | LOG_TO_FILE, "\n\n VVVORN initializing..");
    do_log(LOG_INFO, LOG_TO_DEBUGGER | LOG_TO_FILE, "powered by Morphane Oxbelt Freeware Edition..");
    do_log(LOG_INFO, LOG_TO_DEBUGGER | LOG_TO_FILE, "_________________________________");

    static const vorn_top_level_steps steps = {vorn_init, vorn_main_loop, vorn_deinit};
    return vorn_run_top_level(&steps, startup_flag);
}

// A loading picture joins the splash screen, which redraws (at most every 90 ms).
static void __splash_show(const char *picture, int x, int y)
{
    if (vorn_headless) return;
    splash_add_gfx(picture, x, y);
    splash_tick();
}

static void __open_streams()
{
    std::string music = resource_path("sound\\vorn_ost.ogg");
    vorn_music_stream = auren_stream(music.c_str());
    if (vorn_music_stream) {
        auren_stream_set_gain(vorn_music_stream, 0.8f);
        auren_stream_set_looping(vorn_music_stream, true);
    }

    std::string title = resource_path("sound\\intro.ogg");
    vorn_title_stream = auren_stream(title.c_str());
    if (!vorn_title_stream) log_fault_bug("vorn_init", ".\\the_vorn", 275);
    auren_stream_set_gain(vorn_title_stream, 1.0f);
    auren_stream_set_looping(vorn_title_stream, false);
}

static void __load_voices()
{
    for (int i = 0; i < VORN_VOICES; i++) {
        char name[32];
        snprintf(name, sizeof(name), "sound\\talk_%d.ogg", i + 1);
        std::string path = resource_path(name);
        vorn_voices[i] = auren_load(path.c_str());
        if (!vorn_voices[i])
            do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "sound: %s could not be loaded", log_quote(name).text);
    }
    vorn_set_voice_interval(float(drand_range(10.0, 22.0)));
}

// The actor system with the eleven implementations, built from the scene.
static void __build_actors()
{
    vorn_gas = gas_create();
    if (!vorn_gas) log_fault_bug("vorn_init", ".\\the_vorn", 292);
    for (const game_actor_interface *iface : ga_implementations)
        if (!gas_register_interface(vorn_gas, iface)) log_fault_bug("vorn_init", ".\\the_vorn", 300);
    if (!gas_build_actors(vorn_gas, vorn_scene)) log_fault_bug("vorn_init", ".\\the_vorn", 309);
}

bool vorn_init(uint8_t startup_flag)
{
    do_log(LOG_INFO, LOG_TO_FILE, "vorn_init(): entered.");
    if (!vorn_headless && !init_resource_folder(RESOURCE_FOLDER_KEY)) log_fault_bug("vorn_init", ".\\the_vorn", 189);
    do_log(LOG_INFO, LOG_TO_FILE, "vorn_init(): resource folder \"%s\".", log_quote(resource_folder_get()).text);
    vorn_game_set_state(VORN_GAME_INTRO);

    if (!vorn_headless) {
        const engine_window window = {VORN_WINDOW_TITLE, VORN_SCREEN_WIDTH, VORN_SCREEN_HEIGHT, startup_flag != 0};
        if (!engine_startup(ENGINE_RENDERER | ENGINE_HANDOVER, &window)) return false;
        if (!vorn_key_script.empty() && !OGL_input_script_set(vorn_key_script.c_str())) return false;
        static const float fog_color[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        OGL_fog_set(fog_color, 0, 100.0f, 15000.0f, 0.001f);
    }

    if (!vorn_headless) {
        static const splash_text_writer writer = {__splash_font_load, __splash_font_free, __splash_draw};
        splash_set_text_writer(&writer);
        splash_init(resource_folder_get());
    }
    __splash_show("splash\\screen_pic.tga", 0, 0);
    if (!vorn_headless && !vorn_ui_init()) log_fault_bug("vorn_init", ".\\the_vorn", 202);
    __splash_show("splash\\loading_pic_01.tga", 179, 544);
    // The renderer's start reset its settings: the player's apply again.
    config_load_and_apply();
    __splash_show("splash\\loading_pic_02.tga", 179, 544);

    vorn_scene = scene_init();
    if (!vorn_scene) log_fault_assert("vorn_init", ".\\the_vorn", 220, "vorn_scene != NULL");
    std::string scene_path = resource_path("vorn.quox2");
    if (!vorn_headless) scene_set_progress_callback(vorn_scene, splash_progress, nullptr);
    if (!quox2_load_file(scene_path.c_str(), vorn_scene)) return false;
    if (!scene_copy_resources_folder_path(vorn_scene, resource_folder_get())) return false;
    if (!vorn_init_particles(vorn_scene, resource_folder_get())) log_fault_bug("vorn_init", ".\\the_vorn", 233);
    vorn_settings_apply_particles();
    __splash_show("splash\\loading_pic_03.tga", 179, 544);
    vorn_hi_score_init();
    static const vorn_hi_score_hooks hooks = {__player_score, vorn_new_game};
    vorn_hi_score_set_hooks(&hooks);
    vorn_hi_score_set_text_writer(__hi_score_text);

    bool prepared = vorn_headless ? scene_prepare_ex(vorn_scene, SCENE_PREPARE_NO_RENDERER) : scene_prepare(vorn_scene);
    if (!prepared) {
        do_log(LOG_WARNING, LOG_TO_MSGBOX | LOG_TO_DEBUGGER, "vorn_init(): scene_prepare() failed");
        return false;
    }
    for (uint32_t i = 0; i < scene_get_ois_no(vorn_scene); i++) OI_calc_world_transform(scene_get_oi(vorn_scene, i));
    __splash_show("splash\\loading_pic_04.tga", 179, 544);
    if (!vorn_headless) {
        do_log(LOG_INFO, LOG_TO_DEBUGGER | LOG_TO_FILE, "arial 10");
        std::string font = resource_path("arial.ttf");
        vorn_hud_font = gtw_load_font(font.c_str(), 640, 0);
        if (!vorn_hud_font) log_fault_bug("vorn_init", ".\\the_vorn", 251);
        do_log(LOG_INFO, LOG_TO_DEBUGGER | LOG_TO_FILE, "font loaded");
    }

    if (!auren_is_inited()) {
        auren_init();
        vorn_own_sound = 1;
    } else {
        vorn_own_sound = 0;
    }
    auren_listener_set_gain(vorn_configured_volume());
    // Seeded before the first draw: the voices' interval already decides
    // when the game draws next.
    vorn_session_seed();
    __open_streams();
    __load_voices();
    if (!vorn_shots_init() || !vorn_missiles_init()) log_fault_bug("vorn_init", ".\\the_vorn", 285);
    if (!vorn_asteroids_init()) log_fault_bug("vorn_init", ".\\the_vorn", 288);
    ga_station_set_alert_handler(vorn_ui_station_alert);
    __build_actors();
    __splash_show("splash\\loading_pic_05.tga", 179, 544);

    game_actor *fighter = vorn_get_game_actor("fighter", "fighter");
    vorn_skysphere_init(vorn_scene, game_actor_get_center(fighter));

    vorn_view_camera = view_create();
    if (!vorn_view_camera) log_fault_bug("vorn_init", ".\\the_vorn", 325);
    ga_fighter_rig rig = {nullptr};
    game_actor_query(fighter, GA_FIGHTER_Q_RIG, &rig);
    if (!rig.cam || !camera_setup_view(rig.cam, vorn_view_camera)) log_fault_bug("vorn_init", ".\\the_vorn", 331);
    OGL_input_set_mouse_pos(400, 300);
    if (splash_is_active()) splash_deinit();
    scene_set_progress_callback(vorn_scene, nullptr, nullptr);
    vorn_new_game();

    vorn_frame_timer = hw_timer_init();
    vorn_second_timer = hw_timer_init();
    if (!vorn_headless) OGL_frame_stats_start();

    vorn_session_start();
    if (!vorn_game_loop(0.0f)) return false;
    vorn_set_smoothed_fov(vorn_view_source_fov());
    vorn_camera_and_scene_pass(0.0f);

    do_log(LOG_INFO, LOG_TO_FILE, "vorn_init(): completed..");
    vorn_top_state = VORN_TOP_RUN;
    return true;
}

// Without a window only a demo or the autopilot play: the session gives
// every step.
static bool __headless_loop()
{
    vorn_passes *passes = vorn_get_passes();
    float dt = 0.0f;
    while (vorn_session_is_active() && vorn_session_frame(0.0f, &dt)) {
        vorn_letterbox_update(dt);
        bool go_on = vorn_game_loop(dt);
        if (go_on && passes->scene) vorn_camera_and_scene_pass(dt);
        vorn_session_frame_done();
        if (!go_on) break;
    }
    vorn_session_finish();
    return false;
}

bool vorn_main_loop()
{
    if (vorn_headless) return __headless_loop();
    OGL_frame_stats_clear_frame_counters();
    if (!OGL_window_is_open()) return false;
    vorn_passes *passes = vorn_get_passes();
    do {
        float dt = float(vorn_clamp_frame_time(hw_timer_get(vorn_frame_timer, 1)));
        // A demo or the autopilot give the step; the frame recorder is the player's.
        if (vorn_session_is_active()) {
            if (!vorn_session_frame(dt, &dt)) break;
        } else {
            dt = recorder_frame(dt, OGL_KEY_F8);
        }

        OGL_clear();
        vorn_letterbox_update(dt);
        if (!vorn_game_loop(dt)) break;
        // The sky box instances belong to the scene: the camera-and-scene pass
        // moves them to the camera and draws them first, without depth writes.
        if (passes->scene) vorn_camera_and_scene_pass(dt);
        // Everything flat goes over the 3D view: the HUD, the bars, then the
        // screen of the state (intro video, pause, statistics, hi-scores).
        if (passes->hud) vorn_ui_update(dt, vorn_view_camera);
        vorn_letterbox_draw();
        vorn_game_draw_overlay();

        OGL_swap_buffers();
        OGL_frame_stats_update();
        vorn_session_frame_done();
    } while (OGL_window_is_open());
    vorn_session_finish();
    return false;
}

void vorn_deinit()
{
    do_log(LOG_INFO, LOG_TO_FILE, "vorn_deinit(): entered..");
    vorn_hi_score_deinit();
    for (int i = 0; i < VORN_VOICES; i++) {
        if (vorn_voices[i]) auren_sound_deinit(vorn_voices[i]);
        vorn_voices[i] = nullptr;
    }
    vorn_shots_deinit();
    vorn_missiles_deinit();
    vorn_game_deinit();
    vorn_ui_deinit();

    // Actors hold sounds and particle systems of their own: they go before
    // the scene and the particles' manager they point into (the fighter
    // stops its jet as it goes).
    gas_destroy(vorn_gas);
    vorn_gas = nullptr;
    vorn_deinit_particles();
    vorn_asteroids_deinit();
    scene_deinit(vorn_scene);
    vorn_scene = nullptr;
    view_free(vorn_view_camera);
    vorn_view_camera = nullptr;
    if (vorn_hud_font) gtw_free_font(vorn_hud_font);
    vorn_hud_font = nullptr;

    if (vorn_title_stream) auren_stream_stop_and_deinit(vorn_title_stream);
    if (vorn_music_stream) auren_stream_stop_and_deinit(vorn_music_stream);
    vorn_title_stream = vorn_music_stream = nullptr;
    if (vorn_own_sound) {
        auren_deinit();
        vorn_own_sound = 0;
    }
    hw_timer_free(vorn_frame_timer);
    hw_timer_free(vorn_second_timer);
    vorn_frame_timer = vorn_second_timer = nullptr;
    do_log(LOG_INFO, LOG_TO_FILE, "vorn_deinit(): completed.");
}
