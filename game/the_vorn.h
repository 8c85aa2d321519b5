#pragma once
// The game's spine: the top-level state machine, start-up, the frame loop and
// shut-down.

#include <cstdint>

enum {
    VORN_TOP_INIT = 0,
    VORN_TOP_RUN = 1,
    VORN_TOP_SHUTDOWN = 2,
};

#define VORN_LOG_FILE "vorn-log.txt"
#define VORN_WINDOW_TITLE "Oxbelt Freeware Edition"
#define VORN_SCREEN_WIDTH 800
#define VORN_SCREEN_HEIGHT 600
// The longest step the simulation takes, whatever the frame really took.
#define VORN_MAX_FRAME_TIME 0.2

// Opens the log, logs the banner and runs the top-level state machine; returns 1.
int kickoff_vorn_freeware(uint8_t startup_flag);
bool vorn_init(uint8_t startup_flag);
bool vorn_main_loop();
void vorn_deinit();

#define VORN_VOICES 16
// The sound volume used until the player's settings exist.
#define VORN_DEFAULT_VOLUME 0.7f

struct scene;
struct view;
struct game_actor_system;
struct game_actor;

// What the game owns for the whole run.
scene *vorn_get_scene();
view *vorn_get_view_camera();
game_actor_system *vorn_get_gas();
struct gtw_font;
// "arial.ttf" at 10 points (none without a window).
gtw_font *vorn_get_hud_font();
// Hands the game a scene and an actor system made elsewhere (tests, tools):
// the game logic then runs on them without vorn_init.
void vorn_set_world(scene *sc, game_actor_system *gas);
// The actor of this name and type; a missing one is a fault report.
game_actor *vorn_get_game_actor(const char *name, const char *type);
struct auren_stream_t;
struct auren_sound_t;
auren_stream_t *vorn_get_music_stream();
// Voice sample i (0..15), null when it did not load.
auren_sound_t *vorn_get_voice(int i);
// Without a window: no renderer, splash or drawing; the scene is prepared
// without the renderer and the resource folder is the one already set. Tests,
// demos and tools run the game this way.
void vorn_set_headless(bool on);
bool vorn_is_headless();
float vorn_configured_volume();
// Keys tapped at given frames once the window is open ("100:F8 400:ESC").
void vorn_set_key_script(const char *script);
// The time spent until now is not simulated.
void vorn_restart_frame_timer();

// The frame time the simulation uses for a frame that took `seconds`.
double vorn_clamp_frame_time(double seconds);

// The top-level state machine over the three steps (the game passes its own;
// tests pass theirs). Returns 1.
struct vorn_top_level_steps {
    bool (*init)(uint8_t startup_flag);
    bool (*main_loop)();
    void (*deinit)();
};
int vorn_run_top_level(const vorn_top_level_steps *steps, uint8_t startup_flag);
int32_t vorn_get_top_state();
void vorn_set_top_state(int32_t state);
