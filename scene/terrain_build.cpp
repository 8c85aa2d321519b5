// Building the drawable terrain from its checked payloads.

#include <cmath>
#include <cstring>

#include "corelib/log.h"
#include "corelib/mem.h"
#include "scene/scene.h"
#include "scene/terrain_parts.h"

namespace {
// Reads little-endian values; past the end it reads zeros and stays at the end.
struct reader {
    const uint8_t *p;
    const uint8_t *end;
    void skip(size_t n) { p += n < size_t(end - p) ? n : size_t(end - p); }
    uint32_t u32()
    {
        uint32_t v = 0;
        if (end - p >= 4) memcpy(&v, p, 4);
        skip(4);
        return v;
    }
    uint8_t u8() { return p < end ? *p++ : 0; }
    uint16_t u16()
    {
        uint16_t v = 0;
        if (end - p >= 2) memcpy(&v, p, 2);
        skip(2);
        return v;
    }
    float f32()
    {
        uint32_t u = u32();
        float f;
        memcpy(&f, &u, 4);
        return f;
    }
};
} // namespace

static bool __fail(terrain *t, const char *why)
{
    t->error = why;
    terrain_free_built(t);
    return false;
}

static float __desc_float(const terrain *t, int word)
{
    float f;
    memcpy(&f, &t->desc[word], 4);
    return f;
}

void terrain_free_built(terrain *t)
{
    mem_free(t->node);
    mem_free(t->lod_first);
    mem_free(t->lod_side);
    mem_free(t->lod_table);
    mem_free(t->lod_state);
    mem_free(t->dpos);
    mem_free(t->dnormal);
    mem_free(t->dcnormal);
    mem_free(t->dtex);
    for (uint32_t *&s : t->stitch) {
        mem_free(s);
        s = nullptr;
    }
    mem_free(t->sel.picks);
    mem_free(t->sel.indices);
    t->node = nullptr;
    t->lod_first = t->lod_side = t->lod_table = nullptr;
    t->lod_state = nullptr;
    t->dpos = nullptr;
    t->dnormal = t->dcnormal = nullptr;
    t->dtex = nullptr;
    t->sel = terrain_selection{};
    t->flags &= ~TERRAIN_BUILT;
}

static bool __is_pow2(uint32_t n) { return n && !(n & (n - 1)); }

static bool __check_desc(terrain *t)
{
    const uint32_t *d = t->desc;
    if (d[TERRAIN_DESC_MAGIC] != TERRAIN_MAGIC) return __fail(t, "description has no terrain magic");
    uint32_t patch = d[TERRAIN_DESC_PATCH], levels = d[TERRAIN_DESC_LEVELS], cells = d[TERRAIN_DESC_CELLS];
    if (!__is_pow2(patch) || patch < 2 || patch > TERRAIN_MAX_PATCH) return __fail(t, "patch size out of range");
    if (levels < 1 || levels > TERRAIN_MAX_LEVELS) return __fail(t, "level count out of range");
    if (uint64_t(cells) != uint64_t(patch) << (levels - 1))
        return __fail(t, "grid size does not match patch and levels");
    float cs = __desc_float(t, TERRAIN_DESC_CELL_SIZE);
    float ox = __desc_float(t, TERRAIN_DESC_ORIGIN_X), oz = __desc_float(t, TERRAIN_DESC_ORIGIN_Z);
    if (!(cs > 0.0f) || !std::isfinite(cs) || !std::isfinite(ox) || !std::isfinite(oz))
        return __fail(t, "cell size or origin is not usable");
    t->cells = cells;
    t->patch = patch;
    t->levels = levels;
    t->cell_size = cs;
    t->origin = {ox, 0.0f, oz};
    return true;
}

static bool __check_vertexs(terrain *t)
{
    uint64_t side = uint64_t(t->cells) + 1;
    if (t->vertexsno != side * side) return __fail(t, "vertex count does not match the grid");
    const float tolerance = t->cell_size * 1e-3f + 1e-3f;
    for (uint32_t j = 0; j < side; j++)
        for (uint32_t i = 0; i < side; i++) {
            tacka3 v = t->vertexs[j * side + i];
            if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z))
                return __fail(t, "vertex is not a finite number");
            if (std::fabs(v.x - (t->origin.x + i * t->cell_size)) > tolerance ||
                std::fabs(v.z - (t->origin.z + j * t->cell_size)) > tolerance)
                return __fail(t, "vertex off its grid position");
        }
    return true;
}

// Twice the signed area of a triangle of grid points, positive when it faces up.
static int64_t __area2(uint32_t p, uint32_t a, uint32_t b, uint32_t c)
{
    int64_t ax = a % (p + 1), az = a / (p + 1), bx = b % (p + 1), bz = b / (p + 1), cx = c % (p + 1), cz = c / (p + 1);
    int64_t e1x = bx - ax, e1z = bz - az, e2x = cx - ax, e2z = cz - az;
    return e1z * e2x - e1x * e2z;
}

static bool __check_template(terrain *t)
{
    uint32_t p = t->patch, n = (p + 1) * (p + 1);
    if (t->indicesno != 6 * p * p) return __fail(t, "index template does not hold two triangles per cell");
    int64_t area = 0;
    for (uint32_t i = 0; i < t->indicesno; i += 3) {
        const uint32_t *x = t->indices + i;
        if (x[0] >= n || x[1] >= n || x[2] >= n) return __fail(t, "index template points past its patch");
        int64_t a = __area2(p, x[0], x[1], x[2]);
        if (a <= 0) return __fail(t, "index template has a degenerate or downward triangle");
        area += a;
    }
    if (area != int64_t(2) * p * p) return __fail(t, "index template does not cover its patch once");
    return true;
}

// The 16 stitch variants: on each side marked in the mask the odd edge
// vertices are folded onto an even neighbour along the edge (the one that
// keeps every triangle facing up) and the triangles that collapse are dropped.
static bool __build_stitches(terrain *t)
{
    uint32_t p = t->patch;
    for (uint32_t mask = 0; mask < 16; mask++) {
        uint32_t *out = static_cast<uint32_t *>(mem_alloc(sizeof(uint32_t) * t->indicesno));
        if (!out) return __fail(t, "out of memory");
        t->stitch[mask] = out;
        // remap[v]: the vertex each local vertex is folded onto.
        uint32_t n = (p + 1) * (p + 1);
        uint32_t *remap = static_cast<uint32_t *>(mem_alloc(sizeof(uint32_t) * n));
        if (!remap) return __fail(t, "out of memory");
        for (uint32_t v = 0; v < n; v++) remap[v] = v;
        for (uint32_t side = 0; side < 4; side++) {
            if (!(mask & (1u << side))) continue;
            for (uint32_t k = 1; k < p; k += 2) {
                uint32_t i, j, di, dj;
                switch (side) {
                case 0: i = k, j = 0, di = 1, dj = 0; break;
                case 1: i = p, j = k, di = 0, dj = 1; break;
                case 2: i = k, j = p, di = 1, dj = 0; break;
                default: i = 0, j = k, di = 0, dj = 1; break;
                }
                uint32_t v = terrain_local_index(t, i, j);
                uint32_t lower = terrain_local_index(t, i - di, j - dj), upper = terrain_local_index(t, i + di, j + dj);
                // Try the lower neighbour, then the upper one.
                uint32_t choice = lower;
                for (int attempt = 0; attempt < 2; attempt++) {
                    choice = attempt == 0 ? lower : upper;
                    bool good = true;
                    for (uint32_t x = 0; x < t->indicesno && good; x += 3) {
                        uint32_t a = remap[t->indices[x]], b = remap[t->indices[x + 1]], c = remap[t->indices[x + 2]];
                        if (a != v && b != v && c != v) continue;
                        a = a == v ? choice : a;
                        b = b == v ? choice : b;
                        c = c == v ? choice : c;
                        if (a == b || b == c || a == c) continue;
                        if (__area2(p, a, b, c) <= 0) good = false;
                    }
                    if (good) break;
                }
                remap[v] = choice;
            }
        }
        uint32_t m = 0;
        for (uint32_t x = 0; x < t->indicesno; x += 3) {
            uint32_t a = remap[t->indices[x]], b = remap[t->indices[x + 1]], c = remap[t->indices[x + 2]];
            if (a == b || b == c || a == c) continue;
            out[m++] = a, out[m++] = b, out[m++] = c;
        }
        t->stitch_count[mask] = m;
        mem_free(remap);
    }
    return true;
}

static bool __read_nodes(terrain *t)
{
    uint32_t levels = t->levels;
    uint64_t want = 0;
    for (uint32_t l = 0; l < levels; l++) want += uint64_t(1) << (2 * l);
    if (t->nodesno != want || t->desc[TERRAIN_DESC_NODES] != want)
        return __fail(t, "node count does not match the levels");
    t->node = static_cast<terrain_node *>(mem_calloc(t->nodesno, sizeof(terrain_node)));
    t->lod_first = static_cast<uint32_t *>(mem_calloc(levels, sizeof(uint32_t)));
    t->lod_side = static_cast<uint32_t *>(mem_calloc(levels, sizeof(uint32_t)));
    t->lod_table = static_cast<uint32_t *>(mem_alloc(sizeof(uint32_t) * t->nodesno));
    t->lod_state = static_cast<uint8_t *>(mem_calloc(t->nodesno, 1));
    if (!t->node || !t->lod_first || !t->lod_side || !t->lod_table || !t->lod_state) return __fail(t, "out of memory");
    uint32_t first = 0;
    for (uint32_t l = 0; l < levels; l++) {
        t->lod_side[l] = 1u << (levels - 1 - l);
        t->lod_first[l] = first;
        first += t->lod_side[l] * t->lod_side[l];
    }
    memset(t->lod_table, 0xFF, sizeof(uint32_t) * t->nodesno);
    reader r{t->nodes, t->nodes + t->nodes_size};
    for (uint32_t i = 0; i < t->nodesno; i++) {
        terrain_node *n = &t->node[i];
        n->x0 = r.u32(), n->z0 = r.u32(), n->size = r.u32(), n->lod = r.u32();
        uint8_t quadrant = r.u8();
        n->parent = r.u32();
        n->layer = r.u32();
        uint8_t leaf = r.u8();
        for (uint32_t &c : n->children) c = leaf ? TERRAIN_NO_NODE : r.u32();
        uint8_t k = r.u8();    // the chunk check refused counts above 127
        r.skip(size_t(k) * 8); // neighbours: kept for tools, found again from the level tables
        r.skip(24);            // the stored corners; the bounds are measured from the heights below
        if (n->lod >= levels || uint64_t(n->size) != uint64_t(t->patch) << n->lod)
            return __fail(t, "node level or size out of range");
        if (n->x0 % n->size || n->z0 % n->size || n->x0 >= t->cells || n->z0 >= t->cells)
            return __fail(t, "node off the grid");
        if ((n->lod == 0) != (leaf != 0)) return __fail(t, "node children do not match its level");
        if ((i == 0) != (n->parent == TERRAIN_NO_NODE)) return __fail(t, "only the first node is the root");
        if (i == 0 && n->lod != levels - 1) return __fail(t, "root node is not on the top level");
        if (n->parent != TERRAIN_NO_NODE && (n->parent >= t->nodesno || quadrant > 3))
            return __fail(t, "node parent out of range");
        uint32_t col = n->x0 / n->size, row = n->z0 / n->size;
        uint32_t *slot = &t->lod_table[t->lod_first[n->lod] + row * t->lod_side[n->lod] + col];
        if (*slot != TERRAIN_NO_NODE) return __fail(t, "two nodes cover the same place");
        *slot = i;
    }
    // Links must agree with the places.
    for (uint32_t i = 0; i < t->nodesno; i++) {
        const terrain_node *n = &t->node[i];
        if (n->parent != TERRAIN_NO_NODE) {
            const terrain_node *pa = &t->node[n->parent];
            if (pa->lod != n->lod + 1 || n->x0 / pa->size != pa->x0 / pa->size || n->z0 / pa->size != pa->z0 / pa->size)
                return __fail(t, "node parent is not the node around it");
        }
        for (uint32_t q = 0; q < 4 && n->lod > 0; q++) {
            uint32_t c = n->children[q];
            if (c >= t->nodesno) return __fail(t, "node child out of range");
            const terrain_node *ch = &t->node[c];
            uint32_t half = n->size / 2;
            if (ch->parent != i || ch->x0 != n->x0 + (q & 1) * half || ch->z0 != n->z0 + (q >> 1) * half)
                return __fail(t, "node child is not in its quadrant");
        }
    }
    return true;
}

static bool __read_layer(terrain *t)
{
    t->layer = terrain_layer{0, 32.0f, 256.0f, {1, 1, 1, 1}, 1.0f};
    if (!(t->flags & TERRAIN_LBUF) || t->leavesno == 0) return true;
    reader r{t->leaves, t->leaves + t->leaves_size};
    uint32_t rows = r.u16(), cols = r.u16();
    r.u8();
    if (rows == 0 || cols == 0) return __fail(t, "layer record without cells");
    uint32_t set = r.u32();
    r.skip(size_t(rows) * cols * 4 - 4);
    float f[7];
    for (float &x : f) {
        x = r.f32();
        if (!std::isfinite(x)) return __fail(t, "layer value is not a finite number");
    }
    if (set > 3) return __fail(t, "layer texture set out of range");
    t->layer = terrain_layer{set, f[0], f[1], {f[2], f[3], f[4], f[5]}, f[6]};
    return true;
}

static float __h(const terrain *t, uint32_t i, uint32_t j) { return t->vertexs[j * (t->cells + 1) + i].y; }

static tacka3 __grid_normal(const terrain *t, uint32_t i, uint32_t j)
{
    uint32_t n = t->cells;
    float hl = __h(t, i > 0 ? i - 1 : i, j), hr = __h(t, i < n ? i + 1 : i, j);
    float hd = __h(t, i, j > 0 ? j - 1 : j), hu = __h(t, i, j < n ? j + 1 : j);
    float dx = (hr - hl) / (t->cell_size * float((i < n) + (i > 0)));
    float dz = (hu - hd) / (t->cell_size * float((j < n) + (j > 0)));
    tacka3 v = {-dx, 1.0f, -dz};
    float l = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / l, v.y / l, v.z / l};
}

static tacka3 __mix_normal(tacka3 a, tacka3 b)
{
    tacka3 v = {a.x + b.x, a.y + b.y, a.z + b.z};
    float l = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return l > 0 ? tacka3{v.x / l, v.y / l, v.z / l} : tacka3{0, 1, 0};
}

static bool __build_blocks(terrain *t)
{
    uint32_t p = t->patch, per = (p + 1) * (p + 1);
    uint64_t total = uint64_t(per) * t->nodesno;
    if (total > 0x7FFFFFFFu) return __fail(t, "terrain too large");
    t->dvertexsno = uint32_t(total);
    t->dpos = static_cast<tacka4 *>(mem_alloc(sizeof(tacka4) * total));
    t->dnormal = static_cast<tacka3 *>(mem_alloc(sizeof(tacka3) * total));
    t->dcnormal = static_cast<tacka3 *>(mem_alloc(sizeof(tacka3) * total));
    t->dtex = static_cast<tacka4 *>(mem_alloc(sizeof(tacka4) * total));
    if (!t->dpos || !t->dnormal || !t->dcnormal || !t->dtex) return __fail(t, "out of memory");
    for (float &d : t->max_diag) d = 0.0f;
    for (uint32_t ni = 0; ni < t->nodesno; ni++) {
        terrain_node *n = &t->node[ni];
        uint32_t s = n->size / p; // cells between two vertices
        bool top = n->lod + 1 == t->levels;
        float hmin = INFINITY, hmax = -INFINITY;
        for (uint32_t j = 0; j <= p; j++)
            for (uint32_t i = 0; i <= p; i++) {
                uint32_t gi = n->x0 + i * s, gj = n->z0 + j * s;
                float h = __h(t, gi, gj);
                tacka3 nf = __grid_normal(t, gi, gj);
                float hc = h;
                tacka3 nc = nf;
                bool oi = i & 1, oj = j & 1;
                if (!top && (oi || oj)) {
                    // The coarser level's surface here: along the edge, or on the cell diagonal.
                    uint32_t ai = oi ? gi - s : gi, aj = oj ? gj - s : gj;
                    uint32_t bi = oi ? gi + s : gi, bj = oj ? gj + s : gj;
                    hc = 0.5f * (__h(t, ai, aj) + __h(t, bi, bj));
                    nc = __mix_normal(__grid_normal(t, ai, aj), __grid_normal(t, bi, bj));
                }
                // The block's bounds cover every height the morph passes through.
                hmin = std::fmin(hmin, std::fmin(h, hc));
                hmax = std::fmax(hmax, std::fmax(h, hc));
                uint32_t v = ni * per + terrain_local_index(t, i, j);
                t->dpos[v] = {t->origin.x + gi * t->cell_size, h, t->origin.z + gj * t->cell_size, hc};
                t->dnormal[v] = nf;
                t->dcnormal[v] = nc;
                t->dtex[v] = {float(gi) / t->cells, float(gj) / t->cells, float(n->lod), 0.0f};
            }
        // Heights between the block's vertices never leave these bounds on the finest grid.
        for (uint32_t gj = n->z0; gj <= n->z0 + n->size; gj++)
            for (uint32_t gi = n->x0; gi <= n->x0 + n->size; gi++) {
                float h = __h(t, gi, gj);
                hmin = std::fmin(hmin, h);
                hmax = std::fmax(hmax, h);
            }
        float x0 = t->origin.x + n->x0 * t->cell_size, z0 = t->origin.z + n->z0 * t->cell_size;
        float side = n->size * t->cell_size;
        n->box = aabox{{x0, hmin, z0}, {x0 + side, hmax, z0 + side}};
        float dy = hmax - hmin;
        float diag = std::sqrt(2.0f * side * side + dy * dy);
        if (diag > t->max_diag[n->lod]) t->max_diag[n->lod] = diag;
    }
    return true;
}

void terrain_compute_ranges(terrain *t)
{
    // The finest range is the smallest that keeps neighbours within one level
    // of each other and leaves each level room to morph (see terrain.h).
    float r0 = 1.25f * t->max_diag[0];
    for (uint32_t k = 0; k + 1 < t->levels; k++) r0 = std::fmax(r0, 1.25f * t->max_diag[k + 1] / float(1u << k));
    r0 *= 1.0f + 0.5f * t->horizon;
    for (uint32_t k = 0; k < t->levels; k++) {
        t->range[k] = r0 * float(1u << k);
        t->morph_end[k] = t->range[k];
        t->morph_start[k] = k == 0 ? 0.6f * t->range[0] : t->range[k - 1] + t->max_diag[k];
    }
}

bool terrain_initialize_system(terrain *t, scene *sc)
{
    (void)sc;
    terrain_free_built(t);
    t->error = nullptr;
    uint32_t need = TERRAIN_DESC | TERRAIN_VBUF | TERRAIN_IBUF | TERRAIN_NBUF;
    if ((t->flags & need) != need) return __fail(t, "a terrain payload is missing");
    if (!__check_desc(t) || !__check_vertexs(t) || !__check_template(t) || !__read_nodes(t) || !__read_layer(t) ||
        !__build_stitches(t) || !__build_blocks(t))
        return false;
    uint64_t leaf_tris = uint64_t(t->cells) * t->cells * 2;
    t->sel.picks_max = t->nodesno;
    t->sel.picks = static_cast<terrain_pick *>(mem_alloc(sizeof(terrain_pick) * t->nodesno));
    t->sel.indices_max = uint32_t(leaf_tris * 3);
    t->sel.indices = static_cast<uint32_t *>(mem_alloc(sizeof(uint32_t) * leaf_tris * 3));
    if (!t->sel.picks || !t->sel.indices) return __fail(t, "out of memory");
    t->horizon = 0.75f;
    terrain_compute_ranges(t);
    t->flags |= TERRAIN_BUILT;
    return true;
}
