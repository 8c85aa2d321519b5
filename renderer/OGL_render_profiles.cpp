#include "renderer/OGL_render_profiles.h"

#include "corelib/log.h"
#include "corelib/mem.h"
#include "renderer/OGL_mesh.h"
#include "renderer/OGL_mesh_instance.h"
#include "renderer/OGL_render_queue.h"
#include "renderer/OGL_texture.h"

#define OGL_PROFILES_MAX 4

static OGL_render_profile *g_profiles[OGL_PROFILES_MAX];
static int g_profiles_alive;

OGL_render_profile *OGL_render_profile_create(int id)
{
    OGL_render_profile *p = mem_new_zeroed<OGL_render_profile>();
    ASSERT(p != nullptr);
    p->id = id;
    bool ok = true;
    switch (id) {
    case OGL_RENDER_PROFILE_SOLID: p->prepare = solid_texture_prepare_mesh; break;
    case OGL_RENDER_PROFILE_SINGLE_TEXTURE:
        p->prepare = single_texture_prepare_mesh;
        p->deinit = single_texture_free_profile;
        ok = single_texture_create_profile(p);
        break;
    case OGL_RENDER_PROFILE_MULTITEXTURE:
        p->prepare = multi_texture_prepare_mesh;
        ok = multi_texture_create_profile(p);
        break;
    case OGL_RENDER_PROFILE_TERRAIN:
        p->prepare = terrain_prepare_mesh;
        p->deinit = terrain_free_profile;
        ok = terrain_create_profile(p);
        break;
    default: BUG();
    }
    if (!ok) {
        mem_free(p);
        return nullptr;
    }
    g_profiles_alive++;
    return p;
}

void OGL_render_profile_free(OGL_render_profile *profile)
{
    if (!profile) return;
    if (profile->deinit) profile->deinit(profile);
    mem_free(profile);
    // The shared pass states go with the last profile.
    if (--g_profiles_alive == 0) OGL_render_pass_states_free_all();
}

bool OGL_render_profiles_init()
{
    OGL_render_profiles_deinit();
    for (int id = 1; id <= OGL_PROFILES_MAX; id++) {
        g_profiles[id - 1] = OGL_render_profile_create(id);
        if (!g_profiles[id - 1]) return false;
    }
    return true;
}

void OGL_render_profiles_deinit()
{
    for (int i = OGL_PROFILES_MAX - 1; i >= 0; i--) {
        OGL_render_profile_free(g_profiles[i]);
        g_profiles[i] = nullptr;
    }
}

OGL_render_profile *OGL_render_profiles_get(int id)
{
    if (id < 1 || id > OGL_PROFILES_MAX) return nullptr;
    return g_profiles[id - 1];
}

bool OGL_render_profile_prepare(OGL_render_profile *profile, OGL_mesh_instance *mi, const char *name, void *data)
{
    ASSERT(profile != nullptr && mi != nullptr && mi->mesh != nullptr && data != nullptr);
    if (!profile->prepare(profile, mi, name, data)) return false;
    OGL_mesh *m = mi->mesh;
    for (OGL_mesh_instance *x : *m->instances)
        if (x == mi) return true;
    if (!m->instances->add(mi)) BUG();
    return true;
}

void OGL_render_profile_release(OGL_mesh_instance *mi)
{
    while (!dlist_is_empty(&mi->pass_data_sets))
        OGL_render_pass_data_set_free(dlist_entry<OGL_render_pass_data_set>(mi->pass_data_sets.next));
    mem_free(mi->prof_data);
    mi->prof_data = nullptr;
    if (mi->mesh) {
        array<OGL_mesh_instance *> *l = mi->mesh->instances;
        for (uint32_t i = 0; i < l->get_size(); i++)
            if (l->data[i] == mi) {
                l->data[i] = l->data[l->get_size() - 1];
                l->cur_elements--;
                break;
            }
    }
}

OGL_profile_instance_data *__profile_instance_data(OGL_mesh_instance *mi, int profile_id)
{
    OGL_profile_instance_data *d = static_cast<OGL_profile_instance_data *>(mi->prof_data);
    if (!d) {
        d = mem_new_zeroed<OGL_profile_instance_data>();
        ASSERT(d != nullptr);
        mi->prof_data = d;
    }
    d->profile_id = profile_id;
    return d;
}

bool OGL_texture_is_allowed_3d_texture_size(const OGL_texture *t)
{
    auto ok = [](uint32_t n) { return n >= 2 && n <= 8192 && is_power_of_2(n); };
    return t && ok(t->xsize) && ok(t->ysize);
}

void __profile_fill_pass_colors(OGL_render_pass_data *pd, tacka4 diffuse, tacka4 specular, tacka4 emission,
                                float shininess)
{
    pd->mat_diffuse = {diffuse.x, diffuse.y, diffuse.z, 1.0f};
    pd->mat_specular = {specular.x, specular.y, specular.z, 1.0f};
    pd->mat_emission = {emission.x, emission.y, emission.z, 1.0f};
    pd->shininess = shininess;
    pd->color = {1, 1, 1, 1};
}
