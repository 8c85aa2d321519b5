#include "scene/motion.h"

#include <cmath>
#include <cstring>

#include "corelib/geometry.h"
#include "corelib/log.h"
#include "corelib/mem.h"

motion *motion_init()
{
    motion *m = mem_new_zeroed<motion>();
    if (!m) return nullptr;
    m->init_rot = quaternion_identity();
    m->init_scale = tacka3{1, 1, 1};
    m->rot.interpolation = MOTION_INTERP_TCB;
    m->scale.interpolation = MOTION_INTERP_BEZIER;
    return m;
}

static void __track_free(motion_track *t)
{
    mem_free(t->keys);
    mem_free(t->order);
}

void motion_deinit(motion *m)
{
    if (!m) return;
    __track_free(&m->pos);
    __track_free(&m->rot);
    __track_free(&m->scale);
    mem_free(m->name);
    mem_free(m);
}

bool motion_has_name(const motion *m) { return (m->flags & MOT_NAME) != 0; }
bool motion_copy_name(motion *m, const char *name)
{
    char *c = mem_strdup(name);
    if (!c) return false;
    mem_free(m->name);
    m->name = c;
    m->flags |= MOT_NAME;
    return true;
}
const char *motion_get_name(const motion *m)
{
    if (!motion_has_name(m)) BUG();
    return m->name;
}
void motion_set_initial_pose(motion *m, tacka3 position, quaternion rotation, tacka3 scale)
{
    m->init_pos = position;
    m->init_rot = rotation;
    m->init_scale = scale;
    m->flags |= MOT_INITIAL_POSE;
}
bool motion_has_initial_pose(const motion *m) { return (m->flags & MOT_INITIAL_POSE) != 0; }
void motion_get_initial_pose(const motion *m, tacka3 *position, quaternion *rotation, tacka3 *scale)
{
    *position = m->init_pos;
    *rotation = m->init_rot;
    *scale = m->init_scale;
}
motionset *motion_get_parent_motionset(const motion *m) { return m->parent; }
void motion_set_parent_motionset(motion *m, motionset *set)
{
    m->parent = set;
    if (set)
        m->flags |= MOT_MOTIONSET;
    else
        m->flags &= ~MOT_MOTIONSET;
}
float motion_get_length(const motion *m) { return m->rot.length; }

static float __key_time(const motion_track *t, size_t key_size, uint32_t i)
{
    float time;
    memcpy(&time, static_cast<const char *>(t->keys) + size_t(i) * key_size, sizeof(float));
    return time;
}

// Index in `order` of the first key with time > time (upper bound).
static uint32_t __upper_bound(const motion_track *t, size_t key_size, float time)
{
    uint32_t lo = 0, hi = t->keysno;
    while (lo < hi) {
        uint32_t mid = lo + (hi - lo) / 2;
        if (__key_time(t, key_size, t->order[mid]) <= time)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

static bool __track_add(motion_track *t, size_t key_size, const void *key, float time)
{
    if (!std::isfinite(time)) return false;
    uint32_t at = __upper_bound(t, key_size, time);
    if (at > 0 && __key_time(t, key_size, t->order[at - 1]) == time) return false;
    if (t->keysno == t->capacity) {
        uint32_t cap = t->capacity ? t->capacity * 2 : 8;
        if (cap < t->capacity) return false;
        void *k = mem_realloc(t->keys, size_t(cap) * key_size);
        if (!k) return false;
        t->keys = k;
        uint32_t *o = static_cast<uint32_t *>(mem_realloc(t->order, size_t(cap) * sizeof(uint32_t)));
        if (!o) return false;
        t->order = o;
        t->capacity = cap;
    }
    memcpy(static_cast<char *>(t->keys) + size_t(t->keysno) * key_size, key, key_size);
    memmove(t->order + at + 1, t->order + at, size_t(t->keysno - at) * sizeof(uint32_t));
    t->order[at] = t->keysno;
    t->keysno++;
    if (t->keysno == 1 || time > t->length) t->length = time;
    return true;
}

bool motion_add_linear_position_keyframe(motion *m, float time, tacka3 position)
{
    if (m->pos.keysno && m->pos.interpolation != MOTION_INTERP_LINEAR) return false;
    linear_position_keyframe k{time, position};
    if (!__track_add(&m->pos, sizeof k, &k, time)) return false;
    m->pos.interpolation = MOTION_INTERP_LINEAR;
    return true;
}
bool motion_add_bezier_position_keyframe(motion *m, float time, tacka3 position, tacka3 in_tangent, tacka3 out_tangent)
{
    if (m->pos.keysno && m->pos.interpolation != MOTION_INTERP_BEZIER) return false;
    bezier_position_keyframe k{time, position, in_tangent, out_tangent};
    if (!__track_add(&m->pos, sizeof k, &k, time)) return false;
    m->pos.interpolation = MOTION_INTERP_BEZIER;
    return true;
}
bool motion_add_rotation_keyframe(motion *m, float time, quaternion rotation, const float tcb[5])
{
    tcb_rotation_keyframe k{time, rotation, {0, 0, 0, 0, 0}};
    if (tcb) memcpy(k.tcb, tcb, sizeof k.tcb);
    return __track_add(&m->rot, sizeof k, &k, time);
}
bool motion_add_scale_keyframe(motion *m, float time, tacka3 scale, tacka3 in_tangent, tacka3 out_tangent)
{
    bezier_scale_keyframe k{time, scale, in_tangent, out_tangent};
    return __track_add(&m->scale, sizeof k, &k, time);
}

uint32_t motion_get_position_keys_no(const motion *m) { return m->pos.keysno; }
int32_t motion_get_position_interpolation(const motion *m) { return m->pos.interpolation; }
const linear_position_keyframe *motion_get_linear_position_key(const motion *m, uint32_t i)
{
    ASSERT(i < m->pos.keysno && m->pos.interpolation == MOTION_INTERP_LINEAR);
    return static_cast<const linear_position_keyframe *>(m->pos.keys) + i;
}
const bezier_position_keyframe *motion_get_bezier_position_key(const motion *m, uint32_t i)
{
    ASSERT(i < m->pos.keysno && m->pos.interpolation == MOTION_INTERP_BEZIER);
    return static_cast<const bezier_position_keyframe *>(m->pos.keys) + i;
}
uint32_t motion_get_rotation_keys_no(const motion *m) { return m->rot.keysno; }
const tcb_rotation_keyframe *motion_get_rotation_key(const motion *m, uint32_t i)
{
    ASSERT(i < m->rot.keysno);
    return static_cast<const tcb_rotation_keyframe *>(m->rot.keys) + i;
}
uint32_t motion_get_scale_keys_no(const motion *m) { return m->scale.keysno; }
const bezier_scale_keyframe *motion_get_scale_key(const motion *m, uint32_t i)
{
    ASSERT(i < m->scale.keysno);
    return static_cast<const bezier_scale_keyframe *>(m->scale.keys) + i;
}

// k0: the key with the largest time <= t; k1: the smallest time > t; both the
// first key before it and both the last key after it. Returns the parameter
// u in [0, 1] between them (0 when k0 == k1).
static float __find_keys(const motion_track *t, size_t key_size, float time, uint32_t *k0, uint32_t *k1)
{
    uint32_t at = __upper_bound(t, key_size, time);
    if (at == 0) {
        *k0 = *k1 = t->order[0];
        return 0.0f;
    }
    if (at == t->keysno) {
        *k0 = *k1 = t->order[t->keysno - 1];
        return 0.0f;
    }
    *k0 = t->order[at - 1];
    *k1 = t->order[at];
    float t0 = __key_time(t, key_size, *k0), t1 = __key_time(t, key_size, *k1);
    float u = (time - t0) / (t1 - t0);
    if (!(u >= 0.0f)) u = 0.0f;
    if (u > 1.0f) u = 1.0f;
    return u;
}

static tacka3 __bezier(tacka3 p0, tacka3 p1, tacka3 p2, tacka3 p3, float u, tacka3 *dir)
{
    float v = 1.0f - u;
    float b0 = v * v * v, b1 = 3 * u * v * v, b2 = 3 * u * u * v, b3 = u * u * u;
    if (dir) {
        float d0 = -3 * v * v, d1 = 3 * v * v - 6 * u * v, d2 = 6 * u * v - 3 * u * u, d3 = 3 * u * u;
        *dir = tacka3_add(tacka3_add(tacka3_scale(p0, d0), tacka3_scale(p1, d1)),
                          tacka3_add(tacka3_scale(p2, d2), tacka3_scale(p3, d3)));
    }
    return tacka3_add(tacka3_add(tacka3_scale(p0, b0), tacka3_scale(p1, b1)),
                      tacka3_add(tacka3_scale(p2, b2), tacka3_scale(p3, b3)));
}

// A Bezier segment between two keys whose records start with time, value,
// incoming tangent, outgoing tangent (positions and scales alike).
struct bezier_key_view {
    float time;
    tacka3 value, in_tangent, out_tangent;
};
static_assert(sizeof(bezier_key_view) == sizeof(bezier_position_keyframe), "key layouts agree");
static_assert(sizeof(bezier_key_view) == sizeof(bezier_scale_keyframe), "key layouts agree");

static tacka3 __sample_bezier(const motion_track *t, float time, tacka3 *dir)
{
    uint32_t i0, i1;
    float u = __find_keys(t, sizeof(bezier_key_view), time, &i0, &i1);
    const bezier_key_view *k = static_cast<const bezier_key_view *>(t->keys);
    const bezier_key_view &a = k[i0], &b = k[i1];
    if (i0 == i1) {
        if (dir) *dir = tacka3{0, 0, 0};
        return a.value;
    }
    float span = (b.time - a.time) * 1600.0f;
    tacka3 p1 = tacka3_add(a.value, tacka3_scale(a.out_tangent, span));
    tacka3 p2 = tacka3_add(b.value, tacka3_scale(b.in_tangent, span));
    return __bezier(a.value, p1, p2, b.value, u, dir);
}

void motion_get_position(const motion *m, tacka3 *out, float time)
{
    const motion_track *t = &m->pos;
    if (t->keysno == 0) {
        *out = tacka3{0, 0, 0};
        return;
    }
    if (t->interpolation == MOTION_INTERP_LINEAR) {
        uint32_t i0, i1;
        float u = __find_keys(t, sizeof(linear_position_keyframe), time, &i0, &i1);
        const linear_position_keyframe *k = static_cast<const linear_position_keyframe *>(t->keys);
        if (i0 == i1)
            *out = k[i0].position;
        else
            linear_interpolation(out, k[i0].position, k[i1].position, u);
        return;
    }
    *out = __sample_bezier(t, time < 0.0f ? 0.0f : time, nullptr);
}

void motion_get_position_and_direction_bezier(const motion *m, tacka3 *position, tacka3 *direction, float time)
{
    if (m->pos.keysno == 0 || m->pos.interpolation != MOTION_INTERP_BEZIER) {
        motion_get_position(m, position, time);
        *direction = tacka3{0, 0, 0};
        return;
    }
    *position = __sample_bezier(&m->pos, time < 0.0f ? 0.0f : time, direction);
}

void motion_get_scale(const motion *m, tacka3 *out, float time)
{
    if (m->scale.keysno == 0) {
        *out = tacka3{1, 1, 1};
        return;
    }
    *out = __sample_bezier(&m->scale, time < 0.0f ? 0.0f : time, nullptr);
}

void motion_get_rotation(const motion *m, quaternion *out, float time)
{
    const motion_track *t = &m->rot;
    if (t->keysno == 0) {
        *out = quaternion_identity();
        return;
    }
    uint32_t i0, i1;
    float u = __find_keys(t, sizeof(tcb_rotation_keyframe), time, &i0, &i1);
    const tcb_rotation_keyframe *k = static_cast<const tcb_rotation_keyframe *>(t->keys);
    *out = i0 == i1 ? k[i0].rotation : quaternion_slerp(k[i0].rotation, k[i1].rotation, u);
}
