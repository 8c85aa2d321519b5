#include "the_vorn_ui_pictures.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "corelib/gfxloader.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "frontend/gui_text_writer.h"
#include "game/resource_folder.h"
#include "renderer/OGL_blitter.h"
#include "renderer/OGL_features.h"
#include "renderer/OGL_texture.h"

#define VORN_UI_ATLAS_NAME "vorn ui picture atlas"
// Texels around each picture in the atlas (its edges repeated), so that
// filtering never reaches a neighbour.
#define VORN_UI_ATLAS_GAP 2

// Atlas sizes tried in turn; the first that takes every picture is used.
static const int32_t atlas_sizes[][2] = {{512, 512}, {1024, 512}, {1024, 1024}, {2048, 1024}, {2048, 2048}};

// A loaded picture as RGBA bytes, rows bottom-up.
struct __loaded {
    std::vector<uint8_t> rgba;
    int32_t w = 0, h = 0;
    gtw_rect place{};
    bool placed = false;
};

static bool __load_rgba(const char *relative, __loaded *out)
{
    std::string path = resource_path(relative);
    int w = 0, h = 0, bpp = 0;
    uint8_t *px = nullptr;
    if (!gfxloader_load_smart(path.c_str(), &w, &h, &bpp, &px)) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "vorn_ui: cannot load the picture \"%s\"", path.c_str());
        return false;
    }
    const int channels = bpp / 8;
    if ((channels != 1 && channels != 3 && channels != 4) || w <= 0 || h <= 0) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "vorn_ui: the picture \"%s\" has %d bits per pixel",
               path.c_str(), bpp);
        mem_free(px);
        return false;
    }
    out->w = w;
    out->h = h;
    out->rgba.resize(size_t(w) * size_t(h) * 4);
    for (size_t i = 0; i < size_t(w) * size_t(h); i++) {
        const uint8_t *s = px + i * size_t(channels);
        uint8_t *d = &out->rgba[i * 4];
        d[0] = s[0];
        d[1] = channels == 1 ? s[0] : s[1];
        d[2] = channels == 1 ? s[0] : s[2];
        d[3] = channels == 4 ? s[3] : 255;
    }
    mem_free(px);
    return true;
}

static OGL_texture *__make_texture(const char *name, int32_t w, int32_t h, const uint8_t *rgba)
{
    OGL_texture_input_data id{};
    id.filename = name;
    id.xsize = uint32_t(w);
    id.ysize = uint32_t(h);
    id.bpp = 32;
    id.pixels = rgba;
    return OGL_texture_create(&id);
}

// Places the pictures on the shelves of a w x h atlas, tallest first; true
// when all fit (those that fit are marked either way).
static bool __pack(std::vector<__loaded> &pics, const std::vector<int> &order, int32_t w, int32_t h)
{
    gtw_shelf shelf;
    gtw_shelf_init(&shelf, w, h);
    bool all = true;
    for (int i : order) {
        __loaded &p = pics[size_t(i)];
        p.placed = gtw_shelf_place(&shelf, p.w + VORN_UI_ATLAS_GAP, p.h + VORN_UI_ATLAS_GAP, &p.place);
        all = all && p.placed;
    }
    return all;
}

int vorn_ui_pictures_load(const char *const *files, int count, vorn_ui_picture *out)
{
    std::vector<__loaded> pics(static_cast<size_t>(count));
    std::vector<int> order;
    for (int i = 0; i < count; i++) {
        out[i] = vorn_ui_picture{};
        if (__load_rgba(files[i], &pics[size_t(i)])) order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return pics[size_t(a)].h > pics[size_t(b)].h; });

    int32_t max_size = OGL_features_get()->max_texture_size;
    if (max_size <= 0) max_size = 1024;
    int32_t aw = 0, ah = 0;
    for (const auto &s : atlas_sizes) {
        if (s[0] > max_size || s[1] > max_size) break;
        aw = s[0];
        ah = s[1];
        if (__pack(pics, order, aw, ah)) break;
    }
    if (aw > 0 && !__pack(pics, order, aw, ah))
        do_log(LOG_INFO, LOG_TO_FILE, "vorn_ui: not every picture fits the %d x %d atlas", aw, ah);

    // The atlas, rows bottom-up like every texture's source.
    OGL_texture *atlas = nullptr;
    int placed = 0;
    for (int i : order) placed += pics[size_t(i)].placed && aw > 0;
    if (placed > 0) {
        std::vector<uint8_t> texels(size_t(aw) * size_t(ah) * 4, 0);
        for (int i : order) {
            const __loaded &p = pics[size_t(i)];
            if (!p.placed) continue;
            // The picture one texel in from its place's corner, its edge rows
            // and columns repeated around it: scaled or filtered, its edges
            // blend with themselves, as a texture of its own clamps them.
            for (int32_t r = -1; r <= p.h; r++) {
                int32_t src_row = p.h - 1 - std::clamp(r, 0, p.h - 1); // bottom-up
                size_t row = size_t(ah - 1 - (p.place.min_y + 1 + r));
                uint8_t *to = &texels[(row * size_t(aw) + size_t(p.place.min_x)) * 4];
                const uint8_t *from = &p.rgba[size_t(src_row) * size_t(p.w) * 4];
                std::memcpy(to, from, 4);
                std::memcpy(to + 4, from, size_t(p.w) * 4);
                std::memcpy(to + 4 + size_t(p.w) * 4, from + size_t(p.w - 1) * 4, 4);
            }
        }
        atlas = __make_texture(VORN_UI_ATLAS_NAME, aw, ah, texels.data());
        if (!atlas) do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "vorn_ui: the picture atlas was refused");
    }

    int loaded = 0;
    for (int i : order) {
        const __loaded &p = pics[size_t(i)];
        vorn_ui_picture &o = out[i];
        o.w = p.w;
        o.h = p.h;
        if (atlas && p.placed) {
            o.texture = atlas;
            o.x = p.place.min_x + 1;
            o.y = p.place.min_y + 1;
            o.rows = ah;
            o.own = 0;
        } else {
            o.texture = __make_texture(files[i], p.w, p.h, p.rgba.data());
            o.x = o.y = 0;
            o.rows = p.h;
            o.own = 1;
        }
        loaded += o.texture != nullptr;
    }
    return loaded;
}

void vorn_ui_pictures_free(vorn_ui_picture *pictures, int count)
{
    OGL_texture *atlas = nullptr;
    for (int i = 0; i < count; i++) {
        vorn_ui_picture &p = pictures[i];
        if (p.texture && p.own) OGL_texture_free(p.texture);
        if (p.texture && !p.own) atlas = p.texture;
        p = vorn_ui_picture{};
    }
    if (atlas) OGL_texture_free(atlas);
}

// ---- the batch ----

static std::vector<float> batch_positions, batch_tex_coords, batch_colours;
static const OGL_texture *batch_texture;
static int batch_draws;
static bool batch_immediate;

void vorn_ui_batch_set_immediate(bool on) { batch_immediate = on; }

void vorn_ui_batch_begin()
{
    batch_positions.clear();
    batch_tex_coords.clear();
    batch_colours.clear();
    batch_texture = nullptr;
    batch_draws = 0;
}

int vorn_ui_batch_flush()
{
    if (!batch_positions.empty()) {
        OGL_blit_quads(batch_texture, batch_positions.data(), batch_tex_coords.data(), batch_colours.data(),
                       uint32_t(batch_positions.size() / 2), OGL_BLIT_ALPHA);
        batch_draws++;
    }
    batch_positions.clear();
    batch_tex_coords.clear();
    batch_colours.clear();
    return batch_draws;
}

void vorn_ui_batch_part(const vorn_ui_picture *p, float sx, float sy, float sw, float sh, float x, float y, float w,
                        float h, const float *colour)
{
    if (!p->texture || w <= 0.0f || h <= 0.0f || sw <= 0.0f || sh <= 0.0f) return;
    if (p->texture != batch_texture) {
        vorn_ui_batch_flush();
        batch_texture = p->texture;
    }
    static const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    if (!colour) colour = white;
    // Texels: s from the left, t from the texture's bottom row.
    const float s0 = float(p->x) + sx, s1 = s0 + sw;
    const float t_top = float(p->rows - p->y) - sy, t_bottom = t_top - sh;
    const float corners[4][4] = {
        {x, y + h, s0, t_bottom}, {x + w, y + h, s1, t_bottom}, {x + w, y, s1, t_top}, {x, y, s0, t_top}};
    for (const auto &c : corners) {
        batch_positions.insert(batch_positions.end(), {c[0], c[1]});
        batch_tex_coords.insert(batch_tex_coords.end(), {c[2], c[3]});
        batch_colours.insert(batch_colours.end(), colour, colour + 4);
    }
    if (batch_immediate) vorn_ui_batch_flush();
}

void vorn_ui_batch_picture(const vorn_ui_picture *p, float x, float y)
{
    vorn_ui_batch_part(p, 0.0f, 0.0f, float(p->w), float(p->h), x, y, float(p->w), float(p->h), nullptr);
}
