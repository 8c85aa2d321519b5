#include "gfxloader.h"

#include <cstring>
#include <string>
#include <sys/stat.h>

#include "files.h"
#include "gfx_codec.h"
#include "log.h"
#include "mem.h"

static bool gfx_loader_inited = false;
static const gfx_codec_interface *gfx_loader = nullptr;

bool gfxloader_init()
{
    ASSERT(!gfx_loader_inited);
    gfx_loader = GFX_GetInterface();
    if (!gfx_loader) {
        do_log(LOG_WARNING, LOG_TO_ALL, "gfxloader_init(): GFX_GetInterface FAILED!");
        return false;
    }
    gfx_loader_inited = true;
    return true;
}

void gfxloader_deinit()
{
    ASSERT(gfx_loader_inited);
    gfx_loader->release();
    gfx_loader = nullptr;
    gfx_loader_inited = false;
}

// "dir\base.ext" -> "dir\base_obf.ext"; either separator, extension optional.
static std::string __gfxloader_variant_name(const char *name, const char *suffix)
{
    std::string n(name);
    size_t sep = n.find_last_of("/\\");
    size_t base = sep == std::string::npos ? 0 : sep + 1;
    size_t dot = n.rfind('.');
    if (dot == std::string::npos || dot < base) dot = n.size();
    return n.substr(0, dot) + suffix + n.substr(dot);
}

// Decodes the codec's current source into a new buffer.
static bool __gfxloader_decode(const char *name, int *width, int *height, int *bpp, uint8_t **pixels)
{
    int w, h, b;
    if (gfx_loader->getInfo(&w, &h, &b) != 1) {
        do_log(LOG_DEBUG, LOG_TO_DEBUGGER | LOG_TO_FILE,
               "gfxloader_load(): gfx_loader.getInfo() FAILED: GetInfo for %.1024s, probably file missing or "
               "invalid/unsupported format!",
               name);
        return false;
    }
    size_t bytes;
    if (!gfx_image_bytes(w, h, b, &bytes)) BUG(); // the codec checks every size it reports
    uint8_t *data = static_cast<uint8_t *>(mem_alloc(bytes));
    if (!data) {
        do_log(LOG_WARNING, LOG_TO_ALL, "gfxloader_load(): my_malloc() FAILED: Out of memory)!");
        return false;
    }
    if (!gfx_loader->DecodeImage(data, bytes)) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE,
               "gfxloader_load(): gfx_loader.DecodeImage() FAILED: Error decoding image %.1024s!", name);
        mem_free(data);
        return false;
    }
    *width = w;
    *height = h;
    *bpp = b;
    *pixels = data;
    return true;
}

bool gfxloader_load_smart(const char *name, int *width, int *height, int *bpp, uint8_t **pixels)
{
    ASSERT(gfx_loader_inited);
    ASSERT(name && width && height && bpp && pixels);

    std::string obf_name = __gfxloader_variant_name(name, "_obf");
    bool use_obf = !file_exists(name) && file_exists(obf_name.c_str());

    bool ok;
    if (use_obf) {
        void *block = nullptr;
        size_t size = 0;
        struct stat st;
        if (stat(file_native_path(obf_name.c_str()).c_str(), &st) == 0 && uint64_t(st.st_size) > GFX_MAX_FILE_BYTES)
            return gfx_refuse(obf_name.c_str(), "file of %lld bytes is too large for an image", (long long)st.st_size);
        // The file exists but cannot be read: an ordinary failure, reported loudly.
        if (!load_file_to_buffer(obf_name.c_str(), &block, &size)) {
            do_log(LOG_CRITICAL, LOG_TO_ALL, "Can't load texture file %.1024s", obf_name.c_str());
            return false;
        }
        ok = gfx_loader->set_source_memory(obf_name.c_str(), block, size) &&
             __gfxloader_decode(obf_name.c_str(), width, height, bpp, pixels);
        gfx_loader->release();
        mem_free(block);
    } else {
        ok = gfx_loader->set_source_file(name) && __gfxloader_decode(name, width, height, bpp, pixels);
        gfx_loader->release();
    }
    return ok;
}

bool gfxloader_load_from_memory(const char *name, const void *block, size_t size, int *width, int *height, int *bpp,
                                uint8_t **pixels)
{
    ASSERT(gfx_loader_inited);
    ASSERT(width && height && bpp && pixels);
    if (!name) name = "(memory)";
    bool ok = gfx_loader->set_source_memory(name, block, size) && __gfxloader_decode(name, width, height, bpp, pixels);
    gfx_loader->release();
    return ok;
}

bool gfxloader_save(const char *name, int width, int height, int bpp, const uint8_t *pixels, uint32_t options)
{
    ASSERT(gfx_loader_inited);
    ASSERT(name != NULL);
    uint32_t codec_options = (options & GFXLOADER_SAVE_RLE) ? GFX_SAVE_RLE : 0;
    if (!gfx_loader->SaveImage(name, width, height, bpp, pixels, codec_options)) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE,
               "gfxloader_load(): gfx_loader.SaveImage() FAILED: Error saving file image %.1024s!", name);
        return false;
    }
    return true;
}
