// The single-texture profile: a diffuse map with optional bump (normal),
// reflection, detail, self-illumination and GI maps, packed into as few
// passes as the board's texture units allow.

#include <cstdio>
#include <cstring>

#include "corelib/log.h"
#include "corelib/mem.h"
#include "renderer/OGL_features.h"
#include "renderer/OGL_mesh.h"
#include "renderer/OGL_mesh_instance.h"
#include "renderer/OGL_programs.h"
#include "renderer/OGL_render_profiles.h"
#include "renderer/OGL_render_queue.h"
#include "renderer/OGL_settings.h"
#include "renderer/OGL_texture.h"
#include "renderer/load_program.h"

// ---------------------------------------------------------------- programs

static void __load(const char *text, GLenum target, GLuint *id)
{
    if (!__load_program(text, target, id, false)) BUG();
}

bool single_texture_create_profile(OGL_render_profile *)
{
    do_log(LOG_INFO, LOG_TO_DEBUGGER | LOG_TO_FILE, "creating single texture profile..");
    std::memset(&OGL_st_programs, 0, sizeof(OGL_st_programs));
    bool fp = GLEW_ARB_fragment_program, vp = GLEW_ARB_vertex_program;
    if (!fp && !vp) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "continuing without VP & FP support.\n");
        return true;
    }
    do_log(LOG_INFO, LOG_TO_DEBUGGER | LOG_TO_FILE, "\tloading programs..");
    do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE,
           fp ? "\tfragment programs supported." : "\tfragment programs NOT supported.");
    do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE,
           vp ? "\tvertex programs supported." : "\tvertex programs NOT supported.");
    OGL_single_texture_programs *p = &OGL_st_programs;
    if (fp) {
        __load(OGL_PROGRAM_BUMP_FP, GL_FRAGMENT_PROGRAM_ARB, &p->bump_fp);
        __load(OGL_PROGRAM_BUMP_GLOSS_FP, GL_FRAGMENT_PROGRAM_ARB, &p->bump_gloss_fp);
        __load(OGL_PROGRAM_BUMP_NOSPEC_FP, GL_FRAGMENT_PROGRAM_ARB, &p->bump_nospec_fp);
        __load(OGL_PROGRAM_PPL_FP, GL_FRAGMENT_PROGRAM_ARB, &p->ppl_fp);
        __load(OGL_PROGRAM_PPL_GLOSS_FP, GL_FRAGMENT_PROGRAM_ARB, &p->ppl_gloss_fp);
        if (vp) {
            __load(OGL_PROGRAM_BUMP_VP, GL_VERTEX_PROGRAM_ARB, &p->bump_vp);
            __load(OGL_PROGRAM_BUMP_NOSPEC_VP, GL_VERTEX_PROGRAM_ARB, &p->bump_nospec_vp);
            __load(OGL_PROGRAM_PPL_VP, GL_VERTEX_PROGRAM_ARB, &p->ppl_vp);
            __load(OGL_PROGRAM_PPL_VP, GL_VERTEX_PROGRAM_ARB, &p->ppl_gloss_vp);
            __load(OGL_PROGRAM_SIMPLE_BUMP_VP, GL_VERTEX_PROGRAM_ARB, &p->simple_bump_vp);
            __load(OGL_PROGRAM_SIMPLE_BUMP_2U_VP, GL_VERTEX_PROGRAM_ARB, &p->simple_bump_2u_vp);
            __load(OGL_PROGRAM_GI_VP, GL_VERTEX_PROGRAM_ARB, &p->gi_vp);
        }
    } else {
        if (OGL_features_get_max_texture_units() >= 3 && GLEW_ARB_texture_env_crossbar)
            __load(OGL_PROGRAM_SIMPLE_BUMP_VP, GL_VERTEX_PROGRAM_ARB, &p->simple_bump_vp);
        __load(OGL_PROGRAM_SIMPLE_BUMP_2U_VP, GL_VERTEX_PROGRAM_ARB, &p->simple_bump_2u_vp);
    }
    do_log(LOG_INFO, LOG_TO_DEBUGGER | LOG_TO_FILE, "arb fp & vp loaded and initialized successfully.\n");
    return true;
}

void single_texture_free_profile(OGL_render_profile *)
{
    OGL_single_texture_programs *p = &OGL_st_programs;
    GLuint *ids[] = {&p->bump_vp,        &p->bump_fp,        &p->bump_gloss_fp,     &p->bump_nospec_vp,
                     &p->bump_nospec_fp, &p->ppl_vp,         &p->ppl_gloss_vp,      &p->ppl_fp,
                     &p->ppl_gloss_fp,   &p->simple_bump_vp, &p->simple_bump_2u_vp, &p->gi_vp};
    for (GLuint *id : ids) OGL_program_free(id);
}

// ---------------------------------------------------------------- slot analysis and level of detail

bool __bump_slot_allowed(const OGL_single_texture_data *data)
{
    if (OGL_render_settings_get_pixel_programs_disabled()) return false;
    return data->bump_texture && data->bump && OGL_features_get_max_texture_units() >= 2 && GLEW_ARB_vertex_program &&
           GLEW_ARB_texture_cube_map;
}

void __profile_select_lod(OGL_single_texture_data *data, bool bump_slot_enabled)
{
    data->detail_mode = data->detail_texture ? 1 : 2;
    data->reflection_mode = data->reflection_texture ? 1 : 2;
    data->selfillumination_mode = data->selfillumination_texture ? 1 : 0;

    int mode = OGL_BUMP_NONE;
    if (bump_slot_enabled && data->bump_texture) {
        if (GLEW_ARB_fragment_program && GLEW_ARB_vertex_program) {
            mode = data->bump_texture->bpp == 32 ? OGL_BUMP_GLOSS : OGL_BUMP_SPECULAR;
            float sum = data->mat_specular.x + data->mat_specular.y + data->mat_specular.z;
            if (sum < 1.0f) mode = OGL_BUMP_NO_SPECULAR;
        } else if (GLEW_ARB_vertex_program && OGL_st_programs.simple_bump_vp != 0) {
            // Boards with vertex programs, three units and the crossbar but no
            // fragment programs: the dot product in the texture combiners.
            mode = OGL_BUMP_DOT3;
        }
    }

    int lo = 0, hi = 5;
    if (OGL_render_settings_has_surface_lod_clamp()) OGL_render_settings_get_surface_lod_clamp(&lo, &hi);
    float lod = data->lod;
    if (!(lod >= float(lo))) lod = float(lo); // also catches not-a-number
    if (lod > float(hi)) lod = float(hi);
    int level = int(lod);
    data->lod = float(level);

    if (level > 0 && mode != OGL_BUMP_NONE) {
        static const int table[4][4] = {
            // level 1, 2, 3, above
            {7, 7, 0, 0},   // 2
            {6, 6, 6, 0},   // 4
            {9, 7, 0, 0},   // 9
            {10, 10, 0, 0}, // 10
        };
        int row;
        switch (mode) {
        case OGL_BUMP_SPECULAR: row = 0; break;
        case OGL_BUMP_GLOSS: row = 1; break;
        case OGL_BUMP_NO_SPECULAR: row = 2; break;
        case OGL_BUMP_DOT3: row = 3; break;
        default: do_log(LOG_CRITICAL, LOG_TO_ALL, "lod selector: unsupported bump lod"); BUG();
        }
        mode = table[row][level > 3 ? 3 : level - 1];
    }
    data->bump_mode = mode;
    if (level >= 1 && data->detail_texture) data->detail_mode = 2;
    if (level >= 2) {
        if (data->reflection_texture) data->reflection_mode = 2;
        data->selfillumination_mode = 0;
    }
}

// A UV channel the mesh has; otherwise the slot cannot be drawn.
static bool __uv_ok(const OGL_mesh *m, uint32_t channel, const char *name, const char *slot)
{
    if (OGL_mesh_has_tvertexs_channel(m, channel)) return true;
    do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE,
           "single texture profile: mesh %s has no UV channel %u for its %s map; the map is left out",
           log_quote(name ? name : "(unnamed)").text, channel, slot);
    return false;
}

static void __record_slot(OGL_profile_instance_data *pid, const OGL_mesh *m, int slot, OGL_texture *t, uint32_t ch)
{
    pid->slot_enabled[slot] = true;
    pid->slot_texture[slot] = t;
    pid->slot_uv[slot] = OGL_mesh_get_tvertexs_pointer(m, ch, &pid->slot_uv_stride[slot]);
}

static void __analyze_profile_var(OGL_profile_instance_data *pid, OGL_mesh_instance *mi, OGL_single_texture_data *data,
                                  const char *name)
{
    const OGL_mesh *m = mi->mesh;
    std::memset(pid->slot_enabled, 0, sizeof(pid->slot_enabled));
    if (data->diffuse_texture && data->diffuse && __uv_ok(m, data->diffuse_uv_channel, name, "diffuse"))
        __record_slot(pid, m, OGL_ST_SLOT_DIFFUSE, data->diffuse_texture, data->diffuse_uv_channel);
    if (__bump_slot_allowed(data) && pid->slot_enabled[OGL_ST_SLOT_DIFFUSE]) {
        if (m->tangents && m->binormals && OGL_features_get_normalisation_cube_map() != 0)
            __record_slot(pid, m, OGL_ST_SLOT_BUMP, data->bump_texture, data->diffuse_uv_channel);
        else
            do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE,
                   "single texture profile: mesh %s has no tangent frame; drawn without its bump map",
                   log_quote(name ? name : "(unnamed)").text);
    }
    if (data->specular_texture && data->specular && __uv_ok(m, data->specular_uv_channel, name, "specular"))
        __record_slot(pid, m, OGL_ST_SLOT_SPECULAR, data->specular_texture, data->specular_uv_channel);
    if (data->reflection_texture && data->reflection && __uv_ok(m, data->reflection_uv_channel, name, "reflection") &&
        (!data->reflection_mask_texture || __uv_ok(m, data->reflection_mask_uv_channel, name, "reflection mask")))
        __record_slot(pid, m, OGL_ST_SLOT_REFLECTION, data->reflection_texture, data->reflection_uv_channel);
    if (data->detail_texture && data->detail && __uv_ok(m, data->detail_uv_channel, name, "detail"))
        __record_slot(pid, m, OGL_ST_SLOT_DETAIL, data->detail_texture, data->detail_uv_channel);
    if (data->selfillumination_texture && data->selfillumination &&
        __uv_ok(m, data->selfillumination_uv_channel, name, "self-illumination"))
        __record_slot(pid, m, OGL_ST_SLOT_SELFILLUMINATION, data->selfillumination_texture,
                      data->selfillumination_uv_channel);
    if (data->gi_texture && OGL_st_programs.gi_vp != 0 && !OGL_render_settings_get_pixel_programs_disabled()) {
        pid->slot_enabled[OGL_ST_SLOT_GI] = true;
        pid->slot_texture[OGL_ST_SLOT_GI] = data->gi_texture;
    }
}

// ---------------------------------------------------------------- pass builder

struct pass_builder {
    OGL_render_pass_state ps;
    int units;
    OGL_texture *tex[OGL_RP_MAX_UNITS];
    GLuint gl_tex[OGL_RP_MAX_UNITS];
    const void *uv[OGL_RP_MAX_UNITS];
    GLsizei uv_stride[OGL_RP_MAX_UNITS];
    GLint uv_components[OGL_RP_MAX_UNITS];
    uint32_t light_index;
    int passes_closed;
};

struct profile_ctx {
    OGL_mesh_instance *mi;
    OGL_single_texture_data *data;
    OGL_profile_instance_data *pid;
    const char *name;
    int max_units;
};

static void __begin_pass(pass_builder *b, const profile_ctx *c, uint32_t light_index)
{
    const OGL_single_texture_data *d = c->data;
    OGL_render_pass_state_clear(&b->ps);
    b->units = 0;
    std::memset(b->tex, 0, sizeof(b->tex));
    std::memset(b->gl_tex, 0, sizeof(b->gl_tex));
    std::memset(b->uv, 0, sizeof(b->uv));
    std::memset(b->uv_stride, 0, sizeof(b->uv_stride));
    std::memset(b->uv_components, 0, sizeof(b->uv_components));
    b->light_index = light_index;
    OGL_render_pass_state *ps = &b->ps;
    ps->two_sided = d->two_sided;
    ps->lighting = d->lit;
    ps->cvertexs_array_enabled = !d->lit && d->use_vertex_colors && c->mi->mesh->colors != nullptr;
    ps->no_fog = d->no_fog;
    if (d->blended) {
        ps->blending = true;
        if (d->custom_blend) {
            ps->blend_src = d->blend_src;
            ps->blend_dst = d->blend_dst;
        } else {
            ps->blend_src = GL_SRC_ALPHA;
            ps->blend_dst = d->additive ? GL_ONE : GL_ONE_MINUS_SRC_ALPHA;
        }
    }
    ps->depth_mask_off = d->no_depth_write || d->draw_last;
    ps->vertex_array_enabled = true;
    ps->vnormals_array_enabled = true;
}

static int __take_unit(pass_builder *b, const profile_ctx *c, const char *message)
{
    if (b->units >= c->max_units || b->units >= OGL_RP_MAX_UNITS) {
        do_log(LOG_CRITICAL, LOG_TO_ALL, message, c->name ? c->name : "(unnamed)");
        BUG();
    }
    int u = b->units++;
    b->ps.texturing = true;
    b->ps.unit_enabled[u] = true;
    b->ps.target[u] = GL_TEXTURE_2D;
    return u;
}

static void __unit_uv(pass_builder *b, int u, const void *uv, GLsizei stride, GLint components)
{
    b->ps.tex_coord_array_enabled[u] = true;
    b->uv[u] = uv;
    b->uv_stride[u] = stride;
    b->uv_components[u] = components;
}

static void __combine(OGL_texture_unit_state *t, GLenum rgb, GLenum s0, GLenum o0, GLenum s1, GLenum o1, GLenum alpha,
                      GLenum as0, GLenum ao0, GLenum as1, GLenum ao1)
{
    t->env_mode = GL_COMBINE_ARB;
    t->combine_rgb = rgb;
    t->src0_rgb = s0;
    t->op0_rgb = o0;
    t->src1_rgb = s1;
    t->op1_rgb = o1;
    t->combine_alpha = alpha;
    t->src0_alpha = as0;
    t->op0_alpha = ao0;
    t->src1_alpha = as1;
    t->op1_alpha = ao1;
}

static void __make_additive(pass_builder *b)
{
    b->ps.blending = true;
    b->ps.blend_src = GL_ONE;
    b->ps.blend_dst = GL_ONE;
    b->ps.no_alpha_test = true;
}

static void __insert_diffuse_tex(pass_builder *b, const profile_ctx *c, bool additive)
{
    int u = __take_unit(
        b, c, "__insert_diffuse_tex():\nmesh: %s\ncannot apply detail texturing, texture_units optimizer error");
    const OGL_profile_instance_data *pid = c->pid;
    if (additive) __make_additive(b);
    b->tex[u] = pid->slot_texture[OGL_ST_SLOT_DIFFUSE];
    __unit_uv(b, u, pid->slot_uv[OGL_ST_SLOT_DIFFUSE], pid->slot_uv_stride[OGL_ST_SLOT_DIFFUSE], 2);
    b->ps.tus[u].env_mode = GL_MODULATE;
    b->ps.tus[u].rgb_scale = 1.0f;
}

static void __set_params(uint32_t *no, uint32_t *src, std::initializer_list<uint32_t> list)
{
    *no = 0;
    for (uint32_t s : list) src[(*no)++] = s;
}

static void __insert_bump_tex(pass_builder *b, const profile_ctx *c)
{
    const OGL_single_texture_data *d = c->data;
    ASSERT(d->bump_texture != NULL);
    ASSERT(b->units == 1 && b->tex[0] == c->pid->slot_texture[OGL_ST_SLOT_DIFFUSE]);
    const OGL_mesh *m = c->mi->mesh;
    const OGL_single_texture_programs *p = &OGL_st_programs;
    OGL_render_pass_state *ps = &b->ps;
    GLuint cube = OGL_features_get_normalisation_cube_map();
    ps->lighting = false;
    ps->cvertexs_array_enabled = false;
    ps->vertex_array_enabled = true;
    ps->vnormals_array_enabled = true;
    const char *msg = "__insert_bump_tex():\nmesh: %s\ncannot apply bump mapping, texture_units optimizer error";
    GLsizei ts = 0, bs = 0;
    const void *tan = OGL_mesh_get_tangents_pointer(m, &ts);
    const void *bin = OGL_mesh_get_binormals_pointer(m, &bs);
    switch (d->bump_mode) {
    case OGL_BUMP_SPECULAR:
    case OGL_BUMP_GLOSS:
    case OGL_BUMP_NO_SPECULAR: {
        int u = __take_unit(b, c, msg);
        b->tex[u] = d->bump_texture;
        __unit_uv(b, u, tan, ts, 3);
        int v = __take_unit(b, c, msg);
        ps->target[v] = GL_TEXTURE_CUBE_MAP_ARB;
        b->gl_tex[v] = cube;
        __unit_uv(b, v, bin, bs, 3);
        ps->use_vp = ps->use_fp = true;
        if (d->bump_mode == OGL_BUMP_NO_SPECULAR) {
            ps->vertex_program_id = p->bump_nospec_vp;
            ps->fragment_program_id = p->bump_nospec_fp;
            __set_params(&ps->vp_params_no, ps->vp_param_src, {1, 5, 16});
            __set_params(&ps->fp_params_no, ps->fp_param_src, {9});
        } else {
            ps->vertex_program_id = p->bump_vp;
            ps->fragment_program_id = d->bump_mode == OGL_BUMP_GLOSS ? p->bump_gloss_fp : p->bump_fp;
            __set_params(&ps->vp_params_no, ps->vp_param_src, {1, 4, 5, 16});
            __set_params(&ps->fp_params_no, ps->fp_param_src, {7, 9});
        }
        break;
    }
    case OGL_BUMP_PPL_SPECULAR:
    case OGL_BUMP_PPL: {
        int u = __take_unit(b, c, msg);
        ps->target[u] = GL_TEXTURE_CUBE_MAP_ARB;
        b->gl_tex[u] = cube;
        ps->use_vp = ps->use_fp = true;
        if (d->bump_mode == OGL_BUMP_PPL_SPECULAR) {
            ps->vertex_program_id = p->ppl_gloss_vp;
            ps->fragment_program_id = p->ppl_gloss_fp;
        } else {
            ps->vertex_program_id = p->ppl_vp;
            ps->fragment_program_id = p->ppl_fp;
        }
        __set_params(&ps->vp_params_no, ps->vp_param_src, {1, 4, 5, 16});
        __set_params(&ps->fp_params_no, ps->fp_param_src, {7, 9});
        break;
    }
    case OGL_BUMP_DOT3: {
        // Unit u: N . L into colour and alpha (the light vector from the cube
        // map on unit u + 1); unit u + 1: diffuse map x lit colour, alpha kept;
        // the frame gets colour x alpha added.
        int u = __take_unit(b, c, msg);
        b->tex[u] = d->bump_texture;
        __unit_uv(b, u, tan, ts, 3);
        __combine(&ps->tus[u], GL_DOT3_RGBA_ARB, GL_TEXTURE, GL_SRC_COLOR, GLenum(GL_TEXTURE0_ARB + u + 1),
                  GL_SRC_COLOR, GL_MODULATE, GL_TEXTURE, GL_SRC_ALPHA, GL_PRIMARY_COLOR_ARB, GL_SRC_ALPHA);
        int v = __take_unit(b, c, msg);
        ps->target[v] = GL_TEXTURE_CUBE_MAP_ARB;
        b->gl_tex[v] = cube;
        __unit_uv(b, v, bin, bs, 3);
        __combine(&ps->tus[v], GL_MODULATE, GL_TEXTURE0_ARB, GL_SRC_COLOR, GL_PRIMARY_COLOR_ARB, GL_SRC_COLOR,
                  GL_REPLACE, GL_PREVIOUS_ARB, GL_SRC_ALPHA, GL_PREVIOUS_ARB, GL_SRC_ALPHA);
        ps->use_vp = true;
        ps->vertex_program_id = p->simple_bump_vp;
        __set_params(&ps->vp_params_no, ps->vp_param_src, {1, 4, 5, 2, 6, 16});
        ps->blending = true;
        ps->blend_src = GL_SRC_ALPHA;
        ps->blend_dst = GL_ONE;
        ps->no_alpha_test = true;
        break;
    }
    default: BUG();
    }
    ASSERT(!ps->use_vp || ps->vertex_program_id != 0);
    ASSERT(!ps->use_fp || ps->fragment_program_id != 0);
}

static void __insert_detail_tex(pass_builder *b, const profile_ctx *c)
{
    ASSERT(c->data->detail_texture != NULL);
    int u = __take_unit(
        b, c, "__insert_detail_tex():\nmesh: %s\ncannot apply detail texturing, texture_units optimizer error");
    b->tex[u] = c->pid->slot_texture[OGL_ST_SLOT_DETAIL];
    __unit_uv(b, u, c->pid->slot_uv[OGL_ST_SLOT_DETAIL], c->pid->slot_uv_stride[OGL_ST_SLOT_DETAIL], 2);
    __combine(&b->ps.tus[u], GL_MODULATE, GL_TEXTURE, GL_SRC_COLOR, GL_PREVIOUS_ARB, GL_SRC_COLOR, GL_MODULATE,
              GL_TEXTURE, GL_SRC_ALPHA, GL_PREVIOUS_ARB, GL_SRC_ALPHA);
    b->ps.tus[u].rgb_scale = 2.0f;
    if (u == 0) {
        b->ps.blending = true;
        b->ps.blend_src = GL_DST_COLOR;
        b->ps.blend_dst = GL_ZERO;
        b->ps.no_alpha_test = true;
        b->ps.lighting = false;
    }
    std::snprintf(b->ps.name, sizeof(b->ps.name), "detail pass");
}

static void __insert_selfillu_tex(pass_builder *b, const profile_ctx *c)
{
    ASSERT(c->data->selfillumination_texture != NULL);
    int u = __take_unit(b, c,
                        "__insert_self_tex():\nmesh: %s\ncannot apply detail texturing, texture_units optimizer error");
    b->tex[u] = c->pid->slot_texture[OGL_ST_SLOT_SELFILLUMINATION];
    __unit_uv(b, u, c->pid->slot_uv[OGL_ST_SLOT_SELFILLUMINATION], c->pid->slot_uv_stride[OGL_ST_SLOT_SELFILLUMINATION],
              2);
    b->ps.tus[u].env_mode = GL_MODULATE;
    if (u == 0) {
        b->ps.blending = true;
        b->ps.blend_src = GL_DST_COLOR;
        b->ps.blend_dst = GL_ZERO;
        b->ps.no_alpha_test = true;
        b->ps.lighting = false;
    }
}

static void __insert_reflection_tex(pass_builder *b, const profile_ctx *c)
{
    const OGL_single_texture_data *d = c->data;
    ASSERT(d->reflection_texture != NULL);
    const char *msg =
        "__insert_reflection_tex():\nmesh: %s\ncannot apply detail texturing, texture_units optimizer error";
    const OGL_mesh *m = c->mi->mesh;
    GLsizei stride = 0;
    if (d->reflection_mask_texture) {
        int u = __take_unit(b, c, msg);
        b->tex[u] = d->reflection_mask_texture;
        const void *uv = OGL_mesh_get_tvertexs_pointer(m, d->reflection_mask_uv_channel, &stride);
        __unit_uv(b, u, uv, stride, 2);
        __combine(&b->ps.tus[u], GL_REPLACE, GL_TEXTURE, GL_SRC_ALPHA, 0, 0, GL_REPLACE, GL_TEXTURE, GL_SRC_ALPHA, 0,
                  0);
    }
    int v = __take_unit(b, c, msg);
    b->tex[v] = d->reflection_texture;
    __unit_uv(b, v, c->pid->slot_uv[OGL_ST_SLOT_REFLECTION], c->pid->slot_uv_stride[OGL_ST_SLOT_REFLECTION], 2);
    b->ps.tus[v].env_mode = GL_MODULATE;
    b->ps.lighting = false;
    __make_additive(b);
}

static void __insert_gi_tex(pass_builder *b, const profile_ctx *c)
{
    if (b->units != 0) {
        do_log(LOG_CRITICAL, LOG_TO_ALL,
               "\"__insert_gi_tex: profile optimizer error - tex unit 0 is already occupied.\"");
        BUG();
    }
    int u = __take_unit(b, c, "__insert_gi_tex():\nmesh: %s\ntexture_units optimizer error");
    b->tex[u] = c->pid->slot_texture[OGL_ST_SLOT_GI];
    b->ps.tus[u].env_mode = GL_MODULATE;
    b->ps.lighting = false;
    b->ps.cvertexs_array_enabled = false;
    b->ps.use_vp = true;
    b->ps.vertex_program_id = OGL_st_programs.gi_vp;
    __set_params(&b->ps.vp_params_no, b->ps.vp_param_src, {12, 13, 14});
    __make_additive(b);
}

// Closes the pass under construction into the set and starts a new one.
static void __add_pass(pass_builder *b, const profile_ctx *c, OGL_render_pass_data_set *ps_set)
{
    ASSERT(ps_set != NULL);
    if (b->ps.name[0] == 0) std::snprintf(b->ps.name, sizeof(b->ps.name), "pass: %d", int(ps_set->passesno));
    const OGL_render_pass_state *pstate = OGL_render_pass_state_share(&b->ps);
    ASSERT(pstate != NULL);
    OGL_render_pass_data *pd = OGL_render_pass_data_set_add_pass(ps_set, pstate);
    for (int u = 0; u < b->units; u++) {
        pd->textures[u] = b->tex[u];
        pd->gl_textures[u] = b->gl_tex[u];
        pd->tex_coord[u] = b->uv[u];
        pd->tex_coord_stride[u] = b->uv_stride[u];
        pd->tex_coord_components[u] = b->uv_components[u];
    }
    const OGL_single_texture_data *d = c->data;
    __profile_fill_pass_colors(pd, d->mat_diffuse, d->mat_specular, d->mat_emission, d->shininess);
    pd->light_index = b->light_index;
    OGL_render_pass_data_fill_arrays(pd);
    b->passes_closed++;
    __begin_pass(b, c, b->light_index);
}

static OGL_render_queue *__queue_for(const OGL_single_texture_data *d)
{
    if (d->draw_last || (d->blended && d->no_depth_write)) return OGL_render_queue_get(OGL_RQ_LAST);
    if (d->blended) {
        int layer = d->layer < 0 ? 0 : d->layer > 7 ? 7 : d->layer;
        return OGL_render_queue_get_layer(layer);
    }
    return OGL_render_queue_get(OGL_RQ_OPAQUE);
}

static void __file_set(OGL_render_pass_data_set *s, OGL_render_queue *q)
{
    if (s->passesno == 0) {
        OGL_render_pass_data_set_free(s);
        return;
    }
    OGL_render_queue_add_render_pass_data_set(q, s);
}

static bool __init_profile_var(OGL_mesh_instance *mi, OGL_single_texture_data *data, const char *name)
{
    profile_ctx c;
    c.mi = mi;
    c.data = data;
    c.name = name;
    c.max_units = OGL_features_get_max_texture_units();
    c.pid = __profile_instance_data(mi, OGL_RENDER_PROFILE_SINGLE_TEXTURE);
    OGL_profile_instance_data *pid = c.pid;

    // 1. slots and level of detail
    __analyze_profile_var(pid, mi, data, name);
    __profile_select_lod(data, pid->slot_enabled[OGL_ST_SLOT_BUMP]);
    if (data->bump_mode == OGL_BUMP_NONE) pid->slot_enabled[OGL_ST_SLOT_BUMP] = false;
    if (data->detail_mode != 1) pid->slot_enabled[OGL_ST_SLOT_DETAIL] = false;
    if (data->reflection_mode != 1) pid->slot_enabled[OGL_ST_SLOT_REFLECTION] = false;
    if (data->selfillumination_mode != 1) pid->slot_enabled[OGL_ST_SLOT_SELFILLUMINATION] = false;

    // 2. light iterations: the indices of the lights each iteration lights with
    uint32_t lights[64];
    uint32_t iterations = 0;
    bool additive = false;
    if (data->bump_mode == OGL_BUMP_NONE) {
        if (data->blended || data->no_depth_write)
            iterations = 1;
        else if (data->lit) {
            iterations = 1;
            additive = true;
        }
        lights[0] = 0;
    } else {
        for (uint32_t i = 0; i < mi->lights->get_size() && iterations < 64; i++)
            if (mi->lights->data[i]) lights[iterations++] = i;
        additive = true;
    }

    // 3. passes
    pass_builder b;
    if (iterations > 0) {
        OGL_render_pass_data_set *set = OGL_render_pass_data_set_create(mi, OGL_RPDS_KIND_MAIN);
        for (uint32_t it = 0; it < iterations; it++) {
            bool last = it + 1 == iterations;
            b.passes_closed = 0;
            __begin_pass(&b, &c, lights[it]);
            for (int slot = 0; slot <= OGL_ST_SLOT_GI; slot++) {
                if (!pid->slot_enabled[slot]) continue;
                switch (slot) {
                case OGL_ST_SLOT_DIFFUSE:
                    ASSERT(data->bump_mode != 1);
                    __insert_diffuse_tex(&b, &c, additive);
                    break;
                case OGL_ST_SLOT_BUMP:
                    __insert_bump_tex(&b, &c);
                    __add_pass(&b, &c, set);
                    break;
                case OGL_ST_SLOT_REFLECTION:
                    if (!last) break;
                    if (b.units > 0) __add_pass(&b, &c, set);
                    __insert_reflection_tex(&b, &c);
                    __add_pass(&b, &c, set);
                    break;
                case OGL_ST_SLOT_DETAIL:
                case OGL_ST_SLOT_SELFILLUMINATION:
                    if (!last) break;
                    if (b.units >= c.max_units) __add_pass(&b, &c, set);
                    if (slot == OGL_ST_SLOT_DETAIL)
                        __insert_detail_tex(&b, &c);
                    else
                        __insert_selfillu_tex(&b, &c);
                    break;
                case OGL_ST_SLOT_GI:
                    if (!last) break;
                    if (b.units > 0) __add_pass(&b, &c, set);
                    __insert_gi_tex(&b, &c);
                    __add_pass(&b, &c, set);
                    break;
                }
            }
            // An untextured material still gets its lit pass.
            if (b.units > 0 || b.passes_closed == 0) __add_pass(&b, &c, set);
        }
        // 4. and 5.
        __file_set(set, __queue_for(data));
    } else {
        // Unlit, opaque, depth-writing, not bumped: detail and self-illumination
        // maps get a set of one pass each.
        for (int slot : {OGL_ST_SLOT_SELFILLUMINATION, OGL_ST_SLOT_DETAIL}) {
            if (!pid->slot_enabled[slot]) continue;
            OGL_render_pass_data_set *set = OGL_render_pass_data_set_create(mi, OGL_RPDS_KIND_MAIN);
            __begin_pass(&b, &c, 0);
            if (slot == OGL_ST_SLOT_DETAIL)
                __insert_detail_tex(&b, &c);
            else
                __insert_selfillu_tex(&b, &c);
            __add_pass(&b, &c, set);
            __file_set(set, OGL_render_queue_get(OGL_RQ_OPAQUE));
        }
    }

    // 6. the diffuse-only set, coloured by the instance
    if (!data->blended && !data->no_depth_write && pid->slot_enabled[OGL_ST_SLOT_DIFFUSE]) {
        OGL_render_pass_data_set *set = OGL_render_pass_data_set_create(mi, OGL_RPDS_KIND_DIFFUSE_ONLY);
        __begin_pass(&b, &c, 0);
        b.ps.lighting = false;
        b.ps.cvertexs_array_enabled = false;
        __insert_diffuse_tex(&b, &c, false);
        std::snprintf(b.ps.name, sizeof(b.ps.name), "diffuse only");
        __add_pass(&b, &c, set);
        __file_set(set, OGL_render_queue_get(data->draw_last ? OGL_RQ_FIRST : OGL_RQ_INSTANCE_COLORED));
    }
    return true;
}

bool single_texture_prepare_mesh(OGL_render_profile *, OGL_mesh_instance *mi, const char *name, void *data_ptr)
{
    OGL_single_texture_data *data = static_cast<OGL_single_texture_data *>(data_ptr);
    if (data->diffuse_texture) ASSERT(OGL_texture_is_allowed_3d_texture_size(data->diffuse_texture));
    if (data->bump_texture) ASSERT(OGL_texture_is_allowed_3d_texture_size(data->bump_texture));
    if (data->detail_texture) ASSERT(OGL_texture_is_allowed_3d_texture_size(data->detail_texture));
    if (data->reflection_texture) ASSERT(OGL_texture_is_allowed_3d_texture_size(data->reflection_texture));
    if (data->selfillumination_texture) ASSERT(OGL_texture_is_allowed_3d_texture_size(data->selfillumination_texture));
    if (data->specular_texture) ASSERT(OGL_texture_is_allowed_3d_texture_size(data->specular_texture));
    return __init_profile_var(mi, data, name);
}
