#include "scene/material.h"

#include <cstdio>
#include <cstring>

#include "corelib/log.h"
#include "corelib/mem.h"
#include "scene/scene.h"
#include "scene/unitexture.h"

const int MATERIAL_SLOT_LOAD_ORDER[MAT_SLOTS] = {MAT_SLOT_DIFFUSE,   MAT_SLOT_OPACITY,          MAT_SLOT_BUMP,
                                                 MAT_SLOT_SPECULAR,  MAT_SLOT_SELFILLUMINATION, MAT_SLOT_DETAIL,
                                                 MAT_SLOT_REFLECTION};

static const char *const slot_names[MAT_SLOTS] = {"diffuse",          "bump",   "opacity",   "specular",
                                                  "selfillumination", "detail", "reflection"};

const char *material_slot_name(int slot) { return slot >= 0 && slot < MAT_SLOTS ? slot_names[slot] : "?"; }

static uint32_t __bit(int slot, int k) { return 1u << (slot * 3 + k); }

material *material_init()
{
    material *m = mem_new_zeroed<material>();
    if (!m) return nullptr;
    m->texture_lod = 3;
    for (tacka4 &c : m->colors) c.w = 1.0f;
    return m;
}

void material_deinit(material *m)
{
    if (!m) return;
    for (int s = 0; s < MAT_SLOTS; s++) {
        material_unload_texture(m, s);
        mem_free(m->slots[s].file_name);
    }
    material_deinit(m->submat1);
    material_deinit(m->submat2);
    for (uint32_t i = 0; i < m->submat_no; i++) mem_free(m->submat_names[i]);
    mem_free(m->submat_names);
    mem_free(m->submats);
    mem_free(m->name);
    mem_free(m);
}

bool material_has_name(const material *m) { return (m->flags & MAT_NAME) != 0; }
const char *material_get_name(const material *m)
{
    if (!material_has_name(m)) BUG();
    return m->name;
}
void material_insert_name(material *m, char *name)
{
    mem_free(m->name);
    m->name = name;
    m->flags |= MAT_NAME;
}
bool material_copy_name(material *m, const char *name)
{
    char *c = mem_strdup(name);
    if (!c) return false;
    material_insert_name(m, c);
    return true;
}
void material_free_name(material *m)
{
    mem_free(m->name);
    m->name = nullptr;
    m->flags &= ~MAT_NAME;
}
bool material_has_id(const material *m) { return (m->flags & MAT_ID) != 0; }
uint32_t material_get_id(const material *m)
{
    ASSERT(material_has_id(m));
    return m->id;
}
void material_set_id(material *m, uint32_t id)
{
    m->id = id;
    m->flags |= MAT_ID;
}
void material_removed_from_renderer(material *m)
{
    ASSERT(m->in_renderer_ref_counter > 0);
    m->in_renderer_ref_counter--;
}

bool material_has_texture_file_name(const material *m, int slot) { return (m->flags & __bit(slot, 0)) != 0; }
const char *material_get_texture_file_name(const material *m, int slot)
{
    ASSERT(material_has_texture_file_name(m, slot));
    return m->slots[slot].file_name;
}
void material_insert_texture_file_name(material *m, int slot, char *name)
{
    ASSERT(slot >= 0 && slot < MAT_SLOTS);
    mem_free(m->slots[slot].file_name);
    m->slots[slot].file_name = name;
    m->flags |= __bit(slot, 0);
}
bool material_copy_texture_file_name(material *m, int slot, const char *name)
{
    char *c = mem_strdup(name);
    if (!c) return false;
    material_insert_texture_file_name(m, slot, c);
    return true;
}
void material_free_texture_file_name(material *m, int slot)
{
    mem_free(m->slots[slot].file_name);
    m->slots[slot].file_name = nullptr;
    m->flags &= ~__bit(slot, 0);
}
bool material_has_texture(const material *m, int slot) { return (m->flags & __bit(slot, 1)) != 0; }
unitexture *material_get_texture(const material *m, int slot)
{
    ASSERT(material_has_texture(m, slot));
    return m->slots[slot].tex;
}
bool material_has_slot_params(const material *m, int slot) { return (m->flags & __bit(slot, 2)) != 0; }
void material_set_slot_params(material *m, int slot, int32_t uv_channel, uint32_t p1, uint32_t p2)
{
    m->slots[slot].uv_channel = uv_channel;
    m->slots[slot].param[0] = p1;
    m->slots[slot].param[1] = p2;
    m->flags |= __bit(slot, 2);
}
int32_t material_get_texture_uv_channel_no(const material *m, int slot)
{
    ASSERT(material_has_slot_params(m, slot));
    return m->slots[slot].uv_channel;
}

static uint32_t __texture_options(const material *m)
{
    uint32_t opt = UNITEX_OPT_BASE1 | UNITEX_OPT_BASE2;
    if (!m->no_mipmap) opt |= UNITEX_OPT_MIPMAP;
    if (m->texture_option2) opt |= UNITEX_OPT_EXTRA;
    opt |= uint32_t(m->texture_lod & 3) << UNITEX_OPT_LOD_SHIFT;
    return opt;
}

bool material_load_texture(material *m, int slot, scene *sc, const char *folder)
{
    const char *file = material_get_texture_file_name(m, slot);
    unitexture *u = scene_get_unitexture(sc, file);
    if (u) {
        if (unitexture_get_lod(u) < m->texture_lod) unitexture_set_lod(u, m->texture_lod);
        unitexture_lock(u);
    } else {
        size_t n = strlen(folder) + strlen(file) + 1;
        char *path = static_cast<char *>(mem_alloc(n));
        if (!path) return false;
        snprintf(path, n, "%s%s", folder, file);
        u = unitexture_init_and_lock(path, file, __texture_options(m));
        if (!u) {
            do_log(LOG_WARNING, LOG_TO_MSGBOX | LOG_TO_DEBUGGER, "unitexture_init_and_lock(\"%s\") FAILED!",
                   log_quote(path).text);
            mem_free(path);
            return false;
        }
        mem_free(path);
        scene_add_unitexture(sc, u);
    }
    m->slots[slot].tex = u;
    m->flags |= __bit(slot, 1);
    return true;
}

void material_unload_texture(material *m, int slot)
{
    if (!material_has_texture(m, slot)) return;
    unitexture *u = m->slots[slot].tex;
    m->slots[slot].tex = nullptr;
    m->flags &= ~__bit(slot, 1);
    unitexture_unlock(u);
}

#define MATERIAL_SLOT_DEF(n, S) \
    bool material_copy_##n##_texture_file_name(material *m, const char *name) \
    { \
        return material_copy_texture_file_name(m, S, name); \
    } \
    void material_insert_##n##_texture_file_name(material *m, char *name) \
    { \
        material_insert_texture_file_name(m, S, name); \
    } \
    const char *material_get_##n##_texture_file_name(const material *m) \
    { \
        return material_get_texture_file_name(m, S); \
    } \
    void material_free_##n##_texture_file_name(material *m) { material_free_texture_file_name(m, S); } \
    unitexture *material_get_##n##_texture(const material *m) { return material_get_texture(m, S); } \
    int32_t material_get_##n##_texture_uv_channel_no(const material *m) \
    { \
        return material_get_texture_uv_channel_no(m, S); \
    } \
    bool material_load_##n##_texture(material *m, scene *sc, const char *folder) \
    { \
        return material_load_texture(m, S, sc, folder); \
    } \
    void material_unload_##n##_texture(material *m) { material_unload_texture(m, S); }
MATERIAL_SLOT_DEF(diffuse, MAT_SLOT_DIFFUSE)
MATERIAL_SLOT_DEF(opacity, MAT_SLOT_OPACITY)
MATERIAL_SLOT_DEF(bump, MAT_SLOT_BUMP)
MATERIAL_SLOT_DEF(specular, MAT_SLOT_SPECULAR)
MATERIAL_SLOT_DEF(selfillumination, MAT_SLOT_SELFILLUMINATION)
MATERIAL_SLOT_DEF(detail, MAT_SLOT_DETAIL)
MATERIAL_SLOT_DEF(reflection, MAT_SLOT_REFLECTION)
#undef MATERIAL_SLOT_DEF

// The material owns its sub-materials: one that is replaced is freed.
void material_set_submat1(material *m, material *sub)
{
    if (m->submat1 != sub) material_deinit(m->submat1);
    m->submat1 = sub;
}
void material_set_submat2(material *m, material *sub)
{
    if (m->submat2 != sub) material_deinit(m->submat2);
    m->submat2 = sub;
}
material *material_get_submat1(const material *m) { return m->submat1; }
material *material_get_submat2(const material *m) { return m->submat2; }

bool material_reserve_submats(material *m, uint32_t count)
{
    if (count <= m->submat_no) return true;
    if (count > m->submat_capacity) {
        uint32_t cap = m->submat_capacity ? m->submat_capacity : 4;
        while (cap < count) cap = cap > UINT32_MAX / 2 ? count : cap * 2;
        char **names = static_cast<char **>(mem_realloc(m->submat_names, size_t(cap) * sizeof(char *)));
        if (!names) return false;
        m->submat_names = names;
        material **subs = static_cast<material **>(mem_realloc(m->submats, size_t(cap) * sizeof(material *)));
        if (!subs) return false;
        m->submats = subs;
        m->submat_capacity = cap;
    }
    for (uint32_t i = m->submat_no; i < count; i++) {
        m->submat_names[i] = nullptr;
        m->submats[i] = nullptr;
    }
    m->submat_no = count;
    return true;
}
bool material_copy_submat_name(material *m, const char *name, uint32_t index)
{
    if (!material_reserve_submats(m, index + 1)) return false;
    char *c = mem_strdup(name);
    if (!c) return false;
    mem_free(m->submat_names[index]);
    m->submat_names[index] = c;
    return true;
}
const char *material_get_submat_name(const material *m, uint32_t index)
{
    return index < m->submat_no ? m->submat_names[index] : nullptr;
}
material *material_get_submat(const material *m, uint32_t index)
{
    return index < m->submat_no ? m->submats[index] : nullptr;
}
void material_set_submat(material *m, uint32_t index, material *sub)
{
    ASSERT(index < m->submat_no);
    m->submats[index] = sub;
}
uint32_t material_get_submat_no(const material *m) { return m->submat_no; }

bool material_prepare_textures(material *m, scene *sc, const char *folder)
{
    for (int s : MATERIAL_SLOT_LOAD_ORDER)
        if (material_has_texture_file_name(m, s) && !material_has_texture(m, s) &&
            !material_load_texture(m, s, sc, folder))
            return false;
    // The nested materials of a two-material material draw with their own textures.
    if (m->submat1 && !material_prepare_textures(m->submat1, sc, folder)) return false;
    if (m->submat2 && !material_prepare_textures(m->submat2, sc, folder)) return false;
    return true;
}

void __material_to_unitexture_lod(material *m, int level)
{
    if (level < 0 || level > 3) BUG();
    m->texture_lod = level;
    for (int s = 0; s < MAT_SLOTS; s++)
        if (material_has_texture(m, s) && unitexture_get_lod(m->slots[s].tex) < level)
            unitexture_set_lod(m->slots[s].tex, level);
}
