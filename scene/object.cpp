#include "scene/object.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "corelib/log.h"
#include "corelib/mem.h"
#include "scene/collision_bvh.h"

object *object_init()
{
    object *o = mem_new_zeroed<object>();
    if (o) o->streams = array_new<generic_data_stream>();
    if (!o || !o->streams) {
        mem_free(o);
        do_log(LOG_WARNING, LOG_TO_MSGBOX | LOG_TO_DEBUGGER, "object_init(): malloc() FAILED!");
        return nullptr;
    }
    return o;
}

void object_drop_collision_bvh(object *o)
{
    collision_bvh_free(o->bvh);
    o->bvh = nullptr;
}

void object_deinit(object *o)
{
    if (!o) return;
    object_drop_collision_bvh(o);
    mem_free(o->name);
    for (generic_data_stream &s : *o->streams) array_free(s.data);
    array_free(o->streams);
    mem_free(o->vertexs);
    mem_free(o->cvertexs);
    mem_free(o->tris_ints);
    mem_free(o->tris_shorts);
    mem_free(o->smooth_groups);
    mem_free(o->plane_eqs);
    mem_free(o->strips);
    object_free_tvertexs_chns(o);
    mem_free(o->weights);
    mem_free(o->bones);
    mem_free(o->vnormals);
    mem_free(o->fnormals);
    mem_free(o->ts_tangents);
    mem_free(o->ts_binormals);
    mem_free(o->ts_normals);
    mem_free(o->ts_light_array);
    mem_free(o->edges);
    mem_free(o);
}

// ---- name and type ----

bool object_has_name(const object *o) { return (o->flags & OBJ_NAME) != 0; }
const char *object_get_name(const object *o)
{
    if (!object_has_name(o)) BUG();
    return o->name;
}
void object_insert_name(object *o, char *name)
{
    mem_free(o->name);
    o->name = name;
    o->flags |= OBJ_NAME;
}
bool object_copy_name(object *o, const char *name)
{
    char *copy = mem_strdup(name);
    if (!copy) return false;
    object_insert_name(o, copy);
    return true;
}
void object_free_name(object *o)
{
    mem_free(o->name);
    o->name = nullptr;
    o->flags &= ~OBJ_NAME;
}

int32_t object_get_type(const object *o) { return o->type; }
void object_set_type(object *o, int32_t type)
{
    o->type = (type >= 0 && type <= 2) ? type : OBJECT_TYPE_MESH;
    o->flags |= OBJ_TYPE_SET;
}
bool object_has_type(const object *o) { return (o->flags & OBJ_TYPE_SET) != 0; }

// ---- generic data streams ----

bool object_add_generic_data_stream(object *o, const generic_data_stream *s) { return o->streams->add(s); }
uint32_t object_get_generic_data_streams_no(const object *o) { return o->streams->get_size(); }
const generic_data_stream *object_get_generic_data_stream(const object *o, uint32_t i)
{
    ASSERT(i < o->streams->get_size());
    return o->streams->get_element(i);
}
static void *__stream_data(const object *o, uint32_t i, uint32_t type)
{
    ASSERT(i < o->streams->get_size());
    const generic_data_stream *s = o->streams->get_element(i);
    ASSERT(s->type == type);
    return s->data->data;
}
float *object_get_generic_data_stream_f(const object *o, uint32_t i)
{
    return static_cast<float *>(__stream_data(o, i, GDS_TYPE_FLOAT));
}
int32_t *object_get_generic_data_stream_i(const object *o, uint32_t i)
{
    return static_cast<int32_t *>(__stream_data(o, i, GDS_TYPE_INT));
}
int16_t *object_get_generic_data_stream_s(const object *o, uint32_t i)
{
    return static_cast<int16_t *>(__stream_data(o, i, GDS_TYPE_SHORT));
}
uint8_t *object_get_generic_data_stream_ubn(const object *o, uint32_t i)
{
    return static_cast<uint8_t *>(__stream_data(o, i, GDS_TYPE_UBYTE));
}

// ---- vertices ----

bool object_has_vertexs(const object *o) { return (o->flags & OBJ_VERTEXS) != 0; }
void object_insert_vertexs(object *o, tacka3 *vertexs, uint32_t n)
{
    object_drop_collision_bvh(o);
    mem_free(o->vertexs);
    o->vertexs = vertexs;
    o->vertexsno = n;
    o->flags |= OBJ_VERTEXS;
    o->changed |= OBJ_CHANGED_VERTEXS;
}
void object_set_vertexsno(object *o, uint32_t n)
{
    object_drop_collision_bvh(o);
    o->vertexsno = n;
}
tacka3 *object_get_vertices(const object *o, uint32_t *n)
{
    ASSERT(object_has_vertexs(o));
    if (n) *n = o->vertexsno;
    return o->vertexs;
}
void object_free_vertexs(object *o)
{
    object_drop_collision_bvh(o);
    mem_free(o->vertexs);
    o->vertexs = nullptr;
    o->vertexsno = 0;
    o->flags &= ~OBJ_VERTEXS;
}
void object_set_vertexs_changed(object *o)
{
    object_drop_collision_bvh(o);
    o->changed |= OBJ_CHANGED_VERTEXS;
}
void object_unset_vertexs_changed(object *o) { o->changed &= ~OBJ_CHANGED_VERTEXS; }
bool object_vertexs_has_changed(const object *o) { return (o->changed & OBJ_CHANGED_VERTEXS) != 0; }
void object_set_vertexs_in_world_space(object *o, bool in_world)
{
    if (in_world)
        o->flags |= OBJ_VERTEXS_IN_WORLD_SPACE;
    else
        o->flags &= ~OBJ_VERTEXS_IN_WORLD_SPACE;
}
bool object_vertexs_are_in_world_space(const object *o) { return (o->flags & OBJ_VERTEXS_IN_WORLD_SPACE) != 0; }
void object_insert_cvertexs(object *o, tacka4 *colors)
{
    mem_free(o->cvertexs);
    o->cvertexs = colors;
    o->flags |= OBJ_CVERTEXS;
    o->changed |= OBJ_CHANGED_CVERTEXS;
}
tacka4 *object_get_cvertexs(const object *o)
{
    ASSERT(o->flags & OBJ_CVERTEXS);
    return o->cvertexs;
}
void object_free_cvertexs(object *o)
{
    mem_free(o->cvertexs);
    o->cvertexs = nullptr;
    o->flags &= ~OBJ_CVERTEXS;
}

// ---- triangle list ----

bool object_has_triangle_list(const object *o)
{
    return (o->flags & (OBJ_TRIANGLE_LIST_INTS | OBJ_TRIANGLE_LIST_SHORTS)) != 0;
}
bool object_has_triangle_list_ints(const object *o) { return (o->flags & OBJ_TRIANGLE_LIST_INTS) != 0; }
bool object_has_triangle_list_shorts(const object *o) { return (o->flags & OBJ_TRIANGLE_LIST_SHORTS) != 0; }
void object_insert_triangle_list_ints(object *o, uint32_t *indices, uint32_t facesno)
{
    object_free_triangle_list(o);
    o->tris_ints = indices;
    o->facesno = facesno;
    o->flags |= OBJ_TRIANGLE_LIST_INTS;
    o->changed |= OBJ_CHANGED_TRIANGLE_LIST;
}
void object_insert_triangle_list_shorts(object *o, uint16_t *indices, uint32_t facesno)
{
    object_free_triangle_list(o);
    o->tris_shorts = indices;
    o->facesno = facesno;
    o->flags |= OBJ_TRIANGLE_LIST_SHORTS;
    o->changed |= OBJ_CHANGED_TRIANGLE_LIST;
}
void object_set_triangle_list_facesno(object *o, uint32_t facesno)
{
    object_drop_collision_bvh(o);
    o->facesno = facesno;
}
uint32_t object_get_triangle_list_facesno(const object *o) { return o->facesno; }
uint32_t *object_get_triangle_list_ints(const object *o)
{
    ASSERT(object_has_triangle_list_ints(o));
    return o->tris_ints;
}
uint16_t *object_get_triangle_list_shorts(const object *o)
{
    ASSERT(object_has_triangle_list_shorts(o));
    return o->tris_shorts;
}
uint32_t object_get_triangle_index(const object *o, uint32_t f, uint32_t j)
{
    size_t k = size_t(f) * 3 + j;
    return o->tris_ints ? o->tris_ints[k] : o->tris_shorts[k];
}
void object_free_triangle_list(object *o)
{
    object_drop_collision_bvh(o);
    mem_free(o->tris_ints);
    mem_free(o->tris_shorts);
    o->tris_ints = nullptr;
    o->tris_shorts = nullptr;
    o->facesno = 0;
    o->flags &= ~(OBJ_TRIANGLE_LIST_INTS | OBJ_TRIANGLE_LIST_SHORTS);
}
void object_insert_triangle_list_smooth_groups(object *o, uint32_t *groups)
{
    mem_free(o->smooth_groups);
    o->smooth_groups = groups;
    o->flags |= OBJ_SMOOTH_GROUPS;
}
uint32_t *object_get_triangle_list_smooth_groups(const object *o)
{
    ASSERT(o->flags & OBJ_SMOOTH_GROUPS);
    return o->smooth_groups;
}
void object_free_triangle_list_smooth_groups(object *o)
{
    mem_free(o->smooth_groups);
    o->smooth_groups = nullptr;
    o->flags &= ~OBJ_SMOOTH_GROUPS;
}

// ---- strips ----

bool object_has_triangle_strips(const object *o) { return (o->flags & OBJ_TRIANGLE_STRIPS) != 0; }
void object_insert_triangle_strips(object *o, uint32_t *words, uint32_t strips, uint32_t words_no, uint32_t triangles)
{
    mem_free(o->strips);
    o->strips = words;
    o->strips_count = strips;
    o->strips_words = words_no;
    o->strips_triangles = triangles;
    o->flags |= OBJ_TRIANGLE_STRIPS;
    o->changed |= OBJ_CHANGED_STRIPS;
}
uint32_t *object_get_triangle_strips(const object *o, uint32_t *strips, uint32_t *words_no, uint32_t *triangles)
{
    ASSERT(object_has_triangle_strips(o));
    if (strips) *strips = o->strips_count;
    if (words_no) *words_no = o->strips_words;
    if (triangles) *triangles = o->strips_triangles;
    return o->strips;
}
void object_free_triangle_strips(object *o)
{
    mem_free(o->strips);
    o->strips = nullptr;
    o->strips_count = o->strips_words = o->strips_triangles = 0;
    o->flags &= ~OBJ_TRIANGLE_STRIPS;
}

// ---- texture coordinates ----

bool object_append_tvertexs_chn(object *o, tacka2 *uv, uint32_t n)
{
    uint32_t k = o->tvertexs_chns_no;
    tacka2 **chns = static_cast<tacka2 **>(mem_realloc(o->tvertexs, (k + 1) * sizeof(tacka2 *)));
    if (!chns) return false;
    o->tvertexs = chns;
    uint32_t *counts = static_cast<uint32_t *>(mem_realloc(o->tvertexs_counts, (k + 1) * sizeof(uint32_t)));
    if (!counts) return false;
    o->tvertexs_counts = counts;
    chns[k] = uv;
    counts[k] = n;
    o->tvertexs_chns_no = k + 1;
    o->flags |= OBJ_TVERTEXS;
    o->changed |= OBJ_CHANGED_TVERTEXS;
    return true;
}
uint32_t object_get_tvertexs_chns_no(const object *o) { return o->tvertexs_chns_no; }
tacka2 *object_get_tvertexs_chn(const object *o, uint32_t chn, uint32_t *n)
{
    ASSERT(chn < o->tvertexs_chns_no);
    if (n) *n = o->tvertexs_counts[chn];
    return o->tvertexs[chn];
}
void object_free_tvertexs_chns(object *o)
{
    for (uint32_t i = 0; i < o->tvertexs_chns_no; i++) mem_free(o->tvertexs[i]);
    mem_free(o->tvertexs);
    mem_free(o->tvertexs_counts);
    o->tvertexs = nullptr;
    o->tvertexs_counts = nullptr;
    o->tvertexs_chns_no = 0;
    o->flags &= ~OBJ_TVERTEXS;
}

// ---- skinning data ----

bool object_has_weights(const object *o) { return (o->flags & OBJ_WEIGHTS) != 0; }
void object_insert_weights(object *o, object_weight *w, uint32_t n)
{
    mem_free(o->weights);
    o->weights = w;
    o->weightsno = n;
    o->flags |= OBJ_WEIGHTS;
}
object_weight *object_get_weights(const object *o, uint32_t *n)
{
    ASSERT(object_has_weights(o));
    if (n) *n = o->weightsno;
    return o->weights;
}
void object_free_weights(object *o)
{
    mem_free(o->weights);
    o->weights = nullptr;
    o->weightsno = 0;
    o->flags &= ~OBJ_WEIGHTS;
}
bool object_has_bones(const object *o) { return (o->flags & OBJ_BONES) != 0; }
void object_insert_bones(object *o, object_bone_name *bones, uint32_t n)
{
    mem_free(o->bones);
    o->bones = bones;
    o->bonesno = n;
    o->flags |= OBJ_BONES;
}
object_bone_name *object_get_bones(const object *o, uint32_t *n)
{
    ASSERT(object_has_bones(o));
    if (n) *n = o->bonesno;
    return o->bones;
}
void object_free_bones(object *o)
{
    mem_free(o->bones);
    o->bones = nullptr;
    o->bonesno = 0;
    o->flags &= ~OBJ_BONES;
}

// ---- normals ----

bool object_has_vertex_normals(const object *o) { return (o->flags & OBJ_VERTEX_NORMALS) != 0; }
void object_insert_vertex_normals(object *o, tacka3 *normals, uint32_t n)
{
    mem_free(o->vnormals);
    o->vnormals = normals;
    o->vnormalsno = n;
    o->flags |= OBJ_VERTEX_NORMALS;
    o->changed |= OBJ_CHANGED_VNORMALS;
}
tacka3 *object_get_vertex_normals(const object *o, uint32_t *n)
{
    ASSERT(object_has_vertex_normals(o));
    if (n) *n = o->vnormalsno;
    return o->vnormals;
}
void object_free_vertex_normals(object *o)
{
    mem_free(o->vnormals);
    o->vnormals = nullptr;
    o->vnormalsno = 0;
    o->flags &= ~(OBJ_VERTEX_NORMALS | OBJ_VNORMALS_FROM_FILE);
}
bool object_has_face_normals(const object *o) { return (o->flags & OBJ_FACE_NORMALS) != 0; }

static tacka3 __face_normal(tacka3 v0, tacka3 v1, tacka3 v2)
{
    tacka3 e1 = tacka3_sub(v1, v0), e2 = tacka3_sub(v2, v0);
    bool same = e1.x == e2.x && e1.y == e2.y && e1.z == e2.z;
    if (same || tacka3_length2(e1) == 0.0f || tacka3_length2(e2) == 0.0f) return tacka3{0, 0, 0};
    tacka3 n = tacka3_cross(e1, e2);
    float len = tacka3_length(n);
    if (!(len > 0.0f) || !std::isfinite(len)) return tacka3{0, 0, 0};
    return tacka3_scale(n, 1.0f / len);
}

bool object_calc_face_normals(object *o)
{
    ASSERT(object_has_vertexs(o));
    uint32_t faces;
    if (object_has_triangle_list(o)) {
        faces = o->facesno;
    } else {
        ASSERT(object_has_triangle_strips(o));
        ASSERT(o->strips_count == 1);
        faces = o->strips_triangles;
    }
    if (!object_has_face_normals(o) || o->fnormalsno != faces) {
        tacka3 *n = static_cast<tacka3 *>(mem_realloc(o->fnormals, (faces ? faces : 1) * sizeof(tacka3)));
        if (!n) return false;
        o->fnormals = n;
        o->fnormalsno = faces;
    }
    const tacka3 *v = o->vertexs;
    const uint32_t nv = o->vertexsno;
    // A triangle naming a vertex that is not there has no normal.
    auto normal = [&](uint32_t a, uint32_t b, uint32_t c) {
        return a < nv && b < nv && c < nv ? __face_normal(v[a], v[b], v[c]) : tacka3{0.0f, 0.0f, 0.0f};
    };
    if (object_has_triangle_list(o)) {
        for (uint32_t f = 0; f < faces; f++)
            o->fnormals[f] = normal(object_get_triangle_index(o, f, 0), object_get_triangle_index(o, f, 1),
                                    object_get_triangle_index(o, f, 2));
    } else {
        // One strip: a triangle count k then k + 2 indices; every other
        // triangle has its winding reversed.
        const uint32_t *idx = o->strips + 1;
        for (uint32_t f = 0; f < faces; f++) {
            uint32_t a = idx[f], b = idx[f + 1], c = idx[f + 2];
            if (f & 1) std::swap(a, b);
            o->fnormals[f] = normal(a, b, c);
        }
    }
    o->flags |= OBJ_FACE_NORMALS;
    return true;
}
tacka3 *object_get_face_normals(const object *o, uint32_t *n)
{
    ASSERT(object_has_face_normals(o));
    if (n) *n = o->fnormalsno;
    return o->fnormals;
}
void object_free_face_normals(object *o)
{
    mem_free(o->fnormals);
    o->fnormals = nullptr;
    o->fnormalsno = 0;
    o->flags &= ~OBJ_FACE_NORMALS;
}

bool object_calc_vertex_normals(object *o)
{
    ASSERT(object_has_vertexs(o));
    ASSERT(object_has_triangle_list(o));
    if (!object_has_face_normals(o) && !object_calc_face_normals(o)) return false;
    tacka3 *n = static_cast<tacka3 *>(mem_calloc(o->vertexsno ? o->vertexsno : 1, sizeof(tacka3)));
    if (!n) return false;
    for (uint32_t f = 0; f < o->facesno; f++)
        for (uint32_t j = 0; j < 3; j++) {
            uint32_t i = object_get_triangle_index(o, f, j);
            if (i < o->vertexsno) n[i] = tacka3_add(n[i], o->fnormals[f]);
        }
    for (uint32_t i = 0; i < o->vertexsno; i++) {
        float l2 = tacka3_length2(n[i]);
        if (l2 > 0.0f && std::isfinite(l2)) n[i] = tacka3_scale(n[i], 1.0f / std::sqrt(l2));
    }
    object_insert_vertex_normals(o, n, o->vertexsno);
    return true;
}

// ---- tangent space ----

bool object_has_tangent_space(const object *o)
{
    return (o->flags & (OBJ_TS_TANGENTS | OBJ_TS_BINORMALS | OBJ_TS_NORMALS)) ==
           (OBJ_TS_TANGENTS | OBJ_TS_BINORMALS | OBJ_TS_NORMALS);
}
#define TS_INSERT(field, count, bit) \
    mem_free(o->field); \
    o->field = v; \
    o->count = n; \
    o->flags |= bit;
void object_insert_tangent_space_tangents(object *o, tacka3 *v, uint32_t n)
{
    TS_INSERT(ts_tangents, ts_tangentsno, OBJ_TS_TANGENTS)
}
void object_insert_tangent_space_binormals(object *o, tacka3 *v, uint32_t n)
{
    TS_INSERT(ts_binormals, ts_binormalsno, OBJ_TS_BINORMALS)
}
void object_insert_tangent_space_normals(object *o, tacka3 *v,
                                         uint32_t n){TS_INSERT(ts_normals, ts_normalsno, OBJ_TS_NORMALS)}
#undef TS_INSERT
tacka3 *object_get_tangent_space_tangents(const object *o, uint32_t *n)
{
    ASSERT(o->flags & OBJ_TS_TANGENTS);
    if (n) *n = o->ts_tangentsno;
    return o->ts_tangents;
}
tacka3 *object_get_tangent_space_binormals(const object *o, uint32_t *n)
{
    ASSERT(o->flags & OBJ_TS_BINORMALS);
    if (n) *n = o->ts_binormalsno;
    return o->ts_binormals;
}
tacka3 *object_get_tangent_space_normals(const object *o, uint32_t *n)
{
    ASSERT(o->flags & OBJ_TS_NORMALS);
    if (n) *n = o->ts_normalsno;
    return o->ts_normals;
}

bool object_tangent_space_light_array_init(object *o)
{
    if (o->flags & OBJ_TS_LIGHT_ARRAY) return true;
    tacka3 *a = static_cast<tacka3 *>(mem_calloc(o->vertexsno ? o->vertexsno : 1, sizeof(tacka3)));
    if (!a) return false;
    o->ts_light_array = a;
    o->flags |= OBJ_TS_LIGHT_ARRAY;
    return true;
}
void object_tangent_space_light_array_update(object *o, tacka3 light_position)
{
    ASSERT(o->flags & OBJ_TS_LIGHT_ARRAY);
    ASSERT(object_has_tangent_space(o));
    uint32_t n = std::min({o->vertexsno, o->ts_tangentsno, o->ts_binormalsno, o->ts_normalsno});
    for (uint32_t i = 0; i < n; i++) {
        tacka3 l = tacka3_sub(light_position, o->vertexs[i]);
        o->ts_light_array[i] = tacka3{tacka3_dot(o->ts_binormals[i], l), tacka3_dot(o->ts_tangents[i], l),
                                      tacka3_dot(o->ts_normals[i], l)};
    }
}
tacka3 *object_tangent_space_light_array_get(const object *o)
{
    ASSERT(o->flags & OBJ_TS_LIGHT_ARRAY);
    return o->ts_light_array;
}
void object_tangent_space_light_aray_deinit(object *o)
{
    mem_free(o->ts_light_array);
    o->ts_light_array = nullptr;
    o->flags &= ~OBJ_TS_LIGHT_ARRAY;
}

// ---- derived data ----

void object_calc_center(object *o)
{
    if (!object_has_vertexs(o)) {
        do_log(LOG_CRITICAL, LOG_TO_MSGBOX | LOG_TO_DEBUGGER, "__calc_center: [object: %s] no vertexs in object",
               log_quote(o->name ? o->name : "").text);
        BUG();
    }
    double sx = 0, sy = 0, sz = 0;
    for (uint32_t i = 0; i < o->vertexsno; i++) {
        sx += o->vertexs[i].x;
        sy += o->vertexs[i].y;
        sz += o->vertexs[i].z;
    }
    if (o->vertexsno)
        o->center = tacka3{float(sx / o->vertexsno), float(sy / o->vertexsno), float(sz / o->vertexsno)};
    else
        o->center = tacka3{0, 0, 0};
    o->flags |= OBJ_CENTER;
}
tacka3 object_get_center(const object *o)
{
    ASSERT(o->flags & OBJ_CENTER);
    return o->center;
}
void object_calc_bounding_sphere_radius(object *o)
{
    ASSERT(o->flags & OBJ_CENTER);
    float best = 0.0f;
    for (uint32_t i = 0; i < o->vertexsno; i++)
        best = std::max(best, tacka3_length2(tacka3_sub(o->vertexs[i], o->center)));
    o->radius = std::sqrt(best);
    o->flags |= OBJ_RADIUS;
}
float object_get_bounding_sphere_radius(const object *o)
{
    if (!(o->flags & OBJ_RADIUS)) {
        do_log(LOG_CRITICAL, LOG_TO_ALL,
               "object_get_bounding_sphere_radius(): [object: %s] bounding sphere radius not calculated?!?",
               log_quote(o->name ? o->name : "").text);
        BUG();
    }
    return o->radius;
}

bool object_calc_plane_eqs(object *o)
{
    ASSERT(!(o->flags & OBJ_PLANE_EQS));
    ASSERT(object_has_vertexs(o) && object_has_triangle_list(o));
    if (!object_has_face_normals(o) && !object_calc_face_normals(o)) return false;
    float *p = static_cast<float *>(mem_alloc(size_t(o->facesno ? o->facesno : 1) * 5 * sizeof(float)));
    if (!p) return false;
    for (uint32_t f = 0; f < o->facesno; f++) {
        tacka3 n = o->fnormals[f];
        uint32_t i0 = object_get_triangle_index(o, f, 0);
        tacka3 v0 = i0 < o->vertexsno ? o->vertexs[i0] : tacka3{0.0f, 0.0f, 0.0f};
        p[f * 5 + 0] = n.x;
        p[f * 5 + 1] = n.y;
        p[f * 5 + 2] = n.z;
        p[f * 5 + 3] = -tacka3_dot(n, v0);
        p[f * 5 + 4] = 0.0f;
    }
    o->plane_eqs = p;
    o->flags |= OBJ_PLANE_EQS;
    return true;
}
float *object_get_plane_eqs(const object *o)
{
    ASSERT(o->flags & OBJ_PLANE_EQS);
    return o->plane_eqs;
}

bool object_set_connectivity(object *o)
{
    if (!object_has_vertexs(o) || !object_has_triangle_list(o)) return false;
    size_t n = size_t(o->facesno) * 3;
    struct half {
        uint32_t a, b, face;
    };
    half *h = static_cast<half *>(mem_alloc((n ? n : 1) * sizeof(half)));
    object_edge *edges = static_cast<object_edge *>(mem_alloc((n ? n : 1) * sizeof(object_edge)));
    if (!h || !edges) {
        mem_free(h);
        mem_free(edges);
        return false;
    }
    for (uint32_t f = 0; f < o->facesno; f++)
        for (uint32_t j = 0; j < 3; j++) {
            uint32_t a = object_get_triangle_index(o, f, j), b = object_get_triangle_index(o, f, (j + 1) % 3);
            h[size_t(f) * 3 + j] = half{std::min(a, b), std::max(a, b), f};
        }
    std::sort(h, h + n, [](const half &x, const half &y) {
        return x.a != y.a ? x.a < y.a : x.b != y.b ? x.b < y.b : x.face < y.face;
    });
    uint32_t count = 0;
    for (size_t i = 0; i < n;) {
        object_edge e{{h[i].a, h[i].b}, {h[i].face, UINT32_MAX}};
        size_t j = i + 1;
        if (j < n && h[j].a == h[i].a && h[j].b == h[i].b) e.face[1] = h[j].face;
        while (j < n && h[j].a == h[i].a && h[j].b == h[i].b) j++;
        edges[count++] = e;
        i = j;
    }
    mem_free(h);
    mem_free(o->edges);
    o->edges = edges;
    o->edgesno = count;
    o->flags |= OBJ_EDGES;
    o->changed |= OBJ_CHANGED_EDGES;
    return true;
}
bool object_has_connectivity(const object *o) { return (o->flags & OBJ_EDGES) != 0; }
object_edge *object_get_edges(const object *o, uint32_t *n)
{
    ASSERT(object_has_connectivity(o));
    if (n) *n = o->edgesno;
    return o->edges;
}

// ---- validation ----

// The checks below run over every loaded array: let the compiler vectorise them.
#if defined(__GNUC__) && !defined(__clang__)
#define OBJ_VECTORISE __attribute__((optimize("tree-vectorize")))
#else
#define OBJ_VECTORISE
#endif

// Whether every float of n vectors is finite (exponent bits not all set).
OBJ_VECTORISE static bool __finite3(const tacka3 *v, uint32_t n)
{
    const uint32_t *bits = reinterpret_cast<const uint32_t *>(v);
    size_t count = size_t(n) * 3;
    uint32_t bad = 0;
    for (size_t i = 0; i < count; i++) bad |= uint32_t((bits[i] & 0x7f800000u) == 0x7f800000u);
    return bad == 0;
}

template <typename T> OBJ_VECTORISE static uint32_t __max_index(const T *idx, size_t count)
{
    T m = 0;
    for (size_t i = 0; i < count; i++) m = idx[i] > m ? idx[i] : m;
    return uint32_t(m);
}

bool object_validate(const object *o, const char **why)
{
    uint32_t nv = object_has_vertexs(o) ? o->vertexsno : 0;
    if (object_has_vertexs(o) && !__finite3(o->vertexs, nv)) {
        *why = "vertex position is not a finite number";
        return false;
    }
    if (object_has_triangle_list(o) && o->facesno) {
        size_t n = size_t(o->facesno) * 3;
        uint32_t top = o->tris_ints ? __max_index(o->tris_ints, n) : __max_index(o->tris_shorts, n);
        if (top >= nv) {
            *why = "triangle index out of range";
            return false;
        }
    }
    if (object_has_triangle_strips(o)) {
        uint64_t pos = 0, tris = 0;
        for (uint32_t s = 0; s < o->strips_count; s++) {
            if (pos >= o->strips_words) {
                *why = "triangle strip records overrun their words";
                return false;
            }
            uint64_t k = o->strips[pos++];
            if (k + 2 > o->strips_words - pos) {
                *why = "triangle strip records overrun their words";
                return false;
            }
            for (uint64_t j = 0; j < k + 2; j++)
                if (o->strips[pos + j] >= nv) {
                    *why = "triangle strip index out of range";
                    return false;
                }
            pos += k + 2;
            tris += k;
        }
        if (tris != o->strips_triangles) {
            *why = "triangle strip count does not match its records";
            return false;
        }
    }
    if (object_has_vertex_normals(o) && (o->vnormalsno != nv || !__finite3(o->vnormals, nv))) {
        *why = "vertex normal count differs from the vertex count";
        return false;
    }
    if ((o->flags & OBJ_TS_TANGENTS && o->ts_tangentsno != nv) ||
        (o->flags & OBJ_TS_BINORMALS && o->ts_binormalsno != nv) ||
        (o->flags & OBJ_TS_NORMALS && o->ts_normalsno != nv)) {
        *why = "tangent-space vector count differs from the vertex count";
        return false;
    }
    for (uint32_t c = 0; c < o->tvertexs_chns_no; c++)
        if (o->tvertexs_counts[c] != 0 && o->tvertexs_counts[c] != nv) {
            *why = "texture-coordinate count differs from the vertex count";
            return false;
        }
    if (object_has_weights(o)) {
        uint32_t nb = object_has_bones(o) ? o->bonesno : 0;
        for (uint32_t i = 0; i < o->weightsno; i++)
            if (o->weights[i].vertex >= nv || o->weights[i].bone >= nb || !std::isfinite(o->weights[i].weight)) {
                *why = "skin weight refers to a missing vertex or bone";
                return false;
            }
    }
    return true;
}
