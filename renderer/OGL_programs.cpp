#include "renderer/OGL_programs.h"

OGL_single_texture_programs OGL_st_programs;

// Shared pieces: attenuation = 1 - min(1, |L s|^2 k), k = ranges.w.
//
// The fragment programs normalise the interpolated light vector with DP3, RSQ
// and MUL rather than a lookup in the normalisation cube: the same direction,
// without the cube's 8-bit steps, and on a software rasteriser the cube lookup
// was the dearest part of the program (the title draws 6 % faster).

const char *const OGL_PROGRAM_BUMP_VP = "!!ARBvp1.0\n"
                                        "OPTION ARB_position_invariant;\n"
                                        "PARAM lightPos = program.local[0];\n"
                                        "PARAM eyePos = program.local[1];\n"
                                        "PARAM ranges = program.local[2];\n"
                                        "PARAM wsScale = program.local[3];\n"
                                        "PARAM mvz = state.matrix.modelview.row[2];\n"
                                        "PARAM one = {1.0, 0.0, 0.0, 0.0};\n"
                                        "ATTRIB pos = vertex.position;\n"
                                        "ATTRIB nrm = vertex.normal;\n"
                                        "ATTRIB tan = vertex.texcoord[1];\n"
                                        "ATTRIB bin = vertex.texcoord[2];\n"
                                        "TEMP L, E, H, t;\n"
                                        "MOV result.texcoord[0], vertex.texcoord[0];\n"
                                        "SUB L, lightPos, pos;\n"
                                        "MUL t, L, wsScale;\n"
                                        "DP3 t.x, t, t;\n"
                                        "MUL t.x, t.x, ranges.w;\n"
                                        "MIN t.x, t.x, one.x;\n"
                                        "SUB t.x, one.x, t.x;\n"
                                        "MOV result.texcoord[3], t.x;\n"
                                        "DP3 result.texcoord[1].x, L, tan;\n"
                                        "DP3 result.texcoord[1].y, L, bin;\n"
                                        "DP3 result.texcoord[1].z, L, nrm;\n"
                                        "MOV result.texcoord[1].w, one.x;\n"
                                        "DP3 t.w, L, L;\n"
                                        "RSQ t.w, t.w;\n"
                                        "MUL L, L, t.w;\n"
                                        "SUB E, eyePos, pos;\n"
                                        "DP3 t.w, E, E;\n"
                                        "RSQ t.w, t.w;\n"
                                        "MUL E, E, t.w;\n"
                                        "ADD H, L, E;\n"
                                        "DP3 t.w, H, H;\n"
                                        "RSQ t.w, t.w;\n"
                                        "MUL H, H, t.w;\n"
                                        "DP3 result.texcoord[2].x, H, tan;\n"
                                        "DP3 result.texcoord[2].y, H, bin;\n"
                                        "DP3 result.texcoord[2].z, H, nrm;\n"
                                        "MOV result.texcoord[2].w, one.x;\n"
                                        "DP4 t.x, mvz, pos;\n"
                                        "MOV result.fogcoord.x, -t.x;\n"
                                        "END\n";

#define BUMP_FP_BODY(GLOSS) \
    "!!ARBfp1.0\n" \
    "PARAM spec = program.local[0];\n" \
    "PARAM diff = program.local[1];\n" \
    "PARAM k = {2.0, 1.0, 0.0, 0.0001};\n" \
    "TEMP base, n, l, d, s, c;\n" \
    "TEX base, fragment.texcoord[0], texture[0], 2D;\n" \
    "TEX n, fragment.texcoord[0], texture[1], 2D;\n" \
    "DP3 l.w, fragment.texcoord[1], fragment.texcoord[1];\n" \
    "RSQ l.w, l.w;\n" \
    "MUL l.xyz, fragment.texcoord[1], l.w;\n" \
    "MAD n, n, k.x, -k.y;\n" \
    "DP3 d.x, n, l;\n" \
    "MAX d.x, d.x, k.z;\n" \
    "DP3 s.x, fragment.texcoord[2], n;\n" \
    "MAX s.x, s.x, k.z;\n" \
    "MAX s.y, spec.w, k.w;\n" \
    "POW s.x, s.x, s.y;\n" GLOSS "MUL c, base, diff;\n" \
    "MUL c, c, d.x;\n" \
    "MAD c, spec, s.x, c;\n" \
    "MUL result.color.xyz, c, fragment.texcoord[3].x;\n" \
    "MOV result.color.w, k.y;\n" \
    "END\n"

const char *const OGL_PROGRAM_BUMP_FP = BUMP_FP_BODY("");
const char *const OGL_PROGRAM_BUMP_GLOSS_FP = BUMP_FP_BODY("MUL s.x, s.x, base.w;\n");

const char *const OGL_PROGRAM_BUMP_NOSPEC_VP = "!!ARBvp1.0\n"
                                               "OPTION ARB_position_invariant;\n"
                                               "PARAM lightPos = program.local[0];\n"
                                               "PARAM ranges = program.local[1];\n"
                                               "PARAM wsScale = program.local[2];\n"
                                               "PARAM mvz = state.matrix.modelview.row[2];\n"
                                               "PARAM one = {1.0, 0.0, 0.0, 0.0};\n"
                                               "ATTRIB pos = vertex.position;\n"
                                               "TEMP L, t;\n"
                                               "MOV result.texcoord[0], vertex.texcoord[0];\n"
                                               "SUB L, lightPos, pos;\n"
                                               "MUL t, L, wsScale;\n"
                                               "DP3 t.x, t, t;\n"
                                               "MUL t.x, t.x, ranges.w;\n"
                                               "MIN t.x, t.x, one.x;\n"
                                               "SUB t.x, one.x, t.x;\n"
                                               "MOV result.texcoord[2], t.x;\n"
                                               "DP3 t.w, L, L;\n"
                                               "RSQ t.w, t.w;\n"
                                               "MUL L, L, t.w;\n"
                                               "DP3 result.texcoord[1].x, L, vertex.texcoord[1];\n"
                                               "DP3 result.texcoord[1].y, L, vertex.texcoord[2];\n"
                                               "DP3 result.texcoord[1].z, L, vertex.normal;\n"
                                               "MOV result.texcoord[1].w, one.x;\n"
                                               "DP4 t.x, mvz, pos;\n"
                                               "MOV result.fogcoord.x, -t.x;\n"
                                               "END\n";

const char *const OGL_PROGRAM_BUMP_NOSPEC_FP = "!!ARBfp1.0\n"
                                               "PARAM diff = program.local[0];\n"
                                               "PARAM k = {2.0, 1.0, 0.0, 0.0};\n"
                                               "TEMP base, n, l, d;\n"
                                               "TEX base, fragment.texcoord[0], texture[0], 2D;\n"
                                               "TEX n, fragment.texcoord[0], texture[1], 2D;\n"
                                               "DP3 l.w, fragment.texcoord[1], fragment.texcoord[1];\n"
                                               "RSQ l.w, l.w;\n"
                                               "MUL l.xyz, fragment.texcoord[1], l.w;\n"
                                               "MAD n, n, k.x, -k.y;\n"
                                               "DP3 d.x, n, l;\n"
                                               "MAX d.x, d.x, k.z;\n"
                                               "MUL d.x, d.x, fragment.texcoord[2].x;\n"
                                               "MUL base, base, diff;\n"
                                               "MUL result.color.xyz, base, d.x;\n"
                                               "MOV result.color.w, k.y;\n"
                                               "END\n";

const char *const OGL_PROGRAM_PPL_VP = "!!ARBvp1.0\n"
                                       "OPTION ARB_position_invariant;\n"
                                       "PARAM lightPos = program.local[0];\n"
                                       "PARAM eyePos = program.local[1];\n"
                                       "PARAM ranges = program.local[2];\n"
                                       "PARAM wsScale = program.local[3];\n"
                                       "PARAM mvz = state.matrix.modelview.row[2];\n"
                                       "PARAM one = {1.0, 0.0, 0.0, 0.0};\n"
                                       "ATTRIB pos = vertex.position;\n"
                                       "TEMP L, E, H, t;\n"
                                       "MOV result.texcoord[0], vertex.texcoord[0];\n"
                                       "MOV result.texcoord[2], vertex.normal;\n"
                                       "SUB L, lightPos, pos;\n"
                                       "MUL t, L, wsScale;\n"
                                       "DP3 t.x, t, t;\n"
                                       "MUL t.x, t.x, ranges.w;\n"
                                       "MIN t.x, t.x, one.x;\n"
                                       "SUB t.x, one.x, t.x;\n"
                                       "MOV result.texcoord[4], t.x;\n"
                                       "DP3 t.w, L, L;\n"
                                       "RSQ t.w, t.w;\n"
                                       "MUL L, L, t.w;\n"
                                       "MOV result.texcoord[1], L;\n"
                                       "SUB E, eyePos, pos;\n"
                                       "DP3 t.w, E, E;\n"
                                       "RSQ t.w, t.w;\n"
                                       "MUL E, E, t.w;\n"
                                       "ADD H, L, E;\n"
                                       "DP3 t.w, H, H;\n"
                                       "RSQ t.w, t.w;\n"
                                       "MUL result.texcoord[3], H, t.w;\n"
                                       "DP4 t.x, mvz, pos;\n"
                                       "MOV result.fogcoord.x, -t.x;\n"
                                       "END\n";

#define PPL_FP_BODY(GLOSS) \
    "!!ARBfp1.0\n" \
    "OPTION ARB_fog_exp2;\n" \
    "PARAM spec = program.local[0];\n" \
    "PARAM diff = program.local[1];\n" \
    "PARAM k = {2.0, 1.0, 0.0, 0.0001};\n" \
    "TEMP base, l, d, s, c;\n" \
    "TEX base, fragment.texcoord[0], texture[0], 2D;\n" \
    "DP3 l.w, fragment.texcoord[1], fragment.texcoord[1];\n" \
    "RSQ l.w, l.w;\n" \
    "MUL l.xyz, fragment.texcoord[1], l.w;\n" \
    "DP3 d.x, l, fragment.texcoord[2];\n" \
    "MAX d.x, d.x, k.z;\n" \
    "DP3 s.x, fragment.texcoord[3], fragment.texcoord[2];\n" \
    "MAX s.x, s.x, k.z;\n" \
    "MAX s.y, spec.w, k.w;\n" \
    "POW s.x, s.x, s.y;\n" GLOSS "MUL c, base, diff;\n" \
    "MUL c, c, d.x;\n" \
    "MAD c, spec, s.x, c;\n" \
    "MUL result.color.xyz, c, fragment.texcoord[4].x;\n" \
    "MOV result.color.w, k.y;\n" \
    "END\n"

const char *const OGL_PROGRAM_PPL_FP = PPL_FP_BODY("");
const char *const OGL_PROGRAM_PPL_GLOSS_FP = PPL_FP_BODY("MUL s.x, s.x, base.w;\n");

#define SIMPLE_BUMP_VP_BODY(UVSETS, LSET) \
    "!!ARBvp1.0\n" \
    "OPTION ARB_position_invariant;\n" \
    "PARAM lightPos = program.local[0];\n" \
    "PARAM eyePos = program.local[1];\n" \
    "PARAM ranges = program.local[2];\n" \
    "PARAM lightCol = program.local[3];\n" \
    "PARAM matDiff = program.local[4];\n" \
    "PARAM wsScale = program.local[5];\n" \
    "PARAM mvz = state.matrix.modelview.row[2];\n" \
    "PARAM k = {1.0, 0.5, 0.0, 0.0};\n" \
    "ATTRIB pos = vertex.position;\n" \
    "TEMP L, t, c;\n" UVSETS "SUB L, lightPos, pos;\n" \
    "MUL t, L, wsScale;\n" \
    "DP3 t.x, t, t;\n" \
    "MUL t.x, t.x, ranges.w;\n" \
    "MIN t.x, t.x, k.x;\n" \
    "SUB t.x, k.x, t.x;\n" \
    "MUL c, lightCol, matDiff;\n" \
    "MUL result.color.primary.xyz, c, t.x;\n" \
    "MOV result.color.primary.w, k.x;\n" \
    "DP3 result.texcoord[" LSET "].x, L, vertex.texcoord[1];\n" \
    "DP3 result.texcoord[" LSET "].y, L, vertex.texcoord[2];\n" \
    "DP3 result.texcoord[" LSET "].z, L, vertex.normal;\n" \
    "MOV result.texcoord[" LSET "].w, k.x;\n" \
    "DP4 t.x, mvz, pos;\n" \
    "MOV result.fogcoord.x, -t.x;\n" \
    "END\n"

const char *const OGL_PROGRAM_SIMPLE_BUMP_VP = SIMPLE_BUMP_VP_BODY(
    "MOV result.texcoord[0], vertex.texcoord[0];\nMOV result.texcoord[1], vertex.texcoord[0];\n", "2");
const char *const OGL_PROGRAM_SIMPLE_BUMP_2U_VP =
    SIMPLE_BUMP_VP_BODY("MOV result.texcoord[0], vertex.texcoord[0];\n", "1");

const char *const OGL_PROGRAM_GI_VP = "!!ARBvp1.0\n"
                                      "OPTION ARB_position_invariant;\n"
                                      "PARAM r0 = program.local[0];\n"
                                      "PARAM r1 = program.local[1];\n"
                                      "PARAM r2 = program.local[2];\n"
                                      "PARAM mvz = state.matrix.modelview.row[2];\n"
                                      "PARAM k = {0.5, 1.0, 0.0, 0.0};\n"
                                      "TEMP n, t;\n"
                                      "DP3 n.x, r0, vertex.normal;\n"
                                      "DP3 n.y, r1, vertex.normal;\n"
                                      "DP3 n.z, r2, vertex.normal;\n"
                                      "DP3 t.w, n, n;\n"
                                      "RSQ t.w, t.w;\n"
                                      "MUL n, n, t.w;\n"
                                      "MAD result.texcoord[0].xy, n.xzzz, k.x, k.x;\n"
                                      "MOV result.texcoord[0].zw, k.zzzy;\n"
                                      "MOV result.color, k.y;\n"
                                      "DP4 t.x, mvz, vertex.position;\n"
                                      "MOV result.fogcoord.x, -t.x;\n"
                                      "END\n";
