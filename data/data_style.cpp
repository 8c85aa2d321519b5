#include "data_style.h"

#include <algorithm>
#include <cmath>

#include "data_noise.h"

void style_panel(data_image &img, float x0, float y0, float x1, float y1, float radius)
{
    image_fill_round_rect_vgrad(img, x0, y0, x1, y1, radius, STYLE_GLASS_TOP, STYLE_GLASS);
    image_stroke_round_rect(img, x0 + 3, y0 + 3, x1 - 3, y1 - 3, std::max(0.0f, radius - 3), 1.0f, STYLE_EDGE_DIM);
    image_stroke_round_rect(img, x0 + 0.5f, y0 + 0.5f, x1 - 0.5f, y1 - 0.5f, radius, 1.5f, STYLE_EDGE);
}

void style_panel_polygon(data_image &img, const std::vector<float> &xy)
{
    float y0 = 1e9f, y1 = -1e9f;
    for (size_t i = 1; i < xy.size(); i += 2) y0 = std::min(y0, xy[i]), y1 = std::max(y1, xy[i]);
    float b[4] = {0, y0, float(img.w), y1};
    image_draw(
        img, b[0], b[1], b[2], b[3], [&](float x, float y) { return sdf_polygon(x, y, xy); },
        [=](float, float y) { return rgba_mix(STYLE_GLASS_TOP, STYLE_GLASS, (y - y0) / std::max(1.0f, y1 - y0)); });
    image_stroke_polygon(img, xy, 1.5f, STYLE_EDGE);
}

void style_label(data_image &img, float x, float y, const std::string &text, int align, rgba colour, float px)
{
    text_style ts;
    ts.font = DATA_FONT_NARROW_BOLD;
    ts.px = px;
    ts.colour = colour;
    ts.align = align;
    ts.tracking = 0.6f;
    text_draw(img, ts, x, y, text);
}

void style_label_haloed(data_image &img, float x, float y, const std::string &text, int align, rgba colour, float px)
{
    for (int dy = -1; dy <= 1; dy++)
        for (int dx = -1; dx <= 1; dx++)
            if (dx || dy) style_label(img, x + dx, y + dy, text, align, rgba_u8(0, 4, 12, 200), px);
    style_label(img, x, y, text, align, colour, px);
}

void style_heading(data_image &img, float x, float y, const std::string &text, float px, int align, rgba colour,
                   rgba glow)
{
    text_style ts;
    ts.font = DATA_FONT_DISPLAY;
    ts.px = px;
    ts.colour = colour;
    ts.align = align;
    ts.tracking = px * 0.08f;
    text_draw_glow(img, ts, x, y, text, glow, std::max(2, int(px / 8)));
}

void style_button(data_image &img, float x0, float y0, float x1, float y1, const std::string &caption, bool hot)
{
    rgba top = hot ? rgba_u8(70, 130, 170, 235) : rgba_u8(24, 48, 74, 225);
    rgba bottom = hot ? rgba_u8(30, 70, 110, 235) : rgba_u8(10, 22, 38, 225);
    image_fill_round_rect_vgrad(img, x0, y0, x1, y1, 5, top, bottom);
    image_stroke_round_rect(img, x0 + 0.75f, y0 + 0.75f, x1 - 0.75f, y1 - 0.75f, 5, 1.5f,
                            hot ? STYLE_AMBER : STYLE_EDGE);
    text_style ts;
    ts.font = DATA_FONT_SANS_BOLD;
    ts.px = std::min(16.0f, (y1 - y0) * 0.55f);
    ts.colour = hot ? rgba_u8(255, 236, 190) : STYLE_TEXT;
    ts.align = TEXT_CENTRE;
    ts.tracking = 1;
    text_draw(img, ts, (x0 + x1) * 0.5f, (y0 + y1) * 0.5f + ts.px * 0.36f, caption);
}

data_image style_cursor(bool hot)
{
    data_image img = image_make(32, 32);
    std::vector<float> arrow = {1, 1, 1, 22, 6.5f, 17, 10.5f, 26, 14, 24.5f, 10, 16, 17, 16};
    image_stroke_polygon(img, arrow, 2.5f, rgba_u8(0, 0, 0, 200));
    image_fill_polygon(img, arrow, hot ? STYLE_AMBER : rgba_u8(225, 245, 255));
    image_stroke_polygon(img, arrow, 1.0f, hot ? rgba_u8(120, 60, 0) : rgba_u8(30, 90, 140));
    return img;
}

void style_backdrop(data_image &img, float time, uint32_t seed)
{
    int w = img.w, h = img.h;
    float scale = 1.0f / std::max(w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            float u = x * scale, v = y * scale;
            float n1 = noise_fbm3(u * 3 + time * 0.02f, v * 3, 0.5f, 5, seed) * 0.5f + 0.5f;
            float n2 = noise_fbm3(u * 6 + 3, v * 6 - time * 0.01f, 1.5f, 4, seed + 1) * 0.5f + 0.5f;
            float band = std::exp(-std::pow((v - u * 0.4f - 0.15f) * 3.5f, 2));
            float dens = std::clamp((n1 - 0.4f) * 2.2f, 0.0f, 1.0f) * (0.4f + 0.6f * band);
            rgba c = rgba_mix(rgba_u8(3, 4, 12), rgba_u8(60, 28, 100), dens);
            c = rgba_mix(c, rgba_u8(30, 110, 150), std::clamp(n2 * dens * 1.1f - 0.15f, 0.0f, 0.7f));
            image_at(img, x, y) = rgba_alpha(c, 1);
        }
    // Stars, a few drifting with time for depth.
    noise_rng rng = noise_rng_make(seed * 31 + 7);
    int count = w * h / 900;
    for (int i = 0; i < count; i++) {
        float sx = float(noise_rng_range(rng, 0, w)), sy = float(noise_rng_range(rng, 0, h));
        float depth = float(noise_rng_range(rng, 0.2, 1.0));
        float b = float(std::pow(noise_rng_range(rng, 0, 1), 5.0)) * 0.8f + 0.2f;
        sx = std::fmod(sx - time * depth * 12.0f + w * 4.0f, float(w));
        float t = float(noise_rng_range(rng, 0, 1));
        rgba col = t < 0.25f ? rgba_u8(255, 210, 170) : t < 0.8f ? rgba_u8(255, 255, 255) : rgba_u8(170, 200, 255);
        image_glow(img, sx, sy, 1.0f + b * 2.2f, 2.0f, rgba_alpha(col, b));
    }
    // A ringed planet low on the right, lit from the upper left.
    float pr = h * 0.42f, pcx = w * 0.86f, pcy = h * 1.02f;
    for (int y = std::max(0, int(pcy - pr * 1.8f)); y < h; y++)
        for (int x = std::max(0, int(pcx - pr * 2.0f)); x < w; x++) {
            float dx = (x + 0.5f - pcx) / pr, dy = (y + 0.5f - pcy) / pr;
            float r2 = dx * dx + dy * dy;
            // Rings: an ellipse band in front of and behind the planet.
            float rx = dx * std::cos(0.35f) + dy * std::sin(0.35f),
                  ry = (-dx * std::sin(0.35f) + dy * std::cos(0.35f)) * 4.2f;
            float rr = std::sqrt(rx * rx + ry * ry);
            float ring = (rr > 1.35f && rr < 1.95f) ? (0.5f + 0.5f * std::sin(rr * 60)) * 0.35f : 0;
            ring *= std::clamp((1.95f - rr) * 10, 0.0f, 1.0f) * std::clamp((rr - 1.35f) * 10, 0.0f, 1.0f);
            bool ring_front = ry > 0;
            if (r2 < 1) {
                float nz = std::sqrt(1 - r2);
                float light = std::max(0.0f, -dx * 0.6f - dy * 0.55f + nz * 0.58f);
                float bands = noise_fbm2(dx * 2, dy * 9 + 3, 4, 0, seed + 5) * 0.5f + 0.5f;
                rgba pc = rgba_mix(rgba_u8(60, 90, 140), rgba_u8(150, 170, 190), bands);
                pc = rgba_scale(pc, 0.05f + light * 0.95f);
                // Thin bright atmosphere at the lit limb.
                float rim = std::pow(1 - nz, 3.0f) * std::max(0.0f, -dx - dy) * 0.9f;
                pc = {pc.r + rim * 0.3f, pc.g + rim * 0.6f, pc.b + rim, 1};
                image_at(img, x, y) = pc;
                if (ring_front && ring > 0) image_blend(img, x, y, rgba_u8(210, 190, 160), ring);
            } else if (ring > 0) {
                image_blend(img, x, y, rgba_u8(210, 190, 160), ring);
            }
        }
}
