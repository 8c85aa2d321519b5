#include "scene/unitexture.h"

#include <cstring>
#include <string>
#include <strings.h>

#include "corelib/files.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "scene/scene.h"
#include "scene/scene_renderer.h"

#if __has_include("corelib/gfxloader.h")
#include "corelib/gfxloader.h"
#define UNITEX_HAVE_GFXLOADER 1
#endif

// The one place where image files are decoded.
static bool __default_image_loader(const char *path, int *w, int *h, int *bpp, uint8_t **pixels)
{
#ifdef UNITEX_HAVE_GFXLOADER
    unsigned char *px = nullptr;
    if (!gfxloader_load_smart(path, w, h, bpp, &px)) return false;
    *pixels = px;
    return true;
#else
    (void)path, (void)w, (void)h, (void)bpp, (void)pixels;
    return false;
#endif
}

static unitexture_image_loader g_loader = __default_image_loader;

void unitexture_set_image_loader(unitexture_image_loader loader)
{
    g_loader = loader ? loader : __default_image_loader;
}

unitexture *unitexture_init_and_lock(const char *path, const char *name, uint32_t options)
{
    unitexture *u = mem_new_zeroed<unitexture>();
    if (!u) return nullptr;
    u->path = mem_strdup(path);
    u->name = mem_strdup(name);
    if (!u->path || !u->name) {
        mem_free(u->path);
        mem_free(u->name);
        mem_free(u);
        return nullptr;
    }
    u->flags = UNITEX_NAME | UNITEX_FILENAME;
    u->options = options;
    u->lod = int32_t((options >> UNITEX_OPT_LOD_SHIFT) & 3);
    u->requested_level = u->lod;
    u->lock_count = 1;
    u->cur_frame = -1;
    return u;
}

void unitexture_insert_into_scene(unitexture *u, scene *sc)
{
    ASSERT(!unitexture_is_in_scene(u));
    u->sc = sc;
    u->flags |= UNITEX_IN_SCENE;
}
bool unitexture_is_in_scene(const unitexture *u) { return (u->flags & UNITEX_IN_SCENE) != 0; }
void unitexture_lock(unitexture *u) { u->lock_count++; }

static void __destroy(unitexture *u)
{
    if (u->flags & UNITEX_LOADED || u->flags & UNITEX_OGL) __unitexture_unload(u);
    if (unitexture_is_in_scene(u)) scene_remove_unitexture(u->sc, u);
    mem_free(u->name);
    mem_free(u->path);
    mem_free(u);
}

void unitexture_unlock(unitexture *u)
{
    ASSERT(u->lock_count > 0);
    if (--u->lock_count == 0) __destroy(u);
}
void unitexture_unlock_and_deinit(unitexture *u)
{
    ASSERT(u->lock_count == 1);
    unitexture_unlock(u);
}
int32_t unitexture_get_lock_count(const unitexture *u) { return u->lock_count; }
const char *unitexture_get_name(const unitexture *u)
{
    ASSERT(u->flags & UNITEX_NAME);
    return u->name;
}
const char *unitexture_get_filename(const unitexture *u)
{
    ASSERT(u->flags & UNITEX_FILENAME);
    return u->path;
}
const uint8_t *unitexture_get_data(const unitexture *u, int *w, int *h, int *bpp)
{
    if (w) *w = u->width;
    if (h) *h = u->height;
    if (bpp) *bpp = u->bpp;
    return u->pixels;
}
void unitexture_release_pixels(unitexture *u)
{
    mem_free(u->pixels);
    u->pixels = nullptr;
    u->size = 0;
}
OGL_texture *unitexture_get_ogl_texture(const unitexture *u) { return u->ogl_tex; }
void unitexture_set_ogl_texture(unitexture *u, OGL_texture *tex)
{
    u->ogl_tex = tex;
    if (tex)
        u->flags |= UNITEX_OGL;
    else
        u->flags &= ~UNITEX_OGL;
}
bool unitexture_is_loaded(const unitexture *u) { return (u->flags & UNITEX_LOADED) != 0; }
int32_t unitexture_get_lod(const unitexture *u) { return u->lod; }
void unitexture_set_lod(unitexture *u, int32_t lod)
{
    if (lod < 0 || lod > 3) BUG();
    u->lod = lod;
}

static bool __has_suffix(const char *s, const char *suffix)
{
    size_t n = strlen(s), k = strlen(suffix);
    return n >= k && strcasecmp(s + n - k, suffix) == 0;
}

static bool __decode(unitexture *u)
{
    int w = 0, h = 0, bpp = 0;
    uint8_t *px = nullptr;
    std::string path = file_native_path(u->path);
    bool ok = g_loader(path.c_str(), &w, &h, &bpp, &px);
    if (!ok) {
        // The same drive, folder and base name with the other extensions.
        size_t slash = path.find_last_of("/\\:");
        size_t dot = path.rfind('.');
        std::string base =
            (dot != std::string::npos && (slash == std::string::npos || dot > slash)) ? path.substr(0, dot) : path;
        for (const char *ext : {".tga", ".bmp", ".jpg"}) {
            std::string alt = base + ext;
            if (alt == path) continue;
            if ((ok = g_loader(alt.c_str(), &w, &h, &bpp, &px))) break;
        }
    }
    if (!ok) return false;
    if (w <= 0 || h <= 0 || (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) || !px) {
        mem_free(px);
        return false;
    }
    u->width = w;
    u->height = h;
    u->bpp = bpp;
    u->pixels = px;
    u->size = uint32_t(size_t(w) * size_t(h) * size_t(bpp / 8));
    return true;
}

bool unitexture_load(unitexture *u)
{
    if (u->flags & UNITEX_LOADED) return true;
    if (u->lod == 0) {
        u->pixels = static_cast<uint8_t *>(mem_alloc(2 * 2 * 3));
        if (!u->pixels) return false;
        memset(u->pixels, 255, 2 * 2 * 3);
        u->width = u->height = 2;
        u->bpp = 24;
        u->size = 12;
    } else if (__has_suffix(u->name, ".avi")) {
        // Video textures need the video decoder, which this build does not have.
        do_log(LOG_WARNING, LOG_TO_ALL, "\t* failed to load texture %s, LOD level %i", log_quote(u->path).text,
               u->requested_level);
        return false;
    } else if (!__decode(u)) {
        do_log(LOG_WARNING, LOG_TO_MSGBOX | LOG_TO_FILE, "\t* failed to load texture %s, LOD level %i",
               log_quote(u->path).text, u->requested_level);
        return false;
    }
    u->flags |= UNITEX_LOADED;
    const scene_renderer_hooks *hk = scene_renderer_get_hooks();
    if (hk->texture_create) {
        if (!hk->texture_create(u)) {
            __unitexture_unload(u);
            return false;
        }
        u->flags |= UNITEX_OGL;
    }
    return true;
}

void __unitexture_unload(unitexture *u)
{
    const scene_renderer_hooks *hk = scene_renderer_get_hooks();
    if ((u->flags & UNITEX_OGL) && hk->texture_destroy) hk->texture_destroy(u);
    u->ogl_tex = nullptr;
    unitexture_release_pixels(u);
    u->width = u->height = u->bpp = 0;
    u->flags &= ~(UNITEX_LOADED | UNITEX_OGL);
}

void unitexture_update(unitexture *u, float dt)
{
    // Only video textures animate; this build has no video decoder, so
    // nothing can be animated yet.
    if (!(u->flags & UNITEX_ANIMATED)) return;
    u->stream_time += dt;
}

unitexture *unitexture_build(const char *path, const char *name, uint32_t options)
{
    unitexture *u = unitexture_init_and_lock(path, name, options);
    if (!u || !unitexture_load(u)) {
        do_log(LOG_WARNING, LOG_TO_ALL, "failed loading texture: %s", log_quote(path).text);
        if (u) unitexture_unlock(u);
        return nullptr;
    }
    return u;
}
