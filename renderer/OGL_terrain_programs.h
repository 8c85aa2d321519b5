#pragma once
// The five terrain programs (texts in OGL_terrain_programs.cpp).

extern const char *const OGL_PROGRAM_TERRA_MIXED_VP;
extern const char *const OGL_PROGRAM_TERRA_FULL_VP;
extern const char *const OGL_PROGRAM_TERRA_SPLAT_FP;
extern const char *const OGL_PROGRAM_TERRA_SINGLE_FP;
extern const char *const OGL_PROGRAM_TERRA_SINGLE_FADED_FP;
