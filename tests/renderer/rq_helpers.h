#pragma once
// Small scenes for the mesh, queue and profile suites: quads facing the
// camera, textures of one colour, a camera looking down -z, and clean-up.
//
// The camera sits at (0, 0, 10) looking at the origin with a vertical field
// of view of 90 degrees on the 800 x 600 test window: one unit at z = 0 is 30
// pixels, so a quad of half-size h centred at (x, y, 0) covers the pixels
// 400 + 30 (x - h) .. 400 + 30 (x + h) across and 300 + 30 (y - h) .. up.

#include <cstdint>
#include <vector>

#include "corelib/tacka.h"
#include "corelib/view.h"
#include "gl_test_context.h"
#include "renderer/OGL_mesh.h"
#include "renderer/OGL_mesh_instance.h"
#include "renderer/OGL_render_profiles.h"
#include "renderer/OGL_render_queue.h"
#include "renderer/OGL_texture.h"

// A quad's geometry and the arrays the mesh points at (they outlive the mesh).
struct rq_quad {
    tacka3 pos[4];
    tacka3 nrm[4];
    tacka2 uv[4];
    tacka3 tan[4];
    tacka3 bin[4];
    uint8_t colors[16];
    uint32_t faces[6];
    const tacka2 *chns[2];
    float world[16];
    OGL_mesh *mesh;
    OGL_mesh_instance *mi;
};

// A quad of half-size h at (x, y, z) facing +z (counter-clockwise seen from
// the camera); reversed faces away. The mesh has tangents, binormals, one UV
// channel and byte colours (white); the instance has a world matrix placing
// it and world-space scale 1.
rq_quad *rq_quad_make(float x, float y, float z, float h, bool reversed = false, uint32_t extra_flags = 0);
void rq_quad_free(rq_quad *q);

// A light at world position p (the instance's local position is derived).
OGL_mesh_light *rq_light_add(rq_quad *q, tacka3 p, tacka3 color, float far_range = 1000.0f);

// A size x size texture of one RGBA colour (bpp 24 drops the alpha).
OGL_texture *rq_texture(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255, uint32_t bpp = 24, uint32_t size = 8);

// The test camera; draws every queue.
view *rq_camera();
void rq_draw(view *camera);
// Pixel of the quad centre at world (x, y) on the z = 0 plane.
int rq_px(float x);
int rq_py(float y);

// A single-texture material record with a diffuse map, lit or not.
OGL_single_texture_data rq_st_material(OGL_texture *diffuse, bool lit);

// Number of passes of the instance's sets of that kind, and whether any of
// their states uses a fragment / vertex program or has the given name.
struct rq_set_info {
    int sets, passes;
    bool any_fp, any_vp;
    int units_max;
};
rq_set_info rq_sets(const OGL_mesh_instance *mi, uint32_t kind);
bool rq_has_state_named(const OGL_mesh_instance *mi, const char *name);

// Releases profile data, frees the instance and the mesh.
void rq_release(rq_quad *q);
