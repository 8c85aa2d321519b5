// Soft skinning of object instances: the plain path.

#include <cstring>

#include "corelib/log.h"
#include "corelib/matrix.h"
#include "corelib/mem.h"
#include "scene/object.h"
#include "scene/object_instance.h"
#include "scene/scene.h"
#include "scene/scene_renderer.h"

bool OI_is_skinned(const object_instance *oi) { return (oi->flags & (OI_SKINNING_FPU | OI_SKINNING_SIMD)) != 0; }

void OI_soft_skinning_deinit(object_instance *oi)
{
    mem_free(oi->bones);
    mem_free(oi->bind_inverse);
    mem_free(oi->skin_vertexs);
    mem_free(oi->skin_vnormals);
    mem_free(oi->skin_tangents);
    mem_free(oi->skin_binormals);
    oi->bones = nullptr;
    oi->bind_inverse = nullptr;
    oi->skin_vertexs = oi->skin_vnormals = oi->skin_tangents = oi->skin_binormals = nullptr;
    oi->skin_vertexsno = 0;
    oi->flags &= ~(OI_SKINNING_FPU | OI_SKINNING_SIMD);
}

bool OI_soft_skinning_prepare(object_instance *oi)
{
    ASSERT(!OI_is_skinned(oi));
    object *o = OI_get_object(oi);
    ASSERT(object_has_weights(o));
    scene *sc = OI_get_scene(oi);
    const char *oi_name = OI_has_name(oi) ? oi->name : "";
    uint32_t nb = object_has_bones(o) ? o->bonesno : 0;
    bool ok = true;
    for (uint32_t b = 0; b < nb; b++)
        if (!sc || !scene_get_oi_by_name(sc, o->bones[b].name)) {
            do_log(LOG_WARNING, LOG_TO_ALL, "Bone \"%s\" for object instance \"%s\" not found in the scene!",
                   log_quote(o->bones[b].name).text, log_quote(oi_name).text);
            ok = false;
        }
    if (!ok) return false;
    if (object_has_vertex_normals(o) && o->vnormalsno != o->vertexsno) {
        do_log(LOG_WARNING, LOG_TO_ALL,
               "OI_soft_skinning_prepare(): object instance \"%s\": vnormalsno == vertexsno failed",
               log_quote(oi_name).text);
        return false;
    }
    uint32_t nv = o->vertexsno;
    size_t vbytes = size_t(nv ? nv : 1) * sizeof(tacka3);
    oi->bones = static_cast<object_instance **>(mem_calloc(nb ? nb : 1, sizeof(object_instance *)));
    oi->bind_inverse = static_cast<float(*)[16]>(mem_calloc(nb ? nb : 1, sizeof(float[16])));
    oi->skin_vertexs = static_cast<tacka3 *>(mem_alloc(vbytes));
    oi->skin_vnormals = static_cast<tacka3 *>(mem_alloc(vbytes));
    bool ts = object_has_tangent_space(o);
    if (ts) {
        oi->skin_tangents = static_cast<tacka3 *>(mem_alloc(vbytes));
        oi->skin_binormals = static_cast<tacka3 *>(mem_alloc(vbytes));
    }
    if (!oi->bones || !oi->bind_inverse || !oi->skin_vertexs || !oi->skin_vnormals ||
        (ts && (!oi->skin_tangents || !oi->skin_binormals)))
        BUG();
    for (uint32_t b = 0; b < nb; b++) {
        object_instance *bone = scene_get_oi_by_name(sc, o->bones[b].name);
        oi->bones[b] = bone;
        float bind[16];
        matrix_from_pose(bind, bone->init_pos_ws, bone->init_rot_ws, bone->init_scale_ws);
        if (!matrix_inverse(oi->bind_inverse[b], bind)) {
            do_log(LOG_WARNING, LOG_TO_ALL, "Bone \"%s\" for object instance \"%s\" has a singular bind pose!",
                   log_quote(o->bones[b].name).text, log_quote(oi_name).text);
            OI_soft_skinning_deinit(oi);
            return false;
        }
    }
    oi->skin_vertexsno = nv;
    oi->flags |= OI_SKINNING_FPU;
    return true;
}

void OI_soft_skinning_calc_vertexs(object_instance *oi)
{
    ASSERT(oi->flags & OI_SKINNING_FPU);
    const object *o = oi->obj;
    uint32_t nv = oi->skin_vertexsno, nb = o->bonesno;
    float(*skin)[16] = static_cast<float(*)[16]>(mem_alloc(sizeof(float[16]) * (nb ? nb : 1)));
    if (!skin) BUG();
    for (uint32_t b = 0; b < nb; b++) matrix_mul(skin[b], oi->bind_inverse[b], OI_get_matrix_ws(oi->bones[b]));
    memset(oi->skin_vertexs, 0, sizeof(tacka3) * nv);
    memset(oi->skin_vnormals, 0, sizeof(tacka3) * nv);
    bool ts = oi->skin_tangents != nullptr;
    if (ts) {
        memset(oi->skin_tangents, 0, sizeof(tacka3) * nv);
        memset(oi->skin_binormals, 0, sizeof(tacka3) * nv);
    }
    bool normals = object_has_vertex_normals(o);
    for (uint32_t i = 0; i < o->weightsno; i++) {
        const object_weight &w = o->weights[i];
        const float *m = skin[w.bone];
        uint32_t v = w.vertex;
        oi->skin_vertexs[v] =
            tacka3_add(oi->skin_vertexs[v], tacka3_scale(matrix_transform_point(m, o->vertexs[v]), w.weight));
        if (normals)
            oi->skin_vnormals[v] =
                tacka3_add(oi->skin_vnormals[v], tacka3_scale(matrix_transform_direction(m, o->vnormals[v]), w.weight));
        if (ts) {
            oi->skin_tangents[v] = tacka3_add(oi->skin_tangents[v],
                                              tacka3_scale(matrix_transform_direction(m, o->ts_tangents[v]), w.weight));
            oi->skin_binormals[v] = tacka3_add(
                oi->skin_binormals[v], tacka3_scale(matrix_transform_direction(m, o->ts_binormals[v]), w.weight));
        }
    }
    mem_free(skin);
}

void OI_soft_skinning_flush_vertexs_to_renderer(object_instance *oi)
{
    const scene_renderer_hooks *hk = scene_renderer_get_hooks();
    if ((oi->flags & OI_IN_RENDERER) && hk->oi_flush) hk->oi_flush(oi);
}

const tacka3 *OI_soft_skinning_get_vertexs_FPU(const object_instance *oi, uint32_t *n)
{
    ASSERT(oi->flags & OI_SKINNING_FPU);
    if (n) *n = oi->skin_vertexsno;
    return oi->skin_vertexs;
}
const tacka3 *OI_soft_skinning_get_vnormals_FPU(const object_instance *oi, uint32_t *n)
{
    ASSERT(oi->flags & OI_SKINNING_FPU);
    if (n) *n = oi->skin_vertexsno;
    return oi->skin_vnormals;
}
const tacka3 *OI_soft_skinning_get_tangents_FPU(const object_instance *oi, uint32_t *n)
{
    ASSERT(oi->flags & OI_SKINNING_FPU);
    if (n) *n = oi->skin_tangents ? oi->skin_vertexsno : 0;
    return oi->skin_tangents;
}
const tacka3 *OI_soft_skinning_get_binormals_FPU(const object_instance *oi, uint32_t *n)
{
    ASSERT(oi->flags & OI_SKINNING_FPU);
    if (n) *n = oi->skin_binormals ? oi->skin_vertexsno : 0;
    return oi->skin_binormals;
}
