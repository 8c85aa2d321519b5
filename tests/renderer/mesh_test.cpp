// Meshes, buffer objects and mesh instances: layouts, partial re-uploads,
// face counts, index ranges, lights and custom parameters.
#include <GL/glew.h>

#include <cstring>

#include "corelib/matrix.h"
#include "corelib/mem.h"
#include "rq_helpers.h"

using MeshTest = GLTest;

namespace {

// Draws a quad's main set with the solid profile (unlit) in `rgb`.
void prepare_solid(rq_quad *q, float r, float g, float b)
{
    OGL_solid_data d{};
    d.diffuse = {r, g, b, 1};
    ASSERT_TRUE(OGL_render_profile_prepare(OGL_render_profiles_get(OGL_RENDER_PROFILE_SOLID), q->mi, "quad", &d));
    OGL_mesh_instance_activate(q->mi, true);
}

// Switches buffer objects off for the meshes made while it lives.
struct no_buffer_objects {
    GLboolean saved = __GLEW_ARB_vertex_buffer_object;
    no_buffer_objects() { __GLEW_ARB_vertex_buffer_object = GL_FALSE; }
    ~no_buffer_objects() { __GLEW_ARB_vertex_buffer_object = saved; }
};

} // namespace

TEST_F(MeshTest, InterleavedLayoutFollowsTheFixedAttributeOrder)
{
    tacka3 pos[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    tacka3 nrm[3] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    uint8_t col[12] = {};
    tacka2 ch0[3] = {}, ch2[3] = {};
    const tacka2 *chns[3] = {ch0, nullptr, ch2};
    uint32_t faces[3] = {0, 1, 2};
    OGL_mesh_input_data id{};
    id.flags = OGL_MESH_INPUT_DATA_TACKA3_VERTEXS | OGL_MESH_INPUT_DATA_TACKA3_VERTEX_NORMALS |
               OGL_MESH_INPUT_DATA_BYTE_COLORS | OGL_MESH_INPUT_DATA_TEXTURE_CHANNELS |
               OGL_MESH_INPUT_DATA_TRIANGLE_LIST_32 | OGL_MESH_INPUT_DATA_CALLER_MARK;
    id.vertexsno = id.vnormalsno = id.colorsno = 3;
    id.vertexs = pos;
    id.vnormals = nrm;
    id.bcolors = col;
    id.tvertexs_chnsno = 3;
    id.tvertexs_chns = chns;
    id.facesno = 1;
    id.faces32 = faces;
    id.user_value = 77;
    int before = OGL_mesh_count();
    OGL_mesh *m = OGL_mesh_create(&id);
    ASSERT_TRUE(OGL_mesh_has_vbo(m));
    EXPECT_EQ(OGL_mesh_count(), before + 1);
    EXPECT_EQ(m->vbo_vertex_size, 44u); // 12 + 12 + 4 + 8 + 8
    EXPECT_EQ(m->vertexs_offset, 0);
    EXPECT_EQ(m->vnormals_offset, 12);
    EXPECT_EQ(m->colors_offset, 24);
    EXPECT_EQ(m->tvertexs_offsets[0], 28);
    EXPECT_EQ(m->tvertexs_offsets[1], -1);
    EXPECT_EQ(m->tvertexs_strides[1], -1);
    EXPECT_EQ(m->tvertexs_offsets[2], 36);
    EXPECT_EQ(m->tvertexs_strides[2], 44);
    EXPECT_TRUE(m->flags & OGL_MESH_CALLER_MARK);
    EXPECT_EQ(m->user_value, 77u);
    GLint size = 0;
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, m->vbo);
    glGetBufferParameterivARB(GL_ARRAY_BUFFER_ARB, GL_BUFFER_SIZE_ARB, &size);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    EXPECT_EQ(size, 44 * 3);
    OGL_mesh_free(m);
    EXPECT_EQ(OGL_mesh_count(), before);
}

TEST_F(MeshTest, TriangleIndexAddressesForBothListKinds)
{
    tacka3 pos[3] = {};
    uint32_t f32[6] = {0, 1, 2, 0, 2, 1};
    uint16_t f16[6] = {0, 1, 2, 0, 2, 1};
    OGL_mesh_input_data id{};
    id.flags = OGL_MESH_INPUT_DATA_TACKA4_VERTEXS_AND_VNORMALS | OGL_MESH_INPUT_DATA_TRIANGLE_LIST_32;
    tacka4 pn[6] = {};
    id.vertexsno = 3;
    id.vertexs = pn;
    id.facesno = 2;
    id.faces32 = f32;
    OGL_mesh *a = OGL_mesh_create(&id);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(OGL_mesh_get_triangle_index_pointer(a, 1)), 12u);
    EXPECT_EQ(a->vnormals_offset, 16);
    EXPECT_EQ(a->vnormals_stride, 32);
    id.flags = OGL_MESH_INPUT_DATA_TACKA3_VERTEXS | OGL_MESH_INPUT_DATA_TACKA3_VERTEX_NORMALS |
               OGL_MESH_INPUT_DATA_TRIANGLE_LIST_16;
    id.vertexs = pos;
    id.vnormals = pos;
    id.vnormalsno = 3;
    id.faces16 = f16;
    OGL_mesh *b = OGL_mesh_create(&id);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(OGL_mesh_get_triangle_index_pointer(b, 1)), 6u);
    {
        no_buffer_objects off;
        OGL_mesh *c = OGL_mesh_create(&id);
        EXPECT_FALSE(OGL_mesh_has_vbo(c));
        EXPECT_EQ(OGL_mesh_get_triangle_index_pointer(c, 1), static_cast<const void *>(f16 + 3));
        // Nothing to re-upload on a client-array mesh.
        OGL_mesh_update_arrays(c, OGL_MESH_UPDATE_VERTEXS | OGL_MESH_UPDATE_INDICES);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        OGL_mesh_free(c);
    }
    OGL_mesh_free(a);
    OGL_mesh_free(b);
}

TEST_F(MeshTest, LoweringTheFaceCountDrawsFewerTriangles)
{
    view *cam = rq_camera();
    rq_quad *q = rq_quad_make(0, 0, 0, 2);
    prepare_solid(q, 1, 0, 0);
    rq_draw(cam);
    // Triangle 0 holds the lower-right half, triangle 1 the upper-left.
    EXPECT_TRUE(gltest_colour_near(gltest_pixel(rq_px(1.5f), rq_py(-1.5f)), {255, 0, 0, 255}));
    EXPECT_TRUE(gltest_colour_near(gltest_pixel(rq_px(-1.5f), rq_py(1.5f)), {255, 0, 0, 255}));
    OGL_mesh_set_triangle_list_facesno(q->mesh, 1);
    rq_draw(cam);
    EXPECT_TRUE(gltest_colour_near(gltest_pixel(rq_px(1.5f), rq_py(-1.5f)), {255, 0, 0, 255}));
    EXPECT_TRUE(gltest_colour_near(gltest_pixel(rq_px(-1.5f), rq_py(1.5f)), {0, 0, 0, 255}));
    EXPECT_DEATH(OGL_mesh_set_triangle_list_facesno(q->mesh, 3), "BUG");
    rq_release(q);
    view_free(cam);
}

TEST_F(MeshTest, PositionUpdatesReachStaticAndDynamicBuffers)
{
    view *cam = rq_camera();
    for (uint32_t dyn : {0u, uint32_t(OGL_MESH_INPUT_DATA_DYNAMIC)}) {
        SCOPED_TRACE(dyn ? "dynamic" : "static");
        rq_quad *q = rq_quad_make(0, 0, 0, 1, false, dyn);
        EXPECT_EQ((q->mesh->flags & OGL_MESH_DYNAMIC_VBO) != 0, dyn != 0);
        prepare_solid(q, 0, 1, 0);
        for (tacka3 &p : q->pos) p.x += 5; // the caller's array moves right
        rq_draw(cam);
        // The buffer still holds the old place until the update.
        EXPECT_TRUE(gltest_colour_near(gltest_pixel(rq_px(0), rq_py(0)), {0, 255, 0, 255}));
        OGL_mesh_update_arrays(q->mesh, OGL_MESH_UPDATE_VERTEXS);
        rq_draw(cam);
        EXPECT_TRUE(gltest_colour_near(gltest_pixel(rq_px(0), rq_py(0)), {0, 0, 0, 255}));
        EXPECT_TRUE(gltest_colour_near(gltest_pixel(rq_px(5), rq_py(0)), {0, 255, 0, 255}));
        // The other attributes of an interleaved vertex are left alone: the
        // texture coordinates still map a lit texture across the quad.
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        EXPECT_DEATH(OGL_mesh_update_arrays(q->mesh, OGL_MESH_UPDATE_UNDEF), "flags != UPDATE_UNDEF|BUG");
        rq_release(q);
    }
    view_free(cam);
}

TEST_F(MeshTest, ClientArrayMeshesDrawTheCallersCurrentData)
{
    no_buffer_objects off;
    view *cam = rq_camera();
    rq_quad *q = rq_quad_make(0, 0, 0, 1);
    ASSERT_FALSE(OGL_mesh_has_vbo(q->mesh));
    prepare_solid(q, 0, 0, 1);
    rq_draw(cam);
    EXPECT_TRUE(gltest_colour_near(gltest_pixel(rq_px(0), rq_py(0)), {0, 0, 255, 255}));
    for (tacka3 &p : q->pos) p.y += 4;
    rq_draw(cam);
    EXPECT_TRUE(gltest_colour_near(gltest_pixel(rq_px(0), rq_py(0)), {0, 0, 0, 255}));
    EXPECT_TRUE(gltest_colour_near(gltest_pixel(rq_px(0), rq_py(4)), {0, 0, 255, 255}));
    rq_release(q);
    view_free(cam);
}

TEST_F(MeshTest, StripsDrawFromAfterTheirHeader)
{
    view *cam = rq_camera();
    tacka3 pos[4] = {{-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}, {1, 1, 0}};
    tacka3 nrm[4] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    uint32_t strip[4 + 4] = {4, 0, 0, 0, 0, 1, 2, 3};
    for (bool vbo : {true, false}) {
        SCOPED_TRACE(vbo ? "buffer" : "client");
        GLboolean saved = __GLEW_ARB_vertex_buffer_object;
        if (!vbo) __GLEW_ARB_vertex_buffer_object = GL_FALSE;
        OGL_mesh_input_data id{};
        id.flags = OGL_MESH_INPUT_DATA_TACKA3_VERTEXS | OGL_MESH_INPUT_DATA_TACKA3_VERTEX_NORMALS |
                   OGL_MESH_INPUT_DATA_TRIANGLE_STRIP;
        id.vertexsno = id.vnormalsno = 4;
        id.vertexs = pos;
        id.vnormals = nrm;
        id.strip = strip;
        id.strip_size = sizeof(strip);
        OGL_mesh *m = OGL_mesh_create(&id);
        __GLEW_ARB_vertex_buffer_object = saved;
        EXPECT_EQ(m->trisno_max, 2u);
        EXPECT_EQ(OGL_mesh_get_draw_count(m), 4);
        OGL_mesh_instance *mi = OGL_mesh_instance_init();
        OGL_mesh_instance_set_mesh(mi, m);
        OGL_solid_data d{};
        d.diffuse = {1, 1, 0, 1};
        ASSERT_TRUE(OGL_render_profile_prepare(OGL_render_profiles_get(OGL_RENDER_PROFILE_SOLID), mi, "strip", &d));
        OGL_mesh_instance_activate(mi, true);
        rq_draw(cam);
        EXPECT_TRUE(gltest_region_is(rq_px(-0.8f), rq_py(-0.8f), 40, 40, {255, 255, 0, 255}, 2));
        OGL_render_profile_release(mi);
        OGL_mesh_instance_deinit(mi);
        OGL_mesh_free(m);
    }
    // A header that claims more indices than the data holds is refused.
    uint32_t bad[4 + 2] = {100, 0, 0, 0, 0, 1};
    OGL_mesh_input_data id{};
    id.flags = OGL_MESH_INPUT_DATA_TACKA3_VERTEXS | OGL_MESH_INPUT_DATA_TACKA3_VERTEX_NORMALS |
               OGL_MESH_INPUT_DATA_TRIANGLE_STRIP;
    id.vertexsno = id.vnormalsno = 4;
    id.vertexs = pos;
    id.vnormals = nrm;
    id.strip = bad;
    id.strip_size = sizeof(bad);
    EXPECT_DEATH(OGL_mesh_create(&id), "BUG");
    view_free(cam);
}

TEST_F(MeshTest, InputWithoutPositionsOrNormalsAndBadStreamTypesAreFaults)
{
    OGL_mesh_input_data id{};
    id.flags = OGL_MESH_INPUT_DATA_TACKA3_VERTEX_NORMALS;
    EXPECT_DEATH(OGL_mesh_create(&id), "assertion");
    id.flags = OGL_MESH_INPUT_DATA_TACKA3_VERTEXS;
    EXPECT_DEATH(OGL_mesh_create(&id), "assertion");
    OGL_generic_data_stream s{};
    s.type = 5;
    EXPECT_DEATH(__OGL_generic_data_stream_get_type(&s), "__OGL_generic_data_stream_get_type");
    s.type = OGL_GDS_UBYTE;
    EXPECT_EQ(__OGL_generic_data_stream_get_type(&s), GLenum(GL_UNSIGNED_BYTE));
    EXPECT_TRUE(__OGL_generic_data_stream_is_type_normalized(&s));
    s.type = OGL_GDS_SHORT;
    EXPECT_FALSE(__OGL_generic_data_stream_is_type_normalized(&s));
}

TEST_F(MeshTest, GenericStreamsLeadTheInterleavedVertex)
{
    array<uint8_t> *bytes = array_new<uint8_t>();
    for (int i = 0; i < 3 * 4; i++) bytes->add(uint8_t(i));
    array<OGL_generic_data_stream> *streams = array_new<OGL_generic_data_stream>();
    OGL_generic_data_stream s{OGL_GDS_UBYTE, 4, 1, bytes, -1, -1};
    streams->add(s);
    tacka3 pos[3] = {}, nrm[3] = {};
    OGL_mesh_input_data id{};
    id.flags = OGL_MESH_INPUT_DATA_TACKA3_VERTEXS | OGL_MESH_INPUT_DATA_TACKA3_VERTEX_NORMALS |
               OGL_MESH_INPUT_DATA_GENERIC_DATA_STREAMS;
    id.vertexsno = id.vnormalsno = 3;
    id.vertexs = pos;
    id.vnormals = nrm;
    id.generic_streams = streams;
    OGL_mesh *m = OGL_mesh_create(&id);
    ASSERT_NE(m->generic_streams, nullptr);
    EXPECT_EQ(m->generic_streams->data[0].offset, 0);
    EXPECT_EQ(m->generic_streams->data[0].stride, 28);
    EXPECT_EQ(m->vertexs_offset, 4);
    // A stream shorter than the vertex count is refused.
    bytes->cur_elements = 5;
    EXPECT_DEATH(OGL_mesh_create(&id), "assertion");
    OGL_mesh_free(m);
    array_free(streams);
    array_free(bytes);
}

TEST_F(MeshTest, ActiveRangesDrawOnlyTheirTriangles)
{
    view *cam = rq_camera();
    rq_quad *q = rq_quad_make(0, 0, 0, 2);
    prepare_solid(q, 1, 1, 1);
    OGL_index_range r{1, 1};
    OGL_mesh_instance_copy_active_indices_ranges(q->mi, &r, 1);
    ASSERT_EQ(q->mi->range_counts->get_size(), 1u);
    EXPECT_EQ(q->mi->range_counts->data[0], 3u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(q->mi->range_offsets->data[0]), 12u);
    rq_draw(cam);
    EXPECT_TRUE(gltest_colour_near(gltest_pixel(rq_px(1.5f), rq_py(-1.5f)), {0, 0, 0, 255}));
    EXPECT_TRUE(gltest_colour_near(gltest_pixel(rq_px(-1.5f), rq_py(1.5f)), {255, 255, 255, 255}));
    OGL_mesh_instance_clear_active_indices_ranges(q->mi);
    EXPECT_EQ(q->mi->range_offsets->get_size(), 0u);
    OGL_index_range bad{1, 0};
    EXPECT_DEATH(OGL_mesh_instance_copy_active_indices_ranges(q->mi, &bad, 1), "s->min <= s->max");
    rq_release(q);
    view_free(cam);
}

TEST_F(MeshTest, InstanceParametersLightsAndScale)
{
    OGL_mesh_instance *mi = OGL_mesh_instance_init();
    tacka4 v[2] = {{1, 2, 3, 4}, {5, 6, 7, 8}};
    OGL_mesh_instance_insert_custom_vp_params(mi, 4, 2, v);
    ASSERT_EQ(mi->custom_vp_params->get_size(), 6u);
    EXPECT_EQ(mi->custom_vp_params->data[5].w, 8.0f);
    EXPECT_EQ(mi->custom_vp_params->data[0].x, 0.0f);
    OGL_mesh_instance_insert_custom_vp_params(mi, 0, 1, v);
    EXPECT_EQ(mi->custom_vp_params->get_size(), 6u);

    OGL_mesh_instance_update_ambient(mi);
    EXPECT_EQ(mi->ambient_sum.x, 0.0f);
    EXPECT_EQ(mi->ambient_sum.w, 1.0f);
    OGL_mesh_light *a = OGL_mesh_light_create(), *b = OGL_mesh_light_create();
    a->ambient = {0.1f, 0.2f, 0.3f, 1};
    a->intensity = 2;
    b->ambient = {0.5f, 0, 0, 1};
    OGL_mesh_instance_add_light(mi, a);
    OGL_mesh_instance_add_light(mi, nullptr);
    OGL_mesh_instance_add_light(mi, b);
    EXPECT_EQ(OGL_mesh_instance_get_lights_no(mi), 2u);
    EXPECT_EQ(OGL_mesh_instance_get_light(mi, 2), b);
    EXPECT_EQ(OGL_mesh_instance_get_light(mi, 3), nullptr);
    OGL_mesh_instance_update_ambient(mi);
    EXPECT_NEAR(mi->ambient_sum.x, 0.7f, 1e-6);
    EXPECT_NEAR(mi->ambient_sum.z, 0.6f, 1e-6);
    EXPECT_EQ(OGL_mesh_instance_get_light_ambient(mi, 2).x, 0.5f);
    EXPECT_DEATH(OGL_mesh_instance_get_light_ambient(mi, 1), "BUG");

    // Local positions follow the world matrix.
    float world[16];
    matrix_from_pose(world, {10, 0, 0}, quaternion{1, 0, 0, 0}, {2, 2, 2});
    OGL_mesh_instance_set_world_matrix(mi, world);
    a->ws_pos = {12, 4, 6};
    OGL_mesh_instance_refresh_light_positions(mi);
    EXPECT_NEAR(a->ls_pos.x, 1.0f, 1e-5);
    EXPECT_NEAR(a->ls_pos.y, 2.0f, 1e-5);
    EXPECT_NEAR(a->ls_pos.z, 3.0f, 1e-5);
    OGL_mesh_instance_set_world_matrix(mi, nullptr);

    a->ws_pos = {1, 2, 3};
    a->ws_target = {1, 2, 0};
    a->fov = 60;
    OGL_mesh_instance_set_shadow_light(mi, a);
    EXPECT_EQ(mi->shadow_light, a);
    EXPECT_EQ(mi->light_camera.z_far, 10000.0f);
    EXPECT_EQ(mi->light_camera.up.z, 1.0f);
    OGL_mesh_instance_set_shadow_light(mi, nullptr);
    EXPECT_EQ(mi->shadow_light, nullptr);

    EXPECT_DEATH(OGL_mesh_instance_get_ws_scale(mi), "BUG");
    OGL_mesh_instance_set_ws_scale(mi, {2, 2, 2});
    EXPECT_EQ(OGL_mesh_instance_get_ws_scale(mi).y, 2.0f);
    OGL_mesh_instance_free_lights(mi);
    EXPECT_EQ(OGL_mesh_instance_get_lights_no(mi), 0u);
    mi->prof_data = mem_alloc(4);
    EXPECT_DEATH(OGL_mesh_instance_deinit(mi), "prof_data == NULL");
    mem_free(mi->prof_data);
    mi->prof_data = nullptr;
    OGL_mesh_instance_deinit(mi);
}

TEST_F(MeshTest, LocalLightSlotsAndSpotParameters)
{
    OGL_setup_local_light(3, {1, 2, 3}, {0, 0, 0, 1}, {1, 0.5f, 0.25f}, false, 30, {0, 0, -1});
    float v = 0;
    glGetLightfv(GL_LIGHT3, GL_SPOT_CUTOFF, &v);
    EXPECT_EQ(v, 30.0f);
    glGetLightfv(GL_LIGHT3, GL_SPOT_EXPONENT, &v);
    EXPECT_EQ(v, 15.0f);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT3));
    OGL_setup_local_light(3, {1, 2, 3}, {0, 0, 0, 1}, {1, 1, 1}, true, 180, {0, 0, -1});
    glGetLightfv(GL_LIGHT3, GL_SPOT_CUTOFF, &v);
    EXPECT_EQ(v, 180.0f);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_DEATH(OGL_setup_local_light(0, {0, 0, 0}, {0, 0, 0, 1}, {1, 1, 1}, false, 0, {0, 0, 1}), "BUG");
    EXPECT_DEATH(OGL_setup_local_light(8, {0, 0, 0}, {0, 0, 0, 1}, {1, 1, 1}, false, 0, {0, 0, 1}), "BUG");
    glDisable(GL_LIGHT3);
}
