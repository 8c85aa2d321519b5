// TrueType faces through FreeType.
//
// Layout works in 26.6 fixed point as FreeType does. The pen starts at
// x * 64; before every glyph but the first the kerning of the pair is added
// (when the face has kerning); a glyph's bitmap goes to
// ((pen + left bearing) >> 6, (y * 64 - top bearing) >> 6); then the pen
// moves by the advance. The bounding box runs from x to the final pen, and
// from the highest glyph top to the lowest glyph bottom, the baseline always
// included.

#include "fonts.h"

#include <cstring>
#include <string>

#include "corelib/files.h"
#include "corelib/log.h"
#include "corelib/mem.h"

// Hinting without the patented byte-code interpreter ("unpa"); FreeType
// versions that no longer know the parameter ignore it.
#define __TAG_UNPATENTED_HINTING FT_MAKE_TAG('u', 'n', 'p', 'a')
#define FONTS_MAX_GLYPH_PIXELS 4096
#define __LOAD_FLAGS (FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP)

static FT_Library library;

bool fonts_init()
{
    if (library) return true;
    FT_Error err = FT_Init_FreeType(&library);
    if (err) {
        do_log(LOG_CRITICAL, LOG_TO_FILE | LOG_TO_DEBUGGER, "fonts_init(): FreeType cannot start (error %d)", int(err));
        library = nullptr;
        return false;
    }
    return true;
}

void fonts_deinit()
{
    if (!library) return;
    FT_Done_FreeType(library);
    library = nullptr;
}

bool fonts_is_inited() { return library != nullptr; }

uint32_t fonts_sanitize_code(uint32_t code)
{
    if (code > FONTS_MAX_CODE || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return code;
}

static void __free_face(fonts_face *f)
{
    if (f->face) FT_Done_Face(f->face);
    fonts_table_free(&f->metrics);
    array_free(f->scratch);
    mem_free(f->filename);
    mem_free(f);
}

fonts_face *fonts_load_face(const char *file, uint32_t size, uint32_t hdpi, uint32_t vdpi)
{
    ASSERT(library != nullptr);
    fonts_face *ret = mem_new_zeroed<fonts_face>();
    if (!ret) return nullptr;
    ret->filename = mem_strdup(file ? file : "");
    ret->scratch = array_new<uint8_t>();
    if (!ret->filename || !ret->scratch || !fonts_table_init(&ret->metrics)) {
        __free_face(ret);
        return nullptr;
    }

    // the data names paths with backslashes
    const std::string native = file_native_path(ret->filename);
    FT_Parameter param;
    param.tag = __TAG_UNPATENTED_HINTING;
    param.data = nullptr;
    FT_Open_Args args;
    std::memset(&args, 0, sizeof args);
    args.flags = FT_OPEN_PATHNAME | FT_OPEN_PARAMS;
    args.pathname = const_cast<char *>(native.c_str());
    args.num_params = 1;
    args.params = &param;
    FT_Error err = FT_Open_Face(library, &args, 0, &ret->face);
    if (err) {
        ret->face = nullptr;
        do_log(LOG_WARNING, LOG_TO_FILE | LOG_TO_DEBUGGER,
               "fonts_load_face(): cannot open the font \"%s\" (FreeType error %d)", ret->filename, int(err));
        __free_face(ret);
        return nullptr;
    }
    // Bitmap-only and vertical faces cannot be laid out here: refused, not faults,
    // since the file is data.
    if (!FT_IS_SCALABLE(ret->face) || FT_HAS_VERTICAL(ret->face)) {
        do_log(LOG_WARNING, LOG_TO_FILE | LOG_TO_DEBUGGER,
               "fonts_load_face(): \"%s\" is not a scalable horizontal font", ret->filename);
        __free_face(ret);
        return nullptr;
    }
    ret->kerning = FT_HAS_KERNING(ret->face) ? 1 : 0;
    err = FT_Set_Char_Size(ret->face, 0, FT_F26Dot6(size), hdpi, vdpi);
    if (err) {
        do_log(LOG_WARNING, LOG_TO_FILE | LOG_TO_DEBUGGER,
               "fonts_load_face(): \"%s\" cannot be set to size %u (FreeType error %d)", ret->filename, size, int(err));
        __free_face(ret);
        return nullptr;
    }
    ret->ascender = int32_t(ret->face->size->metrics.ascender);
    ret->descender = int32_t(ret->face->size->metrics.descender);
    return ret;
}

void fonts_free_face(fonts_face *face)
{
    if (face) __free_face(face);
}

static bool __load_glyph(fonts_face *f, uint32_t index, bool render)
{
    if (FT_Load_Glyph(f->face, index, __LOAD_FLAGS)) return false;
    FT_GlyphSlot g = f->face->glyph;
    // a damaged outline may claim any size: nothing larger than a screen is rendered
    if (g->metrics.width > FONTS_MAX_GLYPH_PIXELS * 64 || g->metrics.height > FONTS_MAX_GLYPH_PIXELS * 64) return false;
    if (render && g->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(g, FT_RENDER_MODE_NORMAL)) return false;
    if (g->bitmap.width > 0 && g->bitmap.rows > 0 && g->bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) return false;
    return true;
}

const fonts_glyph_metrics *fonts_get_metrics(fonts_face *f, uint32_t code)
{
    code = fonts_sanitize_code(code);
    fonts_glyph_metrics *m = fonts_table_get(&f->metrics, code);
    if (!m) return nullptr;
    if (m->loaded) return m;
    uint32_t index = FT_Get_Char_Index(f->face, code);
    bool ok = __load_glyph(f, index, true);
    if (!ok && index != 0) {
        do_log(LOG_WARNING, LOG_TO_FILE | LOG_TO_DEBUGGER,
               "fonts: \"%s\": glyph %u of U+%04X cannot be rendered, drawn as the missing glyph", f->filename, index,
               code);
        index = 0;
        ok = __load_glyph(f, index, true);
    }
    if (ok) {
        FT_GlyphSlot g = f->face->glyph;
        m->width = int32_t(g->bitmap.width);
        m->height = int32_t(g->bitmap.rows);
        if (m->width == 0 || m->height == 0) m->width = m->height = 0;
        m->left = int32_t(g->bitmap_left) * 64;
        m->top = int32_t(g->bitmap_top) * 64;
        m->advance = int32_t(g->advance.x);
        m->glyph_index = index;
    } else {
        do_log(LOG_WARNING, LOG_TO_FILE | LOG_TO_DEBUGGER,
               "fonts: \"%s\": the missing glyph cannot be rendered either, U+%04X left empty", f->filename, code);
        m->width = m->height = m->left = m->top = m->advance = 0;
        m->glyph_index = 0;
    }
    m->loaded = 1;
    return m;
}

bool fonts_render_glyph(fonts_face *f, uint32_t code, uint32_t flags, fonts_bitmap *bitmap)
{
    (void)flags;
    const fonts_glyph_metrics *m = fonts_get_metrics(f, code);
    if (!m) return false;
    if (!__load_glyph(f, m->glyph_index, true)) {
        do_log(LOG_WARNING, LOG_TO_FILE | LOG_TO_DEBUGGER, "fonts_render_glyph(): \"%s\": U+%04X cannot be rendered",
               f->filename, fonts_sanitize_code(code));
        return false;
    }
    const FT_Bitmap &b = f->face->glyph->bitmap;
    ASSERT(int(b.width) >= 0);
    ASSERT(int(b.rows) >= 0);
    bitmap->width = int32_t(b.width);
    bitmap->rows = int32_t(b.rows);
    bitmap->pitch = bitmap->width;
    bitmap->pixels = b.buffer;
    if (bitmap->width == 0 || bitmap->rows == 0 || !b.buffer) {
        bitmap->width = bitmap->rows = bitmap->pitch = 0;
        bitmap->pixels = nullptr;
        return true;
    }
    if (b.pitch == int(b.width)) return true;
    // Padded rows, or an upward flow (negative pitch: the buffer starts with
    // the bottom row): repacked top first.
    const size_t row_bytes = b.width, abs_pitch = size_t(b.pitch < 0 ? -b.pitch : b.pitch);
    if (f->scratch->max_elements < row_bytes * b.rows && !f->scratch->resize(uint32_t(row_bytes * b.rows)))
        return false;
    for (size_t row = 0; row < b.rows; row++) {
        const size_t src_row = b.pitch < 0 ? b.rows - 1 - row : row;
        std::memcpy(f->scratch->data + row * row_bytes, b.buffer + src_row * abs_pitch, row_bytes);
    }
    bitmap->pixels = f->scratch->data;
    return true;
}

int32_t fonts_get_kerning(fonts_face *f, uint32_t left_code, uint32_t right_code)
{
    if (!f->kerning) return 0;
    const fonts_glyph_metrics *l = fonts_get_metrics(f, left_code);
    const fonts_glyph_metrics *r = fonts_get_metrics(f, right_code);
    if (!l || !r) return 0;
    FT_Vector k;
    if (FT_Get_Kerning(f->face, l->glyph_index, r->glyph_index, FT_KERNING_DEFAULT, &k)) return 0;
    return int32_t(k.x);
}

fonts_render_info *fonts_render_info_create()
{
    fonts_render_info *ri = mem_new_zeroed<fonts_render_info>();
    if (!ri) return nullptr;
    ri->positions = array_new<fonts_ipoint>();
    ri->sizes = array_new<fonts_ipoint>();
    if (!ri->positions || !ri->sizes) {
        fonts_render_info_free(ri);
        return nullptr;
    }
    return ri;
}

void fonts_render_info_free(fonts_render_info *ri)
{
    if (!ri) return;
    array_free(ri->positions);
    array_free(ri->sizes);
    mem_free(ri);
}

bool fonts_layout(fonts_face *f, fonts_render_info *ri, const uint32_t *codes, uint32_t count, int32_t x, int32_t y,
                  bool line_box)
{
    ri->codes = codes;
    ri->count = count;
    ri->x = x;
    ri->y = y;
    ri->positions->cur_elements = 0;
    ri->sizes->cur_elements = 0;
    if (count > ri->positions->max_elements && (!ri->positions->resize(count) || !ri->sizes->resize(count)))
        return false;

    int64_t pen = int64_t(x) * 64;
    int32_t top = y, bottom = y;
    for (uint32_t i = 0; i < count; i++) {
        const fonts_glyph_metrics *m = fonts_get_metrics(f, codes[i]);
        if (!m) return false;
        if (i > 0 && f->kerning) pen += fonts_get_kerning(f, codes[i - 1], codes[i]);
        fonts_ipoint pos = {int32_t((pen + m->left) >> 6), int32_t((int64_t(y) * 64 - m->top) >> 6)};
        fonts_ipoint size = {m->width, m->height};
        ri->positions->add(pos);
        ri->sizes->add(size);
        if (m->width > 0) {
            if (pos.y < top) top = pos.y;
            if (pos.y + m->height > bottom) bottom = pos.y + m->height;
        }
        pen += m->advance;
    }
    ri->min_x = x;
    ri->max_x = int32_t(pen >> 6);
    ri->min_y = top;
    ri->max_y = bottom;
    ri->has_line_box = line_box ? 1 : 0;
    if (line_box) {
        const int64_t a = f->ascender, d = f->descender;
        ri->line_top = int32_t(((int64_t(y) * 64 - a / 2 - d + 63) & ~int64_t(63)) >> 6);
        ri->line_bottom = a > 96 ? ri->line_top + int32_t((a & ~int64_t(63)) >> 6) - 1 : ri->line_top;
        if (ri->line_top < ri->min_y) ri->min_y = ri->line_top;
        if (ri->line_bottom > ri->max_y) ri->max_y = ri->line_bottom;
        if (ri->max_x < ri->min_x) ri->min_x = ri->max_x; // a pen moved left by negative kerning
    }
    return true;
}
