// User-defined properties of object instances and the description block.

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "corelib/log.h"
#include "corelib/mem.h"
#include "corelib/parser.h"
#include "corelib/text_buffer.h"
#include "scene/object_instance.h"
#include "scene/scene.h"
#include "scene/scene_renderer.h"

#define S PARSER_VALUE_STRING
#define I PARSER_VALUE_INTEGER
#define F PARSER_VALUE_FLOAT
#define B PARSER_VALUE_BOOLEAN
static const parser_key oi_property_keys[] = {
    {"not_renderable", 1, B, 0},
    {"invisible", 1, B, 0},
    {"disable_alpha_blending", 1, B, 0},
    {"additive", 1, B, 0},
    {"transparent", 1, B, 0},
    {"blurfx", 1, B, 0},
    {"outline", 1, B, 0},
    {"cast_shadow", 1, B, 0},
    {"receive_shadow", 1, B, 0},
    {"not_hw_lit", 1, B, 0},
    {"cell_shaded", 1, B, 0},
    {"do_not_texture", 1, B, 0},
    {"glowing", 1, B, 0},
    {"wireframe", 1, B, 0},
    {"bump_mapped", 1, B, 0},
    {"billboarded", 1, B, 0},
    {"force_separate_lighting", 1, B, 0},
    {"collidable", 1, B, 0},
    {"solid", 1, B, 0},
    {"dynamic", 1, B, 0},
    {"o_instance", 1, S, 0},
    {"no_fog", 1, B, 0},
    {"no_cull", 1, B, 0},
    {"do_not_frustum_cull", 1, B, 0},
    {"detail", 1, B, 0},
    {"detail_map", 1, I, 0},
    {"detail_scale", 1, F, 0},
    {"env_map", 1, I, 0},
    {"env_mapped", 1, B, 0},
    {"not_mipmapped", 1, B, 0},
    {"terra_map", 1, B, 0},
    {"terra_map_num", 1, I, 0},
    {"load_map", 1, S, 0},
    {"load_tile", 1, S, 0},
    {"terra_use_texgen", 1, B, 0},
    {"display_priority", 1, I, 0},
    {"en_fk_do_not_play", 1, B, 0},
    {"en_fk_play_once", 1, B, 0},
    {"en_render_level", 1, I, 0},
    {"surface_lod", 1, I, 0},
    {"surface_lod_enabled", 1, B, 0},
    {"surface_lod_distance", 1, F, 0},
    {"ambient_r", 1, F, 0},
    {"ambient_g", 1, F, 0},
    {"ambient_b", 1, F, 0},
};
#undef S
#undef I
#undef F
#undef B
static_assert(sizeof(oi_property_keys) / sizeof(oi_property_keys[0]) == 45, "the property table has 45 keys");

const parser_key *OI_get_property_key_table(uint32_t *count)
{
    *count = uint32_t(sizeof(oi_property_keys) / sizeof(oi_property_keys[0]));
    return oi_property_keys;
}

// Keys the table accepts that have no field in the description block.
static const char *const ignored_keys[] = {
    "cell_shaded", "do_not_texture", "wireframe",        "bump_mapped",
    "o_instance",  "detail",         "detail_map",       "detail_scale",
    "env_map",     "env_mapped",     "terra_map",        "terra_map_num",
    "load_map",    "load_tile",      "terra_use_texgen", "force_separate_lighting",
};

enum { DESC_BOOL, DESC_INT, DESC_FLOAT };
struct desc_field {
    const char *key;
    int kind;
    size_t offset;
};
#define DB(k, f) \
    { \
        k, DESC_BOOL, offsetof(oi_desc, f) \
    }
static const desc_field desc_fields[] = {
    DB("dynamic", dynamic),
    DB("do_not_frustum_cull", do_not_frustum_cull),
    DB("frustum", do_not_frustum_cull),
    DB("invisible", invisible),
    DB("not_renderable", not_renderable),
    DB("disable_alpha_blending", disable_alpha_blending),
    DB("additive", additive),
    DB("transparent", transparent),
    DB("outline", outline),
    DB("cast_shadow", cast_shadow),
    DB("receive_shadow", receive_shadow),
    DB("not_hw_lit", not_hw_lit),
    DB("texture_disabled", texture_disabled),
    DB("billboarded", billboarded),
    DB("no_fog", no_fog),
    DB("disable_z_writes", disable_z_writes),
    DB("no_cull", no_cull),
    DB("not_mipmapped", not_mipmapped),
    DB("blurfx", blurfx),
    DB("glowing", glowing),
    DB("collidable", collidable),
    DB("solid", solid),
    DB("en_fk_play_once", en_fk_play_once),
    DB("en_fk_do_not_play", en_fk_do_not_play),
    DB("surface_lod_enabled", surface_lod_enabled),
    {"display_priority", DESC_INT, offsetof(oi_desc, display_priority)},
    {"en_render_level", DESC_INT, offsetof(oi_desc, en_render_level)},
    {"surface_lod", DESC_INT, offsetof(oi_desc, surface_lod)},
    {"surface_lod_distance", DESC_FLOAT, offsetof(oi_desc, surface_lod_distance)},
    {"ambient_r", DESC_FLOAT, offsetof(oi_desc, ambient) + 0 * sizeof(float)},
    {"ambient_g", DESC_FLOAT, offsetof(oi_desc, ambient) + 1 * sizeof(float)},
    {"ambient_b", DESC_FLOAT, offsetof(oi_desc, ambient) + 2 * sizeof(float)},
};
#undef DB

static bool __to_int(const char *v, int32_t *out)
{
    if (!v || !*v) return false;
    errno = 0;
    char *end;
    long long n = strtoll(v, &end, 10);
    if (*end || errno || n < INT32_MIN || n > INT32_MAX) return false;
    *out = int32_t(n);
    return true;
}

static bool __to_float(const char *v, float *out)
{
    if (!v || !*v) return false;
    char *end;
    float f = strtof(v, &end);
    if (*end || !std::isfinite(f)) return false;
    *out = f;
    return true;
}

static void __apply_effect(object_instance *oi, const char *key)
{
    const scene_renderer_hooks *h = scene_renderer_get_hooks();
    bool in_renderer = (oi->flags & OI_IN_RENDERER) != 0;
    if (!strcmp(key, "invisible")) {
        if (in_renderer && h->oi_set_visible) h->oi_set_visible(oi, oi->desc.visible && !oi->desc.invisible);
    } else if (!strcmp(key, "collidable")) {
        if (oi->sc) {
            bool listed = (oi->flags & OI_IN_COLLIDABLE_LIST) != 0;
            if (oi->desc.collidable && !listed)
                scene_collidable_ois_add_to_list(oi->sc, oi);
            else if (!oi->desc.collidable && listed)
                scene_collidable_ois_remove_from_list(oi->sc, oi);
        }
    } else if (!strcmp(key, "not_renderable")) {
        // Takes the instance out of an attached scene's renderer, or puts it back.
        if (oi->desc.not_renderable && in_renderer) {
            OI_remove_from_renderer(oi);
        } else if (!oi->desc.not_renderable && !in_renderer && oi->sc && scene_is_attached(oi->sc) &&
                   OI_insert_into_renderer(oi) == SCENE_RENDERER_TAKEN) {
            OI_update_lights_to_mesh_instance(oi);
            OI_insert_into_profile(oi);
        }
    } else if (!strcmp(key, "disable_z_writes")) {
        if (in_renderer) OI_insert_into_profile(oi);
    }
}

bool OI_set_desc(object_instance *oi, const char *key, const char *value)
{
    for (const desc_field &f : desc_fields) {
        if (strcasecmp(f.key, key) != 0) continue;
        char *at = reinterpret_cast<char *>(&oi->desc) + f.offset;
        switch (f.kind) {
        case DESC_BOOL: {
            uint8_t b;
            if (value && !strcmp(value, "true"))
                b = 1;
            else if (value && !strcmp(value, "false"))
                b = 0;
            else
                return false;
            *reinterpret_cast<uint8_t *>(at) = b;
            break;
        }
        case DESC_INT: {
            int32_t n;
            if (!__to_int(value, &n)) return false;
            std::memcpy(at, &n, sizeof(n));
            break;
        }
        case DESC_FLOAT: {
            float x;
            if (!__to_float(value, &x)) return false;
            std::memcpy(at, &x, sizeof(x));
            break;
        }
        }
        __apply_effect(oi, f.key);
        return true;
    }
    for (const char *k : ignored_keys)
        if (!strcasecmp(k, key)) return true;
    return false;
}

const oi_desc *OI_get_desc(const object_instance *oi) { return &oi->desc; }

bool OI_has_user_defined_properties(const object_instance *oi) { return (oi->flags & OI_USER_PROPERTIES) != 0; }
bool OI_copy_user_defined_properties(object_instance *oi, const char *text)
{
    char *c = mem_strdup(text);
    if (!c) return false;
    mem_free(oi->user_properties);
    oi->user_properties = c;
    oi->flags |= OI_USER_PROPERTIES;
    return true;
}
const char *OI_get_user_defined_properties(const object_instance *oi)
{
    if (!OI_has_user_defined_properties(oi)) BUG();
    return oi->user_properties;
}
void OI_free_user_defined_properties(object_instance *oi)
{
    ASSERT(OI_has_user_defined_properties(oi));
    mem_free(oi->user_properties);
    oi->user_properties = nullptr;
    oi->flags &= ~OI_USER_PROPERTIES;
}

bool OI_parse_user_defined_properties(object_instance *oi)
{
    if (!OI_has_user_defined_properties(oi)) return true;
    if (!parser_is_inited() && !parser_init()) return false;
    const char *text = oi->user_properties;
    uint32_t count;
    const parser_key *keys = OI_get_property_key_table(&count);
    text_buffer *line = text_buffer_new();
    if (!line) return false;
    uint32_t start, end, pos = 0;
    bool ok = true;
    while (parser_next_line(text, pos, &start, &end)) {
        pos = end;
        if (!text_buffer_assign(line, text + start, end - start)) {
            ok = false;
            break;
        }
        parser_line *rec = parser_line_new();
        if (!rec) {
            ok = false;
            break;
        }
        if (parser_process_line(rec, keys, count, text_buffer_text(line)) == PARSER_LINE_PARSED)
            OI_set_desc(oi, rec->key, rec->value1);
        parser_line_free(rec);
    }
    text_buffer_free(line);
    return ok;
}
