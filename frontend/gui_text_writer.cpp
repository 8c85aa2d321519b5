#include "gui_text_writer.h"

#include <cstring>

#include "corelib/log.h"
#include "corelib/mem.h"
#include "renderer/OGL_blitter.h"
#include "renderer/OGL_texture.h"

void gtw_shelf_init(gtw_shelf *s, int32_t width, int32_t height)
{
    std::memset(s, 0, sizeof *s);
    s->width = width;
    s->height = height;
}

bool gtw_shelf_place(gtw_shelf *s, int32_t w, int32_t h, gtw_rect *out)
{
    if (w <= 0 || h <= 0) return false;
    if (s->top + h > s->height) return false;
    if (s->cursor_x + w > s->width) {
        if (s->shelf_height == 0) return false;
        s->top += s->shelf_height;
        s->cursor_x = 0;
        s->shelf_height = 0;
        if (w > s->width || s->top + h > s->height) return false;
    }
    out->min_x = s->cursor_x;
    out->min_y = s->top;
    out->max_x = s->cursor_x + w;
    out->max_y = s->top + h;
    s->cursor_x += w;
    if (h > s->shelf_height) s->shelf_height = h;
    return true;
}

// ---- fonts -------------------------------------------------------------------

gtw_font *gtw_load_font(const char *file, uint32_t size, uint32_t flags)
{
    gtw_font *font = mem_new_zeroed<gtw_font>();
    if (!font) return nullptr;
    font->face = fonts_load_face(file, size, FONTS_DPI, FONTS_DPI);
    font->size = size;
    font->flags = uint8_t(flags & GTW_FONT_FLAG_0);
    bool ok = font->face && fonts_table_init(&font->glyphs);
    if (ok) {
        font->ri = fonts_render_info_create();
        font->codes = array_new<uint32_t>();
        font->positions = array_new<float>();
        font->tex_coords = array_new<float>();
        font->colors = array_new<float>();
        ok = font->ri && font->codes && font->positions && font->tex_coords && font->colors;
    }
    if (ok) {
        uint8_t *blank = static_cast<uint8_t *>(mem_calloc(GTW_ATLAS_SIZE, GTW_ATLAS_SIZE));
        OGL_texture_input_data id = {};
        id.flags = OGL_TEXTURE_INPUT_SINGLE_CHANNEL | OGL_TEXTURE_INPUT_NEAREST;
        id.filename = GTW_ATLAS_NAME;
        id.xsize = id.ysize = GTW_ATLAS_SIZE;
        id.bpp = 8;
        id.pixels = blank;
        font->atlas = blank ? OGL_texture_create(&id) : nullptr;
        mem_free(blank);
        ok = font->atlas != nullptr;
        if (!ok)
            do_log(LOG_WARNING, LOG_TO_FILE | LOG_TO_DEBUGGER, "gtw_load_font(): no glyph cache texture for \"%s\"",
                   file);
    }
    if (!ok) {
        gtw_free_font(font);
        return nullptr;
    }
    gtw_shelf_init(&font->shelf, GTW_ATLAS_SIZE, GTW_ATLAS_SIZE);
    return font;
}

void gtw_free_font(gtw_font *font)
{
    if (!font) return;
    fonts_table_for_each(&font->glyphs, [](uint32_t, gtw_glyph **g) {
        if (!*g) return;
        if ((*g)->texture) OGL_texture_free((*g)->texture);
        mem_free(*g);
    });
    fonts_table_free(&font->glyphs);
    if (font->atlas) OGL_texture_free(font->atlas);
    fonts_render_info_free(font->ri);
    array_free(font->codes);
    array_free(font->positions);
    array_free(font->tex_coords);
    array_free(font->colors);
    fonts_free_face(font->face);
    mem_free(font);
}

// ---- glyph cache -------------------------------------------------------------

const gtw_glyph *gtw_find_glyph(const gtw_font *font, uint32_t code)
{
    gtw_glyph **g = fonts_table_find(&font->glyphs, fonts_sanitize_code(code));
    return g ? *g : nullptr;
}

static bool __find_place_in_the_big_cache(gtw_font *font, int32_t w, int32_t h, gtw_rect *r)
{
    return gtw_shelf_place(&font->shelf, w, h, r);
}

const gtw_glyph *gtw_cache_glyph(gtw_font *font, uint32_t code)
{
    code = fonts_sanitize_code(code);
    gtw_glyph **slot = fonts_table_get(&font->glyphs, code);
    if (!slot) return nullptr;
    if (*slot) return *slot;
    const fonts_glyph_metrics *m = fonts_get_metrics(font->face, code);
    if (!m) return nullptr;
    gtw_glyph *g = mem_new_zeroed<gtw_glyph>();
    if (!g) return nullptr;

    fonts_bitmap bm = {};
    bool rendered = fonts_render_glyph(font->face, code, 0, &bm);
    font->glyphs_rendered++;
    if (rendered && bm.width > 0) {
        // the same glyph, the same flags: the bitmap has the laid-out size
        ASSERT(m->width > 0);
        ASSERT(m->height > 0);
        ASSERT(m->width == bm.width);
        ASSERT(m->height == bm.rows);
        OGL_texture_input_data id = {};
        id.flags = OGL_TEXTURE_INPUT_SINGLE_CHANNEL | OGL_TEXTURE_INPUT_NEAREST;
        id.xsize = uint32_t(bm.width);
        id.ysize = uint32_t(bm.rows);
        id.bpp = 8;
        id.pixels = bm.pixels;
        gtw_rect r;
        if (__find_place_in_the_big_cache(font, bm.width, bm.rows, &r)) {
            ASSERT(r.max_x - r.min_x == bm.width);
            ASSERT(r.max_y - r.min_y == bm.rows);
            if (OGL_texture_region_update(font->atlas, uint32_t(r.min_x), uint32_t(r.min_y), &id)) {
                g->x = r.min_x;
                g->y = r.min_y;
                g->dx = bm.width;
                g->dy = bm.rows;
            }
        } else {
            id.filename = GTW_GLYPH_TEXTURE_NAME;
            g->texture = OGL_texture_create(&id);
            if (g->texture) {
                g->dx = bm.width;
                g->dy = bm.rows;
                font->own_textures++;
            } else {
                do_log(LOG_WARNING, LOG_TO_FILE | LOG_TO_DEBUGGER,
                       "gtw: \"%s\": no texture for glyph U+%04X, it is left out", font->face->filename, code);
            }
        }
    } else if (rendered) {
        ASSERT(m->width == 0);
        ASSERT(m->height == 0);
    }
    *slot = g;
    return g;
}

// ---- layout and drawing ------------------------------------------------------

static uint32_t __length(const uint32_t *text)
{
    uint32_t n = 0;
    if (text)
        while (text[n]) n++;
    return n;
}

static void __push_quad(gtw_font *font, float x0, float y0, float x1, float y1, float s0, float t0, float s1, float t1,
                        const float *c)
{
    const float pos[8] = {x0, y0, x1, y0, x1, y1, x0, y1};
    const float tex[8] = {s0, t0, s1, t0, s1, t1, s0, t1};
    for (int i = 0; i < 8; i++) {
        font->positions->add(pos[i]);
        font->tex_coords->add(tex[i]);
    }
    for (int v = 0; v < 4; v++)
        for (int i = 0; i < 4; i++) font->colors->add(c[i]);
}

static void __reset_batch(gtw_font *font)
{
    font->positions->cur_elements = 0;
    font->tex_coords->cur_elements = 0;
    font->colors->cur_elements = 0;
}

static void __draw_text_utf32(gtw_font *font, const uint32_t *codes, uint32_t count, int32_t x, int32_t y,
                              const float *colour, uint32_t flags)
{
    static const float white[4] = {1, 1, 1, 1};
    const float *c = colour ? colour : white;
    if (count == 0) return;
    fonts_render_info *ri = font->ri;
    if (!fonts_layout(font->face, ri, codes, count, x, y, false)) return;
    if (flags & (GTW_ALIGN_CENTRE | GTW_ALIGN_RIGHT)) {
        const int32_t width = ri->max_x - ri->min_x;
        const int32_t shift = flags & GTW_ALIGN_RIGHT ? width : width / 2;
        for (fonts_ipoint &p : *ri->positions) p.x -= shift;
    }
    const uint32_t blit = (flags & (OGL_BLIT_ADD | OGL_BLIT_ADD_ALPHA)) | OGL_BLIT_ALPHA;

    // every glyph of the atlas in one batch
    __reset_batch(font);
    bool own = false;
    for (uint32_t i = 0; i < count; i++) {
        const fonts_ipoint &size = (*ri->sizes)[i];
        if (size.x == 0) continue;
        const gtw_glyph *gc = gtw_cache_glyph(font, codes[i]);
        if (!gc || gc->dx == 0) continue;
        ASSERT(gc->dx == size.x);
        ASSERT(gc->dy == size.y);
        if (gc->texture) {
            own = true;
            continue;
        }
        const fonts_ipoint &p = (*ri->positions)[i];
        __push_quad(font, float(p.x), float(p.y), float(p.x + gc->dx), float(p.y + gc->dy), float(gc->x), float(gc->y),
                    float(gc->x + gc->dx), float(gc->y + gc->dy), c);
    }
    if (font->positions->get_size() > 0)
        OGL_blit_quads(font->atlas, font->positions->data, font->tex_coords->data, font->colors->data,
                       font->positions->get_size() / 2, blit);
    if (!own) return;
    // glyphs that found no room in the atlas: one quad each
    for (uint32_t i = 0; i < count; i++) {
        const gtw_glyph *gc = gtw_find_glyph(font, codes[i]);
        if (!gc || !gc->texture) continue;
        const fonts_ipoint &p = (*ri->positions)[i];
        __reset_batch(font);
        __push_quad(font, float(p.x), float(p.y), float(p.x + gc->dx), float(p.y + gc->dy), 0, 0, float(gc->dx),
                    float(gc->dy), c);
        OGL_blit_quads(gc->texture, font->positions->data, font->tex_coords->data, font->colors->data, 4, blit);
    }
}

void gtw_draw_text_n(gtw_font *font, int32_t x, int32_t y, const uint32_t *text, uint32_t count, const float *colour,
                     uint32_t flags)
{
    if (!font || !text) return;
    __draw_text_utf32(font, text, count, x, y, colour, flags);
}

void gtw_draw_text(gtw_font *font, int32_t x, int32_t y, const uint32_t *text, const float *colour, uint32_t flags)
{
    gtw_draw_text_n(font, x, y, text, __length(text), colour, flags);
}

void gtw_draw_text_utf8(gtw_font *font, int32_t x, int32_t y, const char *text, const float *colour, uint32_t flags)
{
    if (!font || !text) return;
    font->codes->cur_elements = 0;
    uint32_t n = gtw_utf8_decode(text, font->codes);
    __draw_text_utf32(font, font->codes->data, n, x, y, colour, flags);
}

bool gtw_get_text_box_n(gtw_font *font, const int32_t *origin, int32_t box[4], const uint32_t *text, uint32_t count,
                        uint32_t flags)
{
    if (!font || !text) return false;
    const int32_t x = origin ? origin[0] : 0, y = origin ? origin[1] : 0;
    if (!fonts_layout(font->face, font->ri, text, count, x, y, (flags & GTW_BOX_LINE) != 0)) return false;
    box[0] = font->ri->min_x;
    box[1] = font->ri->min_y;
    box[2] = font->ri->max_x;
    box[3] = font->ri->max_y;
    return true;
}

bool gtw_get_text_box(gtw_font *font, const int32_t *origin, int32_t box[4], const uint32_t *text, uint32_t flags)
{
    return gtw_get_text_box_n(font, origin, box, text, __length(text), flags);
}

uint32_t gtw_utf8_decode(const char *text, array<uint32_t> *out)
{
    const uint8_t *s = reinterpret_cast<const uint8_t *>(text);
    uint32_t n = 0;
    while (*s) {
        uint32_t c = *s, need = 0, min = 0;
        if (c < 0x80) {
            need = 0;
        } else if ((c & 0xE0) == 0xC0) {
            c &= 0x1F, need = 1, min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            c &= 0x0F, need = 2, min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            c &= 0x07, need = 3, min = 0x10000;
        } else {
            c = 0xFFFD, need = 0, min = 0;
            s++;
            if (!out->add(c)) break;
            n++;
            continue;
        }
        s++;
        uint32_t got = 0;
        while (got < need && (*s & 0xC0) == 0x80) {
            c = (c << 6) | (*s & 0x3F);
            s++;
            got++;
        }
        if (got < need || c < min || fonts_sanitize_code(c) != c) c = 0xFFFD;
        if (!out->add(c)) break;
        n++;
    }
    return n;
}
