#include "scene/collision_bvh.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "corelib/log.h"
#include "corelib/mem.h"
#include "scene/collision_core.h"

// Deep enough for any tree __build makes (see BVH_SAH_DEPTH).
#define BVH_STACK 64

namespace {

struct face_ref {
    aabox box;
    float centroid[3];
    uint32_t face;
};

struct builder {
    collision_bvh *b;
    face_ref *refs;
};

} // namespace

// Puts out[0 .. count) (distinct items below universe) in increasing order:
// through a bit set when the items are few enough to map, else by sorting.
static void __in_order(uint32_t *out, uint32_t count, uint32_t universe)
{
    const uint32_t MAX_WORDS = 64;
    if (count < 2) return;
    if (universe > MAX_WORDS * 64) {
        std::sort(out, out + count);
        return;
    }
    uint64_t bits[MAX_WORDS];
    const uint32_t words = (universe + 63) / 64;
    std::memset(bits, 0, words * sizeof(uint64_t));
    for (uint32_t i = 0; i < count; i++) bits[out[i] >> 6] |= uint64_t(1) << (out[i] & 63);
    uint32_t n = 0;
    for (uint32_t w = 0; w < words; w++)
        for (uint64_t b = bits[w]; b; b &= b - 1) out[n++] = w * 64 + uint32_t(__builtin_ctzll(b));
    ASSERT(n == count);
}

static bool __corners(const collision_bvh *b, uint32_t f, tacka3 *a, tacka3 *c1, tacka3 *c2)
{
    size_t base = size_t(f) * 3;
    uint32_t i0, i1, i2;
    if (b->tris_32) {
        i0 = b->tris_32[base];
        i1 = b->tris_32[base + 1];
        i2 = b->tris_32[base + 2];
    } else {
        i0 = b->tris_16[base];
        i1 = b->tris_16[base + 1];
        i2 = b->tris_16[base + 2];
    }
    if (i0 >= b->vertex_count || i1 >= b->vertex_count || i2 >= b->vertex_count) return false;
    *a = b->vertices[i0];
    *c1 = b->vertices[i1];
    *c2 = b->vertices[i2];
    return true;
}

// Widens the box min..max (a node's or an aabox's) to take in box.
static void __grow(float *min, float *max, const aabox *box)
{
    for (int k = 0; k < 3; k++) {
        min[k] = std::min(min[k], box->min[k]);
        max[k] = std::max(max[k], box->max[k]);
    }
}

// Bins of the surface-area split.
#define BVH_BINS 12
// Below this depth the surface-area split chooses; deeper, the median split
// takes over, which halves: every tree stays shallow enough for BVH_STACK.
#define BVH_SAH_DEPTH 24

static float __half_area(const aabox *b)
{
    float dx = b->max[0] - b->min[0], dy = b->max[1] - b->min[1], dz = b->max[2] - b->min[2];
    return dx * dy + dy * dz + dz * dx;
}

static const aabox EMPTY_BOX = {{INFINITY, INFINITY, INFINITY}, {-INFINITY, -INFINITY, -INFINITY}};

// The bin of centroid c along an axis starting at lo, scale bins per unit.
static int __bin_of(float c, float lo, float scale)
{
    float x = (c - lo) * scale;
    if (!(x > 0.0f)) return 0;
    if (x >= float(BVH_BINS - 1)) return BVH_BINS - 1;
    return int(x);
}

// The surface-area split of refs[first .. first + count): the number of
// references it puts on the left (moved there), or 0 when no split into two
// non-empty sides is found (every centroid in one bin, or sizes that do not
// fit in a float).
static uint32_t __sah_split(builder *bd, uint32_t first, uint32_t count, const float *cmin, const float *cmax)
{
    float best_cost = INFINITY;
    int best_axis = -1, best_bin = 0;
    for (int k = 0; k < 3; k++) {
        float extent = cmax[k] - cmin[k];
        float scale = float(BVH_BINS) / extent;
        if (!(extent > 0.0f) || !is_finite(scale)) continue;
        aabox boxes[BVH_BINS];
        uint32_t counts[BVH_BINS] = {};
        for (aabox &b : boxes) b = EMPTY_BOX;
        for (uint32_t i = first; i < first + count; i++) {
            int bin = __bin_of(bd->refs[i].centroid[k], cmin[k], scale);
            counts[bin]++;
            __grow(boxes[bin].min, boxes[bin].max, &bd->refs[i].box);
        }
        // Cost of the right side of each split, then sweep from the left.
        float right_cost[BVH_BINS];
        aabox acc = EMPTY_BOX;
        uint32_t n = 0;
        for (int bin = BVH_BINS - 1; bin > 0; bin--) {
            __grow(acc.min, acc.max, &boxes[bin]);
            n += counts[bin];
            right_cost[bin] = n ? __half_area(&acc) * float(n) : INFINITY;
        }
        acc = EMPTY_BOX;
        n = 0;
        for (int bin = 0; bin < BVH_BINS - 1; bin++) {
            __grow(acc.min, acc.max, &boxes[bin]);
            n += counts[bin];
            if (n == 0 || n == count) continue;
            float cost = __half_area(&acc) * float(n) + right_cost[bin + 1];
            if (cost < best_cost) {
                best_cost = cost;
                best_axis = k;
                best_bin = bin;
            }
        }
    }
    if (best_axis < 0) return 0;
    const int axis = best_axis;
    const float lo = cmin[axis], scale = float(BVH_BINS) / (cmax[axis] - cmin[axis]);
    face_ref *mid = std::partition(bd->refs + first, bd->refs + first + count, [&](const face_ref &r) {
        return __bin_of(r.centroid[axis], lo, scale) <= best_bin;
    });
    return uint32_t(mid - (bd->refs + first));
}

// Fills node index ni with refs[first .. first + count): splitting where the
// children's surface areas weighted by their triangles are least, else at the
// median centroid along the axis where the centroids spread most.
static void __build(builder *bd, uint32_t ni, uint32_t first, uint32_t count, int depth)
{
    collision_bvh_node *n = &bd->b->nodes[ni];
    for (int k = 0; k < 3; k++) {
        n->min[k] = INFINITY;
        n->max[k] = -INFINITY;
    }
    float cmin[3] = {INFINITY, INFINITY, INFINITY}, cmax[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (uint32_t i = first; i < first + count; i++) {
        __grow(n->min, n->max, &bd->refs[i].box);
        for (int k = 0; k < 3; k++) {
            cmin[k] = std::min(cmin[k], bd->refs[i].centroid[k]);
            cmax[k] = std::max(cmax[k], bd->refs[i].centroid[k]);
        }
    }
    if (count <= COLLISION_BVH_LEAF_SIZE) {
        n->first = first;
        n->count = count;
        for (uint32_t i = first; i < first + count; i++) bd->b->faces[i] = bd->refs[i].face;
        return;
    }
    uint32_t left_count = depth < BVH_SAH_DEPTH ? __sah_split(bd, first, count, cmin, cmax) : 0;
    if (left_count == 0) {
        int axis = 0;
        for (int k = 1; k < 3; k++)
            if (cmax[k] - cmin[k] > cmax[axis] - cmin[axis]) axis = k;
        left_count = count / 2;
        std::nth_element(bd->refs + first, bd->refs + first + left_count, bd->refs + first + count,
                         [axis](const face_ref &x, const face_ref &y) {
                             return x.centroid[axis] < y.centroid[axis] ||
                                    (x.centroid[axis] == y.centroid[axis] && x.face < y.face);
                         });
    }
    uint32_t left = bd->b->node_count;
    bd->b->node_count += 2;
    n->first = left;
    n->count = 0;
    __build(bd, left, first, left_count, depth + 1);
    __build(bd, left + 1, first + left_count, count - left_count, depth + 1);
}

// Room for n items in b and n references; false (b freed) when memory runs out.
static bool __alloc(collision_bvh *b, size_t n, face_ref **refs)
{
    size_t bytes;
    *refs = nullptr;
    if (n == 0) return true;
    if (!mem_mul_size(n, sizeof(face_ref), &bytes) || !(*refs = static_cast<face_ref *>(mem_alloc(bytes))) ||
        !(b->faces = static_cast<uint32_t *>(mem_calloc(n, sizeof(uint32_t)))) ||
        !(b->loose = static_cast<uint32_t *>(mem_calloc(n, sizeof(uint32_t)))) ||
        !(b->nodes = static_cast<collision_bvh_node *>(mem_calloc(2 * n, sizeof(collision_bvh_node))))) {
        mem_free(*refs);
        collision_bvh_free(b);
        do_log(LOG_WARNING, LOG_TO_FILE, "collision_bvh: out of memory for %zu items", n);
        return false;
    }
    return true;
}

static void __finish(collision_bvh *b, face_ref *refs, uint32_t boxed)
{
    if (boxed > 0) {
        builder bd{b, refs};
        b->node_count = 1;
        __build(&bd, 0, 0, boxed, 0);
    }
    mem_free(refs);
}

static void __add_ref(face_ref *r, const aabox *box, uint32_t item)
{
    r->box = *box;
    for (int k = 0; k < 3; k++) r->centroid[k] = 0.5f * (box->min[k] + box->max[k]);
    r->face = item;
}

collision_bvh *collision_bvh_create(const collision_mesh *m)
{
    collision_bvh *b = mem_new_zeroed<collision_bvh>();
    if (!b) return nullptr;
    b->vertices = m->vertices;
    b->vertex_count = m->vertex_count;
    b->tris_32 = m->tris_32;
    b->tris_16 = m->tris_16;
    b->face_count = (m->tris_32 || m->tris_16) && m->vertices ? m->face_count : 0;

    face_ref *refs;
    if (!__alloc(b, b->face_count, &refs)) return nullptr;
    uint32_t boxed = 0;
    for (uint32_t f = 0; f < b->face_count; f++) {
        tacka3 a, c1, c2;
        if (!__corners(b, f, &a, &c1, &c2)) continue;
        if (!tacka3_is_finite(a) || !tacka3_is_finite(c1) || !tacka3_is_finite(c2)) {
            b->loose[b->loose_count++] = f;
            continue;
        }
        aabox box;
        aabox_of_triangle(&box, a, c1, c2);
        __add_ref(&refs[boxed++], &box, f);
    }
    __finish(b, refs, boxed);
    return b;
}

collision_bvh *collision_bvh_create_over_meshes(const collision_mesh *meshes, uint32_t count)
{
    collision_bvh *b = mem_new_zeroed<collision_bvh>();
    if (!b) return nullptr;
    b->meshes = meshes;
    b->face_count = count;
    face_ref *refs;
    if (!__alloc(b, count, &refs)) return nullptr;
    uint32_t boxed = 0;
    for (uint32_t i = 0; i < count; i++) {
        const aabox *box = &meshes[i].bound_box;
        bool finite = true;
        for (int k = 0; k < 3; k++) finite = finite && is_finite(box->min[k]) && is_finite(box->max[k]);
        if (!finite) {
            b->loose[b->loose_count++] = i;
            continue;
        }
        __add_ref(&refs[boxed++], box, i);
    }
    __finish(b, refs, boxed);
    return b;
}

bool collision_bvh_fits_meshes(const collision_bvh *b, const collision_mesh *meshes, uint32_t count)
{
    return b && b->meshes == meshes && b->face_count == count;
}

uint32_t collision_bvh_items_on_ray(const collision_bvh *b, tacka3 origin, tacka3 dir, uint32_t *out, uint32_t capacity)
{
    uint32_t count = 0;
    if (b->loose_count > capacity) return UINT32_MAX;
    for (uint32_t i = 0; i < b->loose_count; i++) out[count++] = b->loose[i];
    if (b->node_count > 0) {
        collision_slab_ray r;
        collision_slab_ray_init(&r, origin, dir);
        uint32_t stack[BVH_STACK];
        int sp = 0;
        stack[sp++] = 0;
        while (sp > 0) {
            const collision_bvh_node *n = &b->nodes[stack[--sp]];
            float t;
            if (!collision_slab_ray_enter(&r, n->min, n->max, &t)) continue;
            if (n->count > 0) {
                if (count + n->count > capacity) return UINT32_MAX;
                for (uint32_t i = 0; i < n->count; i++) out[count++] = b->faces[n->first + i];
                continue;
            }
            ASSERT(sp + 2 <= BVH_STACK);
            stack[sp++] = n->first + 1;
            stack[sp++] = n->first;
        }
    }
    __in_order(out, count, b->face_count);
    return count;
}

void collision_bvh_free(collision_bvh *b)
{
    if (!b) return;
    mem_free(b->nodes);
    mem_free(b->faces);
    mem_free(b->loose);
    mem_free(b);
}

bool collision_bvh_fits(const collision_bvh *b, const collision_mesh *m)
{
    return b && !b->meshes && b->vertices == m->vertices && b->vertex_count == m->vertex_count &&
           b->tris_32 == m->tris_32 && b->tris_16 == m->tris_16 && b->face_count == m->face_count;
}

static bool __node_overlaps(const collision_bvh_node *n, const aabox *box)
{
    for (int k = 0; k < 3; k++)
        if (n->max[k] < box->min[k] || n->min[k] > box->max[k]) return false;
    return true;
}

uint32_t collision_bvh_faces_in_box(const collision_bvh *b, const aabox *box, uint32_t *out, uint32_t capacity)
{
    uint32_t count = 0;
    if (b->loose_count > capacity) return UINT32_MAX;
    for (uint32_t i = 0; i < b->loose_count; i++) out[count++] = b->loose[i];
    if (b->node_count > 0) {
        uint32_t stack[BVH_STACK];
        int sp = 0;
        stack[sp++] = 0;
        while (sp > 0) {
            const collision_bvh_node *n = &b->nodes[stack[--sp]];
            if (!__node_overlaps(n, box)) continue;
            if (n->count > 0) {
                if (count + n->count > capacity) return UINT32_MAX;
                for (uint32_t i = 0; i < n->count; i++) out[count++] = b->faces[n->first + i];
                continue;
            }
            ASSERT(sp + 2 <= BVH_STACK);
            stack[sp++] = n->first + 1;
            stack[sp++] = n->first;
        }
    }
    __in_order(out, count, b->face_count);
    return count;
}

// One triangle, tested exactly as the brute-force loop tests it (after the
// generous box test, which turns most away for less). Both exact tests must
// pass; the triangle's own test goes first, as it turns away most of what the
// generous one lets through, and the box's is needed only for a new best.
static void __ray_face(const collision_bvh *b, const collision_slab_ray *r, uint32_t f, tacka3 origin, tacka3 dir,
                       float *best_t, uint32_t *best_f, uint64_t *tested)
{
    tacka3 a, c1, c2;
    if (!__corners(b, f, &a, &c1, &c2)) return;
    if (tested) (*tested)++;
    aabox tri_box;
    aabox_of_triangle(&tri_box, a, c1, c2);
    float t_enter;
    if (!collision_slab_ray_enter(r, tri_box.min, tri_box.max, &t_enter)) return;
    float t;
    if (!ray_triangle_intersect(&t, origin, dir, a, c1, c2)) return;
    if (!(t < *best_t || (t == *best_t && f < *best_f))) return;
    if (!is_intersecting(&tri_box, origin, dir)) return;
    *best_t = t;
    *best_f = f;
}

bool collision_bvh_ray(const collision_bvh *b, tacka3 origin, tacka3 dir, float *t, uint32_t *face, uint64_t *tested)
{
    float best_t = INFINITY;
    uint32_t best_f = UINT32_MAX;
    collision_slab_ray r;
    collision_slab_ray_init(&r, origin, dir);
    for (uint32_t i = 0; i < b->loose_count; i++) __ray_face(b, &r, b->loose[i], origin, dir, &best_t, &best_f, tested);
    if (b->node_count > 0) {
        struct entry {
            uint32_t node;
            float t;
        };
        entry stack[BVH_STACK];
        int sp = 0;
        float t0;
        if (collision_slab_ray_enter(&r, b->nodes[0].min, b->nodes[0].max, &t0)) stack[sp++] = entry{0, t0};
        while (sp > 0) {
            entry e = stack[--sp];
            // A node met later than the nearest hit so far holds no nearer one.
            // Generous by as much as the slab test, whose entry may round past
            // the exact hit of a triangle inside the box: a triangle at the
            // same distance with a lower index must still be found.
            if (e.t - best_t > 1e-5f * (std::fabs(e.t) + std::fabs(best_t))) continue;
            const collision_bvh_node *n = &b->nodes[e.node];
            if (n->count > 0) {
                for (uint32_t i = 0; i < n->count; i++)
                    __ray_face(b, &r, b->faces[n->first + i], origin, dir, &best_t, &best_f, tested);
                continue;
            }
            float ta, tb;
            bool ha = collision_slab_ray_enter(&r, b->nodes[n->first].min, b->nodes[n->first].max, &ta);
            bool hb = collision_slab_ray_enter(&r, b->nodes[n->first + 1].min, b->nodes[n->first + 1].max, &tb);
            ASSERT(sp + 2 <= BVH_STACK);
            // The nearer child on top.
            if (ha && hb) {
                if (ta <= tb) {
                    stack[sp++] = entry{n->first + 1, tb};
                    stack[sp++] = entry{n->first, ta};
                } else {
                    stack[sp++] = entry{n->first, ta};
                    stack[sp++] = entry{n->first + 1, tb};
                }
            } else if (ha) {
                stack[sp++] = entry{n->first, ta};
            } else if (hb) {
                stack[sp++] = entry{n->first + 1, tb};
            }
        }
    }
    if (best_f == UINT32_MAX) return false;
    *t = best_t;
    *face = best_f;
    return true;
}
