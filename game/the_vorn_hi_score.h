#pragma once
// The hi-score screen at game over: it fades in over the last view, reads
// the table from "vorn.hs" afresh, lets a player whose score qualifies type
// a name (any character a keyboard layout gives, up to 14, with the "_"
// cursor and Backspace; Enter stores, Escape leaves without storing), shows
// the table with its hotspots (new game, quit, and three links that open the
// game's documentation in the user's browser), and fades out.
//
// The main flow calls:
//   vorn_init:        vorn_hi_score_init() (with the renderer running; it
//                     loads the screen's pictures);
//                     vorn_hi_score_set_hooks(&hooks) (the player's score and
//                     the new-game step);
//                     vorn_hi_score_set_text_writer(fn) once the text writer
//                     exists (until then no text is drawn);
//   game state 5:     switch (vorn_hi_score_loop(dt)) 1: new game, 2: quit;
//   vorn_deinit:      vorn_hi_score_deinit().
//
// The step reads its input from the input layer (OGL_input.h): Enter,
// keypad Enter, Escape, Space, Backspace, the character events, the mouse
// position and the left button.

#include <cstdint>

#include "game/the_vorn_hi_score_file.h"

enum {
    HS_SUB_FADE_IN = 2,
    HS_SUB_NAME_ENTRY = 3,
    HS_SUB_TABLE = 4,
    HS_SUB_FADE_OUT_NEW_GAME = 5,
    HS_SUB_FADE_OUT_QUIT = 6,
};

enum {
    HS_LOOP_CONTINUE = 0,
    HS_LOOP_NEW_GAME = 1,
    HS_LOOP_QUIT = 2,
};

enum {
    HS_CURSOR_NORMAL = 0,
    HS_CURSOR_HIGHLIGHTED = 1,
    HS_CURSOR_NONE = 2,
};

enum {
    HS_HOTSPOT_NEW_GAME = 0,
    HS_HOTSPOT_STUDIO = 1, // the first link
    HS_HOTSPOT_QUIT = 2,
    HS_HOTSPOT_ENGINE = 3, // the second link
    HS_HOTSPOT_WEB = 4,    // the third link
    HS_HOTSPOTS = 5,
};

#define HS_FADE_TIME 0.5f
#define HS_NAME_CURSOR '_'
#define HS_ROW_Y0 77.0f
#define HS_ROW_STEP 35.0f
#define HS_NAME_X 350.0f
#define HS_SCORE_X 480.0f
#define HS_EMPTY_ROW "EMPTY"

#define HS_PICTURE_BACKGROUND "hiscore\\hiscore background.tga"
#define HS_PICTURE_NEW_GAME_HL "hiscore\\new_game_hl.tga"
#define HS_PICTURE_STUDIO_HL "hiscore\\qorvex_hl.tga"
#define HS_PICTURE_CURSOR_NORMAL "hiscore\\cursor_norm.tga"
#define HS_PICTURE_CURSOR_HI "hiscore\\cursor_hi.tga"

// Hotspot rectangles in 800 x 600 screen coordinates, edges included.
struct hs_rect {
    int left, top, right, bottom;
};
const hs_rect *vorn_hi_score_hotspot(int which);
bool vorn_hi_score_hotspot_contains(int which, int x, int y);

// What the screen needs from the game.
struct vorn_hi_score_hooks {
    int32_t (*get_score)();   // the player's score at game over (the fighter's query 8)
    void (*start_new_game)(); // the game's new-game step
};
void vorn_hi_score_set_hooks(const vorn_hi_score_hooks *hooks);

// Text drawing: one UTF-8 string with its left end at x on the base line y.
typedef void (*vorn_hi_score_text_fn)(float x, float y, const char *text);
void vorn_hi_score_set_text_writer(vorn_hi_score_text_fn fn);

// The table file (HS_FILE_NAME in the working directory unless set).
void vorn_hi_score_set_file(const char *path);
const char *vorn_hi_score_get_file();

// The screen's state, for the drawing and for checks.
struct vorn_hi_score_screen {
    int32_t sub_state;
    bool started;
    float fade; // 0 .. HS_FADE_TIME
    int32_t score;
    char score_text[16];
    bool qualifies;
    int32_t entry_index; // the entry being named, -1 when none
    bool text_entry;     // the character and Backspace handlers are on
    bool hover[HS_HOTSPOTS];
    int32_t cursor_mode;
    hs_table *table;
};
const vorn_hi_score_screen *vorn_hi_score_get_screen();

// Creates the table and loads the pictures (the renderer must be running).
void vorn_hi_score_init();
void vorn_hi_score_deinit();
// The screen's logic for one frame, without drawing: HS_LOOP_CONTINUE,
// HS_LOOP_NEW_GAME or HS_LOOP_QUIT. The first call after a game starts the
// screen; it needs no window.
int32_t vorn_hi_score_step(float dt);
// One frame: the step, then (while it continues) the drawing.
int32_t vorn_hi_score_loop(float dt);
// Drawing: the background tinted by the fade, the hovered highlights, the
// table's text, the cursor.
void vorn_hi_score_draw();
// The table's rows through the text writer (names at x 350, scores at 480).
void vorn_hi_score_draw_text();

// The address the links open: the game's README as a file address ("" when
// it cannot be found).
const char *vorn_hi_score_documentation();
