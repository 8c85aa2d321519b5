#pragma once
// Textures: decoded images turned into GL textures.
//
// Creation picks the target (2D, rectangle, or 2D padded to powers of two for
// other sizes), optionally halves the image on the CPU, converts the pixel
// format, builds ordinary or normal-map mipmap chains and sets wrapping and
// filtering. Region updates serve video frames and glyph caches; a double-
// buffered texture takes updates in its back texture, which then becomes the
// front one.
//
// An image the renderer cannot take (unsupported depth, empty or oversized)
// is refused with a logged message naming the file: create returns null. Flag
// combinations that only code can produce (mipmaps on a rectangle texture)
// are fault reports.

#include <GL/glew.h>

#include <cstdint>

// Input flags.
#define OGL_TEXTURE_INPUT_MIPMAPS 0x0001u
#define OGL_TEXTURE_INPUT_NORMAL_MAP 0x0002u // tangent-space normal map: normal-map mipmap chain
#define OGL_TEXTURE_INPUT_REPEAT_S 0x0004u
#define OGL_TEXTURE_INPUT_REPEAT_T 0x0008u
#define OGL_TEXTURE_INPUT_DOUBLE_BUFFERED 0x0020u
#define OGL_TEXTURE_INPUT_SINGLE_CHANNEL 0x0040u // an alpha texture
#define OGL_TEXTURE_INPUT_BGR 0x0080u            // source order BGR / BGRA
#define OGL_TEXTURE_INPUT_NEAREST 0x0100u        // nearest filtering, no mipmaps
#define OGL_TEXTURE_INPUT_HALVE_ONCE 0x0400u
#define OGL_TEXTURE_INPUT_HALVE_TWICE 0x0800u
#define OGL_TEXTURE_INPUT_RECTANGLE_WANTED 0x4000u     // for a non-power-of-two image
#define OGL_TEXTURE_INPUT_RECTANGLE_ACCEPTABLE 0x8000u // for a non-power-of-two image

// The caller's description of one image.
struct OGL_texture_input_data {
    uint32_t flags;
    uint32_t row_length;  // pixels per source row; 0: xsize
    const char *filename; // for messages; copied into the texture
    uint32_t xsize, ysize;
    uint32_t bpp;       // 1, 8, 16, 24 or 32
    const void *pixels; // rows bottom-up, tightly packed; may be null for an empty texture
};

// Texture flags.
#define OGL_TEXTURE_DOUBLE_BUFFERED 0x1u
#define OGL_TEXTURE_MIPMAPPED 0x4u

struct OGL_texture {
    char *filename; // may be null
    uint32_t flags;
    uint32_t bpp;                          // of the source
    uint32_t xsize, ysize;                 // image size after reduction
    uint32_t texture_xsize, texture_ysize; // allocated size (powers of two for a padded texture)
    GLenum target;                         // GL_TEXTURE_2D or GL_TEXTURE_RECTANGLE_ARB
    GLuint gl_name;                        // the front texture (the one drawn)
    GLuint gl_name2;                       // the back texture of a double-buffered one
};

// Four bytes R, G, B, A.
struct OGL_rgba_color_uc {
    uint8_t r, g, b, a;
};

OGL_texture *OGL_texture_create(const OGL_texture_input_data *id);
// A picture file (TGA, BMP, JPEG; Windows separators allowed) as a 24 or 32-bit
// texture named `name`; a greyscale picture is widened to 24 bits. Null when
// the file cannot be read or the board cannot take it (the caller names the
// file in its own message).
OGL_texture *OGL_texture_load_picture(const char *path, const char *name);
void OGL_texture_free(OGL_texture *texture);
// Live textures.
int OGL_texture_count();

// Enables the texture's target on the active unit, binds the front texture and
// loads the texture matrix (identity; for a padded texture the scale that maps
// 0..1 onto the image part; for a rectangle texture the scale to texels).
void OGL_texture_bind(const OGL_texture *texture);
void OGL_texture_load_matrix(const OGL_texture *texture);

// Replaces the rectangle at (x, y) of the front texture (of the back one for a
// double-buffered texture, which then becomes the front one). A single-channel
// update must have 8 or 1 bpp (fault otherwise); a colour update 16, 24 or 32.
// A rectangle outside the texture is refused (false, logged).
bool OGL_texture_region_update(OGL_texture *texture, uint32_t x, uint32_t y, const OGL_texture_input_data *id);
bool OGL_texture_update(OGL_texture *texture, const OGL_texture_input_data *id);

// Filtering for the quality level 0..4 (mipmapped textures that are not
// double-buffered only).
void OGL_texture_update_texture_filter(OGL_texture *texture, int level);

// Bytes of texture memory the image takes (mip levels and both buffers included).
uint64_t OGL_texture_memory_size(const OGL_texture *texture);

// Building blocks, offered for tests and tools.
// The input flags after the reduction rules for an image of this size and depth.
uint32_t OGL_texture_correct_reduction_flags(uint32_t flags, uint32_t xsize, uint32_t ysize, uint32_t bpp);
// Halves a power-of-two 24 or 32-bit image: a new block of (xsize / 2) x (ysize / 2).
uint8_t *OGL_texture_downsample(uint32_t xsize, uint32_t ysize, uint32_t bpp, const uint8_t *pixels);
// The next level of a normal-map chain (w x h to max(w/2,1) x max(h/2,1)).
void OGL_texture_normal_map_next_level(const OGL_rgba_color_uc *src, uint32_t w, uint32_t h, OGL_rgba_color_uc *dst);
