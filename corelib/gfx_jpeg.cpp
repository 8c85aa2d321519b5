// JPEG reader on libjpeg.
//
// Colour pictures decode to 24-bit RGB, greyscale ones to 8 bits, CMYK and
// YCCK ones (Adobe's inverted form when the Adobe marker says so) to RGB.
// libjpeg's fatal errors and its corrupt-data warnings both end the decode
// through a jump back to the reader, which refuses the picture: a damaged or
// truncated JPEG never ends the program and is never shown half-decoded.
// libjpeg's other messages go to the debug log.

#include <csetjmp>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include "gfx_codec.h"
#include "log.h"
#include "mem.h"

// libjpeg may use this much working memory for one picture (progressive
// pictures keep all their coefficients); beyond it the decode fails cleanly.
#define GFX_JPEG_MAX_MEMORY (size_t(384) << 20)

struct gfx_jpeg_error {
    jpeg_error_mgr pub;
    jmp_buf jump;
    const char *name;
};

[[noreturn]] static void __jpeg_fail(j_common_ptr cinfo)
{
    gfx_jpeg_error *err = reinterpret_cast<gfx_jpeg_error *>(cinfo->err);
    char message[JMSG_LENGTH_MAX];
    cinfo->err->format_message(cinfo, message);
    int code = cinfo->err->msg_code;
    bool memory = code == JERR_NO_BACKING_STORE || code == JERR_OUT_OF_MEMORY;
    gfx_refuse(err->name, "JPEG: %s%s", message, memory ? " (the picture needs more working memory than allowed)" : "");
    longjmp(err->jump, 1);
}

static void __jpeg_error_exit(j_common_ptr cinfo) { __jpeg_fail(cinfo); }

static void __jpeg_output_message(j_common_ptr cinfo)
{
    gfx_jpeg_error *err = reinterpret_cast<gfx_jpeg_error *>(cinfo->err);
    char message[JMSG_LENGTH_MAX];
    cinfo->err->format_message(cinfo, message);
    do_log(LOG_DEBUG, LOG_TO_DEBUGGER | LOG_TO_FILE, "gfx: \"%.1024s\": JPEG: %s", err->name, message);
}

// Level -1 is libjpeg's corrupt-data warning; higher levels are traces.
static void __jpeg_emit_message(j_common_ptr cinfo, int level)
{
    if (level < 0) __jpeg_fail(cinfo);
    if (level <= cinfo->err->trace_level) cinfo->err->output_message(cinfo);
}

static void __jpeg_setup(jpeg_decompress_struct *cinfo, gfx_jpeg_error *err, const char *name)
{
    cinfo->err = jpeg_std_error(&err->pub);
    err->pub.error_exit = __jpeg_error_exit;
    err->pub.output_message = __jpeg_output_message;
    err->pub.emit_message = __jpeg_emit_message;
    err->name = name;
}

// After jpeg_read_header: chooses the output colour space; returns the
// output bpp, or 0 (logged) for an unsupported picture.
static int __jpeg_choose_output(const char *name, jpeg_decompress_struct *cinfo)
{
    if (cinfo->image_width < 1 || cinfo->image_height < 1 || cinfo->image_width > GFX_MAX_DIMENSION ||
        cinfo->image_height > GFX_MAX_DIMENSION) {
        gfx_refuse(name, "JPEG size %u x %u is invalid or too large (at most %i per side)", cinfo->image_width,
                   cinfo->image_height, GFX_MAX_DIMENSION);
        return 0;
    }
    switch (cinfo->jpeg_color_space) {
    case JCS_GRAYSCALE: cinfo->out_color_space = JCS_GRAYSCALE; return 8;
    case JCS_YCbCr:
    case JCS_RGB: cinfo->out_color_space = JCS_RGB; return 24;
    case JCS_CMYK:
    case JCS_YCCK: cinfo->out_color_space = JCS_CMYK; return 24;
    default:
        gfx_refuse(name, "JPEG colour space %i with %i components is not supported", int(cinfo->jpeg_color_space),
                   cinfo->num_components);
        return 0;
    }
}

static bool __jpeg_probe(const uint8_t *data, size_t size)
{
    return size >= 3 && data[0] == 0xff && data[1] == 0xd8 && data[2] == 0xff;
}

static bool __jpeg_read_info(const char *name, const uint8_t *data, size_t size, gfx_image_info *info)
{
    jpeg_decompress_struct cinfo;
    gfx_jpeg_error err;
    __jpeg_setup(&cinfo, &err, name);
    jpeg_create_decompress(&cinfo);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    int bpp = __jpeg_choose_output(name, &cinfo);
    info->width = int(cinfo.image_width);
    info->height = int(cinfo.image_height);
    info->bpp = bpp;
    jpeg_destroy_decompress(&cinfo);
    return bpp != 0;
}

// CMYK scanline to RGB; Adobe writes the inks inverted.
static void __jpeg_cmyk_to_rgb(const uint8_t *in, uint8_t *out, size_t width, bool inverted)
{
    for (size_t x = 0; x < width; x++, in += 4, out += 3) {
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        out[0] = uint8_t((c * k + 127) / 255);
        out[1] = uint8_t((m * k + 127) / 255);
        out[2] = uint8_t((y * k + 127) / 255);
    }
}

static bool __jpeg_decode(const char *name, const uint8_t *data, size_t size, const gfx_image_info *info,
                          uint8_t *pixels)
{
    jpeg_decompress_struct cinfo;
    gfx_jpeg_error err;
    uint8_t *volatile cmyk_row = nullptr;
    __jpeg_setup(&cinfo, &err, name);
    jpeg_create_decompress(&cinfo);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        mem_free(cmyk_row);
        return false;
    }
    cinfo.mem->max_memory_to_use = long(GFX_JPEG_MAX_MEMORY);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    int bpp = __jpeg_choose_output(name, &cinfo);
    if (bpp == 0 || bpp != info->bpp || int(cinfo.image_width) != info->width ||
        int(cinfo.image_height) != info->height) {
        if (bpp != 0) gfx_refuse(name, "JPEG header changed between reads");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_start_decompress(&cinfo);
    size_t width = cinfo.output_width, height = cinfo.output_height;
    int expected_components = cinfo.out_color_space == JCS_CMYK ? 4 : bpp / 8;
    if (int(width) != info->width || int(height) != info->height || cinfo.output_components != expected_components) {
        gfx_refuse(name, "JPEG decoder output %zu x %zu x %i does not match the header", width, height,
                   cinfo.output_components);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    bool inverted = cinfo.saw_Adobe_marker;
    if (cinfo.out_color_space == JCS_CMYK) {
        cmyk_row = static_cast<uint8_t *>(mem_alloc(width * 4));
        if (!cmyk_row) {
            gfx_refuse(name, "out of memory for a JPEG row");
            jpeg_destroy_decompress(&cinfo);
            return false;
        }
    }
    size_t row_bytes = width * size_t(bpp / 8);
    // JPEG rows run top to bottom; the first row in memory is the bottom one.
    while (cinfo.output_scanline < cinfo.output_height) {
        uint8_t *dst = pixels + (height - 1 - cinfo.output_scanline) * row_bytes;
        JSAMPROW row = cmyk_row ? cmyk_row : dst;
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) {
            gfx_refuse(name, "JPEG decoder stopped at row %u", cinfo.output_scanline);
            jpeg_destroy_decompress(&cinfo);
            mem_free(cmyk_row);
            return false;
        }
        if (cmyk_row) __jpeg_cmyk_to_rgb(cmyk_row, dst, width, inverted);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    mem_free(cmyk_row);
    return true;
}

const gfx_format GFX_FORMAT_JPEG = {"JPEG", __jpeg_probe, __jpeg_read_info, __jpeg_decode};
