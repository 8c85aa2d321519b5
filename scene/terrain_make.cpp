// Building the five terrain payloads from a height field.

#include <cmath>
#include <cstring>
#include <vector>

#include "corelib/mem.h"
#include "scene/terrain.h"

namespace {
struct bytes {
    std::vector<uint8_t> b;
    void u32(uint32_t v) { put(&v, 4); }
    void f32(float v) { put(&v, 4); }
    void u16(uint16_t v) { put(&v, 2); }
    void u8(uint8_t v) { b.push_back(v); }
    void put(const void *p, size_t n)
    {
        const uint8_t *c = static_cast<const uint8_t *>(p);
        b.insert(b.end(), c, c + n);
    }
};
struct maker {
    const float *h;
    uint32_t cells, patch;
    float cell_size;
    tacka3 origin;
    std::vector<uint8_t> recs;
    uint32_t count = 0;
};
} // namespace

// Writes node (x0, z0, lod) and its subtree depth first; returns its index.
static uint32_t __node(maker &m, bytes &out, uint32_t x0, uint32_t z0, uint32_t lod, uint32_t parent, uint8_t quadrant)
{
    uint32_t self = m.count++;
    uint32_t size = m.patch << lod;
    size_t at = out.b.size();
    out.u32(x0), out.u32(z0), out.u32(size), out.u32(lod);
    out.u8(quadrant);
    out.u32(parent);
    out.u32(0); // layer record 0
    out.u8(lod == 0 ? 1 : 0);
    size_t children_at = out.b.size();
    if (lod > 0)
        for (int i = 0; i < 4; i++) out.u32(0);
    out.u8(0); // no neighbour pairs
    float hmin = INFINITY, hmax = -INFINITY;
    for (uint32_t j = z0; j <= z0 + size; j++)
        for (uint32_t i = x0; i <= x0 + size; i++) {
            float y = m.h[j * (m.cells + 1) + i];
            hmin = std::fmin(hmin, y), hmax = std::fmax(hmax, y);
        }
    out.f32(m.origin.x + x0 * m.cell_size), out.f32(hmin), out.f32(m.origin.z + z0 * m.cell_size);
    out.f32(m.origin.x + (x0 + size) * m.cell_size), out.f32(hmax), out.f32(m.origin.z + (z0 + size) * m.cell_size);
    (void)at;
    if (lod > 0) {
        uint32_t half = size / 2;
        for (uint32_t q = 0; q < 4; q++) {
            uint32_t c = __node(m, out, x0 + (q & 1) * half, z0 + (q >> 1) * half, lod - 1, self, uint8_t(q));
            memcpy(out.b.data() + children_at + q * 4, &c, 4);
        }
    }
    return self;
}

static bool __chunk(terrain *t, const char *id, const bytes &b)
{
    return terrain_add_chunk(t, id, b.b.data(), uint32_t(b.b.size()));
}

terrain *terrain_make(const float *heights, uint32_t cells, uint32_t patch, float cell_size, tacka3 origin,
                      const terrain_layer *layer)
{
    uint32_t levels = 0;
    while (levels < TERRAIN_MAX_LEVELS && (uint64_t(patch) << levels) < cells) levels++;
    levels++;
    if (patch < 2 || (patch & (patch - 1)) || (uint64_t(patch) << (levels - 1)) != cells) return nullptr;
    terrain *t = terrain_create();
    if (!t) return nullptr;
    maker m{heights, cells, patch, cell_size, origin, {}, 0};
    bytes nodes;
    nodes.u32(0);
    __node(m, nodes, 0, 0, levels - 1, TERRAIN_NO_NODE, 255);
    memcpy(nodes.b.data(), &m.count, 4);

    bytes desc;
    desc.u32(TERRAIN_MAGIC), desc.u32(cells), desc.u32(patch), desc.u32(levels);
    float hmin = INFINITY, hmax = -INFINITY;
    for (uint64_t i = 0; i < uint64_t(cells + 1) * (cells + 1); i++)
        hmin = std::fmin(hmin, heights[i]), hmax = std::fmax(hmax, heights[i]);
    desc.f32(cell_size), desc.f32(origin.x), desc.f32(origin.z), desc.f32(hmin), desc.f32(hmax);
    desc.u32(m.count), desc.u32(0), desc.u32(0);

    bytes vb;
    vb.u32((cells + 1) * (cells + 1));
    for (uint32_t j = 0; j <= cells; j++)
        for (uint32_t i = 0; i <= cells; i++) {
            vb.f32(origin.x + i * cell_size);
            vb.f32(heights[j * (cells + 1) + i]);
            vb.f32(origin.z + j * cell_size);
        }

    bytes ib;
    ib.u32(6 * patch * patch);
    for (uint32_t j = 0; j < patch; j++)
        for (uint32_t i = 0; i < patch; i++) {
            uint32_t a = j * (patch + 1) + i, b = a + 1, d = a + patch + 1, c = d + 1;
            ib.u32(a), ib.u32(d), ib.u32(c);
            ib.u32(a), ib.u32(c), ib.u32(b);
        }

    terrain_layer l = layer ? *layer : terrain_layer{0, 32.0f, 256.0f, {1, 1, 1, 1}, 1.0f};
    bytes lb;
    lb.u32(1);
    lb.u16(1), lb.u16(1), lb.u8(uint8_t(l.texture_set));
    lb.u32(l.texture_set);
    lb.f32(l.layer_tiling), lb.f32(l.detail_tiling);
    lb.f32(l.color.x), lb.f32(l.color.y), lb.f32(l.color.z), lb.f32(l.color.w), lb.f32(l.light_scale);

    if (!__chunk(t, "#DESC", desc) || !__chunk(t, "#VBUF", vb) || !__chunk(t, "#IBUF", ib) ||
        !__chunk(t, "#NBUF", nodes) || !__chunk(t, "#LBUF", lb)) {
        terrain_free(t);
        return nullptr;
    }
    return t;
}
