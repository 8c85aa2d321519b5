#include "scene/quox2_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "corelib/files.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "scene/camera.h"
#include "scene/light.h"
#include "scene/material.h"
#include "scene/motion.h"
#include "scene/motionset.h"
#include "scene/object.h"
#include "scene/object_instance.h"
#include "scene/quox2_chunks.h"
#include "scene/scene.h"
#include "scene/terrain.h"

#define QUOX2_WRITER_MAX_DEPTH 32

struct quox2_writer {
    uint8_t *data;
    size_t size, capacity;
    size_t open[QUOX2_WRITER_MAX_DEPTH]; // offsets of the open chunk headers
    int depth;
    bool failed;
};

quox2_writer *quox2_writer_create()
{
    quox2_writer *w = mem_new_zeroed<quox2_writer>();
    if (!w) return nullptr;
    uint8_t header[16] = {'Q', 'U', 'O', 'X', 0};
    if (!quox2_writer_put(w, header, sizeof header)) {
        quox2_writer_free(w);
        return nullptr;
    }
    return w;
}

void quox2_writer_free(quox2_writer *w)
{
    if (!w) return;
    mem_free(w->data);
    mem_free(w);
}

const uint8_t *quox2_writer_data(const quox2_writer *w, size_t *size)
{
    *size = w->size;
    return w->data;
}

bool quox2_writer_save(const quox2_writer *w, const char *path)
{
    if (w->depth != 0 || w->failed) {
        do_log(LOG_WARNING, LOG_TO_ALL, "quox2_writer_save(%s): the file is incomplete!", log_quote(path).text);
        return false;
    }
    std::string native = file_native_path(path);
    FILE *fp = fopen(native.c_str(), "wb");
    if (!fp) {
        do_log(LOG_WARNING, LOG_TO_ALL, "quox2_writer_save(): fopen(%s) FAILED: %s!", log_quote(path).text,
               strerror(errno));
        return false;
    }
    bool ok = fwrite(w->data, 1, w->size, fp) == w->size;
    if (fclose(fp) != 0) ok = false;
    if (!ok)
        do_log(LOG_WARNING, LOG_TO_ALL, "quox2_writer_save(): fwrite(%s) FAILED: %s!", log_quote(path).text,
               strerror(errno));
    return ok;
}

bool quox2_writer_put(quox2_writer *w, const void *data, size_t size)
{
    if (w->failed) return false;
    if (size > w->capacity - w->size) {
        size_t cap = w->capacity ? w->capacity : 4096;
        while (cap - w->size < size) {
            if (cap > SIZE_MAX / 2) {
                w->failed = true;
                return false;
            }
            cap *= 2;
        }
        uint8_t *d = static_cast<uint8_t *>(mem_realloc(w->data, cap));
        if (!d) {
            w->failed = true;
            return false;
        }
        w->data = d;
        w->capacity = cap;
    }
    if (size) memcpy(w->data + w->size, data, size);
    w->size += size;
    return true;
}

bool quox2_writer_put_u32(quox2_writer *w, uint32_t v) { return quox2_writer_put(w, &v, 4); }
bool quox2_writer_put_f32(quox2_writer *w, float v) { return quox2_writer_put(w, &v, 4); }
bool quox2_writer_put_string(quox2_writer *w, const char *text) { return quox2_writer_put(w, text, strlen(text) + 1); }

bool quox2_writer_begin_chunk(quox2_writer *w, const char *id)
{
    if (w->depth >= QUOX2_WRITER_MAX_DEPTH) {
        w->failed = true;
        return false;
    }
    uint8_t h[12] = {};
    memcpy(h, id, strnlen(id, 5));
    w->open[w->depth++] = w->size;
    return quox2_writer_put(w, h, sizeof h);
}

bool quox2_writer_end_chunk(quox2_writer *w)
{
    if (w->depth == 0 || w->failed) return false;
    size_t at = w->open[--w->depth];
    size_t payload = w->size - at - 12;
    if (payload > UINT32_MAX) {
        w->failed = true;
        return false;
    }
    uint32_t s = uint32_t(payload);
    memcpy(w->data + at + 8, &s, 4);
    return true;
}

bool quox2_writer_chunk(quox2_writer *w, const char *id, const void *data, size_t size)
{
    return quox2_writer_begin_chunk(w, id) && quox2_writer_put(w, data, size) && quox2_writer_end_chunk(w);
}

bool quox2_writer_string_chunk(quox2_writer *w, const char *id, const char *text)
{
    return quox2_writer_chunk(w, id, text, strlen(text) + 1);
}

// ---- elements ----

static bool __counted(quox2_writer *w, const char *id, uint32_t n, const void *data, size_t size)
{
    return quox2_writer_begin_chunk(w, id) && quox2_writer_put_u32(w, n) && quox2_writer_put(w, data, size) &&
           quox2_writer_end_chunk(w);
}

bool quox2_write_object(quox2_writer *w, const object *o)
{
    bool ok = quox2_writer_begin_chunk(w, CHUNK_ID_OBJECT);
    if (ok && object_has_name(o)) ok = quox2_writer_string_chunk(w, CHUNK_ID_NAME, o->name);
    int32_t type = o->type;
    if (ok) ok = quox2_writer_chunk(w, CHUNK_ID_TYPE, &type, 4);
    for (uint32_t i = 0; ok && i < object_get_generic_data_streams_no(o); i++) {
        const generic_data_stream *s = object_get_generic_data_stream(o, i);
        uint32_t head[4] = {s->kind, s->type - 1, s->a, s->b};
        ok = quox2_writer_begin_chunk(w, CHUNK_ID_GENERIC_STREAM) && quox2_writer_put(w, head, 16) &&
             quox2_writer_put(w, s->data->data, s->data->get_size()) && quox2_writer_end_chunk(w);
    }
    if (ok && object_has_vertexs(o) && o->vertexsno)
        ok = __counted(w, CHUNK_ID_VERTEXSLIST, o->vertexsno, o->vertexs, size_t(o->vertexsno) * 12);
    if (ok && object_has_vertex_normals(o) && o->vnormalsno)
        ok = __counted(w, CHUNK_ID_VNORMALS, o->vnormalsno, o->vnormals, size_t(o->vnormalsno) * 12);
    if (ok && (o->flags & OBJ_TS_NORMALS) && o->ts_normalsno)
        ok = __counted(w, CHUNK_ID_TS_NORMALS, o->ts_normalsno, o->ts_normals, size_t(o->ts_normalsno) * 12);
    if (ok && (o->flags & OBJ_TS_BINORMALS) && o->ts_binormalsno)
        ok = __counted(w, CHUNK_ID_TS_BINORMALS, o->ts_binormalsno, o->ts_binormals, size_t(o->ts_binormalsno) * 12);
    if (ok && (o->flags & OBJ_TS_TANGENTS) && o->ts_tangentsno)
        ok = __counted(w, CHUNK_ID_TS_TANGENTS, o->ts_tangentsno, o->ts_tangents, size_t(o->ts_tangentsno) * 12);
    if (ok && object_has_triangle_list_ints(o))
        ok = __counted(w, CHUNK_ID_TRIANGLELIST_INTS, o->facesno, o->tris_ints, size_t(o->facesno) * 12);
    if (ok && object_has_triangle_list_shorts(o))
        ok = __counted(w, CHUNK_ID_TRIANGLELIST_SHORTS, o->facesno, o->tris_shorts, size_t(o->facesno) * 6);
    if (ok && object_has_triangle_strips(o)) {
        uint32_t head[3] = {o->strips_count, o->strips_words, o->strips_triangles};
        ok = quox2_writer_begin_chunk(w, CHUNK_ID_TRIANGLESTRIP) && quox2_writer_put(w, head, 12) &&
             quox2_writer_put(w, o->strips, size_t(o->strips_words) * 4) && quox2_writer_end_chunk(w);
    }
    for (uint32_t c = 0; ok && c < o->tvertexs_chns_no; c++)
        ok = __counted(w, CHUNK_ID_TVERTEXLIST, o->tvertexs_counts[c], o->tvertexs[c],
                       size_t(o->tvertexs_counts[c]) * 8);
    if (ok && object_has_weights(o)) {
        ok = quox2_writer_begin_chunk(w, CHUNK_ID_WEIGHTS) && quox2_writer_put_u32(w, o->weightsno);
        for (uint32_t i = 0; ok && i < o->weightsno; i++)
            ok = quox2_writer_put_u32(w, o->weights[i].bone) && quox2_writer_put_u32(w, o->weights[i].vertex) &&
                 quox2_writer_put_f32(w, o->weights[i].weight);
        ok = ok && quox2_writer_end_chunk(w);
    }
    if (ok && object_has_bones(o)) {
        ok = quox2_writer_begin_chunk(w, CHUNK_ID_BONES) && quox2_writer_put_u32(w, o->bonesno);
        for (uint32_t i = 0; ok && i < o->bonesno; i++)
            ok = quox2_writer_put(w, o->bones[i].name, strnlen(o->bones[i].name, OBJECT_BONE_NAME_SIZE - 1)) &&
                 quox2_writer_put(w, "", 1);
        ok = ok && quox2_writer_end_chunk(w);
    }
    return ok && quox2_writer_end_chunk(w);
}

bool quox2_write_oi(quox2_writer *w, const object_instance *oi)
{
    bool ok = quox2_writer_begin_chunk(w, CHUNK_ID_INSTANCE);
    if (ok && OI_has_name(oi)) ok = quox2_writer_string_chunk(w, CHUNK_ID_NAME, oi->name);
    int32_t type = oi->type;
    if (ok) ok = quox2_writer_chunk(w, CHUNK_ID_TYPE, &type, 4);
    if (ok && OI_has_instance_name(oi)) ok = quox2_writer_string_chunk(w, CHUNK_ID_INSTANCE_NAME, oi->instance_name);
    if (ok && OI_has_parent_name(oi)) ok = quox2_writer_string_chunk(w, CHUNK_ID_PARENT_NAME, oi->parent_name);
    if (ok && OI_has_material_name(oi))
        ok = quox2_writer_string_chunk(w, CHUNK_ID_INSTANCE_MATERIAL, oi->material_name);
    if (ok && OI_has_user_defined_properties(oi))
        ok = quox2_writer_string_chunk(w, CHUNK_ID_USER_PROPERTIES, oi->user_properties);
    float v[10] = {oi->init_pos_ws.x, oi->init_pos_ws.y, oi->init_pos_ws.z,   oi->init_rot_ws.w,   oi->init_rot_ws.x,
                   oi->init_rot_ws.y, oi->init_rot_ws.z, oi->init_scale_ws.x, oi->init_scale_ws.y, oi->init_scale_ws.z};
    if (ok) ok = quox2_writer_chunk(w, CHUNK_ID_PLACEMENT, v, 40);
    return ok && quox2_writer_end_chunk(w);
}

bool quox2_write_material(quox2_writer *w, const material *m)
{
    bool ok = quox2_writer_begin_chunk(w, CHUNK_ID_MATERIAL);
    if (ok && material_has_name(m)) ok = quox2_writer_string_chunk(w, CHUNK_ID_MATERIAL_NAME, m->name);
    for (const auto &t : QUOX2_TEXTURE_CHUNKS)
        if (ok && material_has_texture_file_name(m, t.slot))
            ok = quox2_writer_string_chunk(w, t.id, m->slots[t.slot].file_name);
    uint8_t d[152] = {};
    uint32_t kind =
        m->material_kind == MATERIAL_KIND_NESTED ? 2 : (m->material_kind == MATERIAL_KIND_COMPOSITE ? 3 : 1);
    uint32_t count = m->material_kind == MATERIAL_KIND_COMPOSITE ? m->submat_no : 0;
    memcpy(d, &kind, 4);
    memcpy(d + 4, &count, 4);
    static const int stored_of_file[4] = {1, 0, 2, 3}; // file colour i is stored colour stored_of_file[i]
    for (int i = 0; i < 4; i++) {
        const tacka4 &c = m->colors[stored_of_file[i]];
        float rgb[3] = {c.x, c.y, c.z};
        memcpy(d + 8 + i * 12, rgb, 12);
    }
    memcpy(d + 56, m->values, 8);
    d[64] = m->render_flag;
    for (int s = 0; s < MAT_SLOTS; s++) {
        memcpy(d + 68 + s * 12, &m->slots[s].uv_channel, 4);
        memcpy(d + 72 + s * 12, m->slots[s].param, 8);
    }
    if (ok) ok = quox2_writer_chunk(w, CHUNK_ID_MATERIAL_DATA, d, sizeof d);
    if (ok && kind == 2) {
        for (const material *sub : {m->submat1, m->submat2})
            ok = ok && (sub ? quox2_write_material(w, sub) : quox2_writer_chunk(w, CHUNK_ID_NONE, nullptr, 0));
    } else if (ok && kind == 3) {
        for (uint32_t i = 0; ok && i < m->submat_no; i++)
            ok = m->submat_names[i] ? quox2_writer_string_chunk(w, CHUNK_ID_SUBMATERIAL_NAME, m->submat_names[i])
                                    : quox2_writer_chunk(w, CHUNK_ID_NONE, nullptr, 0);
    }
    return ok && quox2_writer_end_chunk(w);
}

bool quox2_write_light(quox2_writer *w, const light *l)
{
    bool ok = quox2_writer_begin_chunk(w, CHUNK_ID_LIGHT);
    if (ok && light_has_name(l)) ok = quox2_writer_string_chunk(w, CHUNK_ID_LIGHT_NAME, l->name);
    uint8_t d[416] = {};
    uint32_t kind = 0;
    if (light_has_type(l)) {
        switch (l->type) {
        case LIGHT_OMNI: kind = 1; break;
        case LIGHT_DIRECTIONAL: kind = 2; break;
        case LIGHT_TARGET_SPOT: kind = 3; break;
        case LIGHT_FREE_SPOT: kind = 4; break;
        default: kind = 0; break;
        }
    }
    memcpy(d, &kind, 4);
    float rgb[3] = {l->color.x, l->color.y, l->color.z};
    memcpy(d + 4, rgb, 12);
    memcpy(d + 16, &l->range1, 4);
    memcpy(d + 20, &l->range2, 4);
    if (light_has_bitmap_filename(l)) {
        d[24] = 1;
        memcpy(d + 25, l->bitmap_filename, strnlen(l->bitmap_filename, 255));
    }
    if (kind == 3) {
        if (light_has_target_name(l)) memcpy(d + 281, l->target_name, strnlen(l->target_name, 130));
        memcpy(d + 412, &l->spot, 4);
    }
    if (ok) ok = quox2_writer_chunk(w, CHUNK_ID_LIGHT_DATA, d, sizeof d);
    return ok && quox2_writer_end_chunk(w);
}

bool quox2_write_camera(quox2_writer *w, const camera *c)
{
    bool ok = quox2_writer_begin_chunk(w, CHUNK_ID_CAMERA);
    if (ok && camera_has_name(c)) ok = quox2_writer_string_chunk(w, CHUNK_ID_CAMERA_NAME, c->name);
    if (ok && camera_has_target_name(c)) ok = quox2_writer_string_chunk(w, CHUNK_ID_CAMERA_TARGET, c->target_name);
    uint8_t d[176] = {};
    uint32_t kind = c->type == CAMERA_TARGET ? 2 : 1;
    memcpy(d, &kind, 4);
    memcpy(d + 4, &c->fov, 4);
    if (camera_has_manual_clipping(c)) {
        d[164] = 1;
        memcpy(d + 168, &c->near_clip_range, 4);
        memcpy(d + 172, &c->far_clip_range, 4);
    }
    if (ok) ok = quox2_writer_chunk(w, CHUNK_ID_CAMERA_DATA, d, sizeof d);
    return ok && quox2_writer_end_chunk(w);
}

bool quox2_write_motion(quox2_writer *w, const motion *m)
{
    bool ok = quox2_writer_begin_chunk(w, CHUNK_ID_MOTION);
    if (ok && motion_has_name(m)) ok = quox2_writer_string_chunk(w, CHUNK_ID_MOTION_NAME, m->name);
    if (ok && motion_has_initial_pose(m)) {
        float v[10] = {m->init_pos.x, m->init_pos.y, m->init_pos.z,   m->init_rot.w,   m->init_rot.x,
                       m->init_rot.y, m->init_rot.z, m->init_scale.x, m->init_scale.y, m->init_scale.z};
        ok = quox2_writer_chunk(w, CHUNK_ID_MOTION_PLACEMENT, v, 40);
    }
    uint32_t n = motion_get_position_keys_no(m);
    if (ok && n) {
        bool linear = motion_get_position_interpolation(m) == MOTION_INTERP_LINEAR;
        ok = quox2_writer_begin_chunk(w, CHUNK_ID_POSITION_KEYS) && quox2_writer_put_u32(w, linear ? 1 : 3) &&
             quox2_writer_put_u32(w, n);
        for (uint32_t i = 0; ok && i < n; i++) {
            if (linear) {
                const linear_position_keyframe *k = motion_get_linear_position_key(m, i);
                ok = quox2_writer_put(w, k, 16);
            } else {
                const bezier_position_keyframe *k = motion_get_bezier_position_key(m, i);
                ok = quox2_writer_put(w, k, 40);
            }
        }
        ok = ok && quox2_writer_end_chunk(w);
    }
    n = motion_get_rotation_keys_no(m);
    if (ok && n) {
        ok = quox2_writer_begin_chunk(w, CHUNK_ID_ROTATION_KEYS) && quox2_writer_put_u32(w, 2) &&
             quox2_writer_put_u32(w, n);
        for (uint32_t i = 0; ok && i < n; i++) {
            const tcb_rotation_keyframe *k = motion_get_rotation_key(m, i);
            float v[10] = {k->time,   k->rotation.x, k->rotation.y, k->rotation.z, k->rotation.w,
                           k->tcb[0], k->tcb[1],     k->tcb[2],     k->tcb[3],     k->tcb[4]};
            ok = quox2_writer_put(w, v, 40);
        }
        ok = ok && quox2_writer_end_chunk(w);
    }
    n = motion_get_scale_keys_no(m);
    if (ok && n) {
        ok = quox2_writer_begin_chunk(w, CHUNK_ID_SCALE_KEYS) && quox2_writer_put_u32(w, 3) &&
             quox2_writer_put_u32(w, n);
        for (uint32_t i = 0; ok && i < n; i++) ok = quox2_writer_put(w, motion_get_scale_key(m, i), 40);
        ok = ok && quox2_writer_end_chunk(w);
    }
    return ok && quox2_writer_end_chunk(w);
}

bool quox2_write_motionset(quox2_writer *w, const motionset *ms)
{
    bool ok = quox2_writer_begin_chunk(w, CHUNK_ID_MOTIONSET);
    if (ok && motionset_has_name(ms)) ok = quox2_writer_string_chunk(w, CHUNK_ID_MOTIONSET_NAME, ms->name);
    if (ok) ok = quox2_writer_chunk(w, CHUNK_ID_MOTIONSET_LENGTH, &ms->length, 4);
    dlist_for_each(n, &ms->motions) if (ok) ok = quox2_write_motion(w, SCENE_ENTRY(n, motion, set_link));
    return ok && quox2_writer_end_chunk(w);
}

bool quox2_write_terrain(quox2_writer *w, const terrain *t)
{
    bool ok = quox2_writer_begin_chunk(w, CHUNK_ID_TERRAIN);
    if (ok && (t->flags & TERRAIN_DESC)) ok = quox2_writer_chunk(w, CHUNK_ID_TERRAIN_DESC, t->desc, 48);
    if (ok && (t->flags & TERRAIN_VBUF))
        ok = __counted(w, CHUNK_ID_TERRAIN_VBUF, t->vertexsno, t->vertexs, size_t(t->vertexsno) * 12);
    if (ok && (t->flags & TERRAIN_IBUF))
        ok = __counted(w, CHUNK_ID_TERRAIN_IBUF, t->indicesno, t->indices, size_t(t->indicesno) * 4);
    if (ok && (t->flags & TERRAIN_NBUF)) ok = __counted(w, CHUNK_ID_TERRAIN_NBUF, t->nodesno, t->nodes, t->nodes_size);
    if (ok && (t->flags & TERRAIN_LBUF))
        ok = __counted(w, CHUNK_ID_TERRAIN_LBUF, t->leavesno, t->leaves, t->leaves_size);
    return ok && quox2_writer_end_chunk(w);
}

bool quox2_write_scene(quox2_writer *w, const scene *sc)
{
    bool ok = true;
    dlist_for_each(n, &sc->objects) if (ok) ok = quox2_write_object(w, scene_object_of(n));
    dlist_for_each(n, &sc->materials) if (ok) ok = quox2_write_material(w, scene_material_of(n));
    dlist_for_each(n, &sc->ois) if (ok) ok = quox2_write_oi(w, scene_oi_of(n));
    dlist_for_each(n, &sc->motionsets) if (ok) ok = quox2_write_motionset(w, scene_motionset_of(n));
    dlist_for_each(n, &sc->motions)
    {
        const motion *m = scene_motion_of(n);
        if (ok && !m->parent) ok = quox2_write_motion(w, m);
    }
    for (uint32_t i = 0; ok && i < SCENE_MAX_LIGHTS; i++)
        if (sc->lights[i]) ok = quox2_write_light(w, sc->lights[i]);
    dlist_for_each(n, &sc->cameras) if (ok) ok = quox2_write_camera(w, scene_camera_of(n));
    if (ok && sc->terr) ok = quox2_write_terrain(w, sc->terr);
    return ok;
}

bool quox2_save_scene(const char *path, const scene *sc)
{
    quox2_writer *w = quox2_writer_create();
    if (!w) return false;
    bool ok = quox2_write_scene(w, sc) && quox2_writer_save(w, path);
    quox2_writer_free(w);
    return ok;
}
