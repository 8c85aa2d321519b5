// Full-screen pictures and their parts: the splash and loading pictures, the
// hi-score screen and the configuration screen, with the mouse cursors. Each
// is laid out for the positions the game draws it at (800 x 600 overlay
// coordinates, noted with each one).

#include <cmath>
#include <cstdio>

#include "data_build.h"
#include "data_style.h"

#define SHEET "screens"

// ---- splash ----------------------------------------------------------------

// "splash\screen_pic.tga" at (0, 0): the title over the backdrop; the loading
// pictures appear at (179, 544), so the bottom strip stays quiet.
static data_image __splash()
{
    data_image img = image_make(800, 600);
    style_backdrop(img, 0, 3);
    style_heading(img, 400, 250, "VVVORN", 110, TEXT_CENTRE, rgba_u8(225, 245, 255), rgba_u8(40, 140, 255, 200));
    style_label(img, 400, 292, "DEFEND THE STATION  \xb7  CLEAR THE BELT", TEXT_CENTRE, STYLE_TEXT_DIM, 18);
    style_label_haloed(img, 400, 590, "OXBELT FREEWARE EDITION  \xb7  MORPHANE ENGINE", TEXT_CENTRE, STYLE_TEXT_DIM,
                       11);
    return img;
}

// "splash\loading_pic_0N.tga" at (179, 544), 442 x 32: the loading bar at step N of 5.
static data_image __loading(int step)
{
    static const char *what[5] = {"INTERFACE", "SETTINGS", "SCENE", "PARTICLES AND FONTS", "SHIPS AND STATION"};
    data_image img = image_make(442, 32);
    style_panel(img, 0, 0, 442, 32, 6);
    char text[64];
    std::snprintf(text, sizeof text, "LOADING %s", what[step - 1]);
    style_label(img, 12, 21, text, TEXT_LEFT, STYLE_TEXT, 13);
    float x0 = 230, x1 = 430, fill = x0 + (x1 - x0) * step / 5.0f;
    image_fill_round_rect(img, x0, 11, x1, 21, 3, rgba_u8(0, 0, 0, 170));
    image_fill_round_rect_vgrad(img, x0, 11, fill, 21, 3, rgba_u8(150, 235, 255), rgba_u8(40, 140, 230));
    image_stroke_round_rect(img, x0, 11, x1, 21, 3, 1, STYLE_EDGE_DIM);
    return img;
}

static data_image __splash_with_loading(int step)
{
    data_image img = __splash();
    image_paste(img, __loading(step), 179, 544);
    return img;
}

// ---- hi-score screen -------------------------------------------------------

// "hiscore\hiscore background.tga" at (0, 0). The game letters ten rows at
// y = 77 + 35 i (names at x 350, scores at x 480) and has hotspots for a new
// game (342, 467, 458, 488), the studio (311, 435, 500, 457), quit (778, 7,
// 794, 20) and two more links (70, 511, 174, 581) and (648, 555, 714, 575).
static void __hiscore_new_game(data_image &img, bool lit)
{
    text_style ts;
    ts.font = DATA_FONT_SANS_BOLD;
    ts.px = 17;
    ts.align = TEXT_CENTRE;
    ts.tracking = 1.5f;
    ts.colour = lit ? rgba_u8(255, 236, 190) : STYLE_TEXT;
    text_draw(img, ts, 400, 484, "NEW GAME");
}

static void __hiscore_studio(data_image &img, bool lit)
{
    text_style ts;
    ts.font = DATA_FONT_SANS;
    ts.px = 12;
    ts.align = TEXT_CENTRE;
    ts.tracking = 0.8f;
    ts.colour = lit ? rgba_u8(255, 236, 190) : STYLE_TEXT_DIM;
    text_draw(img, ts, 405.5f, 451, "A QORVEX STUDIO GAME");
}

static data_image __hiscore_background()
{
    data_image img = image_make(800, 600);
    style_backdrop(img, 3, 5);
    style_heading(img, 400, 48, "HALL OF FAME", 34, TEXT_CENTRE);
    style_panel(img, 250, 58, 560, 424, 12);
    for (int i = 0; i < 10; i++) {
        float y = 77 + 35 * i;
        // Rows: the game's text sits on the line at y; the band spans the letters.
        image_fill_round_rect(img, 262, y - 17, 548, y + 11, 4,
                              i % 2 ? rgba_u8(30, 60, 90, 90) : rgba_u8(30, 60, 90, 40));
        char rank[8];
        std::snprintf(rank, sizeof rank, "%d.", i + 1);
        style_label(img, 300, y, rank, TEXT_RIGHT, i < 3 ? STYLE_AMBER : STYLE_TEXT_DIM, 15);
    }
    // Hotspot captions.
    __hiscore_studio(img, false);
    image_fill_round_rect(img, 342, 467, 458, 488, 5, rgba_u8(20, 50, 80, 200));
    image_stroke_round_rect(img, 342, 467, 458, 488, 5, 1.2f, STYLE_EDGE);
    __hiscore_new_game(img, false);
    // Quit: a small cross in a box at the top right.
    image_stroke_round_rect(img, 778, 7, 794, 20, 2, 1.2f, STYLE_EDGE);
    image_line(img, 782, 10, 790, 17, 1.5f, STYLE_TEXT);
    image_line(img, 790, 10, 782, 17, 1.5f, STYLE_TEXT);
    // The engine badge (second link) and the web link (third link).
    style_panel(img, 70, 511, 174, 581, 8);
    style_heading(img, 122, 548, "M", 30, TEXT_CENTRE, STYLE_TEXT, rgba_u8(40, 150, 255, 120));
    style_label(img, 122, 572, "MORPHANE", TEXT_CENTRE, STYLE_TEXT_DIM, 11);
    image_stroke_round_rect(img, 648, 555, 714, 575, 4, 1.2f, STYLE_EDGE_DIM);
    style_label(img, 681, 569, "WEBSITE", TEXT_CENTRE, STYLE_TEXT_DIM, 11);
    style_label_haloed(img, 400, 590, "ENTER YOUR NAME AND PRESS ENTER  \xb7  SPACE FOR A NEW GAME  \xb7  ESC TO QUIT",
                       TEXT_CENTRE, STYLE_TEXT_DIM, 10);
    return img;
}

// "hiscore\new_game_hl.tga" at (338, 463), 124 x 29; "hiscore\qorvex_hl.tga"
// at (307, 429), 197 x 34: lit versions of the two captions.
static data_image __highlight(int w, int h, int ox, int oy, bool new_game)
{
    data_image full = image_make(800, 600);
    float x0 = ox + 3, y0 = oy + 3, x1 = ox + w - 3, y1 = oy + h - 3;
    image_glow(full, (x0 + x1) / 2, (y0 + y1) / 2, w * 0.6f, 1.5f, rgba_u8(255, 190, 80, 70), false);
    image_fill_round_rect(full, x0, y0, x1, y1, 5, rgba_u8(90, 60, 20, 170));
    image_stroke_round_rect(full, x0, y0, x1, y1, 5, 1.5f, STYLE_AMBER);
    if (new_game)
        __hiscore_new_game(full, true);
    else
        __hiscore_studio(full, true);
    data_image img = image_make(w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) image_at(img, x, y) = image_at(full, ox + x, oy + y);
    return img;
}

// ---- configuration screen --------------------------------------------------

#define CFG_SLIDER_X 136
#define CFG_SLIDER_LEN 148
#define CFG_KNOB_W 16
#define CFG_KNOB_H 24

// "config\background_pic.tga" at (0, 0): the panel with the captions and
// tracks for the widgets (checkbox at 299, 92; sliders at x 136 with y 196,
// 255, 315, 374, 434 and length 148; buttons at 114 and 206, y 467).
static data_image __config_background()
{
    data_image img = image_make(800, 600);
    style_backdrop(img, 6, 8);
    style_panel(img, 90, 24, 340, 516, 14);
    style_heading(img, 215, 62, "SETTINGS", 26, TEXT_CENTRE);
    image_line(img, 110, 74, 320, 74, 1, STYLE_EDGE_DIM);
    style_label(img, 112, 110, "PARTICLE EFFECTS", TEXT_LEFT, STYLE_TEXT, 14);
    struct {
        int y;
        const char *caption, *low, *high;
    } sliders[] = {{196, "TEXTURE QUALITY", "LOW", "HIGH"},
                   {255, "TEXTURE SIZE", "SMALL", "LARGE"},
                   {315, "PARTICLE AMOUNT", "FEW", "MANY"},
                   {374, "TERRAIN HORIZON", "NEAR", "FAR"},
                   {434, "SOUND VOLUME", "QUIET", "LOUD"}};
    for (const auto &s : sliders) {
        style_label(img, 112, s.y - 8, s.caption, TEXT_LEFT, STYLE_TEXT, 14);
        float cy = s.y + CFG_KNOB_H / 2.0f;
        float x0 = CFG_SLIDER_X + CFG_KNOB_W / 2.0f, x1 = x0 + CFG_SLIDER_LEN;
        image_fill_round_rect(img, x0 - 4, cy - 3, x1 + 4, cy + 3, 3, rgba_u8(0, 0, 0, 190));
        image_stroke_round_rect(img, x0 - 4, cy - 3, x1 + 4, cy + 3, 3, 1, STYLE_EDGE_DIM);
        for (int k = 0; k <= 4; k++) image_line(img, x0 + k * 37, cy + 7, x0 + k * 37, cy + 11, 1, STYLE_EDGE_DIM);
        style_label(img, x0 - 6, cy + 4, s.low, TEXT_RIGHT, STYLE_TEXT_DIM, 9);
        style_label(img, x1 + 14, cy + 4, s.high, TEXT_LEFT, STYLE_TEXT_DIM, 9);
    }
    style_heading(img, 580, 300, "VVVORN", 64, TEXT_CENTRE, rgba_u8(225, 245, 255), rgba_u8(40, 140, 255, 160));
    style_label_haloed(img, 580, 330, "ESC LEAVES WITHOUT SAVING", TEXT_CENTRE, STYLE_TEXT_DIM, 12);
    return img;
}

// Checkbox faces, 24 x 24: "checked" shows particles on, "unchecked" off.
static data_image __checkbox(bool ticked)
{
    data_image img = image_make(24, 24);
    image_fill_round_rect(img, 1, 1, 23, 23, 4, rgba_u8(6, 16, 28, 230));
    image_stroke_round_rect(img, 1.5f, 1.5f, 22.5f, 22.5f, 4, 1.5f, STYLE_EDGE);
    if (ticked) {
        image_line(img, 6, 12.5f, 10.5f, 17, 3, STYLE_GREEN);
        image_line(img, 10.5f, 17, 18, 7, 3, STYLE_GREEN);
    }
    return img;
}

// The slider knob, 16 x 24.
static data_image __knob()
{
    data_image img = image_make(CFG_KNOB_W, CFG_KNOB_H);
    image_fill_round_rect_vgrad(img, 1, 1, 15, 23, 4, rgba_u8(220, 240, 255), rgba_u8(90, 150, 200));
    image_stroke_round_rect(img, 1.5f, 1.5f, 14.5f, 22.5f, 4, 1.2f, rgba_u8(20, 50, 80));
    for (int k = 0; k < 3; k++) image_line(img, 5, 8.5f + k * 3, 11, 8.5f + k * 3, 1, rgba_u8(40, 80, 120));
    return img;
}

static data_image __button(const char *caption, bool hot)
{
    data_image img = image_make(84, 28);
    style_button(img, 1, 1, 83, 27, caption, hot);
    return img;
}

// A layout of the configuration screen with its widgets in place.
static data_image __config_layout(const data_image &bg, const data_image &knob, const data_image &box,
                                  const data_image &ok, const data_image &cancel, const data_image &cursor)
{
    data_image frame = bg;
    image_paste(frame, box, 299, 92);
    int values[5] = {148, 148, 111, 111, 74};
    int ys[5] = {196, 255, 315, 374, 434};
    for (int i = 0; i < 5; i++) image_paste(frame, knob, CFG_SLIDER_X + values[i], ys[i]);
    image_paste(frame, ok, 114, 467);
    image_paste(frame, cancel, 206, 467);
    image_paste(frame, cursor, 240, 478);
    return frame;
}

bool data_gen_screens(data_ctx &ctx)
{
    if (!data_write_picture(ctx, "splash\\screen_pic.tga", __splash(), 24, SHEET)) return false;
    char name[64];
    for (int i = 1; i <= 5; i++) {
        std::snprintf(name, sizeof name, "splash\\loading_pic_%02d.tga", i);
        if (!data_write_picture(ctx, name, __loading(i), 32, SHEET)) return false;
    }
    data_image hs = __hiscore_background();
    data_image new_game = __highlight(124, 29, 338, 463, true), studio = __highlight(197, 34, 307, 429, false);
    data_image cursor = style_cursor(false), cursor_hot = style_cursor(true);
    if (!data_write_picture(ctx, "hiscore\\hiscore background.tga", hs, 24, SHEET) ||
        !data_write_picture(ctx, "hiscore\\new_game_hl.tga", new_game, 32, SHEET) ||
        !data_write_picture(ctx, "hiscore\\qorvex_hl.tga", studio, 32, SHEET) ||
        !data_write_picture(ctx, "hiscore\\cursor_norm.tga", cursor, 32, SHEET) ||
        !data_write_picture(ctx, "hiscore\\cursor_hi.tga", cursor_hot, 32, SHEET))
        return false;
    data_image cfg = __config_background(), knob = __knob(), on = __checkbox(true), off = __checkbox(false);
    data_image ok_low = __button("OK", false), ok_high = __button("OK", true);
    data_image cancel_low = __button("CANCEL", false), cancel_high = __button("CANCEL", true);
    // The configuration screen's cursors are named without a folder; they are
    // written at the top of the resource folder and, for a screen that is
    // given its folder, in "config\" too.
    if (!data_write_picture(ctx, "config\\background_pic.tga", cfg, 24, SHEET) ||
        !data_write_picture(ctx, "config\\checked.tga", on, 32, SHEET) ||
        !data_write_picture(ctx, "config\\unchecked.tga", off, 32, SHEET) ||
        !data_write_picture(ctx, "config\\slider.tga", knob, 32, SHEET) ||
        !data_write_picture(ctx, "config\\ok_low.tga", ok_low, 32, SHEET) ||
        !data_write_picture(ctx, "config\\ok_high.tga", ok_high, 32, SHEET) ||
        !data_write_picture(ctx, "config\\abbrechen_low.tga", cancel_low, 32, SHEET) ||
        !data_write_picture(ctx, "config\\abbrechen_high.tga", cancel_high, 32, SHEET) ||
        !data_write_picture(ctx, "cursor_norm.tga", cursor, 32, SHEET) ||
        !data_write_picture(ctx, "cursor_hot.tga", cursor_hot, 32, SHEET) ||
        !data_write_picture(ctx, "config\\cursor_norm.tga", cursor, 32, SHEET) ||
        !data_write_picture(ctx, "config\\cursor_hot.tga", cursor_hot, 32, SHEET))
        return false;
    // Mock-ups of the screens as the game composes them.
    data_image splash = __splash_with_loading(3);
    ctx.layouts["splash-layout"] = splash;
    ctx.layouts["config-layout"] = __config_layout(cfg, knob, on, ok_high, cancel_low, cursor);
    data_image hsl = hs;
    image_paste(hsl, new_game, 338, 463);
    const char *names[3] = {"ACE_PILOT", "NOVA", "KESTREL"};
    text_style row;
    row.font = DATA_FONT_SANS;
    row.px = 13;
    row.colour = STYLE_TEXT;
    for (int i = 0; i < 10; i++) {
        text_draw(hsl, row, 350, 77 + 35 * i, i < 3 ? names[i] : "EMPTY");
        text_draw(hsl, row, 480, 77 + 35 * i, i < 3 ? std::to_string(24000 - i * 6100) : "0");
    }
    image_paste(hsl, cursor_hot, 420, 476);
    ctx.layouts["hiscore-layout"] = hsl;
    return true;
}
