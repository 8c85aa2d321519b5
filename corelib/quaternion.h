#pragma once
// Quaternions stored w, x, y, z (scalar first). Rotations are unit quaternions.

#include "tacka.h"

struct quaternion {
    float w, x, y, z;
};

inline quaternion quaternion_identity() { return quaternion{1.0f, 0.0f, 0.0f, 0.0f}; }
// q1 (x) q2 = (w1 w2 - v1.v2, w1 v2 + w2 v1 + v1 x v2).
quaternion quaternion_mul(quaternion q1, quaternion q2);
// q1 = q1 (x) q2.
void quaternion_mul_in_place(quaternion *q1, quaternion q2);
quaternion quaternion_conjugate(quaternion q);
// Fault report "len > 0.0" for a zero or not-a-number length.
void quaternion_normalize(quaternion *q);
// Axis of unit length, angle in radians.
quaternion quaternion_from_axis_angle(tacka3 axis, float angle);
void quaternion_to_axis_angle(quaternion q, tacka3 *axis, float *angle);
// Rotation matrix for row vectors (p' = p . M), 16 floats row-major.
void quaternion_to_matrix(quaternion q, float m[16]);
// Third row of that matrix: the rotated z axis.
tacka3 quaternion_z_axis(quaternion q);
// Rotates a vector (same result as p . rotation matrix).
tacka3 quaternion_rotate(quaternion q, tacka3 v);
// Spherical linear interpolation along the shorter arc, t in [0, 1].
quaternion quaternion_slerp(quaternion a, quaternion b, float t);
