// Scene instances as mesh instances: creation and release, profile
// (re-)insertion, visibility, per-frame placement and changed mesh data.

#include "corelib/log.h"
#include "renderer/OGL_mesh.h"
#include "renderer/OGL_render_profiles.h"
#include "renderer/OGL_render_queue.h"
#include "renderer/OGL_scene.h"
#include "renderer/OGL_scene_parts.h"
#include "scene/object.h"
#include "scene/object_instance.h"

static OGL_mesh_instance *__mi(const object_instance *oi)
{
    return (oi->flags & OI_OGL_MESH_INSTANCE) ? oi->ogl_mesh_instance : nullptr;
}

static const char *__oi_name(const object_instance *oi) { return OI_has_name(oi) ? oi->name : "(unnamed)"; }

static bool __shown(const object_instance *oi) { return oi->desc.visible && !oi->desc.invisible; }

scene_renderer_result __OGL_scene_oi_insert(object_instance *oi)
{
    if (!OI_has_object(oi)) return SCENE_RENDERER_NOT_MINE;
    if (oi->obj->type != OBJECT_TYPE_MESH) {
        do_log(LOG_DEBUG, LOG_TO_FILE, "OGL_scene: instance \"%s\" is terrain, left to the terrain",
               log_quote(__oi_name(oi)).text);
        return SCENE_RENDERER_NOT_MINE;
    }
    OGL_mesh *mesh = __OGL_scene_mesh_acquire(oi);
    if (!mesh) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "OGL_scene: instance \"%s\" (object \"%s\") cannot be drawn",
               log_quote(__oi_name(oi)).text, object_has_name(oi->obj) ? oi->obj->name : "");
        return SCENE_RENDERER_FAILED;
    }
    OGL_mesh_instance *mi = OGL_mesh_instance_init();
    OGL_mesh_instance_set_mesh(mi, mesh);
    // Skinned positions and world-space objects need no placement.
    const bool world_space = __OGL_scene_mesh_is_own(mesh) || object_vertexs_are_in_world_space(oi->obj);
    OI_calc_world_transform(oi);
    OGL_mesh_instance_set_world_matrix(mi, world_space ? nullptr : oi->world_matrix);
    OGL_mesh_instance_set_ws_scale(mi, world_space ? tacka3{1, 1, 1} : oi->world_scale);
    OI_set_ogl_mesh(oi, mesh);
    OI_set_ogl_mesh_instance(oi, mi);
    OGL_mesh_instance_set_color(mi, __OGL_scene_instance_color(oi, mi));
    return SCENE_RENDERER_TAKEN;
}

void __OGL_scene_oi_remove(object_instance *oi)
{
    if (OGL_mesh_instance *mi = __mi(oi)) {
        OGL_render_profile_release(mi);
        OGL_mesh_instance_deinit(mi);
    }
    if ((oi->flags & OI_OGL_MESH) && oi->ogl_mesh) __OGL_scene_mesh_release(oi->ogl_mesh);
    OI_set_ogl_mesh_instance(oi, nullptr);
    OI_set_ogl_mesh(oi, nullptr);
}

void __OGL_scene_oi_insert_into_profile(object_instance *oi)
{
    OGL_mesh_instance *mi = __mi(oi);
    if (!mi) return;
    OGL_render_profile_release(mi);
    if (!__OGL_scene_prepare_profile(oi, mi))
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE,
               "OGL_scene: instance \"%s\": its material could not be prepared", log_quote(__oi_name(oi)).text);
    if (int *lod = __OGL_scene_mesh_lod_slot(mi->mesh)) *lod = oi->desc.surface_lod;
    OGL_mesh_instance_set_color(mi, __OGL_scene_instance_color(oi, mi));
    OGL_mesh_instance_activate(mi, __shown(oi));
}

void __OGL_scene_oi_update_lights(object_instance *oi)
{
    OGL_mesh_instance *mi = __mi(oi);
    if (!mi) return;
    __OGL_scene_lights_choose(oi, mi);
    OGL_mesh_instance_set_color(mi, __OGL_scene_instance_color(oi, mi));
    // Passes are built per light: a new choice rebuilds them.
    if (mi->prof_data || !dlist_is_empty(&mi->pass_data_sets)) __OGL_scene_oi_insert_into_profile(oi);
}

void __OGL_scene_oi_final_setup(object_instance *oi)
{
    if (OGL_mesh_instance *mi = __mi(oi)) OGL_mesh_instance_activate(mi, __shown(oi));
}

void __OGL_scene_oi_set_visible(object_instance *oi, bool visible)
{
    if (OGL_mesh_instance *mi = __mi(oi)) OGL_mesh_instance_activate(mi, visible);
}

void __OGL_scene_oi_flush(object_instance *oi)
{
    OGL_mesh_instance *mi = __mi(oi);
    if (!mi) return;
    OGL_mesh *mesh = mi->mesh;
    bool relevel = true;
    if (__OGL_scene_mesh_is_own(mesh)) {
        // A skinned instance's own mesh: new positions every frame.
        uint32_t what = OGL_MESH_UPDATE_VERTEXS | OGL_MESH_UPDATE_VNORMALS;
        if (mesh->tangents) what |= OGL_MESH_UPDATE_TANGENTS | OGL_MESH_UPDATE_BINORMALS;
        OGL_mesh_update_arrays(mesh, what);
        int *lod = __OGL_scene_mesh_lod_slot(mesh);
        relevel = lod && *lod != oi->desc.surface_lod;
    }
    if (relevel) __OGL_scene_oi_insert_into_profile(oi);
}

void __OGL_scene_oi_update(object_instance *oi)
{
    OGL_mesh_instance *mi = __mi(oi);
    if (!mi) return;
    if (mi->world_matrix) OGL_mesh_instance_set_ws_scale(mi, oi->world_scale);
    // A moving instance takes the lights it reaches now (rebuilding its passes).
    if (oi->desc.dynamic && !oi->desc.not_hw_lit && __OGL_scene_lights_changed(oi, mi)) {
        __OGL_scene_oi_update_lights(oi);
        return;
    }
    __OGL_scene_lights_refresh(mi);
}
