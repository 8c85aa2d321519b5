#pragma once
// The OpenGL renderer's side of the particle hand-over (sps_render.h).
//
// After the renderer has started, OGL_particles_install() makes every system created
// from then on draw through the renderer: one dynamic mesh over the system's
// own vertex, colour, texture-coordinate and index arrays, one mesh instance
// drawn in world space, and the single-texture profile with the system's
// blending, vertex colours, no lighting and no depth writes. The diffuse
// texture is the one the renderer made for the system's material (picked up
// as soon as the scene's textures are loaded).

#include "particles/sps_render.h"

// The renderer's table (for an sps_render_hooks_scope; the renderer must run).
sps_render_hooks OGL_particles_hooks();
// Installs the hooks (false when the renderer has not started).
bool OGL_particles_install();
// Back to systems that are not drawn.
void OGL_particles_uninstall();
