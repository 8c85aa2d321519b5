#include "particles/sps_utils.h"

#include <cmath>
#include <cstring>

#include "corelib/log.h"
#include "corelib/view.h"

const tacka2 SPS_QUAD_UVS[6] = {{0, 0}, {1, 0}, {0, 1}, {1, 0}, {1, 1}, {0, 1}};

// The segment of a track at a: key index k (keys k - 1 and k) and the
// fraction f along it, in [0, 1]. Equal key times take the nearer key
// instead of dividing by zero.
template <typename K> static inline const K *__segment(const array<K> *keys, float a, float *f)
{
    uint32_t n = keys ? keys->cur_elements : 0;
    if (n < 2) log_fault_reason("__interpolate_key", __FILE__, __LINE__, "keyframes < 2");
    const K *d = keys->data;
    uint32_t k = 0;
    while (k < n && !(d[k].time > a)) k++;
    if (k < 1) k = 1;
    if (k > n - 1) k = n - 1;
    float span = d[k].time - d[k - 1].time;
    float t = span > 0.0f ? 1.0f - (d[k].time - a) / span : (a >= d[k].time ? 1.0f : 0.0f);
    // Within the segment: keys a tiny span apart must not blow the fraction
    // up (times 0 and 1e-44 give a quotient of infinity).
    *f = t > 0.0f ? (t < 1.0f ? t : 1.0f) : 0.0f;
    return d + k;
}

static inline uint8_t __byte_lerp(uint8_t a, uint8_t b, float f)
{
    float v = float(a) + f * (float(b) - float(a));
    if (!(v > 0.0f)) return 0; // also not-a-number
    if (v >= 255.0f) return 255;
    return uint8_t(v);
}

void __interpolate_color_key(const array<simple_particle_color_keyframe> *keys, float a, uint8_t out[4])
{
    float f;
    const simple_particle_color_keyframe *B = __segment(keys, a, &f), *A = B - 1;
    out[0] = __byte_lerp(A->r, B->r, f);
    out[1] = __byte_lerp(A->g, B->g, f);
    out[2] = __byte_lerp(A->b, B->b, f);
    out[3] = __byte_lerp(A->a, B->a, f);
}

tacka3 __interpolate_tacka3_key(const array<simple_particle_tacka3_keyframe> *keys, float a)
{
    float f;
    const simple_particle_tacka3_keyframe *B = __segment(keys, a, &f), *A = B - 1;
    return tacka3_add_scaled(A->value, tacka3_sub(B->value, A->value), f);
}

float __interpolate_float_key(const array<simple_particle_float_keyframe> *keys, float a)
{
    float f;
    const simple_particle_float_keyframe *B = __segment(keys, a, &f), *A = B - 1;
    return A->value + f * (B->value - A->value);
}

tacka2 __interpolate_tacka2_key(const array<simple_particle_tacka2_keyframe> *keys, float a)
{
    float f;
    const simple_particle_tacka2_keyframe *B = __segment(keys, a, &f), *A = B - 1;
    return tacka2{A->value.x + f * (B->value.x - A->value.x), A->value.y + f * (B->value.y - A->value.y)};
}

static tacka3 __unit_or(tacka3 v, tacka3 fallback) { return tacka3_try_normalize(&v) ? v : fallback; }

void __sps_prepare_matrices(const view *camera, tacka3 *right, tacka3 *up)
{
    if (!camera) {
        *right = tacka3{1, 0, 0};
        *up = tacka3{0, 1, 0};
        return;
    }
    const float *m = camera->view_matrix;
    *right = __unit_or(tacka3{m[0], m[4], m[8]}, tacka3{1, 0, 0});
    *up = __unit_or(tacka3{m[1], m[5], m[9]}, tacka3{0, 1, 0});
}

uint32_t __sps_build_quads(sps *sys, tacka3 right, tacka3 up, tacka3 offset)
{
    const tacka3 axis = tacka3_cross(right, up);
    const bool frames = (sys->flags & SPS_FLAG_FRAME_ANIMATION) != 0;
    tacka3 *v = sys->vertexs;
    uint32_t *col = reinterpret_cast<uint32_t *>(sys->colors);
    tacka2 *uv = sys->tvertexs;
    float lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
    uint32_t b = 0;

    for (uint32_t i = 0; i < sys->population; i++) {
        const simple_particle &p = sys->particles[i];
        if (!p.alive) continue;
        tacka3 R = right, U = up;
        if (sys->align) {
            // The travel direction in the view plane; U turns along it.
            tacka3 d = p.motion;
            d = tacka3_add_scaled(d, axis, -tacka3_dot(d, axis));
            if (tacka3_try_normalize(&d) && std::fabs(tacka3_dot(d, U)) < 0.999f) {
                U = d;
                R = tacka3_cross(U, axis);
            }
        }
        if (p.angle != 0.0f) {
            float sn, cs;
            sincosf(p.angle, &sn, &cs);
            tacka3 r2 = tacka3_add(tacka3_scale(R, cs), tacka3_scale(U, sn));
            tacka3 u2 = tacka3_sub(tacka3_scale(U, cs), tacka3_scale(R, sn));
            R = r2;
            U = u2;
        }
        const tacka3 rw = tacka3_scale(R, p.size.x), uh = tacka3_scale(U, p.size.y);
        const tacka3 c = tacka3_add(p.position, offset);
        const tacka3 c0 = tacka3_sub(tacka3_sub(c, rw), uh);
        const tacka3 c1 = tacka3_sub(tacka3_add(c, rw), uh);
        const tacka3 c2 = tacka3_add(tacka3_sub(c, rw), uh);
        const tacka3 c3 = tacka3_add(tacka3_add(c, rw), uh);
        ASSERT(tacka3_is_finite(c0) && tacka3_is_finite(c1) && tacka3_is_finite(c2) && tacka3_is_finite(c3));
        v[b + 0] = c0;
        v[b + 1] = c1;
        v[b + 2] = c2;
        v[b + 3] = c1;
        v[b + 4] = c3;
        v[b + 5] = c2;
        uint32_t rgba;
        std::memcpy(&rgba, p.color, 4);
        for (int k = 0; k < 6; k++) col[b + k] = rgba;
        if (frames) {
            float u0 = float(p.frame) * sys->frame_width, u1 = float(p.frame + 1) * sys->frame_width;
            for (int k = 0; k < 6; k++) uv[b + k] = tacka2{SPS_QUAD_UVS[k].x == 0.0f ? u0 : u1, SPS_QUAD_UVS[k].y};
        }
        // The quad lies within c +- (|rw| + |uh|) on each axis.
        const float ex = std::fabs(rw.x) + std::fabs(uh.x), ey = std::fabs(rw.y) + std::fabs(uh.y),
                    ez = std::fabs(rw.z) + std::fabs(uh.z);
        lo[0] = c.x - ex < lo[0] ? c.x - ex : lo[0];
        hi[0] = c.x + ex > hi[0] ? c.x + ex : hi[0];
        lo[1] = c.y - ey < lo[1] ? c.y - ey : lo[1];
        hi[1] = c.y + ey > hi[1] ? c.y + ey : hi[1];
        lo[2] = c.z - ez < lo[2] ? c.z - ez : lo[2];
        hi[2] = c.z + ez > hi[2] ? c.z + ez : hi[2];
        b += 6;
    }
    if (b) {
        sys->bound_center = tacka3{(lo[0] + hi[0]) * 0.5f, (lo[1] + hi[1]) * 0.5f, (lo[2] + hi[2]) * 0.5f};
        sys->bound_radius = tacka3_length(tacka3{hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]}) * 0.5f;
    }
    return b;
}
