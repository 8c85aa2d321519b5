#include "renderer/OGL_render_queue.h"

#include <GLFW/glfw3.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "corelib/log.h"
#include "corelib/matrix.h"
#include "corelib/mem.h"
#include "corelib/view.h"
#include "renderer/OGL_frame_stats.h"
#include "renderer/OGL_group_costs.h"
#include "renderer/OGL_main.h"
#include "renderer/OGL_mesh.h"
#include "renderer/OGL_mesh_instance.h"
#include "renderer/OGL_settings.h"
#include "renderer/OGL_texture.h"
#include "renderer/OGL_window.h"

static OGL_render_queue g_queues[OGL_RQ_COUNT];
static bool g_queues_ready;
static array<OGL_render_pass_state *> *g_states;

static const char *const QUEUE_LABELS[OGL_RQ_COUNT] = {
    "first",   "instance-coloured", "opaque",  "layer 7", "layer 6", "layer 5",
    "layer 4", "layer 3",           "layer 2", "layer 1", "layer 0", "last",
};

// ---------------------------------------------------------------- queues

static void __free_groups(OGL_render_queue *q)
{
    while (!dlist_is_empty(&q->groups)) {
        OGL_render_state_group *g = dlist_entry<OGL_render_state_group>(q->groups.next);
        // Passes still filed lose their group: they belong to sets that are freed elsewhere.
        while (!dlist_is_empty(&g->active)) {
            OGL_render_pass_data *pd = dlist_entry<OGL_render_pass_data>(g->active.next);
            dlist_unlink(&pd->link);
            pd->group = nullptr;
        }
        while (!dlist_is_empty(&g->inactive)) {
            OGL_render_pass_data *pd = dlist_entry<OGL_render_pass_data>(g->inactive.next);
            dlist_unlink(&pd->link);
            pd->group = nullptr;
        }
        dlist_unlink(&g->link);
        mem_free(g);
    }
}

void OGL_render_queues_init()
{
    for (int i = 0; i < OGL_RQ_COUNT; i++) {
        if (g_queues_ready) __free_groups(&g_queues[i]);
        dlist_init(&g_queues[i].groups);
        g_queues[i].label = QUEUE_LABELS[i];
    }
    g_queues_ready = true;
}

void OGL_render_queues_deinit()
{
    if (!g_queues_ready) return;
    for (int i = 0; i < OGL_RQ_COUNT; i++) __free_groups(&g_queues[i]);
}

OGL_render_queue *OGL_render_queue_get(int which)
{
    ASSERT(which >= 0 && which < OGL_RQ_COUNT);
    if (!g_queues_ready) OGL_render_queues_init();
    return &g_queues[which];
}

OGL_render_queue *OGL_render_queue_get_layer(int layer)
{
    ASSERT(layer >= 0 && layer <= 7);
    return OGL_render_queue_get(OGL_RQ_LAYER0 - layer);
}

uint32_t OGL_render_queue_groups_no(const OGL_render_queue *q)
{
    uint32_t n = 0;
    dlist_for_each(pos, &q->groups) n++;
    return n;
}

// ---------------------------------------------------------------- states

void OGL_render_pass_state_clear(OGL_render_pass_state *ps)
{
    std::memset(ps, 0, sizeof(*ps));
    for (int i = 0; i < OGL_RP_MAX_UNITS; i++) {
        ps->target[i] = GL_TEXTURE_2D;
        ps->tus[i].env_mode = GL_MODULATE;
        ps->tus[i].rgb_scale = 1.0f;
    }
}

const OGL_render_pass_state *OGL_render_pass_state_share(const OGL_render_pass_state *ps)
{
    if (!g_states) {
        g_states = array_new<OGL_render_pass_state *>();
        ASSERT(g_states != nullptr);
    }
    for (OGL_render_pass_state *s : *g_states)
        // States are cleared whole (padding too) before their fields are set.
        if (std::memcmp(s, ps, sizeof(*ps)) == 0) return s; // NOLINT(bugprone-suspicious-memory-comparison)
    OGL_render_pass_state *copy = mem_new_zeroed<OGL_render_pass_state>();
    ASSERT(copy != nullptr);
    std::memcpy(copy, ps, sizeof(*ps));
    if (!g_states->add(copy)) BUG();
    return copy;
}

void OGL_render_pass_states_free_all()
{
    if (!g_states) return;
    for (OGL_render_pass_state *s : *g_states) mem_free(s);
    array_free(g_states);
    g_states = nullptr;
}

uint32_t OGL_render_pass_states_no() { return g_states ? g_states->get_size() : 0; }

// ---------------------------------------------------------------- sets

OGL_render_pass_data_set *OGL_render_pass_data_set_create(OGL_mesh_instance *mi, uint32_t kind)
{
    ASSERT(mi != nullptr);
    OGL_render_pass_data_set *s = mem_new_zeroed<OGL_render_pass_data_set>();
    ASSERT(s != nullptr);
    s->kind = kind;
    s->mi = mi;
    dlist_insert_back(&s->link, &mi->pass_data_sets);
    return s;
}

OGL_render_pass_data *OGL_render_pass_data_set_add_pass(OGL_render_pass_data_set *rpds, const OGL_render_pass_state *ps)
{
    ASSERT(ps != nullptr);
    ASSERT(rpds->queue == nullptr);
    if (rpds->passesno == rpds->passes_max) {
        uint32_t n = rpds->passes_max + 4;
        void *p = mem_realloc(rpds->passes, sizeof(OGL_render_pass_data *) * n);
        ASSERT(p != nullptr);
        rpds->passes = static_cast<OGL_render_pass_data **>(p);
        rpds->passes_max = n;
    }
    OGL_render_pass_data *pd = mem_new_zeroed<OGL_render_pass_data>();
    ASSERT(pd != nullptr);
    pd->mi = rpds->mi;
    pd->ps = ps;
    pd->depth_func = GL_LEQUAL;
    pd->color = {1, 1, 1, 1};
    pd->colors_type = GL_UNSIGNED_BYTE;
    rpds->passes[rpds->passesno++] = pd;
    return pd;
}

void OGL_render_pass_data_set_free(OGL_render_pass_data_set *rpds)
{
    if (!rpds) return;
    if (rpds->queue) OGL_render_queue_remove_render_pass_data_set(rpds);
    if (rpds->link.next) dlist_unlink(&rpds->link);
    for (uint32_t i = 0; i < rpds->passesno; i++) mem_free(rpds->passes[i]);
    mem_free(rpds->passes);
    mem_free(rpds);
}

void OGL_render_pass_data_set_activate(OGL_render_pass_data_set *rpds, bool active)
{
    if (rpds->active == active) return;
    rpds->active = active;
    if (!rpds->queue) return;
    // Each pass goes to the head of its list: walking backwards keeps the
    // set's passes in their order where they share a group.
    for (uint32_t i = rpds->passesno; i-- > 0;) {
        if (active)
            OGL_render_pass_activate(rpds->passes[i]);
        else
            OGL_render_pass_deactivate(rpds->passes[i]);
    }
}

void OGL_render_pass_data_fill_arrays(OGL_render_pass_data *pd)
{
    const OGL_render_pass_state *ps = pd->ps;
    ASSERT(pd->mi != nullptr && pd->mi->mesh != nullptr);
    const OGL_mesh *m = pd->mi->mesh;
    pd->vbo = m->vbo;
    pd->ibo = m->ibo;
    if (ps->vertex_array_enabled) {
        pd->vertexs = OGL_mesh_get_vertexs_pointer(m, &pd->vertexs_stride);
        pd->vertexs_components = 3;
        ASSERT(pd->vertexs != nullptr || OGL_mesh_has_vbo(m));
    }
    if (ps->vnormals_array_enabled) pd->vnormals = OGL_mesh_get_vnormals_pointer(m, &pd->vnormals_stride);
    if (ps->cvertexs_array_enabled) {
        pd->colors = OGL_mesh_get_colors_pointer(m, &pd->colors_stride);
        pd->colors_type = OGL_mesh_has_byte_colors(m) ? GL_UNSIGNED_BYTE : GL_FLOAT;
    }
}

// ---------------------------------------------------------------- queue lists

bool OGL_render_queue_add_render_pass_data_set(OGL_render_queue *q, OGL_render_pass_data_set *rpds)
{
    ASSERT(rpds->passesno > 0);
    ASSERT(rpds->queue == nullptr);
    for (uint32_t i = 0; i < rpds->passesno; i++) {
        OGL_render_pass_data *pd = rpds->passes[i];
        OGL_render_state_group *g = nullptr;
        dlist_for_each(pos, &q->groups)
        {
            OGL_render_state_group *c = dlist_entry<OGL_render_state_group>(pos);
            if (c->ps == pd->ps) {
                g = c;
                break;
            }
        }
        if (!g) {
            g = mem_new_zeroed<OGL_render_state_group>();
            if (!g) BUG();
            g->ps = pd->ps;
            dlist_init(&g->active);
            dlist_init(&g->inactive);
            dlist_insert_back(&g->link, &q->groups);
        }
        dlist_insert_back(&pd->link, rpds->active ? &g->active : &g->inactive);
        pd->group = g;
    }
    rpds->queue = q;
    return true;
}

void OGL_render_pass_activate(OGL_render_pass_data *pd)
{
    ASSERT(pd->group != nullptr);
    dlist_unlink(&pd->link);
    dlist_insert_front(&pd->link, &pd->group->active);
}

void OGL_render_pass_deactivate(OGL_render_pass_data *pd)
{
    ASSERT(pd->group != nullptr);
    dlist_unlink(&pd->link);
    dlist_insert_front(&pd->link, &pd->group->inactive);
}

void OGL_render_pass_remove(OGL_render_pass_data *pd)
{
    if (pd->link.next) dlist_unlink(&pd->link);
}

void OGL_render_queue_remove_render_pass_data_set(OGL_render_pass_data_set *rpds)
{
    if (!rpds->queue) return;
    for (uint32_t i = 0; i < rpds->passesno; i++) {
        OGL_render_pass_data *pd = rpds->passes[i];
        OGL_render_state_group *g = pd->group;
        OGL_render_pass_remove(pd);
        pd->group = nullptr;
        if (g && dlist_is_empty(&g->active) && dlist_is_empty(&g->inactive)) {
            dlist_unlink(&g->link);
            mem_free(g);
        }
    }
    rpds->queue = nullptr;
}

void OGL_render_queue_dump(const OGL_render_queue *q)
{
    char line[160];
    dlist_for_each(gpos, &q->groups)
    {
        OGL_render_state_group *g = dlist_entry<OGL_render_state_group>(gpos);
        int active = 0, inactive = 0;
        dlist_for_each(p, &g->active) active++;
        dlist_for_each(p, &g->inactive) inactive++;
        std::snprintf(line, sizeof(line), "%s: state \"%s\", %d active, %d inactive", q->label ? q->label : "queue",
                      g->ps->name, active, inactive);
        do_log(LOG_DEBUG, LOG_TO_DEBUGGER | LOG_TO_FILE, "queue_pass_check(): %s", line);
    }
}

// ---------------------------------------------------------------- GL state

static int __units()
{
    static int units = 0;
    if (units == 0) {
        GLint n = 1;
        glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &n);
        units = n < 1 ? 1 : n > OGL_RP_MAX_UNITS ? OGL_RP_MAX_UNITS : n;
    }
    return units;
}

static void __disable_targets(GLenum keep)
{
    if (keep != GL_TEXTURE_2D) glDisable(GL_TEXTURE_2D);
    if (GLEW_ARB_texture_cube_map && keep != GL_TEXTURE_CUBE_MAP_ARB) glDisable(GL_TEXTURE_CUBE_MAP_ARB);
    if ((GLEW_ARB_texture_rectangle || GLEW_EXT_texture_rectangle || GLEW_NV_texture_rectangle) &&
        keep != GL_TEXTURE_RECTANGLE_ARB)
        glDisable(GL_TEXTURE_RECTANGLE_ARB);
}

void OGL_reset_texture_units()
{
    for (int u = __units() - 1; u >= 0; u--) {
        glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + u));
        glClientActiveTextureARB(GLenum(GL_TEXTURE0_ARB + u));
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, GL_MODULATE);
        glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA_ARB, GL_MODULATE);
        __disable_targets(0);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
}

static void __array(bool on, GLenum client_state)
{
    if (on)
        glEnableClientState(client_state);
    else
        glDisableClientState(client_state);
}

static void __attrib(int index, bool on)
{
    if (!GLEW_ARB_vertex_program) return;
    if (on)
        glEnableVertexAttribArrayARB(GLuint(index));
    else
        glDisableVertexAttribArrayARB(GLuint(index));
}

static void __init_render_pass_state(const OGL_render_pass_state *ps)
{
    ASSERT(!(ps->vertex_array_enabled && ps->vp_vertex_attrib_array_enabled[0]));
    ASSERT(!(ps->vnormals_array_enabled && ps->vp_vertex_attrib_array_enabled[2]));
    ASSERT(!(ps->cvertexs_array_enabled && ps->vp_vertex_attrib_array_enabled[3]));
    if (ps->use_vp) ASSERT(GLEW_ARB_vertex_program && ps->vertex_program_id > 0);
    if (ps->use_fp) ASSERT(GLEW_ARB_fragment_program && ps->fragment_program_id > 0);
    int units = __units();
    for (int i = 0; i < units + 8; i++) {
        bool generic = ps->vp_vertex_attrib_array_enabled[i];
        if (generic) ASSERT(GLEW_ARB_vertex_program);
        if (i == 0 || i == 2 || i == 3) {
            bool ff = i == 0   ? ps->vertex_array_enabled
                      : i == 2 ? ps->vnormals_array_enabled
                               : ps->cvertexs_array_enabled;
            GLenum cs = i == 0 ? GL_VERTEX_ARRAY : i == 2 ? GL_NORMAL_ARRAY : GL_COLOR_ARRAY;
            if (ff) {
                __attrib(i, false);
                glEnableClientState(cs);
            } else {
                glDisableClientState(cs);
                __attrib(i, generic);
            }
        } else if (i < 8) {
            __attrib(i, generic);
        } else {
            int u = i - 8;
            glClientActiveTextureARB(GLenum(GL_TEXTURE0_ARB + u));
            if (generic) {
                glDisableClientState(GL_TEXTURE_COORD_ARRAY);
                __attrib(i, true);
            } else {
                __attrib(i, false);
                __array(ps->tex_coord_array_enabled[u], GL_TEXTURE_COORD_ARRAY);
            }
        }
    }
    glDepthMask(ps->depth_mask_off ? GL_FALSE : GL_TRUE);
    if (ps->lighting) {
        glEnable(GL_LIGHTING);
        glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, OGL_render_options_test(OGL_RENDER_OPTION_NO_SEPARATE_SPECULAR)
                                                        ? GL_SINGLE_COLOR
                                                        : GL_SEPARATE_SPECULAR_COLOR);
    } else {
        glDisable(GL_LIGHTING);
    }
    if (GLEW_ARB_vertex_program) {
        if (ps->use_vp) {
            glBindProgramARB(GL_VERTEX_PROGRAM_ARB, ps->vertex_program_id);
            glEnable(GL_VERTEX_PROGRAM_ARB);
        } else {
            glDisable(GL_VERTEX_PROGRAM_ARB);
        }
    }
    if (GLEW_ARB_fragment_program) {
        if (ps->use_fp) {
            glBindProgramARB(GL_FRAGMENT_PROGRAM_ARB, ps->fragment_program_id);
            glEnable(GL_FRAGMENT_PROGRAM_ARB);
        } else {
            glDisable(GL_FRAGMENT_PROGRAM_ARB);
        }
    }
    for (int u = units - 1; u >= 0; u--) {
        glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + u));
        if (!ps->texturing || !ps->unit_enabled[u]) {
            __disable_targets(0);
            glDisable(GL_TEXTURE_GEN_S);
            glDisable(GL_TEXTURE_GEN_T);
            continue;
        }
        __disable_targets(ps->target[u]);
        glEnable(ps->target[u]);
        const OGL_texture_unit_state *t = &ps->tus[u];
        if (!ps->use_fp) {
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GLint(t->env_mode));
            if (t->env_mode == GL_COMBINE_ARB) {
                glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, GLint(t->combine_rgb));
                glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA_ARB, GLint(t->combine_alpha));
            }
            if (t->src0_rgb) {
                glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB_ARB, GLint(t->src0_rgb));
                glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB_ARB, GLint(t->op0_rgb));
            }
            if (t->src1_rgb) {
                glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB_ARB, GLint(t->src1_rgb));
                glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB_ARB, GLint(t->op1_rgb));
            }
            if (t->src0_alpha) {
                glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA_ARB, GLint(t->src0_alpha));
                glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA_ARB, GLint(t->op0_alpha));
            }
            if (t->src1_alpha) {
                glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_ALPHA_ARB, GLint(t->src1_alpha));
                glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_ALPHA_ARB, GLint(t->op1_alpha));
            }
            ASSERT(ps->tus[u].rgb_scale > 0);
            glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE_ARB, t->rgb_scale);
        }
        if (t->sphere_map) {
            glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
            glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
            glEnable(GL_TEXTURE_GEN_S);
            glEnable(GL_TEXTURE_GEN_T);
        } else {
            glDisable(GL_TEXTURE_GEN_S);
            glDisable(GL_TEXTURE_GEN_T);
        }
    }
    glEnable(GL_DEPTH_TEST);
    if (ps->two_sided)
        glDisable(GL_CULL_FACE);
    else
        glEnable(GL_CULL_FACE);
    if (ps->blending) {
        glEnable(GL_BLEND);
        glBlendFunc(ps->blend_src, ps->blend_dst);
        if (!ps->no_alpha_test) {
            glEnable(GL_ALPHA_TEST);
            glAlphaFunc(GL_GREATER, 0.0f);
        } else {
            glDisable(GL_ALPHA_TEST);
        }
    } else {
        glDisable(GL_BLEND);
        glDisable(GL_ALPHA_TEST);
    }
    if (OGL_fog_is_set() && !ps->no_fog)
        glEnable(GL_FOG);
    else
        glDisable(GL_FOG);
    OGL_frame_stats_add_state_application();
}

// ---------------------------------------------------------------- pass data

static const OGL_mesh_light *__pass_light(const OGL_render_pass_data *pd)
{
    const OGL_mesh_light *l = OGL_mesh_instance_get_light(pd->mi, pd->light_index);
    ASSERT(pd->light_index < pd->mi->lights->get_size() && l != nullptr);
    return l;
}

static tacka3 __light_color(const OGL_mesh_light *l) { return tacka3_scale(l->color, l->intensity); }

static bool __inverse_world(const OGL_render_pass_data *pd, float inv[16])
{
    if (!pd->mi->world_matrix || !matrix_inverse(inv, pd->mi->world_matrix)) {
        matrix_identity(inv);
        return false;
    }
    return true;
}

static tacka4 __param_value(const OGL_render_pass_data *pd, uint32_t src, bool vertex, const view *camera)
{
    const OGL_mesh_instance *mi = pd->mi;
    switch (src) {
    case OGL_PARAM_LIGHT_LS_POS: {
        tacka3 p = __pass_light(pd)->ls_pos;
        return {p.x, p.y, p.z, 1};
    }
    case OGL_PARAM_LIGHT_COLOR: {
        tacka3 c = __light_color(__pass_light(pd));
        return {c.x, c.y, c.z, 1};
    }
    case OGL_PARAM_GLOBAL_LIGHT_POS: {
        if (glIsEnabled(GL_LIGHT0) && pd->light_index == 0) {
            tacka4 p = OGL_global_light_get_position();
            return {p.x, p.y, p.z, 1};
        }
        return {0, 0, 0, 1};
    }
    case OGL_PARAM_EYE_LS_POS: {
        float inv[16];
        __inverse_world(pd, inv);
        tacka3 e = matrix_transform_point(inv, camera ? camera->position : tacka3{0, 0, 0});
        return {e.x, e.y, e.z, 1};
    }
    case OGL_PARAM_LIGHT_RANGES: {
        const OGL_mesh_light *l = __pass_light(pd);
        // A range at or below 0.001 has no reciprocal (both program kinds).
        float n = l->near_range, f = l->far_range;
        return {n, f, n > 0.001f ? 1.0f / (n * n) : 0.0f, f > 0.001f ? 1.0f / (f * f) : 0.0f};
    }
    case OGL_PARAM_MAT_DIFFUSE: return {pd->mat_diffuse.x, pd->mat_diffuse.y, pd->mat_diffuse.z, 1};
    case OGL_PARAM_MAT_SPECULAR:
        return {pd->mat_specular.x, pd->mat_specular.y, pd->mat_specular.z, pd->shininess * 100.0f};
    case OGL_PARAM_MAT_EMISSION: return {pd->mat_emission.x, pd->mat_emission.y, pd->mat_emission.z, 1};
    case OGL_PARAM_DIFFUSE_X_LIGHT: {
        tacka3 c = __light_color(__pass_light(pd));
        return {pd->mat_diffuse.x * c.x, pd->mat_diffuse.y * c.y, pd->mat_diffuse.z * c.z, 1};
    }
    case OGL_PARAM_ZERO: return {0, 0, 0, 1};
    case OGL_PARAM_LIGHT_WS_POS:
        if (vertex) {
            tacka3 p = __pass_light(pd)->ws_pos;
            return {p.x, p.y, p.z, 1};
        }
        break;
    case OGL_PARAM_INV_WORLD_ROW0:
    case OGL_PARAM_INV_WORLD_ROW0 + 1:
    case OGL_PARAM_INV_WORLD_ROW0 + 2:
    case OGL_PARAM_INV_WORLD_ROW0 + 3: {
        float inv[16];
        __inverse_world(pd, inv);
        const float *r = inv + 4 * (src - OGL_PARAM_INV_WORLD_ROW0);
        return {r[0], r[1], r[2], r[3]};
    }
    case OGL_PARAM_WS_SCALE:
        if (vertex) {
            tacka3 s = OGL_mesh_instance_get_ws_scale(mi);
            return {s.x, s.y, s.z, 1};
        }
        break;
    default:
        if (vertex && src >= OGL_PARAM_CUSTOM) {
            uint32_t n = src - OGL_PARAM_CUSTOM;
            ASSERT(mi->custom_vp_params != nullptr && n < mi->custom_vp_params->get_size());
            return mi->custom_vp_params->data[n];
        }
        break;
    }
    do_log(LOG_CRITICAL, LOG_TO_ALL, "shader_init: unknown or unsupported parameter");
    BUG();
}

static void __init_shader_render_pass_data(OGL_render_pass_data *pd, const view *camera)
{
    const OGL_render_pass_state *ps = pd->ps;
    if (ps->use_vp) {
        ASSERT(ps->vp_params_no <= OGL_RP_MAX_PARAMS);
        for (uint32_t i = 0; i < ps->vp_params_no; i++)
            pd->vp_params[i] = __param_value(pd, ps->vp_param_src[i], true, camera);
    }
    if (ps->use_fp) {
        ASSERT(ps->fp_params_no <= OGL_RP_MAX_PARAMS);
        for (uint32_t i = 0; i < ps->fp_params_no; i++)
            pd->fp_params[i] = __param_value(pd, ps->fp_param_src[i], false, camera);
    }
}

static void __init_render_pass_data(const OGL_render_pass_data *pd)
{
    const OGL_render_pass_state *ps = pd->ps;
    glPushMatrix();
    if (pd->mi->world_matrix) glMultMatrixf(pd->mi->world_matrix);
    if (GLEW_ARB_vertex_buffer_object) {
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, pd->vbo);
        glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, pd->ibo);
    }
    if (ps->vertex_array_enabled) glVertexPointer(pd->vertexs_components, GL_FLOAT, pd->vertexs_stride, pd->vertexs);
    if (ps->vnormals_array_enabled) glNormalPointer(GL_FLOAT, pd->vnormals_stride, pd->vnormals);
    if (ps->cvertexs_array_enabled) glColorPointer(4, pd->colors_type, pd->colors_stride, pd->colors);
    for (int i = 0; i < OGL_RP_MAX_ATTRIBS; i++)
        if (ps->vp_vertex_attrib_array_enabled[i]) {
            ASSERT(ps->use_vp);
            const OGL_attrib_array *a = &pd->attribs[i];
            glVertexAttribPointerARB(GLuint(i), a->components, a->type, a->normalized ? GL_TRUE : GL_FALSE, a->stride,
                                     a->pointer);
        }
    int units = __units();
    for (int u = 0; u < units; u++)
        if (ps->tex_coord_array_enabled[u] && !ps->vp_vertex_attrib_array_enabled[8 + u]) {
            glClientActiveTextureARB(GLenum(GL_TEXTURE0_ARB + u));
            glTexCoordPointer(pd->tex_coord_components[u] ? pd->tex_coord_components[u] : 2, GL_FLOAT,
                              pd->tex_coord_stride[u], pd->tex_coord[u]);
        }
    if (ps->texturing)
        for (int u = units - 1; u >= 0; u--) {
            if (!ps->unit_enabled[u]) continue;
            glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + u));
            if (pd->textures[u]) {
                OGL_texture_bind(pd->textures[u]);
            } else {
                glBindTexture(ps->target[u], pd->gl_textures[u]);
                glMatrixMode(GL_TEXTURE);
                glLoadIdentity();
                glMatrixMode(GL_MODELVIEW);
            }
        }
    if (!ps->lighting) {
        glColor4f(pd->color.x, pd->color.y, pd->color.z, 1.0f);
    } else {
        float d[4] = {pd->mat_diffuse.x, pd->mat_diffuse.y, pd->mat_diffuse.z, 1.0f};
        float e[4] = {pd->mat_emission.x, pd->mat_emission.y, pd->mat_emission.z, 1.0f};
        float s[4] = {pd->mat_specular.x, pd->mat_specular.y, pd->mat_specular.z, 1.0f};
        // The ambient term comes from the instance-coloured pass, not from each light pass.
        float a[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, a);
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, d);
        glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, e);
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, s);
        float sh = pd->shininess * 100.0f;
        glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, sh < 0.0f ? 0.0f : sh > 128.0f ? 128.0f : sh);
    }
    glDepthFunc(ps->custom_depth_func ? pd->depth_func : GL_LEQUAL);
    if (ps->use_vp)
        for (uint32_t i = 0; i < ps->vp_params_no; i++)
            glProgramLocalParameter4fvARB(GL_VERTEX_PROGRAM_ARB, i, &pd->vp_params[i].x);
    if (ps->use_fp)
        for (uint32_t i = 0; i < ps->fp_params_no; i++)
            glProgramLocalParameter4fvARB(GL_FRAGMENT_PROGRAM_ARB, i, &pd->fp_params[i].x);
}

// GL lights 1..6 from the instance's local lights 0..5 (positions in world
// space: the camera matrix is current).
static void __setup_local_lights(const OGL_mesh_instance *mi)
{
    for (int slot = 1; slot <= 6; slot++) {
        const OGL_mesh_light *l = OGL_mesh_instance_get_light(mi, uint32_t(slot - 1));
        if (!l) {
            glDisable(GLenum(GL_LIGHT0 + slot));
            continue;
        }
        bool spot = l->type != OGL_MESH_LIGHT_POINT;
        OGL_setup_local_light(slot, l->ws_pos, tacka4{0, 0, 0, 1}, __light_color(l), false, spot ? l->cutoff : 0.0f,
                              l->spot_dir);
    }
}

// The queue's place in the drawing order (-1 for a queue of the caller's own).
static int __queue_index(const OGL_render_queue *q)
{
    for (int i = 0; i < OGL_RQ_COUNT; i++)
        if (q == &g_queues[i]) return i;
    return -1;
}

void OGL_render_queue_draw(OGL_render_queue *q, const view *camera)
{
    const int queue_index = OGL_group_costs_enabled() ? __queue_index(q) : -1;
    dlist_for_each(gpos, &q->groups)
    {
        OGL_render_state_group *g = dlist_entry<OGL_render_state_group>(gpos);
        if (dlist_is_empty(&g->active)) continue;
        const OGL_render_pass_state *ps = g->ps;
        __init_render_pass_state(ps);
        if (ps->lighting) OGL_global_light_apply();
        dlist_for_each(ppos, &g->active)
        {
            OGL_render_pass_data *pd = dlist_entry<OGL_render_pass_data>(ppos);
            OGL_mesh_instance *mi = pd->mi;
            // Light state only matters to lit passes; unlit ones skip the set-up.
            if (ps->lighting) __setup_local_lights(mi);
            glColor4f(1, 1, 1, 1);
            if (ps->use_fp || ps->use_vp) __init_shader_render_pass_data(pd, camera);
            __init_render_pass_data(pd);
            const OGL_mesh *m = mi->mesh;
            uint32_t ranges = mi->range_counts->get_size();
            OGL_group_costs_begin_batch();
            if (ranges > 0) {
                for (uint32_t r = 0; r < ranges; r++)
                    OGL_mesh_draw_range(m, GLsizei(mi->range_counts->data[r]), mi->range_offsets->data[r]);
            } else {
                OGL_mesh_draw(m);
            }
            OGL_group_costs_end_batch(queue_index, ps);
            OGL_frame_stats_add_batch(m->trisno);
            glPopMatrix();
        }
    }
}

static void __refresh_instance_colours()
{
    OGL_render_queue *q = OGL_render_queue_get(OGL_RQ_INSTANCE_COLORED);
    dlist_for_each(gpos, &q->groups)
    {
        OGL_render_state_group *g = dlist_entry<OGL_render_state_group>(gpos);
        dlist_for_each(ppos, &g->active)
        {
            OGL_render_pass_data *pd = dlist_entry<OGL_render_pass_data>(ppos);
            pd->color = pd->mi ? pd->mi->color : tacka4{1, 1, 1, 1};
        }
    }
}

static void __leave_state()
{
    if (GLEW_ARB_vertex_buffer_object) {
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
        glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
    }
    if (GLEW_ARB_vertex_program) {
        glDisable(GL_VERTEX_PROGRAM_ARB);
        for (int i = 0; i < OGL_RP_MAX_ATTRIBS; i++) glDisableVertexAttribArrayARB(GLuint(i));
    }
    if (GLEW_ARB_fragment_program) glDisable(GL_FRAGMENT_PROGRAM_ARB);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    OGL_reset_texture_units();
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
}

void OGL_render_queues_draw(const view *camera)
{
    if (!g_queues_ready) OGL_render_queues_init();
    __refresh_instance_colours();
    int64_t t0 = OGL_frame_stats_now();
    for (int i = 0; i < OGL_RQ_COUNT; i++) OGL_render_queue_draw(&g_queues[i], camera);
    OGL_frame_stats_add_draw_ticks(OGL_frame_stats_now() - t0);
    __leave_state();
}

void OGL_render_frame(const view *camera)
{
    if (!g_queues_ready) OGL_render_queues_init();
    OGL_window *w = OGL_window_get();
    if (w && w->handle && glfwGetCurrentContext() != w->handle) glfwMakeContextCurrent(w->handle);
    int xs = 800, ys = 600;
    if (w) OGL_window_get_size(&xs, &ys);
    OGL_set_viewport_and_projection(xs, ys, camera->fov * 180.0f / 3.14159265358979f);
    OGL_fog_apply();
    OGL_global_light_apply();
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(camera->view_matrix);
    OGL_render_queues_draw(camera);
}
