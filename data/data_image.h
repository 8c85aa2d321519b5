#pragma once
// The generators' picture canvas: straight (not premultiplied) RGBA floats in
// 0..1, rows top-down, with anti-aliased drawing by signed distance.

#include <cstdint>
#include <functional>
#include <vector>

struct rgba {
    float r, g, b, a;
};

inline rgba rgba_mix(rgba x, rgba y, float t)
{
    return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}
inline rgba rgba_scale(rgba c, float k) { return {c.r * k, c.g * k, c.b * k, c.a}; }
inline rgba rgba_alpha(rgba c, float a) { return {c.r, c.g, c.b, a}; }
// From 0..255 byte values.
inline rgba rgba_u8(int r, int g, int b, int a = 255) { return {r / 255.0f, g / 255.0f, b / 255.0f, a / 255.0f}; }

struct data_image {
    int w = 0, h = 0;
    std::vector<rgba> px;
};

data_image image_make(int w, int h, rgba fill = {0, 0, 0, 0});
inline rgba &image_at(data_image &img, int x, int y) { return img.px[size_t(y) * img.w + x]; }
inline const rgba &image_at(const data_image &img, int x, int y) { return img.px[size_t(y) * img.w + x]; }
// Bilinear read with clamped (wrap false) or tiled (wrap true) edges.
rgba image_sample(const data_image &img, float x, float y, bool wrap);

// Paints colour c over pixel (x, y) with the given coverage (source-over).
void image_blend(data_image &img, int x, int y, rgba c, float coverage);
// Adds colour c times coverage to the pixel's colour (light), alpha kept.
void image_add(data_image &img, int x, int y, rgba c, float coverage);

// A shape given by its signed distance (negative inside, in pixels) drawn
// anti-aliased inside the bounding box x0..x1, y0..y1. The colour function
// may vary over the shape.
using image_sdf = std::function<float(float x, float y)>;
using image_paint = std::function<rgba(float x, float y)>;
void image_draw(data_image &img, float x0, float y0, float x1, float y1, const image_sdf &sdf, const image_paint &paint,
                bool additive = false);

// Signed distances of the usual shapes (pixel centres are at +0.5).
float sdf_round_rect(float x, float y, float x0, float y0, float x1, float y1, float radius);
float sdf_circle(float x, float y, float cx, float cy, float radius);
float sdf_segment(float x, float y, float ax, float ay, float bx, float by, float half_width);
// A convex or concave polygon (even-odd inside test, exact edge distance).
float sdf_polygon(float x, float y, const std::vector<float> &xy);

// Conveniences over image_draw with one colour.
void image_fill_round_rect(data_image &img, float x0, float y0, float x1, float y1, float radius, rgba c);
void image_stroke_round_rect(data_image &img, float x0, float y0, float x1, float y1, float radius, float width,
                             rgba c);
void image_fill_circle(data_image &img, float cx, float cy, float radius, rgba c);
void image_stroke_circle(data_image &img, float cx, float cy, float radius, float width, rgba c);
void image_line(data_image &img, float ax, float ay, float bx, float by, float width, rgba c);
void image_fill_polygon(data_image &img, const std::vector<float> &xy, rgba c);
void image_stroke_polygon(data_image &img, const std::vector<float> &xy, float width, rgba c);
// Vertical gradient over a rounded rectangle.
void image_fill_round_rect_vgrad(data_image &img, float x0, float y0, float x1, float y1, float radius, rgba top,
                                 rgba bottom);
// Soft round glow: colour c with alpha falling off as (1 - d/r)^power.
void image_glow(data_image &img, float cx, float cy, float radius, float power, rgba c, bool additive = true);

// Copies src over dst at (x, y) with source-over blending.
void image_paste(data_image &dst, const data_image &src, int x, int y);
// Box-filtered downscale to the given size (used for previews and mips).
data_image image_resize(const data_image &src, int w, int h);

// 8-bit conversion: RGB or RGBA bytes, rows top-down, rounded and clamped.
std::vector<uint8_t> image_to_bytes(const data_image &img, int bpp);
