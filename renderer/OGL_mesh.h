#pragma once
// OGL_mesh: the renderer's copy of one piece of geometry.
//
// A mesh points at the caller's vertex attribute and index arrays (which must
// outlive it) and, on boards with GL_ARB_vertex_buffer_object, holds the same
// data in buffer objects: one interleaved vertex buffer for static meshes, one
// buffer of separate arrays for dynamic ones (re-uploaded part by part with
// OGL_mesh_update_arrays). Mesh instances (OGL_mesh_instance.h) draw it.
//
// The scene makes one mesh per object: fill an OGL_mesh_input_data with the
// object's arrays and call OGL_mesh_create(); free it with OGL_mesh_free()
// after every instance drawing it is gone.

#include <GL/glew.h>

#include <cstdint>

#include "corelib/array.h"
#include "corelib/tacka.h"

struct OGL_mesh_instance;

// What the input data supplies.
enum : uint32_t {
    OGL_MESH_INPUT_DATA_TACKA3_VERTEXS = 0x00001,
    OGL_MESH_INPUT_DATA_TACKA4_VERTEXS = 0x00002,
    OGL_MESH_INPUT_DATA_TACKA3_VERTEX_NORMALS = 0x00004,
    OGL_MESH_INPUT_DATA_TACKA4_VERTEX_NORMALS = 0x00008,
    OGL_MESH_INPUT_DATA_TRIANGLE_LIST_32 = 0x00010,
    OGL_MESH_INPUT_DATA_TRIANGLE_LIST_16 = 0x00020,
    OGL_MESH_INPUT_DATA_TRIANGLE_STRIP = 0x00040,
    OGL_MESH_INPUT_DATA_TEXTURE_CHANNELS = 0x00100,
    OGL_MESH_INPUT_DATA_DYNAMIC = 0x00200,
    OGL_MESH_INPUT_DATA_CALLER_MARK = 0x00400,
    OGL_MESH_INPUT_DATA_TANGENTS = 0x00800,
    OGL_MESH_INPUT_DATA_BINORMALS = 0x01000,
    OGL_MESH_INPUT_DATA_TACKA4_VERTEXS_AND_VNORMALS = 0x02000,
    OGL_MESH_INPUT_DATA_FLOAT_COLORS = 0x04000,
    OGL_MESH_INPUT_DATA_BYTE_COLORS = 0x08000,
    OGL_MESH_INPUT_DATA_GENERIC_DATA_STREAMS = 0x10000,
};

// Mesh state flags.
enum : uint32_t {
    OGL_MESH_HAS_VBO = 0x2,
    OGL_MESH_CALLER_MARK = 0x40,
    OGL_MESH_STATIC_VBO = 0x80,
    OGL_MESH_DYNAMIC_VBO = 0x100,
    OGL_MESH_WS_SCALE_SET = 0x10000,
};

// Mesh content flags.
enum : uint32_t {
    OGL_MESH_TACKA3_VERTEXS = 0x2,
    OGL_MESH_TACKA4_VERTEXS = 0x4,
    OGL_MESH_TRIANGLE_LIST_32 = 0x8,
    OGL_MESH_TRIANGLE_LIST_16 = 0x10,
    OGL_MESH_TRIANGLE_STRIP = 0x20,
    OGL_MESH_TACKA3_VNORMALS = 0x80,
    OGL_MESH_TACKA4_VNORMALS = 0x100,
    OGL_MESH_TEXTURE_CHANNELS = 0x200,
    OGL_MESH_TANGENTS = 0x400,
    OGL_MESH_BINORMALS = 0x800,
    OGL_MESH_TACKA4_VERTEXS_AND_VNORMALS = 0x1000,
    OGL_MESH_FLOAT_COLORS = 0x2000,
    OGL_MESH_BYTE_COLORS = 0x4000,
    OGL_MESH_GENERIC_STREAMS = 0x8000,
};

// What OGL_mesh_update_arrays re-uploads.
enum : uint32_t {
    OGL_MESH_UPDATE_UNDEF = 0,
    OGL_MESH_UPDATE_VERTEXS = 0x1,
    OGL_MESH_UPDATE_VNORMALS = 0x2,
    OGL_MESH_UPDATE_TEXTURE_CHANNELS = 0x4,
    OGL_MESH_UPDATE_INDICES = 0x8,
    OGL_MESH_UPDATE_COLORS = 0x10,
    OGL_MESH_UPDATE_TANGENTS = 0x20,
    OGL_MESH_UPDATE_BINORMALS = 0x40,
};

// A triangle strip's data: this header, then `indicesno` unsigned 32-bit indices.
#define OGL_MESH_STRIP_HEADER_SIZE 16
struct OGL_mesh_strip_header {
    uint32_t indicesno;
    uint32_t reserved[3];
};

#define OGL_MESH_MAX_TEXTURE_CHANNELS 8

struct OGL_rgba_color {
    float r, g, b, a;
};

// Generic stream element types.
enum {
    OGL_GDS_FLOAT = 1,
    OGL_GDS_SHORT = 2,
    OGL_GDS_INT = 3,
    OGL_GDS_UBYTE = 4, // normalised when fed to GL
};

struct OGL_generic_data_stream {
    uint32_t type;
    uint32_t components;
    uint32_t type_size;
    array<uint8_t> *data; // the caller's bytes: at least vertex count x components x type size
    // Written by the mesh: where the stream lies in the vertex buffer.
    int32_t offset;
    int32_t stride;
};

// The caller's description of the geometry (the source calls it `id`).
struct OGL_mesh_input_data {
    uint32_t flags;
    uint32_t vertexsno;
    const void *vertexs; // tacka3, tacka4 or interleaved tacka4 pairs per the flags
    uint32_t vnormalsno;
    const void *vnormals; // tacka3 or tacka4
    uint32_t facesno;
    const uint32_t *faces32;
    const uint16_t *faces16;
    uint32_t strip_size; // bytes, header included
    const void *strip;
    uint32_t tvertexs_chnsno;
    const tacka2 *const *tvertexs_chns; // one pointer per channel; null channels are skipped
    uint32_t colorsno;
    const OGL_rgba_color *fcolors;
    const uint8_t *bcolors; // 4 bytes per vertex
    uint32_t tangentsno;
    const tacka3 *tangents;
    uint32_t binormalsno;
    const tacka3 *binormals;
    array<OGL_generic_data_stream> *generic_streams;
    uintptr_t user_value;
};

struct OGL_mesh {
    uint32_t flags;
    uint32_t content;
    array<OGL_generic_data_stream> *generic_streams;
    array<OGL_mesh_instance *> *instances;
    tacka3 ws_scale;
    uintptr_t user_value;

    GLuint vbo;
    uint32_t vbo_vertex_size; // interleaved buffers: bytes per vertex
    uint32_t vertexsno;
    uint32_t vertexs_stride;
    const void *vertexs;
    int32_t vertexs_offset;

    uint32_t vnormalsno;
    const void *vnormals;
    int32_t vnormals_offset, vnormals_stride;

    uint32_t colorsno;
    const void *colors;
    int32_t colors_offset, colors_stride;

    uint32_t tangentsno;
    const tacka3 *tangents;
    int32_t tangents_offset;
    uint32_t binormalsno;
    const tacka3 *binormals;
    int32_t binormals_offset;

    uint32_t trisno_max;
    uint32_t trisno;
    GLuint ibo;
    const uint16_t *faces16;
    const uint32_t *faces32;
    int32_t faces16_offset, faces32_offset;
    uint32_t strip_size;
    const void *strip;
    int32_t strip_offset;

    uint32_t tvertexs_chnsno;
    const tacka2 *tvertexs_chns[OGL_MESH_MAX_TEXTURE_CHANNELS];
    int32_t tvertexs_offsets[OGL_MESH_MAX_TEXTURE_CHANNELS];
    int32_t tvertexs_strides[OGL_MESH_MAX_TEXTURE_CHANNELS];
};

OGL_mesh *OGL_mesh_create(const OGL_mesh_input_data *id);
void OGL_mesh_free(OGL_mesh *mesh);
// Live meshes.
int OGL_mesh_count();

void OGL_mesh_update_arrays(OGL_mesh *mesh, uint32_t what);
void OGL_mesh_set_triangle_list_facesno(OGL_mesh *mesh, uint32_t n);
// Address of a triangle's indices: a buffer offset on buffer meshes, else a client pointer.
const void *OGL_mesh_get_triangle_index_pointer(const OGL_mesh *mesh, uint32_t triangle_no);

void OGL_mesh_set_ws_scale(OGL_mesh *mesh, tacka3 scale);
tacka3 OGL_mesh_get_ws_scale(const OGL_mesh *mesh);
bool OGL_mesh_has_vbo(const OGL_mesh *mesh);

// Attribute addresses for drawing: the buffer offset (cast to a pointer) on buffer
// meshes, the caller's array otherwise; strides in bytes (0: tightly packed).
const void *OGL_mesh_get_vertexs_pointer(const OGL_mesh *mesh, GLsizei *stride);
const void *OGL_mesh_get_vnormals_pointer(const OGL_mesh *mesh, GLsizei *stride);
const void *OGL_mesh_get_colors_pointer(const OGL_mesh *mesh, GLsizei *stride);
const void *OGL_mesh_get_tangents_pointer(const OGL_mesh *mesh, GLsizei *stride);
const void *OGL_mesh_get_binormals_pointer(const OGL_mesh *mesh, GLsizei *stride);
// Null for an absent channel.
const void *OGL_mesh_get_tvertexs_pointer(const OGL_mesh *mesh, uint32_t channel, GLsizei *stride);
bool OGL_mesh_has_tvertexs_channel(const OGL_mesh *mesh, uint32_t channel);
bool OGL_mesh_has_byte_colors(const OGL_mesh *mesh);

// Draws with the current state: the whole mesh, or `count` indices from `offset`
// (an address from OGL_mesh_get_triangle_index_pointer). Binds nothing.
void OGL_mesh_draw(const OGL_mesh *mesh);
void OGL_mesh_draw_range(const OGL_mesh *mesh, GLsizei count, const void *offset);
// Index count of a whole-mesh draw at the current face count.
GLsizei OGL_mesh_get_draw_count(const OGL_mesh *mesh);

// Generic stream types as GL sees them (any other value is a fault report).
GLenum __OGL_generic_data_stream_get_type(const OGL_generic_data_stream *s);
bool __OGL_generic_data_stream_is_type_normalized(const OGL_generic_data_stream *s);
