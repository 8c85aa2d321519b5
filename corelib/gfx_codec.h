#pragma once
// The image codec behind gfxloader: one current source (a file or a memory
// block), format recognition by content, the TGA, BMP and JPEG readers and
// the TGA and BMP writers. Only gfxloader and the codec's own files use this.
//
// Every reader produces the loader's pixel layout (see gfxloader.h): tightly
// packed rows, the first row in memory is the bottom row of the picture,
// channels R, G, B (, A); 8-bit images are single-channel.
//
// Readers never trust a size or count from the file: every read is checked
// against the bytes available, and a refusal is logged (warning, debugger and
// log file) as "gfx: \"<name>\": <reason>".

#include <cstddef>
#include <cstdint>

// Largest accepted width and height, in pixels.
#define GFX_MAX_DIMENSION 16384
// Largest image file the codec reads into memory.
#define GFX_MAX_FILE_BYTES (size_t(1) << 30)

// Options of SaveImage.
#define GFX_SAVE_RLE 0x1u // TGA only: run-length encode the pixel data

struct gfx_image_info {
    int width;
    int height;
    int bpp; // 8, 24 or 32
};

// The codec's operation table.
struct gfx_codec_interface {
    // Selects a file (path in the data files' form) as the current source.
    bool (*set_source_file)(const char *path);
    // Selects a memory block as the current source; the caller keeps the
    // block alive until the source is released or changed. name is used in
    // messages only.
    bool (*set_source_memory)(const char *name, const void *block, size_t size);
    // Size and depth of the current source; 1 on success, 0 when the source
    // is missing, unreadable or not a supported image.
    int (*getInfo)(int *width, int *height, int *bpp);
    // Decodes the current source into pixels, which must hold exactly
    // width * height * bpp / 8 bytes (getInfo must have succeeded).
    bool (*DecodeImage)(uint8_t *pixels, size_t size);
    // Writes an image; the format follows the extension (".tga" or ".bmp").
    bool (*SaveImage)(const char *path, int width, int height, int bpp, const uint8_t *pixels, uint32_t options);
    // Drops the current source and anything read for it.
    void (*release)();
};

// The codec's operation table, or null when the codec cannot work.
const gfx_codec_interface *GFX_GetInterface();

// One image format reader; the kinds differ only in these three steps.
struct gfx_format {
    const char *name;
    // Does the data look like this format (magic or header sanity)?
    bool (*probe)(const uint8_t *data, size_t size);
    // Reads and checks the header; logs and returns false on refusal.
    bool (*read_info)(const char *name, const uint8_t *data, size_t size, gfx_image_info *info);
    // Decodes into pixels (the layout above, info from read_info).
    bool (*decode)(const char *name, const uint8_t *data, size_t size, const gfx_image_info *info, uint8_t *pixels);
};

extern const gfx_format GFX_FORMAT_BMP;
extern const gfx_format GFX_FORMAT_JPEG;
extern const gfx_format GFX_FORMAT_TGA;

// Writers: build the whole file in memory; false (with a logged reason) on
// bad arguments or when the bytes cannot be built.
bool gfx_tga_encode(const char *name, const gfx_image_info *info, const uint8_t *pixels, bool rle, uint8_t **file,
                    size_t *file_size);
bool gfx_bmp_encode(const char *name, const gfx_image_info *info, const uint8_t *pixels, uint8_t **file,
                    size_t *file_size);

// Bytes of a width x height x bpp image; false when a dimension is outside
// 1..GFX_MAX_DIMENSION, bpp is not 8, 24 or 32, or the count overflows.
bool gfx_image_bytes(int width, int height, int bpp, size_t *bytes);

// Logs a refusal of the named image (warning, debugger and log file) and
// returns false.
bool gfx_refuse(const char *name, const char *format, ...) __attribute__((format(printf, 2, 3)));

// Little-endian reads; the caller has checked the bounds.
inline uint16_t gfx_le16(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t gfx_le32(const uint8_t *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void gfx_put_le16(uint8_t *p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void gfx_put_le32(uint8_t *p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
