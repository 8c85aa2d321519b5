// Scene textures: rock, scrap, hull panels, the sky box and its reflection.
// Every surface is made from a tiling height field; its normal map is derived
// from the same field, so shading and relief always agree.

#include "data_textures.h"

#include <algorithm>
#include <cmath>

#include "data_build.h"
#include "data_noise.h"

const sky_face SKY_FACE_TABLE[SKY_FACES] = {
    {"front", "sky_front.tga", {0, 0, -1}, {1, 0, 0}, {0, -1, 0}},
    {"back", "sky_back.tga", {0, 0, 1}, {-1, 0, 0}, {0, -1, 0}},
    {"left", "sky_left.tga", {-1, 0, 0}, {0, 0, -1}, {0, -1, 0}},
    {"right", "sky_right.tga", {1, 0, 0}, {0, 0, 1}, {0, -1, 0}},
    {"top", "sky_top.tga", {0, 1, 0}, {1, 0, 0}, {0, 0, -1}},
    {"bottom", "sky_bottom.tga", {0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
};

#define SHEET "textures"

// A tiling height field, 0..1.
struct height_field {
    int n;
    std::vector<float> h;
    float &at(int x, int y) { return h[size_t((y + n) % n) * n + (x + n) % n]; }
};

static height_field __field(int n) { return {n, std::vector<float>(size_t(n) * n, 0)}; }

// Normal map from a height field; strength scales the slopes.
static data_image __normal_map(height_field &f, float strength, bool height_in_alpha)
{
    data_image img = image_make(f.n, f.n, {0, 0, 0, 1});
    for (int y = 0; y < f.n; y++)
        for (int x = 0; x < f.n; x++) {
            float dx = (f.at(x + 1, y) - f.at(x - 1, y)) * 0.5f * strength;
            float dy = (f.at(x, y + 1) - f.at(x, y - 1)) * 0.5f * strength;
            // Picture rows run downwards; the normal's y points up the picture.
            float nx = -dx, ny = dy, nz = 1;
            float len = std::sqrt(nx * nx + ny * ny + nz * nz);
            image_at(img, x, y) = {nx / len * 0.5f + 0.5f, ny / len * 0.5f + 0.5f, nz / len * 0.5f + 0.5f,
                                   height_in_alpha ? f.at(x, y) : 1.0f};
        }
    return img;
}

// Cavity term: how far a pixel lies below its neighbourhood (for grime).
static float __cavity(height_field &f, int x, int y, int r)
{
    float s = 0;
    int n = 0;
    for (int j = -r; j <= r; j += r)
        for (int i = -r; i <= r; i += r) {
            s += f.at(x + i, y + j);
            n++;
        }
    return s / n - f.at(x, y);
}

// ---- rock ------------------------------------------------------------------

struct rock_style {
    uint32_t seed;
    rgba light, dark, crater;
    int craters;
};

static height_field __rock_height(int n, const rock_style &st)
{
    height_field f = __field(n);
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++) {
            float u = float(x) / n, v = float(y) / n;
            // Domain warp: bends the features so nothing looks gridded.
            float wu = u + 0.06f * noise_fbm2(u * 4, v * 4, 3, 4, st.seed + 1);
            float wv = v + 0.06f * noise_fbm2(u * 4 + 5, v * 4 + 5, 3, 4, st.seed + 2);
            float base = noise_fbm2(wu * 4, wv * 4, 6, 4, st.seed) * 0.5f + 0.5f;
            // Ridged noise: sharp crests like fractured stone.
            float ridge = 0;
            float amp = 0.5f;
            int period = 8;
            for (int o = 0; o < 4; o++, amp *= 0.5f, period *= 2)
                ridge +=
                    amp * (1 - std::fabs(noise_perlin2(wu * period, wv * period, period, period, st.seed + 10 + o)));
            // Boulders: rounded lumps around cell centres.
            float f1, f2;
            noise_cells2(wu * 6, wv * 6, 6, st.seed + 7, &f1, &f2, nullptr);
            float lumps = std::clamp(1 - f1 * 1.1f, 0.0f, 1.0f);
            f.at(x, y) = base * 0.5f + ridge * 0.3f + lumps * lumps * 0.2f;
        }
    // Craters: bowls with raised rims, wrapped around the edges.
    noise_rng rng = noise_rng_make(st.seed);
    for (int c = 0; c < st.craters; c++) {
        float cx = float(noise_rng_range(rng, 0, n)), cy = float(noise_rng_range(rng, 0, n));
        float r = float(noise_rng_range(rng, n * 0.02, n * 0.09));
        int ri = int(r * 1.6f) + 1;
        for (int j = -ri; j <= ri; j++)
            for (int i = -ri; i <= ri; i++) {
                float d = std::hypot(float(i), float(j)) / r;
                if (d > 1.6f) continue;
                float bowl = d < 1 ? (d * d - 1) * 0.35f : 0;
                float rim = std::exp(-(d - 1) * (d - 1) * 18) * 0.12f;
                f.at(int(cx) + i, int(cy) + j) += bowl + rim;
            }
    }
    float lo = 1e9f, hi = -1e9f;
    for (float v : f.h) lo = std::min(lo, v), hi = std::max(hi, v);
    for (float &v : f.h) v = (v - lo) / (hi - lo);
    return f;
}

static data_image __rock_diffuse(height_field &f, const rock_style &st)
{
    data_image img = image_make(f.n, f.n, {0, 0, 0, 1});
    for (int y = 0; y < f.n; y++)
        for (int x = 0; x < f.n; x++) {
            float u = float(x) / f.n, v = float(y) / f.n;
            float tint = noise_fbm2(u * 8, v * 8, 4, 8, st.seed + 99) * 0.5f + 0.5f;
            rgba c = rgba_mix(st.dark, st.light, std::clamp(tint * 1.2f - 0.1f, 0.0f, 1.0f));
            float cav = std::clamp(__cavity(f, x, y, 3) * 6, -0.3f, 0.6f);
            c = rgba_mix(c, st.crater, std::max(0.0f, cav));
            float grain = noise_hash01(x, y, st.seed) * 0.1f - 0.05f;
            if (noise_hash01(x / 2, y / 2, st.seed + 3) > 0.985f) grain += 0.15f; // glints of mineral
            // A little baked light from the upper left, so the relief reads
            // even where a material has no normal map.
            float sx = (f.at(x + 1, y) - f.at(x - 1, y)) * f.n * 0.02f;
            float sy = (f.at(x, y + 1) - f.at(x, y - 1)) * f.n * 0.02f;
            float lit = std::clamp(1.0f - (sx + sy) * 0.7f, 0.5f, 1.4f);
            float shade = (0.55f + f.at(x, y) * 0.6f) * lit + grain - std::max(0.0f, cav) * 0.5f;
            image_at(img, x, y) = rgba_alpha(rgba_scale(c, shade), 1);
        }
    return img;
}

static bool __rocks(data_ctx &ctx)
{
    rock_style a = {11, rgba_u8(150, 140, 128), rgba_u8(78, 72, 66), rgba_u8(40, 36, 34), 40};
    rock_style b = {23, rgba_u8(150, 112, 88), rgba_u8(70, 52, 44), rgba_u8(36, 28, 26), 28};
    height_field ha = __rock_height(512, a);
    height_field hb = __rock_height(512, b);
    if (!data_write_picture(ctx, TEX_ROCK_A, __rock_diffuse(ha, a), 24, SHEET)) return false;
    if (!data_write_picture(ctx, TEX_ROCK_A_NORMAL, __normal_map(ha, 6, false), 24, SHEET)) return false;
    if (!data_write_picture(ctx, TEX_ROCK_B, __rock_diffuse(hb, b), 24, SHEET)) return false;
    if (!data_write_picture(ctx, TEX_ROCK_B_NORMAL, __normal_map(hb, 6, true), 32, SHEET)) return false;
    // Detail: fine grain around mid grey, so it brightens and darkens equally.
    data_image detail = image_make(256, 256, {0, 0, 0, 1});
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            float g = 0.5f + noise_fbm2(x / 32.0f, y / 32.0f, 4, 8, 5) * 0.35f + (noise_hash01(x, y, 6) - 0.5f) * 0.1f;
            image_at(detail, x, y) = {g, g, g, 1};
        }
    return data_write_picture(ctx, TEX_ROCK_DETAIL, detail, 24, SHEET);
}

// ---- panels (station, fighter, junk, sentinel, pad) ------------------------

struct panel_style {
    uint32_t seed;
    int n;          // picture size
    int grid;       // panels per side (before random merging)
    rgba base, alt; // paint colours
    float wear;     // 0 clean .. 1 battered
    float windows;  // share of panels with lit windows
    bool stripes;   // hazard stripes on some panels
};

struct panel_maps {
    data_image diffuse, normal, gloss, lights;
};

static panel_maps __panels(const panel_style &st)
{
    int n = st.n;
    height_field f = __field(n);
    panel_maps m;
    m.diffuse = image_make(n, n, {0, 0, 0, 1});
    m.gloss = image_make(n, n, {0, 0, 0, 1});
    m.lights = image_make(n, n, {0, 0, 0, 1});
    int cell = n / st.grid;
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++) {
            int cx = x / cell, cy = y / cell;
            // Panels are merged in pairs across some seams for a less regular layout.
            bool merge_x = noise_hash01(cx / 2, cy, st.seed) < 0.35f;
            int px = merge_x ? cx / 2 * 2 : cx;
            uint32_t pid = noise_hash3(px, cy, st.seed);
            int lx = x - px * cell, ly = y - cy * cell, pw = merge_x ? cell * 2 : cell;
            float edge = float(std::min(std::min(lx, pw - 1 - lx), std::min(ly, cell - 1 - ly)));
            float groove = edge < 1.5f ? 0.0f : std::min(1.0f, (edge - 1.0f) / 2.0f);
            float plate = 0.55f + (pid & 0xff) / 255.0f * 0.2f;
            float u = float(x) / n, v = float(y) / n;
            float dent = noise_fbm2(u * 16, v * 16, 3, 16, st.seed + 3) * 0.04f * st.wear;
            float h = plate * groove + dent;
            // Rivets along the panel border.
            if (edge > 3 && edge < 6) {
                int along = (lx < 6 || lx > pw - 7) ? ly : lx;
                if (along % 12 == 6 && edge > 3.5f && edge < 5.5f) h += 0.08f;
            }
            f.at(x, y) = h;
            float shade = (pid >> 8 & 0xff) / 255.0f;
            rgba paint = rgba_mix(st.base, st.alt, shade < 0.2f ? 1.0f : shade * 0.25f);
            if (st.stripes && (pid >> 16 & 7) == 0) {
                bool band = ((lx + ly) / 10) % 2 == 0;
                paint = band ? rgba_u8(200, 160, 40) : rgba_u8(30, 30, 32);
            }
            float grime = (noise_fbm2(u * 6, v * 6, 5, 6, st.seed + 9) * 0.5f + 0.5f) * st.wear;
            float scratch = noise_hash01(x / 2, y, st.seed + 4) > 0.995f - 0.01f * st.wear ? 0.25f : 0;
            rgba c = rgba_scale(paint, 0.85f + noise_hash01(x, y, st.seed) * 0.08f - grime * 0.45f + scratch);
            if (groove < 1) c = rgba_scale(c, 0.35f + 0.65f * groove);
            image_at(m.diffuse, x, y) = rgba_alpha(c, 1);
            float g = (0.45f + shade * 0.3f) * groove * (1 - grime * 0.6f);
            image_at(m.gloss, x, y) = {g, g, g, 1};
            // Windows: a row of small lit rectangles in some panels.
            if (noise_hash01(px, cy, st.seed + 17) < st.windows) {
                int wy = cell / 2 - cell / 10, wh = cell / 6;
                int wx = lx % (cell / 4);
                bool lit = ly >= wy && ly < wy + wh && wx >= cell / 16 && wx < cell / 4 - cell / 16 && edge > 4;
                if (lit) {
                    float warm = noise_hash01(px * 7 + lx / (cell / 4), cy, st.seed + 21);
                    rgba lc = warm < 0.7f ? rgba_u8(255, 214, 150) : rgba_u8(150, 220, 255);
                    if (warm > 0.92f) lc = {0, 0, 0, 1}; // a dark window now and then
                    image_at(m.lights, x, y) = lc;
                    image_at(m.diffuse, x, y) = rgba_scale(lc, 0.6f);
                    f.at(x, y) -= 0.05f;
                }
            }
        }
    m.normal = __normal_map(f, 10, true);
    return m;
}

static bool __hulls(data_ctx &ctx)
{
    panel_style station = {31, 512, 8, rgba_u8(170, 176, 184), rgba_u8(120, 130, 150), 0.5f, 0.3f, true};
    panel_maps s = __panels(station);
    if (!data_write_picture(ctx, TEX_STATION, s.diffuse, 24, SHEET) ||
        !data_write_picture(ctx, TEX_STATION_NORMAL, s.normal, 32, SHEET) ||
        !data_write_picture(ctx, TEX_STATION_SPECULAR, s.gloss, 24, SHEET) ||
        !data_write_picture(ctx, TEX_STATION_LIGHTS, s.lights, 24, SHEET))
        return false;
    panel_style fighter = {41, 256, 4, rgba_u8(200, 204, 210), rgba_u8(190, 70, 50), 0.2f, 0, false};
    panel_maps fm = __panels(fighter);
    // Make the normal map 24-bit: the fighter exercises the plain normal-map path.
    if (!data_write_picture(ctx, TEX_FIGHTER, fm.diffuse, 24, SHEET) ||
        !data_write_picture(ctx, TEX_FIGHTER_NORMAL, fm.normal, 24, SHEET) ||
        !data_write_picture(ctx, TEX_FIGHTER_SPECULAR, fm.gloss, 24, SHEET))
        return false;
    panel_style junk = {53, 256, 4, rgba_u8(110, 120, 100), rgba_u8(160, 90, 50), 1.0f, 0, true};
    panel_maps jm = __panels(junk);
    if (!data_write_picture(ctx, TEX_JUNK, jm.diffuse, 24, SHEET) ||
        !data_write_picture(ctx, TEX_JUNK_NORMAL, jm.normal, 24, SHEET))
        return false;
    panel_style sentinel = {61, 256, 4, rgba_u8(90, 100, 116), rgba_u8(220, 180, 60), 0.3f, 0, false};
    if (!data_write_picture(ctx, TEX_SENTINEL, __panels(sentinel).diffuse, 24, SHEET)) return false;
    panel_style pad = {71, 256, 2, rgba_u8(80, 84, 90), rgba_u8(60, 62, 66), 0.6f, 0, true};
    panel_maps pm = __panels(pad);
    // The pad is all hazard stripes along its frame.
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++)
            if (x < 24 || x >= 232 || y < 24 || y >= 232) {
                bool band = ((x + y) / 16) % 2 == 0;
                image_at(pm.diffuse, x, y) = band ? rgba_u8(210, 170, 40) : rgba_u8(28, 28, 30);
            }
    return data_write_picture(ctx, TEX_LAUNCH_PAD, pm.diffuse, 24, SHEET);
}

// ---- sky -------------------------------------------------------------------

#define SKY_SIZE 512
#define SKY_STARS 6000

static void __normalise(float v[3])
{
    float l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    v[0] /= l, v[1] /= l, v[2] /= l;
}

// The nebula colour in a direction.
static rgba __nebula(const float d[3])
{
    float n1 = noise_fbm3(d[0] * 1.6f, d[1] * 1.6f, d[2] * 1.6f, 6, 301) * 0.5f + 0.5f;
    float n2 = noise_fbm3(d[0] * 3.1f + 5, d[1] * 3.1f, d[2] * 3.1f, 5, 302) * 0.5f + 0.5f;
    // A band across the sky, broken up by the noise.
    float band = std::exp(-std::pow((d[1] * 0.8f + d[0] * 0.35f) * 2.2f, 2));
    float dens = std::clamp((n1 - 0.42f) * 2.4f, 0.0f, 1.0f) * (0.35f + 0.65f * band);
    float hot = std::clamp((n2 - 0.5f) * 3, 0.0f, 1.0f) * dens;
    rgba deep = rgba_u8(4, 5, 14);
    rgba violet = rgba_u8(70, 30, 110);
    rgba teal = rgba_u8(30, 110, 140);
    rgba rose = rgba_u8(200, 90, 120);
    rgba c = rgba_mix(deep, violet, dens * 0.9f);
    c = rgba_mix(c, teal, std::clamp(n2 * dens * 1.2f - 0.2f, 0.0f, 0.8f));
    c = rgba_mix(c, rose, hot * 0.6f);
    return c;
}

static void __sky_face(const sky_face &face, const std::vector<float> &stars, data_image &img)
{
    img = image_make(SKY_SIZE, SKY_SIZE, {0, 0, 0, 1});
    for (int y = 0; y < SKY_SIZE; y++)
        for (int x = 0; x < SKY_SIZE; x++) {
            float u = (x + 0.5f) / SKY_SIZE * 2 - 1, v = (y + 0.5f) / SKY_SIZE * 2 - 1;
            float d[3];
            for (int k = 0; k < 3; k++) d[k] = face.centre[k] + u * face.right[k] + v * face.down[k];
            __normalise(d);
            image_at(img, x, y) = rgba_alpha(__nebula(d), 1);
        }
    // Stars: splat each one that projects onto this face (with a margin, so
    // stars on an edge appear on both faces and the seam stays invisible).
    for (size_t s = 0; s < stars.size(); s += 5) {
        const float *d = &stars[s];
        float c = d[0] * face.centre[0] + d[1] * face.centre[1] + d[2] * face.centre[2];
        if (c <= 0.3f) continue;
        float u = (d[0] * face.right[0] + d[1] * face.right[1] + d[2] * face.right[2]) / c;
        float v = (d[0] * face.down[0] + d[1] * face.down[1] + d[2] * face.down[2]) / c;
        if (std::fabs(u) > 1.02f || std::fabs(v) > 1.02f) continue;
        float px = (u + 1) * 0.5f * SKY_SIZE, py = (v + 1) * 0.5f * SKY_SIZE;
        float bright = d[3], temp = d[4];
        rgba col = temp < 0.3f ? rgba_u8(255, 200, 160) : temp < 0.8f ? rgba_u8(255, 255, 255) : rgba_u8(170, 200, 255);
        float radius = 1.2f + bright * 2.2f;
        image_glow(img, px, py, radius, 2.0f, rgba_alpha(col, bright * 1.1f));
        if (bright > 0.85f) { // the brightest get a faint cross
            image_glow(img, px, py, radius * 4, 3.0f, rgba_alpha(col, 0.25f));
            image_line(img, px - radius * 4, py, px + radius * 4, py, 0.8f, rgba_alpha(col, 0.35f));
            image_line(img, px, py - radius * 4, px, py + radius * 4, 0.8f, rgba_alpha(col, 0.35f));
        }
    }
}

static bool __sky(data_ctx &ctx)
{
    // Star directions, uniform on the sphere, with brightness and colour.
    noise_rng rng = noise_rng_make(777);
    std::vector<float> stars;
    for (int i = 0; i < SKY_STARS; i++) {
        float z = float(noise_rng_range(rng, -1, 1)), a = float(noise_rng_range(rng, 0, 6.2831853));
        float r = std::sqrt(1 - z * z);
        float b = float(std::pow(noise_rng_range(rng, 0, 1), 6.0));
        stars.insert(stars.end(),
                     {r * std::cos(a), r * std::sin(a), z, 0.25f + b * 0.75f, float(noise_rng_range(rng, 0, 1))});
    }
    for (const auto &face : SKY_FACE_TABLE) {
        data_image img;
        __sky_face(face, stars, img);
        if (!data_write_picture(ctx, face.file, img, 24, "sky")) return false;
    }
    // Reflection map: the sky as seen in a mirror ball (sphere map).
    data_image env = image_make(256, 256, {0, 0, 0, 1});
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            float u = (x + 0.5f) / 128 - 1, v = 1 - (y + 0.5f) / 128;
            float r2 = u * u + v * v;
            if (r2 > 1) continue;
            float nz = std::sqrt(1 - r2);
            // Reflect the view ray (0, 0, -1) about the ball's normal (u, v, nz).
            float d[3] = {2 * nz * u, 2 * nz * v, 2 * nz * nz - 1};
            __normalise(d);
            rgba c = __nebula(d);
            image_at(env, x, y) = rgba_alpha(rgba_scale(c, 1.6f), 1);
        }
    return data_write_picture(ctx, TEX_REFLECTION, env, 24, SHEET);
}

bool data_gen_textures(data_ctx &ctx) { return __rocks(ctx) && __hulls(ctx) && __sky(ctx); }
