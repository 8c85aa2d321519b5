// A small software rasteriser for the scene's top view: flat-shaded
// triangles with a height buffer, drawn at twice the size and reduced.

#include "scene_preview.h"

#include <algorithm>
#include <cmath>
#include <limits>

static rgba __colour_of(const std::string &instance, const std::string &object)
{
    auto has = [&](const char *s) {
        return instance.find(s) != std::string::npos || object.find(s) != std::string::npos;
    };
    if (has("solar")) return rgba_u8(40, 60, 150);
    if (has("beacon")) return rgba_u8(255, 60, 40);
    if (has("sentinel")) return rgba_u8(230, 190, 70);
    if (has("bolid") || has("cinema")) return rgba_u8(240, 240, 250);
    if (has("launch_pad")) return rgba_u8(230, 150, 40);
    if (has("station") || has("ore")) return rgba_u8(185, 195, 210);
    if (has("debris")) return rgba_u8(150, 120, 95);
    if (has("belt")) return rgba_u8(110, 100, 92);
    return rgba_u8(140, 128, 115); // rock
}

// Calls pixel(x, y, w0, w1, w2) for every pixel centre of a width x height
// picture inside the triangle p, with its barycentric weights.
template <typename F> static void __raster_triangle(const tacka2 p[3], int width, int height, F pixel)
{
    int x0 = std::max(0, int(std::floor(std::min({p[0].x, p[1].x, p[2].x}))));
    int x1 = std::min(width - 1, int(std::ceil(std::max({p[0].x, p[1].x, p[2].x}))));
    int y0 = std::max(0, int(std::floor(std::min({p[0].y, p[1].y, p[2].y}))));
    int y1 = std::min(height - 1, int(std::ceil(std::max({p[0].y, p[1].y, p[2].y}))));
    float area = (p[1].x - p[0].x) * (p[2].y - p[0].y) - (p[2].x - p[0].x) * (p[1].y - p[0].y);
    if (std::fabs(area) < 1e-9f) return;
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) {
            float px = x + 0.5f, py = y + 0.5f;
            float w0 = ((p[1].x - px) * (p[2].y - py) - (p[2].x - px) * (p[1].y - py)) / area;
            float w1 = ((p[2].x - px) * (p[0].y - py) - (p[0].x - px) * (p[2].y - py)) / area;
            float w2 = 1 - w0 - w1;
            if (w0 < 0 || w1 < 0 || w2 < 0) continue;
            pixel(x, y, w0, w1, w2);
        }
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
            if (n.y < 0) continue; // faces turned away from the viewer above
            float shade = 0.3f + 0.7f * std::max(0.0f, tacka3_dot(n, light));
            rgba col = {base.r * shade, base.g * shade, base.b * shade, 1};
            tacka2 p[3] = {to_px(a.x, a.z), to_px(b.x, b.z), to_px(cc.x, cc.z)};
            float hy[3] = {a.y, b.y, cc.y};
            __raster_triangle(p, S, S, [&](int x, int y, float w0, float w1, float w2) {
                float h = w0 * hy[0] + w1 * hy[1] + w2 * hy[2];
                float &hb = height[size_t(y) * S + x];
                if (h <= hb) return;
                hb = h;
                image_at(img, x, y) = col;
            });
        }
    }
    for (size_t i = 1; i < path.size(); i++) {
        tacka2 a = to_px(path[i - 1].x, path[i - 1].z), b = to_px(path[i].x, path[i].z);
        image_line(img, a.x, a.y, b.x, b.y, 2.0f, rgba_u8(90, 200, 255, 200));
    }
    return image_resize(img, size, size);
}

data_image scene_preview_camera(const scene_kit &k, const scene_view_camera &cam, int w, int h,
                                const std::vector<std::string> &skip, const std::map<std::string, scene_pose> &poses,
                                bool starry)
{
    const int W = w * 2, H = h * 2;
    data_image img = image_make(W, H, starry ? rgba_u8(4, 5, 12) : rgba{0, 0, 0, 0});
    // A few stars so that the picture reads as space.
    for (uint32_t i = 0; starry && i < uint32_t(W * H / 900); i++) {
        uint32_t x = (i * 2654435761u) % uint32_t(W), y = (i * 40503u + (i >> 3) * 977u) % uint32_t(H);
        float b = 0.3f + 0.7f * float((i * 7919u) % 100) / 100.0f;
        image_at(img, int(x), int(y)) = {b, b, b * 1.1f, 1};
    }
    tacka3 f = tacka3_normalize(cam.dir);
    tacka3 r = tacka3_normalize(tacka3_cross(f, cam.up));
    tacka3 u = tacka3_cross(r, f);
    float focal = (H * 0.5f) / std::tan(cam.fov * 0.5f);
    const float near = 0.3f;
    std::vector<float> depth(size_t(W) * H, std::numeric_limits<float>::infinity());
    const tacka3 sun = tacka3_normalize({-0.55f, 0.45f, -0.70f});
    for (const auto &[inst, obj] : k.shows) {
        bool skipped = false;
        for (const auto &s : skip)
            skipped = skipped || inst == s || (s.back() == '_' && inst.compare(0, s.size(), s) == 0);
        if (skipped) continue;
        auto mi = k.meshes.find(obj);
        auto pi = poses.find(inst);
        auto wi = k.world.find(inst);
        if (mi == k.meshes.end() || wi == k.world.end()) continue;
        const scene_pose &pose = pi != poses.end() ? pi->second : wi->second;
        const scene_mesh &m = mi->second;
        rgba base = __colour_of(inst, obj);
        bool glow = inst.find("engine") != std::string::npos || inst.find("station_11") != std::string::npos;
        std::vector<tacka3> v(m.pos.size()); // camera space: x right, y up, z ahead
        for (size_t i = 0; i < m.pos.size(); i++) {
            tacka3 d = tacka3_sub(pose_point(pose, m.pos[i]), cam.eye);
            v[i] = {tacka3_dot(d, r), tacka3_dot(d, u), tacka3_dot(d, f)};
        }
        for (size_t t = 0; t + 2 < m.tri.size(); t += 3) {
            tacka3 a = v[m.tri[t]], b = v[m.tri[t + 1]], c = v[m.tri[t + 2]];
            if (a.z < near || b.z < near || c.z < near) continue;
            tacka3 wa = pose_point(pose, m.pos[m.tri[t]]), wb = pose_point(pose, m.pos[m.tri[t + 1]]),
                   wc = pose_point(pose, m.pos[m.tri[t + 2]]);
            tacka3 n = tacka3_cross(tacka3_sub(wb, wa), tacka3_sub(wc, wa));
            float nl = tacka3_length(n);
            if (nl <= 0) continue;
            n = tacka3_scale(n, 1 / nl);
            if (tacka3_dot(n, tacka3_sub(wa, cam.eye)) >= 0) continue; // back face
            float shade = glow ? 1.4f : 0.12f + 0.88f * std::max(0.0f, tacka3_dot(n, sun));
            rgba col = {std::min(1.0f, base.r * shade), std::min(1.0f, base.g * shade), std::min(1.0f, base.b * shade),
                        1};
            tacka2 p[3];
            float iz[3];
            const tacka3 *cv[3] = {&a, &b, &c};
            for (int j = 0; j < 3; j++) {
                p[j] = {W * 0.5f + cv[j]->x / cv[j]->z * focal, H * 0.5f - cv[j]->y / cv[j]->z * focal};
                iz[j] = 1.0f / cv[j]->z;
            }
            __raster_triangle(p, W, H, [&](int x, int y, float w0, float w1, float w2) {
                float z = 1.0f / (w0 * iz[0] + w1 * iz[1] + w2 * iz[2]);
                float &zb = depth[size_t(y) * W + x];
                if (z >= zb) return;
                zb = z;
                image_at(img, x, y) = col;
            });
        }
    }
    return image_resize(img, w, h);
}
