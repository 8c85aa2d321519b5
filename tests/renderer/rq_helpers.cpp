#include "rq_helpers.h"

#include <cmath>
#include <cstring>

#include "corelib/matrix.h"
#include "corelib/mem.h"
#include "renderer/OGL_window.h"

rq_quad *rq_quad_make(float x, float y, float z, float h, bool reversed, uint32_t extra_flags)
{
    rq_quad *q = new rq_quad();
    const float c[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (int i = 0; i < 4; i++) {
        q->pos[i] = {c[i][0] * h, c[i][1] * h, 0};
        q->nrm[i] = {0, 0, reversed ? -1.0f : 1.0f};
        q->uv[i] = {(c[i][0] + 1) * 0.5f, (c[i][1] + 1) * 0.5f};
        q->tan[i] = {1, 0, 0};
        q->bin[i] = {0, 1, 0};
    }
    std::memset(q->colors, 255, sizeof(q->colors));
    const uint32_t ccw[6] = {0, 1, 2, 0, 2, 3}, cw[6] = {0, 2, 1, 0, 3, 2};
    std::memcpy(q->faces, reversed ? cw : ccw, sizeof(q->faces));
    q->chns[0] = q->uv;
    q->chns[1] = nullptr;
    matrix_identity(q->world);
    q->world[12] = x;
    q->world[13] = y;
    q->world[14] = z;

    OGL_mesh_input_data id{};
    id.flags = OGL_MESH_INPUT_DATA_TACKA3_VERTEXS | OGL_MESH_INPUT_DATA_TACKA3_VERTEX_NORMALS |
               OGL_MESH_INPUT_DATA_TRIANGLE_LIST_32 | OGL_MESH_INPUT_DATA_TEXTURE_CHANNELS |
               OGL_MESH_INPUT_DATA_TANGENTS | OGL_MESH_INPUT_DATA_BINORMALS | OGL_MESH_INPUT_DATA_BYTE_COLORS |
               extra_flags;
    id.vertexsno = 4;
    id.vertexs = q->pos;
    id.vnormalsno = 4;
    id.vnormals = q->nrm;
    id.facesno = 2;
    id.faces32 = q->faces;
    id.tvertexs_chnsno = 1;
    id.tvertexs_chns = q->chns;
    id.tangentsno = id.binormalsno = 4;
    id.tangents = q->tan;
    id.binormals = q->bin;
    id.colorsno = 4;
    id.bcolors = q->colors;
    q->mesh = OGL_mesh_create(&id);
    OGL_mesh_set_ws_scale(q->mesh, {1, 1, 1});
    q->mi = OGL_mesh_instance_init();
    OGL_mesh_instance_set_mesh(q->mi, q->mesh);
    OGL_mesh_instance_set_world_matrix(q->mi, q->world);
    OGL_mesh_instance_set_ws_scale(q->mi, {1, 1, 1});
    return q;
}

OGL_mesh_light *rq_light_add(rq_quad *q, tacka3 p, tacka3 color, float far_range)
{
    OGL_mesh_light *l = OGL_mesh_light_create();
    l->ws_pos = p;
    float inv[16];
    matrix_inverse(inv, q->world);
    l->ls_pos = matrix_transform_point(inv, p);
    l->color = color;
    l->near_range = 1.0f;
    l->far_range = far_range;
    OGL_mesh_instance_add_light(q->mi, l);
    return l;
}

void rq_release(rq_quad *q)
{
    if (!q) return;
    OGL_render_profile_release(q->mi);
    OGL_mesh_instance_deinit(q->mi);
    OGL_mesh_free(q->mesh);
    delete q;
}

void rq_quad_free(rq_quad *q) { rq_release(q); }

OGL_texture *rq_texture(uint8_t r, uint8_t g, uint8_t b, uint8_t a, uint32_t bpp, uint32_t size)
{
    std::vector<uint8_t> px;
    for (uint32_t i = 0; i < size * size; i++) {
        px.push_back(r);
        px.push_back(g);
        px.push_back(b);
        if (bpp == 32) px.push_back(a);
    }
    OGL_texture_input_data id{};
    id.flags = OGL_TEXTURE_INPUT_REPEAT_S | OGL_TEXTURE_INPUT_REPEAT_T;
    id.filename = "test texture";
    id.xsize = id.ysize = size;
    id.bpp = bpp;
    id.pixels = px.data();
    return OGL_texture_create(&id);
}

view *rq_camera()
{
    view *v = view_create();
    v->position = {0, 0, 10};
    v->target = {0, 0, 0};
    v->up = {0, 1, 0};
    v->fov = float(M_PI) / 2.0f;
    view_compute_view_matrix(v);
    return v;
}

void rq_draw(view *camera)
{
    OGL_clear();
    OGL_render_frame(camera);
    glFinish();
}

int rq_px(float x) { return int(std::lround(400.0f + 30.0f * x)); }
int rq_py(float y) { return int(std::lround(300.0f + 30.0f * y)); }

OGL_single_texture_data rq_st_material(OGL_texture *diffuse, bool lit)
{
    OGL_single_texture_data d{};
    d.diffuse_texture = diffuse;
    d.diffuse = diffuse != nullptr;
    d.lit = lit;
    d.mat_diffuse = {1, 1, 1, 1};
    d.mat_specular = {0, 0, 0, 1};
    d.mat_emission = {0, 0, 0, 1};
    d.shininess = 0.01f;
    return d;
}

rq_set_info rq_sets(const OGL_mesh_instance *mi, uint32_t kind)
{
    rq_set_info r{};
    dlist *head = const_cast<dlist *>(&mi->pass_data_sets);
    dlist_for_each(pos, head)
    {
        OGL_render_pass_data_set *s = dlist_entry<OGL_render_pass_data_set>(pos);
        if (!(s->kind & kind)) continue;
        r.sets++;
        for (uint32_t i = 0; i < s->passesno; i++) {
            const OGL_render_pass_state *ps = s->passes[i]->ps;
            r.passes++;
            r.any_fp |= ps->use_fp;
            r.any_vp |= ps->use_vp;
            int units = 0;
            for (int u = 0; u < OGL_RP_MAX_UNITS; u++)
                if (ps->unit_enabled[u]) units++;
            if (units > r.units_max) r.units_max = units;
        }
    }
    return r;
}

bool rq_has_state_named(const OGL_mesh_instance *mi, const char *name)
{
    dlist *head = const_cast<dlist *>(&mi->pass_data_sets);
    dlist_for_each(pos, head)
    {
        OGL_render_pass_data_set *s = dlist_entry<OGL_render_pass_data_set>(pos);
        for (uint32_t i = 0; i < s->passesno; i++)
            if (std::strcmp(s->passes[i]->ps->name, name) == 0) return true;
    }
    return false;
}
