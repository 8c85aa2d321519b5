#pragma once
// The body of the image loader's targets (tga, bmp, jpeg): any byte string
// through the loader from memory. A loaded picture has the promised layout;
// TGA and BMP pictures written back by the loader's writer read back the same.
// Each target's source defines FUZZ_IMAGE_EXT (".tga", ".bmp" or "") first.

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "corelib/gfxloader.h"
#include "corelib/mem.h"
#include "fuzz_util.h"

static std::string g_image_copy;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    gfxloader_init();
    g_image_copy = fuzz_temp_path("copy" FUZZ_IMAGE_EXT);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    int w = 0, h = 0, bpp = 0;
    uint8_t *pixels = nullptr;
    if (!gfxloader_load_from_memory("fuzz", data, size, &w, &h, &bpp, &pixels)) return 0;
    if (w < 1 || h < 1 || w > 16384 || h > 16384 || (bpp != 8 && bpp != 24 && bpp != 32)) abort();
    const size_t bytes = size_t(w) * size_t(h) * size_t(bpp / 8);
    volatile uint8_t sum = 0;
    for (size_t i = 0; i < bytes; i += 97) sum = uint8_t(sum + pixels[i]); // every byte is there
    if (sizeof(FUZZ_IMAGE_EXT) > 1 && bytes <= (1u << 20)) {
        // The writer's file reads back as the same picture (BMP keeps 24 bits only).
        const bool same_bpp = !strcmp(FUZZ_IMAGE_EXT, ".tga") || bpp == 24;
        int w2 = 0, h2 = 0, bpp2 = 0;
        uint8_t *again = nullptr;
        if (!gfxloader_save(g_image_copy.c_str(), w, h, bpp, pixels) ||
            !gfxloader_load_smart(g_image_copy.c_str(), &w2, &h2, &bpp2, &again))
            abort();
        if (w2 != w || h2 != h || (same_bpp && (bpp2 != bpp || memcmp(again, pixels, bytes) != 0))) abort();
        mem_free(again);
    }
    mem_free(pixels);
    return 0;
}
