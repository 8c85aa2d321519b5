// Targa reader and writer.
//
// Read: types 1 (colour-mapped), 2 (true colour), 3 (greyscale) and their
// run-length forms 9, 10, 11. Colour-mapped images have 8-bit indices into a
// map of 15, 16, 24 or 32-bit entries; true colour is 15, 16, 24 or 32 bits;
// greyscale is 8 bits. Either vertical origin (descriptor bit 5) and either
// horizontal direction (bit 4) are honoured. 15 and 16-bit pixels expand to
// 24 bits, or to 32 bits when a 16-bit image declares one attribute (alpha)
// bit, the top bit giving alpha 255 or 0.
//
// Write: types 2 / 10 (24 and 32 bits) and 3 / 11 (8 bits), bottom-left origin.

#include <cstring>

#include "gfx_codec.h"
#include "mem.h"

#define TGA_HEADER_SIZE 18

enum {
    TGA_TYPE_MAPPED = 1,
    TGA_TYPE_TRUE_COLOR = 2,
    TGA_TYPE_GREY = 3,
    TGA_TYPE_RLE_MAPPED = 9,
    TGA_TYPE_RLE_TRUE_COLOR = 10,
    TGA_TYPE_RLE_GREY = 11,
};

#define TGA_DESC_ALPHA_BITS 0x0f
#define TGA_DESC_RIGHT_TO_LEFT 0x10
#define TGA_DESC_TOP_DOWN 0x20
#define TGA_DESC_INTERLEAVE 0xc0

struct tga_header {
    unsigned id_length;
    unsigned cmap_type;
    unsigned image_type;
    unsigned cmap_first;
    unsigned cmap_length;
    unsigned cmap_entry_bits;
    unsigned width;
    unsigned height;
    unsigned depth;
    unsigned descriptor;
};

static void __tga_parse_header(const uint8_t *d, tga_header *h)
{
    h->id_length = d[0];
    h->cmap_type = d[1];
    h->image_type = d[2];
    h->cmap_first = gfx_le16(d + 3);
    h->cmap_length = gfx_le16(d + 5);
    h->cmap_entry_bits = d[7];
    h->width = gfx_le16(d + 12);
    h->height = gfx_le16(d + 14);
    h->depth = d[16];
    h->descriptor = d[17];
}

static bool __tga_is_rle(const tga_header *h) { return h->image_type >= TGA_TYPE_RLE_MAPPED; }
static unsigned __tga_base_type(const tga_header *h) { return h->image_type & 3u; }

// Header sanity: TGA has no magic, so recognition rests on these fields.
static bool __tga_probe(const uint8_t *data, size_t size)
{
    if (size < TGA_HEADER_SIZE) return false;
    tga_header h;
    __tga_parse_header(data, &h);
    if (h.cmap_type > 1) return false;
    switch (h.image_type) {
    case TGA_TYPE_MAPPED:
    case TGA_TYPE_TRUE_COLOR:
    case TGA_TYPE_GREY:
    case TGA_TYPE_RLE_MAPPED:
    case TGA_TYPE_RLE_TRUE_COLOR:
    case TGA_TYPE_RLE_GREY: break;
    default: return false;
    }
    if (h.width == 0 || h.height == 0) return false;
    if (h.depth != 8 && h.depth != 15 && h.depth != 16 && h.depth != 24 && h.depth != 32) return false;
    if (h.descriptor & TGA_DESC_INTERLEAVE) return false;
    if (h.cmap_type == 1 && h.cmap_entry_bits != 15 && h.cmap_entry_bits != 16 && h.cmap_entry_bits != 24 &&
        h.cmap_entry_bits != 32)
        return false;
    return true;
}

// Output depth for a pixel (or colour map entry) of the given size.
static int __tga_output_bpp(unsigned bits, unsigned alpha_bits)
{
    switch (bits) {
    case 15: return 24;
    case 16: return alpha_bits == 1 ? 32 : 24;
    case 24: return 24;
    case 32: return 32;
    default: return 0;
    }
}

static size_t __tga_bytes_of(unsigned bits) { return (bits + 7) / 8; }

// Offset of the pixel data, after the header, the image ID and the colour map.
static size_t __tga_data_offset(const tga_header *h)
{
    size_t offset = TGA_HEADER_SIZE + h->id_length;
    if (h->cmap_type == 1) offset += size_t(h->cmap_length) * __tga_bytes_of(h->cmap_entry_bits);
    return offset;
}

static bool __tga_read_info(const char *name, const uint8_t *data, size_t size, gfx_image_info *info)
{
    tga_header h;
    __tga_parse_header(data, &h);
    unsigned alpha_bits = h.descriptor & TGA_DESC_ALPHA_BITS;
    int bpp = 0;
    switch (__tga_base_type(&h)) {
    case TGA_TYPE_MAPPED:
        if (h.cmap_type != 1 || h.cmap_length == 0)
            return gfx_refuse(name, "TGA colour-mapped image without a colour map");
        if (h.depth != 8)
            return gfx_refuse(name, "TGA colour-mapped image with %u-bit indices is not supported", h.depth);
        bpp = __tga_output_bpp(h.cmap_entry_bits, alpha_bits);
        break;
    case TGA_TYPE_TRUE_COLOR:
        bpp = __tga_output_bpp(h.depth, alpha_bits);
        if (!bpp) return gfx_refuse(name, "TGA true-colour image of %u bits per pixel is not supported", h.depth);
        break;
    case TGA_TYPE_GREY:
        if (h.depth != 8) return gfx_refuse(name, "TGA greyscale image of %u bits per pixel is not supported", h.depth);
        bpp = 8;
        break;
    }
    if (h.width > GFX_MAX_DIMENSION || h.height > GFX_MAX_DIMENSION)
        return gfx_refuse(name, "TGA image of %u x %u pixels is too large (at most %i per side)", h.width, h.height,
                          GFX_MAX_DIMENSION);
    size_t offset = __tga_data_offset(&h);
    if (offset > size) return gfx_refuse(name, "TGA file is truncated (header, image ID or colour map)");
    size_t available = size - offset;
    size_t pixels = size_t(h.width) * h.height;
    if (!__tga_is_rle(&h)) {
        if (pixels * __tga_bytes_of(h.depth) > available)
            return gfx_refuse(name, "TGA file is truncated: %zu bytes of pixel data for %u x %u pixels", available,
                              h.width, h.height);
    } else if (pixels / 128 > available / 2) {
        // A packet of at least two bytes yields at most 128 pixels.
        return gfx_refuse(name, "TGA file is truncated: %zu bytes cannot hold %u x %u run-length pixels", available,
                          h.width, h.height);
    }
    info->width = int(h.width);
    info->height = int(h.height);
    info->bpp = bpp;
    return true;
}

// Turns one stored pixel (BGR order, little-endian 16-bit) into the output form.
static void __tga_convert(const uint8_t *in, unsigned bits, int out_bpp, uint8_t *out)
{
    switch (bits) {
    case 8: out[0] = in[0]; break;
    case 15:
    case 16: {
        unsigned v = gfx_le16(in);
        unsigned r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
        out[0] = uint8_t((r << 3) | (r >> 2));
        out[1] = uint8_t((g << 3) | (g >> 2));
        out[2] = uint8_t((b << 3) | (b >> 2));
        if (out_bpp == 32) out[3] = (v & 0x8000) ? 255 : 0;
        break;
    }
    case 24:
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
        break;
    case 32:
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
        out[3] = in[3];
        break;
    }
}

// Walks the stored pixels in file order, through run-length packets or not.
struct tga_stream {
    const uint8_t *p;
    const uint8_t *end;
    size_t depth;
    bool rle;
    size_t pixels_left; // pixels of the image not yet handed out
    unsigned run_left;  // pixels left in the current packet
    bool repeat;        // the current packet repeats run
    const uint8_t *run;
    const char *error;
};

static const uint8_t *__tga_next_pixel(tga_stream *s)
{
    if (s->rle && s->run_left == 0) {
        if (s->p >= s->end) {
            s->error = "run-length data ends before the image is complete";
            return nullptr;
        }
        unsigned header = *s->p++;
        unsigned count = (header & 0x7f) + 1;
        if (count > s->pixels_left) {
            s->error = "a run-length packet runs past the end of the image";
            return nullptr;
        }
        s->run_left = count;
        s->repeat = (header & 0x80) != 0;
        if (s->repeat) {
            if (size_t(s->end - s->p) < s->depth) {
                s->error = "a run-length packet runs past the end of the file";
                return nullptr;
            }
            s->run = s->p;
            s->p += s->depth;
        }
    }
    s->pixels_left--;
    if (s->rle) {
        s->run_left--;
        if (s->repeat) return s->run;
    }
    if (size_t(s->end - s->p) < s->depth) {
        s->error = s->rle ? "a run-length packet runs past the end of the file" : "pixel data is truncated";
        return nullptr;
    }
    const uint8_t *pixel = s->p;
    s->p += s->depth;
    return pixel;
}

static bool __tga_decode(const char *name, const uint8_t *data, size_t size, const gfx_image_info *info,
                         uint8_t *pixels)
{
    tga_header h;
    __tga_parse_header(data, &h);
    size_t width = h.width, height = h.height;
    size_t out_bytes = size_t(info->bpp / 8);
    size_t offset = __tga_data_offset(&h);
    if (offset > size || int(width) != info->width || int(height) != info->height)
        return gfx_refuse(name, "TGA header changed between reads");

    // Colour map, converted once to the output form.
    uint8_t *palette = nullptr;
    if (__tga_base_type(&h) == TGA_TYPE_MAPPED) {
        palette = static_cast<uint8_t *>(mem_alloc(size_t(h.cmap_length) * out_bytes));
        if (!palette) return gfx_refuse(name, "out of memory for the colour map");
        const uint8_t *entry = data + TGA_HEADER_SIZE + h.id_length;
        size_t entry_bytes = __tga_bytes_of(h.cmap_entry_bits);
        for (unsigned i = 0; i < h.cmap_length; i++)
            __tga_convert(entry + i * entry_bytes, h.cmap_entry_bits, info->bpp, palette + i * out_bytes);
    }

    tga_stream s = {};
    s.p = data + offset;
    s.end = data + size;
    s.depth = __tga_bytes_of(h.depth);
    s.rle = __tga_is_rle(&h);
    s.pixels_left = width * height;

    bool top_down = (h.descriptor & TGA_DESC_TOP_DOWN) != 0;
    bool right_to_left = (h.descriptor & TGA_DESC_RIGHT_TO_LEFT) != 0;
    for (size_t file_row = 0; file_row < height; file_row++) {
        size_t row = top_down ? height - 1 - file_row : file_row;
        uint8_t *out_row = pixels + row * width * out_bytes;
        for (size_t file_col = 0; file_col < width; file_col++) {
            size_t col = right_to_left ? width - 1 - file_col : file_col;
            uint8_t *out = out_row + col * out_bytes;
            const uint8_t *in = __tga_next_pixel(&s);
            if (!in) {
                mem_free(palette);
                return gfx_refuse(name, "TGA %s (pixel %zu of %zu)", s.error, file_row * width + file_col,
                                  width * height);
            }
            if (palette) {
                unsigned index = in[0];
                if (index < h.cmap_first || index - h.cmap_first >= h.cmap_length) {
                    mem_free(palette);
                    return gfx_refuse(name, "TGA colour map index %u is outside the map (entries %u to %u)", index,
                                      h.cmap_first, h.cmap_first + h.cmap_length - 1);
                }
                memcpy(out, palette + (index - h.cmap_first) * out_bytes, out_bytes);
            } else {
                __tga_convert(in, h.depth, info->bpp, out);
            }
        }
    }
    mem_free(palette);
    return true;
}

const gfx_format GFX_FORMAT_TGA = {"TGA", __tga_probe, __tga_read_info, __tga_decode};

// Appends the run-length packets of one row of stored pixels.
static uint8_t *__tga_rle_row(const uint8_t *row, size_t width, size_t depth, uint8_t *out)
{
    size_t i = 0;
    while (i < width) {
        size_t run = 1;
        while (i + run < width && run < 128 && memcmp(row + (i + run) * depth, row + i * depth, depth) == 0) run++;
        if (run >= 2) {
            *out++ = uint8_t(0x80 | (run - 1));
            memcpy(out, row + i * depth, depth);
            out += depth;
            i += run;
            continue;
        }
        // A raw packet up to the next pair of equal pixels.
        size_t n = 1;
        while (i + n < width && n < 128 &&
               !(i + n + 1 < width && memcmp(row + (i + n) * depth, row + (i + n + 1) * depth, depth) == 0))
            n++;
        *out++ = uint8_t(n - 1);
        memcpy(out, row + i * depth, n * depth);
        out += n * depth;
        i += n;
    }
    return out;
}

bool gfx_tga_encode(const char *name, const gfx_image_info *info, const uint8_t *pixels, bool rle, uint8_t **file,
                    size_t *file_size)
{
    size_t bytes;
    if (!pixels || !gfx_image_bytes(info->width, info->height, info->bpp, &bytes))
        return gfx_refuse(name, "cannot save a TGA image of %i x %i pixels, %i bpp", info->width, info->height,
                          info->bpp);
    size_t width = size_t(info->width), height = size_t(info->height), depth = size_t(info->bpp / 8);
    // Worst case of run-length coding: one header byte per pixel.
    size_t capacity = TGA_HEADER_SIZE + bytes + (rle ? width * height : 0);
    uint8_t *out = static_cast<uint8_t *>(mem_alloc(capacity));
    if (!out) return gfx_refuse(name, "out of memory for %zu bytes", capacity);

    memset(out, 0, TGA_HEADER_SIZE);
    unsigned type = info->bpp == 8 ? TGA_TYPE_GREY : TGA_TYPE_TRUE_COLOR;
    out[2] = uint8_t(rle ? type + 8 : type);
    gfx_put_le16(out + 12, uint32_t(width));
    gfx_put_le16(out + 14, uint32_t(height));
    out[16] = uint8_t(info->bpp);
    out[17] = info->bpp == 32 ? 8 : 0; // bottom-left origin, alpha bits

    uint8_t *row = static_cast<uint8_t *>(mem_alloc(width * depth));
    if (!row) {
        mem_free(out);
        return gfx_refuse(name, "out of memory for a row");
    }
    uint8_t *p = out + TGA_HEADER_SIZE;
    for (size_t y = 0; y < height; y++) {
        const uint8_t *src = pixels + y * width * depth;
        for (size_t x = 0; x < width; x++) {
            const uint8_t *s = src + x * depth;
            uint8_t *d = row + x * depth;
            if (depth == 1) {
                d[0] = s[0];
            } else {
                d[0] = s[2];
                d[1] = s[1];
                d[2] = s[0];
                if (depth == 4) d[3] = s[3];
            }
        }
        if (rle) {
            p = __tga_rle_row(row, width, depth, p);
        } else {
            memcpy(p, row, width * depth);
            p += width * depth;
        }
    }
    mem_free(row);
    *file = out;
    *file_size = size_t(p - out);
    return true;
}
