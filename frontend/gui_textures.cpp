#include "gui_textures.h"

#include <cstring>

#include "corelib/array.h"
#include "corelib/gfxloader.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "renderer/OGL_texture.h"

struct __shared_texture {
    char *file;
    OGL_texture *texture;
    int refs;
};

static array<__shared_texture> *textures;

OGL_texture *gui_texture_load(const char *file, const char *name)
{
    OGL_texture *t = OGL_texture_load_picture(file, name);
    if (!t) do_log(LOG_WARNING, LOG_TO_FILE | LOG_TO_DEBUGGER, "gui: cannot load the picture \"%s\"", file);
    return t;
}

OGL_texture *gui_texture_get(const char *file)
{
    if (!textures && !(textures = array_new<__shared_texture>())) return nullptr;
    for (__shared_texture &t : *textures)
        if (std::strcmp(t.file, file) == 0) {
            t.refs++;
            return t.texture;
        }
    __shared_texture t = {mem_strdup(file), gui_texture_load(file, file), 1};
    if (!t.texture || !t.file || !textures->add(t)) {
        if (t.texture) OGL_texture_free(t.texture);
        mem_free(t.file);
        return nullptr;
    }
    return t.texture;
}

void gui_texture_release(OGL_texture *texture)
{
    if (!texture || !textures) return;
    for (uint32_t i = 0; i < textures->get_size(); i++) {
        __shared_texture &t = (*textures)[i];
        if (t.texture != texture) continue;
        if (--t.refs > 0) return;
        OGL_texture_free(t.texture);
        mem_free(t.file);
        (*textures)[i] = (*textures)[textures->get_size() - 1];
        textures->cur_elements--;
        if (textures->get_size() == 0) {
            array_free(textures);
            textures = nullptr;
        }
        return;
    }
    BUG(); // a texture this module never gave out
}

int gui_texture_count() { return textures ? int(textures->get_size()) : 0; }
