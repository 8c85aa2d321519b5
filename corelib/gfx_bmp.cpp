// Windows bitmap reader and writer.
//
// Read: 24 and 32 bits per pixel, uncompressed (BI_RGB) or with colour masks
// (BI_BITFIELDS, BI_ALPHABITFIELDS) whose channels are whole bytes, such as
// the standard 0x00ff0000 / 0x0000ff00 / 0x000000ff / 0xff000000; any info
// header of 40 bytes or more; bottom-up or top-down rows. A 32-bit BI_RGB
// picture whose fourth bytes are all zero is taken as opaque.
//
// Write: 24 bits, BI_RGB, bottom-up (the frame recorder's format).

#include <cstring>

#include "gfx_codec.h"
#include "mem.h"

#define BMP_FILE_HEADER_SIZE 14
#define BMP_INFO_HEADER_SIZE 40
#define BMP_MASKS_OFFSET (BMP_FILE_HEADER_SIZE + BMP_INFO_HEADER_SIZE)

enum {
    BMP_BI_RGB = 0,
    BMP_BI_BITFIELDS = 3,
    BMP_BI_ALPHABITFIELDS = 6,
};

struct bmp_layout {
    size_t width;
    size_t height;
    bool top_down;
    unsigned bits;
    size_t stride;
    size_t offset;
    // Byte index inside a stored pixel of each of R, G, B, A; -1: no alpha.
    int channel[4];
    bool opaque_if_zero_alpha;
};

static bool __bmp_probe(const uint8_t *data, size_t size) { return size >= 2 && data[0] == 'B' && data[1] == 'M'; }

// Byte index of a whole-byte mask, or -1.
static int __bmp_mask_byte(uint32_t mask)
{
    for (int i = 0; i < 4; i++)
        if (mask == 0xffu << (8 * i)) return i;
    return -1;
}

static bool __bmp_layout(const char *name, const uint8_t *data, size_t size, bmp_layout *l)
{
    if (size < BMP_FILE_HEADER_SIZE + 4) return gfx_refuse(name, "BMP file is truncated (file header)");
    uint32_t offset = gfx_le32(data + 10);
    uint32_t header_size = gfx_le32(data + 14);
    if (header_size == 12) return gfx_refuse(name, "BMP files with the OS/2 core header are not supported");
    if (header_size < BMP_INFO_HEADER_SIZE)
        return gfx_refuse(name, "BMP info header of %u bytes is invalid", header_size);
    if (header_size > size - BMP_FILE_HEADER_SIZE)
        return gfx_refuse(name, "BMP info header of %u bytes runs past the end of the file", header_size);

    const uint8_t *ih = data + BMP_FILE_HEADER_SIZE;
    int64_t width = int32_t(gfx_le32(ih + 4));
    int64_t height = int32_t(gfx_le32(ih + 8));
    unsigned planes = gfx_le16(ih + 12);
    unsigned bits = gfx_le16(ih + 14);
    uint32_t compression = gfx_le32(ih + 16);

    if (planes != 1) return gfx_refuse(name, "BMP with %u planes is invalid", planes);
    if (bits != 24 && bits != 32) return gfx_refuse(name, "BMP of %u bits per pixel is not supported", bits);
    l->top_down = height < 0;
    if (height < 0) height = -height;
    if (width < 1 || height < 1 || width > GFX_MAX_DIMENSION || height > GFX_MAX_DIMENSION)
        return gfx_refuse(name, "BMP size %lld x %lld is invalid or too large (at most %i per side)", (long long)width,
                          (long long)height, GFX_MAX_DIMENSION);
    l->width = size_t(width);
    l->height = size_t(height);
    l->bits = bits;

    // Masks sit at the same place whether they end a longer info header or
    // follow the 40-byte one.
    size_t header_end = BMP_FILE_HEADER_SIZE + header_size;
    if (compression == BMP_BI_RGB) {
        if (bits == 24) {
            l->channel[0] = 2, l->channel[1] = 1, l->channel[2] = 0, l->channel[3] = -1;
        } else {
            l->channel[0] = 2, l->channel[1] = 1, l->channel[2] = 0, l->channel[3] = 3;
        }
        l->opaque_if_zero_alpha = true;
    } else if (compression == BMP_BI_BITFIELDS || compression == BMP_BI_ALPHABITFIELDS) {
        if (bits != 32) return gfx_refuse(name, "BMP colour masks with %u bits per pixel are not supported", bits);
        bool alpha_listed = compression == BMP_BI_ALPHABITFIELDS || header_size >= 56;
        size_t masks_end = BMP_MASKS_OFFSET + (alpha_listed ? 16 : 12);
        if (masks_end > size) return gfx_refuse(name, "BMP colour masks run past the end of the file");
        if (masks_end > header_end) header_end = masks_end;
        uint32_t masks[4];
        for (int i = 0; i < 4; i++) masks[i] = (i < 3 || alpha_listed) ? gfx_le32(data + BMP_MASKS_OFFSET + 4 * i) : 0;
        for (int i = 0; i < 4; i++) {
            l->channel[i] = __bmp_mask_byte(masks[i]);
            bool bad = i < 3 ? l->channel[i] < 0 : (masks[i] != 0 && l->channel[i] < 0);
            for (int j = 0; j < i && !bad; j++) bad = l->channel[j] >= 0 && l->channel[j] == l->channel[i];
            if (bad)
                return gfx_refuse(name, "BMP colour masks %08x %08x %08x %08x are not supported (whole bytes only)",
                                  masks[0], masks[1], masks[2], masks[3]);
        }
        l->opaque_if_zero_alpha = false;
    } else {
        return gfx_refuse(name, "BMP compression %u is not supported", compression);
    }

    l->stride = ((l->width * bits + 31) / 32) * 4;
    if (offset < header_end || offset > size)
        return gfx_refuse(name, "BMP pixel data offset %u lies outside the file's %zu bytes (headers end at %zu)",
                          offset, size, header_end);
    l->offset = offset;
    // The last row's padding may be left out.
    size_t needed = l->stride * (l->height - 1) + l->width * (bits / 8);
    if (needed > size - offset)
        return gfx_refuse(name, "BMP file is truncated: %zu bytes of pixel data for %zu x %zu pixels", size - offset,
                          l->width, l->height);
    return true;
}

static bool __bmp_read_info(const char *name, const uint8_t *data, size_t size, gfx_image_info *info)
{
    bmp_layout l;
    if (!__bmp_layout(name, data, size, &l)) return false;
    info->width = int(l.width);
    info->height = int(l.height);
    info->bpp = int(l.bits);
    return true;
}

static bool __bmp_decode(const char *name, const uint8_t *data, size_t size, const gfx_image_info *info,
                         uint8_t *pixels)
{
    bmp_layout l;
    if (!__bmp_layout(name, data, size, &l)) return false;
    if (int(l.width) != info->width || int(l.height) != info->height || int(l.bits) != info->bpp)
        return gfx_refuse(name, "BMP header changed between reads");
    size_t in_bytes = l.bits / 8;
    size_t out_bytes = size_t(info->bpp / 8);
    bool any_alpha = false;
    for (size_t file_row = 0; file_row < l.height; file_row++) {
        const uint8_t *in = data + l.offset + file_row * l.stride;
        size_t row = l.top_down ? l.height - 1 - file_row : file_row;
        uint8_t *out = pixels + row * l.width * out_bytes;
        for (size_t x = 0; x < l.width; x++, in += in_bytes, out += out_bytes) {
            out[0] = in[l.channel[0]];
            out[1] = in[l.channel[1]];
            out[2] = in[l.channel[2]];
            if (out_bytes == 4) {
                out[3] = l.channel[3] >= 0 ? in[l.channel[3]] : 255;
                any_alpha |= out[3] != 0;
            }
        }
    }
    if (out_bytes == 4 && l.opaque_if_zero_alpha && !any_alpha) {
        size_t count = l.width * l.height;
        for (size_t i = 0; i < count; i++) pixels[i * 4 + 3] = 255;
    }
    return true;
}

const gfx_format GFX_FORMAT_BMP = {"BMP", __bmp_probe, __bmp_read_info, __bmp_decode};

bool gfx_bmp_encode(const char *name, const gfx_image_info *info, const uint8_t *pixels, uint8_t **file,
                    size_t *file_size)
{
    size_t bytes;
    if (!pixels || !gfx_image_bytes(info->width, info->height, info->bpp, &bytes))
        return gfx_refuse(name, "cannot save a BMP image of %i x %i pixels, %i bpp", info->width, info->height,
                          info->bpp);
    size_t width = size_t(info->width), height = size_t(info->height), depth = size_t(info->bpp / 8);
    size_t stride = (width * 3 + 3) & ~size_t(3);
    size_t image_size = stride * height;
    size_t total = BMP_MASKS_OFFSET + image_size;
    if (total > 0xffffffffu) return gfx_refuse(name, "image too large for a BMP file");
    uint8_t *out = static_cast<uint8_t *>(mem_calloc(1, total));
    if (!out) return gfx_refuse(name, "out of memory for %zu bytes", total);

    out[0] = 'B';
    out[1] = 'M';
    gfx_put_le32(out + 2, uint32_t(total));
    gfx_put_le32(out + 10, BMP_MASKS_OFFSET);
    uint8_t *ih = out + BMP_FILE_HEADER_SIZE;
    gfx_put_le32(ih, BMP_INFO_HEADER_SIZE);
    gfx_put_le32(ih + 4, uint32_t(width));
    gfx_put_le32(ih + 8, uint32_t(height));
    gfx_put_le16(ih + 12, 1);
    gfx_put_le16(ih + 14, 24);
    gfx_put_le32(ih + 16, BMP_BI_RGB);
    gfx_put_le32(ih + 20, uint32_t(image_size));
    gfx_put_le32(ih + 24, 2835); // 72 dpi
    gfx_put_le32(ih + 28, 2835);

    // Rows are bottom-up in memory as in the file; alpha is dropped and a
    // single channel is repeated as grey.
    for (size_t y = 0; y < height; y++) {
        const uint8_t *src = pixels + y * width * depth;
        uint8_t *dst = out + BMP_MASKS_OFFSET + y * stride;
        for (size_t x = 0; x < width; x++, src += depth, dst += 3) {
            if (depth == 1) {
                dst[0] = dst[1] = dst[2] = src[0];
            } else {
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
            }
        }
    }
    *file = out;
    *file_size = total;
    return true;
}
