// Writer -> loader -> JSON dump round trips over every chunk kind.

#include <gtest/gtest.h>

#include "scene/scene_dump.h"
#include "scene/terrain.h"
#include "scene_test_util.h"

namespace {

object *make_full_object()
{
    object *o = object_init();
    object_copy_name(o, "hull");
    object_set_type(o, 0);
    object_insert_vertexs(o, test_copy_array<tacka3>({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}), 4);
    object_insert_vertex_normals(o, test_copy_array<tacka3>({{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}}), 4);
    object_insert_tangent_space_normals(o, test_copy_array<tacka3>({{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}}), 4);
    object_insert_tangent_space_binormals(o, test_copy_array<tacka3>({{0, 1, 0}, {0, 1, 0}, {0, 1, 0}, {0, 1, 0}}), 4);
    object_insert_tangent_space_tangents(o, test_copy_array<tacka3>({{1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}}), 4);
    object_insert_triangle_list_shorts(o, test_copy_array<uint16_t>({0, 1, 2, 0, 2, 3}), 2);
    object_append_tvertexs_chn(o, test_copy_array<tacka2>({{0, 0}, {1, 0}, {1, 1}, {0, 1}}), 4);
    object_append_tvertexs_chn(o, nullptr, 0);
    object_append_tvertexs_chn(o, test_copy_array<tacka2>({{0, 0}, {.5f, 0}, {.5f, .5f}, {0, .5f}}), 4);
    object_insert_weights(o, test_copy_array<object_weight>({{2, 1, 0.5f}, {0, 0, 1.0f}}), 2);
    std::vector<object_bone_name> bones(2);
    strcpy(bones[0].name, "bone_a");
    strcpy(bones[1].name, "bone_b");
    object_insert_bones(o, test_copy_array(bones), 2);
    array<uint8_t> *d = array_new<uint8_t>();
    d->set_size(24);
    for (int i = 0; i < 24; i++) d->data[i] = uint8_t(i);
    generic_data_stream s{2, d, GDS_TYPE_FLOAT, 4, 2, 3};
    object_add_generic_data_stream(o, &s);
    array<uint8_t> *d2 = array_new<uint8_t>();
    d2->set_size(5);
    generic_data_stream s2{3, d2, GDS_TYPE_UBYTE, 1, 1, 5};
    object_add_generic_data_stream(o, &s2);
    return o;
}

object *make_strip_object()
{
    object *o = object_init();
    object_copy_name(o, "strip");
    object_set_type(o, 1);
    object_insert_vertexs(o, test_copy_array<tacka3>({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}), 4);
    object_insert_triangle_strips(o, test_copy_array<uint32_t>({2, 0, 1, 2, 3}), 1, 5, 2);
    return o;
}

// A scene with one element of every kind and every optional part.
scene *make_full_scene()
{
    scene *sc = scene_init();
    scene_add_object(sc, make_full_object());
    scene_add_object(sc, make_strip_object());

    uint32_t id = quox2_get_next_material_id();
    material *m = test_make_material("steel", "hull.tga");
    const char *files[MAT_SLOTS] = {"d.tga", "b.tga", "o.tga", "s.tga", "l.tga", "f.tga", "r.tga"};
    for (int s = 0; s < MAT_SLOTS; s++) {
        material_copy_texture_file_name(m, s, files[s]);
        material_set_slot_params(m, s, s % 3, 10 + s, 20 + s);
    }
    for (int i = 0; i < 4; i++) m->colors[i] = tacka4{0.1f * i, 0.2f, 0.3f + i, 1.0f};
    m->values[0] = 0.25f;
    m->values[1] = 8.0f;
    m->render_flag = 1;
    material_set_id(m, id++);
    scene_add_material(sc, m);

    material *nested = test_make_material("pair");
    nested->material_kind = MATERIAL_KIND_NESTED;
    material *n1 = test_make_material("inner1", "i1.tga");
    material_set_slot_params(n1, MAT_SLOT_DIFFUSE, 1, 0, 0);
    material_set_submat1(nested, n1);
    material_set_submat2(nested, test_make_material("inner2"));
    material_set_id(nested, id++);
    scene_add_material(sc, nested);

    material *comp = test_make_material("mix");
    comp->material_kind = MATERIAL_KIND_COMPOSITE;
    material_copy_submat_name(comp, "steel", 0);
    material_reserve_submats(comp, 2);
    material_copy_submat_name(comp, "pair", 2);
    material_set_id(comp, id++);
    scene_add_material(sc, comp);

    object_instance *root = test_make_oi("ship", "hull", {1, 2, 3});
    OI_copy_material_name(root, "steel");
    OI_copy_user_defined_properties(root, "collidable = true\r\nsolid = true\r\n");
    scene_add_oi(sc, root);
    object_instance *child = OI_init();
    OI_copy_name(child, "turret");
    OI_copy_parent_name(child, "ship");
    OI_set_type(child, 1);
    OI_set_initial_PRS_ws(child, {4, 5, 6}, quaternion{0.5f, 0.5f, 0.5f, 0.5f}, {2, 2, 2});
    scene_add_oi(sc, child);

    const int32_t types[4] = {LIGHT_OMNI, LIGHT_TARGET_SPOT, LIGHT_DIRECTIONAL, LIGHT_FREE_SPOT};
    for (int i = 0; i < 4; i++) {
        light *l = light_init();
        light_copy_name(l, ("lamp" + std::to_string(i)).c_str());
        light_set_type(l, types[i]);
        l->color = tacka4{0.5f, 0.25f, 1, 1};
        l->range1 = 10.0f + i;
        l->range2 = 20.0f + i;
        if (types[i] == LIGHT_TARGET_SPOT) {
            light_copy_target_name(l, "ship");
            l->spot = 0.75f;
            light_set_bitmap_filename(l, "proj.tga");
        }
        scene_add_light(sc, l);
    }

    camera *c1 = camera_init();
    camera_copy_name(c1, "cam_free");
    camera_set_type(c1, CAMERA_FREE);
    camera_set_fov(c1, 60.0f);
    camera_set_manual_clipping_planes(c1, 1.0f, 900.0f);
    scene_add_camera(sc, c1);
    camera *c2 = camera_init();
    camera_copy_name(c2, "cam_target");
    camera_copy_target_name(c2, "ship");
    camera_set_type(c2, CAMERA_TARGET);
    scene_add_camera(sc, c2);

    motionset *set = motionset_init();
    motionset_copy_name(set, "walk");
    motionset_set_length(set, 3.5f);
    motion *a = motion_init();
    motion_copy_name(a, "leg");
    motion_add_linear_position_keyframe(a, 1, {1, 0, 0});
    motion_add_linear_position_keyframe(a, 0, {0, 0, 0}); // out of time order: file order is kept
    motionset_add_motion(set, a);
    scene_add_motion(sc, a);
    motion *b = motion_init();
    motion_copy_name(b, "arm");
    motion_add_bezier_position_keyframe(b, 0, {0, 0, 0}, {0, 0, 0}, {0.001f, 0, 0});
    motion_add_bezier_position_keyframe(b, 2, {4, 0, 0}, {-0.001f, 0, 0}, {0, 0, 0});
    motionset_add_motion(set, b);
    scene_add_motion(sc, b);
    scene_add_motionset(sc, set);
    motion *free_motion = motion_init();
    motion_copy_name(free_motion, "ship");
    motion_set_initial_pose(free_motion, {1, 2, 3}, quaternion{0, 1, 0, 0}, {1, 1, 2});
    const float tcb[5] = {1, 2, 3, 4, 5};
    motion_add_rotation_keyframe(free_motion, 0, quaternion_identity(), tcb);
    motion_add_rotation_keyframe(free_motion, 2, quaternion{0, 0, 0, 1}, tcb);
    motion_add_scale_keyframe(free_motion, 0, {1, 1, 1}, {0, 0, 0}, {0, 0, 0});
    scene_add_motion(sc, free_motion);

    terrain *t = terrain_create();
    uint32_t desc[12] = {1, 2, 3};
    terrain_add_chunk(t, "#DESC", reinterpret_cast<uint8_t *>(desc), 48);
    scene_set_terrain(sc, t);
    return sc;
}

} // namespace

class Quox2RoundTrip : public TempDirTest {};

TEST_F(Quox2RoundTrip, EveryChunkKindSurvivesWriterLoaderAndDump)
{
    scene *s0 = make_full_scene();
    ASSERT_TRUE(quox2_save_scene(path("full.quox2").c_str(), s0));
    std::string want = scene_dump_json(s0, true, false);

    scene *s1 = scene_init();
    quox2_file *f = quox2_open_file(path("full.quox2").c_str());
    ASSERT_NE(f, nullptr);
    bool ok = quox2_load_all_to_scene(f, s1);
    bool had_terrain = f->had_terrain;
    quox2_close_file(f);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(had_terrain);
    // The terrain chunk is read; its bare description does not build a terrain.
    EXPECT_EQ(scene_get_terrain(s1), nullptr);
    EXPECT_EQ(scene_dump_json(s1, true, had_terrain), want);

    // Spot checks of what the dump shows.
    EXPECT_NE(want.find("\"index_bits\":16"), std::string::npos);
    EXPECT_NE(want.find("\"uv_channels\":[4,0,4]"), std::string::npos);
    EXPECT_NE(want.find("\"weights\":[[2,1,0.5],[0,0,1]]"), std::string::npos);
    EXPECT_NE(want.find("\"strips\":{\"count\":1,\"words\":5,\"triangles\":2}"), std::string::npos);
    EXPECT_NE(want.find("\"submaterials\":[\"steel\",null,\"pair\"]"), std::string::npos);
    EXPECT_NE(want.find("\"keys\":[[1,1,0,0],[0,0,0,0]]"), std::string::npos);

    scene_deinit(s0);
    scene_deinit(s1);
}

TEST_F(Quox2RoundTrip, RewritingALoadedSceneGivesTheSameBytes)
{
    scene *s0 = make_full_scene();
    terrain_free(s0->terr);
    s0->terr = nullptr;
    ASSERT_TRUE(quox2_save_scene(path("a.quox2").c_str(), s0));
    bool ok;
    scene *s1 = test_load(path("a.quox2"), &ok);
    ASSERT_TRUE(ok);
    ASSERT_TRUE(quox2_save_scene(path("b.quox2").c_str(), s1));
    EXPECT_EQ(test_read_file(path("a.quox2")), test_read_file(path("b.quox2")));
    scene_deinit(s0);
    scene_deinit(s1);
}

TEST_F(Quox2RoundTrip, LoadedValuesLandInTheRightFields)
{
    scene *s0 = make_full_scene();
    ASSERT_TRUE(quox2_save_scene(path("v.quox2").c_str(), s0));
    scene_deinit(s0);
    bool ok;
    scene *sc = test_load(path("v.quox2"), &ok);
    ASSERT_TRUE(ok);

    object *hull = scene_get_object(sc, "hull");
    ASSERT_NE(hull, nullptr);
    uint32_t n;
    object_weight *w = object_get_weights(hull, &n);
    ASSERT_EQ(n, 2u);
    EXPECT_EQ(w[0].vertex, 2u); // written as bone 1, vertex 2
    EXPECT_EQ(w[0].bone, 1u);
    EXPECT_FLOAT_EQ(w[0].weight, 0.5f);
    EXPECT_EQ(object_get_generic_data_stream_f(hull, 0)[0], *reinterpret_cast<const float *>("\0\1\2\3"));
    EXPECT_TRUE(hull->flags & OBJ_VNORMALS_FROM_FILE);

    object_instance *turret = scene_get_oi_by_name(sc, "turret");
    ASSERT_NE(turret, nullptr);
    EXPECT_EQ(turret->init_rot_ws.w, 0.5f);
    EXPECT_EQ(turret->scale.x, 2.0f); // the current pose starts as the file's
    EXPECT_EQ(OI_get_type(turret), 1);

    material *steel = scene_get_material(sc, "steel");
    EXPECT_EQ(material_get_texture_uv_channel_no(steel, MAT_SLOT_BUMP), 1);
    EXPECT_EQ(steel->slots[MAT_SLOT_REFLECTION].param[1], 26u);
    EXPECT_EQ(steel->render_flag, 1);
    EXPECT_EQ(scene_get_material(sc, "pair")->submat1->material_kind, MATERIAL_KIND_STANDARD);
    EXPECT_FALSE(material_has_id(scene_get_material(sc, "pair")->submat1));

    light *spot = scene_get_light(sc, 1);
    EXPECT_EQ(spot->type, LIGHT_TARGET_SPOT);
    EXPECT_STREQ(light_get_target_name(spot), "ship");
    EXPECT_FLOAT_EQ(spot->range2_copy, 21.0f);
    EXPECT_STREQ(light_get_bitmap_filename(spot), "proj.tga");

    camera *cf = scene_get_camera(sc, "cam_free");
    EXPECT_TRUE(camera_has_manual_clipping(cf));
    EXPECT_FLOAT_EQ(cf->near_clip_range, 1.0f);

    motion *leg = scene_get_motion(sc, "leg", scene_get_motionset(sc, "walk"));
    ASSERT_NE(leg, nullptr);
    EXPECT_EQ(scene_get_motion(sc, "leg", nullptr), nullptr); // a set's motion needs its set
    EXPECT_NE(scene_get_motion(sc, "ship", nullptr), nullptr);
    scene_deinit(sc);
}
