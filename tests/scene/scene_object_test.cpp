// Objects' derived data, element records and the writer's raw chunk API.

#include <gtest/gtest.h>

#include "scene_test_util.h"

TEST(SceneObject, FaceAndVertexNormals)
{
    object *o = object_init();
    object_copy_name(o, "o");
    // Triangle 0 is proper; triangle 1 repeats a vertex (degenerate); vertex 4 is
    // used only by the degenerate one.
    object_insert_vertexs(o, test_copy_array<tacka3>({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 5, 5}, {6, 6, 6}}), 5);
    object_insert_triangle_list_ints(o, test_copy_array<uint32_t>({0, 1, 2, 3, 4, 4}), 2);
    ASSERT_TRUE(object_calc_vertex_normals(o));
    uint32_t n;
    tacka3 *fn = object_get_face_normals(o, &n);
    ASSERT_EQ(n, 2u);
    EXPECT_FLOAT_EQ(fn[0].z, 1.0f);
    EXPECT_TRUE(tacka3_is_zero(fn[1]));
    tacka3 *vn = object_get_vertex_normals(o, &n);
    EXPECT_FLOAT_EQ(vn[1].z, 1.0f);
    EXPECT_TRUE(tacka3_is_zero(vn[4]));
    ASSERT_TRUE(object_calc_plane_eqs(o));
    EXPECT_FLOAT_EQ(object_get_plane_eqs(o)[3], 0.0f);
    EXPECT_EXIT(object_calc_plane_eqs(o), ::testing::ExitedWithCode(3), "OBJ_PLANE_EQS");
    object_deinit(o);
}

TEST(SceneObject, TrianglesNamingMissingVerticesGetNoNormalAndTouchNothing)
{
    // Built in memory, not through the loader's checks: index 7 of 3 vertices.
    object *o = object_init();
    object_copy_name(o, "o");
    object_insert_vertexs(o, test_copy_array<tacka3>({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}), 3);
    object_insert_triangle_list_ints(o, test_copy_array<uint32_t>({0, 1, 2, 0, 1, 7}), 2);
    ASSERT_TRUE(object_calc_vertex_normals(o));
    uint32_t n;
    tacka3 *fn = object_get_face_normals(o, &n);
    EXPECT_FLOAT_EQ(fn[0].z, 1.0f);
    EXPECT_TRUE(tacka3_is_zero(fn[1]));
    tacka3 *vn = object_get_vertex_normals(o, &n);
    ASSERT_EQ(n, 3u);
    EXPECT_FLOAT_EQ(vn[2].z, 1.0f);
    ASSERT_TRUE(object_calc_plane_eqs(o));
    object_deinit(o);
}

TEST(SceneObject, CenterRadiusAndConnectivity)
{
    object *empty = object_init();
    object_insert_vertexs(empty, nullptr, 0);
    object_calc_center(empty);
    EXPECT_TRUE(tacka3_is_zero(object_get_center(empty)));
    object_calc_bounding_sphere_radius(empty);
    EXPECT_EQ(object_get_bounding_sphere_radius(empty), 0.0f);
    object_deinit(empty);

    object *none = object_init();
    EXPECT_EXIT(object_calc_center(none), ::testing::ExitedWithCode(3), "no vertexs in object");
    EXPECT_EXIT(object_get_bounding_sphere_radius(none), ::testing::ExitedWithCode(3), "not calculated");
    object_deinit(none);

    object *q = test_make_quad("q", 2.0f);
    ASSERT_TRUE(object_set_connectivity(q));
    uint32_t n;
    object_edge *e = object_get_edges(q, &n);
    EXPECT_EQ(n, 5u); // four outer edges and the shared diagonal
    int shared = 0;
    for (uint32_t i = 0; i < n; i++)
        if (e[i].face[1] != UINT32_MAX) shared++;
    EXPECT_EQ(shared, 1);
    object_deinit(q);
}

TEST(SceneObject, GenericStreamsAreTyped)
{
    object *o = object_init();
    array<uint8_t> *d = array_new<uint8_t>();
    d->set_size(4);
    generic_data_stream s{0, d, GDS_TYPE_SHORT, 2, 1, 2};
    object_add_generic_data_stream(o, &s);
    EXPECT_NE(object_get_generic_data_stream_s(o, 0), nullptr);
    EXPECT_EXIT(object_get_generic_data_stream_f(o, 0), ::testing::ExitedWithCode(3), "type");
    EXPECT_EXIT(object_get_generic_data_stream_s(o, 1), ::testing::ExitedWithCode(3), "get_size");
    object_deinit(o);
}

TEST(SceneObject, TangentSpaceLightArray)
{
    object *o = test_make_quad("q");
    object_insert_tangent_space_tangents(o, test_copy_array<tacka3>({{1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}}), 4);
    object_insert_tangent_space_binormals(o, test_copy_array<tacka3>({{0, 1, 0}, {0, 1, 0}, {0, 1, 0}, {0, 1, 0}}), 4);
    object_insert_tangent_space_normals(o, test_copy_array<tacka3>({{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}}), 4);
    ASSERT_TRUE(object_tangent_space_light_array_init(o));
    object_tangent_space_light_array_update(o, {1, 2, 3});
    tacka3 l = object_tangent_space_light_array_get(o)[1]; // vertex (1, 0, 0): L = (0, 2, 3)
    EXPECT_FLOAT_EQ(l.x, 2.0f);                            // binormal first
    EXPECT_FLOAT_EQ(l.y, 0.0f);
    EXPECT_FLOAT_EQ(l.z, 3.0f);
    object_deinit(o);
}

TEST(SceneElements, NamesAndRecords)
{
    light *l = light_init();
    EXPECT_TRUE(light_copy_name(l, "a"));
    std::string m = test_capture_stderr([&] { EXPECT_FALSE(light_copy_name(l, "b")); });
    EXPECT_NE(m.find("light name already set!"), std::string::npos);
    EXPECT_STREQ(light_get_name(l), "a");
    EXPECT_EXIT(light_get_target_name(l), ::testing::ExitedWithCode(3), "BUG");
    light_deinit(l);

    camera *c = camera_init();
    camera_copy_name(c, "c");
    EXPECT_EXIT(camera_copy_name(c, "d"), ::testing::ExitedWithCode(3), "camera_has_name");
    camera_deinit(c);

    material *mat = material_init();
    material_copy_diffuse_texture_file_name(mat, "a.tga");
    material_copy_diffuse_texture_file_name(mat, "b.tga"); // replaces
    EXPECT_STREQ(material_get_diffuse_texture_file_name(mat), "b.tga");
    EXPECT_EXIT(material_get_bump_texture_file_name(mat), ::testing::ExitedWithCode(3),
                "material_has_texture_file_name");
    EXPECT_EXIT(material_removed_from_renderer(mat), ::testing::ExitedWithCode(3), "in_renderer_ref_counter > 0");
    material_copy_submat_name(mat, "s", 4);
    EXPECT_EQ(material_get_submat_no(mat), 5u);
    EXPECT_EQ(material_get_submat_name(mat, 3), nullptr);
    EXPECT_EQ(material_get_submat(mat, 9), nullptr);
    EXPECT_EXIT(__material_to_unitexture_lod(mat, 4), ::testing::ExitedWithCode(3), "BUG");
    material_deinit(mat);

    object_instance *oi = test_make_oi("i");
    EXPECT_EXIT(OI_get_parent_name(oi), ::testing::ExitedWithCode(3), "BUG");
    EXPECT_EXIT(OI_get_object(oi), ::testing::ExitedWithCode(3), "BUG");
    object_instance *p = test_make_oi("p");
    OI_attach_child(p, oi);
    EXPECT_EXIT(OI_set_initial_PRS_ws(oi, {0, 0, 0}, quaternion_identity(), {1, 1, 1}), ::testing::ExitedWithCode(3),
                "OI_has_parent");
    EXPECT_EXIT(OI_attach_child(p, p), ::testing::ExitedWithCode(3), "child != parent");
    OI_deinit(p); // the child stays, at the root
    EXPECT_FALSE(OI_has_parent(oi));
    OI_deinit(oi);
}

TEST(Quox2Writer, RawChunksNestAndAnOpenChunkIsNotSaved)
{
    quox2_writer *w = quox2_writer_create();
    ASSERT_TRUE(quox2_writer_begin_chunk(w, "#OBJE"));
    ASSERT_TRUE(quox2_writer_string_chunk(w, "#NAME", "ab"));
    size_t n;
    const uint8_t *d = quox2_writer_data(w, &n);
    EXPECT_EQ(n, 16u + 12 + 12 + 3);
    EXPECT_FALSE(quox2_writer_save(w, "/tmp/never-written.quox2"));
    ASSERT_TRUE(quox2_writer_end_chunk(w));
    d = quox2_writer_data(w, &n);
    uint32_t size;
    memcpy(&size, d + 16 + 8, 4);
    EXPECT_EQ(size, 15u); // the nested chunk's header and payload
    EXPECT_EQ(memcmp(d, "QUOX", 5), 0);
    EXPECT_FALSE(quox2_writer_end_chunk(w)); // nothing open
    quox2_writer_free(w);
}
