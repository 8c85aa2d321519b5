#pragma once
// object: one piece of mesh geometry as the exporter wrote it, shared by any
// number of instances. Buffers handed to the insert operations become the
// object's; getters of absent parts are fault reports.

#include <cstdint>

#include "corelib/array.h"
#include "corelib/tacka.h"
#include "scene/scene_types.h"

// Presence bits.
enum : uint32_t {
    OBJ_VERTEXS = 1u << 0,
    OBJ_TRIANGLE_LIST_INTS = 1u << 1,
    OBJ_TRIANGLE_LIST_SHORTS = 1u << 2,
    OBJ_TRIANGLE_STRIPS = 1u << 3,
    OBJ_SMOOTH_GROUPS = 1u << 4,
    OBJ_FACE_NORMALS = 1u << 5,
    OBJ_VERTEX_NORMALS = 1u << 6,
    OBJ_NAME = 1u << 7,
    OBJ_TVERTEXS = 1u << 8,
    OBJ_WEIGHTS = 1u << 9,
    OBJ_BONES = 1u << 10,
    OBJ_CENTER = 1u << 11,
    OBJ_RADIUS = 1u << 12,
    OBJ_PLANE_EQS = 1u << 13,
    OBJ_EDGES = 1u << 14,
    OBJ_TS_TANGENTS = 1u << 15,
    OBJ_TS_BINORMALS = 1u << 16,
    OBJ_TS_NORMALS = 1u << 17,
    OBJ_TS_LIGHT_ARRAY = 1u << 18,
    OBJ_TYPE_SET = 1u << 19,
    OBJ_VERTEXS_IN_WORLD_SPACE = 1u << 20,
    OBJ_CVERTEXS = 1u << 21,
    OBJ_VNORMALS_FROM_FILE = 1u << 22,
};

// Changed bits (what the renderer must upload again).
enum : uint32_t {
    OBJ_CHANGED_VERTEXS = 1u << 0,
    OBJ_CHANGED_TRIANGLE_LIST = 1u << 1,
    OBJ_CHANGED_STRIPS = 1u << 2,
    OBJ_CHANGED_TVERTEXS = 1u << 3,
    OBJ_CHANGED_VNORMALS = 1u << 4,
    OBJ_CHANGED_CVERTEXS = 1u << 5,
    OBJ_CHANGED_EDGES = 1u << 6,
};

// Element type codes of a generic data stream.
enum {
    GDS_TYPE_FLOAT = 1,
    GDS_TYPE_INT = 2,
    GDS_TYPE_SHORT = 3,
    GDS_TYPE_UBYTE = 4,
};

#define OBJECT_BONE_NAME_SIZE 100

struct generic_data_stream {
    uint32_t kind;        // 0..3, as loaded
    array<uint8_t> *data; // A x B elements of elem_size bytes
    uint32_t type;        // GDS_TYPE_*
    uint32_t elem_size;   // 4, 4, 2, 1
    uint32_t a, b;
};

struct object_weight {
    uint32_t vertex;
    uint32_t bone;
    float weight;
};

struct object_bone_name {
    char name[OBJECT_BONE_NAME_SIZE];
};

struct collision_bvh;

struct object_edge {
    uint32_t v[2];    // vertex indices, v[0] < v[1]
    uint32_t face[2]; // faces sharing the edge; face[1] is UINT32_MAX for an open edge
};

struct object {
    dlist link; // the scene's object list
    uint32_t flags;
    uint32_t changed;
    char *name;
    int32_t type;
    array<generic_data_stream> *streams;

    uint32_t vertexsno;
    tacka3 *vertexs;
    tacka4 *cvertexs; // optional per-vertex colours

    uint32_t facesno;
    uint32_t *tris_ints;
    uint16_t *tris_shorts;
    uint32_t *smooth_groups;
    float *plane_eqs; // 5 floats per face: normal, distance, 0

    uint32_t strips_triangles;
    uint32_t strips_count;
    uint32_t strips_words;
    uint32_t *strips;

    tacka3 center;
    float radius;

    uint32_t tvertexs_chns_no;
    uint32_t *tvertexs_counts; // per channel
    tacka2 **tvertexs;         // per channel, null for an empty channel

    uint32_t weightsno;
    object_weight *weights;
    uint32_t bonesno;
    object_bone_name *bones;

    uint32_t vnormalsno;
    tacka3 *vnormals;
    uint32_t fnormalsno;
    tacka3 *fnormals;

    uint32_t ts_tangentsno, ts_binormalsno, ts_normalsno;
    tacka3 *ts_tangents, *ts_binormals, *ts_normals;
    tacka3 *ts_light_array;

    uint32_t edgesno;
    object_edge *edges;

    // Hierarchy over the triangles for collision queries (rigid use only);
    // dropped whenever the vertices or the triangle list change.
    collision_bvh *bvh;
};

object *object_init();
void object_deinit(object *o);
// Frees the collision hierarchy (the vertices or triangles changed).
void object_drop_collision_bvh(object *o);

// Name (every loaded object has one).
bool object_has_name(const object *o);
const char *object_get_name(const object *o);
void object_insert_name(object *o, char *name);
bool object_copy_name(object *o, const char *name);
void object_free_name(object *o);

int32_t object_get_type(const object *o);
void object_set_type(object *o, int32_t type);
bool object_has_type(const object *o);

// Generic data streams (kept for tools and game code).
bool object_add_generic_data_stream(object *o, const generic_data_stream *s);
uint32_t object_get_generic_data_streams_no(const object *o);
const generic_data_stream *object_get_generic_data_stream(const object *o, uint32_t i);
float *object_get_generic_data_stream_f(const object *o, uint32_t i);
int32_t *object_get_generic_data_stream_i(const object *o, uint32_t i);
int16_t *object_get_generic_data_stream_s(const object *o, uint32_t i);
uint8_t *object_get_generic_data_stream_ubn(const object *o, uint32_t i);

// Vertices.
bool object_has_vertexs(const object *o);
void object_insert_vertexs(object *o, tacka3 *vertexs, uint32_t n);
void object_set_vertexsno(object *o, uint32_t n);
tacka3 *object_get_vertices(const object *o, uint32_t *n);
void object_free_vertexs(object *o);
void object_set_vertexs_changed(object *o);
void object_unset_vertexs_changed(object *o);
bool object_vertexs_has_changed(const object *o);
void object_set_vertexs_in_world_space(object *o, bool in_world);
bool object_vertexs_are_in_world_space(const object *o);
void object_insert_cvertexs(object *o, tacka4 *colors);
tacka4 *object_get_cvertexs(const object *o);
void object_free_cvertexs(object *o);

// Triangle list (32-bit or 16-bit indices, one of the two).
bool object_has_triangle_list(const object *o);
bool object_has_triangle_list_ints(const object *o);
bool object_has_triangle_list_shorts(const object *o);
void object_insert_triangle_list_ints(object *o, uint32_t *indices, uint32_t facesno);
void object_insert_triangle_list_shorts(object *o, uint16_t *indices, uint32_t facesno);
void object_set_triangle_list_facesno(object *o, uint32_t facesno);
uint32_t object_get_triangle_list_facesno(const object *o);
uint32_t *object_get_triangle_list_ints(const object *o);
uint16_t *object_get_triangle_list_shorts(const object *o);
// Index j (0..2) of face f, whichever width the list has.
uint32_t object_get_triangle_index(const object *o, uint32_t f, uint32_t j);
void object_free_triangle_list(object *o);
void object_insert_triangle_list_smooth_groups(object *o, uint32_t *groups);
uint32_t *object_get_triangle_list_smooth_groups(const object *o);
void object_free_triangle_list_smooth_groups(object *o);

// Triangle strips: records of a triangle count k and k + 2 indices.
bool object_has_triangle_strips(const object *o);
void object_insert_triangle_strips(object *o, uint32_t *words, uint32_t strips, uint32_t words_no, uint32_t triangles);
uint32_t *object_get_triangle_strips(const object *o, uint32_t *strips, uint32_t *words_no, uint32_t *triangles);
void object_free_triangle_strips(object *o);

// Texture-coordinate channels, numbered in insertion order.
bool object_append_tvertexs_chn(object *o, tacka2 *uv, uint32_t n);
uint32_t object_get_tvertexs_chns_no(const object *o);
tacka2 *object_get_tvertexs_chn(const object *o, uint32_t chn, uint32_t *n);
void object_free_tvertexs_chns(object *o);

// Skin weights and bone names.
bool object_has_weights(const object *o);
void object_insert_weights(object *o, object_weight *w, uint32_t n);
object_weight *object_get_weights(const object *o, uint32_t *n);
void object_free_weights(object *o);
bool object_has_bones(const object *o);
void object_insert_bones(object *o, object_bone_name *bones, uint32_t n);
object_bone_name *object_get_bones(const object *o, uint32_t *n);
void object_free_bones(object *o);

// Normals.
bool object_has_vertex_normals(const object *o);
void object_insert_vertex_normals(object *o, tacka3 *normals, uint32_t n);
tacka3 *object_get_vertex_normals(const object *o, uint32_t *n);
void object_free_vertex_normals(object *o);
bool object_has_face_normals(const object *o);
bool object_calc_face_normals(object *o);
tacka3 *object_get_face_normals(const object *o, uint32_t *n);
void object_free_face_normals(object *o);
bool object_calc_vertex_normals(object *o);

// Tangent space.
bool object_has_tangent_space(const object *o);
void object_insert_tangent_space_tangents(object *o, tacka3 *v, uint32_t n);
void object_insert_tangent_space_binormals(object *o, tacka3 *v, uint32_t n);
void object_insert_tangent_space_normals(object *o, tacka3 *v, uint32_t n);
tacka3 *object_get_tangent_space_tangents(const object *o, uint32_t *n);
tacka3 *object_get_tangent_space_binormals(const object *o, uint32_t *n);
tacka3 *object_get_tangent_space_normals(const object *o, uint32_t *n);
bool object_tangent_space_light_array_init(object *o);
void object_tangent_space_light_array_update(object *o, tacka3 light_position);
tacka3 *object_tangent_space_light_array_get(const object *o);
void object_tangent_space_light_aray_deinit(object *o);

// Derived data.
void object_calc_center(object *o);
tacka3 object_get_center(const object *o);
void object_calc_bounding_sphere_radius(object *o);
float object_get_bounding_sphere_radius(const object *o);
bool object_calc_plane_eqs(object *o);
float *object_get_plane_eqs(const object *o);
bool object_set_connectivity(object *o);
bool object_has_connectivity(const object *o);
object_edge *object_get_edges(const object *o, uint32_t *n);

// Checks that every index refers to existing data (triangles and strips to
// vertices, weights to vertices and bones, per-vertex arrays to the vertex
// count) and that positions are finite. On failure *why names the problem.
bool object_validate(const object *o, const char **why);
