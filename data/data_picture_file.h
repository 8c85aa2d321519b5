#pragma once
// Picture files: the resource folder's pictures go through the engine's image
// writer (run-length TGA, 24 or 32 bits); contact sheets are PNG.

#include <cstdint>

// pixels: RGB or RGBA bytes, rows top-down.
bool picture_file_save(const char *path, int w, int h, int bpp, const uint8_t *pixels);
// Writes an RGBA picture as PNG (contact sheets).
bool picture_file_save_png(const char *path, int w, int h, const uint8_t *rgba);
