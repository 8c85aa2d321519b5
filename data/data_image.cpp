#include "data_image.h"

#include <algorithm>
#include <cmath>

data_image image_make(int w, int h, rgba fill)
{
    data_image img;
    img.w = w;
    img.h = h;
    img.px.assign(size_t(w) * h, fill);
    return img;
}

static inline float __clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

rgba image_sample(const data_image &img, float x, float y, bool wrap)
{
    x -= 0.5f;
    y -= 0.5f;
    float fx = std::floor(x), fy = std::floor(y);
    float tx = x - fx, ty = y - fy;
    int x0 = int(fx), y0 = int(fy);
    auto at = [&](int xi, int yi) -> const rgba & {
        if (wrap) {
            xi = ((xi % img.w) + img.w) % img.w;
            yi = ((yi % img.h) + img.h) % img.h;
        } else {
            xi = std::clamp(xi, 0, img.w - 1);
            yi = std::clamp(yi, 0, img.h - 1);
        }
        return image_at(img, xi, yi);
    };
    rgba a = rgba_mix(at(x0, y0), at(x0 + 1, y0), tx);
    rgba b = rgba_mix(at(x0, y0 + 1), at(x0 + 1, y0 + 1), tx);
    return rgba_mix(a, b, ty);
}

void image_blend(data_image &img, int x, int y, rgba c, float coverage)
{
    if (x < 0 || y < 0 || x >= img.w || y >= img.h) return;
    float sa = __clamp01(c.a * coverage);
    if (sa <= 0) return;
    rgba &d = image_at(img, x, y);
    float oa = sa + d.a * (1 - sa);
    if (oa <= 0) return;
    d.r = (c.r * sa + d.r * d.a * (1 - sa)) / oa;
    d.g = (c.g * sa + d.g * d.a * (1 - sa)) / oa;
    d.b = (c.b * sa + d.b * d.a * (1 - sa)) / oa;
    d.a = oa;
}

void image_add(data_image &img, int x, int y, rgba c, float coverage)
{
    if (x < 0 || y < 0 || x >= img.w || y >= img.h) return;
    float k = c.a * coverage;
    rgba &d = image_at(img, x, y);
    d.r += c.r * k;
    d.g += c.g * k;
    d.b += c.b * k;
}

void image_draw(data_image &img, float x0, float y0, float x1, float y1, const image_sdf &sdf, const image_paint &paint,
                bool additive)
{
    int ix0 = std::max(0, int(std::floor(x0)) - 1), iy0 = std::max(0, int(std::floor(y0)) - 1);
    int ix1 = std::min(img.w - 1, int(std::ceil(x1)) + 1), iy1 = std::min(img.h - 1, int(std::ceil(y1)) + 1);
    for (int y = iy0; y <= iy1; y++)
        for (int x = ix0; x <= ix1; x++) {
            float px = x + 0.5f, py = y + 0.5f;
            float cov = __clamp01(0.5f - sdf(px, py));
            if (cov <= 0) continue;
            rgba c = paint(px, py);
            if (additive)
                image_add(img, x, y, c, cov);
            else
                image_blend(img, x, y, c, cov);
        }
}

float sdf_round_rect(float x, float y, float x0, float y0, float x1, float y1, float radius)
{
    float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
    float hx = (x1 - x0) * 0.5f - radius, hy = (y1 - y0) * 0.5f - radius;
    float qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
    float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - radius;
}

float sdf_circle(float x, float y, float cx, float cy, float radius) { return std::hypot(x - cx, y - cy) - radius; }

float sdf_segment(float x, float y, float ax, float ay, float bx, float by, float half_width)
{
    float pax = x - ax, pay = y - ay, bax = bx - ax, bay = by - ay;
    float len2 = bax * bax + bay * bay;
    float h = len2 > 0 ? __clamp01((pax * bax + pay * bay) / len2) : 0;
    return std::hypot(pax - bax * h, pay - bay * h) - half_width;
}

float sdf_polygon(float x, float y, const std::vector<float> &xy)
{
    size_t n = xy.size() / 2;
    float best = 1e30f;
    bool inside = false;
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
        float xi = xy[2 * i], yi = xy[2 * i + 1], xj = xy[2 * j], yj = xy[2 * j + 1];
        best = std::min(best, sdf_segment(x, y, xi, yi, xj, yj, 0));
        if (((yi > y) != (yj > y)) && (x < (xj - xi) * (y - yi) / (yj - yi) + xi)) inside = !inside;
    }
    return inside ? -best : best;
}

static image_paint __solid(rgba c)
{
    return [c](float, float) { return c; };
}

void image_fill_round_rect(data_image &img, float x0, float y0, float x1, float y1, float radius, rgba c)
{
    image_draw(
        img, x0, y0, x1, y1, [=](float x, float y) { return sdf_round_rect(x, y, x0, y0, x1, y1, radius); },
        __solid(c));
}

void image_stroke_round_rect(data_image &img, float x0, float y0, float x1, float y1, float radius, float width, rgba c)
{
    image_draw(
        img, x0 - width, y0 - width, x1 + width, y1 + width,
        [=](float x, float y) { return std::fabs(sdf_round_rect(x, y, x0, y0, x1, y1, radius)) - width * 0.5f; },
        __solid(c));
}

void image_fill_round_rect_vgrad(data_image &img, float x0, float y0, float x1, float y1, float radius, rgba top,
                                 rgba bottom)
{
    image_draw(
        img, x0, y0, x1, y1, [=](float x, float y) { return sdf_round_rect(x, y, x0, y0, x1, y1, radius); },
        [=](float, float y) { return rgba_mix(top, bottom, __clamp01((y - y0) / std::max(1.0f, y1 - y0))); });
}

void image_fill_circle(data_image &img, float cx, float cy, float radius, rgba c)
{
    image_draw(
        img, cx - radius, cy - radius, cx + radius, cy + radius,
        [=](float x, float y) { return sdf_circle(x, y, cx, cy, radius); }, __solid(c));
}

void image_stroke_circle(data_image &img, float cx, float cy, float radius, float width, rgba c)
{
    float r = radius + width;
    image_draw(
        img, cx - r, cy - r, cx + r, cy + r,
        [=](float x, float y) { return std::fabs(sdf_circle(x, y, cx, cy, radius)) - width * 0.5f; }, __solid(c));
}

void image_line(data_image &img, float ax, float ay, float bx, float by, float width, rgba c)
{
    float hw = width * 0.5f;
    image_draw(
        img, std::min(ax, bx) - hw, std::min(ay, by) - hw, std::max(ax, bx) + hw, std::max(ay, by) + hw,
        [=](float x, float y) { return sdf_segment(x, y, ax, ay, bx, by, hw); }, __solid(c));
}

static void __poly_bounds(const std::vector<float> &xy, float pad, float b[4])
{
    b[0] = b[1] = 1e30f;
    b[2] = b[3] = -1e30f;
    for (size_t i = 0; i + 1 < xy.size(); i += 2) {
        b[0] = std::min(b[0], xy[i] - pad);
        b[1] = std::min(b[1], xy[i + 1] - pad);
        b[2] = std::max(b[2], xy[i] + pad);
        b[3] = std::max(b[3], xy[i + 1] + pad);
    }
}

void image_fill_polygon(data_image &img, const std::vector<float> &xy, rgba c)
{
    float b[4];
    __poly_bounds(xy, 1, b);
    image_draw(
        img, b[0], b[1], b[2], b[3], [&](float x, float y) { return sdf_polygon(x, y, xy); }, __solid(c));
}

void image_stroke_polygon(data_image &img, const std::vector<float> &xy, float width, rgba c)
{
    float b[4];
    __poly_bounds(xy, width + 1, b);
    image_draw(
        img, b[0], b[1], b[2], b[3], [&](float x, float y) { return std::fabs(sdf_polygon(x, y, xy)) - width * 0.5f; },
        __solid(c));
}

void image_glow(data_image &img, float cx, float cy, float radius, float power, rgba c, bool additive)
{
    int x0 = std::max(0, int(cx - radius) - 1), x1 = std::min(img.w - 1, int(cx + radius) + 1);
    int y0 = std::max(0, int(cy - radius) - 1), y1 = std::min(img.h - 1, int(cy + radius) + 1);
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) {
            float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy) / radius;
            if (d >= 1) continue;
            float k = std::pow(1 - d, power);
            if (additive)
                image_add(img, x, y, c, k);
            else
                image_blend(img, x, y, c, k);
        }
}

void image_paste(data_image &dst, const data_image &src, int x, int y)
{
    for (int j = 0; j < src.h; j++)
        for (int i = 0; i < src.w; i++) {
            const rgba &s = image_at(src, i, j);
            image_blend(dst, x + i, y + j, {s.r, s.g, s.b, 1}, s.a);
        }
}

data_image image_resize(const data_image &src, int w, int h)
{
    data_image out = image_make(w, h);
    float sx = float(src.w) / w, sy = float(src.h) / h;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            int ax = int(x * sx), bx = std::max(ax + 1, int((x + 1) * sx));
            int ay = int(y * sy), by = std::max(ay + 1, int((y + 1) * sy));
            double r = 0, g = 0, b = 0, a = 0;
            int n = 0;
            for (int j = ay; j < by && j < src.h; j++)
                for (int i = ax; i < bx && i < src.w; i++) {
                    const rgba &p = image_at(src, i, j);
                    // Weight colour by alpha so transparent pixels do not darken edges.
                    r += p.r * p.a;
                    g += p.g * p.a;
                    b += p.b * p.a;
                    a += p.a;
                    n++;
                }
            rgba &o = image_at(out, x, y);
            if (a > 0) o = {float(r / a), float(g / a), float(b / a), float(a / n)};
        }
    return out;
}

std::vector<uint8_t> image_to_bytes(const data_image &img, int bpp)
{
    int n = bpp / 8;
    std::vector<uint8_t> out(size_t(img.w) * img.h * n);
    auto q = [](float v) { return uint8_t(std::lround(__clamp01(v) * 255.0f)); };
    for (size_t i = 0; i < img.px.size(); i++) {
        const rgba &p = img.px[i];
        out[i * n + 0] = q(p.r);
        out[i * n + 1] = q(p.g);
        out[i * n + 2] = q(p.b);
        if (n == 4) out[i * n + 3] = q(p.a);
    }
    return out;
}
