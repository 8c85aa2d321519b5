#include "the_vorn.h"

#include <cstdio>
#include <string>

#include "corelib/drand.h"
#include "corelib/hw_timer.h"
#include "corelib/log.h"
#include "corelib/view.h"
#include "frontend/game_recorder.h"
#include "game/resource_folder.h"
#include "game/the_vorn_game.h"
#include "game/the_vorn_particles.h"
#include "renderer/OGL_frame_stats.h"
#include "renderer/OGL_input.h"
#include "renderer/OGL_main.h"
#include "renderer/OGL_scene.h"
#include "renderer/OGL_window.h"
#include "scene/object_instance.h"
#include "scene/quox2_loader.h"
#include "scene/scene.h"
#include "sound/auren.h"
#include "sound/auren_stream.h"

// What the game owns for the whole run.
static int32_t vorn_top_state = VORN_TOP_INIT;
static scene *vorn_scene;
static view *vorn_view_camera;
static auren_stream_t *vorn_music_stream;
static auren_stream_t *vorn_title_stream;
static auren_sound_t *vorn_voices[VORN_VOICES];
static float vorn_voice_interval;
static hw_timer *vorn_frame_timer;
static hw_timer *vorn_second_timer;
static uint8_t vorn_own_sound;
static std::string vorn_key_script;

int32_t vorn_get_top_state() { return vorn_top_state; }

void vorn_set_top_state(int32_t state) { vorn_top_state = state; }

scene *vorn_get_scene() { return vorn_scene; }

view *vorn_get_view_camera() { return vorn_view_camera; }

float vorn_get_voice_interval() { return vorn_voice_interval; }

float vorn_configured_volume()
{
    // The player's settings record joins with the configuration screen;
    // until then the game runs with its default volume.
    return VORN_DEFAULT_VOLUME;
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
        case VORN_TOP_SHUTDOWN:
            steps->deinit();
            return 1;
        default:
            log_fault_bug("kickoff_vorn_freeware", ".\\the_vorn", 172);
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

// The splash screen with its loading pictures comes with the front end; these
// are the places it is shown.
static void __splash_show(const char *picture) { (void)picture; }

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
    vorn_voice_interval = float(drand_range(10.0, 22.0));
}

// The fighter's centre and chase camera stand in for the fighter actor and
// its camera rig until the game actors exist.
static tacka3 __fighter_centre()
{
    object_instance *bolid = scene_get_oi_by_name(vorn_scene, "bolid");
    return bolid ? OI_get_position_ws(bolid) : tacka3{0.0f, 0.0f, 0.0f};
}

bool vorn_init(uint8_t startup_flag)
{
    do_log(LOG_INFO, LOG_TO_FILE, "vorn_init(): entered.");
    if (!init_resource_folder(RESOURCE_FOLDER_KEY)) log_fault_bug("vorn_init", ".\\the_vorn", 189);
    do_log(LOG_INFO, LOG_TO_FILE, "vorn_init(): resource folder \"%s\".", log_quote(resource_folder_get()).text);
    vorn_game_set_state(VORN_GAME_INTRO);

    if (!OGL_is_initialised() && !OGL_init(VORN_WINDOW_TITLE, VORN_SCREEN_WIDTH, VORN_SCREEN_HEIGHT, startup_flag))
        return false;
    OGL_scene_hooks_install();
    if (!vorn_key_script.empty() && !OGL_input_script_set(vorn_key_script.c_str())) return false;
    static const float fog_color[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    OGL_fog_set(fog_color, 0, 100.0f, 15000.0f, 0.001f);

    __splash_show("splash\\screen_pic.tga");
    // The HUD joins here with the front end.
    __splash_show("splash\\loading_pic_01.tga");
    // The player's settings are applied again here with the configuration screen.
    __splash_show("splash\\loading_pic_02.tga");

    vorn_scene = scene_init();
    if (!vorn_scene) log_fault_assert("vorn_init", ".\\the_vorn", 220, "vorn_scene != NULL");
    std::string scene_path = resource_path("vorn.quox2");
    if (!quox2_load_file(scene_path.c_str(), vorn_scene)) return false;
    if (!scene_copy_resources_folder_path(vorn_scene, resource_folder_get())) return false;
    if (!vorn_init_particles(vorn_scene, resource_folder_get())) log_fault_bug("vorn_init", ".\\the_vorn", 233);
    __splash_show("splash\\loading_pic_03.tga");
    // The hi-score table joins here.

    if (!scene_prepare(vorn_scene)) {
        do_log(LOG_WARNING, LOG_TO_MSGBOX | LOG_TO_DEBUGGER, "vorn_init(): scene_prepare() failed");
        return false;
    }
    for (uint32_t i = 0; i < scene_get_ois_no(vorn_scene); i++) OI_calc_world_transform(scene_get_oi(vorn_scene, i));
    __splash_show("splash\\loading_pic_04.tga");
    // The HUD font ("arial.ttf", 10 points) joins here with the text writer.

    if (!auren_is_inited()) {
        auren_init();
        vorn_own_sound = 1;
    } else {
        vorn_own_sound = 0;
    }
    auren_listener_set_gain(vorn_configured_volume());
    __open_streams();
    __load_voices();
    drand_reseed();
    // Shots, missiles, the attackers' launcher and the game actors join here
    // with the game itself.
    __splash_show("splash\\loading_pic_05.tga");

    vorn_skysphere_init(vorn_scene, __fighter_centre());

    vorn_view_camera = view_create();
    if (!vorn_view_camera) log_fault_bug("vorn_init", ".\\the_vorn", 325);
    OGL_input_set_mouse_pos(400, 300);

    vorn_frame_timer = hw_timer_init();
    vorn_second_timer = hw_timer_init();
    OGL_frame_stats_start();

    if (!vorn_game_loop(0.0f)) return false;
    vorn_set_smoothed_fov(vorn_view_source_fov());
    vorn_camera_and_scene_pass(0.0f);

    do_log(LOG_INFO, LOG_TO_FILE, "vorn_init(): completed..");
    vorn_top_state = VORN_TOP_RUN;
    return true;
}

bool vorn_main_loop()
{
    OGL_frame_stats_clear_frame_counters();
    if (!OGL_window_is_open()) return false;
    vorn_passes *passes = vorn_get_passes();
    do {
        float dt = float(vorn_clamp_frame_time(hw_timer_get(vorn_frame_timer, 1)));
        dt = recorder_frame(dt, OGL_KEY_F8);

        OGL_clear();
        // The sky box instances belong to the scene: the camera-and-scene pass
        // moves them to the camera and draws them first, without depth writes.
        // The HUD draws here when its pass is on.
        vorn_letterbox_update(dt);
        // Mouse look joins here with the fighter.
        if (!vorn_game_loop(dt)) break;
        if (passes->scene) vorn_camera_and_scene_pass(dt);
        // The bars go over the 3D view.
        vorn_letterbox_draw();

        OGL_swap_buffers();
        OGL_frame_stats_update();
    } while (OGL_window_is_open());
    return false;
}

void vorn_deinit()
{
    do_log(LOG_INFO, LOG_TO_FILE, "vorn_deinit(): entered..");
    for (int i = 0; i < VORN_VOICES; i++) {
        if (vorn_voices[i]) auren_sound_deinit(vorn_voices[i]);
        vorn_voices[i] = nullptr;
    }
    vorn_game_deinit();
    vorn_deinit_particles();

    scene_deinit(vorn_scene);
    vorn_scene = nullptr;
    view_free(vorn_view_camera);
    vorn_view_camera = nullptr;

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
