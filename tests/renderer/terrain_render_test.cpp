// The terrain profile: the mode each board gets with its log line, the passes
// of each mode and level, and a small terrain drawn and read back: splatting
// near the eye, the pre-blended map far away, the detail map in mixed mode.

#include <GL/glew.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "corelib/gfxloader.h"
#include "renderer/OGL_scene_parts.h"
#include "renderer/OGL_settings.h"
#include "rq_helpers.h"
#include "scene/scene.h"
#include "scene/terrain.h"
#include "test_support.h"

namespace {

// Texture set 1 in a temporary resource folder: layer 0 red with a neutral
// detail alpha, layers 1 and 2 green and blue, a blend map choosing layer 0,
// a grey detail map and a yellow pre-blended map.
std::string write_texture_set()
{
    EXPECT_TRUE(gltest_open()); // the image module comes with it
    std::string dir = std::filesystem::temp_directory_path().string() + "/vorn-terrain-" + std::to_string(getpid());
    std::filesystem::create_directories(dir + "/bolid/terrain1");
    auto save = [&](const char *name, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
        std::vector<uint8_t> px(8 * 8 * 4);
        for (size_t i = 0; i < px.size(); i += 4) px[i] = r, px[i + 1] = g, px[i + 2] = b, px[i + 3] = a;
        EXPECT_TRUE(gfxloader_save((dir + "/bolid/terrain1/" + name).c_str(), 8, 8, 32, px.data()));
    };
    save("Layer0.tga", 255, 0, 0, 128);
    save("Layer1.tga", 0, 255, 0, 128);
    save("Layer2.tga", 0, 0, 255, 128);
    save("blend_map.tga", 255, 0, 0, 255);
    save("detail.tga", 128, 128, 128, 128);
    save("single_map.tga", 255, 255, 0, 255);
    return dir + "/";
}

struct small_terrain {
    terrain *t = nullptr;
    scene *sc = nullptr;
    bool inserted = false;
    explicit small_terrain(const std::string &folder)
    {
        std::vector<float> h(33 * 33, 0.0f); // flat, 32 x 32 cells of 2 m
        t = terrain_make(h.data(), 32, 8, 2.0f, {-32, 0, -32}, nullptr);
        EXPECT_TRUE(t && terrain_initialize_system(t, nullptr));
        sc = scene_init();
        scene_copy_resources_folder_path(sc, folder.c_str());
        inserted = __OGL_scene_terrain_insert(sc, t);
    }
    ~small_terrain()
    {
        if (inserted) __OGL_scene_terrain_remove(t);
        terrain_free(t);
        scene_deinit(sc);
    }
    // Looks straight down from height y and draws.
    void draw(float y)
    {
        view *v = view_create();
        view_set_position(v, {0, y, 0.01f});
        view_set_target(v, {0, 0, 0});
        view_set_up(v, {0, 0, -1});
        view_set_near_far(v, 0.5f, 5000.0f);
        view_set_fov(v, 0.5f);
        view_set_viewport(v, GLTEST_WIDTH, GLTEST_HEIGHT);
        view_compute_view_matrix(v);
        view_compute_projection(v);
        terrain_select(t, v);
        __OGL_scene_terrain_update(t, v);
        rq_draw(v);
        view_free(v);
    }
};

gltest_rgba centre() { return gltest_pixel(GLTEST_WIDTH / 2, GLTEST_HEIGHT / 2); }

// The profile's passes for a terrain inserted at the given level-of-detail clamp.
rq_set_info passes_at(const std::string &folder, int lod_min)
{
    OGL_render_settings_set_surface_lod_clamp(lod_min, 5);
    small_terrain s(folder);
    EXPECT_TRUE(s.inserted);
    rq_set_info info{};
    if (s.inserted) info = rq_sets(__OGL_scene_terrain_mesh_instance(s.t), OGL_RPDS_KIND_MAIN);
    OGL_render_settings_set_surface_lod_clamp(0, 5);
    return info;
}

} // namespace

TEST(TerrainProfile, LevelSelection)
{
    EXPECT_EQ(__terrain_select_lod(-3.0f), OGL_TERRA_LEVEL_SPLAT);
    EXPECT_EQ(__terrain_select_lod(0.9f), OGL_TERRA_LEVEL_SPLAT);
    EXPECT_EQ(__terrain_select_lod(1.0f), OGL_TERRA_LEVEL_CHEAP);
    EXPECT_EQ(__terrain_select_lod(9.0f), OGL_TERRA_LEVEL_CHEAP);
}

using TerrainRender = GLTest;

TEST_F(TerrainRender, FullModeSplatsNearAndFadesToThePreBlendedMapFar)
{
    ASSERT_EQ(terrain_get_mode(), OGL_TERRAIN_MODE_FULL);
    std::string folder = write_texture_set();
    rq_set_info splat = passes_at(folder, 0), cheap = passes_at(folder, 3);
    EXPECT_EQ(splat.passes, 2);
    EXPECT_TRUE(splat.any_fp && splat.any_vp);
    EXPECT_EQ(splat.units_max, 4);
    EXPECT_EQ(cheap.passes, 1);
    EXPECT_TRUE(cheap.any_fp);

    small_terrain s(folder);
    ASSERT_TRUE(s.inserted);
    EXPECT_EQ(terra_get_texture(OGL_TERRA_SINGLE_MAP) != nullptr, true);
    // Near: layer 0's red, lit (sun N.L 0.8 x 0.85 + 0.18 ambient), detail neutral.
    s.draw(0.1f * s.t->range[0]);
    gltest_rgba c = centre();
    EXPECT_GT(c.r, 170) << c;
    EXPECT_LT(c.g, 40) << c;
    EXPECT_LT(c.b, 40) << c;
    // Far: the pre-blended yellow covers it.
    s.draw(1.5f * s.t->range[0]);
    c = centre();
    EXPECT_GT(c.r, 170) << c;
    EXPECT_GT(c.g, 170) << c;
    EXPECT_LT(c.b, 40) << c;
    // Half way the two mix.
    s.draw(0.75f * s.t->range[0]);
    c = centre();
    EXPECT_GT(c.g, 40) << c;
    EXPECT_LT(c.g, 170) << c;
    std::filesystem::remove_all(folder);
}

TEST(TerrainRenderChild, DISABLED_MixedMode)
{
    ASSERT_TRUE(gltest_open());
    gltest_reset_state();
    ASSERT_EQ(terrain_get_mode(), OGL_TERRAIN_MODE_MIXED);
    std::string folder = write_texture_set();
    rq_set_info splat = passes_at(folder, 0);
    EXPECT_EQ(splat.passes, 1);
    EXPECT_FALSE(splat.any_fp);
    EXPECT_TRUE(splat.any_vp);
    EXPECT_EQ(splat.units_max, 2);
    small_terrain s(folder);
    ASSERT_TRUE(s.inserted);
    // The pre-blended yellow times the neutral detail, lit.
    s.draw(0.1f * s.t->range[0]);
    gltest_rgba c = centre();
    EXPECT_GT(c.r, 170) << c;
    EXPECT_GT(c.g, 170) << c;
    EXPECT_LT(c.b, 40) << c;
    std::filesystem::remove_all(folder);
}

TEST(TerrainRenderChild, DISABLED_NoPrograms)
{
    ASSERT_TRUE(gltest_open());
    gltest_reset_state();
    ASSERT_EQ(terrain_get_mode(), OGL_TERRAIN_MODE_FIXED);
    std::string folder = write_texture_set();
    small_terrain s(folder);
    EXPECT_FALSE(s.inserted); // left to the fixed-function meshes, no stop
    s.draw(10.0f);
    std::filesystem::remove_all(folder);
}

TEST(TerrainRenderFallback, BoardWithoutFragmentProgramsDrawsInMixedMode)
{
    gltest_child_result r = gltest_run_child("TerrainRenderChild.DISABLED_MixedMode",
                                             {{"MESA_EXTENSION_OVERRIDE", "-GL_ARB_fragment_program"}});
    EXPECT_TRUE(gltest_child_passed(r));
    EXPECT_NE(r.output.find("terrain_create_profile: fp unsupported; switching to mixed mode"), std::string::npos)
        << r.output;
}

TEST(TerrainRenderFallback, BoardWithoutProgramsLeavesTheTerrainOut)
{
    gltest_child_result r =
        gltest_run_child("TerrainRenderChild.DISABLED_NoPrograms",
                         {{"MESA_EXTENSION_OVERRIDE", "-GL_ARB_fragment_program -GL_ARB_vertex_program"}});
    EXPECT_TRUE(gltest_child_passed(r));
    EXPECT_NE(r.output.find("terrain_create_profile:  both fp && vp unsupported; switching to fpl mode"),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("the terrain is not drawn"), std::string::npos) << r.output;
}

TEST(TerrainRenderChild, DISABLED_FullMode)
{
    ASSERT_TRUE(gltest_open());
    ASSERT_EQ(terrain_get_mode(), OGL_TERRAIN_MODE_FULL);
}

TEST(TerrainRenderFallback, FullBoardLogsTheFullModeLine)
{
    gltest_child_result r = gltest_run_child("TerrainRenderChild.DISABLED_FullMode", {});
    EXPECT_TRUE(gltest_child_passed(r));
    EXPECT_NE(r.output.find("terrain_create_profile: vp&fp supported; switching to full mode"), std::string::npos)
        << r.output;
}
