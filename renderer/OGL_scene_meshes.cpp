// Renderer meshes for scene objects: one per object, shared by its instances,
// and one per skinned instance over its skinned arrays (updated each frame).
//
// A mesh points at the object's arrays, which live as long as the scene; what
// the object lacks is made here and kept with the mesh: a triangle list for
// strips, and vertex normals when the object has none of its own per vertex.

#include <cstring>

#include "corelib/array.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "renderer/OGL_mesh.h"
#include "renderer/OGL_scene.h"
#include "renderer/OGL_scene_parts.h"
#include "scene/object.h"
#include "scene/object_instance.h"

namespace {
struct scene_mesh {
    const object *obj;          // the object of a shared mesh
    const object_instance *own; // the skinned instance of an own mesh
    OGL_mesh *mesh;
    uint32_t refs;
    uint32_t *faces; // strips turned into a triangle list
    tacka3 *normals; // normals made here
    const tacka2 *chns[OGL_MESH_MAX_TEXTURE_CHANNELS];
    int lod; // of the last profile preparation (own meshes)
};
} // namespace

static array<scene_mesh *> *g_meshes;

uint32_t OGL_scene_meshes_no() { return g_meshes ? g_meshes->get_size() : 0; }

static const char *__name(const object *o) { return object_has_name(o) ? o->name : "(unnamed)"; }

// The strips' triangles with a consistent winding; false for strips that
// reach past their words or their vertices.
static bool __strips_to_list(const object *o, uint32_t **faces, uint32_t *facesno)
{
    uint32_t strips = 0, words = 0, tris = 0;
    const uint32_t *w = object_get_triangle_strips(o, &strips, &words, &tris);
    if (!w) return false;
    uint32_t count = 0;
    for (uint32_t s = 0, at = 0; s < strips; s++) {
        if (at >= words) return false;
        uint32_t k = w[at];
        if (k > words - at - 1 || k + 2 > words - at - 1) return false;
        count += k;
        at += k + 3;
    }
    size_t bytes;
    if (!mem_mul_size(size_t(count) * 3, sizeof(uint32_t), &bytes)) return false;
    uint32_t *out = static_cast<uint32_t *>(mem_alloc(bytes ? bytes : 4));
    if (!out) return false;
    uint32_t n = 0;
    for (uint32_t s = 0, at = 0; s < strips; s++) {
        uint32_t k = w[at];
        const uint32_t *ix = w + at + 1;
        for (uint32_t j = 0; j < k; j++) {
            uint32_t a = ix[j], b = ix[j + 1], c = ix[j + 2];
            if (a >= o->vertexsno || b >= o->vertexsno || c >= o->vertexsno) {
                mem_free(out);
                return false;
            }
            if (a == b || b == c || a == c) continue; // the joints between strips
            if (j & 1) std::swap(a, b);
            out[n * 3] = a;
            out[n * 3 + 1] = b;
            out[n * 3 + 2] = c;
            n++;
        }
        at += k + 3;
    }
    *faces = out;
    *facesno = n;
    return true;
}

// Area-weighted vertex normals of a triangle list.
static tacka3 *__make_normals(const tacka3 *v, uint32_t vn, const uint32_t *f32, const uint16_t *f16, uint32_t fn)
{
    tacka3 *n = static_cast<tacka3 *>(mem_calloc(vn ? vn : 1, sizeof(tacka3)));
    if (!n) return nullptr;
    for (uint32_t f = 0; f < fn; f++) {
        uint32_t i[3];
        for (int j = 0; j < 3; j++) i[j] = f32 ? f32[f * 3 + j] : f16[f * 3 + j];
        tacka3 c = tacka3_cross(tacka3_sub(v[i[1]], v[i[0]]), tacka3_sub(v[i[2]], v[i[0]]));
        for (int j = 0; j < 3; j++) n[i[j]] = tacka3_add(n[i[j]], c);
    }
    for (uint32_t k = 0; k < vn; k++) {
        float l = tacka3_length(n[k]);
        n[k] = l > 0.0f ? tacka3_scale(n[k], 1.0f / l) : tacka3{0, 0, 1};
    }
    return n;
}

static void __free_record(scene_mesh *r)
{
    if (r->mesh) OGL_mesh_free(r->mesh);
    mem_free(r->faces);
    mem_free(r->normals);
    mem_free(r);
}

static scene_mesh *__make(object_instance *oi, bool skinned)
{
    const object *o = oi->obj;
    const uint32_t vn = o->vertexsno;
    if (!object_has_vertexs(o) || vn == 0) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "OGL_scene: object \"%s\" has no vertices, not drawn",
               log_quote(__name(o)).text);
        return nullptr;
    }
    scene_mesh *r = mem_new_zeroed<scene_mesh>();
    if (!r) return nullptr;
    r->lod = -1;
    OGL_mesh_input_data id{};
    id.flags = OGL_MESH_INPUT_DATA_TACKA3_VERTEXS | OGL_MESH_INPUT_DATA_TACKA3_VERTEX_NORMALS;
    id.vertexsno = vn;
    id.vertexs = skinned ? oi->skin_vertexs : o->vertexs;

    // Faces, every index checked against the vertices.
    const uint32_t *f32 = nullptr;
    const uint16_t *f16 = nullptr;
    uint32_t fn = 0;
    bool faces_ok = true;
    if (object_has_triangle_list_ints(o)) {
        f32 = o->tris_ints;
        fn = o->facesno;
    } else if (object_has_triangle_list_shorts(o)) {
        f16 = o->tris_shorts;
        fn = o->facesno;
    } else if (object_has_triangle_strips(o)) {
        faces_ok = __strips_to_list(o, &r->faces, &fn);
        f32 = r->faces;
    }
    for (uint64_t i = 0; faces_ok && i < uint64_t(fn) * 3; i++)
        if ((f32 ? f32[i] : f16[i]) >= vn) faces_ok = false;
    if (!faces_ok || fn == 0) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "OGL_scene: object \"%s\": %s, not drawn",
               log_quote(__name(o)).text, faces_ok ? "no triangles" : "triangles name vertices it does not have");
        __free_record(r);
        return nullptr;
    }
    id.flags |= f32 ? OGL_MESH_INPUT_DATA_TRIANGLE_LIST_32 : OGL_MESH_INPUT_DATA_TRIANGLE_LIST_16;
    id.faces32 = f32;
    id.faces16 = f16;
    id.facesno = fn;

    const tacka3 *normals = skinned ? oi->skin_vnormals : (o->vnormalsno == vn ? o->vnormals : nullptr);
    if (!normals) {
        const tacka3 *pos = static_cast<const tacka3 *>(id.vertexs);
        r->normals = __make_normals(pos, vn, f32, f16, fn);
        if (!r->normals) {
            __free_record(r);
            return nullptr;
        }
        normals = r->normals;
    }
    id.vnormalsno = vn;
    id.vnormals = normals;

    uint32_t chns = std::min<uint32_t>(o->tvertexs_chns_no, OGL_MESH_MAX_TEXTURE_CHANNELS);
    for (uint32_t c = 0; c < chns; c++)
        r->chns[c] = o->tvertexs && o->tvertexs_counts && o->tvertexs_counts[c] == vn ? o->tvertexs[c] : nullptr;
    if (chns) {
        id.flags |= OGL_MESH_INPUT_DATA_TEXTURE_CHANNELS;
        id.tvertexs_chnsno = chns;
        id.tvertexs_chns = r->chns;
    }
    const tacka3 *tan = skinned ? oi->skin_tangents : (o->ts_tangentsno == vn ? o->ts_tangents : nullptr);
    const tacka3 *bin = skinned ? oi->skin_binormals : (o->ts_binormalsno == vn ? o->ts_binormals : nullptr);
    if (tan && bin) {
        id.flags |= OGL_MESH_INPUT_DATA_TANGENTS | OGL_MESH_INPUT_DATA_BINORMALS;
        id.tangentsno = id.binormalsno = vn;
        id.tangents = tan;
        id.binormals = bin;
    }
    if (o->cvertexs) {
        static_assert(sizeof(OGL_rgba_color) == sizeof(tacka4), "colours are four floats");
        id.flags |= OGL_MESH_INPUT_DATA_FLOAT_COLORS;
        id.colorsno = vn;
        id.fcolors = reinterpret_cast<const OGL_rgba_color *>(o->cvertexs);
    }
    if (skinned) id.flags |= OGL_MESH_INPUT_DATA_DYNAMIC;
    r->mesh = OGL_mesh_create(&id);
    if (!r->mesh) {
        __free_record(r);
        return nullptr;
    }
    OGL_mesh_set_ws_scale(r->mesh, tacka3{1, 1, 1});
    if (skinned)
        r->own = oi;
    else
        r->obj = o;
    return r;
}

OGL_mesh *__OGL_scene_mesh_acquire(object_instance *oi)
{
    const bool skinned = oi->skin_vertexs && oi->skin_vnormals && oi->skin_vertexsno == oi->obj->vertexsno;
    if (!g_meshes && !(g_meshes = array_new<scene_mesh *>())) return nullptr;
    if (!skinned)
        for (scene_mesh *r : *g_meshes)
            if (r->obj == oi->obj) {
                r->refs++;
                return r->mesh;
            }
    scene_mesh *r = __make(oi, skinned);
    if (!r) return nullptr;
    if (!g_meshes->add(r)) {
        __free_record(r);
        return nullptr;
    }
    r->refs = 1;
    return r->mesh;
}

static int __find(const OGL_mesh *mesh)
{
    if (!g_meshes) return -1;
    for (uint32_t i = 0; i < g_meshes->get_size(); i++)
        if ((*g_meshes)[i]->mesh == mesh) return int(i);
    return -1;
}

void __OGL_scene_mesh_release(OGL_mesh *mesh)
{
    int i = __find(mesh);
    ASSERT(i >= 0);
    scene_mesh *r = (*g_meshes)[uint32_t(i)];
    if (--r->refs > 0) return;
    __free_record(r);
    uint32_t last = g_meshes->get_size() - 1;
    (*g_meshes)[uint32_t(i)] = (*g_meshes)[last];
    g_meshes->cur_elements--;
    if (g_meshes->get_size() == 0) {
        array_free(g_meshes);
        g_meshes = nullptr;
    }
}

int *__OGL_scene_mesh_lod_slot(OGL_mesh *mesh)
{
    int i = __find(mesh);
    return i >= 0 ? &(*g_meshes)[uint32_t(i)]->lod : nullptr;
}

bool __OGL_scene_mesh_is_own(const OGL_mesh *mesh)
{
    int i = __find(mesh);
    return i >= 0 && (*g_meshes)[uint32_t(i)]->own != nullptr;
}
