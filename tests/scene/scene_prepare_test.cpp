// The scene container: lookups, the collidable list, preparation's passes and
// messages, shared textures.

#include <gtest/gtest.h>

#include "corelib/files.h"
#include "scene/oi_fk_mixer.h"
#include "scene/scene_renderer.h"
#include "scene/unitexture.h"
#include "scene_test_util.h"

namespace {

// Stands in for the image codecs: any existing file decodes to 4 x 2 pixels of 24 bits.
int g_decodes = 0;
bool fake_loader(const char *path, int *w, int *h, int *bpp, uint8_t **pixels)
{
    if (!file_exists(path)) return false;
    g_decodes++;
    *w = 4;
    *h = 2;
    *bpp = 24;
    *pixels = static_cast<uint8_t *>(mem_calloc(24, 1));
    return true;
}

class ScenePrepare : public TempDirTest {
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        unitexture_set_image_loader(fake_loader);
        g_decodes = 0;
        sc = scene_init();
        scene_copy_resources_folder_path(sc, (dir + "/").c_str());
    }
    void TearDown() override
    {
        scene_deinit(sc);
        unitexture_set_image_loader(nullptr);
        TempDirTest::TearDown();
    }
    bool prepare(uint32_t options = 0)
    {
        bool ok = false;
        messages = test_capture_stderr([&] { ok = scene_prepare_ex(sc, options); });
        return ok;
    }
    bool has(const char *text) const { return messages.find(text) != std::string::npos; }
    scene *sc;
    std::string messages;
};

} // namespace

TEST_F(ScenePrepare, LookupsFindTheFirstInLoadOrder)
{
    object_instance *a = test_make_oi("twin"), *b = test_make_oi("twin"), *c = test_make_oi("kid");
    OI_copy_parent_name(c, "twin");
    scene_add_oi(sc, a);
    scene_add_oi(sc, b);
    scene_add_oi(sc, c);
    EXPECT_EQ(scene_get_oi_by_name(sc, "twin"), a);
    EXPECT_EQ(scene_get_oi_by_name(sc, "Twin"), nullptr); // exact, case-sensitive
    EXPECT_EQ(scene_get_oi_by_parent_name(sc, "twin"), c);
    EXPECT_EQ(scene_get_oi(sc, 1), b);
    EXPECT_EQ(scene_get_oi(sc, 3), nullptr);
    EXPECT_EXIT(scene_get_oi(sc, 4), ::testing::ExitedWithCode(3), "BUG");
    EXPECT_EQ(OI_get_scene(a), sc);
}

TEST_F(ScenePrepare, CollidableListFollowsTheProperty)
{
    object_instance *oi = test_make_oi("rock");
    OI_copy_user_defined_properties(oi, "collidable = true\r\ncollidable = true\r\nsolid = true\r\n");
    scene_add_oi(sc, oi);
    ASSERT_TRUE(OI_parse_user_defined_properties(oi));
    EXPECT_EQ(sc->collidable_oisno, 1u);
    EXPECT_EQ(scene_collidable_oi_of(sc->collidable_ois.next), oi);
    EXPECT_TRUE(OI_is_solid(oi));
    EXPECT_TRUE(OI_set_desc(oi, "collidable", "false"));
    EXPECT_EQ(sc->collidable_oisno, 0u);
    EXPECT_TRUE(dlist_is_empty(&sc->collidable_ois));
    // Flagged before it joins a scene: listed when added.
    object_instance *late = test_make_oi("late");
    OI_set_desc(late, "collidable", "true");
    scene_add_oi(sc, late);
    EXPECT_EQ(sc->collidable_oisno, 1u);
    scene_remove_oi(sc, late);
    EXPECT_EQ(sc->collidable_oisno, 0u);
    OI_deinit(late);
}

TEST_F(ScenePrepare, PropertyLinesAndTheDescriptionBlock)
{
    object_instance *oi = test_make_oi("p");
    OI_copy_user_defined_properties(oi,
                                    "invisible = TRUE\r\n" // a parse error: skipped
                                    "unknown_key = 5\r\n"  // not in the table: skipped
                                    "# comment\r\n"
                                    "DISPLAY_PRIORITY = 7\r\n" // keys are found without regard to case
                                    "surface_lod_distance = 2.5\r\n"
                                    "ambient_g = 0.25\r\n"
                                    "wireframe = true\r\n" // accepted, no field
                                    "no_fog = true\r\n");
    scene_add_oi(sc, oi);
    ASSERT_TRUE(OI_parse_user_defined_properties(oi));
    EXPECT_EQ(oi->desc.invisible, 0);
    EXPECT_EQ(oi->desc.display_priority, 7);
    EXPECT_FLOAT_EQ(oi->desc.surface_lod_distance, 2.5f);
    EXPECT_FLOAT_EQ(oi->desc.ambient[1], 0.25f);
    EXPECT_EQ(oi->desc.no_fog, 1);
    uint32_t n;
    OI_get_property_key_table(&n);
    EXPECT_EQ(n, 45u);
    // OI_set_desc rejects what it cannot store.
    EXPECT_FALSE(OI_set_desc(oi, "invisible", "yes"));
    EXPECT_FALSE(OI_set_desc(oi, "no_such_key", "true"));
    EXPECT_FALSE(OI_set_desc(oi, "display_priority", "7x"));
    EXPECT_TRUE(OI_set_desc(oi, "frustum", "true"));
    EXPECT_EQ(oi->desc.do_not_frustum_cull, 1);
    EXPECT_TRUE(OI_set_desc(oi, "disable_z_writes", "true"));
}

TEST_F(ScenePrepare, MissingObjectFailsPreparation)
{
    scene_add_oi(sc, test_make_oi("ghost", "nothing"));
    EXPECT_FALSE(prepare());
    EXPECT_TRUE(has("* object instance \"ghost\" points to nonexisting object \"nothing\" in scene"));
}

TEST_F(ScenePrepare, MissingParentAndMaterialOnlyWarn)
{
    scene_add_object(sc, test_make_quad("quad"));
    object_instance *oi = test_make_oi("orphan", "quad");
    OI_copy_parent_name(oi, "nobody");
    OI_copy_material_name(oi, "nomat");
    scene_add_oi(sc, oi);
    scene_add_oi(sc, test_make_oi("bare", "quad"));
    EXPECT_TRUE(prepare());
    EXPECT_TRUE(has("\t*W A R N I N G : parent object instance \"nobody\" not found for object instance \"orphan\""));
    EXPECT_TRUE(has("scene_prepare(): Object instance \"orphan\" material \"nomat\" not found in scene, it might not "
                    "be displayed!"));
    EXPECT_TRUE(has("Object instance bare has no material defined!"));
    EXPECT_FALSE(OI_has_parent(oi));
    EXPECT_TRUE(scene_is_attached(sc));
}

TEST_F(ScenePrepare, ParentCyclesAreRefused)
{
    object_instance *a = test_make_oi("a"), *b = test_make_oi("b");
    OI_copy_parent_name(a, "b");
    OI_copy_parent_name(b, "a");
    scene_add_oi(sc, a);
    scene_add_oi(sc, b);
    object_instance *self = test_make_oi("self");
    OI_copy_parent_name(self, "self");
    scene_add_oi(sc, self);
    EXPECT_TRUE(prepare());
    EXPECT_EQ(OI_get_parent(a), b);
    EXPECT_FALSE(OI_has_parent(b));
    EXPECT_FALSE(OI_has_parent(self));
    EXPECT_TRUE(has("parent object instance \"a\" not found for object instance \"b\""));
}

TEST_F(ScenePrepare, CheckModeReportsEveryProblem)
{
    scene_add_object(sc, test_make_quad("quad"));
    object *skinned = test_make_quad("skin");
    std::vector<object_bone_name> bones(1);
    strcpy(bones[0].name, "missing_bone");
    object_insert_bones(skinned, test_copy_array(bones), 1);
    object_insert_weights(skinned, test_copy_array<object_weight>({{0, 0, 1.0f}}), 1);
    scene_add_object(sc, skinned);
    scene_add_oi(sc, test_make_oi("ghost", "nothing"));
    object_instance *s = test_make_oi("body", "skin");
    scene_add_oi(sc, s);
    material *comp = test_make_material("comp");
    comp->material_kind = MATERIAL_KIND_COMPOSITE;
    material_copy_submat_name(comp, "lost", 0);
    scene_add_material(sc, comp);
    OI_copy_material_name(s, "comp");
    camera *c = camera_init();
    camera_copy_name(c, "nocam");
    scene_add_camera(sc, c);
    light *l = light_init();
    light_copy_name(l, "body");
    light_set_type(l, LIGHT_TARGET_SPOT);
    light_copy_target_name(l, "nowhere");
    scene_add_light(sc, l);

    EXPECT_FALSE(prepare(SCENE_PREPARE_CHECK | SCENE_PREPARE_NO_RENDERER));
    EXPECT_TRUE(has("points to nonexisting object \"nothing\""));
    EXPECT_TRUE(has("Bone \"missing_bone\" for object instance \"body\" not found in the scene!"));
    EXPECT_TRUE(has("[submatname: lost] material not found"));
    EXPECT_TRUE(has("camera \"nocam\""));
    EXPECT_TRUE(has("\"nowhere\""));
    EXPECT_FALSE(scene_is_attached(sc));
}

TEST_F(ScenePrepare, DerivedGeometryLightsCamerasAndDefaultMotion)
{
    scene_add_object(sc, test_make_quad("quad", 2.0f));
    object_instance *ship = test_make_oi("ship", "quad", {10, 0, 0});
    scene_add_oi(sc, ship);
    object_instance *cam_oi = test_make_oi("cam", nullptr, {0, 0, 5});
    scene_add_oi(sc, cam_oi);
    camera *c = camera_init();
    camera_copy_name(c, "cam");
    scene_add_camera(sc, c);
    light *l = light_init();
    light_copy_name(l, "ship");
    light_set_type(l, LIGHT_OMNI);
    scene_add_light(sc, l);
    light *unlinked = light_init();
    light_copy_name(unlinked, "no_such_instance");
    scene_add_light(sc, unlinked);
    motion *m = motion_init();
    motion_copy_name(m, "ship");
    motion_add_linear_position_keyframe(m, 0, {0, 0, 0});
    motion_add_linear_position_keyframe(m, 2, {0, 4, 0});
    scene_add_motion(sc, m);

    ASSERT_TRUE(prepare());
    object *q = OI_get_object(ship);
    EXPECT_FLOAT_EQ(object_get_center(q).x, 1.0f);
    EXPECT_FLOAT_EQ(object_get_bounding_sphere_radius(q), std::sqrt(2.0f));
    uint32_t n;
    EXPECT_FLOAT_EQ(object_get_face_normals(q, &n)[0].z, 1.0f);
    EXPECT_FLOAT_EQ(object_get_vertex_normals(q, &n)[3].z, 1.0f);
    tacka3 bc;
    float br;
    OI_get_bounding_sphere(ship, &bc, &br);
    EXPECT_FLOAT_EQ(bc.x, 11.0f);
    EXPECT_EQ(camera_get_source_oi(c), cam_oi);
    EXPECT_EQ(l->oi, ship);
    EXPECT_EQ(ship->light_oisno, 1u);
    EXPECT_EQ(sc->light_oisno, 1u);
    EXPECT_EQ(unlinked->oi, nullptr);
    EXPECT_FLOAT_EQ(l->matrix[12], 10.0f);

    // The default motion loops from preparation on, fading in over 0.2 s.
    ASSERT_NE(OI_get_fk_mixer(ship), nullptr);
    scene_update(sc, tacka3{0, 0, 0}, 1.0f);
    EXPECT_NEAR(OI_get_position_ws(ship).y, 2.0f, 1e-5f);
    scene_update(sc, tacka3{0, 0, 0}, 2.0f); // time 3.0 loops to 1.0
    EXPECT_NEAR(OI_get_position_ws(ship).y, 2.0f, 1e-5f);
}

TEST_F(ScenePrepare, ADefaultMotionIsNotStartedForAGameActor)
{
    object_instance *oi = test_make_oi("actor");
    static int actor_record;
    OI_insert_game_actor(oi, &actor_record);
    scene_add_oi(sc, oi);
    motion *m = motion_init();
    motion_copy_name(m, "actor");
    scene_add_motion(sc, m);
    ASSERT_TRUE(prepare());
    EXPECT_EQ(OI_get_fk_mixer(oi), nullptr);
}

TEST_F(ScenePrepare, PlaybackSwitchesKeepOrShortenTheDefaultMotion)
{
    const char *names[] = {"held", "once", "loops"};
    for (const char *name : names) {
        object_instance *oi = test_make_oi(name);
        scene_add_oi(sc, oi);
        motion *m = motion_init();
        motion_copy_name(m, name);
        motion_add_linear_position_keyframe(m, 0, {0, 0, 0});
        motion_add_linear_position_keyframe(m, 2, {0, 4, 0});
        scene_add_motion(sc, m);
    }
    object_instance *held = scene_get_oi_by_name(sc, "held"), *once = scene_get_oi_by_name(sc, "once");
    OI_copy_user_defined_properties(held, "en_fk_do_not_play = true\r\n");
    OI_copy_user_defined_properties(once, "en_fk_play_once = true\r\n");
    ASSERT_TRUE(prepare());

    // Left to the game: no motion runs, the instance stays where it was placed.
    EXPECT_EQ(OI_get_fk_mixer(held), nullptr);
    scene_update(sc, tacka3{0, 0, 0}, 1.0f);
    EXPECT_FLOAT_EQ(OI_get_position_ws(held).y, 0.0f);

    // Played once: it stops at the end instead of starting over.
    oi_fk_mixer *mixer = OI_get_fk_mixer(once);
    ASSERT_NE(mixer, nullptr);
    motion_instance *mi = dlist_entry<motion_instance>(mixer->instances.next);
    EXPECT_EQ(motion_instance_get_play_mode(mi), MOTION_PLAY_ONCE);
    object_instance *loops = scene_get_oi_by_name(sc, "loops");
    EXPECT_FLOAT_EQ(OI_get_position_ws(once).y, 2.0f); // the first update above: 1 s in
    EXPECT_FLOAT_EQ(OI_get_position_ws(loops).y, 2.0f);
    scene_update(sc, tacka3{0, 0, 0}, 1.0f); // 2 s: the end
    EXPECT_FALSE(motion_instance_is_playing(mi));
    EXPECT_FLOAT_EQ(OI_get_position_ws(once).y, 4.0f);  // the final pose
    EXPECT_FLOAT_EQ(OI_get_position_ws(loops).y, 0.0f); // the start again
    scene_update(sc, tacka3{0, 0, 0}, 0.5f);
    EXPECT_FLOAT_EQ(OI_get_position_ws(once).y, 4.0f); // and it stays
    EXPECT_FLOAT_EQ(OI_get_position_ws(loops).y, 1.0f);
    EXPECT_FLOAT_EQ(OI_get_position_ws(held).y, 0.0f);
}

TEST_F(ScenePrepare, SharedTexturesLockCountsLevelsAndFallbacks)
{
    test_write_file(path("hull.tga"), "x");
    test_write_file(path("rock.jpg"), "x"); // named .tga in the material, present as .jpg
    material *a = test_make_material("a", "hull.tga");
    material *b = test_make_material("b", "hull.tga");
    material *c = test_make_material("c", "rock.tga");
    a->texture_lod = 1;
    b->texture_lod = 3;
    scene_add_material(sc, a);
    scene_add_material(sc, b);
    scene_add_material(sc, c);
    ASSERT_TRUE(scene_materials_load_textures(sc, (dir + "/").c_str()));
    EXPECT_EQ(sc->texturesno, 2u);
    unitexture *u = material_get_diffuse_texture(a);
    EXPECT_EQ(u, material_get_diffuse_texture(b));
    EXPECT_EQ(unitexture_get_lock_count(u), 2);
    EXPECT_EQ(unitexture_get_lod(u), 3); // the highest any material asks for
    EXPECT_TRUE(unitexture_is_loaded(material_get_diffuse_texture(c)));
    EXPECT_EQ(g_decodes, 2);
    int w, h, bpp;
    EXPECT_NE(unitexture_get_data(u, &w, &h, &bpp), nullptr); // kept until the renderer takes them
    EXPECT_EQ(w * h * bpp / 8, 24);

    // Destroying one material leaves the shared texture loaded.
    scene_remove_material(sc, a);
    material_deinit(a);
    EXPECT_EQ(unitexture_get_lock_count(u), 1);
    EXPECT_TRUE(unitexture_is_loaded(u));

    // Level 0 opens no file and gives a white 2 x 2 picture.
    unitexture *zero = unitexture_init_and_lock((dir + "/none.tga").c_str(), "none.tga", 0);
    int before = g_decodes;
    ASSERT_TRUE(unitexture_load(zero));
    EXPECT_EQ(g_decodes, before);
    const uint8_t *px = unitexture_get_data(zero, &w, &h, &bpp);
    EXPECT_EQ(w, 2);
    EXPECT_EQ(bpp, 24);
    EXPECT_EQ(px[11], 255);
    unitexture_unlock_and_deinit(zero);
}

TEST_F(ScenePrepare, AMissingTextureFailsPreparation)
{
    scene_add_material(sc, test_make_material("m", "lost.tga"));
    EXPECT_FALSE(prepare());
    EXPECT_TRUE(has("\t* failed to load texture"));
    EXPECT_TRUE(has("lost.tga, LOD level 3"));
    EXPECT_TRUE(has("levelviewer_init(): scene_materials_load_textures() FAILED!"));
}

TEST_F(ScenePrepare, ProjectorTexturesAndRendererHandOver)
{
    test_write_file(path("proj.tga"), "x");
    scene_add_object(sc, test_make_quad("quad"));
    scene_add_oi(sc, test_make_oi("lamp", "quad"));
    object_instance *hidden = test_make_oi("hidden", "quad");
    OI_set_desc(hidden, "not_renderable", "true");
    scene_add_oi(sc, hidden);
    light *l = light_init();
    light_copy_name(l, "lamp");
    light_set_bitmap_filename(l, "proj.tga");
    scene_add_light(sc, l);

    static int inserted, textures, finals;
    inserted = textures = finals = 0;
    scene_renderer_hooks hk{};
    hk.oi_insert = [](object_instance *) {
        inserted++;
        return SCENE_RENDERER_TAKEN;
    };
    hk.texture_create = [](unitexture *) { return ++textures > 0; };
    hk.oi_final_setup = [](object_instance *) { finals++; };
    scene_renderer_hooks_scope installed(hk);
    ASSERT_TRUE(prepare());
    EXPECT_TRUE(has("\t* projective texture loaded: "));
    ASSERT_NE(l->projector, nullptr);
    EXPECT_EQ(sc->texturesno, 1u);
    EXPECT_EQ(inserted, 1); // not the "not_renderable" one
    EXPECT_EQ(textures, 1);
    EXPECT_EQ(finals, 2);
    scene_detach_from_renderer(sc);
    EXPECT_FALSE(scene_is_attached(sc));
}

TEST_F(ScenePrepare, SoftSkinningFollowsTheBones)
{
    object *o = test_make_quad("skin");
    std::vector<object_bone_name> bones(2);
    strcpy(bones[0].name, "b0");
    strcpy(bones[1].name, "b1");
    object_insert_bones(o, test_copy_array(bones), 2);
    // Vertices 0 and 3 follow b0, 1 and 2 follow b1 by half.
    object_insert_weights(
        o,
        test_copy_array<object_weight>({{0, 0, 1}, {3, 0, 1}, {1, 1, 0.5f}, {2, 1, 0.5f}, {1, 0, 0.5f}, {2, 0, 0.5f}}),
        6);
    scene_add_object(sc, o);
    object_instance *body = test_make_oi("body", "skin");
    scene_add_oi(sc, body);
    object_instance *b0 = test_make_oi("b0"), *b1 = test_make_oi("b1", nullptr, {1, 0, 0});
    scene_add_oi(sc, b0);
    scene_add_oi(sc, b1);
    ASSERT_TRUE(prepare());
    uint32_t n;
    const tacka3 *v = OI_soft_skinning_get_vertexs_FPU(body, &n);
    ASSERT_EQ(n, 4u);
    EXPECT_NEAR(v[1].x, 1.0f, 1e-6f); // bind pose: unchanged
    OI_set_position(b1, {1, 2, 0});
    scene_update(sc, {0, 0, 0}, 0.0f);
    v = OI_soft_skinning_get_vertexs_FPU(body, &n);
    EXPECT_NEAR(v[1].y, 1.0f, 1e-6f); // half of b1's move
    EXPECT_NEAR(v[0].y, 0.0f, 1e-6f);
    tacka3 c;
    float r;
    OI_get_bounding_sphere(body, &c, &r);
    EXPECT_NEAR(c.y, (0 + 1 + 2 + 1) / 4.0f, 1e-5f);
}

TEST_F(ScenePrepare, LightTableHoldsAHundred)
{
    for (int i = 0; i < 100; i++) EXPECT_TRUE(scene_add_light(sc, light_init()));
    light *extra = light_init();
    EXPECT_FALSE(scene_add_light(sc, extra));
    light_deinit(extra);
    EXPECT_EQ(scene_get_lights_no(sc), 100u);
    EXPECT_NE(scene_get_light(sc, 99), nullptr);
    EXPECT_EQ(scene_get_light(sc, 100), nullptr);
}

TEST_F(ScenePrepare, TexturesReloadAtTheChosenQualityAndBuildFailuresAreReported)
{
    test_write_file(path("hull.tga"), "x");
    scene_add_material(sc, test_make_material("a", "hull.tga"));
    ASSERT_TRUE(scene_materials_load_textures(sc, (dir + "/").c_str()));
    unitexture *u = scene_unitexture_of(sc->textures.next);
    int before = g_decodes;
    scene_textures_reload(sc, 1);
    EXPECT_EQ(unitexture_get_lod(u), 2);
    EXPECT_TRUE(unitexture_is_loaded(u));
    EXPECT_EQ(g_decodes, before + 1);
    scene_textures_reload(sc, 2);
    EXPECT_EQ(unitexture_get_lod(u), 1);
    scene_textures_reload(sc, 0);
    EXPECT_EQ(unitexture_get_lod(u), 3);

    unitexture *none = nullptr;
    std::string m = test_capture_stderr(
        [&] { none = unitexture_build((dir + "/gone.tga").c_str(), "gone.tga", 3u << UNITEX_OPT_LOD_SHIFT); });
    EXPECT_EQ(none, nullptr);
    EXPECT_NE(m.find("failed loading texture: "), std::string::npos);
    // A locked record cannot be unlocked past zero.
    unitexture *t = unitexture_init_and_lock("x", "x", 0);
    unitexture_lock(t);
    EXPECT_EXIT(unitexture_unlock_and_deinit(t), ::testing::ExitedWithCode(3), "lock_count == 1");
    unitexture_unlock(t);
    unitexture_unlock(t);
}
