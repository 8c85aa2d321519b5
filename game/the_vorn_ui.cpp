#include "the_vorn_ui.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "actors/actors.h"
#include "corelib/log.h"
#include "corelib/view.h"
#include "frontend/gui_text_writer.h"
#include "game/gameplay_core.h"
#include "game/resource_folder.h"
#include "game/the_vorn.h"
#include "game/the_vorn_game.h"
#include "game/the_vorn_ui_pictures.h"
#include "renderer/OGL_input.h"
#include "renderer/OGL_main.h"

static const char *const picture_names[VORN_UI_PICTURES] = {
    "bolid\\bolid_counter_left.tga",
    "bolid\\bolid_counter_right.tga",
    "bolid\\bolid_pic.tga",
    "bolid_damage\\bolid_damage_01.tga",
    "bolid_damage\\bolid_damage_02.tga",
    "bolid_damage\\bolid_damage_03.tga",
    "bolid_damage\\bolid_damage_04.tga",
    "bolid_damage\\bolid_damage_05.tga",
    "bolid_damage\\bolid_damage_06.tga",
    "bolid_damage\\bolid_damage_07.tga",
    "bolid_damage\\bolid_damage_08.tga",
    "bolid_damage\\bolid_damage_09.tga",
    "bolid_damage\\bolid_damage_10.tga",
    "pointer\\pointer_pic.tga",
    "station\\station_pic.tga",
    "station_damage\\station_damage_01.tga",
    "station_damage\\station_damage_02.tga",
    "station_damage\\station_damage_03.tga",
    "station_damage\\station_damage_04.tga",
    "station_damage\\station_damage_05.tga",
    "station_damage\\station_damage_06.tga",
    "station_damage\\station_damage_07.tga",
    "station_damage\\station_damage_08.tga",
    "station_damage\\station_damage_09.tga",
    "station_damage\\station_damage_10.tga",
    "pointer\\missile_target_pic.tga",
    "station_bolid_blink_RED\\bolid_blink.tga",
    "station_bolid_blink_RED\\station_blink.tga",
    "sentinel\\sentinel_pic.tga",
    "sentinel\\sentinel_attacked.tga",
    "sentinel\\sentinel_dead.tga",
    "block\\block_pic.tga",
    "info\\score_pic.tga",
    "info\\energy_pic.tga",
    "info\\time_pic.tga",
    "info\\weapons_pic.tga",
    "info\\engine_pic.tga",
    "info\\level_pic.tga",
    "info\\status_pic.tga",
    "info\\energy_slider.tga",
    "info\\status_slider.tga",
    "info\\pause.tga",
};

static const struct {
    const char *file;
    uint32_t size;
} font_table[VORN_UI_FONTS] = {
    {"Ftr____.ttf", 1152}, {"Ftr____.ttf", 768}, {"ANDROMED.ttf", 640},
    {"arial.ttf", 768},    {"freon.ttf", 1152},  {"freon.ttf", 640},
};

static const int32_t fighter_marks[VORN_UI_MARKS][2] = {{340, 564}, {359, 556}, {388, 550}, {410, 549}, {420, 550},
                                                        {429, 550}, {434, 566}, {361, 562}, {392, 562}, {419, 562}};
// Mark 3 belongs on the station's picture (691..787, 495..591): at y 651 it
// would lie under the screen's bottom edge, so it sits at y 551.
static const int32_t station_marks[VORN_UI_MARKS][2] = {{696, 529}, {691, 527}, {716, 551}, {765, 512}, {721, 495},
                                                        {721, 507}, {745, 579}, {743, 553}, {760, 543}, {723, 527}};

// The fixed pictures with their places, in drawing order.
static const struct {
    int picture;
    int32_t x, y;
} fixed_pictures[] = {
    {VORN_UI_PIC_BLOCK, 5, 490},     {VORN_UI_PIC_SCORE, 34, 559},    {VORN_UI_PIC_ENERGY, 109, 585},
    {VORN_UI_PIC_TIME, 183, 559},    {VORN_UI_PIC_WEAPONS, 524, 585}, {VORN_UI_PIC_ENGINE, 254, 583},
    {VORN_UI_PIC_LEVEL, 590, 559},   {VORN_UI_PIC_STATUS, 661, 584},  {VORN_UI_PIC_STATION, 691, 495},
    {VORN_UI_PIC_FIGHTER, 339, 548},
};

static vorn_ui_picture pictures[VORN_UI_PICTURES];
static gtw_font *fonts[VORN_UI_FONTS];
static vorn_ui_state state;
static int pictures_loaded, pictures_in_atlas, last_batches;
static bool inited;

const char *vorn_ui_picture_name(int i) { return i >= 0 && i < VORN_UI_PICTURES ? picture_names[i] : nullptr; }
const char *vorn_ui_font_file(int font) { return font >= 0 && font < VORN_UI_FONTS ? font_table[font].file : nullptr; }
uint32_t vorn_ui_font_size(int font) { return font >= 0 && font < VORN_UI_FONTS ? font_table[font].size : 0; }
gtw_font *vorn_ui_get_font(int font) { return font >= 0 && font < VORN_UI_FONTS ? fonts[font] : nullptr; }
int vorn_ui_pictures_loaded() { return pictures_loaded; }
int vorn_ui_pictures_in_atlas() { return pictures_in_atlas; }
int vorn_ui_last_batches() { return last_batches; }
const vorn_ui_state *vorn_ui_get_state() { return &state; }

void vorn_ui_fighter_mark_position(int i, int32_t *x, int32_t *y)
{
    *x = fighter_marks[i][0];
    *y = fighter_marks[i][1];
}

void vorn_ui_station_mark_position(int i, int32_t *x, int32_t *y)
{
    *x = station_marks[i][0];
    *y = station_marks[i][1];
}

static void __font_init()
{
    for (int i = 0; i < VORN_UI_FONTS; i++) {
        std::string path = resource_path((std::string(VORN_UI_FOLDER) + font_table[i].file).c_str());
        fonts[i] = gtw_load_font(path.c_str(), font_table[i].size, 0);
        if (!fonts[i])
            do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE,
                   "vorn_ui: the font \"%s\" did not load; its texts are left out", path.c_str());
    }
}

bool vorn_ui_init()
{
    if (inited) vorn_ui_deinit();
    do_log(LOG_INFO, LOG_TO_FILE, "vorn: loading ui elements");
    std::string files[VORN_UI_PICTURES];
    const char *names[VORN_UI_PICTURES];
    for (int i = 0; i < VORN_UI_PICTURES; i++) {
        files[i] = std::string(VORN_UI_FOLDER) + picture_names[i];
        names[i] = files[i].c_str();
    }
    pictures_loaded = vorn_ui_pictures_load(names, VORN_UI_PICTURES, pictures);
    pictures_in_atlas = 0;
    for (const vorn_ui_picture &p : pictures) pictures_in_atlas += p.texture && !p.own;
    if (pictures_loaded < VORN_UI_PICTURES)
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "vorn_ui: %d of %d pictures loaded; the others are left out",
               pictures_loaded, VORN_UI_PICTURES);
    vorn_ui_clear_counters();
    state.blink_timer = 0.0f;
    state.blink = 0;
    __font_init();
    inited = true;
    do_log(LOG_INFO, LOG_TO_FILE, "vorn: ui elements loaded successfully.");
    return true;
}

void vorn_ui_deinit()
{
    if (!inited) return;
    do_log(LOG_INFO, LOG_TO_FILE, "vorn: vorn ui deinit..");
    for (gtw_font *&f : fonts) {
        if (f) gtw_free_font(f);
        f = nullptr;
    }
    vorn_ui_pictures_free(pictures, VORN_UI_PICTURES);
    pictures_loaded = pictures_in_atlas = 0;
    inited = false;
    do_log(LOG_INFO, LOG_TO_FILE, "vorn: vorn ui deinited.");
}

void vorn_ui_clear_counters()
{
    for (int i = 0; i < VORN_UI_MARKS; i++) state.fighter_marks[i] = state.station_marks[i] = 0;
    state.alert = 0;
    state.alert_timer = 0.0f;
    state.alert_blinks = 0;
}

void vorn_ui_station_alert()
{
    state.alert = 1;
    state.alert_timer = 0.0f;
    state.alert_blinks = 0;
}

static float __clamp01(float f) { return f > 0.0f ? (f < 1.0f ? f : 1.0f) : 0.0f; } // NaN gives 0

int vorn_ui_damage_marks(float life)
{
    // A life of 0.7 is 0.69999999 as a float: without the margin the tenth
    // it lacks would count as four.
    int n = int(std::ceil((1.0f - __clamp01(life)) * 10.0f - 1e-3f));
    return n < 0 ? 0 : n > VORN_UI_MARKS ? VORN_UI_MARKS : n;
}

// ---- the values ----

static float __query_float(game_actor *ga, int32_t code)
{
    float f = 0.0f;
    return game_actor_query(ga, code, &f) ? f : 0.0f;
}

void vorn_ui_gather(vorn_ui_values *v)
{
    *v = vorn_ui_values{};
    game_actor *fighter = vorn_get_game_actor("fighter", "fighter");
    game_actor *station = vorn_get_game_actor("station", "station");
    v->fighter_life = __query_float(fighter, GA_FIGHTER_Q_LIFE_LEVEL);
    v->engine = __query_float(fighter, GA_FIGHTER_Q_ENGINE);
    v->lasers = __query_float(fighter, GA_FIGHTER_Q_LASERS);
    v->channel_mod = __query_float(fighter, GA_FIGHTER_Q_CHANNEL_MOD);
    game_actor_query(fighter, GA_FIGHTER_Q_SCORE, &v->score);
    game_actor *target = nullptr;
    if (game_actor_query(fighter, GA_FIGHTER_Q_TARGET, &target) && target)
        v->has_target = game_actor_query(target, GA_QUERY_POSITION, &v->target_position);
    v->station_life = __query_float(station, GA_STATION_Q_FUNCTIONALITY_MOD);
    char name[32];
    for (int i = 0; i < VORN_UI_SENTINELS; i++) {
        std::snprintf(name, sizeof name, VORN_UI_SENTINEL_NAME, i + 1);
        game_actor *s = vorn_get_game_actor(name, "sentinel");
        v->sentinel_alive[i] = game_actor_is_alive(s);
        game_actor *aim = nullptr;
        v->sentinel_attacked[i] = game_actor_query(s, GA_SENTINEL_Q_TARGET, &aim) && aim;
    }
    v->remaining_seconds = vorn_get_remaining_seconds();
    v->level = vorn_get_current_level();
    OGL_input_get_mouse_pos(&v->mouse_x, &v->mouse_y);
}

// ---- the state ----

void vorn_ui_step(float dt, const vorn_ui_values *v)
{
    state.blink_timer += dt;
    if (state.blink_timer > VORN_UI_BLINK_PERIOD) {
        state.blink_timer = 0.0f;
        state.blink = 0;
    } else {
        state.blink = state.blink_timer > VORN_UI_BLINK_ON && state.blink_timer < VORN_UI_BLINK_PERIOD;
    }
    // Marks only ever get set here; a new game clears them.
    for (int i = vorn_ui_damage_marks(v->fighter_life) - 1; i >= 0; i--) state.fighter_marks[i] = 1;
    for (int i = vorn_ui_damage_marks(v->station_life) - 1; i >= 0; i--) state.station_marks[i] = 1;
    if (state.alert) {
        state.alert_timer += dt;
        while (state.alert_timer >= VORN_UI_ALERT_STEP) {
            state.alert_timer -= VORN_UI_ALERT_STEP;
            state.alert_blinks++;
        }
        if (state.alert_blinks > VORN_UI_ALERT_STEPS) state.alert = 0;
    }
}

// ---- the drawing ----

bool vorn_ui_project(const view *camera, tacka3 point, float *x, float *y)
{
    if (!camera) return false;
    const float *m = camera->view_matrix, *p = camera->projection_matrix;
    float eye[4], clip[4];
    const float in[4] = {point.x, point.y, point.z, 1.0f};
    for (int c = 0; c < 4; c++) eye[c] = in[0] * m[c] + in[1] * m[4 + c] + in[2] * m[8 + c] + in[3] * m[12 + c];
    for (int c = 0; c < 4; c++) clip[c] = eye[0] * p[c] + eye[1] * p[4 + c] + eye[2] * p[8 + c] + eye[3] * p[12 + c];
    if (!(clip[3] > 1e-6f)) return false;
    *x = (clip[0] / clip[3] + 1.0f) * 0.5f * 800.0f;
    *y = (clip[1] / clip[3] + 1.0f) * 0.5f * 600.0f;
    return std::isfinite(*x) && std::isfinite(*y);
}

// A slider of value v (0..29 pixels) from the bottom of its picture.
static void __slider(const vorn_ui_picture *p, float x, float fraction)
{
    int v = int(__clamp01(fraction) * float(VORN_UI_SLIDER_HEIGHT));
    if (v <= 0) return;
    float sh = float(p->h) * float(v) / float(VORN_UI_SLIDER_HEIGHT);
    vorn_ui_batch_part(p, 0.0f, float(p->h) - sh, float(p->w), sh, x, float(VORN_UI_SLIDER_BOTTOM - v),
                       float(VORN_UI_SLIDER_WIDTH), float(v), nullptr);
}

// A counter bar w pixels long: the engine's grows to the left from its end,
// the lasers' to the right from its start.
static void __counter(const vorn_ui_picture *p, float fraction, bool grows_left)
{
    float f = __clamp01(fraction);
    int w = int(float(VORN_UI_COUNTER_LENGTH) * f);
    if (w <= 0) return;
    const float tint[4] = {1.0f - f, 0.7f, f, 1.0f};
    float sw = float(p->w) * float(w) / float(VORN_UI_COUNTER_LENGTH);
    float sx = grows_left ? float(p->w) - sw : 0.0f;
    float x = grows_left ? float(VORN_UI_COUNTER_LEFT_END - w) : float(VORN_UI_COUNTER_RIGHT_START);
    vorn_ui_batch_part(p, sx, 0.0f, sw, float(p->h), x, float(VORN_UI_COUNTER_Y), float(w),
                       float(VORN_UI_COUNTER_HEIGHT), tint);
}

static int __text(int font, int32_t x, int32_t y, const char *text, uint32_t flags)
{
    if (!fonts[font]) return 0;
    gtw_draw_text_utf8(fonts[font], x, y, text, nullptr, flags);
    return 1;
}

void vorn_ui_draw(const vorn_ui_values *v, const view *camera)
{
    if (!inited) return;
    vorn_ui_batch_begin();
    for (const auto &f : fixed_pictures) vorn_ui_batch_picture(&pictures[f.picture], float(f.x), float(f.y));
    vorn_ui_batch_picture(&pictures[VORN_UI_PIC_POINTER], float(v->mouse_x - 16), float(v->mouse_y - 16));
    __slider(&pictures[VORN_UI_PIC_ENERGY_SLIDER], VORN_UI_ENERGY_SLIDER_X, v->channel_mod);
    if (state.blink) {
        for (int i = 0; i < VORN_UI_MARKS; i++)
            if (state.fighter_marks[i])
                vorn_ui_batch_picture(&pictures[VORN_UI_PIC_FIGHTER_DAMAGE + i], float(fighter_marks[i][0]),
                                      float(fighter_marks[i][1]));
        for (int i = 0; i < VORN_UI_MARKS; i++)
            if (state.station_marks[i])
                vorn_ui_batch_picture(&pictures[VORN_UI_PIC_STATION_DAMAGE + i], float(station_marks[i][0]),
                                      float(station_marks[i][1]));
    }
    __slider(&pictures[VORN_UI_PIC_STATUS_SLIDER], VORN_UI_STATUS_SLIDER_X, v->station_life);
    __counter(&pictures[VORN_UI_PIC_COUNTER_LEFT], v->engine, true);
    __counter(&pictures[VORN_UI_PIC_COUNTER_RIGHT], v->lasers, false);
    if (state.alert && state.alert_blinks % 2 == 0)
        vorn_ui_batch_picture(&pictures[VORN_UI_PIC_STATION_BLINK], VORN_UI_STATION_X, VORN_UI_STATION_Y);
    for (int i = 0; i < VORN_UI_SENTINELS; i++)
        vorn_ui_batch_picture(&pictures[VORN_UI_PIC_SENTINEL], VORN_UI_SENTINEL_X,
                              float(VORN_UI_SENTINEL_Y0 + VORN_UI_SENTINEL_STEP * i));
    for (int i = 0; i < VORN_UI_SENTINELS; i++) {
        float y = float(VORN_UI_SENTINEL_Y0 + VORN_UI_SENTINEL_STEP * i);
        if (!v->sentinel_alive[i])
            vorn_ui_batch_picture(&pictures[VORN_UI_PIC_SENTINEL_DEAD], VORN_UI_SENTINEL_X, y);
        else if (v->sentinel_attacked[i] && state.blink)
            vorn_ui_batch_picture(&pictures[VORN_UI_PIC_SENTINEL_ATTACKED], VORN_UI_SENTINEL_X, y);
    }
    float tx, ty;
    if (v->has_target && vorn_ui_project(camera, v->target_position, &tx, &ty))
        vorn_ui_batch_picture(&pictures[VORN_UI_PIC_MISSILE_TARGET], std::floor(tx - 16.0f), std::floor(572.0f - ty));
    int batches = vorn_ui_batch_flush();

    char text[16];
    std::snprintf(text, sizeof text, "%d", v->score);
    batches += __text(VORN_UI_FONT_MAIN_18, 50, 591, text, GTW_ALIGN_CENTRE);
    std::snprintf(text, sizeof text, "%d", v->remaining_seconds);
    batches += __text(VORN_UI_FONT_MAIN_10, 182, 584, text, 0);
    std::snprintf(text, sizeof text, "%d", v->level);
    batches += __text(VORN_UI_FONT_MAIN_10, 596, 584, text, 0);
    last_batches = batches;
}

void vorn_ui_update(float dt, const view *camera)
{
    vorn_ui_values v;
    vorn_ui_gather(&v);
    vorn_ui_step(dt, &v);
    if (OGL_is_initialised()) vorn_ui_draw(&v, camera);
}

void vorn_ui_draw_pause_picture()
{
    if (!inited || !OGL_is_initialised()) return;
    vorn_ui_batch_begin();
    vorn_ui_batch_picture(&pictures[VORN_UI_PIC_PAUSE], VORN_UI_PAUSE_X, VORN_UI_PAUSE_Y);
    vorn_ui_batch_flush();
}
