// Shared scene textures as renderer textures.
//
// Every scene texture reaches the render profiles, which take power-of-two
// sides from 2 to 8192 only: other sizes (and sides above the board's limit)
// are resampled to the nearest allowed power of two first. Greyscale images
// are widened to RGB; opacity maps get their brightness as alpha. An image the renderer still refuses gets the scene's
// white 2 x 2 placeholder, with a message naming the file.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "corelib/log.h"
#include "corelib/mem.h"
#include "renderer/OGL_features.h"
#include "renderer/OGL_scene.h"
#include "renderer/OGL_scene_parts.h"
#include "renderer/OGL_settings.h"
#include "renderer/OGL_texture.h"
#include "scene/material.h"
#include "scene/scene.h"
#include "scene/unitexture.h"

#define __MAX_SIDE 8192u
// Nested sub-materials looked through when finding a texture's uses.
#define __NESTING_LIMIT 16

static bool __material_uses_in(const material *m, const unitexture *u, int slot, int depth)
{
    if (!m || depth > __NESTING_LIMIT) return false;
    if (m->slots[slot].tex == u) return true;
    return __material_uses_in(m->submat1, u, slot, depth + 1) || __material_uses_in(m->submat2, u, slot, depth + 1);
}

// Whether some material of the texture's scene uses it in that slot.
static bool __used_in(const unitexture *u, int slot)
{
    if (!u->sc) return false;
    dlist_for_each(n, &u->sc->materials)
    {
        if (__material_uses_in(scene_material_of(n), u, slot, 0)) return true;
    }
    return false;
}

// RGBA with the alpha from the brightness: opacity maps are masks.
static uint8_t *__to_mask(const uint8_t *src, uint32_t w, uint32_t h, uint32_t bpp)
{
    size_t count = size_t(w) * h, c = bpp / 8;
    uint8_t *out = static_cast<uint8_t *>(mem_alloc(count * 4));
    if (!out) return nullptr;
    for (size_t i = 0; i < count; i++) {
        const uint8_t *p = src + i * c;
        uint8_t grey = c == 1 ? p[0] : uint8_t((p[0] + p[1] + p[2]) / 3);
        out[i * 4] = c == 1 ? grey : p[0];
        out[i * 4 + 1] = c == 1 ? grey : p[1];
        out[i * 4 + 2] = c == 1 ? grey : p[2];
        out[i * 4 + 3] = c == 4 ? p[3] : grey;
    }
    return out;
}

static uint32_t __allowed_side(uint32_t n, uint32_t cap)
{
    uint32_t p = 2;
    while (p < n && p < cap) p <<= 1;
    // The nearer of the two powers around n.
    if (p > 2 && p > n && (p - n) > (n - p / 2)) p >>= 1;
    return std::min(p, cap);
}

// Bilinear resampling of a tightly packed image of c bytes per pixel.
static uint8_t *__resample(const uint8_t *src, uint32_t w, uint32_t h, uint32_t c, uint32_t nw, uint32_t nh)
{
    size_t bytes;
    if (!mem_mul_size(size_t(nw) * nh, c, &bytes)) return nullptr;
    uint8_t *out = static_cast<uint8_t *>(mem_alloc(bytes));
    if (!out) return nullptr;
    for (uint32_t y = 0; y < nh; y++) {
        float fy = std::max(0.0f, (y + 0.5f) * float(h) / float(nh) - 0.5f);
        uint32_t y0 = std::min(uint32_t(fy), h - 1), y1 = std::min(y0 + 1, h - 1);
        float ty = fy - float(y0);
        for (uint32_t x = 0; x < nw; x++) {
            float fx = std::max(0.0f, (x + 0.5f) * float(w) / float(nw) - 0.5f);
            uint32_t x0 = std::min(uint32_t(fx), w - 1), x1 = std::min(x0 + 1, w - 1);
            float tx = fx - float(x0);
            const uint8_t *a = src + (size_t(y0) * w + x0) * c, *b = src + (size_t(y0) * w + x1) * c;
            const uint8_t *d = src + (size_t(y1) * w + x0) * c, *e = src + (size_t(y1) * w + x1) * c;
            uint8_t *o = out + (size_t(y) * nw + x) * c;
            for (uint32_t k = 0; k < c; k++) {
                float top = a[k] + (b[k] - a[k]) * tx, bottom = d[k] + (e[k] - d[k]) * tx;
                o[k] = uint8_t(std::lround(std::clamp(top + (bottom - top) * ty, 0.0f, 255.0f)));
            }
        }
    }
    return out;
}

static uint8_t *__grey_to_rgb(const uint8_t *src, uint32_t w, uint32_t h)
{
    size_t count = size_t(w) * h;
    uint8_t *out = static_cast<uint8_t *>(mem_alloc(count * 3));
    if (!out) return nullptr;
    for (size_t i = 0; i < count; i++) out[i * 3] = out[i * 3 + 1] = out[i * 3 + 2] = src[i];
    return out;
}

static uint32_t __input_flags(const unitexture *u)
{
    uint32_t f = 0;
    if (u->options & UNITEX_OPT_BASE1) f |= OGL_TEXTURE_INPUT_REPEAT_S;
    if (u->options & UNITEX_OPT_BASE2) f |= OGL_TEXTURE_INPUT_REPEAT_T;
    if (u->options & UNITEX_OPT_MIPMAP) {
        f |= OGL_TEXTURE_INPUT_MIPMAPS;
        if (__used_in(u, MAT_SLOT_BUMP)) f |= OGL_TEXTURE_INPUT_NORMAL_MAP;
    }
    // Levels 2 and 1 are the reduced images; the configured reduction applies on top.
    int halvings = u->lod >= 1 && u->lod <= 3 ? 3 - u->lod : 0;
    halvings = std::max(halvings, OGL_render_settings_get_texture_size_reduction());
    if (halvings == 1) f |= OGL_TEXTURE_INPUT_HALVE_ONCE;
    if (halvings >= 2) f |= OGL_TEXTURE_INPUT_HALVE_TWICE;
    return f;
}

static OGL_texture *__placeholder(const char *file)
{
    const uint8_t white[2 * 2 * 3] = {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255};
    OGL_texture_input_data id{};
    id.flags = OGL_TEXTURE_INPUT_REPEAT_S | OGL_TEXTURE_INPUT_REPEAT_T;
    id.filename = file;
    id.xsize = id.ysize = 2;
    id.bpp = 24;
    id.pixels = white;
    return OGL_texture_create(&id);
}

static OGL_texture *__create(const unitexture *u, const char *file)
{
    int w = 0, h = 0, bpp = 0;
    const uint8_t *px = unitexture_get_data(u, &w, &h, &bpp);
    if (!px || w <= 0 || h <= 0) return nullptr;
    OGL_texture_input_data id{};
    id.flags = __input_flags(u);
    id.filename = file;
    id.xsize = uint32_t(w);
    id.ysize = uint32_t(h);
    id.bpp = uint32_t(bpp);
    id.pixels = px;

    uint8_t *owned = nullptr;
    if ((bpp == 8 || bpp == 24) && __used_in(u, MAT_SLOT_OPACITY)) {
        owned = __to_mask(px, id.xsize, id.ysize, uint32_t(bpp));
        if (!owned) return nullptr;
        id.bpp = 32;
        id.pixels = owned;
    } else if (bpp == 8) {
        owned = __grey_to_rgb(px, id.xsize, id.ysize);
        if (!owned) return nullptr;
        id.bpp = 24;
        id.pixels = owned;
    }
    uint32_t cap = __MAX_SIDE;
    const OGL_features *f = OGL_features_get();
    if (f && f->max_texture_size >= 2) cap = std::min(cap, uint32_t(f->max_texture_size));
    uint32_t nw = __allowed_side(id.xsize, cap), nh = __allowed_side(id.ysize, cap);
    if ((nw != id.xsize || nh != id.ysize) && (id.bpp == 24 || id.bpp == 32)) {
        do_log(LOG_INFO, LOG_TO_FILE, "OGL_scene: texture \"%s\" resampled from %u x %u to %u x %u",
               log_quote(file).text, id.xsize, id.ysize, nw, nh);
        uint8_t *r = __resample(static_cast<const uint8_t *>(id.pixels), id.xsize, id.ysize, id.bpp / 8, nw, nh);
        mem_free(owned);
        owned = r;
        if (!owned) return nullptr;
        id.pixels = owned;
        id.xsize = nw;
        id.ysize = nh;
    }
    OGL_texture *t = OGL_texture_create(&id);
    mem_free(owned);
    return t;
}

bool __OGL_scene_texture_create(unitexture *u)
{
    const char *file = u->path ? u->path : (u->name ? u->name : "(unnamed)");
    OGL_texture *t = __create(u, file);
    if (!t) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE,
               "OGL_scene: texture \"%s\" cannot be used by the renderer, a white placeholder stands in",
               log_quote(file).text);
        t = __placeholder(file);
        if (!t) return false;
    }
    if (t->flags & OGL_TEXTURE_MIPMAPPED)
        OGL_texture_update_texture_filter(t, OGL_render_settings_get_texture_filter_quality());
    unitexture_set_ogl_texture(u, t);
    // GL keeps the image; video textures keep their frame buffer for updates.
    if (!(u->flags & UNITEX_ANIMATED)) unitexture_release_pixels(u);
    return true;
}

void __OGL_scene_texture_destroy(unitexture *u)
{
    OGL_texture_free(unitexture_get_ogl_texture(u));
    unitexture_set_ogl_texture(u, nullptr);
}

void __OGL_scene_texture_update(unitexture *u)
{
    OGL_texture *t = unitexture_get_ogl_texture(u);
    int w = 0, h = 0, bpp = 0;
    const uint8_t *px = unitexture_get_data(u, &w, &h, &bpp);
    if (!t || !px || w <= 0 || h <= 0) return;
    OGL_texture_input_data id{};
    id.filename = u->path;
    id.xsize = uint32_t(w);
    id.ysize = uint32_t(h);
    id.bpp = uint32_t(bpp);
    id.pixels = px;
    uint8_t *scaled = nullptr;
    if (id.xsize != t->xsize || id.ysize != t->ysize) {
        // The texture was resampled or reduced when it was made: frames follow.
        if (bpp != 24 && bpp != 32) {
            do_log(LOG_WARNING, LOG_TO_FILE, "OGL_scene: texture \"%s\": %ibpp frame of %i x %i does not fit %u x %u",
                   u->path ? u->path : "", bpp, w, h, t->xsize, t->ysize);
            return;
        }
        scaled = __resample(px, id.xsize, id.ysize, uint32_t(bpp) / 8, t->xsize, t->ysize);
        if (!scaled) return;
        id.xsize = t->xsize;
        id.ysize = t->ysize;
        id.pixels = scaled;
    }
    OGL_texture_update(t, &id);
    mem_free(scaled);
}
