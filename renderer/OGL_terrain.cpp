// The scene's terrain in the renderer: one mesh holding the drawable vertex
// blocks of every quadtree node as four generic streams, one mesh instance
// prepared by the terrain profile, and each frame the selection's indices and
// the vertex program's morph and lighting parameters.

#include <cmath>
#include <cstring>

#include "corelib/log.h"
#include "corelib/mem.h"
#include "corelib/view.h"
#include "renderer/OGL_main.h"
#include "renderer/OGL_mesh.h"
#include "renderer/OGL_mesh_instance.h"
#include "renderer/OGL_render_profiles.h"
#include "renderer/OGL_scene_parts.h"
#include "renderer/OGL_settings.h"
#include "scene/scene.h"
#include "scene/terrain.h"

struct OGL_terrain_record {
    OGL_mesh *mesh;
    // The patches nearer than the finest range, drawn at the level the
    // settings allow (splatting), and the farther ones with the pre-blended map.
    OGL_mesh_instance *mi, *far_mi;
    array<OGL_generic_data_stream> *streams;
    array<uint8_t> *bytes[4];
};

static void __record_free(OGL_terrain_record *r)
{
    if (!r) return;
    for (OGL_mesh_instance *mi : {r->mi, r->far_mi}) {
        if (!mi) continue;
        OGL_render_profile_release(mi);
        OGL_mesh_instance_deinit(mi);
    }
    OGL_mesh_free(r->mesh);
    array_free(r->streams);
    for (array<uint8_t> *b : r->bytes) array_free(b);
    mem_free(r);
}

static bool __stream(OGL_terrain_record *r, int i, const void *src, uint32_t components, uint32_t vertexsno)
{
    uint64_t size = uint64_t(vertexsno) * components * 4;
    array<uint8_t> *b = array_new<uint8_t>();
    if (!b || size > 0xFFFFFFFFu || !b->set_size(uint32_t(size))) {
        array_free(b);
        return false;
    }
    memcpy(b->data, src, size_t(size));
    r->bytes[i] = b;
    OGL_generic_data_stream g{};
    g.type = OGL_GDS_FLOAT;
    g.components = components;
    g.type_size = 4;
    g.data = b;
    g.offset = g.stride = -1;
    return r->streams->add(g);
}

bool __OGL_scene_terrain_insert(scene *sc, terrain *t)
{
    if (!(t->flags & TERRAIN_BUILT)) return false;
    if (terrain_get_mode() == OGL_TERRAIN_MODE_FIXED) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE,
               "terrain: no vertex programs on this board; the terrain is not drawn");
        return false;
    }
    terra_set_texture_folder(sc && scene_has_resources_folder_path(sc) ? scene_get_resources_folder_path(sc) : "");
    if (!terra_init_textures(int(t->layer.texture_set))) return false;
    OGL_terrain_record *r = mem_new_zeroed<OGL_terrain_record>();
    if (!r || !(r->streams = array_new<OGL_generic_data_stream>())) {
        mem_free(r);
        return false;
    }
    bool ok = __stream(r, 0, t->dpos, 4, t->dvertexsno) && __stream(r, 1, t->dnormal, 3, t->dvertexsno) &&
              __stream(r, 2, t->dcnormal, 3, t->dvertexsno) && __stream(r, 3, t->dtex, 4, t->dvertexsno);
    if (!ok) {
        do_log(LOG_WARNING, LOG_TO_ALL, "terrain: out of memory");
        __record_free(r);
        return false;
    }
    OGL_mesh_input_data id{};
    id.flags = OGL_MESH_INPUT_DATA_GENERIC_DATA_STREAMS | OGL_MESH_INPUT_DATA_TRIANGLE_LIST_32;
    id.vertexsno = t->dvertexsno;
    id.faces32 = t->sel.indices;
    id.facesno = t->sel.indices_max / 3;
    id.generic_streams = r->streams;
    r->mesh = OGL_mesh_create(&id);
    OGL_mesh_set_triangle_list_facesno(r->mesh, 0);
    OGL_terrain_data d{};
    // The lowest level the settings allow ("terra_horizon" raises it to the cheap level).
    int lo = 0, hi = 5;
    if (OGL_render_settings_has_surface_lod_clamp()) OGL_render_settings_get_surface_lod_clamp(&lo, &hi);
    d.color = t->layer.color;
    d.terra_set = int(t->layer.texture_set);
    OGL_render_profile *profile = OGL_render_profiles_get(OGL_RENDER_PROFILE_TERRAIN);
    tacka4 zero[OGL_TERRA_VP_PARAMS] = {};
    for (int which = 0; which < 2; which++) {
        OGL_mesh_instance *mi = OGL_mesh_instance_init();
        OGL_mesh_instance_set_mesh(mi, r->mesh);
        OGL_mesh_instance_insert_custom_vp_params(mi, 0, OGL_TERRA_VP_PARAMS, zero);
        (which == 0 ? r->mi : r->far_mi) = mi;
        d.lod = which == 0 ? float(lo) : 5.0f;
        if (!OGL_render_profile_prepare(profile, mi, which == 0 ? "terrain" : "terrain far", &d)) {
            __record_free(r);
            return false;
        }
        OGL_mesh_instance_activate(mi, false);
    }
    t->renderer = r;
    return true;
}

void __OGL_scene_terrain_update(terrain *t, const view *v)
{
    OGL_terrain_record *r = static_cast<OGL_terrain_record *>(t->renderer);
    if (!r) return;
    uint32_t n = t->sel.indicesno;
    if (OGL_mesh_has_vbo(r->mesh) && n > 0) {
        glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, r->mesh->ibo);
        glBufferSubDataARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0, GLsizeiptrARB(size_t(n) * 4), t->sel.indices);
        glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
    }
    OGL_mesh_set_triangle_list_facesno(r->mesh, n / 3);

    tacka4 p[OGL_TERRA_VP_PARAMS] = {};
    p[OGL_TERRA_VP_EYE] = {v->position.x, v->position.y, v->position.z, 1.0f};
    // The pre-blended map fades in over the second half of the finest range.
    float fade_start = 0.5f * t->range[0], fade_width = 0.5f * t->range[0];
    p[OGL_TERRA_VP_TILING] = {t->layer.layer_tiling, t->layer.detail_tiling, fade_start, 1.0f / fade_width};
    tacka4 l = OGL_global_light_is_enabled() ? OGL_global_light_get_position() : tacka4{0.45f, 0.75f, 0.35f, 0.0f};
    float len = std::sqrt(l.x * l.x + l.y * l.y + l.z * l.z);
    if (len > 0) l = {l.x / len, l.y / len, l.z / len, 0.0f};
    p[OGL_TERRA_VP_LIGHT_DIR] = l;
    float s = t->layer.light_scale;
    p[OGL_TERRA_VP_LIGHT_COLOR] = {0.85f * s, 0.83f * s, 0.8f * s, 1.0f};
    p[OGL_TERRA_VP_AMBIENT] = {0.18f, 0.18f, 0.2f, 1.0f};
    for (uint32_t k = 0; k < 7 && k < t->levels; k++) {
        float span = t->morph_end[k] - t->morph_start[k];
        if (span <= 0) span = 1e-3f;
        p[OGL_TERRA_VP_MORPH + k] = {1.0f / span, -t->morph_start[k] / span, 0, 0};
    }
    uint32_t near = t->sel.near_indicesno / 3, all = n / 3;
    OGL_index_range ranges[2] = {{0, near ? near - 1 : 0}, {near, all ? all - 1 : 0}};
    for (int which = 0; which < 2; which++) {
        OGL_mesh_instance *mi = which == 0 ? r->mi : r->far_mi;
        OGL_mesh_instance_insert_custom_vp_params(mi, 0, OGL_TERRA_VP_PARAMS, p);
        OGL_mesh_instance_clear_active_indices_ranges(mi);
        bool drawn = which == 0 ? near > 0 : all > near;
        if (drawn) OGL_mesh_instance_copy_active_indices_ranges(mi, &ranges[which], 1);
        OGL_mesh_instance_activate(mi, drawn);
    }
}

void __OGL_scene_terrain_remove(terrain *t)
{
    __record_free(static_cast<OGL_terrain_record *>(t->renderer));
    t->renderer = nullptr;
}

OGL_mesh_instance *__OGL_scene_terrain_mesh_instance(const terrain *t)
{
    const OGL_terrain_record *r = static_cast<const OGL_terrain_record *>(t->renderer);
    return r ? r->mi : nullptr;
}
