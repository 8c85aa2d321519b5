#include "data_picture_file.h"

#include <png.h>

#include <cstring>

#include <cstdio>
#include <vector>

#include "corelib/gfxloader.h"

bool picture_file_save(const char *path, int w, int h, int bpp, const uint8_t *pixels)
{
    if ((bpp != 24 && bpp != 32) || w <= 0 || h <= 0) return false;
    // The image writer takes rows bottom-up, as textures are uploaded.
    size_t row = size_t(w) * (bpp / 8);
    std::vector<uint8_t> flipped(row * h);
    for (int y = 0; y < h; y++) std::memcpy(&flipped[size_t(h - 1 - y) * row], pixels + size_t(y) * row, row);
    return gfxloader_save(path, w, h, bpp, flipped.data(), GFXLOADER_SAVE_RLE);
}

bool picture_file_save_png(const char *path, int w, int h, const uint8_t *rgba)
{
    FILE *f = std::fopen(path, "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < h; y++) png_write_row(png, const_cast<uint8_t *>(rgba + size_t(y) * w * 4));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}
