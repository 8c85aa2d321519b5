#pragma once
// The text writer: TrueType text on the 2D overlay.
//
// A font is a face opened at one size with its glyph cache. Each glyph is
// rendered the first time it is drawn and kept: in the font's 512 x 512
// atlas, filled shelf by shelf, or, once the atlas has no room, in a texture
// of its own. Nothing is ever evicted.
//
// Drawing lays the string out (advances and kerning, see fonts.h) and draws
// every glyph in the atlas with one batch of quads, then each glyph with a
// texture of its own with one more quad; glyphs without pixels (spaces) only
// move the pen. Positions are overlay pixels, y the baseline.
//
// Text is UTF-32; gtw_draw_text_utf8 decodes UTF-8 first (bytes that are no
// UTF-8 become U+FFFD).

#include <cstdint>

#include "fonts.h"

struct OGL_texture;

#define GTW_ATLAS_SIZE 512
#define GTW_ATLAS_NAME "gtw font big texture cache"
#define GTW_GLYPH_TEXTURE_NAME "gtw_draw_text() glyph texture cache"

// Font flags (gtw_load_font keeps bit 0 only).
#define GTW_FONT_FLAG_0 0x01u
// gtw_get_text_box flags: the box also takes in the line box.
#define GTW_BOX_LINE 0x01u

// Shelf packing state of an atlas.
struct gtw_shelf {
    int32_t width, height; // the atlas
    int32_t cursor_x;      // where the next glyph of the shelf goes
    int32_t top;           // top of the current shelf
    int32_t shelf_height;  // tallest glyph of the current shelf
};

struct gtw_rect {
    int32_t min_x, min_y, max_x, max_y;
};

// A cached glyph.
struct gtw_glyph {
    int32_t x, y;         // in the atlas
    int32_t dx, dy;       // size; 0 x 0 for a glyph without pixels
    OGL_texture *texture; // own texture, null when in the atlas (or empty)
};

struct gtw_font {
    fonts_face *face;
    uint32_t size; // 1/64 point
    uint8_t flags;
    OGL_texture *atlas;
    gtw_shelf shelf;
    fonts_table<gtw_glyph *> glyphs;
    fonts_render_info *ri;
    array<uint32_t> *codes;  // scratch: decoded and sanitised text
    array<float> *positions; // scratch batch: 2 floats a vertex
    array<float> *tex_coords;
    array<float> *colors;     // 4 floats a vertex
    uint32_t glyphs_rendered; // glyphs rendered into the cache so far
    uint32_t own_textures;    // glyphs that went to textures of their own
};

// Places a w x h rectangle on the shelves (false: no room). Also used to
// size atlases in tests.
void gtw_shelf_init(gtw_shelf *s, int32_t width, int32_t height);
bool gtw_shelf_place(gtw_shelf *s, int32_t w, int32_t h, gtw_rect *out);

// Loads file at size (1/64 point: 640 is 10 pt) at 96 dpi; null (logged
// with the file's name) on failure. Needs a GL context.
gtw_font *gtw_load_font(const char *file, uint32_t size, uint32_t flags);
void gtw_free_font(gtw_font *font);

// Measures the text as drawn at origin (x, y) (0, 0 when origin is null):
// box = left, top, right, bottom. False when the layout fails.
bool gtw_get_text_box(gtw_font *font, const int32_t *origin, int32_t box[4], const uint32_t *text, uint32_t flags);
bool gtw_get_text_box_n(gtw_font *font, const int32_t *origin, int32_t box[4], const uint32_t *text, uint32_t count,
                        uint32_t flags);

// Alignment flags of the drawing calls: x is the centre or the right end of
// the text (its advance width) instead of its start.
#define GTW_ALIGN_CENTRE 0x100u
#define GTW_ALIGN_RIGHT 0x200u

// Draws zero-terminated text at (x, y) (y: baseline) in colour (RGBA floats;
// null: white). flags: blit flags (OGL_BLIT_ADD, OGL_BLIT_ADD_ALPHA; alpha
// blending is always on) and the alignment flags.
void gtw_draw_text(gtw_font *font, int32_t x, int32_t y, const uint32_t *text, const float *colour, uint32_t flags);
void gtw_draw_text_n(gtw_font *font, int32_t x, int32_t y, const uint32_t *text, uint32_t count, const float *colour,
                     uint32_t flags);
void gtw_draw_text_utf8(gtw_font *font, int32_t x, int32_t y, const char *text, const float *colour, uint32_t flags);

// The cached glyph of a code point (null when not cached yet).
const gtw_glyph *gtw_find_glyph(const gtw_font *font, uint32_t code);
// Caches the glyph of a code point now (what drawing does on first use).
const gtw_glyph *gtw_cache_glyph(gtw_font *font, uint32_t code);

// Decodes UTF-8 into code points (invalid bytes: U+FFFD). Returns the count.
uint32_t gtw_utf8_decode(const char *text, array<uint32_t> *out);
