#pragma once
// The built-in GPU programs of the single-texture profile and their GL ids.
//
// Vertex program inputs: position, normal, texture set 0 = diffuse UV, set 1 =
// tangent, set 2 = binormal (all in the instance's own space). Positions go
// through the fixed-function transform (position-invariant option); the fog
// coordinate is the eye-space depth.

#include <GL/glew.h>

// Bump vertex program. Local 0 light position, 1 eye position, 2 light ranges
// (w = 1 / far^2), 3 world-space scale. Out: set 0 UV, 1 tangent-space light
// vector, 2 tangent-space half-angle vector, 3 attenuation (x).
extern const char *const OGL_PROGRAM_BUMP_VP;
// Units 0 diffuse (set 0), 1 normal map (set 0); the light vector (set 1) is
// normalised in the program (the normalisation cube on unit 2 is bound but not
// read). Local 0 specular RGB with shininess in w, 1 diffuse x light colour.
extern const char *const OGL_PROGRAM_BUMP_FP;
// As above with the specular term scaled by the diffuse map's alpha.
extern const char *const OGL_PROGRAM_BUMP_GLOSS_FP;
// Local 0 light position, 1 light ranges, 2 world-space scale. Out: set 0 UV,
// 1 normalised tangent-space light vector, 2 attenuation (x).
extern const char *const OGL_PROGRAM_BUMP_NOSPEC_VP;
// Units as the bump program; local 0 diffuse x light colour.
extern const char *const OGL_PROGRAM_BUMP_NOSPEC_FP;
// Per-pixel lighting. Local 0 light position, 1 eye position, 2 light ranges,
// 3 world-space scale. Out: set 0 UV, 1 normalised light vector, 2 normal,
// 3 normalised half-angle vector, 4 attenuation (x).
extern const char *const OGL_PROGRAM_PPL_VP;
// Unit 0 diffuse; the light vector (set 1) is normalised in the program (the
// normalisation cube on unit 1 is bound but not read). Local 0 specular with
// shininess in w, 1 diffuse x light colour. Exponential-squared fog.
extern const char *const OGL_PROGRAM_PPL_FP;
extern const char *const OGL_PROGRAM_PPL_GLOSS_FP;
// Dot-3 bump for boards without fragment programs. Local 0 light position,
// 1 eye position, 2 light ranges, 3 light colour, 4 material diffuse, 5
// world-space scale. Out: sets 0 and 1 UV, set 2 tangent-space light vector,
// primary colour = light colour x diffuse x attenuation. The variant for
// two-unit boards puts the light vector in set 1.
extern const char *const OGL_PROGRAM_SIMPLE_BUMP_VP;
extern const char *const OGL_PROGRAM_SIMPLE_BUMP_2U_VP;
// Global illumination: local 0..2 the rows of the inverse world matrix. Out:
// set 0 = the lat-long map coordinates of the world-space normal, white.
extern const char *const OGL_PROGRAM_GI_VP;

// GL ids of the loaded programs (0 when not loaded).
struct OGL_single_texture_programs {
    GLuint bump_vp, bump_fp, bump_gloss_fp;
    GLuint bump_nospec_vp, bump_nospec_fp;
    GLuint ppl_vp, ppl_gloss_vp, ppl_fp, ppl_gloss_fp;
    GLuint simple_bump_vp, simple_bump_2u_vp;
    GLuint gi_vp;
};
extern OGL_single_texture_programs OGL_st_programs;
