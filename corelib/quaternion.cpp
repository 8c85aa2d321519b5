#include "quaternion.h"

#include <algorithm>
#include <cmath>

#include "log.h"

quaternion quaternion_mul(quaternion q1, quaternion q2)
{
    quaternion r;
    r.w = q1.w * q2.w - (q1.x * q2.x + q1.y * q2.y + q1.z * q2.z);
    r.x = q1.w * q2.x + q2.w * q1.x + (q1.y * q2.z - q1.z * q2.y);
    r.y = q1.w * q2.y + q2.w * q1.y + (q1.z * q2.x - q1.x * q2.z);
    r.z = q1.w * q2.z + q2.w * q1.z + (q1.x * q2.y - q1.y * q2.x);
    return r;
}

void quaternion_mul_in_place(quaternion *q1, quaternion q2) { *q1 = quaternion_mul(*q1, q2); }

quaternion quaternion_conjugate(quaternion q) { return quaternion{q.w, -q.x, -q.y, -q.z}; }

void quaternion_normalize(quaternion *q)
{
    // len holds the squared length; a not-a-number fails the comparison too.
    float len = q->w * q->w + q->x * q->x + q->y * q->y + q->z * q->z;
    ASSERT(len > 0.0);
    float inv = 1.0f / std::sqrt(len);
    q->w *= inv;
    q->x *= inv;
    q->y *= inv;
    q->z *= inv;
}

quaternion quaternion_from_axis_angle(tacka3 axis, float angle)
{
    float s = std::sin(angle * 0.5f);
    return quaternion{std::cos(angle * 0.5f), axis.x * s, axis.y * s, axis.z * s};
}

void quaternion_to_axis_angle(quaternion q, tacka3 *axis, float *angle)
{
    float len2 = q.x * q.x + q.y * q.y + q.z * q.z;
    if (len2 == 0.0f) {
        *angle = 0.0f;
        *axis = tacka3{1.0f, 0.0f, 0.0f};
        return;
    }
    // Rounding may carry w a hair beyond 1 for a unit quaternion.
    *angle = 2.0f * std::acos(std::clamp(q.w, -1.0f, 1.0f));
    float inv = 1.0f / std::sqrt(len2);
    *axis = tacka3{q.x * inv, q.y * inv, q.z * inv};
}

void quaternion_to_matrix(quaternion q, float m[16])
{
    float w = q.w, x = q.x, y = q.y, z = q.z;
    m[0] = 1.0f - 2.0f * (y * y + z * z);
    m[1] = 2.0f * (x * y - w * z);
    m[2] = 2.0f * (x * z + w * y);
    m[3] = 0.0f;
    m[4] = 2.0f * (x * y + w * z);
    m[5] = 1.0f - 2.0f * (x * x + z * z);
    m[6] = 2.0f * (y * z - w * x);
    m[7] = 0.0f;
    m[8] = 2.0f * (x * z - w * y);
    m[9] = 2.0f * (y * z + w * x);
    m[10] = 1.0f - 2.0f * (x * x + y * y);
    m[11] = 0.0f;
    m[12] = 0.0f;
    m[13] = 0.0f;
    m[14] = 0.0f;
    m[15] = 1.0f;
}

tacka3 quaternion_z_axis(quaternion q)
{
    return tacka3{2.0f * (q.x * q.z - q.w * q.y), 2.0f * (q.y * q.z + q.w * q.x),
                  1.0f - 2.0f * (q.x * q.x + q.y * q.y)};
}

tacka3 quaternion_rotate(quaternion q, tacka3 v)
{
    float m[16];
    quaternion_to_matrix(q, m);
    return tacka3{v.x * m[0] + v.y * m[4] + v.z * m[8], v.x * m[1] + v.y * m[5] + v.z * m[9],
                  v.x * m[2] + v.y * m[6] + v.z * m[10]};
}

quaternion quaternion_slerp(quaternion a, quaternion b, float t)
{
    float cosom = a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z;
    if (cosom < 0.0f) { // the shorter arc
        cosom = -cosom;
        b = quaternion{-b.w, -b.x, -b.y, -b.z};
    }
    float k0, k1;
    if (cosom > 0.9995f) {
        // Nearly parallel: a linear blend is accurate and avoids dividing by sin(0).
        k0 = 1.0f - t;
        k1 = t;
    } else {
        float omega = std::acos(std::min(cosom, 1.0f));
        float sinom = std::sin(omega);
        k0 = std::sin((1.0f - t) * omega) / sinom;
        k1 = std::sin(t * omega) / sinom;
    }
    quaternion r{a.w * k0 + b.w * k1, a.x * k0 + b.x * k1, a.y * k0 + b.y * k1, a.z * k0 + b.z * k1};
    float len2 = r.w * r.w + r.x * r.x + r.y * r.y + r.z * r.z;
    if (len2 > 0.0f) quaternion_normalize(&r);
    return r;
}
