// Per-frame choice of the terrain patches and their indices.

#include <chrono>
#include <cmath>
#include <cstring>

#include "corelib/matrix.h"
#include "corelib/view.h"
#include "scene/terrain_parts.h"

enum : uint8_t { STATE_UNSEEN = 0, STATE_DRAWN = 1, STATE_SPLIT = 2, STATE_CULLED = 3 };

void terrain_set_horizon(terrain *t, float horizon)
{
    if (!(horizon >= 0.0f)) horizon = 0.0f;
    if (horizon > 1.0f) horizon = 1.0f;
    t->horizon = horizon;
    if (t->flags & TERRAIN_BUILT) terrain_compute_ranges(t);
}

float terrain_morph_factor(const terrain *t, uint32_t lod, float d)
{
    float s = t->morph_start[lod], e = t->morph_end[lod];
    float m = (d - s) / (e - s);
    return m < 0.0f ? 0.0f : m > 1.0f ? 1.0f : m;
}

tacka3 terrain_morphed_position(const terrain *t, uint32_t vi, tacka3 eye)
{
    tacka4 p = t->dpos[vi];
    uint32_t lod = uint32_t(t->dtex[vi].z);
    float dx = p.x - eye.x, dy = p.y - eye.y, dz = p.z - eye.z;
    float m = terrain_morph_factor(t, lod, std::sqrt(dx * dx + dy * dy + dz * dz));
    return {p.x, p.y + (p.w - p.y) * m, p.z};
}

float terrain_height_at(const terrain *t, float x, float z)
{
    if (!(t->flags & TERRAIN_BUILT)) return 0.0f;
    float fx = (x - t->origin.x) / t->cell_size, fz = (z - t->origin.z) / t->cell_size;
    float n = float(t->cells);
    fx = fx < 0 ? 0 : fx > n ? n : fx;
    fz = fz < 0 ? 0 : fz > n ? n : fz;
    uint32_t i = uint32_t(fx), j = uint32_t(fz);
    if (i >= t->cells) i = t->cells - 1;
    if (j >= t->cells) j = t->cells - 1;
    float u = fx - i, v = fz - j;
    uint32_t w = t->cells + 1;
    float h00 = t->vertexs[j * w + i].y, h10 = t->vertexs[j * w + i + 1].y;
    float h01 = t->vertexs[(j + 1) * w + i].y, h11 = t->vertexs[(j + 1) * w + i + 1].y;
    return (h00 * (1 - u) + h10 * u) * (1 - v) + (h01 * (1 - u) + h11 * u) * v;
}

namespace {
struct frame {
    terrain *t;
    tacka3 eye;
    float planes[6][4];
    bool cull;
};
} // namespace

// Planes (a, b, c, d), inside when a x + b y + c z + d >= 0, of M = view . projection.
static void __planes(const float *m, float planes[6][4])
{
    auto col = [m](int c, int r) { return m[r * 4 + c]; };
    for (int r = 0; r < 4; r++) {
        planes[0][r] = col(3, r) + col(0, r);
        planes[1][r] = col(3, r) - col(0, r);
        planes[2][r] = col(3, r) + col(1, r);
        planes[3][r] = col(3, r) - col(1, r);
        planes[4][r] = col(3, r) + col(2, r);
        planes[5][r] = col(3, r) - col(2, r);
    }
}

static bool __box_outside(const frame &f, const aabox &b)
{
    for (int i = 0; i < 6; i++) {
        const float *p = f.planes[i];
        // The box corner farthest along the plane normal.
        float x = p[0] >= 0 ? b.max[0] : b.min[0];
        float y = p[1] >= 0 ? b.max[1] : b.min[1];
        float z = p[2] >= 0 ? b.max[2] : b.min[2];
        if (p[0] * x + p[1] * y + p[2] * z + p[3] < 0) return true;
    }
    return false;
}

static float __box_distance(tacka3 e, const aabox &b)
{
    float dx = std::fmax(std::fmax(b.min[0] - e.x, 0.0f), e.x - b.max[0]);
    float dy = std::fmax(std::fmax(b.min[1] - e.y, 0.0f), e.y - b.max[1]);
    float dz = std::fmax(std::fmax(b.min[2] - e.z, 0.0f), e.z - b.max[2]);
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

static uint8_t *__state(terrain *t, const terrain_node *n)
{
    uint32_t side = t->lod_side[n->lod];
    return &t->lod_state[t->lod_first[n->lod] + (n->z0 / n->size) * side + n->x0 / n->size];
}

static void __walk(frame &f, uint32_t ni)
{
    terrain *t = f.t;
    const terrain_node *n = &t->node[ni];
    uint8_t *st = __state(t, n);
    float d = __box_distance(f.eye, n->box);
    if (d > t->visible_distance || (f.cull && __box_outside(f, n->box))) {
        *st = STATE_CULLED;
        t->sel.culled++;
        return;
    }
    if (n->lod == 0 || d > t->range[n->lod - 1]) {
        *st = STATE_DRAWN;
        t->sel.picks[t->sel.picksno++] = {ni, 0};
        return;
    }
    *st = STATE_SPLIT;
    for (uint32_t c : n->children) __walk(f, c);
}

// Whether the place next to node n on a side is drawn one level coarser.
static bool __coarser_beside(const terrain *t, const terrain_node *n, int dx, int dz)
{
    if (n->lod + 1 >= t->levels) return false;
    int64_t col = int64_t(n->x0 / n->size) + dx, row = int64_t(n->z0 / n->size) + dz;
    int64_t side = t->lod_side[n->lod];
    if (col < 0 || row < 0 || col >= side || row >= side) return false;
    uint32_t up = n->lod + 1;
    uint32_t at = t->lod_first[up] + uint32_t(row / 2) * t->lod_side[up] + uint32_t(col / 2);
    return t->lod_state[at] == STATE_DRAWN;
}

void terrain_select(terrain *t, const view *v)
{
    auto start = std::chrono::steady_clock::now();
    terrain_selection *s = &t->sel;
    s->picksno = s->indicesno = s->near_indicesno = s->culled = 0;
    if (!(t->flags & TERRAIN_BUILT)) return;
    memset(t->lod_state, 0, t->nodesno);
    frame f;
    f.t = t;
    f.eye = v->position;
    f.cull = true;
    float m[16];
    matrix_mul(m, v->view_matrix, v->projection_matrix);
    __planes(m, f.planes);
    t->visible_distance = v->z_far * (0.4f + 0.6f * t->horizon);
    __walk(f, 0);
    for (uint32_t k = 0; k < s->picksno; k++) {
        terrain_pick *p = &s->picks[k];
        const terrain_node *n = &t->node[p->node];
        uint32_t mask = 0;
        if (__coarser_beside(t, n, 0, -1)) mask |= TERRAIN_SIDE_NZ;
        if (__coarser_beside(t, n, 1, 0)) mask |= TERRAIN_SIDE_PX;
        if (__coarser_beside(t, n, 0, 1)) mask |= TERRAIN_SIDE_PZ;
        if (__coarser_beside(t, n, -1, 0)) mask |= TERRAIN_SIDE_NX;
        p->stitch = mask;
    }
    // Patches nearer than the finest range first (the renderer draws them with
    // its finest passes), the others after.
    uint32_t per = (t->patch + 1) * (t->patch + 1);
    for (int group = 0; group < 2; group++) {
        for (uint32_t k = 0; k < s->picksno; k++) {
            const terrain_pick *p = &s->picks[k];
            bool near = __box_distance(f.eye, t->node[p->node].box) < t->range[0];
            if (near != (group == 0)) continue;
            const uint32_t *src = t->stitch[p->stitch];
            uint32_t count = t->stitch_count[p->stitch], base = p->node * per;
            uint32_t *dst = s->indices + s->indicesno;
            for (uint32_t i = 0; i < count; i++) dst[i] = src[i] + base;
            s->indicesno += count;
        }
        if (group == 0) s->near_indicesno = s->indicesno;
    }
    s->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
