#include "renderer/OGL_mesh.h"

#include <cstring>

#include "corelib/log.h"
#include "corelib/mem.h"
#include "renderer/OGL_mesh_instance.h"

static int g_meshes_alive;

int OGL_mesh_count() { return g_meshes_alive; }

// One vertex attribute as laid into the vertex buffer.
struct vertex_array_stream_info {
    uint32_t size; // bytes per vertex
    const uint8_t *src;
    int32_t offset;
    int32_t stride;
    int32_t *offset_out; // where the mesh keeps the offset and stride
    int32_t *stride_out;
};

GLenum __OGL_generic_data_stream_get_type(const OGL_generic_data_stream *s)
{
    switch (s->type) {
    case OGL_GDS_FLOAT: return GL_FLOAT;
    case OGL_GDS_SHORT: return GL_SHORT;
    case OGL_GDS_INT: return GL_INT;
    case OGL_GDS_UBYTE: return GL_UNSIGNED_BYTE;
    }
    BUG();
}

bool __OGL_generic_data_stream_is_type_normalized(const OGL_generic_data_stream *s)
{
    switch (s->type) {
    case OGL_GDS_FLOAT:
    case OGL_GDS_SHORT:
    case OGL_GDS_INT: return false;
    case OGL_GDS_UBYTE: return true;
    }
    BUG();
}

// kind 0 array buffer, 1 element buffer; usage 0 static draw, 1 stream draw.
static GLuint __OGL_vbo_create(int kind, size_t size, int usage)
{
    GLenum target, gl_usage;
    if (kind == 0)
        target = GL_ARRAY_BUFFER_ARB;
    else if (kind == 1)
        target = GL_ELEMENT_ARRAY_BUFFER_ARB;
    else
        BUG();
    if (usage == 0)
        gl_usage = GL_STATIC_DRAW_ARB;
    else if (usage == 1)
        gl_usage = GL_STREAM_DRAW_ARB;
    else
        BUG();
    GLuint name = 0;
    glGenBuffersARB(1, &name);
    ASSERT(name != 0);
    glBindBufferARB(target, name);
    glBufferDataARB(target, GLsizeiptrARB(size), nullptr, gl_usage);
    return name;
}

static uint32_t __position_size(const OGL_mesh *m)
{
    if (m->content & OGL_MESH_TACKA4_VERTEXS_AND_VNORMALS) return 32;
    if (m->content & OGL_MESH_TACKA3_VERTEXS) return 12;
    if (m->content & OGL_MESH_TACKA4_VERTEXS) return 16;
    return 0;
}

// The attribute list in the buffer's fixed order. Every attribute array must
// hold at least one element per vertex: the buffer is filled vertex by vertex.
static array<vertex_array_stream_info> *__build_stream_list(OGL_mesh *m)
{
    array<vertex_array_stream_info> *l = array_new<vertex_array_stream_info>();
    ASSERT(l != nullptr);
    auto push = [&](uint32_t size, const void *src, int32_t *off, int32_t *stride) {
        vertex_array_stream_info s{size, static_cast<const uint8_t *>(src), -1, -1, off, stride};
        if (!l->add(s)) BUG();
    };
    if (m->generic_streams)
        for (OGL_generic_data_stream &g : *m->generic_streams) {
            uint32_t sz = g.components * g.type_size;
            ASSERT(sz > 0 && g.data != nullptr);
            ASSERT(uint64_t(g.data->get_size()) >= uint64_t(sz) * m->vertexsno);
            push(sz, g.data->data, &g.offset, &g.stride);
        }
    if (m->vertexs) push(__position_size(m), m->vertexs, &m->vertexs_offset, nullptr);
    if (m->vnormals && !(m->content & OGL_MESH_TACKA4_VERTEXS_AND_VNORMALS)) {
        ASSERT(m->vnormalsno >= m->vertexsno);
        push((m->content & OGL_MESH_TACKA4_VNORMALS) ? 16 : 12, m->vnormals, &m->vnormals_offset, nullptr);
    }
    if (m->colors) {
        ASSERT(m->colorsno >= m->vertexsno);
        push((m->content & OGL_MESH_FLOAT_COLORS) ? 16 : 4, m->colors, &m->colors_offset, nullptr);
    }
    if (m->tangents) {
        ASSERT(m->tangentsno >= m->vertexsno);
        push(12, m->tangents, &m->tangents_offset, nullptr);
    }
    if (m->binormals) {
        ASSERT(m->binormalsno >= m->vertexsno);
        push(12, m->binormals, &m->binormals_offset, nullptr);
    }
    for (uint32_t c = 0; c < m->tvertexs_chnsno; c++)
        if (m->tvertexs_chns[c]) push(8, m->tvertexs_chns[c], &m->tvertexs_offsets[c], &m->tvertexs_strides[c]);
    return l;
}

// Offsets and strides of the attributes that ride with another one or are absent.
static void __write_back(OGL_mesh *m, const array<vertex_array_stream_info> *l)
{
    for (const vertex_array_stream_info &s : *l) {
        *s.offset_out = s.offset;
        if (s.stride_out) *s.stride_out = s.stride;
        if (s.offset_out == &m->vertexs_offset) m->vertexs_stride = uint32_t(s.stride);
    }
    if (m->content & OGL_MESH_TACKA4_VERTEXS_AND_VNORMALS) {
        m->vnormals_offset = m->vertexs_offset + 16;
        m->vnormals_stride = int32_t(m->vertexs_stride);
    }
    if (m->vnormals && !(m->content & OGL_MESH_TACKA4_VERTEXS_AND_VNORMALS))
        for (const vertex_array_stream_info &s : *l)
            if (s.offset_out == &m->vnormals_offset) m->vnormals_stride = s.stride;
    if (m->colors)
        for (const vertex_array_stream_info &s : *l)
            if (s.offset_out == &m->colors_offset) m->colors_stride = s.stride;
    for (uint32_t c = 0; c < OGL_MESH_MAX_TEXTURE_CHANNELS; c++)
        if (c >= m->tvertexs_chnsno || !m->tvertexs_chns[c]) m->tvertexs_offsets[c] = m->tvertexs_strides[c] = -1;
}

// Fills `block` with every attribute interleaved, vertex by vertex.
static uint32_t __interleave(array<vertex_array_stream_info> *l, uint32_t vertexsno, uint8_t *block)
{
    uint32_t vsize = 0;
    for (vertex_array_stream_info &s : *l) {
        s.offset = int32_t(vsize);
        vsize += s.size;
    }
    for (vertex_array_stream_info &s : *l) s.stride = int32_t(vsize);
    if (block)
        for (uint32_t v = 0; v < vertexsno; v++) {
            uint8_t *dst = block + size_t(v) * vsize;
            for (const vertex_array_stream_info &s : *l) {
                std::memcpy(dst, s.src + size_t(v) * s.size, s.size);
                dst += s.size;
            }
        }
    return vsize;
}

static void __OGL_mesh_build_vbo_interleaved_vertex_array(OGL_mesh *m, bool dynamic)
{
    array<vertex_array_stream_info> *l = __build_stream_list(m);
    uint32_t vsize = __interleave(l, 0, nullptr);
    size_t bytes = size_t(vsize) * m->vertexsno;
    m->vbo = __OGL_vbo_create(0, bytes, dynamic ? 1 : 0);
    if (bytes > 0) {
        uint8_t *block = static_cast<uint8_t *>(mem_alloc(bytes));
        ASSERT(block != nullptr);
        __interleave(l, m->vertexsno, block);
        glBufferSubDataARB(GL_ARRAY_BUFFER_ARB, 0, GLsizeiptrARB(bytes), block);
        mem_free(block);
    }
    __write_back(m, l);
    m->vbo_vertex_size = vsize;
    array_free(l);
    m->flags |= OGL_MESH_HAS_VBO | OGL_MESH_STATIC_VBO;
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
}

static void __OGL_mesh_build_vbo_separate_vertex_arrays(OGL_mesh *m)
{
    array<vertex_array_stream_info> *l = __build_stream_list(m);
    size_t total = 0;
    for (vertex_array_stream_info &s : *l) {
        s.offset = int32_t(total);
        s.stride = int32_t(s.size);
        total += size_t(s.size) * m->vertexsno;
    }
    ASSERT(total < size_t(INT32_MAX));
    m->vbo = __OGL_vbo_create(0, total, 1);
    if (total > 0) {
        uint8_t *dst = static_cast<uint8_t *>(glMapBufferARB(GL_ARRAY_BUFFER_ARB, GL_WRITE_ONLY_ARB));
        if (!dst) BUG();
        for (const vertex_array_stream_info &s : *l) std::memcpy(dst + s.offset, s.src, size_t(s.size) * m->vertexsno);
        if (!glUnmapBufferARB(GL_ARRAY_BUFFER_ARB)) BUG();
    }
    __write_back(m, l);
    array_free(l);
    m->flags |= OGL_MESH_HAS_VBO | OGL_MESH_DYNAMIC_VBO;
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
}

static size_t __index_bytes(const OGL_mesh *m)
{
    if (m->strip) return m->strip_size;
    if (m->faces32) return size_t(m->trisno_max) * 12;
    if (m->faces16) return size_t(m->trisno_max) * 6;
    return 0;
}

static void __OGL_mesh_build_index_buffer(OGL_mesh *m)
{
    size_t bytes = __index_bytes(m);
    if (bytes == 0) return;
    const void *src = m->strip ? m->strip : m->faces32 ? static_cast<const void *>(m->faces32) : m->faces16;
    m->ibo = __OGL_vbo_create(1, bytes, 0);
    void *dst = glMapBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, GL_WRITE_ONLY_ARB);
    if (!dst) BUG();
    std::memcpy(dst, src, bytes);
    if (!glUnmapBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB)) BUG();
    m->strip_offset = m->strip ? 0 : -1;
    m->faces32_offset = m->faces32 ? 0 : -1;
    m->faces16_offset = m->faces16 ? 0 : -1;
    glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
}

OGL_mesh *OGL_mesh_create(const OGL_mesh_input_data *id)
{
    ASSERT(id != nullptr);
    ASSERT((id->flags & OGL_MESH_INPUT_DATA_TACKA3_VERTEXS) || (id->flags & OGL_MESH_INPUT_DATA_TACKA4_VERTEXS) ||
           (id->flags & OGL_MESH_INPUT_DATA_TACKA4_VERTEXS_AND_VNORMALS) ||
           (id->flags & OGL_MESH_INPUT_DATA_GENERIC_DATA_STREAMS));
    ASSERT((id->flags & OGL_MESH_INPUT_DATA_TACKA3_VERTEX_NORMALS) ||
           (id->flags & OGL_MESH_INPUT_DATA_TACKA4_VERTEX_NORMALS) ||
           (id->flags & OGL_MESH_INPUT_DATA_TACKA4_VERTEXS_AND_VNORMALS) ||
           (id->flags & OGL_MESH_INPUT_DATA_GENERIC_DATA_STREAMS));

    OGL_mesh *m = mem_new_zeroed<OGL_mesh>();
    ASSERT(m != nullptr);
    m->instances = array_new<OGL_mesh_instance *>();
    ASSERT(m->instances != nullptr);
    m->user_value = id->user_value;
    m->vertexsno = id->vertexsno;
    m->vertexs_offset = m->vnormals_offset = m->colors_offset = -1;
    m->tangents_offset = m->binormals_offset = -1;
    m->faces16_offset = m->faces32_offset = m->strip_offset = -1;
    for (int c = 0; c < OGL_MESH_MAX_TEXTURE_CHANNELS; c++) m->tvertexs_offsets[c] = m->tvertexs_strides[c] = -1;

    if (id->flags & OGL_MESH_INPUT_DATA_GENERIC_DATA_STREAMS) {
        ASSERT(id->generic_streams != nullptr);
        m->content |= OGL_MESH_GENERIC_STREAMS;
        m->generic_streams = array_new<OGL_generic_data_stream>(id->generic_streams->get_size() + 1);
        ASSERT(m->generic_streams != nullptr);
        for (const OGL_generic_data_stream &g : *id->generic_streams) {
            __OGL_generic_data_stream_get_type(&g);
            ASSERT(g.data != nullptr && g.components >= 1 && g.components <= 4);
            ASSERT(uint64_t(g.data->get_size()) >= uint64_t(g.components) * g.type_size * id->vertexsno);
            if (!m->generic_streams->add(g)) BUG();
        }
    }
    // Positions: interleaved, then tacka3, then tacka4.
    if (id->flags & OGL_MESH_INPUT_DATA_TACKA4_VERTEXS_AND_VNORMALS) {
        m->content |= OGL_MESH_TACKA4_VERTEXS_AND_VNORMALS;
        m->vertexs_stride = 32;
        m->vnormals_stride = 32;
        m->vnormalsno = id->vertexsno;
    } else if (id->flags & OGL_MESH_INPUT_DATA_TACKA3_VERTEXS) {
        m->content |= OGL_MESH_TACKA3_VERTEXS;
        m->vertexs_stride = 12;
    } else if (id->flags & OGL_MESH_INPUT_DATA_TACKA4_VERTEXS) {
        m->content |= OGL_MESH_TACKA4_VERTEXS;
        m->vertexs_stride = 16;
    }
    if (m->content & (OGL_MESH_TACKA4_VERTEXS_AND_VNORMALS | OGL_MESH_TACKA3_VERTEXS | OGL_MESH_TACKA4_VERTEXS)) {
        ASSERT(id->vertexs != nullptr || id->vertexsno == 0);
        m->vertexs = id->vertexs;
    }
    if (m->content & OGL_MESH_TACKA4_VERTEXS_AND_VNORMALS) {
        m->vnormals = static_cast<const uint8_t *>(id->vertexs) + 16;
    } else if (id->flags & OGL_MESH_INPUT_DATA_TACKA3_VERTEX_NORMALS) {
        m->content |= OGL_MESH_TACKA3_VNORMALS;
        m->vnormals = id->vnormals;
        m->vnormalsno = id->vnormalsno;
        m->vnormals_stride = 12;
    } else if (id->flags & OGL_MESH_INPUT_DATA_TACKA4_VERTEX_NORMALS) {
        m->content |= OGL_MESH_TACKA4_VNORMALS;
        m->vnormals = id->vnormals;
        m->vnormalsno = id->vnormalsno;
        m->vnormals_stride = 16;
    }
    if (id->flags & OGL_MESH_INPUT_DATA_FLOAT_COLORS) {
        m->content |= OGL_MESH_FLOAT_COLORS;
        m->colors = id->fcolors;
        m->colorsno = id->colorsno;
        m->colors_stride = 16;
    } else if (id->flags & OGL_MESH_INPUT_DATA_BYTE_COLORS) {
        m->content |= OGL_MESH_BYTE_COLORS;
        m->colors = id->bcolors;
        m->colorsno = id->colorsno;
        m->colors_stride = 4;
    }
    if (m->colors == nullptr) m->content &= ~uint32_t(OGL_MESH_FLOAT_COLORS | OGL_MESH_BYTE_COLORS);
    if ((id->flags & OGL_MESH_INPUT_DATA_TANGENTS) && id->tangents) {
        m->content |= OGL_MESH_TANGENTS;
        m->tangents = id->tangents;
        m->tangentsno = id->tangentsno;
    }
    if ((id->flags & OGL_MESH_INPUT_DATA_BINORMALS) && id->binormals) {
        m->content |= OGL_MESH_BINORMALS;
        m->binormals = id->binormals;
        m->binormalsno = id->binormalsno;
    }
    // Indices: strip, then 32-bit list, then 16-bit list.
    if (id->flags & OGL_MESH_INPUT_DATA_TRIANGLE_STRIP) {
        ASSERT(id->strip != nullptr && id->strip_size >= OGL_MESH_STRIP_HEADER_SIZE);
        const OGL_mesh_strip_header *h = static_cast<const OGL_mesh_strip_header *>(id->strip);
        // The header's count must fit in the data given.
        ASSERT(uint64_t(h->indicesno) * 4 <= uint64_t(id->strip_size) - OGL_MESH_STRIP_HEADER_SIZE);
        ASSERT(h->indicesno >= 3);
        m->content |= OGL_MESH_TRIANGLE_STRIP;
        m->strip = id->strip;
        m->strip_size = id->strip_size;
        m->trisno_max = m->trisno = h->indicesno - 2;
    } else if (id->flags & OGL_MESH_INPUT_DATA_TRIANGLE_LIST_32) {
        ASSERT(id->faces32 != nullptr || id->facesno == 0);
        m->content |= OGL_MESH_TRIANGLE_LIST_32;
        m->faces32 = id->faces32;
        m->trisno_max = m->trisno = id->facesno;
    } else if (id->flags & OGL_MESH_INPUT_DATA_TRIANGLE_LIST_16) {
        ASSERT(id->faces16 != nullptr || id->facesno == 0);
        m->content |= OGL_MESH_TRIANGLE_LIST_16;
        m->faces16 = id->faces16;
        m->trisno_max = m->trisno = id->facesno;
    }
    if (id->flags & OGL_MESH_INPUT_DATA_TEXTURE_CHANNELS) {
        ASSERT(id->tvertexs_chnsno <= OGL_MESH_MAX_TEXTURE_CHANNELS);
        ASSERT(id->tvertexs_chnsno == 0 || id->tvertexs_chns != nullptr);
        m->content |= OGL_MESH_TEXTURE_CHANNELS;
        m->tvertexs_chnsno = id->tvertexs_chnsno;
        for (uint32_t c = 0; c < id->tvertexs_chnsno; c++) m->tvertexs_chns[c] = id->tvertexs_chns[c];
    }

    if (GLEW_ARB_vertex_buffer_object) {
        if (id->flags & OGL_MESH_INPUT_DATA_DYNAMIC)
            __OGL_mesh_build_vbo_separate_vertex_arrays(m);
        else
            __OGL_mesh_build_vbo_interleaved_vertex_array(m, false);
        __OGL_mesh_build_index_buffer(m);
    } else {
        // Client arrays: the strides are the arrays' own.
        if (m->vertexs) m->vertexs_offset = 0;
    }
    if (id->flags & OGL_MESH_INPUT_DATA_CALLER_MARK) m->flags |= OGL_MESH_CALLER_MARK;
    g_meshes_alive++;
    return m;
}

void OGL_mesh_free(OGL_mesh *mesh)
{
    if (!mesh) return;
    if (mesh->vbo) glDeleteBuffersARB(1, &mesh->vbo);
    if (mesh->ibo) glDeleteBuffersARB(1, &mesh->ibo);
    array_free(mesh->generic_streams);
    array_free(mesh->instances);
    mem_free(mesh);
    g_meshes_alive--;
}

bool OGL_mesh_has_vbo(const OGL_mesh *mesh) { return (mesh->flags & OGL_MESH_HAS_VBO) != 0; }

// Re-uploads one attribute: a plain sub-data upload for separate arrays; for
// an interleaved buffer the attribute is written vertex by vertex through a
// mapping, leaving the other attributes in place.
static int32_t __generic_stride(const OGL_mesh *mesh, int32_t natural);

static void __update_attribute(OGL_mesh *m, const void *src, uint32_t size, int32_t offset, int32_t stride)
{
    if (!src || offset < 0 || m->vertexsno == 0) return;
    if (stride <= 0 || uint32_t(stride) == size) {
        glBufferSubDataARB(GL_ARRAY_BUFFER_ARB, offset, GLsizeiptrARB(size_t(size) * m->vertexsno), src);
        return;
    }
    uint8_t *dst = static_cast<uint8_t *>(glMapBufferARB(GL_ARRAY_BUFFER_ARB, GL_WRITE_ONLY_ARB));
    if (!dst) BUG();
    const uint8_t *s = static_cast<const uint8_t *>(src);
    for (uint32_t v = 0; v < m->vertexsno; v++)
        std::memcpy(dst + offset + size_t(v) * uint32_t(stride), s + size_t(v) * size, size);
    if (!glUnmapBufferARB(GL_ARRAY_BUFFER_ARB)) BUG();
}

void OGL_mesh_update_arrays(OGL_mesh *mesh, uint32_t what)
{
    uint32_t flags = what;
    ASSERT(flags != OGL_MESH_UPDATE_UNDEF);
    if (!(mesh->flags & OGL_MESH_HAS_VBO)) return;
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, mesh->vbo);
    int32_t vstride = int32_t(mesh->vertexs_stride);
    if (flags & OGL_MESH_UPDATE_VERTEXS)
        __update_attribute(mesh, mesh->vertexs, __position_size(mesh), mesh->vertexs_offset, vstride);
    if ((flags & OGL_MESH_UPDATE_VNORMALS) && !(mesh->content & OGL_MESH_TACKA4_VERTEXS_AND_VNORMALS)) {
        uint32_t size = (mesh->content & OGL_MESH_TACKA4_VNORMALS) ? 16 : 12;
        __update_attribute(mesh, mesh->vnormals, size, mesh->vnormals_offset, mesh->vnormals_stride);
    }
    if ((flags & OGL_MESH_UPDATE_TEXTURE_CHANNELS) && (mesh->content & OGL_MESH_TEXTURE_CHANNELS))
        for (uint32_t c = 0; c < mesh->tvertexs_chnsno; c++)
            if (mesh->tvertexs_chns[c])
                __update_attribute(mesh, mesh->tvertexs_chns[c], 8, mesh->tvertexs_offsets[c],
                                   mesh->tvertexs_strides[c]);
    if (flags & OGL_MESH_UPDATE_COLORS) {
        if (mesh->content & OGL_MESH_FLOAT_COLORS)
            __update_attribute(mesh, mesh->colors, 16, mesh->colors_offset, mesh->colors_stride);
        else if (mesh->content & OGL_MESH_BYTE_COLORS)
            __update_attribute(mesh, mesh->colors, 4, mesh->colors_offset, mesh->colors_stride);
        else
            BUG();
    }
    int32_t generic_stride = __generic_stride(mesh, 12);
    if (flags & OGL_MESH_UPDATE_TANGENTS)
        __update_attribute(mesh, mesh->tangents, 12, mesh->tangents_offset, generic_stride);
    if (flags & OGL_MESH_UPDATE_BINORMALS)
        __update_attribute(mesh, mesh->binormals, 12, mesh->binormals_offset, generic_stride);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    if (flags & OGL_MESH_UPDATE_INDICES) {
        glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, mesh->ibo);
        if (mesh->content & OGL_MESH_TRIANGLE_LIST_32)
            glBufferSubDataARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0, GLsizeiptrARB(size_t(mesh->trisno_max) * 12),
                               mesh->faces32);
        else if (mesh->content & OGL_MESH_TRIANGLE_LIST_16)
            glBufferSubDataARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0, GLsizeiptrARB(size_t(mesh->trisno_max) * 6),
                               mesh->faces16);
        else
            BUG();
        glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
    }
}

void OGL_mesh_set_triangle_list_facesno(OGL_mesh *mesh, uint32_t n)
{
    if (n > mesh->trisno_max) BUG();
    mesh->trisno = n;
}

const void *OGL_mesh_get_triangle_index_pointer(const OGL_mesh *mesh, uint32_t triangle_no)
{
    ASSERT(triangle_no < mesh->trisno_max);
    bool vbo = (mesh->flags & OGL_MESH_HAS_VBO) != 0;
    if (mesh->content & OGL_MESH_TRIANGLE_LIST_32) {
        uintptr_t base = vbo ? uintptr_t(mesh->faces32_offset) : reinterpret_cast<uintptr_t>(mesh->faces32);
        return reinterpret_cast<const void *>(base + uintptr_t(12) * triangle_no);
    }
    if (mesh->content & OGL_MESH_TRIANGLE_LIST_16) {
        uintptr_t base = vbo ? uintptr_t(mesh->faces16_offset) : reinterpret_cast<uintptr_t>(mesh->faces16);
        return reinterpret_cast<const void *>(base + uintptr_t(6) * triangle_no);
    }
    BUG();
}

void OGL_mesh_set_ws_scale(OGL_mesh *mesh, tacka3 scale)
{
    mesh->ws_scale = scale;
    mesh->flags |= OGL_MESH_WS_SCALE_SET;
}

tacka3 OGL_mesh_get_ws_scale(const OGL_mesh *mesh)
{
    if (!(mesh->flags & OGL_MESH_WS_SCALE_SET)) BUG();
    return mesh->ws_scale;
}

static const void *__attr(const OGL_mesh *m, const void *client, int32_t offset, int32_t stride, GLsizei *out_stride)
{
    if (out_stride) *out_stride = stride > 0 ? stride : 0;
    if (!client) return nullptr;
    if (m->flags & OGL_MESH_HAS_VBO) return reinterpret_cast<const void *>(uintptr_t(offset));
    return client;
}

const void *OGL_mesh_get_vertexs_pointer(const OGL_mesh *mesh, GLsizei *stride)
{
    return __attr(mesh, mesh->vertexs, mesh->vertexs_offset, int32_t(mesh->vertexs_stride), stride);
}
const void *OGL_mesh_get_vnormals_pointer(const OGL_mesh *mesh, GLsizei *stride)
{
    return __attr(mesh, mesh->vnormals, mesh->vnormals_offset, mesh->vnormals_stride, stride);
}
const void *OGL_mesh_get_colors_pointer(const OGL_mesh *mesh, GLsizei *stride)
{
    return __attr(mesh, mesh->colors, mesh->colors_offset, mesh->colors_stride, stride);
}
static int32_t __generic_stride(const OGL_mesh *mesh, int32_t natural)
{
    return (mesh->flags & OGL_MESH_STATIC_VBO) ? int32_t(mesh->vbo_vertex_size) : natural;
}
const void *OGL_mesh_get_tangents_pointer(const OGL_mesh *mesh, GLsizei *stride)
{
    return __attr(mesh, mesh->tangents, mesh->tangents_offset, __generic_stride(mesh, 12), stride);
}
const void *OGL_mesh_get_binormals_pointer(const OGL_mesh *mesh, GLsizei *stride)
{
    return __attr(mesh, mesh->binormals, mesh->binormals_offset, __generic_stride(mesh, 12), stride);
}
const void *OGL_mesh_get_tvertexs_pointer(const OGL_mesh *mesh, uint32_t channel, GLsizei *stride)
{
    if (!OGL_mesh_has_tvertexs_channel(mesh, channel)) {
        if (stride) *stride = 0;
        return nullptr;
    }
    int32_t s = (mesh->flags & OGL_MESH_HAS_VBO) ? mesh->tvertexs_strides[channel] : 8;
    return __attr(mesh, mesh->tvertexs_chns[channel], mesh->tvertexs_offsets[channel], s, stride);
}
bool OGL_mesh_has_tvertexs_channel(const OGL_mesh *mesh, uint32_t channel)
{
    return channel < mesh->tvertexs_chnsno && mesh->tvertexs_chns[channel] != nullptr;
}
bool OGL_mesh_has_byte_colors(const OGL_mesh *mesh) { return (mesh->content & OGL_MESH_BYTE_COLORS) != 0; }

GLsizei OGL_mesh_get_draw_count(const OGL_mesh *mesh)
{
    if (mesh->content & OGL_MESH_TRIANGLE_STRIP) return GLsizei(mesh->trisno + 2);
    return GLsizei(mesh->trisno * 3);
}

static GLenum __index_type(const OGL_mesh *mesh)
{
    return (mesh->content & OGL_MESH_TRIANGLE_LIST_16) ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT;
}

void OGL_mesh_draw(const OGL_mesh *mesh)
{
    bool vbo = (mesh->flags & OGL_MESH_HAS_VBO) != 0;
    if (mesh->content & OGL_MESH_TRIANGLE_STRIP) {
        // The indices follow the strip header, in the buffer as in the client data.
        uintptr_t base = vbo ? uintptr_t(mesh->strip_offset) : reinterpret_cast<uintptr_t>(mesh->strip);
        glDrawElements(GL_TRIANGLE_STRIP, OGL_mesh_get_draw_count(mesh), GL_UNSIGNED_INT,
                       reinterpret_cast<const void *>(base + OGL_MESH_STRIP_HEADER_SIZE));
        return;
    }
    if (mesh->trisno == 0) return;
    glDrawElements(GL_TRIANGLES, OGL_mesh_get_draw_count(mesh), __index_type(mesh),
                   OGL_mesh_get_triangle_index_pointer(mesh, 0));
}

void OGL_mesh_draw_range(const OGL_mesh *mesh, GLsizei count, const void *offset)
{
    if (count <= 0) return;
    GLenum prim = (mesh->content & OGL_MESH_TRIANGLE_STRIP) ? GL_TRIANGLE_STRIP : GL_TRIANGLES;
    glDrawElements(prim, count, __index_type(mesh), offset);
}
