#include "renderer/OGL_particles.h"

#include "corelib/log.h"
#include "corelib/mem.h"
#include "particles/simple_particles.h"
#include "particles/sps_render.h"
#include "renderer/OGL_main.h"
#include "renderer/OGL_mesh.h"
#include "renderer/OGL_mesh_instance.h"
#include "renderer/OGL_render_profiles.h"
#include "scene/material.h"
#include "scene/object_instance.h"
#include "scene/unitexture.h"

// The renderer's record of one system (sps::render).
struct sps_render_record {
    OGL_mesh *mesh;
    OGL_mesh_instance *mi;
    const tacka2 *channels[1];
    tacka3 *normals; // meshes need normals; unlit quads never read them
    OGL_texture *texture;
    bool prepared;
    bool visible;
};

static sps_render_record *__of(sps *sys) { return sys->render; }

// The renderer texture of the system's material, once the scene made it.
static OGL_texture *__texture_of(const sps *sys)
{
    if (!sys->mat || !material_has_texture(sys->mat, MAT_SLOT_DIFFUSE)) return nullptr;
    unitexture *u = material_get_texture(sys->mat, MAT_SLOT_DIFFUSE);
    return u ? unitexture_get_ogl_texture(u) : nullptr;
}

static void __release(sps_render_record *r)
{
    if (!r->prepared) return;
    OGL_render_profile_release(r->mi);
    r->prepared = false;
}

static bool __prepare(sps *sys, sps_render_record *r)
{
    __release(r);
    OGL_render_profile *profile = OGL_render_profiles_get(OGL_RENDER_PROFILE_SINGLE_TEXTURE);
    if (!profile) return false;
    r->texture = __texture_of(sys);
    OGL_single_texture_data d{};
    d.diffuse_texture = r->texture;
    d.diffuse = r->texture != nullptr;
    d.lit = false;
    d.use_vertex_colors = true;
    d.two_sided = true;
    d.blended = true;
    d.custom_blend = true;
    d.blend_src = GLenum(sys->blend_src);
    d.blend_dst = GLenum(sys->blend_dst);
    d.additive = sys->blend_dst == SPS_BLEND_ONE;
    d.layer = sys->display_priority;
    d.no_depth_write = true;
    d.lod = 3;
    d.mat_diffuse = d.mat_emission = tacka4{1, 1, 1, 1};
    const char *name = sys->oi && OI_has_name(sys->oi) ? OI_get_name(sys->oi) : sps_get_name(sys);
    if (!OGL_render_profile_prepare(profile, r->mi, name, &d)) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "sps_ogl: \"%s\": the render profile refused the system",
               name);
        return false;
    }
    r->prepared = true;
    OGL_mesh_instance_activate(r->mi, r->visible);
    return true;
}

static bool __create(sps *sys)
{
    sps_render_record *r = mem_new_zeroed<sps_render_record>();
    if (!r) return false;
    const uint32_t nv = 6 * sys->population;
    r->channels[0] = sys->tvertexs;
    r->normals = static_cast<tacka3 *>(mem_alloc(size_t(nv) * sizeof(tacka3)));
    if (!r->normals) {
        mem_free(r);
        return false;
    }
    for (uint32_t i = 0; i < nv; i++) r->normals[i] = tacka3{0, 0, 1};
    OGL_mesh_input_data id{};
    id.flags = OGL_MESH_INPUT_DATA_TACKA3_VERTEXS | OGL_MESH_INPUT_DATA_TRIANGLE_LIST_32 |
               OGL_MESH_INPUT_DATA_TEXTURE_CHANNELS | OGL_MESH_INPUT_DATA_BYTE_COLORS | OGL_MESH_INPUT_DATA_DYNAMIC;
    id.vertexsno = nv;
    id.vertexs = sys->vertexs;
    id.flags |= OGL_MESH_INPUT_DATA_TACKA3_VERTEX_NORMALS;
    id.vnormalsno = nv;
    id.vnormals = r->normals;
    id.facesno = 2 * sys->population;
    id.faces32 = sys->triangles;
    id.tvertexs_chnsno = 1;
    id.tvertexs_chns = r->channels;
    id.colorsno = nv;
    id.bcolors = sys->colors;
    r->mesh = OGL_mesh_create(&id);
    r->mi = r->mesh ? OGL_mesh_instance_init() : nullptr;
    if (!r->mi) {
        if (r->mesh) OGL_mesh_free(r->mesh);
        mem_free(r->normals);
        mem_free(r);
        return false;
    }
    OGL_mesh_set_triangle_list_facesno(r->mesh, 0);
    OGL_mesh_instance_set_mesh(r->mi, r->mesh);
    OGL_mesh_instance_set_world_matrix(r->mi, nullptr); // the quads are in world space
    r->visible = sys->active != 0;
    sys->render = r;
    if (!__prepare(sys, r)) {
        OGL_mesh_instance_deinit(r->mi);
        OGL_mesh_free(r->mesh);
        mem_free(r->normals);
        mem_free(r);
        sys->render = nullptr;
        return false;
    }
    return true;
}

static void __destroy(sps *sys)
{
    sps_render_record *r = __of(sys);
    if (!r) return;
    __release(r);
    OGL_mesh_instance_deinit(r->mi);
    OGL_mesh_free(r->mesh);
    mem_free(r->normals);
    mem_free(r);
    sys->render = nullptr;
}

static void __update(sps *sys)
{
    sps_render_record *r = __of(sys);
    if (__texture_of(sys) != r->texture) __prepare(sys, r); // the scene loaded the texture since
    OGL_mesh_set_triangle_list_facesno(r->mesh, sys->vertexsno / 3);
    if (sys->vertexsno == 0) return;
    uint32_t what = OGL_MESH_UPDATE_VERTEXS | OGL_MESH_UPDATE_COLORS;
    if (sys->flags & SPS_FLAG_FRAME_ANIMATION) what |= OGL_MESH_UPDATE_TEXTURE_CHANNELS;
    OGL_mesh_update_arrays(r->mesh, what);
}

static void __set_visible(sps *sys, bool visible)
{
    sps_render_record *r = __of(sys);
    r->visible = visible;
    if (r->prepared) OGL_mesh_instance_activate(r->mi, visible);
}

static void __state_changed(sps *sys) { __prepare(sys, __of(sys)); }

sps_render_hooks OGL_particles_hooks()
{
    sps_render_hooks h{};
    h.create = __create;
    h.destroy = __destroy;
    h.update = __update;
    h.set_visible = __set_visible;
    h.state_changed = __state_changed;
    return h;
}

bool OGL_particles_install()
{
    if (!OGL_is_initialised()) return false;
    const sps_render_hooks h = OGL_particles_hooks();
    sps_render_set_hooks(&h);
    return true;
}

void OGL_particles_uninstall() { sps_render_set_hooks(nullptr); }
