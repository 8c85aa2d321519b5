// The scene side of collisions: collidable instances fed to the collision core.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "scene/collision_bvh.h"
#include "scene/collisions.h"
#include "scene_test_util.h"

namespace {

// A wall: a 20 x 20 quad in the plane x = wall_x, facing -x.
object *make_wall(const char *name)
{
    object *o = object_init();
    object_copy_name(o, name);
    object_insert_vertexs(o, test_copy_array<tacka3>({{0, -10, -10}, {0, -10, 10}, {0, 10, 10}, {0, 10, -10}}), 4);
    object_insert_triangle_list_ints(o, test_copy_array<uint32_t>({0, 1, 2, 0, 2, 3}), 2);
    return o;
}

class SceneCollisions : public TempDirTest {
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        sc = scene_init();
        scene_copy_resources_folder_path(sc, "./");
        scene_add_object(sc, make_wall("wall"));
        scene_add_object(sc, test_make_quad("ball"));
    }
    void TearDown() override
    {
        scene_deinit(sc);
        TempDirTest::TearDown();
    }
    object_instance *add(const char *name, const char *obj, tacka3 pos, const char *props)
    {
        object_instance *oi = test_make_oi(name, obj, pos);
        if (props) OI_copy_user_defined_properties(oi, props);
        scene_add_oi(sc, oi);
        return oi;
    }
    scene *sc;
};

} // namespace

TEST_F(SceneCollisions, SlidingMoveStopsAtASolidWall)
{
    add("wall1", "wall", {5, 0, 0}, "collidable = true\r\nsolid = true\r\n");
    object_instance *ship = add("ship", nullptr, {0, 0, 0}, nullptr);
    ASSERT_TRUE(scene_prepare(sc));
    OI_set_collision_sphere(ship, {0, 0, 0}, 1.0f);
    array<collision_record> *solid = array_new<collision_record>();
    OI_move_with_collision_detection_ws(ship, sc, {10, 3, 0}, solid, nullptr);
    tacka3 p = OI_get_position_ws(ship);
    EXPECT_NEAR(p.x, 4.0f, 0.01f); // touching the wall
    EXPECT_NEAR(p.y, 3.0f, 0.01f); // the tangential part applied
    ASSERT_GE(solid->get_size(), 1u);
    EXPECT_EQ(collision_record_oi(&solid->data[0]), scene_get_oi_by_name(sc, "wall1"));
    array_free(solid);
}

TEST_F(SceneCollisions, RaysReportEachCollidableInstanceOnce)
{
    add("w1", "wall", {5, 0, 0}, "collidable = true\r\n");
    add("w2", "wall", {9, 0, 0}, "collidable = true\r\n");
    add("w3", "wall", {7, 0, 0}, nullptr); // not collidable: never reported
    add("w4", "wall", {8, 0, 0}, "collidable = true\r\ninvisible = true\r\n");
    ASSERT_TRUE(scene_prepare(sc));
    array<collision_record> *hits = array_new<collision_record>();
    EXPECT_EQ(intersect_ray_and_scene(hits, sc, {0, 0, 0}, {1, 0, 0}), 2u);
    ASSERT_EQ(hits->get_size(), 2u);
    for (const collision_record &r : *hits) {
        const char *name = OI_get_name(collision_record_oi(&r));
        EXPECT_TRUE(!strcmp(name, "w1") || !strcmp(name, "w2")) << name;
    }
    hits->cur_elements = 0;
    EXPECT_EQ(intersect_ray_and_scene_in_range(hits, sc, {0, 0, 0}, {1, 0, 0}, 6.0f), 1u);
    EXPECT_EQ(intersect_ray_and_scene(hits, sc, {0, 0, 0}, {0, 0, 0}), 0u);
    array_free(hits);
}

TEST_F(SceneCollisions, NonSolidOverlapsAreReportedNotBlocking)
{
    add("zone", "wall", {5, 0, 0}, "collidable = true\r\n");
    object_instance *ship = add("ship", "ball", {0, 0, 0}, nullptr);
    object_instance *other = add("other", "ball", {0.5f, 0, 0}, nullptr);
    ASSERT_TRUE(scene_prepare(sc));
    OI_set_collision_sphere(ship, {0, 0, 0}, 1.0f);
    EXPECT_TRUE(OI_intersects(ship, other));
    array<collision_record> *non_solid = array_new<collision_record>();
    OI_move_with_collision_detection_ws(ship, sc, {10, 0, 0}, nullptr, non_solid);
    EXPECT_NEAR(OI_get_position_ws(ship).x, 10.0f, 1e-4f);
    ASSERT_EQ(non_solid->get_size(), 1u);
    EXPECT_EQ(collision_record_oi(&non_solid->data[0]), scene_get_oi_by_name(sc, "zone"));
    array_free(non_solid);
}

TEST_F(SceneCollisions, SolidSkinnedInstanceIsNeverANonSolidContact)
{
    object *skin = test_make_quad("skin", 2.0f);
    std::vector<object_bone_name> bones(1);
    strcpy(bones[0].name, "bone");
    object_insert_bones(skin, test_copy_array(bones), 1);
    object_insert_weights(skin, test_copy_array<object_weight>({{0, 0, 1}, {1, 0, 1}, {2, 0, 1}, {3, 0, 1}}), 4);
    scene_add_object(sc, skin);
    add("bone", nullptr, {0, 0, 0}, nullptr);
    add("hard", "skin", {3, 0, 0}, "collidable = true\r\nsolid = true\r\n");
    add("soft", "skin", {6, 0, 0}, "collidable = true\r\n");
    object_instance *ship = add("ship", nullptr, {0, 1, 0}, nullptr);
    ASSERT_TRUE(scene_prepare(sc));
    ASSERT_TRUE(OI_is_skinned(scene_get_oi_by_name(sc, "hard")));
    OI_set_collision_sphere(ship, {0, 0, 0}, 0.5f);

    // Through both skins (x 3..5 and 6..8) in frames of 0.25: skinned bodies are no
    // obstacles, and only the one that is not solid is reported.
    array<collision_record> *solid = array_new<collision_record>();
    array<collision_record> *non_solid = array_new<collision_record>();
    std::set<std::string> met;
    for (int frame = 0; frame < 40; frame++) {
        non_solid->cur_elements = 0;
        OI_move_with_collision_detection_ws(ship, sc, {0.25f, 0, 0}, solid, non_solid);
        for (const collision_record &r : *non_solid) met.insert(OI_get_name(collision_record_oi(&r)));
    }
    EXPECT_NEAR(OI_get_position_ws(ship).x, 10.0f, 1e-3f);
    EXPECT_EQ(solid->get_size(), 0u);
    EXPECT_EQ(met, std::set<std::string>{"soft"});
    // Standing inside each of them in turn (one step of the loop), likewise.
    tacka3 pos, rem;
    non_solid->cur_elements = 0;
    OI_set_position_ws(ship, {4, 1, 0});
    ASSERT_TRUE(scene_collision_detection(sc, ship, nullptr, non_solid, &pos, &rem, {0, 0, 0}, nullptr));
    EXPECT_EQ(non_solid->get_size(), 0u);
    OI_set_position_ws(ship, {6.5f, 1, 0});
    ASSERT_TRUE(scene_collision_detection(sc, ship, nullptr, non_solid, &pos, &rem, {0, 0, 0}, nullptr));
    ASSERT_EQ(non_solid->get_size(), 1u);
    EXPECT_STREQ(OI_get_name(collision_record_oi(&non_solid->data[0])), "soft");
    array_free(solid);
    array_free(non_solid);
}

TEST_F(SceneCollisions, RaysFollowInstancesThatMoved)
{
    object_instance *w = add("w1", "wall", {5, 0, 0}, "collidable = true\r\n");
    object_instance *carrier = add("carrier", nullptr, {0, 0, 0}, nullptr);
    object_instance *rider = add("rider", "wall", {0, 30, 0}, "collidable = true\r\n");
    ASSERT_TRUE(scene_prepare(sc));
    OI_attach_child(carrier, rider);
    array<collision_record> *hits = array_new<collision_record>();
    auto first_hit = [&](tacka3 origin, tacka3 dir) -> float {
        hits->cur_elements = 0;
        if (intersect_ray_and_scene(hits, sc, origin, dir) == 0) return -1.0f;
        return hits->data[0].distance;
    };
    EXPECT_NEAR(first_hit({0, 0, 0}, {1, 0, 0}), 5.0f, 1e-4f);
    // Moved by the game between two queries, without a scene update.
    OI_set_position(w, {12, 0, 0});
    EXPECT_NEAR(first_hit({0, 0, 0}, {1, 0, 0}), 12.0f, 1e-4f);
    OI_set_position(w, {-40, 0, 0});
    EXPECT_LT(first_hit({0, 0, 0}, {1, 0, 0}), 0.0f);
    // Carried by its parent.
    EXPECT_NEAR(first_hit({0, 30, 0}, {1, 0, 0}), 0.0f, 1e-4f);
    OI_set_position(carrier, {7, -30, 0});
    EXPECT_NEAR(first_hit({0, 0, 0}, {1, 0, 0}), 7.0f, 1e-4f);
    EXPECT_LT(first_hit({-1, 30, 0}, {1, 0, 0}), 0.0f);
    array_free(hits);
}

TEST_F(SceneCollisions, RigidMeshesCarryTheirObjectsHierarchyUntilTheTrianglesChange)
{
    object *skin = test_make_quad("skin", 2.0f);
    std::vector<object_bone_name> bones(1);
    strcpy(bones[0].name, "bone");
    object_insert_bones(skin, test_copy_array(bones), 1);
    object_insert_weights(skin, test_copy_array<object_weight>({{0, 0, 1}, {1, 0, 1}, {2, 0, 1}, {3, 0, 1}}), 4);
    scene_add_object(sc, skin);
    add("bone", nullptr, {0, 0, 0}, nullptr);
    object_instance *w = add("w1", "wall", {5, 0, 0}, "collidable = true\r\n");
    object_instance *soft = add("soft", "skin", {6, 0, 0}, "collidable = true\r\n");
    ASSERT_TRUE(scene_prepare(sc));
    object *wall = OI_get_object(w);
    ASSERT_NE(wall->bvh, nullptr);

    array<collision_mesh> *meshes = array_new<collision_mesh>();
    ASSERT_TRUE(scene_collision_meshes(sc, meshes));
    bool saw_wall = false, saw_skin = false;
    for (const collision_mesh &m : *meshes) {
        if (m.owner == w) {
            saw_wall = true;
            EXPECT_EQ(m.bvh, wall->bvh);
            EXPECT_TRUE(collision_bvh_fits(m.bvh, &m));
        } else if (m.owner == soft) {
            saw_skin = true;
            EXPECT_EQ(m.bvh, nullptr); // skinned vertices move every frame
        }
    }
    EXPECT_TRUE(saw_wall && saw_skin);
    array_free(meshes);

    // Vertices edited in place and announced: the old hierarchy must not hide
    // the wall where it now stands.
    array<collision_record> *hits = array_new<collision_record>();
    ASSERT_EQ(intersect_ray_and_scene(hits, sc, {0, 5, 0}, {1, 0, 0}), 1u);
    EXPECT_NEAR(hits->data[0].distance, 5.0f, 1e-4f);
    for (uint32_t i = 0; i < wall->vertexsno; i++) wall->vertexs[i].x += 3.0f;
    object_set_vertexs_changed(wall);
    EXPECT_EQ(wall->bvh, nullptr);
    hits->cur_elements = 0;
    ASSERT_EQ(intersect_ray_and_scene(hits, sc, {0, 5, 0}, {1, 0, 0}), 1u);
    EXPECT_NEAR(hits->data[0].distance, 8.0f, 1e-4f);
    // Built again on request, it answers the same.
    scene_object_build_collision_bvh(wall);
    ASSERT_NE(wall->bvh, nullptr);
    hits->cur_elements = 0;
    ASSERT_EQ(intersect_ray_and_scene(hits, sc, {0, 5, 0}, {1, 0, 0}), 1u);
    EXPECT_NEAR(hits->data[0].distance, 8.0f, 1e-4f);
    array_free(hits);
}
