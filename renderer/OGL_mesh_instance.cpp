#include "renderer/OGL_mesh_instance.h"

#include <GL/glew.h>

#include <cstring>

#include "corelib/log.h"
#include "corelib/matrix.h"
#include "corelib/mem.h"
#include "renderer/OGL_mesh.h"
#include "renderer/OGL_render_queue.h"
#include "renderer/OGL_window.h"

OGL_mesh_light *OGL_mesh_light_create()
{
    OGL_mesh_light *l = mem_new_zeroed<OGL_mesh_light>();
    ASSERT(l != nullptr);
    l->type = OGL_MESH_LIGHT_POINT;
    l->intensity = 1.0f;
    l->ambient.w = 1.0f;
    l->fov = 90.0f;
    return l;
}

void OGL_mesh_light_free(OGL_mesh_light *l) { mem_free(l); }
tacka3 OGL_mesh_light_get_ws_pos(const OGL_mesh_light *l) { return l->ws_pos; }
tacka3 OGL_mesh_light_get_ls_pos(const OGL_mesh_light *l) { return l->ls_pos; }

OGL_mesh_instance *OGL_mesh_instance_init()
{
    OGL_mesh_instance *mi = mem_new_zeroed<OGL_mesh_instance>();
    ASSERT(mi != nullptr);
    mi->range_counts = array_new<uint32_t>();
    mi->range_offsets = array_new<void *>();
    mi->lights = array_new<OGL_mesh_light *>();
    ASSERT(mi->range_counts && mi->range_offsets && mi->lights);
    dlist_init(&mi->pass_data_sets);
    mi->ambient_sum = {0, 0, 0, 1};
    mi->color = {1, 1, 1, 1};
    return mi;
}

void OGL_mesh_instance_deinit(OGL_mesh_instance *mi)
{
    if (!mi) return;
    ASSERT(mi->prof_data == NULL);
    while (!dlist_is_empty(&mi->pass_data_sets))
        OGL_render_pass_data_set_free(dlist_entry<OGL_render_pass_data_set>(mi->pass_data_sets.next));
    OGL_mesh_instance_free_lights(mi);
    array_free(mi->lights);
    array_free(mi->range_counts);
    array_free(mi->range_offsets);
    array_free(mi->custom_vp_params);
    mem_free(mi);
}

void OGL_mesh_instance_set_mesh(OGL_mesh_instance *mi, OGL_mesh *mesh) { mi->mesh = mesh; }
void OGL_mesh_instance_set_world_matrix(OGL_mesh_instance *mi, const float *m) { mi->world_matrix = m; }

void OGL_mesh_instance_set_ws_scale(OGL_mesh_instance *mi, tacka3 s)
{
    mi->ws_scale = s;
    mi->flags |= OGL_MESH_INSTANCE_WS_SCALE_SET;
}

tacka3 OGL_mesh_instance_get_ws_scale(const OGL_mesh_instance *mi)
{
    if (!(mi->flags & OGL_MESH_INSTANCE_WS_SCALE_SET)) BUG();
    return mi->ws_scale;
}

void OGL_mesh_instance_set_color(OGL_mesh_instance *mi, tacka3 rgb) { mi->color = {rgb.x, rgb.y, rgb.z, 1.0f}; }

void OGL_mesh_instance_add_light(OGL_mesh_instance *mi, OGL_mesh_light *l)
{
    if (!mi->lights->add(l)) BUG();
}

uint32_t OGL_mesh_instance_get_lights_no(const OGL_mesh_instance *mi)
{
    uint32_t n = 0;
    for (OGL_mesh_light *l : *mi->lights)
        if (l) n++;
    return n;
}

OGL_mesh_light *OGL_mesh_instance_get_light(const OGL_mesh_instance *mi, uint32_t n)
{
    OGL_mesh_light **p = mi->lights->get_element(n);
    return p ? *p : nullptr;
}

void OGL_mesh_instance_free_lights(OGL_mesh_instance *mi)
{
    for (OGL_mesh_light *l : *mi->lights)
        if (l) {
            if (mi->shadow_light == l) mi->shadow_light = nullptr;
            OGL_mesh_light_free(l);
        }
    mi->lights->cur_elements = 0;
}

void OGL_mesh_instance_refresh_light_positions(OGL_mesh_instance *mi)
{
    float inv[16];
    bool has = mi->world_matrix && matrix_inverse(inv, mi->world_matrix);
    for (OGL_mesh_light *l : *mi->lights)
        if (l) l->ls_pos = has ? matrix_transform_point(inv, l->ws_pos) : l->ws_pos;
}

void OGL_mesh_instance_update_ambient(OGL_mesh_instance *mi)
{
    tacka4 sum = {0, 0, 0, 1};
    for (OGL_mesh_light *l : *mi->lights)
        if (l) {
            sum.x += l->ambient.x * l->intensity;
            sum.y += l->ambient.y * l->intensity;
            sum.z += l->ambient.z * l->intensity;
        }
    mi->ambient_sum = sum;
}

tacka4 OGL_mesh_instance_get_light_ambient(const OGL_mesh_instance *mi, uint32_t n)
{
    OGL_mesh_light *l = OGL_mesh_instance_get_light(mi, n);
    if (!l) BUG();
    return l->ambient;
}

void OGL_mesh_instance_copy_active_indices_ranges(OGL_mesh_instance *mi, const OGL_index_range *ranges, uint32_t n)
{
    ASSERT(mi->mesh != nullptr);
    for (uint32_t i = 0; i < n; i++) {
        const OGL_index_range *s = &ranges[i];
        ASSERT(s->min <= s->max);
        ASSERT(s->max < mi->mesh->trisno_max);
        void *offset = const_cast<void *>(OGL_mesh_get_triangle_index_pointer(mi->mesh, s->min));
        if (!mi->range_offsets->add(offset)) BUG();
        if (!mi->range_counts->add((s->max - s->min + 1) * 3)) BUG();
    }
}

void OGL_mesh_instance_clear_active_indices_ranges(OGL_mesh_instance *mi)
{
    mi->range_offsets->cur_elements = 0;
    mi->range_counts->cur_elements = 0;
}

void OGL_mesh_instance_insert_custom_vp_params(OGL_mesh_instance *mi, uint32_t first, uint32_t count,
                                               const tacka4 *values)
{
    if (!mi->custom_vp_params) {
        mi->custom_vp_params = array_new<tacka4>();
        ASSERT(mi->custom_vp_params != nullptr);
    }
    ASSERT(first <= UINT32_MAX - count);
    uint32_t need = first + count;
    array<tacka4> *a = mi->custom_vp_params;
    if (need > a->get_size()) {
        uint32_t old = a->get_size();
        if (!a->resize(need)) BUG();
        a->cur_elements = need;
        for (uint32_t i = old; i < need; i++) a->data[i] = {0, 0, 0, 0};
    }
    for (uint32_t i = 0; i < count; i++) a->data[first + i] = values[i];
}

void OGL_mesh_instance_set_shadow_light(OGL_mesh_instance *mi, OGL_mesh_light *l)
{
    mi->shadow_light = l;
    if (!l) return;
    view *c = &mi->light_camera;
    std::memset(c, 0, sizeof(*c));
    int w = 800, h = 600;
    if (OGL_window_get()) OGL_window_get_size(&w, &h);
    c->position = l->ws_pos;
    c->target = l->ws_target;
    c->up = {0, 0, 1};
    c->fov = l->fov * 3.14159265358979f / 180.0f;
    c->z_near = 0.1f;
    c->z_far = 10000.0f;
    c->width = w;
    c->height = h > 0 ? h : 1;
    c->aspect = double(w) / double(c->height);
    view_compute_view_matrix(c);
    view_compute_projection(c);
}

void OGL_mesh_instance_activate(OGL_mesh_instance *mi, bool active, uint32_t kinds)
{
    dlist_for_each(pos, &mi->pass_data_sets)
    {
        OGL_render_pass_data_set *s = dlist_entry<OGL_render_pass_data_set>(pos);
        if (kinds == 0 || (s->kind & kinds)) OGL_render_pass_data_set_activate(s, active);
    }
}

static float g_local_light_pos[8][4];

void OGL_setup_local_light(int slot, tacka3 position, tacka4 ambient, tacka3 color, bool directional, float cutoff,
                           tacka3 direction)
{
    if (slot < 1 || slot > 7) BUG();
    GLenum light = GLenum(GL_LIGHT0 + slot);
    float amb[4] = {ambient.x, ambient.y, ambient.z, ambient.w};
    float col[4] = {color.x, color.y, color.z, 1.0f};
    float *pos = g_local_light_pos[slot];
    pos[0] = position.x;
    pos[1] = position.y;
    pos[2] = position.z;
    pos[3] = directional ? 0.0f : 1.0f;
    glLightfv(light, GL_AMBIENT, amb);
    glLightfv(light, GL_DIFFUSE, col);
    glLightfv(light, GL_SPECULAR, col);
    glLightfv(light, GL_POSITION, pos);
    if (cutoff != 0.0f && cutoff != 180.0f) {
        // GL takes cut-offs up to 90 degrees and exponents up to 128.
        float dir[3] = {direction.x, direction.y, direction.z};
        float c = cutoff < 0.0f ? 0.0f : cutoff > 90.0f ? 90.0f : cutoff;
        glLightf(light, GL_SPOT_CUTOFF, c);
        glLightf(light, GL_SPOT_EXPONENT, c * 0.5f);
        glLightfv(light, GL_SPOT_DIRECTION, dir);
    } else {
        glLightf(light, GL_SPOT_CUTOFF, 180.0f);
    }
    glEnable(light);
}
