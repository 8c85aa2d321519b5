#pragma once
// Image loading: the engine's one way to read picture files into raw pixels
// and to write screenshots and recorded frames.
//
// Formats read (recognised by content, not by name): TGA (colour-mapped,
// true colour and greyscale, plain or run-length), BMP (24 and 32 bits,
// uncompressed or with whole-byte colour masks) and JPEG. Formats written,
// chosen by the name's extension: ".bmp" (24 bits) and ".tga" (8, 24 or 32
// bits, optionally run-length).
//
// Pixel layout of every loaded image, ready for glTexImage2D with an unpack
// alignment of 1 and texture coordinate t = 0 at the bottom of the picture:
//   - rows are tightly packed (bpp / 8 x width bytes each, no padding);
//   - the FIRST row in memory is the BOTTOM row of the picture (a TGA with
//     its origin at the bottom left is stored this way already);
//   - channels are R, G, B for 24 bpp and R, G, B, A for 32 bpp;
//   - greyscale pictures stay single-channel, 8 bpp;
//   - 15 and 16-bit TGA pictures are expanded to 24 bpp, or to 32 bpp when a
//     16-bit picture declares one alpha bit (alpha 255 when set, else 0);
//   - colour-mapped TGA pictures come out as 24 or 32 bpp after their map.
// Saving takes the same layout.
//
// A file "dir\name.ext" that does not exist is looked for as
// "dir\name_obf.ext", which is read into memory and decoded from there.
// Enciphered files are not supported.
//
// A file that cannot be read as an image (missing, truncated, oversized,
// damaged, unsupported) makes the load return false; every refusal other than
// a missing file is logged with the file's name and the reason. Widths and
// heights above 16384 are refused. Main thread only.

#include <cstddef>
#include <cstdint>

// Options of gfxloader_save.
#define GFXLOADER_SAVE_RLE 0x1u // run-length encode a TGA file

bool gfxloader_init();
void gfxloader_deinit();

// Loads the named picture. On success the outputs hold its size, its bits per
// pixel (8, 24 or 32) and a new buffer of bpp / 8 x width x height bytes that
// the caller frees with mem_free(). On failure the outputs are untouched.
bool gfxloader_load_smart(const char *name, int *width, int *height, int *bpp, uint8_t **pixels);

// As gfxloader_load_smart for a file already in memory; name is used in
// messages only. The block stays the caller's.
bool gfxloader_load_from_memory(const char *name, const void *block, size_t size, int *width, int *height, int *bpp,
                                uint8_t **pixels);

// Writes a picture; the format follows the name's extension: ".bmp" gives a
// 24-bit BMP (alpha is dropped, greyscale is repeated in R, G and B), ".tga"
// a TGA of the same bpp. bpp is 8, 24 or 32.
bool gfxloader_save(const char *name, int width, int height, int bpp, const uint8_t *pixels, uint32_t options = 0);
