#pragma once
// The particle systems' hand-over to the renderer.
//
// Systems never call the renderer themselves: a renderer installs this table
// (OGL_particles_install() in renderer/OGL_particles.h does it for the OpenGL renderer). Every
// entry may be null; with the empty table systems run and rebuild their quads
// without being drawn (tools, tests, the benchmark).

#include <cstdint>

struct sps;

struct sps_render_hooks {
    // After sps_create_oi(): make the renderer's mesh over the system's arrays
    // (sys->vertexs, sys->colors, sys->tvertexs, sys->triangles; room for
    // 6 x population vertices). False: the system is not drawn.
    bool (*create)(sps *sys);
    // Before the system frees its arrays.
    void (*destroy)(sps *sys);
    // After each rebuild: sys->vertexsno vertices (vertexsno / 3 triangles) are current.
    void (*update)(sps *sys);
    // Activation and deactivation.
    void (*set_visible)(sps *sys, bool visible);
    // The blending, the display priority or the texture changed.
    void (*state_changed)(sps *sys);
};

// Installs a copy of the table (null restores the empty table). Systems made
// before the call are not handed over.
void sps_render_set_hooks(const sps_render_hooks *hooks);
const sps_render_hooks *sps_render_get_hooks();

// Installs a table for the life of the scope and puts the one installed
// before back when it ends (tests: also when an assertion leaves early).
class sps_render_hooks_scope {
  public:
    explicit sps_render_hooks_scope(const sps_render_hooks &hooks) : before(*sps_render_get_hooks())
    {
        sps_render_set_hooks(&hooks);
    }
    ~sps_render_hooks_scope() { sps_render_set_hooks(&before); }
    sps_render_hooks_scope(const sps_render_hooks_scope &) = delete;
    sps_render_hooks_scope &operator=(const sps_render_hooks_scope &) = delete;

  private:
    sps_render_hooks before;
};
