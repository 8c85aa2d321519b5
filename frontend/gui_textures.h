#pragma once
// Pictures of the GUI and the cursor, shared by file name with a reference
// count: two widgets showing the same file hold one texture.

struct OGL_texture;

// The texture of the picture file (its reference counted up); null, with a
// logged message naming the file, when it cannot be read or made.
OGL_texture *gui_texture_get(const char *file);
// Gives a reference back; the last one frees the texture.
void gui_texture_release(OGL_texture *texture);
// Textures held (for checks).
int gui_texture_count();
// A texture of its own for the picture file, named name; null (logged) on failure.
OGL_texture *gui_texture_load(const char *file, const char *name);
