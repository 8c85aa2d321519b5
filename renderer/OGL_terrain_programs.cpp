// The terrain's ARB programs.
//
// Vertex inputs (generic attributes): 0 position x, fine height, z, coarse
// height; 1 fine normal; 2 coarse normal; 3 u, v over the whole terrain,
// level. Locals as OGL_TERRA_VP_* names them. Both vertex programs morph the
// height and the normal by the vertex's distance from the eye, light the
// vertex with one directional light plus ambient (primary colour; its alpha
// fades the pre-blended map in with distance) and put the eye-space depth in
// the fog coordinate.

#include "renderer/OGL_terrain_programs.h"

#define TERRA_VP_COMMON \
    "ATTRIB ipos = vertex.attrib[0];\n" \
    "ATTRIB inrm = vertex.attrib[1];\n" \
    "ATTRIB icnrm = vertex.attrib[2];\n" \
    "ATTRIB itex = vertex.attrib[3];\n" \
    "PARAM mvp[4] = { state.matrix.mvp };\n" \
    "PARAM mv[4] = { state.matrix.modelview };\n" \
    "PARAM eye = program.local[0];\n" \
    "PARAM tiling = program.local[1];\n" \
    "PARAM ldir = program.local[2];\n" \
    "PARAM lcol = program.local[3];\n" \
    "PARAM amb = program.local[4];\n" \
    "PARAM morph[7] = { program.local[5..11] };\n" \
    "PARAM c = { 1.0, 0.0, 0.5, 2.0 };\n" \
    "ADDRESS a;\n" \
    "TEMP p, d, m, n, t;\n" \
    "SUB d, ipos, eye;\n" \
    "MOV d.w, c.y;\n" \
    "DP3 d.w, d, d;\n" \
    "RSQ d.w, d.w;\n" \
    "RCP d.w, d.w;\n" \
    "ARL a.x, itex.z;\n" \
    "MAD m.x, d.w, morph[a.x].x, morph[a.x].y;\n" \
    "MAX m.x, m.x, c.y;\n" \
    "MIN m.x, m.x, c.x;\n" \
    "MOV p, ipos;\n" \
    "SUB t.x, ipos.w, ipos.y;\n" \
    "MAD p.y, t.x, m.x, ipos.y;\n" \
    "MOV p.w, c.x;\n" \
    "DP4 result.position.x, mvp[0], p;\n" \
    "DP4 result.position.y, mvp[1], p;\n" \
    "DP4 result.position.z, mvp[2], p;\n" \
    "DP4 result.position.w, mvp[3], p;\n" \
    "DP4 t.x, mv[2], p;\n" \
    "ABS result.fogcoord.x, t.x;\n" \
    "SUB n, icnrm, inrm;\n" \
    "MAD n, n, m.x, inrm;\n" \
    "DP3 n.w, n, n;\n" \
    "RSQ n.w, n.w;\n" \
    "MUL n.xyz, n, n.w;\n" \
    "DP3 t.y, n, ldir;\n" \
    "MAX t.y, t.y, c.y;\n" \
    "MAD t.xyz, lcol, t.y, amb;\n" \
    "SUB t.w, d.w, tiling.z;\n" \
    "MUL t.w, t.w, tiling.w;\n" \
    "MAX t.w, t.w, c.y;\n" \
    "MIN t.w, t.w, c.x;\n" \
    "MOV result.color, t;\n" \
    "MOV result.texcoord[0], itex;\n"

// Mixed mode: set 0 whole-terrain coordinates (pre-blended map), set 1 the
// detail tiling.
const char *const OGL_PROGRAM_TERRA_MIXED_VP =
    "!!ARBvp1.0\n" TERRA_VP_COMMON "MUL result.texcoord[1], itex, tiling.y;\n"
    "END\n";

// Full mode: set 0 whole terrain (blend and pre-blended maps), sets 1..3 the
// layer tiling, set 4 the detail tiling.
const char *const OGL_PROGRAM_TERRA_FULL_VP = "!!ARBvp1.0\n" TERRA_VP_COMMON "MUL result.texcoord[1], itex, tiling.x;\n"
                                              "MUL result.texcoord[2], itex, tiling.x;\n"
                                              "MUL result.texcoord[3], itex, tiling.x;\n"
                                              "MUL result.texcoord[4], itex, tiling.y;\n"
                                              "END\n";

// Units: 0 blend map, 1..3 the layers. The detail is layer 0's alpha at the
// detail tiling, doubled, so that mid-grey leaves the colour unchanged.
const char *const OGL_PROGRAM_TERRA_SPLAT_FP = "!!ARBfp1.0\n"
                                               "OPTION ARB_fog_exp2;\n"
                                               "PARAM two = { 2.0, 2.0, 2.0, 1.0 };\n"
                                               "TEMP b, l0, l1, l2, det, col;\n"
                                               "TEX b, fragment.texcoord[0], texture[0], 2D;\n"
                                               "TEX l0, fragment.texcoord[1], texture[1], 2D;\n"
                                               "TEX l1, fragment.texcoord[2], texture[2], 2D;\n"
                                               "TEX l2, fragment.texcoord[3], texture[3], 2D;\n"
                                               "TEX det, fragment.texcoord[4], texture[1], 2D;\n"
                                               "MUL col, l0, b.x;\n"
                                               "MAD col, l1, b.y, col;\n"
                                               "MAD col, l2, b.z, col;\n"
                                               "MUL det.x, det.w, two.x;\n"
                                               "MUL col, col, det.x;\n"
                                               "MUL col, col, fragment.color;\n"
                                               "MOV col.w, two.w;\n"
                                               "MOV result.color, col;\n"
                                               "END\n";

// Unit 0 the pre-blended map, lit; opaque.
const char *const OGL_PROGRAM_TERRA_SINGLE_FP = "!!ARBfp1.0\n"
                                                "OPTION ARB_fog_exp2;\n"
                                                "PARAM one = { 1.0, 1.0, 1.0, 1.0 };\n"
                                                "TEMP s;\n"
                                                "TEX s, fragment.texcoord[0], texture[0], 2D;\n"
                                                "MUL s, s, fragment.color;\n"
                                                "MOV s.w, one.w;\n"
                                                "MOV result.color, s;\n"
                                                "END\n";

// As above with the vertex's distance fade as alpha (blended over the splatting).
const char *const OGL_PROGRAM_TERRA_SINGLE_FADED_FP = "!!ARBfp1.0\n"
                                                      "OPTION ARB_fog_exp2;\n"
                                                      "TEMP s;\n"
                                                      "TEX s, fragment.texcoord[0], texture[0], 2D;\n"
                                                      "MUL s.xyz, s, fragment.color;\n"
                                                      "MOV s.w, fragment.color.w;\n"
                                                      "MOV result.color, s;\n"
                                                      "END\n";
