// An instance's material as a render profile record.
//
// A composite material draws with the multitexture profile, its sub-materials
// as layers; when none of them can be a layer, it draws as its first resolved
// sub-material.
//
// Maps that the single-texture profile cannot take (sides that are not powers
// of two from 2 to 8192, a normal map of another depth than 24 or 32 bits) are
// left out with a message naming the file; without a usable diffuse map the
// instance draws with the solid profile in the material's diffuse colour.

#include <algorithm>

#include "corelib/log.h"
#include "renderer/OGL_mesh.h"
#include "renderer/OGL_render_profiles.h"
#include "renderer/OGL_scene.h"
#include "renderer/OGL_scene_parts.h"
#include "renderer/OGL_texture.h"
#include "scene/material.h"
#include "scene/object.h"
#include "scene/object_instance.h"
#include "scene/unitexture.h"

// The material an instance draws with: a composite one by its first resolved
// sub-material.
static const material *__drawn_material(const object_instance *oi)
{
    const material *m = oi->mat;
    if (m && m->material_kind == MATERIAL_KIND_COMPOSITE) {
        const material *first = nullptr;
        for (uint32_t i = 0; i < m->submat_no && !first; i++) first = material_get_submat(m, i);
        m = first;
    }
    return m;
}

bool __OGL_scene_material_lit(const object_instance *oi)
{
    const material *m = __drawn_material(oi);
    if (!m) return true;
    // A fully emissive material shows its maps at full brightness whatever the lights.
    const tacka4 &e = m->colors[3];
    return !m->render_flag && !(e.x >= 1.0f && e.y >= 1.0f && e.z >= 1.0f);
}

tacka3 __OGL_scene_material_ambient(const object_instance *oi)
{
    const material *m = __drawn_material(oi);
    return m ? tacka3{m->colors[1].x, m->colors[1].y, m->colors[1].z} : tacka3{1, 1, 1};
}

static const char *__oi_name(const object_instance *oi) { return OI_has_name(oi) ? oi->name : "(unnamed)"; }

// The slot's renderer texture when the profile can take it.
static OGL_texture *__texture(const object_instance *oi, const material *m, int slot)
{
    if (!material_has_texture(m, slot)) return nullptr;
    const unitexture *u = material_get_texture(m, slot);
    OGL_texture *t = u ? unitexture_get_ogl_texture(u) : nullptr;
    if (!t) return nullptr;
    bool ok = OGL_texture_is_allowed_3d_texture_size(t);
    if (ok && slot == MAT_SLOT_BUMP && t->bpp != 24 && t->bpp != 32) ok = false;
    if (!ok) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE,
               "OGL_scene: instance \"%s\": %s map \"%s\" (%u x %u, %ubpp) cannot be drawn, left out",
               log_quote(__oi_name(oi)).text, material_slot_name(slot), log_quote(u->path ? u->path : "").text,
               t->xsize, t->ysize, t->bpp);
        return nullptr;
    }
    return t;
}

static uint32_t __uv(const material *m, int slot)
{
    int32_t ch = m->slots[slot].uv_channel;
    return ch > 0 ? uint32_t(ch) : 0u;
}

static tacka4 __rgb1(tacka4 c) { return tacka4{c.x, c.y, c.z, 1.0f}; }

static bool __prepare_solid(object_instance *oi, OGL_mesh_instance *mi, const material *m, const char *name)
{
    OGL_solid_data d{};
    d.two_sided = oi->desc.no_cull != 0;
    d.lit = __OGL_scene_material_lit(oi);
    d.diffuse = m ? __rgb1(m->colors[0]) : tacka4{0.7f, 0.7f, 0.7f, 1.0f};
    d.specular = m ? __rgb1(m->colors[2]) : tacka4{0, 0, 0, 1};
    d.emission = m ? __rgb1(m->colors[3]) : tacka4{0, 0, 0, 1};
    d.shininess = m ? std::clamp(m->values[0], 0.0f, 1.0f) : 0.0f;
    OGL_render_profile *p = OGL_render_profiles_get(OGL_RENDER_PROFILE_SOLID);
    return p && OGL_render_profile_prepare(p, mi, name, &d);
}

// A composite material as multitexture layers: each sub-material's diffuse map
// under its opacity map (or, without one, its self-illumination map).
static bool __prepare_composite(object_instance *oi, OGL_mesh_instance *mi, const material *m, const char *name)
{
    OGL_multitexture_data d{};
    d.diffuse = __rgb1(m->colors[0]);
    d.specular = __rgb1(m->colors[2]);
    d.emission = __rgb1(m->colors[3]);
    d.shininess = std::clamp(m->values[0], 0.0f, 1.0f);
    for (uint32_t i = 0; i < m->submat_no && d.layersno < OGL_MULTITEXTURE_MAX_LAYERS; i++) {
        const material *sub = material_get_submat(m, i);
        OGL_texture *colour = sub ? __texture(oi, sub, MAT_SLOT_DIFFUSE) : nullptr;
        if (!colour) continue;
        int mask_slot = material_has_texture(sub, MAT_SLOT_OPACITY) ? MAT_SLOT_OPACITY : MAT_SLOT_SELFILLUMINATION;
        OGL_texture *mask = __texture(oi, sub, mask_slot);
        if (!mask) {
            do_log(LOG_WARNING, LOG_TO_MSGBOX,
                   "\nComposite submaterial:\n - %s \ndoesn't have opacity texture!\nYou MUST always assign an opacity "
                   "texture when using composite materials.",
                   log_quote(material_has_name(sub) ? sub->name : "(unnamed)").text);
            if (d.layersno > 0) continue;
            mask = colour; // the bottom layer covers everything anyway
            mask_slot = MAT_SLOT_DIFFUSE;
        }
        OGL_multitexture_layer &l = d.layers[d.layersno];
        l.color_texture = colour;
        l.color_uv_channel = __uv(sub, MAT_SLOT_DIFFUSE);
        l.mask_texture = mask;
        l.mask_uv_channel = __uv(sub, mask_slot);
        if (!OGL_mesh_has_tvertexs_channel(mi->mesh, l.color_uv_channel) ||
            !OGL_mesh_has_tvertexs_channel(mi->mesh, l.mask_uv_channel))
            continue;
        d.layersno++;
    }
    if (d.layersno == 0) return false;
    OGL_render_profile *p = OGL_render_profiles_get(OGL_RENDER_PROFILE_MULTITEXTURE);
    return p && OGL_render_profile_prepare(p, mi, name, &d);
}

bool __OGL_scene_prepare_profile(object_instance *oi, OGL_mesh_instance *mi)
{
    const material *m = __drawn_material(oi);
    const char *name = object_has_name(oi->obj) ? oi->obj->name : __oi_name(oi);
    if (oi->mat && oi->mat->material_kind == MATERIAL_KIND_COMPOSITE && !oi->desc.texture_disabled &&
        __prepare_composite(oi, mi, oi->mat, name))
        return true;
    OGL_texture *diffuse = m && !oi->desc.texture_disabled ? __texture(oi, m, MAT_SLOT_DIFFUSE) : nullptr;
    if (diffuse && !OGL_mesh_has_tvertexs_channel(mi->mesh, __uv(m, MAT_SLOT_DIFFUSE))) {
        do_log(
            LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE,
            "OGL_scene: instance \"%s\": mesh \"%s\" has no texture channel %u for its diffuse map, drawn untextured",
            log_quote(__oi_name(oi)).text, log_quote(name).text, __uv(m, MAT_SLOT_DIFFUSE));
        diffuse = nullptr;
    }
    if (!diffuse) return __prepare_solid(oi, mi, m, name);

    OGL_single_texture_data d{};
    d.diffuse_texture = diffuse;
    d.diffuse = true;
    d.diffuse_uv_channel = __uv(m, MAT_SLOT_DIFFUSE);
    if ((d.bump_texture = __texture(oi, m, MAT_SLOT_BUMP))) {
        d.bump = true;
        d.bump_uv_channel = d.diffuse_uv_channel; // the tangent frame follows the diffuse mapping
    }
    if ((d.specular_texture = __texture(oi, m, MAT_SLOT_SPECULAR))) {
        d.specular = true;
        d.specular_uv_channel = __uv(m, MAT_SLOT_SPECULAR);
    }
    if ((d.selfillumination_texture = __texture(oi, m, MAT_SLOT_SELFILLUMINATION))) {
        d.selfillumination = true;
        d.selfillumination_uv_channel = __uv(m, MAT_SLOT_SELFILLUMINATION);
    }
    if ((d.detail_texture = __texture(oi, m, MAT_SLOT_DETAIL))) {
        d.detail = true;
        d.detail_uv_channel = __uv(m, MAT_SLOT_DETAIL);
    }
    if ((d.reflection_texture = __texture(oi, m, MAT_SLOT_REFLECTION))) {
        d.reflection = true;
        d.reflection_uv_channel = __uv(m, MAT_SLOT_REFLECTION);
    }
    d.lit = __OGL_scene_material_lit(oi);
    d.use_vertex_colors = !d.lit && oi->obj->cvertexs != nullptr;
    d.two_sided = oi->desc.no_cull != 0;
    d.no_fog = oi->desc.no_fog != 0;
    d.blended = (oi->desc.transparent || oi->desc.additive) && !oi->desc.disable_alpha_blending;
    d.additive = d.blended && oi->desc.additive;
    d.layer = std::clamp(int(oi->desc.en_render_level), 0, 7);
    d.no_depth_write = oi->desc.disable_z_writes != 0;
    d.lod = float(oi->desc.surface_lod);
    d.mat_diffuse = __rgb1(m->colors[0]);
    d.mat_specular = __rgb1(m->colors[2]);
    d.mat_emission = __rgb1(m->colors[3]);
    d.shininess = std::clamp(m->values[0], 0.0f, 1.0f);
    OGL_render_profile *p = OGL_render_profiles_get(OGL_RENDER_PROFILE_SINGLE_TEXTURE);
    return p && OGL_render_profile_prepare(p, mi, name, &d);
}
