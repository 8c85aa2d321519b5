// The solid profile: untextured materials in one pass.

#include <cstdio>

#include "corelib/log.h"
#include "renderer/OGL_mesh_instance.h"
#include "renderer/OGL_render_profiles.h"
#include "renderer/OGL_render_queue.h"

bool solid_texture_prepare_mesh(OGL_render_profile *, OGL_mesh_instance *mi, const char *, void *data_ptr)
{
    const OGL_solid_data *d = static_cast<const OGL_solid_data *>(data_ptr);
    __profile_instance_data(mi, OGL_RENDER_PROFILE_SOLID);
    OGL_render_pass_data_set *set = OGL_render_pass_data_set_create(mi, OGL_RPDS_KIND_MAIN);
    ASSERT(set != nullptr);
    OGL_render_pass_state ps;
    OGL_render_pass_state_clear(&ps);
    ps.vertex_array_enabled = true;
    ps.vnormals_array_enabled = true;
    ps.two_sided = d->two_sided;
    ps.lighting = d->lit;
    std::snprintf(ps.name, sizeof(ps.name), "solid");
    const OGL_render_pass_state *inserted_ps = OGL_render_pass_state_share(&ps);
    ASSERT(inserted_ps != NULL);
    OGL_render_pass_data *pd = OGL_render_pass_data_set_add_pass(set, inserted_ps);
    __profile_fill_pass_colors(pd, d->diffuse, d->specular, d->emission, d->shininess);
    pd->color = {d->diffuse.x, d->diffuse.y, d->diffuse.z, 1.0f};
    OGL_render_pass_data_fill_arrays(pd);
    return OGL_render_queue_add_render_pass_data_set(OGL_render_queue_get(OGL_RQ_OPAQUE), set);
}
