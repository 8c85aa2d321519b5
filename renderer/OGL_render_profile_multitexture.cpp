// The multitexture profile: up to eight layers, each a colour map under a
// mask, blended one over the other in fixed-function units, with two optional
// extra maps multiplied onto the frame by the last layer.

#include <cstdio>
#include <cstring>

#include "corelib/log.h"
#include "renderer/OGL_mesh.h"
#include "renderer/OGL_mesh_instance.h"
#include "renderer/OGL_render_profiles.h"
#include "renderer/OGL_render_queue.h"
#include "renderer/OGL_texture.h"

enum {
    MT_FIRST_LAYER = 0,
    MT_MIDDLE_LAYER = 1,
    MT_EXTRA_A = 2,
    MT_EXTRA_B = 3,
    MT_EXTRA_AB = 4,
    MT_STATES = 5,
};

static const OGL_render_pass_state *g_mt_states[MT_STATES];

static void __combine(OGL_texture_unit_state *t, GLenum rgb, GLenum s0, GLenum s1, GLenum alpha, GLenum as0, GLenum as1)
{
    t->env_mode = GL_COMBINE_ARB;
    t->combine_rgb = rgb;
    t->src0_rgb = s0;
    t->op0_rgb = GL_SRC_COLOR;
    t->src1_rgb = s1;
    t->op1_rgb = s1 ? GL_SRC_COLOR : 0;
    t->combine_alpha = alpha;
    t->src0_alpha = as0;
    t->op0_alpha = GL_SRC_ALPHA;
    t->src1_alpha = as1;
    t->op1_alpha = as1 ? GL_SRC_ALPHA : 0;
    t->rgb_scale = 1.0f;
}

static void __base(OGL_render_pass_state *ps, const char *name, int units)
{
    OGL_render_pass_state_clear(ps);
    ps->vertex_array_enabled = true;
    ps->vnormals_array_enabled = true;
    ps->texturing = true;
    for (int u = 0; u < units; u++) {
        ps->unit_enabled[u] = true;
        ps->tex_coord_array_enabled[u] = true;
    }
    std::snprintf(ps->name, sizeof(ps->name), "%s", name);
}

bool multi_texture_create_profile(OGL_render_profile *)
{
    OGL_render_pass_state ps;
    // Unit 0: colour map x previous; unit 1: colour kept, alpha = the mask.
    __base(&ps, "mt first", 2);
    __combine(&ps.tus[0], GL_MODULATE, GL_TEXTURE, GL_PREVIOUS_ARB, GL_MODULATE, GL_TEXTURE, GL_PREVIOUS_ARB);
    __combine(&ps.tus[1], GL_REPLACE, GL_PREVIOUS_ARB, 0, GL_REPLACE, GL_TEXTURE, 0);
    g_mt_states[MT_FIRST_LAYER] = OGL_render_pass_state_share(&ps);

    std::snprintf(ps.name, sizeof(ps.name), "mt middle");
    ps.blending = true;
    ps.blend_src = GL_SRC_ALPHA;
    ps.blend_dst = GL_ONE_MINUS_SRC_ALPHA;
    g_mt_states[MT_MIDDLE_LAYER] = OGL_render_pass_state_share(&ps);

    for (int which : {MT_EXTRA_A, MT_EXTRA_B, MT_EXTRA_AB}) {
        __base(&ps,
               which == MT_EXTRA_A   ? "mt extra a"
               : which == MT_EXTRA_B ? "mt extra b"
                                     : "mt extra ab",
               which == MT_EXTRA_AB ? 2 : 1);
        ps.lighting = true;
        ps.tus[0].env_mode = GL_MODULATE;
        ps.tus[1].env_mode = GL_MODULATE;
        ps.blending = true;
        ps.blend_src = GL_DST_COLOR;
        ps.blend_dst = GL_ZERO;
        g_mt_states[which] = OGL_render_pass_state_share(&ps);
    }
    return true;
}

static void __unit(OGL_render_pass_data *pd, const OGL_mesh *m, int u, OGL_texture *t, uint32_t channel)
{
    pd->textures[u] = t;
    pd->tex_coord_components[u] = 2;
    pd->tex_coord[u] = OGL_mesh_get_tvertexs_pointer(m, channel, &pd->tex_coord_stride[u]);
}

static bool __texture_ok(const OGL_texture *t) { return t && is_power_of_2(t->xsize) && is_power_of_2(t->ysize); }

bool multi_texture_prepare_mesh(OGL_render_profile *, OGL_mesh_instance *mi, const char *name, void *data_ptr)
{
    const OGL_multitexture_data *d = static_cast<const OGL_multitexture_data *>(data_ptr);
    const OGL_mesh *m = mi->mesh;
    ASSERT(d->layersno >= 1 && d->layersno <= OGL_MULTITEXTURE_MAX_LAYERS);
    for (uint32_t i = 0; i < d->layersno; i++) {
        if (!__texture_ok(d->layers[i].color_texture) || !__texture_ok(d->layers[i].mask_texture)) BUG();
    }
    if (d->extra_a_on && !__texture_ok(d->extra_a_texture)) BUG();
    if (d->extra_b_on && !__texture_ok(d->extra_b_texture)) BUG();
    // Every UV channel named must exist on the mesh.
    for (uint32_t i = 0; i < d->layersno; i++)
        if (!OGL_mesh_has_tvertexs_channel(m, d->layers[i].color_uv_channel) ||
            !OGL_mesh_has_tvertexs_channel(m, d->layers[i].mask_uv_channel)) {
            do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE,
                   "multi_texture_prepare_mesh: mesh %s lacks a UV channel of layer %u",
                   log_quote(name ? name : "(unnamed)").text, i);
            return false;
        }

    __profile_instance_data(mi, OGL_RENDER_PROFILE_MULTITEXTURE);
    OGL_render_pass_data_set *set = OGL_render_pass_data_set_create(mi, OGL_RPDS_KIND_MAIN);
    uint32_t n = d->layersno;
    for (uint32_t i = 0; i < n; i++) {
        const OGL_multitexture_layer *l = &d->layers[i];
        bool last = i + 1 == n && i > 0;
        OGL_render_pass_data *pd;
        if (last && (d->extra_a_on || d->extra_b_on)) {
            if (d->extra_a_on && d->extra_b_on) {
                pd = OGL_render_pass_data_set_add_pass(set, g_mt_states[MT_EXTRA_AB]);
                __unit(pd, m, 0, d->extra_b_texture, d->extra_b_uv_channel);
                __unit(pd, m, 1, d->extra_a_texture, d->extra_a_uv_channel);
            } else if (d->extra_b_on) {
                pd = OGL_render_pass_data_set_add_pass(set, g_mt_states[MT_EXTRA_B]);
                __unit(pd, m, 0, d->extra_b_texture, d->extra_b_uv_channel);
            } else {
                pd = OGL_render_pass_data_set_add_pass(set, g_mt_states[MT_EXTRA_A]);
                __unit(pd, m, 0, d->extra_a_texture, d->extra_a_uv_channel);
            }
        } else {
            pd = OGL_render_pass_data_set_add_pass(set, g_mt_states[i == 0 ? MT_FIRST_LAYER : MT_MIDDLE_LAYER]);
            __unit(pd, m, 0, l->color_texture, l->color_uv_channel);
            __unit(pd, m, 1, l->mask_texture, l->mask_uv_channel);
        }
        __profile_fill_pass_colors(pd, d->diffuse, d->specular, d->emission, d->shininess);
        OGL_render_pass_data_fill_arrays(pd);
    }
    return OGL_render_queue_add_render_pass_data_set(OGL_render_queue_get(OGL_RQ_OPAQUE), set);
}
