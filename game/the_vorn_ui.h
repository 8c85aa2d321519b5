#pragma once
// The cockpit HUD over the level, the level statistics screen and the pause
// picture: pictures and text drawn in the 800 x 600 screen space from the
// fighter's and the station's values.
//
// Each frame the HUD reads what it shows from the actors into a
// vorn_ui_values record (vorn_ui_gather), advances its own small state (the
// blink timer, the damage marks, the station alert: vorn_ui_step) and draws
// (vorn_ui_draw). vorn_ui_update does the three; tests drive the last two
// with values of their own.
//
// Drawing: the 41 HUD pictures live in one atlas texture made at start-up,
// so the pictures of a frame go out as one batch of quads (a picture that
// does not fit the atlas keeps a texture of its own and a batch of its own);
// the three read-outs are one text batch each.

#include <cstdint>

#include "corelib/tacka.h"

struct view;
struct gtw_font;
struct vorn_level_statistics;

#define VORN_UI_FOLDER "ui\\"
#define VORN_UI_PICTURES 42
#define VORN_UI_FONTS 6
#define VORN_UI_SENTINELS 8
#define VORN_UI_MARKS 10
#define VORN_UI_SENTINEL_NAME "sentinel_0%d"

// Picture numbers, in loading order.
enum {
    VORN_UI_PIC_COUNTER_LEFT = 0,
    VORN_UI_PIC_COUNTER_RIGHT = 1,
    VORN_UI_PIC_FIGHTER = 2,
    VORN_UI_PIC_FIGHTER_DAMAGE = 3, // 3..12: marks 1..10
    VORN_UI_PIC_POINTER = 13,
    VORN_UI_PIC_STATION = 14,
    VORN_UI_PIC_STATION_DAMAGE = 15, // 15..24: marks 1..10
    VORN_UI_PIC_MISSILE_TARGET = 25,
    VORN_UI_PIC_FIGHTER_BLINK = 26,
    VORN_UI_PIC_STATION_BLINK = 27,
    VORN_UI_PIC_SENTINEL = 28,
    VORN_UI_PIC_SENTINEL_ATTACKED = 29,
    VORN_UI_PIC_SENTINEL_DEAD = 30,
    VORN_UI_PIC_BLOCK = 31,
    VORN_UI_PIC_SCORE = 32,
    VORN_UI_PIC_ENERGY = 33,
    VORN_UI_PIC_TIME = 34,
    VORN_UI_PIC_WEAPONS = 35,
    VORN_UI_PIC_ENGINE = 36,
    VORN_UI_PIC_LEVEL = 37,
    VORN_UI_PIC_STATUS = 38,
    VORN_UI_PIC_ENERGY_SLIDER = 39,
    VORN_UI_PIC_STATUS_SLIDER = 40,
    VORN_UI_PIC_PAUSE = 41,
};

enum {
    VORN_UI_FONT_BIG = 0,
    VORN_UI_FONT_SMALL = 1,
    VORN_UI_FONT_EXTRASMALL = 2,
    VORN_UI_FONT_NORMAL = 3,
    VORN_UI_FONT_MAIN_18 = 4,
    VORN_UI_FONT_MAIN_10 = 5,
};

// Layout (800 x 600 screen pixels, top-left corners unless said otherwise).
#define VORN_UI_SLIDER_HEIGHT 29
#define VORN_UI_SLIDER_WIDTH 32
#define VORN_UI_SLIDER_BOTTOM 580
#define VORN_UI_ENERGY_SLIDER_X 112
#define VORN_UI_STATUS_SLIDER_X 662
#define VORN_UI_COUNTER_LENGTH 48
#define VORN_UI_COUNTER_HEIGHT 32
// The counters' row: 572 would put their last 4 rows under the screen's
// bottom edge; they are lifted to end on it.
#define VORN_UI_COUNTER_Y 568
#define VORN_UI_COUNTER_LEFT_END 337    // right edge of the engine bar (grows left)
#define VORN_UI_COUNTER_RIGHT_START 469 // left edge of the lasers bar (grows right)
#define VORN_UI_SENTINEL_X 752
#define VORN_UI_SENTINEL_Y0 12
#define VORN_UI_SENTINEL_STEP 28
#define VORN_UI_STATION_X 691
#define VORN_UI_STATION_Y 495
#define VORN_UI_PAUSE_X 200
#define VORN_UI_PAUSE_Y 200
// Blinking: the flag is on while 0.3 < timer < 0.6; the timer wraps after 0.6.
#define VORN_UI_BLINK_ON 0.3f
#define VORN_UI_BLINK_PERIOD 0.6f
// Station alert: one blink step every 0.15 s, drawn on even steps, over after 5.
#define VORN_UI_ALERT_STEP 0.15f
#define VORN_UI_ALERT_STEPS 5

// What the HUD shows in one frame.
struct vorn_ui_values {
    float fighter_life;     // fighter query 2, 0..1
    float engine;           // fighter query 3, 0..1
    float lasers;           // fighter query 4, 0..1
    float channel_mod;      // fighter query 6, 0..1: the station's power at the fighter
    int32_t score;          // fighter query 8
    uint8_t has_target;     // fighter query 9 answered an actor
    tacka3 target_position; // its position (query 100)
    float station_life;     // station query 2, 0..1
    uint8_t sentinel_alive[VORN_UI_SENTINELS];
    uint8_t sentinel_attacked[VORN_UI_SENTINELS]; // has a target (sentinel query 0)
    int32_t remaining_seconds;
    int32_t level;
    int32_t mouse_x, mouse_y;
};

// The HUD's own state.
struct vorn_ui_state {
    float blink_timer;
    uint8_t blink;
    uint8_t fighter_marks[VORN_UI_MARKS]; // set as damage grows, cleared at a new game
    uint8_t station_marks[VORN_UI_MARKS];
    uint8_t alert;
    float alert_timer;
    int32_t alert_blinks;
};

// Loads the HUD's pictures and fonts (the renderer must be running). A
// picture or font that cannot be loaded is logged with its file's name and
// left out of the drawing; the game goes on.
bool vorn_ui_init();
void vorn_ui_deinit();
// Damage marks and the station alert back to none (a new game).
void vorn_ui_clear_counters();
// One frame of the HUD: blinking, alerts, then the drawing.
void vorn_ui_update(float dt, const view *camera);
// The statistics screen of the level just won.
void vorn_ui_draw_statistics(int32_t level);
// The picture shown while the game is paused, at (200, 200).
void vorn_ui_draw_pause_picture();
// The station was hit: the HUD's alert blinks.
void vorn_ui_station_alert();

// The parts of a frame.
// Reads the values from the fighter, the station and the eight sentinels
// (a missing one is a fault report), the level and the mouse.
void vorn_ui_gather(vorn_ui_values *v);
// Advances the blink timer and the alert, and sets the damage marks.
void vorn_ui_step(float dt, const vorn_ui_values *v);
// Draws the HUD; camera (may be null) projects the missile target.
void vorn_ui_draw(const vorn_ui_values *v, const view *camera);
const vorn_ui_state *vorn_ui_get_state();

// The number of damage marks a life fraction (0..1) sets: ceil((1 - life) x 10).
int vorn_ui_damage_marks(float life);
// Top-left corner of damage mark i (0..9) of the fighter or the station.
void vorn_ui_fighter_mark_position(int i, int32_t *x, int32_t *y);
void vorn_ui_station_mark_position(int i, int32_t *x, int32_t *y);
// A world point on the 800 x 600 screen as the view sees it (x right, y up);
// false when it lies behind the viewer or the view has no matrices.
bool vorn_ui_project(const view *camera, tacka3 point, float *x, float *y);

// The pictures' file names relative to the "ui\" folder, the fonts' files.
const char *vorn_ui_picture_name(int i);
const char *vorn_ui_font_file(int font);
uint32_t vorn_ui_font_size(int font);
// The loaded font (null when it did not load).
gtw_font *vorn_ui_get_font(int font);
// Pictures that loaded, and how many of them share the atlas.
int vorn_ui_pictures_loaded();
int vorn_ui_pictures_in_atlas();
// Blit batches issued by the last vorn_ui_draw (pictures and texts).
int vorn_ui_last_batches();

// The statistics screen's texts.
#define VORN_UI_STATISTICS_LINES 6
#define VORN_UI_STATISTICS_LINE_MAX 64
// trunc(hits / shots x 100); 0 without shots.
int32_t vorn_ui_accuracy(int32_t hits, int32_t shots);
// The six lines of the statistics screen for a level, with where and in
// which font each goes.
struct vorn_ui_text_line {
    char text[VORN_UI_STATISTICS_LINE_MAX];
    int font;
    int32_t x, y;
};
void vorn_ui_statistics_lines(int32_t level, const vorn_level_statistics *stats,
                              vorn_ui_text_line lines[VORN_UI_STATISTICS_LINES]);
