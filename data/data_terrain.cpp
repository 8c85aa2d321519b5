// The terrain data: the four terrain texture sets "bolid\terrain1" ..
// "bolid\terrain4" (three splat layers, blend map, detail map, pre-blended
// map) and the scene "terrain_demo.quox2": about 3 km x 3 km of moon-like
// ground with craters and ridges, a sun, and a camera flying a path over it.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "data_build.h"
#include "data_noise.h"
#include "scene/light.h"
#include "scene/motion.h"
#include "scene/quox2_writer.h"
#include "scene/scene.h"
#include "scene/terrain.h"
#include "scene_kit.h"

#define TERRA_CELLS 512
#define TERRA_PATCH 16
#define TERRA_CELL 6.0f
#define TERRA_TEX 256
#define TERRA_SINGLE 512
#define TERRA_SHEET "terrain"

namespace {
struct crater {
    float x, z, r, depth;
};
// The palette of one set: dust, rock, dark ejecta.
struct terra_palette {
    rgba layer[3];
    uint32_t seed;
};
const terra_palette PALETTES[4] = {
    {{rgba_u8(150, 146, 140), rgba_u8(96, 92, 88), rgba_u8(62, 60, 58)}, 11},
    {{rgba_u8(168, 150, 120), rgba_u8(120, 96, 70), rgba_u8(80, 64, 48)}, 23},
    {{rgba_u8(140, 150, 160), rgba_u8(90, 100, 112), rgba_u8(54, 60, 70)}, 37},
    {{rgba_u8(160, 110, 90), rgba_u8(110, 70, 56), rgba_u8(70, 44, 36)}, 53},
};
} // namespace

static std::vector<crater> __craters()
{
    std::vector<crater> c;
    noise_rng r = noise_rng_make(0x7e77a1);
    const float side = TERRA_CELLS * TERRA_CELL;
    for (int i = 0; i < 70; i++) {
        // Many small, few large.
        float u = float(noise_rng_range(r, 0, 1));
        float radius = 25.0f + 380.0f * u * u * u;
        c.push_back({float(noise_rng_range(r, 0, side)), float(noise_rng_range(r, 0, side)), radius, radius * 0.22f});
    }
    return c;
}

// Heights in metres on the (cells + 1)^2 grid.
static std::vector<float> __heights(const std::vector<crater> &craters)
{
    const int n = TERRA_CELLS + 1;
    std::vector<float> h(size_t(n) * n);
    for (int j = 0; j < n; j++)
        for (int i = 0; i < n; i++) {
            float x = i * TERRA_CELL, z = j * TERRA_CELL;
            float base = 45.0f * noise_fbm2(x / 900.0f, z / 900.0f, 4, 0, 101);
            // Ridges: folded noise, sharp crests.
            float ridge = 1.0f - std::fabs(noise_fbm2(x / 700.0f + 3.1f, z / 500.0f, 3, 0, 202));
            float y = base + 38.0f * ridge * ridge * ridge;
            for (const crater &c : craters) {
                float dx = x - c.x, dz = z - c.z;
                float d2 = dx * dx + dz * dz;
                if (d2 > 4.0f * c.r * c.r) continue;
                float d = std::sqrt(d2) / c.r;
                if (d < 1.0f)
                    y += c.depth * (d * d - 1.0f) + c.depth * 0.35f * std::exp(-(1 - d) * (1 - d) * 30.0f);
                else
                    y += c.depth * 0.35f * std::exp(-(d - 1) * (d - 1) * 8.0f);
            }
            y += 1.5f * noise_perlin2(x / 23.0f, z / 23.0f, 0, 0, 303);
            h[size_t(j) * n + i] = y;
        }
    return h;
}

// Weights of dust, rock and ejecta at a terrain point from slope and craters.
static rgba __weights(const std::vector<float> &h, float fx, float fz)
{
    const int n = TERRA_CELLS + 1;
    int i = std::clamp(int(fx), 1, n - 2), j = std::clamp(int(fz), 1, n - 2);
    float dx = (h[size_t(j) * n + i + 1] - h[size_t(j) * n + i - 1]) / (2 * TERRA_CELL);
    float dz = (h[size_t(j + 1) * n + i] - h[size_t(j - 1) * n + i]) / (2 * TERRA_CELL);
    float slope = std::min(1.0f, std::sqrt(dx * dx + dz * dz) * 1.6f);
    float patches = 0.5f + 0.5f * noise_fbm2(fx / 40.0f, fz / 40.0f, 3, 0, 404);
    float rock = std::clamp(slope * 1.2f, 0.0f, 1.0f);
    float ejecta = std::clamp((patches - 0.55f) * 3.0f, 0.0f, 1.0f) * (1 - rock);
    float dust = std::max(0.0f, 1.0f - rock - ejecta);
    return {dust, rock, ejecta, 1.0f};
}

static data_image __layer(const terra_palette &p, int which, bool detail_alpha)
{
    data_image img = image_make(TERRA_TEX, TERRA_TEX);
    uint32_t seed = p.seed * 7 + uint32_t(which);
    for (int y = 0; y < TERRA_TEX; y++)
        for (int x = 0; x < TERRA_TEX; x++) {
            float fx = x / 32.0f, fy = y / 32.0f;
            float v = noise_fbm2(fx, fy, 4, 8, seed);
            float k = which == 1 ? 0.75f + 0.5f * std::fabs(v) : 0.85f + 0.3f * v;
            rgba c = rgba_scale(p.layer[which], k);
            // Layer 0 carries the detail term in its alpha (mid-grey is neutral).
            c.a = detail_alpha
                      ? std::clamp(0.5f + 0.35f * noise_fbm2(x / 16.0f, y / 16.0f, 4, 16, seed + 99), 0.0f, 1.0f)
                      : 1.0f;
            image_at(img, x, y) = c;
        }
    return img;
}

static data_image __detail(uint32_t seed)
{
    data_image img = image_make(TERRA_TEX, TERRA_TEX);
    for (int y = 0; y < TERRA_TEX; y++)
        for (int x = 0; x < TERRA_TEX; x++) {
            float v = std::clamp(0.5f + 0.35f * noise_fbm2(x / 16.0f, y / 16.0f, 4, 16, seed), 0.0f, 1.0f);
            image_at(img, x, y) = {v, v, v, v};
        }
    return img;
}

static bool __texture_set(data_ctx &ctx, int set, const std::vector<float> &h)
{
    const terra_palette &p = PALETTES[set];
    char dir[64];
    std::snprintf(dir, sizeof dir, "bolid\\terrain%d\\", set + 1);
    std::string d = dir;
    data_image blend = image_make(TERRA_TEX, TERRA_TEX);
    data_image single = image_make(TERRA_SINGLE, TERRA_SINGLE);
    const float scale = float(TERRA_CELLS) / TERRA_TEX, sscale = float(TERRA_CELLS) / TERRA_SINGLE;
    for (int y = 0; y < TERRA_TEX; y++)
        for (int x = 0; x < TERRA_TEX; x++)
            image_at(blend, x, y) = __weights(h, (x + 0.5f) * scale, (y + 0.5f) * scale);
    for (int y = 0; y < TERRA_SINGLE; y++)
        for (int x = 0; x < TERRA_SINGLE; x++) {
            rgba w = __weights(h, (x + 0.5f) * sscale, (y + 0.5f) * sscale);
            rgba c = {0, 0, 0, 1};
            for (int l = 0; l < 3; l++) {
                float wl = l == 0 ? w.r : l == 1 ? w.g : w.b;
                c.r += wl * p.layer[l].r, c.g += wl * p.layer[l].g, c.b += wl * p.layer[l].b;
            }
            image_at(single, x, y) = rgba_scale(c, 0.92f + 0.16f * noise_perlin2(x / 9.0f, y / 9.0f, 0, 0, p.seed));
        }
    return data_write_picture(ctx, d + "Layer0.tga", __layer(p, 0, true), 32, TERRA_SHEET) &&
           data_write_picture(ctx, d + "Layer1.tga", __layer(p, 1, false), 24, TERRA_SHEET) &&
           data_write_picture(ctx, d + "Layer2.tga", __layer(p, 2, false), 24, TERRA_SHEET) &&
           data_write_picture(ctx, d + "blend_map.tga", blend, 24, TERRA_SHEET) &&
           data_write_picture(ctx, d + "detail.tga", __detail(p.seed + 5), 32, TERRA_SHEET) &&
           data_write_picture(ctx, d + "single_map.tga", single, 24, TERRA_SHEET);
}

// A closed flight over the ground: a loop at 40..90 m above it.
static bool __camera_path(scene_kit &k, const terrain *t)
{
    const int KEYS = 48;
    const float T = 48.0f, side = TERRA_CELLS * TERRA_CELL;
    std::vector<tacka3> pos(KEYS);
    for (int i = 0; i < KEYS; i++) {
        float a = 2.0f * 3.14159265f * i / (KEYS - 1);
        float x = side * (0.5f + 0.33f * std::cos(a)), z = side * (0.5f + 0.28f * std::sin(2 * a + 0.4f));
        // Clear of the highest ground within reach of the neighbouring keys.
        float ground = -INFINITY;
        for (float dz = -160.0f; dz <= 160.0f; dz += 20.0f)
            for (float dx = -160.0f; dx <= 160.0f; dx += 20.0f)
                ground = std::fmax(ground, terrain_height_at(t, x + dx, z + dz));
        pos[i] = {x, ground + 45.0f + 20.0f * std::sin(3 * a), z};
    }
    motion *m = motion_init();
    if (!m) return false;
    bool ok = motion_copy_name(m, "terrain_camera");
    motion_set_initial_pose(m, {0, 0, 0}, {1, 0, 0, 0}, {1, 1, 1});
    const float tcb[5] = {0, 0, 0, 0, 0};
    quaternion first = {1, 0, 0, 0};
    for (int i = 0; i < KEYS && ok; i++) {
        tacka3 next = pos[(i + 1) % (KEYS - 1)], prev = pos[(i + KEYS - 2) % (KEYS - 1)];
        tacka3 fwd = tacka3_normalize(tacka3_sub(next, prev));
        fwd = tacka3_normalize({fwd.x, fwd.y - 0.35f, fwd.z}); // looking ahead and down
        quaternion q = quat_look(fwd, {0, 1, 0});
        if (i == 0) first = q;
        ok = motion_add_linear_position_keyframe(m, i * T / (KEYS - 1), pos[i]) &&
             motion_add_rotation_keyframe(m, i * T / (KEYS - 1), q, tcb);
    }
    if (!ok) {
        motion_deinit(m);
        return false;
    }
    scene_add_motion(k.sc, m);
    // The motion carries the whole placement: the instance rests at the origin.
    (void)first;
    return kit_oi(k, "terrain_camera", "", "", "", pose_at({0, 0, 0}), "dynamic = true\n") &&
           kit_camera(k, "terrain_camera", nullptr, 1.0f);
}

static bool __sun(scene_kit &k)
{
    tacka3 dir = tacka3_normalize({0.5f, -0.55f, 0.65f});
    if (!kit_oi(k, "light_sun", "", "", "", pose_at(tacka3_scale(dir, -5000), quat_look(dir, {0, 1, 0})),
                "ambient_r = 0.080\nambient_g = 0.080\nambient_b = 0.090\n"))
        return false;
    light *l = light_init();
    if (!l || !light_copy_name(l, "light_sun")) {
        if (l) light_deinit(l);
        return false;
    }
    light_set_type(l, LIGHT_DIRECTIONAL);
    l->color = {1.0f, 0.97f, 0.92f, 1.0f};
    l->range1 = 0;
    l->range2 = l->range2_copy = 100000;
    if (!scene_add_light(k.sc, l)) {
        light_deinit(l);
        return false;
    }
    return true;
}

bool data_gen_terrain(data_ctx &ctx)
{
    auto t0 = std::chrono::steady_clock::now();
    std::vector<float> h = __heights(__craters());
    for (int set = 0; set < 4; set++)
        if (!__texture_set(ctx, set, h)) return false;
    terrain_layer layer{0, 96.0f, 768.0f, {1, 1, 1, 1}, 1.0f};
    terrain *t = terrain_make(h.data(), TERRA_CELLS, TERRA_PATCH, TERRA_CELL, {0, 0, 0}, &layer);
    if (!t) return false;
    if (!terrain_initialize_system(t, nullptr)) {
        std::fprintf(stderr, "vorn-data: terrain: the terrain does not build: %s\n", t->error);
        terrain_free(t);
        return false;
    }
    scene_kit k;
    k.sc = scene_init();
    if (!k.sc) {
        terrain_free(t);
        return false;
    }
    scene_set_terrain(k.sc, t);
    bool ok = __sun(k) && __camera_path(k, t);
    std::string path = data_path(ctx, "terrain_demo.quox2");
    ok = ok && quox2_save_scene(path.c_str(), k.sc) && data_note_written(ctx, "terrain_demo.quox2");
    if (!ok) std::fprintf(stderr, "vorn-data: terrain: cannot write %s\n", path.c_str());
    if (ok && !ctx.quiet)
        std::printf("vorn-data: terrain: %u x %u cells of %.0f m, %.2f s\n", TERRA_CELLS, TERRA_CELLS, TERRA_CELL,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    scene_deinit(k.sc);
    return ok;
}
