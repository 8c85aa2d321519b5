#pragma once
// 4x4 matrices: 16 floats, element e = row * 4 + column, points are row vectors
// (p' = p . M), translation in elements 12, 13, 14. A product A . B applies A first.

#include "quaternion.h"
#include "tacka.h"

void matrix_identity(float m[16]);
// out = a . b (out may alias neither input).
void matrix_mul(float out[16], const float a[16], const float b[16]);
// p . M with translation.
tacka3 matrix_transform_point(const float m[16], tacka3 p);
// The upper 3x3 part only.
tacka3 matrix_transform_direction(const float m[16], tacka3 d);
// M = S . R . T.
void matrix_from_pose(float m[16], tacka3 position, quaternion rotation, tacka3 scale);
// General 4x4 inverse; false for a singular matrix (out untouched then). out may alias m.
bool matrix_inverse(float out[16], const float m[16]);
void matrix_copy(float out[16], const float m[16]);
// True when m is exactly the identity.
bool matrix_is_identity(const float m[16]);
