// The terrain profile: splatting of three layers by a blend map with a detail
// term and a pre-blended map faded in with distance (full mode: vertex and
// fragment programs), the pre-blended map with a detail map in fixed-function
// units under the terrain vertex program (mixed mode), or nothing on boards
// without vertex programs (the scene then carries fixed-function meshes).

#include <cstdio>
#include <cstring>

#include "corelib/log.h"
#include "corelib/mem.h"
#include "renderer/OGL_features.h"
#include "renderer/OGL_mesh.h"
#include "renderer/OGL_mesh_instance.h"
#include "renderer/OGL_render_profiles.h"
#include "renderer/OGL_render_queue.h"
#include "renderer/OGL_scene_parts.h"
#include "renderer/OGL_settings.h"
#include "renderer/OGL_terrain_programs.h"
#include "renderer/OGL_texture.h"
#include "renderer/load_program.h"
#include "scene/unitexture.h"

OGL_terrain_programs OGL_terra_programs;
static int g_mode = OGL_TERRAIN_MODE_FIXED;

static const char *const TERRA_DIRS[OGL_TERRA_SETS] = {"bolid\\terrain1\\", "bolid\\terrain2\\", "bolid\\terrain3\\",
                                                       "bolid\\terrain4\\"};
static const char *const TERRA_FILES[OGL_TERRA_IMAGES] = {"Layer0.tga",    "Layer1.tga", "Layer2.tga",
                                                          "blend_map.tga", "detail.tga", "single_map.tga"};
static unitexture *g_textures[OGL_TERRA_IMAGES];
static bool g_textures_tried;
static char g_folder[1024];

static void __load(const char *text, GLenum target, GLuint *id)
{
    if (!__load_program(text, target, id, false)) BUG();
}

int terrain_get_mode() { return g_mode; }

bool terrain_create_profile(OGL_render_profile *)
{
    OGL_terra_programs = OGL_terrain_programs{};
    bool fp = OGL_features_fragment_programs_available() && !OGL_render_settings_get_pixel_programs_disabled();
    if (fp && OGL_features_vertex_programs_available()) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE,
               "terrain_create_profile: vp&fp supported; switching to full mode");
        __load(OGL_PROGRAM_TERRA_MIXED_VP, GL_VERTEX_PROGRAM_ARB, &OGL_terra_programs.vp_mixed);
        __load(OGL_PROGRAM_TERRA_FULL_VP, GL_VERTEX_PROGRAM_ARB, &OGL_terra_programs.vp_full);
        __load(OGL_PROGRAM_TERRA_SPLAT_FP, GL_FRAGMENT_PROGRAM_ARB, &OGL_terra_programs.fp_splat);
        __load(OGL_PROGRAM_TERRA_SINGLE_FP, GL_FRAGMENT_PROGRAM_ARB, &OGL_terra_programs.fp_single);
        __load(OGL_PROGRAM_TERRA_SINGLE_FADED_FP, GL_FRAGMENT_PROGRAM_ARB, &OGL_terra_programs.fp_single_faded);
        g_mode = OGL_TERRAIN_MODE_FULL;
    } else if (OGL_features_vertex_programs_available()) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE,
               "terrain_create_profile: fp unsupported; switching to mixed mode");
        __load(OGL_PROGRAM_TERRA_MIXED_VP, GL_VERTEX_PROGRAM_ARB, &OGL_terra_programs.vp_mixed);
        g_mode = OGL_TERRAIN_MODE_MIXED;
    } else {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE,
               "terrain_create_profile:  both fp && vp unsupported; switching to fpl mode");
        g_mode = OGL_TERRAIN_MODE_FIXED;
    }
    return true;
}

void terrain_free_profile(OGL_render_profile *)
{
    terra_deinit_textures();
    OGL_program_free(&OGL_terra_programs.vp_mixed);
    OGL_program_free(&OGL_terra_programs.vp_full);
    OGL_program_free(&OGL_terra_programs.fp_splat);
    OGL_program_free(&OGL_terra_programs.fp_single);
    OGL_program_free(&OGL_terra_programs.fp_single_faded);
}

void terra_set_texture_folder(const char *folder)
{
    std::snprintf(g_folder, sizeof g_folder, "%s", folder ? folder : "");
}

bool terra_init_textures(int terra_set)
{
    if (g_textures_tried) return g_textures[0] != nullptr;
    if (terra_set < 0 || terra_set >= OGL_TERRA_SETS) {
        do_log(LOG_CRITICAL, LOG_TO_ALL, "%s() at file \"%s\", line %i: %s!", __func__, __FILE__, __LINE__,
               "\"OGL_render_profile_terrain.cpp : terra_init_textures() : invalid terra_set argument\"");
        BUG();
    }
    g_textures_tried = true;
    uint32_t options = UNITEX_OPT_BASE1 | UNITEX_OPT_BASE2 | UNITEX_OPT_MIPMAP | (3u << UNITEX_OPT_LOD_SHIFT);
    for (int i = 0; i < OGL_TERRA_IMAGES; i++) {
        char name[64], path[1200];
        std::snprintf(name, sizeof name, "%s%s", TERRA_DIRS[terra_set], TERRA_FILES[i]);
        std::snprintf(path, sizeof path, "%s%s", g_folder, name);
        unitexture *u = unitexture_init_and_lock(path, name, options);
        bool ok = u && unitexture_load(u);
        if (ok && !unitexture_get_ogl_texture(u)) ok = __OGL_scene_texture_create(u);
        if (!ok) {
            if (u) unitexture_unlock_and_deinit(u);
            do_log(LOG_WARNING, LOG_TO_ALL, "terra tex init failed (\"%s\")", path);
            terra_deinit_textures();
            g_textures_tried = true;
            return false;
        }
        g_textures[i] = u;
    }
    return true;
}

void terra_deinit_textures()
{
    for (unitexture *&u : g_textures) {
        if (!u) continue;
        __OGL_scene_texture_destroy(u);
        unitexture_unlock_and_deinit(u);
        u = nullptr;
    }
    g_textures_tried = false;
}

OGL_texture *terra_get_texture(int image)
{
    if (image < 0 || image >= OGL_TERRA_IMAGES || !g_textures[image]) return nullptr;
    return unitexture_get_ogl_texture(g_textures[image]);
}

int __terrain_select_lod(float lod)
{
    float l = lod < 0.0f ? 0.0f : lod > 5.0f ? 5.0f : lod;
    int level = int(l);
    if (level == 0) return OGL_TERRA_LEVEL_SPLAT;
    if (level >= 1 && level <= 5) return OGL_TERRA_LEVEL_CHEAP;
    BUG();
}

// The state parts every terrain pass shares.
static void __common_state(OGL_render_pass_state *ps, GLuint vp)
{
    OGL_render_pass_state_clear(ps);
    ps->lighting = false;
    ps->texturing = true;
    ps->use_vp = true;
    ps->vertex_program_id = vp;
    ps->vp_params_no = OGL_TERRA_VP_PARAMS;
    for (uint32_t i = 0; i < OGL_TERRA_VP_PARAMS; i++) ps->vp_param_src[i] = OGL_PARAM_CUSTOM + i;
    for (int i = 0; i < 4; i++) ps->vp_vertex_attrib_array_enabled[i] = true;
}

static void __unit(OGL_render_pass_state *ps, int u, GLenum env)
{
    ps->unit_enabled[u] = true;
    ps->target[u] = GL_TEXTURE_2D;
    ps->tus[u].env_mode = env;
    ps->tus[u].rgb_scale = 1.0f;
}

static OGL_render_pass_data *__add(OGL_render_pass_data_set *set, OGL_render_pass_state *ps, OGL_mesh_instance *mi,
                                   const OGL_terrain_data *d)
{
    const OGL_render_pass_state *shared = OGL_render_pass_state_share(ps);
    ASSERT(shared != nullptr);
    OGL_render_pass_data *pd = OGL_render_pass_data_set_add_pass(set, shared);
    ASSERT(pd != nullptr);
    OGL_render_pass_data_fill_arrays(pd);
    const OGL_mesh *m = mi->mesh;
    ASSERT(m->generic_streams != nullptr && m->generic_streams->get_size() >= 4);
    for (int i = 0; i < 4; i++) {
        const OGL_generic_data_stream *g = &m->generic_streams->data[i];
        OGL_attrib_array *a = &pd->attribs[i];
        a->components = GLint(g->components);
        a->type = __OGL_generic_data_stream_get_type(g);
        a->normalized = __OGL_generic_data_stream_is_type_normalized(g);
        a->stride = OGL_mesh_has_vbo(m) ? g->stride : 0;
        a->pointer = OGL_mesh_has_vbo(m) ? reinterpret_cast<const void *>(uintptr_t(g->offset)) : g->data->data;
    }
    pd->color = d->color;
    pd->mat_diffuse = pd->mat_specular = pd->mat_emission = d->color;
    return pd;
}

void __terra_insert_passes_full(OGL_render_pass_data_set *set, OGL_mesh_instance *mi, const OGL_terrain_data *d,
                                int level)
{
    OGL_render_pass_state ps;
    if (level == OGL_TERRA_LEVEL_SPLAT) {
        __common_state(&ps, OGL_terra_programs.vp_full);
        ps.use_fp = true;
        ps.no_fog = true;
        ps.fragment_program_id = OGL_terra_programs.fp_splat;
        for (int u = 0; u < 4; u++) __unit(&ps, u, GL_MODULATE);
        std::snprintf(ps.name, sizeof ps.name, "terra splat");
        OGL_render_pass_data *pd = __add(set, &ps, mi, d);
        pd->textures[0] = terra_get_texture(OGL_TERRA_BLEND_MAP);
        for (int u = 1; u < 4; u++) pd->textures[u] = terra_get_texture(OGL_TERRA_LAYER0 + u - 1);

        __common_state(&ps, OGL_terra_programs.vp_full);
        ps.use_fp = true;
        ps.no_fog = true;
        ps.fragment_program_id = OGL_terra_programs.fp_single_faded;
        ps.blending = true;
        ps.blend_src = GL_SRC_ALPHA;
        ps.blend_dst = GL_ONE_MINUS_SRC_ALPHA;
        __unit(&ps, 0, GL_MODULATE);
        std::snprintf(ps.name, sizeof ps.name, "terra fade");
        pd = __add(set, &ps, mi, d);
        pd->textures[0] = terra_get_texture(OGL_TERRA_SINGLE_MAP);
        return;
    }
    if (level == OGL_TERRA_LEVEL_CHEAP) {
        __common_state(&ps, OGL_terra_programs.vp_full);
        ps.use_fp = true;
        ps.no_fog = true;
        ps.fragment_program_id = OGL_terra_programs.fp_single;
        __unit(&ps, 0, GL_MODULATE);
        std::snprintf(ps.name, sizeof ps.name, "terra single");
        OGL_render_pass_data *pd = __add(set, &ps, mi, d);
        pd->textures[0] = terra_get_texture(OGL_TERRA_SINGLE_MAP);
        return;
    }
    BUG();
}

void __terra_insert_passes_mixed(OGL_render_pass_data_set *set, OGL_mesh_instance *mi, const OGL_terrain_data *d,
                                 int level)
{
    OGL_render_pass_state ps;
    __common_state(&ps, OGL_terra_programs.vp_mixed);
    // Unit 0: the pre-blended map x the lit vertex colour.
    __unit(&ps, 0, GL_MODULATE);
    if (level == OGL_TERRA_LEVEL_SPLAT) {
        // Unit 1: x the detail map's alpha, doubled (mid-grey leaves the colour).
        __unit(&ps, 1, GL_COMBINE_ARB);
        OGL_texture_unit_state *t = &ps.tus[1];
        t->combine_rgb = GL_MODULATE;
        t->combine_alpha = GL_REPLACE;
        t->src0_rgb = GL_PREVIOUS_ARB, t->op0_rgb = GL_SRC_COLOR;
        t->src1_rgb = GL_TEXTURE, t->op1_rgb = GL_SRC_ALPHA;
        t->src0_alpha = GL_PREVIOUS_ARB, t->op0_alpha = GL_SRC_ALPHA;
        t->rgb_scale = 2.0f;
        std::snprintf(ps.name, sizeof ps.name, "terra mixed");
    } else if (level == OGL_TERRA_LEVEL_CHEAP) {
        std::snprintf(ps.name, sizeof ps.name, "terra mix1");
    } else {
        BUG();
    }
    OGL_render_pass_data *pd = __add(set, &ps, mi, d);
    pd->textures[0] = terra_get_texture(OGL_TERRA_SINGLE_MAP);
    if (level == OGL_TERRA_LEVEL_SPLAT) pd->textures[1] = terra_get_texture(OGL_TERRA_DETAIL);
}

bool terrain_prepare_mesh(OGL_render_profile *, OGL_mesh_instance *mi, const char *name, void *data)
{
    const OGL_terrain_data *d = static_cast<const OGL_terrain_data *>(data);
    __profile_instance_data(mi, OGL_RENDER_PROFILE_TERRAIN);
    OGL_render_pass_data_set *set = OGL_render_pass_data_set_create(mi, OGL_RPDS_KIND_MAIN);
    ASSERT(set != nullptr);
    int level = __terrain_select_lod(d->lod);
    if (OGL_features_get_max_texture_units() < 2) {
        do_log(LOG_CRITICAL, LOG_TO_ALL, "%s() at file \"%s\", line %i: %s!", __func__, __FILE__, __LINE__,
               "\"terrain_prepare_mesh: unsupported less than 2 tex units\"");
        BUG();
    }
    switch (g_mode) {
    case OGL_TERRAIN_MODE_FULL: __terra_insert_passes_full(set, mi, d, level); break;
    case OGL_TERRAIN_MODE_MIXED: __terra_insert_passes_mixed(set, mi, d, level); break;
    default:
        // No vertex programs: the fixed-function terrain meshes of the scene stand in.
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "terrain_prepare_mesh: no terrain passes for %s in fpl mode",
               name ? name : "(unnamed)");
        OGL_render_pass_data_set_free(set);
        return false;
    }
    return OGL_render_queue_add_render_pass_data_set(OGL_render_queue_get(OGL_RQ_OPAQUE), set);
}
