#include "OGL_texture.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "OGL_features.h"
#include "OGL_utils.h"
#include "corelib/array.h"
#include "corelib/files.h"
#include "corelib/gfxloader.h"
#include "corelib/log.h"
#include "corelib/mem.h"

// Sides larger than this are refused before any size arithmetic.
#define __MAX_SIDE 32768u

static int live_textures;

int OGL_texture_count() { return live_textures; }

static const char *__name(const OGL_texture_input_data *id) { return id->filename ? id->filename : "(unnamed)"; }

static uint32_t __next_power_of_2(uint32_t n)
{
    uint32_t p = 1;
    while (p < n) p <<= 1;
    return p;
}

// ---------------------------------------------------------------------------
// pixel work

uint32_t OGL_texture_correct_reduction_flags(uint32_t flags, uint32_t xsize, uint32_t ysize, uint32_t bpp)
{
    const uint32_t both = OGL_TEXTURE_INPUT_HALVE_ONCE | OGL_TEXTURE_INPUT_HALVE_TWICE;
    if ((xsize & 1) || (ysize & 1)) flags &= ~OGL_TEXTURE_INPUT_HALVE_ONCE;
    if ((xsize & 3) || (ysize & 3)) flags &= ~OGL_TEXTURE_INPUT_HALVE_TWICE;
    if (flags & both) {
        if (bpp != 24 && bpp != 32) flags &= ~both;
        if (xsize == 128 && ysize == 128 && (flags & OGL_TEXTURE_INPUT_HALVE_TWICE))
            flags = (flags & ~OGL_TEXTURE_INPUT_HALVE_TWICE) | OGL_TEXTURE_INPUT_HALVE_ONCE;
        if (xsize < 65 && ysize < 65) flags &= ~both;
        // Halving works on power-of-two images only.
        if (!is_power_of_2(xsize) || !is_power_of_2(ysize)) flags &= ~both;
    }
    return flags;
}

uint8_t *OGL_texture_downsample(uint32_t xsize, uint32_t ysize, uint32_t bpp, const uint8_t *pixels)
{
    ASSERT(is_power_of_2(xsize) && is_power_of_2(ysize));
    ASSERT(bpp == 24 || bpp == 32);
    ASSERT(xsize >= 2 && ysize >= 2 && xsize <= __MAX_SIDE && ysize <= __MAX_SIDE);
    const uint32_t c = bpp / 8, ox = xsize / 2, oy = ysize / 2;
    uint8_t *out = static_cast<uint8_t *>(mem_alloc(size_t(ox) * oy * c));
    if (!out) return nullptr;
    const size_t row = size_t(xsize) * c;
    for (uint32_t j = 0; j < oy; j++)
        for (uint32_t i = 0; i < ox; i++) {
            const uint8_t *p0 = pixels + size_t(2 * j) * row + size_t(2 * i) * c; // first source row, left
            const uint8_t *p1 = p0 + c;                                           // first row, right
            const uint8_t *p2 = p0 + row;                                         // second row, left
            const uint8_t *p3 = p2 + c;
            uint8_t *o = out + (size_t(j) * ox + i) * c;
            for (uint32_t k = 0; k < 3; k++) o[k] = uint8_t((p0[k] + p1[k] + p2[k] + p3[k] + 2) >> 2);
            if (c == 4) o[3] = uint8_t((p0[3] + 3 * p1[3] + 2) >> 2);
        }
    return out;
}

void OGL_texture_normal_map_next_level(const OGL_rgba_color_uc *src, uint32_t w, uint32_t h, OGL_rgba_color_uc *dst)
{
    const uint32_t nw = std::max(w / 2, 1u), nh = std::max(h / 2, 1u);
    for (uint32_t j = 0; j < nh; j++)
        for (uint32_t i = 0; i < nw; i++) {
            const uint32_t x0 = (2 * i) % w, x1 = (2 * i + 1) % w;
            const uint32_t y0 = (2 * j) % h, y1 = (2 * j + 1) % h;
            const OGL_rgba_color_uc *t[4] = {&src[y0 * w + x0], &src[y0 * w + x1], &src[y1 * w + x0],
                                             &src[y1 * w + x1]};
            double sum[3] = {0, 0, 0};
            for (const OGL_rgba_color_uc *p : t) {
                double weight = p->a / 255.0;
                sum[0] += (p->r / 127.0 - 1.0) * weight;
                sum[1] += (p->g / 127.0 - 1.0) * weight;
                sum[2] += (p->b / 127.0 - 1.0) * weight;
            }
            double len = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
            double n[3] = {0, 0, 1};
            if (len > 0)
                for (int k = 0; k < 3; k++) n[k] = sum[k] / len;
            OGL_rgba_color_uc *o = &dst[j * nw + i];
            o->r = uint8_t(std::clamp(int(n[0] * 127.0 + 128.0), 0, 255));
            o->g = uint8_t(std::clamp(int(n[1] * 127.0 + 128.0), 0, 255));
            o->b = uint8_t(std::clamp(int(n[2] * 127.0 + 128.0), 0, 255));
            o->a = len / 4.0 < 1.0 ? uint8_t(int(len / 4.0 * 255.0)) : 255;
        }
}

// A tightly packed copy of rows of `row_bytes` taken every `stride` bytes.
static uint8_t *__pack_rows(const uint8_t *src, size_t row_bytes, size_t stride, uint32_t rows)
{
    uint8_t *out = static_cast<uint8_t *>(mem_alloc(row_bytes * rows));
    if (!out) return nullptr;
    for (uint32_t r = 0; r < rows; r++) std::memcpy(out + r * row_bytes, src + r * stride, row_bytes);
    return out;
}

// 1-bit rows (most significant bit first, each row starting on a byte) to alpha
// bytes 0 or 255.
static uint8_t *__expand_bitmap(const uint8_t *src, uint32_t w, uint32_t h, uint32_t row_length)
{
    const size_t stride = (size_t(row_length) + 7) / 8;
    uint8_t *out = static_cast<uint8_t *>(mem_alloc(size_t(w) * h));
    if (!out) return nullptr;
    for (uint32_t y = 0; y < h; y++)
        for (uint32_t x = 0; x < w; x++)
            out[size_t(y) * w + x] = (src[y * stride + x / 8] & (0x80 >> (x & 7))) ? 255 : 0;
    return out;
}

// 24 or 32-bit pixels to one byte each, (R + G + B) / 3.
static uint8_t *__to_single_channel(const uint8_t *src, uint32_t w, uint32_t h, uint32_t bpp, uint32_t row_length)
{
    const size_t c = bpp / 8, stride = size_t(row_length) * c;
    uint8_t *out = static_cast<uint8_t *>(mem_alloc(size_t(w) * h));
    if (!out) return nullptr;
    for (uint32_t y = 0; y < h; y++)
        for (uint32_t x = 0; x < w; x++) {
            const uint8_t *p = src + y * stride + x * c;
            out[size_t(y) * w + x] = uint8_t((p[0] + p[1] + p[2]) / 3);
        }
    return out;
}

struct __format {
    GLint internal;
    GLenum format, type;
};

// The upload format for an input; false when the depth is not supported.
static bool __choose_format(uint32_t flags, uint32_t bpp, __format *f)
{
    if (flags & OGL_TEXTURE_INPUT_SINGLE_CHANNEL) {
        // 1, 24 and 32-bit single-channel pixels are turned into alpha bytes first
        if (bpp != 1 && bpp != 8 && bpp != 24 && bpp != 32) return false;
        *f = {GL_ALPHA, GL_ALPHA, GL_UNSIGNED_BYTE};
        return true;
    }
    bool bgr = flags & OGL_TEXTURE_INPUT_BGR;
    switch (bpp) {
    // B in the high bits: the reversed packing of RGB
    case 16: *f = {GL_RGB, GL_RGB, GLenum(bgr ? GL_UNSIGNED_SHORT_5_6_5_REV : GL_UNSIGNED_SHORT_5_6_5)}; return true;
    case 24: *f = {GL_RGB, GLenum(bgr ? GL_BGR : GL_RGB), GL_UNSIGNED_BYTE}; return true;
    case 32: *f = {GL_RGBA, GLenum(bgr ? GL_BGRA : GL_RGBA), GL_UNSIGNED_BYTE}; return true;
    default: return false;
    }
}

// ---------------------------------------------------------------------------
// creation

// Uploads the normal-map chain of a 24 or 32-bit image (RGB or BGR order).
static bool __build_normal_map_mipmap_data(uint32_t w, uint32_t h, uint32_t bpp, bool bgr, const uint8_t *pixels)
{
    if (!pixels || (bpp != 24 && bpp != 32)) return false;
    const size_t count = size_t(w) * h;
    OGL_rgba_color_uc *level = static_cast<OGL_rgba_color_uc *>(mem_alloc(count * sizeof(OGL_rgba_color_uc)));
    OGL_rgba_color_uc *next =
        static_cast<OGL_rgba_color_uc *>(mem_alloc(std::max<size_t>(count / 2, 1) * sizeof(OGL_rgba_color_uc)));
    if (!level || !next) {
        mem_free(level);
        mem_free(next);
        return false;
    }
    const uint32_t c = bpp / 8;
    for (size_t i = 0; i < count; i++) {
        const uint8_t *p = pixels + i * c;
        level[i] = {bgr ? p[2] : p[0], p[1], bgr ? p[0] : p[2], 255};
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    int index = 0;
    glTexImage2D(GL_TEXTURE_2D, index, GL_RGBA, GLsizei(w), GLsizei(h), 0, GL_RGBA, GL_UNSIGNED_BYTE, level);
    while (w > 1 || h > 1) {
        OGL_texture_normal_map_next_level(level, w, h, next);
        w = std::max(w / 2, 1u);
        h = std::max(h / 2, 1u);
        std::swap(level, next);
        glTexImage2D(GL_TEXTURE_2D, ++index, GL_RGBA, GLsizei(w), GLsizei(h), 0, GL_RGBA, GL_UNSIGNED_BYTE, level);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    mem_free(level);
    mem_free(next);
    return true;
}

static bool __create_texture(const OGL_texture_input_data *input, OGL_texture *out, GLuint *name)
{
    OGL_texture_input_data id = *input;
    const char *file = __name(input);
    if (id.xsize == 0 || id.ysize == 0 || id.xsize > __MAX_SIDE || id.ysize > __MAX_SIDE ||
        (id.row_length && id.row_length < id.xsize) || id.row_length > __MAX_SIDE) {
        do_log(LOG_CRITICAL, LOG_TO_FILE | LOG_TO_DEBUGGER, "\"%s\": texture size %u x %u not supported",
               log_quote(file).text, id.xsize, id.ysize);
        return false;
    }
    __format f;
    if (!__choose_format(id.flags, id.bpp, &f)) {
        if (id.flags & OGL_TEXTURE_INPUT_SINGLE_CHANNEL)
            do_log(LOG_CRITICAL, LOG_TO_FILE | LOG_TO_DEBUGGER, "\"%s\": %ibpp not supported for alpha textures",
                   log_quote(file).text, int(id.bpp));
        else
            do_log(LOG_CRITICAL, LOG_TO_FILE | LOG_TO_DEBUGGER, "\"%s\": %ibpp not supported for RGB textures",
                   log_quote(file).text, int(id.bpp));
        return false;
    }
    if (!id.pixels) id.flags &= ~(OGL_TEXTURE_INPUT_HALVE_ONCE | OGL_TEXTURE_INPUT_HALVE_TWICE);

    // Everything below works on tightly packed rows.
    const uint8_t *pixels = static_cast<const uint8_t *>(id.pixels);
    uint8_t *owned = nullptr;
    auto replace = [&](uint8_t *p) {
        mem_free(owned);
        owned = p;
        pixels = p;
    };
    bool out_of_memory = false;
    if (pixels && id.bpp == 1) {
        replace(__expand_bitmap(pixels, id.xsize, id.ysize, id.row_length ? id.row_length : id.xsize));
        id.bpp = 8;
    } else if (pixels && (id.flags & OGL_TEXTURE_INPUT_SINGLE_CHANNEL) && id.bpp != 8) {
        replace(__to_single_channel(pixels, id.xsize, id.ysize, id.bpp, id.row_length ? id.row_length : id.xsize));
        id.bpp = 8;
    } else if (pixels && id.row_length && id.row_length != id.xsize) {
        size_t c = id.bpp / 8;
        replace(__pack_rows(pixels, id.xsize * c, id.row_length * c, id.ysize));
    }
    if (id.pixels && !pixels) out_of_memory = true;
    id.row_length = 0;

    // 1., 2. reduction
    id.flags = OGL_texture_correct_reduction_flags(id.flags, id.xsize, id.ysize, id.bpp);
    int halvings = (id.flags & OGL_TEXTURE_INPUT_HALVE_TWICE) ? 2 : (id.flags & OGL_TEXTURE_INPUT_HALVE_ONCE) ? 1 : 0;
    for (int i = 0; i < halvings && !out_of_memory; i++) {
        replace(OGL_texture_downsample(id.xsize, id.ysize, id.bpp, pixels));
        if (!pixels) out_of_memory = true;
        id.xsize >>= 1;
        id.ysize >>= 1;
    }
    if (out_of_memory) {
        mem_free(owned);
        do_log(LOG_CRITICAL, LOG_TO_ALL, "\"%s\": out of memory preparing the texture", log_quote(file).text);
        return false;
    }

    // 3. target
    const bool mip_wanted = id.flags & (OGL_TEXTURE_INPUT_MIPMAPS | OGL_TEXTURE_INPUT_NORMAL_MAP);
    const bool rect_wanted = id.flags & OGL_TEXTURE_INPUT_RECTANGLE_WANTED;
    const bool rect_ok = id.flags & OGL_TEXTURE_INPUT_RECTANGLE_ACCEPTABLE;
    const bool pow2 = is_power_of_2(id.xsize) && is_power_of_2(id.ysize);
    out->xsize = id.xsize;
    out->ysize = id.ysize;
    out->target = GL_TEXTURE_2D;
    out->texture_xsize = id.xsize;
    out->texture_ysize = id.ysize;
    if (!pow2) {
        if (mip_wanted && (rect_wanted || rect_ok)) BUG();
        if ((GLEW_NV_texture_rectangle && (rect_wanted || rect_ok)) ||
            ((GLEW_EXT_texture_rectangle || GLEW_ARB_texture_rectangle) && rect_wanted)) {
            out->target = GL_TEXTURE_RECTANGLE_ARB;
        } else {
            out->texture_xsize = __next_power_of_2(id.xsize);
            out->texture_ysize = __next_power_of_2(id.ysize);
        }
    }
    const int max_size = OGL_features_get()->max_texture_size;
    if (max_size > 0 && (out->texture_xsize > uint32_t(max_size) || out->texture_ysize > uint32_t(max_size))) {
        mem_free(owned);
        do_log(LOG_CRITICAL, LOG_TO_FILE | LOG_TO_DEBUGGER, "\"%s\": texture size %u x %u above the board's %i",
               log_quote(file).text, out->texture_xsize, out->texture_ysize, max_size);
        return false;
    }
    // Padded and rectangle textures have no mip levels.
    const bool mipmapped = pow2 && mip_wanted && !(id.flags & OGL_TEXTURE_INPUT_NEAREST) && pixels;

    // 4. name and wrapping
    OGL_discard_errors();
    glGenTextures(1, name);
    glBindTexture(out->target, *name);
    const bool rect = out->target == GL_TEXTURE_RECTANGLE_ARB;
    glTexParameteri(out->target, GL_TEXTURE_WRAP_S,
                    (id.flags & OGL_TEXTURE_INPUT_REPEAT_S) && !rect ? GL_REPEAT : GL_CLAMP_TO_EDGE);
    glTexParameteri(out->target, GL_TEXTURE_WRAP_T,
                    (id.flags & OGL_TEXTURE_INPUT_REPEAT_T) && !rect ? GL_REPEAT : GL_CLAMP_TO_EDGE);

    // 5. filters
    if (id.flags & OGL_TEXTURE_INPUT_NEAREST) {
        glTexParameteri(out->target, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(out->target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    } else {
        glTexParameteri(out->target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(out->target, GL_TEXTURE_MIN_FILTER, mipmapped ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
        if (OGL_features_anisotropic_filtering_in_use())
            glTexParameterf(out->target, GL_TEXTURE_MAX_ANISOTROPY_EXT, OGL_features_get()->max_anisotropy);
    }

    // 7., 8. upload
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    const GLsizei w = GLsizei(id.xsize), h = GLsizei(id.ysize);
    bool ok = true;
    if (out->texture_xsize != id.xsize || out->texture_ysize != id.ysize) {
        glTexImage2D(GL_TEXTURE_2D, 0, f.internal, GLsizei(out->texture_xsize), GLsizei(out->texture_ysize), 0,
                     f.format, f.type, nullptr);
        if (pixels) glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, f.format, f.type, pixels);
    } else if (rect) {
        glTexImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, f.internal, w, h, 0, f.format, f.type, pixels);
    } else if (mipmapped && (id.flags & OGL_TEXTURE_INPUT_NORMAL_MAP) && (id.bpp == 24 || id.bpp == 32) &&
               !(id.flags & OGL_TEXTURE_INPUT_SINGLE_CHANNEL)) {
        ok = __build_normal_map_mipmap_data(id.xsize, id.ysize, id.bpp, id.flags & OGL_TEXTURE_INPUT_BGR, pixels);
    } else if (mipmapped && !GLEW_SGIS_generate_mipmap) {
        ok = gluBuild2DMipmaps(GL_TEXTURE_2D, f.internal, w, h, f.format, f.type, pixels) == 0;
    } else if (mipmapped) {
        glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP_SGIS, GL_TRUE);
        glTexImage2D(GL_TEXTURE_2D, 0, f.internal, w, h, 0, f.format, f.type, pixels);
    } else {
        glTexImage2D(GL_TEXTURE_2D, 0, f.internal, w, h, 0, f.format, f.type, pixels);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    if (!ok) BUG(); // out of memory building the chain
    if ((id.flags & OGL_TEXTURE_INPUT_NORMAL_MAP) && mipmapped && (id.bpp != 24 && id.bpp != 32))
        do_log(LOG_WARNING, LOG_TO_FILE, "\"%s\": %ibpp normal map gets ordinary mipmaps", log_quote(file).text,
               int(id.bpp));

    // 9.
    mem_free(owned);
    if (mipmapped) out->flags |= OGL_TEXTURE_MIPMAPPED;
    return true;
}

OGL_texture *OGL_texture_create(const OGL_texture_input_data *id)
{
    OGL_texture *t = mem_new_zeroed<OGL_texture>();
    if (!t) BUG();
    if (id->filename) {
        t->filename = mem_strdup(id->filename);
        if (!t->filename) BUG();
    }
    t->bpp = id->bpp;
    if (!__create_texture(id, t, &t->gl_name)) {
        if (t->gl_name) glDeleteTextures(1, &t->gl_name);
        mem_free(t->filename);
        mem_free(t);
        return nullptr;
    }
    if (id->flags & OGL_TEXTURE_INPUT_DOUBLE_BUFFERED) {
        OGL_texture second = *t;
        second.flags = 0;
        if (!__create_texture(id, &second, &t->gl_name2)) BUG(); // the first one was accepted
        t->flags |= OGL_TEXTURE_DOUBLE_BUFFERED;
    }
    live_textures++;
    return t;
}

void OGL_texture_free(OGL_texture *texture)
{
    if (!texture) return;
    if (OGL_CHECK_ERRORS(false)) BUG();
    glDeleteTextures(1, &texture->gl_name);
    if (texture->gl_name2) glDeleteTextures(1, &texture->gl_name2);
    if (OGL_CHECK_ERRORS(false)) BUG();
    mem_free(texture->filename);
    mem_free(texture);
    live_textures--;
}

// ---------------------------------------------------------------------------
// use

void OGL_texture_load_matrix(const OGL_texture *t)
{
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    if (t->target == GL_TEXTURE_RECTANGLE_ARB)
        glScalef(float(t->xsize), float(t->ysize), 1.0f);
    else if (t->texture_xsize != t->xsize || t->texture_ysize != t->ysize)
        glScalef(float(t->xsize) / float(t->texture_xsize), float(t->ysize) / float(t->texture_ysize), 1.0f);
    glMatrixMode(GL_MODELVIEW);
}

void OGL_texture_bind(const OGL_texture *t)
{
    glEnable(t->target);
    glBindTexture(t->target, t->gl_name);
    OGL_texture_load_matrix(t);
}

bool OGL_texture_region_update(OGL_texture *t, uint32_t x, uint32_t y, const OGL_texture_input_data *id)
{
    const char *file = t->filename ? t->filename : __name(id);
    uint32_t row_length = id->row_length ? id->row_length : id->xsize;
    if (uint64_t(x) + id->xsize > t->texture_xsize || uint64_t(y) + id->ysize > t->texture_ysize ||
        row_length < id->xsize) {
        do_log(LOG_WARNING, LOG_TO_FILE | LOG_TO_DEBUGGER,
               "OGL_texture_region_update(): \"%s\": %u x %u at (%u, %u) outside the %u x %u texture",
               log_quote(file).text, id->xsize, id->ysize, x, y, t->texture_xsize, t->texture_ysize);
        return false;
    }
    if (id->xsize == 0 || id->ysize == 0 || !id->pixels) return true;
    GLenum format, type = GL_UNSIGNED_BYTE;
    const void *pixels = id->pixels;
    uint8_t *expanded = nullptr;
    if (id->flags & OGL_TEXTURE_INPUT_SINGLE_CHANNEL) {
        ASSERT(id->bpp == 8 || id->bpp == 1);
        format = GL_ALPHA;
        if (id->bpp == 1) {
            expanded = __expand_bitmap(static_cast<const uint8_t *>(id->pixels), id->xsize, id->ysize, row_length);
            if (!expanded) return false;
            pixels = expanded;
            row_length = id->xsize;
        }
    } else {
        bool bgr = id->flags & OGL_TEXTURE_INPUT_BGR;
        switch (id->bpp) {
        case 32: format = bgr ? GL_BGRA : GL_RGBA; break;
        case 24: format = bgr ? GL_BGR : GL_RGB; break;
        case 16:
            format = GL_RGB;
            type = bgr ? GL_UNSIGNED_SHORT_5_6_5_REV : GL_UNSIGNED_SHORT_5_6_5;
            break;
        default:
            do_log(LOG_WARNING, LOG_TO_FILE | LOG_TO_DEBUGGER,
                   "OGL_texture_region_update(): \"%s\": %ibpp not supported", log_quote(file).text, int(id->bpp));
            return false;
        }
    }
    const bool dbl = t->flags & OGL_TEXTURE_DOUBLE_BUFFERED;
    glBindTexture(t->target, dbl ? t->gl_name2 : t->gl_name);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(row_length));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(t->target, 0, GLint(x), GLint(y), GLsizei(id->xsize), GLsizei(id->ysize), format, type, pixels);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    mem_free(expanded);
    if (dbl) std::swap(t->gl_name, t->gl_name2);
    return true;
}

bool OGL_texture_update(OGL_texture *t, const OGL_texture_input_data *id)
{
    return OGL_texture_region_update(t, 0, 0, id);
}

void OGL_texture_update_texture_filter(OGL_texture *t, int level)
{
    if (!(t->flags & OGL_TEXTURE_MIPMAPPED) || (t->flags & OGL_TEXTURE_DOUBLE_BUFFERED)) return;
    if (level < 0 || level > 4) BUG();
    do_log(LOG_DEBUG, LOG_TO_FILE, "setting aniso: %d", level);
    OGL_discard_errors();
    // A board whose anisotropic filtering is not used takes the rules of
    // boards below 2x; its textures are set back to isotropic filtering.
    const bool aniso = GLEW_EXT_texture_filter_anisotropic;
    const float a = OGL_features_anisotropic_filtering_in_use() ? OGL_features_get()->max_anisotropy : 0.0f;
    GLenum target = t->target;
    glBindTexture(target, t->gl_name);
    if (a < 2.0f) {
        glTexParameteri(target, GL_TEXTURE_MAG_FILTER, level >= 2 ? GL_LINEAR : GL_NEAREST);
        glTexParameteri(target, GL_TEXTURE_MIN_FILTER,
                        level == 0 ? GL_NEAREST_MIPMAP_NEAREST : GL_LINEAR_MIPMAP_LINEAR);
        if (aniso) glTexParameterf(target, GL_TEXTURE_MAX_ANISOTROPY_EXT, 1.0f);
    } else {
        float value = 1.0f;
        switch (level) {
        case 0:
            glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_NEAREST_MIPMAP_NEAREST);
            break;
        case 1:
            glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
            break;
        case 2: value = 2.0f; break;
        case 3: value = a >= 4.0f ? 4.0f : 2.0f; break;
        default: value = a >= 8.0f ? 8.0f : a >= 4.0f ? 4.0f : 2.0f; break;
        }
        glTexParameterf(target, GL_TEXTURE_MAX_ANISOTROPY_EXT, value);
    }
    OGL_discard_errors();
}

uint64_t OGL_texture_memory_size(const OGL_texture *t)
{
    const uint64_t bytes = std::max<uint32_t>(t->bpp, 8) / 8;
    uint64_t sum = 0;
    if (t->flags & OGL_TEXTURE_MIPMAPPED) {
        uint64_t w = t->xsize, h = t->ysize;
        while (w > 1 || h >= 2) {
            sum += bytes * w * h;
            w = std::max<uint64_t>(w / 2, 1);
            h = std::max<uint64_t>(h / 2, 1);
        }
    } else {
        sum = bytes * t->xsize * t->ysize;
    }
    return (t->flags & OGL_TEXTURE_DOUBLE_BUFFERED) ? sum * 2 : sum;
}

OGL_texture *OGL_texture_load_picture(const char *path, const char *name)
{
    int w = 0, h = 0, bpp = 0;
    uint8_t *px = nullptr;
    if (!gfxloader_load_smart(file_native_path(path).c_str(), &w, &h, &bpp, &px)) return nullptr;
    if (bpp == 8) {
        size_t n = size_t(w) * size_t(h);
        uint8_t *rgb = static_cast<uint8_t *>(mem_alloc(n * 3));
        if (!rgb) {
            mem_free(px);
            return nullptr;
        }
        for (size_t i = 0; i < n; i++) rgb[i * 3] = rgb[i * 3 + 1] = rgb[i * 3 + 2] = px[i];
        mem_free(px);
        px = rgb;
        bpp = 24;
    }
    OGL_texture_input_data id{};
    id.filename = name;
    id.xsize = uint32_t(w);
    id.ysize = uint32_t(h);
    id.bpp = uint32_t(bpp);
    id.pixels = px;
    OGL_texture *t = OGL_texture_create(&id);
    mem_free(px);
    return t;
}
