#pragma once
// The HUD's pictures: loaded into one atlas texture (each picture that fits;
// the others keep textures of their own) and drawn through a batch of quads
// that goes out whenever the texture changes or the batch is flushed.

#include <cstdint>

struct OGL_texture;

struct vorn_ui_picture {
    OGL_texture *texture; // the atlas or the picture's own; null: not loaded
    int32_t x, y;         // top-left corner in the texture (rows counted from the top)
    int32_t w, h;         // the picture's size
    int32_t rows;         // the texture's image height, to turn rows into t
    uint8_t own;          // the texture is the picture's own
};

// Loads the named files (relative to the resource folder) into pictures;
// a file that cannot be read is logged with its name and its picture stays
// empty. Returns how many loaded.
int vorn_ui_pictures_load(const char *const *files, int count, vorn_ui_picture *out);
void vorn_ui_pictures_free(vorn_ui_picture *pictures, int count);

// The batch: quads in drawing order, alpha blended.
void vorn_ui_batch_begin();
// The picture's source rectangle (sx, sy, sw, sh, picture pixels from its
// top-left) onto the screen rectangle (x, y, w, h), tinted by colour (null:
// white). An empty picture draws nothing.
void vorn_ui_batch_part(const vorn_ui_picture *p, float sx, float sy, float sw, float sh, float x, float y, float w,
                        float h, const float *colour);
// The whole picture at its own size with its top-left at (x, y).
void vorn_ui_batch_picture(const vorn_ui_picture *p, float x, float y);
// Immediate mode (for measuring what batching saves): every quad goes out
// as a draw of its own.
void vorn_ui_batch_set_immediate(bool on);
// Draws what is queued; returns the number of draw calls made so far since begin.
int vorn_ui_batch_flush();
