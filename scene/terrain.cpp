#include "scene/terrain.h"

#include <cmath>
#include <cstring>

#include "corelib/mem.h"
#include "scene/scene_renderer.h"
#include "scene/terrain_parts.h"

terrain *terrain_create() { return mem_new_zeroed<terrain>(); }

void terrain_free(terrain *t)
{
    if (!t) return;
    terrain_free_built(t);
    mem_free(t->vertexs);
    mem_free(t->indices);
    mem_free(t->nodes);
    mem_free(t->node_bounds);
    mem_free(t->leaves);
    mem_free(t);
}

namespace {
// A bounds-checked cursor over a payload.
struct cursor {
    const uint8_t *p;
    uint64_t left;
    bool take(uint64_t n, const uint8_t **at = nullptr)
    {
        if (n > left) return false;
        if (at) *at = p;
        p += n;
        left -= n;
        return true;
    }
    bool u32(uint32_t *v)
    {
        const uint8_t *at;
        if (!take(4, &at)) return false;
        memcpy(v, at, 4);
        return true;
    }
    bool u16(uint16_t *v)
    {
        const uint8_t *at;
        if (!take(2, &at)) return false;
        memcpy(v, at, 2);
        return true;
    }
    bool u8(uint8_t *v)
    {
        const uint8_t *at;
        if (!take(1, &at)) return false;
        *v = *at;
        return true;
    }
};
} // namespace

static bool __refuse(terrain *t, const char *why)
{
    t->error = why;
    return false;
}

static uint8_t *__copy(const uint8_t *p, uint64_t n)
{
    uint8_t *c = static_cast<uint8_t *>(mem_alloc(n ? n : 1));
    if (c && n) memcpy(c, p, n);
    return c;
}

static bool __nodes(terrain *t, const uint8_t *data, uint32_t size)
{
    cursor c{data, size};
    uint32_t n;
    if (!c.u32(&n)) return __refuse(t, "node payload without its count");
    if (n > TERRAIN_MAX_RECORDS) return __refuse(t, "node count out of range");
    const uint8_t *body = c.p;
    aabox *bounds = static_cast<aabox *>(mem_alloc(sizeof(aabox) * (n ? n : 1)));
    if (!bounds) return __refuse(t, "out of memory");
    for (uint32_t i = 0; i < n; i++) {
        uint8_t flag, k;
        bool ok = c.take(16 + 1 + 4 + 4) && c.u8(&flag) && (flag != 0 || c.take(16)) && c.u8(&k);
        if (ok && int8_t(k) < 0) {
            mem_free(bounds);
            return __refuse(t, "node with a negative neighbour count");
        }
        ok = ok && c.take(uint64_t(int8_t(k)) * 8);
        const uint8_t *corners;
        if (!ok || !c.take(24, &corners)) {
            mem_free(bounds);
            return __refuse(t, "node record runs past the payload");
        }
        float f[6];
        memcpy(f, corners, 24);
        for (float v : f)
            if (!std::isfinite(v)) {
                mem_free(bounds);
                return __refuse(t, "node corner is not a finite number");
            }
        for (int j = 0; j < 3; j++) {
            bounds[i].min[j] = f[j] < f[j + 3] ? f[j] : f[j + 3];
            bounds[i].max[j] = f[j] < f[j + 3] ? f[j + 3] : f[j];
        }
    }
    if (c.left != 0) {
        mem_free(bounds);
        return __refuse(t, "node payload longer than its records");
    }
    t->nodes = __copy(body, size - 4);
    if (!t->nodes) {
        mem_free(bounds);
        return __refuse(t, "out of memory");
    }
    t->nodes_size = size - 4;
    t->nodesno = n;
    t->node_bounds = bounds;
    t->flags |= TERRAIN_NBUF;
    return true;
}

static bool __leaves(terrain *t, const uint8_t *data, uint32_t size)
{
    cursor c{data, size};
    uint32_t n;
    if (!c.u32(&n)) return __refuse(t, "layer payload without its count");
    if (n > TERRAIN_MAX_RECORDS) return __refuse(t, "layer count out of range");
    const uint8_t *body = c.p;
    for (uint32_t i = 0; i < n; i++) {
        uint16_t r, cols;
        if (!c.u16(&r) || !c.u16(&cols) || !c.take(1)) return __refuse(t, "layer record runs past the payload");
        uint64_t cells = uint64_t(r) * cols;
        if (!c.take(cells * 4) || !c.take(cells * 28)) return __refuse(t, "layer record runs past the payload");
    }
    if (c.left != 0) return __refuse(t, "layer payload longer than its records");
    if (!(t->leaves = __copy(body, size - 4))) return __refuse(t, "out of memory");
    t->leaves_size = size - 4;
    t->leavesno = n;
    t->flags |= TERRAIN_LBUF;
    return true;
}

bool terrain_add_chunk(terrain *t, const char *id, const uint8_t *data, uint32_t size)
{
    uint32_t n = 0;
    if (size >= 4) memcpy(&n, data, 4);
    t->error = nullptr;
    if (!memcmp(id, "#DESC", 5)) {
        if (t->flags & TERRAIN_DESC) return __refuse(t, "description given twice");
        if (size != 48) return __refuse(t, "description is not 48 bytes");
        memcpy(t->desc, data, 48);
        t->flags |= TERRAIN_DESC;
        return true;
    }
    if (!memcmp(id, "#VBUF", 5)) {
        if (t->flags & TERRAIN_VBUF) return __refuse(t, "vertex payload given twice");
        if (size < 4 || uint64_t(size) != 4 + uint64_t(n) * 12)
            return __refuse(t, "vertex payload size does not match its count");
        if (!(t->vertexs = reinterpret_cast<tacka3 *>(__copy(data + 4, uint64_t(n) * 12))))
            return __refuse(t, "out of memory");
        t->vertexsno = n;
        t->flags |= TERRAIN_VBUF;
        return true;
    }
    if (!memcmp(id, "#IBUF", 5)) {
        if (t->flags & TERRAIN_IBUF) return __refuse(t, "index payload given twice");
        if (size < 4 || uint64_t(size) != 4 + uint64_t(n) * 4)
            return __refuse(t, "index payload size does not match its count");
        if (!(t->indices = reinterpret_cast<uint32_t *>(__copy(data + 4, uint64_t(n) * 4))))
            return __refuse(t, "out of memory");
        t->indicesno = n;
        t->flags |= TERRAIN_IBUF;
        return true;
    }
    if (!memcmp(id, "#NBUF", 5))
        return (t->flags & TERRAIN_NBUF) ? __refuse(t, "node payload given twice") : __nodes(t, data, size);
    if (!memcmp(id, "#LBUF", 5))
        return (t->flags & TERRAIN_LBUF) ? __refuse(t, "layer payload given twice") : __leaves(t, data, size);
    return __refuse(t, "unknown terrain payload");
}

bool terrain_uses_fixed_function() { return scene_renderer_get_options().terrain_uses_fixed_function; }
