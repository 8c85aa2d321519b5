#include "scene/quox2_loader.h"

#include <cmath>
#include <cstring>
#include <unistd.h>

#include "corelib/array.h"
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

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the reader maps little-endian fields directly");

#define QUOX2_READ_BUFFER 65536u
#define WARN_BOX (LOG_TO_MSGBOX | LOG_TO_DEBUGGER)
#define WARN_DBG LOG_TO_DEBUGGER

static uint32_t g_material_id = 0;
uint32_t quox2_get_next_material_id() { return g_material_id; }

// ---- buffered forward reading ----

static const char *g_read_error = "";

// Reads exactly n bytes; false on a short read (g_read_error tells why). What
// did remain is consumed by the failed read.
static bool __read(quox2_file *f, void *dst, uint64_t n)
{
    uint8_t *out = static_cast<uint8_t *>(dst);
    uint32_t avail = f->buf_len - f->buf_pos;
    uint64_t k = n < avail ? n : avail;
    if (k) {
        memcpy(out, f->buf + f->buf_pos, k);
        f->buf_pos += uint32_t(k);
        f->pos += k;
        out += k;
        n -= k;
    }
    if (n == 0) return true;
    file_read_failure why;
    bool ok = n <= f->length - f->pos;
    if (!ok) {
        why.reason = "unexpected end of file";
    } else if (n >= QUOX2_READ_BUFFER) {
        // Large payloads go straight to their place.
        ok = n <= SIZE_MAX && file_read_exact(f->fd, out, size_t(n), &why);
    } else {
        uint64_t left = f->length - f->pos;
        uint32_t fill = left < QUOX2_READ_BUFFER ? uint32_t(left) : QUOX2_READ_BUFFER;
        f->buf_pos = f->buf_len = 0;
        ok = file_read_exact(f->fd, f->buf, fill, &why);
        if (ok) {
            f->buf_len = fill;
            memcpy(out, f->buf, n);
            f->buf_pos = uint32_t(n);
        }
    }
    if (!ok) {
        g_read_error = why.reason;
        f->pos = f->length;
        f->buf_pos = f->buf_len = 0;
        return false;
    }
    f->pos += n;
    return true;
}

static bool __skip(quox2_file *f, uint64_t n)
{
    uint32_t avail = f->buf_len - f->buf_pos;
    if (n <= avail) {
        f->buf_pos += uint32_t(n);
        f->pos += n;
        return true;
    }
    if (n > f->length - f->pos) return false;
    f->pos += n;
    f->buf_pos = f->buf_len = 0;
    return lseek(f->fd, off_t(f->pos), SEEK_SET) == off_t(f->pos);
}

static bool __at_end(const quox2_file *f) { return f->pos >= f->length; }
static uint64_t __left(const quox2_file *f) { return f->pos < f->length ? f->length - f->pos : 0; }

// ---- file handle ----

quox2_file *quox2_open_file(const char *file_name)
{
    quox2_file *f = mem_new_zeroed<quox2_file>();
    if (!f) return nullptr;
    f->fd = -1;
    f->name = mem_strdup(file_name);
    f->buf = static_cast<uint8_t *>(mem_alloc(QUOX2_READ_BUFFER));
    if (!f->name || !f->buf) {
        quox2_close_file(f);
        return nullptr;
    }
    file_read_failure why;
    f->fd = file_open_regular(file_name, UINT64_MAX, &f->length, &why);
    if (f->fd < 0) {
        if (why.step == FILE_READ_OPEN)
            do_log(LOG_WARNING, WARN_BOX, "quox2_open_file(): _open(%s) FAILED: %s!", log_quote(file_name).text,
                   why.reason);
        else
            do_log(LOG_WARNING, WARN_BOX, "quox2_open_file(): _filelength(%s) FAILED: %s!", log_quote(file_name).text,
                   why.reason);
        quox2_close_file(f);
        return nullptr;
    }
    if (!__read(f, f->header, QUOX2_HEADER_SIZE)) {
        do_log(LOG_WARNING, WARN_BOX, "quox2_open_file(): _read(%s) FAILED: %s!", log_quote(file_name).text,
               g_read_error);
        quox2_close_file(f);
        return nullptr;
    }
    if (memcmp(f->header, "QUOX", 5) != 0) {
        do_log(LOG_WARNING, WARN_BOX, "quox2_open_file(): QUOX MAGIC BAD, possibly not a QUOX file!");
        quox2_close_file(f);
        return nullptr;
    }
    return f;
}

void quox2_close_file(quox2_file *f)
{
    if (!f) return;
    if (f->fd >= 0) close(f->fd);
    mem_free(f->name);
    mem_free(f->buf);
    mem_free(f);
}

// ---- chunk helpers ----

struct chunk_header {
    char id[8];
    uint32_t size;
};
static_assert(sizeof(chunk_header) == QUOX2_CHUNK_HEADER_SIZE, "chunk header layout");

// The id for messages: its five characters, unprintable ones as '?'.
struct id_text {
    char s[6];
};
static id_text __id(const chunk_header &h)
{
    id_text t;
    for (int i = 0; i < 5; i++) t.s[i] = (h.id[i] >= 32 && h.id[i] < 127) ? h.id[i] : '?';
    t.s[5] = 0;
    return t;
}
static bool __is5(const chunk_header &h, const char *id) { return memcmp(h.id, id, 5) == 0; }
static bool __is6(const chunk_header &h, const char *id) { return memcmp(h.id, id, 5) == 0 && h.id[5] == 0; }

// One block being read: where its payload started and how long it is.
struct block {
    quox2_file *f;
    uint64_t start, size;
    const char *read_msg; // "...: _read(%s) FAILED: %s!\n" of this reader
    const char *who;      // the reader's name for other messages
    bool done() const { return f->pos - start >= size; }
    uint64_t left() const { return f->pos - start >= size ? 0 : size - (f->pos - start); }
};

// Reads a sub-chunk header and checks that its payload lies inside the block.
static bool __sub_header(block &b, chunk_header *h)
{
    if (!__read(b.f, h, sizeof *h)) {
        do_log(LOG_WARNING, WARN_DBG, b.read_msg, log_quote(b.f->name).text, g_read_error);
        return false;
    }
    if (b.f->pos - b.start > b.size || h->size > b.left()) {
        do_log(LOG_WARNING, WARN_DBG, "%s: chunk \"%s\" overruns its block in QUOX2 file \"%s\"!\n", b.who, __id(*h).s,
               log_quote(b.f->name).text);
        return false;
    }
    return true;
}

static void __unsupported(const block &b, const chunk_header &h)
{
    do_log(LOG_WARNING, WARN_BOX, "Unsupported chunk \"%s\" in QUOX2 file \"%s\"!", __id(h).s,
           log_quote(b.f->name).text);
}

// Reads the whole payload into a new block (one spare byte so that empty
// payloads still get a block).
static uint8_t *__payload(block &b, uint32_t size, const char *read_msg = nullptr)
{
    uint8_t *p = static_cast<uint8_t *>(mem_alloc(size_t(size) + 1));
    if (!p) {
        do_log(LOG_WARNING, LOG_TO_ALL, "%s: out of memory reading QUOX2 file \"%s\"!", b.who,
               log_quote(b.f->name).text);
        return nullptr;
    }
    if (!__read(b.f, p, size)) {
        do_log(LOG_WARNING, WARN_DBG, read_msg ? read_msg : b.read_msg, log_quote(b.f->name).text, g_read_error);
        mem_free(p);
        return nullptr;
    }
    return p;
}

// A zero-terminated name chunk whose last byte must be 0.
static char *__name(block &b, uint32_t size)
{
    if (size == 0) {
        do_log(LOG_WARNING, WARN_DBG, "%s: empty name chunk in QUOX2 file \"%s\"!\n", b.who, log_quote(b.f->name).text);
        return nullptr;
    }
    uint8_t *p = __payload(b, size);
    if (!p) return nullptr;
    if (p[size - 1] != 0) {
        do_log(LOG_WARNING, WARN_DBG, "%s: name chunk not zero-terminated in QUOX2 file \"%s\"!\n", b.who,
               log_quote(b.f->name).text);
        mem_free(p);
        return nullptr;
    }
    return reinterpret_cast<char *>(p);
}

static bool __fixed(block &b, const chunk_header &h, uint32_t want, void *dst)
{
    if (h.size != want) {
        do_log(LOG_WARNING, WARN_DBG, "%s: chunk \"%s\" has size %u instead of %u in QUOX2 file \"%s\"!\n", b.who,
               __id(h).s, h.size, want, log_quote(b.f->name).text);
        return false;
    }
    if (!__read(b.f, dst, want)) {
        do_log(LOG_WARNING, WARN_DBG, b.read_msg, log_quote(b.f->name).text, g_read_error);
        return false;
    }
    return true;
}

static bool __read_count(block &b, uint32_t *v)
{
    if (!__read(b.f, v, 4)) {
        do_log(LOG_WARNING, WARN_DBG, b.read_msg, log_quote(b.f->name).text, g_read_error);
        return false;
    }
    return true;
}

static bool __finite(const float *v, int n)
{
    for (int i = 0; i < n; i++)
        if (!std::isfinite(v[i])) return false;
    return true;
}

// A rotation from the file must be usable: finite and not of zero length.
static bool __usable_rotation(const quaternion &q)
{
    float l2 = q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z;
    return std::isfinite(l2) && l2 > 1e-12f;
}

// ---- objects ----

static const char *const OBJ_READ = "LoadDuplicatedMesh(): _read(%s) FAILED: %s!\n";

static bool __vector_chunk(block &b, const chunk_header &h, bool count_may_be_zero, tacka3 **out, uint32_t *n)
{
    (void)count_may_be_zero;
    uint32_t count;
    if (h.size < 4) {
        do_log(LOG_WARNING, WARN_DBG, "LoadDuplicatedMesh(): Invalid VERTEXSLIST chunk size!\n");
        return false;
    }
    if (!__read_count(b, &count)) return false;
    if (uint64_t(h.size) != 4 + uint64_t(count) * 12) {
        do_log(LOG_WARNING, WARN_DBG, "LoadDuplicatedMesh(): Invalid VERTEXSLIST chunk size!\n");
        return false;
    }
    if (count == 0) {
        do_log(LOG_WARNING, WARN_DBG, "LoadDuplicatedMesh(): empty \"%s\" chunk in QUOX2 file \"%s\"!\n", __id(h).s,
               log_quote(b.f->name).text);
        return false;
    }
    uint8_t *p = __payload(b, count * 12);
    if (!p) return false;
    *out = reinterpret_cast<tacka3 *>(p);
    *n = count;
    return true;
}

static bool __gstr(block &b, object *o, const chunk_header &h)
{
    static const uint32_t sizes[4] = {4, 4, 2, 1};
    uint32_t head[4];
    if (h.size < 16) {
        do_log(LOG_WARNING, WARN_DBG, "Invalid VERTEXSLIST chunk size!\n");
        return false;
    }
    if (!__read(b.f, head, 16)) {
        do_log(LOG_WARNING, WARN_DBG, "%s: _read(%s) FAILED: %s!\n", "__load_object", log_quote(b.f->name).text,
               g_read_error);
        return false;
    }
    uint32_t kind = head[0], type = head[1], A = head[2], B = head[3];
    if (kind > 3 || type > 3 || B == 0) {
        do_log(LOG_WARNING, WARN_DBG,
               "__load_object(): invalid generic data stream (kind %u, type %u, %u x %u) in QUOX2 file \"%s\"!\n", kind,
               type, A, B, log_quote(b.f->name).text);
        return false;
    }
    uint64_t bytes = uint64_t(A) * B * sizes[type];
    if (uint64_t(h.size) != 16 + bytes) {
        do_log(LOG_WARNING, WARN_DBG, "Invalid VERTEXSLIST chunk size!\n");
        return false;
    }
    array<uint8_t> *data = array_new<uint8_t>();
    if (!data || (bytes && !data->set_size(uint32_t(bytes)))) {
        array_free(data);
        return false;
    }
    if (!__read(b.f, data->data, bytes)) {
        do_log(LOG_WARNING, WARN_DBG, "_read(%s) FAILED: %s!\n", log_quote(b.f->name).text, g_read_error);
        array_free(data);
        return false;
    }
    generic_data_stream s{kind, data, type + 1, sizes[type], A, B};
    if (!object_add_generic_data_stream(o, &s)) {
        array_free(data);
        return false;
    }
    return true;
}

static bool __object_chunk(block &b, object *o, const chunk_header &h)
{
    if (__is6(h, CHUNK_ID_NAME)) {
        char *name = __name(b, h.size);
        if (!name) return false;
        object_insert_name(o, name);
        return true;
    }
    if (__is6(h, CHUNK_ID_TYPE)) {
        int32_t type;
        if (!__fixed(b, h, 4, &type)) return false;
        object_set_type(o, type);
        return true;
    }
    if (__is6(h, CHUNK_ID_GENERIC_STREAM)) return __gstr(b, o, h);
    if (__is6(h, CHUNK_ID_VERTEXSLIST) || __is6(h, CHUNK_ID_VNORMALS) || __is6(h, CHUNK_ID_TS_NORMALS) ||
        __is6(h, CHUNK_ID_TS_BINORMALS) || __is6(h, CHUNK_ID_TS_TANGENTS)) {
        tacka3 *v;
        uint32_t n;
        if (!__vector_chunk(b, h, false, &v, &n)) return false;
        if (__is6(h, CHUNK_ID_VERTEXSLIST))
            object_insert_vertexs(o, v, n);
        else if (__is6(h, CHUNK_ID_VNORMALS)) {
            object_insert_vertex_normals(o, v, n);
            o->flags |= OBJ_VNORMALS_FROM_FILE;
        } else if (__is6(h, CHUNK_ID_TS_NORMALS))
            object_insert_tangent_space_normals(o, v, n);
        else if (__is6(h, CHUNK_ID_TS_BINORMALS))
            object_insert_tangent_space_binormals(o, v, n);
        else
            object_insert_tangent_space_tangents(o, v, n);
        return true;
    }
    if (__is6(h, CHUNK_ID_TRIANGLELIST_INTS) || __is6(h, CHUNK_ID_TRIANGLELIST_SHORTS)) {
        bool ints = __is6(h, CHUNK_ID_TRIANGLELIST_INTS);
        if (h.size < 5) return false;
        uint32_t n;
        if (!__read_count(b, &n)) return false;
        uint64_t bytes = uint64_t(n) * (ints ? 12 : 6);
        if (uint64_t(h.size) != 4 + bytes) {
            do_log(LOG_WARNING, WARN_DBG, "LoadDuplicatedMesh(): Invalid TRIANGLELIST chunk size!\n");
            return false;
        }
        uint8_t *p = __payload(b, uint32_t(bytes));
        if (!p) return false;
        if (ints)
            object_insert_triangle_list_ints(o, reinterpret_cast<uint32_t *>(p), n);
        else
            object_insert_triangle_list_shorts(o, reinterpret_cast<uint16_t *>(p), n);
        return true;
    }
    if (__is6(h, CHUNK_ID_SMOOTHING_GROUPS)) {
        do_log(LOG_WARNING, WARN_DBG,
               "LoadDuplicatedMesh(): smoothing groups (\"#LISG\") are not supported, QUOX2 file \"%s\"!\n",
               log_quote(b.f->name).text);
        return false;
    }
    if (__is6(h, CHUNK_ID_TRIANGLESTRIP)) {
        if (h.size < 5) return false;
        if (h.size < 12) {
            do_log(LOG_WARNING, WARN_DBG, "LoadDuplicatedMesh(): Invalid TRIANGLESTRIP chunk size!\n");
            return false;
        }
        uint32_t head[3];
        if (!__read(b.f, head, 12)) {
            do_log(LOG_WARNING, WARN_DBG, OBJ_READ, log_quote(b.f->name).text, g_read_error);
            return false;
        }
        if (uint64_t(h.size) != 12 + uint64_t(head[1]) * 4) {
            do_log(LOG_WARNING, WARN_DBG, "LoadDuplicatedMesh(): Invalid TRIANGLESTRIP chunk size!\n");
            return false;
        }
        uint8_t *p = __payload(b, head[1] * 4);
        if (!p) return false;
        object_insert_triangle_strips(o, reinterpret_cast<uint32_t *>(p), head[0], head[1], head[2]);
        return true;
    }
    if (__is6(h, CHUNK_ID_TVERTEXLIST)) {
        uint32_t n;
        if (h.size < 4) {
            do_log(LOG_WARNING, WARN_DBG, "LoadDuplicatedMesh(): Invalid TVERTEXLIST chunk size!\n");
            return false;
        }
        if (!__read_count(b, &n)) return false;
        if (uint64_t(h.size) != 4 + uint64_t(n) * 8) {
            do_log(LOG_WARNING, WARN_DBG, "LoadDuplicatedMesh(): Invalid TVERTEXLIST chunk size!\n");
            return false;
        }
        tacka2 *uv = nullptr;
        if (n) {
            uint8_t *p = __payload(b, n * 8);
            if (!p) return false;
            uv = reinterpret_cast<tacka2 *>(p);
        }
        if (!object_append_tvertexs_chn(o, uv, n)) {
            mem_free(uv);
            return false;
        }
        return true;
    }
    if (__is6(h, CHUNK_ID_WEIGHTS)) {
        if (h.size < 5) return false;
        uint32_t n;
        if (!__read_count(b, &n)) return false;
        if (uint64_t(h.size) != 4 + uint64_t(n) * 12) return false;
        uint8_t *p = __payload(b, n * 12);
        if (!p) return false;
        object_weight *w = static_cast<object_weight *>(mem_alloc(size_t(n ? n : 1) * sizeof(object_weight)));
        if (!w) {
            mem_free(p);
            return false;
        }
        for (uint32_t i = 0; i < n; i++) {
            uint32_t rec[3];
            memcpy(rec, p + size_t(i) * 12, 12);
            w[i].vertex = rec[1];
            w[i].bone = rec[0];
            memcpy(&w[i].weight, &rec[2], 4);
        }
        mem_free(p);
        object_insert_weights(o, w, n);
        return true;
    }
    if (__is6(h, CHUNK_ID_BONES)) {
        if (h.size < 5) return false;
        uint32_t n;
        if (!__read_count(b, &n)) return false;
        uint32_t left = h.size - 4;
        // Every name takes at least its terminating zero.
        if (n > left) return false;
        uint8_t *p = __payload(b, left);
        if (!p) return false;
        object_bone_name *bones = static_cast<object_bone_name *>(mem_calloc(n ? n : 1, sizeof(object_bone_name)));
        if (!bones) {
            mem_free(p);
            return false;
        }
        uint32_t at = 0;
        for (uint32_t i = 0; i < n; i++) {
            const void *z = memchr(p + at, 0, left - at);
            size_t len = z ? size_t(static_cast<const uint8_t *>(z) - (p + at)) : SIZE_MAX;
            if (!z || len > OBJECT_BONE_NAME_SIZE - 1) {
                mem_free(p);
                mem_free(bones);
                return false;
            }
            memcpy(bones[i].name, p + at, len + 1);
            at += uint32_t(len + 1);
        }
        mem_free(p);
        object_insert_bones(o, bones, n);
        return true;
    }
    __unsupported(b, h);
    if (!__skip(b.f, h.size)) return false;
    return true;
}

static object *__load_object(quox2_file *f, uint32_t size)
{
    object *o = object_init();
    if (!o) return nullptr;
    block b{f, f->pos, size, OBJ_READ, "LoadDuplicatedMesh()"};
    while (!b.done()) {
        chunk_header h;
        if (!__sub_header(b, &h) || !__object_chunk(b, o, h)) {
            object_deinit(o);
            return nullptr;
        }
    }
    if (!object_has_name(o)) {
        do_log(LOG_WARNING, WARN_BOX, "Object has no name in QUOX2 file \"%s\"!", log_quote(f->name).text);
        object_deinit(o);
        return nullptr;
    }
    if (!object_has_type(o)) object_set_type(o, OBJECT_TYPE_MESH);
    const char *why = nullptr;
    if (!object_validate(o, &why)) {
        do_log(LOG_WARNING, WARN_DBG, "LoadDuplicatedMesh(): object \"%s\": %s, QUOX2 file \"%s\"!\n",
               log_quote(o->name).text, why, log_quote(f->name).text);
        object_deinit(o);
        return nullptr;
    }
    return o;
}

// ---- instances ----

static const char *const OI_READ = "LoadObjectInstance(): _read(%s) FAILED: %s!\n";

static bool __oi_chunk(block &b, object_instance *oi, const chunk_header &h)
{
    char *text;
    if (__is6(h, CHUNK_ID_NAME)) {
        if (!(text = __name(b, h.size))) return false;
        OI_insert_name(oi, text);
    } else if (__is6(h, CHUNK_ID_USER_PROPERTIES)) {
        if (!(text = __name(b, h.size))) return false;
        mem_free(oi->user_properties);
        oi->user_properties = text;
        oi->flags |= OI_USER_PROPERTIES;
    } else if (__is6(h, CHUNK_ID_INSTANCE_NAME)) {
        if (!(text = __name(b, h.size))) return false;
        OI_insert_instance_name(oi, text);
    } else if (__is6(h, CHUNK_ID_PARENT_NAME)) {
        if (!(text = __name(b, h.size))) return false;
        OI_insert_parent_name(oi, text);
    } else if (__is6(h, CHUNK_ID_INSTANCE_MATERIAL)) {
        if (!(text = __name(b, h.size))) return false;
        OI_insert_material_name(oi, text);
    } else if (__is6(h, CHUNK_ID_PLACEMENT)) {
        float v[10];
        if (!__fixed(b, h, 40, v)) return false;
        tacka3 p{v[0], v[1], v[2]}, s{v[7], v[8], v[9]};
        quaternion r{v[3], v[4], v[5], v[6]};
        if (!__finite(v, 10) || !__usable_rotation(r)) {
            do_log(LOG_WARNING, WARN_DBG, "LoadObjectInstance(): unusable placement in QUOX2 file \"%s\"!\n",
                   log_quote(b.f->name).text);
            return false;
        }
        OI_set_initial_PRS_ws(oi, p, r, s);
        oi->pos = p;
        oi->rot = r;
        oi->scale = s;
        oi->world_valid = false;
    } else if (__is6(h, CHUNK_ID_TYPE)) {
        int32_t type;
        if (!__fixed(b, h, 4, &type)) return false;
        OI_set_type(oi, type);
    } else {
        __unsupported(b, h);
        return __skip(b.f, h.size);
    }
    return true;
}

static object_instance *__load_object_instance(quox2_file *f, uint32_t size)
{
    object_instance *oi = OI_init();
    if (!oi) return nullptr;
    block b{f, f->pos, size, OI_READ, "LoadObjectInstance()"};
    while (!b.done()) {
        chunk_header h;
        if (!__sub_header(b, &h) || !__oi_chunk(b, oi, h)) {
            OI_deinit(oi);
            return nullptr;
        }
    }
    if (!OI_has_name(oi)) {
        do_log(LOG_WARNING, WARN_BOX, "Object instance has no name in QUOX2 file \"%s\"!", log_quote(f->name).text);
        OI_deinit(oi);
        return nullptr;
    }
    return oi;
}

// ---- materials ----

static const char *const MAT_READ = "LoadMaterial(): _read(%s) FAILED: %s!\n";
static const char *const MAT_PAYLOAD_READ = "__load_material(): _read(%s) FAILED: %s!\n";

static const char *__file_part(const char *path)
{
    const char *p = path;
    for (const char *c = path; *c; c++)
        if (*c == '\\' || *c == '/' || *c == ':') p = c + 1;
    return p;
}

static material *__load_material(quox2_file *f, uint32_t size, int depth);

// Reads a nested chunk header inside the material block.
static bool __nested_header(block &b, chunk_header *h)
{
    if (b.left() < QUOX2_CHUNK_HEADER_SIZE) {
        do_log(LOG_WARNING, WARN_DBG, "LoadMaterial(): nested chunk missing in QUOX2 file \"%s\"!\n",
               log_quote(b.f->name).text);
        return false;
    }
    return __sub_header(b, h);
}

static bool __mdat(block &b, material *m, const chunk_header &h, int depth)
{
    uint8_t d[152];
    if (h.size != 152) {
        do_log(LOG_WARNING, WARN_DBG, "%s: chunk \"#MDAT\" has size %u instead of 152 in QUOX2 file \"%s\"!\n", b.who,
               h.size, log_quote(b.f->name).text);
        return false;
    }
    if (!__read(b.f, d, 152)) {
        do_log(LOG_WARNING, WARN_DBG, MAT_PAYLOAD_READ, log_quote(b.f->name).text, g_read_error);
        return false;
    }
    uint32_t kind, count;
    memcpy(&kind, d, 4);
    memcpy(&count, d + 4, 4);
    float c[4][3];
    memcpy(c, d + 8, 48);
    static const int order[4] = {1, 0, 2, 3}; // stored colours: file colours 2, 1, 3, 4
    for (int i = 0; i < 4; i++) m->colors[i] = tacka4{c[order[i]][0], c[order[i]][1], c[order[i]][2], 1.0f};
    memcpy(m->values, d + 56, 8);
    m->render_flag = d[64];
    if (d[64]) m->flags |= MAT_FLAG;
    for (int s = 0; s < MAT_SLOTS; s++) {
        int32_t uv;
        uint32_t p[2];
        memcpy(&uv, d + 68 + s * 12, 4);
        memcpy(p, d + 72 + s * 12, 8);
        material_set_slot_params(m, s, uv, p[0], p[1]);
    }
    switch (kind) {
    case 1: m->material_kind = MATERIAL_KIND_STANDARD; return true;
    case 2: {
        m->material_kind = MATERIAL_KIND_NESTED;
        if (depth >= QUOX2_MAX_MATERIAL_DEPTH) {
            do_log(LOG_WARNING, WARN_DBG, "LoadMaterial(): materials nested too deep in QUOX2 file \"%s\"!\n",
                   log_quote(b.f->name).text);
            return false;
        }
        for (int i = 0; i < 2; i++) {
            chunk_header nh;
            if (!__nested_header(b, &nh)) return false;
            if (!__is5(nh, CHUNK_ID_MATERIAL)) {
                if (i == 1) do_log(LOG_DEBUG, WARN_DBG, "/tLoadMaterial: CHUNK_ID_MATERIAL expected but not found.\n");
                if (!__skip(b.f, nh.size)) return false;
                continue;
            }
            do_log(LOG_DEBUG, WARN_DBG, "\tfound CHUNK_ID_MATERIAL.\n");
            material *sub = __load_material(b.f, nh.size, depth + 1);
            if (!sub) return false;
            if (i == 0)
                material_set_submat1(m, sub);
            else
                material_set_submat2(m, sub);
        }
        do_log(LOG_DEBUG, WARN_DBG, "\t\tLoadMaterial: loaded and inserted mat2.\n");
        return true;
    }
    case 3: {
        m->material_kind = MATERIAL_KIND_COMPOSITE;
        do_log(LOG_DEBUG, LOG_TO_FILE, "\tLoadMaterial: composite type..\n");
        for (uint32_t i = 0; i < count; i++) {
            chunk_header nh;
            if (!__nested_header(b, &nh)) return false;
            if (!material_reserve_submats(m, i + 1)) return false;
            if (!__is5(nh, CHUNK_ID_SUBMATERIAL_NAME)) {
                do_log(LOG_DEBUG, WARN_DBG, "/tLoadMaterial: CHUNK_ID_MATERIAL_SUBMAT_NAME expected but not found.\n");
                if (!__skip(b.f, nh.size)) return false;
                continue;
            }
            do_log(LOG_DEBUG, WARN_DBG, "\tfound CHUNK_ID_MATERIAL_SUBMAT_NAME.\n");
            char *name = __name(b, nh.size);
            if (!name) return false;
            mem_free(m->submat_names[i]);
            m->submat_names[i] = name;
        }
        return true;
    }
    case 4:
        m->material_kind = MATERIAL_KIND_STANDARD;
        if (b.left() < 152) {
            do_log(LOG_WARNING, WARN_DBG, "LoadMaterial(): material data missing in QUOX2 file \"%s\"!\n",
                   log_quote(b.f->name).text);
            return false;
        }
        return __skip(b.f, 152);
    default:
        do_log(LOG_WARNING, WARN_DBG, "LoadMaterial(): unknown material kind %u in QUOX2 file \"%s\"!\n", kind,
               log_quote(b.f->name).text);
        return false;
    }
}

static material *__load_material(quox2_file *f, uint32_t size, int depth)
{
    material *m = material_init();
    if (!m) return nullptr;
    block b{f, f->pos, size, MAT_READ, "LoadMaterial()"};
    while (!b.done()) {
        chunk_header h;
        bool ok = __sub_header(b, &h);
        if (ok) {
            if (__is6(h, CHUNK_ID_MATERIAL_NAME)) {
                char *name = __name(b, h.size);
                ok = name != nullptr;
                if (ok) material_insert_name(m, name);
            } else if (__is6(h, CHUNK_ID_MATERIAL_DATA)) {
                ok = __mdat(b, m, h, depth);
            } else {
                int slot = -1;
                for (const auto &t : QUOX2_TEXTURE_CHUNKS)
                    if (__is6(h, t.id)) slot = t.slot;
                if (slot >= 0) {
                    char *path = __name(b, h.size);
                    ok = path && material_copy_texture_file_name(m, slot, __file_part(path));
                    mem_free(path);
                } else {
                    ok = __skip(f, h.size);
                }
            }
        }
        if (!ok) {
            material_deinit(m);
            return nullptr;
        }
    }
    return m;
}

// ---- motions and motion sets ----

static const char *const MOT_READ = "__load_motion(): _read(%s) FAILED: %s!\n";

static bool __keys(block &b, motion *m, const chunk_header &h)
{
    if (h.size < 9) return false;
    uint32_t head[2];
    if (!__read(b.f, head, 8)) {
        do_log(LOG_WARNING, WARN_DBG, MOT_READ, log_quote(b.f->name).text, g_read_error);
        return false;
    }
    uint32_t kind = head[0], count = head[1];
    uint32_t key_size;
    if (__is6(h, CHUNK_ID_POSITION_KEYS))
        key_size = kind == 1 ? 16 : (kind == 3 ? 40 : 0);
    else if (__is6(h, CHUNK_ID_ROTATION_KEYS))
        key_size = kind == 2 ? 40 : 0;
    else
        key_size = kind == 3 ? 40 : 0;
    if (key_size == 0 || count == 0) return false;
    // The keys must fill the chunk (a count larger than the payload is refused).
    if (uint64_t(h.size) != 8 + uint64_t(count) * key_size) {
        do_log(LOG_WARNING, WARN_DBG,
               "__load_motion(): key chunk \"%s\" size does not match its %u keys in QUOX2 file \"%s\"!\n", __id(h).s,
               count, log_quote(b.f->name).text);
        return false;
    }
    uint8_t *p = __payload(b, count * key_size);
    if (!p) return false;
    bool ok = true;
    for (uint32_t i = 0; i < count && ok; i++) {
        float k[10];
        memcpy(k, p + size_t(i) * key_size, key_size);
        if (!__finite(k, int(key_size / 4))) {
            ok = false;
            break;
        }
        if (__is6(h, CHUNK_ID_POSITION_KEYS)) {
            if (kind == 1)
                ok = motion_add_linear_position_keyframe(m, k[0], tacka3{k[1], k[2], k[3]});
            else
                ok = motion_add_bezier_position_keyframe(m, k[0], tacka3{k[1], k[2], k[3]}, tacka3{k[4], k[5], k[6]},
                                                         tacka3{k[7], k[8], k[9]});
        } else if (__is6(h, CHUNK_ID_ROTATION_KEYS)) {
            quaternion q{k[4], k[1], k[2], k[3]};
            ok = __usable_rotation(q) && motion_add_rotation_keyframe(m, k[0], q, k + 5);
        } else {
            ok = motion_add_scale_keyframe(m, k[0], tacka3{k[1], k[2], k[3]}, tacka3{k[4], k[5], k[6]},
                                           tacka3{k[7], k[8], k[9]});
        }
    }
    mem_free(p);
    if (!ok)
        do_log(LOG_WARNING, WARN_DBG,
               "__load_motion(): unusable key in chunk \"%s\" (repeated time, mixed kinds or not a number), QUOX2 file "
               "\"%s\"!\n",
               __id(h).s, log_quote(b.f->name).text);
    return ok;
}

static motion *__load_motion(quox2_file *f, uint32_t size)
{
    motion *m = motion_init();
    if (!m) return nullptr;
    block b{f, f->pos, size, MOT_READ, "__load_motion()"};
    while (!b.done()) {
        chunk_header h;
        bool ok = __sub_header(b, &h);
        if (ok) {
            if (__is6(h, CHUNK_ID_MOTION_NAME)) {
                char *name = __name(b, h.size);
                ok = name != nullptr;
                if (ok) {
                    mem_free(m->name);
                    m->name = name;
                    m->flags |= MOT_NAME;
                }
            } else if (__is6(h, CHUNK_ID_MOTION_PLACEMENT)) {
                float v[10];
                ok = __fixed(b, h, 40, v) && __finite(v, 10) && __usable_rotation(quaternion{v[3], v[4], v[5], v[6]});
                if (ok)
                    motion_set_initial_pose(m, tacka3{v[0], v[1], v[2]}, quaternion{v[3], v[4], v[5], v[6]},
                                            tacka3{v[7], v[8], v[9]});
            } else if (__is6(h, CHUNK_ID_POSITION_KEYS) || __is6(h, CHUNK_ID_ROTATION_KEYS) ||
                       __is6(h, CHUNK_ID_SCALE_KEYS)) {
                ok = __keys(b, m, h);
            } else {
                __unsupported(b, h);
                ok = __skip(f, h.size);
            }
        }
        if (!ok) {
            motion_deinit(m);
            return nullptr;
        }
    }
    return m;
}

static motionset *__load_motionset(quox2_file *f, uint32_t size, scene *sc)
{
    motionset *ms = motionset_init();
    if (!ms) return nullptr;
    block b{f, f->pos, size, "LoadMotionset(): _read(%s) FAILED: %s!\n", "LoadMotionset()"};
    while (!b.done()) {
        chunk_header h;
        bool ok = __sub_header(b, &h);
        if (ok) {
            if (__is6(h, CHUNK_ID_MOTIONSET_NAME)) {
                char *name = __name(b, h.size);
                ok = name != nullptr;
                if (ok) {
                    mem_free(ms->name);
                    ms->name = name;
                }
            } else if (__is6(h, CHUNK_ID_MOTIONSET_LENGTH)) {
                float len;
                ok = __fixed(b, h, 4, &len);
                if (ok) motionset_set_length(ms, len);
            } else if (__is6(h, CHUNK_ID_MOTION)) {
                motion *m = __load_motion(f, h.size);
                ok = m != nullptr;
                if (ok) {
                    motionset_add_motion(ms, m);
                    scene_add_motion(sc, m);
                }
            } else {
                __unsupported(b, h);
                ok = __skip(f, h.size);
            }
        }
        if (!ok) {
            // Motions already handed to the scene stay there, without their set.
            motionset_deinit(ms);
            return nullptr;
        }
    }
    return ms;
}

// ---- lights and cameras ----

static light *__load_light(quox2_file *f, uint32_t size)
{
    light *l = light_init();
    if (!l) return nullptr;
    block b{f, f->pos, size, "LoadLight(): _read(%s) FAILED: %s!\n", "LoadLight()"};
    while (!b.done()) {
        chunk_header h;
        bool ok = __sub_header(b, &h);
        if (ok) {
            if (__is6(h, CHUNK_ID_LIGHT_NAME)) {
                char *name = __name(b, h.size);
                ok = name != nullptr;
                if (ok) light_copy_name(l, name);
                mem_free(name);
            } else if (__is6(h, CHUNK_ID_LIGHT_DATA)) {
                uint8_t d[416];
                ok = __fixed(b, h, 416, d);
                if (ok) {
                    uint32_t kind;
                    float c[3], r1, r2, spot;
                    memcpy(&kind, d, 4);
                    memcpy(c, d + 4, 12);
                    memcpy(&r1, d + 16, 4);
                    memcpy(&r2, d + 20, 4);
                    l->color = tacka4{c[0], c[1], c[2], 1.0f};
                    l->range1 = r1;
                    l->range2 = l->range2_copy = r2;
                    switch (kind) {
                    case 1:
                        light_set_type(l, LIGHT_OMNI);
                        do_log(LOG_DEBUG, WARN_DBG, "\t omni light.\n");
                        break;
                    case 2:
                        light_set_type(l, LIGHT_DIRECTIONAL);
                        do_log(LOG_DEBUG, WARN_DBG, "\t directional light.\n");
                        break;
                    case 3:
                        light_set_type(l, LIGHT_TARGET_SPOT);
                        do_log(LOG_DEBUG, WARN_DBG, "\t spot light.\n");
                        break;
                    case 4:
                        light_set_type(l, LIGHT_FREE_SPOT);
                        do_log(LOG_DEBUG, WARN_DBG, "\t spot light.\n");
                        break;
                    default: break;
                    }
                    if (d[24]) {
                        char path[257];
                        memcpy(path, d + 25, 256);
                        path[256] = 0;
                        ok = light_set_bitmap_filename(l, __file_part(path));
                    }
                    if (ok && kind == 3) {
                        char target[132];
                        memcpy(target, d + 281, 131);
                        target[131] = 0;
                        ok = light_copy_target_name(l, target);
                        memcpy(&spot, d + 412, 4);
                        l->spot = spot;
                    }
                }
            } else {
                __unsupported(b, h);
                ok = __skip(f, h.size);
            }
        }
        if (!ok) {
            light_deinit(l);
            return nullptr;
        }
    }
    return l;
}

static camera *__load_camera(quox2_file *f, uint32_t size)
{
    camera *c = camera_init();
    if (!c) return nullptr;
    block b{f, f->pos, size, "LoadCamera(): _read(%s) FAILED: %s!\n", "LoadCamera()"};
    while (!b.done()) {
        chunk_header h;
        bool ok = __sub_header(b, &h);
        if (ok) {
            if (__is6(h, CHUNK_ID_CAMERA_NAME) || __is6(h, CHUNK_ID_CAMERA_TARGET)) {
                char *name = __name(b, h.size);
                ok = name != nullptr;
                if (ok && __is6(h, CHUNK_ID_CAMERA_NAME)) {
                    if (camera_has_name(c)) camera_free_name(c);
                    ok = camera_copy_name(c, name);
                } else if (ok) {
                    if (camera_has_target_name(c)) camera_free_target_name(c);
                    ok = camera_copy_target_name(c, name);
                }
                mem_free(name);
            } else if (__is6(h, CHUNK_ID_CAMERA_DATA)) {
                uint8_t d[176];
                if (h.size != 176) {
                    ok = false;
                } else if (!__read(f, d, 176)) {
                    do_log(LOG_WARNING, WARN_DBG, "%s: _read(%s) FAILED: %s!\n", "__load_camera",
                           log_quote(f->name).text, g_read_error);
                    ok = false;
                } else {
                    uint32_t kind;
                    float fov, zn, zf;
                    memcpy(&kind, d, 4);
                    memcpy(&fov, d + 4, 4);
                    memcpy(&zn, d + 168, 4);
                    memcpy(&zf, d + 172, 4);
                    if (kind == 1) {
                        camera_set_type(c, CAMERA_FREE);
                        do_log(LOG_DEBUG, WARN_DBG, "\t free camera.\n");
                    } else if (kind == 2) {
                        camera_set_type(c, CAMERA_TARGET);
                        do_log(LOG_DEBUG, WARN_DBG, "\t target camera.\n");
                    } else {
                        do_log(LOG_WARNING, WARN_DBG, "LoadCamera(): unknown camera kind %u in QUOX2 file \"%s\"!\n",
                               kind, log_quote(f->name).text);
                        ok = false;
                    }
                    camera_set_fov(c, fov);
                    if (ok && d[164]) {
                        float zn2 = (zn >= CAMERA_MIN_NEAR) ? zn : CAMERA_MIN_NEAR;
                        if (!std::isfinite(zf) || !(zn2 < zf)) {
                            do_log(LOG_WARNING, WARN_DBG,
                                   "LoadCamera(): clipping planes %g, %g unusable in QUOX2 file \"%s\"!\n", double(zn),
                                   double(zf), log_quote(f->name).text);
                            ok = false;
                        } else {
                            camera_set_manual_clipping_planes(c, zn, zf);
                        }
                    }
                }
            } else {
                __unsupported(b, h);
                ok = __skip(f, h.size);
            }
        }
        if (!ok) {
            camera_deinit(c);
            return nullptr;
        }
    }
    return c;
}

// ---- terrain ----

static terrain *__terrain_load(quox2_file *f)
{
    terrain *t = terrain_create();
    if (!t) {
        do_log(LOG_WARNING, LOG_TO_ALL, "terrain_load(): out of memory");
        return nullptr;
    }
    // The chunk's own size is not used: the terrain runs to the end of the file.
    while (!__at_end(f)) {
        chunk_header h;
        if (!__read(f, &h, sizeof h)) {
            do_log(LOG_WARNING, WARN_BOX, "terrain_load(): _read(%s) FAILED: %s!", log_quote(f->name).text,
                   g_read_error);
            do_log(LOG_WARNING, LOG_TO_ALL, "Load terrain failed");
            terrain_free(t);
            return nullptr;
        }
        if (h.size > __left(f)) {
            do_log(LOG_WARNING, WARN_DBG, "terrain_load(): _read(%s) FAILED: %s!\n", log_quote(f->name).text,
                   "unexpected end of file");
            terrain_free(t);
            return nullptr;
        }
        bool known = __is6(h, CHUNK_ID_TERRAIN_DESC) || __is6(h, CHUNK_ID_TERRAIN_VBUF) ||
                     __is6(h, CHUNK_ID_TERRAIN_IBUF) || __is6(h, CHUNK_ID_TERRAIN_NBUF) ||
                     __is6(h, CHUNK_ID_TERRAIN_LBUF);
        if (!known) {
            do_log(LOG_WARNING, WARN_BOX, "Unsupported chunk \"%s\" in QUOX2 file \"%s\"!", __id(h).s,
                   log_quote(f->name).text);
            if (!__skip(f, h.size)) {
                terrain_free(t);
                return nullptr;
            }
            continue;
        }
        uint8_t *p = static_cast<uint8_t *>(mem_alloc(size_t(h.size) + 1));
        if (!p) {
            do_log(LOG_WARNING, LOG_TO_ALL, "terrain_load(): out of memory");
            terrain_free(t);
            return nullptr;
        }
        if (!__read(f, p, h.size)) {
            do_log(LOG_WARNING, WARN_DBG, "terrain_load(): _read(%s) FAILED: %s!\n", log_quote(f->name).text,
                   g_read_error);
            mem_free(p);
            terrain_free(t);
            return nullptr;
        }
        bool ok = terrain_add_chunk(t, h.id, p, h.size);
        mem_free(p);
        if (!ok) {
            do_log(LOG_WARNING, WARN_DBG, "terrain_load(): \"%s\" in \"%s\" refused: %s", __id(h).s, f->name,
                   t->error ? t->error : "malformed");
            terrain_free(t);
            return nullptr;
        }
    }
    return t;
}

// ---- top level ----

static bool __keep_type(int32_t type)
{
    if (type == OBJECT_TYPE_TERRAIN_QUAD) return !terrain_uses_fixed_function();
    if (type == OBJECT_TYPE_TERRAIN_FIXED) return terrain_uses_fixed_function();
    return true;
}

bool quox2_load_all_to_scene(quox2_file *f, scene *sc)
{
    if (__at_end(f)) return true;
    terrain *terr = nullptr;
    for (;;) {
        scene_report_progress(sc, f->length ? float(double(f->pos) / double(f->length)) : 0.0f);
        chunk_header h;
        if (!__read(f, &h, sizeof h)) {
            do_log(LOG_WARNING, WARN_BOX, "quox2_load_all_to_scene(): _read(%s) FAILED: %s!", log_quote(f->name).text,
                   g_read_error);
            terrain_free(terr);
            return false;
        }
        bool vter = __is5(h, CHUNK_ID_TERRAIN);
        if (!vter && h.size > __left(f)) {
            do_log(LOG_WARNING, WARN_BOX, "quox2_load_all_to_scene(): _read(%s) FAILED: %s!", log_quote(f->name).text,
                   "chunk runs past the end of the file");
            terrain_free(terr);
            return false;
        }
        bool known = __is5(h, CHUNK_ID_OBJECT) || __is5(h, CHUNK_ID_INSTANCE) || __is5(h, CHUNK_ID_MOTIONSET) ||
                     __is5(h, CHUNK_ID_MOTION) || __is5(h, CHUNK_ID_MATERIAL) || __is5(h, CHUNK_ID_CAMERA) ||
                     __is5(h, CHUNK_ID_LIGHT) || vter;
        if (!known) {
            if (!__skip(f, h.size)) {
                terrain_free(terr);
                return false;
            }
        } else {
            bool ok = true;
            if (__is5(h, CHUNK_ID_OBJECT)) {
                object *o = __load_object(f, h.size);
                ok = o != nullptr;
                if (ok && __keep_type(o->type))
                    scene_add_object(sc, o);
                else if (ok)
                    object_deinit(o);
            } else if (__is5(h, CHUNK_ID_INSTANCE)) {
                object_instance *oi = __load_object_instance(f, h.size);
                ok = oi != nullptr;
                if (ok && __keep_type(oi->type))
                    scene_add_oi(sc, oi);
                else if (ok)
                    OI_deinit(oi);
            } else if (__is5(h, CHUNK_ID_MOTIONSET)) {
                motionset *ms = __load_motionset(f, h.size, sc);
                ok = ms != nullptr;
                if (ok) scene_add_motionset(sc, ms);
            } else if (__is5(h, CHUNK_ID_MOTION)) {
                motion *m = __load_motion(f, h.size);
                ok = m != nullptr;
                if (ok && !motion_has_name(m)) {
                    do_log(LOG_WARNING, WARN_DBG, "__load_motion(): motion without a name in QUOX2 file \"%s\"!\n",
                           log_quote(f->name).text);
                    motion_deinit(m);
                    ok = false;
                }
                if (ok) scene_add_motion(sc, m);
            } else if (__is5(h, CHUNK_ID_MATERIAL)) {
                material *m = __load_material(f, h.size, 0);
                ok = m != nullptr;
                if (ok) {
                    material_set_id(m, g_material_id++);
                    scene_add_material(sc, m);
                }
            } else if (__is5(h, CHUNK_ID_CAMERA)) {
                camera *c = __load_camera(f, h.size);
                ok = c != nullptr;
                if (ok) scene_add_camera(sc, c);
            } else if (__is5(h, CHUNK_ID_LIGHT)) {
                light *l = __load_light(f, h.size);
                ok = l != nullptr;
                if (ok && !scene_add_light(sc, l)) {
                    // The table holds 100 lights; later ones are not kept.
                    do_log(LOG_WARNING, WARN_DBG,
                           "LoadLight(): more than %d lights in QUOX2 file \"%s\", light dropped!\n", SCENE_MAX_LIGHTS,
                           log_quote(f->name).text);
                    light_deinit(l);
                }
            } else {
                f->had_terrain = true;
                terr = __terrain_load(f);
                ok = terr != nullptr;
            }
            if (!ok) return false;
        }
        if (__at_end(f)) break;
    }
    scene_report_progress(sc, 1.0f);
    if (!terr) return true;
    if (!terrain_initialize_system(terr, sc)) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "terrain in \"%s\" not built: %s", f->name,
               terr->error ? terr->error : "unknown reason");
        do_log(LOG_CRITICAL, LOG_TO_DEBUGGER, "terrain_initialize_system error");
        terrain_free(terr);
        return true;
    }
    scene_set_terrain(sc, terr);
    return true;
}

bool quox2_load_file(const char *file_name, scene *sc)
{
    quox2_file *f = quox2_open_file(file_name);
    if (!f) {
        do_log(LOG_WARNING, LOG_TO_ALL, "Open file %s failed", log_quote(file_name).text);
        return false;
    }
    bool ok = quox2_load_all_to_scene(f, sc);
    if (!ok) do_log(LOG_WARNING, LOG_TO_ALL, "Load scene %s failed", log_quote(file_name).text);
    quox2_close_file(f);
    return ok;
}
