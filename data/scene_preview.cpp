// A small software rasteriser for the scene's top view: flat-shaded
// triangles with a height buffer, drawn at twice the size and reduced.

#include "scene_preview.h"

#include <algorithm>
#include <cmath>
#include <limits>

static rgba __colour_of(const std::string &instance, const std::string &object)
{
    auto has = [&](const char *s) { return instance.find(s) != std::string::npos || object.find(s) != std::string::npos; };
    if (has("solar")) return rgba_u8(40, 60, 150);
    if (has("beacon")) return rgba_u8(255, 60, 40);
    if (has("sentinel")) return rgba_u8(230, 190, 70);
    if (has("bolid") || has("cinema")) return rgba_u8(240, 240, 250);
    if (has("launch_pad")) return rgba_u8(230, 150, 40);
    if (has("station") || has("ore")) return rgba_u8(185, 195, 210);
    if (has("debris")) return rgba_u8(150, 120, 95);
    if (has("belt")) return rgba_u8(110, 100, 92);
    return rgba_u8(140, 128, 115);  // rock
}

data_image scene_preview_top(const scene_kit &k, const scene_view_box &box, int size,
                             const std::vector<std::string> &skip, const std::vector<tacka3> &path)
{
    const int S = size * 2;
    data_image img = image_make(S, S, rgba_u8(8, 10, 20));
    // A faint grid every 100 units, the station's power radii as rings.
    float scale = S / (box.x1 - box.x0);
    auto to_px = [&](float x, float z) { return tacka2{(x - box.x0) * scale, (z - box.z0) * scale}; };
    for (float g = std::ceil(box.x0 / 100) * 100; g <= box.x1; g += 100) {
        tacka2 a = to_px(g, box.z0), b = to_px(g, box.z1);
        image_line(img, a.x, a.y, b.x, b.y, 1.0f, rgba_u8(30, 36, 60));
    }
    for (float g = std::ceil(box.z0 / 100) * 100; g <= box.z1; g += 100) {
        tacka2 a = to_px(box.x0, g), b = to_px(box.x1, g);
        image_line(img, a.x, a.y, b.x, b.y, 1.0f, rgba_u8(30, 36, 60));
    }
    tacka2 c = to_px(0, 0);
    image_stroke_circle(img, c.x, c.y, 150 * scale, 2.0f, rgba_u8(40, 120, 90));
    image_stroke_circle(img, c.x, c.y, 500 * scale, 2.0f, rgba_u8(40, 80, 70));
    std::vector<float> height(size_t(S) * S, -std::numeric_limits<float>::infinity());
    const tacka3 light = tacka3_normalize({-0.4f, 1.0f, -0.3f});
    for (const auto &[inst, obj] : k.shows) {
        bool skipped = false;
        for (const auto &s : skip)
            skipped = skipped || inst == s || (s.back() == '_' && inst.compare(0, s.size(), s) == 0);
        if (skipped) continue;
        auto mi = k.meshes.find(obj);
        auto wi = k.world.find(inst);
        if (mi == k.meshes.end() || wi == k.world.end()) continue;
        const scene_mesh &m = mi->second;
        rgba base = __colour_of(inst, obj);
        std::vector<tacka3> w(m.pos.size());
        for (size_t i = 0; i < m.pos.size(); i++) w[i] = pose_point(wi->second, m.pos[i]);
        for (size_t t = 0; t + 2 < m.tri.size(); t += 3) {
            tacka3 a = w[m.tri[t]], b = w[m.tri[t + 1]], cc = w[m.tri[t + 2]];
            tacka3 n = tacka3_cross(tacka3_sub(b, a), tacka3_sub(cc, a));
            float nl = tacka3_length(n);
            if (nl <= 0) continue;
            n = tacka3_scale(n, 1 / nl);
            if (n.y < 0) continue;  // faces turned away from the viewer above
            float shade = 0.3f + 0.7f * std::max(0.0f, tacka3_dot(n, light));
            rgba col = {base.r * shade, base.g * shade, base.b * shade, 1};
            tacka2 p[3] = {to_px(a.x, a.z), to_px(b.x, b.z), to_px(cc.x, cc.z)};
            float hy[3] = {a.y, b.y, cc.y};
            int x0 = std::max(0, int(std::floor(std::min({p[0].x, p[1].x, p[2].x}))));
            int x1 = std::min(S - 1, int(std::ceil(std::max({p[0].x, p[1].x, p[2].x}))));
            int y0 = std::max(0, int(std::floor(std::min({p[0].y, p[1].y, p[2].y}))));
            int y1 = std::min(S - 1, int(std::ceil(std::max({p[0].y, p[1].y, p[2].y}))));
            float area = (p[1].x - p[0].x) * (p[2].y - p[0].y) - (p[2].x - p[0].x) * (p[1].y - p[0].y);
            if (std::fabs(area) < 1e-9f) continue;
            for (int y = y0; y <= y1; y++)
                for (int x = x0; x <= x1; x++) {
                    float px = x + 0.5f, py = y + 0.5f;
                    float w0 = ((p[1].x - px) * (p[2].y - py) - (p[2].x - px) * (p[1].y - py)) / area;
                    float w1 = ((p[2].x - px) * (p[0].y - py) - (p[0].x - px) * (p[2].y - py)) / area;
                    float w2 = 1 - w0 - w1;
                    if (w0 < 0 || w1 < 0 || w2 < 0) continue;
                    float h = w0 * hy[0] + w1 * hy[1] + w2 * hy[2];
                    float &hb = height[size_t(y) * S + x];
                    if (h <= hb) continue;
                    hb = h;
                    image_at(img, x, y) = col;
                }
        }
    }
    for (size_t i = 1; i < path.size(); i++) {
        tacka2 a = to_px(path[i - 1].x, path[i - 1].z), b = to_px(path[i].x, path[i].z);
        image_line(img, a.x, a.y, b.x, b.y, 2.0f, rgba_u8(90, 200, 255, 200));
    }
    return image_resize(img, size, size);
}
