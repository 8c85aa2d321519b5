#pragma once
// Helpers of the particle systems: keyframe track values and the quad
// building of the per-frame mesh rebuild.

#include <cstdint>

#include "corelib/array.h"
#include "corelib/tacka.h"
#include "particles/simple_particles.h"

struct view;

// Track values at the normalised age a: the segment between the key before
// the first key later than a and that key (the first two or the last two keys
// outside the keys' times). A track with fewer than two keys is a fault report.
void __interpolate_color_key(const array<simple_particle_color_keyframe> *keys, float a, uint8_t out[4]);
tacka3 __interpolate_tacka3_key(const array<simple_particle_tacka3_keyframe> *keys, float a);
float __interpolate_float_key(const array<simple_particle_float_keyframe> *keys, float a);
tacka2 __interpolate_tacka2_key(const array<simple_particle_tacka2_keyframe> *keys, float a);

// The camera's right and up axes (the first two columns of its view matrix),
// normalised; x and y without a camera.
void __sps_prepare_matrices(const view *camera, tacka3 *right, tacka3 *up);

// Writes the quads of every live particle into the system's vertex, colour
// and (with frame animation) texture-coordinate arrays; returns the vertex
// count and leaves the bounds of the quads in sys->bound_center / bound_radius.
uint32_t __sps_build_quads(sps *sys, tacka3 right, tacka3 up, tacka3 offset);

// The texture coordinates of one quad, in vertex order.
extern const tacka2 SPS_QUAD_UVS[6];
