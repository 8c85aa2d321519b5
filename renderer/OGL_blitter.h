#pragma once
// 2D drawing over the 3D frame: textured rectangles, parts of textures, solid
// rectangles and batches of textured quads.
//
// Positions are logical screen pixels with the origin in the top-left corner
// (x right, y down). Source rectangles are picture coordinates, also with the
// origin in the picture's top-left corner, in 0..1 of the picture or in
// texels. Textures hold their rows bottom-first (as the image loader
// delivers them): drawn with flags 0 a picture appears upright. A texture
// whose rows were written top-first (decoded video frames) is drawn upright
// with OGL_BLIT_FLIP_V.
//
// Each call switches into the 2D overlay state and back, and leaves blending
// enabled and the depth test on.

#include <cstdint>

struct OGL_texture;

#define OGL_BLIT_FLIP_V 0x01u    // swap the top and bottom of the source
#define OGL_BLIT_ALPHA 0x02u     // blend: source alpha, one minus source alpha
#define OGL_BLIT_ADD 0x04u       // blend: one, one (wins over the others)
#define OGL_BLIT_ADD_ALPHA 0x08u // blend: source alpha, one (wins over OGL_BLIT_ALPHA)

// The overlay state: orthographic projection over x 0..width, y 0..height
// (y down), matrices saved, depth test, culling, lighting, fog, blending,
// programs, arrays and every texture unit off. End restores the matrices.
void OGL_blitter_begin_2d(float width, float height);
void OGL_blitter_end_2d();
// Blending for a set of blit flags.
void OGL_blitter_set_blending(uint32_t flags);

// Part of a texture onto part of the screen, both in 0..1.
void OGL_blit_texture_region(const OGL_texture *texture, const float color[4], float sx, float sy, float sw, float sh,
                             float dx, float dy, float dw, float dh, uint32_t flags);
// The whole texture at pixel rectangle (x, y, w, h), tinted by color or white.
void OGL_blit_texture(const OGL_texture *texture, float x, float y, float w, float h, uint32_t flags);
void OGL_blit_texture_color(const OGL_texture *texture, const float color[4], float x, float y, float w, float h,
                            uint32_t flags);
// A texel rectangle of the texture onto a pixel rectangle.
void OGL_blit_texture_texels(const OGL_texture *texture, float sx, float sy, float sw, float sh, float x, float y,
                             float w, float h, uint32_t flags);
void OGL_blit_texture_texels_color(const OGL_texture *texture, const float color[4], float sx, float sy, float sw,
                                   float sh, float x, float y, float w, float h, uint32_t flags);

// A solid rectangle; the variants take two corners.
void OGL_blit_rect(const float color[4], float x, float y, float w, float h, uint32_t flags);
void OGL_blit_rect_corners(const float color[4], int x0, int y0, int x1, int y1, uint32_t flags);
void OGL_blit_rect_corners_f(const float color[4], float x0, float y0, float x1, float y1, uint32_t flags);

// Quads, 4 vertices each: positions (2 floats, pixels), texture coordinates
// (2 floats, texels of the allocated texture, used as given), colours (4
// floats). vertices: the number of positions. A null texture draws untextured.
void OGL_blit_quads(const OGL_texture *texture, const float *positions, const float *tex_coords, const float *colors,
                    uint32_t vertices, uint32_t flags);

// Texture matrix of the active unit.
void OGL_blitter_texture_matrix_identity();
void OGL_blitter_texture_matrix_scale(float s, float t);
