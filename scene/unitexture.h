#pragma once
// unitexture: a texture image shared by file name among the materials of a
// scene, with a lock count. Loading decodes the pixels and keeps them until
// the renderer (through the hand-over table) has made its texture.

#include <cstdint>

#include "scene/scene_types.h"

enum : uint32_t {
    UNITEX_LOADED = 1u << 0, // pixels decoded
    UNITEX_OGL = 1u << 1,    // renderer texture created
    UNITEX_NAME = 1u << 2,
    UNITEX_FILENAME = 1u << 3,
    UNITEX_ANIMATED = 1u << 4, // a video stream
    UNITEX_IN_SCENE = 1u << 5,
};

// Creation options.
enum : uint32_t {
    UNITEX_OPT_BASE1 = 1u << 0,
    UNITEX_OPT_BASE2 = 1u << 1,
    UNITEX_OPT_MIPMAP = 1u << 2,
    UNITEX_OPT_EXTRA = 1u << 3,
    // Bits 8..9: the level of detail asked for at creation.
    UNITEX_OPT_LOD_SHIFT = 8,
};

struct unitexture {
    dlist link; // the scene's shared texture list
    uint32_t flags;
    uint32_t options;
    int32_t requested_level;
    int32_t lod; // 3 full, 2 and 1 reduced by the renderer, 0 white placeholder
    char *name;  // file name and extension: the sharing key
    char *path;  // where it loads from
    int32_t width, height, bpp;
    uint8_t *pixels;
    uint32_t size;
    void *video;
    float stream_time;
    int32_t cur_frame;
    int32_t lock_count;
    scene *sc;
    OGL_texture *ogl_tex;
};

// Decodes an image file into new pixels (freed with mem_free).
typedef bool (*unitexture_image_loader)(const char *path, int *w, int *h, int *bpp, uint8_t **pixels);
// Replaces the image loader (null restores the default, the engine's image loader).
void unitexture_set_image_loader(unitexture_image_loader loader);

unitexture *unitexture_init_and_lock(const char *path, const char *name, uint32_t options);
void unitexture_insert_into_scene(unitexture *u, scene *sc);
bool unitexture_is_in_scene(const unitexture *u);
void unitexture_lock(unitexture *u);
// At lock count 0 the record is unloaded, taken out of its scene and destroyed.
void unitexture_unlock(unitexture *u);
void unitexture_unlock_and_deinit(unitexture *u);
int32_t unitexture_get_lock_count(const unitexture *u);
const char *unitexture_get_name(const unitexture *u);
const char *unitexture_get_filename(const unitexture *u);
const uint8_t *unitexture_get_data(const unitexture *u, int *w, int *h, int *bpp);
// Drops the decoded pixels (the renderer calls it after upload when it keeps its own copy).
void unitexture_release_pixels(unitexture *u);
OGL_texture *unitexture_get_ogl_texture(const unitexture *u);
void unitexture_set_ogl_texture(unitexture *u, OGL_texture *tex);
bool unitexture_is_loaded(const unitexture *u);
int32_t unitexture_get_lod(const unitexture *u);
void unitexture_set_lod(unitexture *u, int32_t lod);
// Decodes the image (or makes the placeholder) and creates the renderer texture.
bool unitexture_load(unitexture *u);
void __unitexture_unload(unitexture *u);
void unitexture_update(unitexture *u, float dt);
// Init, load and lock in one call; none on failure (with the message).
unitexture *unitexture_build(const char *path, const char *name, uint32_t options);
