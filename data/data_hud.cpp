// The in-game HUD pictures (folder "ui\"), each sized for the screen position
// the HUD draws it at (800 x 600 overlay coordinates, noted with each one).

#include <cmath>
#include <cstdio>
#include <map>

#include "data_build.h"
#include "data_noise.h"
#include "data_style.h"

#define SHEET "hud"

// Every picture written, kept for the layout preview.
static std::map<std::string, data_image> hud_pictures;

static bool __put(data_ctx &ctx, const std::string &name, const data_image &img)
{
    hud_pictures[name] = img;
    return data_write_picture(ctx, "ui\\" + name, img, 32, SHEET);
}

// A caption plate: the word alone, drawn with a dark halo for legibility.
static data_image __caption(int w, int h, const std::string &text, int align)
{
    data_image img = image_make(w, h);
    float x = align == TEXT_LEFT ? 1 : align == TEXT_RIGHT ? w - 1 : w * 0.5f;
    style_label_haloed(img, x, h - 3, text, align);
    return img;
}

// The console under the HUD, at (5, 490): one panel outline around all the
// gauges, raised in the middle for the fighter and at the right for the station.
static data_image __block()
{
    data_image img = image_make(790, 110);
    std::vector<float> outline = {6,  56,  20, 44,  318, 44,  330, 32,  476, 32, 488, 44, 672,
                                  44, 684, 2,  782, 2,   788, 8,   788, 108, 2,  108, 2,  60};
    style_panel_polygon(img, outline);
    // Slots for the two vertical gauges (energy at x 112, status at x 662, y 551 to 580).
    for (float gx : {107.0f, 657.0f}) {
        image_fill_round_rect(img, gx - 2, 59, gx + 34, 92, 3, rgba_u8(0, 0, 0, 150));
        image_stroke_round_rect(img, gx - 2, 59, gx + 34, 92, 3, 1, STYLE_EDGE_DIM);
    }
    // Channels for the two energy counters (x 289..337 and 469..517, from y 572).
    image_fill_round_rect(img, 282, 80, 334, 108, 3, rgba_u8(0, 0, 0, 120));
    image_fill_round_rect(img, 462, 80, 514, 108, 3, rgba_u8(0, 0, 0, 120));
    // Divider ticks between the read-outs.
    for (float x : {90.0f, 165.0f, 240.0f, 565.0f, 640.0f}) image_line(img, x, 62, x, 102, 1, STYLE_EDGE_DIM);
    return img;
}

// Fighter seen from above, nose up, fitting 128 x 50 (drawn at 339, 548).
static std::vector<float> __fighter_outline()
{
    return {64, 2,  70, 14, 74, 22, 100, 30, 122, 36, 124, 44, 96, 42, 78, 40, 74,
            48, 54, 48, 50, 40, 32, 42,  4,  44,  6,  36,  28, 30, 54, 22, 58, 14};
}

static data_image __fighter(rgba line, rgba fill)
{
    data_image img = image_make(128, 50);
    std::vector<float> o = __fighter_outline();
    image_fill_polygon(img, o, fill);
    image_stroke_polygon(img, o, 1.5f, line);
    image_line(img, 64, 10, 64, 44, 1, rgba_alpha(line, line.a * 0.6f));
    image_fill_round_rect(img, 60, 16, 68, 28, 3, rgba_alpha(line, line.a * 0.7f));
    return img;
}

// The station seen from above: ring, spokes and hub, 96 x 96 (drawn at 691, 495).
static data_image __station(rgba line, rgba fill)
{
    data_image img = image_make(96, 96);
    float c = 48;
    image_stroke_circle(img, c, c, 38, 9, fill);
    image_stroke_circle(img, c, c, 42.5f, 1.5f, line);
    image_stroke_circle(img, c, c, 33.5f, 1.5f, line);
    for (int k = 0; k < 4; k++) {
        float a = k * 1.5707963f + 0.785398f;
        image_line(img, c + std::cos(a) * 12, c + std::sin(a) * 12, c + std::cos(a) * 33, c + std::sin(a) * 33, 3,
                   line);
    }
    image_fill_circle(img, c, c, 12, fill);
    image_stroke_circle(img, c, c, 12, 1.5f, line);
    image_fill_circle(img, c, c, 4, line);
    return img;
}

// A burn mark: glowing core with ragged sparks, size n.
static data_image __damage_mark(int w, int h, uint32_t seed)
{
    data_image img = image_make(w, h);
    float cx = w * 0.5f, cy = h * 0.5f;
    noise_rng rng = noise_rng_make(seed);
    for (int k = 0; k < 5; k++) {
        float a = float(noise_rng_range(rng, 0, 6.283)), l = float(noise_rng_range(rng, 0.3, 0.5)) * std::min(w, h);
        image_line(img, cx, cy, cx + std::cos(a) * l, cy + std::sin(a) * l, 1.2f, rgba_u8(255, 120, 40, 220));
    }
    image_glow(img, cx, cy, std::min(w, h) * 0.5f, 1.5f, rgba_u8(255, 60, 30, 255), false);
    image_fill_circle(img, cx, cy, std::min(w, h) * 0.16f, rgba_u8(255, 230, 160));
    return img;
}

// Energy counter, 48 x 32: six slanted segments, taller towards the outer
// end; white so that the HUD's tint colours it. Grows to the left or right.
static data_image __counter(bool grows_left)
{
    data_image img = image_make(48, 32);
    for (int s = 0; s < 6; s++) {
        float x0 = 1 + s * 8.0f, x1 = x0 + 6;
        int outer = grows_left ? 5 - s : s; // 0 near the fighter, 5 at the far end
        float top = 18 - outer * 2.2f, bottom = 24;
        std::vector<float> seg = {x0 + 2, top, x1 + 2, top, x1, bottom, x0, bottom};
        image_fill_polygon(img, seg, rgba_u8(255, 255, 255, 235));
        image_stroke_polygon(img, seg, 1, rgba_u8(150, 150, 150, 255));
    }
    return img;
}

// Vertical gauge fill, 32 x 29 (shown from the bottom up).
static data_image __gauge(rgba low, rgba high)
{
    data_image img = image_make(32, 29);
    for (int y = 0; y < 29; y++)
        for (int x = 0; x < 32; x++) {
            float t = 1 - y / 28.0f;
            rgba c = rgba_mix(low, high, t);
            bool gap = y % 3 == 2;
            float edge = (x < 2 || x > 29) ? 0.55f : 1.0f;
            image_at(img, x, y) = rgba_alpha(rgba_scale(c, edge), gap ? 0.35f : 0.95f);
        }
    return img;
}

static data_image __pointer()
{
    data_image img = image_make(32, 32);
    rgba shadow = rgba_u8(0, 0, 0, 140);
    for (int pass = 0; pass < 2; pass++) {
        rgba c = pass == 0 ? shadow : rgba_u8(150, 230, 255, 240);
        float w = pass == 0 ? 3.0f : 1.4f;
        image_stroke_circle(img, 16, 16, 8, w, c);
        image_line(img, 16, 1, 16, 6, w, c);
        image_line(img, 16, 26, 16, 31, w, c);
        image_line(img, 1, 16, 6, 16, w, c);
        image_line(img, 26, 16, 31, 16, w, c);
    }
    image_fill_circle(img, 16, 16, 1.3f, rgba_u8(255, 255, 255));
    return img;
}

static data_image __missile_target()
{
    data_image img = image_make(32, 32);
    rgba c = rgba_u8(255, 90, 60, 240);
    float a = 2, b = 30, l = 8;
    for (int pass = 0; pass < 2; pass++) {
        rgba col = pass ? c : rgba_u8(0, 0, 0, 130);
        float w = pass ? 1.6f : 3.2f;
        image_line(img, a, a, a + l, a, w, col), image_line(img, a, a, a, a + l, w, col);
        image_line(img, b, a, b - l, a, w, col), image_line(img, b, a, b, a + l, w, col);
        image_line(img, a, b, a + l, b, w, col), image_line(img, a, b, a, b - l, w, col);
        image_line(img, b, b, b - l, b, w, col), image_line(img, b, b, b, b - l, w, col);
    }
    image_stroke_polygon(img, {16, 10, 22, 16, 16, 22, 10, 16}, 1.4f, STYLE_AMBER);
    return img;
}

// Sentinel icons, 24 x 24 (drawn at 752, 12 + 28 i).
static data_image __sentinel_icon()
{
    data_image img = image_make(24, 24);
    image_fill_round_rect(img, 1, 1, 23, 23, 4, rgba_u8(10, 24, 40, 190));
    image_stroke_round_rect(img, 1.5f, 1.5f, 22.5f, 22.5f, 4, 1.2f, STYLE_EDGE);
    image_fill_round_rect(img, 6, 12, 18, 19, 2, STYLE_TEXT); // base
    image_fill_circle(img, 12, 12, 4.5f, STYLE_TEXT);         // turret
    image_line(img, 12, 12, 19, 5, 2.2f, STYLE_TEXT);         // barrel
    return img;
}

static data_image __sentinel_attacked()
{
    data_image img = image_make(24, 24);
    image_stroke_round_rect(img, 1.5f, 1.5f, 22.5f, 22.5f, 4, 2.5f, STYLE_AMBER);
    image_glow(img, 12, 12, 13, 2, rgba_alpha(STYLE_AMBER, 0.45f));
    return img;
}

static data_image __sentinel_dead()
{
    data_image img = image_make(24, 24);
    image_fill_round_rect(img, 1, 1, 23, 23, 4, rgba_u8(40, 0, 0, 150));
    image_line(img, 5, 5, 19, 19, 3, STYLE_RED);
    image_line(img, 19, 5, 5, 19, 3, STYLE_RED);
    return img;
}

// The pause plate, 400 x 200 (drawn at 200, 200).
static data_image __pause()
{
    data_image img = image_make(400, 200);
    style_panel(img, 4, 4, 396, 196, 14);
    style_heading(img, 200, 112, "PAUSE", 64, TEXT_CENTRE);
    style_label(img, 200, 160, "PRESS  P  TO CONTINUE", TEXT_CENTRE, STYLE_TEXT_DIM, 16);
    return img;
}

// A mock-up of a level frame with every picture where the HUD draws it.
static data_image __layout()
{
    data_image frame = image_make(800, 600);
    style_backdrop(frame, 0, 9);
    auto at = [&](const char *name, int x, int y) { image_paste(frame, hud_pictures[name], x, y); };
    at("block\\block_pic.tga", 5, 490);
    at("info\\score_pic.tga", 34, 559), at("info\\energy_pic.tga", 109, 585), at("info\\time_pic.tga", 183, 559);
    at("info\\weapons_pic.tga", 524, 585), at("info\\engine_pic.tga", 254, 583), at("info\\level_pic.tga", 590, 559);
    at("info\\status_pic.tga", 661, 584), at("station\\station_pic.tga", 691, 495);
    at("bolid\\bolid_pic.tga", 339, 548);
    at("pointer\\pointer_pic.tga", 400 - 16, 300 - 16);
    const data_image &es = hud_pictures["info\\energy_slider.tga"];
    for (int y = 10; y < es.h; y++)
        for (int x = 0; x < es.w; x++)
            image_blend(frame, 112 + x, 551 + y, rgba_alpha(image_at(es, x, y), 1), image_at(es, x, y).a);
    const data_image &ss = hud_pictures["info\\status_slider.tga"];
    for (int y = 0; y < ss.h; y++)
        for (int x = 0; x < ss.w; x++)
            image_blend(frame, 662 + x, 551 + y, rgba_alpha(image_at(ss, x, y), 1), image_at(ss, x, y).a);
    const data_image &cl = hud_pictures["bolid\\bolid_counter_left.tga"],
                     &cr = hud_pictures["bolid\\bolid_counter_right.tga"];
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 48; x++) {
            const rgba &l = image_at(cl, x, y), &r = image_at(cr, x, y);
            image_blend(frame, 289 + x, 572 + y, {0.3f * l.r, 0.7f * l.g, 0.7f * l.b, 1}, l.a);
            if (x < 36) image_blend(frame, 469 + x, 572 + y, {0.1f * r.r, 0.7f * r.g, 0.9f * r.b, 1}, r.a);
        }
    at("bolid_damage\\bolid_damage_01.tga", 340, 564), at("bolid_damage\\bolid_damage_02.tga", 359, 556);
    at("station_damage\\station_damage_01.tga", 696, 529), at("station_damage\\station_damage_04.tga", 765, 512);
    for (int i = 0; i < 8; i++) at("sentinel\\sentinel_pic.tga", 752, 12 + 28 * i);
    at("sentinel\\sentinel_dead.tga", 752, 12 + 28 * 5), at("sentinel\\sentinel_attacked.tga", 752, 12 + 28 * 2);
    at("pointer\\missile_target_pic.tga", 520, 220);
    // The read-outs the HUD letters at run time, in the fonts it loads.
    text_style big;
    big.font = DATA_FONT_NARROW_BOLD;
    big.px = 24;
    big.colour = STYLE_TEXT;
    big.align = TEXT_CENTRE;
    text_draw(frame, big, 50, 591, "12300");
    text_style small = big;
    small.px = 13;
    small.align = TEXT_LEFT;
    text_draw(frame, small, 182, 584, "143");
    text_draw(frame, small, 596, 584, "1");
    return frame;
}

bool data_gen_hud(data_ctx &ctx)
{
    bool ok = __put(ctx, "bolid\\bolid_counter_left.tga", __counter(true)) &&
              __put(ctx, "bolid\\bolid_counter_right.tga", __counter(false)) &&
              __put(ctx, "bolid\\bolid_pic.tga", __fighter(STYLE_EDGE, rgba_u8(30, 80, 120, 150)));
    char name[80];
    for (int i = 1; ok && i <= 10; i++) {
        std::snprintf(name, sizeof name, "bolid_damage\\bolid_damage_%02d.tga", i);
        ok = __put(ctx, name, __damage_mark(14, 12, 500 + i));
    }
    ok = ok && __put(ctx, "pointer\\pointer_pic.tga", __pointer()) &&
         __put(ctx, "station\\station_pic.tga", __station(STYLE_EDGE, rgba_u8(30, 80, 120, 150)));
    for (int i = 1; ok && i <= 10; i++) {
        std::snprintf(name, sizeof name, "station_damage\\station_damage_%02d.tga", i);
        ok = __put(ctx, name, __damage_mark(16, 16, 600 + i));
    }
    return ok && __put(ctx, "pointer\\missile_target_pic.tga", __missile_target()) &&
           __put(ctx, "station_bolid_blink_RED\\bolid_blink.tga",
                 __fighter(rgba_u8(255, 90, 70), rgba_u8(255, 40, 30, 140))) &&
           __put(ctx, "station_bolid_blink_RED\\station_blink.tga",
                 __station(rgba_u8(255, 90, 70), rgba_u8(255, 40, 30, 140))) &&
           __put(ctx, "sentinel\\sentinel_pic.tga", __sentinel_icon()) &&
           __put(ctx, "sentinel\\sentinel_attacked.tga", __sentinel_attacked()) &&
           __put(ctx, "sentinel\\sentinel_dead.tga", __sentinel_dead()) &&
           __put(ctx, "block\\block_pic.tga", __block()) &&
           // Captions: each over the read-out the HUD writes there.
           __put(ctx, "info\\score_pic.tga", __caption(32, 12, "SCORE", TEXT_CENTRE)) &&  // 34, 559
           __put(ctx, "info\\energy_pic.tga", __caption(38, 12, "POWER", TEXT_CENTRE)) && // 109, 585
           __put(ctx, "info\\time_pic.tga", __caption(40, 12, "TIME", TEXT_LEFT)) &&      // 183, 559
           __put(ctx, "info\\weapons_pic.tga", __caption(36, 12, "LASER", TEXT_LEFT)) &&  // 524, 585
           __put(ctx, "info\\engine_pic.tga", __caption(32, 12, "ENG", TEXT_RIGHT)) &&    // 254, 583
           __put(ctx, "info\\level_pic.tga", __caption(40, 12, "LEVEL", TEXT_LEFT)) &&    // 590, 559
           __put(ctx, "info\\status_pic.tga", __caption(30, 12, "HULL", TEXT_CENTRE)) &&  // 661, 584
           __put(ctx, "info\\energy_slider.tga", __gauge(rgba_u8(40, 120, 255), rgba_u8(120, 240, 255))) &&
           __put(ctx, "info\\status_slider.tga", __gauge(rgba_u8(255, 120, 40), rgba_u8(120, 255, 140))) &&
           __put(ctx, "info\\pause.tga", __pause()) && (ctx.layouts["hud-layout"] = __layout(), true);
}
