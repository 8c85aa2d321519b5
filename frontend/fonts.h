#pragma once
// TrueType faces through FreeType: opening a face at a size, glyph metrics
// by code point, rendering glyphs to 8-bit coverage bitmaps, and the layout
// of a string in 26.6 fixed point with the face's kerning.
//
// Code points are UTF-32. A code point the face lacks is drawn with the
// face's missing-glyph box (its glyph 0); so is a value that is no code
// point at all (above U+10FFFF or a surrogate).

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>

#include "corelib/array.h"
#include "fonts_table.h"

#define FONTS_DPI 96
#define FONTS_MAX_CODE 0x10FFFFu

// Metrics of one glyph as laid out: bitmap size in pixels, bearings and
// advance in 26.6 fixed point.
struct fonts_glyph_metrics {
    int32_t width, height;
    int32_t left, top;
    int32_t advance;
    uint32_t glyph_index; // the glyph drawn for this code point
    uint8_t loaded;
};

struct fonts_face {
    FT_Face face;
    char *filename;
    uint8_t kerning;   // the face has kerning
    int32_t ascender;  // scaled to the size, 26.6
    int32_t descender; // scaled to the size, 26.6 (negative below the baseline)
    fonts_table<fonts_glyph_metrics> metrics;
    array<uint8_t> *scratch; // a rendered bitmap repacked
};

// An 8-bit coverage bitmap, rows top first and tightly packed (pitch ==
// width).
struct fonts_bitmap {
    int32_t width, rows, pitch;
    const uint8_t *pixels; // valid until the face renders its next glyph
};

struct fonts_ipoint {
    int32_t x, y;
};

// One laid-out string.
struct fonts_render_info {
    const uint32_t *codes;
    uint32_t count;
    int32_t x, y;                   // the origin: pen start and baseline
    array<fonts_ipoint> *positions; // top-left corner of each glyph's bitmap (pixels)
    array<fonts_ipoint> *sizes;     // each glyph's bitmap size
    int32_t min_x, min_y, max_x, max_y;
    int32_t line_top, line_bottom; // the line box, when asked for
    uint8_t has_line_box;
};

// The library, once per process (the foundation start opens it).
bool fonts_init();
void fonts_deinit();
bool fonts_is_inited();

// Opens the face in file with its character height `size` in 1/64 point
// (640 is 10 pt) at hdpi x vdpi. A file that cannot be opened, is no
// scalable horizontal font or cannot take the size is logged with its name:
// null.
fonts_face *fonts_load_face(const char *file, uint32_t size, uint32_t hdpi, uint32_t vdpi);
void fonts_free_face(fonts_face *face);

// The code point a text value stands for: itself, or 0 (the missing-glyph
// box) when it is no code point.
uint32_t fonts_sanitize_code(uint32_t code);

// The metrics of code, loaded on first use; null only when memory runs out.
// A glyph FreeType cannot load is logged with the file's name and replaced
// by the missing-glyph box, or by an empty glyph when that fails too.
const fonts_glyph_metrics *fonts_get_metrics(fonts_face *face, uint32_t code);

// Renders the glyph of code (as its metrics chose it) into bitmap. False
// (logged) when FreeType cannot.
bool fonts_render_glyph(fonts_face *face, uint32_t code, uint32_t flags, fonts_bitmap *bitmap);

// Kerning between two glyphs (26.6, x component), 0 without kerning.
int32_t fonts_get_kerning(fonts_face *face, uint32_t left_code, uint32_t right_code);

// Render infos are reused between layouts.
fonts_render_info *fonts_render_info_create();
void fonts_render_info_free(fonts_render_info *ri);

// Lays the codes out with the pen starting at x on baseline y (see the
// module comment in fonts.cpp). line_box also computes the line box and
// widens the bounding box to contain it. False when memory runs out.
bool fonts_layout(fonts_face *face, fonts_render_info *ri, const uint32_t *codes, uint32_t count, int32_t x, int32_t y,
                  bool line_box);
