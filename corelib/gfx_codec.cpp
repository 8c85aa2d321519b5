// The image codec: the current source, format recognition and the writers'
// file output.

#include "gfx_codec.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>

#include "files.h"
#include "log.h"
#include "mem.h"

// The current source. A file source is read whole on the first getInfo.
static struct {
    char *name;          // for messages (the path of a file source)
    bool is_file;        // data still to be read from the file named name
    const uint8_t *data; // the bytes of the source
    size_t size;
    uint8_t *owned; // data read by the codec itself (file sources)
    const gfx_format *format;
    gfx_image_info info;
    bool has_info;
} gfx_source;

// BMP and JPEG have magics; TGA has none and is tried last, on header sanity.
static const gfx_format *const GFX_FORMATS[] = {&GFX_FORMAT_BMP, &GFX_FORMAT_JPEG, &GFX_FORMAT_TGA};

bool gfx_refuse(const char *name, const char *format, ...)
{
    char reason[512];
    va_list ap;
    va_start(ap, format);
    vsnprintf(reason, sizeof(reason), format, ap);
    va_end(ap);
    do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "gfx: \"%.1024s\": %s", name ? name : "(unnamed)", reason);
    return false;
}

bool gfx_image_bytes(int width, int height, int bpp, size_t *bytes)
{
    if (width < 1 || height < 1 || width > GFX_MAX_DIMENSION || height > GFX_MAX_DIMENSION) return false;
    if (bpp != 8 && bpp != 24 && bpp != 32) return false;
    size_t n;
    if (!mem_mul_size(size_t(width), size_t(height), &n)) return false;
    return mem_mul_size(n, size_t(bpp / 8), bytes);
}

static void __gfx_release()
{
    mem_free(gfx_source.owned);
    mem_free(gfx_source.name);
    memset(&gfx_source, 0, sizeof(gfx_source));
}

static bool __gfx_set_source_file(const char *path)
{
    __gfx_release();
    gfx_source.name = mem_strdup(path);
    gfx_source.is_file = true;
    return gfx_source.name != nullptr;
}

static bool __gfx_set_source_memory(const char *name, const void *block, size_t size)
{
    __gfx_release();
    gfx_source.name = mem_strdup(name ? name : "(memory)");
    gfx_source.data = static_cast<const uint8_t *>(block);
    gfx_source.size = block ? size : 0;
    return gfx_source.name != nullptr;
}

// Reads the file source whole. A missing file is an ordinary failure left to
// the caller to report; anything else is logged here.
static bool __gfx_read_file()
{
    const char *name = gfx_source.name;
    void *block;
    size_t length;
    file_read_failure why;
    if (!file_read_whole(name, GFX_MAX_FILE_BYTES, &block, &length, &why)) {
        switch (why.step) {
        case FILE_READ_OPEN:
            if (why.error != ENOENT && why.error != ENOTDIR) gfx_refuse(name, "cannot open: %s", why.reason);
            return false;
        case FILE_READ_LENGTH: return gfx_refuse(name, "cannot be read as an image: %s", why.reason);
        case FILE_READ_MEMORY: return gfx_refuse(name, "out of memory reading the file");
        case FILE_READ_READ: return gfx_refuse(name, "read error: %s", why.reason);
        }
        return false;
    }
    uint8_t *data = static_cast<uint8_t *>(block);
    gfx_source.owned = data;
    gfx_source.data = data;
    gfx_source.size = length;
    gfx_source.is_file = false;
    return true;
}

static int __gfx_get_info(int *width, int *height, int *bpp)
{
    if (!gfx_source.name) return 0;
    if (!gfx_source.has_info) {
        if (gfx_source.is_file && !__gfx_read_file()) return 0;
        if (!gfx_source.data) return 0;
        const gfx_format *format = nullptr;
        for (const gfx_format *f : GFX_FORMATS)
            if (f->probe(gfx_source.data, gfx_source.size)) {
                format = f;
                break;
            }
        if (!format) {
            gfx_refuse(gfx_source.name, "not a TGA, BMP or JPEG image (%zu bytes)", gfx_source.size);
            return 0;
        }
        gfx_image_info info;
        if (!format->read_info(gfx_source.name, gfx_source.data, gfx_source.size, &info)) return 0;
        size_t bytes;
        if (!gfx_image_bytes(info.width, info.height, info.bpp, &bytes)) {
            gfx_refuse(gfx_source.name, "%s image of %i x %i pixels, %i bpp, is not supported", format->name,
                       info.width, info.height, info.bpp);
            return 0;
        }
        gfx_source.format = format;
        gfx_source.info = info;
        gfx_source.has_info = true;
    }
    *width = gfx_source.info.width;
    *height = gfx_source.info.height;
    *bpp = gfx_source.info.bpp;
    return 1;
}

static bool __gfx_decode_image(uint8_t *pixels, size_t size)
{
    if (!gfx_source.has_info || !pixels) return false;
    size_t bytes;
    if (!gfx_image_bytes(gfx_source.info.width, gfx_source.info.height, gfx_source.info.bpp, &bytes) || bytes != size)
        return gfx_refuse(gfx_source.name, "decode buffer of %zu bytes does not fit the image", size);
    return gfx_source.format->decode(gfx_source.name, gfx_source.data, gfx_source.size, &gfx_source.info, pixels);
}

static bool __gfx_write_file(const char *path, const uint8_t *data, size_t size)
{
    std::string native = file_native_path(path);
    FILE *f = fopen(native.c_str(), "wb");
    if (!f) return gfx_refuse(path, "cannot create: %s", strerror(errno));
    bool ok = fwrite(data, 1, size, f) == size;
    int saved = errno;
    if (fclose(f) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        remove(native.c_str());
        return gfx_refuse(path, "write error: %s", strerror(saved));
    }
    return true;
}

static bool __gfx_save_image(const char *path, int width, int height, int bpp, const uint8_t *pixels, uint32_t options)
{
    if (!path) return false;
    size_t bytes;
    if (!pixels || !gfx_image_bytes(width, height, bpp, &bytes))
        return gfx_refuse(path, "cannot save an image of %i x %i pixels, %i bpp", width, height, bpp);
    const char *dot = strrchr(path, '.');
    const char *slash = strrchr(path, '/');
    const char *backslash = strrchr(path, '\\');
    if (dot && ((slash && slash > dot) || (backslash && backslash > dot))) dot = nullptr;
    gfx_image_info info = {width, height, bpp};
    uint8_t *file = nullptr;
    size_t file_size = 0;
    bool ok;
    if (dot && strcasecmp(dot, ".tga") == 0)
        ok = gfx_tga_encode(path, &info, pixels, (options & GFX_SAVE_RLE) != 0, &file, &file_size);
    else if (dot && strcasecmp(dot, ".bmp") == 0)
        ok = gfx_bmp_encode(path, &info, pixels, &file, &file_size);
    else
        ok = gfx_refuse(path, "cannot tell the image format from the name (\".tga\" or \".bmp\")");
    if (ok) ok = __gfx_write_file(path, file, file_size);
    mem_free(file);
    return ok;
}

static const gfx_codec_interface GFX_CODEC = {
    __gfx_set_source_file, __gfx_set_source_memory, __gfx_get_info, __gfx_decode_image, __gfx_save_image, __gfx_release,
};

const gfx_codec_interface *GFX_GetInterface() { return &GFX_CODEC; }
