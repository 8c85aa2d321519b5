#pragma once
// Picture files of the resource folder. Until the engine's image writer
// (gfxloader_save) is in place, pictures go through this small Targa writer:
// uncompressed true colour, rows top-down, 24 or 32 bits.

#include <cstdint>

// pixels: RGB or RGBA bytes, rows top-down.
bool picture_file_save(const char *path, int w, int h, int bpp, const uint8_t *pixels);
// Writes an RGBA picture as PNG (contact sheets).
bool picture_file_save_png(const char *path, int w, int h, const uint8_t *rgba);
