#pragma once
// Vectors of 2, 3 and 4 single floats.

#include <cmath>

struct tacka2 {
    float x, y;
};
struct tacka3 {
    float x, y, z;
};
struct tacka4 {
    float x, y, z, w;
};

inline tacka3 tacka3_make(float x, float y, float z) { return tacka3{x, y, z}; }
inline tacka3 tacka3_add(tacka3 a, tacka3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline tacka3 tacka3_sub(tacka3 a, tacka3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline tacka3 tacka3_mul(tacka3 a, tacka3 b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
inline tacka3 tacka3_scale(tacka3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float tacka3_dot(tacka3 a, tacka3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline float tacka3_length2(tacka3 a) { return a.x * a.x + a.y * a.y + a.z * a.z; }
inline float tacka3_length(tacka3 a) { return std::sqrt(tacka3_length2(a)); }
inline float tacka3_distance(tacka3 a, tacka3 b) { return tacka3_length(tacka3_sub(a, b)); }
inline tacka3 tacka3_cross(tacka3 a, tacka3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline bool tacka3_is_zero(tacka3 a) { return a.x == 0.0f && a.y == 0.0f && a.z == 0.0f; }
inline bool is_zero(tacka3 a) { return tacka3_is_zero(a); }
// True for a number that is neither infinite nor not-a-number.
inline bool is_finite(float f) { return std::isfinite(f); }
inline bool tacka3_is_finite(tacka3 a) { return is_finite(a.x) && is_finite(a.y) && is_finite(a.z); }
inline tacka3 tacka3_neg(tacka3 a) { return {-a.x, -a.y, -a.z}; }
// a + b s.
inline tacka3 tacka3_add_scaled(tacka3 a, tacka3 b, float s) { return {a.x + b.x * s, a.y + b.y * s, a.z + b.z * s}; }
// Multiplies by 1 / length. A zero or not-a-number length is a fault report:
// callers test the length first.
tacka3 tacka3_normalize(tacka3 a);
// Normalises when the length is a positive finite number; false (a untouched) otherwise.
bool tacka3_try_normalize(tacka3 *a);
