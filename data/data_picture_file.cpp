#include "data_picture_file.h"

#include <png.h>

#include <cstdio>
#include <vector>

bool picture_file_save(const char *path, int w, int h, int bpp, const uint8_t *pixels)
{
    if ((bpp != 24 && bpp != 32) || w <= 0 || h <= 0 || w > 65535 || h > 65535) return false;
    int n = bpp / 8;
    uint8_t header[18] = {0};
    header[2] = 2;  // uncompressed true colour
    header[12] = uint8_t(w & 0xff);
    header[13] = uint8_t(w >> 8);
    header[14] = uint8_t(h & 0xff);
    header[15] = uint8_t(h >> 8);
    header[16] = uint8_t(bpp);
    header[17] = uint8_t((bpp == 32 ? 8 : 0) | 0x20);  // alpha bits, top-left origin
    std::vector<uint8_t> body(size_t(w) * h * n);
    for (size_t i = 0; i < size_t(w) * h; i++) {
        body[i * n + 0] = pixels[i * n + 2];
        body[i * n + 1] = pixels[i * n + 1];
        body[i * n + 2] = pixels[i * n + 0];
        if (n == 4) body[i * n + 3] = pixels[i * n + 3];
    }
    FILE *f = std::fopen(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(header, 1, 18, f) == 18 && std::fwrite(body.data(), 1, body.size(), f) == body.size();
    if (std::fclose(f) != 0) ok = false;
    return ok;
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
