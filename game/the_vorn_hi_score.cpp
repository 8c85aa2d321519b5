#include "the_vorn_hi_score.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "corelib/files.h"
#include "corelib/gfxloader.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "frontend/desktop_open.h"
#include "game/resource_folder.h"
#include "game/the_vorn_game.h"
#include "renderer/OGL_blitter.h"
#include "renderer/OGL_input.h"
#include "renderer/OGL_main.h"
#include "renderer/OGL_texture.h"

static const hs_rect hs_hotspots[HS_HOTSPOTS] = {
    {342, 467, 458, 488}, // new game
    {311, 435, 500, 457}, // studio link
    {778, 7, 794, 20},    // quit
    {70, 511, 174, 581},  // engine link
    {648, 555, 714, 575}, // web link
};

static vorn_hi_score_screen hs;
static vorn_hi_score_hooks hs_hooks;
static vorn_hi_score_text_fn hs_text;
static std::string hs_file = HS_FILE_NAME;
static std::string hs_documentation;
static bool hs_inited;

static struct {
    OGL_texture *background, *new_game_hl, *studio_hl, *cursor_normal, *cursor_hi;
} hs_pictures;

const hs_rect *vorn_hi_score_hotspot(int which)
{
    return which >= 0 && which < HS_HOTSPOTS ? &hs_hotspots[which] : nullptr;
}

bool vorn_hi_score_hotspot_contains(int which, int x, int y)
{
    const hs_rect *r = vorn_hi_score_hotspot(which);
    return r && x >= r->left && x <= r->right && y >= r->top && y <= r->bottom;
}

void vorn_hi_score_set_hooks(const vorn_hi_score_hooks *hooks) { hs_hooks = hooks ? *hooks : vorn_hi_score_hooks{}; }

void vorn_hi_score_set_text_writer(vorn_hi_score_text_fn fn) { hs_text = fn; }

void vorn_hi_score_set_file(const char *path) { hs_file = path && *path ? path : HS_FILE_NAME; }

const char *vorn_hi_score_get_file() { return hs_file.c_str(); }

const vorn_hi_score_screen *vorn_hi_score_get_screen() { return &hs; }

// ---- the documentation the links open ----

const char *vorn_hi_score_documentation()
{
    if (!hs_documentation.empty()) return hs_documentation.c_str();
    // Installed beside the program, or the README of the source tree the
    // program was built in (<source>/build/bin/vorn).
    std::string exe = file_executable_dir();
    const char *candidates[] = {"../share/doc/vorn/README.md", "README.md", "../README.md", "../../README.md"};
    for (const char *c : candidates) {
        std::string p = exe + c;
        if (!file_exists(p.c_str())) continue;
        char *full = realpath(p.c_str(), nullptr);
        if (!full) continue;
        hs_documentation = std::string("file://") + full;
        free(full);
        break;
    }
    return hs_documentation.c_str();
}

static void __open_link()
{
    const char *address = vorn_hi_score_documentation();
    if (!*address)
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "hiscore: the game's documentation was not found");
    else
        desktop_open(address);
}

// ---- name entry ----

static hs_entry *__entry()
{
    return hs.entry_index >= 0 && hs.table ? hs.table->get_element(uint32_t(hs.entry_index)) : nullptr;
}

// A character a name may hold: printable, one UTF-16 unit, not "-".
static bool __name_character(int c)
{
    if (c < 32 || c == 127 || (c >= 0x80 && c < 0xa0) || c > 0xffff) return false;
    if (c >= 0xd800 && c <= 0xdfff) return false;
    return c != '-';
}

static void __on_char(int c, int action)
{
    (void)action;
    hs_entry *e = __entry();
    if (hs.sub_state != HS_SUB_NAME_ENTRY || !hs.text_entry || !e || !__name_character(c)) return;
    uint32_t n = hiscore_name_length(e); // the characters and the cursor
    if (n == 0 || n - 1 >= HS_NAME_MAX) return;
    if (n == 1 && c == ' ') return; // no leading space
    e->name[n - 1] = uint16_t(c);
    e->name[n] = HS_NAME_CURSOR;
    e->name[n + 1] = 0;
}

static void __on_key(int key, int action)
{
    hs_entry *e = __entry();
    if (key != OGL_KEY_BACKSPACE || action != OGL_PRESS) return;
    if (hs.sub_state != HS_SUB_NAME_ENTRY || !hs.text_entry || !e) return;
    uint32_t n = hiscore_name_length(e);
    if (n > 1) {
        e->name[n - 2] = HS_NAME_CURSOR;
        e->name[n - 1] = 0;
    }
}

static void __text_entry(bool on)
{
    hs.text_entry = on;
    OGL_input_set_char_callback(on ? __on_char : nullptr);
    OGL_input_set_key_callback(on ? __on_key : nullptr);
    OGL_input_set_key_repeat(on); // a held Backspace deletes on
}

// ---- the steps ----

static void __start()
{
    if (hs.started) log_fault_assert("vorn_hi_score_loop", ".\\the_vorn_hi_score", __LINE__, "!hs_started");
    vorn_letterbox_retract();
    OGL_input_clear_keys();
    OGL_input_clear_mouse_buttons();
    if (!hs.table) hs.table = hiscore_table_create();
    if (!hs.table) BUG();
    hs.fade = 0.0f;
    hiscore_table_read(hs.table, hs_file.c_str());
    hs.score = hs_hooks.get_score ? hs_hooks.get_score() : 0;
    hs.qualifies = hiscore_qualifies(hs.table, hs.score);
    snprintf(hs.score_text, sizeof hs.score_text, "%d", hs.score);
    for (bool &h : hs.hover) h = false;
    hs.cursor_mode = HS_CURSOR_NONE;
    hs.entry_index = -1;
    hs.sub_state = HS_SUB_FADE_IN;
    hs.started = true;
}

static void __begin_name_entry()
{
    const uint16_t cursor[2] = {HS_NAME_CURSOR, 0};
    hs.entry_index = hiscore_table_insert(hs.table, cursor, hs.score);
    if (hs.entry_index < 0) {
        // No room after all (memory): the table is shown as it is.
        hs.sub_state = HS_SUB_TABLE;
        return;
    }
    __text_entry(true);
}

static void __name_entry_step()
{
    hs_entry *e = __entry();
    bool enter = OGL_input_get_key(OGL_KEY_ENTER) | OGL_input_get_key(OGL_KEY_KP_ENTER);
    bool escape = OGL_input_get_key(OGL_KEY_ESC);
    if (escape) {
        // Left without storing: the table as the file holds it again (the
        // entry that made room for the new one included).
        __text_entry(false);
        hiscore_table_read(hs.table, hs_file.c_str());
        hs.entry_index = -1;
        hs.sub_state = HS_SUB_FADE_OUT_QUIT;
        return;
    }
    if (enter && e && hiscore_name_length(e) > 1) {
        e->name[hiscore_name_length(e) - 1] = 0; // the cursor
        __text_entry(false);
        char name[64];
        hiscore_name_to_utf8(e, name, sizeof name);
        // A failed save is logged by the writer; the game goes on.
        if (hiscore_table_write(hs.table, hs_file.c_str()))
            do_log(LOG_INFO, LOG_TO_FILE, "hiscore: %s with %d stored as number %d", name, hs.score,
                   hs.entry_index + 1);
        hs.sub_state = HS_SUB_TABLE;
    }
}

static void __new_game()
{
    vorn_passes *p = vorn_get_passes();
    p->hud = p->sky = p->scene = 1;
    if (hs_hooks.start_new_game) hs_hooks.start_new_game();
    hs.sub_state = HS_SUB_FADE_OUT_NEW_GAME;
}

static void __table_step()
{
    int x, y;
    OGL_input_get_mouse_pos(&x, &y);
    bool click = OGL_input_get_mouse_button(OGL_MOUSE_BUTTON_LEFT) != 0;
    hs.cursor_mode = HS_CURSOR_NORMAL;
    int clicked = -1;
    for (int i = 0; i < HS_HOTSPOTS; i++) {
        hs.hover[i] = vorn_hi_score_hotspot_contains(i, x, y);
        if (!hs.hover[i]) continue;
        hs.cursor_mode = HS_CURSOR_HIGHLIGHTED;
        if (click && clicked < 0) clicked = i;
    }
    switch (clicked) {
    case HS_HOTSPOT_STUDIO:
    case HS_HOTSPOT_ENGINE:
    case HS_HOTSPOT_WEB:
        __open_link();
        OGL_input_clear_mouse_buttons();
        return;
    case HS_HOTSPOT_NEW_GAME: __new_game(); return;
    case HS_HOTSPOT_QUIT: hs.sub_state = HS_SUB_FADE_OUT_QUIT; return;
    default: break;
    }
    if (OGL_input_get_key(OGL_KEY_SPACE))
        __new_game();
    else if (OGL_input_get_key(OGL_KEY_ESC))
        hs.sub_state = HS_SUB_FADE_OUT_QUIT;
}

int32_t vorn_hi_score_step(float dt)
{
    if (!hs.started) __start();
    switch (hs.sub_state) {
    case HS_SUB_FADE_IN:
        hs.fade += dt;
        if (hs.fade >= HS_FADE_TIME) {
            hs.fade = HS_FADE_TIME;
            vorn_passes *p = vorn_get_passes();
            p->hud = p->sky = 0;
            hs.sub_state = hs.qualifies ? HS_SUB_NAME_ENTRY : HS_SUB_TABLE;
            if (hs.qualifies) __begin_name_entry();
        }
        return HS_LOOP_CONTINUE;
    case HS_SUB_NAME_ENTRY: __name_entry_step(); return HS_LOOP_CONTINUE;
    case HS_SUB_TABLE: __table_step(); return HS_LOOP_CONTINUE;
    case HS_SUB_FADE_OUT_NEW_GAME:
    case HS_SUB_FADE_OUT_QUIT:
        hs.fade -= dt;
        if (hs.fade > 0.0f) return HS_LOOP_CONTINUE;
        hs.fade = 0.0f;
        if (hs.text_entry) __text_entry(false);
        hs.started = false;
        return hs.sub_state == HS_SUB_FADE_OUT_NEW_GAME ? HS_LOOP_NEW_GAME : HS_LOOP_QUIT;
    default: BUG();
    }
}

// ---- pictures and drawing ----

static OGL_texture *__load_picture(const char *relative)
{
    std::string path = resource_path(relative);
    OGL_texture *t = OGL_texture_load_picture(path.c_str(), relative);
    if (!t) do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "hiscore: cannot load %s", path.c_str());
    return t;
}

void vorn_hi_score_init()
{
    if (hs_inited) log_fault_assert("vorn_hi_score_init", ".\\the_vorn_hi_score", __LINE__, "hs_state == NOT_INITED");
    if (!hs.table) hs.table = hiscore_table_create();
    if (!hs.table) log_fault_assert("vorn_hi_score_init", ".\\the_vorn_hi_score", __LINE__, "hs_table != NULL");
    hs_inited = true;
    // Without a window the screen runs its logic only.
    if (!OGL_is_initialised()) return;
    hs_pictures.background = __load_picture(HS_PICTURE_BACKGROUND);
    if (!hs_pictures.background) log_fault_assert("vorn_hi_score_init", ".\\the_vorn_hi_score", __LINE__, "bg != NULL");
    hs_pictures.new_game_hl = __load_picture(HS_PICTURE_NEW_GAME_HL);
    if (!hs_pictures.new_game_hl)
        log_fault_assert("vorn_hi_score_init", ".\\the_vorn_hi_score", __LINE__, "new_game_highlight != NULL");
    hs_pictures.studio_hl = __load_picture(HS_PICTURE_STUDIO_HL);
    if (!hs_pictures.studio_hl)
        log_fault_assert("vorn_hi_score_init", ".\\the_vorn_hi_score", __LINE__, "qorvex_link_highlight != NULL");
    hs_pictures.cursor_normal = __load_picture(HS_PICTURE_CURSOR_NORMAL);
    hs_pictures.cursor_hi = __load_picture(HS_PICTURE_CURSOR_HI);
    if (!hs_pictures.cursor_normal || !hs_pictures.cursor_hi)
        do_log(LOG_WARNING, LOG_TO_ALL, "selection_init(): cannot load cursor textures.");
}

void vorn_hi_score_deinit()
{
    if (hs.text_entry) __text_entry(false);
    OGL_texture *all[] = {hs_pictures.background, hs_pictures.new_game_hl, hs_pictures.studio_hl,
                          hs_pictures.cursor_normal, hs_pictures.cursor_hi};
    for (OGL_texture *t : all)
        if (t) OGL_texture_free(t);
    hs_pictures = {};
    hiscore_table_free(hs.table);
    hs = vorn_hi_score_screen{};
    hs_inited = false;
}

static void __blit(const OGL_texture *t, float x, float y)
{
    if (t) OGL_blit_texture(t, x, y, float(t->xsize), float(t->ysize), t->bpp == 32 ? OGL_BLIT_ALPHA : 0);
}

void vorn_hi_score_draw_text()
{
    if (!hs_text || !hs.table) return;
    char name[64], score[16];
    for (uint32_t i = 0; i < HS_MAX_ENTRIES; i++) {
        float y = HS_ROW_Y0 + HS_ROW_STEP * float(i);
        const hs_entry *e = hs.table->get_element(i);
        if (e) {
            hiscore_name_to_utf8(e, name, sizeof name);
            snprintf(score, sizeof score, "%d", e->score);
        } else {
            snprintf(name, sizeof name, "%s", HS_EMPTY_ROW);
            snprintf(score, sizeof score, "%d", 0);
        }
        hs_text(HS_NAME_X, y, name);
        hs_text(HS_SCORE_X, y, score);
    }
}

void vorn_hi_score_draw()
{
    if (!hs_inited) return;
    float grey = hs.fade / HS_FADE_TIME;
    const float tint[4] = {grey, grey, grey, 1.0f};
    if (hs_pictures.background) OGL_blit_texture_color(hs_pictures.background, tint, 0, 0, 800, 600, 0);
    if (hs.hover[HS_HOTSPOT_NEW_GAME]) __blit(hs_pictures.new_game_hl, 338, 463);
    if (hs.hover[HS_HOTSPOT_STUDIO]) __blit(hs_pictures.studio_hl, 307, 429);
    vorn_hi_score_draw_text();
    int x, y;
    OGL_input_get_mouse_pos(&x, &y);
    if (hs.cursor_mode == HS_CURSOR_NORMAL) __blit(hs_pictures.cursor_normal, float(x), float(y));
    if (hs.cursor_mode == HS_CURSOR_HIGHLIGHTED) __blit(hs_pictures.cursor_hi, float(x), float(y));
}

int32_t vorn_hi_score_loop(float dt)
{
    int32_t result = vorn_hi_score_step(dt);
    if (result == HS_LOOP_CONTINUE) vorn_hi_score_draw();
    return result;
}
