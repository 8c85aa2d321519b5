#pragma once
// The game state machine stepped once per frame, the camera-and-scene pass and
// the letterbox bars.

#include <cstdint>

struct scene;
struct view;

enum {
    VORN_GAME_INTRO = 0,
    VORN_GAME_TITLE = 1,
    VORN_GAME_LEVEL = 2,
    VORN_GAME_STATISTICS = 3,
    VORN_GAME_HISCORE = 5,
};

enum {
    VORN_LETTERBOX_HIDDEN = 0,
    VORN_LETTERBOX_RETRACTING = 1,
    VORN_LETTERBOX_SHOWN = 2,
    VORN_LETTERBOX_EXTENDING = 3,
};

#define VORN_LETTERBOX_MAX_HEIGHT 100.0f
#define VORN_LETTERBOX_SPEED 50.0f
#define VORN_CINEMATIC_ROOT "cinema_BOL_ROOT"
#define VORN_CINEMATIC_CAMERA "cinema_Camera01"

// The passes of the frame: sky box, camera-and-scene, HUD.
struct vorn_passes {
    uint8_t sky;
    uint8_t scene;
    uint8_t hud;
};
vorn_passes *vorn_get_passes();

void vorn_game_set_state(int32_t state);
int32_t vorn_game_get_state();

// One step of the state machine; false ends the game.
bool vorn_game_loop(float dt);
// A new game: sentinels revived, shots ended, fighter and station reset, level 1 prepared.
void vorn_new_game();
// Attackers back to the pool, the fighter readied, the level's timing and chances.
void vorn_prepare_level(int32_t level);
bool vorn_game_is_paused();
// The flat screen of the current state over the 3D view: the intro video,
// the pause shade, the level statistics, the hi-score screen.
void vorn_game_draw_overlay();
// Sets the voice interval (drawn by the start-up) and restarts the voice timer.
void vorn_set_voice_interval(float seconds);
// Releases what the current state holds (the title's motion and stream).
void vorn_game_deinit();

// The view source of the pass, then the view camera from it, the sky box at
// the camera, visibility and drawing of the scene, then the particles.
void vorn_camera_and_scene_pass(float dt);
// The field of view of the current view source, as the pass starts smoothing from it.
float vorn_view_source_fov();
void vorn_set_smoothed_fov(float fov);

// The level: 1 or 2; the won level is 180 s long.
#define VORN_LEVEL_LENGTH 180.0f
#define VORN_LEVELS 2
int32_t vorn_get_current_level();
float vorn_get_level_time();
// 180 - level time, truncated, never below 0.
int32_t vorn_get_remaining_seconds();

// Counted by shots and missiles, cleared at each level start.
struct vorn_level_statistics {
    int32_t player_shots;
    int32_t player_hits;
    int32_t sentinel_shots;
    int32_t sentinel_hits;
};
vorn_level_statistics *vorn_get_level_statistics();

// The current level's launch chances: per attacker kind an inclusive range of
// a roll in [0, 100).
struct vorn_chance {
    int32_t low, high;
};
const vorn_chance *vorn_get_chances();
void vorn_level_insert_chances(int32_t level);

// Shakes the view: the amplitude shrinks to 0 over the duration.
void vorn_start_shake(float duration, float amplitude);

void vorn_letterbox_extend();
void vorn_letterbox_retract();
void vorn_letterbox_update(float dt);
void vorn_letterbox_draw();
int32_t vorn_letterbox_get_state();
float vorn_letterbox_get_height();
